#include "branding/branding.h"
#include "catalogue/catalogueview.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "favorites/ui/favoritesmodel.h"
#include "localization/clslanguages.h"
#include "localization/localizationfile.h"
#include "localization/ui/frmlanguage.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/windowlauncher.h"
#include "mainwindowui.h"
#include "online/fetch.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/scripteddialogs.h"
#include "platform/settings.h"
#include "platform/termination.h"
#include "player/ui/mediaplayer.h"
#include "qstringprinter.h"
#include "support/cataloguefixture.h"
#include "testhttpserver.h"
#include "ui/catalogueserver.h"
#include "unreachableserver.h"
#include "videosite/ui/videolistmodel.h"
#include "viewerfolders.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

using namespace mavrel;
using mavrel::test::MainWindowUi;
using namespace Qt::StringLiterals;

class OpenRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList itemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

void choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

class LanguageWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        ASSERT_TRUE(temp.isValid());
        QDesktopServices::setUrlHandler(u"file"_s, &opens, "open");
        ASSERT_TRUE(mavrel::testing::writeCatalogue(
            temp.path() + u"/data/Data.txt"_s,
            {{"Alpha TV", "TV", "English", "4.5", "120", "http://a.example/tv"},
             {"Beta News", "TV", "English", "3", "99", "http://b.example/tv"}}));
    }

    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(u"file"_s);
        qputenv("MAVREL_CATALOGUE_URL", mavrel::testing::kUnreachableServer);
    }

    QString appDir() const { return temp.path() + u"/app"_s; }
    QString localizationFile() const { return appDir() + u"/Localization.txt"_s; }
    void installShippedFile()
    {
        QFile::remove(localizationFile());
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(SHIPPED_LOCALIZATION), localizationFile()));
    }

    std::unique_ptr<Form1> loaded()
    {
        auto form = std::make_unique<Form1>();
        EXPECT_TRUE(form->Form_Load());
        return form;
    }

    frmLanguage *openLanguageWindow(Form1 &form)
    {
        MainWindowUi(form).mnuLanguageItem[0]->trigger();
        frmLanguage *window = form.windows().languageWindow();
        EXPECT_NE(window, nullptr);
        return window;
    }

    test::ViewerFolders temp;
    ScopedScriptedDialogs boxes;
    OpenRecorder opens;
};

} // namespace

// Every key the English template writes (staff mode: all list columns) has a text in every
// shipped language, and the shipped English is what the windows show without the file.
TEST_F(LanguageWindowTest, ShippedFileTranslatesEveryKeyTheTemplateWrites)
{
    QFile admin(appDir() + u"/admin.txt"_s);
    ASSERT_TRUE(admin.open(QIODevice::WriteOnly));
    admin.close();
    auto form = loaded();
    const MainWindowUi ui(*form);
    ASSERT_NE(openLanguageWindow(*form), nullptr);
    ui.mnuUpdateItem[1]->trigger(); // the submission window
    ui.mnuAboutItem[0]->trigger();
    form->findChild<QAction *>(u"mnuUpdateItem4"_s)->trigger(); // the catalogue server window
    ASSERT_TRUE(form->languages().makeLocalizationFile());
    const QString written = localizationText(readAll(localizationFile()));
    EXPECT_TRUE(written.contains(u"FRMSERVER_CAPTION"_s, Qt::CaseInsensitive));
    const auto templateLines = languageItems(written, u"English"_s);
    ASSERT_TRUE(templateLines);
    QList<std::pair<QString, QString>> keys; // key and the text the window shows
    for (const QString &line : *templateLines) {
        const qsizetype open = line.indexOf(u'<');
        if (open < 0)
            continue;
        const QString key = line.mid(open + 1, line.indexOf(u'>') - open - 1);
        keys.append({key, prepareCaption(findItemValue(*templateLines, key))});
    }
    ASSERT_GT(keys.size(), 60);

    const QString shipped = localizationText(readAll(QString::fromUtf8(SHIPPED_LOCALIZATION)));
    const QStringList languages = languageNames(shipped);
    EXPECT_EQ(languages, (QStringList{u"English"_s, u"Deutsch"_s, u"Español"_s, u"Français"_s}));
    for (const QString &language : languages) {
        const auto items = languageItems(shipped, language);
        ASSERT_TRUE(items) << language.toStdString();
        QStringList missing;
        for (const auto &[key, shown] : keys) {
            const QString text = prepareCaption(findItemValue(*items, key));
            if (text.trimmed().isEmpty())
                missing << key;
            else if (language == u"English"_s && text != shown)
                missing << key + u" (\""_s + text + u"\" but the window shows \""_s + shown +
                               u"\")"_s;
        }
        EXPECT_TRUE(missing.isEmpty())
            << language.toStdString() << ": " << missing.join(u", "_s).toStdString();
    }
}

