#pragma once

#include "catalogue/catalogueview.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

namespace mavrel {

// The rows of the channel list, as the catalogue load produced them. The row's hidden value,
// the plain stream address, is the UserRole of every column.
class ChannelListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        ChannelColumn,
        CategoryColumn,
        TypeColumn,
        RatingColumn,
        FavoritesColumn,
        UrlColumn
    };
    static constexpr int kAddressRole = Qt::UserRole;

    explicit ChannelListModel(QObject *parent = nullptr);

    // Staff mode shows the plain address as a sixth column.
    void addUrlColumn();
    bool hasUrlColumn() const { return m_headers.size() > UrlColumn; }
    void setHeaderText(int column, const QString &text);

    void setRows(std::vector<ChannelRow> &&rows);
    void clear();
    const ChannelRow &row(int index) const { return m_rows[std::size_t(index)]; }
    const std::vector<ChannelRow> &rows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The text of a column other than UrlColumn, without a copy (sorting reads it often).
    static const QString &storedText(const ChannelRow &row, int column);
    static QString cellText(const ChannelRow &row, int column);

private:
    std::vector<ChannelRow> m_rows;
    std::vector<ChannelRow> m_removed; // cleared rows, released with the next ones
    QStringList m_headers;
};

} // namespace mavrel
