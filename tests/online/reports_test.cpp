#include "online/querytext.h"
#include "online/reportquery.h"
#include "online/reports.h"

#include "testhttpserver.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

class ReportsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        m_saved = qgetenv("MAVREL_CATALOGUE_URL");
        qputenv("MAVREL_CATALOGUE_URL", server.url(""));
        server.serve("/tv/getData.asp", "thanks");
    }
    void TearDown() override
    {
        if (m_saved.isNull())
            qunsetenv("MAVREL_CATALOGUE_URL");
        else
            qputenv("MAVREL_CATALOGUE_URL", m_saved);
    }

    TestHttpServer server;

private:
    QByteArray m_saved;
};

// Read as the catalogue server reads it: a query it would refuse has no items.
QList<std::pair<QByteArray, QByteArray>> queryItems(const QByteArray &target)
{
    return parseQueryItems(QString::fromLatin1(target.mid(target.indexOf('?') + 1))).valueOr({});
}

TEST_F(ReportsTest, EveryReportReachesTheServerAsItsBytes)
{
    struct Case
    {
        QByteArray item, type, value, itemOnServer;
    };
    const Case cases[] = {
        {"BBC One", kReportFavorite, "", "BBC One"},
        {"Foo", kReportRate, "3", "Foo"},
        {"News: 24/7", kReportOnline, "", "News[colon] 24[slash]7"},
        {"What?", kReportOffline, "\"", "What[quest]"},
        {"Rock & Roll #1 = 100% +", kReportOffline, "", "Rock & Roll #1 = 100% +"},
        {"T\xE9l\xE9 \x01\xFF", kReportRate, "5", "T\xE9l\xE9 \x01\xFF"},
    };
    for (bool staff : {false, true}) {
        for (const Case &c : cases) {
            server.clearRequests();
            const FetchResult r = sendData(c.item, c.type, c.value, {staff, nullptr});
            EXPECT_EQ(r.body, QByteArray("thanks"));
            const auto requests = server.requestsFor("/tv/getData.asp");
            ASSERT_EQ(requests.size(), 1) << c.item.constData();
            const auto items = queryItems(requests[0].target);
            ASSERT_EQ(items.size(), staff ? 4 : 3) << requests[0].target.constData();
            EXPECT_EQ(items[0].second, c.type);
            EXPECT_EQ(items[1].second, c.value);
            EXPECT_EQ(items[2].second, c.itemOnServer) << requests[0].target.constData();
            EXPECT_EQ(requests[0].target.endsWith("&admin=true"), staff);
        }
    }
}

// The staff token goes beside the staff flag, from admin.txt's first line, and only in staff mode.
TEST_F(ReportsTest, StaffTokenTravelsInItsHeaderFromTheMarkerFile)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath(u"admin.txt"_s);
    const struct
    {
        bool staffMode;
        QByteArray file; // admin.txt's bytes; null: no file
        QByteArray header;
    } cases[] = {
        {true, "s3cret\nsecond line\n", "s3cret"},
        {true, "  s3cret \r\nsecond\r\n", "s3cret"},
        {true, "s3cret", "s3cret"},
        {true, "", ""},
        {true, "\ns3cret\n", ""}, // the first line only
        {true, QByteArray(5000, 'x') + "\n", ""},
        {true, QByteArray(), ""},
        {false, "s3cret\n", ""},
    };
    for (const auto &c : cases) {
        QFile::remove(marker);
        if (!c.file.isNull()) {
            QFile f(marker);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.file);
        }
        server.clearRequests();
        const ReportContext context{c.staffMode, nullptr, readStaffToken(marker)};
        sendData("Foo", kReportOffline, "", context);
        const auto requests = server.requestsFor("/tv/getData.asp");
        ASSERT_EQ(requests.size(), 1);
        EXPECT_EQ(requests[0].target.endsWith("&admin=true"), c.staffMode);
        EXPECT_EQ(requests[0].headers.contains("x-mavrel-staff"), !c.header.isEmpty())
            << c.file.left(40).constData();
        EXPECT_EQ(requests[0].headers.value("x-mavrel-staff"), c.header);
    }
}

TEST_F(ReportsTest, UnreachableServerIsNotNoticed)
{
    qputenv("MAVREL_CATALOGUE_URL", TestHttpServer::refusedUrl());
    const FetchResult r = sendData("Foo", kReportOnline, "", {});
    EXPECT_TRUE(r.body.isEmpty());
    EXPECT_FALSE(r.ownerGone);
}

} // namespace

TEST_F(ReportsTest, OfflineViewersReportOnlyWhatTheHostAnswered)
{
    TestHttpServer streams;
    ASSERT_TRUE(streams.listen());
    streams.serve("/gone", "<html><h1>404 Not Found</h1></html>", 404);
    streams.serve("/moved", "<html>This page Has Moved</html>");
    TestHttpServer::Route noise; // bytes no player decodes
    noise.body = QByteArray(4096, '\x7f');
    noise.contentType = "video/mp2t";
    streams.setRoute("/noise", noise);
    streams.serveSilent("/silent");
    const std::pair<QByteArray, OfflineCause> cases[] = {
        {TestHttpServer::refusedUrl(), OfflineCause::NoConnection},
        {"http://no-such-host.invalid/", OfflineCause::NoConnection},
        {streams.url("/silent"), OfflineCause::NoConnection},
        {streams.url("/gone"), OfflineCause::HostReplied},
        {streams.url("/moved"), OfflineCause::HostReplied},
        {streams.url("/noise"), OfflineCause::HostReplied},
    };
    struct : NetworkState
    {
        bool offline = false;
        bool appearsOffline() const override { return offline; }
    } network;
    const NetworkState *saved = setNetworkState(&network);
    const FetchOptions options{FetchUse::ChannelCheck, nullptr,
                               FetchLimits{32768, 3000, 1000, 1000}};
    for (bool offline : {false, true}) {
        network.offline = offline;
        for (const auto &[address, expected] : cases) {
            server.clearRequests();
            const OfflineCause cause = offlineCause(fetchPage(address, options));
            EXPECT_EQ(cause, expected) << address.constData();
            const bool sent = !offline || expected == OfflineCause::HostReplied;
            EXPECT_EQ(sendOfflineReport("Chan", {}, cause, {}), sent) << address.constData();
            EXPECT_EQ(server.requestsFor("/tv/getData.asp").size(), sent ? 1 : 0);
        }
    }
    setNetworkState(saved);
}
