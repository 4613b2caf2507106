// The stream finder's link normalisation over 100,000 links, and the spider over a 2,000-page
// site on loopback without the pause between requests. Prints ns per link and pages per second.
#include "submit/links.h"
#include "submit/ui/frmsubmit.h"

#include "favorites/favorites.h"
#include "localization/clslanguages.h"
#include "testhttpserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

using namespace mavrel;

namespace {

class NoFavorites : public FavoriteList
{
public:
    void addFavorite(const Favorite &) override {}
    mavrel::Result<void> saveFavorites() override { return {}; }
};

double resolveNsPerLink()
{
    constexpr int kLinks = 100'000;
    const char *shapes[] = {"/media/live%1.asx", "../up/list%1.pls",
                            "./a%1.asx",         "http://www.example.net//x/%1.asx",
                            "page%1.as",         "hls/%1/index.m3u8"};
    QList<QByteArray> links;
    links.reserve(kLinks);
    for (int i = 0; i < kLinks; ++i)
        links.append(QString::fromLatin1(shapes[i % 6]).arg(i).toLatin1());
    const PageBase base = pageBase("http://www.example.com/tv/live.htm");
    qsizetype sink = 0;
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray &link : links)
        sink += resolveLink(link, base.address, base.directory, base.domain).size();
    const double ns = double(clock.nsecsElapsed()) / kLinks;
    if (sink == 0)
        std::puts("unexpected: nothing resolved");
    return ns;
}

double crawlPagesPerSecond()
{
    constexpr int kPages = 2'000;
    test::TestHttpServer http;
    if (!http.listen())
        return -1;
    for (int i = 0; i < kPages; ++i) {
        QByteArray body = "<html><body>\r\n";
        for (int child : {2 * i + 1, 2 * i + 2}) {
            if (child < kPages)
                body += "<a href=\"/p" + QByteArray::number(child) + ".htm\">next</a>\r\n";
        }
        body += "<a href=\"/s" + QByteArray::number(i) + ".asx\">live</a>\r\n";
        http.serve("/p" + QByteArray::number(i) + ".htm", body);
    }
    clsLanguages languages;
    NoFavorites favorites;
    frmSubmit window(languages, favorites);
    window.setSpiderLimits(SpiderLimits{0, 100'000, 1'000});
    window.txtSpider->setText(QString::fromLatin1(http.url("/p0.htm")));
    QElapsedTimer clock;
    clock.start();
    window.Command1->click();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (window.spider().visited().size() != kPages)
        std::printf("unexpected: %lld pages visited\n",
                    static_cast<long long>(window.spider().visited().size()));
    return kPages / seconds;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::printf("resolveLink: %.1f ns per link (100000 links)\n", resolveNsPerLink());
    std::printf("spider: %.0f pages per second (2000 pages on loopback, no pause)\n",
                crawlPagesPerSecond());
    return 0;
}