// The design gives buttons and labels fixed widths: every shipped caption has to fit.
TEST_F(LanguageWindowTest, ShippedCaptionsFitTheirControlsAndKeepTheirAltKeysApart)
{
    installShippedFile();
    auto form = loaded();
    const MainWindowUi ui(*form);
    frmLanguage *window = openLanguageWindow(*form);
    ASSERT_NE(window, nullptr);
    form->show();
    window->show();
    for (const QString &language : form->languages().languageList()) {
        choose(window->Combo1, language);
        QApplication::processEvents();
        QStringList clipped;
        for (QWidget *root : {static_cast<QWidget *>(form.get()), static_cast<QWidget *>(window)}) {
            for (const QPushButton *b : root->findChildren<QPushButton *>()) {
                if (!b->text().isEmpty() && b->sizeHint().width() > b->width())
                    clipped << b->objectName() + u" \""_s + b->text() + u'"';
            }
            for (const QLabel *l : root->findChildren<QLabel *>()) {
                // The status panel clips whatever it is given, English included.
                if (l != ui.StatusBar1Panel1 && !l->text().isEmpty() && !l->wordWrap() &&
                    l->sizeHint().width() > l->width())
                    clipped << l->objectName() + u" \""_s + l->text() + u"\" "_s +
                                   QString::number(l->sizeHint().width()) + u" > "_s +
                                   QString::number(l->width());
            }
        }
        EXPECT_TRUE(clipped.isEmpty())
            << language.toStdString() << ": " << clipped.join(u", "_s).toStdString();

        // Alt and a letter held by two (a menu and a category) does neither.
        QMap<QKeySequence, QStringList> altKeys;
        for (const QAction *menu : form->menuBar()->actions())
            altKeys[QKeySequence::mnemonic(menu->text())] << menu->text();
        for (const QAction *action : form->findChildren<QAction *>()) {
            for (const QKeySequence &key : action->shortcuts()) {
                if (key[0].keyboardModifiers() == Qt::AltModifier)
                    altKeys[key] << action->text();
            }
        }
        altKeys.remove(QKeySequence());
        QStringList clashes;
        for (auto it = altKeys.cbegin(); it != altKeys.cend(); ++it) {
            if (it.value().size() > 1)
                clashes << it.key().toString() + u": "_s + it.value().join(u" / "_s);
        }
        EXPECT_TRUE(clashes.isEmpty())
            << language.toStdString() << ": " << clashes.join(u", "_s).toStdString();
    }
}

