#include "mainwindow/ui/form1.h"

#include "branding/branding.h"
#include "branding/ui/form8.h"
#include "branding/ui/windowicon.h"
#include "catalogue/kinds.h"
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "favorites/ui/favoritesexchange.h"
#include "localization/clslanguages.h"
#include "localization/modlanguages.h"
#include "localization/ui/windowcontrols.h"
#include "mainwindow/checkallrun.h"
#include "mainwindow/navigation.h"
#include "mainwindow/singleinstance.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/desktopsession.h"
#include "mainwindow/ui/favoritespanel.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/mediaopener.h"
#include "mainwindow/ui/myfilespanel.h"
#include "mainwindow/ui/panellayout.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindow/ui/recentpanel.h"
#include "mainwindow/ui/updaterunner.h"
#include "mainwindow/ui/videositepanel.h"
#include "mainwindow/ui/windowlauncher.h"
#include "online/updateexchange.h"
#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/widgets/desktopopen.h"
#include "platform/widgets/folderreports.h"
#include "platform/widgets/named.h"
#include "player/ui/mediaplayer.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace mavrel {

Form1::Form1(QWidget *splash)
    : QMainWindow(nullptr), m_languages(std::make_unique<clsLanguages>()), m_splash(splash)
{
    setObjectName(u"Form1"_s);
    createPanels();
    connectPanels();
    createSessionBus(QDBusConnection::sessionBus());
    createLocalization();
    m_windows = new WindowLauncher(*m_languages, *m_localizable, m_favorites->controller(), this);
    // The list's counts are written in the language of their load: say them again.
    connect(m_windows, &WindowLauncher::languageChanged, this, [this] {
        if (m_channels->statusShowsCounts(StatusBar1Panel1->text()))
            m_channels->sayCounts();
        m_recent->retranslate();
    });
    resize(PanelLayout::designSize(menuBar()->sizeHint().height()));
}

Form1::~Form1()
{
    // Before the player goes, so that nothing follows it any more.
    delete m_session;
    setNoDesktopHandlerText({});
}

QString Form1::message(const QString &key) const
{
    return m_languages->getMessages(key);
}

void Form1::createPanels()
{
    auto *client = named(new QWidget(this), u"client"_s);
    setCentralWidget(client);
    m_categories = new CategoryBar(client);
    // Created before the frames that play into it, and placed by the layout.
    m_player = new PlayerArea(client);
    PanelContext context;
    context.messages = [this](const QString &key) { return message(key); };
    context.status = [this](const QString &text) { StatusBar1Panel1->setText(text); };
    context.reportContext = [this] { return ReportContext{m_staffMode, this, m_staffToken}; };
    context.playRequests = &m_playRequests;
    context.player = m_player;
    context.played = [this](const RecentItem &item) { m_recent->add(item); };
    m_channels = new ChannelPanel(context, client);
    m_videoSite = new VideoSitePanel(
        applicationFolder() + u"/youtube.html"_s, context,
        [this] { return m_channels->loadingDisabled(); }, client);
    m_favorites = new FavoritesPanel(applicationFolder() + u"/Favorites.txt"_s, context, m_channels,
                                     m_videoSite, client);
    m_files = new MyFilesPanel(context, client);
    m_recent = new RecentPanel(applicationFolder() + u"/Recent.txt"_s, context, client);
    m_opener = new MediaOpener(context, m_channels, &m_favorites->controller(), this);
    m_update =
        new UpdateRunner({[this] { return m_dataDirectory; },
                          [this](const QString &text) { m_videoSite->setStatusBoxText(text); },
                          [this] { showCategory(Category::TV); }, context.messages},
                         this);
    m_player->setBrowserName(m_videoSite->title());

    m_menus = new MainMenus(menuBar(), this);
    m_menus->addPopups({m_channels->actionsMenu(), m_videoSite->actionsMenu()});

    StatusBar1Panel1 = addStatusPanel(statusBar());
    m_layout = new PanelLayout({m_categories, m_channels, m_favorites, m_files, m_videoSite,
                                m_recent, m_player, StatusBar1Panel1},
                               client);
    m_layout->showFrame(m_channels);
}

