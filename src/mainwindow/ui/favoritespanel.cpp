#include "mainwindow/ui/favoritespanel.h"

#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "catalogue/ui/logodelegate.h"
#include "favorites/ui/favoritesexchange.h"
#include "favorites/ui/favoritesmodel.h"
#include "localization/ui/windowcontrols.h"
#include "logos/logoindex.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/keyrouter.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindow/ui/videositepanel.h"
#include "online/serveraddress.h"
#include "platform/bytetext.h"
#include "platform/paths.h"
#include "platform/widgets/named.h"
#include "player/ui/mediaplayer.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace mavrel {

FavoritesPanel::FavoritesPanel(const QString &filePath, const PanelContext &context,
                               ChannelPanel *channels, VideoSitePanel *videos, QWidget *parent)
    : QGroupBox(u"Favorites"_s, parent)
{
    setObjectName(u"Frame3"_s);
    setGeometry(toPixels({60, 1020, 5235, 6675}));
    Command1 = named(new QPushButton(u"Remove from Favorites"_s, this), u"Command1"_s);
    Command1->setGeometry(toPixels({180, 360, 2400, 435}));
    ListView2 = named(new ListViewEnh(this), u"ListView2"_s, title());
    ListView2->setGeometry(toPixels({180, 900, 4935, 3795}));
    m_find = new FindBar(ListView2, u"lblFindFavorites"_s, u"txtFindFavorites"_s);

    PlayerArea *area = context.player;
    FavoritesController::Hooks hooks;
    hooks.selectedChannel = [channels]() -> std::optional<Favorite> {
        const std::optional<ChannelRecord> r = channels->selectedChannel();
        if (!r)
            return std::nullopt;
        return Favorite{r->name, r->url, r->kind, r->lang};
    };
    hooks.selectedVideo = [videos]() -> std::optional<SelectedVideo> {
        const auto video = videos->browser().selectedVideo();
        if (!video)
            return std::nullopt;
        return SelectedVideo{video->title, video->id};
    };
    hooks.reportContext = context.reportContext;
    hooks.loadingDisabled = [channels] { return channels->loadingDisabled(); };
    hooks.setOfflinePicture = [area](bool shown, const QString &name) {
        area->offlinePicture()->setVisible(shown);
        if (shown)
            area->player()->showOffline(name);
    };
    hooks.playVideo = [area, videos](const QByteArray &title, const QByteArray &id) {
        area->showBrowser();
        videos->browser().showVideo(title, id);
    };
    hooks.showPlayer = [area](const QString &name) {
        area->showPlayer();
        area->player()->prepare(name); // the old choice stops while this one opens
    };
    hooks.playAddress = [area](const QByteArray &address, const QString &name) {
        area->player()->setURL(displayText(address), name);
    };
    hooks.played = [played = context.played](const Favorite &f) {
        if (played)
            played(playedNow(RecentSource::Favorite, f.name, f.url, f.kind));
    };
    hooks.status = context.status;
    hooks.message = context.messages;
    hooks.checkLimits = checkFetchLimits();
    hooks.playRequests = context.playRequests;
    m_controller = new FavoritesController(ListView2, filePath, std::move(hooks), this);
    connect(channels, &ChannelPanel::actionChosen, m_controller,
            [this](const QByteArray &word) { m_controller->doChannelAction(word); });
    connect(videos, &VideoSitePanel::addToFavoritesChosen, m_controller,
            &FavoritesController::addSelectedVideo);
    m_exchange = new FavoritesExchange(
        *m_controller, {context.messages, context.status, [] { return videoSiteAddress(); }}, this);
    fitColumns(ListView2, FavoritesModel::ChannelColumn);
    installLogos(channels);

    connect(Command1, &QPushButton::clicked, m_controller, &FavoritesController::removeSelected);
    connect(ListView2, &QAbstractItemView::clicked, m_controller,
            &FavoritesController::playSelected);
    connect(ListView2, &ListViewEnh::columnClicked, this,
            [this](int column) { EnhListView_SortColumns(*ListView2, column, false); });
    auto *keys = new KeyRouter(this);
    keys->onKeys(ListView2, {Qt::Key_Return, Qt::Key_Enter}, [this] {
        const QModelIndex current = ListView2->currentIndex();
        if (!current.isValid())
            return;
        ListView2->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
        m_controller->playSelected();
    });
}

// Favourites store no logo: each finds its channel's in the catalogue, read off this thread
// once the list first shows a row, and again after the catalogue changed.
void FavoritesPanel::installLogos(ChannelPanel *channels)
{
    auto *index = new LogoIndex(dataDirectory() + u"/Data.txt"_s, this);
    auto *delegate =
        new LogoDelegate(ListView2, channels->logos(), [this, index](const QModelIndex &shown) {
            if (!index->used())
                index->refresh();
            const auto *model = qobject_cast<const FavoritesModel *>(ListView2->sourceModel());
            const int row = ListView2->sourceRow(shown.row());
            if (model == nullptr || row < 0 || row >= model->rowCount())
                return QByteArray();
            return index->logoFor(model->favorite(row).url);
        });
    ListView2->setItemDelegate(delegate);
    connect(index, &LogoIndex::changed, delegate, &LogoDelegate::refresh);
    connect(&channels->model(), &QAbstractItemModel::modelReset, index, [index] {
        if (index->used())
            index->refresh();
    });
}

void FavoritesPanel::readGeometry(ResizableControls &c) const
{
    c.frame3 = toTwips(geometry());
    c.listView2 = toTwips(ListView2->geometry());
}

void FavoritesPanel::applyGeometry(const ResizableControls &c)
{
    setGeometry(toPixels(c.frame3));
    ListView2->setGeometry(toPixels(c.listView2));
    m_find->listPlaced();
}

void FavoritesPanel::addControls(WindowControls &c)
{
    c.addFrame(this);
    c.addButton(Command1, controlkind::CommandButton);
    c.addListView(ListView2, [this](int column, const QString &text) {
        m_controller->model().setHeaderData(column, Qt::Horizontal, text);
    });
}

} // namespace mavrel
