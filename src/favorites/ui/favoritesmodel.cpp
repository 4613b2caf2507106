#include "favorites/ui/favoritesmodel.h"

#include "platform/bytetext.h"

using namespace Qt::StringLiterals;

namespace mavrel {

FavoritesModel::FavoritesModel(QObject *parent) : QAbstractTableModel(parent) {}

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
    if (!index.isValid() || index.row() >= m_rows.size() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
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
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ChannelColumn:
        return u"Channel"_s;
    case CategoryColumn:
        return u"Category"_s;
    case TypeColumn:
        return u"Type"_s;
    default:
        return {};
    }
}

void FavoritesModel::append(const Favorite &favorite)
{
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(favorite);
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
