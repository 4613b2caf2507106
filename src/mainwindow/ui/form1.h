#pragma once

#include "catalogue/channelrecord.h"
#include "mainwindow/channelcheck.h"
#include "mainwindow/layout.h"
#include "player/ui/mediaplayer.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QUrl>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QDBusConnection;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTreeView;
class QWebEngineView;

namespace mavrel {

class CatalogueController;
class ChannelPlayback;
class CheckAllRun;
class LocalFilesView;
class ChannelListModel;
class FindBar;
class MprisService;
class ScreenSaverInhibitor;
class FavoriteList;
class FavoritesController;
class VideoSiteBrowser;
class ListViewEnh;
class SingleInstance;
class clsLanguages;
class LocalizableWindow;
class WindowControls;
class CatalogueServerWindow;
class frmAbout;
class frmLanguage;
class frmWebsite;
struct CatalogueViewState;

// The main window: category buttons, the left panel with its frames, the player area and the
// status bar. Each area's work lives in its own files; this class holds the controls and wires
// their events.
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
    void Form_Resize();
    void Form_Unload();
    void layoutControls();

    // Start-up switches, exposed so that each configuration can be exercised.
    void applyCompanySwitch(const QString &companyName);
    void applyStaffSwitch(bool adminFilePresent);

    // Catalogue view.
    void loadChannelList();
    CatalogueViewState &viewState();
    ChannelListModel &channelModel() { return *m_channels; }

    // Event handlers.
    void cmdTV_Click();
    void cmdRadio_Click();
    void cmdVideo_Click();
    void cmdXXX_Click();
    void cmdFavorites_Click();
    void cmdFiles_Click();
    void cmdYouTube_Click();
    void cmdSports_Click();
    void cmdExtras_Click();
    void cmdWebsite_Click();
    void mnuFileItem_Click(int Index);
    void mnuCatItem_Click(int Index);
    void mnuHelpItem_Click(int Index);
    void mnuAboutItem_Click(int Index);
    void mnuLanguageItem_Click(int Index);
    // The catalogue server window (one at a time, not modal).
    void openServerWindow();
    void Combo1_Click();
    void cmbSortTV_Click();
    void ListView1_ColumnClick(int ColumnHeader);
    void ListView2_ColumnClick(int ColumnHeader);

    // Playing channels, the player's events and the status mirror.
    void ListView1_Click();
    void WindowsMediaPlayer1_MediaError(const QString &url);
    void WindowsMediaPlayer1_Warning(int WarningType, int Param, const QString &Description);
    void txtStatus_Change();

    // Checking every channel; the run's Timer1, checkDone and checkTicks live in checkRun().
    void checkAllChannels();
    // "Add Channels": the submission window, modeless; the open one comes to the front.
    void openSubmitWindow();
    CheckAllRun &checkRun() { return *m_checkRun; }
    LocalFilesView &localFiles() { return *m_localFiles; }

    // Catalogue updates; the exchange and the merge live in online/.
    QString getINI() const;
    void makeINI(const QString &strDate);
    int extractNewDefs(const QByteArray &strDefs);
    void updateChannels();
    void updateDeadChannels();

    // Window state set at start-up.
    QString dataDirectory;
    bool staffMode = false;
    QByteArray staffToken; // admin.txt's first line, sent with staff reports
    QString countryCode;
    QString currentLanguage;
    bool firstStart = false;
    clsLanguages &languages() { return *m_languages; }
    // The window's controls in design order, as localisation walks them.
    LocalizableWindow &localizable();
    QPointer<frmLanguage> languageWindow() const { return m_languageWindow; }

    // The browser is created the first time it is shown, so start-up never waits for it.
    QWebEngineView *browser() const { return wbyoutube; }
    QUrl browserPage() const { return m_browserPage; }
    bool browserAreaShown() const { return m_browserArea; }

    // Controls.
    QPushButton *cmdTV;
    QPushButton *cmdRadio;
    QPushButton *cmdYouTube;
    QPushButton *cmdFavorites;
    QPushButton *cmdFiles;
    QPushButton *cmdUpdate;
    QPushButton *cmdWebsite;
    QPushButton *cmdExtras;
    QPushButton *cmdSports;
    QPushButton *cmdXXX;
    QPushButton *cmdVideo;
    QGroupBox *Frame1;
    QGroupBox *Frame2;
    QGroupBox *Frame3;
    QGroupBox *Frame4;
    QGroupBox *Frame5;
    QLabel *lblCountry;
    QComboBox *Combo1;
    QLabel *lblSort;
    QComboBox *cmbSortTV;
    ListViewEnh *ListView1;
    ListViewEnh *ListView2;
    QTreeView *ListView3;
    QLineEdit *txtStatus;
    QCheckBox *chkLoad;
    QComboBox *Drive1;
    QListWidget *Dir1;
    QListWidget *File1;
    MediaPlayer *WindowsMediaPlayer1;
    QLabel *imgOffline;
    QLabel *StatusBar1Panel1;

    QMenu *mnuFile;
    QMenu *mnuCat;
    QMenu *mnuUpdate;
    QMenu *mnuLanguage;
    QMenu *mnuHelp;
    QMenu *mnuAbout;
    std::array<QAction *, 3> mnuFileItem{};
    std::array<QAction *, 9> mnuCatItem{};
    std::array<QAction *, 5> mnuUpdateItem{};
    std::array<QAction *, 1> mnuLanguageItem{};
    std::array<QAction *, 1> mnuHelpItem{};
    std::array<QAction *, 1> mnuAboutItem{};

