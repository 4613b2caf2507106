#pragma once

#include "online/fetchlimits.h"
#include "platform/result.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace mavrel {

// Which list of the catalogue server an update brings in.
enum class UpdateList
{
    Changes,      // getChannels.asp: additions, changes and removals
    DeadChannels, // getChannelsOFFLINE.asp (staff): channels found dead, removed
};

// What the update needs from the window that runs it.
struct UpdateContext
{
    QByteArray server;     // scheme and host of the catalogue server
    QString dataDirectory; // holds Data.txt and date.dat
    QObject *owner = nullptr;
    std::function<void(const QString &)> setStatus;   // the status box
    std::function<void(const QString &)> showMessage; // a box with OK and the application title
    std::function<void()> showChannels; // the TV list of the new catalogue (cmdTV_Click)
    // The message table's text for a key; empty (or no lookup) keeps the English default.
    std::function<QString(const QString &key)> message;
    // Replaces the limits of the update-lines fetch (tests).
    std::optional<FetchLimits> replyLimits;
};

enum class UpdateState
{
    NoUpdates, // the server's catalogue is not newer than the stored date
    Merged,    // the reply was merged (count may be 0)
};

struct UpdateOutcome
{
    UpdateState state = UpdateState::NoUpdates;
    int count = 0; // "ADD" lines appended
};

// The codes of a failed update.
inline constexpr qint64 kUpdateFailed = 1; // nothing changed; the user was told why
// The window went away during a fetch (perhaps after the merge): the caller must not touch it.
inline constexpr qint64 kUpdateOwnerGone = 2;

QString noUpdatesText();
QString downloadedUpdatesText(int count);

// The status line while the first catalogue arrives, the count in the locale's grouping.
QString firstDownloadText(const UpdateContext &context, int channels);
// The box when the catalogue server gave no reply at all: the address and how to change it.
QString serverUnreachableText(const UpdateContext &context);

// The whole exchange: currentdate, then (only when the server is newer) the update lines from
// the stored date, the merge, and after additions date.asp, whose date is stored. The date the
// reply says it covers is sent to date.asp and bounds what is stored, so a viewer never stores
// a date beyond its own merge. A reply that did not arrive whole, an error status or an
// unusable reply changes nothing: the catalogue and the stored date stay, and the user is told
// that the update failed.
// Without a catalogue file the update is the first download: everything from the first date,
// whatever date.dat says, written as a new file (and its folder) only once it arrived whole; the
// status line counts the channels as they come and the list is shown without a box.
Result<UpdateOutcome> updateChannels(const UpdateContext &context,
                                     UpdateList list = UpdateList::Changes);

} // namespace mavrel
