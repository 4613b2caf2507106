#include "mainwindow/commandline.h"
#include "mainwindow/opentarget.h"

#include "../support/qstringprinter.h"

#include <QMimeData>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kOnly = u": only http, https, mms, rtsp, rtmp and file addresses are played"_s;

TEST(OpenTarget, FromText)
{
    const struct
    {
        QString text, folder, expected; // the address, or the message when refused
    } cases[] = {
        {u"HTTP://Example.com/a.m3u"_s, {}, u"http://example.com/a.m3u"_s},
        {u"hTtPs://x.example/l?k=1"_s, {}, u"https://x.example/l?k=1"_s},
        {u"MMS://x.example/s"_s, {}, u"mms://x.example/s"_s},
        {u"Rtsp://me:pw@cam.example:554/s"_s, {}, u"rtsp://me:pw@cam.example:554/s"_s},
        {u"rtmP://x.example/app"_s, {}, u"rtmp://x.example/app"_s},
        {u"FILE:///tmp/a%20b.pls"_s, {}, u"file:///tmp/a%20b.pls"_s},
        {u"/m/#1.m3u"_s, u"/h"_s, u"file:///m/%231.m3u"_s},
        // Nothing on disk is asked: a missing folder is the player's to report.
        {u"./l/a b.m3u"_s, u"/no/such/"_s, u"file:///no/such/l/a%20b.m3u"_s},
        {u"a.m3u"_s, {}, u"cannot open \"a.m3u\": a relative path needs a folder"_s},
        {u"ftp://me:pw@x/"_s, {}, u"cannot open \"ftp://me@x/\""_s + kOnly},
        {u"javascript:alert(1)"_s, {}, u"cannot open \"javascript:alert(1)\""_s + kOnly},
        {u" "_s, u"/h"_s, u"cannot open an empty address"_s},
        {u"/a\u001b[2J"_s, {}, u"cannot open \"/a?[2J\": it holds a control character"_s},
        {u"http://"_s, {}, u"cannot open \"http://\": the address names no host"_s},
        {u"http://[::1/x"_s, {}, u"cannot open \"http://[::1/x\": not a valid address"_s},
    };
    for (const auto &c : cases) {
        const auto target = mavrel::openTargetFromText(c.text, c.folder);
        EXPECT_EQ(target ? target.value().toString(QUrl::FullyEncoded) : target.error().message,
                  c.expected);
    }
}

TEST(OpenTarget, FromMimeAndName)
{
    QMimeData mime; // a stray word is no file: a drop has no working folder
    mime.setText(u"http://a.example/1\r\n\n  ftp://b\nword\n /x.pls \n"_s);
    EXPECT_EQ(mavrel::openTargetsFromMime(mime),
              (QList<QUrl>{QUrl(u"http://a.example/1"_s), QUrl(u"file:///x.pls"_s)}));
    mime.setUrls({QUrl(u"ftp://b/"_s), QUrl(u"rtsp://c.example/"_s)}); // the URLs win
    EXPECT_EQ(mavrel::openTargetsFromMime(mime), QList<QUrl>{QUrl(u"rtsp://c.example/"_s)});
    EXPECT_EQ(mavrel::openTargetName(QUrl(u"http://me:pw@x.example/l.m3u8?token=a#t"_s)),
              u"http://x.example/l.m3u8"_s);
    EXPECT_EQ(mavrel::openTargetName(QUrl(u"file:///m/My%20List.m3u"_s)), u"My List.m3u"_s);
}

TEST(CommandLine, ParseArguments)
{
    const struct
    {
        QStringList arguments;
        QString expected; // the targets and the number refused, or the error and its code
    } cases[] = {
        {{}, u"0"_s},
        {{u"a.m3u"_s, u"ftp://x"_s, u"HTTP://h.example/s"_s, u""_s},
         u"file:///w/a.m3u http://h.example/s 2"_s},
        {{u"--"_s, u"-x"_s, u"--"_s, u"-"_s}, u"file:///w/-x file:///w/-- file:///w/- 0"_s},
        {{u"a.m3u"_s, u"--bogus"_s},
         u"mavrel: unknown option '--bogus'\nTry 'mavrel --help'.\n 2"_s},
    };
    for (const auto &c : cases) {
        const auto request =
            mavrel::parseArguments(QStringList{u"mavrel"_s} + c.arguments, u"/w"_s);
        QStringList got;
        for (const QUrl &url : request ? request.value().targets : QList<QUrl>{})
            got.append(url.toString());
        if (!request)
            got.append(request.error().message);
        got.append(
            QString::number(request ? request.value().refused.size() : request.error().code));
        EXPECT_EQ(got.join(u' '), c.expected);
    }
    const char *const afterEnd[] = {"mavrel", "--", "--help"}; // a file of that name
    EXPECT_FALSE(mavrel::answerInformationOptions(3, afterEnd, stdout));
}

} // namespace
