// Channel logos in the main window with 100,000 rows shown: a TV click with every row carrying
// a logo (served from loopback) against the same rows without (and without the logo delegate),
// and the longest stall of the event loop while the list is scrolled page by page.
#include "catalogue/channelrecord.h"
#include "catalogue/ui/listviewenh.h"
#include "logos/logostore.h"
#include "mainwindow/ui/categorybar.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/form1.h"
#include "platform/paths.h"
#include "platform/scripteddialogs.h"
#include "platform/settings.h"
#include "support/cataloguefixture.h"
#include "testhttpserver.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int kLines = 100000;
constexpr int kRuns = 15;
constexpr int kHosts = 8;
constexpr int kPages = 1500;
constexpr int kPageIntervalMs = 8;

// TV clicks, the variants taking turns click by click (each set up untimed), so that the
// machine's other load falls on all alike. The median of each variant.
std::vector<double> medianClickMs(Form1 &form, const std::vector<std::function<void()>> &setUps)
{
    std::vector<std::vector<double>> times(setUps.size());
    for (std::size_t i = 0; i < kRuns * setUps.size(); ++i) {
        const std::size_t variant = i % setUps.size();
        setUps[variant]();
        QElapsedTimer clock;
        clock.start();
        form.categoryBar().button(Category::TV)->click();
        QCoreApplication::processEvents(); // until the rows are laid out and painted
        times[variant].push_back(double(clock.nsecsElapsed()) / 1e6);
        // Logos of the rows on screen come in between clicks, as they would for a user.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    std::vector<double> medians;
    for (std::vector<double> &t : times) {
        std::sort(t.begin(), t.end());
        medians.push_back(t[t.size() / 2]);
    }
    return medians;
}

// Scrolls page by page on a timer while a 1 ms timer notes the longest gap between its ticks.
double longestStallMs(Form1 &form, int *pagesDone)
{
    QScrollBar *bar = form.channelPanel().list()->verticalScrollBar();
    bar->setValue(0);
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longest = 0;
    int pages = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    QTimer page;
    page.setInterval(kPageIntervalMs);
    QObject::connect(&page, &QTimer::timeout, [&] {
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        if (++pages >= kPages || bar->value() >= bar->maximum())
            loop.quit();
    });
    clock.start();
    tick.start();
    page.start();
    loop.exec();
    *pagesDone = pages;
    return double(longest) / 1e6;
}

QByteArray logoPng()
{
    QImage image(64, 32, QImage::Format_ARGB32);
    image.fill(QColor(40, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

bool writeCatalogue(const QString &path, const std::vector<testing::FixtureChannel> &channels,
                    const std::function<QByteArray(int)> &logoOf)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < int(channels.size()); ++i) {
        const testing::FixtureChannel &c = channels[std::size_t(i)];
        const ChannelRecord record{
            QByteArray::number(i), c.name,  "TV", c.url, c.lang, {}, logoOf(i),
            c.favorites,           c.rating};
        const Result<QByteArray> line = record.toLine();
        if (!line || file.write(line.value()) != line.value().size())
            return false;
    }
    return file.flush();
}

// The servers' own thread is the one that may read their records.
int requestCount(const std::vector<std::unique_ptr<TestHttpServer>> &hosts)
{
    int count = 0;
    for (const auto &h : hosts)
        QMetaObject::invokeMethod(
            h.get(), [&] { count += int(h->requests().size()); }, Qt::BlockingQueuedConnection);
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    for (const char *sub : {"config", "runtime", "data", "app", "cache"})
        QDir(home.path()).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(home.path() + u"/runtime"_s,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_CONFIG_HOME", (home.path() + u"/config"_s).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (home.path() + u"/runtime"_s).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + u"/cache"_s).toUtf8());
    QApplication app(argc, argv);
    setApplicationFolderOverride(home.path() + u"/app"_s);
    setDataDirectoryOverride(home.path() + u"/data"_s);
    ScopedScriptedDialogs boxes;
    storeSetting(SettingKey::Language, u"English"_s);
    storeSetting(SettingKey::ShowHelp, u"0"_s);
    storeSetting(SettingKey::TVLang, u"All"_s);

    // The logo servers answer on a thread of their own: their work is not the window's.
    QThread serving;
    serving.start();
    std::vector<std::unique_ptr<TestHttpServer>> hosts;
    TestHttpServer::Route logo;
    logo.body = logoPng();
    logo.contentType = "image/png";
    for (int i = 0; i < kHosts; ++i) {
        hosts.push_back(std::make_unique<TestHttpServer>());
        hosts.back()->setDefaultRoute(logo);
        hosts.back()->moveToThread(&serving);
        bool listening = false;
        QMetaObject::invokeMethod(hosts.back().get(), &TestHttpServer::listen,
                                  Qt::BlockingQueuedConnection, &listening);
        if (!listening)
            return 1;
    }
    const auto stopServing = qScopeGuard([&] {
        serving.quit();
        serving.wait();
    });

    const std::vector<testing::FixtureChannel> channels = testing::generateCatalogue(kLines);
    const QString data = home.path() + u"/data/Data.txt"_s;
    struct Variant
    {
        const char *name;
        QString file;
        bool logoDelegate;
        std::function<QByteArray(int)> logoOf;
        double clickMs = 0;
        double stallMs = 0;
        int pages = 0;
        int fetched = 0;
    };
    const auto none = [](int) { return QByteArray(); };
    Variant variants[] = {
        {"no logos, plain delegate", home.path() + u"/plain.txt"_s, false, none},
        {"no logos", home.path() + u"/plain.txt"_s, true, none},
        {"with logos", home.path() + u"/logos.txt"_s, true,
         [&](int i) {
             return hosts[std::size_t(i % kHosts)]->url("/logo/" + QByteArray::number(i) + ".png");
         }},
    };
    for (Variant &v : variants) {
        if (!QFile::exists(v.file) && !writeCatalogue(v.file, channels, v.logoOf))
            return 1;
    }
    QFile::copy(variants[0].file, data);
    Form1 form;
    form.resize(1024, 768);
    form.Form_Load();
    form.show();
    ListViewEnh *list = form.channelPanel().list();
    QAbstractItemDelegate *logoDelegate = list->itemDelegate();
    QStyledItemDelegate plainDelegate;
    std::vector<std::function<void()>> setUps;
    for (const Variant &v : variants) {
        setUps.push_back([&] {
            QFile::remove(data);
            QFile::copy(v.file, data);
            list->setItemDelegate(v.logoDelegate ? logoDelegate : &plainDelegate);
        });
    }
    const std::vector<double> clicks = medianClickMs(form, setUps);
    for (std::size_t i = 0; i < std::size(variants); ++i) {
        Variant &v = variants[i];
        v.clickMs = clicks[i];
        setUps[i]();
        form.categoryBar().button(Category::TV)->click();
        const int before = requestCount(hosts);
        v.stallMs = longestStallMs(form, &v.pages);
        v.fetched = requestCount(hosts) - before;
    }
    list->setItemDelegate(logoDelegate);

    std::printf("catalogue: %d lines, all TV; %d loopback logo hosts\n", kLines, kHosts);
    for (const Variant &v : variants) {
        std::printf("%-56s %9.1f ms\n",
                    (u"cmdTV_Click, "_s + QLatin1String(v.name)).toUtf8().constData(), v.clickMs);
        std::printf("%-56s %9.1f ms   (%d pages, %d logos fetched)\n",
                    (u"longest stall scrolling, "_s + QLatin1String(v.name)).toUtf8().constData(),
                    v.stallMs, v.pages, v.fetched);
    }
    std::printf("click_ratio: %.3f   (with logos / without; target <= 1.10)\n",
                variants[2].clickMs / variants[1].clickMs);
    std::printf("plain_ratio: %.3f   (no logos, logo delegate / plain delegate)\n",
                variants[1].clickMs / variants[0].clickMs);
    std::printf("stall: %.1f ms   (scrolling with logos; target <= 50 ms)\n", variants[2].stallMs);
    return 0;
}
