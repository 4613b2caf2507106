#include "mainwindow/ui/form1.h"

#include "branding/branding.h"
#include "branding/ui/artwork.h"
#include "branding/ui/form8.h"
#include "branding/ui/frmabout.h"
#include "branding/ui/frmwebsite.h"
#include "branding/ui/windowicon.h"
#include "catalogue/kinds.h"
#include "catalogue/ui/cataloguecontroller.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "desktop/mprisservice.h"
#include "desktop/screensaverinhibitor.h"
#include "favorites/ui/favoritescontroller.h"
#include "favorites/ui/favoritesmodel.h"
#include "localization/clslanguages.h"
#include "localization/modlanguages.h"
#include "localization/ui/frmlanguage.h"
#include "localization/ui/windowcontrols.h"
#include "mainwindow/checkallrun.h"
#include "mainwindow/navigation.h"
#include "mainwindow/singleinstance.h"
#include "mainwindow/ui/catalogueserverwindow.h"
#include "mainwindow/ui/channelplayback.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/localfilesview.h"
#include "online/catalogueupdate.h"
#include "online/reports.h"
#include "online/serveraddress.h"
#include "online/updateexchange.h"
#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/widgets/desktopopen.h"
#include "platform/widgets/folderreports.h"
#include "platform/widgets/named.h"
#include "player/ui/mediaplayer.h"
#include "videosite/ui/videositebrowser.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// The designed client area, and the allowance for borders and caption that the layout's
// outer window size includes (a 4-pixel frame and a 31-pixel caption), so that the layout
// comes out the same whatever decorations the window manager draws, or none.
constexpr int kClientWidthTwips = 15240;
constexpr int kClientHeightTwips = 10125;
constexpr int kStatusBarTwips = 315;
constexpr int kFrameAllowanceWidth = 8;
constexpr int kFrameAllowanceHeight = 39;

constexpr int kChannelColumnTwips = 2800;
constexpr int kColumnTwips = 1440;

QRect toPixels(const TwipsRect &r)
{
    return {twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
            twipsToPixels(r.height)};
}

TwipsRect toTwips(const QRect &r)
{
    return {pixelsToTwips(r.x()), pixelsToTwips(r.y()), pixelsToTwips(r.width()),
            pixelsToTwips(r.height())};
}

void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(toPixels({left, top, width, height}));
}

QPushButton *categoryButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = named(new QPushButton(caption, parent), name);
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
    return button;
}

QString placeholderPage()
{
    return u"<html><body bgcolor=black><center><font color=white><h1>Please select a video from "
           "the list to the left</h1><br></font></center></body></html>\r\n"_s;
}

} // namespace

Form1::Form1(QWidget *splash)
    : QMainWindow(nullptr), m_languages(std::make_unique<clsLanguages>()),
      m_channels(new ChannelListModel(this)), m_splash(splash)
{
    setObjectName(u"Form1"_s);
    m_catalogue = std::make_unique<CatalogueController>(
        *m_channels, [this](const QString &key) { return m_languages->getMessages(key); });
    createControls();
    createMenus();
    createPlayback();
    createFavorites();
    createVideoSite();
    connectEvents();
    connectUpdates();
    connectFavoritesEvents();
    connectVideoSiteEvents();
    createDesktop();
    createLocalization();
    const int menuHeight = menuBar()->sizeHint().height();
    resize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips) + menuHeight);
}

Form1::~Form1()
{
    // Before the player goes, so that nothing follows it any more.
    delete m_mpris;
    delete m_screenSaver;
    setNoDesktopHandlerText({});
}

