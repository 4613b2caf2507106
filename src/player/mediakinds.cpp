#include "player/mediakinds.h"

#include <QLatin1StringView>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr QLatin1StringView kPlayableSchemes[] = {"http"_L1, "https"_L1, "mms"_L1,
                                                  "rtsp"_L1, "rtmp"_L1,  "file"_L1};

constexpr QLatin1StringView kAudioExtensions[] = {
    "mp3"_L1, "wma"_L1,  "wav"_L1,  "wax"_L1,  "mid"_L1,  "midi"_L1, "rmi"_L1,
    "aif"_L1, "aifc"_L1, "aiff"_L1, "au"_L1,   "snd"_L1,  "cda"_L1,  "mpa"_L1,
    "mp2"_L1, "ogg"_L1,  "oga"_L1,  "opus"_L1, "flac"_L1, "m4a"_L1,  "aac"_L1};

bool containsNoCase(const auto &words, QStringView word)
{
    return std::any_of(std::begin(words), std::end(words), [&](QLatin1StringView w) {
        return word.compare(w, Qt::CaseInsensitive) == 0;
    });
}

} // namespace

bool isPlayableScheme(QStringView scheme)
{
    return containsNoCase(kPlayableSchemes, scheme);
}

bool isAudioFileName(QStringView fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || fileName.indexOf(u'/', dot) >= 0)
        return false;
    return containsNoCase(kAudioExtensions, fileName.sliced(dot + 1));
}

} // namespace mavrel
