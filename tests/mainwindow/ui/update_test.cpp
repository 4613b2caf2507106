// Catalogue updates against the real catalogue server on loopback (and a scripted server for
// the failures it does not make), the merge under kill -9, and the main window's wiring.
#include "catalogue/scramble.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "catalogueserver.h"
#include "localization/clslanguages.h"
#include "mainwindow/ui/form1.h"
#include "mainwindowui.h"
#include "online/catalogueupdate.h"
#include "online/datetext.h"
#include "online/fetch.h"
#include "online/updateexchange.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/scripteddialogs.h"
#include "platform/settings.h"
#include "player/ui/mediaplayer.h"
#include "testhttpserver.h"
#include "unreachableserver.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

std::optional<UpdateState> stateOf(const Result<UpdateOutcome> &update)
{
    return update ? std::optional(update.value().state) : std::nullopt;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The catalogue lines of a text, sorted, without the empty ones.
QList<QByteArray> sortedLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    for (const QByteArray &l : text.split('\n')) {
        const QByteArray line = l.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

class UpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        writeFile(catalogueFile(), kLocalLine);
    }

    // The real server, started in a second of its own: a viewer's stored date is the second
    // before its fetch, so a fetch in the seeding second would see the seeding as new again.
    void startServer()
    {
        server = std::make_unique<CatalogueServer>();
        ASSERT_TRUE(server->start()) << server->error().toStdString();
        const qint64 started = QDateTime::currentSecsSinceEpoch();
        while (QDateTime::currentSecsSinceEpoch() <= started)
            QThread::msleep(20);
    }

    UpdateContext context(const QByteArray &base)
    {
        UpdateContext c;
        c.server = base;
        c.dataDirectory = temp.path();
        c.setStatus = [this](const QString &t) { statuses.append(t); };
        c.showMessage = [this](const QString &t) { messages.append(t); };
        c.showChannels = [this] { ++reloads; };
        return c;
    }
    Result<UpdateOutcome> update(UpdateList list = UpdateList::Changes)
    {
        messages.clear();
        statuses.clear();
        reloads = 0;
        return updateChannels(context(server->baseUrl()), list);
    }

    // The window's folders and settings in the temporary folder, the data folder being the one
    // the exchange tests use; TearDown ends the overrides.
    void useWindowFolders()
    {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        for (const QString &sub : {u"app"_s, u"etc"_s, u"overlay"_s})
            QDir(temp.path()).mkpath(sub);
        setApplicationFolderOverride(temp.path() + u"/app"_s);
        setDataDirectoryOverride(temp.path());
        setMachineStoreFolders({temp.path() + u"/etc"_s, temp.path() + u"/overlay"_s});
        QFile::remove(userSettingsFilePath(settingsApplication()));
        storeSetting(SettingKey::Language, u"English"_s);
        storeSetting(SettingKey::ShowHelp, u"0"_s);
        qputenv("MAVREL_CATALOGUE_URL", server->baseUrl());
    }
    void TearDown() override
    {
        setApplicationFolderOverride({});
        setDataDirectoryOverride({});
        setMachineStoreFolders({});
    }

    QString catalogueFile() const { return temp.path() + u"/Data.txt"_s; }
    QString dateFile() const { return updateDateFile(temp.path()); }
    // What the viewer should hold: the server's catalogue and the line only it has.
    QList<QByteArray> expectedLines()
    {
        auto exported = server->runCommand(u"export"_s, {});
        return exported ? sortedLines(*exported + kLocalLine) : QList<QByteArray>{};
    }
    FetchResult report(const QByteArray &query)
    {
        return fetchPage(server->baseUrl() + "/tv/getData.asp?" + query);
    }

    static constexpr char kLocalLine[] = "900001|Local only|TV|xyz|English|||0|0|\r\n";
    QTemporaryDir temp;
    std::unique_ptr<CatalogueServer> server;
    QStringList statuses;
    QStringList messages;
    int reloads = 0;
};

