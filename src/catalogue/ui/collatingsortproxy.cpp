#include "catalogue/ui/collatingsortproxy.h"

#include "catalogue/ui/channellistmodel.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <string_view>
#include <unordered_map>

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
    forgetRanks();
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
    forgetRanks();
    computeFound();
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
                        const bool found = !m_findText.isEmpty() && bottomRight.column() > 0;
                        if (found || (m_sortColumn >= topLeft.column() &&
                                      m_sortColumn <= bottomRight.column())) {
                            forgetRanks();
                            computeFound();                  // the find reads the On Now column too
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
    forgetRanks();
    computeFound();
    computeOrder();
    m_resetting = false;
    endResetModel();
}

namespace {

struct StringViewHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

bool isPrintableAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (c < 0x20 || c >= 0x7f)
            return false;
    }
    return true;
}

} // namespace

std::vector<int> CollatingSortProxy::rankTexts(std::size_t count, const AsciiOf &asciiOf,
                                               const TextOf &textOf) const
{
    std::vector<int> result(count);
    if (count == 0)
        return result;
    std::vector<quint32> order(count);
    std::iota(order.begin(), order.end(), 0u);
    const auto assignRanks = [&](const auto &compare) {
        std::sort(order.begin(), order.end(),
                  [&](quint32 a, quint32 b) { return compare(a, b) < 0; });
        int current = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i > 0 && compare(order[i - 1], order[i]) != 0)
                ++current;
            result[order[i]] = current;
        }
    };

    if (m_asciiWeight.empty()) {
        std::vector<QCollatorSortKey> keys;
        keys.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            keys.push_back(m_collator.sortKey(textOf(i)));
        assignRanks([&](quint32 a, quint32 b) { return keys[a].compare(keys[b]); });
        return result;
    }

    // Printable ASCII texts become one weight byte per character, all in one buffer, with their
    // first sixteen weights packed into two words that settle most comparisons; other texts go
    // to the collator.
    struct Key
    {
        quint64 high = 0;
        quint64 low = 0;
        qsizetype start = 0;
        qsizetype length = -1; // -1: not ASCII, compared by the collator
    };
    std::vector<Key> keys(count);
    std::vector<QString> others; // texts of the keys with length -1, by start
    QByteArray weights;
    for (std::size_t i = 0; i < count; ++i) {
        Key &key = keys[i];
        const QByteArrayView ascii = asciiOf(i);
        if (ascii.data() == nullptr || !isPrintableAscii(ascii)) {
            key.start = qsizetype(others.size());
            others.push_back(textOf(i));
            continue;
        }
        key.start = weights.size();
        key.length = ascii.size();
        for (qsizetype k = 0; k < ascii.size(); ++k) {
            const quint8 w = m_asciiWeight[std::size_t(ascii[k])];
            weights.append(char(w));
            if (k < 8)
                key.high |= quint64(w) << (8 * (7 - k));
            else if (k < 16)
                key.low |= quint64(w) << (8 * (15 - k));
        }
    }
    const char *base = weights.constData();
    const auto text = [&](quint32 item) {
        const Key &key = keys[item];
        return key.length < 0 ? others[std::size_t(key.start)] : textOf(item);
    };
    assignRanks([&](quint32 a, quint32 b) {
        const Key &ka = keys[a];
        const Key &kb = keys[b];
        if (ka.length >= 0 && kb.length >= 0) {
            if (ka.high != kb.high)
                return ka.high < kb.high ? -1 : 1;
            if (ka.low != kb.low)
                return ka.low < kb.low ? -1 : 1;
            if (ka.length <= 16 || kb.length <= 16)
                return ka.length == kb.length ? 0 : (ka.length < kb.length ? -1 : 1);
            return QtPrivate::compareMemory(QByteArrayView(base + ka.start + 16, ka.length - 16),
                                            QByteArrayView(base + kb.start + 16, kb.length - 16));
        }
        return m_collator.compare(text(a), text(b));
    });
    return result;
}

