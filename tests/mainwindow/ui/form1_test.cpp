#include "branding/branding.h"
#include "branding/ui/frmabout.h"
#include "branding/ui/frmwebsite.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "localization/ui/frmlanguage.h"
#include "mainwindow/checkallrun.h"
#include "mainwindow/navigation.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/form1.h"
#include "platform/appfolder.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/scripteddialogs.h"
#include "platform/settings.h"
#include "platform/widgets/desktopopen.h"
#include "support/cataloguefixture.h"
#include "unreachableserver.h"
#include "videosite/ui/videolistmodel.h"
#include "videosite/ui/videositebrowser.h"
#include "viewerfolders.h"

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

    static QStringList shownColumn(const Form1 &form, int column)
    {
        QStringList texts;
        const QAbstractItemModel *m = form.ListView1->model();
        for (int r = 0; r < m->rowCount(); ++r)
            texts << m->index(r, column).data().toString();
        return texts;
    }

    static QGroupBox *visibleFrame(const Form1 &form)
    {
        QGroupBox *shown = nullptr;
        for (QGroupBox *f : {form.Frame1, form.Frame3, form.Frame4, form.Frame5}) {
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
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(form->windowTitle(), u"Mavrel by Brintover"_s);
    EXPECT_EQ(form->cmdWebsite->text(), u"Visit "_s + branding().siteName);
    EXPECT_EQ(form->countryCode, u"en_us"_s);
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(visibleFrame(*form), form->Frame1);
    EXPECT_EQ(form->viewState().currentKind, u"TV"_s);
    EXPECT_EQ(shownColumn(*form, 0), (QStringList{u"Alpha TV"_s, u"Beta News"_s}));
    EXPECT_EQ(shownColumn(*form, 3), (QStringList{u"4.5"_s, u"3.0"_s}));
    EXPECT_EQ(shownColumn(*form, 4), (QStringList{u"000120"_s, u"000099"_s}));
    EXPECT_TRUE(form->ListView1->sortingOn());
    EXPECT_EQ(form->ListView1->sortKey(), 3);
    EXPECT_EQ(form->ListView1->sortOrder(), Qt::DescendingOrder);
    QStringList items;
    for (int i = 0; i < form->Combo1->count(); ++i)
        items << form->Combo1->itemText(i);
    EXPECT_EQ(items, (QStringList{u"All"_s, u"English"_s, u"French"_s, u"Spanish"_s}));
    EXPECT_EQ(form->Combo1->currentText(), u"English"_s);
    EXPECT_EQ(form->cmbSortTV->currentText(), u"Rating"_s);
    EXPECT_EQ(form->StatusBar1Panel1->text(),
              u"Total Channels: 10 | Showing: 2 | Languages/Categories: 3 | Don't forget to rate "
              "your favorite channels with the Channel Actions button"_s);
    // The placeholder page is written and becomes the browser's page once it exists.
    QFile page(appDir() + u"/youtube.html"_s);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().endsWith("to the left</h1><br></font></center></body></html>\r\n"));
    EXPECT_EQ(form->browserPage(), QUrl::fromLocalFile(page.fileName()));
    EXPECT_EQ(form->browser(), nullptr);
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
        const QString shown = form->statusBar()->currentMessage();
        EXPECT_TRUE(shown.contains(blocked + u"/youtube.html"_s)) << shown.toStdString();
        EXPECT_TRUE(form->StatusBar1Panel1->text().startsWith(u"Total Channels"_s));
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
        EXPECT_TRUE(form->firstStart);
        EXPECT_EQ(form->currentLanguage, u"English"_s);
        EXPECT_EQ(readSetting(SettingKey::Language, QString()), u"English"_s);
        EXPECT_EQ(readSetting(SettingKey::ShowHelp), u"0"_s);
        EXPECT_EQ(readSetting(SettingKey::MachineShowHelp), u"0"_s);
        ASSERT_EQ(urls.opened.size(), 1);
        EXPECT_EQ(urls.opened[0], QUrl::fromLocalFile(appDir() + u"/Help.html"_s));
    }
    auto again = loaded();
    EXPECT_FALSE(again->firstStart);
    EXPECT_EQ(urls.opened.size(), 1);

    // "View Help" opens it whenever asked.
    again->mnuHelpItem_Click(0);
    EXPECT_EQ(urls.opened.size(), 2);
}

