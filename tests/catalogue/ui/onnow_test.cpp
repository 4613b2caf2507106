#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"

#include <QAbstractItemModelTester>
#include <QHash>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

ChannelRow channel(const QString &name, const QByteArray &guideId)
{
    ChannelRow r;
    r.name = name;
    r.kind = u"TV"_s;
    r.lang = u"English"_s;
    r.rating = u"3.0"_s;
    r.favorites = u"000001"_s;
    r.record.url = "http://example.net/" + name.toUtf8();
    r.record.spare1 = guideId;
    return r;
}

QStringList column(const QAbstractItemModel &m, int column)
{
    QStringList texts;
    for (int r = 0; r < m.rowCount(); ++r)
        texts << m.index(r, column).data().toString();
    return texts;
}

class OnNowTest : public ::testing::Test
{
protected:
    OnNowTest()
    {
        view.setSourceModel(&model);
        model.setRows(std::vector<ChannelRow>{channel(u"Alpha"_s, "a"), channel(u"Beta"_s, {}),
                                              channel(u"Gamma"_s, "g"),
                                              channel(u"Delta"_s, "unknown")});
    }
    void showTitles()
    {
        model.setOnNow([this](const QByteArray &id) { return titles.value(id); }, u"On Now"_s);
    }

    QHash<QByteArray, QString> titles{{"a", u"Zoo Tales"_s}, {"g", u"Evening News"_s}};
    ChannelListModel model;
    ListViewEnh view;
    QAbstractItemModelTester tester{view.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

TEST_F(OnNowTest, TheColumnComesAfterTheOthersWithAndWithoutTheUrlColumn)
{
    struct Step
    {
        const char *what;
        std::function<void()> apply;
        int columns;
        QString onNowHeader;
        QString urlHeader;
    };
    const Step steps[] = {
        {"no guide", [] {}, 5, {}, {}},
        {"guide", [this] { showTitles(); }, 7, u"On Now"_s, {}},
        {"staff", [this] { model.addUrlColumn(); }, 7, u"On Now"_s, u"URL"_s},
        {"guide gone", [this] { model.setOnNow({}, {}); }, 6, {}, u"URL"_s},
        {"guide again", [this] { showTitles(); }, 7, u"On Now"_s, u"URL"_s},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.apply();
        EXPECT_EQ(model.columnCount(), step.columns);
        EXPECT_EQ(model.headerData(ChannelListModel::OnNowColumn, Qt::Horizontal).toString(),
                  step.onNowHeader);
        EXPECT_EQ(model.headerData(ChannelListModel::UrlColumn, Qt::Horizontal).toString(),
                  step.urlHeader);
        // The other columns keep their numbers.
        EXPECT_EQ(model.headerData(ChannelListModel::FavoritesColumn, Qt::Horizontal),
                  u"Favorites"_s);
        if (step.columns == 7) {
            EXPECT_EQ(column(model, ChannelListModel::OnNowColumn),
                      (QStringList{u"Zoo Tales"_s, {}, u"Evening News"_s, {}}));
            EXPECT_EQ(column(model, ChannelListModel::UrlColumn).first(),
                      u"http://example.net/Alpha"_s);
        }
    }
}

TEST_F(OnNowTest, SortsAndFindsByWhatIsOnAsItChanges)
{
    showTitles();
    ASSERT_TRUE(EnhListView_SortColumns(view, ChannelListModel::OnNowColumn + 1, false));
    const QAbstractItemModel &shown = *view.model();
    // A fresh list's first sort puts the highest first.
    EXPECT_EQ(column(shown, 0), (QStringList{u"Alpha"_s, u"Gamma"_s, u"Beta"_s, u"Delta"_s}));

    // A programme ends: the order follows the new titles.
    titles["a"] = u"Afternoon Film"_s;
    model.onNowChanged();
    EXPECT_EQ(column(shown, 0), (QStringList{u"Gamma"_s, u"Alpha"_s, u"Beta"_s, u"Delta"_s}));

    struct Find
    {
        QString text;
        QStringList names;
    };
    const Find finds[] = {
        {u"news"_s, {u"Gamma"_s}},
        {u"ALPHA"_s, {u"Alpha"_s}},
        {u"film"_s, {u"Alpha"_s}},
        {u"a"_s, {u"Gamma"_s, u"Alpha"_s, u"Beta"_s, u"Delta"_s}},
    };
    for (const Find &find : finds) {
        SCOPED_TRACE(find.text.toStdString());
        view.proxy()->setFindText(find.text);
        EXPECT_EQ(column(shown, 0), find.names);
    }
    // While a find is typed, a title that starts to match shows its row.
    view.proxy()->setFindText(u"weather"_s);
    EXPECT_TRUE(column(shown, 0).isEmpty());
    titles["g"] = u"Weather"_s;
    model.onNowChanged();
    EXPECT_EQ(column(shown, 0), (QStringList{u"Gamma"_s}));

    // Without a guide the find reads names only.
    model.setOnNow({}, {});
    view.proxy()->setFindText(u"zoo"_s);
    EXPECT_TRUE(column(shown, 0).isEmpty());
}
