#pragma once

#include <QByteArray>
#include <QString>

namespace mavrel::test {

// A mono 16-bit WAV file holding a sine tone. Another format tag than 1 (PCM) names a codec
// nobody decodes, though the file still parses.
QByteArray makeWav(double seconds, int sampleRate = 8000, quint16 formatTag = 1);

// A short H.264 video in an MPEG transport stream, encoded by the engine's own transcoder from
// frames drawn here. Empty when the engine cannot encode (the caller skips).
QByteArray makeVideo(const QString &workDir);

// Bytes no demultiplexer recognises.
QByteArray makeJunk(int size);

} // namespace mavrel::test
