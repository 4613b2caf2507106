#pragma once

#include <QByteArray>
#include <QString>

namespace mavrel::test {

// A mono 16-bit PCM WAV file holding a sine tone.
QByteArray makeWav(double seconds, int sampleRate = 8000);

// A short H.264 video in an MPEG transport stream, encoded by the engine's own transcoder from
// frames drawn here. Empty when the engine cannot encode (the caller skips).
QByteArray makeVideo(const QString &workDir);

// Bytes no demultiplexer recognises.
QByteArray makeJunk(int size);

} // namespace mavrel::test
