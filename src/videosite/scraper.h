#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>

namespace mavrel {

// One video found on a listing page: its id and its title, as the page's bytes.
struct ScrapedVideo
{
    QByteArray id;
    QByteArray title;
    friend bool operator==(const ScrapedVideo &, const ScrapedVideo &) = default;
};

// The videos linked on one listing page, in page order (duplicates included). Every opening tag
// starts a line, closing tags stay with the text they close; a line holding href="/watch? and a
// ">" is a video: either the link text follows the tag on its line, or (search listings only)
// the tag carries a title attribute. The title has its character references decoded (decimal,
// hex, and the names listing pages write: amp, lt, gt, quot, apos, nbsp), as UTF-8.
QList<ScrapedVideo> parseVideoPage(QByteArrayView page, bool searchListing);

// The lines the scraper reads: a line break before every "<" that does not start "</", and
// the page's own line ends (CR LF, or a lone CR; a lone LF stays inside the line).
QList<QByteArrayView> scraperLines(QByteArrayView page);

// A listing's rows: ids are unique, the first title found for an id wins.
class VideoListing
{
public:
    // False when the id is already listed (or empty: a link without an id plays nothing).
    bool add(const ScrapedVideo &video);
    bool contains(const QByteArray &id) const { return m_ids.contains(id); }
    const QList<ScrapedVideo> &videos() const { return m_videos; }
    void clear();

private:
    QList<ScrapedVideo> m_videos;
    QSet<QByteArray> m_ids;
};

} // namespace mavrel
