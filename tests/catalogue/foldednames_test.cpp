#include "catalogue/foldednames.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

// Names go in both ways the list holds them: ASCII bytes as they lie, other names as text.
std::vector<char> find(const QStringList &names, const QString &needle)
{
    std::vector<QByteArray> bytes;
    for (const QString &n : names)
        bytes.push_back(n.toUtf8());
    FoldedNames folded;
    folded.build(
        std::size_t(names.size()),
        [&](std::size_t i) {
            const QByteArray &b = bytes[i];
            const bool ascii = std::all_of(b.cbegin(), b.cend(), [](char c) { return c > 0; });
            return ascii ? QByteArrayView(b) : QByteArrayView();
        },
        [&](std::size_t i) { return names[qsizetype(i)]; });
    return folded.matching(needle);
}

} // namespace

TEST(NameFind, MatchesIgnoringCaseAndAccents)
{
    const QStringList names{u"Café TV"_s, u"CAFE RADIO"_s,         u"Radio Über"_s,
                            u"uber FM"_s, u"Ελληνική Τηλεόραση"_s, u"Sky"_s,
                            u""_s,        u"Niño Radio"_s};
    struct Case
    {
        QString needle;
        std::vector<char> found;
    };
    const std::vector<Case> cases{
        {u"cafe"_s, {1, 1, 0, 0, 0, 0, 0, 0}},
        {u"CAFÉ"_s, {1, 1, 0, 0, 0, 0, 0, 0}},
        {u"über"_s, {0, 0, 1, 1, 0, 0, 0, 0}},
        {u"UBER"_s, {0, 0, 1, 1, 0, 0, 0, 0}},
        // Greek letters fold case and lose their tonos as Latin ones lose accents.
        {u"τηλεορα"_s, {0, 0, 0, 0, 1, 0, 0, 0}},
        {u"nino"_s, {0, 0, 0, 0, 0, 0, 0, 1}},
        {u"radio"_s, {0, 1, 1, 0, 0, 0, 0, 1}},
        {u" tv"_s, {1, 0, 0, 0, 0, 0, 0, 0}},
        // Longer than every name; then a needle of accents alone, which folds to nothing.
        {u"sky sports news"_s, {0, 0, 0, 0, 0, 0, 0, 0}},
        {u""_s, {1, 1, 1, 1, 1, 1, 1, 1}},
        {u"\u0301"_s, {1, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(find(names, c.needle), c.found) << c.needle.toStdString();
}

TEST(NameFind, FoldsToComparableText)
{
    EXPECT_EQ(foldForFind(u"Crème BRÛLÉE"_s), u"creme brulee"_s);
    EXPECT_EQ(foldForFind(u"ＴＶ"_s), u"tv"_s); // full-width letters, from East Asian names
    EXPECT_TRUE(find({}, u"x"_s).empty());
}