void Form1::connectPanels()
{
    connect(m_categories, &CategoryBar::chosen, this, &Form1::showCategory);
    connect(m_menus, &MainMenus::categoryChosen, this, &Form1::showCategory);
    using Command = MainMenus::Command;
    const std::pair<Command, std::function<void()>> commands[] = {
        {Command::ExportFavorites, [this] { m_favorites->exchange().exportFavorites(); }},
        {Command::ImportPlaylist, [this] { m_favorites->exchange().importPlaylist(); }},
        {Command::Exit, [this] { close(); }},
        {Command::UpdateChannels, [this] { m_update->run(UpdateList::Changes); }},
        {Command::AddChannels, [this] { m_windows->openSubmitWindow(); }},
        {Command::DownloadDeadChannels, [this] { m_update->run(UpdateList::DeadChannels); }},
        {Command::CheckAllChannels, [this] { m_channels->checkRun().checkAllChannels(); }},
        {Command::CatalogueServer, [this] { m_windows->openServerWindow(); }},
        {Command::Find, [this] { openFindBar(); }},
        {Command::FullScreen, [this] { m_player->togglePictureFullScreen(); }},
        {Command::ChangeLanguage, [this] { m_windows->openLanguageWindow(false); }},
        {Command::Help, [this] { Form8::run(this, m_languages->currentLanguage()); }},
        {Command::About, [this] { m_windows->openAboutWindow(); }},
    };
    for (const auto &[command, run] : commands)
        connect(m_menus->action(command), &QAction::triggered, this, run);

    // What opens, buffers, plays or failed is said in the status line as over the picture.
    m_player->player()->setMessages([this](const QString &key) { return message(key); });
    connect(m_player->player(), &MediaPlayer::statusTextChanged, StatusBar1Panel1,
            &QLabel::setText);
    connect(m_player, &PlayerArea::pictureFullScreenChanged, this, [this](bool on) {
        if (!on)
            layoutControls();
    });
    connect(m_recent, &RecentPanel::replayRequested, m_opener, &MediaOpener::replay);
    // Space pauses and resumes wherever a list has the focus.
    m_player->pauseOnSpaceIn(
        {m_channels->list(), m_favorites->list(), m_videoSite->list(), m_recent->list()});
}

void Form1::createSessionBus(const QDBusConnection &bus)
{
    delete m_session;
    m_session = new DesktopSession(
        bus, m_player->player(),
        {{m_channels, m_channels->list()}, {m_favorites, m_favorites->list()}}, this);
    connect(m_session, &DesktopSession::playPauseRequested, m_player, &PlayerArea::togglePause);
}

void Form1::createLocalization()
{
    m_localizable = std::make_unique<WindowControls>(this);
    WindowControls &c = *m_localizable;
    m_categories->addControls(c);
    m_channels->addControls(c);
    m_favorites->addControls(c);
    m_files->addControls(c);
    m_videoSite->addControls(c);
    m_player->addControls(c);
    c.addOther(statusBar(), u"StatusBar"_s);
    for (FindBar *bar : {m_channels->findBar(), m_favorites->findBar()}) {
        c.addLabel(bar->label(), controlkind::Label);
        c.addOther(bar->box(), u"TextBox"_s);
    }
    m_menus->addControls(c);
    m_channels->addMenuControls(c);
    m_videoSite->addMenuControls(c);
    m_menus->addAddedControls(c);
    m_recent->addControls(c);
}

LocalizableWindow &Form1::localizable()
{
    return *m_localizable;
}

bool Form1::Form_Load()
{
    showApplicationFolderFailures(statusBar());
    m_dataDirectory = dataDirectory();
    m_channels->setCatalogueFile(m_dataDirectory + u"/Data.txt"_s);
    m_videoSite->writePlaceholder();
    m_player->setPage(QUrl::fromLocalFile(m_videoSite->browser().pagePath()));
    mavrel::setWindowIcon(this, u"AAA"_s, true);

    applyCompanySwitch(branding().companyName);
    applyStaffSwitch(fileExists(applicationFolder() + u"/admin.txt"_s));
    if (m_staffMode)
        m_staffToken = readStaffToken(applicationFolder() + u"/admin.txt"_s);

    m_firstStart = readSetting(SettingKey::Language, QString()).isEmpty();
    const QString language = readSetting(SettingKey::Language);
    registerDefaultMessages(*m_languages);
    setNoDesktopHandlerText([this] { return message(u"MSG_NOHANDLER"_s); });
    m_languages->setCurrentLanguage(language);
    m_languages->ChangeLanguage(*m_localizable, language);
    m_recent->retranslate();
    if (m_firstStart) {
        storeSetting(SettingKey::Language, u"English"_s);
        m_windows->openLanguageWindow(true);
    }
    // A termination request while the language window was up: nothing more is opened or stored.
    if (m_unloaded)
        return false;

    if (!m_instance)
        m_instance = std::make_unique<SingleInstance>();
    if (!m_instance->tryAcquire())
        return false;
    connect(m_instance.get(), &SingleInstance::openRequested, m_opener,
            &MediaOpener::openFromAnotherStart);

    const Branding &b = branding();
    // Both captions are set after the translation; a translation of them still wins.
    const QString title = m_languages->getCaption(u"FORM1_CAPTION"_s);
    setWindowTitle(title.isEmpty() ? b.productName + u" by "_s + b.companyName : title);
    const QString visit = m_languages->getCaption(u"FORM1_CMDWEBSITE"_s);
    m_categories->button(Category::Website)
        ->setText(visit.isEmpty() ? u"Visit "_s + b.siteName : visit);
    if (b.splashIcon && m_splash)
        setWindowIcon(m_splash->windowIcon());

    if (readSetting(SettingKey::ShowHelp) == u"1"_s) {
        // Unasked: a desktop without a browser must not greet a new user with a box.
        Form8::run(this, m_languages->currentLanguage(), WhenNoHandler::Quiet);
        if (m_unloaded)
            return false;
        storeSetting(SettingKey::ShowHelp, u"0"_s);
    }

    m_layout->restoreDivider();
    // Without a catalogue the list starts empty and the first one is downloaded once the
    // window is up, so the status line can show it coming.
    if (!m_channels->catalogueExists())
        QTimer::singleShot(0, this, [this] { m_update->run(UpdateList::Changes); });
    showCategory(Category::TV);
    m_favorites->controller().loadFavorites();
    m_channels->sortByRating();
    m_files->view().restoreFromSettings();
    return true;
}

