#include "mainwindow/ui/viewer.h"

#include "branding/branding.h"
#include "branding/ui/frmsplash.h"
#include "mainwindow/commandline.h"
#include "mainwindow/singleinstance.h"
#include "mainwindow/ui/form1.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/termination.h"
#include "platform/widgets/qtdialogs.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace mavrel {

int runViewer(QApplication &app, const OpenRequest &request)
{
    const Branding &b = branding();
    QApplication::setApplicationName(b.productName);
    QApplication::setOrganizationName(b.companyName);
    QApplication::setApplicationVersion(QString::number(b.versionMajor) + u'.' +
                                        QString::number(b.versionMinor));
    // The main window's unload ends the application, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);

    // Before any window: a second start only hands its request over, and never shows a box.
    auto instance = std::make_unique<SingleInstance>();
    if (!instance->tryAcquire()) {
        if (const auto sent = instance->handOver(request.targets); !sent)
            std::fprintf(stderr, "%s\n", sent.error().message.toLocal8Bit().constData());
        return 0;
    }

    QtDialogs boxes;
    setDialogs(&boxes);
    // Reported in the status bar once the main window is up.
    (void)prepareApplicationFolder();

    std::unique_ptr<Form1> mainWindow;
    std::unique_ptr<frmSplash> splash;
    splash = std::make_unique<frmSplash>([&] {
        mainWindow = std::make_unique<Form1>(splash.get());
        QObject::connect(mainWindow.get(), &Form1::unloaded, &app, &QCoreApplication::quit);
        mainWindow->adoptInstance(std::move(instance));
        if (!mainWindow->Form_Load()) {
            // Another instance runs, or the start-up was ended meanwhile: end quietly.
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
            return;
        }
        mainWindow->show();
        mainWindow->openOnStart(request);
    });
    // A session logging out or a kill ends the viewer the way File > Exit does.
    onTerminationSignals([&] {
        if (mainWindow)
            mainWindow->close();
        else
            QCoreApplication::quit();
    });
    splash->start();
    const int code = app.exec();
    onTerminationSignals({});
    mainWindow.reset();
    splash.reset();
    setDialogs(nullptr);
    return code;
}

} // namespace mavrel
