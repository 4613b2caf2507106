#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QByteArrayView>

namespace mavrel {

// The reversible byte shift that hides stream addresses in the catalogue and whole lines in the
// favourites file. Wraps by 255, not 256, so byte 255 cannot be carried (see makeCarriable).
inline constexpr int kScrambleKey = 97;

// Longer texts overflowed the original 16-bit character counter; stored files never hold
// them, so they are refused rather than silently accepted.
inline constexpr qsizetype kMaxScrambleLength = 32766;

Result<QByteArray> encryptString(QByteArrayView plain);
Result<QByteArray> decryptString(QByteArrayView scrambled);

} // namespace mavrel
