#include "submit/ui/frmsubmit.h"

#include "catalogue/channelrecord.h"
#include "catalogueserver.h"
#include "favorites/favorites.h"
#include "localization/clslanguages.h"
#include "online/updateexchange.h"
#include "platform/paths.h"
#include "platform/scripteddialogs.h"
#include "player/ui/mediaplayer.h"
#include "qstringprinter.h"
#include "testhttpserver.h"
#include "unreachableserver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

class RecordingFavorites : public FavoriteList
{
public:
    void addFavorite(const Favorite &favorite) override { added.append(favorite); }
    Result<void> saveFavorites() override
    {
        ++saves;
        return {};
    }
    QList<Favorite> added;
    int saves = 0;
};

QStringList items(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QByteArray readData(const char *name)
{
    QFile file(QStringLiteral(MAVREL_TEST_DATA_DIR "/submit/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SubmitWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        setApplicationFolderOverride(temp.path());
        ASSERT_TRUE(http.listen());
        window = std::make_unique<frmSubmit>(languages, favorites);
        window->Form_Load();
        window->setSpiderLimits(SpiderLimits{0, 100'000, 1'000});
    }
    void TearDown() override
    {
        window.reset();
        setApplicationFolderOverride({});
        qputenv("MAVREL_CATALOGUE_URL", mavrel::testing::kUnreachableServer);
    }

    QTemporaryDir temp;
    TestHttpServer http;
    clsLanguages languages;
    RecordingFavorites favorites;
    ScopedScriptedDialogs boxes;
    std::unique_ptr<frmSubmit> window;
};

} // namespace

TEST_F(SubmitWindowTest, SubmitsToTheCatalogueServerWhichListsTheChannelInItsUpdate)
{
    CatalogueServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    qputenv("MAVREL_CATALOGUE_URL", server.baseUrl());
    // The update's stored date is a second before its fetch: submit in a later second.
    const qint64 started = QDateTime::currentSecsSinceEpoch();
    while (QDateTime::currentSecsSinceEpoch() <= started)
        QThread::msleep(20);

    // A refusal leaves the fields and sends nothing.
    window->txtName->setText(u"Rock & Roll #1"_s);
    window->txtURL->setText(u"http://"_s);
    window->cmdAdd->click();
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].text, u"You must enter a URL"_s);

    window->txtURL->setText(u"http://radio.example.org/live.m3u8?a=1&b=2"_s);
    window->cmbType->setEditText(u"Radio/Music"_s);
    ASSERT_TRUE(window->chkFavorites->isChecked());
    window->cmdAdd->click();
    EXPECT_EQ(window->statusText(), u"Rock & Roll #1 submitted!  Thank you!"_s);
    ASSERT_EQ(favorites.added.size(), 1);
    EXPECT_EQ(favorites.added[0].name, "Rock & Roll #1");
    EXPECT_EQ(favorites.added[0].url, "http://radio.example.org/live.m3u8?a=1&b=2");
    EXPECT_EQ(favorites.added[0].kind, "Radio");
    EXPECT_EQ(favorites.added[0].lang, "English");
    EXPECT_EQ(favorites.saves, 1);

    // The same channel again is a duplicate, still added to the favourites when ticked.
    window->cmdAdd->click();
    EXPECT_EQ(window->statusText(), u"Rock & Roll #1 is a duplicate submission.  It has still "
                                    u"beed added to your favorites."_s);
    EXPECT_EQ(favorites.added.size(), 2);
    window->chkFavorites->setChecked(false);
    window->cmdAdd->click();
    EXPECT_EQ(window->statusText(), u"Rock & Roll #1 is a duplicate submission."_s);
    EXPECT_EQ(favorites.added.size(), 2);

    // The server refuses an address that is only the prefix in capitals.
    window->chkFavorites->setChecked(true);
    window->txtURL->setText(u"HTTP://"_s);
    window->cmdAdd->click();
    ASSERT_EQ(boxes.shown().size(), 2);
    EXPECT_TRUE(boxes.shown()[1].text.contains(u"non-ascii characters"_s));
    EXPECT_EQ(favorites.added.size(), 2);

    // The whole name and address arrive: the viewer's next update lists the channel.
    QFile(temp.path() + u"/Data.txt"_s).open(QIODevice::WriteOnly);
    UpdateContext context;
    context.server = server.baseUrl();
    context.dataDirectory = temp.path();
    context.setStatus = [](const QString &) {};
    context.showMessage = [](const QString &) {};
    context.showChannels = [] {};
    ASSERT_TRUE(updateChannels(context).ok());
    QFile data(temp.path() + u"/Data.txt"_s);
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    bool listed = false;
    for (const QByteArray &line : data.readAll().split('\n')) {
        const auto record = ChannelRecord::parse(line.trimmed());
        if (record.ok() && record.value().name == "Rock & Roll #1") {
            listed = true;
            EXPECT_EQ(record.value().url, "http://radio.example.org/live.m3u8?a=1&b=2");
            EXPECT_EQ(record.value().kind, "Radio");
        }
    }
    EXPECT_TRUE(listed);

    // No server at all: the connection message.
    qputenv("MAVREL_CATALOGUE_URL", TestHttpServer::refusedUrl());
    window->txtURL->setText(u"http://a.example/x.asx"_s);
    window->cmdAdd->click();
    ASSERT_EQ(boxes.shown().size(), 3);
    EXPECT_TRUE(boxes.shown()[2].text.contains(u"check your internet connection"_s));
}

