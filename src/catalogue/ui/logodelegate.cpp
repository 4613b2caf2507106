#include "catalogue/ui/logodelegate.h"

#include "logos/logostore.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPainter>

#include <utility>

namespace mavrel {

LogoDelegate::LogoDelegate(QAbstractItemView *view, LogoStore *store, AddressOf addressOf)
    : QStyledItemDelegate(view), m_view(view), m_store(store), m_addressOf(std::move(addressOf))
{
    connect(store, &LogoStore::logoChanged, this, [this](const QByteArray &address) {
        if (m_shown.contains(address))
            m_view->viewport()->update();
    });
    view->installEventFilter(this);
}

bool LogoDelegate::eventFilter(QObject *object, QEvent *event)
{
    // The view is no editor: the base class must not see its events.
    if (object != m_view)
        return QStyledItemDelegate::eventFilter(object, event);
    // A hidden list wants nothing: its rows waiting for a fetch give way to the shown one's.
    if (event->type() == QEvent::Hide && !m_shown.isEmpty()) {
        m_shown.clear();
        m_store->setWanted(m_view, {});
    }
    return false;
}

void LogoDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() != 0)
        return;
    // The style leaves room for the logo and draws nothing there: there is no icon.
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = QSize(kSlotWidth, LogoStore::kLogoHeight);
    option->decorationAlignment = Qt::AlignLeft | Qt::AlignVCenter;
}

void LogoDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    // As the base class paints, with the option kept for the logo's place.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    if (index.column() != 0)
        return;
    const QByteArray address = m_addressOf(index);
    if (address.isEmpty() && m_shown.isEmpty())
        return;
    if (!m_requestDue) {
        // Once per paint: the rows on screen are listed when the paint is over.
        m_requestDue = true;
        QMetaObject::invokeMethod(
            const_cast<LogoDelegate *>(this),
            [this] { const_cast<LogoDelegate *>(this)->requestShown(); }, Qt::QueuedConnection);
    }
    if (address.isEmpty())
        return;

    const QRect slot = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, widget);
    const QImage logo = m_store->logo(address);
    if (logo.isNull()) {
        const int side = std::min(slot.height(), LogoStore::kLogoHeight) - 4;
        QColor shade = option.palette.color(QPalette::Mid);
        shade.setAlpha(90);
        painter->fillRect(QRect(slot.left() + 2, slot.center().y() - side / 2, side, side), shade);
        return;
    }
    const QSize size = logo.size().scaled(slot.size(), Qt::KeepAspectRatio).boundedTo(logo.size());
    const QRect target(QPoint(slot.left(), slot.center().y() - size.height() / 2), size);
    if (size == logo.size()) {
        painter->drawImage(target.topLeft(), logo);
    } else {
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(target, logo);
        painter->restore();
    }
}

QList<QByteArray> LogoDelegate::shownAddresses() const
{
    QList<QByteArray> addresses;
    const QAbstractItemModel *model = m_view->model();
    if (model == nullptr)
        return addresses;
    const int bottom = m_view->viewport()->height();
    for (QModelIndex index = m_view->indexAt(QPoint(1, 1)); index.isValid();
         index = index.sibling(index.row() + 1, 0)) {
        if (m_view->visualRect(index).top() >= bottom)
            break;
        const QByteArray address = m_addressOf(index);
        if (!address.isEmpty())
            addresses.append(address);
    }
    return addresses;
}

void LogoDelegate::requestShown()
{
    m_requestDue = false;
    const QList<QByteArray> addresses =
        m_view->isVisible() ? shownAddresses() : QList<QByteArray>();
    m_shown = QSet<QByteArray>(addresses.begin(), addresses.end());
    m_store->setWanted(m_view, addresses);
}

void LogoDelegate::refresh()
{
    requestShown();
    m_view->viewport()->update();
}

} // namespace mavrel
