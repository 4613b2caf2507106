// The programme guide in the store: the import of a generated 2,000-channel, 7-day XMLTV guide by
// the server executable into SQLite and PostgreSQL (its time, CPU and peak memory), and
// /guide/now.txt for 10,000 channels with a week of programmes each. Prints one figure per line.

#include "guidegen.h"
#include "pgcluster.h"
#include "rawclient.h"

#include "server/catalogue/cataloguepages.h"
#include "server/store/cataloguestore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <vector>

extern char **environ;

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::server;

namespace {

constexpr int kGuideChannels = 2000;
constexpr int kNowChannels = 10000;
constexpr int kNowRuns = 21;

bool fail(const QString &why)
{
    std::fprintf(stderr, "bench_guide_store: %s\n", qPrintable(why));
    return false;
}

// Channels whose guide ids are the generated guide's.
bool seedChannels(const QString &db, int channels)
{
    auto opened = CatalogueStore::open(db);
    if (!opened)
        return fail(opened.error().message);
    CatalogueStore &store = *opened.value();
    if (!store.beginBatch())
        return fail(u"cannot begin"_s);
    for (int i = 0; i < channels; ++i) {
        const QByteArray n = QByteArray::number(i);
        NewChannel c{"Channel " + n,
                     "TV",
                     "http://s.invalid/" + n,
                     "English",
                     bench::generatedGuideId(i),
                     ""};
        if (auto r = store.addChannel(c); !r)
            return fail(r.error().message);
    }
    return store.commitBatch().ok();
}

// `catalogue-server import --db DB --guide GUIDE`: wall and CPU seconds, peak resident memory.
bool timeImport(const char *label, const QString &db, const QString &guide)
{
    const QByteArray exe = CATALOGUE_SERVER, dbArg = db.toUtf8(), guideArg = guide.toUtf8();
    char *args[] = {const_cast<char *>(exe.constData()),
                    const_cast<char *>("import"),
                    const_cast<char *>("--db"),
                    const_cast<char *>(dbArg.constData()),
                    const_cast<char *>("--guide"),
                    const_cast<char *>(guideArg.constData()),
                    nullptr};
    QTemporaryDir outDir;
    const QByteArray outPath = outDir.filePath(u"out"_s).toUtf8();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, exe.constData(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return fail(u"cannot start the server"_s);
    // The peak as the process's own status says it: wait4's figure would start from this
    // benchmark's own peak, which the spawned process inherits until it runs the server.
    int status = 0;
    rusage u{};
    qint64 peakKb = 0;
    pid_t done = 0;
    while ((done = wait4(pid, &status, WNOHANG, &u)) == 0) {
        peakKb = std::max(peakKb, mavrel::testing::residentKb(pid, "VmHWM:"));
        QThread::msleep(5);
    }
    if (done != pid)
        return fail(u"lost the server"_s);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    const double cpu = double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                       double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    QFile out(QString::fromUtf8(outPath));
    const QByteArray says = out.open(QIODevice::ReadOnly) ? out.readAll().trimmed() : "";
    const bool sqlite = qstrcmp(label, "sqlite") == 0;
    const bool postgres = qstrcmp(label, "postgresql") == 0;
    std::printf("%s_guide_import_s %.2f%s\n", label, seconds,
                sqlite     ? " (target <= 10)"
                : postgres ? " (target <= 20)"
                           : "");
    std::printf("%s_guide_import_cpu_s %.2f\n", label, cpu);
    std::printf("%s_guide_import_rss_mb %.1f%s\n", label, double(peakKb) / 1024,
                sqlite ? " (target <= 200)" : "");
    std::printf("%s_guide_import_says %s\n", label, says.constData());
    std::fflush(stdout);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return fail(u"the import failed"_s);
    return true;
}

// A week of back-to-back programmes for each of `channels`, written through the store.
bool seedProgrammes(CatalogueStore &store, int channels, qint64 firstStart)
{
    auto writer = store.beginGuide();
    if (!writer)
        return fail(writer.error().message);
    constexpr int kMinutes[] = {30, 45, 60, 90, 25};
    for (int c = 0; c < channels; ++c) {
        const QByteArray id = bench::generatedGuideId(c);
        int k = c;
        for (qint64 t = firstStart; t < firstStart + 7 * 86400; ++k) {
            const qint64 stop = t + kMinutes[k % 5] * 60;
            Programme p{id,
                        t,
                        stop,
                        u"Programme %1"_s.arg(k),
                        u"Part %1"_s.arg(k % 7),
                        u"What happens in it."_s,
                        u"Series"_s};
            if (auto r = writer.value()->add(p); !r)
                return fail(r.error().message);
            t = stop;
        }
    }
    auto stored = writer.value()->commit();
    if (!stored)
        return fail(stored.error().message);
    std::printf("now_programmes %lld\n", static_cast<long long>(stored.value()));
    return true;
}

// /guide/now.txt for kNowChannels channels, as the page answers it (without the HTTP front).
bool timeNow(const char *label, const QString &db, qint64 firstStart)
{
    qint64 now = firstStart + 3 * 86400 + 1234;
    StoreOptions options;
    options.clock = [&now] { return now; };
    if (!seedChannels(db, kNowChannels))
        return false;
    auto opened = CatalogueStore::open(db, options);
    if (!opened)
        return fail(opened.error().message);
    CatalogueStore &store = *opened.value();
    if (!seedProgrammes(store, kNowChannels, firstStart))
        return false;
    CataloguePages pages(store);
    std::vector<double> ms, storeMs;
    qsizetype lines = 0;
    for (int i = 0; i < kNowRuns; ++i) {
        now += 61;
        QElapsedTimer t;
        t.start();
        const auto rows = store.nowAndNext(now);
        storeMs.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!rows || rows.value().size() != kNowChannels)
            return fail(u"nowAndNext failed"_s);
        t.start();
        const auto reply = pages.handle(u"/guide/now.txt", {}, u"127.0.0.1"_s);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!reply || reply->status != 200)
            return fail(u"now.txt failed"_s);
        lines = reply->body.count('\n');
    }
    std::sort(ms.begin(), ms.end());
    std::sort(storeMs.begin(), storeMs.end());
    std::printf("%s_now_and_next_median_ms %.1f%s\n", label, storeMs[storeMs.size() / 2],
                qstrcmp(label, "sqlite") == 0 ? " (target <= 50)" : "");
    std::printf("%s_now_txt_lines %lld\n", label, static_cast<long long>(lines));
    std::printf("%s_now_txt_median_ms %.1f\n", label, ms[ms.size() / 2]);
    std::printf("%s_now_txt_max_ms %.1f\n", label, ms.back());
    std::fflush(stdout);
    return lines == kNowChannels;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // The guide starts at today's midnight (UTC), so that the import's window, 6 hours back to
    // 7 days ahead of the system clock, holds most of it.
    bench::GuideShape shape;
    shape.channels = kGuideChannels;
    shape.firstStart = QDateTime::currentSecsSinceEpoch() / 86400 * 86400;
    const QString guide = dir.filePath(u"guide.xml"_s);
    const auto written = bench::writeGeneratedGuide(guide, shape);
    if (!written)
        return fail(written.error().message) ? 0 : 1;
    std::printf("guide_channels %d\n", shape.channels);
    std::printf("guide_programmes %lld\n", static_cast<long long>(written.value()));
    std::printf("guide_file_mb %.1f\n", double(QFile(guide).size()) / 1e6);

    // "bench_guide_store sqlite" or "postgresql": that backend alone ("postgresql-import": its
    // import alone).
    const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    const QString sqlite = dir.filePath(u"guide.db"_s);
    if (!only.startsWith("postgresql")) {
        if (!seedChannels(sqlite, kGuideChannels) || !timeImport("sqlite", sqlite, guide))
            return 1;
        // A second import replaces every channel's programmes.
        if (!timeImport("sqlite_again", sqlite, guide))
            return 1;
        if (!timeNow("sqlite", dir.filePath(u"now.db"_s), shape.firstStart))
            return 1;
    }
    if (only == "sqlite")
        return 0;
    mavrel::testing::PgCluster cluster;
    if (!cluster.ok())
        return fail(cluster.error()) ? 0 : 1;
    const QString postgres = cluster.newDatabase();
    if (!seedChannels(postgres, kGuideChannels) || !timeImport("postgresql", postgres, guide))
        return 1;
    if (only == "postgresql-import")
        return 0;
    if (!timeNow("postgresql", cluster.newDatabase(), shape.firstStart))
        return 1;
    return 0;
}
