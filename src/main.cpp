#include "mainwindow/commandline.h"
#include "mainwindow/ui/viewer.h"

#include <QApplication>

#include <cstdio>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // Answered before Qt looks for a display, so they work on a console too.
    if (const auto code = mavrel::answerInformationOptions(argc, argv, stdout))
        return *code;
    // The web engine refuses to start its sandbox for the root user.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The web view draws through the software scene graph: with OpenGL compositing, showing it
    // recreates the main window, which leaves the player's native video window behind (black
    // video, or a black window where OpenGL is missing). QT_QUICK_BACKEND still wins when set.
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (const auto checked = mavrel::checkArguments(QCoreApplication::arguments()); !checked) {
        std::fputs(checked.error().message.toLocal8Bit().constData(), stderr);
        return int(checked.error().code);
    }
    // Ties the windows to the installed desktop file, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral(MAVREL_APP_ID));
    return mavrel::runViewer(app);
}
