#include "catalogue/catalogueview.h"

#include "catalogue/linereader.h"
#include "catalogue/scramble.h"
#include "platform/bytetext.h"

#include <QFile>
#include <QSet>

#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

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

// A catalogue holds few distinct values of lang, rating and favourites; each is decoded once
// per load and its bytes and texts are shared by every row that carries it.
template<typename Entry> class ValueCache
{
public:
    template<typename Make> const Entry &get(QByteArrayView bytes, Make &&make)
    {
        const auto it = m_entries.find(asStringView(bytes));
        if (it != m_entries.end())
            return it->second;
        return m_entries.emplace(std::string(asStringView(bytes)), make(bytes)).first->second;
    }

private:
    std::unordered_map<std::string, Entry, StringViewHash, std::equal_to<>> m_entries;
};

struct LangEntry
{
    QByteArray bytes;
    QString text;
    bool shown = false;
};

struct FormEntry
{
    QByteArray bytes;
    QString text;
};

// Collects language names without regard to letter case, keeping the form met first.
class NameCollector
{
public:
    void addNamesOf(const QString &lang)
    {
        if (!lang.contains(u'/')) {
            add(lang);
            return;
        }
        for (const QStringView name : QStringView(lang).split(u'/'))
            add(name.toString());
    }

    bool containsIgnoringCase(const QString &name) const
    {
        return m_folded.contains(name.toCaseFolded());
    }
    QStringList takeNames() { return std::move(m_names); }

private:
    void add(const QString &name)
    {
        if (name.isEmpty())
            return;
        QString folded = name.toCaseFolded();
        if (m_folded.contains(folded))
            return;
        m_folded.insert(std::move(folded));
        m_names.append(name);
    }

    QSet<QString> m_folded;
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
        state.currentKind = u"TV"_s;
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
    const QString &langFilter = state.currentLang;
    const bool collect = state.rebuildLangList;

    ValueCache<LangEntry> langs;
    ValueCache<FormEntry> ratings;
    ValueCache<FormEntry> favorites;
    NameCollector names;

    CatalogueLineReader reader(&file);
    QByteArrayView line;
    while (reader.readLine(&line)) {
        if (!line.contains('|'))
            continue;
        ++load.total;

        FieldCursor cursor(line);
        std::array<QByteArrayView, ChannelRecord::kFieldCount> f;
        int count = 0;
        while (count < 3 && cursor.next(&f[count]))
            ++count;
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

        const LangEntry &lang = langs.get(f[4], [&](QByteArrayView bytes) {
            LangEntry entry{bytes.toByteArray(), displayText(bytes), showAll};
            if (!showAll)
                entry.shown = entry.text.contains(langFilter, Qt::CaseInsensitive);
            if (collect)
                names.addNamesOf(entry.text);
            return entry;
        });
        if (!lang.shown)
            continue;

        while (count < ChannelRecord::kFieldCount && cursor.next(&f[count]))
            ++count;
        if (count < ChannelRecord::kFieldCount)
            return std::move(fail());
        auto url = decryptString(f[3]);
        if (!url)
            return std::move(fail());

        const auto makeForm = [](QString (*format)(const QString &)) {
            return [format](QByteArrayView bytes) {
                return FormEntry{bytes.toByteArray(), format(displayText(bytes))};
            };
        };
        const FormEntry &rating = ratings.get(f[8], makeForm(&formatRating));
        const FormEntry &favs = favorites.get(f[7], makeForm(&padFavorites));

        ChannelRow &row = load.rows.emplace_back();
        row.record.id = f[0].toByteArray();
        row.record.name = f[1].toByteArray();
        row.record.kind = std::move(recordKind);
        row.record.url = std::move(url).value();
        row.record.lang = lang.bytes;
        row.record.spare1 = f[5].toByteArray();
        row.record.spare2 = f[6].toByteArray();
        row.record.favorites = favs.bytes;
        row.record.rating = rating.bytes;
        row.name = displayText(row.record.name);
        row.kind = kindText;
        row.lang = lang.text;
        row.rating = rating.text;
        row.favorites = favs.text;
        row.url = displayText(row.record.url);
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
    // Character codes, letter case counting: capitals before small letters.
    const auto before = [descending](const QString &a, const QString &b) {
        const int c = QString::compare(a, b, Qt::CaseSensitive);
        return descending ? c > 0 : c < 0;
    };

    // The larger part waits on the stack while the smaller one is sorted, so the stack never
    // holds more than log2(size) ranges.
    struct Range
    {
        qsizetype first;
        qsizetype last;
    };
    std::array<Range, 32> stack;
    int depth = 0;
    qsizetype first = 0;
    qsizetype last = lastIndex;
    for (;;) {
        while (first < last) {
            const QString pivot = names.at(last);
            qsizetype i = first - 1;
            qsizetype j = last;
            for (;;) {
                while (before(names.at(++i), pivot)) {
                }
                while (before(pivot, names.at(--j))) {
                    if (j == first)
                        break;
                }
                if (i >= j)
                    break;
                names.swapItemsAt(i, j);
            }
            names.swapItemsAt(i, last);
            if (i - first < last - i) {
                stack[depth++] = {i + 1, last};
                last = i - 1;
            } else {
                stack[depth++] = {first, i - 1};
                first = i + 1;
            }
        }
        if (depth == 0)
            return;
        --depth;
        first = stack[depth].first;
        last = stack[depth].last;
    }
}

} // namespace mavrel
