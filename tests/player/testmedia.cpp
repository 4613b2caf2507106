#include "testmedia.h"

#include "player/vlcengine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <vlc/vlc.h>

#include <cmath>
#include <numbers>

namespace mavrel::test {
namespace {

void appendLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

} // namespace

QByteArray makeWav(double seconds, int sampleRate, quint16 formatTag)
{
    const int samples = int(seconds * sampleRate);
    QByteArray wav("RIFF");
    appendLe(wav, 36 + samples * 2, 4);
    wav += "WAVEfmt ";
    appendLe(wav, 16, 4);
    appendLe(wav, formatTag, 2);
    appendLe(wav, 1, 2); // mono
    appendLe(wav, sampleRate, 4);
    appendLe(wav, sampleRate * 2, 4);
    appendLe(wav, 2, 2);
    appendLe(wav, 16, 2);
    wav += "data";
    appendLe(wav, samples * 2, 4);
    for (int i = 0; i < samples; ++i) {
        const auto sample =
            qint16(8000 * std::sin(2 * std::numbers::pi * 440 * i / double(sampleRate)));
        appendLe(wav, quint16(sample), 2);
    }
    return wav;
}

QByteArray makeVideo(const QString &workDir)
{
    // Raw frames in a YUV4MPEG2 file, which the engine reads and re-encodes.
    const int width = 64, height = 48, frames = 50;
    QByteArray y4m = "YUV4MPEG2 W64 H48 F25:1 Ip A1:1 C420jpeg\n";
    for (int f = 0; f < frames; ++f) {
        y4m += "FRAME\n";
        for (int p = 0; p < width * height; ++p)
            y4m += char((p + f * 4) & 0xFF);
        y4m += QByteArray(width * height / 2, char(128));
    }
    const QString rawPath = workDir + QStringLiteral("/frames.y4m");
    const QString outPath = workDir + QStringLiteral("/clip.ts");
    QFile raw(rawPath);
    if (!raw.open(QIODevice::WriteOnly) || raw.write(y4m) != y4m.size())
        return {};
    raw.close();

    libvlc_instance_t *engine = vlc::instance();
    if (!engine)
        return {};
    libvlc_media_t *media = libvlc_media_new_path(engine, QFile::encodeName(rawPath).constData());
    const QByteArray sout = ":sout=#transcode{vcodec=h264,venc=x264{preset=ultrafast},vb=200}"
                            ":std{access=file,mux=ts,dst=" +
                            QFile::encodeName(outPath) + "}";
    libvlc_media_add_option(media, sout.constData());
    libvlc_media_add_option(media, ":sout-keep");
    libvlc_media_player_t *player = libvlc_media_player_new_from_media(media);
    libvlc_media_player_play(player);
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        const libvlc_state_t state = libvlc_media_get_state(media);
        if (state == libvlc_Ended || state == libvlc_Error)
            break;
        QThread::msleep(10);
    }
    libvlc_media_player_stop(player);
    libvlc_media_player_release(player);
    libvlc_media_release(media);

    QFile out(outPath);
    if (!out.open(QIODevice::ReadOnly))
        return {};
    return out.readAll();
}

QByteArray makeJunk(int size)
{
    QByteArray junk(size, Qt::Uninitialized);
    quint32 x = 2463534242u; // fixed xorshift seed: the same bytes every run
    for (char &c : junk) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x & 0xFF);
    }
    return junk;
}

} // namespace mavrel::test
