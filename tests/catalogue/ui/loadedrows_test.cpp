#include "catalogue/catalogueview.h"
#include "catalogue/scramble.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

QByteArray line(const QByteArray &name, const QByteArray &rating)
{
    return "1|" + name + "|TV|" + encryptString("http://s/" + name).value() + "|English|||0|" +
           rating + "|\r\n";
}

// The list over rows as the load makes them: texts are decoded from the catalogue's bytes when
// the view asks, and a reload must never show a text kept from the rows before.
class LoadedRowsTest : public testing::Test
{
protected:
    LoadedRowsTest() { view.setSourceModel(&model); }

    void loadFile(const QByteArray &data)
    {
        QFile file(m_dir.filePath(u"Data.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
        file.close();
        CatalogueViewState state{u"TV"_s, u"All"_s, false, 0};
        ChannelRows rows;
        ASSERT_TRUE(loadChannelList(file.fileName(), state, {}, rows).ok());
        model.clear();
        model.setRows(std::move(rows));
    }

    QStringList column(int c, int role = Qt::DisplayRole) const
    {
        QStringList texts;
        for (int r = 0; r < view.model()->rowCount(); ++r)
            texts << view.model()->index(r, c).data(role).toString();
        return texts;
    }

    QTemporaryDir m_dir;
    ChannelListModel model;
    ListViewEnh view;
    QAbstractItemModelTester tester{view.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(LoadedRowsTest, ReloadsSortsAndMixedEncodings)
{
    // Windows-1252 and UTF-8 names side by side, ASCII among them.
    loadFile(line("Zebra", "3") + line("caf\xe9", "5") + line("\xc3\x85lborg", "3") +
             line("apple", "1"));
    EXPECT_EQ(column(0), (QStringList{u"Zebra"_s, u"caf\u00e9"_s, u"\u00c5lborg"_s, u"apple"_s}));
    ASSERT_TRUE(EnhListView_SortColumns(view, 1, false)); // descending
    ASSERT_TRUE(EnhListView_SortColumns(view, 1, false)); // ascending
    EXPECT_EQ(column(0), (QStringList{u"\u00c5lborg"_s, u"apple"_s, u"caf\u00e9"_s, u"Zebra"_s}));
    EXPECT_EQ(column(0, ChannelListModel::kAddressRole),
              (QStringList{u"http://s/\u00c5lborg"_s, u"http://s/apple"_s, u"http://s/caf\u00e9"_s,
                           u"http://s/Zebra"_s}));

    // As many rows, other texts: every cell is the new one, in the order in force.
    loadFile(line("delta", "2") + line("Beta", "4") + line("alpha", "4") + line("gamma", "1"));
    EXPECT_EQ(column(0), (QStringList{u"alpha"_s, u"Beta"_s, u"delta"_s, u"gamma"_s}));
    EXPECT_EQ(column(3), (QStringList{u"4.0"_s, u"4.0"_s, u"2.0"_s, u"1.0"_s}));

    // Equal ratings keep the loading order in both directions.
    ASSERT_TRUE(EnhListView_SortColumns(view, 4, false)); // descending
    EXPECT_EQ(column(0), (QStringList{u"Beta"_s, u"alpha"_s, u"delta"_s, u"gamma"_s}));
    ASSERT_TRUE(EnhListView_SortColumns(view, 4, false)); // ascending
    EXPECT_EQ(column(0), (QStringList{u"gamma"_s, u"delta"_s, u"Beta"_s, u"alpha"_s}));

    const ChannelRow row = model.row(view.sourceRow(0));
    EXPECT_EQ(row.record.name, "gamma");
    EXPECT_EQ(row.record.url, "http://s/gamma");
    EXPECT_EQ(row.lang, u"English"_s);

    model.clear();
    EXPECT_EQ(view.model()->rowCount(), 0);
}

} // namespace
