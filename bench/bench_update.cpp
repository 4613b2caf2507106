// Measures catalogue updates: merging 10,000 update lines into catalogues of 100,000 and
// 1,000,000 lines, atomic replacement included (ratio: the per-line cost of the large merge over
// the small one), and a full update of 1,000,000 channels from the catalogue server on loopback,
// fetch and merge. Prints one figure per line. With "--quick", the full update is skipped.
#include "online/catalogueupdate.h"
#include "online/fetch.h"
#include "online/updateexchange.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

QByteArray catalogueLine(qint64 id)
{
    const QByteArray n = QByteArray::number(id);
    return n + "|Channel number " + n + "|" + (id % 3 ? "TV" : "Radio") +
           "|\xc9\xd5\xd5\xd1\x9b\x90\x90\xd4\xd5\xd3\xc6\xc2\xce\x8f" + n +
           "\x8f\xc6\xd9\xc2\xce\xd1\xcd\xc6\x90\xcd\xca\xd7\xc6|English, News|||" +
           QByteArray::number(id % 97) + "|4.5|\r\n";
}

QByteArray catalogue(qint64 lines)
{
    QByteArray text;
    text.reserve(lines * 110);
    for (qint64 id = 1; id <= lines; ++id)
        text += catalogueLine(id);
    return text;
}

// 10,000 lines: half replace channels spread over the catalogue, a quarter add new ones, a
// quarter remove.
QByteArray updateReply(qint64 catalogueLines)
{
    QByteArray reply;
    for (int i = 0; i < 10000; ++i) {
        const qint64 id = i < 7500 ? 1 + (qint64(i) * 7919) % catalogueLines : catalogueLines + i;
        QByteArray line = catalogueLine(id);
        line.chop(3);
        reply += (i >= 5000 && i < 7500 ? "DEL|" : "ADD|") + line + "<BR>";
    }
    return reply;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Median milliseconds of merging the reply into a fresh copy of the catalogue.
double mergeMs(const QString &path, const QByteArray &original, const QByteArray &reply, int runs,
               int expectedAdds = 7500)
{
    QList<double> times;
    for (int r = 0; r < runs; ++r) {
        if (!writeFile(path, original))
            return -1;
        QElapsedTimer t;
        t.start();
        const Result<int> merged = extractNewDefs(path, reply);
        times.append(double(t.nsecsElapsed()) / 1e6);
        if (!merged || merged.value() != expectedAdds)
            return -1;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool runServerCommand(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QString::fromUtf8(CATALOGUE_SERVER), arguments);
    return tool.waitForFinished(600'000) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

// Seconds of a full update of a million channels, or a negative number on failure.
double fullUpdateSeconds(const QTemporaryDir &dir, const QByteArray &million)
{
    const QString db = dir.filePath(u"catalogue.db"_s);
    const QString source = dir.filePath(u"source.txt"_s);
    if (!writeFile(source, million) || !runServerCommand({u"import"_s, u"--db"_s, db, source}))
        return -1;
    QProcess server;
    server.start(QString::fromUtf8(CATALOGUE_SERVER), {u"--db"_s, db, u"--port"_s, u"0"_s});
    if (!server.waitForReadyRead(30'000))
        return -1;
    const QByteArray base = server.readLine().trimmed().mid(int(qstrlen("listening on ")));

    // The viewer already holds every channel: the update replaces them all.
    const QString data = dir.filePath(u"viewer"_s);
    QDir().mkpath(data);
    if (!writeFile(data + u"/Data.txt"_s, million))
        return -1;
    UpdateContext context;
    context.server = base;
    context.dataDirectory = data;
    context.setStatus = [](const QString &) {};
    int count = -1;
    context.showMessage = [&count](const QString &text) {
        if (text.startsWith(u"Downloaded "_s))
            count = text.section(u' ', 1, 1).toInt();
    };
    context.showChannels = [] {};
    // The reply alone, for comparison: the server's part and the transfer.
    QElapsedTimer fetchTimer;
    fetchTimer.start();
    const FetchResult reply = fetchPage(base + "/ostrel/getChannels.asp?date=3/16/2006",
                                        FetchOptions{FetchUse::UpdateReply, nullptr, {}});
    std::printf("fetch of the full reply alone: %.2f s, %lld bytes\n",
                double(fetchTimer.nsecsElapsed()) / 1e9, qint64(reply.body.size()));
    std::fflush(stdout);

    QElapsedTimer t;
    t.start();
    const Result<UpdateOutcome> outcome = updateChannels(context);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    server.terminate();
    server.waitForFinished(10'000);
    if (!outcome || outcome.value().state != UpdateState::Merged || count != 1'000'000)
        return -1;
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(u"--quick"_s);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Data.txt"_s);

    const QByteArray small = catalogue(100'000);
    const double smallMs = mergeMs(path, small, updateReply(100'000), 7);
    std::printf("merge 10000 into 100000 lines: %.1f ms (target <= 300)\n", smallMs);
    std::fflush(stdout);

    const QByteArray large = catalogue(1'000'000);
    const double largeMs = mergeMs(path, large, updateReply(1'000'000), 5);
    std::printf("merge 10000 into 1000000 lines: %.1f ms\n", largeMs);
    const double ratio = (largeMs / 1'010'000.0) / (smallMs / 110'000.0);
    std::printf("ratio: %.2f (per-line cost, target <= 1.5)\n", ratio);
    std::fflush(stdout);
    if (smallMs < 0 || largeMs < 0)
        return 1;

    // The merge of a full update: every line replaced.
    QByteArray full;
    full.reserve(large.size() + 5'000'000);
    for (qint64 id = 1; id <= 1'000'000; ++id) {
        QByteArray line = catalogueLine(id);
        line.chop(3);
        full += "ADD|" + line + "<BR>";
    }
    const double fullMs = mergeMs(path, large, full, 3, 1'000'000);
    std::printf("merge of 1000000 update lines into 1000000 lines: %.1f ms\n", fullMs);
    std::fflush(stdout);

    if (!quick) {
        const double seconds = fullUpdateSeconds(dir, large);
        std::printf("full update of 1000000 channels from the server: %.2f s (target <= 5)\n",
                    seconds);
        if (seconds < 0)
            return 1;
    }
    return 0;
}