TEST_F(Form1Test, MissingHelpDocumentOpensNothingButStillStoresTheSetting)
{
    storeSetting(SettingKey::ShowHelp, u"1"_s);
    writeSmallCatalogue();
    auto form = loaded();
    EXPECT_TRUE(urls.opened.isEmpty());
    EXPECT_EQ(readSetting(SettingKey::ShowHelp), u"0"_s);
    EXPECT_EQ(readSetting(SettingKey::MachineShowHelp, u"absent"_s), u"absent"_s);
    form->mnuHelpItem_Click(0);
    EXPECT_TRUE(urls.opened.isEmpty());
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(Form1Test, StaffModeAddsTheUrlColumnAndTheStaffUpdateItems)
{
    writeSmallCatalogue();
    {
        auto form = loaded();
        EXPECT_FALSE(form->staffMode);
        EXPECT_EQ(form->ListView1->columnCountShown(), 5);
        EXPECT_FALSE(form->mnuUpdateItem[2]->isVisible());
        EXPECT_FALSE(form->mnuUpdateItem[3]->isVisible());
        EXPECT_FALSE(form->chkLoad->isChecked());
    }
    touch(u"admin.txt"_s);
    auto form = loaded();
    EXPECT_TRUE(form->staffMode);
    ASSERT_EQ(form->ListView1->columnCountShown(), 6);
    EXPECT_EQ(form->ListView1->headerText(5), u"URL"_s);
    EXPECT_EQ(form->ListView1->model()->index(0, 5).data().toString(), u"http://a.example/tv"_s);
    for (QAction *item : form->mnuUpdateItem)
        EXPECT_TRUE(item->isVisible());
    EXPECT_TRUE(form->chkLoad->isChecked());
    EXPECT_TRUE(form->Frame2->isHidden());
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
    ASSERT_EQ(boxes.shown().size(), 1);
    const auto &box = boxes.shown()[0];
    EXPECT_EQ(box.text, u"TV Channel file was not found.  No channels could be loaded.  Please "
                        "reinstall or repair this program."_s);
    EXPECT_EQ(box.title, u"Mavrel"_s);
    EXPECT_EQ(box.buttons, DialogButtons::Ok);
    EXPECT_EQ(form->ListView1->rowCountShown(), 0);
    EXPECT_EQ(visibleFrame(*form), form->Frame1);
    // The list an update brings comes best rated first.
    EXPECT_TRUE(form->ListView1->sortingOn());
    EXPECT_EQ(form->ListView1->sortKey(), 3);
    EXPECT_EQ(form->ListView1->sortOrder(), Qt::DescendingOrder);
    // Every catalogue click shows it again.
    form->cmdRadio_Click();
    EXPECT_EQ(boxes.shown().size(), 2);
}

TEST_F(Form1Test, CategoryButtonsAndMenuItemsSwitchFrameAreaAndKind)
{
    writeSmallCatalogue();
    auto form = loaded();
    struct Case
    {
        int index;
        QPushButton *Form1::*button;
        QGroupBox *Form1::*frame;
        bool browser;
        const char *kind;
    };
    const Case cases[] = {
        {0, &Form1::cmdTV, &Form1::Frame1, false, "TV"},
        {1, &Form1::cmdRadio, &Form1::Frame1, false, "Radio"},
        {2, &Form1::cmdVideo, &Form1::Frame1, false, "Video"},
        {3, &Form1::cmdFavorites, &Form1::Frame3, false, "Video"}, // kind unchanged
        {8, &Form1::cmdYouTube, &Form1::Frame5, true, "YOUTUBE"},
        {4, &Form1::cmdFiles, &Form1::Frame4, false, "YOUTUBE"},
        {7, &Form1::cmdXXX, &Form1::Frame1, false, "XXX"},
        {3, &Form1::cmdFavorites, &Form1::Frame3, false, "XXX"},
    };
    for (const bool viaMenu : {true, false}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << "index " << c.index << (viaMenu ? " menu" : " button"));
            boxes.pushAnswer(DialogAnswer::Ok); // the adult notice, when it comes
            if (viaMenu)
                form->mnuCatItem_Click(c.index);
            else
                ((*form).*(c.button))->click();
            EXPECT_EQ(visibleFrame(*form), (*form).*(c.frame));
            EXPECT_EQ(form->browserAreaShown(), c.browser);
            EXPECT_EQ(form->WindowsMediaPlayer1->isHidden(), c.browser);
            if (form->browser()) {
                EXPECT_EQ(form->browser()->isHidden(), !c.browser);
            }
            EXPECT_EQ(form->viewState().currentKind, QLatin1StringView(c.kind));
        }
        boxes.clear();
    }
    // The video site empties the channel list; its page is the placeholder.
    form->mnuCatItem_Click(8);
    EXPECT_EQ(form->ListView1->rowCountShown(), 0);
    ASSERT_NE(form->browser(), nullptr);
    QElapsedTimer clock;
    clock.start();
    while (form->browser()->url().isEmpty() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(form->browser()->url(), form->browserPage());
    EXPECT_EQ(form->browser()->geometry(), form->WindowsMediaPlayer1->geometry());

    // Indexes outside the menu do nothing.
    for (const int index : {-1, 9, 42}) {
        form->mnuCatItem_Click(index);
        EXPECT_EQ(visibleFrame(*form), form->Frame5);
        EXPECT_EQ(form->viewState().currentKind, u"YOUTUBE"_s);
    }
    // The Video category is never offered.
    EXPECT_TRUE(form->cmdVideo->isHidden());
    EXPECT_FALSE(form->mnuCatItem[2]->isVisible());
}

