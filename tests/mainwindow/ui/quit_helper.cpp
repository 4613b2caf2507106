// Clicks a channel and quits the application while its stream is still opening: the process
// must end by itself, without a crash. Modes: "fetch" quits during the check's fetch, "open"
// quits while the player opens a stream that never answers.
#include "mainwindow/ui/channelplayback.h"
#include "player/ui/mediaplayer.h"

#include <QApplication>
#include <QLabel>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace mavrel;

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool duringFetch = app.arguments().value(1) == u"fetch"_s;

    // Accepts connections and never answers.
    QTcpServer silent;
    QList<QTcpSocket *> held;
    if (!silent.listen(QHostAddress::LocalHost, 0))
        return 2;
    QObject::connect(&silent, &QTcpServer::newConnection, &silent, [&] {
        while (QTcpSocket *socket = silent.nextPendingConnection())
            held << socket;
    });
    const QByteArray address = "http://127.0.0.1:" + QByteArray::number(silent.serverPort()) +
                               (duringFetch ? "/live" : "/live.wmv");
    qputenv("MAVREL_CATALOGUE_URL", "http://127.0.0.1:" + QByteArray::number(silent.serverPort()));

    auto *window = new QWidget;
    auto *player = new MediaPlayer(window);
    auto *offline = new QLabel(window);
    auto *playback = new ChannelPlayback(
        player, offline,
        {[&] {
             return std::optional<SelectedChannel>(SelectedChannel{"Live", address, "TV"});
         },
         {},
         {},
         {},
         {}},
        window);
    window->show();

    QTimer::singleShot(0, playback, [playback] { playback->ListView1_Click(); });
    QTimer::singleShot(400, &app, [&] {
        if (!duringFetch && player->state() != MediaPlayer::State::Opening)
            QCoreApplication::exit(3);
        else
            QCoreApplication::quit();
    });
    const int code = app.exec();
    delete window;
    return code;
}
