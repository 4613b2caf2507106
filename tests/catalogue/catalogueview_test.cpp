#include "catalogue/catalogueview.h"
#include "loadedlist.h"

#include "catalogue/cataloguelinereader.h"
#include "catalogue/channelrecord.h"
#include "catalogue/kinds.h"
#include "catalogue/scramble.h"
#include "platform/bytetext.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

const QHash<QString, QString> kMessages = {
    {u"MSG_STATUS1"_s, u"Total: "_s},
    {u"MSG_STATUS2"_s, u", shown: "_s},
    {u"MSG_STATUS3"_s, u", types: "_s},
    {u"MSG_STATUS4"_s, u"."_s},
    {u"MSG_NOTFOUND"_s, u"Catalogue missing."_s},
};

QString message(const QString &key)
{
    return kMessages.value(key);
}

QByteArray line(const QByteArray &name, const QByteArray &kind, const QByteArray &lang,
                const QByteArray &favorites = "0", const QByteArray &rating = "3")
{
    return "1|" + name + '|' + kind + '|' + encryptString("http://s/" + name).value() + '|' + lang +
           "|||" + favorites + '|' + rating + "|\r\n";
}

class CatalogueViewTest : public testing::Test
{
protected:
    QString write(const QByteArray &data)
    {
        const QString path = m_dir.filePath(u"Data.txt"_s);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
        return path;
    }

    LoadedList load(const QByteArray &data, CatalogueViewState &state)
    {
        return loadList(write(data), state, message);
    }

    static QStringList names(const LoadedList &result)
    {
        QStringList out;
        for (const ChannelRow &row : result.rows)
            out.append(row.name);
        return out;
    }

    QTemporaryDir m_dir;
};

const QByteArray kCatalogue = "heading without bars\r\n" + line("One", "TV", "English") +
                              line("Two", "TV", "English/Spanish") +
                              line("Radio1", "Radio", "German") + line("Lower", "tv", "English") +
                              line("Three", "TV", "spanish/French") + "\r\n";

