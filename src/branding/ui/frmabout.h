#pragma once

#include "localization/ui/windowcontrols.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace mavrel {

// Product, version, owner and website; modeless, one instance at a time (the main window keeps
// it).
class frmAbout : public QWidget
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    void Form_Load();
    // The texts a language translates: the caption, the field names, the notice and OK.
    LocalizableWindow &localizable() { return m_controls; }

    QLabel *Label1;
    QLabel *Label2;
    QLabel *lblVersion;
    QLabel *Label3;
    QLabel *lblCompany;
    QLabel *Label4;
    QLabel *lblWebsite;
    QLabel *Label5;
    QLabel *Picture1;
    QPushButton *cmdOK;

private:
    WindowControls m_controls;
};

} // namespace mavrel
