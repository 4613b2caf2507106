// The main window's favourites list and video-site frame: their controls, pop-up menus and
// events. The work itself lives in favorites/ui and videosite/ui.
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "favorites/ui/favoritescontroller.h"
#include "favorites/ui/favoritesmodel.h"
#include "localization/clslanguages.h"
#include "mainwindow/channelcheck.h"
#include "mainwindow/ui/form1.h"
#include "platform/bytetext.h"
#include "platform/paths.h"
#include "videosite/listing.h"
#include "videosite/ui/videositebrowser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

template<typename W> W *placed(W *w, const QString &name, int left, int top, int width, int height)
{
    w->setObjectName(name);
    w->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                   twipsToPixels(height));
    return w;
}

} // namespace

// ---- Favourites -------------------------------------------------------------------------------

void Form1::createFavorites()
{
    cmdFav =
        placed(new QPushButton(u"Channel Actions"_s, Frame1), u"cmdFav"_s, 3240, 570, 1875, 345);
    Command1 = placed(new QPushButton(u"Remove from Favorites"_s, Frame3), u"Command1"_s, 180, 360,
                      2400, 435);

    // Hidden entries of the menu bar, shown only as pop-ups at the pointer.
    mnuActions = new QMenu(u"Actions"_s, this);
    mnuActions->setObjectName(u"mnuActions"_s);
    fillActionMenu(mnuActions, kChannelActionItems, int(std::size(kChannelActionItems)),
                   u"mnuActionItem"_s, mnuActionItem);
    mnuActions2 = new QMenu(u"Actions2"_s, this);
    mnuActions2->setObjectName(u"mnuActions2"_s);
    fillActionMenu(mnuActions2, kVideoActionItems, int(std::size(kVideoActionItems)),
                   u"mnuAction2Item"_s, mnuAction2Item);
    menuBar()->addMenu(mnuActions)->setVisible(false);
    menuBar()->addMenu(mnuActions2)->setVisible(false);

    FavoritesController::Hooks hooks;
    hooks.selectedChannel = [this]() -> std::optional<Favorite> {
        const std::optional<ChannelRecord> r = selectedChannelRecord();
        if (!r)
            return std::nullopt;
        return Favorite{r->name, r->url, r->kind, r->lang};
    };
    hooks.selectedVideo = [this]() -> std::optional<SelectedVideo> {
        const auto video = m_videoSite->selectedVideo();
        if (!video)
            return std::nullopt;
        return SelectedVideo{video->title, video->id};
    };
    hooks.reportContext = [this] { return ReportContext{staffMode, this, staffToken}; };
    hooks.loadingDisabled = [this] { return chkLoad->isChecked(); };
    // The favourite being played is the one selected in the favourites list.
    const auto favoriteName = [this] {
        return ListView2->currentIndex()
            .siblingAtColumn(FavoritesModel::ChannelColumn)
            .data()
            .toString();
    };
    hooks.setOfflinePicture = [this, favoriteName](bool shown) {
        imgOffline->setVisible(shown);
        if (shown)
            WindowsMediaPlayer1->showOffline(favoriteName());
    };
    hooks.playVideo = [this](const QByteArray &title, const QByteArray &id) {
        showBrowserArea();
        showVideo(title, id);
    };
    hooks.showPlayer = [this, favoriteName] {
        showPlayerArea();
        WindowsMediaPlayer1->prepare(favoriteName()); // the old choice stops while this one opens
    };
    hooks.playAddress = [this, favoriteName](const QByteArray &address) {
        WindowsMediaPlayer1->setURL(displayText(address), favoriteName());
    };
    hooks.status = [this](const QString &text) { StatusBar1Panel1->setText(text); };
    hooks.message = [this](const QString &key) { return m_languages->getMessages(key); };
    hooks.checkLimits = checkFetchLimits();
    hooks.playRequests = &m_playRequests;
    m_favoritesController = new FavoritesController(
        ListView2, applicationFolder() + u"/Favorites.txt"_s, std::move(hooks), this);
    ListView2->header()->resizeSection(FavoritesModel::ChannelColumn, twipsToPixels(2800));
}

