#pragma once

#include "mainwindow/player/playlist.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace mavrel {

// Looks at what an address serves and, when it is a playlist, reads its entries. Reads at most
// kProbeCap bytes, and stops after the first bytes when they are neither announced nor shaped
// as a playlist, so a live stream is never downloaded here.
class PlaylistProbe : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kProbeCap = 256 * 1024;
    static constexpr qsizetype kSniffBytes = 512;
    static constexpr int kSniffWaitMs = 1500;

    struct Outcome
    {
        // Empty when the address is not a readable playlist: play the address itself.
        QList<PlaylistEntry> entries;
    };

    explicit PlaylistProbe(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~PlaylistProbe() override;

    // Http(s) addresses only; finished() follows, always asynchronously.
    void start(const QUrl &url, bool expectPlaylist);
    const Outcome &outcome() const { return m_outcome; }

    // Whether probing an address can help at all.
    static bool canProbe(const QUrl &url);
    // The same decision for a local file, synchronously.
    static Outcome probeLocalFile(const QUrl &url, bool expectPlaylist);

signals:
    void finished();

private:
    void onHeaders();
    void onData();
    void onFinished();
    void decide(bool atEnd);
    void finish(bool parse);

    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_sniffTimer;
    QUrl m_url;
    QByteArray m_data;
    PlaylistFormat m_hint = PlaylistFormat::None;
    bool m_headersSeen = false;
    bool m_isPlaylist = false; // decided: keep reading to the end
    bool m_done = false;
    Outcome m_outcome;
};

} // namespace mavrel
