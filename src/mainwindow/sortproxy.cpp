#include "mainwindow/sortproxy.h"

#include "mainwindow/channellistmodel.h"

namespace mavrel {

namespace {

// The user's collation; the bare "C" locale of a minimal environment would order by code point,
// which puts every accented letter after "z", so English rules stand in for it.
QCollator userCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

} // namespace

CollatingSortProxy::CollatingSortProxy(QObject *parent)
    : QSortFilterProxyModel(parent), m_collator(userCollator())
{
    setDynamicSortFilter(true);
}

void CollatingSortProxy::setCollator(const QCollator &collator)
{
    m_collator = collator;
    invalidateKeys();
    invalidate();
}

void CollatingSortProxy::setSourceModel(QAbstractItemModel *model)
{
    for (const auto &c : std::as_const(m_sourceConnections))
        disconnect(c);
    m_sourceConnections.clear();
    invalidateKeys();
    // Connected before the base class connects its own handlers, so that the keys are marked
    // stale before the proxy re-sorts on the same signal.
    if (model) {
        const auto stale = [this] { invalidateKeys(); };
        m_sourceConnections = {
            connect(model, &QAbstractItemModel::modelAboutToBeReset, this, stale),
            connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, stale),
            connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, stale),
            connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, stale),
            connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, stale),
            connect(model, &QAbstractItemModel::dataChanged, this, stale),
        };
    }
    QSortFilterProxyModel::setSourceModel(model);
}

void CollatingSortProxy::ensureKeys(int column) const
{
    const QAbstractItemModel *source = sourceModel();
    const int rows = source->rowCount();
    if (m_keysValid && m_keysColumn == column && m_keys.size() == std::size_t(rows))
        return;
    m_keys.clear();
    m_keys.reserve(std::size_t(rows));
    // The channel list is the big one: read its texts without going through QVariant.
    if (const auto *channels = qobject_cast<const ChannelListModel *>(source)) {
        for (const ChannelRow &row : channels->rows())
            m_keys.push_back(m_collator.sortKey(ChannelListModel::cellText(row, column)));
    } else {
        for (int r = 0; r < rows; ++r)
            m_keys.push_back(
                m_collator.sortKey(source->index(r, column).data(sortRole()).toString()));
    }
    m_keysColumn = column;
    m_keysValid = true;
}

bool CollatingSortProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    ensureKeys(left.column());
    return m_keys[std::size_t(left.row())].compare(m_keys[std::size_t(right.row())]) < 0;
}

} // namespace mavrel