void Form1::adoptInstance(std::unique_ptr<SingleInstance> instance)
{
    m_instance = std::move(instance);
}

void Form1::openOnStart(const OpenRequest &request)
{
    m_opener->open(request.targets, request.refused);
}

void Form1::applyCompanySwitch(const QString &companyName)
{
    if (companyName != QLatin1StringView(kExtrasCompany))
        return;
    m_categories->applyCompanySwitch();
    m_menus->applyCompanySwitch();
    layoutControls();
}

void Form1::applyStaffSwitch(bool adminFilePresent)
{
    if (!adminFilePresent)
        return;
    m_staffMode = true;
    m_menus->applyStaffSwitch();
    m_channels->applyStaffSwitch();
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutControls();
    m_player->placeFullScreenPicture();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        layoutControls();
}

void Form1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!std::exchange(m_centred, true))
        PanelLayout::centre(this);
    layoutControls();
}

void Form1::layoutControls()
{
    if (!isMinimized())
        m_layout->place(size());
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    m_unloaded = true;
    m_windows->closeAll();
    m_channels->checkRun().abort();
    m_player->player()->stop();
    m_player->player()->close();
    if (m_splash)
        m_splash->close();
    emit unloaded();
}

void Form1::showCategory(Category category)
{
    // The keys of the Categories menu while only the picture is shown.
    if (m_player->pictureFullScreen())
        return;
    switch (category) {
    case Category::Adult:
        if (messageBox(adultNoticeText(), DialogButtons::OkCancel,
                       QLatin1StringView(kAdultNoticeTitle)) != DialogAnswer::Ok)
            return;
        [[fallthrough]];
    case Category::TV:
    case Category::Radio:
    case Category::Video: {
        static const QHash<Category, QString> kinds{{Category::TV, kKindTV},
                                                    {Category::Radio, kKindRadio},
                                                    {Category::Video, kKindVideo},
                                                    {Category::Adult, kKindAdult}};
        m_layout->showFrame(m_channels);
        m_player->showPlayer();
        m_channels->showKind(kinds.value(category));
        break;
    }
    case Category::Favorites:
        m_layout->showFrame(m_favorites);
        m_player->showPlayer();
        break;
    case Category::Files:
    case Category::Recent:
        m_layout->showFrame(category == Category::Files ? static_cast<QWidget *>(m_files)
                                                        : m_recent);
        m_player->showPlayer();
        break;
    case Category::VideoSite:
        m_layout->showFrame(m_videoSite);
        m_player->showBrowser();
        m_channels->viewState().currentKind = kKindYouTube;
        m_channels->clearRows();
        m_videoSite->browser().loadVideoList();
        break;
    case Category::Sports:
    case Category::Extras:
    case Category::Website:
        m_windows->openWebsiteWindow(category == Category::Sports   ? u"Sports"_s
                                     : category == Category::Extras ? u"Extras"_s
                                                                    : u"Website"_s);
        break;
    case Category::Update:
        m_update->run(UpdateList::Changes);
        break;
    }
}

void Form1::openFindBar()
{
    if (!m_channels->isHidden())
        m_channels->findBar()->openBar();
    else if (!m_favorites->isHidden())
        m_favorites->findBar()->openBar();
}

} // namespace mavrel
