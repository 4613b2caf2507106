#include <gtest/gtest.h>

#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

TEST(PlaybackQuit, QuittingWhileAStreamOpensEndsCleanly)
{
    for (const QString &mode : {u"fetch"_s, u"open"_s}) {
        QProcess helper;
        helper.start(QString::fromUtf8(PLAYBACK_QUIT_HELPER), {mode});
        ASSERT_TRUE(helper.waitForStarted()) << mode.toStdString();
        ASSERT_TRUE(helper.waitForFinished(20000)) << mode.toStdString();
        EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit) << mode.toStdString();
        EXPECT_EQ(helper.exitCode(), 0)
            << mode.toStdString() << helper.readAllStandardError().toStdString();
    }
}

} // namespace
