#include "mainwindow/ui/recentpanel.h"

#include "localization/ui/windowcontrols.h"
#include "mainwindow/ui/keyrouter.h"
#include "platform/dialogs.h"
#include "platform/widgets/named.h"

#include <QHeaderView>
#include <QMenu>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {

RecentPanel::RecentPanel(const QString &filePath, const PanelContext &context, QWidget *parent)
    : QGroupBox(u"Recent"_s, parent), m_context(context)
{
    setObjectName(u"fraRecent"_s);
    m_model = new RecentModel(filePath, this);
    m_list = named(new QTreeView(this), u"lvwRecent"_s, title());
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(RecentModel::NameColumn, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(RecentModel::FromColumn, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(RecentModel::PlayedColumn,
                                           QHeaderView::ResizeToContents);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);

    m_menu = named(new QMenu(u"Recent"_s, this), u"mnuRecent"_s);
    m_clear = m_menu->addAction(u"&Clear Recent List"_s);
    m_clear->setObjectName(u"mnuRecentItem0"_s);
    connect(m_clear, &QAction::triggered, this, &RecentPanel::clearList);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        m_clear->setEnabled(m_model->rowCount() > 0);
        m_menu->popup(m_list->viewport()->mapToGlobal(at));
    });

    connect(m_list, &QAbstractItemView::clicked, this, &RecentPanel::replayCurrent);
    auto *keys = new KeyRouter(this);
    keys->onKeys(m_list, {Qt::Key_Return, Qt::Key_Enter}, [this] { replayCurrent(); });
}

void RecentPanel::retranslate()
{
    const MessageLookup &text = m_context.messages;
    m_model->setSourceNames({text(u"MSG_RECENTCHANNELS"_s), text(u"MSG_RECENTFAVORITES"_s),
                             text(u"MSG_RECENTFILES"_s)});
}

void RecentPanel::add(const RecentItem &item)
{
    saved(m_model->add(item));
}

void RecentPanel::clearList()
{
    if (messageBox(m_context.messages(u"MSG_RECENTCLEAR"_s), DialogButtons::YesNo, {},
                   DialogIcon::Question) != DialogAnswer::Yes)
        return;
    saved(m_model->clear());
}

void RecentPanel::saved(const Result<void> &result)
{
    if (!result && m_context.status)
        m_context.status(m_context.messages(u"MSG_RECENTNOTSAVED"_s).arg(result.error().message));
}

void RecentPanel::replayCurrent()
{
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount())
        return;
    // Copied: playing it again moves it to the top, which resets the model.
    const RecentItem item = m_model->item(current.row());
    emit replayRequested(item);
    // The row played stays chosen where it went.
    if (m_model->rowCount() > 0 && m_model->item(0).address == item.address)
        m_list->setCurrentIndex(m_model->index(0, 0));
}

void RecentPanel::addControls(WindowControls &c)
{
    c.addFrame(this);
    c.addListView(m_list, [this](int column, const QString &text) {
        m_model->setHeaderData(column, Qt::Horizontal, text);
    });
    c.addMenu(m_menu, u"mnuRecent"_s);
    c.addMenuItem(m_clear, u"mnuRecentItem"_s, 0);
}

} // namespace mavrel