TEST_F(LanguageWindowTest, GermanAtStartThenAnotherLanguageFromTheWindow)
{
    installShippedFile();
    for (const char *help : {"Help.html", "Help.de.html"})
        ASSERT_TRUE(QFile::copy(QLatin1StringView(SHIPPED_HELP) + u'/' + QLatin1StringView(help),
                                appDir() + u'/' + QLatin1StringView(help)));
    storeSetting(SettingKey::Language, u"deutsch"_s);
    auto form = loaded();
    const MainWindowUi ui(*form);
    ui.mnuAboutItem[0]->trigger();
    auto *about = form->findChild<QWidget *>(u"frmAbout"_s);
    ASSERT_NE(about, nullptr);
    const Branding &b = branding();
    // What a message box of the dialog seam or the file chooser shows.
    const auto yesButton = [] {
        return QDialogButtonBox(QDialogButtonBox::Yes).button(QDialogButtonBox::Yes)->text();
    };
    const struct
    {
        const char *what;
        std::function<QString()> shown;
        QString german;
    } german[] = {
        {"about window", [&] { return about->windowTitle(); }, u"Über "_s + b.productName},
        {"type box", [&] { return ui.Combo1->itemText(0); }, u"Alle"_s},
        {"video category", [&] { return ui.Combo3->currentText(); }, u"Empfohlen"_s},
        {"country", [&] { return ui.Combo4->currentText(); }, u"USA"_s},
        {"search box", [&] { return ui.txtYouTube->text(); }, u"Suchbegriff"_s},
        {"button", [&] { return ui.cmdRadio->text(); }, u"Radio/Musik"_s},
        {"website button", [&] { return ui.cmdWebsite->text(); }, u"Besuchen Sie "_s + b.siteName},
        {"frame", [&] { return ui.Frame1->title(); }, u"Sender"_s},
        {"label", [&] { return ui.lblSort->text(); }, u"Sortiert:"_s},
        {"check box", [&] { return ui.chkLoad->text(); }, u"Beim Bearbeiten kein Video laden"_s},
        {"top menu", [&] { return ui.mnuFile->title(); }, u"Date&i"_s},
        {"menu array", [&] { return ui.mnuCatItem[3]->text(); }, u"Favoriten"_s},
        {"channel list header", [&] { return ui.ListView1->headerText(3); }, u"Bewertung"_s},
        {"sort box", [&] { return ui.cmbSortTV->currentText(); }, u"Bewertung"_s},
        {"favourites header", [&] { return ui.ListView2->headerText(1); }, u"Kategorie"_s},
        {"video list header",
         [&] { return ui.ListView3->model()->headerData(0, Qt::Horizontal).toString(); },
         u"Video"_s},
        {"favourites button", [&] { return ui.Command1->text(); }, u"Aus Favoriten entfernen"_s},
        {"pop-up menu item", [&] { return ui.mnuActionItem[8]->text(); },
         u"Sender als ausgefallen melden"_s},
        {"window", [&] { return form->windowTitle(); }, b.productName + u" von "_s + b.companyName},
        {"status line", [&] { return ui.StatusBar1Panel1->text().left(20); },
         u"Sender insgesamt: 2 "_s},
        {"Qt's own buttons", yesButton, u"&Ja"_s},
    };
    for (const auto &c : german)
        EXPECT_EQ(c.shown(), c.german) << c.what;
    // The sort box names the translated headers and sorts by them.
    choose(ui.cmbSortTV, u"Sender"_s);
    EXPECT_EQ(ui.ListView1->sortKey(), 0);
    // Translated choices still mean what their English names mean.
    choose(ui.Combo1, u"Alle"_s);
    EXPECT_EQ(form->channelPanel().viewState().currentLang, u"All"_s);
    EXPECT_EQ(ui.Combo1->currentText(), u"Alle"_s);
    ui.mnuHelpItem[0]->trigger();
    ASSERT_EQ(opens.opened.size(), 1);
    EXPECT_EQ(opens.opened.takeFirst(), QUrl::fromLocalFile(appDir() + u"/Help.de.html"_s));

    frmLanguage *window = openLanguageWindow(*form);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), u"Sprachauswahl"_s);
    EXPECT_EQ(window->Command1->text(), u"Nach neuen Übersetzungen suchen"_s);
    EXPECT_EQ(itemsOf(window->Combo1),
              (QStringList{u"English"_s, u"Deutsch"_s, u"Español"_s, u"Français"_s}));
    EXPECT_EQ(window->Combo1->currentText(), u"deutsch"_s);

    choose(window->Combo1, u"Español"_s);
    EXPECT_EQ(readSetting(SettingKey::Language), u"Español"_s);
    EXPECT_EQ(ui.cmdFiles->text(), u"Archivos"_s);
    EXPECT_EQ(ui.ListView1->headerText(3), u"Valoración"_s);
    EXPECT_TRUE(ui.StatusBar1Panel1->text().startsWith(u"Canales en total: 2 "_s))
        << ui.StatusBar1Panel1->text().toStdString();
    EXPECT_EQ(window->windowTitle(), u"Selección de idioma"_s);
    EXPECT_EQ(window->Command2->text(), u"Aceptar"_s);
    EXPECT_EQ(about->windowTitle(), u"Acerca de "_s + b.productName);
    EXPECT_EQ(ui.Combo1->currentText(), u"Todos"_s);
    EXPECT_EQ(yesButton(), u"&Sí"_s);

    // A name the file lacks keeps the language in force; the choice is still remembered.
    window->Combo1->setEditText(u"Klingon"_s);
    window->Combo1_Click();
    EXPECT_EQ(readSetting(SettingKey::Language), u"Klingon"_s);
    EXPECT_EQ(ui.cmdFiles->text(), u"Archivos"_s);
    EXPECT_EQ(yesButton(), u"&Sí"_s);
    // The window's own design text picks nothing.
    window->Combo1->setEditText(QLatin1StringView(frmLanguage::kChooseText));
    window->Combo1_Click();
    EXPECT_EQ(readSetting(SettingKey::Language), u"Klingon"_s);

    window->Command3_Click();
    ui.mnuHelpItem[0]->trigger(); // no help of that language: the English one
    ASSERT_EQ(opens.opened.size(), 2);
    EXPECT_EQ(opens.opened[0], QUrl::fromLocalFile(localizationFile()));
    EXPECT_EQ(opens.opened[1], QUrl::fromLocalFile(appDir() + u"/Help.html"_s));
    window->Command2_Click();
    QApplication::processEvents();
    EXPECT_EQ(form->windows().languageWindow(), nullptr);

    // Translated listing choices still fetch what their English names stand for.
    test::TestHttpServer site;
    ASSERT_TRUE(site.listen());
    qputenv("MAVREL_VIDEOSITE_URL", site.url(""));
    choose(ui.Combo4, u"Japón"_s);
    choose(ui.Combo3, u"Música"_s);
    qputenv("MAVREL_VIDEOSITE_URL", mavrel::testing::kUnreachableServer);
    const auto listed = site.requestsFor("/browse");
    ASSERT_FALSE(listed.isEmpty());
    EXPECT_EQ(listed.last().target, "/browse?s=mf&t=t&c=10&l=&e=ja_JP&p=5");
}

