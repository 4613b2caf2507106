#include "server/sources/importer.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <optional>

using namespace Qt::StringLiterals;

namespace mavrel::server {

QString sourceKey(const QString &source)
{
    return isAddress(source) ? source : QFileInfo(source).absoluteFilePath();
}

namespace {

// The source as a device to read: the file itself, or an address downloaded into `downloaded`.
Result<QIODevice *> openSource(const QString &source, const SourceLimits &limits, QFile &local,
                               std::unique_ptr<QTemporaryFile> &downloaded)
{
    if (isAddress(source)) {
        auto fetched = fetchToFile(source, limits.fetch, limits.cancel);
        if (!fetched)
            return fetched.error();
        downloaded = std::move(fetched).value();
        return static_cast<QIODevice *>(downloaded.get());
    }
    if (!local.open(QIODevice::ReadOnly))
        return Result<QIODevice *>::failure(
            u"cannot read %1: %2"_s.arg(source, local.errorString()));
    return static_cast<QIODevice *>(&local);
}

} // namespace

Result<ParsedSource> readSource(const QString &source, const SourceLimits &limits,
                                const EntrySink &sink)
{
    std::unique_ptr<QTemporaryFile> downloaded;
    QFile local(source);
    auto opened = openSource(source, limits, local, downloaded);
    if (!opened)
        return opened.error();
    QIODevice *in = opened.value();
    SourceParser parser(isAddress(source) ? QUrl(source).path() : source, sink);
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (;;) {
        if (limits.cancel && limits.cancel->load())
            return Result<ParsedSource>::failure(u"%1: stopped"_s.arg(source));
        const qint64 n = in->read(chunk.data(), chunk.size());
        if (n < 0)
            return Result<ParsedSource>::failure(
                u"cannot read %1: %2"_s.arg(source, in->errorString()));
        if (n == 0)
            break;
        parser.feed(QByteArrayView(chunk.constData(), n));
    }
    return parser.finish();
}

namespace {

// Brings a source's channels in line with the entries it lists, taken one at a time as they
// are read, in one transaction that starts with the first of them (a download is complete by
// then). New channels go to the database in runs, so that only a run is held; what the source
// already owns is held for the whole sync.
class SourceSync
{
public:
    SourceSync(CatalogueStore &store, QString key, bool dropVanished, qint64 maxChannels)
        : m_store(store), m_key(std::move(key)), m_dropVanished(dropVanished),
          m_maxChannels(maxChannels)
    {}
    ~SourceSync()
    {
        if (m_open)
            m_store.rollbackBatch();
    }
    SourceSync(const SourceSync &) = delete;
    SourceSync &operator=(const SourceSync &) = delete;

    void take(SourceEntry &&entry)
    {
        if (m_error)
            return;
        if (auto r = takeOne(std::move(entry)); !r)
            m_error = r.error();
    }

    Result<ImportCounts> finish(const ParsedSource &read)
    {
        if (!m_error) {
            if (auto r = finishOpen(); !r)
                m_error = r.error();
        }
        if (m_error) {
            if (m_open)
                m_store.rollbackBatch();
            m_open = false;
            return *m_error;
        }
        m_counts.skipped += read.bad;
        m_counts.options = read.options;
        m_counts.guides = read.guides;
        return m_counts;
    }

private:
    static constexpr qsizetype kRun = 4 * kChannelsPerInsert;

    Result<void> begin()
    {
        if (m_begun)
            return {};
        m_begun = true;
        auto owned = m_store.sourceChannels(m_key);
        if (!owned)
            return owned.error();
        m_owned = std::move(owned).value();
        m_byUrl.reserve(m_owned.size());
        for (qsizetype i = 0; i < m_owned.size(); ++i)
            m_byUrl.insert(m_owned[i].url, i);
        m_listed = QList<bool>(m_owned.size(), false);
        if (auto r = m_store.beginBatch(); !r)
            return r;
        m_open = true;
        return {};
    }

