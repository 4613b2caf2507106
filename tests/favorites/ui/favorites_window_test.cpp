// The favourites of the main window against the real catalogue server and its demo catalogue:
// the pop-up menus, the actions and their reports, the file, and playing each kind of favourite.
#include "catalogue/scramble.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/modlistviewenh.h"
#include "favorites/ui/favoritescontroller.h"
#include "favorites/ui/favoritesmodel.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/localfilesview.h"
#include "mainwindow/ui/servedwindow.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "qstringprinter.h"
#include "testhttpserver.h"
#include "videosite/ui/videolistmodel.h"
#include "videosite/ui/videositebrowser.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <memory>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

constexpr int kWaitMs = 10000;

class FavoritesWindowTest : public ServedWindowTest
{
protected:
    QString favoritesPath() const { return temp.path() + u"/app/Favorites.txt"_s; }
    QByteArray favoritesFile() const
    {
        QFile f(favoritesPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static QByteArray line(const QByteArray &plain)
    {
        return encryptString(plain).value() + "\r\n";
    }
    QByteArray demoLine(const char *name) const
    {
        const ChannelRecord *c = server->channel(name);
        return c ? line(c->name + '|' + c->url + '|' + c->kind + '|' + c->lang) : QByteArray();
    }

    void selectChannel(const QString &name)
    {
        // Every channel of the current kind.
        const int all = form->Combo1->findText(u"All"_s);
        if (all >= 0 && form->Combo1->currentText() != u"All"_s) {
            form->Combo1->setCurrentIndex(all);
            form->Combo1_Click();
        }
        const QAbstractItemModel *m = form->ListView1->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, ChannelListModel::ChannelColumn).data().toString() == name) {
                form->ListView1->setCurrentIndex(m->index(r, 0));
                return;
            }
        }
        ADD_FAILURE() << "no channel " << name.toStdString();
    }
    void clickFavorite(int row)
    {
        const QModelIndex index = form->ListView2->model()->index(row, 0);
        const QRect rect = form->ListView2->visualRect(index);
        QTest::mouseClick(form->ListView2->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QStringList shownFavorites() const
    {
        QStringList out;
        const QAbstractItemModel *m = form->ListView2->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString() + u'|' + m->index(r, 1).data().toString() +
                       u'|' + m->index(r, 2).data().toString();
        return out;
    }
    // "TYPE item value" of the reports since the test began.
    QStringList recorded() const
    {
        QStringList out;
        for (const CatalogueServer::Report &r : reportsSinceStart())
            out << QString::fromUtf8(r.type + ' ' + r.item + ' ' + r.value).trimmed();
        return out;
    }
};

TEST_F(FavoritesWindowTest, PopUpMenusHoldTheItemsInOrder)
{
    load();
    const QStringList channelItems = {
        u"Add to Favorites"_s,       u""_s,
        u"Rate 5 Stars - Love it"_s, u"Rate 4 Stars - Like it a lot"_s,
        u"Rate 3 Stars - It's ok"_s, u"Rate 2 Stars - Don't like it"_s,
        u"Rate 1 Stars - Hate it"_s, u""_s,
        u"Report Channel Offline"_s,
    };
    QStringList shown;
    for (QAction *a : form->mnuActions->actions())
        shown << (a->isSeparator() ? QString() : a->text());
    EXPECT_EQ(shown, channelItems);
    ASSERT_EQ(form->mnuActionItem.size(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(form->mnuActionItem[i], form->mnuActions->actions()[i]);
    EXPECT_TRUE(form->mnuActionItem[1]->isSeparator() && form->mnuActionItem[7]->isSeparator());
    ASSERT_EQ(form->mnuAction2Item.size(), 1);
    EXPECT_EQ(form->mnuAction2Item[0]->text(), u"Add to Favorites"_s);
    EXPECT_EQ(form->mnuActions->title(), u"Actions"_s);
    EXPECT_EQ(form->mnuActions2->title(), u"Actions2"_s);
    // In the menu bar, never shown there.
    EXPECT_TRUE(form->menuBar()->actions().contains(form->mnuActions->menuAction()));
    EXPECT_FALSE(form->mnuActions->menuAction()->isVisible());
    EXPECT_FALSE(form->mnuActions2->menuAction()->isVisible());

    // They pop up from the buttons and from a right-button release over the channel list.
    const auto popsUp = [](QMenu *menu, const std::function<void()> &act) {
        menu->hide();
        act();
        const bool shown = QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000);
        menu->hide();
        return shown;
    };
    EXPECT_TRUE(popsUp(form->mnuActions, [&] { form->cmdFav->click(); }));
    EXPECT_TRUE(popsUp(form->mnuActions2, [&] {
        form->cmdYouTube_Click();
        form->Command4->click();
    }));
    form->cmdTV_Click();
    EXPECT_TRUE(popsUp(form->mnuActions, [&] {
        QTest::mouseRelease(form->ListView1->viewport(), Qt::RightButton, {}, {10, 10});
    }));
    form->mnuActions->hide();
    QTest::mouseRelease(form->ListView1->viewport(), Qt::LeftButton, {}, {10, 10});
    QTest::qWait(50);
    EXPECT_FALSE(form->mnuActions->isVisible());
}

TEST_F(FavoritesWindowTest, ChannelActionsReportAndOnlyAddingChangesTheList)
{
    load();
    // Nothing selected: nothing happens, nothing is sent.
    form->ListView1->clearSelection();
    form->mnuActionItem[0]->trigger();
    form->mnuActionItem[2]->trigger();
    EXPECT_TRUE(shownFavorites().isEmpty());
    EXPECT_TRUE(recorded().isEmpty());

    selectChannel(u"Demo Test Card"_s);
    form->mnuActionItem[0]->trigger();
    form->mnuActionItem[0]->trigger(); // twice: two rows, two lines
    const QByteArray card = demoLine("Demo Test Card");
    EXPECT_EQ(favoritesFile(), card + card);
    EXPECT_EQ(shownFavorites(), QStringList(2, u"Demo Test Card|TV|English/News"_s));

    // Ratings and the offline report touch neither list nor file; separators do nothing.
    for (const int index : {2, 3, 4, 5, 6, 8, 1, 7, -1, 9})
        form->mnuActionItem_Click(index);
    form->doChannelAction("Bogus");
    EXPECT_EQ(favoritesFile(), card + card);
    EXPECT_EQ(form->ListView2->rowCountShown(), 2);
    EXPECT_EQ(recorded(), (QStringList{
                              u"FAVORITE Demo Test Card"_s,
                              u"FAVORITE Demo Test Card"_s,
                              u"Rate Demo Test Card 5"_s,
                              u"Rate Demo Test Card 4"_s,
                              u"Rate Demo Test Card 3"_s,
                              u"Rate Demo Test Card 2"_s,
                              u"Rate Demo Test Card 1"_s,
                              u"OFFLINE Demo Test Card"_s,
                          }));
}

TEST_F(FavoritesWindowTest, TheFileFollowsTheSortedOrderAndSurvivesARestart)
{
    load();
    for (const char *name : {"Demo Offline Channel", "Demo Test Card", "Canal de Prueba Movido"}) {
        selectChannel(QString::fromUtf8(name));
        form->doChannelAction("Favorites");
    }
    const QByteArray card = demoLine("Demo Test Card");
    const QByteArray offline = demoLine("Demo Offline Channel");
    const QByteArray moved = demoLine("Canal de Prueba Movido");
    EXPECT_EQ(favoritesFile(), offline + card + moved);

    // Sorted by "Channel" (high to low first): the next save writes the order shown.
    form->ListView2_ColumnClick(1);
    form->ListView2->setCurrentIndex({});
    form->Command1_Click(); // nothing selected: the file is rewritten all the same
    EXPECT_EQ(favoritesFile(), card + offline + moved);
    // The other way round; a row added by another window takes its sorted place.
    form->ListView2_ColumnClick(1);
    form->favorites().addFavorite({"Added|by the submission window", "http://x|y", "Radio", ""});
    ASSERT_TRUE(form->favorites().saveFavorites());
    const QByteArray added = line("Added by the submission window|http://x%7Cy|Radio|");
    EXPECT_EQ(favoritesFile(), added + moved + offline + card);

    const QStringList before = shownFavorites();
    EXPECT_EQ(before, (QStringList{u"Added by the submission window|Radio|"_s,
                                   u"Canal de Prueba Movido|TV|Spanish"_s,
                                   u"Demo Offline Channel|TV|English"_s,
                                   u"Demo Test Card|TV|English/News"_s}));
    form.reset();
    load();
    EXPECT_EQ(shownFavorites(), before);

    // Removing the selected row, then every row: an empty file, not a missing one.
    form->ListView2->setCurrentIndex(form->ListView2->model()->index(1, 0));
    form->Command1->click();
    EXPECT_EQ(favoritesFile(), added + offline + card);
    while (form->ListView2->rowCountShown() > 0) {
        form->ListView2->setCurrentIndex(form->ListView2->model()->index(0, 0));
        form->Command1_Click();
    }
    EXPECT_EQ(favoritesFile(), QByteArray());
}

TEST_F(FavoritesWindowTest, AFailedSaveSaysSoAndKeepsTheList)
{
    QDir().mkpath(favoritesPath()); // a folder where the file should be
    load();
    form->cmdRadio_Click();
    selectChannel(u"Demo Radio"_s);
    form->doChannelAction("Favorites");
    EXPECT_EQ(form->ListView2->rowCountShown(), 1);
    EXPECT_TRUE(form->StatusBar1Panel1->text().startsWith(u"The favourites could not be saved"_s))
        << form->StatusBar1Panel1->text().toStdString();
    EXPECT_FALSE(form->saveFavorites());
    EXPECT_EQ(recorded(), QStringList{u"FAVORITE Demo Radio"_s});
}

TEST_F(FavoritesWindowTest, EachKindOfFavoritePlays)
{
    load();
    form->cmdFavorites_Click();
    for (const char *name : {"Demo Test Card", "Demo Offline Channel"}) {
        selectChannel(QString::fromUtf8(name));
        form->doChannelAction("Favorites");
    }
    // A video from the video list.
    form->videoSite().model().add({"abc", "Clip"});
    form->ListView3->setCurrentIndex(form->ListView3->model()->index(0, 0));
    form->mnuAction2Item[0]->trigger();
    form->mnuAction2Item_Click(1); // no such item
    EXPECT_EQ(favoritesFile(), demoLine("Demo Test Card") + demoLine("Demo Offline Channel") +
                                   line("Clip|youtube=abc||"));
    EXPECT_EQ(shownFavorites().last(), u"Clip||"_s);
    const QStringList added = recorded();

    // A stream: fetched, valid, played; nothing reported.
    clickFavorite(0);
    EXPECT_FALSE(form->WindowsMediaPlayer1->isHidden());
    EXPECT_EQ(form->WindowsMediaPlayer1->URL(),
              QString::fromUtf8(server->channel("Demo Test Card")->url));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form->WindowsMediaPlayer1->state() == MediaPlayer::State::Playing; },
        kWaitMs));
    EXPECT_EQ(recorded(), added);

    // An error page: the offline picture, and OFFLINE with a lone quotation mark.
    clickFavorite(1);
    EXPECT_TRUE(form->imgOffline->isVisible());
    EXPECT_EQ(recorded(), added + QStringList{u"OFFLINE Demo Offline Channel \""_s});

    // A video: the page in the browser, the player hidden.
    clickFavorite(2);
    EXPECT_FALSE(form->imgOffline->isVisible());
    EXPECT_TRUE(form->browserAreaShown());
    EXPECT_TRUE(form->WindowsMediaPlayer1->isHidden());
    QFile page(temp.path() + u"/app/youtube.html"_s);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    EXPECT_TRUE(html.contains("<h1>Clip</h1>"));
    EXPECT_EQ(html.count("/v/abc&rel=1'"), 2);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form->browser()->url() == QUrl::fromLocalFile(page.fileName()); }, kWaitMs));
}

