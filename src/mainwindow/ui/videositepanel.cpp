#include "mainwindow/ui/videositepanel.h"

#include "favorites/favorites.h"
#include "favorites/ui/favoritescontroller.h"
#include "localization/ui/windowcontrols.h"
#include "mainwindow/ui/channelplayback.h"
#include "mainwindow/ui/keyrouter.h"
#include "mainwindow/ui/playerarea.h"
#include "platform/appfolder.h"
#include "platform/widgets/named.h"
#include "videosite/listing.h"
#include "videosite/playerpage.h"

#include <QComboBox>
#include <QCursor>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

template<typename W> W *placed(W *w, const QString &name, const TwipsRect &r)
{
    w->setObjectName(name);
    w->setGeometry(toPixels(r));
    return w;
}

} // namespace

VideoSitePanel::VideoSitePanel(const QString &pagePath, const PanelContext &context,
                               std::function<bool()> loadingDisabled, QWidget *parent)
    : QGroupBox(u"YouTube\u2122"_s, parent), m_context(context)
{
    setObjectName(u"Frame5"_s);
    setGeometry(toPixels({60, 1020, 5235, 8175}));
    Combo3 = placed(new QComboBox(this), u"Combo3"_s, {180, 300, 4935, 345});
    // Each item keeps its English text as its data: translations change what is shown, the
    // listing is chosen by the data.
    for (const QString &category : videoCategories())
        Combo3->addItem(category, category);
    Combo3->setCurrentText(u"Featured"_s);
    Combo3->setMaxVisibleItems(18);
    Combo3->setAccessibleName(u"Video listing"_s);
    Combo4 = placed(new QComboBox(this), u"Combo4"_s, {180, 720, 1800, 345});
    for (const QString &country : videoCountries())
        Combo4->addItem(country, country);
    Combo4->setCurrentText(u"United States"_s);
    Combo4->setMaxVisibleItems(18);
    Combo4->setAccessibleName(u"Country edition"_s);
    txtYouTube = placed(new QLineEdit(u"enter search query"_s, this), u"txtYouTube"_s,
                        {180, 720, 1800, 345});
    txtYouTube->setAccessibleName(u"Search text"_s);
    txtYouTube->hide();
    cmdSearch = placed(new QPushButton(u"Search"_s, this), u"cmdSearch"_s, {2040, 720, 1200, 345});
    cmdSearch->hide();
    Command4 =
        placed(new QPushButton(u"Channel Actions"_s, this), u"Command4"_s, {3300, 720, 1815, 345});
    ListView3 = named(new QTreeView(this), u"ListView3"_s, title());
    ListView3->setRootIsDecorated(false);
    ListView3->setUniformRowHeights(true);
    ListView3->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView3->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView3->setGeometry(toPixels({180, 1140, 4935, 3555}));
    txtStatus = named(new QLineEdit(this), u"txtStatus"_s, u"Video status"_s);
    txtStatus->setReadOnly(true);
    txtStatus->setGeometry(toPixels({180, 7800, 4875, 285}));

    // A hidden entry of the menu bar, shown only as a pop-up at the pointer.
    mnuActions2 = named(new QMenu(u"Actions2"_s, this), u"mnuActions2"_s);
    fillActionMenu(mnuActions2, kVideoActionItems, int(std::size(kVideoActionItems)),
                   u"mnuAction2Item"_s, mnuAction2Item);
    if (!mnuAction2Item.isEmpty())
        connect(mnuAction2Item[0], &QAction::triggered, this,
                &VideoSitePanel::addToFavoritesChosen);
    connect(Command4, &QPushButton::clicked, this, [this] { mnuActions2->popup(QCursor::pos()); });

    VideoSiteBrowser::Hooks hooks;
    hooks.loadingDisabled = std::move(loadingDisabled);
    hooks.showPage = [context](const QUrl &page) {
        // A video supersedes a channel or favourite still being checked.
        context.playRequests->begin();
        context.player->loadPage(page);
    };
    hooks.status = context.status;
    m_browser = new VideoSiteBrowser(
        {Combo3, Combo4, txtYouTube, cmdSearch, ListView3, txtStatus, &m_countryCode}, pagePath,
        std::move(hooks), this);
    VideoSiteBrowser *browser = m_browser;
    connect(Combo3, &QComboBox::activated, browser, &VideoSiteBrowser::Combo3_Click);
    connect(Combo4, &QComboBox::activated, browser, &VideoSiteBrowser::Combo4_Click);
    connect(cmdSearch, &QPushButton::clicked, browser, &VideoSiteBrowser::cmdSearch_Click);
    connect(txtYouTube, &QLineEdit::returnPressed, browser,
            [browser] { browser->txtYouTube_KeyPress(13); });
    connect(ListView3, &QAbstractItemView::clicked, browser, &VideoSiteBrowser::ListView3_Click);
    // The status line repeats the box, painted at once while a long download writes to it.
    connect(txtStatus, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_context.status(text);
        mirrorStatusText(text, nullptr);
    });
    auto *keys = new KeyRouter(this);
    keys->onKeys(ListView3, {Qt::Key_Return, Qt::Key_Enter}, [this] {
        const QModelIndex current = ListView3->currentIndex();
        if (!current.isValid())
            return;
        ListView3->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
        m_browser->ListView3_Click();
    });
}

void VideoSitePanel::writePlaceholder()
{
    (void)writeFileReported(m_browser->pagePath(), placeholderVideoPage());
}

void VideoSitePanel::setStatusBoxText(const QString &text)
{
    txtStatus->setText(text);
}

void VideoSitePanel::readGeometry(ResizableControls &c) const
{
    c.frame5 = toTwips(geometry());
    c.listView3 = toTwips(ListView3->geometry());
    c.txtStatus = toTwips(txtStatus->geometry());
}

void VideoSitePanel::applyGeometry(const ResizableControls &c)
{
    setGeometry(toPixels(c.frame5));
    // The listing box and the actions button keep their right margins as the divider moves.
    const int wider = c.frame5.width - kDesignFrameWidth;
    Combo3->setGeometry(toPixels({180, 300, 4935 + wider, 345}));
    Command4->setGeometry(toPixels({3300 + wider, 720, 1815, 345}));
    ListView3->setGeometry(toPixels(c.listView3));
    txtStatus->setGeometry(toPixels(c.txtStatus));
}

void VideoSitePanel::addControls(WindowControls &c)
{
    c.addFrame(this);
    c.addComboBox(Combo3, Combo3->count());
    c.addComboBox(Combo4, Combo4->count());
    c.addTextBox(txtYouTube);
    c.addButton(cmdSearch, controlkind::CommandButton);
    c.addButton(Command4, controlkind::CommandButton);
    c.addListView(ListView3);
    c.addOther(txtStatus, u"TextBox"_s);
}

void VideoSitePanel::addMenuControls(WindowControls &c)
{
    c.addMenu(mnuActions2, u"mnuActions2"_s);
    for (int i = 0; i < int(mnuAction2Item.size()); ++i)
        c.addMenuItem(mnuAction2Item[i], u"mnuAction2Item"_s, i);
}

} // namespace mavrel
