#pragma once

#include <QTreeView>

class QAbstractItemModel;

namespace mavrel {

class CollatingSortProxy;

// A report-mode list that keeps its own sort state: once sorting is on, the rows stay ordered
// by the sort column, also when the model is reloaded.
class ListViewEnh : public QTreeView
{
    Q_OBJECT
public:
    explicit ListViewEnh(QWidget *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model);
    QAbstractItemModel *sourceModel() const;
    CollatingSortProxy *proxy() const { return m_proxy; }

    bool sortingOn() const { return m_sortingOn; }
    int sortKey() const { return m_sortKey; } // zero-based column
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void setSortState(bool on, int key, Qt::SortOrder order);

    int rowCountShown() const;
    int columnCountShown() const;
    // Header text of a zero-based column; null when there is no such column.
    QString headerText(int column) const;
    // The source row behind a row of the view.
    int sourceRow(int viewRow) const;

signals:
    // A click on a column header: the one-based index of the header.
    void columnClicked(int oneBasedIndex);

private:
    CollatingSortProxy *m_proxy;
    bool m_sortingOn = false;
    int m_sortKey = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

// Sorts the list by the column with the given one-based index (or the column whose header
// text equals the key) and flips the direction on every call; an empty list is left as it is.
// Returns false for a column that does not exist, reporting it when showErrors is set.
bool EnhListView_SortColumns(ListViewEnh &list, int column, bool showErrors);
bool EnhListView_SortColumns(ListViewEnh &list, const QString &columnKey, bool showErrors);

// The names column takes the width the others leave; they fit their header and the rows on
// screen, whenever the list is refilled or its headers change language. A text cut short shows
// whole in its tooltip. Call once the view has its model.
void fitColumns(QTreeView *list, int stretchedColumn);
// What the columns but the names want together, as fitColumns measures them.
int wantedColumnsWidth(const QTreeView *list, int stretchedColumn);

} // namespace mavrel