TEST_F(Form1Test, AdultNoticeCancelKeepsTheViewAndOkEntersWithTheVideoLanguage)
{
    writeSmallCatalogue();
    auto form = loaded();
    form->cmdYouTube_Click();
    boxes.pushAnswer(DialogAnswer::Cancel);
    form->cmdXXX_Click();
    ASSERT_EQ(boxes.shown().size(), 1);
    const auto &notice = boxes.shown()[0];
    EXPECT_EQ(notice.title, u"Adult Material"_s);
    EXPECT_EQ(notice.buttons, DialogButtons::OkCancel);
    EXPECT_EQ(notice.text, adultNoticeText());
    EXPECT_TRUE(notice.text.startsWith(u"In order to have access"_s));
    EXPECT_TRUE(notice.text.endsWith(u"from this adult section."_s));
    EXPECT_EQ(notice.text.count(u"\r\n\r\n"_s), 3);
    EXPECT_EQ(visibleFrame(*form), form->Frame5);
    EXPECT_TRUE(form->browserAreaShown());
    EXPECT_EQ(form->viewState().currentKind, u"YOUTUBE"_s);

    form->cmdFavorites_Click();
    boxes.pushAnswer(DialogAnswer::Cancel);
    form->cmdXXX_Click();
    EXPECT_EQ(visibleFrame(*form), form->Frame3);

    boxes.pushAnswer(DialogAnswer::Ok);
    form->cmdXXX_Click();
    EXPECT_EQ(boxes.shown().size(), 3); // asked every time
    EXPECT_EQ(visibleFrame(*form), form->Frame1);
    EXPECT_EQ(form->viewState().currentKind, u"XXX"_s);
    EXPECT_EQ(form->viewState().currentLang, u"English"_s); // VideoLang never stored
    EXPECT_EQ(shownColumn(*form, 0), QStringList{u"Night"_s});
}

