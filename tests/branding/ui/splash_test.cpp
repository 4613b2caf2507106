#include "branding/ui/frmsplash.h"
#include "branding/ui/windowicon.h"
#include "platform/machinesettings.h"
#include "platform/settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

class SplashTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        QDir(temp.path()).mkpath(u"etc"_s);
        QDir(temp.path()).mkpath(u"overlay"_s);
        setMachineStoreFolders({temp.path() + u"/etc"_s, temp.path() + u"/overlay"_s});
    }
    void TearDown() override { setMachineStoreFolders({}); }

    QTemporaryDir temp;
};

} // namespace

TEST_F(SplashTest, HandsOverOnTheSeventyFifthTickExactlyOnce)
{
    int handOvers = 0;
    int ticksAtHandOver = 0;
    int tick = 0;
    frmSplash *self = nullptr;
    frmSplash splash([&] {
        ++handOvers;
        ticksAtHandOver = tick;
        // The timer is already off while the main window loads.
        EXPECT_FALSE(self->timer()->isActive());
        EXPECT_TRUE(self->isVisible());
    });
    self = &splash;
    splash.start();
    ASSERT_TRUE(splash.isVisible());
    ASSERT_TRUE(splash.timer()->isActive());
    for (tick = 1; tick <= 200; ++tick)
        splash.Timer2_Timer();
    EXPECT_EQ(handOvers, 1);
    EXPECT_EQ(ticksAtHandOver, 75);
    EXPECT_FALSE(splash.isVisible());
}

TEST_F(SplashTest, RealTimerHandsOverAfterAboutASecond)
{
    int handOvers = 0;
    frmSplash splash([&] { ++handOvers; });
    QElapsedTimer clock;
    clock.start();
    splash.start();
    while (handOvers == 0 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(handOvers, 1);
    // Generous bounds: this only guards against the 2 ms interval making it a flash.
    EXPECT_GE(elapsed, 500);
    EXPECT_EQ(splash.intTemp, frmSplash::kHandOverCount);
}

TEST_F(SplashTest, MachineSettingKeepsTheWindowInvisibleButStillHandsOver)
{
    saveRegSetting(settingsApplication(), QString(settingsSection), u"chkSplash"_s, u"1"_s);
    int handOvers = 0;
    frmSplash splash([&] { ++handOvers; });
    splash.start();
    EXPECT_TRUE(splash.hiddenBySetting());
    EXPECT_FALSE(splash.isVisible());
    for (int i = 0; i < 75; ++i)
        splash.Timer2_Timer();
    EXPECT_EQ(handOvers, 1);
}

TEST(WindowIcon, IconSetHasEverySizeAndReachesTheOwner)
{
    const QIcon icon = iconGroup(u"AAA"_s);
    QList<int> sizes;
    for (const QSize &s : icon.availableSizes())
        sizes << s.width();
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (QList<int>{16, 32, 48, 64, 128}));
    EXPECT_TRUE(iconGroup(u"missing"_s).isNull());

    QWidget owner;
    QWidget window(&owner, Qt::Window);
    setWindowIcon(&window, u"AAA"_s, false);
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_TRUE(owner.windowIcon().availableSizes().isEmpty() ||
                owner.windowIcon().cacheKey() != window.windowIcon().cacheKey());

    setWindowIcon(&window, u"AAA"_s, true);
    EXPECT_EQ(owner.windowIcon().availableSizes().size(), 5);
    EXPECT_EQ(QApplication::windowIcon().availableSizes().size(), 5);
}
