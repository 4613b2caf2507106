#include "catalogue/cataloguelinereader.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace mavrel {

CatalogueLineReader::CatalogueLineReader(QIODevice *device, qsizetype blockSize)
    : m_device(device), m_blockSize(std::max<qsizetype>(blockSize, 1))
{
    // A small file needs no large buffer. The size only sizes the buffer: reading goes on
    // until the device says there is no more, so a file that grows meanwhile is read whole.
    if (device && device->isOpen() && !device->isSequential()) {
        const qint64 left = std::max<qint64>(device->size() - device->pos(), 0);
        m_blockSize = qsizetype(std::min<qint64>(m_blockSize, std::max<qint64>(left + 1, 4096)));
    }
}

Result<bool> CatalogueLineReader::readLine(QByteArrayView *line)
{
    for (;;) {
        char *const data = m_buffer.data();
        if (m_skipLf && m_begin < m_end) {
            if (data[m_begin] == '\n')
                ++m_begin;
            m_skipLf = false;
            m_scanned = std::max(m_scanned, m_begin);
        }
        if (!m_skipLf) {
            const auto *cr = static_cast<const char *>(
                std::memchr(data + m_scanned, '\r', size_t(m_end - m_scanned)));
            if (cr) {
                const qsizetype pos = cr - data;
                *line = QByteArrayView(data + m_begin, pos - m_begin);
                m_begin = pos + 1;
                if (m_begin < m_end) {
                    if (data[m_begin] == '\n')
                        ++m_begin;
                } else {
                    // Whether an LF follows is only known after the next block.
                    m_skipLf = true;
                }
                m_scanned = m_begin;
                return true;
            }
            m_scanned = m_end;
        }
        if (m_atEnd) {
            if (m_begin < m_end) {
                *line = QByteArrayView(data + m_begin, m_end - m_begin);
                m_begin = m_scanned = m_end;
                return true;
            }
            return false;
        }
        if (Result<void> filled = fill(); !filled)
            return filled.error();
    }
}

Result<void> CatalogueLineReader::fill()
{
    const qsizetype kept = m_end - m_begin;
    if (m_begin > 0) {
        // Only the unfinished line moves, so a long line is not copied once per block.
        if (kept > 0)
            std::memmove(m_buffer.data(), m_buffer.constData() + m_begin, size_t(kept));
        m_scanned -= m_begin;
        m_begin = 0;
        m_end = kept;
    }
    if (m_buffer.size() < m_end + m_blockSize)
        m_buffer.resize(std::max(m_end + m_blockSize, m_buffer.size() * 2));
    const qint64 n = m_device->read(m_buffer.data() + m_end, m_blockSize);
    if (n < 0)
        return Result<void>::failure(m_device->errorString());
    if (n == 0)
        m_atEnd = true;
    m_end += qsizetype(n);
    return {};
}

QList<QByteArray> splitCatalogueLines(QByteArrayView data)
{
    QByteArray copy = data.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    CatalogueLineReader reader(&buffer);
    QList<QByteArray> lines;
    QByteArrayView line;
    // A buffer in memory never fails to read.
    while (reader.readLine(&line).valueOr(false))
        lines.append(line.toByteArray());
    return lines;
}

} // namespace mavrel
