#include "branding/branding.h"
#include "localization/clslanguages.h"
#include "localization/modlanguages.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

struct LookupCase
{
    const char *key;
    QString expected;
};

TEST(MessageTable, DefaultMessagesInOrderAndLookedUpIgnoringCase)
{
    clsLanguages languages;
    registerDefaultMessages(languages);

    const QStringList order = {u"MSG_CHANNELLIST"_s,       u"MSG_DELETED"_s,
                               u"MSG_NOTFOUND"_s,          u"MSG_STATUS1"_s,
                               u"MSG_STATUS2"_s,           u"MSG_STATUS3"_s,
                               u"MSG_STATUS4"_s,           u"MSG_TITLELANGUAGE"_s,
                               u"MSG_DOWNLOADED"_s,        u"MSG_LANGSAVEFAILED"_s,
                               u"MSG_VIEWEROFFLINE"_s,     u"MSG_FAVADDED"_s,
                               u"MSG_FAVREMOVED"_s,        u"MSG_RATED"_s,
                               u"MSG_RATEDONE"_s,          u"MSG_RATEFAILED"_s,
                               u"MSG_NOHANDLER"_s,         u"MSG_PLAYCONNECTING"_s,
                               u"MSG_PLAYBUFFERING"_s,     u"MSG_PLAYOFFLINE"_s,
                               u"MSG_PLAYUNREACHABLE"_s,   u"MSG_PLAYHTTPSTATUS"_s,
                               u"MSG_PLAYUNDECODABLE"_s,   u"MSG_PLAYTIMEDOUT"_s,
                               u"MSG_PLAYUNOPENABLE"_s,    u"MSG_FIRSTDOWNLOAD"_s,
                               u"MSG_SERVERUNREACHABLE"_s, u"MSG_NOUPDATES"_s,
                               u"MSG_UPDATESDOWNLOADED"_s, u"MSG_ONNOW"_s,
                               u"MSG_GUIDENEXT"_s,         u"MSG_GUIDEDAY"_s,
                               u"MSG_RECENTCHANNELS"_s,    u"MSG_RECENTFAVORITES"_s,
                               u"MSG_RECENTFILES"_s,       u"MSG_RECENTCLEAR"_s,
                               u"MSG_RECENTNOTSAVED"_s,    u"MSG_OPENREFUSED"_s,
                               u"MSG_EXPORTTITLE"_s,       u"MSG_IMPORTTITLE"_s,
                               u"MSG_PLAYLISTFILTER"_s,    u"MSG_EXPORTED"_s,
                               u"MSG_EXPORTFAILED"_s,      u"MSG_IMPORTREADING"_s,
                               u"MSG_IMPORTED"_s,          u"MSG_IMPORTSKIPPED"_s,
                               u"MSG_IMPORTTOOLARGE"_s,    u"MSG_IMPORTBROKEN"_s,
                               u"MSG_IMPORTUNREADABLE"_s,  u"MSG_FAVTOOLONG"_s};
    ASSERT_EQ(languages.messageCount(), order.size());
    for (qsizetype i = 0; i < order.size(); ++i)
        EXPECT_EQ(languages.messages()[std::size_t(i)].key, order[i]);

    const LookupCase cases[] = {
        {"msg_status1", u"Total Channels: "_s},
        // A leading blank: upper-casing the first character changes nothing.
        {"MSG_STATUS2", u" | Showing: "_s},
        {"Msg_Status3", u" | Languages/Categories: "_s},
        {"MSG_STATUS4",
         u" | Don't forget to rate your favorite channels with the Channel Actions button"_s},
        {"MSG_NOTFOUND", u"TV Channel file was not found.  No channels could be loaded.  Please "
                         u"reinstall or repair this program."_s},
        {"MSG_DELETED", u"Deleted "_s},
        {"MSG_CHANNELLIST", u"The most recent channel list has been downloaded and applied."_s},
        // The language window's title and download confirmation have defaults of their own.
        {"MSG_TITLELANGUAGE", u"Language Selection"_s},
        {"msg_downloaded", u"The latest language file has been downloaded.  Choose a language "
                           u"from the list to use it."_s},
        {"MSG_STATUS", QString()},
        {"", QString()},
    };
    for (const LookupCase &c : cases)
        EXPECT_EQ(languages.getMessages(QString::fromLatin1(c.key)), c.expected) << c.key;
}

TEST(MessageTable, PlaceholdersReplacedOnLookupOnly)
{
    clsLanguages languages;
    languages.setMessage(u"MSG_A"_s, u"welcome to [programname] by [COMPANYNAME]."_s);
    languages.setMessage(u"MSG_B"_s, u"[ProgramName] and [ProgramName]"_s);
    languages.setMessage(u"MSG_C"_s, u"élan"_s);
    languages.setMessage(u"MSG_D"_s, u""_s);

    const QString product = branding().productName;
    const QString company = branding().companyName;
    EXPECT_EQ(languages.getMessages(u"msg_a"_s),
              u"Welcome to "_s + product + u" by "_s + company + u"."_s);
    EXPECT_EQ(languages.getMessages(u"MSG_B"_s), product + u" and "_s + product);
    EXPECT_EQ(languages.getMessages(u"MSG_C"_s), u"Élan"_s);
    EXPECT_EQ(languages.getMessages(u"MSG_D"_s), QString());
    // The stored text keeps its placeholders for the translation writer.
    EXPECT_EQ(languages.messages()[0].text, u"welcome to [programname] by [COMPANYNAME]."_s);
}

TEST(MessageTable, FirstRegistrationWins)
{
    clsLanguages languages;
    registerDefaultMessages(languages);
    languages.setMessage(u"MSG_DELETED"_s, u"Removed"_s);
    const int second = languages.messageCount() - 1;
    EXPECT_EQ(languages.messages()[std::size_t(second)].key, u"MSG_DELETED"_s);
    EXPECT_EQ(languages.getMessages(u"MSG_DELETED"_s), u"Deleted "_s);
    // Both entries can still be translated.
    languages.setMessageText(second, u"Gelöscht"_s);
    EXPECT_EQ(languages.messages()[std::size_t(second)].text, u"Gelöscht"_s);
    EXPECT_EQ(languages.getMessages(u"MSG_DELETED"_s), u"Deleted "_s);
    languages.setMessageText(1, u"gelöscht "_s);
    EXPECT_EQ(languages.getMessages(u"MSG_DELETED"_s), u"Gelöscht "_s);
}

TEST(MessageTable, HoldsExactly201Entries)
{
    clsLanguages languages;
    for (int i = 0; i < 201; ++i)
        languages.setMessage(u"KEY%1"_s.arg(i), u"text %1"_s.arg(i));
    languages.setMessage(u"KEY201"_s, u"dropped"_s);

    EXPECT_EQ(languages.messageCount(), 201);
    EXPECT_EQ(languages.getMessages(u"KEY0"_s), u"Text 0"_s);
    EXPECT_EQ(languages.getMessages(u"key200"_s), u"Text 200"_s);
    EXPECT_EQ(languages.getMessages(u"KEY201"_s), QString());
    // A full table has no free entry for an empty key to find.
    EXPECT_EQ(languages.getMessages(QString()), QString());
}

TEST(MessageTable, TextOfUnusedIndexCannotBeSet)
{
    clsLanguages languages;
    languages.setMessage(u"MSG_A"_s, u"a"_s);
    languages.setMessageText(1, u"b"_s);
    languages.setMessageText(-1, u"b"_s);
    EXPECT_EQ(languages.messageCount(), 1);
    EXPECT_EQ(languages.getMessages(QString()), QString());
}

} // namespace
