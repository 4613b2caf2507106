#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace mavrel {

// A table whose column captions are plain texts that localisation replaces through
// setHeaderData, one per column.
class HeadedTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit HeadedTableModel(QStringList headers, QObject *parent = nullptr)
        : QAbstractTableModel(parent), m_headers(std::move(headers))
    {}

    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_headers.size());
    }
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;

private:
    QStringList m_headers;
};

} // namespace mavrel
