#include "catalogue/ui/channellistmodel.h"

#include "platform/bytetext.h"

#include <QThreadPool>

#include <utility>

using namespace Qt::StringLiterals;

namespace mavrel {

ChannelListModel::ChannelListModel(QObject *parent)
    : QAbstractTableModel(parent), m_headers{u"Channel"_s, u"Category"_s, u"Type"_s, u"Rating"_s,
                                             u"Favorites"_s}
{}

void ChannelListModel::addUrlColumn()
{
    if (hasUrlColumn())
        return;
    if (hasOnNowColumn()) { // the column is there already, without a name
        m_headers.append(u"URL"_s);
        emit headerDataChanged(Qt::Horizontal, UrlColumn, UrlColumn);
        return;
    }
    beginInsertColumns({}, UrlColumn, UrlColumn);
    m_headers.append(u"URL"_s);
    endInsertColumns();
}

void ChannelListModel::setOnNow(OnNowLookup lookup, const QString &header)
{
    const int before = columnCount();
    m_onNowHeader = header;
    if (bool(lookup) == hasOnNowColumn()) {
        m_onNow = std::move(lookup);
        if (hasOnNowColumn()) {
            emit headerDataChanged(Qt::Horizontal, OnNowColumn, OnNowColumn);
            onNowChanged();
        }
        return;
    }
    if (lookup) {
        beginInsertColumns({}, before, OnNowColumn);
        m_onNow = std::move(lookup);
        endInsertColumns();
    } else {
        beginRemoveColumns({}, int(m_headers.size()), OnNowColumn);
        m_onNow = {};
        endRemoveColumns();
    }
}

void ChannelListModel::onNowChanged()
{
    if (hasOnNowColumn() && !m_rows.empty())
        emit dataChanged(index(0, OnNowColumn), index(rowCount() - 1, OnNowColumn),
                         {Qt::DisplayRole});
}

QString ChannelListModel::onNowText(int row) const
{
    if (!m_onNow || row < 0 || std::size_t(row) >= m_rows.size())
        return {};
    const QByteArrayView id = m_rows.bytes(std::size_t(row), ChannelRows::Spare1);
    return id.isEmpty() ? QString() : m_onNow(id.toByteArray());
}

void ChannelListModel::setHeaderText(int column, const QString &text)
{
    if (column < 0 || column >= m_headers.size())
        return;
    m_headers[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

namespace {

// Freeing a big catalogue's buffer gives its pages back to the system, which takes milliseconds;
// the rows are nobody else's once they leave the list, so a pool thread does it.
void releaseLater(ChannelRows &&rows)
{
    if (rows.bufferBytes() < (qsizetype(1) << 22))
        return;
    QThreadPool::globalInstance()->start([doomed = std::move(rows)]() mutable { doomed = {}; });
}

} // namespace

void ChannelListModel::setRows(ChannelRows &&rows)
{
    beginResetModel();
    ChannelRows previous = std::exchange(m_rows, std::move(rows));
    forgetCells();
    endResetModel();
    releaseLater(std::move(previous));
    releaseLater(std::move(m_removed));
    m_removed = {};
}

void ChannelListModel::setRows(std::vector<ChannelRow> &&rows)
{
    setRows(ChannelRows::fromDecoded(rows));
    rows = {};
}

void ChannelListModel::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    // Kept until the next rows arrive: freeing them while the catalogue is read would make the
    // two compete.
    if (m_removed.empty())
        m_removed = std::exchange(m_rows, {});
    else
        releaseLater(std::exchange(m_rows, {}));
    forgetCells();
    endResetModel();
}

void ChannelListModel::forgetCells()
{
    for (CachedCell &cell : m_cells)
        cell = {};
}

int ChannelListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ChannelListModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return hasOnNowColumn() ? OnNowColumn + 1 : int(m_headers.size());
}

ChannelRows::Text ChannelListModel::textOf(int column)
{
    switch (column) {
    case CategoryColumn:
        return ChannelRows::Text::Kind;
    case TypeColumn:
        return ChannelRows::Text::Lang;
    case RatingColumn:
        return ChannelRows::Text::Rating;
    case FavoritesColumn:
        return ChannelRows::Text::Favorites;
    case UrlColumn:
        return ChannelRows::Text::Url;
    default:
        return ChannelRows::Text::Name;
    }
}

QString ChannelListModel::cellText(int row, int column) const
{
    CachedCell &cell = m_cells[(std::size_t(row) * 8 + std::size_t(column)) % m_cells.size()];
    if (cell.row != row || cell.column != column)
        cell = {row, column, m_rows.text(std::size_t(row), textOf(column))};
    return cell.text;
}

QVariant ChannelListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (index.column() == OnNowColumn && (role == Qt::DisplayRole || role == Qt::ToolTipRole))
        return onNowText(index.row());
    // Without the staff's URL column the addresses stay out of sight, screen readers included.
    if (index.column() == UrlColumn && !hasUrlColumn() &&
        (role == Qt::DisplayRole || role == Qt::ToolTipRole))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::ToolTipRole:
        return plainToolTip(cellText(index.row(), index.column()));
    case kAddressRole:
        return cellText(index.row(), UrlColumn);
    case kLogoRole:
        return m_rows.bytes(std::size_t(index.row()), ChannelRows::Spare2).toByteArray();
    default:
        return {};
    }
}

QVariant ChannelListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == OnNowColumn &&
        hasOnNowColumn())
        return m_onNowHeader;
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_headers.size())
        return m_headers[section];
    return {};
}

} // namespace mavrel
