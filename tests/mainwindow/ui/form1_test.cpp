#include "branding/branding.h"
#include "branding/ui/frmabout.h"
#include "branding/ui/frmwebsite.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "localization/clslanguages.h"
#include "localization/ui/frmlanguage.h"
#include "mainwindow/checkallrun.h"
#include "mainwindow/navigation.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindow/ui/videositepanel.h"
#include "mainwindow/ui/windowlauncher.h"
#include "mainwindowui.h"
#include "platform/appfolder.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/scripteddialogs.h"
#include "platform/settings.h"
#include "platform/widgets/desktopopen.h"
#include "player/ui/mediaplayer.h"
#include "support/cataloguefixture.h"
#include "unreachableserver.h"
#include "videosite/ui/videolistmodel.h"
#include "videosite/ui/videositebrowser.h"
#include "viewerfolders.h"

using mavrel::test::clickHeaderSection;
using mavrel::test::MainWindowUi;
using mavrel::testing::FixtureChannel;
using mavrel::testing::writeCatalogue;

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>

using namespace mavrel;
using namespace Qt::StringLiterals;

// Records what the application asks the desktop to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

namespace {

const std::vector<FixtureChannel> &smallCatalogue()
{
    static const std::vector<FixtureChannel> channels = {
        {"Alpha TV", "TV", "English", "4.5", "120", "http://a.example/tv"},
        {"Beta News", "TV", "English/Spanish", "3", "99", "http://b.example/tv"},
        {"Canal Sur", "TV", "spanish/French", "5", "900", "http://c.example/tv"},
        {"Kids Zone", "TV", "", "", "0", "http://k.example/tv"},
        {"Lower Kind", "tv", "English", "4.0", "1", "http://l.example/tv"},
        {"Radio Uno", "Radio", "Spanish", "4", "7", "http://r.example/1"},
        {"Jazz FM", "Radio", "English", "2", "8", "http://r.example/2"},
        {"Clips", "Video", "English", "3.5", "5", "http://v.example/1"},
        {"Night", "XXX", "English", "1", "2", "http://x.example/1"},
        {"Nuit", "XXX", "French", "2", "3", "http://x.example/2"},
    };
    return channels;
}

class Form1Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        // A later start unless a test says otherwise: no language window, no help.
        ASSERT_TRUE(temp.isValid());
        for (const QString &scheme : {u"file"_s, u"http"_s, u"https"_s})
            QDesktopServices::setUrlHandler(scheme, &urls, "open");
        frmWebsite::modeWord().clear();
    }

    void TearDown() override
    {
        for (const QString &scheme : {u"file"_s, u"http"_s, u"https"_s})
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QString appDir() const { return temp.path() + u"/app"_s; }
    QString catalogueFile() const { return temp.path() + u"/data/Data.txt"_s; }
    void writeSmallCatalogue() { ASSERT_TRUE(writeCatalogue(catalogueFile(), smallCatalogue())); }
    void touch(const QString &name)
    {
        QFile f(appDir() + u'/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html></html>");
    }

    std::unique_ptr<Form1> loaded()
    {
        auto form = std::make_unique<Form1>();
        EXPECT_TRUE(form->Form_Load());
        return form;
    }

    static QStringList shownColumn(const MainWindowUi &ui, int column)
    {
        QStringList texts;
        const QAbstractItemModel *m = ui.ListView1->model();
        for (int r = 0; r < m->rowCount(); ++r)
            texts << m->index(r, column).data().toString();
        return texts;
    }

    static QGroupBox *visibleFrame(const MainWindowUi &ui)
    {
        QGroupBox *shown = nullptr;
        for (QGroupBox *f : {ui.Frame1, ui.Frame3, ui.Frame4, ui.Frame5}) {
            if (!f->isHidden()) {
                EXPECT_EQ(shown, nullptr) << "two frames shown";
                shown = f;
            }
        }
        return shown;
    }

    static void choose(QComboBox *combo, const QString &text)
    {
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    test::ViewerFolders temp;
    ScopedScriptedDialogs boxes;
    UrlRecorder urls;
};

} // namespace

TEST_F(Form1Test, StartUpShowsTheTvChannelsSortedByRatingWithTheStatusLine)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(form->windowTitle(), u"Mavrel by Brintover"_s);
    EXPECT_EQ(ui.cmdWebsite->text(), u"Visit "_s + branding().siteName);
    EXPECT_EQ(form->videoSitePanel().countryCode(), u"en_us"_s);
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(visibleFrame(ui), ui.Frame1);
    EXPECT_EQ(form->channelPanel().viewState().currentKind, u"TV"_s);
    EXPECT_EQ(shownColumn(ui, 0), (QStringList{u"Alpha TV"_s, u"Beta News"_s}));
    EXPECT_EQ(shownColumn(ui, 3), (QStringList{u"4.5"_s, u"3.0"_s}));
    EXPECT_EQ(shownColumn(ui, 4), (QStringList{u"000120"_s, u"000099"_s}));
    EXPECT_TRUE(ui.ListView1->sortingOn());
    EXPECT_EQ(ui.ListView1->sortKey(), 3);
    EXPECT_EQ(ui.ListView1->sortOrder(), Qt::DescendingOrder);
    QStringList items;
    for (int i = 0; i < ui.Combo1->count(); ++i)
        items << ui.Combo1->itemText(i);
    EXPECT_EQ(items, (QStringList{u"All"_s, u"English"_s, u"French"_s, u"Spanish"_s}));
    EXPECT_EQ(ui.Combo1->currentText(), u"English"_s);
    EXPECT_EQ(ui.cmbSortTV->currentText(), u"Rating"_s);
    EXPECT_EQ(ui.StatusBar1Panel1->text(),
              u"Total Channels: 10 | Showing: 2 | Languages/Categories: 3 | Don't forget to rate "
              "your favorite channels with the Channel Actions button"_s);
    // The placeholder page is written and becomes the browser's page once it exists.
    QFile page(appDir() + u"/youtube.html"_s);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().endsWith("to the left</h1><br></font></center></body></html>\r\n"));
    EXPECT_EQ(form->playerArea().browserPage(), QUrl::fromLocalFile(page.fileName()));
    EXPECT_EQ(form->playerArea().browser(), nullptr);
}

