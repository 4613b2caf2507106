// The update pages on SQLite and on PostgreSQL under one clock: the date a viewer stores after
// its merge, whatever other viewers behind its address do meanwhile.

#include "bothstores.h"

#include "online/catalogueupdate.h"
#include "online/datetext.h"
#include "server/catalogue/cataloguepages.h"
#include "server/catalogue/rules.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

TEST(UpdateDates, AViewerStoresTheDateItsOwnReplyCovered)
{
    testing::BothStores both;
    ASSERT_TRUE(both.ok()) << both.error.toStdString();
    for (CatalogueStore *store : {both.sqlite.get(), both.postgres.get()}) {
        SCOPED_TRACE(store == both.sqlite.get() ? "sqlite" : "postgres");
        CataloguePages pages(*store);
        // Every viewer here shares one public address.
        const auto get = [&](QStringView path, const QString &date) {
            const QString query = date.isEmpty() ? QString() : u"date="_s + date;
            return pages.handle(path, QString(query).replace(u' ', u'+'), u"203.0.113.7"_s)
                .value()
                .body;
        };
        const auto covered = [&](const QString &since) {
            return replyCoveredDate(QByteArrayView(get(u"/ostrel/getChannels.asp", since)));
        };
        const auto add = [&](const QByteArray &name) {
            NewChannel c;
            c.name = name;
            c.kind = "TV";
            c.url = "http://example.com/" + name;
            c.lang = "English";
            ASSERT_EQ(store->addChannel(c).value().outcome, AddOutcome::Added);
        };
        add("First");
        both.now += 10;
        // A merges and leaves its message open; B updates twice, each time past the replay.
        const QString forA = covered(u"3/16/2006"_s);
        both.now += 30;
        add("Late");
        QString dateB = u"3/16/2006"_s;
        for (int i = 0; i < 2; ++i) {
            both.now += kUpdateMarginSecs + 60;
            dateB = QString::fromLatin1(get(u"/ostrel/date.asp", covered(dateB)));
        }
        const QString dateA = QString::fromLatin1(get(u"/ostrel/date.asp", forA));
        EXPECT_EQ(dateA, forA);
        EXPECT_TRUE(get(u"/ostrel/getChannels.asp", dateA).contains("|Late|"));

        // A dead list asked from the future hands out no date there, or every later change
        // would be stamped after it.
        get(u"/ostrel/getChannelsOFFLINE.asp", u"1/1/2100"_s);
        const auto handed = parseDateText(QByteArrayView(get(u"/ostrel/date.asp", {})));
        ASSERT_TRUE(handed.ok());
        EXPECT_LT(handed.value().toSecsSinceEpoch(), both.now);
        both.now += 1;
    }
}

} // namespace
} // namespace mavrel::server
