#pragma once

#include <QString>

namespace mavrel {

// The notice shown before the adult kind is entered.
QString adultNoticeText();
inline constexpr auto kAdultNoticeTitle = "Adult Material";

// Company whose builds show the Live Sports, Extras and Adult categories.
inline constexpr auto kExtrasCompany = "Cranmoor Software";

} // namespace mavrel