TEST_F(Form1Test, AnApplicationFolderThatCannotBeWrittenShowsInTheStatusBarOnce)
{
    resetApplicationFolderReports();
    writeSmallCatalogue();
    // A file where the folder should be: no write succeeds there, not even as root.
    const QString blocked = temp.path() + u"/blocked"_s;
    QFile(blocked).open(QIODevice::WriteOnly);
    setApplicationFolderOverride(blocked);
    {
        auto form = loaded();
        const MainWindowUi ui(*form);
        const QString shown = form->statusBar()->currentMessage();
        EXPECT_TRUE(shown.contains(blocked + u"/youtube.html"_s)) << shown.toStdString();
        EXPECT_TRUE(ui.StatusBar1Panel1->text().startsWith(u"Total Channels"_s));
    }
    auto again = loaded();
    EXPECT_EQ(again->statusBar()->currentMessage(), QString());
    resetApplicationFolderReports();
}

TEST_F(Form1Test, FirstStartStoresEnglishAndOpensTheHelpOnce)
{
    QFile::remove(userSettingsFilePath(settingsApplication()));
    touch(u"Help.html"_s);
    writeSmallCatalogue();
    {
        // The first start shows the language window modally; closing it lets the load go on.
        bool languageWindowShown = false;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            languageWindowShown = modal && modal->objectName() == u"frmLanguage"_s;
            if (modal)
                modal->close();
        });
        auto form = loaded();
        EXPECT_TRUE(languageWindowShown);
        EXPECT_TRUE(form->firstStart());
        EXPECT_EQ(form->languages().currentLanguage(), u"English"_s);
        EXPECT_EQ(readSetting(SettingKey::Language, QString()), u"English"_s);
        EXPECT_EQ(readSetting(SettingKey::ShowHelp), u"0"_s);
        EXPECT_EQ(readSetting(SettingKey::MachineShowHelp), u"0"_s);
        ASSERT_EQ(urls.opened.size(), 1);
        EXPECT_EQ(urls.opened[0], QUrl::fromLocalFile(appDir() + u"/Help.html"_s));
    }
    auto again = loaded();
    EXPECT_FALSE(again->firstStart());
    EXPECT_EQ(urls.opened.size(), 1);

    // "View Help" opens it whenever asked.
    MainWindowUi(*again).mnuHelpItem[0]->trigger();
    EXPECT_EQ(urls.opened.size(), 2);
}

TEST_F(Form1Test, MissingHelpDocumentOpensNothingButStillStoresTheSetting)
{
    storeSetting(SettingKey::ShowHelp, u"1"_s);
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    EXPECT_TRUE(urls.opened.isEmpty());
    EXPECT_EQ(readSetting(SettingKey::ShowHelp), u"0"_s);
    EXPECT_EQ(readSetting(SettingKey::MachineShowHelp, u"absent"_s), u"absent"_s);
    ui.mnuHelpItem[0]->trigger();
    EXPECT_TRUE(urls.opened.isEmpty());
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(Form1Test, StaffModeAddsTheUrlColumnAndTheStaffUpdateItems)
{
    writeSmallCatalogue();
    {
        auto form = loaded();
        const MainWindowUi ui(*form);
        EXPECT_FALSE(form->staffMode());
        EXPECT_EQ(ui.ListView1->columnCountShown(), 5);
        EXPECT_FALSE(ui.mnuUpdateItem[2]->isVisible());
        EXPECT_FALSE(ui.mnuUpdateItem[3]->isVisible());
        EXPECT_FALSE(ui.chkLoad->isChecked());
    }
    touch(u"admin.txt"_s);
    auto form = loaded();
    const MainWindowUi ui(*form);
    EXPECT_TRUE(form->staffMode());
    ASSERT_EQ(ui.ListView1->columnCountShown(), 6);
    EXPECT_EQ(ui.ListView1->headerText(5), u"URL"_s);
    EXPECT_EQ(ui.ListView1->model()->index(0, 5).data().toString(), u"http://a.example/tv"_s);
    for (QAction *item : ui.mnuUpdateItem)
        EXPECT_TRUE(item->isVisible());
    EXPECT_TRUE(ui.chkLoad->isChecked());
    EXPECT_TRUE(ui.Frame2->isHidden());
}

TEST_F(Form1Test, SecondInstanceEndsAndAStaleLockDoesNotBlock)
{
    writeSmallCatalogue();
    {
        auto first = loaded();
        Form1 second;
        EXPECT_FALSE(second.Form_Load());
        EXPECT_TRUE(boxes.shown().isEmpty());
    }
    // A lock left by a process that no longer runs.
    const QString lockPath =
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + u"/mavrel.lock"_s;
    {
        QFile stale(lockPath);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("4194303\nmavrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }
    auto next = loaded();
}

TEST_F(Form1Test, DamagedCatalogueShowsItsBoxAndAnEmptyList)
{
    {
        QFile damaged(catalogueFile());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("a|b\r\n");
    }
    auto form = loaded();
    const MainWindowUi ui(*form);
    ASSERT_EQ(boxes.shown().size(), 1);
    const auto &box = boxes.shown()[0];
    EXPECT_EQ(box.text, u"TV Channel file was not found.  No channels could be loaded.  Please "
                        "reinstall or repair this program."_s);
    EXPECT_EQ(box.title, u"Mavrel"_s);
    EXPECT_EQ(box.buttons, DialogButtons::Ok);
    EXPECT_EQ(ui.ListView1->rowCountShown(), 0);
    EXPECT_EQ(visibleFrame(ui), ui.Frame1);
    // The list an update brings comes best rated first.
    EXPECT_TRUE(ui.ListView1->sortingOn());
    EXPECT_EQ(ui.ListView1->sortKey(), 3);
    EXPECT_EQ(ui.ListView1->sortOrder(), Qt::DescendingOrder);
    // Every catalogue click shows it again.
    ui.cmdRadio->click();
    EXPECT_EQ(boxes.shown().size(), 2);
}

TEST_F(Form1Test, CategoryButtonsAndMenuItemsSwitchFrameAreaAndKind)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    struct Case
    {
        int index;
        QPushButton *MainWindowUi::*button;
        QGroupBox *MainWindowUi::*frame;
        bool browser;
        const char *kind;
    };
    const Case cases[] = {
        {0, &MainWindowUi::cmdTV, &MainWindowUi::Frame1, false, "TV"},
        {1, &MainWindowUi::cmdRadio, &MainWindowUi::Frame1, false, "Radio"},
        {2, &MainWindowUi::cmdVideo, &MainWindowUi::Frame1, false, "Video"},
        {3, &MainWindowUi::cmdFavorites, &MainWindowUi::Frame3, false, "Video"}, // kind unchanged
        {8, &MainWindowUi::cmdYouTube, &MainWindowUi::Frame5, true, "YOUTUBE"},
        {4, &MainWindowUi::cmdFiles, &MainWindowUi::Frame4, false, "YOUTUBE"},
        {7, &MainWindowUi::cmdXXX, &MainWindowUi::Frame1, false, "XXX"},
        {3, &MainWindowUi::cmdFavorites, &MainWindowUi::Frame3, false, "XXX"},
    };
    for (const bool viaMenu : {true, false}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << "index " << c.index << (viaMenu ? " menu" : " button"));
            boxes.pushAnswer(DialogAnswer::Ok); // the adult notice, when it comes
            // Hidden items cannot be chosen; their buttons stand in for them.
            if (viaMenu && c.index != 2 && c.index != 7)
                ui.mnuCatItem[c.index]->trigger();
            else
                (ui.*(c.button))->click();
            EXPECT_EQ(visibleFrame(ui), ui.*(c.frame));
            EXPECT_EQ(form->playerArea().browserShown(), c.browser);
            EXPECT_EQ(ui.WindowsMediaPlayer1->isHidden(), c.browser);
            if (form->playerArea().browser()) {
                EXPECT_EQ(form->playerArea().browser()->isHidden(), !c.browser);
            }
            EXPECT_EQ(form->channelPanel().viewState().currentKind, QLatin1StringView(c.kind));
        }
        boxes.clear();
    }
    // The video site empties the channel list; its page is the placeholder.
    ui.mnuCatItem[8]->trigger();
    EXPECT_EQ(ui.ListView1->rowCountShown(), 0);
    ASSERT_NE(form->playerArea().browser(), nullptr);
    QElapsedTimer clock;
    clock.start();
    while (form->playerArea().browser()->url().isEmpty() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(form->playerArea().browser()->url(), form->playerArea().browserPage());
    EXPECT_EQ(form->playerArea().browser()->geometry(), ui.WindowsMediaPlayer1->geometry());

    // The Video category is never offered.
    EXPECT_TRUE(ui.cmdVideo->isHidden());
    EXPECT_FALSE(ui.mnuCatItem[2]->isVisible());
}

TEST_F(Form1Test, AdultNoticeCancelKeepsTheViewAndOkEntersWithTheVideoLanguage)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    ui.cmdYouTube->click();
    boxes.pushAnswer(DialogAnswer::Cancel);
    ui.cmdXXX->click();
    ASSERT_EQ(boxes.shown().size(), 1);
    const auto &notice = boxes.shown()[0];
    EXPECT_EQ(notice.title, u"Adult Material"_s);
    EXPECT_EQ(notice.buttons, DialogButtons::OkCancel);
    EXPECT_EQ(notice.text, adultNoticeText());
    EXPECT_TRUE(notice.text.startsWith(u"In order to have access"_s));
    EXPECT_TRUE(notice.text.endsWith(u"from this adult section."_s));
    EXPECT_EQ(notice.text.count(u"\r\n\r\n"_s), 3);
    EXPECT_EQ(visibleFrame(ui), ui.Frame5);
    EXPECT_TRUE(form->playerArea().browserShown());
    EXPECT_EQ(form->channelPanel().viewState().currentKind, u"YOUTUBE"_s);

    ui.cmdFavorites->click();
    boxes.pushAnswer(DialogAnswer::Cancel);
    ui.cmdXXX->click();
    EXPECT_EQ(visibleFrame(ui), ui.Frame3);

    boxes.pushAnswer(DialogAnswer::Ok);
    ui.cmdXXX->click();
    EXPECT_EQ(boxes.shown().size(), 3); // asked every time
    EXPECT_EQ(visibleFrame(ui), ui.Frame1);
    EXPECT_EQ(form->channelPanel().viewState().currentKind, u"XXX"_s);
    EXPECT_EQ(form->channelPanel().viewState().currentLang, u"English"_s); // VideoLang never stored
    EXPECT_EQ(shownColumn(ui, 0), QStringList{u"Night"_s});
}

