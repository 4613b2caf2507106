#include "catalogue/catalogueview.h"

#include "catalogue/kinds.h"
#include "catalogue/scramble.h"
#include "platform/bytetext.h"

#include <QFile>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_set>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// Finds the next "|" or CR sixteen bytes at a time. The buffer must hold 16 readable bytes past
// the limit; what lies beyond the limit is never reported.
class DelimiterScanner
{
public:
    explicit DelimiterScanner(const char *limit) : m_limit(limit) {}

    void seek(const char *p)
    {
        m_block = p;
        m_mask = maskAt(p);
    }

    // Null when no delimiter is left before the limit.
    const char *next()
    {
        while (m_mask == 0) {
            m_block += 16;
            if (m_block >= m_limit)
                return nullptr;
            m_mask = maskAt(m_block);
        }
        const char *found = m_block + std::countr_zero(m_mask);
        m_mask &= m_mask - 1;
        return found < m_limit ? found : nullptr;
    }

private:
    static unsigned maskAt(const char *p)
    {
#if defined(__SSE2__)
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        return unsigned(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('|')),
                                           _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')))));
#else
        unsigned mask = 0;
        for (int i = 0; i < 16; ++i) {
            if (p[i] == '|' || p[i] == '\r')
                mask |= 1u << i;
        }
        return mask;
#endif
    }

    const char *m_block = nullptr;
    const char *m_limit;
    unsigned m_mask = 0;
};

