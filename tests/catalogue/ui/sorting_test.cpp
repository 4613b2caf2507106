#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"
#include "platform/scripteddialogs.h"

#include <QAbstractItemModelTester>
#include <QHash>
#include <QHeaderView>
#include <QStandardItemModel>

#include <random>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

ChannelRow row(const QString &name, const QString &rating, const QString &favorites = u"000001"_s,
               const QString &url = {})
{
    ChannelRow r;
    r.name = name;
    r.kind = u"TV"_s;
    r.lang = u"English"_s;
    r.rating = rating;
    r.favorites = favorites;
    r.record.url = (url.isEmpty() ? u"http://example.net/"_s + name : url).toUtf8();
    return r;
}

std::vector<ChannelRow> rows(std::initializer_list<ChannelRow> list)
{
    return std::vector<ChannelRow>(list);
}

QStringList column(const ListViewEnh &view, int column)
{
    QStringList texts;
    const QAbstractItemModel *m = view.model();
    for (int r = 0; r < m->rowCount(); ++r)
        texts << m->index(r, column).data().toString();
    return texts;
}

class SortingTest : public ::testing::Test
{
protected:
    SortingTest() { view.setSourceModel(&model); }

    ChannelListModel model;
    ListViewEnh view;
    // Every sort and reload of the sequences below is checked against the model rules.
    QAbstractItemModelTester tester{view.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

TEST_F(SortingTest, RatingFlipsOnEveryCallAndStaysThroughReloads)
{
    model.setRows(rows({row(u"b"_s, u"3.0"_s), row(u"a"_s, u"5.0"_s), row(u"c"_s, u"1.0"_s)}));
    // Start-up sorts the fresh list once by the fourth column: highest first.
    ASSERT_TRUE(EnhListView_SortColumns(view, 4, false));
    EXPECT_EQ(column(view, 3), (QStringList{u"5.0"_s, u"3.0"_s, u"1.0"_s}));
    ASSERT_TRUE(EnhListView_SortColumns(view, 4, false));
    EXPECT_EQ(column(view, 3), (QStringList{u"1.0"_s, u"3.0"_s, u"5.0"_s}));
    ASSERT_TRUE(EnhListView_SortColumns(view, 4, false));
    EXPECT_EQ(column(view, 3), (QStringList{u"5.0"_s, u"3.0"_s, u"1.0"_s}));

    // A reload comes out in the order in force.
    model.clear();
    model.setRows(rows({row(u"x"_s, u"2.5"_s), row(u"y"_s, u"4.5"_s), row(u"z"_s, u"4.0"_s)}));
    EXPECT_EQ(column(view, 3), (QStringList{u"4.5"_s, u"4.0"_s, u"2.5"_s}));

    // Another column sorts in the direction opposite to the previous sort.
    ASSERT_TRUE(EnhListView_SortColumns(view, 1, false));
    EXPECT_EQ(column(view, 0), (QStringList{u"x"_s, u"y"_s, u"z"_s}));
    ASSERT_TRUE(EnhListView_SortColumns(view, 1, false));
    EXPECT_EQ(column(view, 0), (QStringList{u"z"_s, u"y"_s, u"x"_s}));
}

TEST_F(SortingTest, EmptyListLeavesTheStateAloneSoTheFirstRealSortIsDescending)
{
    for (int click = 0; click < 3; ++click)
        ASSERT_TRUE(EnhListView_SortColumns(view, 2, false));
    EXPECT_FALSE(view.sortingOn());
    EXPECT_EQ(view.sortOrder(), Qt::AscendingOrder);
    // Even a column that does not exist is fine on an empty list.
    EXPECT_TRUE(EnhListView_SortColumns(view, 42, false));

    model.setRows(rows({row(u"a"_s, u"1.0"_s), row(u"b"_s, u"2.0"_s)}));
    ASSERT_TRUE(EnhListView_SortColumns(view, 1, false));
    EXPECT_TRUE(view.sortingOn());
    EXPECT_EQ(view.sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(column(view, 0), (QStringList{u"b"_s, u"a"_s}));
}

TEST_F(SortingTest, FixedWidthFiguresSortByValue)
{
    model.setRows(rows({row(u"a"_s, u"1.0"_s, u"000900"_s), row(u"b"_s, u"1.0"_s, u"000099"_s),
                        row(u"c"_s, u"1.0"_s, u"000120"_s), row(u"d"_s, u"1.0"_s, u"000000"_s)}));
    view.setSortState(false, 0, Qt::DescendingOrder); // next call flips to ascending
    ASSERT_TRUE(EnhListView_SortColumns(view, 5, false));
    EXPECT_EQ(column(view, 4), (QStringList{u"000000"_s, u"000099"_s, u"000120"_s, u"000900"_s}));
}

TEST_F(SortingTest, NamesSortIgnoringCaseAndByTheLocaleAndTiesKeepLoadingOrder)
{
    model.setRows(
        rows({row(u"beta"_s, u"1.0"_s), row(u"Alpha"_s, u"2.0"_s), row(u"\u00e9toile"_s, u"3.0"_s),
              row(u"alpha"_s, u"4.0"_s), row(u"Zulu"_s, u"5.0"_s), row(u"echo"_s, u"6.0"_s)}));
    view.setSortState(false, 0, Qt::DescendingOrder);
    ASSERT_TRUE(EnhListView_SortColumns(view, 1, false));
    const QStringList names = column(view, 0);
    // Letter case does not separate names, an accented letter sorts with its base letter.
    EXPECT_EQ(names.mid(0, 2), (QStringList{u"Alpha"_s, u"alpha"_s}));
    EXPECT_EQ(names.mid(2), (QStringList{u"beta"_s, u"echo"_s, u"\u00e9toile"_s, u"Zulu"_s}));
}

TEST_F(SortingTest, ColumnKeyAndStaffUrlColumn)
{
    model.addUrlColumn();
    model.setRows(rows({row(u"a"_s, u"1.0"_s, u"000001"_s, u"http://c.example/"_s),
                        row(u"b"_s, u"1.0"_s, u"000001"_s, u"http://a.example/"_s),
                        row(u"c"_s, u"1.0"_s, u"000001"_s, u"http://b.example/"_s)}));
    ASSERT_TRUE(EnhListView_SortColumns(view, u"URL"_s, false));
    EXPECT_EQ(view.sortKey(), 5);
    EXPECT_EQ(column(view, 0), (QStringList{u"a"_s, u"c"_s, u"b"_s})); // descending by address
    EXPECT_FALSE(EnhListView_SortColumns(view, u"Kanal"_s, false));
    EXPECT_EQ(view.sortKey(), 5);
}

TEST_F(SortingTest, MissingColumnFailsSilentlyOrWithItsBox)
{
    model.setRows(rows({row(u"a"_s, u"1.0"_s)}));
    ScopedScriptedDialogs boxes;
    for (const int bad : {0, 6, -1}) {
        EXPECT_FALSE(EnhListView_SortColumns(view, bad, false));
        EXPECT_FALSE(view.sortingOn());
    }
    EXPECT_TRUE(boxes.shown().isEmpty());

    EXPECT_FALSE(EnhListView_SortColumns(view, 7, true));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].title, u"Error in Function : EnhListView_SortColumns"_s);
    EXPECT_EQ(boxes.shown()[0].icon, DialogIcon::Information);
    EXPECT_TRUE(boxes.shown()[0].text.startsWith(u"Error35600\t"_s));
}

TEST_F(SortingTest, HeaderClickReportsTheOneBasedColumn)
{
    QList<int> clicked;
    QObject::connect(&view, &ListViewEnh::columnClicked, [&](int c) { clicked << c; });
    emit view.header()->sectionClicked(3);
    EXPECT_EQ(clicked, QList<int>{4});
}

TEST(ChannelListModelTester, ModelAndProxyPassTheModelTester)
{
    ChannelListModel model;
    CollatingSortProxy proxy;
    proxy.setSourceModel(&model);
    QAbstractItemModelTester modelTester(&model,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester proxyTester(&proxy,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    proxy.sort(3, Qt::DescendingOrder);
    model.setRows(rows({row(u"a"_s, u"2.0"_s), row(u"b"_s, u"4.0"_s)}));
    model.addUrlColumn();
    EXPECT_EQ(model.columnCount(), 6);
    EXPECT_EQ(proxy.index(0, 0).data().toString(), u"b"_s);
    EXPECT_EQ(model.index(1, 2).data(ChannelListModel::kAddressRole).toString(),
              u"http://example.net/b"_s);
    model.setHeaderText(0, u"Kanal"_s);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), u"Kanal"_s);
    model.clear();
    EXPECT_EQ(proxy.rowCount(), 0);
}

TEST(CollatingSortProxyTest, KeysFollowRowsAddedToAGenericModel)
{
    QStandardItemModel favourites(0, 1);
    CollatingSortProxy proxy;
    proxy.setSourceModel(&favourites);
    proxy.sort(0, Qt::AscendingOrder);
    for (const QString &name : {u"delta"_s, u"Bravo"_s, u"alpha"_s, u"Charlie"_s})
        favourites.appendRow(new QStandardItem(name));
    QStringList order;
    for (int r = 0; r < proxy.rowCount(); ++r)
        order << proxy.index(r, 0).data().toString();
    EXPECT_EQ(order, (QStringList{u"alpha"_s, u"Bravo"_s, u"Charlie"_s, u"delta"_s}));
    favourites.item(0)->setText(u"echo"_s); // "delta" becomes "echo"
    EXPECT_EQ(proxy.index(3, 0).data().toString(), u"echo"_s);
}

TEST(CollatingSortProxyTest, PlainAsciiComparisonAgreesWithTheCollator)
{
    CollatingSortProxy proxy;
    QCollator english(QLocale(QLocale::English, QLocale::UnitedStates));
    english.setCaseSensitivity(Qt::CaseInsensitive);
    proxy.setCollator(english);
    const QString alphabet = u" !\"#$%&'()*+,-./0123456789:;<=>?@ABCXYZ[\\]^_`abcxyz{|}~"_s;
    std::mt19937 rng(7);
    const auto randomText = [&] {
        QString s;
        const int length = int(rng() % 6);
        for (int i = 0; i < length; ++i)
            s += alphabet[qsizetype(rng() % alphabet.size())];
        return s;
    };
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (int i = 0; i < 20000; ++i) {
        const QString a = randomText();
        const QString b = i % 5 == 0 ? a.toUpper() : randomText();
        ASSERT_EQ(sign(proxy.compareTexts(a, b)), sign(english.compare(a, b)))
            << a.toStdString() << " | " << b.toStdString();
    }
}

TEST(CollatingSortProxyTest, OtherLanguagesKeepTheirOwnRules)
{
    ChannelListModel model;
    CollatingSortProxy proxy;
    QCollator czech(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    czech.setCaseSensitivity(Qt::CaseInsensitive);
    proxy.setCollator(czech);
    proxy.setSourceModel(&model);
    model.setRows(
        rows({row(u"chata"_s, u"1.0"_s), row(u"hrad"_s, u"1.0"_s), row(u"cesta"_s, u"1.0"_s)}));
    proxy.sort(0, Qt::AscendingOrder);
    QStringList order;
    for (int r = 0; r < proxy.rowCount(); ++r)
        order << proxy.index(r, 0).data().toString();
    EXPECT_EQ(order, (QStringList{u"cesta"_s, u"hrad"_s, u"chata"_s})); // "ch" follows "h"
}

TEST_F(SortingTest, FindShowsMatchingRowsInSortOrderAndEmptyTextRestoresThem)
{
    model.setRows(rows({row(u"Radio b"_s, u"3.0"_s), row(u"TV a"_s, u"5.0"_s),
                        row(u"radio Ä"_s, u"1.0"_s), row(u"Radio c"_s, u"4.0"_s)}));
    view.setSortState(false, 3, Qt::AscendingOrder);
    ASSERT_TRUE(EnhListView_SortColumns(view, 4, false)); // rating, highest first
    CollatingSortProxy &proxy = *view.proxy();

    proxy.setFindText(u"RADIO"_s);
    EXPECT_EQ(column(view, 0), (QStringList{u"Radio c"_s, u"Radio b"_s, u"radio Ä"_s}));
    EXPECT_FALSE(proxy.mapFromSource(model.index(1, 0)).isValid()); // "TV a" is not shown
    EXPECT_EQ(view.sourceRow(0), 3);

    // Sorting and reloading keep the find text in force.
    ASSERT_TRUE(EnhListView_SortColumns(view, 4, false));
    EXPECT_EQ(column(view, 0), (QStringList{u"radio Ä"_s, u"Radio b"_s, u"Radio c"_s}));
    model.setRows(rows({row(u"Aradio"_s, u"2.0"_s), row(u"none"_s, u"1.0"_s)}));
    EXPECT_EQ(column(view, 0), (QStringList{u"Aradio"_s}));
    proxy.setFindText(u"a"_s);
    EXPECT_EQ(column(view, 0), (QStringList{u"Aradio"_s}));

    proxy.setFindText({});
    EXPECT_EQ(column(view, 0), (QStringList{u"none"_s, u"Aradio"_s}));
    EXPECT_TRUE(proxy.mapFromSource(model.index(1, 0)).isValid());
}

TEST_F(SortingTest, OnNowKeepsItsColumnNumberSortsAndFindsAsTitlesChange)
{
    ChannelRow alpha = row(u"Alpha"_s, u"1.0"_s), gamma = row(u"Gamma"_s, u"1.0"_s);
    alpha.record.spare1 = "a";
    gamma.record.spare1 = "g";
    model.setRows(rows({alpha, row(u"Beta"_s, u"1.0"_s), gamma}));
    QHash<QByteArray, QString> titles{{"a", u"Zoo Tales"_s}, {"g", u"Evening News"_s}};
    const auto lookup = [&](const QByteArray &id) { return titles.value(id); };
    model.setOnNow(lookup, u"On Now"_s);
    EXPECT_EQ(model.columnCount(), 7);
    model.addUrlColumn(); // staff mode names the column that was there
    model.setOnNow({}, {});
    EXPECT_EQ(model.columnCount(), 6);
    model.setOnNow(lookup, u"On Now"_s);
    EXPECT_EQ(model.headerData(ChannelListModel::UrlColumn, Qt::Horizontal), u"URL"_s);
    EXPECT_EQ(column(view, ChannelListModel::OnNowColumn),
              (QStringList{u"Zoo Tales"_s, {}, u"Evening News"_s}));

    // The first sort puts the highest first; a programme's end sorts anew.
    ASSERT_TRUE(EnhListView_SortColumns(view, ChannelListModel::OnNowColumn + 1, false));
    EXPECT_EQ(column(view, 0), (QStringList{u"Alpha"_s, u"Gamma"_s, u"Beta"_s}));
    titles["a"] = u"Afternoon Film"_s;
    model.onNowChanged();
    EXPECT_EQ(column(view, 0), (QStringList{u"Gamma"_s, u"Alpha"_s, u"Beta"_s}));
    const std::pair<QString, QStringList> finds[] = {
        {u"news"_s, {u"Gamma"_s}}, {u"BETA"_s, {u"Beta"_s}}, {u"weather"_s, {}}};
    for (const auto &[text, names] : finds) {
        view.proxy()->setFindText(text);
        EXPECT_EQ(column(view, 0), names) << text.toStdString();
    }
    // While a find is typed, a title that starts to match shows its row.
    titles["g"] = u"Weather"_s;
    model.onNowChanged();
    EXPECT_EQ(column(view, 0), (QStringList{u"Gamma"_s}));
}