    Result<void> takeOne(SourceEntry &&e)
    {
        if (auto r = begin(); !r)
            return r;
        if (m_seen == m_maxChannels) {
            ++m_counts.skipped;
            return {};
        }
        ++m_seen;
        const NewChannel &c = e.channel;
        const auto it = m_byUrl.constFind(c.url);
        if (it == m_byUrl.cend()) {
            // None of the source's own channels has this address: it is new here.
            m_arriving.append(std::move(e));
            return m_arriving.size() >= kRun ? flush() : Result<void>();
        }
        if (m_listed[*it]) {
            ++m_counts.duplicate;
            return {};
        }
        m_listed[*it] = true;
        const SourceChannel &o = m_owned[*it];
        if (o.vanished != 0) {
            // Revived only if its vanishing killed it and no one has revived it since.
            const bool revive = o.vanished == 1 && o.dead;
            if (auto r = m_store.relist(o.id, revive); !r)
                return r;
            m_counts.returned += revive ? 1 : 0;
        }
        if (o.name != c.name || o.kind != c.kind || o.lang != c.lang) {
            if (!checkChannel(c)) {
                ++m_counts.skipped;
                return {};
            }
            if (auto r = m_store.updateSourceFields(o.id, c); !r)
                return r;
            ++m_counts.updated;
        }
        return {};
    }

    Result<void> flush()
    {
        QList<const SourceEntry *> run;
        run.reserve(m_arriving.size());
        for (const SourceEntry &e : std::as_const(m_arriving))
            run.append(&e);
        auto added = m_store.addSourceChannels(run, m_key);
        m_arriving.clear();
        if (!added)
            return added.error();
        for (const AddResult &a : added.value()) {
            switch (a.outcome) {
            case AddOutcome::Added:
                ++m_counts.added;
                break;
            case AddOutcome::Duplicate:
                ++m_counts.duplicate;
                break;
            case AddOutcome::Invalid:
                ++m_counts.skipped;
                break;
            }
        }
        return {};
    }

    Result<void> finishOpen()
    {
        if (auto r = begin(); !r)
            return r;
        if (m_dropVanished && m_seen == 0 && !m_owned.isEmpty())
            return Result<void>::failure(u"%1 lists no channel: nothing changed"_s.arg(m_key));
        if (auto r = flush(); !r)
            return r;
        if (m_dropVanished) {
            for (qsizetype i = 0; i < m_listed.size(); ++i) {
                const SourceChannel &o = m_owned[i];
                if (m_listed[i] || o.vanished != 0)
                    continue;
                if (auto r = m_store.vanish(o.id, o.dead); !r)
                    return r;
                ++m_counts.vanished;
            }
        }
        m_open = false;
        return m_store.commitBatch();
    }

