#include "logos/logodiskcache.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

#include <utility>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QFileInfoList cacheFiles(const QString &folder, QDir::SortFlags sort)
{
    return QDir(folder).entryInfoList({u"*.png"_s}, QDir::Files, sort);
}

} // namespace

LogoDiskCache::LogoDiskCache(QString folder, qint64 maxBytes)
    : m_folder(std::move(folder)), m_maxBytes(maxBytes)
{}

QString LogoDiskCache::filePath(const QByteArray &address) const
{
    const QByteArray hash = QCryptographicHash::hash(address, QCryptographicHash::Sha1).toHex();
    return m_folder + u'/' + QString::fromLatin1(hash) + u".png"_s;
}

QImage LogoDiskCache::read(const QByteArray &address)
{
    QFile file(filePath(address));
    if (!file.open(QIODevice::ReadOnly | QIODevice::ExistingOnly))
        return {};
    QImageReader reader(&file, "png");
    reader.setAllocationLimit(4);
    QImage logo = reader.read();
    if (!logo.isNull())
        file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    return logo;
}

Result<void> LogoDiskCache::write(const QByteArray &address, const QImage &logo)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!logo.save(&buffer, "png"))
        return Result<void>::failure(u"the logo could not be encoded"_s);

    const QMutexLocker lock(&m_mutex);
    if (!QDir().mkpath(m_folder))
        return Result<void>::failure(u"cannot create %1"_s.arg(m_folder));
    if (!m_totalBytes) {
        qint64 total = 0;
        for (const QFileInfo &info : cacheFiles(m_folder, QDir::NoSort))
            total += info.size();
        m_totalBytes = total;
    }
    const QString path = filePath(address);
    const qint64 replaced = QFileInfo(path).size();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
        return Result<void>::failure(u"cannot write %1"_s.arg(path));
    *m_totalBytes += png.size() - replaced;
    if (*m_totalBytes > m_maxBytes)
        trim();
    return {};
}

void LogoDiskCache::trim()
{
    // Oldest first.
    const QFileInfoList files = cacheFiles(m_folder, QDir::Time | QDir::Reversed);
    qint64 total = 0;
    for (const QFileInfo &info : files)
        total += info.size();
    for (const QFileInfo &info : files) {
        if (total <= m_maxBytes)
            break;
        if (QFile::remove(info.filePath()))
            total -= info.size();
    }
    m_totalBytes = total;
}

} // namespace mavrel
