#pragma once

#include "localization/ui/windowcontrols.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace mavrel {

class clsLanguages;
class ServerProbe;
struct ServerProbeResult;

// Names the catalogue server: shows the address in use, tries a typed one without blocking the
// window, and stores it in the per-user settings on OK. While MAVREL_CATALOGUE_URL is set, that
// address wins, and the window shows it and says so.
class CatalogueServerWindow : public QDialog
{
    Q_OBJECT
public:
    explicit CatalogueServerWindow(clsLanguages &languages, QWidget *parent = nullptr);

    LocalizableWindow &localizable() { return m_controls; }
    ServerProbe &probe() { return *m_probe; }

private:
    void cmdTest_Click();
    void cmdOK_Click();
    void showProbeResult(const ServerProbeResult &result);
    QString message(const char *key) const;

    QLabel *lblAddress;
    QLineEdit *txtAddress;
    QLabel *lblOverride;
    QPushButton *cmdTest;
    QLabel *lblResult;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;

    clsLanguages &m_languages;
    WindowControls m_controls;
    ServerProbe *m_probe;
    bool m_overridden = false;
    QString m_testedAddress;
};

} // namespace mavrel
