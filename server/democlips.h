#pragma once

#include <QString>

namespace mavrel::server::demo {

// Writes a few short generated clips (Ogg Theora, so any web view plays them) into
// <folder>/<category>/<title>.ogv, those that are missing, and returns how many exist
// afterwards. Needs libVLC's encoder; without it no clip is made.
int writeDemoClips(const QString &folder);

} // namespace mavrel::server::demo
