#include "catalogue/carriable.h"
#include "catalogue/cataloguelinereader.h"
#include "catalogue/channelrecord.h"
#include "catalogue/scramble.h"
#include "platform/bytetext.h"

#include <gtest/gtest.h>

#include <random>

using namespace mavrel;

namespace {

QByteArray scrambled(const QByteArray &plain)
{
    return encryptString(plain).value();
}

TEST(ChannelRecord, ParsesNineFieldsAndUnscramblesTheAddress)
{
    const QByteArray line =
        "7|News 24|TV|" + scrambled("http://x/y") + "|English/Spanish|s1|s2|12|4.25|";
    // The written form splits into ten elements, the last one empty.
    EXPECT_EQ(splitFields(line).size(), 10);
    const auto record = ChannelRecord::parse(line);
    ASSERT_TRUE(record.ok());
    EXPECT_EQ(record.value(), (ChannelRecord{"7", "News 24", "TV", "http://x/y", "English/Spanish",
                                             "s1", "s2", "12", "4.25"}));
}

TEST(ChannelRecord, NeedsNineFields)
{
    const struct
    {
        QByteArray line;
        bool ok;
    } cases[] = {
        {"", false},
        {"a heading", false},
        {"1|n|TV|u|l|s|s|f", false},      // eight fields
        {"1|n|TV|u|l|s|s|f|r", true},     // nine, no final bar
        {"1|n|TV|u|l|s|s|f|r|x|y", true}, // extra fields are ignored
        {"||||||||", true},               // nine empty fields
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        EXPECT_EQ(ChannelRecord::parse(c.line).ok(), c.ok);
    }
}

TEST(ChannelRecord, WritesTheLineFormatThatReadsBack)
{
    const ChannelRecord record{"7", "Name", "Radio", "mms://a.b/c", "French", "", "", "0", ""};
    const QByteArray line = record.toLine().value();
    EXPECT_EQ(line, "7|Name|Radio|" + scrambled("mms://a.b/c") + "|French|||0||\r\n");
    const QList<QByteArray> lines = splitCatalogueLines(line);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(ChannelRecord::parse(lines[0]).value(), record);
}

TEST(FourFieldRecord, ScramblesTheWholeLineAndFillsMissingFields)
{
    const FourFieldRecord favourite{"Clip", "youtube=abc", "", ""};
    const QByteArray line = favourite.toScrambledLine().value();
    EXPECT_EQ(line, scrambled("Clip|youtube=abc||"));
    EXPECT_EQ(FourFieldRecord::parse(line).value(), favourite);

    EXPECT_EQ(FourFieldRecord::parse(scrambled("Only|http://a")).value(),
              (FourFieldRecord{"Only", "http://a", "", ""}));
    EXPECT_EQ(FourFieldRecord::parse(scrambled("a|b|c|d|e")).value(),
              (FourFieldRecord{"a", "b", "c", "d"}));
    EXPECT_FALSE(FourFieldRecord::parse(scrambled("no bar")).ok());
}

TEST(MakeCarriable, ReplacesWhatTheFormatCannotCarry)
{
    using P = FieldPlacement;
    using C = FieldContent;
    const struct
    {
        const char *name;
        QByteArray in;
        P placement;
        C content;
        QByteArray out;
    } cases[] = {
        {"carriable text unchanged", "Caf\xc3\xa9 |x", P::Scrambled, C::Text, "Caf\xc3\xa9 |x"},
        {"bar in a plain field", "a|b", P::Plain, C::Text, "a b"},
        {"line ends in a plain field", "a\r\nb", P::Plain, C::Text, "a  b"},
        {"escape in a scrambled field",
         "a\x1b"
         "b",
         P::Scrambled, C::Text, "a?b"},
        {"bar in a four-field line", "a|b", P::InScrambledLine, C::Text, "a b"},
        // UTF-8 whose continuation bytes scramble to LF or CR: Windows-1252 shows the same.
        {"e grave as Windows-1252", "Cr\xc3\xa8me", P::Scrambled, C::Text, "Cr\xe8me"},
        {"e diaeresis as Windows-1252", "No\xc3\xabl", P::InScrambledLine, C::Text, "No\xebl"},
        // No Windows-1252 form: only the offending character goes.
        {"no legacy form", "\xe2\x82\xac\xc3\xa8\xe4\xb8\xad", P::Scrambled, C::Text,
         "\xe2\x82\xac?\xe4\xb8\xad"},
        {"legacy form would be UTF-8 again", "\xc3\x83\xc2\xa8", P::Scrambled, C::Text,
         "\xc3\x83?"},
        {"byte 255 in Windows-1252 text",
         "Ma\xff"
         "tre",
         P::Scrambled, C::Text, "Ma?tre"},
        {"left bytes become UTF-8", "\xc3\xa9\xff", P::Scrambled, C::Text, "\xc3\x83\xc2\xa9?"},
        {"address percent-encoded", "http://a/\x1b\xa8\xab\xff", P::Scrambled, C::Address,
         "http://a/%1B%A8%AB%FF"},
        {"address in a four-field line", "http://a/b|c", P::InScrambledLine, C::Address,
         "http://a/b%7Cc"},
        {"address in a plain field", "x\r\n", P::Plain, C::Address, "x%0D%0A"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray out = makeCarriable(c.in, c.placement, c.content);
        EXPECT_EQ(out, c.out);
        EXPECT_TRUE(isCarriable(out, c.placement));
    }
}

// Whatever the bytes, a written line reads back as the same number of fields with the same
// structure, and the plain fields display as they did unless a character had to go.
TEST(MakeCarriable, WrittenLinesAlwaysReadBackWithTheirStructure)
{
    std::mt19937 rng(7);
    const auto randomBytes = [&rng](int maxLength) {
        QByteArray b(int(rng() % (maxLength + 1)), Qt::Uninitialized);
        for (char &c : b) {
            // Favour the interesting bytes.
            static const unsigned char special[] = {'|', '\r', '\n', 27, 168, 171, 255, 0xc3, 0xa8};
            c = static_cast<char>(rng() % 3 == 0 ? special[rng() % std::size(special)]
                                                 : rng() % 256);
        }
        return b;
    };
    for (int i = 0; i < 2000; ++i) {
        const ChannelRecord record{randomBytes(6),  randomBytes(20), randomBytes(5),
                                   randomBytes(30), randomBytes(15), randomBytes(4),
                                   randomBytes(4),  randomBytes(4),  randomBytes(4)};
        const QByteArray line = record.toLine().value();
        const QList<QByteArray> lines = splitCatalogueLines(line);
        ASSERT_EQ(lines.size(), 1) << line.toHex().toStdString();
        EXPECT_EQ(splitFields(lines[0]).size(), 10);
        const auto back = ChannelRecord::parse(lines[0]);
        ASSERT_TRUE(back.ok());
        if (isCarriable(record.name, FieldPlacement::Plain)) {
            EXPECT_EQ(back.value().name, record.name);
        }
        if (isCarriable(record.url, FieldPlacement::Scrambled)) {
            EXPECT_EQ(back.value().url, record.url);
        }
        // A character is replaced by one character, never dropped or split.
        EXPECT_EQ(displayText(back.value().name).toUcs4().size(),
                  displayText(record.name).toUcs4().size());
        EXPECT_EQ(displayText(back.value().lang).toUcs4().size(),
                  displayText(record.lang).toUcs4().size());

        const FourFieldRecord favourite{randomBytes(20), randomBytes(30), randomBytes(5),
                                        randomBytes(15)};
        const QByteArray favLine = favourite.toScrambledLine().value();
        EXPECT_EQ(splitCatalogueLines(favLine + "\r\n").size(), 1);
        const QByteArray plain = decryptString(favLine).value();
        EXPECT_EQ(plain.count('|'), 3);
    }
}

} // namespace
