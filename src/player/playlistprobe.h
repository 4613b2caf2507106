#pragma once

#include "player/playlist.h"

#include <QFuture>

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
        // False for a local path that is not a regular file (missing, a folder, a FIFO, a
        // device): nothing to hand to the engine.
        bool playable = true;
        // Why the address gave nothing, for telling the user: the status of an error reply, or
        // the host when no connection could be made (no such name, refused, no route).
        int httpStatus = 0;
        QString unreachableHost;
    };

    explicit PlaylistProbe(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~PlaylistProbe() override;

    // Http(s) addresses only; finished() follows, always asynchronously.
    void start(const QUrl &url, bool expectPlaylist);
    const Outcome &outcome() const { return m_outcome; }

    // Whether probing an address can help at all.
    static bool canProbe(const QUrl &url);
    // The same decision for a local file. Blocks as long as the file system does (a hung network
    // mount, say); never opens anything but a regular file.
    static Outcome probeLocalFile(const QUrl &url, bool expectPlaylist);
    // probeLocalFile() on a thread of the player's own, so the caller's thread never waits on
    // a file system.
    static QFuture<Outcome> probeLocalFileInBackground(const QUrl &url, bool expectPlaylist);

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
