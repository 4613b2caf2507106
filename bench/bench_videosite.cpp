// The video-site browser: scraping a 1 MB listing page, and a five-page listing fetched from the
// catalogue server on loopback into the list. Medians of repeated runs.
#include "videosite/listing.h"
#include "videosite/scraper.h"
#include "videosite/ui/videolistmodel.h"
#include "videosite/ui/videositebrowser.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A listing page as a real site writes one: thumbnails, titles, counts, some links twice.
QByteArray bigPage(qsizetype bytes)
{
    QByteArray page = "<html><head><title>Featured</title></head><body>\r\n";
    for (int i = 0; page.size() < bytes; ++i) {
        const QByteArray id = "v" + QByteArray::number(i * 7919 % 100000);
        page += "<div class=\"video-entry\"><div class=\"thumb\"><a href=\"/watch?v=" + id +
                "\"><img src=\"/vi/" + id +
                "/default.jpg\" width=\"120\" height=\"90\" "
                "alt=\"\"></a></div>\r\n<div class=\"title\"><a href=\"/watch?v=" +
                id + "&feature=featured\" rel=\"nofollow\">Clip number " + QByteArray::number(i) +
                " &amp; friends &quot;live&quot;</a></div><div class=\"meta\"><span>" +
                QByteArray::number(i * 13) + " views</span> <a href=\"/user/u" +
                QByteArray::number(i % 97) + "\">u" + QByteArray::number(i % 97) +
                "</a></div></div>\r\n";
    }
    return page + "</body></html>\r\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir temp;
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR") && temp.isValid()) {
        QDir().mkpath(temp.filePath(u"runtime"_s));
        QFile::setPermissions(temp.filePath(u"runtime"_s), QFileDevice::ReadOwner |
                                                               QFileDevice::WriteOwner |
                                                               QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(temp.filePath(u"runtime"_s)));
    }
    QApplication app(argc, argv);

    // 1. Scraping.
    const QByteArray page = bigPage(1 << 20);
    std::vector<double> scrape;
    qsizetype found = 0;
    for (int run = 0; run < 21; ++run) {
        QElapsedTimer clock;
        clock.start();
        VideoListing listing;
        for (const ScrapedVideo &v : parseVideoPage(page, false))
            listing.add(v);
        scrape.push_back(clock.nsecsElapsed() / 1e6);
        found = listing.videos().size();
    }
    std::printf("scrape 1 MB page (%lld bytes, %lld videos) median: %.2f ms\n", qint64(page.size()),
                qint64(found), median(scrape));

    // 2. Five pages from the catalogue server's video site.
    const QString videos = temp.filePath(u"videos"_s);
    for (int i = 0; i < 120; ++i) {
        const QString dir = videos + (i % 2 ? u"/Music"_s : u"/Comedy"_s);
        QDir().mkpath(dir);
        QFile f(dir + u"/Clip %1.ogv"_s.arg(i, 3, 10, QChar(u'0')));
        if (!f.open(QIODevice::WriteOnly) || f.write("x") != 1)
            return 1;
    }
    QProcess server;
    server.start(QString::fromUtf8(CATALOGUE_SERVER),
                 {u"--db"_s, temp.filePath(u"c.db"_s), u"--port"_s, u"0"_s, u"--videos"_s, videos});
    if (!server.waitForStarted(10000) || !server.waitForReadyRead(10000)) {
        std::fprintf(stderr, "bench_videosite: the catalogue server did not start\n");
        return 1;
    }
    const QByteArray line = server.readLine().trimmed();
    qputenv("MAVREL_VIDEOSITE_URL", line.mid(line.indexOf("http")));

    QWidget window;
    auto *combo3 = new QComboBox(&window);
    combo3->addItems(videoCategories());
    combo3->setCurrentText(u"Featured"_s);
    auto *combo4 = new QComboBox(&window);
    auto *search = new QLineEdit(&window);
    auto *searchButton = new QPushButton(&window);
    auto *list = new QTreeView(&window);
    auto *status = new QLineEdit(&window);
    QString countryCode = u"en_us"_s;
    VideoSiteBrowser browser({combo3, combo4, search, searchButton, list, status, &countryCode},
                             temp.filePath(u"youtube.html"_s), {}, &window);
    window.show();
    std::vector<double> listing;
    int rows = 0;
    for (int run = 0; run < 11; ++run) {
        QElapsedTimer clock;
        clock.start();
        browser.loadVideoList();
        listing.push_back(clock.nsecsElapsed() / 1e6);
        rows = browser.model().rowCount();
    }
    std::printf("five-page listing from loopback (%d rows) median: %.2f ms\n", rows,
                median(listing));
    server.kill();
    server.waitForFinished(5000);
    return rows == 100 ? 0 : 1;
}
