#include "guidegen.h"

#include <QDateTime>
#include <QFile>

using namespace Qt::StringLiterals;

namespace mavrel::bench {

namespace {

// Lengths in minutes, cycled: about 150 programmes a channel a week.
constexpr int kMinutes[] = {45, 60, 90, 75};

QByteArray xmltvTime(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC).toString(u"yyyyMMddHHmmss"_s).toLatin1() +
           " +0000";
}

} // namespace

QByteArray generatedGuideId(int i)
{
    return "channel" + QByteArray::number(i) + ".example";
}

Result<qint64> writeGeneratedGuide(const QString &path, const GuideShape &shape)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Result<qint64>::failure(u"cannot write %1"_s.arg(path));
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv generator-info-name=\"bench\">\n";
    for (int c = 0; c < shape.channels; ++c) {
        out += "  <channel id=\"" + generatedGuideId(c) + "\"><display-name>Channel " +
               QByteArray::number(c) + "</display-name></channel>\n";
    }
    const QByteArray desc = "An episode of the series, with its guests and what they talk about: "
                            "news, weather &amp; sport, interviews from the region, a look at the "
                            "week ahead, and the stories viewers sent in; repeated later in the "
                            "week. Caf&#233; culture, music and film. Presented live.";
    const qint64 end = shape.firstStart + qint64(shape.days) * 86400;
    qint64 written = 0;
    for (int c = 0; c < shape.channels; ++c) {
        const QByteArray id = generatedGuideId(c);
        qint64 at = shape.firstStart;
        for (int n = 0; at < end; ++n) {
            const qint64 stop = at + kMinutes[(n + c) % std::size(kMinutes)] * 60;
            out += "  <programme start=\"" + xmltvTime(at) + "\" stop=\"" + xmltvTime(stop) +
                   "\" channel=\"" + id + "\">\n    <title lang=\"en\">Programme " +
                   QByteArray::number(n) + " of " + id + "</title>\n    <sub-title>Episode " +
                   QByteArray::number(n % 12 + 1) + "</sub-title>\n    <desc lang=\"en\">" + desc +
                   "</desc>\n    <category lang=\"en\">" + (n % 3 ? "News" : "Series") +
                   "</category>\n  </programme>\n";
            at = stop;
            ++written;
        }
        if (out.size() > (1 << 20)) {
            if (file.write(out) != out.size())
                return Result<qint64>::failure(u"cannot write %1"_s.arg(path));
            out.clear();
        }
    }
    out += "</tv>\n";
    if (file.write(out) != out.size() || !file.flush())
        return Result<qint64>::failure(u"cannot write %1"_s.arg(path));
    return written;
}

} // namespace mavrel::bench
