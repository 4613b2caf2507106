// Opens an address in a player and quits the application after a delay, for the test that
// quitting while a stream opens ends the process cleanly.
#include "player/ui/mediaplayer.h"
#include "player/vlcengine.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    auto *player = new mavrel::MediaPlayer;
    player->show();
    player->setURL(QString::fromLocal8Bit(argv[1]));
    QTimer::singleShot(QByteArray(argv[2]).toInt(), &app, &QApplication::quit);
    const int rc = app.exec();
    delete player;
    std::printf("state at exit: done\n");
    return rc;
}