bool isAscii(QByteArrayView bytes)
{
    // Fields are short: a loop the compiler keeps inline beats a call.
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

std::string_view asStringView(QByteArrayView bytes)
{
    return std::string_view(bytes.data(), size_t(bytes.size()));
}

struct StringViewHash
{
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// "Contains, ignoring letter case" on the decoded field. For ASCII on both sides Unicode case
// folding is plain ASCII folding, so the bytes can be searched without decoding them.
class LangFilter
{
public:
    explicit LangFilter(const QString &filter) : m_filter(filter)
    {
        m_ascii = true;
        for (QChar c : filter)
            m_ascii = m_ascii && c.unicode() < 0x80;
        if (m_ascii) {
            for (QChar c : filter)
                m_lowered.push_back(asciiLower(char(c.unicode())));
        }
    }

    // asciiLang: whether lang is all ASCII, which the caller knows already.
    bool matches(QByteArrayView lang, bool asciiLang) const
    {
        if (m_ascii && asciiLang)
            return containsAscii(lang);
        return displayText(lang).contains(m_filter, Qt::CaseInsensitive);
    }

private:
    bool containsAscii(QByteArrayView lang) const
    {
        const qsizetype n = qsizetype(m_lowered.size());
        if (n == 0)
            return true;
        const char first = m_lowered[0];
        const char firstUpper = (first >= 'a' && first <= 'z') ? char(first - ('a' - 'A')) : first;
        for (qsizetype i = 0; i + n <= lang.size(); ++i) {
            if (lang[i] != first && lang[i] != firstUpper)
                continue;
            qsizetype k = 1;
            while (k < n && asciiLower(lang[i + k]) == m_lowered[size_t(k)])
                ++k;
            if (k == n)
                return true;
        }
        return false;
    }

    QString m_filter;
    std::string m_lowered;
    bool m_ascii = false;
};

// Collects language names without regard to letter case, keeping the form met first. Names
// are keyed by the UTF-8 of their case folding, which for ASCII is the lowered bytes, so the
// usual ASCII field is handled without decoding it.
class NameCollector
{
public:
    void addNamesOf(QByteArrayView lang, bool asciiLang)
    {
        if (asciiLang) {
            forEachName(lang, '/', [this](QByteArrayView name) {
                // The same few names come back on nearly every line: remember the exact bytes
                // of names already collected and skip folding and hashing them again.
                std::string &recent = m_recent[quickHash(name) % m_recent.size()];
                if (sameBytes(name, recent))
                    return;
                recent.assign(name.data(), size_t(name.size()));
                m_key.assign(name.data(), size_t(name.size()));
                for (char &c : m_key)
                    c = asciiLower(c);
                if (m_folded.find(std::string_view(m_key)) == m_folded.end()) {
                    m_folded.insert(m_key);
                    m_names.append(QString::fromLatin1(name));
                }
            });
            return;
        }
        const QString text = displayText(lang);
        forEachName(QStringView(text), u'/', [this](QStringView name) {
            const QByteArray key = name.toString().toCaseFolded().toUtf8();
            if (m_folded.find(asStringView(key)) == m_folded.end()) {
                m_folded.insert(std::string(asStringView(key)));
                m_names.append(name.toString());
            }
        });
    }

    bool containsIgnoringCase(const QString &name) const
    {
        return m_folded.find(asStringView(name.toCaseFolded().toUtf8())) != m_folded.end();
    }

    QStringList takeNames() { return std::move(m_names); }

private:
    // A field without "/" is one name; otherwise every part is. Empty names are not names.
    template<typename View, typename Char, typename Add>
    static void forEachName(View lang, Char slashChar, Add &&add)
    {
        qsizetype start = 0;
        for (;;) {
            // Names are short: a plain loop rather than a search call.
            qsizetype slash = start;
            while (slash < lang.size() && lang[slash] != slashChar)
                ++slash;
            if (slash == lang.size())
                slash = -1;
            const View name = lang.sliced(start, (slash < 0 ? lang.size() : slash) - start);
            if (!name.isEmpty())
                add(name);
            if (slash < 0)
                return;
            start = slash + 1;
        }
    }

    static bool sameBytes(QByteArrayView name, const std::string &recent)
    {
        if (std::size_t(name.size()) != recent.size())
            return false;
        for (std::size_t i = 0; i < recent.size(); ++i) {
            if (name[qsizetype(i)] != recent[i])
                return false;
        }
        return true;
    }

    // From the first and last eight bytes: enough to spread the few names a catalogue repeats.
    static std::size_t quickHash(QByteArrayView name)
    {
        quint64 head = 0;
        quint64 tail = 0;
        const std::size_t n = std::size_t(name.size());
        if (n >= 8) {
            std::memcpy(&head, name.data(), 8);
            std::memcpy(&tail, name.data() + n - 8, 8);
        } else {
            std::memcpy(&head, name.data(), n);
        }
        const quint64 mixed = (head * 0x9E3779B97F4A7C15u) ^ (tail * 0xC2B2AE3D27D4EB4Fu) ^ n;
        return std::size_t(mixed >> 32);
    }

    std::unordered_set<std::string, StringViewHash, std::equal_to<>> m_folded;
    std::string m_key;
    std::array<std::string, 512> m_recent;
    QStringList m_names;
};

QString notFoundMessage(const MessageLookup &messages)
{
    QString text = messages ? messages(u"MSG_NOTFOUND"_s) : QString();
    if (text.isEmpty())
        text = u"TV Channel file was not found.  No channels could be loaded.  Please reinstall or "
               u"repair this program."_s;
    return text;
}

} // namespace

namespace {

// Reading ahead of the scan in blocks keeps the bytes being split in the cache.
constexpr qsizetype kReadBlock = qsizetype(1) << 20;
constexpr qsizetype kScanSlack = 64; // DelimiterScanner reads past its limit

// The filter of one load, applied line by line as the catalogue is read.
class LineFilter
{
public:
    LineFilter(const CatalogueViewState &state, CatalogueLoad &load, ChannelRows &rows,
               NameCollector &names)
        : m_kindText(state.currentKind), m_kindBytes(state.currentKind.toUtf8()),
          m_showAll(state.currentLang == u"All"_s), m_langFilter(state.currentLang),
          m_collect(state.rebuildLangList), m_load(load), m_rows(rows), m_names(names)
    {}

    // Takes the whole lines in [from, limit) of data (a line there ends at a CR, or at the limit
    // when the file ends there) and returns where the next line starts; filled is where the data
    // read so far ends. False when a line is damaged.
    bool take(const char *data, qsizetype *from, qsizetype limit, qsizetype filled)
    {
        const char *const limitPtr = data + limit;
        DelimiterScanner scanner(limitPtr);
        qsizetype start = *from;
        if (start < limit)
            scanner.seek(data + start);
        while (start < limit) {
            const char *const line = data + start;
            std::array<quint32, ChannelRecord::kFieldCount> ends{};
            int bars = 0;
            const char *lineEnd = nullptr;
            // Most lines are of another kind: their first three fields decide.
            while (bars < 3) {
                const char *d = scanner.next();
                if (!d || *d == '\r') {
                    lineEnd = d ? d : limitPtr;
                    break;
                }
                ends[std::size_t(bars++)] = quint32(d - line);
            }
            if (lineEnd && bars < ChannelRecord::kFieldCount)
                ends[std::size_t(bars)] = quint32(lineEnd - line);

            bool keep = false;
            bool skipped = false; // the line's end was found past the scanner
            if (lineEnd && bars == 0) {
                // no "|": not a channel
            } else {
                ++m_load.total;
                if (bars < 2)
                    return false;
                const QByteArrayView kindField(line + ends[1] + 1,
                                               qsizetype(ends[2] - ends[1] - 1));
                if (isShownKind(kindField)) {
                    if (!lineEnd) {
                        while (const char *d = scanner.next()) {
                            if (*d == '\r') {
                                lineEnd = d;
                                break;
                            }
                            if (bars < ChannelRecord::kFieldCount)
                                ends[std::size_t(bars)] = quint32(d - line);
                            ++bars;
                        }
                        if (!lineEnd)
                            lineEnd = limitPtr;
                        if (bars < ChannelRecord::kFieldCount)
                            ends[std::size_t(bars)] = quint32(lineEnd - line);
                    }
                    if (bars < 4)
                        return false;
                    const QByteArrayView lang(line + ends[3] + 1, qsizetype(ends[4] - ends[3] - 1));
                    const bool asciiLang = isAscii(lang);
                    if (m_collect)
                        m_names.addNamesOf(lang, asciiLang);
                    if (m_showAll || m_langFilter.matches(lang, asciiLang)) {
                        if (bars < ChannelRecord::kFieldCount - 1 ||
                            ends[3] - ends[2] - 1 > quint32(kMaxScrambleLength))
                            return false;
                        keep = true;
                    }
                } else if (!lineEnd) {
                    const char *cr = static_cast<const char *>(
                        std::memchr(line + ends[2], '\r', size_t(limitPtr - (line + ends[2]))));
                    lineEnd = cr ? cr : limitPtr;
                    skipped = true;
                }
            }
            if (keep) {
                m_rows.append(start, ends);
                ++m_load.shown;
            }
            start = lineEnd - data + 1;
            if (start < filled && data[start] == '\n')
                ++start;
            if (skipped && start < limit)
                scanner.seek(data + start);
        }
        *from = std::min(start, filled);
        return true;
    }

private:
    // Exact comparison of the displayed kind; only a non-ASCII field needs decoding.
    bool isShownKind(QByteArrayView kind) const
    {
        if (kind.size() == m_kindBytes.size() &&
            std::memcmp(kind.data(), m_kindBytes.constData(), std::size_t(kind.size())) == 0)
            return true;
        return !isAscii(kind) && displayText(kind) == m_kindText;
    }

    const QString &m_kindText;
    const QByteArray m_kindBytes;
    const bool m_showAll;
    const LangFilter m_langFilter;
    const bool m_collect;
    CatalogueLoad &m_load;
    ChannelRows &m_rows;
    NameCollector &m_names;
};

// Reads the file into one buffer, handing each block's whole lines to the filter as it arrives.
bool readAndFilter(QFile &file, LineFilter &filter, QByteArray &buffer)
{
    qsizetype filled = 0;
    qsizetype parsed = 0;
    // One byte more than the file holds, so the read that meets its end needs no more room.
    buffer =
        QByteArray(qsizetype(std::max<qint64>(file.size(), 0)) + 1 + kScanSlack, Qt::Uninitialized);
    for (;;) {
        if (buffer.size() - kScanSlack - filled == 0) // the file grew while it was read
            buffer.resize(std::max(buffer.size() * 2, filled + kReadBlock + kScanSlack));
        const qint64 n = file.read(buffer.data() + filled,
                                   std::min(kReadBlock, buffer.size() - kScanSlack - filled));
        if (n < 0) {
            buffer.resize(filled);
            return false;
        }
        const bool atEnd = n == 0;
        filled += qsizetype(n);
        // Rows keep the positions of their fields in 32 bits.
        if (filled > qsizetype(std::numeric_limits<quint32>::max())) {
            buffer.resize(filled);
            return false;
        }
        qsizetype limit = filled;
        if (!atEnd) {
            // Whether an LF follows a CR is known only with the byte after it.
            const void *cr = filled - 1 > parsed ? memrchr(buffer.constData() + parsed, '\r',
                                                           size_t(filled - 1 - parsed))
                                                 : nullptr;
            if (!cr)
                continue;
            limit = static_cast<const char *>(cr) - buffer.constData() + 1;
        }
        if (!filter.take(buffer.constData(), &parsed, limit, filled)) {
            buffer.resize(filled);
            return false;
        }
        if (atEnd) {
            buffer.resize(filled);
            return true;
        }
    }
}

} // namespace

Result<CatalogueLoad> loadChannelList(const QString &catalogueFile, CatalogueViewState &state,
                                      const MessageLookup &messages, ChannelRows &rows)
{
    if (state.currentKind.isEmpty())
        state.currentKind = kKindTV;
    if (state.currentLang.isEmpty())
        state.currentLang = u"All"_s;

    CatalogueLoad load;
    rows = {};
    QFile file(catalogueFile);
    NameCollector names;
    LineFilter filter(state, load, rows, names);
    QByteArray buffer;
    const bool read = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) &&
                      readAndFilter(file, filter, buffer);
    file.close();
    // Rows read before a failure stay.
    rows.setBuffer(std::move(buffer));
    rows.compact();
    if (!read)
        return Result<CatalogueLoad>::failure(notFoundMessage(messages));

    if (state.rebuildLangList) {
        QStringList sorted = names.takeNames();
        sortNames(sorted);
        if (names.containsIgnoringCase(state.currentLang))
            load.comboText = state.currentLang;
        state.rebuildLangList = false;
        state.langCount = int(sorted.size());
        load.languages = std::move(sorted);
    }

    load.statusLine = catalogueStatusLine(messages, load.total, load.shown, state.langCount);
    return load;
}

