#include "catalogue/scramble.h"
#include "favorites/favorites.h"
#include "killwhilesaving.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

QByteArray scrambled(const QByteArray &plain)
{
    return encryptString(plain).value();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(FavoritesFile, IsTheScrambledFourFieldLinesInListOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Favorites.txt"_s);
    const QList<Favorite> list = {
        {"News 24", "http://a.example/live.asx", "TV", "English"},
        videoFavorite("Clip", "abc"),
        {"News 24", "http://a.example/live.asx", "TV", "English"}, // added twice: two lines
    };
    ASSERT_TRUE(writeFavorites(path, list).ok());
    EXPECT_EQ(fileBytes(path), scrambled("News 24|http://a.example/live.asx|TV|English") + "\r\n" +
                                   scrambled("Clip|youtube=abc||") + "\r\n" +
                                   scrambled("News 24|http://a.example/live.asx|TV|English") +
                                   "\r\n");
    EXPECT_EQ(readFavorites(path), list);

    // An empty list is an empty file, not a missing one.
    ASSERT_TRUE(writeFavorites(path, {}).ok());
    EXPECT_EQ(fileBytes(path), QByteArray());
    EXPECT_TRUE(readFavorites(dir.filePath(u"none.txt"_s)).isEmpty());
}

TEST(FavoritesFile, ReadsLinesAsTheyCome)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Favorites.txt"_s);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(scrambled("only a name") + "\r\n"          // no "|": skipped
            + scrambled("A|http://a") + "\r"           // lone CR ends a line; two fields
            + scrambled("B|u|k|l|extra|more") + "\r\n" // fields past four ignored
            + "\r\n"                                   // empty line
            + scrambled("C|u2|k2|l2"));                // no final line end
    f.close();
    EXPECT_EQ(readFavorites(path),
              (QList<Favorite>{
                  {"A", "http://a", "", ""}, {"B", "u", "k", "l"}, {"C", "u2", "k2", "l2"}}));
}

// Whatever a row holds, the list shows what a save and a load give back.
TEST(FavoritesFile, RowsReadBackAsTheyAreShown)
{
    const QByteArray scramblesToLf(1, char('\n' - kScrambleKey + 255));
    const QByteArray scramblesToCr(1, char('\r' - kScrambleKey + 255));
    const Favorite cases[] = {
        {"Name|with bar", "http://a/b|c", "TV", "English|French"},
        {"line" + scramblesToLf + "feed", "http://a/" + scramblesToCr, "Radio", "x"},
        {"\xff name", "http://a/\xff", "", ""},
        {"Caf\xc3\xa9 \xe2\x82\xac", "http://a/caf\xc3\xa9", "TV",
         "Fran\xc3\xa7"
         "ais"},
        {"", "", "", ""},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Favorites.txt"_s);
    for (const Favorite &raw : cases) {
        SCOPED_TRACE(raw.name.toHex().toStdString());
        const Favorite shown = carriableFavorite(raw);
        ASSERT_TRUE(writeFavorites(path, {shown}).ok());
        const QList<Favorite> back = readFavorites(path);
        ASSERT_EQ(back.size(), 1);
        EXPECT_EQ(back[0], shown);
        EXPECT_EQ(carriableFavorite(shown), shown);
    }
}

TEST(FavoritesFile, AFailedSaveLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Favorites.txt"_s);
    const QList<Favorite> old = {{"Old", "http://old", "TV", "English"}};
    ASSERT_TRUE(writeFavorites(path, old).ok());
    const QByteArray before = fileBytes(path);

    // Too long to scramble.
    const Result<void> tooLong =
        writeFavorites(path, {old[0], {QByteArray(40000, 'x'), "http://x", "", ""}});
    EXPECT_FALSE(tooLong.ok());
    EXPECT_EQ(fileBytes(path), before);

    // The folder cannot take the new file.
    if (getuid() != 0) {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(writeFavorites(path, {}).ok());
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        EXPECT_EQ(fileBytes(path), before);
    }
    // A folder in the file's place.
    const QString folder = dir.filePath(u"sub"_s);
    QDir().mkpath(folder);
    EXPECT_FALSE(writeFavorites(folder, old).ok());
}

QList<Favorite> generated(int count, const QByteArray &tag)
{
    QList<Favorite> out;
    for (int i = 0; i < count; ++i)
        out.append({tag + " channel " + QByteArray::number(i),
                    "http://" + tag + ".example/" + QByteArray::number(i) + ".asx", "TV",
                    "English"});
    return out;
}

// The child side of the kill test: saves two lists in turn until it is killed.
TEST(FavoritesSaveChild, DISABLED_SavesUntilKilled)
{
    const QString path = qEnvironmentVariable("FAVORITES_CHILD_FILE");
    ASSERT_FALSE(path.isEmpty());
    const QList<Favorite> lists[] = {generated(3000, "a"), generated(2500, "b")};
    for (quint64 n = 0;; ++n) {
        ASSERT_TRUE(writeFavorites(path, lists[n % 2]).ok());
        if (n == 0) {
            std::fputs("saved\n", stdout);
            std::fflush(stdout);
        }
    }
}

TEST(FavoritesFile, AKillDuringASaveLeavesTheOldOrTheNewList)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Favorites.txt"_s);
    const QByteArray a = favoritesFileBytes(generated(3000, "a")).value();
    const QByteArray b = favoritesFileBytes(generated(2500, "b")).value();
    int sawA = 0;
    int sawB = 0;
    killWhileSaving(u"FavoritesSaveChild.DISABLED_SavesUntilKilled"_s, u"FAVORITES_CHILD_FILE"_s,
                    path, 12, 12, [&](int round) {
                        const QByteArray now = fileBytes(path);
                        ASSERT_TRUE(now == a || now == b)
                            << "round " << round << ": " << now.size() << " bytes";
                        (now == a ? sawA : sawB)++;
                    });
    EXPECT_EQ(sawA + sawB, 12);
}

TEST(Favorites, VideoIdOfAnAddress)
{
    const struct
    {
        QByteArray address;
        std::optional<QByteArray> id;
    } cases[] = {
        {"youtube=abc", "abc"},
        {"youtube=abc=def", "abc"},
        {"YOUTUBE=abc", "abc"},
        {"x-YouTube=abc&feature=y", "abc&feature"}, // up to the next "="
        {"youtube=", ""},
        {"http://a.example/live.asx", std::nullopt},
        {"http://a.example/?youtube", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        EXPECT_EQ(favoriteVideoId(c.address), c.id);
    }
}

TEST(Favorites, ActionWords)
{
    const struct
    {
        const char *word;
        ChannelAction::Kind kind;
        QByteArray stars;
    } cases[] = {
        {"Favorites", ChannelAction::AddFavorite, ""},
        {"Rate5", ChannelAction::Rate, "5"},
        {"Rate1", ChannelAction::Rate, "1"},
        {"Rate6", ChannelAction::None, ""},
        {"Offline", ChannelAction::ReportOffline, ""},
        {"offline", ChannelAction::None, ""},
        {"", ChannelAction::None, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.word);
        const ChannelAction a = parseActionWord(c.word);
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_EQ(a.stars, c.stars);
    }
}

} // namespace
