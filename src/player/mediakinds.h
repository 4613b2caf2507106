#pragma once

#include <QStringView>

// What the player takes: the schemes of the addresses it plays and the files of sound alone.
namespace mavrel {

// http, https, mms, rtsp, rtmp and file, in any letter case.
bool isPlayableScheme(QStringView scheme);

// True when a file name's (or an address's) extension names sound only (no picture), in any
// letter case.
bool isAudioFileName(QStringView fileName);

} // namespace mavrel
