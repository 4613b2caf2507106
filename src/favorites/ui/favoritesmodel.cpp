#include "favorites/ui/favoritesmodel.h"

#include "platform/bytetext.h"

using namespace Qt::StringLiterals;

namespace mavrel {

FavoritesModel::FavoritesModel(QObject *parent)
    : HeadedTableModel({u"Channel"_s, u"Category"_s, u"Type"_s}, parent)
{}

int FavoritesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
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
