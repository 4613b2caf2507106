// The favourites of the main window against the real catalogue server and its demo catalogue:
// the pop-up menus, the actions and their reports, the file, and playing each kind of favourite.
#include "catalogue/scramble.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
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
#include "unreachableserver.h"
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

#include <functional>
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
    // Favourites named as given, each at http://h/<name>, and the file that holds them.
    void addNamed(const QList<QByteArray> &names)
    {
        for (const QByteArray &n : names)
            form->favorites().addFavorite({n, "http://h/" + n, "", ""});
    }
    static QByteArray fileOf(const QList<QByteArray> &names)
    {
        QByteArray bytes;
        for (const QByteArray &n : names)
            bytes += line(n + "|http://h/" + n + "||");
        return bytes;
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

TEST_F(FavoritesWindowTest, ActionsTakeTheSelectedRowEvenWhenAnotherIsCurrent)
{
    load();
    addNamed({"one", "two", "three"});
    // As a screen reader selects: the current row stays where it was.
    const auto selectOnly = [](QAbstractItemView *view, int current, int selected) {
        view->setCurrentIndex(view->model()->index(current, 0));
        view->selectionModel()->select(view->model()->index(selected, 0),
                                       QItemSelectionModel::ClearAndSelect |
                                           QItemSelectionModel::Rows);
    };
    selectOnly(form->ListView2, 0, 2);
    form->Command1->click();
    EXPECT_EQ(favoritesFile(), fileOf({"one", "two"}));

    selectChannel(u"Demo Offline Channel"_s);
    const QModelIndex offline = form->ListView1->currentIndex();
    selectOnly(form->ListView1, offline.row() == 0 ? 1 : 0, offline.row());
    form->doChannelAction("Favorites");
    EXPECT_EQ(favoritesFile(), fileOf({"one", "two"}) + demoLine("Demo Offline Channel"));
}

TEST_F(FavoritesWindowTest, EverySaveWritesEveryFavoriteWhateverTheFindBarShows)
{
    load();
    addNamed({"alpha", "beta", "gamma"});
    const auto find = [&](const QString &text) { form->findFavorites->box()->setText(text); };
    find(u"nothing like it"_s);
    addNamed({"delta"});
    form->Command1_Click(); // nothing selected
    EXPECT_EQ(favoritesFile(), fileOf({"alpha", "beta", "gamma", "delta"}));
    // Sorted high to low, "ta" shows delta and beta; the second one shown goes.
    find({});
    form->ListView2_ColumnClick(1);
    find(u"ta"_s);
    form->ListView2->setCurrentIndex(form->ListView2->model()->index(1, 0));
    form->Command1->click();
    EXPECT_EQ(favoritesFile(), fileOf({"gamma", "delta", "alpha"}));
}

TEST_F(FavoritesWindowTest, AFavoriteTooLongForItsLineIsRefusedAndTheRestKeepSaving)
{
    load();
    addNamed({"kept"});
    // The name, "|", the address and "||": 32,766 bytes fit, one more does not.
    const QByteArray address = "http://h/x";
    for (const qsizetype over : {0, 1}) {
        const QByteArray name(kMaxScrambleLength - address.size() - 3 + over, 'n');
        form->favorites().addFavorite({name, address, "", ""});
        EXPECT_EQ(form->ListView2->rowCountShown(), 2) << over;
        EXPECT_EQ(form->StatusBar1Panel1->text().startsWith(u"The favourite was not added"_s),
                  over == 1);
    }
    EXPECT_TRUE(form->saveFavorites());
    EXPECT_TRUE(favoritesFile().startsWith(fileOf({"kept"})));
}

TEST_F(FavoritesWindowTest, AStreamWhoseBytesHoldAnErrorMarkerPlays)
{
    TestHttpServer streams;
    ASSERT_TRUE(streams.listen());
    TestHttpServer::Route hls;
    hls.body = "#EXTM3U\n#EXTINF:10,\nsegment404.ts\n";
    hls.contentType = "application/vnd.apple.mpegurl";
    streams.setRoute("/live.m3u8", hls);
    load();
    form->cmdFavorites_Click();
    form->favorites().addFavorite({"Live", streams.url("/live.m3u8"), "", ""});
    clickFavorite(0);
    EXPECT_EQ(form->WindowsMediaPlayer1->URL(), QString::fromLatin1(streams.url("/live.m3u8")));
    EXPECT_FALSE(form->imgOffline->isVisible());
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(FavoritesWindowTest, ANewerChoiceWinsOverAFavoriteStillBeingChecked)
{
    TestHttpServer slow;
    ASSERT_TRUE(slow.listen());
    slow.serveDrip("/dead", "404 Not Found", 100);
    slow.serveDrip("/live", "<html>live</html>", 100);
    const QString file = temp.path() + u"/files/Tone.wav"_s;
    ASSERT_TRUE(QDir().mkpath(temp.path() + u"/files"_s) && QFile(file).open(QIODevice::WriteOnly));
    load();
    form->favorites().addFavorite({"Slow dead", slow.url("/dead"), "", ""});
    form->favorites().addFavorite({"Slow live", slow.url("/live"), "", ""});
    ASSERT_TRUE(form->localFiles().setDirPath(temp.path() + u"/files"_s));
    form->videoSite().model().add({"abc", "Clip"});
    // Each newer choice is made while the favourite's reply still trickles in.
    selectChannel(u"Demo Test Card"_s);
    form->File1->setCurrentRow(0);
    form->ListView3->setCurrentIndex(form->ListView3->model()->index(0, 0));
    struct Case
    {
        const char *newer;
        int favorite;
        std::function<void()> choose;
        QString url; // what the player is left with
        QStringList reports;
    };
    const Case cases[] = {
        {"channel list",
         0,
         [&] { form->ListView1_Click(); },
         QString::fromUtf8(server->channel("Demo Test Card")->url),
         {u"ONLINE Demo Test Card"_s}},
        {"my files", 0, [&] { form->localFiles().File1_Click(); }, file, {}},
        {"video", 1, [&] { form->ListView3_Click(); }, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.newer);
        form->WindowsMediaPlayer1->setURL({});
        form->cmdFavorites_Click();
        const qsizetype before = recorded().size();
        QTimer::singleShot(100, form.get(), c.choose);
        clickFavorite(c.favorite);
        EXPECT_EQ(form->WindowsMediaPlayer1->URL(), c.url);
        EXPECT_FALSE(form->imgOffline->isVisible());
        EXPECT_EQ(recorded().mid(before), c.reports);
    }
}

TEST_F(FavoritesWindowTest, ActionsConfirmThemselvesInTheStatusLine)
{
    load();
    selectChannel(u"Demo Test Card"_s);
    const std::pair<std::function<void()>, QString> steps[] = {
        {[&] { form->doChannelAction("Rate5"); }, u"Rated Demo Test Card 5 stars"_s},
        {[&] { form->doChannelAction("Rate1"); }, u"Rated Demo Test Card 1 star"_s},
        {[&] { form->doChannelAction("Favorites"); }, u"Added Demo Test Card to your favourites"_s},
        {[&] {
             form->ListView2->setCurrentIndex(form->ListView2->model()->index(0, 0));
             form->Command1->click();
         },
         u"Removed Demo Test Card from your favourites"_s},
        {[&] {
             form->videoSite().model().add({"abc", "Clip"});
             form->ListView3->setCurrentIndex(form->ListView3->model()->index(0, 0));
             form->mnuAction2Item[0]->trigger();
         },
         u"Added Clip to your favourites"_s},
        // A rating the server never got is not confirmed.
        {[&] {
             qputenv("MAVREL_CATALOGUE_URL", mavrel::testing::kUnreachableServer);
             form->doChannelAction("Rate4");
         },
         u"The rating of Demo Test Card could not be sent to the catalogue server"_s},
    };
    for (const auto &[act, status] : steps) {
        form->StatusBar1Panel1->clear();
        act();
        EXPECT_EQ(form->StatusBar1Panel1->text(), status);
    }
}

} // namespace