void Form1::createControls()
{
    auto *client = named(new QWidget(this), u"client"_s);
    setCentralWidget(client);

    cmdTV = categoryButton(client, u"cmdTV"_s, u"TV/Video"_s);
    cmdRadio = categoryButton(client, u"cmdRadio"_s, u"Radio/Music"_s);
    cmdYouTube = categoryButton(client, u"cmdYouTube"_s, u"YouTube\u2122"_s);
    cmdFavorites = categoryButton(client, u"cmdFavorites"_s, u"Favorites"_s);
    cmdFiles = categoryButton(client, u"cmdFiles"_s, u"My Files"_s);
    cmdUpdate = categoryButton(client, u"cmdUpdate"_s, u"Update"_s);
    cmdWebsite = categoryButton(client, u"cmdWebsite"_s, QString());
    cmdExtras = categoryButton(client, u"cmdExtras"_s, u"Extras"_s);
    cmdSports = categoryButton(client, u"cmdSports"_s, u"Live Sports"_s);
    cmdXXX = categoryButton(client, u"cmdXXX"_s, u"Adult"_s);
    cmdVideo = categoryButton(client, u"cmdVideo"_s, u"Video"_s);
    place(cmdTV, 60, 60, 1335, 915);
    place(cmdRadio, 1440, 60, 1435, 915);
    place(cmdYouTube, 2880, 60, 1275, 915);
    place(cmdFavorites, 4200, 60, 1275, 915);
    place(cmdFiles, 5520, 60, 1275, 915);
    place(cmdUpdate, 6840, 60, 1275, 915);
    place(cmdWebsite, 8160, 60, 2775, 915);
    place(cmdExtras, 9000, 60, 1275, 915);
    place(cmdSports, 9120, 60, 1275, 915);
    place(cmdXXX, 9720, 0, 1275, 915);
    place(cmdVideo, 10440, 0, 1275, 915);
    cmdExtras->hide();
    cmdSports->hide();
    cmdXXX->hide();
    cmdVideo->hide();

    // Channels.
    Frame1 = named(new QGroupBox(u"Channels"_s, client), u"Frame1"_s);
    place(Frame1, 60, 1020, 5235, 8175);
    lblCountry = named(new QLabel(u"Type:"_s, Frame1), u"lblCountry"_s);
    place(lblCountry, 180, 270, 720, 315);
    Combo1 = named(new QComboBox(Frame1), u"Combo1"_s);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setMaxVisibleItems(20);
    place(Combo1, 960, 225, 4155, 345);
    lblSort = named(new QLabel(u"Sort by:"_s, Frame1), u"lblSort"_s);
    place(lblSort, 180, 615, 765, 315); // up to the box: room for translations
    cmbSortTV = named(new QComboBox(Frame1), u"cmbSortTV"_s);
    cmbSortTV->addItems({u"Channel"_s, u"Category"_s, u"Type"_s, u"Rating"_s, u"Favorites"_s});
    cmbSortTV->setCurrentText(u"Rating"_s);
    place(cmbSortTV, 960, 570, 2160, 345);
    lblCountry->setBuddy(Combo1);
    lblSort->setBuddy(cmbSortTV);
    ListView1 = named(new ListViewEnh(Frame1), u"ListView1"_s);
    ListView1->setSourceModel(m_channels);
    place(ListView1, 180, 960, 4935, 3795);
    ListView1->setAccessibleName(Frame1->title());
    ListView1->header()->resizeSection(ChannelListModel::ChannelColumn,
                                       twipsToPixels(kChannelColumnTwips));
    for (int c = ChannelListModel::CategoryColumn; c <= ChannelListModel::FavoritesColumn; ++c)
        ListView1->header()->resizeSection(c, twipsToPixels(kColumnTwips));

    // List editing: never shown; only its check box has an effect.
    Frame2 = named(new QGroupBox(u"List Editing"_s, client), u"Frame2"_s);
    place(Frame2, 60, 1020, 5235, 1200);
    chkLoad = named(new QCheckBox(u"Don't Load Video While Editing"_s, Frame2), u"chkLoad"_s);
    place(chkLoad, 180, 300, 4800, 315);
    Frame2->hide();

    // Favourites.
    Frame3 = named(new QGroupBox(u"Favorites"_s, client), u"Frame3"_s);
    place(Frame3, 60, 1020, 5235, 6675);
    ListView2 = named(new ListViewEnh(Frame3), u"ListView2"_s);
    place(ListView2, 180, 900, 4935, 3795);
    ListView2->setAccessibleName(Frame3->title());
    Frame3->hide();

    // Local files.
    Frame4 = named(new QGroupBox(u"My Files"_s, client), u"Frame4"_s);
    place(Frame4, 180, 1020, 5235, 6735);
    Drive1 = named(new QComboBox(Frame4), u"Drive1"_s);
    place(Drive1, 120, 240, 4995, 315);
    Drive1->setAccessibleName(u"Drive"_s);
    Dir1 = named(new QListWidget(Frame4), u"Dir1"_s);
    place(Dir1, 120, 660, 4995, 2340);
    Dir1->setAccessibleName(u"Folders"_s);
    File1 = named(new QListWidget(Frame4), u"File1"_s);
    place(File1, 120, 3060, 4995, 3405);
    File1->setAccessibleName(u"Files"_s);
    Frame4->hide();

    // Video site.
    Frame5 = named(new QGroupBox(u"YouTube\u2122"_s, client), u"Frame5"_s);
    place(Frame5, 60, 1020, 5235, 8175);
    ListView3 = named(new QTreeView(Frame5), u"ListView3"_s);
    ListView3->setRootIsDecorated(false);
    ListView3->setUniformRowHeights(true);
    place(ListView3, 180, 1140, 4935, 3555);
    ListView3->setAccessibleName(Frame5->title());
    txtStatus = named(new QLineEdit(Frame5), u"txtStatus"_s);
    txtStatus->setReadOnly(true);
    place(txtStatus, 180, 7800, 4875, 285);
    txtStatus->setAccessibleName(u"Video status"_s);

    WindowsMediaPlayer1 = named(new MediaPlayer(client), u"WindowsMediaPlayer1"_s);
    WindowsMediaPlayer1->setAccessibleName(u"Player"_s);
    place(WindowsMediaPlayer1, 5520, 1020, 9570, 6705);
    m_browserRect = toTwips(WindowsMediaPlayer1->geometry());

    imgOffline = named(new QLabel(client), u"imgOffline"_s);
    imgOffline->setPixmap(offlinePicture());
    imgOffline->setScaledContents(true);
    imgOffline->setAccessibleName(u"Channel offline"_s);
    imgOffline->setAccessibleDescription(
        u"The channel did not answer. Click the picture to hide it."_s);
    place(imgOffline, 11340, 120, 6000, 3000);
    imgOffline->hide();

    StatusBar1Panel1 = named(new QLabel(this), u"Panel1"_s);
    StatusBar1Panel1->setMinimumWidth(0);
    // No accessible name of its own: the name a screen reader announces is the changing text.
    StatusBar1Panel1->setAccessibleDescription(u"Status"_s);
    // Channel names and catalogue figures reach the panel: markup in them is shown as typed.
    StatusBar1Panel1->setTextFormat(Qt::PlainText);
    statusBar()->setObjectName(u"StatusBar1"_s);
    statusBar()->setSizeGripEnabled(true);
    statusBar()->setFixedHeight(twipsToPixels(kStatusBarTwips));
    statusBar()->addWidget(StatusBar1Panel1, 1);
}