TEST_F(Form1Test, LanguageChoiceIsRememberedPerKindButNeverForTheAdultKind)
{
    writeSmallCatalogue();
    auto form = loaded();
    form->cmdRadio_Click();
    choose(form->Combo1, u"Spanish"_s);
    EXPECT_EQ(readSetting(SettingKey::RadioLang), u"Spanish"_s);
    EXPECT_EQ(shownColumn(*form, 0), QStringList{u"Radio Uno"_s});

    form->cmdTV_Click();
    EXPECT_EQ(form->viewState().currentLang, u"English"_s);
    form->cmdRadio_Click();
    EXPECT_EQ(form->viewState().currentLang, u"Spanish"_s);
    EXPECT_EQ(form->Combo1->currentText(), u"Spanish"_s);

    // "All" shows the whole kind; the language list is kept, not rebuilt.
    const int itemsBefore = form->Combo1->count();
    choose(form->Combo1, u"All"_s);
    EXPECT_EQ(form->ListView1->rowCountShown(), 2);
    EXPECT_EQ(form->Combo1->count(), itemsBefore);
    EXPECT_EQ(readSetting(SettingKey::RadioLang), u"All"_s);

    boxes.pushAnswer(DialogAnswer::Ok);
    form->cmdXXX_Click();
    choose(form->Combo1, u"French"_s);
    EXPECT_EQ(shownColumn(*form, 0), QStringList{u"Nuit"_s});
    EXPECT_EQ(readSetting(SettingKey::VideoLang, u"absent"_s), u"absent"_s);
    EXPECT_EQ(readSetting(SettingKey::TVLang, u"absent"_s), u"absent"_s);
}

TEST_F(Form1Test, RememberedLanguageThatNoChannelCarriesShowsAnEmptyList)
{
    writeSmallCatalogue();
    storeSetting(SettingKey::RadioLang, u"Klingon"_s);
    storeSetting(SettingKey::TVLang, u"Klingon"_s);
    auto form = loaded();
    // The first list is empty, and the lists after it still come best rated first.
    EXPECT_EQ(form->ListView1->rowCountShown(), 0);
    form->cmdRadio_Click();
    EXPECT_EQ(form->ListView1->rowCountShown(), 0);
    EXPECT_EQ(form->Combo1->count(), 3);
    EXPECT_TRUE(form->Combo1->currentText().isEmpty());
    choose(form->Combo1, u"All"_s);
    EXPECT_EQ(shownColumn(*form, 0), (QStringList{u"Radio Uno"_s, u"Jazz FM"_s}));
    form->cmdTV_Click();
    choose(form->Combo1, u"All"_s);
    EXPECT_EQ(shownColumn(*form, 0),
              (QStringList{u"Canal Sur"_s, u"Alpha TV"_s, u"Beta News"_s, u"Kids Zone"_s}));
}

TEST_F(Form1Test, EveryKindClickRebuildsTheLanguageList)
{
    writeSmallCatalogue();
    auto form = loaded();
    form->cmdRadio_Click();
    form->Combo1->clear();
    form->cmdRadio_Click();
    EXPECT_EQ(form->Combo1->count(), 3); // All, English, Spanish
    EXPECT_EQ(form->viewState().langCount, 2);
}

