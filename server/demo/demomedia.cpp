#include "server/demo/demomedia.h"

#include <QtEndian>

#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace mavrel::server::demo {

namespace {

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void patch32(QByteArray &out, qsizetype at, quint32 v)
{
    qToLittleEndian(v, out.data() + at);
}

} // namespace

QByteArray wavHeader(quint32 dataBytes)
{
    QByteArray h;
    h.append("RIFF");
    put32(h, dataBytes > 0xffffffffu - 36 ? 0xffffffffu : dataBytes + 36);
    h.append("WAVEfmt ");
    put32(h, 16);
    put16(h, 1); // PCM
    put16(h, 1); // mono
    put32(h, kSampleRate);
    put32(h, kSampleRate * 2);
    put16(h, 2);
    put16(h, 16);
    h.append("data");
    put32(h, dataBytes);
    return h;
}

QByteArray tuneSamples(qint64 first, int count, int melody)
{
    // A pentatonic tune of 0.4 s notes, each with a soft attack and decay.
    static const double scale[] = {261.63, 293.66, 329.63, 392.00, 440.00, 523.25};
    static const int tunes[2][8] = {{0, 2, 4, 3, 1, 2, 5, 4}, {5, 3, 4, 1, 2, 0, 1, 3}};
    const qint64 noteLength = kSampleRate * 2 / 5;
    QByteArray out;
    out.resize(qsizetype(count) * 2);
    char *dst = out.data();
    for (int i = 0; i < count; ++i) {
        const qint64 n = first + i;
        const qint64 note = n / noteLength;
        const double inNote = double(n % noteLength) / double(noteLength);
        const double freq = scale[tunes[melody & 1][note % 8]];
        const double envelope = std::min(1.0, inNote * 20.0) * (1.0 - inNote);
        const double t = double(n) / kSampleRate;
        const double v = std::sin(2.0 * std::numbers::pi * freq * t) * envelope * 0.3;
        qToLittleEndian(qint16(v * 32767.0), dst);
        dst += 2;
    }
    return out;
}

QByteArray chimeWav()
{
    const int seconds = 4;
    QByteArray pcm;
    pcm.reserve(kSampleRate * 2 * seconds);
    for (int i = 0; i < kSampleRate * seconds; ++i) {
        const double t = double(i) / kSampleRate;
        const double v = (std::sin(2.0 * std::numbers::pi * 659.25 * t) +
                          0.5 * std::sin(2.0 * std::numbers::pi * 987.77 * t)) *
                         std::exp(-t * 1.2) * 0.25;
        char b[2];
        qToLittleEndian(qint16(v * 32767.0), b);
        pcm.append(b, 2);
    }
    return wavHeader(quint32(pcm.size())) + pcm;
}

QByteArray testCardAvi()
{
    // A minute, so that it plays like a channel rather than a clip; the sweep repeats every
    // six seconds.
    const int width = 160, height = 120, fps = 5, frames = 300, sweepFrames = 30;
    const quint32 frameBytes = width * height * 3;

    QByteArray avi;
    avi.append("RIFF");
    put32(avi, 0); // patched
    avi.append("AVI LIST");
    const qsizetype hdrlSize = avi.size();
    put32(avi, 0);
    avi.append("hdrlavih");
    put32(avi, 56);
    put32(avi, 1000000 / fps);
    put32(avi, frameBytes * fps);
    put32(avi, 0);
    put32(avi, 0x10); // has an index
    put32(avi, frames);
    put32(avi, 0);
    put32(avi, 1);
    put32(avi, frameBytes);
    put32(avi, width);
    put32(avi, height);
    for (int i = 0; i < 4; ++i)
        put32(avi, 0);
    avi.append("LIST");
    const qsizetype strlSize = avi.size();
    put32(avi, 0);
    avi.append("strlstrh");
    put32(avi, 56);
    avi.append("vidsDIB ");
    put32(avi, 0);
    put16(avi, 0);
    put16(avi, 0);
    put32(avi, 0);
    put32(avi, 1);   // scale
    put32(avi, fps); // rate
    put32(avi, 0);
    put32(avi, frames);
    put32(avi, frameBytes);
    put32(avi, 0xffffffffu);
    put32(avi, 0);
    put16(avi, 0);
    put16(avi, 0);
    put16(avi, width);
    put16(avi, height);
    avi.append("strf");
    put32(avi, 40);
    put32(avi, 40);
    put32(avi, width);
    put32(avi, height);
    put16(avi, 1);
    put16(avi, 24);
    put32(avi, 0);
    put32(avi, frameBytes);
    for (int i = 0; i < 4; ++i)
        put32(avi, 0);
    patch32(avi, strlSize, quint32(avi.size() - strlSize - 4));
    patch32(avi, hdrlSize, quint32(avi.size() - hdrlSize - 4));

    avi.append("LIST");
    const qsizetype moviSize = avi.size();
    put32(avi, 0);
    const qsizetype moviStart = avi.size();
    avi.append("movi");
    static const unsigned char bars[7][3] = {{192, 192, 192}, {0, 192, 192}, {192, 192, 0},
                                             {0, 192, 0},     {192, 0, 192}, {0, 0, 192},
                                             {192, 0, 0}}; // BGR
    QList<quint32> offsets;
    for (int f = 0; f < frames; ++f) {
        offsets.append(quint32(avi.size() - moviStart));
        avi.append("00db");
        put32(avi, frameBytes);
        QByteArray frame(frameBytes, Qt::Uninitialized);
        char *p = frame.data();
        const int sweep = ((f % sweepFrames) * width) / sweepFrames;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const unsigned char *c = bars[(x * 7) / width];
                const bool line = std::abs(x - sweep) < 3 && y < height / 3;
                *p++ = char(line ? 255 : c[0]);
                *p++ = char(line ? 255 : c[1]);
                *p++ = char(line ? 255 : c[2]);
            }
        }
        avi.append(frame);
    }
    patch32(avi, moviSize, quint32(avi.size() - moviSize - 4));
    avi.append("idx1");
    put32(avi, quint32(frames * 16));
    for (quint32 offset : offsets) {
        avi.append("00db");
        put32(avi, 0x10);
        put32(avi, offset);
        put32(avi, frameBytes);
    }
    patch32(avi, 4, quint32(avi.size() - 8));
    return avi;
}

QList<NewChannel> channels(const QString &baseUrl)
{
    const QByteArray base = baseUrl.toUtf8() + "/media/";
    auto channel = [&](const char *name, const char *kind, const char *file, const char *lang,
                       qint64 favorites, double rating) {
        NewChannel c;
        c.name = name;
        c.kind = kind;
        c.url = base + file;
        c.lang = lang;
        c.favorites = favorites;
        c.ratingSum = rating;
        c.ratingCount = rating > 0 ? 1 : 0;
        return c;
    };
    return {
        channel("Demo Test Card", "TV", "testcard.avi", "English/News", 12, 4.5),
        channel("Demo Offline Channel", "TV", "offline.asx", "English", 1, 2),
        channel("Canal de Prueba Movido", "TV", "moved.asx", "Spanish", 0, 0),
        channel("Demo Radio", "Radio", "radio.wav", "English/Music", 30, 4.25),
        channel("Radio D\xc3\xa9mo", "Radio", "radio2.wav", "French/Music", 7, 3.5),
        channel("Demo Chime", "Video", "chime.wav", "German/Music", 3, 3),
        channel("Demo Late Night", "XXX", "testcard.avi?late", "English", 0, 0),
    };
}

} // namespace mavrel::server::demo
