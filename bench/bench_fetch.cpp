// A 50 MB body from a loopback server, fetched the way a listing page is fetched (status text
// into a text box, the event loop run between blocks), against curl fetching the same address.
// Prints both times, their ratio and the longest gap between two event-loop turns.

#include "online/fetch.h"

#include "testhttpserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdio>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kBodyBytes = 50LL * 1000 * 1000;
constexpr int kRuns = 5;

struct CurlTimes
{
    double wall = -1;     // the whole command, as a user runs it
    double transfer = -1; // curl's own time_total
};

CurlTimes runCurl(const QByteArray &url)
{
    QProcess curl;
    QElapsedTimer clock;
    clock.start();
    curl.start(u"curl"_s, {u"-s"_s, u"-o"_s, u"/dev/null"_s, u"-w"_s, u"%{time_total}"_s,
                           QString::fromLatin1(url)});
    if (!curl.waitForFinished(120'000) || curl.exitCode() != 0)
        return {};
    const double wall = clock.nsecsElapsed() / 1e9;
    return {wall, curl.readAllStandardOutput().trimmed().toDouble()};
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The server has a thread of its own, as a real one would not share our event loop.
    QThread serverThread;
    auto *server = new test::TestHttpServer;
    server->serveGenerated("/big", kBodyBytes);
    server->moveToThread(&serverThread);
    QObject::connect(&serverThread, &QThread::finished, server, &QObject::deleteLater);
    serverThread.start();
    bool listening = false;
    QMetaObject::invokeMethod(server, &test::TestHttpServer::listen, Qt::BlockingQueuedConnection,
                              &listening);
    if (!listening) {
        std::fprintf(stderr, "bench_fetch: cannot listen on 127.0.0.1\n");
        return 1;
    }
    const QByteArray url = server->url("/big");

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *txtStatus = new QLineEdit;
    layout->addWidget(txtStatus);
    window.resize(400, 60);
    window.show();

    FetchOptions options;
    options.use = FetchUse::ListingPage;
    options.owner = &window;
    FetchLimits limits = fetchLimits(FetchUse::ListingPage);
    limits.maxBytes = 2 * kBodyBytes; // raised for this measurement only
    options.limits = limits;

    double bestFetch = 1e9;
    double bestCurl = 1e9;
    double bestCurlTransfer = 1e9;
    qint64 worstStallMs = 0;
    for (int run = 0; run < kRuns; ++run) {
        const CurlTimes curlTimes = runCurl(url);
        const double curl = curlTimes.wall;
        bestCurlTransfer = std::min(bestCurlTransfer, curlTimes.transfer);
        if (curl < 0) {
            std::fprintf(stderr, "bench_fetch: curl failed\n");
            return 1;
        }
        bestCurl = std::min(bestCurl, curl);

        // A 1 ms timer fires at every turn of the event loop that is at least 1 ms after the
        // previous one; the longest gap between two firings is the longest stall.
        QElapsedTimer clock;
        qint64 lastTurnNs = 0;
        qint64 longestGapNs = 0;
        QTimer turns;
        turns.setTimerType(Qt::PreciseTimer);
        turns.setInterval(1);
        QObject::connect(&turns, &QTimer::timeout, &turns, [&] {
            const qint64 now = clock.nsecsElapsed();
            longestGapNs = std::max(longestGapNs, now - lastTurnNs);
            lastTurnNs = now;
        });
        clock.start();
        turns.start();
        const FetchResult r = fetchPageWithStatus(
            url,
            statusTextThrottled([txtStatus](const QString &text) { txtStatus->setText(text); }),
            options);
        const double fetch = clock.nsecsElapsed() / 1e9;
        turns.stop();
        if (r.body.size() != kBodyBytes || r.end != FetchEnd::Complete ||
            r.body.left(1 << 20) != test::TestHttpServer::patternBytes(0, 1 << 20)) {
            std::fprintf(stderr, "bench_fetch: wrong body (%lld bytes)\n",
                         static_cast<long long>(r.body.size()));
            return 1;
        }
        bestFetch = std::min(bestFetch, fetch);
        worstStallMs = std::max(worstStallMs, longestGapNs / 1'000'000);
        std::printf("run %d: fetch %.3f s, curl %.3f s, stall %lld ms, status \"%s\"\n", run + 1,
                    fetch, curl, static_cast<long long>(longestGapNs / 1'000'000),
                    txtStatus->text().toUtf8().constData());
    }

    std::printf("body: %lld bytes\n", static_cast<long long>(kBodyBytes));
    std::printf("fetch: %.3f s\n", bestFetch);
    std::printf("curl: %.3f s\n", bestCurl);
    std::printf("curl own transfer time: %.3f s\n", bestCurlTransfer);
    std::printf("ratio: %.2f\n", bestFetch / bestCurl);
    std::printf("stall: %lld ms\n", static_cast<long long>(worstStallMs));

    serverThread.quit();
    serverThread.wait();
    return 0;
}
