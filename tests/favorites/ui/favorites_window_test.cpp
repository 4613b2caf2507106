// The favourites of the main window against the real catalogue server and its demo catalogue:
// the pop-up menus, the actions and their reports, the file, and playing each kind of favourite.
#include "catalogue/scramble.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "favorites/ui/favoritescontroller.h"
#include "favorites/ui/favoritesmodel.h"
#include "localization/clslanguages.h"
#include "mainwindow/ui/favoritespanel.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/localfilesview.h"
#include "mainwindow/ui/myfilespanel.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindow/ui/servedwindow.h"
#include "mainwindow/ui/videositepanel.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "player/ui/mediaplayer.h"
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
        const int all = ui->Combo1->findText(u"All"_s);
        if (all >= 0 && ui->Combo1->currentText() != u"All"_s) {
            ui->Combo1->setCurrentIndex(all);
            emit ui->Combo1->activated(all);
        }
        const QAbstractItemModel *m = ui->ListView1->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, ChannelListModel::ChannelColumn).data().toString() == name) {
                ui->ListView1->setCurrentIndex(m->index(r, 0));
                return;
            }
        }
        ADD_FAILURE() << "no channel " << name.toStdString();
    }
    void clickFavorite(int row)
    {
        const QModelIndex index = ui->ListView2->model()->index(row, 0);
        const QRect rect = ui->ListView2->visualRect(index);
        QTest::mouseClick(ui->ListView2->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QStringList shownFavorites() const
    {
        QStringList out;
        const QAbstractItemModel *m = ui->ListView2->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString() + u'|' + m->index(r, 1).data().toString() +
                       u'|' + m->index(r, 2).data().toString();
        return out;
    }
    // Favourites named as given, each at http://h/<name>, and the file that holds them.
    void addNamed(const QList<QByteArray> &names)
    {
        for (const QByteArray &n : names)
            form->favoritesPanel().controller().addFavorite({n, "http://h/" + n, "", ""});
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
    for (QAction *a : ui->mnuActions->actions())
        shown << (a->isSeparator() ? QString() : a->text());
    EXPECT_EQ(shown, channelItems);
    ASSERT_EQ(ui->mnuActionItem.size(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(ui->mnuActionItem[i], ui->mnuActions->actions()[i]);
    EXPECT_TRUE(ui->mnuActionItem[1]->isSeparator() && ui->mnuActionItem[7]->isSeparator());
    ASSERT_EQ(ui->mnuAction2Item.size(), 1);
    EXPECT_EQ(ui->mnuAction2Item[0]->text(), u"Add to Favorites"_s);
    EXPECT_EQ(ui->mnuActions->title(), u"Actions"_s);
    EXPECT_EQ(ui->mnuActions2->title(), u"Actions2"_s);
    // In the menu bar, never shown there.
    EXPECT_TRUE(form->menuBar()->actions().contains(ui->mnuActions->menuAction()));
    EXPECT_FALSE(ui->mnuActions->menuAction()->isVisible());
    EXPECT_FALSE(ui->mnuActions2->menuAction()->isVisible());

    // They pop up from the buttons and from a right-button release over the channel list.
    const auto popsUp = [](QMenu *menu, const std::function<void()> &act) {
        menu->hide();
        act();
        const bool shown = QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000);
        menu->hide();
        return shown;
    };
    EXPECT_TRUE(popsUp(ui->mnuActions, [&] { ui->cmdFav->click(); }));
    EXPECT_TRUE(popsUp(ui->mnuActions2, [&] {
        ui->cmdYouTube->click();
        ui->Command4->click();
    }));
    ui->cmdTV->click();
    EXPECT_TRUE(popsUp(ui->mnuActions, [&] {
        QTest::mouseRelease(ui->ListView1->viewport(), Qt::RightButton, {}, {10, 10});
    }));
    ui->mnuActions->hide();
    QTest::mouseRelease(ui->ListView1->viewport(), Qt::LeftButton, {}, {10, 10});
    QTest::qWait(50);
    EXPECT_FALSE(ui->mnuActions->isVisible());
}

TEST_F(FavoritesWindowTest, ChannelActionsReportAndOnlyAddingChangesTheList)
{
    load();
    // Nothing selected: nothing happens, nothing is sent.
    ui->ListView1->clearSelection();
    ui->mnuActionItem[0]->trigger();
    ui->mnuActionItem[2]->trigger();
    EXPECT_TRUE(shownFavorites().isEmpty());
    EXPECT_TRUE(recorded().isEmpty());

    selectChannel(u"Demo Test Card"_s);
    ui->mnuActionItem[0]->trigger();
    ui->mnuActionItem[0]->trigger(); // twice: two rows, two lines
    const QByteArray card = demoLine("Demo Test Card");
    EXPECT_EQ(favoritesFile(), card + card);
    EXPECT_EQ(shownFavorites(), QStringList(2, u"Demo Test Card|TV|English/News"_s));

    // Ratings and the offline report touch neither list nor file; separators do nothing.
    for (const int index : {2, 3, 4, 5, 6, 8, 1, 7})
        ui->mnuActionItem[index]->trigger();
    form->favoritesPanel().controller().doChannelAction("Bogus");
    EXPECT_EQ(favoritesFile(), card + card);
    EXPECT_EQ(ui->ListView2->rowCountShown(), 2);
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
        form->favoritesPanel().controller().doChannelAction("Favorites");
    }
    const QByteArray card = demoLine("Demo Test Card");
    const QByteArray offline = demoLine("Demo Offline Channel");
    const QByteArray moved = demoLine("Canal de Prueba Movido");
    EXPECT_EQ(favoritesFile(), offline + card + moved);

    // Sorted by "Channel" (high to low first): the next save writes the order shown.
    clickHeaderSection(ui->ListView2, 0);
    ui->ListView2->setCurrentIndex({});
    ui->Command1->click(); // nothing selected: the file is rewritten all the same
    EXPECT_EQ(favoritesFile(), card + offline + moved);
    // The other way round; a row added by another window takes its sorted place.
    clickHeaderSection(ui->ListView2, 0);
    form->favoritesPanel().controller().addFavorite(
        {"Added|by the submission window", "http://x|y", "Radio", ""});
    ASSERT_TRUE(form->favoritesPanel().controller().saveFavorites());
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
    ui->ListView2->setCurrentIndex(ui->ListView2->model()->index(1, 0));
    ui->Command1->click();
    EXPECT_EQ(favoritesFile(), added + offline + card);
    while (ui->ListView2->rowCountShown() > 0) {
        ui->ListView2->setCurrentIndex(ui->ListView2->model()->index(0, 0));
        ui->Command1->click();
    }
    EXPECT_EQ(favoritesFile(), QByteArray());
}

TEST_F(FavoritesWindowTest, AFailedSaveSaysSoAndKeepsTheList)
{
    QDir().mkpath(favoritesPath()); // a folder where the file should be
    load();
    ui->cmdRadio->click();
    selectChannel(u"Demo Radio"_s);
    form->favoritesPanel().controller().doChannelAction("Favorites");
    EXPECT_EQ(ui->ListView2->rowCountShown(), 1);
    EXPECT_TRUE(ui->StatusBar1Panel1->text().startsWith(u"The favourites could not be saved"_s))
        << ui->StatusBar1Panel1->text().toStdString();
    EXPECT_FALSE(form->favoritesPanel().controller().saveFavorites());
    EXPECT_EQ(recorded(), QStringList{u"FAVORITE Demo Radio"_s});
}

TEST_F(FavoritesWindowTest, EachKindOfFavoritePlays)
{
    load();
    ui->cmdFavorites->click();
    for (const char *name : {"Demo Test Card", "Demo Offline Channel"}) {
        selectChannel(QString::fromUtf8(name));
        form->favoritesPanel().controller().doChannelAction("Favorites");
    }
    // A video from the video list.
    form->videoSitePanel().browser().model().add({"abc", "Clip"});
    ui->ListView3->setCurrentIndex(ui->ListView3->model()->index(0, 0));
    ui->mnuAction2Item[0]->trigger();
    EXPECT_EQ(favoritesFile(), demoLine("Demo Test Card") + demoLine("Demo Offline Channel") +
                                   line("Clip|youtube=abc||"));
    EXPECT_EQ(shownFavorites().last(), u"Clip||"_s);
    const QStringList added = recorded();

    // A stream: fetched, valid, played; nothing reported.
    clickFavorite(0);
    EXPECT_FALSE(ui->WindowsMediaPlayer1->isHidden());
    EXPECT_EQ(ui->WindowsMediaPlayer1->URL(),
              QString::fromUtf8(server->channel("Demo Test Card")->url));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ui->WindowsMediaPlayer1->state() == MediaPlayer::State::Playing; }, kWaitMs));
    EXPECT_EQ(recorded(), added);

    // An error page: the offline picture, and OFFLINE with a lone quotation mark.
    clickFavorite(1);
    EXPECT_TRUE(ui->imgOffline->isVisible());
    EXPECT_EQ(recorded(), added + QStringList{u"OFFLINE Demo Offline Channel \""_s});

    // A video: the page in the browser, the player hidden.
    clickFavorite(2);
    EXPECT_FALSE(ui->imgOffline->isVisible());
    EXPECT_TRUE(form->playerArea().browserShown());
    EXPECT_TRUE(ui->WindowsMediaPlayer1->isHidden());
    QFile page(temp.path() + u"/app/youtube.html"_s);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    EXPECT_TRUE(html.contains("<h1>Clip</h1>"));
    EXPECT_EQ(html.count("/v/abc&rel=1'"), 2);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form->playerArea().browser()->url() == QUrl::fromLocalFile(page.fileName()); },
        kWaitMs));
}

