#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QImage>
#include <QMutex>
#include <QString>

#include <optional>

namespace mavrel {

// Scaled logos on disk, one PNG per address hash, shared by the store's worker threads. Reads
// refresh a file's time, so the cap drops the logos unused the longest.
class LogoDiskCache
{
public:
    LogoDiskCache(QString folder, qint64 maxBytes);

    const QString &folder() const { return m_folder; }
    QString filePath(const QByteArray &address) const;

    // A null image when the address has no readable file.
    QImage read(const QByteArray &address);
    // Replaces the file atomically, then drops the oldest files beyond the cap.
    Result<void> write(const QByteArray &address, const QImage &logo);

private:
    void trim(); // with m_mutex held

    const QString m_folder;
    const qint64 m_maxBytes;
    QMutex m_mutex;
    std::optional<qint64> m_totalBytes; // counted on the first write
};

} // namespace mavrel