TEST_F(UpdateTest, UpdatesFollowTheServersCatalogue)
{
    startServer();
    const QByteArray before = readFile(catalogueFile());

    // A full update cut short by a limit is not merged, and no date is stored.
    UpdateContext limited = context(server->baseUrl());
    limited.replyLimits = FetchLimits{200, 10'000, 5'000, 5'000};
    EXPECT_EQ(stateOf(updateChannels(limited)), std::nullopt);
    EXPECT_EQ(readFile(catalogueFile()), before);
    EXPECT_FALSE(QFile::exists(dateFile()));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(u"The update failed"_s));

    // First update, from the initial date: everything arrives.
    const Result<UpdateOutcome> first = update();
    ASSERT_EQ(stateOf(first), UpdateState::Merged);
    const QList<QByteArray> expected = expectedLines();
    EXPECT_EQ(first.value().count, expected.size() - 1);
    EXPECT_EQ(sortedLines(readFile(catalogueFile())), expected);
    // A first download names the channels the list now has.
    EXPECT_EQ(messages, QStringList{downloadedUpdatesText(int(expected.size()))});
    EXPECT_EQ(reloads, 1);
    const QByteArray storedDate = readFile(dateFile());
    ASSERT_TRUE(parseDateText(QByteArrayView(storedDate).chopped(2))) << storedDate.constData();

    // Nothing new: nothing is fetched beyond the date, nothing changes.
    const QByteArray afterFirst = readFile(catalogueFile());
    EXPECT_EQ(stateOf(update()), UpdateState::NoUpdates);
    EXPECT_EQ(statuses.value(statuses.size() - 1), noUpdatesText());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(readFile(catalogueFile()), afterFirst);
    EXPECT_EQ(readFile(dateFile()), storedDate);

    // An addition, a removal and a replacement (a new rating changes the line).
    const QString imported = temp.path() + u"/new.txt"_s;
    writeFile(imported, "|Fresh Channel|TV|" + encryptString("http://fresh.example/").value() +
                            "|English|||0|0|\r\n");
    ASSERT_TRUE(server->runCommand(u"import"_s, {imported}));
    const ChannelRecord removed = server->catalogue().first();
    ASSERT_TRUE(server->runCommand(u"remove"_s, {QString::fromLatin1(removed.id)}));
    const ChannelRecord rated = server->catalogue().at(1);
    ASSERT_EQ(report("strType=Rate&strValue=5&strItem=" +
                     QUrl::toPercentEncoding(QString::fromLatin1(rated.name)))
                  .httpStatus,
              200);

    // The window's message table words the outcome.
    UpdateContext worded = context(server->baseUrl());
    worded.message = [](const QString &key) {
        return key == u"MSG_UPDATESDOWNLOADED"_s ? u"%1 geändert"_s : QString();
    };
    messages.clear();
    const Result<UpdateOutcome> third = updateChannels(worded);
    ASSERT_EQ(stateOf(third), UpdateState::Merged);
    EXPECT_GT(third.value().count, 0);
    // The reply replays the recent seeding too; only the three channels that changed count.
    EXPECT_EQ(messages, QStringList{u"3 geändert"_s});
    const QList<QByteArray> now = sortedLines(readFile(catalogueFile()));
    EXPECT_EQ(now, expectedLines());
    EXPECT_FALSE(now.contains(removed.toLine().value().trimmed()));
}

