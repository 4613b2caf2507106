// Staff reports: "admin=true" marks a channel dead at once only with a staff token, or from a
// loopback client of a server that listens on loopback alone; otherwise it is one ordinary
// OFFLINE report.

#include "pgcluster.h"

#include "online/reportquery.h"
#include "server/catalogue/cataloguepages.h"
#include "server/http/cataloguehttpserver.h"
#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

// A GET to 127.0.0.1 with the staff header when given; the reply's status (0: none).
int reportOffline(quint16 port, const QByteArray &item, const std::optional<QByteArray> &token)
{
    QByteArray request = "GET /tv/getData.asp?strType=OFFLINE&strValue=&strItem=" + item +
                         "&admin=true HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (token)
        request += QByteArray(kStaffHeader) + ": " + *token + "\r\n";
    request += "\r\n";
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval timeout{10, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray reply;
    if (::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::send(s, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(s, buffer, sizeof buffer, 0)) > 0;)
            reply.append(buffer, n);
    }
    ::close(s);
    return reply.startsWith("HTTP/1.1 ") ? reply.mid(9, 3).toInt() : 0;
}

class StaffReports : public ::testing::Test
{
protected:
    void SetUp() override
    {
        database = mavrel::testing::testDatabase(dir);
        auto s = CatalogueStore::open(database);
        ASSERT_TRUE(s.ok());
        store = std::move(s).value();
    }
    qint64 addChannel(const QByteArray &name)
    {
        NewChannel c;
        c.name = name;
        c.kind = "TV";
        c.url = "http://" + name + "/";
        c.lang = "English";
        return store->addChannel(c).value().id;
    }
    bool dead(qint64 id) { return store->channel(id).value()->dead; }

    QTemporaryDir dir;
    QString database;
    std::unique_ptr<CatalogueStore> store;
};

TEST_F(StaffReports, OnlyAStaffTokenOrALoopbackOnlyServerMakesTheFlagCount)
{
    CataloguePages pages(*store);
    // The wildcard address is the server that others reach: its loopback clients (a proxy in
    // front of it, say) are no more trusted than anyone.
    CatalogueHttpServer open(pages);
    open.setStaffAccess(StaffAccess({"s3cret-token", "second-token"}));
    const quint16 openPort = open.listen(QHostAddress::AnyIPv4, 0).valueOr(0);
    ASSERT_NE(openPort, 0);
    CatalogueHttpServer local(pages);
    local.setStaffAccess(StaffAccess({"s3cret-token"}));
    const quint16 localPort = local.listen(QHostAddress::LocalHost, 0).valueOr(0);
    ASSERT_NE(localPort, 0);

    const struct
    {
        const char *what;
        quint16 port;
        std::optional<QByteArray> token;
        bool staff;
    } cases[] = {
        {"no token", openPort, std::nullopt, false},
        {"an empty token", openPort, QByteArray(), false},
        {"a wrong token", openPort, QByteArray("s3cret-tokem"), false},
        {"a token's start", openPort, QByteArray("s3cret-toke"), false},
        {"a longer token", openPort, QByteArray("s3cret-token2"), false},
        {"the right token", openPort, QByteArray("s3cret-token"), true},
        {"the file's second token", openPort, QByteArray("second-token"), true},
        {"loopback on a loopback-only server", localPort, std::nullopt, true},
    };
    int n = 0;
    for (const auto &c : cases) {
        const QByteArray name = "Chan" + QByteArray::number(++n);
        const qint64 id = addChannel(name);
        EXPECT_EQ(reportOffline(c.port, name, c.token), 200) << c.what;
        EXPECT_EQ(dead(id), c.staff) << c.what;
        if (c.staff)
            continue;
        // An ordinary OFFLINE report: two more reporters make the three the rule needs.
        ASSERT_TRUE(store->recordReport({"OFFLINE", "", name, false, u"198.51.100.1"_s}).ok());
        EXPECT_FALSE(dead(id)) << c.what;
        ASSERT_TRUE(store->recordReport({"OFFLINE", "", name, false, u"198.51.100.2"_s}).ok());
        EXPECT_TRUE(dead(id)) << c.what;
    }
}

// The executable reads its tokens from the file a --config line names.
TEST_F(StaffReports, TokensFileFromTheConfigurationFile)
{
    const qint64 kept = addChannel("Kept");
    const qint64 gone = addChannel("Gone");
    const qint64 also = addChannel("Also");
    QFile tokens(dir.filePath(u"staff-tokens"_s));
    ASSERT_TRUE(tokens.open(QIODevice::WriteOnly));
    tokens.write("# the editors\n\n  first-token  \nsecond-token\r\n");
    tokens.close();
    QFile config(dir.filePath(u"server.conf"_s));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("--listen 0.0.0.0\n--staff-tokens " + tokens.fileName().toUtf8() + "\n");
    config.close();
    store.reset(); // the server's own connection takes over

    QProcess p;
    p.start(QString::fromUtf8(CATALOGUE_SERVER_EXE),
            {u"--db"_s, database, u"--port"_s, u"0"_s, u"--config"_s, config.fileName()});
    QByteArray line;
    while (!line.contains('\n') && p.waitForReadyRead(10000))
        line += p.readAllStandardOutput();
    const quint16 port = quint16(line.mid(line.lastIndexOf(':') + 1).trimmed().toUInt());
    ASSERT_NE(port, 0) << line.constData();
    EXPECT_EQ(reportOffline(port, "Kept", QByteArray("# the editors")), 200);
    EXPECT_EQ(reportOffline(port, "Gone", QByteArray("first-token")), 200);
    EXPECT_EQ(reportOffline(port, "Also", QByteArray("second-token")), 200);
    p.terminate();
    EXPECT_TRUE(p.waitForFinished(10000));

    auto reopened = CatalogueStore::open(database);
    ASSERT_TRUE(reopened.ok());
    store = std::move(reopened).value();
    EXPECT_FALSE(dead(kept)); // a comment line is no token
    EXPECT_TRUE(dead(gone));
    EXPECT_TRUE(dead(also));
}

} // namespace
} // namespace mavrel::server
