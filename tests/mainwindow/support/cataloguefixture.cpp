#include "cataloguefixture.h"

#include "catalogue/channelrecord.h"

#include <QSaveFile>

#include <random>

namespace mavrel::testing {

bool writeCatalogue(const QString &path, const std::vector<FixtureChannel> &channels)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    int id = 1;
    for (const FixtureChannel &c : channels) {
        const ChannelRecord record{
            QByteArray::number(id++), c.name, c.kind, c.url, c.lang, {}, {}, c.favorites, c.rating};
        const Result<QByteArray> line = record.toLine();
        if (!line.ok())
            return false;
        file.write(line.value());
    }
    return file.commit();
}

std::vector<FixtureChannel> generateCatalogue(int count, unsigned seed)
{
    static const char *const languages[] = {
        "English",    "Spanish",   "French",   "German",    "Italian",     "Portuguese",
        "Dutch",      "Polish",    "Russian",  "Ukrainian", "Turkish",     "Greek",
        "Arabic",     "Hebrew",    "Persian",  "Hindi",     "Urdu",        "Bengali",
        "Tamil",      "Chinese",   "Japanese", "Korean",    "Vietnamese",  "Thai",
        "Indonesian", "Malay",     "Tagalog",  "Swedish",   "Norwegian",   "Danish",
        "Finnish",    "Icelandic", "Czech",    "Slovak",    "Hungarian",   "Romanian",
        "Bulgarian",  "Serbian",   "Croatian", "Slovenian", "Albanian",    "Lithuanian",
        "Latvian",    "Estonian",  "Catalan",  "Basque",    "Galician",    "Irish",
        "Welsh",      "Swahili",   "News",     "Sports",    "Music",       "Movies",
        "Kids",       "Religious", "Business", "Weather",   "Documentary", "Comedy"};
    static const char *const words[] = {
        "Radio",    "TV",      "Channel", "Live",   "One",     "Metro", "City",    "Classic",
        "Hits",     "Jazz",    "News",    "Sport",  "Cinema",  "Kids",  "Nord",    "Sur",
        "Vision",   "Wave",    "Star",    "Planet", "Music",   "Retro", "Pulse",   "Sunrise",
        "Atlantic", "Pacific", "Alpine",  "Delta",  "Nova",    "Echo",  "Horizon", "Capital",
        "Coast",    "Valley",  "Summit",  "Harbor", "Central", "Prime"};
    static const char *const kinds[] = {"TV",    "TV",    "TV",    "TV",    "Radio",
                                        "Radio", "Radio", "Radio", "Video", "XXX"};
    std::mt19937 rng(seed);
    const auto pick = [&rng](int n) {
        return int(std::uniform_int_distribution<int>(0, n - 1)(rng));
    };
    constexpr int languageCount = int(std::size(languages));
    constexpr int wordCount = int(std::size(words));

    std::vector<FixtureChannel> channels;
    channels.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        FixtureChannel c;
        const int targetLength = 10 + pick(31);
        while (c.name.size() < targetLength) {
            if (!c.name.isEmpty())
                c.name += ' ';
            c.name += words[pick(wordCount)];
        }
        c.name.truncate(40);
        c.kind = kinds[pick(int(std::size(kinds)))];
        c.lang = languages[pick(languageCount)];
        for (int extra = pick(3); extra > 1; --extra) {
            c.lang += '/';
            c.lang += languages[pick(languageCount)];
        }
        const int stars = pick(41);
        c.rating = stars == 0 ? QByteArray() : QByteArray::number(1.0 + stars / 10.0, 'f', pick(3));
        c.favorites = QByteArray::number(pick(5000));
        c.url = "http://stream" + QByteArray::number(pick(90)) + ".example.net/live/" +
                QByteArray::number(i) + "/";
        while (c.url.size() < 40 + pick(51))
            c.url += char('a' + pick(26));
        c.url += ".m3u8";
        channels.push_back(std::move(c));
    }
    return channels;
}

} // namespace mavrel::testing