std::optional<ChannelRecord> Form1::selectedChannelRecord() const
{
    // The selected row, however it was chosen: a screen reader selects without moving the
    // current row.
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return std::nullopt;
    const int row = ListView1->sourceRow(selected.first().row());
    if (row < 0 || row >= m_channels->rowCount())
        return std::nullopt;
    return m_channels->record(row);
}

void Form1::createPlayback()
{
    ChannelPlayback::Hooks hooks;
    hooks.selectedChannel = [this]() -> std::optional<SelectedChannel> {
        const std::optional<ChannelRecord> record = selectedChannelRecord();
        if (!record)
            return std::nullopt;
        return SelectedChannel{record->name, record->url};
    };
    hooks.reportContext = [this] { return ReportContext{staffMode, this, staffToken}; };
    hooks.status = [this](const QString &text) { StatusBar1Panel1->setText(text); };
    hooks.message = [this](const QString &key) { return m_languages->getMessages(key); };
    m_playback = new ChannelPlayback(WindowsMediaPlayer1, imgOffline, std::move(hooks), this,
                                     &m_playRequests);

    CheckAllRun::Hooks run;
    run.rowCount = [this] { return ListView1->rowCountShown(); };
    run.rowName = [this](int row) {
        return ListView1->model()->index(row, ChannelListModel::ChannelColumn).data().toString();
    };
    run.selectRow = [this](int row) {
        const QModelIndex index = ListView1->model()->index(row, 0);
        ListView1->setCurrentIndex(index);
        ListView1->scrollTo(index);
    };
    run.checkSelected = [this] { m_playback->checkChannel(true); };
    run.status = [this](const QString &text) { StatusBar1Panel1->setText(text); };
    m_checkRun = new CheckAllRun(std::move(run), this);

    m_localFiles = new LocalFilesView(
        Drive1, Dir1, File1,
        [this](const QString &path) {
            m_playRequests.begin();
            WindowsMediaPlayer1->setURL(path);
        },
        this);
    m_localFiles->setVolumes(mountedVolumes());
}

