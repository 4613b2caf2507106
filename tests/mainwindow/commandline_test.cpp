#include "mainwindow/commandline.h"

#include "../support/qstringprinter.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

TEST(CommandLine, ParseArguments)
{
    const struct
    {
        QStringList arguments;
        QStringList targets;
        int refused;
    } cases[] = {
        {{u"mavrel"_s}, {}, 0},
        {{u"mavrel"_s, u"a.m3u"_s, u"ftp://x"_s, u"HTTP://h.example/s"_s, u""_s},
         {u"file:///w/a.m3u"_s, u"http://h.example/s"_s},
         2},
        // After "--" everything is a file, "--" included.
        {{u"mavrel"_s, u"--"_s, u"-x"_s, u"--help"_s, u"--"_s},
         {u"file:///w/-x"_s, u"file:///w/--help"_s, u"file:///w/--"_s},
         0},
        {{u"mavrel"_s, u"-"_s}, {u"file:///w/-"_s}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const auto request = mavrel::parseArguments(c.arguments, u"/w"_s);
        ASSERT_TRUE(request.ok()) << request.error().message.toStdString();
        QStringList targets;
        for (const QUrl &url : request.value().targets)
            targets.append(url.toString());
        EXPECT_EQ(targets, c.targets);
        EXPECT_EQ(request.value().refused.size(), c.refused);
    }
}

TEST(CommandLine, UnknownOptions)
{
    const struct
    {
        QStringList arguments;
        QString option;
    } cases[] = {
        {{u"mavrel"_s, u"-x"_s}, u"-x"_s},
        // An option after a file is still an option.
        {{u"mavrel"_s, u"a.m3u"_s, u"--bogus"_s, u"b.m3u"_s}, u"--bogus"_s},
        {{u"mavrel"_s, u"-x"_s, u"--"_s}, u"-x"_s},
    };
    for (const auto &c : cases) {
        const auto request = mavrel::parseArguments(c.arguments, u"/w"_s);
        ASSERT_FALSE(request.ok()) << c.option.toStdString();
        EXPECT_EQ(request.error().code, 2);
        EXPECT_EQ(request.error().message,
                  u"mavrel: unknown option '%1'\nTry 'mavrel --help'.\n"_s.arg(c.option));
    }
}

TEST(CommandLine, InformationOptionsStopAtTheEndOfOptions)
{
    const struct
    {
        std::vector<const char *> argv;
        bool answered;
    } cases[] = {
        {{"mavrel", "a.m3u", "--help"}, true},
        {{"mavrel", "--", "--help"}, false},
        {{"mavrel", "--", "--version"}, false},
    };
    for (const auto &c : cases) {
        std::FILE *out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        const auto code = mavrel::answerInformationOptions(int(c.argv.size()), c.argv.data(), out);
        EXPECT_EQ(code.has_value(), c.answered) << c.argv.back();
        std::fclose(out);
    }
}

} // namespace
