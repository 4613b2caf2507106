#include "server/demo/democlips.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <vlc/vlc.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace mavrel::server::demo {

namespace {

struct Clip
{
    const char16_t *category;
    const char16_t *title;
    int hue; // 0..359, the clip's colour
    int pattern;
};

constexpr Clip kClips[] = {
    {u"Comedy", u"Juggling Practice", 20, 0},
    {u"Comedy", u"The Slipping Banana", 45, 1},
    {u"Music", u"Colour Organ", 280, 2},
    {u"Music", u"Bars & Beats", 200, 0},
    {u"Pets and Animals", u"Cat Chasing a Dot", 120, 3},
    {u"Science and Technology", u"Moving Gradient", 170, 1},
    {u"Sports", u"Bouncing Ball", 0, 3},
    {u"Film and Animation", u"Wipe \"Left\" to Right", 240, 2},
    {u"Travel and Events", u"Sunset Over Stripes", 30, 0},
};

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr int kFrames = 150; // 6 s at 25 frames a second

quint8 clamp(double v)
{
    return quint8(std::lround(std::clamp(v, 0.0, 255.0)));
}

// Raw frames in a YUV4MPEG2 file: a coloured background with a moving shape.
QByteArray frames(const Clip &clip)
{
    QByteArray y4m = "YUV4MPEG2 W320 H180 F25:1 Ip A1:1 C420jpeg\n";
    const double angle = clip.hue * 3.14159265 / 180;
    const quint8 u = clamp(128 + 90 * std::cos(angle));
    const quint8 v = clamp(128 + 90 * std::sin(angle));
    QByteArray luma(kWidth * kHeight, Qt::Uninitialized);
    for (int f = 0; f < kFrames; ++f) {
        const double t = f / double(kFrames);
        const int cx = int(kWidth * (0.1 + 0.8 * t));
        const int cy = int(kHeight * (0.5 + 0.35 * std::sin(t * 12.566)));
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                double l = 60 + 40.0 * x / kWidth;
                switch (clip.pattern) {
                case 0:
                    l += ((x + f * 3) / 20 % 2) * 50;
                    break;
                case 1:
                    l += 80.0 * ((x + y + f * 4) % 256) / 256;
                    break;
                case 2:
                    l += ((y + f * 2) / 15 % 2) * 60;
                    break;
                default:
                    break;
                }
                const int dx = x - cx;
                const int dy = y - cy;
                if (dx * dx + dy * dy < 400)
                    l = 235;
                luma[y * kWidth + x] = char(clamp(l));
            }
        }
        y4m += "FRAME\n";
        y4m += luma;
        y4m += QByteArray(kWidth * kHeight / 4, char(u));
        y4m += QByteArray(kWidth * kHeight / 4, char(v));
    }
    return y4m;
}

bool encode(libvlc_instance_t *vlc, const QString &rawPath, const QString &outPath)
{
    libvlc_media_t *media = libvlc_media_new_path(vlc, QFile::encodeName(rawPath).constData());
    if (!media)
        return false;
    const QByteArray sout = ":sout=#transcode{vcodec=theo,vb=600}:std{access=file,mux=ogg,dst=" +
                            QFile::encodeName(outPath) + "}";
    libvlc_media_add_option(media, sout.constData());
    libvlc_media_add_option(media, ":sout-keep");
    libvlc_media_player_t *player = libvlc_media_player_new_from_media(media);
    libvlc_media_player_play(player);
    const QDeadlineTimer deadline(30000);
    libvlc_state_t state = libvlc_NothingSpecial;
    while (!deadline.hasExpired()) {
        state = libvlc_media_get_state(media);
        if (state == libvlc_Ended || state == libvlc_Error)
            break;
        QThread::msleep(10);
    }
    libvlc_media_player_stop(player);
    libvlc_media_player_release(player);
    libvlc_media_release(media);
    return state == libvlc_Ended && QFileInfo(outPath).size() > 0;
}

} // namespace

int writeDemoClips(const QString &folder, const std::atomic<bool> *stop)
{
    int present = 0;
    QTemporaryDir work;
    libvlc_instance_t *vlc = nullptr;
    for (const Clip &clip : kClips) {
        if (stop && *stop)
            break;
        const QString dir = folder + u'/' + QStringView(clip.category).toString();
        const QString path = dir + u'/' + QStringView(clip.title).toString() + u".ogv"_s;
        if (QFileInfo(path).size() > 0) {
            ++present;
            continue;
        }
        if (!work.isValid() || !QDir().mkpath(dir))
            continue;
        if (!vlc) {
            const char *args[] = {"--quiet", "--no-xlib", "--aout=adummy", "--vout=vdummy",
                                  "--no-video-title-show"};
            vlc = libvlc_new(int(std::size(args)), args);
            if (!vlc)
                return present;
        }
        const QString raw = work.filePath(u"frames.y4m"_s);
        QFile rawFile(raw);
        const QByteArray y4m = frames(clip);
        if (!rawFile.open(QIODevice::WriteOnly) || rawFile.write(y4m) != y4m.size())
            continue;
        rawFile.close();
        // Encoded under a name that is not a video's (and that the encoder's option syntax
        // takes as it is), then renamed: a clip cut short by a kill is never listed.
        const QString partial = dir + u"/making.part"_s;
        QFile::remove(partial);
        if (encode(vlc, raw, partial) && QFile::rename(partial, path))
            ++present;
    }
    if (vlc)
        libvlc_release(vlc);
    return present;
}

} // namespace mavrel::server::demo
