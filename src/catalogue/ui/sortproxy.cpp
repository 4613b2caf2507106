#include "catalogue/ui/sortproxy.h"

#include "catalogue/ui/channellistmodel.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <optional>

namespace mavrel {

namespace {

// The user's collation; the bare "C" locale of a minimal environment would order by code point,
// which puts every accented letter after "z", so English rules stand in for it.
QCollator userCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

} // namespace

CollatingSortProxy::CollatingSortProxy(QObject *parent)
    : QAbstractProxyModel(parent), m_collator(userCollator())
{
    prepareAsciiWeights();
}

void CollatingSortProxy::setCollator(const QCollator &collator)
{
    m_collator = collator;
    prepareAsciiWeights();
    sort(m_sortColumn, m_sortOrder);
}

void CollatingSortProxy::prepareAsciiWeights()
{
    m_asciiWeight.clear();
    // Other languages may tailor ASCII letters (contractions such as Czech "ch").
    if (m_collator.locale().language() != QLocale::English ||
        m_collator.caseSensitivity() != Qt::CaseInsensitive || m_collator.numericMode() ||
        m_collator.ignorePunctuation())
        return;
    std::vector<char16_t> chars;
    for (char16_t c = 0x20; c < 0x7f; ++c)
        chars.push_back(c);
    const auto text = [](char16_t c) { return QString(QChar(c)); };
    std::stable_sort(chars.begin(), chars.end(), [&](char16_t a, char16_t b) {
        return m_collator.compare(text(a), text(b)) < 0;
    });
    m_asciiWeight.assign(0x80, 0);
    quint8 weight = 1;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (i > 0 && m_collator.compare(text(chars[i - 1]), text(chars[i])) != 0)
            ++weight;
        m_asciiWeight[chars[i]] = weight;
    }
}

std::optional<QByteArray> CollatingSortProxy::asciiKey(const QString &text) const
{
    if (m_asciiWeight.empty())
        return std::nullopt;
    QByteArray key(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 || c >= 0x7f)
            return std::nullopt;
        key[i] = char(m_asciiWeight[c]);
    }
    return key;
}

int CollatingSortProxy::compareTexts(const QString &a, const QString &b) const
{
    const std::optional<QByteArray> ka = asciiKey(a);
    const std::optional<QByteArray> kb = ka ? asciiKey(b) : std::nullopt;
    if (ka && kb)
        return QtPrivate::compareMemory(*ka, *kb);
    return m_collator.compare(a, b);
}

void CollatingSortProxy::setSourceModel(QAbstractItemModel *model)
{
    beginResetModel();
    for (const auto &c : std::as_const(m_sourceConnections))
        disconnect(c);
    m_sourceConnections.clear();
    QAbstractProxyModel::setSourceModel(model);
    if (model) {
        // Any change of rows or columns re-derives the order; the lists this serves are rebuilt
        // as a whole anyway.
        const auto begin = [this] { beginSourceChange(); };
        const auto end = [this] { endSourceChange(); };
        m_sourceConnections = {
            connect(model, &QAbstractItemModel::modelAboutToBeReset, this, begin),
            connect(model, &QAbstractItemModel::modelReset, this, end),
            connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, begin),
            connect(model, &QAbstractItemModel::rowsInserted, this, end),
            connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin),
            connect(model, &QAbstractItemModel::rowsRemoved, this, end),
            connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, begin),
            connect(model, &QAbstractItemModel::rowsMoved, this, end),
            connect(model, &QAbstractItemModel::columnsAboutToBeInserted, this, begin),
            connect(model, &QAbstractItemModel::columnsInserted, this, end),
            connect(model, &QAbstractItemModel::columnsAboutToBeRemoved, this, begin),
            connect(model, &QAbstractItemModel::columnsRemoved, this, end),
            connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, begin),
            connect(model, &QAbstractItemModel::layoutChanged, this, end),
            connect(model, &QAbstractItemModel::dataChanged, this,
                    [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                        if (m_sortColumn >= topLeft.column() &&
                            m_sortColumn <= bottomRight.column()) {
                            sort(m_sortColumn, m_sortOrder); // a sorted text changed
                        } else if (!m_order.empty()) {
                            emit dataChanged(index(0, topLeft.column()),
                                             index(rowCount() - 1, bottomRight.column()));
                        }
                    }),
            connect(model, &QAbstractItemModel::headerDataChanged, this,
                    &QAbstractItemModel::headerDataChanged),
        };
    }
    computeOrder();
    endResetModel();
}

void CollatingSortProxy::beginSourceChange()
{
    if (m_resetting)
        return;
    m_resetting = true;
    beginResetModel();
}

void CollatingSortProxy::endSourceChange()
{
    if (!m_resetting)
        return;
    computeOrder();
    m_resetting = false;
    endResetModel();
}

