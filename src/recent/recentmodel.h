#pragma once

#include "recent/recentlist.h"

#include "platform/headedtablemodel.h"

#include <array>

namespace mavrel {

// The recent list's rows, newest first: "Name", "From" (where it was played, with the channel's
// kind) and "Played". A name's tooltip is its address.
class RecentModel : public HeadedTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        NameColumn,
        FromColumn,
        PlayedColumn,
        ColumnCount
    };

    // `path`: the list's file, read at once.
    explicit RecentModel(const QString &path, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const RecentItem &item(int row) const { return m_list.items().at(row); }
    Result<void> add(const RecentItem &item);
    Result<void> clear();
    // What "From" calls the channel list, the favourites and files, in the user's language.
    void setSourceNames(const std::array<QString, 3> &names);

private:
    RecentList m_list;
    std::array<QString, 3> m_sourceNames; // by RecentSource
};

} // namespace mavrel
