#include "branding/branding.h"
#include "localization/clslanguages.h"
#include "localization/languagedownload.h"
#include "localization/localizablewindow.h"
#include "localization/localizationfile.h"
#include "localization/modlanguages.h"
#include "platform/paths.h"
#include "qstringprinter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

QString group(const QString &name, const QStringList &items, const QString &start = {})
{
    QString text = start.isEmpty() ? u"<LANGUAGE_GROUP xml:lang=\"xx\">\r\n"_s : start;
    text += u"\t<LANGUAGE_NAME>"_s + name + u"</LANGUAGE_NAME>\r\n\t<TRANSLATION_ITEMS>\r\n"_s;
    for (const QString &item : items)
        text += u"\t\t"_s + item + u"\r\n"_s;
    return text + u"\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n"_s;
}

QString file(const QStringList &groups)
{
    return u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n"_s +
           groups.join(QString()) + u"</XML_DIZ_INFO>\r\n"_s;
}

// The item text of `key` in the named group, the way a lookup sees it.
QString valueIn(const QString &text, const QString &language, const QString &key)
{
    const auto items = languageItems(text, language);
    return items ? findItemValue(*items, key) : u"<no group>"_s;
}

TEST(LocalizationFile, GroupSelection)
{
    const QString german = group(u"German"_s, {u"<K>de</K>"_s});
    const struct
    {
        const char *what;
        QString text;
        QString request;
        QString expected;
    } cases[] = {
        {"mixed-case start tag with attributes, request in other case",
         file({group(u"German"_s, {u"<K>de</K>"_s}, u"<Language_Group xml:lang=\"de\">\r\n"_s)}),
         u"GERMAN"_s, u"de"_s},
        {"lower-case name tags",
         u"<language_group><language_name>German</language_name><translation_items>\r\n\t<K>de"
         "</K>\r\n</translation_items></language_group>"_s,
         u"german"_s, u"de"_s},
        {"a leading blank in the name does not match", file({group(u" German"_s, {u"<K>x</K>"_s})}),
         u"German"_s, u"<no group>"_s},
        {"first of two groups of one name wins",
         file({german, group(u"German"_s, {u"<K>second</K>"_s})}), u"German"_s, u"de"_s},
        {"a group without a name is passed over",
         file({u"<LANGUAGE_GROUP><TRANSLATION_ITEMS></TRANSLATION_ITEMS></LANGUAGE_GROUP>"_s,
               german}),
         u"German"_s, u"de"_s},
        {"a stray end tag before the groups", u"</LANGUAGE_GROUP>"_s + file({german}), u"German"_s,
         u"de"_s},
        {"a group without an end tag delimits nothing",
         file({u"<LANGUAGE_GROUP><LANGUAGE_NAME>German</LANGUAGE_NAME><TRANSLATION_ITEMS>\r\n<K>x"
               "</K>\r\n"_s}),
         u"German"_s, u"<no group>"_s},
        {"a selected group without items tags",
         file({u"<LANGUAGE_GROUP><LANGUAGE_NAME>German"
               "</LANGUAGE_NAME></LANGUAGE_GROUP>"_s}),
         u"German"_s, u"<no group>"_s},
        {"item and tag texts outside groups are ignored",
         u"<K>outside</K><LANGUAGE_NAME>German</LANGUAGE_NAME>"_s + file({}), u"German"_s,
         u"<no group>"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(valueIn(c.text, c.request, u"K"_s), c.expected) << c.what;

    // Line structure: the written form has an empty first line and a TAB as the last one.
    const auto written = languageItems(file({german}), u"German"_s);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, (QStringList{QString(), u"\t\t<K>de</K>"_s, u"\t"_s}));
    const auto lfOnly = languageItems(
        u"<LANGUAGE_GROUP><LANGUAGE_NAME>L</LANGUAGE_NAME><TRANSLATION_ITEMS>\n<A>a</A>\n<B>b</B>\n"
        "</TRANSLATION_ITEMS></LANGUAGE_GROUP>"_s,
        u"L"_s);
    ASSERT_TRUE(lfOnly);
    EXPECT_EQ(lfOnly->size(), 1);
    const auto empty = languageItems(
        u"<LANGUAGE_GROUP><LANGUAGE_NAME>L</LANGUAGE_NAME><TRANSLATION_ITEMS></TRANSLATION_ITEMS>"
        "</LANGUAGE_GROUP>"_s,
        u"L"_s);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
}

TEST(LocalizationFile, ItemLookupAndPreparation)
{
    const QStringList lines = {
        QString(),
        u"\t\t<FORM1_CMDTV>fernsehen</FORM1_CMDTV>"_s,
        u"<msg_a>a &amp; b</msg_a>"_s,
        u"  <SITE>visit [website] of [programname] by [CompanyName]</SITE>"_s,
        u"<A>one-character key</A>"_s,
        u"<NOEND>no end tag"_s,
        u"<ANGLES>1 < 2 > 0</ANGLES>"_s,
        u"<EMPTY></EMPTY>"_s,
        u"<DUP>first</DUP>"_s,
        u"<DUP>second</DUP>"_s,
        u"\t"_s,
    };
    const Branding &b = branding();
    const struct
    {
        const char *key;
        QString expected;
    } cases[] = {
        {"form1_cmdtv", u"Fernsehen"_s},
        {"MSG_A", u"A &amp; b"_s},
        {"site", u"Visit "_s + b.siteName + u" of "_s + b.productName + u" by "_s + b.companyName},
        {"A", QString()},
        {"NOEND", QString()},
        {"ANGLES", u"1 < 2 > 0"_s},
        {"EMPTY", QString()},
        {"DUP", u"First"_s},
        {"MISSING", QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(prepareCaption(findItemValue(lines, QString::fromLatin1(c.key))), c.expected)
            << c.key;
}

TEST(LocalizationFile, ListingReadsEveryGroupAndEitherEncoding)
{
    QString text = file({group(u"English"_s, {}), group(u"Español"_s, {}), group(u"English"_s, {}),
                         u"<LANGUAGE_GROUP>nameless</LANGUAGE_GROUP>"_s, group(u"Français"_s, {})});
    EXPECT_EQ(languageNames(localizationText(text.toUtf8())),
              (QStringList{u"English"_s, u"Español"_s, u"English"_s, u"Français"_s}));
    // A file saved by an 8-bit editor.
    EXPECT_EQ(languageNames(localizationText(text.toLatin1())),
              (QStringList{u"English"_s, u"Español"_s, u"English"_s, u"Français"_s}));
    // One line typed in an 8-bit editor leaves the others UTF-8.
    EXPECT_EQ(languageNames(localizationText(
                  text.toUtf8() + "<LANGUAGE_GROUP><LANGUAGE_NAME>Caf\xe9</LANGUAGE_NAME>\r\n"
                                  "</LANGUAGE_GROUP>")),
              (QStringList{u"English"_s, u"Español"_s, u"English"_s, u"Français"_s, u"Café"_s}));
    // A group left open ends the listing after the groups before it.
    text += u"<LANGUAGE_GROUP><LANGUAGE_NAME>Open</LANGUAGE_NAME>"_s;
    EXPECT_EQ(languageNames(text).size(), 4);
}

TEST(LocalizationFile, HostileFilesEndQuickly)
{
    const qsizetype size = 10 * 1024 * 1024;
    const QString cases[] = {
        QString(size / 17, u'x').replace(u"x"_s, u"</LANGUAGE_GROUP>"_s) + u"<LANGUAGE_GROUP>"_s,
        u"<LANGUAGE_GROUP"_s.repeated(size / 15),
        u"<LANGUAGE_GROUP><LANGUAGE_NAME></LANGUAGE_GROUP>"_s.repeated(size / 48),
        QString(size, u'\uFFFD'),
    };
    for (const QString &text : cases) {
        QElapsedTimer timer;
        timer.start();
        languageNames(text);
        languageItems(text, u"English"_s);
        EXPECT_LT(timer.elapsed(), 5000) << text.left(40).toStdString();
    }
}

// A window of the model with texts kept in a map: "name" or "name#n" for item n.
class FakeWindow : public LocalizableWindow
{
public:
    struct Spec
    {
        Spec(const char *k, const char *n, std::optional<int> i = std::nullopt, int count = 0)
            : kind(k), name(n), index(i), items(count)
        {}
        const char *kind;
        const char *name;
        std::optional<int> index;
        int items;
    };
    FakeWindow(QString name, std::initializer_list<Spec> specs) : m_name(std::move(name))
    {
        for (const Spec &s : specs) {
            LocalizableControl c;
            c.kind = QString::fromLatin1(s.kind);
            c.name = QString::fromLatin1(s.name);
            c.index = s.index;
            const QString id = c.name + (s.index ? QString::number(*s.index) : QString());
            const int items = s.items;
            c.itemCount = [items] { return items; };
            c.text = [this, id](int n) { return texts.value(id + u'#' + QString::number(n)); };
            c.setText = [this, id](int n, const QString &t) {
                texts[id + u'#' + QString::number(n)] = t;
            };
            c.redraw = [this] { ++redraws; };
            m_controls.push_back(std::move(c));
        }
    }
    QString windowName() const override { return m_name; }
    QString windowCaption() const override { return caption; }
    void setWindowCaption(const QString &c) override { caption = c; }
    const std::vector<LocalizableControl> &controls() const override { return m_controls; }

    QMap<QString, QString> texts;
    QString caption;
    int redraws = 0;

private:
    QString m_name;
    std::vector<LocalizableControl> m_controls;
};

class Localization : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setApplicationFolderOverride(dir.path());
        registerDefaultMessages(languages);
    }
    void TearDown() override { setApplicationFolderOverride({}); }

    void writeFile(const QString &text) { writeBytes(text.toUtf8()); }
    void writeBytes(const QByteArray &bytes)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QString path() const { return dir.path() + u"/Localization.txt"_s; }
    QString readBack() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir dir;
    clsLanguages languages;
    FakeWindow form{u"Form1"_s,
                    {{"CommandButton", "cmdTV"},
                     {" label ", "lblLoose"},
                     {"Frame", "Frame1"},
                     {"ListView", "ListView1", std::nullopt, 2},
                     {"TabStrip", "Tabs", std::nullopt, 2},
                     {"OptionButton", "optA", 1},
                     {"OptionButton", "optLone"},
                     {"Menu", "mnuFile"},
                     {"Menu", "mnuCatItem", 3},
                     {"ComboBox", "Combo1"}}};
};

const QStringList germanItems = {
    u"<FORM1_CMDTV>fernsehen</FORM1_CMDTV>"_s,
    u"<FORM1_LBLLOOSE>lose</FORM1_LBLLOOSE>"_s,
    u"<FORM1_FRAME1></FORM1_FRAME1>"_s,
    u"<FORM1_LISTVIEW1_COL2>Kategorie</FORM1_LISTVIEW1_COL2>"_s,
    u"<FORM1_TABS_TABS1>Reiter</FORM1_TABS_TABS1>"_s,
    u"<FORM1_OPTA1>Option</FORM1_OPTA1>"_s,
    u"<FORM1_OPTLONE>nie</FORM1_OPTLONE>"_s,
    u"<FORM1_MNUFILE0>&Datei</FORM1_MNUFILE0>"_s,
    u"<FORM1_MNUCATITEM3>Favoriten</FORM1_MNUCATITEM3>"_s,
    u"<FORM1_COMBO1>nie</FORM1_COMBO1>"_s,
    u"<FORM1_CAPTION>[ProgramName] von [CompanyName]</FORM1_CAPTION>"_s,
    u"<MSG_DELETED>Gelöscht: </MSG_DELETED>"_s,
    u"<MSG_STATUS1>Sender insgesamt: </MSG_STATUS1>"_s,
};

TEST_F(Localization, ChangeLanguageTranslatesWhatTheLanguageHas)
{
    form.texts[u"Frame1#0"_s] = u"Channels"_s;
    form.texts[u"optLone#0"_s] = u"Lone"_s;
    languages.setMessage(u"MSG_DELETED"_s, u"Deleted again"_s); // registered twice
    writeFile(file({group(u"English"_s, {u"<FORM1_CMDTV>TV/Video</FORM1_CMDTV>"_s}),
                    group(u"German"_s, germanItems)}));
    languages.ChangeLanguage(form, u"german"_s);

    EXPECT_EQ(languages.currentLanguage(), u"german"_s);
    const struct
    {
        const char *id;
        QString expected;
    } cases[] = {
        {"cmdTV#0", u"Fernsehen"_s},
        {"lblLoose#0", QString()},   // " label " is no kind name outside ChangeLanguageMDI
        {"Frame1#0", u"Channels"_s}, // an empty item does not blank a caption
        {"ListView1#1", QString()},
        {"ListView1#2", u"Kategorie"_s},
        {"Tabs#1", u"Reiter"_s},
        {"optA1#1", QString()},
        {"optA1#0", u"Option"_s},
        {"optLone#0", u"Lone"_s}, // no key outside an array
        {"mnuFile#0", u"&Datei"_s},
        {"mnuCatItem3#0", u"Favoriten"_s},
        {"Combo1#0", QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(form.texts.value(QString::fromLatin1(c.id)), c.expected) << c.id;
    EXPECT_EQ(form.caption, branding().productName + u" von "_s + branding().companyName);
    // Both entries of the key registered twice are translated; other messages keep English.
    EXPECT_EQ(languages.getMessages(u"MSG_DELETED"_s), u"Gelöscht: "_s);
    EXPECT_EQ(languages.messages().back().text, u"Gelöscht: "_s);
    EXPECT_EQ(languages.getMessages(u"MSG_STATUS2"_s), u" | Showing: "_s);
    EXPECT_EQ(form.redraws, 6); // caption kinds, list view, tab strip, option buttons

    // The loose variant trims and lower-cases kind names.
    languages.ChangeLanguageMDI(form, u"German"_s);
    EXPECT_EQ(form.texts.value(u"lblLoose#0"_s), u"Lose"_s);

    // A language the file lacks keeps the German items; texts are never restored.
    languages.ChangeLanguage(form, u"Klingon"_s);
    EXPECT_EQ(languages.currentLanguage(), u"Klingon"_s);
    EXPECT_EQ(languages.getCaption(u"FORM1_CMDTV"_s), u"Fernsehen"_s);
    languages.ChangeLanguage(form, u"English"_s);
    EXPECT_EQ(form.texts.value(u"cmdTV#0"_s), u"TV/Video"_s);
    EXPECT_EQ(form.texts.value(u"mnuFile#0"_s), u"&Datei"_s);
    EXPECT_EQ(languages.getMessages(u"MSG_DELETED"_s), u"Gelöscht: "_s);
}

TEST_F(Localization, EnglishFallbackOnlyWhileNothingUsableIsLoaded)
{
    const QString english = group(u"English"_s, {u"<FORM1_CMDTV>TV/Video</FORM1_CMDTV>"_s});
    const QString lfOnly = u"<LANGUAGE_GROUP><LANGUAGE_NAME>Flat</LANGUAGE_NAME>"
                           "<TRANSLATION_ITEMS>\n<FORM1_CMDTV>flach</FORM1_CMDTV>\n"
                           "</TRANSLATION_ITEMS></LANGUAGE_GROUP>"_s;
    const QString emptyItems = u"<LANGUAGE_GROUP><LANGUAGE_NAME>Empty</LANGUAGE_NAME>"
                               "<TRANSLATION_ITEMS></TRANSLATION_ITEMS></LANGUAGE_GROUP>"_s;
    const struct
    {
        const char *what;
        QString text;
        QString request;
        QString language; // afterwards
        QString caption;
    } cases[] = {
        {"missing language on the first request", file({english}), u"German"_s, u"English"_s,
         u"TV/Video"_s},
        {"one LF-only line", file({english, lfOnly}), u"Flat"_s, u"English"_s, u"TV/Video"_s},
        {"no lines at all: no fallback", file({english, emptyItems}), u"Empty"_s, u"Empty"_s,
         QString()},
        {"no file", QString(), u"German"_s, u"English"_s, QString()},
    };
    for (const auto &c : cases) {
        clsLanguages fresh;
        FakeWindow w(u"Form1"_s, {{"CommandButton", "cmdTV"}});
        QFile::remove(path());
        if (!c.text.isEmpty())
            writeFile(c.text);
        fresh.ChangeLanguage(w, c.request);
        EXPECT_EQ(fresh.currentLanguage(), c.language) << c.what;
        EXPECT_EQ(w.texts.value(u"cmdTV#0"_s), c.caption) << c.what;
    }
}

TEST_F(Localization, TemplateKeepsTheOtherLanguagesAndReadsBack)
{
    form.texts[u"cmdTV#0"_s] = u"TV/Video"_s;
    form.texts[u"ListView1#1"_s] = u"Channel"_s;
    form.texts[u"mnuFile#0"_s] = u"&File"_s;
    form.caption = u"Main"_s;
    FakeWindow second(u"frmLanguage"_s, {{"SkinLabel", "Label1"}});
    second.texts[u"Label1#0"_s] = u"Pick one:\r\nplease"_s;
    languages.setMessage(u"msg_own"_s, u"[ProgramName] ändert"_s);
    const QString germanGroup = group(u"Deutsch"_s, {u"<FORM1_CMDTV>Fernsehen</FORM1_CMDTV>"_s});
    writeFile(file({group(u"English"_s, {u"<OLD>old</OLD>"_s}), germanGroup,
                    group(u"english"_s, {u"<OLD>old</OLD>"_s})}));

    ASSERT_TRUE(languages.makeLocalizationFile({&form, &second}));
    const QString written = readBack();
    EXPECT_EQ(languageNames(written), (QStringList{u"English"_s, u"Deutsch"_s}));
    EXPECT_TRUE(written.contains(germanGroup.trimmed()));
    EXPECT_FALSE(written.contains(u"<OLD>"_s));
    EXPECT_TRUE(written.startsWith(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>"
                                   "\r\n\t<LOCALIZATION_FILE_INFO>\r\n"_s));
    EXPECT_TRUE(written.endsWith(u"</LANGUAGE_GROUP>\r\n</XML_DIZ_INFO>\r\n"_s));

    const auto items = languageItems(written, u"English"_s);
    ASSERT_TRUE(items);
    QStringList keys;
    for (const QString &line : *items) {
        const qsizetype open = line.indexOf(u'<');
        if (open >= 0)
            keys << line.mid(open + 1, line.indexOf(u'>') - open - 1);
    }
    EXPECT_EQ(
        keys, (QStringList{u"FORM1_CMDTV"_s, u"FORM1_FRAME1"_s, u"FORM1_LISTVIEW1_COL1"_s,
                           u"FORM1_LISTVIEW1_COL2"_s, u"FORM1_TABS_TABS1"_s, u"FORM1_TABS_TABS2"_s,
                           u"FORM1_OPTA1"_s, u"FORM1_MNUFILE0"_s, u"FORM1_MNUCATITEM3"_s,
                           u"FORM1_CAPTION"_s, u"FRMLANGUAGE_LABEL1"_s, u"FRMLANGUAGE_CAPTION"_s}) +
                  [&] {
                      QStringList m;
                      for (const MessageEntry &e : languages.messages())
                          m << e.key.toUpper();
                      return m;
                  }());
    // Stored texts are written as stored; a line break would end the item early.
    EXPECT_EQ(findItemValue(*items, u"MSG_OWN"_s), u"[ProgramName] ändert"_s);
    EXPECT_EQ(findItemValue(*items, u"FRMLANGUAGE_LABEL1"_s), u"Pick one:  please"_s);
    EXPECT_EQ(findItemValue(*items, u"FORM1_MNUFILE0"_s), u"&File"_s);
    EXPECT_EQ(findItemValue(*items, u"MSG_STATUS2"_s), u" | Showing: "_s);

    // Without a file the template alone is written.
    QFile::remove(path());
    ASSERT_TRUE(languages.makeLocalizationFile({&form}));
    EXPECT_EQ(languageNames(readBack()), QStringList{u"English"_s});
    // A folder that cannot take the file: the writer reports it.
    setApplicationFolderOverride(dir.path() + u"/missing"_s);
    EXPECT_FALSE(languages.makeLocalizationFile({&form}));
}

TEST_F(Localization, FileNameRoutines)
{
    EXPECT_EQ(clsLanguages::LangTrimPath(u"C:\\Mavrel\\Localization.txt"_s), u"Localization.txt"_s);
    EXPECT_EQ(clsLanguages::LangTrimPath(QString()), QString());
    writeFile(u"x"_s);
    EXPECT_TRUE(clsLanguages::LangFileExists(dir.path() + u"/LOCALIZATION.TXT"_s));
    EXPECT_FALSE(clsLanguages::LangFileExists(dir.path()));
}

TEST_F(Localization, DownloadReplacesTheFileOnlyWithAWholeUsableReply)
{
    const QByteArray good = file({group(u"Deutsch"_s, {u"<K>v</K>"_s})}).toUtf8();
    const QByteArray old = file({group(u"Old"_s, {})}).toUtf8();
    const struct
    {
        const char *what;
        QByteArray body;
        bool whole;
        int status;
        DownloadOutcome outcome;
        QByteArray stored;
    } cases[] = {
        {"a whole reply", good, true, 200, DownloadOutcome::Saved, good + "\r\n"},
        {"a byte-order mark goes", "\xEF\xBB\xBF" + good, true, 200, DownloadOutcome::Saved,
         good + "\r\n"},
        {"lower-case tags", good.toLower(), true, 200, DownloadOutcome::Saved,
         good.toLower() + "\r\n"},
        {"cut short", good, false, 200, DownloadOutcome::Unusable, old},
        {"an error status", good, true, 404, DownloadOutcome::Unusable, old},
        {"an error page", "<html>Not Found</html>", true, 200, DownloadOutcome::Unusable, old},
        {"items but no language", "<TRANSLATION_ITEMS>", true, 200, DownloadOutcome::Unusable, old},
        {"nothing", {}, false, 0, DownloadOutcome::Unusable, old},
    };
    for (const auto &c : cases) {
        writeBytes(old);
        EXPECT_EQ(storeLanguageDownload(c.body, c.whole, c.status, path()), c.outcome) << c.what;
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), c.stored) << c.what;
    }
    EXPECT_EQ(storeLanguageDownload(good, true, 200, dir.path() + u"/missing/Localization.txt"_s),
              DownloadOutcome::SaveFailed);
}

} // namespace
