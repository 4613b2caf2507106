#include "platform/appfolder.h"
#include "platform/paths.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Collects what would be shown to the user.
class FolderReports : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        resetApplicationFolderReports();
        setApplicationFolderFailureSink([this](const QString &text) {
            shown.push_back(text.toStdString());
            return true;
        });
    }
    void TearDown() override
    {
        setApplicationFolderFailureSink({});
        resetApplicationFolderReports();
    }
    QString path(const QString &name) const { return temp.path() + u'/' + name; }

    QTemporaryDir temp;
    std::vector<std::string> shown;
};

} // namespace

TEST_F(FolderReports, OnlyAPortableMarkerFileKeepsTheProgramFolder)
{
    const QString perUser =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Mavrel"_s;
    const QString marker = QLatin1StringView(kPortableMarker);
    ASSERT_TRUE(QDir().mkpath(path(u"folder/"_s + marker)));
    ASSERT_TRUE(writeFile(path(marker), ""));
    EXPECT_EQ(applicationFolderFor(temp.path() + u'/'), temp.path());
    EXPECT_EQ(applicationFolderFor(path(u"folder"_s)), perUser);
    EXPECT_EQ(applicationFolderFor(path(u"folder/"_s + marker)), perUser);
    EXPECT_EQ(shippedFilesFolder(u"/tmp/x/usr/bin/"_s), u"/tmp/x/usr/share/mavrel"_s);
}

TEST_F(FolderReports, PreparingCopiesMissingShippedFilesAndNeverReplacesTheUsersOwn)
{
    const QString shipped = path(u"share/mavrel"_s);
    ASSERT_TRUE(QDir().mkpath(shipped + u"/sub"_s));
    ASSERT_TRUE(writeFile(shipped + u"/Help.html"_s, "shipped help"));
    ASSERT_TRUE(writeFile(shipped + u"/Localization.txt"_s, "shipped languages"));
    ASSERT_TRUE(writeFile(shipped + u"/sub/nested.txt"_s, "not a shipped file"));

    const QString folder = path(u"home/.local/share/Mavrel"_s);
    ASSERT_TRUE(prepareApplicationFolder(folder, shipped).ok());
    EXPECT_EQ(readFile(folder + u"/Help.html"_s), "shipped help");
    EXPECT_EQ(readFile(folder + u"/Localization.txt"_s), "shipped languages");
    EXPECT_FALSE(QFileInfo::exists(folder + u"/sub"_s));

    // The user's download survives a newer shipped file; a deleted copy comes back.
    ASSERT_TRUE(writeFile(folder + u"/Localization.txt"_s, "downloaded"));
    ASSERT_TRUE(QFile::remove(folder + u"/Help.html"_s));
    ASSERT_TRUE(writeFile(shipped + u"/Localization.txt"_s, "newer shipped"));
    ASSERT_TRUE(prepareApplicationFolder(folder, shipped).ok());
    EXPECT_EQ(readFile(folder + u"/Localization.txt"_s), "downloaded");
    EXPECT_EQ(readFile(folder + u"/Help.html"_s), "shipped help");
    EXPECT_TRUE(shown.empty());
}

TEST_F(FolderReports, FailuresAreReportedOncePerPathAndWaitForAWindow)
{
    ASSERT_TRUE(writeFileReported(path(u"page.html"_s), "<html>").ok());
    EXPECT_EQ(readFile(path(u"page.html"_s)), "<html>");

    // A file where a folder should be stops even root.
    ASSERT_TRUE(writeFile(path(u"blocker"_s), "x"));
    const QString page = path(u"blocker/youtube.html"_s);
    setApplicationFolderOverride(path(u"blocker"_s));
    EXPECT_FALSE(writeApplicationFile(u"youtube.html"_s, "x").ok());
    setApplicationFolderOverride({});
    EXPECT_FALSE(writeFileReported(page, "again").ok());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find(page.toStdString()), std::string::npos) << shown[0];

    // While the window is gone, reports wait and then arrive together.
    setApplicationFolderFailureSink([](const QString &) { return false; });
    const QString folder = path(u"blocker/Mavrel"_s);
    const Result<void> failed = prepareApplicationFolder(folder, temp.path());
    ASSERT_FALSE(failed.ok());
    EXPECT_TRUE(failed.error().message.startsWith(folder));
    setApplicationFolderFailureSink({});
    EXPECT_FALSE(writeFileReported(path(u"missing/b.txt"_s), "x").ok());
    setApplicationFolderFailureSink([this](const QString &text) {
        shown.push_back(text.toStdString());
        return true;
    });
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[1].find(folder.toStdString()), std::string::npos) << shown[1];
    EXPECT_NE(shown[1].find("missing/b.txt"), std::string::npos) << shown[1];
}

TEST(TerminationSignals, EachSignalReachesTheHandlerOnTheEventLoop)
{
    int calls = 0;
    ASSERT_TRUE(onTerminationSignals([&] { ++calls; }));
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const int before = calls;
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_EQ(calls, before) << "ran inside the signal handler";
        QDeadlineTimer deadline(5000);
        while (calls == before && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_EQ(calls, before + 1) << signal;
    }
    ASSERT_TRUE(onTerminationSignals({}));
    struct sigaction action = {};
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_EQ(::sigaction(signal, nullptr, &action), 0);
        EXPECT_EQ(action.sa_handler, SIG_DFL) << signal;
    }
}
