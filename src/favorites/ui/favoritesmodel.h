#pragma once

#include "favorites/favorites.h"
#include "platform/headedtablemodel.h"

#include <QList>

namespace mavrel {

// The rows of the favourites list: "Channel", "Category", "Type"; the address is kept with the
// row but not shown.
class FavoritesModel : public HeadedTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        ChannelColumn,
        CategoryColumn,
        TypeColumn,
        ColumnCount
    };

    explicit FavoritesModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const Favorite &favorite(int row) const { return m_rows[row]; }
    const QList<Favorite> &favorites() const { return m_rows; }
    void append(const Favorite &favorite);
    void append(const QList<Favorite> &favorites); // one insertion for them all
    void setFavorites(QList<Favorite> favorites);
    void remove(int row);

private:
    QList<Favorite> m_rows;
};

} // namespace mavrel