TEST_F(FavoritesWindowTest, WhileEditingAClickOnlyHidesTheOfflinePicture)
{
    load(true); // staff mode ticks "Don't Load Video While Editing"
    ASSERT_TRUE(ui->chkLoad->isChecked());
    form->favoritesPanel().controller().addFavorite({"Dead", "http://127.0.0.1:1/x", "", ""});
    ui->cmdFavorites->click();
    ui->imgOffline->show();
    const QString url = ui->WindowsMediaPlayer1->URL();
    clickFavorite(0);
    EXPECT_FALSE(ui->imgOffline->isVisible());
    EXPECT_EQ(ui->WindowsMediaPlayer1->URL(), url);
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
    selectOnly(ui->ListView2, 0, 2);
    ui->Command1->click();
    EXPECT_EQ(favoritesFile(), fileOf({"one", "two"}));

    selectChannel(u"Demo Offline Channel"_s);
    const QModelIndex offline = ui->ListView1->currentIndex();
    selectOnly(ui->ListView1, offline.row() == 0 ? 1 : 0, offline.row());
    form->favoritesPanel().controller().doChannelAction("Favorites");
    EXPECT_EQ(favoritesFile(), fileOf({"one", "two"}) + demoLine("Demo Offline Channel"));
}

TEST_F(FavoritesWindowTest, EverySaveWritesEveryFavoriteWhateverTheFindBarShows)
{
    load();
    addNamed({"alpha", "beta", "gamma"});
    const auto find = [&](const QString &text) { ui->findFavorites->box()->setText(text); };
    find(u"nothing like it"_s);
    addNamed({"delta"});
    ui->Command1->click(); // nothing selected
    EXPECT_EQ(favoritesFile(), fileOf({"alpha", "beta", "gamma", "delta"}));
    // Sorted high to low, "ta" shows delta and beta; the second one shown goes.
    find({});
    clickHeaderSection(ui->ListView2, 0);
    find(u"ta"_s);
    ui->ListView2->setCurrentIndex(ui->ListView2->model()->index(1, 0));
    ui->Command1->click();
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
        form->favoritesPanel().controller().addFavorite({name, address, "", ""});
        EXPECT_EQ(ui->ListView2->rowCountShown(), 2) << over;
        EXPECT_EQ(ui->StatusBar1Panel1->text().startsWith(u"The favourite was not added"_s),
                  over == 1);
    }
    EXPECT_TRUE(form->favoritesPanel().controller().saveFavorites());
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
    ui->cmdFavorites->click();
    form->favoritesPanel().controller().addFavorite({"Live", streams.url("/live.m3u8"), "", ""});
    clickFavorite(0);
    EXPECT_EQ(ui->WindowsMediaPlayer1->URL(), QString::fromLatin1(streams.url("/live.m3u8")));
    EXPECT_FALSE(ui->imgOffline->isVisible());
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
    form->favoritesPanel().controller().addFavorite({"Slow dead", slow.url("/dead"), "", ""});
    form->favoritesPanel().controller().addFavorite({"Slow live", slow.url("/live"), "", ""});
    ASSERT_TRUE(form->myFilesPanel().view().setDirPath(temp.path() + u"/files"_s));
    form->videoSitePanel().browser().model().add({"abc", "Clip"});
    // Each newer choice is made while the favourite's reply still trickles in.
    selectChannel(u"Demo Test Card"_s);
    ui->File1->setCurrentRow(0);
    ui->ListView3->setCurrentIndex(ui->ListView3->model()->index(0, 0));
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
         [&] { emit ui->ListView1->clicked(ui->ListView1->currentIndex()); },
         QString::fromUtf8(server->channel("Demo Test Card")->url),
         {u"ONLINE Demo Test Card"_s}},
        {"my files", 0, [&] { form->myFilesPanel().view().File1_Click(); }, file, {}},
        {"video", 1, [&] { emit ui->ListView3->clicked(ui->ListView3->currentIndex()); }, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.newer);
        ui->WindowsMediaPlayer1->setURL({});
        ui->cmdFavorites->click();
        const qsizetype before = recorded().size();
        QTimer::singleShot(100, form.get(), c.choose);
        clickFavorite(c.favorite);
        EXPECT_EQ(ui->WindowsMediaPlayer1->URL(), c.url);
        EXPECT_FALSE(ui->imgOffline->isVisible());
        EXPECT_EQ(recorded().mid(before), c.reports);
    }
}

