#include "mainwindow/ui/channelplayback.h"

#include "mainwindow/channelcheck.h"
#include "online/fetch.h"
#include "online/reportquery.h"
#include "platform/bytetext.h"
#include "platform/dialogs.h"
#include "player/ui/mediaplayer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

using namespace Qt::StringLiterals;

namespace mavrel {

ChannelPlayback::ChannelPlayback(MediaPlayer *player, QLabel *offlinePicture, Hooks hooks,
                                 QObject *window, PlayRequests *requests)
    : QObject(window), m_player(player), m_offline(offlinePicture), m_hooks(std::move(hooks)),
      m_window(window), m_requests(requests ? requests : &m_ownRequests)
{
    if (m_offline) {
        m_offlineObject = m_offline.data();
        m_offline->installEventFilter(this);
    }
}

void ChannelPlayback::checkChannel(bool checkOnly)
{
    if (const std::optional<SelectedChannel> channel = m_hooks.selectedChannel())
        check(*channel, checkOnly);
}

void ChannelPlayback::playChannel(const SelectedChannel &channel)
{
    check(channel, false);
}

void ChannelPlayback::check(const SelectedChannel &channel, bool checkOnly)
{
    if (m_offline)
        m_offline->hide();

    // A choice made while this check waits for its page supersedes it. A check without playing
    // is no choice of its own: it still reports, but shows nothing over a newer choice.
    const quint64 request = checkOnly ? m_requests->newest() : m_requests->begin();
    const QString name = displayText(channel.name);
    // A new choice stops the old one at once: nothing plays behind "Connecting…".
    if (!checkOnly && m_player)
        m_player->prepare(name);
    QByteArray page;
    QByteArray contentType;
    // Without a fetch nothing is known of the host.
    OfflineCause cause = OfflineCause::NoConnection;
    if (!skipsCheckFetch(channel.address)) {
        FetchOptions options;
        options.use = FetchUse::ChannelCheck;
        options.limits = checkFetchLimits();
        options.owner = m_window;
        QPointer<ChannelPlayback> self(this);
        FetchResult fetched = fetchPage(channel.address, options);
        // Quitting, or the window going away, ends the check without playing or reporting.
        if (fetched.ownerGone || !self || fetched.end == FetchEnd::Aborted)
            return;
        cause = offlineCause(fetched);
        page = std::move(fetched.body);
        contentType = std::move(fetched.contentType);
    }

    const bool newest = m_requests->isNewest(request);
    if (!checkOnly && !newest)
        return;
    const CheckDecision decision = decideCheck(page, contentType, checkOnly);
    if (decision.play && m_player) {
        m_playing = channel;
        m_playingText = displayText(channel.address);
        m_playingCause = cause;
        m_player->setURL(m_playingText, name);
        if (!checkOnly && m_hooks.played)
            m_hooks.played(channel);
    }
    if (decision.showOffline && newest && m_offline)
        m_offline->show();
    if (decision.showOffline && !checkOnly && m_player)
        m_player->showOffline(name);
    if (decision.report != CheckReport::None)
        report(channel.name, reportType(decision.report), cause);
}

void ChannelPlayback::ListView1_Click()
{
    checkChannel(false);
}

void ChannelPlayback::imgOffline_Click()
{
    if (m_offline)
        m_offline->hide();
}

void ChannelPlayback::WindowsMediaPlayer1_MediaError(const QString &url)
{
    if (!m_playing || url != m_playingText)
        return;
    const QByteArray name = m_playing->name;
    m_playing.reset();
    report(name, kReportOffline, m_playingCause);
}

void ChannelPlayback::WindowsMediaPlayer1_Warning(int, int, const QString &)
{
    messageBox(u"warning"_s, DialogButtons::Ok);
}

bool ChannelPlayback::eventFilter(QObject *watched, QEvent *event)
{
    // Compared as a plain object: the filter also sees the events of the picture's destruction.
    if (event->type() == QEvent::MouseButtonRelease && watched == m_offlineObject &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        imgOffline_Click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ChannelPlayback::report(const QByteArray &name, const QByteArray &type, OfflineCause cause)
{
    ReportContext context = m_hooks.reportContext ? m_hooks.reportContext() : ReportContext{};
    if (!context.owner)
        context.owner = m_window;
    if (type != kReportOffline) {
        sendData(name, type, QByteArray(), context);
        return;
    }
    if (!sendOfflineReport(name, QByteArray(), cause, context) && m_hooks.status && m_hooks.message)
        m_hooks.status(m_hooks.message(u"MSG_VIEWEROFFLINE"_s));
}

void mirrorStatusText(const QString &text, QLabel *panel)
{
    static bool yielding = false;
    if (panel)
        panel->setText(text);
    if (yielding)
        return;
    yielding = true;
    QCoreApplication::processEvents();
    yielding = false;
}

} // namespace mavrel
