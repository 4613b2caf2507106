#pragma once

#include <QStringList>

struct libvlc_instance_t;
struct libvlc_media_player_t;
struct libvlc_media_t;

// The one libVLC instance of the process, and the place where players are torn down.
namespace mavrel::vlc {

// Created on first use with arguments fitting the Qt platform (dummy outputs when headless),
// and kept to the end of the process. Null when libVLC cannot start (no plugins): callers
// then fail every media item.
libvlc_instance_t *instance();

// The arguments instance() uses, decided from the environment and the Qt platform.
QStringList instanceArguments();

// True when players draw into an X11 window of ours (the xcb platform).
bool embedsVideo();

// Stopping a player joins its input thread, which some access modules keep blocked on the
// network; so stop and release happen on a thread of their own, never on the caller's.
void releaseInBackground(libvlc_media_player_t *player, libvlc_media_t *media);

// Waits until every background release has finished; false on time-out. For an orderly exit.
bool waitForReleases(int msecs);

} // namespace mavrel::vlc
