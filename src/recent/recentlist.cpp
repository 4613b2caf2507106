#include "recent/recentlist.h"

#include "platform/files.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr char kHeader[] = "# recently played 1";
// Thirty lines of this are a few kilobytes; a bigger file is not ours.
constexpr qint64 kMaxFileBytes = 1024 * 1024;

constexpr std::pair<RecentSource, const char *> kSourceWords[] = {
    {RecentSource::Channel, "channel"},
    {RecentSource::Favorite, "favorite"},
    {RecentSource::File, "file"},
};

QByteArray encoded(const QByteArray &field)
{
    // Printable ASCII stays readable; "%", blanks, controls and the rest are encoded, so
    // fields split on blanks and lines on LF.
    static const QByteArray kept = "!\"#$&'()*+,-./:;<=>?@[\\]^_`{|}~";
    return field.toPercentEncoding(kept);
}

std::optional<RecentItem> parseLine(QByteArrayView line)
{
    const QList<QByteArray> fields = line.toByteArray().split(' ');
    if (fields.size() != 5)
        return std::nullopt;
    RecentItem item;
    const auto source = std::find_if(std::begin(kSourceWords), std::end(kSourceWords),
                                     [&](const auto &w) { return fields[1] == w.second; });
    if (source == std::end(kSourceWords))
        return std::nullopt;
    item.source = source->first;
    item.when = QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODate);
    if (!item.when.isValid())
        return std::nullopt;
    item.when = item.when.toUTC();
    item.kind = QByteArray::fromPercentEncoding(fields[2]);
    item.name = QByteArray::fromPercentEncoding(fields[3]);
    item.address = QByteArray::fromPercentEncoding(fields[4]);
    if (item.address.isEmpty())
        return std::nullopt;
    return item;
}

} // namespace

RecentItem playedNow(RecentSource source, const QByteArray &name, const QByteArray &address,
                     const QByteArray &kind)
{
    // Whole seconds: what the file keeps.
    QDateTime now = QDateTime::currentDateTimeUtc();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return {source, name, address, kind, now};
}

QByteArray recentFileBytes(const QList<RecentItem> &items)
{
    QByteArray out = kHeader + QByteArray("\n");
    for (const RecentItem &item : items) {
        const auto source = std::find_if(std::begin(kSourceWords), std::end(kSourceWords),
                                         [&](const auto &w) { return w.first == item.source; });
        out += item.when.toUTC().toString(Qt::ISODate).toLatin1() + ' ' + source->second + ' ' +
               encoded(item.kind) + ' ' + encoded(item.name) + ' ' + encoded(item.address) + '\n';
    }
    return out;
}

QList<RecentItem> parseRecentFile(QByteArrayView bytes)
{
    QList<RecentItem> items;
    for (const QByteArray &line : bytes.toByteArray().split('\n')) {
        if (items.size() == RecentList::kMaxItems)
            break;
        QByteArrayView text(line);
        if (text.endsWith('\r')) // copied through an editor that writes CR LF
            text.chop(1);
        if (text.startsWith('#'))
            continue;
        if (std::optional<RecentItem> item = parseLine(text))
            items.append(*item);
    }
    return items;
}

void RecentList::load()
{
    m_items.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return;
    m_items = parseRecentFile(file.read(kMaxFileBytes));
}

Result<void> RecentList::add(const RecentItem &item)
{
    m_items.removeIf([&](const RecentItem &old) {
        return old.source == item.source && old.address == item.address;
    });
    m_items.prepend(item);
    if (m_items.size() > kMaxItems)
        m_items.resize(kMaxItems);
    return save();
}

Result<void> RecentList::clear()
{
    m_items.clear();
    return save();
}

Result<void> RecentList::save() const
{
    return writeFileAtomically(m_path, recentFileBytes(m_items));
}

} // namespace mavrel