std::vector<int> CollatingSortProxy::ranks(int column) const
{
    const QAbstractItemModel *source = sourceModel();
    const int rows = source->rowCount();
    const auto *channels = qobject_cast<const ChannelListModel *>(source);
    // The channel list is the big one: its stored texts are read in place, without QVariant.
    const bool inPlace = channels && column != ChannelListModel::UrlColumn;
    std::vector<QString> fetched; // other texts, made once
    if (!inPlace) {
        fetched.reserve(std::size_t(rows));
        for (int r = 0; r < rows; ++r) {
            fetched.push_back(channels ? channels->rows()[std::size_t(r)].urlText()
                                       : source->index(r, column).data().toString());
        }
    }
    const auto textOf = [&](int row) -> const QString & {
        return inPlace ? ChannelListModel::storedText(channels->rows()[std::size_t(row)], column)
                       : fetched[std::size_t(row)];
    };

    std::vector<int> order(static_cast<std::size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::vector<int> result(static_cast<std::size_t>(rows));
    const auto assignRanks = [&](const auto &compare) {
        std::sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) < 0; });
        int current = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i > 0 && compare(order[i - 1], order[i]) != 0)
                ++current;
            result[std::size_t(order[i])] = current;
        }
    };

    if (!m_asciiWeight.empty()) {
        // One weight byte per character, all rows in one buffer; rows with other text use the
        // collator.
        QByteArray weights;
        std::vector<std::pair<qsizetype, qsizetype>> spans(static_cast<std::size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            const QString &text = textOf(r);
            const qsizetype start = weights.size();
            bool ascii = true;
            for (const QChar ch : text) {
                const char16_t c = ch.unicode();
                if (c < 0x20 || c >= 0x7f) {
                    ascii = false;
                    break;
                }
                weights.append(char(m_asciiWeight[c]));
            }
            if (!ascii)
                weights.truncate(start);
            spans[std::size_t(r)] = {start, ascii ? text.size() : -1};
        }
        const char *base = weights.constData();
        assignRanks([&](int a, int b) {
            const auto [sa, la] = spans[std::size_t(a)];
            const auto [sb, lb] = spans[std::size_t(b)];
            if (la >= 0 && lb >= 0)
                return QtPrivate::compareMemory(QByteArrayView(base + sa, la),
                                                QByteArrayView(base + sb, lb));
            return m_collator.compare(textOf(a), textOf(b));
        });
        return result;
    }

    // Other collations: one key per distinct text (columns such as the rating hold few).
    QHash<QString, int> distinctIndex;
    std::vector<int> rowDistinct(static_cast<std::size_t>(rows));
    std::vector<QCollatorSortKey> keys;
    for (int r = 0; r < rows; ++r) {
        const QString &text = textOf(r);
        auto it = distinctIndex.constFind(text);
        if (it == distinctIndex.constEnd()) {
            it = distinctIndex.insert(text, int(keys.size()));
            keys.push_back(m_collator.sortKey(text));
        }
        rowDistinct[std::size_t(r)] = *it;
    }
    assignRanks([&](int a, int b) {
        return keys[std::size_t(rowDistinct[std::size_t(a)])].compare(
            keys[std::size_t(rowDistinct[std::size_t(b)])]);
    });
    return result;
}

void CollatingSortProxy::computeOrder()
{
    const QAbstractItemModel *source = sourceModel();
    const int rows = source ? source->rowCount() : 0;
    m_order.resize(std::size_t(rows));
    std::iota(m_order.begin(), m_order.end(), 0);
    if (source && m_sortColumn >= 0 && m_sortColumn < source->columnCount() && rows > 1) {
        const std::vector<int> rank = ranks(m_sortColumn);
        if (m_sortOrder == Qt::AscendingOrder)
            std::stable_sort(m_order.begin(), m_order.end(), [&rank](int a, int b) {
                return rank[std::size_t(a)] < rank[std::size_t(b)];
            });
        else
            std::stable_sort(m_order.begin(), m_order.end(), [&rank](int a, int b) {
                return rank[std::size_t(a)] > rank[std::size_t(b)];
            });
    }
    m_position.resize(m_order.size());
    for (std::size_t p = 0; p < m_order.size(); ++p)
        m_position[std::size_t(m_order[p])] = int(p);
}

void CollatingSortProxy::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Selections and current rows follow their source rows.
    const QModelIndexList before = persistentIndexList();
    QList<QPersistentModelIndex> sources;
    sources.reserve(before.size());
    for (const QModelIndex &i : before)
        sources << mapToSource(i);
    m_sortColumn = column;
    m_sortOrder = order;
    computeOrder();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QPersistentModelIndex &s : std::as_const(sources))
        after << mapFromSource(s);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QModelIndex CollatingSortProxy::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex CollatingSortProxy::parent(const QModelIndex &) const
{
    return {};
}

int CollatingSortProxy::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int CollatingSortProxy::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

bool CollatingSortProxy::hasChildren(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_order.empty();
}

QModelIndex CollatingSortProxy::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel() || proxyIndex.row() >= int(m_order.size()))
        return {};
    return sourceModel()->index(m_order[std::size_t(proxyIndex.row())], proxyIndex.column());
}

QModelIndex CollatingSortProxy::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.row() >= int(m_position.size()))
        return {};
    return index(m_position[std::size_t(sourceIndex.row())], sourceIndex.column());
}

QVariant CollatingSortProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!sourceModel())
        return {};
    // Columns are not rearranged; rows are, and their numbers are the proxy's own.
    if (orientation == Qt::Horizontal)
        return sourceModel()->headerData(section, orientation, role);
    return QAbstractProxyModel::headerData(section, orientation, role);
}

} // namespace mavrel