TEST_F(LanguageWindowTest, FirstStartAsksForTheLanguageBeforeTheMainWindowShows)
{
    installShippedFile();
    QFile::remove(userSettingsFilePath(settingsApplication()));
    storeSetting(SettingKey::ShowHelp, u"0"_s);
    Form1 *loading = nullptr;
    struct
    {
        bool modal = false;
        bool mainWindowVisible = true;
        QString storedMeanwhile;
        QStringList listed;
        QString shownName;
    } seen;
    QTimer::singleShot(0, [&] {
        auto *window = qobject_cast<frmLanguage *>(QApplication::activeModalWidget());
        if (!window)
            return;
        seen.modal = true;
        seen.mainWindowVisible = loading && loading->isVisible();
        seen.storedMeanwhile = readSetting(SettingKey::Language, QString());
        seen.listed = itemsOf(window->Combo1);
        seen.shownName = window->Combo1->currentText();
        choose(window->Combo1, u"Deutsch"_s);
        window->Command2_Click();
    });
    auto form = std::make_unique<Form1>();
    const MainWindowUi ui(*form);
    loading = form.get();
    ASSERT_TRUE(form->Form_Load());
    EXPECT_TRUE(seen.modal);
    EXPECT_FALSE(seen.mainWindowVisible);
    EXPECT_EQ(seen.storedMeanwhile, u"English"_s);
    EXPECT_EQ(seen.listed.size(), 4);
    EXPECT_EQ(seen.shownName, u"English"_s);
    EXPECT_EQ(readSetting(SettingKey::Language), u"Deutsch"_s);
    EXPECT_EQ(ui.Frame1->title(), u"Sender"_s);
    EXPECT_EQ(form->windowTitle(), branding().productName + u" von "_s + branding().companyName);
    EXPECT_EQ(form->channelPanel().viewState().currentKind, u"TV"_s);
}