    // Favourites: the list, its file and the channel and video actions menus.
    void loadFavorites();
    bool saveFavorites();
    void doChannelAction(const QByteArray &word);
    FavoriteList &favorites();
    FavoritesController &favoritesController() { return *m_favoritesController; }
    void cmdFav_Click();
    void ListView1_MouseUp(int Button);
    void mnuActionItem_Click(int Index);
    void Command4_Click();
    void mnuAction2Item_Click(int Index);
    void Command1_Click();
    void ListView2_Click();
    QPushButton *cmdFav;
    QPushButton *Command1;
    QPushButton *Command4;
    QMenu *mnuActions;
    QMenu *mnuActions2;
    QList<QAction *> mnuActionItem;
    QList<QAction *> mnuAction2Item;

    // The video-site browser.
    void loadVideoList();
    void Combo3_Click();
    void Combo4_Click();
    void cmdSearch_Click();
    void txtYouTube_KeyPress(int KeyAscii);
    void ListView3_Click();
    void showVideo(const QByteArray &title, const QByteArray &videoId);
    VideoSiteBrowser &videoSite() { return *m_videoSite; }
    QComboBox *Combo3;
    QComboBox *Combo4;
    QLineEdit *txtYouTube;
    QPushButton *cmdSearch;

    // Find-as-you-type under the channel and the favourites list (form1_desktop.cpp).
    FindBar *findChannels = nullptr;
    FindBar *findFavorites = nullptr;
    // The keyboard: Space pauses and resumes, F11 or a double click on the picture shows it on
    // the whole screen and Escape leaves, the volume and media keys drive the player.
    void togglePause();
    void togglePictureFullScreen();
    bool pictureFullScreen() const { return m_fullScreen.on; }
    // The desktop's media controls and the screen saver, on the session bus unless a test
    // hands another bus.
    void createSessionBus(const QDBusConnection &bus);
    MprisService *mediaControls() const { return m_mpris; }
    ScreenSaverInhibitor *screenSaver() const { return m_screenSaver; }

    QPointer<frmAbout> aboutWindow() const { return m_about; }
    QPointer<frmWebsite> websiteWindow() const { return m_website; }

signals:
    // The window has unloaded; the application ends.
    void unloaded();
    void pictureFullScreenChanged(bool on);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void createPlayback();
    // The channel row selected in ListView1, as the catalogue holds it.
    std::optional<ChannelRecord> selectedChannelRecord() const;
    void createFavorites();
    void connectFavoritesEvents();
    void createVideoSite();
    void connectVideoSiteEvents();
    void createMenus();
    void connectEvents();
    void connectUpdates();
    void runUpdate(int list);
    void createDesktop();
    void addDesktopControls(WindowControls &c);
    void showFindStatus();
    void createKeyboard();
    void placeFullScreenPicture();
    void followPlayer();
    void showVolume();
    void createLocalization();
    void applyStartLanguage();
    void openLanguageWindow(bool modal);
    void showCatalogueKind(const QString &kind);
    void openWebsiteWindow(const QString &modeWord);
    void showFrame(QGroupBox *frame);
    void showPlayerArea();
    void showBrowserArea();
    void ensureBrowser();
    void writeBrowserPlaceholder();
    ResizableControls currentGeometry() const;
    void applyGeometry(const ResizableControls &c);

    std::unique_ptr<clsLanguages> m_languages;
    ChannelListModel *m_channels;
    FavoritesController *m_favoritesController = nullptr;
    VideoSiteBrowser *m_videoSite = nullptr;
    std::unique_ptr<CatalogueController> m_catalogue;
    PlayRequests m_playRequests; // channel list, favourites, My Files and videos alike
    ChannelPlayback *m_playback = nullptr;
    CheckAllRun *m_checkRun = nullptr;
    LocalFilesView *m_localFiles = nullptr;
    std::unique_ptr<SingleInstance> m_instance;
    QPointer<QWidget> m_splash;
    QPointer<frmAbout> m_about;
    QPointer<frmWebsite> m_website;
    std::unique_ptr<WindowControls> m_localizable;
    QPointer<frmLanguage> m_languageWindow;
    bool m_unloaded = false;
    QString m_allText = QStringLiteral("All"); // the Type box's first item, in its language
    QPointer<CatalogueServerWindow> m_serverWindow;
    QWebEngineView *wbyoutube = nullptr;
    TwipsRect m_browserRect;
    QUrl m_browserPage;
    bool m_browserArea = false;
    bool m_centred = false;
    bool m_updating = false;
    int m_catalogueTotal = 0; // the last load's count of every channel, for the find status
    QString m_listStatus;     // the counts of the list, as the status panel last showed them
    struct FullScreenPicture
    {
        bool on = false;
        QList<QPointer<QWidget>> hidden; // what made room for the picture, shown again after
        Qt::WindowStates states;
        QRect playerRect;
    };
    FullScreenPicture m_fullScreen;
    MprisService *m_mpris = nullptr;
    ScreenSaverInhibitor *m_screenSaver = nullptr;
    QString m_playingKind;
};

} // namespace mavrel
