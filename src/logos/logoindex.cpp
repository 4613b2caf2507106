#include "logos/logoindex.h"

#include "catalogue/cataloguelinereader.h"
#include "catalogue/channelrecord.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

#include <utility>

using namespace Qt::StringLiterals;

namespace mavrel {

LogoIndex::LogoIndex(QString catalogueFile, QObject *parent)
    : QObject(parent), m_file(std::move(catalogueFile))
{}

Result<LogoAddresses> LogoIndex::read(const QString &catalogueFile)
{
    QFile file(catalogueFile);
    if (!file.open(QIODevice::ReadOnly))
        return Result<LogoAddresses>::failure(file.errorString());
    LogoAddresses addresses;
    CatalogueLineReader reader(&file);
    QByteArrayView line;
    for (;;) {
        const Result<bool> more = reader.readLine(&line);
        if (!more)
            return more.error();
        if (!more.value())
            break;
        // Most channels have no logo: only their fields are split, nothing is unscrambled.
        const QList<QByteArrayView> fields = splitFields(line);
        if (fields.size() < ChannelRecord::kFieldCount || fields[6].isEmpty())
            continue;
        const Result<ChannelRecord> record = ChannelRecord::parse(line);
        if (record)
            addresses.insert(record.value().url, record.value().spare2);
    }
    return addresses;
}

void LogoIndex::refresh()
{
    if (m_reading) {
        m_again = true;
        return;
    }
    m_used = true;
    m_reading = true;
    m_again = false;
    // Delivered through the application object: the index may be gone when the read ends.
    QPointer<LogoIndex> self(this);
    QThreadPool::globalInstance()->start([self, file = m_file, stamp = m_readStamp] {
        const QDateTime modified = QFileInfo(file).lastModified();
        std::optional<LogoAddresses> found;
        if (modified != stamp || !modified.isValid())
            found = read(file).valueOr({});
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, modified, found = std::move(found)]() mutable {
                if (self.isNull())
                    return;
                self->m_reading = false;
                if (found) {
                    self->m_readStamp = modified;
                    self->m_addresses = std::move(*found);
                    emit self->changed();
                }
                if (self->m_again)
                    self->refresh();
            },
            Qt::QueuedConnection);
    });
}

} // namespace mavrel
