// The video-site frame of the main window against the catalogue server's video site and the
// real web view: listings and searches into the list, a newer listing replacing an older one,
// and a chosen video played in the page.
#include "localization/clslanguages.h"
#include "mainwindow/ui/catalogueserver.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindow/ui/videositepanel.h"
#include "mainwindowui.h"
#include "online/fetch.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "player/ui/mediaplayer.h"
#include "qstringprinter.h"
#include "support/testhttpserver.h"
#include "videosite/listing.h"
#include "videosite/ui/videolistmodel.h"
#include "videosite/ui/videositebrowser.h"
#include "viewerfolders.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

constexpr int kWaitMs = 20000;
constexpr int kDemoClips = 9;

class VideoSiteWindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qputenv("QT_QUICK_BACKEND", "software");
        server = new CatalogueServer;
        server->extraArguments = {u"--video-log"_s, logPath()};
        if (!server->start())
            FAIL() << "catalogue server: " << server->error().toStdString();
        // The demo clips are made in the background on a fresh database.
        (void)QTest::qWaitFor([] { return listedClips() >= kDemoClips; }, 60000);
        ASSERT_EQ(listedClips(), kDemoClips);
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    // One log per test process: ctest runs the cases of this suite in parallel.
    static QString logPath()
    {
        return QDir::tempPath() +
               u"/mavrel-videosite-test-%1.log"_s.arg(QCoreApplication::applicationPid());
    }
    static int listedClips()
    {
        const FetchResult r = fetchPage(server->baseUrl() + "/browse?s=rf&t=&l=&e=&p=1");
        return int(r.body.count("class=\"video\""));
    }

    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        qputenv("MAVREL_CATALOGUE_URL", server->baseUrl());
        qputenv("MAVREL_VIDEOSITE_URL", server->baseUrl());
        QFile::remove(logPath());
    }
    void TearDown() override
    {
        ui.reset();
        form.reset();
    }
    void load()
    {
        form = std::make_unique<Form1>();
        ui.emplace(*form);
        ASSERT_TRUE(form->Form_Load());
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    QStringList titles() const
    {
        QStringList out;
        const QAbstractItemModel *m = ui->ListView3->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString();
        return out;
    }
    void choose(QComboBox *box, const QString &item)
    {
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    QByteArray idOf(const QString &title) const
    {
        for (const ScrapedVideo &v : form->videoSitePanel().browser().model().videos()) {
            if (QString::fromUtf8(v.title) == title)
                return v.id;
        }
        return {};
    }
    static QByteArray log()
    {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QVariant script(const QString &code)
    {
        QVariant result;
        bool done = false;
        form->playerArea().browser()->page()->runJavaScript(code, [&](const QVariant &v) {
            result = v;
            done = true;
        });
        (void)QTest::qWaitFor([&] { return done; }, kWaitMs);
        return result;
    }

    static inline CatalogueServer *server = nullptr;
    ViewerFolders temp;
    std::unique_ptr<Form1> form;
    std::optional<MainWindowUi> ui;
};

TEST_F(VideoSiteWindowTest, ListingsAndSearchesFillTheList)
{
    load();
    ui->cmdYouTube->click(); // "Featured", United States
    EXPECT_EQ(titles().size(), kDemoClips);
    EXPECT_TRUE(titles().contains(u"Bars & Beats"_s));
    EXPECT_TRUE(titles().contains(u"Wipe \"Left\" to Right"_s));
    EXPECT_TRUE(ui->txtStatus->text().startsWith(u"Downloaded "_s));
    for (int page = 1; page <= 5; ++page)
        EXPECT_TRUE(log().contains("/browse?s=rf&t=&l=&e=en_us&p=" + QByteArray::number(page)));

    choose(ui->Combo3, u"Comedy"_s);
    EXPECT_EQ(titles(), (QStringList{u"Juggling Practice"_s, u"The Slipping Banana"_s}));
    EXPECT_TRUE(log().contains("/browse?s=mf&t=t&c=23&l=&e=en_us&p=5"));

    // The search item fetches nothing until asked.
    choose(ui->Combo3, QString::fromLatin1(kSearchItem));
    EXPECT_TRUE(ui->Combo4->isHidden());
    EXPECT_TRUE(ui->txtYouTube->isVisible());
    EXPECT_TRUE(ui->cmdSearch->isVisible());
    EXPECT_EQ(titles().size(), 2);
    ui->txtYouTube->clear();
    QTest::keyClicks(ui->txtYouTube, u"ba B"_s);
    QTest::keyClick(ui->txtYouTube, Qt::Key_Return);
    EXPECT_EQ(titles(),
              (QStringList{u"The Slipping Banana"_s, u"Bars & Beats"_s, u"Bouncing Ball"_s}));
    EXPECT_TRUE(log().contains("/results?search_query=ba%20B&search_type=&page=1"));

    // A country chosen while searching hides "Search" and runs the search again.
    QFile::remove(logPath());
    choose(ui->Combo4, u"Germany"_s);
    EXPECT_EQ(form->videoSitePanel().countryCode(), u"de_DE"_s);
    EXPECT_TRUE(ui->cmdSearch->isHidden());
    EXPECT_EQ(titles().size(), 3);
    EXPECT_TRUE(log().contains("/results?search_query=ba%20B&search_type=&page=5"));
    choose(ui->Combo3, u"Music"_s);
    EXPECT_TRUE(log().contains("/browse?s=mf&t=t&c=10&l=&e=de_DE&p=1"));
    EXPECT_EQ(titles(), (QStringList{u"Bars & Beats"_s, u"Colour Organ"_s}));
}

TEST_F(VideoSiteWindowTest, ANewerListingReplacesOneStillFetching)
{
    TestHttpServer slow;
    ASSERT_TRUE(slow.listen());
    QFile saved(QStringLiteral(MAVREL_TEST_DATA_DIR "/videosite/browse_page1.html"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    TestHttpServer::Route drip;
    drip.mode = TestHttpServer::Mode::Drip;
    drip.body = saved.readAll();
    drip.intervalMs = 1;
    slow.setRoute("/browse", drip);
    QFile search(QStringLiteral(MAVREL_TEST_DATA_DIR "/videosite/search_page1.html"));
    ASSERT_TRUE(search.open(QIODevice::ReadOnly));
    slow.serve("/results", search.readAll());
    qputenv("MAVREL_VIDEOSITE_URL", slow.url(""));
    load();

    // While "Featured" drips in, the user searches.
    QTimer::singleShot(150, form.get(), [this] {
        choose(ui->Combo3, QString::fromLatin1(kSearchItem));
        ui->txtYouTube->setText(u"anything"_s);
        ui->cmdSearch->click();
    });
    ui->Combo3->setCurrentText(u"Featured"_s);
    form->videoSitePanel().browser().loadVideoList();
    EXPECT_EQ(titles(),
              (QStringList{u"A \"quoted\" title"_s, u"Cats & Dogs"_s, u"Plain link text"_s}));
    // The older listing stopped after the page it was reading.
    EXPECT_EQ(slow.requestsFor("/browse").size(), 1);
    EXPECT_EQ(slow.requestsFor("/results").size(), 5);
}

TEST_F(VideoSiteWindowTest, AChosenVideoPlaysInTheEmbeddedPage)
{
    load();
    ui->cmdYouTube->click();
    const QByteArray id = idOf(u"Bouncing Ball"_s);
    ASSERT_FALSE(id.isEmpty());
    const int row = int(titles().indexOf(u"Bouncing Ball"_s));
    const QModelIndex index = ui->ListView3->model()->index(row, 0);
    QTest::mouseClick(ui->ListView3->viewport(), Qt::LeftButton, {},
                      ui->ListView3->visualRect(index).center());

    // The page asks the site for the player, and the player for the media.
    const QByteArray player = "/v/" + id + "&rel=1 200";
    const QByteArray media = "/videos/" + id + ".ogv bytes=";
    EXPECT_TRUE(QTest::qWaitFor([&] { return log().contains(media); }, kWaitMs)) << log().data();
    EXPECT_LT(log().indexOf(player), log().indexOf(media));
    EXPECT_TRUE(log().contains(" 206\n"));
    QFile page(temp.path() + u"/app/youtube.html"_s);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().contains("<h1>Bouncing Ball</h1>"));

    // A title holding markup is shown as text and runs nothing; its player still loads.
    QFile::remove(logPath());
    const QByteArray hostile = "<script>window.pwned=1</script><img src=x onerror=\"pwned=2\">";
    form->videoSitePanel().browser().showVideo(hostile, id);
    EXPECT_TRUE(QTest::qWaitFor([&] { return log().contains(player); }, kWaitMs));
    EXPECT_EQ(script(u"document.querySelector('h1').textContent"_s).toString(),
              QString::fromUtf8(hostile));
    EXPECT_EQ(script(u"typeof window.pwned"_s).toString(), u"undefined"_s);
    EXPECT_EQ(script(u"document.scripts.length"_s).toInt(), 0);

    // While editing (staff mode), a click plays nothing.
    QFile::remove(logPath());
    ui->chkLoad->setChecked(true);
    QTest::mouseClick(ui->ListView3->viewport(), Qt::LeftButton, {},
                      ui->ListView3->visualRect(index).center());
    QTest::qWait(300);
    EXPECT_FALSE(log().contains("/v/"));
}

} // namespace
