// Hostile sources (one huge JSON string, one endless playlist line among very many entries)
// imported by the catalogue-server executable, from a file and over a loopback server: its peak
// resident memory stays bounded whatever the source's size, and what it imports is still right.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char **environ;

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

constexpr qint64 kMaxResidentKiB = 200 * 1024;
constexpr qint64 kHugeBytes = 192LL * 1024 * 1024;
constexpr int kPlaylistEntries = 100'000;

// Writes `count` bytes of `fill` in pieces, so that the test holds no more than a piece.
void writeFill(QFile &f, char fill, qint64 count)
{
    const QByteArray piece(1 << 20, fill);
    for (qint64 left = count; left > 0; left -= piece.size())
        f.write(piece.constData(), std::min<qint64>(left, piece.size()));
}

// A station list with one string of kHugeBytes in a station that is otherwise fine.
void writeStations(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[{\"name\":\"Before\",\"url\":\"http://before/\"},\n"
            "{\"name\":\"Big Icon\",\"url\":\"http://icon/\",\"favicon\":\"");
    writeFill(f, 'a', kHugeBytes);
    f.write("\",\"language\":\"english\"},\n{\"name\":\"After\",\"url\":\"http://after/\"}]\n");
}

QByteArray playlistEntry(int i)
{
    return "#EXTINF:-1 tvg-id=\"Chan" + QByteArray::number(i) +
           ".ca\" tvg-logo=\"http://logo.example/" + QByteArray(160, 'l') +
           ".png\" group-title=\"News\",Channel " + QByteArray::number(i) +
           "\nhttp://stream.example/" + QByteArray::number(i) + "/index.m3u8\n";
}

// kPlaylistEntries entries, and in their middle one #EXTINF line of kHugeBytes.
void writePlaylist(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#EXTM3U\n");
    for (int i = 0; i < kPlaylistEntries; ++i) {
        if (i == kPlaylistEntries / 2) {
            f.write("#EXTINF:-1 tvg-logo=\"");
            writeFill(f, 'x', kHugeBytes);
            f.write("\",Lost\nhttp://lost/\n");
        }
        f.write(playlistEntry(i));
    }
}

// Serves the files of one folder over HTTP/1.0, a piece at a time, one connection after another.
class FileServer
{
public:
    explicit FileServer(QString folder) : m_folder(std::move(folder))
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(m_socket, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
            ::listen(m_socket, 8) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&a), &size) != 0)
            return;
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~FileServer()
    {
        ::shutdown(m_socket, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_socket);
    }
    QString url(const QString &name) const
    {
        return u"http://127.0.0.1:%1/%2"_s.arg(m_port).arg(name);
    }

