// Importing the largest playlist the viewer accepts: 100,000 entries in close to 32 MiB, as an
// extended M3U and as XSPF. The import runs off the window's thread; this is how long it takes.
#include "favorites/playlistexchange.h"

#include <benchmark/benchmark.h>

#include <QUrl>

namespace {

using namespace mavrel;

constexpr int kEntries = kMaxImportEntries;
// Pads each name so that the whole file comes close to the byte limit.
constexpr qsizetype kM3uPad = 190;
constexpr qsizetype kXspfPad = 230;

QByteArray m3u()
{
    QByteArray out = "#EXTM3U\n";
    for (int i = 0; i < kEntries; ++i) {
        const QByteArray n = QByteArray::number(i);
        out +=
            "#EXTINF:-1 tvg-language=\"English\" group-title=\"TV\" tvg-logo=\"http://l.example/" +
            n + ".png\"," + "Channel " + n + ' ' + QByteArray(kM3uPad, 'x') +
            "\nhttp://s.example/live/" + n + ".m3u8\n";
    }
    return out;
}

QByteArray xspf()
{
    QByteArray out = "<?xml version=\"1.0\"?>\n<playlist version=\"1\" "
                     "xmlns=\"http://xspf.org/ns/0/\"><trackList>\n";
    for (int i = 0; i < kEntries; ++i) {
        const QByteArray n = QByteArray::number(i);
        out += "<track><location>http://s.example/live/" + n + ".mp3</location><title>Radio " + n +
               ' ' + QByteArray(kXspfPad, 'x') + "</title></track>\n";
    }
    return out + "</trackList></playlist>\n";
}

void import(benchmark::State &state, const QByteArray &data)
{
    const QUrl base(QStringLiteral("file:///home/u/list"));
    for (auto _ : state) {
        const Result<QList<Favorite>> read = favoritesFromPlaylist(data, base, "http://v.example");
        if (!read || read.value().size() != kEntries)
            state.SkipWithError("the playlist did not import whole");
        benchmark::DoNotOptimize(read);
    }
    state.counters["MiB"] = double(data.size()) / (1024 * 1024);
}

void BM_ImportM3u(benchmark::State &state)
{
    static const QByteArray data = m3u();
    import(state, data);
}
BENCHMARK(BM_ImportM3u)->Unit(benchmark::kMillisecond);

void BM_ImportXspf(benchmark::State &state)
{
    static const QByteArray data = xspf();
    import(state, data);
}
BENCHMARK(BM_ImportXspf)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
