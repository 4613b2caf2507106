// The main window's ways to play what its lists do not show: files and addresses from the
// command line and from drops, the recent list, and the favourites out to and in from playlists.
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "favorites/ui/favoritescontroller.h"
#include "favorites/ui/favoritesexchange.h"
#include "favorites/ui/favoritesmodel.h"
#include "mainwindow/commandline.h"
#include "mainwindow/singleinstance.h"
#include "mainwindow/ui/favoritespanel.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/recentpanel.h"
#include "platform/bytetext.h"
#include "platform/scripteddialogs.h"
#include "player/ui/mediaplayer.h"
#include "servedwindow.h"

#include "../../player/testmedia.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace std::string_literals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

constexpr int kWaitMs = 15000;

class OpenTest : public ServedWindowTest
{
protected:
    // The window holds a lock of its own, so that a second start hands over to it alone.
    void load()
    {
        ASSERT_TRUE(QDir().mkpath(runtime()));
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        form = std::make_unique<Form1>();
        ui.emplace(*form);
        form->adoptInstance(std::make_unique<SingleInstance>(runtime() + u"/mavrel.lock"_s));
        ASSERT_TRUE(form->Form_Load());
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ui->WindowsMediaPlayer1->setOpenTimeout(3000);
    }
    QString runtime() const { return temp.path() + u"/run"_s; }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = temp.path() + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QStringList recorded() const
    {
        QStringList out;
        for (const CatalogueServer::Report &r : reportsSinceStart())
            out << QString::fromUtf8(r.type + ' ' + r.item);
        return out;
    }
    bool waitState(MediaPlayer::State state)
    {
        return QTest::qWaitFor([&] { return ui->WindowsMediaPlayer1->state() == state; }, kWaitMs);
    }
    // Whether the window takes the drop.
    bool drop(const QUrl &url)
    {
        QMimeData mime;
        mime.setUrls({url});
        const QPoint at = form->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(form.get(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        return enter.isAccepted() && QCoreApplication::sendEvent(form.get(), &dropped);
    }
    QList<RecentItem> recentItems() const
    {
        QList<RecentItem> out;
        const RecentModel &m = form->recentPanel().model();
        for (int r = 0; r < m.rowCount(); ++r)
            out << m.item(r);
        return out;
    }
    static void click(QAbstractItemView *view, const QModelIndex &index)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }
};

// Favourites as the list shows them: a name kept in Windows-1252 comes back from a UTF-8
// playlist as UTF-8, the same text.
QStringList shown(const QList<Favorite> &favorites)
{
    QStringList out;
    for (const Favorite &f : favorites)
        out << QStringList{displayText(f.name), displayText(f.url), displayText(f.kind),
                           displayText(f.lang)}
                   .join(u'|');
    return out;
}

TEST_F(OpenTest, FilesAndAddressesFromTheCommandLineDropsAndSecondStartsPlayAsTheyAre)
{
    const QString fifo = temp.path() + u"/fifo.ogg"_s;
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    enum Outcome
    {
        Plays,
        Fails,   // handed to the player, which says it cannot play it
        Refused, // never reaches the player
    };
    const struct
    {
        const char *what;
        QString argument;
        Outcome outcome;
    } cases[] = {
        {"file", write(u"tone.wav"_s, makeWav(4.0)), Plays},
        {"M3U", write(u"list.m3u"_s, "#EXTM3U\n#EXTINF:-1,Tone\ntone.wav\n"), Plays},
        {"PLS", write(u"list.pls"_s, "[playlist]\nFile1=tone.wav\nNumberOfEntries=1\n"), Plays},
        {"ASX", write(u"list.asx"_s, "<asx><entry><ref href=\"tone.wav\"/></entry></asx>"), Plays},
        {"XSPF",
         write(u"list.xspf"_s,
               "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
               "<track><location>tone.wav</location></track></trackList></playlist>"),
         Plays},
        {"http", QString::fromUtf8(server->channel("Demo Test Card")->url), Plays},
        {"missing file", temp.path() + u"/missing.ogg"_s, Fails},
        {"FIFO", fifo, Fails},
        {"unsupported scheme", u"ftp://127.0.0.1/tone.wav"_s, Refused},
    };
    load();
    for (const auto &c : cases) {
        for (const char *way :
             {"on the command line", "dropped", "handed over by a second start"}) {
            SCOPED_TRACE(std::string(c.what) + " " + way);
            ui->WindowsMediaPlayer1->close();
            ui->StatusBar1Panel1->clear();
            if (way == "dropped"s) {
                EXPECT_EQ(drop(QUrl::fromUserInput(c.argument, temp.path())), c.outcome != Refused);
            } else if (way == "on the command line"s) {
                const Result<OpenRequest> request =
                    parseArguments({u"mavrel"_s, c.argument}, temp.path());
                ASSERT_TRUE(request.ok());
                form->openOnStart(request.value());
            } else {
                // The real program, started as a file manager starts it, from the files' folder.
                form->showMinimized();
                QProcess second;
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(u"XDG_RUNTIME_DIR"_s, runtime());
                second.setProcessEnvironment(env);
                second.setWorkingDirectory(temp.path());
                second.start(QStringLiteral(MAVREL_VIEWER),
                             {c.argument.startsWith(u'/')
                                  ? QDir(temp.path()).relativeFilePath(c.argument)
                                  : c.argument});
                ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; },
                                            kWaitMs));
                EXPECT_EQ(second.exitCode(), 0);
                EXPECT_FALSE(form->isMinimized());
            }
            // Nothing waits for the item to open: the window answers at once.
            if (c.outcome == Refused) {
                EXPECT_TRUE(ui->WindowsMediaPlayer1->URL().isEmpty());
                EXPECT_EQ(ui->StatusBar1Panel1->text().contains(u"ftp://"_s),
                          way == "on the command line"s);
                continue;
            }
            EXPECT_FALSE(ui->WindowsMediaPlayer1->URL().isEmpty());
            EXPECT_TRUE(waitState(c.outcome == Plays ? MediaPlayer::State::Playing
                                                     : MediaPlayer::State::Error));
        }
    }
    // Like My Files: no check, no report.
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(OpenTest, RecentListPlaysAgainAsItsListDidAndOutlivesARestart)
{
    const QString tone = write(u"tone.wav"_s, makeWav(4.0));
    load();
    const QAbstractItemModel *channels = ui->ListView1->model();
    const QModelIndexList card =
        channels->match(channels->index(0, ChannelListModel::ChannelColumn), Qt::DisplayRole,
                        u"Demo Test Card"_s, 1, Qt::MatchExactly);
    ASSERT_EQ(card.size(), 1);
    click(ui->ListView1, card.first().siblingAtColumn(0));
    ASSERT_TRUE(waitState(MediaPlayer::State::Playing));
    form->openOnStart({{QUrl::fromLocalFile(tone)}, {}});
    ASSERT_TRUE(waitState(MediaPlayer::State::Playing));
    ASSERT_EQ(recorded(), QStringList{u"ONLINE Demo Test Card"_s});

    // Alt+E shows the list, newest first.
    QTest::keyClick(form.get(), Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(ui->fraRecent->isVisible());
    EXPECT_EQ(ui->lvwRecent->model()->index(0, 0).data(), u"tone.wav"_s);
    EXPECT_EQ(recentItems().first().source, RecentSource::File);
    EXPECT_EQ(ui->lvwRecent->model()->index(1, 0).data(), u"Demo Test Card"_s);

    // The channel is checked and reported again, and moves up.
    click(ui->lvwRecent, ui->lvwRecent->model()->index(1, 0));
    EXPECT_EQ(ui->WindowsMediaPlayer1->URL(),
              QString::fromUtf8(server->channel("Demo Test Card")->url));
    EXPECT_EQ(recorded(), (QStringList{u"ONLINE Demo Test Card"_s, u"ONLINE Demo Test Card"_s}));
    EXPECT_EQ(ui->lvwRecent->model()->index(0, 0).data(), u"Demo Test Card"_s);
    // The file plays as it is.
    click(ui->lvwRecent, ui->lvwRecent->model()->index(1, 0));
    EXPECT_EQ(ui->WindowsMediaPlayer1->URL(), tone);
    EXPECT_EQ(recorded().size(), 2);

    const QList<RecentItem> before = recentItems();
    form.reset();
    load();
    EXPECT_EQ(recentItems(), before);

    // Cleared from its context menu, once the user says yes.
    ScopedScriptedDialogs boxes;
    boxes.pushAnswer(DialogAnswer::No);
    ui->mnuRecentItem0->trigger();
    EXPECT_EQ(recentItems().size(), 2);
    boxes.pushAnswer(DialogAnswer::Yes);
    ui->mnuRecentItem0->trigger();
    EXPECT_TRUE(recentItems().isEmpty());
    form.reset();
    load();
    EXPECT_TRUE(recentItems().isEmpty());
}

TEST_F(OpenTest, FavoritesExportedAndImportedComeBackTheSame)
{
    load();
    FavoritesController &favorites = form->favoritesPanel().controller();
    const QList<Favorite> mine = {
        {"Radio \"Uno\", live", "http://a.example/uno.mp3", "Radio", "Espa\xf1ol"},
        {"Caf\xc3\xa9 TV", "http://b.example/live.m3u8", "TV",
         "Fran\xc3\xa7"
         "ais"},
        {"A video", "youtube=abc123", {}, {}},
    };
    for (const Favorite &f : mine)
        favorites.addFavorite(f);
    const QStringList saved = shown(favorites.model().favorites());
    const QString path = temp.path() + u"/out.m3u"_s;

    ScopedScriptedDialogs boxes;
    boxes.pushFileName(path);
    ui->mnuFileItem[0]->trigger();
    ASSERT_TRUE(QFile::exists(path));

    // Into the emptied list and its file; once more adds nothing; a broken or huge playlist
    // changes nothing and says why.
    const struct
    {
        const char *what;
        QString path;
        const char *said;
    } imports[] = {
        {"the exported", path, nullptr},
        {"the same again", path, nullptr},
        {"broken", write(u"broken.xspf"_s, "<playlist><trackList><track>"), "not a playlist"},
        {"huge", write(u"huge.m3u"_s, QByteArray(32 * 1024 * 1024 + 1, '#')), "too large"},
        {"missing", temp.path() + u"/none.m3u"_s, "could not be read"},
    };
    favorites.model().setFavorites({});
    QSignalSpy finished(&form->favoritesPanel().exchange(), &FavoritesExchange::importFinished);
    for (const auto &c : imports) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        boxes.pushFileName(c.path);
        ui->mnuFileItem[1]->trigger();
        ASSERT_TRUE(finished.wait(kWaitMs));
        EXPECT_EQ(shown(favorites.model().favorites()), saved);
        EXPECT_EQ(shown(readFavorites(favorites.filePath())), saved);
        ASSERT_EQ(boxes.shown().size(), c.said ? 2 : 1); // the file chooser, and what it says
        if (c.said) {
            EXPECT_TRUE(boxes.shown().last().text.contains(QLatin1StringView(c.said)));
        }
    }
}

} // namespace