TEST_F(CatalogueViewTest, FiltersByKindAndLanguage)
{
    const struct
    {
        const char *name;
        QString kind;
        QString lang;
        QStringList shown;
    } cases[] = {
        {"All shows every line of the kind", u"TV"_s, u"All"_s, {u"One"_s, u"Two"_s, u"Three"_s}},
        {"kind compared with case", u"tv"_s, u"All"_s, {u"Lower"_s}},
        {"language is a substring ignoring case", u"TV"_s, u"span"_s, {u"Two"_s, u"Three"_s}},
        {"all in small letters is a substring", u"TV"_s, u"all"_s, {}},
        {"empty state is TV and All", QString(), QString(), {u"One"_s, u"Two"_s, u"Three"_s}},
        {"kind without lines", u"Video"_s, u"All"_s, {}},
        {"no line has the video-site kind", u"YOUTUBE"_s, u"All"_s, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CatalogueViewState state{c.kind, c.lang, false, 4};
        const LoadedList result = load(kCatalogue, state);
        ASSERT_FALSE(result.failed());
        EXPECT_EQ(names(result), c.shown);
        EXPECT_EQ(result.total, 5); // every line with a bar, whatever its kind
        EXPECT_EQ(result.shown, c.shown.size());
        EXPECT_FALSE(result.languages.has_value());
        EXPECT_EQ(state.langCount, 4);
        EXPECT_EQ(result.statusLine, u"Total: 5, shown: %1, types: 4."_s.arg(c.shown.size()));
    }
}

TEST_F(CatalogueViewTest, RebuildsTheLanguageList)
{
    const struct
    {
        const char *name;
        QByteArray data;
        QString kind;
        QString lang;
        QStringList languages;
        QString comboText;
        int shown;
    } cases[] = {
        {"first form kept, sorted",
         kCatalogue,
         u"TV"_s,
         u"All"_s,
         {u"English"_s, u"French"_s, u"Spanish"_s},
         QString(),
         3},
        {"remembered language is listed",
         kCatalogue,
         u"TV"_s,
         u"english"_s,
         {u"English"_s, u"French"_s, u"Spanish"_s},
         u"english"_s,
         2},
        {"remembered language not carried",
         kCatalogue,
         u"Radio"_s,
         u"English"_s,
         {u"German"_s},
         QString(),
         0},
        {"empty names and empty lang",
         line("A", "TV", "English//French") + line("B", "TV", ""),
         u"TV"_s,
         u"All"_s,
         {u"English"_s, u"French"_s},
         QString(),
         2},
        {"kind without lines", kCatalogue, u"Video"_s, u"All"_s, {}, QString(), 0},
        {"capitals sort first",
         line("A", "TV", "beta/Zulu/alpha/Alpha"),
         u"TV"_s,
         u"All"_s,
         {u"Zulu"_s, u"alpha"_s, u"beta"_s},
         QString(),
         1},
        {"non-ASCII names folded",
         line("A", "TV",
              "Fran\xc3\xa7"
              "ais") +
             line("B", "TV",
                  "FRAN\xc3\x87"
                  "AIS/Deutsch") +
             line("C", "TV",
                  "fran\xe7"
                  "ais"),
         u"TV"_s,
         u"fran\u00e7ais"_s,
         {u"Deutsch"_s, u"Fran\u00e7ais"_s},
         u"fran\u00e7ais"_s,
         3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CatalogueViewState state{c.kind, c.lang, true, 99};
        const LoadedList result = load(c.data, state);
        ASSERT_FALSE(result.failed());
        ASSERT_TRUE(result.languages.has_value());
        EXPECT_EQ(*result.languages, c.languages);
        EXPECT_EQ(result.comboText, c.comboText);
        EXPECT_EQ(result.shown, c.shown);
        EXPECT_FALSE(state.rebuildLangList);
        EXPECT_EQ(state.langCount, c.languages.size());
        EXPECT_TRUE(result.statusLine.endsWith(u", types: %1."_s.arg(c.languages.size())));
    }
}

TEST_F(CatalogueViewTest, RowsCarryTheRecordAndItsDisplayForms)
{
    const QByteArray data = "42|Caf\xe9 24|TV|" + encryptString("http://x/\xc3\xa9").value() +
                            "|English/Spanish|sp1|sp2|7|4.25|\r\n" +
                            line("Empty", "TV", "English", "0", "") +
                            line("Big", "TV", "English", "1234567", "45");
    CatalogueViewState state{u"TV"_s, u"All"_s, false, 0};
    const LoadedList result = load(data, state);
    ASSERT_EQ(result.rows.size(), 3u);
    const ChannelRow &row = result.rows[0];
    EXPECT_EQ(row.record, (ChannelRecord{"42", "Caf\xe9 24", "TV", "http://x/\xc3\xa9",
                                         "English/Spanish", "sp1", "sp2", "7", "4.25"}));
    EXPECT_EQ(row.name, u"Caf\u00e9 24"_s); // not UTF-8: Windows-1252
    EXPECT_EQ(row.kind, u"TV"_s);
    EXPECT_EQ(row.lang, u"English/Spanish"_s);
    EXPECT_EQ(row.rating, u"4.2"_s);
    EXPECT_EQ(row.favorites, u"000007"_s);
    EXPECT_EQ(row.urlText(), u"http://x/\u00e9"_s);
    EXPECT_EQ(result.rows[1].rating, u"1.0"_s);
    EXPECT_EQ(result.rows[1].favorites, u"000000"_s);
    EXPECT_EQ(result.rows[2].rating, u"4.0"_s);
    EXPECT_EQ(result.rows[2].favorites, u"1234567"_s);
}

TEST_F(CatalogueViewTest, DamagedOrMissingCatalogueEndsTheLoad)
{
    const QByteArray good = line("Good", "TV", "English");
    const QByteArray longUrl = "1|Long|TV|" + QByteArray(40000, 'x') + "|English|||0|1|\r\n";
    const struct
    {
        const char *name;
        QByteArray data;
        QString lang;
        bool fails;
        QStringList rows; // kept up to the failure
    } cases[] = {
        {"two fields", good + "a|b\r\n" + good, u"All"_s, true, {u"Good"_s}},
        {"four fields of the kind", good + "1|n|TV|u\r\n", u"All"_s, true, {u"Good"_s}},
        {"four fields of another kind", good + "1|n|Radio|u\r\n", u"All"_s, false, {u"Good"_s}},
        {"eight fields shown", good + "1|n|TV|u|English|||0\r\n", u"All"_s, true, {u"Good"_s}},
        {"eight fields not shown", good + "1|n|TV|u|German|||0\r\n", u"Eng"_s, false, {u"Good"_s}},
        {"address too long, shown", good + longUrl, u"All"_s, true, {u"Good"_s}},
        {"address too long, not shown", good + longUrl, u"French"_s, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CatalogueViewState state{u"TV"_s, c.lang, true, 5};
        const LoadedList result = load(c.data, state);
        EXPECT_EQ(result.failed(), c.fails);
        EXPECT_EQ(names(result), c.rows);
        if (c.fails) {
            EXPECT_EQ(result.errorMessage, u"Catalogue missing."_s);
            EXPECT_TRUE(result.statusLine.isEmpty());
            EXPECT_FALSE(result.languages.has_value());
            EXPECT_TRUE(state.rebuildLangList); // the next load still rebuilds
            EXPECT_EQ(state.langCount, 5);
        }
    }

    CatalogueViewState state{u"TV"_s, u"All"_s, true, 5};
    for (const QString &path : {m_dir.filePath(u"missing.txt"_s), m_dir.path()}) {
        SCOPED_TRACE(path.toStdString());
        const LoadedList result = loadList(path, state, message);
        EXPECT_TRUE(result.failed());
        EXPECT_TRUE(result.rows.empty());
        EXPECT_TRUE(state.rebuildLangList);
    }
    // Without a translation the message still says what happened.
    const LoadedList untranslated = loadList(m_dir.filePath(u"missing.txt"_s), state,
                                             [](const QString &) { return QString(); });
    EXPECT_TRUE(untranslated.failed());
    EXPECT_FALSE(untranslated.errorMessage.isEmpty());
}

TEST_F(CatalogueViewTest, OddBytesAreLoadedAsData)
{
    const QByteArray longName(100 * 1024, 'n');
    const QByteArray nulName("a\0b", 3);
    const struct
    {
        const char *name;
        QByteArray data;
        int total;
        QList<QByteArray> rowNames;
    } cases[] = {
        {"100 KB line",
         "1|" + longName + "|TV|" + encryptString("http://a").value() + "|English|" + longName +
             "||0|1|\r\n" + line("B", "TV", "x"),
         2,
         {longName, "B"}},
        {"NUL bytes", line(nulName, "TV", QByteArray("En\0glish", 8)), 1, {nulName}},
        {"invalid UTF-8", line("\xff\xfe\x80", "TV", "\xc3"), 1, {"\xff\xfe\x80"}},
        {"no final line break",
         line("A", "TV", "x") + line("B", "TV", "x").chopped(2),
         2,
         {"A", "B"}},
        {"only CR line ends",
         line("A", "TV", "x").replace("\r\n", "\r") + line("B", "TV", "x").replace("\r\n", "\r"),
         2,
         {"A", "B"}},
        // A lone LF does not end a line: both records are one line of 17 fields.
        {"only LF line ends",
         line("A", "TV", "x").replace("\r\n", "\n") + line("B", "TV", "x").replace("\r\n", "\n"),
         1,
         {"A"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CatalogueViewState state{u"TV"_s, u"All"_s, true, 0};
        const LoadedList result = load(c.data, state);
        ASSERT_FALSE(result.failed());
        EXPECT_EQ(result.total, c.total);
        QList<QByteArray> rowNames;
        for (const ChannelRow &row : result.rows)
            rowNames.append(row.record.name);
        EXPECT_EQ(rowNames, c.rowNames);
    }
}

// The straightforward reading of the rules, to hold the fast paths of the load against.
struct Reference
{
    QStringList shown;
    int total = 0;
    QStringList languages;
};

Reference referenceLoad(const QByteArray &data, const QString &kind, const QString &lang)
{
    Reference ref;
    QSet<QString> folded;
    for (const QByteArray &l : splitCatalogueLines(data)) {
        if (!l.contains('|'))
            continue;
        ++ref.total;
        const QList<QByteArrayView> f = splitFields(l);
        if (displayText(f[2]) != kind)
            continue;
        const QString langText = displayText(f[4]);
        if (lang == u"All"_s || langText.contains(lang, Qt::CaseInsensitive))
            ref.shown.append(displayText(f[1]));
        for (const QString &name : langText.split(u'/')) {
            if (!name.isEmpty() && !folded.contains(name.toCaseFolded())) {
                folded.insert(name.toCaseFolded());
                ref.languages.append(name);
            }
        }
    }
    std::sort(ref.languages.begin(), ref.languages.end());
    return ref;
}

TEST_F(CatalogueViewTest, AgreesWithTheStraightforwardRulesOnAGeneratedCatalogue)
{
    std::mt19937 rng(42);
    const QByteArray kinds[] = {"TV", "Radio", "tv", "T\xe9l\xe9", "T\xc3\xa9l\xc3\xa9"};
    const QByteArray langNames[] = {"English",
                                    "ENGLISH",
                                    "Fran\xc3\xa7"
                                    "ais",
                                    "FRAN\xc3\x87"
                                    "AIS",
                                    "fran\xe7"
                                    "ais",
                                    "Deutsch",
                                    "\xc3\x9f"
                                    "port",
                                    "Kids",
                                    "kids",
                                    "Music",
                                    "",
                                    "\xff"};
    QByteArray data;
    for (int i = 0; i < 3000; ++i) {
        QByteArrayList parts;
        for (int p = 0, n = 1 + int(rng() % 3); p < n; ++p)
            parts.append(langNames[rng() % std::size(langNames)]);
        data +=
            line("ch" + QByteArray::number(i), kinds[rng() % std::size(kinds)], parts.join('/'),
                 QByteArray::number(int(rng() % 300)), QByteArray::number(int(rng() % 50) / 10.0));
    }
    const QString filters[] = {u"All"_s,  u"english"_s,    u"FRAN\u00c7AIS"_s, u"s"_s,
                               u"ids/"_s, u"\u00dfport"_s, u"nothing"_s};
    for (const QString &kind : {u"TV"_s, u"tv"_s, u"T\u00e9l\u00e9"_s}) {
        for (const QString &lang : filters) {
            SCOPED_TRACE((kind + u' ' + lang).toStdString());
            CatalogueViewState state{kind, lang, true, 0};
            const LoadedList result = load(data, state);
            const Reference ref = referenceLoad(data, kind, lang);
            ASSERT_FALSE(result.failed());
            EXPECT_EQ(names(result), ref.shown);
            EXPECT_EQ(result.total, ref.total);
            EXPECT_EQ(result.languages.value_or(QStringList()), ref.languages);
            for (const ChannelRow &row : result.rows) {
                EXPECT_EQ(row.lang, displayText(row.record.lang));
                EXPECT_EQ(row.rating, formatRating(displayText(row.record.rating)));
                EXPECT_EQ(row.favorites, padFavorites(displayText(row.record.favorites)));
                EXPECT_EQ(row.record.url, "http://s/" + row.record.name);
                EXPECT_EQ(displayText(row.record.kind), kind); // the file's bytes, either form
            }
        }
    }
}

TEST(CatalogueForms, RatingAndFavourites)
{
    const struct
    {
        QString in;
        QString out;
    } ratings[] = {
        {u""_s, u"1.0"_s},   {u"4"_s, u"4.0"_s},     {u"4.25"_s, u"4.2"_s}, {u"4.5"_s, u"4.5"_s},
        {u"45"_s, u"4.0"_s}, {u"12345"_s, u"1.0"_s}, {u"4."_s, u"4.0"_s},   {u".5"_s, u".50"_s},
    };
    for (const auto &c : ratings)
        EXPECT_EQ(formatRating(c.in), c.out) << c.in.toStdString();

    const struct
    {
        QString in;
        QString out;
    } favourites[] = {
        {u"7"_s, u"000007"_s},      {u"0"_s, u"000000"_s},        {u""_s, u"000000"_s},
        {u"123456"_s, u"123456"_s}, {u"1234567"_s, u"1234567"_s},
    };
    for (const auto &c : favourites)
        EXPECT_EQ(padFavorites(c.in), c.out) << c.in.toStdString();
}

TEST(CatalogueKinds, FourKindsAreCarriedAndThreeRememberTheirLanguage)
{
    using Setting = std::optional<SettingKey>;
    const struct
    {
        QString kind;
        bool carried; // by a catalogue line
        Setting read;
        Setting write;
    } cases[] = {
        {u"TV"_s, true, SettingKey::TVLang, SettingKey::TVLang},
        {u"Radio"_s, true, SettingKey::RadioLang, SettingKey::RadioLang},
        {u"Video"_s, true, SettingKey::VideoLang, SettingKey::VideoLang},
        {u"XXX"_s, true, SettingKey::VideoLang, std::nullopt},
        {u"YOUTUBE"_s, false, std::nullopt, std::nullopt},
        {u"tv"_s, false, std::nullopt, std::nullopt},
        {u"TV "_s, false, std::nullopt, std::nullopt},
        {QString(), false, std::nullopt, std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(isCatalogueKind(c.kind.toLatin1()), c.carried) << c.kind.toStdString();
        EXPECT_EQ(languageSettingToRead(c.kind), c.read) << c.kind.toStdString();
        EXPECT_EQ(languageSettingToWrite(c.kind), c.write) << c.kind.toStdString();
    }
}

TEST(SortNames, SortsByCharacterCodesLikeAPlainSort)
{
    std::mt19937 rng(3);
    for (int size : {0, 1, 2, 3, 10, 100, 2000}) {
        for (bool descending : {false, true}) {
            QStringList names;
            for (int i = 0; i < size; ++i) {
                // Few distinct values, so equal names and runs are common.
                QString name;
                for (int k = 0, n = 1 + int(rng() % 3); k < n; ++k)
                    name += QChar(u"aAbBzZ\u00e9\u00c9"[rng() % 8]);
                names.append(name);
            }
            QStringList expected = names;
            std::sort(expected.begin(), expected.end(),
                      [descending](const QString &a, const QString &b) {
                          return descending ? b < a : a < b;
                      });
            sortNames(names, -1, descending);
            EXPECT_EQ(names, expected) << size << ' ' << descending;
        }
    }
    // Already sorted and reversed input (the worst case of a last-element pivot) still sorts.
    QStringList sorted;
    for (int i = 0; i < 5000; ++i)
        sorted.append(u"%1"_s.arg(i, 5, 10, QLatin1Char('0')));
    QStringList reversed(sorted.rbegin(), sorted.rend());
    sortNames(reversed);
    EXPECT_EQ(reversed, sorted);
}

TEST(SortNames, SortsOnlyUpToTheLastIndex)
{
    QStringList names{u"d"_s, u"c"_s, u"B"_s, u"a"_s, u"A"_s};
    sortNames(names, 2);
    EXPECT_EQ(names, (QStringList{u"B"_s, u"c"_s, u"d"_s, u"a"_s, u"A"_s}));
    sortNames(names, 4, true);
    EXPECT_EQ(names, (QStringList{u"d"_s, u"c"_s, u"a"_s, u"B"_s, u"A"_s}));
}

} // namespace