TEST_F(Form1Test, LanguageChoiceIsRememberedPerKindButNeverForTheAdultKind)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    ui.cmdRadio->click();
    choose(ui.Combo1, u"Spanish"_s);
    EXPECT_EQ(readSetting(SettingKey::RadioLang), u"Spanish"_s);
    EXPECT_EQ(shownColumn(ui, 0), QStringList{u"Radio Uno"_s});

    ui.cmdTV->click();
    EXPECT_EQ(form->channelPanel().viewState().currentLang, u"English"_s);
    ui.cmdRadio->click();
    EXPECT_EQ(form->channelPanel().viewState().currentLang, u"Spanish"_s);
    EXPECT_EQ(ui.Combo1->currentText(), u"Spanish"_s);

    // "All" shows the whole kind; the language list is kept, not rebuilt.
    const int itemsBefore = ui.Combo1->count();
    choose(ui.Combo1, u"All"_s);
    EXPECT_EQ(ui.ListView1->rowCountShown(), 2);
    EXPECT_EQ(ui.Combo1->count(), itemsBefore);
    EXPECT_EQ(readSetting(SettingKey::RadioLang), u"All"_s);

    boxes.pushAnswer(DialogAnswer::Ok);
    ui.cmdXXX->click();
    choose(ui.Combo1, u"French"_s);
    EXPECT_EQ(shownColumn(ui, 0), QStringList{u"Nuit"_s});
    EXPECT_EQ(readSetting(SettingKey::VideoLang, u"absent"_s), u"absent"_s);
    EXPECT_EQ(readSetting(SettingKey::TVLang, u"absent"_s), u"absent"_s);
}

