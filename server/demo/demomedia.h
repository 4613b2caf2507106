#pragma once

#include "server/store/cataloguestore.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace mavrel::server {

// Streams the demo catalogue plays without any internet: all generated, nothing read from disk.
namespace demo {

inline constexpr int kSampleRate = 22050;

// A 16-bit mono PCM WAV header; dataBytes 0xFFFFFFFF-ish marks an endless stream.
QByteArray wavHeader(quint32 dataBytes);

// Samples [first, first + count) of an endless tune; melody picks one of two tunes.
QByteArray tuneSamples(qint64 first, int count, int melody);

// A finite chime, a few seconds long, as a complete WAV file.
QByteArray chimeWav();

// A short test-card video: uncompressed 24-bit frames in an AVI container.
QByteArray testCardAvi();

// The demo catalogue; baseUrl is this server ("http://127.0.0.1:8077").
QList<NewChannel> channels(const QString &baseUrl);

} // namespace demo
} // namespace mavrel::server
