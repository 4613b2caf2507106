#include "videosite/listing.h"

#include "online/querytext.h"

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

struct Category
{
    const char16_t *item;
    const char *path; // nullptr: the search
};

// "Comedy" is the category number the table leaves out between 22 and 24.
constexpr Category kCategories[] = {
    {u"Featured", "/browse?s=rf&t=&l=&e="},
    {u"Search YouTube Videos", nullptr},
    {u"Most Viewed", "/browse?s=mp&t=&l=&e="},
    {u"Most Discussed", "/browse?s=md&t=&l=&e="},
    {u"Top Favorites", "/browse?s=mf&t=&l=&e="},
    {u"Autos and Vehicles", "/browse?s=mf&t=t&c=2&l=&e="},
    {u"Comedy", "/browse?s=mf&t=t&c=23&l=&e="},
    {u"Education", "/browse?s=mf&t=t&c=27&l=&e="},
    {u"Entertainment", "/browse?s=mf&t=t&c=24&l=&e="},
    {u"Film and Animation", "/browse?s=mf&t=t&c=1&l=&e="},
    {u"Howto and Style", "/browse?s=mf&t=t&c=26&l=&e="},
    {u"Music", "/browse?s=mf&t=t&c=10&l=&e="},
    {u"News and Politics", "/browse?s=mf&t=t&c=25&l=&e="},
    {u"People and Blogs", "/browse?s=mf&t=t&c=22&l=&e="},
    {u"Pets and Animals", "/browse?s=mf&t=t&c=15&l=&e="},
    {u"Science and Technology", "/browse?s=mf&t=t&c=28&l=&e="},
    {u"Sports", "/browse?s=mf&t=t&c=17&l=&e="},
    {u"Travel and Events", "/browse?s=mf&t=t&c=19&l=&e="},
};

struct Country
{
    const char16_t *item;
    const char *code;
};

constexpr Country kCountries[] = {
    {u"Australia", "en_AU"}, {u"Brazil", "pt_BR"},         {u"Canada", "en_CA"},
    {u"France", "fr_FR"},    {u"Germany", "de_DE"},        {u"Hong Kong", "zh_HK"},
    {u"Ireland", "en_IE"},   {u"Italy", "it_IT"},          {u"Japan", "ja_JP"},
    {u"Mexico", "es_MX"},    {u"Netherlands", "nl_NL"},    {u"New Zealand", "en_NZ"},
    {u"Poland", "pl_PL"},    {u"Russia", "ru_RU"},         {u"Spain", "es_ES"},
    {u"Taiwan", "zh_TW"},    {u"United Kingdom", "en_GB"}, {u"United States", "en_US"},
};

} // namespace

QStringList videoCategories()
{
    QStringList out;
    for (const Category &c : kCategories)
        out.append(QStringView(c.item).toString());
    return out;
}

std::optional<QByteArray> categoryPath(const QString &category)
{
    for (const Category &c : kCategories) {
        if (category == QStringView(c.item) && c.path)
            return QByteArray(c.path);
    }
    return std::nullopt;
}

QStringList videoCountries()
{
    QStringList out;
    for (const Country &c : kCountries)
        out.append(QStringView(c.item).toString());
    return out;
}

std::optional<QByteArray> countryCodeOf(const QString &country)
{
    for (const Country &c : kCountries) {
        if (country == QStringView(c.item))
            return QByteArray(c.code);
    }
    return std::nullopt;
}

std::optional<QByteArray> listingAddress(QByteArrayView site, const QString &category,
                                         QByteArrayView countryCode, QByteArrayView searchText)
{
    if (category == QLatin1StringView(kSearchItem))
        // The page number follows the last "=".
        return site.toByteArray() + "/results?" +
               buildQuery(
                   {{"search_query", searchText.toByteArray()}, {"search_type", {}}, {"page", {}}});
    const std::optional<QByteArray> path = categoryPath(category);
    if (!path)
        return std::nullopt;
    return site.toByteArray() + *path + countryCode.toByteArray() + "&p=";
}

} // namespace mavrel
