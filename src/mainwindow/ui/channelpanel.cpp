#include "mainwindow/ui/channelpanel.h"

#include "catalogue/kinds.h"
#include "catalogue/ui/cataloguecontroller.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"
#include "catalogue/ui/logodelegate.h"
#include "favorites/favorites.h"
#include "favorites/ui/favoritescontroller.h"
#include "localization/ui/windowcontrols.h"
#include "logos/logostore.h"
#include "mainwindow/checkallrun.h"
#include "mainwindow/ui/channelplayback.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/keyrouter.h"
#include "mainwindow/ui/playerarea.h"
#include "online/guideclient.h"
#include "online/serveraddress.h"
#include "platform/dialogs.h"
#include "platform/settings.h"
#include "platform/widgets/named.h"
#include "player/ui/mediaplayer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace mavrel {

ChannelPanel::ChannelPanel(const PanelContext &context, QWidget *parent)
    : QGroupBox(u"Channels"_s, parent), m_context(context), m_model(new ChannelListModel(this)),
      m_catalogue(std::make_unique<CatalogueController>(*m_model, context.messages))
{
    setObjectName(u"Frame1"_s);
    setGeometry(toPixels({60, 1020, 5235, 8175}));
    lblCountry = named(new QLabel(u"Type:"_s, this), u"lblCountry"_s);
    lblCountry->setGeometry(toPixels({180, 270, 720, 315}));
    Combo1 = named(new QComboBox(this), u"Combo1"_s);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setMaxVisibleItems(20);
    Combo1->setGeometry(toPixels({960, 225, 4155, 345}));
    lblSort = named(new QLabel(u"Sort by:"_s, this), u"lblSort"_s);
    lblSort->setGeometry(toPixels({180, 615, 765, 315})); // up to the box: room for translations
    cmbSortTV = named(new QComboBox(this), u"cmbSortTV"_s);
    cmbSortTV->addItems({u"Channel"_s, u"Category"_s, u"Type"_s, u"Rating"_s, u"Favorites"_s});
    cmbSortTV->setCurrentText(u"Rating"_s);
    cmbSortTV->setGeometry(toPixels({960, 570, 2160, 345}));
    lblCountry->setBuddy(Combo1);
    lblSort->setBuddy(cmbSortTV);
    cmdFav = named(new QPushButton(u"Channel Actions"_s, this), u"cmdFav"_s);
    cmdFav->setGeometry(toPixels({3240, 570, 1875, 345}));
    ListView1 = named(new ListViewEnh(this), u"ListView1"_s, title());
    ListView1->setSourceModel(m_model);
    m_logos = new LogoStore(this);
    ListView1->setItemDelegate(new LogoDelegate(ListView1, m_logos, [](const QModelIndex &index) {
        return index.data(ChannelListModel::kLogoRole).toByteArray();
    }));
    ListView1->setGeometry(toPixels({180, 960, 4935, 3795}));
    fitColumns(ListView1, ChannelListModel::ChannelColumn);
    m_find = new FindBar(ListView1, u"lblFind"_s, u"txtFind"_s);

    // List editing: never shown; only its check box has an effect.
    Frame2 = named(new QGroupBox(u"List Editing"_s, this), u"Frame2"_s);
    Frame2->setGeometry(toPixels({0, 0, 5235, 1200}));
    chkLoad = named(new QCheckBox(u"Don't Load Video While Editing"_s, Frame2), u"chkLoad"_s);
    chkLoad->setGeometry(toPixels({180, 300, 4800, 315}));
    Frame2->hide();

    // A hidden entry of the menu bar, shown only as a pop-up at the pointer.
    mnuActions = named(new QMenu(u"Actions"_s, this), u"mnuActions"_s);
    fillActionMenu(mnuActions, kChannelActionItems, int(std::size(kChannelActionItems)),
                   u"mnuActionItem"_s, mnuActionItem);
    for (int i = 0; i < mnuActionItem.size(); ++i) {
        if (const char *word = kChannelActionItems[i].word)
            connect(mnuActionItem[i], &QAction::triggered, this,
                    [this, word] { emit actionChosen(word); });
    }
    connect(cmdFav, &QPushButton::clicked, this, [this] { mnuActions->popup(QCursor::pos()); });
    onMouseUp(ListView1->viewport(), [this](Qt::MouseButton button, QPoint) {
        if (button == Qt::RightButton)
            mnuActions->popup(QCursor::pos());
    });

    connect(Combo1, &QComboBox::activated, this, &ChannelPanel::Combo1_Click);
    connect(cmbSortTV, &QComboBox::activated, this, &ChannelPanel::cmbSortTV_Click);
    connect(ListView1, &ListViewEnh::columnClicked, this,
            [this](int column) { EnhListView_SortColumns(*ListView1, column, false); });
    ChannelPlayback::Hooks hooks;
    hooks.selectedChannel = [this]() -> std::optional<SelectedChannel> {
        const std::optional<ChannelRecord> record = selectedChannel();
        if (!record)
            return std::nullopt;
        return SelectedChannel{record->name, record->url, record->kind};
    };
    hooks.played = [played = context.played](const SelectedChannel &channel) {
        if (played)
            played(playedNow(RecentSource::Channel, channel.name, channel.address, channel.kind));
    };
    hooks.reportContext = context.reportContext;
    hooks.status = context.status;
    hooks.message = context.messages;
    MediaPlayer *player = context.player->player();
    // The window owns the checks: when it goes away during a fetch, the check ends quietly.
    m_playback = new ChannelPlayback(player, context.player->offlinePicture(), std::move(hooks),
                                     parent, context.playRequests);
    connect(player, &MediaPlayer::MediaError, m_playback,
            &ChannelPlayback::WindowsMediaPlayer1_MediaError);
    connect(player, &MediaPlayer::Warning, m_playback,
            &ChannelPlayback::WindowsMediaPlayer1_Warning);
    connect(ListView1, &QAbstractItemView::clicked, this,
            [this] { m_clicked = selectedChannel(); });
    connect(ListView1, &QAbstractItemView::clicked, m_playback, &ChannelPlayback::ListView1_Click);
    m_guide = new GuideClient(catalogueServerAddress, this);
    context.player->setGuide(m_guide, context.messages);
    connect(m_guide, &GuideClient::nowChanged, this, &ChannelPanel::showGuide);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ChannelPanel::showGuide);
    connect(player, &MediaPlayer::stateChanged, this, &ChannelPanel::followPlayer);
    connect(m_find, &FindBar::findChanged, this, &ChannelPanel::sayCounts);
    auto *keys = new KeyRouter(this);
    keys->onKeys(ListView1, {Qt::Key_Return, Qt::Key_Enter}, [this] {
        const QModelIndex current = ListView1->currentIndex();
        if (!current.isValid())
            return;
        // A click chooses the row it plays; the current row need not be chosen yet.
        ListView1->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
        m_clicked = selectedChannel();
        m_playback->ListView1_Click();
    });

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
    run.status = context.status;
    m_checkRun = new CheckAllRun(std::move(run), this);
    // A run walks the rows as shown, so it ends when they change under it: the list reloaded,
    // a find typed or taken back, another sort order.
    const QAbstractItemModel *shown = ListView1->model();
    connect(shown, &QAbstractItemModel::modelReset, m_checkRun, &CheckAllRun::listChanged);
    connect(shown, &QAbstractItemModel::rowsRemoved, m_checkRun, &CheckAllRun::listChanged);
    connect(shown, &QAbstractItemModel::rowsInserted, m_checkRun, &CheckAllRun::listChanged);
    connect(shown, &QAbstractItemModel::layoutChanged, m_checkRun, &CheckAllRun::listChanged);
}