    CatalogueStore &m_store;
    QString m_key;
    bool m_dropVanished;
    qint64 m_maxChannels;
    bool m_begun = false;
    bool m_open = false;
    QList<SourceChannel> m_owned;
    QHash<QByteArray, qsizetype> m_byUrl;
    QList<bool> m_listed;
    QList<SourceEntry> m_arriving;
    qint64 m_seen = 0;
    ImportCounts m_counts;
    std::optional<Error> m_error;
};

Result<ImportCounts> runSource(CatalogueStore &store, const QString &source,
                               const SourceLimits &limits, bool dropVanished)
{
    SourceSync sync(store, sourceKey(source), dropVanished, limits.maxChannels);
    auto read = readSource(source, limits, [&sync](SourceEntry &&e) { sync.take(std::move(e)); });
    if (!read)
        return read.error();
    return sync.finish(read.value());
}

} // namespace

Result<ImportCounts> syncParsed(CatalogueStore &store, const QString &key,
                                const ParsedSource &parsed, bool dropVanished)
{
    SourceSync sync(store, key, dropVanished, SourceLimits().maxChannels);
    for (const SourceEntry &e : parsed.entries)
        sync.take(SourceEntry(e));
    return sync.finish(parsed);
}

QByteArray countsText(const QString &source, const ImportCounts &c, bool sync)
{
    QByteArray text = source.toUtf8() + ": added " + QByteArray::number(c.added) + ", skipped " +
                      QByteArray::number(c.skipped) + ", duplicate " +
                      QByteArray::number(c.duplicate);
    if (sync)
        text += ", updated " + QByteArray::number(c.updated) + ", vanished " +
                QByteArray::number(c.vanished) + ", returned " + QByteArray::number(c.returned);
    if (c.options > 0)
        text += ", player options skipped " + QByteArray::number(c.options);
    return text;
}

Result<ImportCounts> importSource(CatalogueStore &store, const QString &source,
                                  const SourceLimits &limits)
{
    return runSource(store, source, limits, false);
}

Result<ImportCounts> syncSource(CatalogueStore &store, const QString &source,
                                const SourceLimits &limits)
{
    return runSource(store, source, limits, true);
}

Result<GuideImport> importGuide(CatalogueStore &store, const QString &guide,
                                const SourceLimits &limits)
{
    auto ids = store.guideIds();
    if (!ids)
        return ids.error();
    std::unique_ptr<QTemporaryFile> downloaded;
    QFile local(guide);
    auto opened = openSource(guide, limits, local, downloaded);
    if (!opened)
        return opened.error();
    auto writer = store.beginGuide();
    if (!writer)
        return writer.error();
    const qint64 now = store.now();
    const QSet<QByteArray> &wanted = ids.value();
    const GuideFilter filter{now - kGuideBackSecs, now + kGuideAheadSecs,
                             [&wanted](const QByteArray &id) { return wanted.contains(id); }};
    GuideImport out;
    auto read = readXmltv(*opened.value(), filter, [&](Programme &&p) -> Result<void> {
        if (limits.cancel && limits.cancel->load())
            return Result<void>::failure(u"stopped"_s);
        return writer.value()->add(p);
    });
    if (!read) {
        writer.value()->abandon();
        return Result<GuideImport>::failure(u"%1: %2"_s.arg(guide, read.error().message));
    }
    out.read = read.value();
    auto stored = writer.value()->commit();
    if (!stored)
        return stored.error();
    out.stored = stored.value();
    return out;
}

QByteArray guideCountsText(const QString &guide, const GuideImport &g)
{
    return guide.toUtf8() + ": programmes " + QByteArray::number(g.stored) + ", out of window " +
           QByteArray::number(g.read.outOfWindow) + ", unknown channel " +
           QByteArray::number(g.read.unknownChannel) + ", bad " + QByteArray::number(g.read.bad);
}

bool runSources(CatalogueStore &store, const SourceRun &run, const SourceLimits &limits,
                const std::function<void(const QByteArray &)> &print,
                const std::function<void(const QString &)> &fail)
{
    bool ok = true;
    QStringList guides;
    for (const QString &source : run.sources) {
        auto counts =
            run.sync ? syncSource(store, source, limits) : importSource(store, source, limits);
        if (!counts) {
            fail(counts.error().message);
            ok = false;
            continue;
        }
        print(countsText(source, counts.value(), run.sync));
        // A source from the internet must not make the server read its local files.
        for (const QString &guide : std::as_const(counts.value().guides)) {
            if (!isAddress(guide))
                fail(u"%1: guide '%2' is no http or https address: skipped"_s.arg(source, guide));
            else if (!guides.contains(guide))
                guides.append(guide);
        }
    }
    for (const QString &guide : run.guides) {
        if (!guides.contains(guide))
            guides.append(guide);
    }
    for (const QString &guide : std::as_const(guides)) {
        auto imported = importGuide(store, guide, limits);
        if (!imported) {
            fail(imported.error().message);
            ok = false;
            continue;
        }
        print(guideCountsText(guide, imported.value()));
    }
    if (run.sync) {
        auto pruned = store.pruneProgrammes(store.now() - kGuideBackSecs);
        if (!pruned) {
            fail(pruned.error().message);
            ok = false;
        } else if (pruned.value() > 0) {
            print("programmes ended over 6 hours ago: removed " +
                  QByteArray::number(pruned.value()));
        }
    }
    return ok;
}

} // namespace mavrel::server
