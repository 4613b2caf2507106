#include "catalogue/catalogueview.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

// Names that arrive in order were the quadratic case of a last-element pivot: 200,000 of them
// took minutes. Whatever the order they arrive in, they sort in well under a second.
TEST(SortNamesAtScale, OrderedReversedAndOrganPipeInputs)
{
    constexpr int kCount = 200000;
    QStringList ascending;
    ascending.reserve(kCount);
    for (int i = 0; i < kCount; ++i)
        ascending.append(u"Category %1"_s.arg(i, 6, 10, QLatin1Char('0')));
    QStringList descending(ascending.rbegin(), ascending.rend());
    QStringList organPipe = ascending.mid(0, kCount / 2);
    for (int i = kCount - 1; i >= kCount / 2; --i)
        organPipe.append(ascending[i]);

    const struct
    {
        const char *name;
        QStringList input;
        bool descending;
        const QStringList &expected;
    } cases[] = {
        {"in order", ascending, false, ascending},
        {"reversed", descending, false, ascending},
        {"organ pipe", organPipe, false, ascending},
        {"in order, sorted descending", ascending, true, descending},
        {"reversed, sorted descending", descending, true, descending},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList names = c.input;
        QElapsedTimer clock;
        clock.start();
        sortNames(names, -1, c.descending);
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(names, c.expected);
    }

    // The last index still bounds the range on a long list.
    QStringList names = descending;
    sortNames(names, kCount / 2 - 1);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.begin() + kCount / 2));
    EXPECT_EQ(names.mid(kCount / 2), descending.mid(kCount / 2));
}

} // namespace