std::vector<int> CollatingSortProxy::ranks(int column) const
{
    const QAbstractItemModel *source = sourceModel();
    const std::size_t rows = std::size_t(source->rowCount());
    const auto *channels = qobject_cast<const ChannelListModel *>(source);
    const auto none = [](std::size_t) { return QByteArrayView(); };
    if (!channels || column >= ChannelListModel::UrlColumn) {
        return rankTexts(rows, none, [&](std::size_t r) {
            return source->index(int(r), column).data().toString();
        });
    }

    // The channel list is the big one: its fields are read where they lie. A name shows as its
    // bytes when they are ASCII.
    const ChannelRows &table = channels->rows();
    const ChannelRows::Text which = ChannelListModel::textOf(column);
    if (which == ChannelRows::Text::Name) {
        return rankTexts(
            rows,
            [&](std::size_t r) {
                const QByteArrayView name = table.bytes(r, ChannelRows::Name);
                return isAsciiBytes(name) ? name : QByteArrayView();
            },
            [&](std::size_t r) { return table.text(r, which); });
    }

    // The other columns hold few distinct values: each is decoded and ranked once.
    const ChannelRows::Field field = which == ChannelRows::Text::Kind     ? ChannelRows::Kind
                                     : which == ChannelRows::Text::Lang   ? ChannelRows::Lang
                                     : which == ChannelRows::Text::Rating ? ChannelRows::Rating
                                                                          : ChannelRows::Favorites;
    std::unordered_map<std::string_view, int, StringViewHash, std::equal_to<>> distinct;
    std::vector<std::size_t> firstRow;
    std::vector<int> rowValue(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const QByteArrayView bytes = table.bytes(r, field);
        const auto [it, added] = distinct.try_emplace(
            std::string_view(bytes.data(), std::size_t(bytes.size())), int(firstRow.size()));
        if (added)
            firstRow.push_back(r);
        rowValue[r] = it->second;
    }
    std::vector<QString> texts;
    std::vector<QByteArray> latin1;
    texts.reserve(firstRow.size());
    latin1.reserve(firstRow.size());
    for (const std::size_t r : firstRow) {
        texts.push_back(table.text(r, which));
        latin1.push_back(texts.back().toLatin1());
    }
    const std::vector<int> valueRank = rankTexts(
        firstRow.size(),
        [&](std::size_t v) {
            // Only a text of Latin-1 characters survives the round trip.
            return QString::fromLatin1(latin1[v]) == texts[v] ? QByteArrayView(latin1[v])
                                                              : QByteArrayView();
        },
        [&](std::size_t v) { return texts[v]; });
    for (int &value : rowValue)
        value = valueRank[std::size_t(value)];
    return rowValue;
}

void CollatingSortProxy::computeOrder()
{
    const QAbstractItemModel *source = sourceModel();
    const int rows = source ? source->rowCount() : 0;
    // A short list after a long one gives the room back.
    if (m_order.capacity() > 2 * std::size_t(rows) + 4096) {
        m_order = {};
        m_position = {};
    }
    m_order.resize(std::size_t(rows));
    std::iota(m_order.begin(), m_order.end(), 0);
    if (source && m_sortColumn >= 0 && m_sortColumn < source->columnCount() && rows > 1) {
        if (m_rankColumn != m_sortColumn) {
            m_ranks = ranks(m_sortColumn);
            m_rankColumn = m_sortColumn;
        }
        // Ranks are dense, so a counting sort orders the rows, equal ones in loading order.
        const int top = *std::max_element(m_ranks.begin(), m_ranks.end());
        std::vector<int> start(std::size_t(top) + 2, 0);
        const bool ascending = m_sortOrder == Qt::AscendingOrder;
        const auto slot = [&](int rank) { return std::size_t(ascending ? rank : top - rank); };
        for (const int rank : m_ranks)
            ++start[slot(rank) + 1];
        std::partial_sum(start.begin(), start.end(), start.begin());
        for (int r = 0; r < rows; ++r)
            m_order[std::size_t(start[slot(m_ranks[std::size_t(r)])]++)] = r;
    }
    m_position.assign(m_order.size(), -1);
    if (!m_found.empty()) {
        std::erase_if(m_order, [&](int r) { return !m_found[std::size_t(r)]; });
    }
    for (std::size_t p = 0; p < m_order.size(); ++p)
        m_position[std::size_t(m_order[p])] = int(p);
}

void CollatingSortProxy::computeFound()
{
    const QAbstractItemModel *source = sourceModel();
    if (m_findText.isEmpty() || !source) {
        m_found = {};
        return;
    }
    if (!m_foldedBuilt) {
        const std::size_t rows = std::size_t(source->rowCount());
        const auto *channels = qobject_cast<const ChannelListModel *>(source);
        if (channels) {
            const ChannelRows &table = channels->rows();
            m_foldedNames.build(
                rows,
                [&](std::size_t r) {
                    const QByteArrayView name = table.bytes(r, ChannelRows::Name);
                    return isAsciiBytes(name) ? name : QByteArrayView();
                },
                [&](std::size_t r) { return table.text(r, ChannelRows::Text::Name); });
        } else {
            m_foldedNames.build(rows, {}, [&](std::size_t r) {
                return source->index(int(r), 0).data().toString();
            });
        }
        m_foldedBuilt = true;
    }
    m_found = m_foldedNames.matching(m_findText);
    // A channel is also found by what is on now.
    const auto *channels = qobject_cast<const ChannelListModel *>(source);
    if (channels && channels->hasOnNowColumn()) {
        const QString needle = foldForFind(m_findText);
        for (std::size_t r = 0; r < m_found.size(); ++r) {
            if (!m_found[r])
                m_found[r] = foldForFind(channels->onNowText(int(r))).contains(needle);
        }
    }
}

void CollatingSortProxy::setFindText(const QString &text)
{
    if (text == m_findText)
        return;
    beginResetModel();
    m_findText = text;
    computeFound();
    computeOrder();
    endResetModel();
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
    if (!sourceIndex.isValid() || sourceIndex.row() >= int(m_position.size()) ||
        m_position[std::size_t(sourceIndex.row())] < 0)
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
