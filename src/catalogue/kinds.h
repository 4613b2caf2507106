#pragma once

#include "platform/settings.h"

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>

#include <optional>

namespace mavrel {

// The kind words a catalogue line carries, and the one the video-site view puts in their place.
inline constexpr QLatin1StringView kKindTV{"TV"};
inline constexpr QLatin1StringView kKindRadio{"Radio"};
inline constexpr QLatin1StringView kKindVideo{"Video"};
inline constexpr QLatin1StringView kKindAdult{"XXX"};
inline constexpr QLatin1StringView kKindYouTube{"YOUTUBE"};

// One of the four kinds a catalogue line may carry (the video site's word is none of them).
bool isCatalogueKind(QByteArrayView kind);

// The setting a kind takes its language from when it is shown. The adult kind starts from the
// Video language; the video site has none.
std::optional<SettingKey> languageSettingToRead(const QString &kind);
// The setting a language choice is remembered under: TV, Radio and Video only, never the adult
// kind.
std::optional<SettingKey> languageSettingToWrite(const QString &kind);

} // namespace mavrel
