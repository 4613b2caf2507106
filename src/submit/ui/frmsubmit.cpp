#include "submit/ui/frmsubmit.h"

#include "favorites/favorites.h"
#include "localization/clslanguages.h"
#include "online/errorpage.h"
#include "online/fetch.h"
#include "online/serveraddress.h"
#include "platform/dialogs.h"
#include "platform/widgets/named.h"
#include "player/ui/mediaplayer.h"
#include "submit/submission.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QLabel *label(const QString &text, const QString &name, QWidget *parent)
{
    auto *l = named(new QLabel(text, parent), name);
    l->setWordWrap(true);
    return l;
}

QByteArray bytes(const QString &text)
{
    return text.toLocal8Bit();
}

FetchOptions ownedBy(FetchUse use, QObject *owner)
{
    FetchOptions options;
    options.use = use;
    options.owner = owner;
    return options;
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

frmSubmit::frmSubmit(clsLanguages &languages, FavoriteList &favorites, QWidget *parent)
    : QWidget(parent, Qt::Window), m_languages(languages), m_favorites(favorites), m_controls(this)
{
    setObjectName(u"frmSubmit"_s);
    setWindowTitle(u"Add Channels"_s);

    Label1 = label(u"Channel Name:"_s, u"Label1"_s, this);
    txtName = named(new QLineEdit(this), u"txtName"_s, u"Channel name"_s);
    Label2 = label(u"Channel Type:"_s, u"Label2"_s, this);
    cmbType = named(new QComboBox(this), u"cmbType"_s, u"Channel type"_s);
    cmbType->setEditable(true);
    cmbType->setInsertPolicy(QComboBox::NoInsert);
    cmbType->addItems({u"TV/Video"_s, u"Radio/Music"_s});
    cmbType->setEditText(u"TV/Video"_s);
    Label3 = label(u"Channel Languages:"_s, u"Label3"_s, this);
    txtLang = named(new QLineEdit(u"English"_s, this), u"txtLang"_s, u"Channel languages"_s);
    Label4 = label(u"Channel URL:"_s, u"Label4"_s, this);
    txtURL = named(new QLineEdit(this), u"txtURL"_s, u"Channel URL"_s);
    Label6 = label(u"Acceptable formats are:ASF, ASX, WMA, WMV, WMX, WMVHD, DVR-MS, HLS (M3U8), "
                   u"PLS, and M3U."_s,
                   u"Label6"_s, this);
    Label5 = label(u"Your Rating:"_s, u"Label5"_s, this);
    cmbRating = named(new QComboBox(this), u"cmbRating"_s, u"Your rating"_s);
    cmbRating->setEditable(true);
    cmbRating->setInsertPolicy(QComboBox::NoInsert);
    cmbRating->addItems({u"5"_s, u"4"_s, u"3"_s, u"2"_s, u"1"_s, u"0"_s});
    cmbRating->setEditText(u"5"_s);
    chkFavorites =
        named(new QCheckBox(
                  u"Add this channel to my favorites so I can start using it immediately"_s, this),
              u"chkFavorites"_s);
    // Most submitters want to watch what they just found.
    chkFavorites->setChecked(true);
    cmdAdd = named(new QPushButton(u"Submit Channel"_s, this), u"cmdAdd"_s);
    Label1->setBuddy(txtName);
    Label2->setBuddy(cmbType);
    Label3->setBuddy(txtLang);
    Label4->setBuddy(txtURL);
    Label5->setBuddy(cmbRating);

    lblStream = label(u"Stream-Finder"_s, u"lblStream"_s, this);
    lblStreamInfo = label(u"Enter the URL of a webpage that contains a stream and we will "
                          u"attempt to find the stream URL."_s,
                          u"lblStreamInfo"_s, this);
    lblURL2 = label(u"URL:"_s, u"lblURL2"_s, this);
    txtURL2 = named(new QLineEdit(u"http://"_s, this), u"txtURL2"_s, u"Web page to search"_s);
    cmdGo = named(new QPushButton(u"Go"_s, this), u"cmdGo"_s, u"Search the page"_s);
    lblResults = label(u"Search Results and Test Window:"_s, u"lblResults"_s, this);
    List1 = named(new QListWidget(this), u"List1"_s, u"Stream links found"_s);
    wmp1 = named(new MediaPlayer(this), u"wmp1"_s, u"Test player"_s);
    lblURL2->setBuddy(txtURL2);

    Label9 = label(u"Stream-Spider"_s, u"Label9"_s, this);
    Label8 = label(u"Enter the URL of a webpage and spider the internet looking for streaming "
                   u"content!"_s,
                   u"Label8"_s, this);
    Label7 = label(u"URL:"_s, u"Label7"_s, this);
    txtSpider = named(new QLineEdit(u"http://"_s, this), u"txtSpider"_s, u"Start page"_s);
    Command1 = named(new QPushButton(u"Go"_s, this), u"Command1"_s, u"Start or stop the spider"_s);
    List2 = named(new QListWidget(this), u"List2"_s, u"Pages to visit"_s);
    List3 = named(new QListWidget(this), u"List3"_s, u"Pages visited"_s);
    List2->setUniformItemSizes(true);
    List3->setUniformItemSizes(true);
    Label7->setBuddy(txtSpider);

    StatusBar1 = named(new QStatusBar(this), u"StatusBar1"_s);
    // The panel's text is its accessible name (set with the text), so a screen reader hears it.
    m_statusPanel = named(new QLabel(this), u"StatusBar1Panel1"_s);
    m_statusPanel->setAccessibleDescription(u"Status"_s);
    m_statusPanel->setTextFormat(Qt::PlainText);
    StatusBar1->addWidget(m_statusPanel, 1);
    StatusBar1->setSizeGripEnabled(false);

    auto *form = new QGridLayout;
    int row = 0;
    for (auto [l, field] : {std::pair<QWidget *, QWidget *>{Label1, txtName},
                            {Label2, cmbType},
                            {Label3, txtLang},
                            {Label4, txtURL}}) {
        form->addWidget(l, row, 0);
        form->addWidget(field, row++, 1);
    }
    form->addWidget(Label6, row++, 0, 1, 2);
    form->addWidget(Label5, row, 0);
    form->addWidget(cmbRating, row++, 1);
    form->addWidget(chkFavorites, row++, 0, 1, 2);
    form->addWidget(cmdAdd, row++, 1, Qt::AlignRight);

    auto *finderRow = new QHBoxLayout;
    finderRow->addWidget(lblURL2);
    finderRow->addWidget(txtURL2, 1);
    finderRow->addWidget(cmdGo);
    auto *results = new QHBoxLayout;
    results->addWidget(List1, 2);
    results->addWidget(wmp1, 1);
    auto *finder = new QVBoxLayout;
    finder->addWidget(lblStream);
    finder->addWidget(lblStreamInfo);
    finder->addLayout(finderRow);
    finder->addWidget(lblResults);
    finder->addLayout(results, 1);

    auto *spiderRow = new QHBoxLayout;
    spiderRow->addWidget(Label7);
    spiderRow->addWidget(txtSpider, 1);
    spiderRow->addWidget(Command1);
    auto *spiderLists = new QHBoxLayout;
    spiderLists->addWidget(List2);
    spiderLists->addWidget(List3);
    auto *spider = new QVBoxLayout;
    spider->addWidget(Label9);
    spider->addWidget(Label8);
    spider->addLayout(spiderRow);
    spider->addLayout(spiderLists, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addLayout(finder, 2);
    layout->addSpacing(8);
    layout->addLayout(spider, 1);
    layout->addWidget(StatusBar1);
    resize(640, 760);

    m_controls.addLabel(Label1, controlkind::Label);
    m_controls.addOther(txtName, u"TextBox"_s);
    m_controls.addLabel(Label2, controlkind::Label);
    m_controls.addOther(cmbType, u"ComboBox"_s);
    m_controls.addLabel(Label3, controlkind::Label);
    m_controls.addOther(txtLang, u"TextBox"_s);
    m_controls.addLabel(Label4, controlkind::Label);
    m_controls.addOther(txtURL, u"TextBox"_s);
    m_controls.addLabel(Label6, controlkind::Label);
    m_controls.addLabel(Label5, controlkind::Label);
    m_controls.addOther(cmbRating, u"ComboBox"_s);
    m_controls.addButton(chkFavorites, controlkind::CheckBox);
    m_controls.addButton(cmdAdd, controlkind::CommandButton);
    m_controls.addLabel(lblStream, controlkind::Label);
    m_controls.addLabel(lblStreamInfo, controlkind::Label);
    m_controls.addLabel(lblURL2, controlkind::Label);
    m_controls.addOther(txtURL2, u"TextBox"_s);
    m_controls.addButton(cmdGo, controlkind::CommandButton);
    m_controls.addLabel(lblResults, controlkind::Label);
    m_controls.addOther(List1, u"ListBox"_s);
    m_controls.addOther(wmp1, u"WindowsMediaPlayer"_s);
    m_controls.addLabel(Label9, controlkind::Label);
    m_controls.addLabel(Label8, controlkind::Label);
    m_controls.addLabel(Label7, controlkind::Label);
    m_controls.addOther(txtSpider, u"TextBox"_s);
    m_controls.addButton(Command1, controlkind::CommandButton);
    m_controls.addOther(List2, u"ListBox"_s);
    m_controls.addOther(List3, u"ListBox"_s);
    m_controls.addOther(StatusBar1, u"StatusBar"_s);

    connect(cmdAdd, &QPushButton::clicked, this, &frmSubmit::cmdAdd_Click);
    connect(cmdGo, &QPushButton::clicked, this, &frmSubmit::cmdGo_Click);
    connect(List1, &QListWidget::itemClicked, this, &frmSubmit::List1_Click);
    connect(Command1, &QPushButton::clicked, this, &frmSubmit::Command1_Click);
}

frmSubmit::~frmSubmit()
{
    if (m_pause)
        m_pause->quit();
}

void frmSubmit::closeEvent(QCloseEvent *event)
{
    // The window is deleted only once the crawl's handler returns: end the crawl now.
    setSpiderRunning(false);
    if (m_pause)
        m_pause->quit();
    QWidget::closeEvent(event);
}

void frmSubmit::Form_Load()
{
    m_languages.ChangeLanguage(m_controls, m_languages.currentLanguage());
}

QString frmSubmit::statusText() const
{
    return m_statusPanel->text();
}

void frmSubmit::setStatus(const QString &text)
{
    m_statusPanel->setText(text);
    m_statusPanel->setAccessibleName(text);
}

bool frmSubmit::spiderRunning() const
{
    return m_spiderRunning;
}

void frmSubmit::setSpiderRunning(bool running)
{
    if (running == m_spiderRunning)
        return;
    m_spiderRunning = running;
    // The state is kept apart from the caption, so a translated caption cannot flip it.
    if (running) {
        m_idleCaption = Command1->text();
        Command1->setText(u"Stop"_s);
    } else {
        Command1->setText(m_idleCaption);
    }
}

// ---- Submission -------------------------------------------------------------------------------

void frmSubmit::cmdAdd_Click()
{
    // The window stays usable during the wait: the outcome names what was sent, not what the
    // fields hold when the reply comes.
    const QString name = txtName->text();
    const bool addFavorite = chkFavorites->isChecked();
    SubmissionInput input;
    input.name = bytes(name);
    input.typeText = bytes(cmbType->currentText());
    input.lang = bytes(txtLang->text());
    input.rating = bytes(cmbRating->currentText());
    input.url = bytes(txtURL->text());
    if (const Result<void> checked = checkSubmission(input); !checked) {
        messageBox(checked.error().message, DialogButtons::Ok);
        return;
    }
    const auto address = buildSubmissionAddress(catalogueServerAddress(), input);
    SubmitOutcome outcome = SubmitOutcome::Refused;
    if (address.ok()) {
        const FetchResult reply = fetchPage(address.value(), ownedBy(FetchUse::ServerPage, this));
        if (reply.ownerGone)
            return;
        outcome = parseSubmitReply(reply.body);
    }
    if (outcome == SubmitOutcome::Failed || outcome == SubmitOutcome::Refused) {
        messageBox(submitErrorText(outcome), DialogButtons::Ok);
        return;
    }
    setStatus(submitStatusText(outcome, name, addFavorite));
    if (!addFavorite)
        return;
    m_favorites.addFavorite(
        Favorite{input.name, input.url, *submittedKind(input.typeText), input.lang});
    // The list tells the user itself when it cannot be saved.
    (void)m_favorites.saveFavorites();
}

// ---- Stream finder ----------------------------------------------------------------------------

bool frmSubmit::listStreamLinks(const QByteArray &page, const PageBase &base)
{
    QPointer<frmSubmit> self(this);
    setStatus(u"Extracted 0 link(s)"_s);
    // The scan lets the event loop run between lines; a very long page still yields often.
    int lines = 0;
    const QList<QByteArray> links = extractStreamLinks(page, base, [&lines] {
        if (++lines % 64 == 0)
            QCoreApplication::processEvents();
    });
    if (!self)
        return false;
    int count = 0;
    for (const QByteArray &link : links) {
        // The list keeps every search's results; a link listed before is not listed again.
        if (!m_listedStreams.contains(link)) {
            m_listedStreams.insert(link);
            List1->addItem(QString::fromLocal8Bit(link));
        }
        setStatus(u"Extracted %1 link(s)"_s.arg(++count));
        QCoreApplication::processEvents();
        if (!self)
            return false;
    }
    return true;
}

void frmSubmit::cmdGo_Click()
{
    QPointer<frmSubmit> self(this);
    const QString typed = txtURL2->text();
    setStatus(u"Conecting to "_s + typed);
    QCoreApplication::processEvents();
    if (!self)
        return;
    QByteArray address = bytes(typed);
    const FetchResult page = getPage(address, ownedBy(FetchUse::FinderPage, this));
    if (page.ownerGone)
        return;
    // Links resolve against the address fetched, "http://" included where it was put in front.
    listStreamLinks(page.body, pageBase(address));
}

void frmSubmit::List1_Click()
{
    const QListWidgetItem *item = List1->currentItem();
    if (!item)
        return;
    QString address = item->text();
    const qsizetype query = address.indexOf(u'?');
    if (query >= 0)
        address.truncate(query);
    if (address.isEmpty())
        return;
    txtURL->setText(address);
    txtName->clear();
    QByteArray test;
    if (!address.contains(u".wmv"_s, Qt::CaseInsensitive)) {
        const FetchResult reply = fetchPage(bytes(address), ownedBy(FetchUse::ChannelCheck, this));
        if (reply.ownerGone)
            return;
        test = reply.body;
    }
    if (isValidPage(test))
        wmp1->setURL(address);
    else
        setStatus(u"Media Offline - "_s + address);
}

// ---- Stream spider ----------------------------------------------------------------------------

void frmSubmit::Command1_Click()
{
    if (spiderRunning()) {
        setSpiderRunning(false);
        if (m_pause)
            m_pause->quit();
        return;
    }
    setSpiderRunning(true);
    const QByteArray start = bytes(txtSpider->text());
    m_crawl.enqueueStart(start);
    List2->addItem(QString::fromLocal8Bit(start.toLower()));
    // A click while a crawl waits or reads resumes that crawl's loop rather than nesting one.
    if (!m_crawling)
        crawl();
}

bool frmSubmit::politeWait(const QByteArray &address)
{
    const int wait = m_crawl.waitBeforeMs(address, nowMs());
    if (wait <= 0)
        return true;
    QPointer<frmSubmit> self(this);
    QEventLoop loop;
    m_pause = &loop;
    QTimer::singleShot(wait, &loop, &QEventLoop::quit);
    loop.exec();
    return bool(self);
}

void frmSubmit::crawl()
{
    QPointer<frmSubmit> self(this);
    m_crawling = true;
    while (spiderRunning() && !m_crawl.queueEmpty()) {
        // A stop during the pause ends the run before the next page is started.
        if (!politeWait(m_crawl.queue().front()))
            return;
        if (!spiderRunning())
            break;
        QByteArray address = m_crawl.spiderNext();
        List3->addItem(QString::fromLocal8Bit(address));
        setStatus(u"Spidering to "_s + QString::fromLocal8Bit(address));
        QCoreApplication::processEvents();
        if (!self)
            return;
        m_crawl.noteRequest(address, nowMs());
        const FetchResult page = getPage(address, ownedBy(FetchUse::FinderPage, this));
        if (page.ownerGone)
            return;
        // Only http and https pages are read; the fetch refuses any other scheme.
        const PageBase base = pageBase(address);
        if (!listStreamLinks(page.body, base))
            return;
        for (const QByteArray &link : m_crawl.addPageLinks(page.body, base))
            List2->addItem(QString::fromLocal8Bit(link));
        m_crawl.dropQueueHead();
        delete List2->takeItem(0);
    }
    m_crawling = false;
    if (m_crawl.queueEmpty()) {
        setStatus(u"Finished Spider"_s);
        setSpiderRunning(false);
    }
}

} // namespace mavrel