void Form1::createMenus()
{
    auto addItem = [](QMenu *menu, const QString &name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    mnuFile = named(menuBar()->addMenu(u"&File"_s), u"mnuFile"_s);
    mnuFileItem[2] = addItem(mnuFile, u"mnuFileItem2"_s, u"E&xit"_s);

    mnuCat = named(menuBar()->addMenu(u"&Categories"_s), u"mnuCat"_s);
    const QString categories[] = {u"TV/Video"_s,  u"Radio/Music"_s, u"Video"_s,
                                  u"Favorites"_s, u"My Files"_s,    u"Live Sports"_s,
                                  u"Extras"_s,    u"Adult"_s,       u"YouTube\u2122"_s};
    for (int i = 0; i < int(mnuCatItem.size()); ++i)
        mnuCatItem[i] = addItem(mnuCat, u"mnuCatItem%1"_s.arg(i), categories[i]);
    for (const int hidden : {2, 5, 6, 7})
        mnuCatItem[hidden]->setVisible(false);

    mnuUpdate = named(menuBar()->addMenu(u"&Update Channels"_s), u"mnuUpdate"_s);
    const QString updates[] = {u"Update Channels Online"_s, u"Add Channels"_s,
                               u"Download Dead Channels"_s, u"Check all channels"_s,
                               u"Catalogue Server\u2026"_s};
    for (int i = 0; i < int(mnuUpdateItem.size()); ++i) {
        mnuUpdateItem[i] = addItem(mnuUpdate, u"mnuUpdateItem%1"_s.arg(i), updates[i]);
        // Their commands arrive with the update, submission and channel-check windows.
        mnuUpdateItem[i]->setEnabled(false);
    }
    mnuUpdateItem[1]->setEnabled(true);
    mnuUpdateItem[3]->setEnabled(true);
    mnuUpdateItem[4]->setEnabled(true);
    mnuUpdateItem[2]->setVisible(false);
    mnuUpdateItem[3]->setVisible(false);

    mnuLanguage = named(menuBar()->addMenu(u"&Languages"_s), u"mnuLanguage"_s);
    mnuLanguageItem[0] = addItem(mnuLanguage, u"mnuLanguageItem0"_s, u"Change Language"_s);

    mnuHelp = named(menuBar()->addMenu(u"&Help"_s), u"mnuHelp"_s);
    mnuHelpItem[0] = addItem(mnuHelp, u"mnuHelpItem0"_s, u"View Help"_s);
    mnuAbout = named(menuBar()->addMenu(u"&About"_s), u"mnuAbout"_s);
    mnuAboutItem[0] = addItem(mnuAbout, u"mnuAboutItem0"_s, u"About this software"_s);
}

void Form1::connectEvents()
{
    connect(cmdTV, &QPushButton::clicked, this, &Form1::cmdTV_Click);
    connect(cmdRadio, &QPushButton::clicked, this, &Form1::cmdRadio_Click);
    connect(cmdVideo, &QPushButton::clicked, this, &Form1::cmdVideo_Click);
    connect(cmdXXX, &QPushButton::clicked, this, &Form1::cmdXXX_Click);
    connect(cmdFavorites, &QPushButton::clicked, this, &Form1::cmdFavorites_Click);
    connect(cmdFiles, &QPushButton::clicked, this, &Form1::cmdFiles_Click);
    connect(cmdYouTube, &QPushButton::clicked, this, &Form1::cmdYouTube_Click);
    connect(cmdSports, &QPushButton::clicked, this, &Form1::cmdSports_Click);
    connect(cmdExtras, &QPushButton::clicked, this, &Form1::cmdExtras_Click);
    connect(cmdWebsite, &QPushButton::clicked, this, &Form1::cmdWebsite_Click);
    connect(Combo1, &QComboBox::activated, this, &Form1::Combo1_Click);
    connect(cmbSortTV, &QComboBox::activated, this, &Form1::cmbSortTV_Click);
    connect(ListView1, &ListViewEnh::columnClicked, this, &Form1::ListView1_ColumnClick);
    connect(ListView2, &ListViewEnh::columnClicked, this, &Form1::ListView2_ColumnClick);
    connect(ListView1, &QAbstractItemView::clicked, this, &Form1::ListView1_Click);
    connect(WindowsMediaPlayer1, &MediaPlayer::MediaError, this,
            &Form1::WindowsMediaPlayer1_MediaError);
    connect(WindowsMediaPlayer1, &MediaPlayer::Warning, this, &Form1::WindowsMediaPlayer1_Warning);
    // What opens, buffers, plays or failed is said in the status line as over the picture.
    WindowsMediaPlayer1->setMessages(
        [this](const QString &key) { return m_languages->getMessages(key); });
    connect(WindowsMediaPlayer1, &MediaPlayer::statusTextChanged, StatusBar1Panel1,
            &QLabel::setText);
    connect(txtStatus, &QLineEdit::textChanged, this, &Form1::txtStatus_Change);
    connect(mnuUpdateItem[1], &QAction::triggered, this, &Form1::openSubmitWindow);
    connect(mnuUpdateItem[3], &QAction::triggered, this, &Form1::checkAllChannels);
    connect(mnuUpdateItem[4], &QAction::triggered, this, &Form1::openServerWindow);
    // A run walks the rows as shown, so it ends when they change under it: the list reloaded,
    // a find typed or taken back, another sort order.
    const QAbstractItemModel *shown = ListView1->model();
    connect(shown, &QAbstractItemModel::modelReset, m_checkRun, &CheckAllRun::listChanged);
    connect(shown, &QAbstractItemModel::rowsRemoved, m_checkRun, &CheckAllRun::listChanged);
    connect(shown, &QAbstractItemModel::rowsInserted, m_checkRun, &CheckAllRun::listChanged);
    connect(shown, &QAbstractItemModel::layoutChanged, m_checkRun, &CheckAllRun::listChanged);

    // Menu arrays: each item hands its index to the array's handler.
    const auto wire = [this](auto &items, void (Form1::*handler)(int)) {
        for (int i = 0; i < int(items.size()); ++i) {
            if (items[i])
                connect(items[i], &QAction::triggered, this,
                        [this, handler, i] { (this->*handler)(i); });
        }
    };
    wire(mnuFileItem, &Form1::mnuFileItem_Click);
    wire(mnuCatItem, &Form1::mnuCatItem_Click);
    wire(mnuHelpItem, &Form1::mnuHelpItem_Click);
    wire(mnuAboutItem, &Form1::mnuAboutItem_Click);
}

// ---- Localisation -----------------------------------------------------------------------------

void Form1::createLocalization()
{
    m_localizable = std::make_unique<WindowControls>(this);
    WindowControls &c = *m_localizable;
    for (QPushButton *button : {cmdTV, cmdRadio, cmdYouTube, cmdFavorites, cmdFiles, cmdUpdate,
                                cmdWebsite, cmdExtras, cmdSports, cmdXXX, cmdVideo})
        c.addButton(button, controlkind::CommandButton);
    c.addFrame(Frame1);
    c.addLabel(lblCountry, controlkind::Label);
    // "All" is the one design item of the Type box; the names after it come from the catalogue.
    c.addComboBox(
        Combo1, 1, [this](int) { return m_allText; },
        [this](int, const QString &text) {
            const bool showsAll = Combo1->count() > 0 && Combo1->currentText() == m_allText;
            m_allText = text;
            if (Combo1->count() > 0)
                Combo1->setItemText(0, text);
            if (showsAll)
                Combo1->setEditText(text);
        });
    c.addLabel(lblSort, controlkind::Label);
    c.addOther(cmbSortTV, u"ComboBox"_s);
    c.addButton(cmdFav, controlkind::CommandButton);
    c.addListView(ListView1, [this](int column, const QString &text) {
        m_channels->setHeaderText(column, text);
        // The sort box names the columns, in their language.
        if (column < cmbSortTV->count())
            cmbSortTV->setItemText(column, text);
    });
    c.addFrame(Frame2);
    c.addButton(chkLoad, controlkind::CheckBox);
    c.addFrame(Frame3);
    c.addButton(Command1, controlkind::CommandButton);
    c.addListView(ListView2, [this](int column, const QString &text) {
        m_favoritesController->model().setHeaderData(column, Qt::Horizontal, text);
    });
    c.addFrame(Frame4);
    c.addOther(Drive1, u"DriveListBox"_s);
    c.addOther(Dir1, u"DirListBox"_s);
    c.addOther(File1, u"FileListBox"_s);
    c.addFrame(Frame5);
    c.addComboBox(Combo3, Combo3->count());
    c.addComboBox(Combo4, Combo4->count());
    c.addTextBox(txtYouTube);
    c.addButton(cmdSearch, controlkind::CommandButton);
    c.addButton(Command4, controlkind::CommandButton);
    c.addListView(ListView3);
    c.addOther(txtStatus, u"TextBox"_s);
    c.addOther(WindowsMediaPlayer1, u"WindowsMediaPlayer"_s);
    c.addOther(imgOffline, u"Image"_s);
    c.addOther(statusBar(), u"StatusBar"_s);
    addDesktopControls(c);

    c.addMenu(mnuFile, u"mnuFile"_s);
    c.addMenuItem(mnuFileItem[2], u"mnuFileItem"_s, 2);
    c.addMenu(mnuCat, u"mnuCat"_s);
    for (int i = 0; i < int(mnuCatItem.size()); ++i)
        c.addMenuItem(mnuCatItem[i], u"mnuCatItem"_s, i);
    c.addMenu(mnuUpdate, u"mnuUpdate"_s);
    for (int i = 0; i < int(mnuUpdateItem.size()); ++i)
        c.addMenuItem(mnuUpdateItem[i], u"mnuUpdateItem"_s, i);
    c.addMenu(mnuLanguage, u"mnuLanguage"_s);
    c.addMenuItem(mnuLanguageItem[0], u"mnuLanguageItem"_s, 0);
    c.addMenu(mnuHelp, u"mnuHelp"_s);
    c.addMenuItem(mnuHelpItem[0], u"mnuHelpItem"_s, 0);
    c.addMenu(mnuAbout, u"mnuAbout"_s);
    c.addMenuItem(mnuAboutItem[0], u"mnuAboutItem"_s, 0);
    c.addMenu(mnuActions, u"mnuActions"_s);
    for (int i = 0; i < int(mnuActionItem.size()); ++i) {
        if (!mnuActionItem[i]->isSeparator())
            c.addMenuItem(mnuActionItem[i], u"mnuActionItem"_s, i);
    }
    c.addMenu(mnuActions2, u"mnuActions2"_s);
    for (int i = 0; i < int(mnuAction2Item.size()); ++i)
        c.addMenuItem(mnuAction2Item[i], u"mnuAction2Item"_s, i);

    connect(mnuLanguageItem[0], &QAction::triggered, this, [this] { mnuLanguageItem_Click(0); });
}

LocalizableWindow &Form1::localizable()
{
    return *m_localizable;
}

void Form1::applyStartLanguage()
{
    m_languages->setCurrentLanguage(currentLanguage);
    m_languages->ChangeLanguage(*m_localizable, currentLanguage);
    if (firstStart) {
        storeSetting(SettingKey::Language, u"English"_s);
        openLanguageWindow(true);
    }
}

void Form1::openLanguageWindow(bool modal)
{
    if (!m_languageWindow) {
        m_languageWindow = new frmLanguage(*m_languages, *m_localizable, this);
        m_languageWindow->setAttribute(Qt::WA_DeleteOnClose);
        // The list's counts are written in the language of their load: say them again.
        connect(m_languageWindow, &frmLanguage::languageChanged, this, [this] {
            if (StatusBar1Panel1->text() == m_listStatus)
                showFindStatus();
            if (m_about)
                m_languages->ChangeLanguage(m_about->localizable(), m_languages->currentLanguage());
        });
        m_languageWindow->Form_Load();
    }
    if (modal) {
        m_languageWindow->exec();
        return;
    }
    m_languageWindow->show();
    m_languageWindow->raise();
    m_languageWindow->activateWindow();
}

void Form1::mnuLanguageItem_Click(int)
{
    openLanguageWindow(false);
}

void Form1::openServerWindow()
{
    if (!m_serverWindow) {
        m_serverWindow = new CatalogueServerWindow(*m_languages, this);
        m_serverWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_serverWindow->show();
    m_serverWindow->raise();
    m_serverWindow->activateWindow();
}

// ---- Start-up ---------------------------------------------------------------------------------

bool Form1::Form_Load()
{
    showApplicationFolderFailures(statusBar());
    dataDirectory = mavrel::dataDirectory();
    m_catalogue->setCatalogueFile(dataDirectory + u"/Data.txt"_s);

    writeBrowserPlaceholder();
    countryCode = u"en_us"_s;
    mavrel::setWindowIcon(this, u"AAA"_s, true);

    applyCompanySwitch(branding().companyName);
    applyStaffSwitch(fileExists(applicationFolder() + u"/admin.txt"_s));
    if (staffMode)
        staffToken = readStaffToken(applicationFolder() + u"/admin.txt"_s);

    firstStart = readSetting(SettingKey::Language, QString()).isEmpty();
    currentLanguage = readSetting(SettingKey::Language);
    registerDefaultMessages(*m_languages);
    setNoDesktopHandlerText([this] { return m_languages->getMessages(u"MSG_NOHANDLER"_s); });
    applyStartLanguage();
    // A termination request while the language window was up: nothing more is opened or stored.
    if (m_unloaded)
        return false;

    m_instance = std::make_unique<SingleInstance>();
    if (!m_instance->tryAcquire())
        return false;

    const Branding &b = branding();
    // Both captions are set after the translation; a translation of them still wins.
    const QString title = m_languages->getCaption(u"FORM1_CAPTION"_s);
    setWindowTitle(title.isEmpty() ? b.productName + u" by "_s + b.companyName : title);
    const QString visit = m_languages->getCaption(u"FORM1_CMDWEBSITE"_s);
    cmdWebsite->setText(visit.isEmpty() ? u"Visit "_s + b.siteName : visit);
    if (b.splashIcon && m_splash)
        setWindowIcon(m_splash->windowIcon());

    if (readSetting(SettingKey::ShowHelp) == u"1"_s) {
        // Unasked: a desktop without a browser must not greet a new user with a box.
        Form8::run(this, m_languages->currentLanguage(), WhenNoHandler::Quiet);
        if (m_unloaded)
            return false;
        storeSetting(SettingKey::ShowHelp, u"0"_s);
    }

    // Without a catalogue the list starts empty and the first one is downloaded once the
    // window is up, so the status line can show it coming.
    if (!m_catalogue->catalogueExists())
        QTimer::singleShot(0, this, &Form1::updateChannels);
    cmdTV_Click();
    loadFavorites();
    // The sort routine leaves an empty list's state alone; when the first list is empty (a
    // stored language none of the kind's channels carries) the best rated must still come first
    // in every later list, as "Sort by: Rating" says.
    if (ListView1->sourceModel()->rowCount() == 0 && !ListView1->sortingOn())
        ListView1->setSortState(true, ChannelListModel::RatingColumn, Qt::DescendingOrder);
    else
        EnhListView_SortColumns(*ListView1, ChannelListModel::RatingColumn + 1, false);
    m_localFiles->restoreFromSettings();
    return true;
}

void Form1::writeBrowserPlaceholder()
{
    const QString path = applicationFolder() + u"/youtube.html"_s;
    (void)writeFileReported(path, placeholderPage().toLatin1());
    m_browserPage = QUrl::fromLocalFile(path);
    if (wbyoutube)
        wbyoutube->load(m_browserPage);
}

void Form1::applyCompanySwitch(const QString &companyName)
{
    if (companyName != QLatin1StringView(kExtrasCompany))
        return;
    // The three extra buttons continue the row after Update; the website button follows them.
    place(cmdSports, 8160, 60, 1275, 915);
    place(cmdExtras, 9480, 60, 1275, 915);
    place(cmdXXX, 10800, 60, 1275, 915);
    cmdSports->show();
    cmdExtras->show();
    cmdXXX->show();
    const TwipsRect xxx = toTwips(cmdXXX->geometry());
    TwipsRect website = toTwips(cmdWebsite->geometry());
    website.left = xxx.left + xxx.width + 60;
    cmdWebsite->setGeometry(toPixels(website));
    for (const int shown : {5, 6, 7})
        mnuCatItem[shown]->setVisible(true);
    layoutControls();
}

void Form1::applyStaffSwitch(bool adminFilePresent)
{
    if (!adminFilePresent)
        return;
    staffMode = true;
    mnuUpdateItem[2]->setVisible(true);
    mnuUpdateItem[3]->setVisible(true);
    m_channels->addUrlColumn();
    ListView1->header()->resizeSection(ChannelListModel::UrlColumn,
                                       twipsToPixels(kChannelColumnTwips));
    chkLoad->setChecked(true);
}

// ---- Layout -----------------------------------------------------------------------------------

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
    if (m_fullScreen.on)
        placeFullScreenPicture();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Form1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    Form_Resize();
}

void Form1::Form_Resize()
{
    if (isMinimized())
        return;
    layoutControls();
}

ResizableControls Form1::currentGeometry() const
{
    ResizableControls c;
    c.player = toTwips(WindowsMediaPlayer1->geometry());
    c.wbyoutube = wbyoutube ? toTwips(wbyoutube->geometry()) : m_browserRect;
    c.imgOffline = toTwips(imgOffline->geometry());
    c.frame1 = toTwips(Frame1->geometry());
    c.frame3 = toTwips(Frame3->geometry());
    c.frame4 = toTwips(Frame4->geometry());
    c.frame5 = toTwips(Frame5->geometry());
    c.listView1 = toTwips(ListView1->geometry());
    c.listView2 = toTwips(ListView2->geometry());
    c.listView3 = toTwips(ListView3->geometry());
    c.txtStatus = toTwips(txtStatus->geometry());
    c.dir1 = toTwips(Dir1->geometry());
    c.file1 = toTwips(File1->geometry());
    c.cmdWebsite = toTwips(cmdWebsite->geometry());
    c.statusPanelWidth = pixelsToTwips(StatusBar1Panel1->maximumWidth());
    return c;
}

void Form1::applyGeometry(const ResizableControls &c)
{
    WindowsMediaPlayer1->setGeometry(toPixels(c.player));
    m_browserRect = c.wbyoutube;
    if (wbyoutube)
        wbyoutube->setGeometry(toPixels(c.wbyoutube));
    imgOffline->setGeometry(toPixels(c.imgOffline));
    Frame1->setGeometry(toPixels(c.frame1));
    Frame3->setGeometry(toPixels(c.frame3));
    Frame4->setGeometry(toPixels(c.frame4));
    Frame5->setGeometry(toPixels(c.frame5));
    ListView1->setGeometry(toPixels(c.listView1));
    ListView2->setGeometry(toPixels(c.listView2));
    ListView3->setGeometry(toPixels(c.listView3));
    txtStatus->setGeometry(toPixels(c.txtStatus));
    Dir1->setGeometry(toPixels(c.dir1));
    File1->setGeometry(toPixels(c.file1));
    cmdWebsite->setGeometry(toPixels(c.cmdWebsite));
    StatusBar1Panel1->setMaximumWidth(twipsToPixels(c.statusPanelWidth));
}

void Form1::layoutControls()
{
    const int outerWidth = pixelsToTwips(width() + kFrameAllowanceWidth);
    const int outerHeight = pixelsToTwips(height() + kFrameAllowanceHeight);
    applyGeometry(mavrel::layoutControls(currentGeometry(), outerWidth, outerHeight));
    for (FindBar *bar : {findChannels, findFavorites}) {
        if (bar)
            bar->listPlaced();
    }
}

// ---- Shutdown ---------------------------------------------------------------------------------

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    m_unloaded = true;
    // Ends a modal language window's loop too, so a start-up waiting on it goes no further.
    if (m_languageWindow)
        m_languageWindow->close();
    m_checkRun->abort();
    WindowsMediaPlayer1->stop();
    WindowsMediaPlayer1->close();
    if (m_about)
        m_about->close();
    if (m_splash)
        m_splash->close();
    emit unloaded();
}

