#include "mainwindow/commandline.h"
#include "mainwindow/ui/viewer.h"

#include <QApplication>
#include <QDir>

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
    auto request = mavrel::parseArguments(QCoreApplication::arguments(), QDir::currentPath());
    if (!request) {
        std::fputs(request.error().message.toLocal8Bit().constData(), stderr);
        return int(request.error().code);
    }
    // The viewer starts anyway: the window shows them too.
    for (const mavrel::OpenRequest::Refusal &refused : std::as_const(request.value().refused))
        std::fprintf(stderr, "%s\n", refused.why.toLocal8Bit().constData());
    // Ties the windows to the installed desktop file, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral(MAVREL_APP_ID));
    return mavrel::runViewer(app, request.value());
}
