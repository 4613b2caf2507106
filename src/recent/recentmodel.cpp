#include "recent/recentmodel.h"

#include "platform/bytetext.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QString playedText(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    const QLocale locale;
    if (local.date() == QDate::currentDate())
        return locale.toString(local.time(), QLocale::ShortFormat);
    return locale.toString(local, QLocale::ShortFormat);
}

} // namespace

RecentModel::RecentModel(const QString &path, QObject *parent)
    : HeadedTableModel({u"Name"_s, u"From"_s, u"Played"_s}, parent),
      m_list(path), m_sourceNames{u"Channels"_s, u"Favorites"_s, u"Files"_s}
{
    m_list.load();
}

int RecentModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_list.items().size());
}

QVariant RecentModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const RecentItem &r = item(index.row());
    if (role == Qt::ToolTipRole) {
        return plainToolTip(index.column() == NameColumn ? displayText(r.address)
                                                         : data(index).toString());
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case NameColumn:
        return displayText(r.name);
    case FromColumn: {
        const QString &from = m_sourceNames[std::size_t(r.source)];
        return r.kind.isEmpty() ? from : from + u" \u00b7 "_s + displayText(r.kind);
    }
    case PlayedColumn:
        return playedText(r.when);
    default:
        return {};
    }
}

Result<void> RecentModel::add(const RecentItem &item)
{
    beginResetModel();
    Result<void> saved = m_list.add(item);
    endResetModel();
    return saved;
}

Result<void> RecentModel::clear()
{
    beginResetModel();
    Result<void> saved = m_list.clear();
    endResetModel();
    return saved;
}

void RecentModel::setSourceNames(const std::array<QString, 3> &names)
{
    m_sourceNames = names;
    if (rowCount() > 0)
        emit dataChanged(index(0, FromColumn), index(rowCount() - 1, FromColumn));
}

} // namespace mavrel