void Form1::mnuFileItem_Click(int Index)
{
    if (Index == 2)
        close();
}

// ---- Categories -------------------------------------------------------------------------------

void Form1::showFrame(QGroupBox *frame)
{
    for (QGroupBox *f : {Frame1, Frame3, Frame4, Frame5})
        f->setVisible(f == frame);
}

void Form1::showPlayerArea()
{
    m_browserArea = false;
    if (wbyoutube)
        wbyoutube->hide();
    WindowsMediaPlayer1->show();
}

void Form1::ensureBrowser()
{
    if (wbyoutube)
        return;
    wbyoutube = named(new QWebEngineView(centralWidget()), u"wbyoutube"_s);
    wbyoutube->setAccessibleName(Frame5->title());
    wbyoutube->setGeometry(toPixels(m_browserRect));
    allowPlayerPage(wbyoutube);
    if (!m_browserPage.isEmpty())
        wbyoutube->load(m_browserPage);
}

void Form1::showBrowserArea()
{
    m_browserArea = true;
    ensureBrowser();
    wbyoutube->show();
    wbyoutube->raise();
    WindowsMediaPlayer1->pause();
    WindowsMediaPlayer1->hide();
}

void Form1::showCatalogueKind(const QString &kind)
{
    showFrame(Frame1);
    showPlayerArea();
    CatalogueViewState &state = viewState();
    state.currentKind = kind;
    m_catalogue->clearRows();
    const std::optional<SettingKey> setting = languageSettingToRead(kind);
    state.currentLang = setting ? readSetting(*setting) : QString();
    state.rebuildLangList = true;
    loadChannelList();
}