ChannelPanel::~ChannelPanel() = default;

void ChannelPanel::setCatalogueFile(const QString &path)
{
    m_catalogueFile = path;
    m_catalogue->setCatalogueFile(path);
}

bool ChannelPanel::catalogueExists() const
{
    return m_catalogue->catalogueExists();
}

CatalogueViewState &ChannelPanel::viewState()
{
    return m_catalogue->state();
}

bool ChannelPanel::loadingDisabled() const
{
    return chkLoad->isChecked();
}

std::optional<ChannelRecord> ChannelPanel::selectedChannel() const
{
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return std::nullopt;
    const int row = ListView1->sourceRow(selected.first().row());
    if (row < 0 || row >= m_model->rowCount())
        return std::nullopt;
    return m_model->record(row);
}

void ChannelPanel::showKind(const QString &kind)
{
    CatalogueViewState &state = viewState();
    state.currentKind = kind;
    m_catalogue->clearRows();
    const std::optional<SettingKey> setting = languageSettingToRead(kind);
    state.currentLang = setting ? readSetting(*setting) : QString();
    state.rebuildLangList = true;
    loadChannelList();
}

void ChannelPanel::clearRows()
{
    m_catalogue->clearRows();
}

void ChannelPanel::loadChannelList()
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
    m_listStatus = load.statusLine;
    m_catalogueTotal = load.total;
    m_context.status(load.statusLine);
    if (m_find->isVisible())
        sayCounts();
}

void ChannelPanel::sortByRating()
{
    // The sort routine leaves an empty list's state alone; when the first list is empty (a
    // stored language none of the kind's channels carries) the best rated must still come first
    // in every later list, as "Sort by: Rating" says.
    if (ListView1->sourceModel()->rowCount() == 0 && !ListView1->sortingOn())
        ListView1->setSortState(true, ChannelListModel::RatingColumn, Qt::DescendingOrder);
    else
        EnhListView_SortColumns(*ListView1, ChannelListModel::RatingColumn + 1, false);
}

void ChannelPanel::Combo1_Click()
{
    CatalogueViewState &state = viewState();
    // The first item is "All" in the window's language; the view and the setting keep "All".
    const bool all = Combo1->currentIndex() <= 0 && Combo1->currentText() == m_allText;
    state.currentLang = all ? u"All"_s : Combo1->currentText();
    if (const std::optional<SettingKey> setting = languageSettingToWrite(state.currentKind))
        storeSetting(*setting, state.currentLang);
    loadChannelList();
}

