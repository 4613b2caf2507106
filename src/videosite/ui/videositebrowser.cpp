#include "videosite/ui/videositebrowser.h"

#include "online/fetch.h"
#include "online/serveraddress.h"
#include "platform/files.h"
#include "videosite/listing.h"
#include "videosite/playerpage.h"
#include "videosite/scraper.h"
#include "videosite/ui/videolistmodel.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>
#include <QWebEngineSettings>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// The choice of a listing box as the tables name it: the item's data when it carries one (a
// translated item), else its text.
QString choiceOf(const QComboBox *box)
{
    const QVariant data = box->currentData();
    return data.isValid() ? data.toString() : box->currentText();
}

} // namespace

VideoSiteBrowser::VideoSiteBrowser(Controls controls, QString pagePath, Hooks hooks,
                                   QObject *window)
    : QObject(window), m_c(controls), m_model(new VideoListModel(this)),
      m_pagePath(std::move(pagePath)), m_hooks(std::move(hooks)), m_window(window)
{
    m_c.ListView3->setModel(m_model);
}

void VideoSiteBrowser::loadVideoList()
{
    // A listing started while this one still fetches replaces it: this one stops adding rows.
    const quint64 listing = ++m_listing;
    m_model->clear();
    const QString category = choiceOf(m_c.Combo3);
    const std::optional<QByteArray> base = listingAddress(
        videoSiteAddress(), category, m_c.countryCode->toLatin1(), m_c.txtYouTube->text().toUtf8());
    if (!base)
        return;
    const bool search = category == QLatin1StringView(kSearchItem);
    QPointer<VideoSiteBrowser> self(this);
    QPointer<QLineEdit> status(m_c.txtStatus);
    for (int page = 1; page <= kListingPages; ++page) {
        const FetchResult fetched = fetchPageWithStatus(
            *base + QByteArray::number(page), statusTextThrottled([status](const QString &text) {
                if (status)
                    status->setText(text);
            }),
            FetchOptions{FetchUse::ListingPage, m_window, std::nullopt});
        if (fetched.ownerGone || !self || fetched.end == FetchEnd::Aborted || listing != m_listing)
            return;
        for (const ScrapedVideo &video : parseVideoPage(fetched.body, search))
            m_model->add(video);
    }
}

void VideoSiteBrowser::Combo3_Click()
{
    const bool search = choiceOf(m_c.Combo3) == QLatin1StringView(kSearchItem);
    m_c.Combo4->setVisible(!search);
    m_c.txtYouTube->setVisible(search);
    m_c.cmdSearch->setVisible(search);
    if (!search)
        loadVideoList();
}

void VideoSiteBrowser::Combo4_Click()
{
    if (const std::optional<QByteArray> code = countryCodeOf(choiceOf(m_c.Combo4)))
        *m_c.countryCode = QString::fromLatin1(*code);
    m_c.Combo3->show();
    m_c.cmdSearch->hide();
    loadVideoList();
}

void VideoSiteBrowser::cmdSearch_Click()
{
    loadVideoList();
}

void VideoSiteBrowser::txtYouTube_KeyPress(int KeyAscii)
{
    if (KeyAscii == 13)
        cmdSearch_Click();
}

std::optional<VideoSiteBrowser::Video> VideoSiteBrowser::selectedVideo() const
{
    const QModelIndex current = m_c.ListView3->currentIndex();
    if (!current.isValid() || !m_c.ListView3->selectionModel()->isSelected(current))
        return std::nullopt;
    const ScrapedVideo &video = m_model->videos().at(current.row());
    return Video{video.title, video.id};
}

void VideoSiteBrowser::ListView3_Click()
{
    if (m_hooks.loadingDisabled && m_hooks.loadingDisabled())
        return;
    if (const std::optional<Video> video = selectedVideo())
        showVideo(video->title, video->id);
}

void VideoSiteBrowser::showVideo(const QByteArray &title, const QByteArray &videoId)
{
    const Result<void> written =
        writeFileAtomically(m_pagePath, videoPage(videoSiteAddress(), title, videoId));
    if (!written) {
        // Showing the old file would play the previous video under the new choice.
        if (m_hooks.status)
            m_hooks.status(
                u"The video page could not be written: %1"_s.arg(written.error().message));
        return;
    }
    m_hooks.showPage(QUrl::fromLocalFile(m_pagePath));
}

Result<void> VideoSiteBrowser::writePlaceholder()
{
    return writeFileAtomically(m_pagePath, placeholderVideoPage());
}

void allowPlayerPage(QWebEngineView *view)
{
    view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    // Choosing a video in the list is the request to play it.
    view->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
}

} // namespace mavrel
