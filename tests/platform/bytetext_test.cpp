#include "platform/bytetext.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace mavrel;

namespace {

struct DecodeCase
{
    const char *label;
    QByteArray bytes;
    QString expected;
};

TEST(ByteText, DecodesUtf8ElseWindows1252)
{
    const DecodeCase cases[] = {
        {"empty", QByteArray(), QString()},
        {"ascii", QByteArray("BBC One"), QStringLiteral("BBC One")},
        {"utf8", QByteArray("T\xC3\xA9l\xC3\xA9"), QStringLiteral("T\u00E9l\u00E9")},
        {"cp1252 letter", QByteArray("T\xE9l\xE9"), QStringLiteral("T\u00E9l\u00E9")},
        {"cp1252 euro and quotes", QByteArray("\x80 \x93x\x94"),
         QStringLiteral("\u20AC \u201Cx\u201D")},
        {"undefined cp1252 bytes kept", QByteArray("\x81\x8D\x8F\x90\x9D"),
         QStringLiteral("\u0081\u008D\u008F\u0090\u009D")},
        {"truncated utf8 sequence", QByteArray("ab\xC3"), QStringLiteral("ab\u00C3")},
        {"nul byte", QByteArray("a\0b", 3), QString(QStringLiteral("a%1b")).arg(QChar(0))},
    };
    for (const auto &c : cases)
        EXPECT_EQ(displayText(c.bytes), c.expected) << c.label;
}

TEST(ByteText, Windows1252RoundTripsEveryByte)
{
    QByteArray all;
    for (int b = 0x80; b < 0x100; ++b)
        all.append(static_cast<char>(b));
    ASSERT_FALSE(isValidUtf8(all));
    QByteArray back;
    EXPECT_TRUE(toWindows1252(displayText(all), &back));
    EXPECT_EQ(back, all);
}

TEST(ByteText, Windows1252ReportsUnmappableCharacters)
{
    QByteArray out;
    EXPECT_FALSE(toWindows1252(QStringLiteral("a\u4E2Db"), &out));
    EXPECT_EQ(out, QByteArray("a?b"));
}

TEST(ByteText, HtmlEscapesMarkupAndQuotesOnly)
{
    const struct
    {
        QString text;
        QString expected;
    } cases[] = {
        {QString(), QString()},
        {QStringLiteral("<b>Tom & \"Jerry\"</b>"),
         QStringLiteral("&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;")},
        {QStringLiteral("x'><script>"), QStringLiteral("x&#39;&gt;&lt;script&gt;")},
        // Escaped once: a reference already there is text, not markup.
        {QStringLiteral("&amp;"), QStringLiteral("&amp;amp;")},
        {QStringLiteral("Caf\u00E9 \U0001F3AC\r\n"), QStringLiteral("Caf\u00E9 \U0001F3AC\r\n")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(htmlEscaped(c.text), c.expected) << qPrintable(c.text);
}

} // namespace
