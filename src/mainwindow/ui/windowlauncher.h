#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace mavrel {

class CatalogueServerWindow;
class FavoriteList;
class LocalizableWindow;
class clsLanguages;
class frmAbout;
class frmLanguage;
class frmWebsite;

// The windows the main window opens beside it, one of each at a time: a second request brings
// the open one to the front. All of them follow the interface language.
class WindowLauncher : public QObject
{
    Q_OBJECT
public:
    WindowLauncher(clsLanguages &languages, LocalizableWindow &mainWindow, FavoriteList &favorites,
                   QWidget *owner);

    // Modal on the first start, until the user chose a language.
    void openLanguageWindow(bool modal);
    // modeWord: "Website", "Sports" or "Extras", the page the window shows.
    void openWebsiteWindow(const QString &modeWord);
    void openAboutWindow();
    void openSubmitWindow();
    void openServerWindow();
    // The main window unloads: the windows that would keep the application alive close.
    void closeAll();

    QPointer<frmLanguage> languageWindow() const { return m_language; }
    QPointer<frmAbout> aboutWindow() const { return m_about; }
    QPointer<frmWebsite> websiteWindow() const { return m_website; }

signals:
    // The user chose another interface language.
    void languageChanged();

private:
    clsLanguages &m_languages;
    LocalizableWindow &m_mainWindow;
    FavoriteList &m_favorites;
    QWidget *m_owner;
    QPointer<frmLanguage> m_language;
    QPointer<frmAbout> m_about;
    QPointer<frmWebsite> m_website;
    QPointer<CatalogueServerWindow> m_server;
};

} // namespace mavrel
