#pragma once

// The main window's controls as tests reach them: by their object names, which localisation
// and screen readers know too, so that tests do not depend on how the window holds them.

#include <QList>

#include <array>

class QAction;
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
class QWidget;

namespace mavrel {

class FindBar;
class ListViewEnh;
class MediaPlayer;

namespace test {

// Each member is looked up once, when the struct is made; a name the window lacks fails the
// test that asked for it.
struct MainWindowUi
{
    explicit MainWindowUi(const QWidget &window);

    // The browser is made the first time it is shown, so it is looked up on each call.
    QWebEngineView *wbyoutube() const;

    QPushButton *cmdTV = nullptr;
    QPushButton *cmdRadio = nullptr;
    QPushButton *cmdYouTube = nullptr;
    QPushButton *cmdFavorites = nullptr;
    QPushButton *cmdFiles = nullptr;
    QPushButton *cmdUpdate = nullptr;
    QPushButton *cmdWebsite = nullptr;
    QPushButton *cmdExtras = nullptr;
    QPushButton *cmdSports = nullptr;
    QPushButton *cmdXXX = nullptr;
    QPushButton *cmdVideo = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame4 = nullptr;
    QGroupBox *Frame5 = nullptr;
    QLabel *lblCountry = nullptr;
    QComboBox *Combo1 = nullptr;
    QLabel *lblSort = nullptr;
    QComboBox *cmbSortTV = nullptr;
    ListViewEnh *ListView1 = nullptr;
    ListViewEnh *ListView2 = nullptr;
    QTreeView *ListView3 = nullptr;
    QLineEdit *txtStatus = nullptr;
    QCheckBox *chkLoad = nullptr;
    QComboBox *Drive1 = nullptr;
    QListWidget *Dir1 = nullptr;
    QListWidget *File1 = nullptr;
    MediaPlayer *WindowsMediaPlayer1 = nullptr;
    QLabel *imgOffline = nullptr;
    QLabel *StatusBar1Panel1 = nullptr;

    QMenu *mnuFile = nullptr;
    QMenu *mnuCat = nullptr;
    QMenu *mnuUpdate = nullptr;
    QMenu *mnuLanguage = nullptr;
    QMenu *mnuHelp = nullptr;
    QMenu *mnuAbout = nullptr;
    std::array<QAction *, 3> mnuFileItem{}; // Export Favorites, Import Playlist, Exit
    std::array<QAction *, 10> mnuCatItem{};
    std::array<QAction *, 5> mnuUpdateItem{};
    std::array<QAction *, 1> mnuLanguageItem{};
    std::array<QAction *, 1> mnuHelpItem{};
    std::array<QAction *, 1> mnuAboutItem{};

    QPushButton *cmdFav = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command4 = nullptr;
    QMenu *mnuActions = nullptr;
    QMenu *mnuActions2 = nullptr;
    QList<QAction *> mnuActionItem;
    QList<QAction *> mnuAction2Item;
    // The recent list.
    QGroupBox *fraRecent = nullptr;
    QTreeView *lvwRecent = nullptr;
    QAction *mnuRecentItem0 = nullptr;

    QComboBox *Combo3 = nullptr;
    QComboBox *Combo4 = nullptr;
    QLineEdit *txtYouTube = nullptr;
    QPushButton *cmdSearch = nullptr;

    FindBar *findChannels = nullptr;
    FindBar *findFavorites = nullptr;

private:
    const QWidget *m_window;
};

// A left click in the middle of a header section, as a user sorts by a column. The window must
// have been shown: the header of a window never shown takes no clicks.
void clickHeaderSection(QTreeView *list, int section);

} // namespace test
} // namespace mavrel
