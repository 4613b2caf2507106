#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace mavrel::server {

// An update reply replays this much before the date a viewer asks from, so that a change whose
// time a viewer could not yet know still reaches it. Replayed lines are harmless: the viewer's
// merge replaces a channel by the same line.
inline constexpr qint64 kUpdateMarginSecs = 300;

// One client address counts once per channel for ratings and favourites within this sliding
// window; a repeated rating inside it replaces the earlier one instead of adding to it.
inline constexpr qint64 kVoteWindowSecs = 600;

// A channel becomes dead after OFFLINE reports from this many client addresses without an
// ONLINE report since, or at once after an OFFLINE report sent in staff mode.
inline constexpr int kDeadReporters = 3;

// How long the server remembers when a client address last fetched an update, so that its
// following date request answers a date no later than that fetch.
inline constexpr qint64 kReadMemorySecs = 24 * 3600;

// Length limits of what the pages accept (bytes, after decoding).
inline constexpr qsizetype kMaxNameBytes = 256;
inline constexpr qsizetype kMaxLangBytes = 256;
inline constexpr qsizetype kMaxSpareBytes = 1024; // a logo address fits
inline constexpr qsizetype kMaxUrlBytes = 2048;
inline constexpr qsizetype kMaxShortValue = 32;

// The mean of the star ratings as the viewer reads it: at most two decimals, no trailing zeros
// ("4.25", "4.5", "4"); "0" when the channel has no rating.
QByteArray formatRatingFigure(double sum, qint64 count);

// A rating figure of a catalogue file (1 to 5), or nothing.
std::optional<double> parseRatingFigure(QByteArrayView text);

// Whether a plain field can travel in a catalogue or update line: no "|", CR, LF, NUL, and no
// "<BR>", which separates update lines.
bool isCarriableField(QByteArrayView field);

// Whether a plain stream address stays intact once scrambled: its scrambled form must be a
// carriable field too, and byte 255 has no scrambled form.
bool isCarriableAddress(QByteArrayView plainUrl);

} // namespace mavrel::server
