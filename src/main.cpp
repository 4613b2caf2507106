#include "mainwindow/viewer.h"

#include <QApplication>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // The web engine refuses to start its sandbox for the root user.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    return mavrel::runViewer(app);
}
