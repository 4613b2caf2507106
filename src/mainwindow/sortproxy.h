#pragma once

#include <QCollator>
#include <QSortFilterProxyModel>

#include <vector>

namespace mavrel {

// Orders rows the way people expect a list of names to be ordered: by the user's locale,
// ignoring letter case. Collation keys are computed once per column and reused by every
// comparison, so sorting 100,000 rows stays fast. Equal texts keep their loading order.
class CollatingSortProxy : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit CollatingSortProxy(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;
    void setCollator(const QCollator &collator);

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    void invalidateKeys() { m_keysValid = false; }
    void ensureKeys(int column) const;

    QCollator m_collator;
    mutable std::vector<QCollatorSortKey> m_keys;
    mutable int m_keysColumn = -1;
    mutable bool m_keysValid = false;
    QList<QMetaObject::Connection> m_sourceConnections;
};

} // namespace mavrel
