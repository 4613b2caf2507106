#include "favorites/favorites.h"

#include "catalogue/carriable.h"
#include "catalogue/cataloguelinereader.h"
#include "platform/files.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace mavrel {

FavoriteList::~FavoriteList() = default;

Favorite carriableFavorite(const Favorite &favorite)
{
    const auto text = [](const QByteArray &field) {
        return makeCarriable(field, FieldPlacement::InScrambledLine, FieldContent::Text);
    };
    return {text(favorite.name),
            makeCarriable(favorite.url, FieldPlacement::InScrambledLine, FieldContent::Address),
            text(favorite.kind), text(favorite.lang)};
}

QList<Favorite> readFavorites(const QString &path)
{
    QList<Favorite> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    CatalogueLineReader reader(&file);
    QByteArrayView line;
    // What was read before a failed read is kept, like the lines that cannot be read.
    while (reader.readLine(&line).valueOr(false)) {
        Result<Favorite> favorite = Favorite::parse(line);
        if (favorite)
            out.append(std::move(favorite).value());
    }
    return out;
}

Result<QByteArray> favoritesFileBytes(const QList<Favorite> &favorites)
{
    QByteArray bytes;
    for (const Favorite &favorite : favorites) {
        Result<QByteArray> line = favorite.toScrambledLine();
        if (!line)
            return Error{u"A favourite is too long to be saved: %1"_s.arg(line.error().message)};
        bytes += line.value();
        bytes += "\r\n";
    }
    return bytes;
}

Result<void> writeFavorites(const QString &path, const QList<Favorite> &favorites)
{
    Result<QByteArray> bytes = favoritesFileBytes(favorites);
    if (!bytes)
        return bytes.error();
    return writeFileAtomically(path, bytes.value());
}

Favorite videoFavorite(const QByteArray &title, const QByteArray &videoId)
{
    return {title, "youtube=" + videoId, {}, {}};
}

std::optional<QByteArray> favoriteVideoId(QByteArrayView address)
{
    if (!address.toByteArray().toLower().contains("youtube="))
        return std::nullopt;
    const qsizetype first = address.indexOf('=');
    const qsizetype next = address.indexOf('=', first + 1);
    return address.sliced(first + 1, (next < 0 ? address.size() : next) - first - 1).toByteArray();
}

ChannelAction parseActionWord(QByteArrayView word)
{
    if (word == "Favorites")
        return {ChannelAction::AddFavorite, {}};
    if (word == "Offline")
        return {ChannelAction::ReportOffline, {}};
    for (const char *rate : {"Rate5", "Rate4", "Rate3", "Rate2", "Rate1"}) {
        if (word == rate)
            return {ChannelAction::Rate, word.last(1).toByteArray()};
    }
    return {};
}

} // namespace mavrel
