#include "favorites/ui/favoritesmodel.h"

#include "platform/bytetext.h"

using namespace Qt::StringLiterals;

namespace mavrel {

FavoritesModel::FavoritesModel(QObject *parent)
    : QAbstractTableModel(parent), m_headers{u"Channel"_s, u"Category"_s, u"Type"_s}
{}

int FavoritesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FavoritesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FavoritesModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ToolTipRole)
        return plainToolTip(data(index, Qt::DisplayRole).toString());
    if (!index.isValid() || index.row() >= m_rows.size() || role != Qt::DisplayRole)
        return {};
    const Favorite &f = m_rows[index.row()];
    switch (index.column()) {
    case ChannelColumn:
        return displayText(f.name);
    case CategoryColumn:
        return displayText(f.kind);
    case TypeColumn:
        return displayText(f.lang);
    default:
        return {};
    }
}

QVariant FavoritesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return {};
    return m_headers[section];
}

bool FavoritesModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                                   int role)
{
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole) ||
        section < 0 || section >= m_headers.size())
        return false;
    m_headers[section] = value.toString();
    emit headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

void FavoritesModel::append(const Favorite &favorite)
{
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(favorite);
    endInsertRows();
}

void FavoritesModel::append(const QList<Favorite> &favorites)
{
    if (favorites.isEmpty())
        return;
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row + int(favorites.size()) - 1);
    m_rows.append(favorites);
    endInsertRows();
}

void FavoritesModel::setFavorites(QList<Favorite> favorites)
{
    beginResetModel();
    m_rows = std::move(favorites);
    endResetModel();
}

void FavoritesModel::remove(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

} // namespace mavrel
