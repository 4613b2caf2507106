#include "mainwindow/viewer.h"

#include "branding/branding.h"

#include <QApplication>
#include <QLabel>

namespace mavrel {

int runViewer(QApplication &app)
{
    app.setApplicationName(branding().productName);
    app.setOrganizationName(branding().companyName);
    QLabel window(branding().productName);
    window.setWindowTitle(branding().productName);
    window.resize(640, 480);
    window.show();
    return app.exec();
}

} // namespace mavrel
