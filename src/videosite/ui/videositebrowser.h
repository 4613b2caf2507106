#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeView;
class QWebEngineView;

namespace mavrel {

class VideoListModel;

// The video-site frame: the listing and country choices, the search, the five-page fetch into
// the video list, and the player page of a chosen video.
class VideoSiteBrowser : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QComboBox *Combo3;      // listing
        QComboBox *Combo4;      // country edition
        QLineEdit *txtYouTube;  // search text
        QPushButton *cmdSearch; // "Search"
        QTreeView *ListView3;   // the videos
        QLineEdit *txtStatus;   // "Downloaded N bytes."
        QString *countryCode;   // the window's countryCode
    };
    struct Hooks
    {
        std::function<bool()> loadingDisabled; // "Don't Load Video While Editing"
        std::function<void(const QUrl &page)> showPage;
        std::function<void(const QString &text)> status;
    };

    // `window` owns the fetches: when it goes away during one, the listing ends quietly.
    VideoSiteBrowser(Controls controls, QString pagePath, Hooks hooks, QObject *window);

    VideoListModel &model() { return *m_model; }
    QString pagePath() const { return m_pagePath; }

    void loadVideoList();
    void Combo3_Click();
    void Combo4_Click();
    void cmdSearch_Click();
    void txtYouTube_KeyPress(int KeyAscii);
    void ListView3_Click();
    // Writes the player page of a video and shows it.
    void showVideo(const QByteArray &title, const QByteArray &videoId);
    // Writes the placeholder page; false when it could not be written.
    Result<void> writePlaceholder();

    struct Video
    {
        QByteArray title;
        QByteArray id;
    };
    std::optional<Video> selectedVideo() const;

private:
    Controls m_c;
    VideoListModel *m_model;
    QString m_pagePath;
    Hooks m_hooks;
    QObject *m_window;
    quint64 m_listing = 0;
};

// The video view may load the site's player from the page we write (a local file, and local
// files reach no remote address otherwise), and the player starts without a further click. For
// this view only.
void allowPlayerPage(QWebEngineView *view);

} // namespace mavrel
