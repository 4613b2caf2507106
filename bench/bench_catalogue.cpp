// Loading the channel list against the cost of merely reading the catalogue file.
#include "catalogue/catalogueview.h"
#include "catalogue/channelrecord.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLines = 100000;
QString g_catalogue;
QString g_halves[2]; // the same lines split in two files at a line end

// About sixty names; English is drawn so that it appears in about a fifth of the lines.
const char *const kLanguages[] = {
    "English",   "Spanish",    "French",      "German",    "Italian",  "Portuguese", "Dutch",
    "Swedish",   "Norwegian",  "Danish",      "Finnish",   "Polish",   "Czech",      "Slovak",
    "Hungarian", "Romanian",   "Bulgarian",   "Greek",     "Turkish",  "Russian",    "Ukrainian",
    "Serbian",   "Croatian",   "Slovenian",   "Arabic",    "Hebrew",   "Persian",    "Hindi",
    "Urdu",      "Bengali",    "Tamil",       "Telugu",    "Chinese",  "Japanese",   "Korean",
    "Thai",      "Vietnamese", "Indonesian",  "Malay",     "Filipino", "Swahili",    "Amharic",
    "Music",     "News",       "Sports",      "Movies",    "Kids",     "Religious",  "Business",
    "Weather",   "Shopping",   "Documentary", "Comedy",    "Talk",     "Jazz",       "Classical",
    "Rock",      "Pop",        "Country",     "Education",
};
constexpr int kLanguageCount = int(std::size(kLanguages));

QByteArray randomText(std::mt19937 &rng, int minLength, int maxLength, const char *alphabet)
{
    const int alphabetSize = int(std::char_traits<char>::length(alphabet));
    const int length = std::uniform_int_distribution<int>(minLength, maxLength)(rng);
    QByteArray text(length, Qt::Uninitialized);
    for (char &c : text)
        c = alphabet[std::uniform_int_distribution<int>(0, alphabetSize - 1)(rng)];
    return text;
}

QByteArray generateCatalogue()
{
    std::mt19937 rng(20261209);
    const char *const kinds[] = {"TV", "TV", "TV", "Radio", "Radio", "Radio", "Video", "XXX"};
    const char *const ratings[] = {"", "1", "2.5", "3", "3.75", "4", "4.25", "4.5", "5"};
    QByteArray data;
    data.reserve(kLines * 180);
    for (int i = 0; i < kLines; ++i) {
        mavrel::ChannelRecord record;
        record.id = QByteArray::number(100000 + i);
        record.name = randomText(
            rng, 10, 40, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz 0123456789-");
        record.kind = kinds[rng() % std::size(kinds)];
        const char *const schemes[] = {"http://", "mms://", "rtsp://"};
        record.url = schemes[rng() % 3] +
                     randomText(rng, 10, 25, "abcdefghijklmnopqrstuvwxyz0123456789.") + '/' +
                     randomText(rng, 20, 55, "abcdefghijklmnopqrstuvwxyz0123456789/._-?=&");
        record.url.truncate(std::max<qsizetype>(40, std::min<qsizetype>(90, record.url.size())));
        // English in a fifth of the lines, on its own or combined; the rest are other names.
        const int parts = 1 + int(rng() % 3);
        const bool english = rng() % 5 == 0;
        QByteArrayList names;
        for (int p = 0; p < parts; ++p)
            names.append(kLanguages[1 + rng() % (kLanguageCount - 1)]);
        if (english)
            names[rng() % names.size()] = "English";
        record.lang = names.join('/');
        record.favorites = QByteArray::number(int(rng() % 5000));
        record.rating = ratings[rng() % std::size(ratings)];
        data.append(record.toLine().value());
    }
    return data;
}

void readAndCountLines(benchmark::State &state)
{
    QByteArray block(qsizetype(1) << 20, Qt::Uninitialized);
    for (auto _ : state) {
        QFile file(g_catalogue);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            state.SkipWithError("cannot open the catalogue");
            return;
        }
        // Lines end at CR; memchr is how any reader finds them.
        qint64 lines = 0;
        qint64 n;
        while ((n = file.read(block.data(), block.size())) > 0) {
            const char *p = block.constData();
            const char *const end = p + n;
            while ((p = static_cast<const char *>(std::memchr(p, '\r', size_t(end - p))))) {
                ++lines;
                ++p;
            }
        }
        benchmark::DoNotOptimize(lines);
        state.counters["lines"] = double(lines);
    }
}