TEST_F(Form1Test, HeaderClicksAndTheSortComboFollowTheFlipRule)
{
    writeSmallCatalogue();
    storeSetting(SettingKey::TVLang, u"All"_s);
    auto form = loaded();
    EXPECT_EQ(form->Combo1->currentText(), u"All"_s);
    EXPECT_EQ(shownColumn(*form, 3),
              (QStringList{u"5.0"_s, u"4.5"_s, u"3.0"_s, u"1.0"_s})); // start-up: highest first
    form->ListView1_ColumnClick(4);
    EXPECT_EQ(shownColumn(*form, 3), (QStringList{u"1.0"_s, u"3.0"_s, u"4.5"_s, u"5.0"_s}));
    form->ListView1_ColumnClick(4);
    EXPECT_EQ(shownColumn(*form, 3), (QStringList{u"5.0"_s, u"4.5"_s, u"3.0"_s, u"1.0"_s}));

    choose(form->cmbSortTV, u"Channel"_s);
    EXPECT_EQ(shownColumn(*form, 0),
              (QStringList{u"Alpha TV"_s, u"Beta News"_s, u"Canal Sur"_s, u"Kids Zone"_s}));
    choose(form->cmbSortTV, u"Channel"_s);
    EXPECT_EQ(shownColumn(*form, 0),
              (QStringList{u"Kids Zone"_s, u"Canal Sur"_s, u"Beta News"_s, u"Alpha TV"_s}));

    // The order survives a reload.
    form->cmdTV_Click();
    EXPECT_EQ(shownColumn(*form, 0).first(), u"Kids Zone"_s);

    // Translated headers: the combo matches none of them and sorts by its item's position;
    // header clicks still sort.
    form->channelModel().setHeaderText(0, u"Kanal"_s);
    choose(form->cmbSortTV, u"Channel"_s);
    EXPECT_EQ(form->ListView1->sortKey(), 0);
    EXPECT_EQ(form->ListView1->sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(shownColumn(*form, 0).first(), u"Alpha TV"_s);
    form->ListView1_ColumnClick(1);
    EXPECT_EQ(form->ListView1->sortOrder(), Qt::DescendingOrder);

    // The favourites list is empty: a click changes nothing.
    form->ListView2_ColumnClick(1);
    EXPECT_FALSE(form->ListView2->sortingOn());
}

TEST_F(Form1Test, ResizeLaysOutAndMinimisingMovesNothing)
{
    writeSmallCatalogue();
    auto form = loaded();
    form->show();
    const QRect player = form->WindowsMediaPlayer1->geometry();
    const QRect frame = form->Frame1->geometry();
    const QRect website = form->cmdWebsite->geometry();
    form->resize(form->width() + 60, form->height()); // 900 twips
    EXPECT_EQ(form->WindowsMediaPlayer1->geometry(), player.adjusted(0, 0, 60, 0));
    EXPECT_EQ(form->cmdWebsite->geometry(), website.adjusted(0, 0, 60, 0));
    EXPECT_EQ(form->Frame1->geometry(), frame);

    const QRect before = form->WindowsMediaPlayer1->geometry();
    form->showMinimized();
    form->resize(form->width() + 120, form->height() + 90);
    EXPECT_EQ(form->WindowsMediaPlayer1->geometry(), before);
    form->showNormal();
    EXPECT_EQ(form->WindowsMediaPlayer1->geometry(), before.adjusted(0, 0, 120, 90));
    EXPECT_EQ(form->Frame1->height(), form->WindowsMediaPlayer1->height() + 9); // 140 twips
}

TEST_F(Form1Test, CompanySwitchShowsTheExtraCategoriesSideBySide)
{
    writeSmallCatalogue();
    auto form = loaded();
    for (QPushButton *b : {form->cmdSports, form->cmdExtras, form->cmdXXX})
        EXPECT_TRUE(b->isHidden());
    for (const int i : {5, 6, 7})
        EXPECT_FALSE(form->mnuCatItem[i]->isVisible());

    form->applyCompanySwitch(QLatin1StringView(kExtrasCompany));
    QRect previous = form->cmdUpdate->geometry();
    for (QPushButton *b : {form->cmdSports, form->cmdExtras, form->cmdXXX}) {
        EXPECT_FALSE(b->isHidden());
        EXPECT_GT(b->geometry().left(), previous.right()); // no overlap
        EXPECT_EQ(b->geometry().top(), previous.top());
        previous = b->geometry();
    }
    EXPECT_EQ(form->cmdWebsite->geometry().left(), previous.right() + 1 + 4); // + 60 twips
    EXPECT_GT(form->cmdWebsite->width(), 100);
    for (const int i : {5, 6, 7})
        EXPECT_TRUE(form->mnuCatItem[i]->isVisible());
    EXPECT_FALSE(form->mnuCatItem[2]->isVisible());
}

TEST_F(Form1Test, WebsiteOpensOnceWhileItsWindowIsLoaded)
{
    writeSmallCatalogue();
    auto form = loaded();
    form->cmdWebsite_Click();
    form->cmdWebsite_Click();
    ASSERT_EQ(urls.opened.size(), 1);
    EXPECT_EQ(urls.opened[0], QUrl(u"http://"_s + branding().siteName));
    ASSERT_TRUE(form->websiteWindow());
    EXPECT_FALSE(form->websiteWindow()->isVisible());

    form->websiteWindow()->Timer1_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form->websiteWindow());
    form->cmdWebsite_Click();
    EXPECT_EQ(urls.opened.size(), 2);

    // Sports and Extras hand over their word; the window opens nothing for them.
    form->websiteWindow()->Timer1_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form->mnuCatItem_Click(5);
    EXPECT_EQ(urls.opened.size(), 2);
    EXPECT_TRUE(frmWebsite::modeWord().isEmpty());
    form->websiteWindow()->Timer1_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form->mnuCatItem_Click(6);
    ASSERT_TRUE(form->websiteWindow());
    EXPECT_EQ(urls.opened.size(), 2);
    EXPECT_TRUE(frmWebsite::modeWord().isEmpty());
    EXPECT_EQ(visibleFrame(*form), form->Frame1);
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
    form->mnuAboutItem_Click(0);
    const QPointer<frmAbout> about = form->aboutWindow();
    ASSERT_TRUE(about);
    EXPECT_EQ(about->windowTitle(), u"About Mavrel"_s);
    EXPECT_EQ(about->Label1->text(), u"Mavrel"_s);
    EXPECT_EQ(about->lblVersion->text(), u"2.1"_s);
    EXPECT_EQ(about->lblCompany->text(), u"Brintover"_s);
    EXPECT_EQ(about->lblWebsite->text(), branding().siteName);
    form->mnuAboutItem_Click(0);
    EXPECT_EQ(form->aboutWindow(), about);

    // Closing the main window closes it and reports the end.
    bool ended = false;
    QObject::connect(form.get(), &Form1::unloaded, [&] { ended = true; });
    form->mnuFileItem_Click(1);
    EXPECT_FALSE(ended);
    form->mnuFileItem_Click(2);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(about->isVisible());
}

