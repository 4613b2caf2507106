#include "server/demo/demoroutes.h"

#include "server/demo/demomedia.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace mavrel::server::demo {

namespace {

// A page that the viewer's error-page test recognises, as dead stations answer.
const char kGonePage[] = "<html><head><title>404 Not Found</title></head><body>"
                         "<h1>Not Found</h1><p>The requested stream is not available.</p>"
                         "</body></html>";
const char kMovedPage[] = "<html><head><title>Station moved</title></head><body>"
                          "<h1>This station Has Moved</h1><p>Stream Not Available.</p>"
                          "</body></html>";

// An endless tune, paced to real time with one second ahead: a player starts at once, and a
// client that stops reading costs nothing while the front keeps it parked.
class TuneStream : public HttpStream
{
public:
    explicit TuneStream(int melody) : m_melody(melody) {}

    qint64 read(char *buf, qint64 max) override
    {
        if (!m_header.isEmpty()) {
            const qint64 n = std::min(max, qint64(m_header.size()));
            std::memcpy(buf, m_header.constData(), size_t(n));
            m_header.remove(0, n);
            return n;
        }
        using namespace std::chrono;
        const auto elapsedMs = duration_cast<milliseconds>(Clock::now() - m_start).count();
        const qint64 due = (elapsedMs + 1000) * kSampleRate / 1000;
        const qint64 count = std::min<qint64>(due - m_sent, max / 2);
        if (count <= 0)
            return 0;
        const QByteArray samples = tuneSamples(m_sent, int(count), m_melody);
        std::memcpy(buf, samples.constData(), size_t(samples.size()));
        m_sent += count;
        return samples.size();
    }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point m_start = Clock::now();
    QByteArray m_header = wavHeader(0xffffffffu - 64);
    qint64 m_sent = 0;
    int m_melody = 0;
};

HttpReply tune(int melody)
{
    HttpReply r;
    r.contentType = "audio/wav";
    r.headers = {{"Cache-Control", "no-cache"}};
    r.stream = std::make_shared<TuneStream>(melody);
    return r;
}

HttpReply page(int status, const char *html)
{
    HttpReply r = textReply(status, QByteArray(html));
    r.contentType = "text/html";
    return r;
}

} // namespace

void addMediaRoutes(HttpRoutes &routes)
{
    routes.add("/media/radio.wav", [](const HttpRequest &) { return tune(0); });
    routes.add("/media/radio2.wav", [](const HttpRequest &) { return tune(1); });
    // Made on first use and kept: the chime takes a moment to synthesise.
    routes.add("/media/chime.wav", [](const HttpRequest &) {
        static const QByteArray chime = chimeWav();
        HttpReply r = textReply(200, chime);
        r.contentType = "audio/wav";
        return r;
    });
    routes.add("/media/testcard.avi", [](const HttpRequest &) {
        static const QByteArray card = testCardAvi();
        HttpReply r = textReply(200, card);
        r.contentType = "video/x-msvideo";
        return r;
    });
    routes.add("/media/offline.asx", [](const HttpRequest &) { return page(404, kGonePage); });
    routes.add("/media/moved.asx", [](const HttpRequest &) { return page(200, kMovedPage); });
}

} // namespace mavrel::server::demo
