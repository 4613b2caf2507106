#pragma once

#include "videosite/scraper.h"

#include <QAbstractListModel>

namespace mavrel {

// The video list: one column "Channel" with the titles; each row keeps its video id.
class VideoListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit VideoListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The column caption follows the interface language.
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;

    const QList<ScrapedVideo> &videos() const { return m_listing.videos(); }
    // False when the id is listed already.
    bool add(const ScrapedVideo &video);
    void clear();

private:
    VideoListing m_listing;
    QString m_header = QStringLiteral("Channel");
};

} // namespace mavrel
