#pragma once

#include "localization/ui/windowcontrols.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace mavrel {

class clsLanguages;

// The language window: picks the interface language among the file's languages, downloads the
// newest file from the catalogue server, and opens the file for translating.
class frmLanguage : public QDialog
{
    Q_OBJECT
public:
    static constexpr auto kChooseText = "Choose Language Here";

    // mainWindow: the window re-translated with this one when a language is picked.
    frmLanguage(clsLanguages &languages, LocalizableWindow &mainWindow, QWidget *parent = nullptr);

    void Form_Load();
    void fillLanguageList();

    void Combo1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    LocalizableWindow &localizable() { return m_controls; }

signals:
    // A language was applied to the main window and this one.
    void languageChanged();

public:
    QLabel *Label1;
    QComboBox *Combo1;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;

private:
    clsLanguages &m_languages;
    LocalizableWindow &m_mainWindow;
    WindowControls m_controls;
};

} // namespace mavrel