void ChannelPanel::cmbSortTV_Click()
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

void ChannelPanel::applyStaffSwitch()
{
    m_model->addUrlColumn();
    chkLoad->setChecked(true);
}

void ChannelPanel::sayCounts()
{
    m_listStatus = catalogueStatusLine(m_context.messages, m_catalogueTotal,
                                       ListView1->proxy()->rowCount(), viewState().langCount);
    m_context.status(m_listStatus);
}

void ChannelPanel::showGuide()
{
    // At start and after a catalogue update: the guide ids may have changed.
    const QDateTime stamp = QFileInfo(m_catalogueFile).lastModified();
    if (stamp != m_catalogueStamp) {
        m_catalogueStamp = stamp;
        m_guide->refreshNow();
    }
    const GuideNowTable &table = m_guide->table();
    bool shown = viewState().currentKind == kKindTV && !table.isEmpty();
    if (shown) {
        const ChannelRows &rows = m_model->rows();
        shown = false;
        for (std::size_t r = 0; r < rows.size() && !shown; ++r) {
            const QByteArrayView id = rows.bytes(r, ChannelRows::Spare1);
            shown = !id.isEmpty() && table.contains(id.toByteArray());
        }
    }
    if (!shown) {
        m_model->setOnNow({}, {});
        return;
    }
    const bool added = !m_model->hasOnNowColumn();
    m_model->setOnNow([guide = m_guide](const QByteArray &id) { return guide->onNow(id).on.title; },
                      m_context.messages(u"MSG_ONNOW"_s));
    if (added) {
        QHeaderView *header = ListView1->header();
        header->setSectionHidden(ChannelListModel::UrlColumn, !m_model->hasUrlColumn());
        header->moveSection(header->visualIndex(ChannelListModel::OnNowColumn), 1);
    }
}

void ChannelPanel::followPlayer(PlaybackSession::State state)
{
    using State = PlaybackSession::State;
    const QString url = m_context.player->player()->URL();
    if (state == State::Closed || state == State::Stopped || state == State::Error) {
        m_followedUrl.clear();
        m_context.player->setGuideChannel({}, {});
        return;
    }
    if (url == m_followedUrl)
        return;
    m_followedUrl = url;
    const std::optional<SelectedChannel> &played = m_playback->playingChannel();
    if (m_clicked && played && played->address == url.toUtf8() && played->name == m_clicked->name) {
        m_context.player->setGuideChannel(m_clicked->spare1, QString::fromUtf8(m_clicked->name));
        return;
    }
    // A favourite or another list's channel: the list shown may hold it.
    const ChannelRows &rows = m_model->rows();
    for (std::size_t r = 0; r < rows.size() && !url.isEmpty(); ++r) {
        if (!rows.bytes(r, ChannelRows::Spare1).isEmpty() &&
            rows.text(r, ChannelRows::Text::Url) == url) {
            const ChannelRecord record = rows.record(r);
            m_context.player->setGuideChannel(record.spare1, QString::fromUtf8(record.name));
            return;
        }
    }
    m_context.player->setGuideChannel({}, {});
}

int ChannelPanel::neededWidth() const
{
    constexpr int kChannelColumnTwips = 2800;
    const int columns = wantedColumnsWidth(ListView1, ChannelListModel::ChannelColumn);
    // The list's margins in the frame, its frame and a vertical scroll bar.
    const int chrome = width() - ListView1->width() + ListView1->frameWidth() * 2 +
                       ListView1->verticalScrollBar()->sizeHint().width();
    return pixelsToTwips(columns + chrome) + kChannelColumnTwips;
}

void ChannelPanel::readGeometry(ResizableControls &c) const
{
    c.frame1 = toTwips(geometry());
    c.listView1 = toTwips(ListView1->geometry());
}

void ChannelPanel::applyGeometry(const ResizableControls &c)
{
    setGeometry(toPixels(c.frame1));
    ListView1->setGeometry(toPixels(c.listView1));
    // The Type box and the actions button keep their right margins as the divider moves.
    const int wider = c.frame1.width - kDesignFrameWidth;
    Combo1->setGeometry(toPixels({960, 225, 4155 + wider, 345}));
    cmdFav->setGeometry(toPixels({3240 + wider, 570, 1875, 345}));
    m_find->listPlaced();
}

void ChannelPanel::addControls(WindowControls &c)
{
    c.addFrame(this);
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
        m_model->setHeaderText(column, text);
        if (column == 0) // a language applied: the On Now header is a message
            showGuide();
        // The sort box names the columns, in their language.
        if (column < cmbSortTV->count())
            cmbSortTV->setItemText(column, text);
    });
    c.addFrame(Frame2);
    c.addButton(chkLoad, controlkind::CheckBox);
}

void ChannelPanel::addMenuControls(WindowControls &c)
{
    c.addMenu(mnuActions, u"mnuActions"_s);
    for (int i = 0; i < int(mnuActionItem.size()); ++i) {
        if (!mnuActionItem[i]->isSeparator())
            c.addMenuItem(mnuActionItem[i], u"mnuActionItem"_s, i);
    }
}

} // namespace mavrel
