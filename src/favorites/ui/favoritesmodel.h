#pragma once

#include "favorites/favorites.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace mavrel {

// The rows of the favourites list: "Channel", "Category", "Type"; the address is kept with the
// row but not shown.
class FavoritesModel : public QAbstractTableModel
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
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The column captions follow the interface language.
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;

    const Favorite &favorite(int row) const { return m_rows[row]; }
    const QList<Favorite> &favorites() const { return m_rows; }
    void append(const Favorite &favorite);
    void append(const QList<Favorite> &favorites); // one insertion for them all
    void setFavorites(QList<Favorite> favorites);
    void remove(int row);

private:
    QList<Favorite> m_rows;
    QStringList m_headers;
};

} // namespace mavrel