TEST_F(FavoritesWindowTest, ActionsConfirmThemselvesInTheStatusLine)
{
    load();
    selectChannel(u"Demo Test Card"_s);
    const std::pair<std::function<void()>, QString> steps[] = {
        {[&] { form->favoritesPanel().controller().doChannelAction("Rate5"); },
         u"Rated Demo Test Card 5 stars"_s},
        {[&] { form->favoritesPanel().controller().doChannelAction("Rate1"); },
         u"Rated Demo Test Card 1 star"_s},
        {[&] { form->favoritesPanel().controller().doChannelAction("Favorites"); },
         u"Added Demo Test Card to your favourites"_s},
        {[&] {
             ui->ListView2->setCurrentIndex(ui->ListView2->model()->index(0, 0));
             ui->Command1->click();
         },
         u"Removed Demo Test Card from your favourites"_s},
        {[&] {
             form->videoSitePanel().browser().model().add({"abc", "Clip"});
             ui->ListView3->setCurrentIndex(ui->ListView3->model()->index(0, 0));
             ui->mnuAction2Item[0]->trigger();
         },
         u"Added Clip to your favourites"_s},
        // A rating the server never got is not confirmed.
        {[&] {
             qputenv("MAVREL_CATALOGUE_URL", mavrel::testing::kUnreachableServer);
             form->favoritesPanel().controller().doChannelAction("Rate4");
         },
         u"The rating of Demo Test Card could not be sent to the catalogue server"_s},
    };
    for (const auto &[act, status] : steps) {
        ui->StatusBar1Panel1->clear();
        act();
        EXPECT_EQ(ui->StatusBar1Panel1->text(), status);
    }
}

} // namespace