// Each step of the exchange failing, on a scripted server.
TEST_F(UpdateTest, AFailureAtAnyStepChangesNothing)
{
    const QByteArray oneLine = "ADD|5|Five|TV|u|English|||1|2<BR>";
    const struct
    {
        const char *name;
        int currentStatus;
        QByteArray currentDate;
        bool cutReply; // the update lines stop without their end
        int replyStatus;
        int dateStatus;
        std::optional<UpdateState> state; // none: failed
        bool merged;
    } cases[] = {
        {"date page fails", 500, "Server error", false, 200, 200, std::nullopt, false},
        {"date is no date", 200, "<html>busy</html>", false, 200, 200, std::nullopt, false},
        {"lines page fails", 200, "5/21/2009 10:00:00 AM", false, 500, 200, std::nullopt, false},
        {"lines cut short", 200, "5/21/2009 10:00:00 AM", true, 200, 200, std::nullopt, false},
        {"stored date fails", 200, "5/21/2009 10:00:00 AM", false, 200, 404, UpdateState::Merged,
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dateFile());
        writeFile(catalogueFile(), kLocalLine);
        TestHttpServer http;
        ASSERT_TRUE(http.listen());
        http.serve("/ostrel/currentdate.asp", c.currentDate + "\r\n<br>", c.currentStatus);
        if (c.cutReply)
            http.serveStall("/ostrel/getChannels.asp", oneLine);
        else
            http.serve("/ostrel/getChannels.asp", oneLine, c.replyStatus);
        http.serve("/ostrel/date.asp", "5/22/2009 12:00:00 AM", c.dateStatus);
        UpdateContext ctx = context(http.url(""));
        ctx.replyLimits = FetchLimits{1 << 20, 5'000, 300, 5'000};
        messages.clear();
        reloads = 0;
        EXPECT_EQ(stateOf(updateChannels(ctx)), c.state);
        EXPECT_EQ(readFile(catalogueFile()),
                  c.merged ? QByteArray(kLocalLine) + "\r\n5|Five|TV|u|English|||1|2|\r\n"
                           : QByteArray(kLocalLine));
        EXPECT_FALSE(QFile::exists(dateFile()));
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0].startsWith(u"The update failed"_s), !c.merged);
        EXPECT_EQ(reloads, c.merged ? 1 : 0);
        if (c.currentDate.startsWith("5/")) {
            ASSERT_EQ(http.requestsFor("/ostrel/getChannels.asp").size(), 1);
            EXPECT_EQ(http.requestsFor("/ostrel/getChannels.asp")[0].target,
                      "/ostrel/getChannels.asp?date=3/16/2006");
        }
    }

    // No server at all, and a server date that is not newer: nothing but the date is fetched.
    writeFile(catalogueFile(), kLocalLine);
    const quint16 refused = TestHttpServer::refusedPort();
    EXPECT_EQ(stateOf(updateChannels(context("http://127.0.0.1:" + QByteArray::number(refused)))),
              std::nullopt);
    TestHttpServer http;
    ASSERT_TRUE(http.listen());
    http.serve("/ostrel/currentdate.asp", "3/16/2006 12:00:00 AM");
    EXPECT_EQ(stateOf(updateChannels(context(http.url("")))), UpdateState::NoUpdates);
    EXPECT_EQ(http.requests().size(), 1);
    EXPECT_EQ(readFile(catalogueFile()), kLocalLine);

    // The date after a merge keeps the midnight rule.
    http.serve("/ostrel/currentdate.asp", "5/21/2009 10:00:00 AM");
    http.serve("/ostrel/getChannels.asp", oneLine);
    http.serve("/ostrel/date.asp", " 5/22/2009 12:00:00 AM\r\n");
    EXPECT_EQ(stateOf(updateChannels(context(http.url("")))), UpdateState::Merged);
    EXPECT_EQ(readFile(dateFile()), "5/22/2009\r\n");

    // A stored date that cannot be read asks from the start, and is replaced after the merge.
    writeFile(dateFile(), "13/45/2009 banana\r\n");
    http.clearRequests();
    EXPECT_EQ(stateOf(updateChannels(context(http.url("")))), UpdateState::Merged);
    ASSERT_EQ(http.requestsFor("/ostrel/getChannels.asp").size(), 1);
    EXPECT_EQ(http.requestsFor("/ostrel/getChannels.asp")[0].target,
              "/ostrel/getChannels.asp?date=3/16/2006");
    EXPECT_EQ(readFile(dateFile()), "5/22/2009\r\n");
}