void Form1::cmdTV_Click()
{
    showCatalogueKind(kKindTV);
}

void Form1::cmdRadio_Click()
{
    showCatalogueKind(kKindRadio);
}

void Form1::cmdVideo_Click()
{
    showCatalogueKind(kKindVideo);
}

void Form1::cmdXXX_Click()
{
    const DialogAnswer answer = messageBox(adultNoticeText(), DialogButtons::OkCancel,
                                           QLatin1StringView(kAdultNoticeTitle));
    if (answer != DialogAnswer::Ok)
        return;
    showCatalogueKind(kKindAdult);
}

void Form1::cmdFavorites_Click()
{
    showFrame(Frame3);
    showPlayerArea();
}

void Form1::cmdFiles_Click()
{
    showFrame(Frame4);
    showPlayerArea();
}

void Form1::cmdYouTube_Click()
{
    showFrame(Frame5);
    showBrowserArea();
    viewState().currentKind = kKindYouTube;
    m_catalogue->clearRows();
    loadVideoList();
}

void Form1::openWebsiteWindow(const QString &modeWord)
{
    frmWebsite::modeWord() = modeWord;
    // While the window of an earlier press is still loaded, its load does not run again.
    if (!m_website) {
        m_website = new frmWebsite(this);
        m_website->Form_Load();
    }
}

