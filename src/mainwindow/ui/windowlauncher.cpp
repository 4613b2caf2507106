#include "mainwindow/ui/windowlauncher.h"

#include "branding/ui/frmabout.h"
#include "branding/ui/frmwebsite.h"
#include "localization/clslanguages.h"
#include "localization/ui/frmlanguage.h"
#include "mainwindow/ui/catalogueserverwindow.h"
#include "submit/ui/frmsubmit.h"

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

void bringToFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

WindowLauncher::WindowLauncher(clsLanguages &languages, LocalizableWindow &mainWindow,
                               FavoriteList &favorites, QWidget *owner)
    : QObject(owner), m_languages(languages), m_mainWindow(mainWindow), m_favorites(favorites),
      m_owner(owner)
{}

void WindowLauncher::openLanguageWindow(bool modal)
{
    if (!m_language) {
        m_language = new frmLanguage(m_languages, m_mainWindow, m_owner);
        m_language->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_language, &frmLanguage::languageChanged, this, [this] {
            if (m_about)
                m_languages.ChangeLanguage(m_about->localizable(), m_languages.currentLanguage());
            emit languageChanged();
        });
        m_language->Form_Load();
    }
    if (modal)
        m_language->exec();
    else
        bringToFront(m_language);
}

void WindowLauncher::openWebsiteWindow(const QString &modeWord)
{
    frmWebsite::modeWord() = modeWord;
    // While the window of an earlier press is still loaded, its load does not run again.
    if (!m_website) {
        m_website = new frmWebsite(m_owner);
        m_website->Form_Load();
    }
}

void WindowLauncher::openAboutWindow()
{
    if (!m_about) {
        m_about = new frmAbout(m_owner);
        m_languages.ChangeLanguage(m_about->localizable(), m_languages.currentLanguage());
    }
    bringToFront(m_about);
}

void WindowLauncher::openSubmitWindow()
{
    auto *window = m_owner->findChild<frmSubmit *>(u"frmSubmit"_s, Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new frmSubmit(m_languages, m_favorites, m_owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->Form_Load();
    }
    bringToFront(window);
}

void WindowLauncher::openServerWindow()
{
    if (!m_server) {
        m_server = new CatalogueServerWindow(m_languages, m_owner);
        m_server->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringToFront(m_server);
}

void WindowLauncher::closeAll()
{
    // Ends a modal language window's loop too, so a start-up waiting on it goes no further.
    if (m_language)
        m_language->close();
    if (m_about)
        m_about->close();
}

} // namespace mavrel
