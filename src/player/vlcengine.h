#pragma once

#include "player/mediaengine.h"

#include <QStringList>

struct libvlc_instance_t;

// The media engine on libVLC: one instance per process, one libVLC player per playback.
namespace mavrel::vlc {

// The engine the player control uses. Every open() fails when libVLC cannot start (no plugins).
MediaEngine &engine();

// Created on first use with arguments fitting the Qt platform (dummy outputs when headless),
// and kept to the end of the process. Null when libVLC cannot start.
libvlc_instance_t *instance();

// The arguments instance() uses, decided from the environment and the Qt platform.
QStringList instanceArguments();

// True when players draw into an X11 window of ours (the xcb platform).
bool embedsVideo();

// Waits until every background release has finished; false on time-out. For an orderly exit.
bool waitForReleases(int msecs);

} // namespace mavrel::vlc
