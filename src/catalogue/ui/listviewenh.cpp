#include "catalogue/ui/listviewenh.h"

#include "catalogue/ui/collatingsortproxy.h"
#include "platform/dialogs.h"

#include <QEvent>
#include <QHeaderView>
#include <QSignalBlocker>

#include <algorithm>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace mavrel {

ListViewEnh::ListViewEnh(QWidget *parent) : QTreeView(parent), m_proxy(new CollatingSortProxy(this))
{
    setModel(m_proxy);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(
        false); // the sort state is ours, changed only through EnhListView_SortColumns
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int logical) { emit columnClicked(logical + 1); });
    // A header click may move the indicator by itself; it always shows our state.
    connect(header(), &QHeaderView::sortIndicatorChanged, this,
            [this](int section, Qt::SortOrder order) {
                if (m_sortingOn && (section != m_sortKey || order != m_sortOrder)) {
                    const QSignalBlocker block(header());
                    header()->setSortIndicator(m_sortKey, m_sortOrder);
                }
            });
}

void ListViewEnh::setSourceModel(QAbstractItemModel *model)
{
    m_proxy->setSourceModel(model);
    if (m_sortingOn)
        m_proxy->sort(m_sortKey, m_sortOrder);
}

QAbstractItemModel *ListViewEnh::sourceModel() const
{
    return m_proxy->sourceModel();
}

void ListViewEnh::setSortState(bool on, int key, Qt::SortOrder order)
{
    m_sortingOn = on;
    m_sortKey = key;
    m_sortOrder = order;
    {
        const QSignalBlocker block(header());
        header()->setSortIndicatorShown(on);
        header()->setSortIndicator(on ? key : -1, order);
    }
    m_proxy->sort(on ? key : -1, order);
}

int ListViewEnh::rowCountShown() const
{
    return m_proxy->rowCount();
}

int ListViewEnh::columnCountShown() const
{
    return m_proxy->columnCount();
}

QString ListViewEnh::headerText(int column) const
{
    if (column < 0 || column >= m_proxy->columnCount())
        return {};
    return m_proxy->headerData(column, Qt::Horizontal).toString();
}

int ListViewEnh::sourceRow(int viewRow) const
{
    return m_proxy->mapToSource(m_proxy->index(viewRow, 0)).row();
}

namespace {

// The list control's own number for a column index it does not have.
constexpr int kIndexOutOfBounds = 35600;

bool sortByIndex(ListViewEnh &list, int column, bool showErrors)
{
    if (list.rowCountShown() == 0)
        return true;
    if (column < 1 || column > list.columnCountShown()) {
        if (showErrors)
            messageBox(u"Error"_s + QString::number(kIndexOutOfBounds) + u'\t' +
                           u"Index out of bounds"_s,
                       DialogButtons::Ok, u"Error in Function : EnhListView_SortColumns"_s,
                       DialogIcon::Information);
        return false;
    }
    const Qt::SortOrder flipped =
        list.sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    list.setSortState(true, column - 1, flipped);
    return true;
}

} // namespace

bool EnhListView_SortColumns(ListViewEnh &list, int column, bool showErrors)
{
    return sortByIndex(list, column, showErrors);
}

bool EnhListView_SortColumns(ListViewEnh &list, const QString &columnKey, bool showErrors)
{
    int index = 0;
    for (int c = 0; c < list.columnCountShown(); ++c) {
        if (list.headerText(c) == columnKey) {
            index = c + 1;
            break;
        }
    }
    return sortByIndex(list, index, showErrors);
}

namespace {

// What each shown column but the names wants: its header, and its rows on screen.
QList<std::pair<int, int>> wantedWidths(const QTreeView *list, int stretchedColumn)
{
    const QHeaderView *header = list->header();
    const auto *view = static_cast<const QAbstractItemView *>(list);
    QList<std::pair<int, int>> wanted; // column, width
    for (int c = 0; c < header->count(); ++c) {
        if (c != stretchedColumn && !header->isSectionHidden(c))
            wanted.append({c, std::max(header->sectionSizeHint(c), view->sizeHintForColumn(c))});
    }
    return wanted;
}

// Runs a function each time a widget changes size.
class ResizeWatch : public QObject
{
public:
    ResizeWatch(QWidget *widget, std::function<void()> onResize)
        : QObject(widget), m_onResize(std::move(onResize))
    {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            m_onResize();
        return false;
    }

private:
    std::function<void()> m_onResize;
};

} // namespace

int wantedColumnsWidth(const QTreeView *list, int stretchedColumn)
{
    int total = 0;
    for (const auto &[column, width] : wantedWidths(list, stretchedColumn))
        total += width;
    return total;
}

void fitColumns(QTreeView *list, int stretchedColumn)
{
    QHeaderView *header = list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(stretchedColumn, QHeaderView::Stretch);
    // Measured from the header and the rows on screen once per new list or header language:
    // fitting to contents on every change would measure thousands of rows per keystroke. A
    // resize only shares out the widths measured last.
    header->setResizeContentsPrecision(0);
    auto wanted = std::make_shared<QList<std::pair<int, int>>>();
    const auto share = [list, wanted] {
        int total = 0;
        for (const auto &[column, width] : std::as_const(*wanted))
            total += width;
        // The names keep at least a quarter of the list; beyond that the other columns give up
        // room alike (their whole text stays in the tooltip).
        QHeaderView *header = list->header();
        const int room = list->viewport()->width() * 3 / 4;
        for (const auto &[column, width] : std::as_const(*wanted)) {
            if (column < header->count())
                header->resizeSection(
                    column, total > room && room > 0
                                ? std::max(header->minimumSectionSize(), width * room / total)
                                : width);
        }
    };
    const auto fit = [list, stretchedColumn, wanted, share] {
        *wanted = wantedWidths(list, stretchedColumn);
        share();
    };
    // The list's own width changes with the divider and the window.
    new ResizeWatch(list->viewport(), share);
    QAbstractItemModel *model = list->model();
    QObject::connect(model, &QAbstractItemModel::modelReset, list, fit, Qt::QueuedConnection);
    QObject::connect(model, &QAbstractItemModel::headerDataChanged, list, fit,
                     Qt::QueuedConnection);
    QObject::connect(model, &QAbstractItemModel::columnsInserted, list, fit, Qt::QueuedConnection);
    QObject::connect(header, &QHeaderView::sectionCountChanged, list, fit, Qt::QueuedConnection);
    fit();
}

} // namespace mavrel
