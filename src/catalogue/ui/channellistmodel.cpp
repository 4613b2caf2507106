#include "catalogue/ui/channellistmodel.h"

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
    beginInsertColumns({}, UrlColumn, UrlColumn);
    m_headers.append(u"URL"_s);
    endInsertColumns();
}

void ChannelListModel::setHeaderText(int column, const QString &text)
{
    if (column < 0 || column >= m_headers.size())
        return;
    m_headers[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

namespace {

// Freeing 100,000 rows costs the allocator tens of milliseconds of merging free blocks; the
// rows are nobody else's once they leave the list, so a pool thread frees them while the window
// goes on.
void releaseLater(std::vector<ChannelRow> &&rows)
{
    if (rows.size() < 1000)
        return;
    QThreadPool::globalInstance()->start([doomed = std::move(rows)]() mutable { doomed = {}; });
}

} // namespace

void ChannelListModel::setRows(std::vector<ChannelRow> &&rows)
{
    // The load reserves for the whole file; the list keeps only what it shows.
    if (rows.capacity() - rows.size() > rows.size() / 8 + 64)
        rows.shrink_to_fit();
    beginResetModel();
    std::vector<ChannelRow> previous = std::exchange(m_rows, std::move(rows));
    endResetModel();
    releaseLater(std::move(previous));
    releaseLater(std::move(m_removed));
    m_removed = {};
}

void ChannelListModel::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    // Kept until the next rows arrive: freeing them while the catalogue is read would make the
    // two compete for the allocator.
    if (m_removed.empty())
        m_removed = std::exchange(m_rows, {});
    else
        releaseLater(std::exchange(m_rows, {}));
    endResetModel();
}

int ChannelListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ChannelListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

const QString &ChannelListModel::storedText(const ChannelRow &row, int column)
{
    Q_ASSERT(column != UrlColumn);
    switch (column) {
    case ChannelColumn:
        return row.name;
    case CategoryColumn:
        return row.kind;
    case TypeColumn:
        return row.lang;
    case RatingColumn:
        return row.rating;
    case FavoritesColumn:
        return row.favorites;
    default:
        return row.name;
    }
}

QString ChannelListModel::cellText(const ChannelRow &row, int column)
{
    return column == UrlColumn ? row.urlText() : storedText(row, column);
}

QVariant ChannelListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ChannelRow &r = m_rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cellText(r, index.column());
    case kAddressRole:
        return r.urlText();
    default:
        return {};
    }
}

QVariant ChannelListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_headers.size())
        return m_headers[section];
    return {};
}

} // namespace mavrel