QString catalogueStatusLine(const MessageLookup &messages, int total, int shown, int langCount)
{
    const auto message = [&](const QString &key) { return messages ? messages(key) : QString(); };
    return message(u"MSG_STATUS1"_s) + QString::number(total) + message(u"MSG_STATUS2"_s) +
           QString::number(shown) + message(u"MSG_STATUS3"_s) + QString::number(langCount) +
           message(u"MSG_STATUS4"_s);
}

QString formatRating(const QString &text)
{
    if (text.isEmpty())
        return u"1.0"_s;
    QString form = text;
    if (form.size() == 1)
        form += u".0"_s;
    else if (form.size() == 2)
        form += u'0';
    else if (form.size() > 3)
        form.truncate(3);
    if (!form.contains(u'.'))
        return form.left(1) + u".0"_s;
    return form;
}

QString padFavorites(const QString &text)
{
    return text.rightJustified(6, u'0');
}

void sortNames(QStringList &names, qsizetype lastIndex, bool descending)
{
    if (lastIndex < 0 || lastIndex >= names.size())
        lastIndex = names.size() - 1;
    if (lastIndex < 1)
        return;
    // Texts that compare equal by character codes are identical, so any correct sort gives the
    // one result; an introsort keeps names that arrive in order at n log n.
    const auto first = names.begin();
    const auto last = first + lastIndex + 1;
    if (descending)
        std::sort(first, last, [](const QString &a, const QString &b) {
            return QString::compare(a, b, Qt::CaseSensitive) > 0;
        });
    else
        std::sort(first, last, [](const QString &a, const QString &b) {
            return QString::compare(a, b, Qt::CaseSensitive) < 0;
        });
}

} // namespace mavrel
