#include "catalogue/catalogueview.h"

#include "catalogue/kinds.h"
#include "catalogue/linereader.h"
#include "catalogue/scramble.h"
#include "platform/bytetext.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// The fields of a line, one after the other, without splitting the whole line up front:
// most lines are of another kind and need only the first three.
class FieldCursor
{
public:
    explicit FieldCursor(QByteArrayView line) : m_pos(line.data()), m_end(line.data() + line.size())
    {}

    bool next(QByteArrayView *field)
    {
        if (m_done)
            return false;
        const auto *bar = static_cast<const char *>(std::memchr(m_pos, '|', size_t(m_end - m_pos)));
        if (!bar) {
            *field = QByteArrayView(m_pos, m_end - m_pos);
            m_done = true;
            return true;
        }
        *field = QByteArrayView(m_pos, bar - m_pos);
        m_pos = bar + 1;
        return true;
    }

private:
    const char *m_pos;
    const char *m_end;
    bool m_done = false;
};

bool isAscii(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080u)
            return false;
    }
    for (; p < end; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80)
            return false;
    }
    return true;
}

// displayText with the common all-ASCII case decided here, word by word.
QString textOf(QByteArrayView bytes)
{
    return isAscii(bytes) ? QString::fromLatin1(bytes) : displayText(bytes);
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

// A catalogue repeats most values of lang, rating and favourites. Rows share the bytes and
// texts of a value met before instead of allocating and decoding them again, which keeps a big
// list both quicker to build and smaller.
class SharedValues
{
public:
    struct Value
    {
        QByteArray bytes;
        QString text;
    };

    template<typename Decode> Value get(QByteArrayView bytes, Decode &&decode)
    {
        const std::string_view key = asStringView(bytes);
        if (const auto it = m_values.find(key); it != m_values.end())
            return it->second;
        Value value{bytes.toByteArray(), decode(bytes)};
        // A field whose values hardly repeat would only fill the map: stop remembering.
        if (m_values.size() < kMaxRemembered)
            m_values.emplace(std::string(key), value);
        return value;
    }

private:
    static constexpr std::size_t kMaxRemembered = 8192;
    std::unordered_map<std::string, Value, StringViewHash, std::equal_to<>> m_values;
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

    bool matches(QByteArrayView lang) const
    {
        if (m_ascii && isAscii(lang))
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
    void addNamesOf(QByteArrayView lang)
    {
        if (isAscii(lang)) {
            forEachName(lang, '/', [this](QByteArrayView name) {
                // The same few names come back on nearly every line: remember the exact bytes
                // of names already collected and skip folding and hashing them again.
                uint32_t hash = 2166136261u;
                for (char c : name)
                    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
                std::string &recent = m_recent[hash % m_recent.size()];
                if (asStringView(name) == recent)
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
            const qsizetype slash = lang.indexOf(slashChar, start);
            const View name = lang.sliced(start, (slash < 0 ? lang.size() : slash) - start);
            if (!name.isEmpty())
                add(name);
            if (slash < 0)
                return;
            start = slash + 1;
        }
    }

    std::unordered_set<std::string, StringViewHash, std::equal_to<>> m_folded;
    std::string m_key;
    std::array<std::string, 128> m_recent;
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

CatalogueLoad loadChannelList(const QString &catalogueFile, CatalogueViewState &state,
                              const MessageLookup &messages)
{
    if (state.currentKind.isEmpty())
        state.currentKind = kKindTV;
    if (state.currentLang.isEmpty())
        state.currentLang = u"All"_s;

    CatalogueLoad load;
    const auto fail = [&]() -> CatalogueLoad & {
        load.errorMessage = notFoundMessage(messages);
        return load;
    };

    QFile file(catalogueFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::move(fail());

    const QString &kindText = state.currentKind;
    const QByteArray kindBytes = kindText.toUtf8();
    const bool showAll = state.currentLang == u"All"_s;
    const LangFilter langFilter(state.currentLang);
    const bool collect = state.rebuildLangList;

    SharedValues langs;
    SharedValues ratings;
    SharedValues favorites;
    // Most files show about a third of their lines; a guess that avoids most regrowth.
    load.rows.reserve(size_t(std::min<qint64>(file.size() / 256, 1 << 16)));
    NameCollector names;

    CatalogueLineReader reader(&file);
    QByteArrayView line;
    while (reader.readLine(&line)) {
        FieldCursor cursor(line);
        std::array<QByteArrayView, ChannelRecord::kFieldCount> f;
        int count = 0;
        while (count < 3 && cursor.next(&f[count]))
            ++count;
        if (count == 1)
            continue; // no "|": not a channel
        ++load.total;
        if (count < 3)
            return std::move(fail());

        // Exact comparison of the displayed kind; only a non-ASCII field needs decoding.
        QByteArray recordKind;
        if (f[2] == QByteArrayView(kindBytes))
            recordKind = kindBytes;
        else if (!isAscii(f[2]) && displayText(f[2]) == kindText)
            recordKind = f[2].toByteArray();
        else
            continue;

        while (count < 5 && cursor.next(&f[count]))
            ++count;
        if (count < 5)
            return std::move(fail());

        const QByteArrayView lang = f[4];
        if (collect)
            names.addNamesOf(lang);
        if (!showAll && !langFilter.matches(lang))
            continue;

        while (count < ChannelRecord::kFieldCount && cursor.next(&f[count]))
            ++count;
        if (count < ChannelRecord::kFieldCount)
            return std::move(fail());
        auto url = decryptString(f[3]);
        if (!url)
            return std::move(fail());

        auto langForm = langs.get(lang, textOf);
        auto rating = ratings.get(
            f[8], [](QByteArrayView bytes) { return formatRating(displayText(bytes)); });
        auto favs = favorites.get(f[7], [](QByteArrayView bytes) {
            if (!isAscii(bytes))
                return padFavorites(displayText(bytes));
            // The usual digits: padded in place, one allocation.
            const qsizetype pad = std::max<qsizetype>(6 - bytes.size(), 0);
            QString text(pad + bytes.size(), u'0');
            QChar *out = text.data() + pad;
            for (char c : bytes)
                *out++ = QLatin1Char(c);
            return text;
        });

        ChannelRow &row = load.rows.emplace_back();
        row.record.id = f[0].toByteArray();
        row.record.name = f[1].toByteArray();
        row.record.kind = std::move(recordKind);
        row.record.url = std::move(url).value();
        row.record.lang = std::move(langForm.bytes);
        row.record.spare1 = f[5].toByteArray();
        row.record.spare2 = f[6].toByteArray();
        row.record.favorites = std::move(favs.bytes);
        row.record.rating = std::move(rating.bytes);
        row.name = textOf(row.record.name);
        row.kind = kindText;
        row.lang = std::move(langForm.text);
        row.rating = std::move(rating.text);
        row.favorites = std::move(favs.text);
        ++load.shown;
    }
    if (reader.failed())
        return std::move(fail());

    if (collect) {
        QStringList sorted = names.takeNames();
        sortNames(sorted);
        if (names.containsIgnoringCase(state.currentLang))
            load.comboText = state.currentLang;
        state.rebuildLangList = false;
        state.langCount = int(sorted.size());
        load.languages = std::move(sorted);
    }

    const auto message = [&](const QString &key) { return messages ? messages(key) : QString(); };
    load.statusLine = message(u"MSG_STATUS1"_s) + QString::number(load.total) +
                      message(u"MSG_STATUS2"_s) + QString::number(load.shown) +
                      message(u"MSG_STATUS3"_s) + QString::number(state.langCount) +
                      message(u"MSG_STATUS4"_s);
    return load;
}

QString ChannelRow::urlText() const
{
    return textOf(record.url);
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
