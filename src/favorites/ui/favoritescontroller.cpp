#include "favorites/ui/favoritescontroller.h"

#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"
#include "favorites/ui/favoritesmodel.h"
#include "online/fetch.h"
#include "online/reportquery.h"
#include "platform/bytetext.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSet>

using namespace Qt::StringLiterals;

namespace mavrel {

FavoritesController::FavoritesController(ListViewEnh *view, QString filePath, Hooks hooks,
                                         QObject *window)
    : QObject(window), m_view(view), m_model(new FavoritesModel(this)), m_path(std::move(filePath)),
      m_hooks(std::move(hooks)), m_window(window), m_listOrder(new CollatingSortProxy(this))
{
    m_view->setSourceModel(m_model);
    m_listOrder->setSourceModel(m_model);
}

void FavoritesController::loadFavorites()
{
    m_model->setFavorites(readFavorites(m_path));
}

QList<Favorite> FavoritesController::favoritesInListOrder() const
{
    // A sorted list keeps its sort order from then on; the view's own proxy leaves out the rows
    // the find bar hides, so a second one, sorted alike, gives the order of all of them.
    const int column = m_view->sortingOn() ? m_view->sortKey() : -1;
    if (m_listOrder->sortColumn() != column || m_listOrder->sortOrder() != m_view->sortOrder())
        m_listOrder->sort(column, m_view->sortOrder());
    QList<Favorite> out;
    const int rows = m_listOrder->rowCount();
    out.reserve(rows);
    for (int r = 0; r < rows; ++r)
        out.append(m_model->favorite(m_listOrder->mapToSource(m_listOrder->index(r, 0)).row()));
    return out;
}

Result<void> FavoritesController::saveFavorites()
{
    Result<void> written = writeFavorites(m_path, favoritesInListOrder());
    if (!written && m_hooks.status)
        m_hooks.status(u"The favourites could not be saved: %1"_s.arg(written.error().message));
    return written;
}

void FavoritesController::addFavorite(const Favorite &favorite)
{
    appendFavorite(favorite);
}

bool FavoritesController::appendFavorite(const Favorite &favorite)
{
    // One line the file cannot hold would make every later save fail.
    const Favorite carriable = carriableFavorite(favorite);
    if (!carriable.toScrambledLine()) {
        if (m_hooks.status && m_hooks.message)
            m_hooks.status(m_hooks.message(u"MSG_FAVTOOLONG"_s));
        return false;
    }
    m_model->append(carriable);
    return true;
}

int FavoritesController::addNewFavorites(const QList<Favorite> &favorites)
{
    QSet<QByteArray> known;
    for (const Favorite &f : m_model->favorites())
        known.insert(f.url);
    QList<Favorite> added;
    for (const Favorite &f : favorites) {
        Favorite carriable = carriableFavorite(f);
        if (known.contains(carriable.url) || !carriable.toScrambledLine())
            continue;
        known.insert(carriable.url);
        added.append(std::move(carriable));
    }
    m_model->append(added);
    return int(added.size());
}

int FavoritesController::selectedSourceRow() const
{
    // The selected row, however it was chosen: a screen reader selects a row without making it
    // current, and the current row need not be the selected one.
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : m_view->sourceRow(rows.first().row());
}

void FavoritesController::doChannelAction(QByteArrayView word)
{
    const std::optional<Favorite> channel = m_hooks.selectedChannel();
    if (!channel)
        return;
    const ChannelAction action = parseActionWord(word);
    const ReportContext context = m_hooks.reportContext();
    switch (action.kind) {
    case ChannelAction::AddFavorite:
        if (!appendFavorite(*channel))
            break;
        // Saved before the report: the report may wait many seconds for the server, and a
        // favourite must not depend on it.
        if (saveFavorites().ok())
            say(u"MSG_FAVADDED"_s, channel->name);
        sendData(channel->name, kReportFavorite, {}, context);
        break;
    case ChannelAction::Rate: {
        const FetchResult sent = sendData(channel->name, kReportRate, action.stars, context);
        if (sent.ownerGone)
            return;
        // The rating exists only on the server: a report that got no answer is no rating.
        if (sent.end != FetchEnd::Complete || sent.httpStatus != 200)
            say(u"MSG_RATEFAILED"_s, channel->name);
        else if (action.stars == "1")
            say(u"MSG_RATEDONE"_s, channel->name);
        else
            say(u"MSG_RATED"_s, channel->name, QString::fromLatin1(action.stars));
        break;
    }
    case ChannelAction::ReportOffline:
        sendData(channel->name, kReportOffline, {}, context);
        break;
    case ChannelAction::None:
        break;
    }
}

void FavoritesController::addSelectedVideo()
{
    const std::optional<SelectedVideo> video = m_hooks.selectedVideo();
    if (!video)
        return;
    if (appendFavorite(videoFavorite(video->title, video->id)) && saveFavorites().ok())
        say(u"MSG_FAVADDED"_s, video->title);
}

void FavoritesController::removeSelected()
{
    const int row = selectedSourceRow();
    QByteArray removed;
    if (row >= 0) {
        removed = m_model->favorite(row).name;
        m_model->remove(row);
    }
    if (saveFavorites().ok() && row >= 0)
        say(u"MSG_FAVREMOVED"_s, removed);
}

void FavoritesController::say(const QString &key, QByteArrayView name, const QString &second)
{
    if (!m_hooks.status || !m_hooks.message)
        return;
    QString text = m_hooks.message(key).arg(displayText(name));
    if (!second.isEmpty())
        text = text.arg(second);
    m_hooks.status(text);
}

void FavoritesController::playSelected()
{
    const int row = selectedSourceRow();
    if (row < 0) {
        m_hooks.setOfflinePicture(false, {});
        return;
    }
    playFavorite(m_model->favorite(row));
}

void FavoritesController::playFavorite(const Favorite &favorite)
{
    const QString name = displayText(favorite.name);
    m_hooks.setOfflinePicture(false, name);
    if (m_hooks.loadingDisabled())
        return;
    const quint64 request = playRequests().begin();
    if (const std::optional<QByteArray> id = favoriteVideoId(favorite.url)) {
        m_hooks.playVideo(favorite.name, *id);
        if (m_hooks.played)
            m_hooks.played(favorite);
        return;
    }
    m_hooks.showPlayer(name);
    FetchOptions options;
    options.use = FetchUse::ChannelCheck;
    options.limits = m_hooks.checkLimits;
    options.owner = m_window;
    QPointer<FavoritesController> self(this);
    const FetchResult fetched = fetchPage(favorite.url, options);
    // A newer choice made during the fetch is the one that counts.
    if (fetched.ownerGone || !self || fetched.end == FetchEnd::Aborted ||
        !playRequests().isNewest(request))
        return;
    // Decided as a click in the channel list decides, but a live favourite is not reported.
    const CheckDecision decision = decideCheck(fetched.body, fetched.contentType, false);
    if (decision.play) {
        m_hooks.playAddress(favorite.url, name);
        if (m_hooks.played)
            m_hooks.played(favorite);
    }
    if (decision.showOffline) {
        m_hooks.setOfflinePicture(true, name);
        if (!sendOfflineReport(favorite.name, "\"", offlineCause(fetched),
                               m_hooks.reportContext()) &&
            m_hooks.status && m_hooks.message)
            m_hooks.status(m_hooks.message(u"MSG_VIEWEROFFLINE"_s));
    }
}

void fillActionMenu(QMenu *menu, const ActionItem *items, int count, const QString &namePrefix,
                    QList<QAction *> &actions)
{
    actions.clear();
    for (int i = 0; i < count; ++i) {
        const QString caption = QString::fromLatin1(items[i].caption);
        QAction *action = caption == u"-"_s ? menu->addSeparator() : menu->addAction(caption);
        action->setObjectName(namePrefix + QString::number(i));
        actions.append(action);
    }
}

} // namespace mavrel

namespace mavrel {

namespace {

class MouseUpFilter : public QObject
{
public:
    MouseUpFilter(QWidget *widget, std::function<void(Qt::MouseButton, QPoint)> handler)
        : QObject(widget), m_handler(std::move(handler))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            m_handler(mouse->button(), mouse->position().toPoint());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(Qt::MouseButton, QPoint)> m_handler;
};

} // namespace

void onMouseUp(QWidget *widget, std::function<void(Qt::MouseButton button, QPoint pos)> handler)
{
    new MouseUpFilter(widget, std::move(handler));
}

} // namespace mavrel