void Form1::connectFavoritesEvents()
{
    connect(cmdFav, &QPushButton::clicked, this, &Form1::cmdFav_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(ListView2, &QAbstractItemView::clicked, this, &Form1::ListView2_Click);
    onMouseUp(ListView1->viewport(),
              [this](Qt::MouseButton button, QPoint) { ListView1_MouseUp(int(button)); });
    for (int i = 0; i < mnuActionItem.size(); ++i)
        connect(mnuActionItem[i], &QAction::triggered, this, [this, i] { mnuActionItem_Click(i); });
    for (int i = 0; i < mnuAction2Item.size(); ++i)
        connect(mnuAction2Item[i], &QAction::triggered, this,
                [this, i] { mnuAction2Item_Click(i); });
}

FavoriteList &Form1::favorites()
{
    return *m_favoritesController;
}

void Form1::loadFavorites()
{
    m_favoritesController->loadFavorites();
}

bool Form1::saveFavorites()
{
    return m_favoritesController->saveFavorites().ok();
}

void Form1::doChannelAction(const QByteArray &word)
{
    m_favoritesController->doChannelAction(word);
}

void Form1::cmdFav_Click()
{
    mnuActions->popup(QCursor::pos());
}

void Form1::ListView1_MouseUp(int Button)
{
    if (Button == Qt::RightButton)
        mnuActions->popup(QCursor::pos());
}

void Form1::mnuActionItem_Click(int Index)
{
    if (Index < 0 || Index >= int(std::size(kChannelActionItems)))
        return;
    if (const char *word = kChannelActionItems[Index].word)
        doChannelAction(word);
}

void Form1::Command4_Click()
{
    mnuActions2->popup(QCursor::pos());
}

void Form1::mnuAction2Item_Click(int Index)
{
    if (Index == 0)
        m_favoritesController->addSelectedVideo();
}

void Form1::Command1_Click()
{
    m_favoritesController->removeSelected();
}

void Form1::ListView2_Click()
{
    m_favoritesController->playSelected();
}

// ---- Video site -------------------------------------------------------------------------------

void Form1::createVideoSite()
{
    Combo3 = placed(new QComboBox(Frame5), u"Combo3"_s, 180, 300, 4935, 345);
    // Each item keeps its English text as its data: translations change what is shown, the
    // listing is chosen by the data.
    for (const QString &category : videoCategories())
        Combo3->addItem(category, category);
    Combo3->setCurrentText(u"Featured"_s);
    Combo3->setMaxVisibleItems(18);
    Combo3->setAccessibleName(u"Video listing"_s);
    Combo4 = placed(new QComboBox(Frame5), u"Combo4"_s, 180, 720, 1800, 345);
    for (const QString &country : videoCountries())
        Combo4->addItem(country, country);
    Combo4->setCurrentText(u"United States"_s);
    Combo4->setMaxVisibleItems(18);
    Combo4->setAccessibleName(u"Country edition"_s);
    txtYouTube = placed(new QLineEdit(u"enter search query"_s, Frame5), u"txtYouTube"_s, 180, 720,
                        1800, 345);
    txtYouTube->setAccessibleName(u"Search text"_s);
    txtYouTube->hide();
    cmdSearch = placed(new QPushButton(u"Search"_s, Frame5), u"cmdSearch"_s, 2040, 720, 1200, 345);
    cmdSearch->hide();
    Command4 =
        placed(new QPushButton(u"Channel Actions"_s, Frame5), u"Command4"_s, 3300, 720, 1815, 345);
    ListView3->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView3->setSelectionMode(QAbstractItemView::SingleSelection);

    VideoSiteBrowser::Hooks hooks;
    hooks.loadingDisabled = [this] { return chkLoad->isChecked(); };
    hooks.showPage = [this](const QUrl &page) {
        m_playRequests.begin(); // a video supersedes a channel or favourite still being checked
        m_browserPage = page;
        ensureBrowser();
        wbyoutube->load(page);
    };
    hooks.status = [this](const QString &text) { StatusBar1Panel1->setText(text); };
    m_videoSite = new VideoSiteBrowser(
        {Combo3, Combo4, txtYouTube, cmdSearch, ListView3, txtStatus, &countryCode},
        applicationFolder() + u"/youtube.html"_s, std::move(hooks), this);
}

void Form1::connectVideoSiteEvents()
{
    connect(Combo3, &QComboBox::activated, this, &Form1::Combo3_Click);
    connect(Combo4, &QComboBox::activated, this, &Form1::Combo4_Click);
    connect(cmdSearch, &QPushButton::clicked, this, &Form1::cmdSearch_Click);
    connect(txtYouTube, &QLineEdit::returnPressed, this, [this] { txtYouTube_KeyPress(13); });
    connect(ListView3, &QAbstractItemView::clicked, this, &Form1::ListView3_Click);
}

void Form1::loadVideoList()
{
    m_videoSite->loadVideoList();
}

void Form1::Combo3_Click()
{
    m_videoSite->Combo3_Click();
}

void Form1::Combo4_Click()
{
    m_videoSite->Combo4_Click();
}

void Form1::cmdSearch_Click()
{
    m_videoSite->cmdSearch_Click();
}

void Form1::txtYouTube_KeyPress(int KeyAscii)
{
    m_videoSite->txtYouTube_KeyPress(KeyAscii);
}

void Form1::ListView3_Click()
{
    m_videoSite->ListView3_Click();
}

void Form1::showVideo(const QByteArray &title, const QByteArray &videoId)
{
    m_videoSite->showVideo(title, videoId);
}

} // namespace mavrel