// A termination request (a session logging out, kill) while the first-start language window is
// up ends the start-up there: no help page, nothing stored, no list.
TEST_F(LanguageWindowTest, TerminationDuringTheFirstStartLanguageWindowEndsTheStartUp)
{
    QFile::remove(userSettingsFilePath(settingsApplication()));
    auto form = std::make_unique<Form1>();
    const MainWindowUi ui(*form);
    ASSERT_TRUE(onTerminationSignals([&] { form->close(); })); // as the viewer does
    QTimer::singleShot(0, [] { std::raise(SIGTERM); });        // runs in the language window's loop
    // Should the window stay up, the test fails instead of waiting for ever.
    QTimer::singleShot(5000, [] {
        if (QWidget *window = QApplication::activeModalWidget())
            window->close();
    });
    const bool loaded = form->Form_Load();
    onTerminationSignals({});
    EXPECT_FALSE(loaded);
    EXPECT_EQ(readSetting(SettingKey::ShowHelp, u"unset"_s), u"unset"_s);
    EXPECT_EQ(ui.ListView1->sourceModel()->rowCount(), 0);
}

// Texts from the localisation file, the catalogue, the favourites or a listing are shown as
// typed: markup in them neither lays anything out nor loads anything.
TEST_F(LanguageWindowTest, TranslationsAndListedNamesStayPlainText)
{
    const QString big = u"<b>BIG</b><table width=2000>"_s;
    QFile f(localizationFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(u"<LANGUAGE_GROUP><LANGUAGE_NAME>English</LANGUAGE_NAME><TRANSLATION_ITEMS>\r\n"
            "<FRMSUBMIT_LABEL8>%1</FRMSUBMIT_LABEL8>\r\n</TRANSLATION_ITEMS></LANGUAGE_GROUP>"_s
                .arg(big)
                .toUtf8());
    f.close();
    auto form = loaded();
    const MainWindowUi ui(*form);
    ui.mnuUpdateItem[1]->trigger();
    const auto *label8 = form->findChild<QLabel *>(u"Label8"_s);
    ASSERT_NE(label8, nullptr);
    QLabel typed(big); // laid out as the text typed out
    typed.setTextFormat(Qt::PlainText);
    typed.setFont(label8->font());
    typed.setWordWrap(label8->wordWrap());
    EXPECT_EQ(label8->sizeHint(), typed.sizeHint());

    const QString hostile = u"Hostile <b>bold</b> <img src=x>"_s;
    ChannelListModel channels;
    std::vector<ChannelRow> rows(1);
    rows[0].name = hostile;
    channels.setRows(std::move(rows));
    FavoritesModel favorites;
    favorites.setFavorites({Favorite{hostile.toUtf8(), "http://h.example/", "TV", "English"}});
    VideoListModel videos;
    videos.add({"id1", hostile.toUtf8()});
    for (const QAbstractItemModel *model : {static_cast<const QAbstractItemModel *>(&channels),
                                            static_cast<const QAbstractItemModel *>(&favorites),
                                            static_cast<const QAbstractItemModel *>(&videos)}) {
        const QString tip = model->index(0, 0).data(Qt::ToolTipRole).toString();
        QTextDocument shown; // what a tooltip shows of it
        shown.setHtml(Qt::mightBeRichText(tip) ? tip : tip.toHtmlEscaped());
        EXPECT_EQ(shown.toPlainText(), hostile) << model->metaObject()->className();
    }
}

TEST_F(LanguageWindowTest, DownloadReplacesTheFileOnlyWithAWholeLocalizationFile)
{
    test::CatalogueServer catalogue;
    ASSERT_TRUE(catalogue.start()) << catalogue.error().toStdString();
    test::TestHttpServer bad;
    ASSERT_TRUE(bad.listen());
    const QByteArray path = "/Languages/26/Localization.txt";
    bad.serve("/junk" + path, "<html><body>Not here</body></html>");
    bad.serve("/missing" + path, "<TRANSLATION_ITEMS>", 404);
    bad.serveStall("/cut" + path, readAll(QString::fromUtf8(SHIPPED_LOCALIZATION)).left(3000));

    const QByteArray local = "<LANGUAGE_GROUP><LANGUAGE_NAME>Mine</LANGUAGE_NAME>"
                             "<TRANSLATION_ITEMS>\r\n</TRANSLATION_ITEMS></LANGUAGE_GROUP>";
    const QByteArray shipped = readAll(QString::fromUtf8(SHIPPED_LOCALIZATION));
    const struct
    {
        const char *what;
        QByteArray server;
        bool cut;
        QByteArray stored;
    } cases[] = {
        {"junk", bad.url("/junk"), false, local},
        {"an error status", bad.url("/missing"), false, local},
        {"a cut reply", bad.url("/cut"), true, local},
        {"nothing", test::TestHttpServer::refusedUrl(), false, local},
        {"the catalogue server", catalogue.baseUrl(), false, shipped + "\r\n"},
    };
    auto form = loaded();
    const MainWindowUi ui(*form);
    frmLanguage *window = openLanguageWindow(*form);
    ASSERT_NE(window, nullptr);
    for (const auto &c : cases) {
        QFile f(localizationFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(local);
        f.close();
        window->fillLanguageList();
        boxes.clear();
        qputenv("MAVREL_CATALOGUE_URL", c.server);
        if (c.cut) // the body has come, the rest never will: the user gives up
            QTimer::singleShot(500, [] { abortAllFetches(); });
        window->Command1_Click();
        EXPECT_EQ(readAll(localizationFile()), c.stored) << c.what;
        const bool saved = c.stored != local;
        EXPECT_EQ(itemsOf(window->Combo1),
                  saved ? (QStringList{u"English"_s, u"Deutsch"_s, u"Español"_s, u"Français"_s})
                        : QStringList{u"Mine"_s})
            << c.what;
        ASSERT_EQ(boxes.shown().size(), saved ? 1 : 0) << c.what;
        if (saved) {
            EXPECT_EQ(boxes.shown()[0].text, form->languages().getMessages(u"MSG_DOWNLOADED"_s));
        }
    }
    // The language in use changes only when the user picks one.
    EXPECT_EQ(ui.Frame1->title(), u"Channels"_s);
}

TEST_F(LanguageWindowTest, WindowOpensWithoutAFileOrWithABrokenOne)
{
    auto form = loaded();
    frmLanguage *window = openLanguageWindow(*form);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), u"Language Selection"_s);
    EXPECT_EQ(window->Combo1->count(), 0);
    EXPECT_EQ(window->Combo1->currentText(), QString());
    window->Command3_Click();
    EXPECT_TRUE(opens.opened.isEmpty());
    window->Command2_Click();
    QApplication::processEvents();

    QFile f(localizationFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<LANGUAGE_GROUP><LANGUAGE_NAME>Deutsch</LANGUAGE_NAME><TRANSLATION_ITEMS>\r\n"
            "\t<FRMLANGUAGE_CAPTION>Sprache \xff</FRMLANGUAGE_CAPTION>\r\n</TRANSLATION_ITEMS>"
            "</LANGUAGE_GROUP><LANGUAGE_GROUP><LANGUAGE_NAME>Open");
    f.close();
    storeSetting(SettingKey::Language, u"Deutsch"_s);
    form->languages().setCurrentLanguage(u"Deutsch"_s);
    window = openLanguageWindow(*form);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(itemsOf(window->Combo1), QStringList{u"Deutsch"_s});
    // Not UTF-8: read as the 8-bit code page.
    EXPECT_EQ(window->windowTitle(), u"Sprache ÿ"_s);
}

#include "languagewindow_test.moc"
