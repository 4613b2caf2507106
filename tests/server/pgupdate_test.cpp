// The update pages on SQLite and on PostgreSQL under one clock: what a viewer stores after its
// merge, whatever other viewers behind its address do meanwhile.

#include "bothstores.h"

#include "online/catalogueupdate.h"
#include "online/datetext.h"
#include "server/pages.h"
#include "server/rules.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

const QString kHome = u"203.0.113.7"_s; // one public address for every viewer here

class Viewer
{
public:
    explicit Viewer(CataloguePages &pages) : m_pages(pages) {}

    // getChannels from the viewer's date; the reply's covered date is kept for date.asp.
    QByteArray fetch()
    {
        const QString query = u"date="_s + formatDateText(m_date).replace(u' ', u'+');
        const auto r = m_pages.handle(u"/ostrel/getChannels.asp", query, kHome);
        EXPECT_EQ(r->status, 200);
        m_covered = replyCoveredDate(QByteArrayView(r->body));
        EXPECT_FALSE(m_covered.isEmpty()) << r->body.toStdString();
        return r->body;
    }
    // date.asp with the covered date, as the viewer sends it; the answer is stored.
    qint64 store(bool sendCovered = true)
    {
        const QString query =
            sendCovered ? u"date="_s + QString(m_covered).replace(u' ', u'+') : QString();
        const auto r = m_pages.handle(u"/ostrel/date.asp", query, kHome);
        EXPECT_EQ(r->status, 200);
        m_date = parseDateText(QByteArrayView(r->body)).value_or(QDateTime());
        return m_date.toSecsSinceEpoch();
    }
    qint64 covered() const
    {
        const auto date = parseDateText(QStringView(m_covered));
        return date ? date->toSecsSinceEpoch() : -1;
    }

private:
    CataloguePages &m_pages;
    QDateTime m_date = initialUpdateDate();
    QString m_covered;
};

TEST(UpdateDates, AViewerStoresTheDateItsOwnReplyCovered)
{
    testing::BothStores both;
    ASSERT_TRUE(both.ok()) << both.error.toStdString();
    for (CatalogueStore *store : {both.sqlite.get(), both.postgres.get()}) {
        SCOPED_TRACE(store == both.sqlite.get() ? "sqlite" : "postgres");
        CataloguePages pages(*store);
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

        // A merges and leaves its message open; B, behind the same address, updates twice.
        Viewer a(pages), b(pages);
        a.fetch();
        both.now += 30;
        add("Late");
        both.now += 10;
        b.fetch();
        b.store();
        both.now += kUpdateMarginSecs + 60;
        b.fetch();
        const qint64 forB = b.store();
        both.now += kUpdateMarginSecs + 60;

        const qint64 forA = a.store();
        EXPECT_EQ(forA, a.covered());
        EXPECT_LT(forA, forB);
        EXPECT_TRUE(a.fetch().contains("|Late|"));

        // A date no reply handed out is not echoed: the address's memory answers.
        const auto future = pages.handle(u"/ostrel/date.asp", u"date=1/1/2100"_s, kHome);
        EXPECT_LT(parseDateText(QByteArrayView(future->body))->toSecsSinceEpoch(), both.now);
        EXPECT_EQ(pages.handle(u"/ostrel/date.asp", u"date=soon"_s, kHome)->status, 400);
        both.now += 1;
    }
}

// The dead list answers from the date asked, but a date in the future must not come back to be
// handed out: every later change would be stamped after it, and reach nobody until then.
TEST(UpdateDates, ADeadListAskedFromTheFutureMovesNoDate)
{
    testing::BothStores both;
    ASSERT_TRUE(both.ok()) << both.error.toStdString();
    for (CatalogueStore *store : {both.sqlite.get(), both.postgres.get()}) {
        SCOPED_TRACE(store == both.sqlite.get() ? "sqlite" : "postgres");
        CataloguePages pages(*store);
        ASSERT_EQ(
            pages.handle(u"/ostrel/getChannelsOFFLINE.asp", u"date=1/1/2100"_s, kHome)->status,
            200);
        const auto stored = pages.handle(u"/ostrel/date.asp", {}, kHome);
        EXPECT_LT(parseDateText(QByteArrayView(stored->body))->toSecsSinceEpoch(), both.now);
        NewChannel c;
        c.name = "After";
        c.kind = "TV";
        c.url = "http://example.com/after";
        c.lang = "English";
        const qint64 id = store->addChannel(c).value().id;
        EXPECT_LE(store->channel(id).value()->changed, both.now);
        both.now += 1;
    }
}

} // namespace
} // namespace mavrel::server