// The previous result is released outside the timed part: that cost belongs to the list that
// drops its rows (measured on its own by release_rows), not to the load.
void load(benchmark::State &state, const QString &kind, const QString &language,
          bool rebuildLanguages)
{
    const mavrel::MessageLookup messages = [](const QString &key) { return key; };
    for (auto _ : state) {
        mavrel::CatalogueViewState view{kind, language, rebuildLanguages, 0};
        mavrel::ChannelRows rows;
        const auto result = mavrel::loadChannelList(g_catalogue, view, messages, rows);
        if (!result) {
            state.SkipWithError("the load failed");
            return;
        }
        state.counters["shown"] = double(result.value().shown);
        state.counters["languages"] = double(view.langCount);
        state.PauseTiming();
        rows = {};
        state.ResumeTiming();
    }
}

void releaseRows(benchmark::State &state)
{
    const mavrel::MessageLookup messages = [](const QString &key) { return key; };
    for (auto _ : state) {
        state.PauseTiming();
        mavrel::CatalogueViewState view{u"TV"_s, u"All"_s, true, 0};
        mavrel::ChannelRows rows;
        (void)mavrel::loadChannelList(g_catalogue, view, messages, rows);
        state.ResumeTiming();
        rows = {};
    }
}

// Whether splitting the scan across the cores could pay: the two halves of the file loaded at
// once on two threads, against the whole file on one, both by the wall clock. Merging the two
// results is left out, so this is the best a split could do.
void loadHalvesInParallel(benchmark::State &state)
{
    const mavrel::MessageLookup messages = [](const QString &key) { return key; };
    const auto loadHalf = [&](const QString &file, mavrel::ChannelRows &rows) {
        mavrel::CatalogueViewState view{u"TV"_s, u"All"_s, true, 0};
        return mavrel::loadChannelList(file, view, messages, rows).valueOr({}).shown;
    };
    for (auto _ : state) {
        mavrel::ChannelRows first;
        mavrel::ChannelRows second;
        int secondShown = 0;
        std::thread other([&] { secondShown = loadHalf(g_halves[1], second); });
        const int firstShown = loadHalf(g_halves[0], first);
        other.join();
        state.counters["shown"] = double(firstShown + secondShown);
        state.PauseTiming();
        first = {};
        second = {};
        state.ResumeTiming();
    }
}

class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    RecordingReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_catalogue = dir.filePath(u"Data.txt"_s);
    {
        const QByteArray data = generateCatalogue();
        QFile file(g_catalogue);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) < 0)
            return 1;
        const qsizetype middle = data.indexOf("\r\n", data.size() / 2) + 2;
        for (int h = 0; h < 2; ++h) {
            g_halves[h] = dir.filePath(u"Half%1.txt"_s.arg(h));
            QFile half(g_halves[h]);
            const QByteArray part = h == 0 ? data.first(middle) : data.sliced(middle);
            if (!half.open(QIODevice::WriteOnly) || half.write(part) < 0)
                return 1;
        }
    }

    const char *const floorName = "read_and_count_lines";
    const char *const allName = "load_tv_all";
    const char *const englishName = "load_tv_english";
    benchmark::RegisterBenchmark(floorName, readAndCountLines)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(allName, load, u"TV"_s, u"All"_s, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(englishName, load, u"TV"_s, u"English"_s, true)
        ->Unit(benchmark::kMillisecond);
    // A language change keeps the language list: what collecting the names costs.
    benchmark::RegisterBenchmark("load_tv_all_keep_languages", load, u"TV"_s, u"All"_s, false)
        ->Unit(benchmark::kMillisecond);
    // No line has this kind: every line is read and split, no row is made. Shows how much of a
    // load is reading and splitting and how much is making rows.
    benchmark::RegisterBenchmark("load_no_rows", load, u"YOUTUBE"_s, u"All"_s, true)
        ->Unit(benchmark::kMillisecond);
    // Releasing is nearly free now; a fixed count keeps the untimed loads from running for minutes.
    benchmark::RegisterBenchmark("release_rows_tv_all", releaseRows)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(50);
    benchmark::RegisterBenchmark("wall_load_tv_all", load, u"TV"_s, u"All"_s, true)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("wall_load_tv_all_halves_on_two_threads", loadHalvesInParallel)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();

    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto &t = reporter.times;
    if (!t.count(floorName) || !t.count(allName) || !t.count(englishName))
        return 0; // a filter left some out: no ratio to give
    const double slower = std::max(t.at(allName), t.at(englishName));
    // CPU time: the machine may be shared, and the work is single-threaded.
    std::printf("floor (read and count lines): %.2f ms CPU\n", t.at(floorName));
    std::printf("load TV, All: %.2f ms CPU\n", t.at(allName));
    std::printf("load TV, English: %.2f ms CPU\n", t.at(englishName));
    std::printf("ratio: %.2f\n", slower / t.at(floorName));
    return 0;
}