TEST_F(Form1Test, RememberedLanguageThatNoChannelCarriesShowsAnEmptyList)
{
    writeSmallCatalogue();
    storeSetting(SettingKey::RadioLang, u"Klingon"_s);
    storeSetting(SettingKey::TVLang, u"Klingon"_s);
    auto form = loaded();
    const MainWindowUi ui(*form);
    // The first list is empty, and the lists after it still come best rated first.
    EXPECT_EQ(ui.ListView1->rowCountShown(), 0);
    ui.cmdRadio->click();
    EXPECT_EQ(ui.ListView1->rowCountShown(), 0);
    EXPECT_EQ(ui.Combo1->count(), 3);
    EXPECT_TRUE(ui.Combo1->currentText().isEmpty());
    choose(ui.Combo1, u"All"_s);
    EXPECT_EQ(shownColumn(ui, 0), (QStringList{u"Radio Uno"_s, u"Jazz FM"_s}));
    ui.cmdTV->click();
    choose(ui.Combo1, u"All"_s);
    EXPECT_EQ(shownColumn(ui, 0),
              (QStringList{u"Canal Sur"_s, u"Alpha TV"_s, u"Beta News"_s, u"Kids Zone"_s}));
}

TEST_F(Form1Test, EveryKindClickRebuildsTheLanguageList)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    ui.cmdRadio->click();
    ui.Combo1->clear();
    ui.cmdRadio->click();
    EXPECT_EQ(ui.Combo1->count(), 3); // All, English, Spanish
    EXPECT_EQ(form->channelPanel().viewState().langCount, 2);
}

TEST_F(Form1Test, HeaderClicksAndTheSortComboFollowTheFlipRule)
{
    writeSmallCatalogue();
    storeSetting(SettingKey::TVLang, u"All"_s);
    auto form = loaded();
    const MainWindowUi ui(*form);
    form->show(); // lays the headers out for the clicks
    EXPECT_EQ(ui.Combo1->currentText(), u"All"_s);
    EXPECT_EQ(shownColumn(ui, 3),
              (QStringList{u"5.0"_s, u"4.5"_s, u"3.0"_s, u"1.0"_s})); // start-up: highest first
    clickHeaderSection(ui.ListView1, 3);
    EXPECT_EQ(shownColumn(ui, 3), (QStringList{u"1.0"_s, u"3.0"_s, u"4.5"_s, u"5.0"_s}));
    clickHeaderSection(ui.ListView1, 3);
    EXPECT_EQ(shownColumn(ui, 3), (QStringList{u"5.0"_s, u"4.5"_s, u"3.0"_s, u"1.0"_s}));

    choose(ui.cmbSortTV, u"Channel"_s);
    EXPECT_EQ(shownColumn(ui, 0),
              (QStringList{u"Alpha TV"_s, u"Beta News"_s, u"Canal Sur"_s, u"Kids Zone"_s}));
    choose(ui.cmbSortTV, u"Channel"_s);
    EXPECT_EQ(shownColumn(ui, 0),
              (QStringList{u"Kids Zone"_s, u"Canal Sur"_s, u"Beta News"_s, u"Alpha TV"_s}));

    // The order survives a reload.
    ui.cmdTV->click();
    EXPECT_EQ(shownColumn(ui, 0).first(), u"Kids Zone"_s);

    // Translated headers: the combo matches none of them and sorts by its item's position;
    // header clicks still sort.
    form->channelPanel().model().setHeaderText(0, u"Kanal"_s);
    choose(ui.cmbSortTV, u"Channel"_s);
    EXPECT_EQ(ui.ListView1->sortKey(), 0);
    EXPECT_EQ(ui.ListView1->sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(shownColumn(ui, 0).first(), u"Alpha TV"_s);
    clickHeaderSection(ui.ListView1, 0);
    EXPECT_EQ(ui.ListView1->sortOrder(), Qt::DescendingOrder);

    // The favourites list is empty: a click changes nothing.
    clickHeaderSection(ui.ListView2, 0);
    EXPECT_FALSE(ui.ListView2->sortingOn());
}

TEST_F(Form1Test, ResizeLaysOutAndMinimisingMovesNothing)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    form->show();
    const QRect player = ui.WindowsMediaPlayer1->geometry();
    const QRect frame = ui.Frame1->geometry();
    const QRect website = ui.cmdWebsite->geometry();
    form->resize(form->width() + 60, form->height()); // 900 twips
    EXPECT_EQ(ui.WindowsMediaPlayer1->geometry(), player.adjusted(0, 0, 60, 0));
    EXPECT_EQ(ui.cmdWebsite->geometry(), website.adjusted(0, 0, 60, 0));
    EXPECT_EQ(ui.Frame1->geometry(), frame);

    const QRect before = ui.WindowsMediaPlayer1->geometry();
    form->showMinimized();
    form->resize(form->width() + 120, form->height() + 90);
    EXPECT_EQ(ui.WindowsMediaPlayer1->geometry(), before);
    form->showNormal();
    EXPECT_EQ(ui.WindowsMediaPlayer1->geometry(), before.adjusted(0, 0, 120, 90));
    EXPECT_EQ(ui.Frame1->height(), ui.WindowsMediaPlayer1->height() + 9); // 140 twips
}

TEST_F(Form1Test, CompanySwitchShowsTheExtraCategoriesSideBySide)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    for (QPushButton *b : {ui.cmdSports, ui.cmdExtras, ui.cmdXXX})
        EXPECT_TRUE(b->isHidden());
    for (const int i : {5, 6, 7})
        EXPECT_FALSE(ui.mnuCatItem[i]->isVisible());

    form->applyCompanySwitch(QLatin1StringView(kExtrasCompany));
    QRect previous = ui.cmdUpdate->geometry();
    for (QPushButton *b : {ui.cmdSports, ui.cmdExtras, ui.cmdXXX}) {
        EXPECT_FALSE(b->isHidden());
        EXPECT_GT(b->geometry().left(), previous.right()); // no overlap
        EXPECT_EQ(b->geometry().top(), previous.top());
        previous = b->geometry();
    }
    EXPECT_EQ(ui.cmdWebsite->geometry().left(), previous.right() + 1 + 4); // + 60 twips
    EXPECT_GT(ui.cmdWebsite->width(), 100);
    for (const int i : {5, 6, 7})
        EXPECT_TRUE(ui.mnuCatItem[i]->isVisible());
    EXPECT_FALSE(ui.mnuCatItem[2]->isVisible());
}

