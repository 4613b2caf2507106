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

Result<ParsedSource> readSource(const QString &source, const SourceLimits &limits,
                                const EntrySink &sink)
{
    std::unique_ptr<QTemporaryFile> downloaded;
    QFile local(source);
    QIODevice *in = &local;
    if (isAddress(source)) {
        auto fetched = fetchToFile(source, limits.fetch, limits.cancel);
        if (!fetched)
            return fetched.error();
        downloaded = std::move(fetched).value();
        in = downloaded.get();
    } else if (!local.open(QIODevice::ReadOnly)) {
        return Result<ParsedSource>::failure(
            u"cannot read %1: %2"_s.arg(source, local.errorString()));
    }
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

} // namespace mavrel::server