private:
    void run()
    {
        for (;;) {
            const int c = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                return;
            QByteArray request;
            char buffer[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, n);
            }
            const QByteArray path = request.split(' ').value(1);
            QFile f(m_folder + QString::fromLatin1(path));
            if (!f.open(QIODevice::ReadOnly)) {
                send(c, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            } else {
                send(c, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                        "Content-Length: " +
                            QByteArray::number(f.size()) + "\r\n\r\n");
                QByteArray piece(1 << 16, Qt::Uninitialized);
                for (qint64 n; (n = f.read(piece.data(), piece.size())) > 0;) {
                    if (!send(c, QByteArrayView(piece.constData(), n)))
                        break;
                }
            }
            ::close(c);
        }
    }
    static bool send(int c, QByteArrayView bytes)
    {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::send(c, bytes.data() + at, size_t(bytes.size() - at), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    }

    QString m_folder;
    int m_socket = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

struct ChildRun
{
    int exit = -1;
    qint64 peakKiB = 0;     // the most it was resident at once
    qint64 residentKiB = 0; // a serving process: resident after its sync
    QByteArray output;
};

pid_t spawn(const QStringList &args, const QString &outFile)
{
    QList<QByteArray> bytes{QByteArrayLiteral(CATALOGUE_SERVER_EXE)};
    for (const QString &a : args)
        bytes.append(a.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = outFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The child's end, and the most it was resident (the kernel's count, whatever its peaks' length).
// The kernel counts the spawning process's own peak in too (the child starts as its copy), so
// the test keeps itself small.
void reap(pid_t pid, ChildRun &run)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            ::kill(pid, SIGKILL); // a hang, not a slow run: reaped at the next turn
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKiB = usage.ru_maxrss;
}

qint64 statusKiB(pid_t pid, const QByteArray &field)
{
    QFile f(u"/proc/%1/status"_s.arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

class HostileSources : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        writeStations(s_dir->filePath(u"stations.json"_s));
        writePlaylist(s_dir->filePath(u"channels.m3u"_s));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    ChildRun command(const QStringList &args)
    {
        ChildRun run;
        const QString out = s_dir->filePath(u"out.txt"_s);
        const pid_t pid = spawn(args, out);
        if (pid < 0)
            return run;
        reap(pid, run);
        QFile f(out);
        run.output = f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
        return run;
    }

    // The categories of the channel of that name in the last command's output (an export),
    // and how many lines it has, read one at a time: an export can be big.
    static std::pair<QByteArray, qint64> exported(const QByteArray &name)
    {
        QFile f(s_dir->filePath(u"out.txt"_s));
        std::pair<QByteArray, qint64> found;
        for (bool open = f.open(QIODevice::ReadOnly); open && !f.atEnd(); ++found.second) {
            const QList<QByteArray> fields = f.readLine().split('|');
            if (fields.value(1) == name)
                found.first = fields.value(4);
        }
        return found;
    }

    // A server syncing `source` at start: its peak, and what it holds once the sync is done.
    ChildRun serving(const QString &db, const QString &source)
    {
        ChildRun run;
        const QString out = s_dir->filePath(u"serve.txt"_s);
        const pid_t pid = spawn(
            {u"--db"_s, db, u"--port"_s, u"0"_s, u"--sync"_s, source, u"--every"_s, u"1d"_s}, out);
        if (pid < 0)
            return run;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        QFile f(out);
        while (std::chrono::steady_clock::now() < deadline) {
            if (f.open(QIODevice::ReadOnly)) {
                run.output = f.readAll();
                f.close();
            }
            if (run.output.contains("\nsync "))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        run.residentKiB = statusKiB(pid, "VmRSS");
        ::kill(pid, SIGTERM);
        reap(pid, run);
        return run;
    }

    static QTemporaryDir *s_dir;
};

QTemporaryDir *HostileSources::s_dir = nullptr;

TEST_F(HostileSources, ImportStaysSmallAndImportsTheRest)
{
    FileServer http(s_dir->path());
    const QString stationsFile = s_dir->filePath(u"stations.json"_s);
    const QString playlistFile = s_dir->filePath(u"channels.m3u"_s);
    const struct
    {
        const char *name;
        const char *command;
        QString source;
        const char *db;
        const char *counts;
        qint64 channels;
    } cases[] = {
        {"stations file", "import", stationsFile, "a.db", "added 3, skipped 0, duplicate 0", 3},
        {"stations http", "sync", http.url(u"stations.json"_s), "b.db",
         "added 3, skipped 0, duplicate 0, updated 0", 3},
        {"playlist file", "import", playlistFile, "c.db", "added 100000, skipped 1, duplicate 0",
         kPlaylistEntries},
        {"playlist http", "sync", http.url(u"channels.m3u"_s), "d.db",
         "added 100000, skipped 1, duplicate 0, updated 0", kPlaylistEntries},
        // Again: now the source owns every channel it lists.
        {"playlist http again", "sync", http.url(u"channels.m3u"_s), "d.db",
         "added 0, skipped 1, duplicate 0, updated 0, vanished 0", kPlaylistEntries},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString db = s_dir->filePath(QString::fromLatin1(c.db));
        const ChildRun run = command({QString::fromLatin1(c.command), u"--db"_s, db, c.source});
        EXPECT_EQ(run.exit, 0) << run.output.constData();
        EXPECT_TRUE(run.output.contains(c.counts)) << run.output.constData();
        EXPECT_GT(run.peakKiB, 0);
        EXPECT_LE(run.peakKiB, kMaxResidentKiB);
        RecordProperty(std::string(c.name) + " peak KiB", int(run.peakKiB));
        // The station whose icon alone was passed over, and the playlist's last entry.
        EXPECT_EQ(command({u"export"_s, u"--db"_s, db}).exit, 0);
        const bool stations = c.channels == 3;
        const auto [lang, lines] = exported(stations ? "Big Icon" : "Channel 99999");
        EXPECT_EQ(lang, QByteArray(stations ? "English" : "Canada/News"));
        EXPECT_EQ(lines, c.channels);
    }
    // The figures above are the children's own only while this process stays smaller.
    EXPECT_LE(statusKiB(getpid(), "VmHWM"), kMaxResidentKiB / 4);
}

// A serving process syncs a hostile source on a thread of its own, and gives the memory back.
TEST_F(HostileSources, ServingSyncGivesItsMemoryBack)
{
    FileServer http(s_dir->path());
    const ChildRun run = serving(s_dir->filePath(u"serve.db"_s), http.url(u"channels.m3u"_s));
    EXPECT_EQ(run.exit, 0);
    EXPECT_TRUE(run.output.contains("added 100000, skipped 1")) << run.output.constData();
    EXPECT_LE(run.peakKiB, kMaxResidentKiB);
    RecordProperty("peak KiB", int(run.peakKiB));
    RecordProperty("resident after the sync KiB", int(run.residentKiB));
    EXPECT_GT(run.residentKiB, 0);
    EXPECT_LE(run.residentKiB, 100 * 1024);
}

} // namespace
} // namespace mavrel::server