TEST_F(Form1Test, WebsiteOpensOnceWhileItsWindowIsLoaded)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    ui.cmdWebsite->click();
    ui.cmdWebsite->click();
    ASSERT_EQ(urls.opened.size(), 1);
    EXPECT_EQ(urls.opened[0], QUrl(u"http://"_s + branding().siteName));
    ASSERT_TRUE(form->windows().websiteWindow());
    EXPECT_FALSE(form->windows().websiteWindow()->isVisible());

    form->windows().websiteWindow()->Timer1_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form->windows().websiteWindow());
    ui.cmdWebsite->click();
    EXPECT_EQ(urls.opened.size(), 2);

    // Sports and Extras hand over their word; the window opens nothing for them.
    form->windows().websiteWindow()->Timer1_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ui.cmdSports->click(); // its menu item is hidden
    EXPECT_EQ(urls.opened.size(), 2);
    EXPECT_TRUE(frmWebsite::modeWord().isEmpty());
    form->windows().websiteWindow()->Timer1_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ui.cmdExtras->click();
    ASSERT_TRUE(form->windows().websiteWindow());
    EXPECT_EQ(urls.opened.size(), 2);
    EXPECT_TRUE(frmWebsite::modeWord().isEmpty());
    EXPECT_EQ(visibleFrame(ui), ui.Frame1);
}

TEST(FrmWebsite, SchemeIsAddedOnlyWhenMissing)
{
    struct Case
    {
        QString target;
        QString expected;
    };
    const Case cases[] = {
        {u"www.example.org"_s, u"http://www.example.org"_s},
        {u"HTTPS://WWW.EXAMPLE.ORG"_s, u"HTTPS://WWW.EXAMPLE.ORG"_s},
        {u"Http://example.org/x"_s, u"Http://example.org/x"_s},
        {u"example.org/?next=https://x"_s, u"example.org/?next=https://x"_s},
    };
    for (const Case &c : cases)
        EXPECT_EQ(frmWebsite::withScheme(c.target), c.expected) << c.target.toStdString();
}

TEST_F(Form1Test, AboutWindowShowsTheBrandingAndIsReused)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    ui.mnuAboutItem[0]->trigger();
    const QPointer<frmAbout> about = form->windows().aboutWindow();
    ASSERT_TRUE(about);
    EXPECT_EQ(about->windowTitle(), u"About Mavrel"_s);
    EXPECT_EQ(about->Label1->text(), u"Mavrel"_s);
    EXPECT_EQ(about->lblVersion->text(), u"2.1"_s);
    EXPECT_EQ(about->lblCompany->text(), u"Brintover"_s);
    EXPECT_EQ(about->lblWebsite->text(), branding().siteName);
    ui.mnuAboutItem[0]->trigger();
    EXPECT_EQ(form->windows().aboutWindow(), about);

    // Closing the main window closes it and reports the end.
    bool ended = false;
    QObject::connect(form.get(), &Form1::unloaded, [&] { ended = true; });
    ui.mnuFileItem[2]->trigger();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(about->isVisible());
}

// A screen reader announces a control by its caption, its buddy label or its accessible name.
TEST_F(Form1Test, EveryControlHasANameForScreenReaders)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    ui.cmdYouTube->click(); // creates the browser
    const auto interactive = [](const QWidget *w) {
        return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QComboBox *>(w) ||
               qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractItemView *>(w) ||
               qobject_cast<const QAbstractSlider *>(w);
    };
    // Parts of a control (a list's header and scroll bars, an editable box's line edit) are
    // announced with the control; the menu bar names its own items.
    const auto partOfAnother = [&](const QWidget *w) {
        for (const QWidget *p = w->parentWidget(); p && p != form.get(); p = p->parentWidget()) {
            if (interactive(p) || qobject_cast<const QMenuBar *>(p))
                return true;
        }
        return false;
    };
    const QList<QLabel *> labels = form->findChildren<QLabel *>();
    const auto named = [&](const QWidget *w) {
        if (!w->accessibleName().trimmed().isEmpty())
            return true;
        if (const auto *button = qobject_cast<const QAbstractButton *>(w))
            return !button->text().trimmed().isEmpty();
        return std::any_of(labels.cbegin(), labels.cend(), [&](const QLabel *l) {
            return l->buddy() == w && !l->text().trimmed().isEmpty();
        });
    };

    QStringList unnamed;
    int checked = 0;
    for (QWidget *w : form->findChildren<QWidget *>()) {
        if (!interactive(w) || partOfAnother(w))
            continue;
        ++checked;
        if (!named(w))
            unnamed << QLatin1StringView(w->metaObject()->className()) + u' ' + w->objectName();
    }
    EXPECT_GE(checked, 25);
    if (!named(ui.imgOffline))
        unnamed << ui.imgOffline->objectName();
    const auto onTheBus = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w); };
    // The clear buttons inside the find boxes are buttons of their own on the bus.
    for (const auto *box : {"txtFind", "txtFindFavorites"}) {
        const auto *edit = form->findChild<QLineEdit *>(QLatin1StringView(box));
        ASSERT_TRUE(edit) << box;
        const auto buttons = edit->findChildren<QToolButton *>();
        EXPECT_FALSE(buttons.isEmpty()) << box;
        for (QToolButton *b : buttons) {
            if (onTheBus(b)->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << QLatin1StringView(box) + u" clear button"_s;
        }
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u", "_s).toStdString();
    EXPECT_FALSE(ui.imgOffline->accessibleDescription().isEmpty());

    // A status line is announced by what it says, not by a fixed name.
    ui.txtStatus->setText(u"duplicate submission"_s);
    EXPECT_EQ(onTheBus(ui.StatusBar1Panel1)->text(QAccessible::Name), u"duplicate submission"_s);

    // What the accessibility bus carries: a list's name, a box's label as its relation.
    EXPECT_EQ(onTheBus(ui.ListView1)->text(QAccessible::Name), ui.Frame1->title());
    for (const auto &pair :
         {std::pair{ui.Combo1, ui.lblCountry}, std::pair{ui.cmbSortTV, ui.lblSort}}) {
        QWidget *box = pair.first;
        QObject *label = pair.second;
        const auto relations = onTheBus(box)->relations(QAccessible::Label);
        EXPECT_TRUE(std::any_of(relations.cbegin(), relations.cend(), [&](const auto &r) {
            return r.first->object() == label;
        })) << box->objectName().toStdString();
    }
}

