#pragma once

#include "mainwindow/channelcheck.h"
#include "mainwindow/commandline.h"
#include "mainwindow/ui/categorybar.h"
#include "mainwindow/ui/mainmenus.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QDBusConnection;
class QLabel;

namespace mavrel {

class ChannelPanel;
class DesktopSession;
class FavoritesPanel;
class MyFilesPanel;
class PanelLayout;
class PlayerArea;
class SingleInstance;
class VideoSitePanel;
class clsLanguages;
class LocalizableWindow;
class MediaOpener;
class RecentPanel;
class UpdateRunner;
class WindowControls;
class WindowLauncher;

// The main window: it builds the panels (category buttons, the channel, favourites, My Files and
// video-site frames, the player area, the menus), connects them, places them as the window
// resizes and runs the start-up. Each panel owns its controls.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    // splash: the start window, whose icon the main window takes and which it closes at the end.
    explicit Form1(QWidget *splash = nullptr);
    ~Form1() override;

    // Runs the start-up. Returns false when another instance is running or the window was
    // unloaded meanwhile (a termination request while the first-start language window was up):
    // the caller ends this one without a word.
    bool Form_Load();
    // The lock a start took before making the window (so that a second start hands its
    // arguments over without showing anything); Form_Load takes one itself otherwise.
    void adoptInstance(std::unique_ptr<SingleInstance> instance);
    // What the command line asked to open, played once the window is up.
    void openOnStart(const OpenRequest &request);
    void Form_Unload();

    // Start-up switches, exposed so that each configuration can be exercised.
    void applyCompanySwitch(const QString &companyName);
    void applyStaffSwitch(bool adminFilePresent);
    bool staffMode() const { return m_staffMode; }
    bool firstStart() const { return m_firstStart; }

    void showCategory(Category category);

    CategoryBar &categoryBar() const { return *m_categories; }
    ChannelPanel &channelPanel() const { return *m_channels; }
    FavoritesPanel &favoritesPanel() const { return *m_favorites; }
    MyFilesPanel &myFilesPanel() const { return *m_files; }
    RecentPanel &recentPanel() const { return *m_recent; }
    MediaOpener &opener() const { return *m_opener; }
    VideoSitePanel &videoSitePanel() const { return *m_videoSite; }
    PlayerArea &playerArea() const { return *m_player; }
    MainMenus &menus() const { return *m_menus; }

    clsLanguages &languages() { return *m_languages; }
    // The window's controls in design order, as localisation walks them.
    LocalizableWindow &localizable();
    WindowLauncher &windows() const { return *m_windows; }

    // The desktop's media controls and the screen saver, on the session bus unless a test
    // hands another bus.
    void createSessionBus(const QDBusConnection &bus);
    DesktopSession &desktopSession() const { return *m_session; }

signals:
    // The window has unloaded; the application ends.
    void unloaded();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createPanels();
    void connectPanels();
    void createLocalization();
    void openFindBar();
    QString message(const QString &key) const;
    void layoutControls();

    std::unique_ptr<clsLanguages> m_languages;
    QLabel *StatusBar1Panel1 = nullptr;
    CategoryBar *m_categories = nullptr;
    ChannelPanel *m_channels = nullptr;
    FavoritesPanel *m_favorites = nullptr;
    MyFilesPanel *m_files = nullptr;
    RecentPanel *m_recent = nullptr;
    MediaOpener *m_opener = nullptr;
    UpdateRunner *m_update = nullptr;
    VideoSitePanel *m_videoSite = nullptr;
    PanelLayout *m_layout = nullptr;
    PlayerArea *m_player = nullptr;
    MainMenus *m_menus = nullptr;
    DesktopSession *m_session = nullptr;
    PlayRequests m_playRequests; // channel list, favourites, My Files and videos alike
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<WindowControls> m_localizable;
    QPointer<QWidget> m_splash;
    WindowLauncher *m_windows = nullptr;
    QString m_dataDirectory;
    QByteArray m_staffToken; // admin.txt's first line, sent with staff reports
    bool m_staffMode = false;
    bool m_firstStart = false;
    bool m_unloaded = false;
    bool m_centred = false;
};

} // namespace mavrel
