// Reads a generated XMLTV guide of 2,000 channels for 7 days (about 300,000 programmes), plain and
// gzip, with a sink that only counts; the peak resident memory after each read. Prints one figure
// per line.

#include "guidegen.h"

#include "server/sources/xmltv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <zlib.h>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

long peakResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool gzipFile(const QString &from, const QString &to)
{
    QFile in(from);
    gzFile out = gzopen(QFile::encodeName(to).constData(), "wb6");
    if (!out || !in.open(QIODevice::ReadOnly))
        return false;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray piece = in.read(1 << 20);
        ok = gzwrite(out, piece.constData(), unsigned(piece.size())) == piece.size();
    }
    return gzclose(out) == Z_OK && ok;
}

// Times one read of `path`; false when it failed.
bool readGuide(const char *label, const QString &path, const server::GuideFilter &filter)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    qint64 titleChars = 0;
    QElapsedTimer timer;
    timer.start();
    const auto counts = server::readXmltv(file, filter, [&](server::Programme &&p) {
        titleChars += p.title.size();
        return Result<void>();
    });
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!counts) {
        std::fprintf(stderr, "bench_guide: %s\n", qPrintable(counts.error().message));
        return false;
    }
    const double mb = double(QFileInfo(path).size()) / 1e6;
    std::printf("%s_file_mb %.1f\n", label, mb);
    std::printf("%s_programmes %lld\n", label, static_cast<long long>(counts.value().programmes));
    std::printf("%s_bad %lld\n", label, static_cast<long long>(counts.value().bad));
    std::printf("%s_read_s %.2f\n", label, seconds);
    std::printf("%s_programmes_per_s %.0f\n", label, double(counts.value().programmes) / seconds);
    std::printf("%s_peak_rss_mb %.1f\n", label, double(peakResidentKb()) / 1024);
    return titleChars > 0;
}

} // namespace

int main()
{
    const QTemporaryDir dir;
    const QString plain = dir.filePath(u"guide.xml"_s);
    const QString zipped = dir.filePath(u"guide.xml.gz"_s);
    const bench::GuideShape shape;

    QElapsedTimer timer;
    timer.start();
    const auto written = bench::writeGeneratedGuide(plain, shape);
    if (!written) {
        std::fprintf(stderr, "bench_guide: %s\n", qPrintable(written.error().message));
        return 1;
    }
    std::printf("generated_programmes %lld\n", static_cast<long long>(written.value()));
    std::printf("generate_s %.2f\n", double(timer.nsecsElapsed()) / 1e9);
    std::printf("before_read_peak_rss_mb %.1f\n", double(peakResidentKb()) / 1024);

    // The import's window: 6 hours back to 7 days ahead, of the channels the catalogue has.
    QSet<QByteArray> ids;
    for (int i = 0; i < shape.channels; ++i)
        ids.insert(bench::generatedGuideId(i));
    const qint64 now = shape.firstStart + 6 * 3600;
    const server::GuideFilter filter{now - 6 * 3600, now + 7 * 86400,
                                     [&](const QByteArray &id) { return ids.contains(id); }};
    if (!readGuide("plain", plain, filter))
        return 1;
    if (!gzipFile(plain, zipped)) {
        std::fprintf(stderr, "bench_guide: cannot compress the guide\n");
        return 1;
    }
    QFile::remove(plain);
    return readGuide("gzip", zipped, filter) ? 0 : 1;
}
