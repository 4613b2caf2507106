#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace mavrel {

inline constexpr int kListingPages = 5;
inline constexpr char kSearchItem[] = "Search YouTube Videos";

// The listing choices in the order the category box lists them, "Featured" first.
QStringList videoCategories();

// The path and query of a browse category, up to and without the country code ("Featured":
// "/browse?s=rf&t=&l=&e="). Nothing for the search item and for texts that are no category.
std::optional<QByteArray> categoryPath(const QString &category);

// The country editions in list order, and the code of one; nothing for an unknown text.
QStringList videoCountries();
std::optional<QByteArray> countryCodeOf(const QString &country);

// The address of a listing without its page number: for a category, site + path + country +
// "&p="; for the search item, site + "/results?search_query=" + the text (UTF-8) percent-encoded
// + "&search_type=&page=". Nothing when the category has no listing.
std::optional<QByteArray> listingAddress(QByteArrayView site, const QString &category,
                                         QByteArrayView countryCode, QByteArrayView searchText);

} // namespace mavrel