void Form1::cmdSports_Click()
{
    openWebsiteWindow(u"Sports"_s);
}

void Form1::cmdExtras_Click()
{
    openWebsiteWindow(u"Extras"_s);
}

void Form1::cmdWebsite_Click()
{
    openWebsiteWindow(u"Website"_s);
}

void Form1::mnuCatItem_Click(int Index)
{
    switch (Index) {
    case 0:
        cmdTV_Click();
        break;
    case 1:
        cmdRadio_Click();
        break;
    case 2:
        cmdVideo_Click();
        break;
    case 3:
        cmdFavorites_Click();
        break;
    case 4:
        cmdFiles_Click();
        break;
    case 5:
        cmdSports_Click();
        break;
    case 6:
        cmdExtras_Click();
        break;
    case 7:
        cmdXXX_Click();
        break;
    case 8:
        cmdYouTube_Click();
        break;
    default:
        break;
    }
}

void Form1::mnuHelpItem_Click(int)
{
    Form8::run(this, m_languages->currentLanguage());
}

void Form1::mnuAboutItem_Click(int)
{
    if (!m_about) {
        m_about = new frmAbout(this);
        m_languages->ChangeLanguage(m_about->localizable(), m_languages->currentLanguage());
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

// ---- Channel list -----------------------------------------------------------------------------

CatalogueViewState &Form1::viewState()
{
    return m_catalogue->state();
}

void Form1::loadChannelList()
{
    // The first download fills it; the not-found box is for a catalogue that cannot be read.
    if (!m_catalogue->catalogueExists()) {
        m_catalogue->clearRows();
        return;
    }
    const Result<CatalogueLoad> loaded = m_catalogue->load();
    if (!loaded) {
        messageBox(loaded.error().message, DialogButtons::Ok);
        return;
    }
    const CatalogueLoad &load = loaded.value();
    if (load.languages) {
        Combo1->clear();
        Combo1->addItem(m_allText);
        Combo1->addItems(*load.languages);
        Combo1->setCurrentIndex(-1);
        // "All" is the list's first item rather than a collected name, but it is the choice in
        // force all the same: show it instead of an empty box.
        const bool all = load.comboText.isEmpty() && viewState().currentLang == u"All"_s;
        Combo1->setEditText(all ? m_allText : load.comboText);
    }
    StatusBar1Panel1->setText(load.statusLine);
    m_listStatus = load.statusLine;
    m_catalogueTotal = load.total;
    if (findChannels->isVisible())
        showFindStatus();
}

void Form1::Combo1_Click()
{
    CatalogueViewState &state = viewState();
    // The first item is "All" in the window's language; the view and the setting keep "All".
    const bool all = Combo1->currentIndex() <= 0 && Combo1->currentText() == m_allText;
    state.currentLang = all ? u"All"_s : Combo1->currentText();
    if (const std::optional<SettingKey> setting = languageSettingToWrite(state.currentKind))
        storeSetting(*setting, state.currentLang);
    loadChannelList();
}

void Form1::cmbSortTV_Click()
{
    bool matched = false;
    for (int c = 0; c < ListView1->columnCountShown(); ++c) {
        if (cmbSortTV->currentText() == ListView1->headerText(c)) {
            EnhListView_SortColumns(*ListView1, c + 1, false);
            matched = true;
        }
    }
    // Translated headers match none of the box's items, which name the columns in order.
    if (!matched && cmbSortTV->currentIndex() >= 0)
        EnhListView_SortColumns(*ListView1, cmbSortTV->currentIndex() + 1, false);
}

void Form1::ListView1_ColumnClick(int ColumnHeader)
{
    EnhListView_SortColumns(*ListView1, ColumnHeader, false);
}

void Form1::ListView2_ColumnClick(int ColumnHeader)
{
    EnhListView_SortColumns(*ListView2, ColumnHeader, false);
}

// ---- Playback, My Files, channel checking ------------------------------------------------------

void Form1::ListView1_Click()
{
    m_playback->ListView1_Click();
}

void Form1::WindowsMediaPlayer1_MediaError(const QString &url)
{
    m_playback->WindowsMediaPlayer1_MediaError(url);
}

void Form1::WindowsMediaPlayer1_Warning(int WarningType, int Param, const QString &Description)
{
    m_playback->WindowsMediaPlayer1_Warning(WarningType, Param, Description);
}

void Form1::txtStatus_Change()
{
    mirrorStatusText(txtStatus->text(), StatusBar1Panel1);
}

void Form1::checkAllChannels()
{
    m_checkRun->checkAllChannels();
}

// ---- Catalogue updates -----------------------------------------------------------------------

void Form1::connectUpdates()
{
    cmdUpdate->setEnabled(true);
    connect(cmdUpdate, &QPushButton::clicked, this, &Form1::updateChannels);
    // Item 1 opens the submission window, which is not there yet.
    for (const int i : {0, 2})
        mnuUpdateItem[i]->setEnabled(true);
    connect(mnuUpdateItem[0], &QAction::triggered, this, &Form1::updateChannels);
    connect(mnuUpdateItem[2], &QAction::triggered, this, &Form1::updateDeadChannels);
}

QString Form1::getINI() const
{
    return mavrel::getINI(dataDirectory);
}

void Form1::makeINI(const QString &strDate)
{
    (void)mavrel::makeINI(dataDirectory, strDate);
}

int Form1::extractNewDefs(const QByteArray &strDefs)
{
    const Result<int> merged = mavrel::extractNewDefs(dataDirectory + u"/Data.txt"_s, strDefs);
    return merged ? merged.value() : 0;
}

void Form1::updateChannels()
{
    runUpdate(int(UpdateList::Changes));
}

void Form1::updateDeadChannels()
{
    runUpdate(int(UpdateList::DeadChannels));
}

void Form1::runUpdate(int list)
{
    // The fetches let further clicks through; a second update meanwhile would only merge the
    // same lines again.
    if (m_updating)
        return;
    m_updating = true;
    UpdateContext context;
    context.server = catalogueServerAddress();
    context.dataDirectory = dataDirectory;
    context.owner = this;
    context.setStatus = [this](const QString &text) { txtStatus->setText(text); };
    context.showMessage = [](const QString &text) { messageBox(text, DialogButtons::Ok); };
    context.showChannels = [this] { cmdTV_Click(); };
    context.message = [this](const QString &key) { return m_languages->getMessages(key); };
    const Result<UpdateOutcome> done = mavrel::updateChannels(context, UpdateList(list));
    if (done || done.error().code != kUpdateOwnerGone)
        m_updating = false;
}

} // namespace mavrel
