#include "videosite/ui/videolistmodel.h"

#include "platform/bytetext.h"

using namespace Qt::StringLiterals;

namespace mavrel {

VideoListModel::VideoListModel(QObject *parent) : QAbstractListModel(parent) {}

int VideoListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_listing.videos().size());
}

QVariant VideoListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_listing.videos().size())
        return {};
    const ScrapedVideo &video = m_listing.videos()[index.row()];
    if (role == Qt::DisplayRole)
        return displayText(video.title);
    if (role == Qt::ToolTipRole)
        return plainToolTip(displayText(video.title));
    if (role == IdRole)
        return video.id;
    return {};
}

QVariant VideoListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_header;
    return {};
}

bool VideoListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                                   int role)
{
    if (section != 0 || orientation != Qt::Horizontal ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    m_header = value.toString();
    emit headerDataChanged(Qt::Horizontal, 0, 0);
    return true;
}

bool VideoListModel::add(const ScrapedVideo &video)
{
    if (video.id.isEmpty() || m_listing.contains(video.id))
        return false;
    const int row = int(m_listing.videos().size());
    beginInsertRows({}, row, row);
    m_listing.add(video);
    endInsertRows();
    return true;
}

void VideoListModel::clear()
{
    beginResetModel();
    m_listing.clear();
    endResetModel();
}

} // namespace mavrel
