#pragma once

#include "platform/settings.h"

#include <QString>

#include <optional>

namespace mavrel {

// Kind words of the catalogue and of the video-site view.
inline constexpr auto kKindTV = "TV";
inline constexpr auto kKindRadio = "Radio";
inline constexpr auto kKindVideo = "Video";
inline constexpr auto kKindAdult = "XXX";
inline constexpr auto kKindYouTube = "YOUTUBE";

// The setting a catalogue kind takes its language from. The adult kind starts from the Video
// language; the video site has none.
std::optional<SettingKey> languageSettingToRead(const QString &kind);
// The setting a language choice is remembered under: TV, Radio and Video only, never the adult
// kind.
std::optional<SettingKey> languageSettingToWrite(const QString &kind);

// The notice shown before the adult kind is entered.
QString adultNoticeText();
inline constexpr auto kAdultNoticeTitle = "Adult Material";

// Company whose builds show the Live Sports, Extras and Adult categories.
inline constexpr auto kExtrasCompany = "Cranmoor Software";

} // namespace mavrel