// The date the reply covers goes to date.asp and bounds what is stored: an address's memory
// may be later, moved by another viewer behind it.
TEST_F(UpdateTest, TheStoredDateIsNoLaterThanTheReplyCovered)
{
    TestHttpServer http;
    ASSERT_TRUE(http.listen());
    http.serve("/ostrel/currentdate.asp", "5/21/2009 10:00:00 AM");
    http.serve("/ostrel/getChannels.asp",
               "ADD|5|Five|TV|u|English|||1|2<BR>COVERED 5/21/2009 9:59:59 AM");
    http.serve("/ostrel/date.asp", "5/21/2009 10:30:00 AM");
    EXPECT_EQ(stateOf(updateChannels(context(http.url("")))), UpdateState::Merged);
    EXPECT_EQ(readFile(dateFile()), "5/21/2009 9:59:59 AM\r\n");
    ASSERT_EQ(http.requestsFor("/ostrel/date.asp").size(), 1);
    EXPECT_EQ(http.requestsFor("/ostrel/date.asp")[0].target,
              "/ostrel/date.asp?date=5/21/2009%209:59:59%20AM");
}

// A merge killed at any moment leaves the old catalogue or the new one, whole.
TEST_F(UpdateTest, KillDuringMergeLeavesOldOrNew)
{
    QByteArray old;
    QByteArray reply;
    for (int i = 1; i <= 200'000; ++i)
        old += QByteArray::number(i) + "|Channel " + QByteArray::number(i) +
               "|TV|abcdefghijklmnopqrstuvwxyz0123456789|English|||3|4.5|\r\n";
    for (int i = 1; i <= 200'000; i += 10)
        reply += "ADD|" + QByteArray::number(i) + "|Renamed " + QByteArray::number(i) +
                 "|TV|zyxwvutsrqponmlkjihgfedcba|French|||1|2<BR>";
    const QString replyFile = temp.path() + u"/reply.txt"_s;
    writeFile(replyFile, reply);
    writeFile(catalogueFile(), old);
    ASSERT_TRUE(extractNewDefs(catalogueFile(), reply));
    const QByteArray merged = readFile(catalogueFile());

    int oldSeen = 0;
    int newSeen = 0;
    for (const int delayMs : {0, 2, 5, 10, 20, 40, 80, 160, 1000}) {
        SCOPED_TRACE(delayMs);
        writeFile(catalogueFile(), old);
        QProcess child;
        child.start(QString::fromUtf8(MERGE_HELPER), {catalogueFile(), replyFile});
        ASSERT_TRUE(child.waitForReadyRead(10000));
        QThread::msleep(delayMs);
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));
        const QByteArray now = readFile(catalogueFile());
        ASSERT_TRUE(now == old || now == merged) << "size " << now.size();
        (now == old ? oldSeen : newSeen)++;
    }
    EXPECT_GT(oldSeen, 0) << "no kill landed during a merge";
    EXPECT_GT(newSeen, 0) << "no merge finished";
}