// The window stays usable while the reply is awaited; what is typed meanwhile is not what was
// sent. The status panel's text is what a screen reader hears.
TEST_F(SubmitWindowTest, TheOutcomeNamesWhatWasSubmitted)
{
    http.serveDrip("/ostrel/submit.asp", "SUCCESS|", 40);
    qputenv("MAVREL_CATALOGUE_URL", http.url(""));
    window->txtName->setText(u"First"_s);
    window->txtURL->setText(u"http://a.example/live.asx"_s);
    QTimer::singleShot(100, window.get(), [this] {
        window->txtName->setText(u"Second"_s);
        window->chkFavorites->setChecked(false);
    });
    window->cmdAdd->click();
    EXPECT_EQ(window->statusText(), u"First submitted!  Thank you!"_s);
    EXPECT_EQ(favorites.added.size(), 1);

    const auto *panel = window->findChild<QLabel *>(u"StatusBar1Panel1"_s);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->accessibleName(), window->statusText());
    EXPECT_EQ(panel->accessibleDescription(), u"Status"_s);
}

TEST_F(SubmitWindowTest, FinderListsStreamsAndTestPlaysThem)
{
    http.serve("/tv/live.htm", readData("finder.htm"));
    http.serve("/media/live.asx", "<asx version=\"3.0\"></asx>");
    const QString page = QString::fromLatin1(http.url("/tv/live.htm"));
    const QString host = QString::fromLatin1(http.url(""));
    window->txtURL2->setText(page);
    window->cmdGo->click();
    // Links resolve against the page's address as a browser resolves them.
    const QStringList expected = {host + u"/media/live.asx"_s, u"http://example.net/a.asx"_s,
                                  host + u"/tv/hls/index.m3u8"_s, host + u"/up/list.pls"_s,
                                  host + u"/tv/stream.wmv"_s};
    EXPECT_EQ(items(window->List1), expected);
    EXPECT_EQ(window->statusText(), u"Extracted 5 link(s)"_s);
    // The list keeps earlier results without repeating them.
    http.serve("/tv/more.htm", "<a href=\"live2.asx\"><a href=\"/media/live.asx\">");
    window->txtURL2->setText(host + u"/tv/more.htm"_s);
    window->cmdGo->click();
    EXPECT_EQ(items(window->List1), expected + QStringList{host + u"/tv/live2.asx"_s});

    // A query is cut off; an address whose page is an error page is not played.
    window->List1->addItem(host + u"/media/live.asx?id=5"_s);
    window->List1->addItem(host + u"/missing.asx"_s);
    window->txtName->setText(u"x"_s);
    window->List1->setCurrentRow(window->List1->count() - 2);
    window->List1_Click();
    EXPECT_EQ(window->txtURL->text(), host + u"/media/live.asx"_s);
    EXPECT_TRUE(window->txtName->text().isEmpty());
    EXPECT_EQ(window->wmp1->URL(), host + u"/media/live.asx"_s);
    window->List1->setCurrentRow(window->List1->count() - 1);
    window->List1_Click();
    EXPECT_EQ(window->statusText(), u"Media Offline - "_s + host + u"/missing.asx"_s);
    EXPECT_EQ(window->wmp1->URL(), host + u"/media/live.asx"_s);
}

TEST_F(SubmitWindowTest, SpiderVisitsAGeneratedSiteOnceEachBreadthFirst)
{
    constexpr int kPages = 2'000;
    // Page i links to 2i+1 and 2i+2 (twice, and back to the start), so breadth first is index
    // order; every tenth page also holds a stream.
    for (int i = 0; i < kPages; ++i) {
        QByteArray body = "<html><body>\r\n";
        for (int child : {2 * i + 1, 2 * i + 2, 2 * i + 1}) {
            if (child < kPages)
                body += "<a href=\"/p" + QByteArray::number(child) + ".htm\">next</a>\r\n";
        }
        body += "<a href=\"/p0.htm\">home</a> <img src=\"x.gif\">\r\n";
        if (i % 10 == 0)
            body += "<a href=\"/s" + QByteArray::number(i) + ".asx\">live</a>\r\n";
        http.serve("/p" + QByteArray::number(i) + ".htm", body);
    }
    const QByteArray start = http.url("/p0.htm");
    window->txtSpider->setText(QString::fromLatin1(start).toUpper());
    const QString idle = window->Command1->text();
    window->Command1->click();
    EXPECT_FALSE(window->spiderRunning());
    EXPECT_EQ(window->Command1->text(), idle);
    EXPECT_EQ(window->statusText(), u"Finished Spider"_s);
    const QList<QByteArray> &visited = window->spider().visited();
    ASSERT_EQ(visited.size(), kPages);
    for (int i = 0; i < kPages; ++i)
        ASSERT_EQ(visited[i], http.url("/p" + QByteArray::number(i) + ".htm")) << i;
    EXPECT_EQ(http.requests().size(), kPages);
    EXPECT_EQ(window->List1->count(), kPages / 10);
    EXPECT_EQ(window->List3->count(), kPages);
    EXPECT_EQ(window->List2->count(), 0);
}

