#pragma once

#include <QString>

#include <atomic>

namespace mavrel::server::demo {

// Writes a few short generated clips (Ogg Theora, so any web view plays them) into
// <folder>/<category>/<title>.ogv, those that are missing, and returns how many exist
// afterwards. Needs libVLC's encoder; without it no clip is made. Stops before the next clip
// once *stop is set.
int writeDemoClips(const QString &folder, const std::atomic<bool> *stop = nullptr);

} // namespace mavrel::server::demo