// The main window: the button and the menu items run the exchange; the message goes through
// the dialog seam and the TV list shows the new catalogue.
TEST_F(UpdateTest, WindowRunsTheUpdateFromButtonAndMenu)
{
    startServer();
    useWindowFolders();
    writeFile(temp.path() + u"/app/admin.txt"_s, "");
    ScriptedDialogs dialogs;
    Dialogs *previous = setDialogs(&dialogs);
    {
        Form1 form;
        const MainWindowUi ui(form);
        ASSERT_TRUE(form.Form_Load());
        EXPECT_TRUE(ui.cmdUpdate->isEnabled());
        EXPECT_TRUE(ui.mnuUpdateItem[0]->isEnabled());
        EXPECT_TRUE(ui.mnuUpdateItem[1]->isEnabled());
        EXPECT_TRUE(ui.mnuUpdateItem[2]->isEnabled() && ui.mnuUpdateItem[2]->isVisible());
        const int rowsBefore = ui.ListView1->model()->rowCount();

        // A second click while the first update fetches is not a second update.
        QTimer::singleShot(0, &form, [&ui] { ui.cmdUpdate->click(); });
        ui.cmdUpdate->click();
        ASSERT_EQ(dialogs.shown().size(), 1);
        EXPECT_TRUE(dialogs.shown()[0].text.startsWith(u"Downloaded "_s));
        EXPECT_TRUE(dialogs.shown()[0].text.endsWith(u" channel updates"_s));
        EXPECT_GT(ui.ListView1->model()->rowCount(), rowsBefore);

        ui.mnuUpdateItem[0]->trigger();
        EXPECT_EQ(dialogs.shown().size(), 1);
        EXPECT_EQ(ui.txtStatus->text(), noUpdatesText());
        EXPECT_EQ(ui.StatusBar1Panel1->text(), noUpdatesText());

        // Staff mode: a channel marked dead leaves; the date stays, since date.dat serves both
        // lists and the next ordinary update must still ask from it.
        const QByteArray storedDate = readFile(dateFile());
        ASSERT_EQ(report("strType=OFFLINE&strValue=&strItem=Demo%20Radio&admin=true").httpStatus,
                  200);
        // An ordinary update has nothing new: the dead mark is for the dead list only.
        ui.mnuUpdateItem[0]->trigger();
        EXPECT_EQ(dialogs.shown().size(), 1);
        EXPECT_EQ(ui.txtStatus->text(), noUpdatesText());
        ui.mnuUpdateItem[2]->trigger();
        ASSERT_EQ(dialogs.shown().size(), 2);
        EXPECT_EQ(dialogs.shown()[1].text, downloadedUpdatesText(1));
        // What the viewer holds is what the server exports: its channels that are not dead.
        EXPECT_EQ(sortedLines(readFile(catalogueFile())), expectedLines());
        EXPECT_FALSE(readFile(catalogueFile()).contains("|Demo Radio|"));
        EXPECT_EQ(readFile(dateFile()), storedDate);
        form.close();
    }
    setDialogs(previous);
}

// A first start without a catalogue downloads the whole of it into a new data folder, showing
// its progress, or leaves nothing behind and says why.
TEST_F(UpdateTest, FirstStartDownloadsTheCatalogueOrLeavesNothing)
{
    startServer();
    useWindowFolders();
    const QString data = temp.path() + u"/fresh/RUZAV"_s;
    setDataDirectoryOverride(data);
    TestHttpServer cut;
    ASSERT_TRUE(cut.listen());
    cut.serve("/ostrel/currentdate.asp", "5/21/2009 10:00:00 AM");
    cut.serveCut("/ostrel/getChannels.asp", "ADD|5|Five|TV|u|English|||1|2<BR>");
    UpdateContext refused = context(TestHttpServer::refusedUrl());
    // The start of the one box shown; none when the list is there.
    const std::tuple<const char *, QByteArray, QString> cases[] = {
        {"catalogue server", server->baseUrl(), {}},
        {"nothing listens", refused.server, serverUnreachableText(refused)},
        {"reply cut short", cut.url(""), u"The update failed"_s},
    };
    const auto exported = server->runCommand(u"export"_s, {});
    ASSERT_TRUE(exported);
    const int channels = int(sortedLines(*exported).size());
    ScopedScriptedDialogs dialogs;
    for (const auto &[name, address, box] : cases) {
        SCOPED_TRACE(name);
        QDir(temp.path() + u"/fresh"_s).removeRecursively();
        qputenv("MAVREL_CATALOGUE_URL", address);
        dialogs.clear();
        QStringList shownStatus;
        Form1 form;
        const MainWindowUi ui(form);
        QObject::connect(ui.txtStatus, &QLineEdit::textChanged,
                         [&](const QString &t) { shownStatus.append(t); });
        ASSERT_TRUE(form.Form_Load());
        form.show();
        QAbstractItemModel *rows = ui.ListView1->model();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.shown().isEmpty() || rows->rowCount() > 0, 20000);
        QTest::qWait(100);
        ASSERT_EQ(dialogs.shown().size(), box.isEmpty() ? 0 : 1);
        if (box.isEmpty()) {
            EXPECT_EQ(sortedLines(readFile(data + u"/Data.txt"_s)), sortedLines(*exported));
            const QByteArray date = readFile(updateDateFile(data));
            EXPECT_TRUE(parseDateText(QByteArrayView(date).chopped(2))) << date.constData();
            EXPECT_TRUE(shownStatus.contains(firstDownloadText(refused, channels)));
        } else {
            EXPECT_TRUE(dialogs.shown()[0].text.startsWith(box));
            EXPECT_FALSE(QFile::exists(data + u"/Data.txt"_s));
            EXPECT_FALSE(QFile::exists(updateDateFile(data)));
            EXPECT_EQ(rows->rowCount(), 0);
        }
    }
    qputenv("MAVREL_CATALOGUE_URL", mavrel::testing::kUnreachableServer);

    QLocale::setDefault(QLocale(QLocale::German)); // the count grouped as the locale groups it
    EXPECT_TRUE(firstDownloadText(refused, 12345).endsWith(u" 12.345 channels"_s));
    QLocale::setDefault(QLocale::system());
}

