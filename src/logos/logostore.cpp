#include "logos/logostore.h"

#include "logos/logodiskcache.h"
#include "online/fetch.h"

#include <QBuffer>
#include <QImageReader>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// Decoding stops before a picture needs more than this; a logo is small.
constexpr int kDecodeLimitMb = 8;
// Logos in memory, in KiB of pixels: far more than a screenful, far less than 100,000 rows.
constexpr int kMemoryCacheKib = 32 * 1024;

QImage scaledLogo(QImage image)
{
    if (image.isNull())
        return {};
    if (image.height() != LogoStore::kLogoHeight || image.width() > LogoStore::kMaxLogoWidth)
        image = image.scaled(QSize(LogoStore::kMaxLogoWidth, LogoStore::kLogoHeight),
                             Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage decodeLogo(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kDecodeLimitMb);
    const QSize size = reader.size();
    // Formats that can decode straight to the small size skip the big picture.
    if (size.isValid() && size.height() > LogoStore::kLogoHeight &&
        reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(size.scaled(QSize(LogoStore::kMaxLogoWidth, LogoStore::kLogoHeight),
                                         Qt::KeepAspectRatio));
    return scaledLogo(reader.read());
}

QImage fetchLogo(const QByteArray &address, const FetchLimits &limits)
{
    FetchOptions options;
    options.limits = limits;
    const FetchResult r = fetchPage(address, options);
    if (r.end != FetchEnd::Complete || r.httpStatus != 200)
        return {};
    return decodeLogo(r.body);
}

QByteArray hostOf(const QByteArray &address)
{
    const QUrl url = QUrl::fromEncoded(address);
    const int port =
        url.port(url.scheme().compare(u"https"_s, Qt::CaseInsensitive) == 0 ? 443 : 80);
    return url.host().toLower().toUtf8() + ':' + QByteArray::number(port);
}

bool isWebAddress(const QByteArray &address)
{
    return address.startsWith("http://") || address.startsWith("https://") ||
           address.startsWith("HTTP://") || address.startsWith("HTTPS://");
}

} // namespace

struct LogoStore::Worker
{
    QThread thread;
    QObject context; // lives in the thread: jobs run there
};

QString LogoStore::defaultCacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           u"/mavrel/logos"_s;
}

FetchLimits LogoStore::logoFetchLimits()
{
    // A logo over 1 MB is not read to its end; the redirect limit is the fetch's own.
    FetchLimits limits;
    limits.maxBytes = 1024 * 1024 + 1;
    limits.totalMs = 30'000;
    limits.idleMs = 10'000;
    limits.connectMs = 10'000;
    return limits;
}

LogoStore::LogoStore(QObject *parent) : LogoStore(Options{}, parent) {}

LogoStore::LogoStore(const Options &options, QObject *parent)
    : QObject(parent), m_options(options),
      m_disk(std::make_shared<LogoDiskCache>(options.cacheFolder, options.cacheBytes)),
      m_logos(kMemoryCacheKib)
{}

LogoStore::~LogoStore()
{
    // Ends the event loops of fetches under way too: they return at once as aborted.
    for (const auto &worker : m_workers)
        worker->thread.quit();
    for (const auto &worker : m_workers)
        worker->thread.wait();
}

QImage LogoStore::logo(const QByteArray &address) const
{
    const QImage *found = m_logos.object(address);
    return found != nullptr ? *found : QImage();
}

bool LogoStore::known(const QByteArray &address) const
{
    return m_logos.contains(address) || m_failed.contains(address) || m_running.contains(address);
}

void LogoStore::setWanted(QObject *view, const QList<QByteArray> &addresses)
{
    if (addresses.isEmpty()) {
        m_wanted.remove(view);
    } else {
        if (!m_watched.contains(view)) {
            m_watched.insert(view);
            connect(view, &QObject::destroyed, this, [this, view] {
                m_watched.remove(view);
                m_wanted.remove(view);
                rebuildQueue();
            });
        }
        m_wanted.insert(view, addresses);
    }
    rebuildQueue();
}

void LogoStore::rebuildQueue()
{
    m_queue.clear();
    QSet<QByteArray> queued;
    for (const QList<QByteArray> &addresses : std::as_const(m_wanted)) {
        for (const QByteArray &address : addresses) {
            if (address.isEmpty() || known(address) || queued.contains(address))
                continue;
            if (!isWebAddress(address)) {
                m_failed.insert(address);
                continue;
            }
            queued.insert(address);
            m_queue.append({address, hostOf(address)});
        }
    }
    startJobs();
}

void LogoStore::startJobs()
{
    while (!m_queue.isEmpty()) {
        qsizetype next = -1;
        for (qsizetype i = 0; i < m_queue.size() && next < 0; ++i) {
            const Request &r = m_queue[i];
            if (!m_diskMissed.contains(r.address) || !m_busyHosts.contains(r.host))
                next = i;
        }
        if (next < 0)
            return;
        if (m_idle.isEmpty()) {
            if (int(m_workers.size()) >= m_options.maxJobs)
                return;
            // Threads start with the first logo: a list without logos costs none.
            auto worker = std::make_unique<Worker>();
            worker->context.moveToThread(&worker->thread);
            worker->thread.setObjectName(u"logos"_s);
            worker->thread.start(QThread::LowPriority);
            m_idle.append(worker.get());
            m_workers.push_back(std::move(worker));
        }
        const Request request = m_queue.takeAt(next);
        m_running.insert(request.address, request);
        startJob(m_idle.takeLast(), request);
    }
}

void LogoStore::startJob(Worker *worker, const Request &request)
{
    const bool fromDisk = !m_diskMissed.contains(request.address);
    if (!fromDisk) {
        m_busyHosts.insert(request.host);
        ++m_fetching;
    }
    QMetaObject::invokeMethod(
        &worker->context,
        [this, worker, request, fromDisk, disk = m_disk, limits = m_options.limits] {
            QImage logo;
            if (fromDisk) {
                logo = disk->read(request.address);
            } else {
                logo = fetchLogo(request.address, limits);
                // A logo that cannot be kept on disk still shows for this session.
                if (!logo.isNull())
                    (void)disk->write(request.address, logo);
            }
            QMetaObject::invokeMethod(
                this,
                [this, worker, request, fromDisk, logo] {
                    finishJob(worker, request, logo, fromDisk);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void LogoStore::finishJob(Worker *worker, const Request &request, const QImage &logo, bool fromDisk)
{
    m_running.remove(request.address);
    m_idle.append(worker);
    if (!fromDisk) {
        m_busyHosts.remove(request.host);
        --m_fetching;
    }
    if (!logo.isNull()) {
        m_logos.insert(request.address, new QImage(logo),
                       std::max<int>(1, int(logo.sizeInBytes() / 1024)));
        emit logoChanged(request.address);
    } else if (fromDisk) {
        m_diskMissed.insert(request.address);
    } else {
        m_failed.insert(request.address);
        emit logoChanged(request.address);
    }
    rebuildQueue();
}

} // namespace mavrel