// Channel names come from the catalogue and titles from the network: markup in them is text.
TEST_F(Form1Test, RemoteTextReachesTheStatusPanelAsTyped)
{
    const QByteArray name = "<b>Bold</b> &amp; <i>Co</i>";
    // A ".wmv" address is played without a check fetch; reports go to a closed port.
    ASSERT_TRUE(writeCatalogue(catalogueFile(),
                               {{name, "TV", "English", "4", "1", "http://127.0.0.1:9/a.wmv"}}));
    qputenv("MAVREL_CATALOGUE_URL", "http://127.0.0.1:9");
    auto form = loaded();
    const MainWindowUi ui(*form);
    form->channelPanel().checkRun().Timer1.setInterval(1);

    const struct
    {
        const char *route;
        std::function<void()> deliver;
        QString shown;
    } cases[] = {
        {"check-all status", [&] { form->channelPanel().checkRun().checkAllChannels(); },
         u"Checking 1 of 1 - "_s + QString::fromUtf8(name)},
        {"status box mirror", [&] { ui.txtStatus->setText(u"<h1>Title</h1>"_s); },
         u"<h1>Title</h1>"_s},
    };
    QLabel *panel = ui.StatusBar1Panel1;
    for (const auto &c : cases) {
        c.deliver();
        EXPECT_EQ(panel->text(), c.shown) << c.route;
        EXPECT_EQ(panel->textFormat(), Qt::PlainText) << c.route;
        // Drawn as rich text the tags would vanish and the text would need less room.
        EXPECT_GE(panel->sizeHint().width(), panel->fontMetrics().horizontalAdvance(c.shown))
            << c.route;
    }
    qputenv("MAVREL_CATALOGUE_URL", mavrel::testing::kUnreachableServer);

    ui.mnuAboutItem[0]->trigger();
    for (const QLabel *label : form->windows().aboutWindow()->findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

#include "form1_test.moc"

TEST_F(Form1Test, TypingInTheChannelListFindsNamesAndEscapeRestoresTheList)
{
    ASSERT_TRUE(writeCatalogue(
        catalogueFile(), {{"Caf\xc3\xa9 Noir", "TV", "English", "4", "1", "http://c.example/1"},
                          {"CAFE RADIO", "TV", "English", "3", "2", "http://c.example/2"},
                          {"Alpha TV", "TV", "English", "5", "3", "http://a.example/3"},
                          {"Cafe Uno", "Radio", "English", "4", "4", "http://r.example/4"}}));
    auto form = loaded();
    const MainWindowUi ui(*form);
    form->show();
    const QRect listBefore = ui.ListView1->geometry();
    const auto status = [](int shown) {
        return u"Total Channels: 4 | Showing: "_s + QString::number(shown) +
               u" | Languages/Categories: 1 | Don't forget to rate your favorite channels with the "
               "Channel Actions button"_s;
    };
    EXPECT_TRUE(ui.findChannels->isHidden());
    EXPECT_TRUE(ui.findFavorites->isHidden());
    EXPECT_EQ(ui.StatusBar1Panel1->text(), status(3));

    // A blank or a command key does not open the bar; letters do, and narrow the sorted list.
    QTest::keyClick(ui.ListView1, Qt::Key_Space);
    QTest::keyClick(ui.ListView1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(ui.findChannels->isHidden());
    QTest::keyClicks(ui.ListView1, u"c"_s);
    QTest::keyClicks(ui.findChannels->box(), u"afe"_s);
    EXPECT_TRUE(ui.findChannels->isVisible());
    EXPECT_EQ(ui.findChannels->text(), u"cafe"_s);
    EXPECT_EQ(shownColumn(ui, 0), (QStringList{u"Caf\u00e9 Noir"_s, u"CAFE RADIO"_s}));
    EXPECT_EQ(ui.StatusBar1Panel1->text(), status(2));
    // The bar takes the list's foot, spaced from the rest of the list, which stays in place.
    const auto barAtFoot = [](const QRect &bar, const QRect &list, const QRect &whole) {
        EXPECT_EQ(bar.bottom(), whole.bottom());
        EXPECT_EQ(QRect(bar.left(), list.top(), bar.width(), list.height()),
                  whole.adjusted(0, 0, 0, list.bottom() - whole.bottom()));
        EXPECT_GE(bar.top() - list.bottom(), 4);
    };
    barAtFoot(ui.findChannels->geometry(), ui.ListView1->geometry(), listBefore);

    // Further words narrow it; taking them back widens it again.
    QTest::keyClicks(ui.findChannels->box(), u" r"_s);
    EXPECT_EQ(shownColumn(ui, 0), (QStringList{u"CAFE RADIO"_s}));
    QTest::keyClick(ui.findChannels->box(), Qt::Key_Backspace);
    QTest::keyClick(ui.findChannels->box(), Qt::Key_Backspace);

    // A reload of the kind keeps the find in force, with its counts.
    ui.cmdRadio->click();
    EXPECT_EQ(shownColumn(ui, 0), (QStringList{u"Cafe Uno"_s}));
    ui.cmdTV->click();
    EXPECT_EQ(shownColumn(ui, 0), (QStringList{u"Caf\u00e9 Noir"_s, u"CAFE RADIO"_s}));
    EXPECT_EQ(ui.StatusBar1Panel1->text(), status(2));

    // A resize while it is open: it takes the new foot, and closed, the list is as laid out.
    form->resize(form->size() + QSize(30, 45));
    const QRect bar = ui.findChannels->geometry(), list = ui.ListView1->geometry();
    QTest::keyClick(ui.findChannels->box(), Qt::Key_Escape);
    EXPECT_TRUE(ui.findChannels->isHidden());
    EXPECT_EQ(ui.findChannels->text(), QString());
    const QRect whole = ui.ListView1->geometry();
    EXPECT_GT(whole.height(), listBefore.height());
    QResizeEvent again(form->size(), form->size());
    QCoreApplication::sendEvent(form.get(), &again);
    EXPECT_EQ(ui.ListView1->geometry(), whole);
    barAtFoot(bar, list, whole);
    EXPECT_EQ(shownColumn(ui, 0),
              (QStringList{u"Alpha TV"_s, u"Caf\u00e9 Noir"_s, u"CAFE RADIO"_s}));
    EXPECT_EQ(ui.StatusBar1Panel1->text(), status(3));

    // Emptying the box does the same.
    QTest::keyClicks(ui.ListView1, u"x"_s);
    EXPECT_TRUE(shownColumn(ui, 0).isEmpty());
    QTest::keyClick(ui.findChannels->box(), Qt::Key_Backspace);
    EXPECT_TRUE(ui.findChannels->isHidden());
    EXPECT_EQ(shownColumn(ui, 0).size(), 3);
}

TEST_F(Form1Test, KeyboardPlaysRowsDrivesThePlayerAndShowsThePictureOnTheWholeScreen)
{
    ASSERT_TRUE(writeCatalogue(
        catalogueFile(), {{"Clip One", "TV", "English", "4", "1", "http://127.0.0.1:9/one.wmv"},
                          {"Radio Uno", "Radio", "English", "4", "1", "http://127.0.0.1:9/r"},
                          {"Clip Two", "TV", "English", "4", "1", "http://127.0.0.1:9/two.wmv"}}));
    auto form = loaded();
    const MainWindowUi ui(*form);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    MediaPlayer *player = ui.WindowsMediaPlayer1;

    // Enter on the current row does what a click does; without a current row nothing.
    form->videoSitePanel().browser().model().add({"abc", "Clip"});
    ui.ListView3->setCurrentIndex(ui.ListView3->model()->index(0, 0));
    ui.mnuAction2Item[0]->trigger(); // the video is a favourite too
    QFile videoPage(appDir() + u"/youtube.html"_s);
    const auto videoShown = [&] {
        return videoPage.open(QIODevice::ReadOnly) && videoPage.readAll().contains("<h1>Clip</h1>");
    };
    struct Enter
    {
        const char *what;
        std::function<void()> open; // the category the list belongs to
        QAbstractItemView *list;
        int row;
        std::function<bool()> done;
    };
    const Enter enters[] = {
        {"favourite video", [&] { ui.cmdFavorites->click(); }, ui.ListView2, 0,
         [&] { return form->playerArea().browserShown() && videoShown(); }},
        {"video",
         [&] {
             ui.cmdYouTube->click(); // asks the site for a listing, which replaces the list
             form->videoSitePanel().browser().model().add({"abc", "Clip"});
         },
         ui.ListView3, 0, videoShown},
        {"no channel", [&] { ui.cmdTV->click(); }, ui.ListView1, -1,
         [&] { return player->URL().isEmpty(); }},
        {"channel", [&] { ui.cmdTV->click(); }, ui.ListView1, 0,
         [&] { return player->URL() == u"http://127.0.0.1:9/one.wmv"_s; }},
    };
    for (const Enter &enter : enters) {
        SCOPED_TRACE(enter.what);
        enter.open();
        videoPage.close();
        videoPage.remove();
        enter.list->setCurrentIndex(enter.list->model()->index(enter.row, 0));
        QTest::keyClick(enter.list, Qt::Key_Return);
        EXPECT_TRUE(enter.done());
    }
    // The current row plays, even when another one is chosen.
    ui.ListView1->setCurrentIndex(ui.ListView1->model()->index(0, 0));
    ui.ListView1->selectionModel()->setCurrentIndex(ui.ListView1->model()->index(1, 0),
                                                    QItemSelectionModel::NoUpdate);
    QTest::keyClick(ui.ListView1, Qt::Key_Return);
    EXPECT_EQ(player->URL(), u"http://127.0.0.1:9/two.wmv"_s);
    // From the find box, the first move chooses the first row found, and Enter plays it.
    for (const auto &[typed, url] : {std::pair{u"clip"_s, u"http://127.0.0.1:9/one.wmv"_s},
                                     std::pair{u"two"_s, u"http://127.0.0.1:9/two.wmv"_s}}) {
        QTest::keyClicks(ui.ListView1, typed);
        QTest::keyClick(ui.findChannels->box(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(player->URL(), url) << typed.toStdString();
        QTest::keyClick(ui.ListView1, Qt::Key_Escape); // closes the bar from the list too
        EXPECT_TRUE(ui.findChannels->isHidden());
    }

    // Space and the media keys, each from the state the key before left.
    ASSERT_EQ(player->state(), MediaPlayer::State::Opening);
    using State = MediaPlayer::State;
    const std::pair<Qt::Key, State> keys[] = {
        {Qt::Key_MediaStop, State::Stopped},
        {Qt::Key_Space, State::Opening},
        {Qt::Key_Space, State::Paused},
        {Qt::Key_MediaPlay, State::Opening},
        {Qt::Key_MediaPause, State::Paused},
        {Qt::Key_MediaPause, State::Paused},
        {Qt::Key_MediaTogglePlayPause, State::Opening},
        {Qt::Key_MediaTogglePlayPause, State::Paused},
        {Qt::Key_MediaStop, State::Stopped},
        {Qt::Key_MediaTogglePlayPause, State::Opening},
    };
    for (const auto &[key, state] : keys) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        // Media keys have no text; QTest would look one up and fail.
        QWidget *target = key == Qt::Key_Space ? static_cast<QWidget *>(ui.ListView1) : form.get();
        QTest::sendKeyEvent(QTest::Click, target, key, QString(), Qt::NoModifier);
        EXPECT_EQ(player->state(), state);
    }

    // Volume and mute keys.
    const int volume = player->volume();
    QTest::keyClick(form.get(), Qt::Key_VolumeUp);
    EXPECT_EQ(player->volume(), volume + 5);
    QTest::keyClick(form.get(), Qt::Key_VolumeDown);
    QTest::keyClick(form.get(), Qt::Key_VolumeDown);
    EXPECT_EQ(player->volume(), volume - 5);
    QTest::keyClick(form.get(), Qt::Key_VolumeMute);
    EXPECT_TRUE(player->isMuted());

    // Full screen: the picture alone, then everything back where it was.
    const QRect playerBefore = player->geometry();
    const QRect listBefore = ui.ListView1->geometry();
    QTest::keyClick(form.get(), Qt::Key_F11);
    EXPECT_TRUE(form->playerArea().pictureFullScreen());
    EXPECT_TRUE(form->isFullScreen());
    EXPECT_TRUE(ui.Frame1->isHidden());
    EXPECT_FALSE(ui.cmdTV->isVisible()); // its row is hidden
    EXPECT_TRUE(form->menuBar()->isHidden());
    EXPECT_EQ(player->geometry(), form->centralWidget()->rect());
    EXPECT_EQ(form->centralWidget()->height(), form->height()); // no bars left
    QTest::keyClick(form.get(), Qt::Key_R, Qt::AltModifier);    // no category under the picture
    EXPECT_EQ(form->channelPanel().viewState().currentKind, u"TV"_s);
    EXPECT_TRUE(ui.Frame1->isHidden());
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->playerArea().pictureFullScreen());
    EXPECT_FALSE(form->isFullScreen());
    EXPECT_FALSE(ui.Frame1->isHidden());
    EXPECT_FALSE(ui.cmdTV->isHidden());
    EXPECT_TRUE(ui.Frame3->isHidden()); // hidden before, hidden after
    EXPECT_FALSE(form->menuBar()->isHidden());
    EXPECT_EQ(player->geometry(), playerBefore);
    EXPECT_EQ(ui.ListView1->geometry(), listBefore);
    QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
    EXPECT_TRUE(form->playerArea().pictureFullScreen());
    QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
    EXPECT_FALSE(form->playerArea().pictureFullScreen());

    // Alt and a letter choose a category.
    QTest::keyClick(form.get(), Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(form->channelPanel().viewState().currentKind, u"Radio"_s);
    // Find in the View menu opens the find bar of the list shown; the menus show their keys.
    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(ui.findChannels->isHidden());
    EXPECT_TRUE(ui.findChannels->box()->hasFocus());
    QTest::keyClick(form.get(), Qt::Key_V, Qt::AltModifier);
    EXPECT_FALSE(ui.Frame3->isHidden());
    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(ui.findFavorites->isHidden());
    EXPECT_EQ(ui.mnuCatItem[3]->shortcut(), QKeySequence(Qt::ALT | Qt::Key_V));
    EXPECT_EQ(form->findChild<QAction *>(u"mnuViewItem1"_s)->shortcut(), QKeySequence(Qt::Key_F11));
}

// The divider between the lists and the player: dragged, it widens the frames and narrows the
// player, never past the design width or the player's least width, and the next start keeps it.
TEST_F(Form1Test, TheDividerMovesTheListEdgeAndTheNextStartKeepsIt)
{
    writeSmallCatalogue();
    int kept = 0;
    {
        auto form = loaded();
        const MainWindowUi ui(*form);
        form->show();
        form->resize(1280, 900);
        auto *divider = form->findChild<QWidget *>(u"divider"_s);
        ASSERT_NE(divider, nullptr);
        // At first the lists are as wide as their columns need.
        const int firstWidth = ui.Frame1->width();
        const int designWidth = twipsToPixels(kDesignFrameWidth);
        EXPECT_GT(firstWidth, designWidth);
        const int playerRight = ui.WindowsMediaPlayer1->mapTo(form.get(), QPoint()).x() +
                                ui.WindowsMediaPlayer1->width();
        const auto drag = [&](int dx) {
            const QPoint grip(divider->width() / 2, divider->height() / 2);
            QTest::mousePress(divider, Qt::LeftButton, {}, grip);
            QTest::mouseMove(divider, grip + QPoint(dx, 0));
            QTest::mouseRelease(divider, Qt::LeftButton, {}, grip + QPoint(dx, 0));
        };
        const struct
        {
            int dx;
            std::function<bool(int width)> expected;
        } drags[] = {
            {200, [&](int w) { return w == firstWidth + 200; }},
            {-1000, [&](int w) { return w == designWidth; }}, // no narrower than designed
            {2000, [&](int w) { return w > designWidth + 200 && w < designWidth + 2000; }},
        };
        for (const auto &d : drags) {
            drag(d.dx);
            const int width = ui.Frame1->width();
            EXPECT_TRUE(d.expected(width)) << d.dx << " gave " << width;
            // Every frame and its list follow; the player keeps its right edge.
            for (QWidget *frame : {ui.Frame3, ui.Frame4, ui.Frame5})
                EXPECT_EQ(frame->width(), width);
            EXPECT_EQ(ui.ListView1->width(), width - 20); // 300 twips of margins
            EXPECT_EQ(ui.WindowsMediaPlayer1->mapTo(form.get(), QPoint()).x() +
                          ui.WindowsMediaPlayer1->width(),
                      playerRight);
            EXPECT_GE(ui.WindowsMediaPlayer1->width(), twipsToPixels(kMinPlayerTwips));
        }
        drag(-1000);
        drag(300);
        kept = ui.Frame1->width();
    }
    auto again = loaded();
    again->show();
    again->resize(1280, 900);
    EXPECT_EQ(MainWindowUi(*again).Frame1->width(), kept);
}

// At the size a new user meets and maximised, every column of the channel list shows whole.
TEST_F(Form1Test, EveryColumnOfTheChannelListShowsWhole)
{
    writeSmallCatalogue();
    auto form = loaded();
    const MainWindowUi ui(*form);
    form->show();
    for (const QSize size : {QSize(1280, 900), QSize(1920, 1080)}) {
        form->resize(size);
        QCoreApplication::processEvents();
        QHeaderView *header = ui.ListView1->header();
        for (int c = 1; c < header->count(); ++c)
            EXPECT_GE(header->isSectionHidden(c) ? INT_MAX : header->sectionSize(c),
                      static_cast<QAbstractItemView *>(ui.ListView1)->sizeHintForColumn(c))
                << c;
        EXPECT_GE(header->sectionSize(0),
                  static_cast<QAbstractItemView *>(ui.ListView1)->sizeHintForColumn(0));
        EXPECT_FALSE(ui.ListView1->horizontalScrollBar()->isVisible());
    }
}

TEST_F(Form1Test, WithoutADesktopHandlerEachOpenSaysWhatToCopy)
{
    touch(u"Help.html"_s);
    touch(u"Localization.txt"_s);
    writeSmallCatalogue();
    const DesktopOpener saved = setDesktopOpener([](const QUrl &) { return false; });
    // The help a start opens unasked says nothing when it cannot.
    storeSetting(SettingKey::ShowHelp, u"1"_s);
    auto form = loaded();
    const MainWindowUi ui(*form);
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(readSetting(SettingKey::ShowHelp), u"0"_s);
    const std::pair<std::function<void()>, QString> cases[] = {
        {[&] { ui.mnuHelpItem[0]->trigger(); }, appDir() + u"/Help.html"_s},
        {[&] { ui.cmdWebsite->click(); }, u"http://"_s + branding().siteName},
        {[&] {
             ui.mnuLanguageItem[0]->trigger();
             form->windows().languageWindow()->Command3_Click();
         },
         appDir() + u"/Localization.txt"_s},
    };
    for (const auto &[open, where] : cases) {
        boxes.clear();
        open();
        ASSERT_EQ(boxes.shown().size(), 1) << where.toStdString();
        EXPECT_EQ(boxes.shown()[0].text,
                  u"No program on this computer opens it.  Copy the address and open it "
                  u"yourself:\n\n"_s +
                      where);
    }
    setDesktopOpener(saved);
}