// Stations of a directory's list reach the viewer with the ratings their votes seed, best first
// as the start-up sort orders them; a station whose last check failed stays out of the list.
TEST_F(UpdateTest, ImportedStationsShowBestRatedFirst)
{
    startServer();
    const QString list = temp.path() + u"/stations.json"_s;
    writeFile(list, R"([
 {"name": "Few Votes", "url": "http://few.invalid/", "language": "english", "votes": 3,
  "lastcheckok": 1},
 {"name": "Most Votes", "url": "http://most.invalid/", "language": "english", "votes": 90000,
  "lastcheckok": 1},
 {"name": "No Votes", "url": "http://none.invalid/", "language": "english", "votes": 0,
  "lastcheckok": 1},
 {"name": "Failed Check", "url": "http://failed.invalid/", "language": "english",
  "votes": 500000, "lastcheckok": 0},
 {"name": "Some Votes", "url": "http://some.invalid/", "language": "english", "votes": 150,
  "lastcheckok": 1}
])");
    ASSERT_TRUE(server->runCommand(u"import"_s, {list}));
    useWindowFolders();
    ScriptedDialogs dialogs;
    Dialogs *previous = setDialogs(&dialogs);
    {
        Form1 form;
        const MainWindowUi ui(form);
        ASSERT_TRUE(form.Form_Load());
        ui.cmdUpdate->click();
        ASSERT_EQ(dialogs.shown().size(), 1);
        ui.cmdRadio->click();
        const int english = ui.Combo1->findText(u"English"_s);
        ASSERT_GE(english, 0);
        ui.Combo1->setCurrentIndex(english);
        emit ui.Combo1->activated(english);

        const QStringList imported{u"Few Votes"_s, u"Most Votes"_s, u"No Votes"_s,
                                   u"Failed Check"_s, u"Some Votes"_s};
        QStringList names, ratings;
        const QAbstractItemModel *m = ui.ListView1->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            const QString name = m->index(r, ChannelListModel::ChannelColumn).data().toString();
            if (imported.contains(name)) {
                names << name;
                ratings << m->index(r, ChannelListModel::RatingColumn).data().toString();
            }
        }
        EXPECT_EQ(names,
                  (QStringList{u"Most Votes"_s, u"Some Votes"_s, u"Few Votes"_s, u"No Votes"_s}));
        EXPECT_EQ(ratings, (QStringList{u"5.0"_s, u"3.1"_s, u"1.4"_s, u"0.0"_s}));
        form.close();
    }
    setDialogs(previous);
}

} // namespace
