#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

namespace mavrel {

// Reads the lines of a catalogue or favourites file: CR LF or a lone CR ends a line, a lone LF
// belongs to the line. A last line without a line end counts; no empty line follows a final
// line end. Every other byte (NUL included) is data. The device (a file or a buffer: an empty
// read means its end) is read in large blocks.
class CatalogueLineReader
{
public:
    static constexpr qsizetype kDefaultBlockSize = qsizetype(1) << 20;

    explicit CatalogueLineReader(QIODevice *device, qsizetype blockSize = kDefaultBlockSize);

    // True with the next line, without its line end, in *line (valid until the next call);
    // false at the end of the data; an error when a read failed.
    Result<bool> readLine(QByteArrayView *line);

private:
    Result<void> fill();

    QIODevice *m_device;
    qsizetype m_blockSize;
    QByteArray m_buffer;
    qsizetype m_begin = 0;   // first byte not yet handed out
    qsizetype m_end = 0;     // end of the bytes read
    qsizetype m_scanned = 0; // [m_begin, m_scanned) is known to hold no CR
    bool m_atEnd = false;
    bool m_skipLf = false; // the last line ended with a CR at the end of a block
};

// All lines of an in-memory text, by the same rules.
QList<QByteArray> splitCatalogueLines(QByteArrayView data);

} // namespace mavrel