TEST_F(SubmitWindowTest, StopDuringADownloadFinishesThatPageAndKeepsTheQueue)
{
    http.serveDrip("/slow.htm", "<a href=\"a.htm\">a</a><a href=\"b.htm\">b</a><a href=\"c.asx\">",
                   10);
    http.serve("/a.htm", "<a href=\"d.htm\">");
    http.serve("/b.htm", "");
    http.serve("/d.htm", "");
    window->txtSpider->setText(QString::fromLatin1(http.url("/slow.htm")));
    QTimer::singleShot(100, window.get(), [this] { window->Command1->click(); });
    window->Command1->click();
    EXPECT_FALSE(window->spiderRunning());
    // Stream links resolve against the page address, as the finder's do.
    EXPECT_EQ(items(window->List1), QStringList{QString::fromLatin1(http.url("/c.asx"))});
    EXPECT_EQ(items(window->List2), (QStringList{QString::fromLatin1(http.url("/a.htm")),
                                                 QString::fromLatin1(http.url("/b.htm"))}));
    EXPECT_EQ(window->List3->count(), 1);

    // Go resumes with the queue; the start address, queued once more, comes after it.
    window->Command1->click();
    EXPECT_EQ(window->statusText(), u"Finished Spider"_s);
    const QStringList order = {u"/slow.htm"_s, u"/a.htm"_s, u"/b.htm"_s, u"/slow.htm"_s,
                               u"/d.htm"_s};
    QStringList expected;
    for (const QString &path : order)
        expected << QString::fromLatin1(http.url(path.toLatin1()));
    EXPECT_EQ(items(window->List3), expected);
}

TEST_F(SubmitWindowTest, SpiderPausesBetweenRequestsToOneHost)
{
    window->setSpiderLimits(SpiderLimits{300, 100, 100});
    http.serve("/p0.htm", "<a href=\"p1.htm\"><br><a href=\"p2.htm\">");
    http.serve("/p1.htm", "");
    http.serve("/p2.htm", "");
    // Typed without a scheme: queued as typed, fetched with "http://".
    const QString typed = QString::fromLatin1(http.url("/p0.htm").mid(7));
    window->txtSpider->setText(typed);
    QElapsedTimer clock;
    clock.start();
    window->Command1->click();
    EXPECT_EQ(items(window->List3), (QStringList{typed, QString::fromLatin1(http.url("/p1.htm")),
                                                 QString::fromLatin1(http.url("/p2.htm"))}));
    EXPECT_GE(clock.elapsed(), 600);
}

// The window loads in the current language; the spider's run state does not hang on the
// caption, so a translated "Go" still starts and ends a run.
TEST_F(SubmitWindowTest, LoadsTranslatedAndTheSpiderRunsUnderATranslatedCaption)
{
    ASSERT_TRUE(
        QFile::copy(QString::fromUtf8(SHIPPED_LOCALIZATION), temp.path() + u"/Localization.txt"_s));
    languages.setCurrentLanguage(u"Deutsch"_s);
    frmSubmit german(languages, favorites);
    german.Form_Load();
    EXPECT_EQ(german.windowTitle(), u"Sender hinzufügen"_s);
    EXPECT_EQ(german.cmdAdd->text(), u"Sender einreichen"_s);
    EXPECT_EQ(german.Command1->text(), u"Los"_s);
    EXPECT_TRUE(german.Label6->text().contains(u"M3U8"_s));

    german.setSpiderLimits(SpiderLimits{0, 100, 100});
    http.serve("/only.htm", "<p>nothing</p>");
    german.txtSpider->setText(QString::fromLatin1(http.url("/only.htm")));
    german.Command1->click();
    EXPECT_FALSE(german.spiderRunning());
    EXPECT_EQ(german.Command1->text(), u"Los"_s);
    EXPECT_EQ(german.statusText(), u"Finished Spider"_s);
    EXPECT_EQ(items(german.List3), QStringList{QString::fromLatin1(http.url("/only.htm"))});
}

TEST_F(SubmitWindowTest, ClosingTheWindowEndsTheCrawl)
{
    window->setSpiderLimits(SpiderLimits{5'000, 100, 100});
    http.serve("/p0.htm", "<a href=\"p1.htm\">");
    http.serve("/p1.htm", "");
    window->txtSpider->setText(QString::fromLatin1(http.url("/p0.htm")));
    window->show();
    QTimer::singleShot(200, window.get(), [this] { window->close(); });
    QElapsedTimer clock;
    clock.start();
    window->Command1->click();
    EXPECT_LT(clock.elapsed(), 4'000); // the pause before p1 was cut short
    EXPECT_FALSE(window->spiderRunning());
    EXPECT_EQ(window->List3->count(), 1);
}
