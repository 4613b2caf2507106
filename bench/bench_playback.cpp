// From a click on a demo channel of the catalogue server (on loopback) to the player playing:
// the check fetch, the report and the player's start, median of 20 clicks.
#include "catalogueserver.h"
#include "mainwindow/ui/channelplayback.h"
#include "player/ui/mediaplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace mavrel;

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    QApplication app(argc, argv);
    const QByteArray channelName = argc > 1 ? QByteArray(argv[1]) : QByteArray("Demo Test Card");

    test::CatalogueServer server;
    if (!server.start()) {
        std::fprintf(stderr, "bench_playback: %s\n", qPrintable(server.error()));
        return 1;
    }
    qputenv("MAVREL_CATALOGUE_URL", server.baseUrl());
    const ChannelRecord *record = server.channel(channelName);
    if (!record) {
        std::fprintf(stderr, "bench_playback: no demo channel %s\n", channelName.constData());
        return 1;
    }
    const SelectedChannel channel{record->name, record->url, record->kind};

    QWidget window;
    auto *player = new MediaPlayer(&window);
    auto *offline = new QLabel(&window);
    ChannelPlayback::Hooks hooks;
    hooks.selectedChannel = [&] { return std::optional(channel); };
    ChannelPlayback playback(player, offline, std::move(hooks), &window);
    window.resize(640, 480);
    window.show();

    constexpr int kRuns = 20;
    QList<qint64> times;
    QList<qint64> checks;
    for (int run = 0; run < kRuns + 1; ++run) {
        player->close();
        QElapsedTimer clock;
        clock.start();
        playback.ListView1_Click();
        checks << clock.elapsed();
        if (!QTest::qWaitFor([&] { return player->state() == MediaPlayer::State::Playing; },
                             10000)) {
            std::fprintf(stderr, "bench_playback: %s did not play\n", channelName.constData());
            return 1;
        }
        if (run > 0) // the first click warms the engine up
            times << clock.elapsed();
    }
    checks.removeFirst();
    std::sort(times.begin(), times.end());
    std::sort(checks.begin(), checks.end());
    std::printf("channel: %s\n", channelName.constData());
    std::printf("min: %lld ms\n", times.first());
    std::printf("max: %lld ms\n", times.last());
    std::printf("check and report median: %lld ms\n",
                (checks[kRuns / 2 - 1] + checks[kRuns / 2]) / 2);
    std::printf("median: %lld ms\n", (times[kRuns / 2 - 1] + times[kRuns / 2]) / 2);
    return 0;
}