TEST_F(FavoritesWindowTest, WhileEditingAClickOnlyHidesTheOfflinePicture)
{
    load(true); // staff mode ticks "Don't Load Video While Editing"
    ASSERT_TRUE(form->chkLoad->isChecked());
    form->favorites().addFavorite({"Dead", "http://127.0.0.1:1/x", "", ""});
    form->cmdFavorites_Click();
    form->imgOffline->show();
    const QString url = form->WindowsMediaPlayer1->URL();
    clickFavorite(0);
    EXPECT_FALSE(form->imgOffline->isVisible());
    EXPECT_EQ(form->WindowsMediaPlayer1->URL(), url);
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(FavoritesWindowTest, RemoveTakesTheSelectedRowHoweverItWasChosen)
{
    load();
    form->cmdFavorites_Click();
    for (const QByteArray name : {"one", "two", "three", "four"})
        form->favorites().addFavorite({name, "http://127.0.0.1:1/" + name, "", ""});
    const auto names = [&] {
        QStringList out;
        for (const QString &row : shownFavorites())
            out << row.section(u'|', 0, 0);
        return out;
    };
    // A click plays the row and leaves it selected.
    clickFavorite(1);
    form->Command1->click();
    EXPECT_EQ(names(), (QStringList{u"one"_s, u"three"_s, u"four"_s}));
    // A screen reader selects a row without making it current, here with another row current.
    form->ListView2->setCurrentIndex(form->ListView2->model()->index(0, 0));
    form->ListView2->selectionModel()->select(form->ListView2->model()->index(2, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    form->Command1->click();
    EXPECT_EQ(names(), (QStringList{u"one"_s, u"three"_s}));
    EXPECT_EQ(favoritesFile(),
              line("one|http://127.0.0.1:1/one||") + line("three|http://127.0.0.1:1/three||"));
}

TEST_F(FavoritesWindowTest, EverySaveWritesEveryFavoriteWhateverTheFindBarShows)
{
    load();
    form->cmdFavorites_Click();
    const auto add = [&](const QByteArray &name) {
        form->favorites().addFavorite({name, "http://h/" + name, "TV", ""});
    };
    for (const QByteArray name : {"alpha", "beta", "gamma"})
        add(name);
    const auto fileOf = [](const QList<QByteArray> &names) {
        QByteArray bytes;
        for (const QByteArray &n : names)
            bytes += line(n + "|http://h/" + n + "|TV|");
        return bytes;
    };
    const auto find = [&](const QString &text) { form->findFavorites->box()->setText(text); };

    find(u"alp"_s);
    ASSERT_EQ(form->ListView2->rowCountShown(), 1);
    form->Command1_Click(); // nothing selected
    EXPECT_EQ(favoritesFile(), fileOf({"alpha", "beta", "gamma"}));
    find(u"nothing like it"_s);
    add("delta");
    ASSERT_TRUE(form->saveFavorites());
    EXPECT_EQ(favoritesFile(), fileOf({"alpha", "beta", "gamma", "delta"}));
    // Sorted high to low while the find bar shows two rows: all four, in the sorted order.
    find({});
    form->ListView2_ColumnClick(1);
    find(u"ta"_s);
    ASSERT_EQ(form->ListView2->rowCountShown(), 2); // beta, delta
    form->ListView2->setCurrentIndex(form->ListView2->model()->index(1, 0));
    form->Command1->click(); // removes the one shown second: beta
    EXPECT_EQ(favoritesFile(), fileOf({"gamma", "delta", "alpha"}));
}

TEST_F(FavoritesWindowTest, AFavoriteTooLongForItsLineIsRefusedAndTheRestKeepSaving)
{
    load();
    form->favorites().addFavorite({"Kept", "http://h/kept", "", ""});
    // The line is the name, "|", the address and two more "|": 32,766 bytes fit.
    const QByteArray address = "http://h/x";
    const qsizetype fits = kMaxScrambleLength - address.size() - 3;
    struct Case
    {
        const char *what;
        qsizetype nameBytes;
        bool added;
    };
    const Case cases[] = {{"as long as fits", fits, true}, {"one byte over", fits + 1, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        form->StatusBar1Panel1->clear();
        const int rows = form->ListView2->rowCountShown();
        form->favorites().addFavorite({QByteArray(c.nameBytes, 'n'), address, "", ""});
        EXPECT_EQ(form->ListView2->rowCountShown(), rows + (c.added ? 1 : 0));
        EXPECT_EQ(form->StatusBar1Panel1->text().startsWith(u"The favourite was not added"_s),
                  !c.added);
        EXPECT_TRUE(form->saveFavorites());
        EXPECT_TRUE(favoritesFile().startsWith(line("Kept|http://h/kept||")));
    }
    // A huge title from a listing is refused the same way, and nothing is reported.
    form->videoSite().model().add({"abc", QByteArray(kMaxScrambleLength, 't')});
    form->ListView3->setCurrentIndex(form->ListView3->model()->index(0, 0));
    form->mnuAction2Item[0]->trigger();
    EXPECT_EQ(form->ListView2->rowCountShown(), 2);
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(FavoritesWindowTest, AFavoriteIsCheckedByWhatItsReplyIs)
{
    TestHttpServer streams;
    ASSERT_TRUE(streams.listen());
    QByteArray audio("\xff\xfb\x90\x00", 4);
    audio += QByteArray(2000, '\x80') + "404 Not Found" + QByteArray(2000, '\x7f');
    struct Case
    {
        QByteArray path, body, contentType;
    };
    const Case cases[] = {
        {"/live.m3u8", "#EXTM3U\n#EXTINF:10,\nsegment404.ts\n", "application/vnd.apple.mpegurl"},
        {"/radio", audio, "audio/mpeg"},
    };
    load();
    form->cmdFavorites_Click();
    for (const Case &c : cases) {
        TestHttpServer::Route route;
        route.body = c.body;
        route.contentType = c.contentType;
        streams.setRoute(c.path, route);
        form->favorites().addFavorite({c.path, streams.url(c.path), "", ""});
    }
    for (int row = 0; row < int(std::size(cases)); ++row) {
        SCOPED_TRACE(cases[row].path.constData());
        clickFavorite(row);
        EXPECT_EQ(form->WindowsMediaPlayer1->URL(),
                  QString::fromLatin1(streams.url(cases[row].path)));
        EXPECT_FALSE(form->imgOffline->isVisible());
    }
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(FavoritesWindowTest, ANewerChoiceWinsOverAFavoriteStillBeingChecked)
{
    TestHttpServer slow;
    ASSERT_TRUE(slow.listen());
    slow.serveDrip("/dead", "404 Not Found", 50);
    slow.serveDrip("/live", "<html>live</html>", 50);
    QFile wav(temp.path() + u"/files/Tone.wav"_s);
    ASSERT_TRUE(QDir().mkpath(temp.path() + u"/files"_s) && wav.open(QIODevice::WriteOnly));
    wav.write(QByteArray(64, '\0'));
    wav.close();

    load();
    form->favorites().addFavorite({"Slow dead", slow.url("/dead"), "", ""});
    form->favorites().addFavorite({"Slow live", slow.url("/live"), "", ""});
    ASSERT_TRUE(form->localFiles().setDirPath(temp.path() + u"/files"_s));
    form->videoSite().model().add({"abc", "Clip"});
    const QString card = QString::fromUtf8(server->channel("Demo Test Card")->url);
    struct Newer
    {
        const char *what;
        std::function<void()> choose;
        QString url; // what the player is left with
        QStringList reports;
    };
    const Newer newer[] = {
        {"channel list",
         [&] {
             selectChannel(u"Demo Test Card"_s);
             form->ListView1_Click();
         },
         card,
         {u"ONLINE Demo Test Card"_s}},
        {"my files",
         [&] {
             form->File1->setCurrentRow(0);
             form->localFiles().File1_Click();
         },
         wav.fileName(),
         {}},
        {"video",
         [&] {
             form->ListView3->setCurrentIndex(form->ListView3->model()->index(0, 0));
             form->ListView3_Click();
         },
         {},
         {}},
    };
    for (const Newer &n : newer) {
        for (const int favorite : {0, 1}) {
            SCOPED_TRACE(std::string(n.what) +
                         (favorite ? " after a live one" : " after a dead one"));
            form->WindowsMediaPlayer1->setURL({});
            form->cmdFavorites_Click();
            const qsizetype before = recorded().size();
            QTimer::singleShot(100, form.get(), n.choose);
            clickFavorite(favorite);
            EXPECT_EQ(form->WindowsMediaPlayer1->URL(), n.url);
            EXPECT_FALSE(form->imgOffline->isVisible());
            EXPECT_EQ(recorded().mid(before), n.reports);
        }
    }
}

} // namespace
