#pragma once

#include "catalogue/foldednames.h"

#include <QAbstractProxyModel>
#include <QCollator>

#include <functional>
#include <optional>
#include <vector>

namespace mavrel {

// Presents the rows of a flat table model in sorted order, the way people expect a list of names
// to be ordered: by the user's locale, ignoring letter case. Equal texts keep their loading order.
// Each sort ranks the column's distinct texts once with collation keys and then orders the rows
// by rank, so 100,000 rows sort in milliseconds; the order is kept through every change of the
// source.
class CollatingSortProxy : public QAbstractProxyModel
{
    Q_OBJECT
public:
    explicit CollatingSortProxy(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;
    void setCollator(const QCollator &collator);
    // The order the collator gives two texts (negative, zero, positive).
    int compareTexts(const QString &a, const QString &b) const;

    // column -1: the source's own order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }

    // Find-as-you-type: only the rows whose first column contains the text (accents and letter
    // case ignored) are shown, still in sorted order; the empty text shows every row.
    void setFindText(const QString &text);
    const QString &findText() const { return m_findText; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void beginSourceChange();
    void endSourceChange();
    void computeOrder();
    // Dense ranks: equal texts share one, and the order of ranks is the collation's.
    std::vector<int> ranks(int column) const;
    // asciiOf gives the text's bytes when it is Latin-1 (a null view otherwise); textOf the text.
    using AsciiOf = std::function<QByteArrayView(std::size_t)>;
    using TextOf = std::function<QString(std::size_t)>;
    std::vector<int> rankTexts(std::size_t count, const AsciiOf &asciiOf,
                               const TextOf &textOf) const;
    void forgetRanks()
    {
        m_rankColumn = -1;
        m_ranks = {};
        m_foldedNames.clear();
        m_foldedBuilt = false;
    }
    void computeFound();

    void prepareAsciiWeights();
    // One weight byte per character for printable ASCII text; nullopt for any other text.
    std::optional<QByteArray> asciiKey(const QString &text) const;

    QCollator m_collator;
    // Printable ASCII text compares by one weight per character, taken from the collator itself,
    // which is what an English collation does at the strength that ignores case; any other text
    // goes to the collator. Empty when the locale may tailor ASCII letters.
    std::vector<quint8> m_asciiWeight;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    // The ranks of the last sorted column, kept while the source stays as it is: sorting the
    // same rows the other way round needs no collation work.
    int m_rankColumn = -1;
    std::vector<int> m_ranks;
    std::vector<int> m_order;    // proxy row -> source row
    std::vector<int> m_position; // source row -> proxy row
    bool m_resetting = false;
    QString m_findText;
    FoldedNames m_foldedNames; // built on the first keystroke after a change of the source
    bool m_foldedBuilt = false;
    std::vector<char> m_found; // per source row; empty while no text is searched
    QList<QMetaObject::Connection> m_sourceConnections;
};

} // namespace mavrel