// A screen reader announces a control by its caption, its buddy label or its accessible name.
TEST_F(Form1Test, EveryControlHasANameForScreenReaders)
{
    writeSmallCatalogue();
    auto form = loaded();
    form->cmdYouTube_Click(); // creates the browser
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
    if (!named(form->imgOffline))
        unnamed << form->imgOffline->objectName();
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
    EXPECT_FALSE(form->imgOffline->accessibleDescription().isEmpty());

    // A status line is announced by what it says, not by a fixed name.
    form->txtStatus->setText(u"duplicate submission"_s);
    EXPECT_EQ(onTheBus(form->StatusBar1Panel1)->text(QAccessible::Name), u"duplicate submission"_s);

    // What the accessibility bus carries: a list's name, a box's label as its relation.
    EXPECT_EQ(onTheBus(form->ListView1)->text(QAccessible::Name), form->Frame1->title());
    for (const auto &pair :
         {std::pair{form->Combo1, form->lblCountry}, std::pair{form->cmbSortTV, form->lblSort}}) {
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
    form->checkRun().Timer1.setInterval(1);

    const struct
    {
        const char *route;
        std::function<void()> deliver;
        QString shown;
    } cases[] = {
        {"check-all status", [&] { form->checkAllChannels(); },
         u"Checking 1 of 1 - "_s + QString::fromUtf8(name)},
        {"status box mirror", [&] { form->txtStatus->setText(u"<h1>Title</h1>"_s); },
         u"<h1>Title</h1>"_s},
    };
    QLabel *panel = form->StatusBar1Panel1;
    for (const auto &c : cases) {
        c.deliver();
        EXPECT_EQ(panel->text(), c.shown) << c.route;
        EXPECT_EQ(panel->textFormat(), Qt::PlainText) << c.route;
        // Drawn as rich text the tags would vanish and the text would need less room.
        EXPECT_GE(panel->sizeHint().width(), panel->fontMetrics().horizontalAdvance(c.shown))
            << c.route;
    }
    qputenv("MAVREL_CATALOGUE_URL", mavrel::testing::kUnreachableServer);

    form->mnuAboutItem_Click(0);
    for (const QLabel *label : form->aboutWindow()->findChildren<QLabel *>())
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
    form->show();
    const QRect listBefore = form->ListView1->geometry();
    const auto status = [](int shown) {
        return u"Total Channels: 4 | Showing: "_s + QString::number(shown) +
               u" | Languages/Categories: 1 | Don't forget to rate your favorite channels with the "
               "Channel Actions button"_s;
    };
    EXPECT_TRUE(form->findChannels->isHidden());
    EXPECT_TRUE(form->findFavorites->isHidden());
    EXPECT_EQ(form->StatusBar1Panel1->text(), status(3));

    // A blank or a command key does not open the bar; letters do, and narrow the sorted list.
    QTest::keyClick(form->ListView1, Qt::Key_Space);
    QTest::keyClick(form->ListView1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(form->findChannels->isHidden());
    QTest::keyClicks(form->ListView1, u"c"_s);
    QTest::keyClicks(form->findChannels->box(), u"afe"_s);
    EXPECT_TRUE(form->findChannels->isVisible());
    EXPECT_EQ(form->findChannels->text(), u"cafe"_s);
    EXPECT_EQ(shownColumn(*form, 0), (QStringList{u"Caf\u00e9 Noir"_s, u"CAFE RADIO"_s}));
    EXPECT_EQ(form->StatusBar1Panel1->text(), status(2));
    // The bar takes the list's foot, spaced from the rest of the list, which stays in place.
    const auto barAtFoot = [](const QRect &bar, const QRect &list, const QRect &whole) {
        EXPECT_EQ(bar.bottom(), whole.bottom());
        EXPECT_EQ(QRect(bar.left(), list.top(), bar.width(), list.height()),
                  whole.adjusted(0, 0, 0, list.bottom() - whole.bottom()));
        EXPECT_GE(bar.top() - list.bottom(), 4);
    };
    barAtFoot(form->findChannels->geometry(), form->ListView1->geometry(), listBefore);

    // Further words narrow it; taking them back widens it again.
    QTest::keyClicks(form->findChannels->box(), u" r"_s);
    EXPECT_EQ(shownColumn(*form, 0), (QStringList{u"CAFE RADIO"_s}));
    QTest::keyClick(form->findChannels->box(), Qt::Key_Backspace);
    QTest::keyClick(form->findChannels->box(), Qt::Key_Backspace);

    // A reload of the kind keeps the find in force, with its counts.
    form->cmdRadio_Click();
    EXPECT_EQ(shownColumn(*form, 0), (QStringList{u"Cafe Uno"_s}));
    form->cmdTV_Click();
    EXPECT_EQ(shownColumn(*form, 0), (QStringList{u"Caf\u00e9 Noir"_s, u"CAFE RADIO"_s}));
    EXPECT_EQ(form->StatusBar1Panel1->text(), status(2));

    // A resize while it is open: it takes the new foot, and closed, the list is as laid out.
    form->resize(form->size() + QSize(30, 45));
    const QRect bar = form->findChannels->geometry(), list = form->ListView1->geometry();
    QTest::keyClick(form->findChannels->box(), Qt::Key_Escape);
    EXPECT_TRUE(form->findChannels->isHidden());
    EXPECT_EQ(form->findChannels->text(), QString());
    const QRect whole = form->ListView1->geometry();
    EXPECT_GT(whole.height(), listBefore.height());
    form->Form_Resize();
    EXPECT_EQ(form->ListView1->geometry(), whole);
    barAtFoot(bar, list, whole);
    EXPECT_EQ(shownColumn(*form, 0),
              (QStringList{u"Alpha TV"_s, u"Caf\u00e9 Noir"_s, u"CAFE RADIO"_s}));
    EXPECT_EQ(form->StatusBar1Panel1->text(), status(3));

    // Emptying the box does the same.
    QTest::keyClicks(form->ListView1, u"x"_s);
    EXPECT_TRUE(shownColumn(*form, 0).isEmpty());
    QTest::keyClick(form->findChannels->box(), Qt::Key_Backspace);
    EXPECT_TRUE(form->findChannels->isHidden());
    EXPECT_EQ(shownColumn(*form, 0).size(), 3);
}

TEST_F(Form1Test, KeyboardPlaysRowsDrivesThePlayerAndShowsThePictureOnTheWholeScreen)
{
    ASSERT_TRUE(writeCatalogue(
        catalogueFile(), {{"Clip One", "TV", "English", "4", "1", "http://127.0.0.1:9/one.wmv"},
                          {"Radio Uno", "Radio", "English", "4", "1", "http://127.0.0.1:9/r"},
                          {"Clip Two", "TV", "English", "4", "1", "http://127.0.0.1:9/two.wmv"}}));
    auto form = loaded();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    MediaPlayer *player = form->WindowsMediaPlayer1;

    // Enter on the current row does what a click does; without a current row nothing.
    form->videoSite().model().add({"abc", "Clip"});
    form->ListView3->setCurrentIndex(form->ListView3->model()->index(0, 0));
    form->mnuAction2Item[0]->trigger(); // the video is a favourite too
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
        {"favourite video", [&] { form->cmdFavorites_Click(); }, form->ListView2, 0,
         [&] { return form->browserAreaShown() && videoShown(); }},
        {"video",
         [&] {
             form->cmdYouTube_Click(); // asks the site for a listing, which replaces the list
             form->videoSite().model().add({"abc", "Clip"});
         },
         form->ListView3, 0, videoShown},
        {"no channel", [&] { form->cmdTV_Click(); }, form->ListView1, -1,
         [&] { return player->URL().isEmpty(); }},
        {"channel", [&] { form->cmdTV_Click(); }, form->ListView1, 0,
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
    form->ListView1->setCurrentIndex(form->ListView1->model()->index(0, 0));
    form->ListView1->selectionModel()->setCurrentIndex(form->ListView1->model()->index(1, 0),
                                                       QItemSelectionModel::NoUpdate);
    QTest::keyClick(form->ListView1, Qt::Key_Return);
    EXPECT_EQ(player->URL(), u"http://127.0.0.1:9/two.wmv"_s);
    // From the find box, the first move chooses the first row found, and Enter plays it.
    for (const auto &[typed, url] : {std::pair{u"clip"_s, u"http://127.0.0.1:9/one.wmv"_s},
                                     std::pair{u"two"_s, u"http://127.0.0.1:9/two.wmv"_s}}) {
        QTest::keyClicks(form->ListView1, typed);
        QTest::keyClick(form->findChannels->box(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(player->URL(), url) << typed.toStdString();
        QTest::keyClick(form->ListView1, Qt::Key_Escape); // closes the bar from the list too
        EXPECT_TRUE(form->findChannels->isHidden());
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
        QWidget *target =
            key == Qt::Key_Space ? static_cast<QWidget *>(form->ListView1) : form.get();
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
    const QRect listBefore = form->ListView1->geometry();
    QTest::keyClick(form.get(), Qt::Key_F11);
    EXPECT_TRUE(form->pictureFullScreen());
    EXPECT_TRUE(form->isFullScreen());
    EXPECT_TRUE(form->Frame1->isHidden());
    EXPECT_TRUE(form->cmdTV->isHidden());
    EXPECT_TRUE(form->menuBar()->isHidden());
    EXPECT_EQ(player->geometry(), form->centralWidget()->rect());
    EXPECT_EQ(form->centralWidget()->height(), form->height()); // no bars left
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->pictureFullScreen());
    EXPECT_FALSE(form->isFullScreen());
    EXPECT_FALSE(form->Frame1->isHidden());
    EXPECT_FALSE(form->cmdTV->isHidden());
    EXPECT_TRUE(form->Frame3->isHidden()); // hidden before, hidden after
    EXPECT_FALSE(form->menuBar()->isHidden());
    EXPECT_EQ(player->geometry(), playerBefore);
    EXPECT_EQ(form->ListView1->geometry(), listBefore);
    QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
    EXPECT_TRUE(form->pictureFullScreen());
    QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
    EXPECT_FALSE(form->pictureFullScreen());

    // Alt and a letter choose a category.
    QTest::keyClick(form.get(), Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(form->viewState().currentKind, u"Radio"_s);
    QTest::keyClick(form.get(), Qt::Key_V, Qt::AltModifier);
    EXPECT_FALSE(form->Frame3->isHidden());
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
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(readSetting(SettingKey::ShowHelp), u"0"_s);
    const std::pair<std::function<void()>, QString> cases[] = {
        {[&] { form->mnuHelpItem_Click(0); }, appDir() + u"/Help.html"_s},
        {[&] { form->cmdWebsite_Click(); }, u"http://"_s + branding().siteName},
        {[&] {
             form->mnuLanguageItem_Click(0);
             form->languageWindow()->Command3_Click();
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
