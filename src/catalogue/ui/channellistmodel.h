#pragma once

#include "catalogue/catalogueview.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

namespace mavrel {

// The rows of the channel list, as the catalogue load produced them. The row's hidden value,
// the plain stream address, is the UserRole of every column. Texts are decoded when the view
// asks for them; the cells last asked for are kept, since a paint asks for each several times.
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
        UrlColumn,
        OnNowColumn // after the URL column, which is then there but hidden outside staff mode
    };
    static constexpr int kAddressRole = Qt::UserRole;
    // The row's logo address (QByteArray, empty for none), any column.
    static constexpr int kLogoRole = Qt::UserRole + 8;

    explicit ChannelListModel(QObject *parent = nullptr);

    // Staff mode shows the plain address as a sixth column.
    void addUrlColumn();
    bool hasUrlColumn() const { return m_headers.size() > UrlColumn; }
    void setHeaderText(int column, const QString &text);

    // What is on now for a guide id (the row's spare1); without a lookup there is no On Now
    // column.
    using OnNowLookup = std::function<QString(const QByteArray &guideId)>;
    void setOnNow(OnNowLookup lookup, const QString &header);
    bool hasOnNowColumn() const { return bool(m_onNow); }
    // What is on changed: the column is read again.
    void onNowChanged();
    QString onNowText(int row) const;

    void setRows(ChannelRows &&rows);
    void setRows(std::vector<ChannelRow> &&rows);
    void clear();
    // A row decoded: the record (url plain) and the texts shown.
    ChannelRow row(int index) const { return m_rows.decoded(std::size_t(index)); }
    ChannelRecord record(int index) const { return m_rows.record(std::size_t(index)); }
    const ChannelRows &rows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static ChannelRows::Text textOf(int column);
    QString cellText(int row, int column) const;

private:
    struct CachedCell
    {
        int row = -1;
        int column = -1;
        QString text;
    };

    void forgetCells();

    ChannelRows m_rows;
    ChannelRows m_removed; // cleared rows, released with the next ones
    QStringList m_headers;
    OnNowLookup m_onNow;
    QString m_onNowHeader;
    mutable std::array<CachedCell, 512> m_cells;
};

} // namespace mavrel
