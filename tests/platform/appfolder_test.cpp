#include "platform/appfolder.h"
#include "platform/paths.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "qstringprinter.h"

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
            shown << text;
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
    QStringList shown;
};

} // namespace

TEST_F(FolderReports, PortableMarkerDecidesBetweenTheProgramFolderAndThePerUserFolder)
{
    const QString perUser =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Mavrel"_s;
    struct Case
    {
        const char *what;
        bool markerIsFile;
        bool markerIsFolder;
        QString expected;
    };
    const Case cases[] = {
        {"marker file", true, false, {}},
        {"no marker", false, false, perUser},
        {"a folder of that name is no marker", false, true, perUser},
    };
    for (const Case &c : cases) {
        const QString exe = path(QString::fromLatin1(c.what));
        ASSERT_TRUE(QDir().mkpath(exe));
        const QString marker = exe + u'/' + QLatin1StringView(kPortableMarker);
        if (c.markerIsFile) {
            ASSERT_TRUE(writeFile(marker, ""));
        }
        if (c.markerIsFolder) {
            ASSERT_TRUE(QDir().mkpath(marker));
        }
        const QString expected = c.markerIsFile ? exe : c.expected;
        EXPECT_EQ(applicationFolderFor(exe), expected) << c.what;
        EXPECT_EQ(applicationFolderFor(exe + u'/'), expected) << c.what;
    }
    EXPECT_EQ(shippedFilesFolder(u"/usr/bin"_s), u"/usr/share/mavrel"_s);
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

    // The user's download and edit survive a new shipped version and later starts.
    ASSERT_TRUE(writeFile(folder + u"/Localization.txt"_s, "downloaded"));
    ASSERT_TRUE(QFile::remove(folder + u"/Help.html"_s));
    ASSERT_TRUE(writeFile(shipped + u"/Localization.txt"_s, "newer shipped"));
    ASSERT_TRUE(prepareApplicationFolder(folder, shipped).ok());
    EXPECT_EQ(readFile(folder + u"/Localization.txt"_s), "downloaded");
    EXPECT_EQ(readFile(folder + u"/Help.html"_s), "shipped help");

    // No shipped files (a copy without its share folder): the folder is still made.
    EXPECT_TRUE(prepareApplicationFolder(path(u"bare"_s), path(u"nothing"_s)).ok());
    EXPECT_TRUE(QFileInfo(path(u"bare"_s)).isDir());
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(FolderReports, AFolderThatCannotBeMadeIsReportedOncePerRun)
{
    // A file where the folder should be stops even root.
    ASSERT_TRUE(writeFile(path(u"blocker"_s), "x"));
    const QString folder = path(u"blocker/Mavrel"_s);
    const Result<void> first = prepareApplicationFolder(folder, temp.path());
    ASSERT_FALSE(first.ok());
    EXPECT_TRUE(first.error().message.startsWith(folder));
    EXPECT_FALSE(prepareApplicationFolder(folder, temp.path()).ok());
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(folder)) << shown[0].toStdString();
}

TEST_F(FolderReports, FailedWritesAreReportedOncePerFileAndWaitForAWindow)
{
    ASSERT_TRUE(writeFileReported(path(u"page.html"_s), "<html>").ok());
    EXPECT_EQ(readFile(path(u"page.html"_s)), "<html>");
    EXPECT_TRUE(shown.isEmpty());

    const QString a = path(u"missing/a.html"_s);
    const QString b = path(u"missing/b.txt"_s);
    const Result<void> failed = writeFileReported(a, "x");
    ASSERT_FALSE(failed.ok());
    EXPECT_FALSE(failed.error().message.isEmpty());
    EXPECT_FALSE(writeFileReported(a, "again").ok());
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(a)) << shown[0].toStdString();

    // While no window can show them, reports wait and then arrive together.
    bool windowGone = true;
    setApplicationFolderFailureSink([&](const QString &text) {
        if (windowGone)
            return false;
        shown << text;
        return true;
    });
    EXPECT_FALSE(writeFileReported(b, "x").ok());
    setApplicationFolderFailureSink({});
    ASSERT_TRUE(writeFile(path(u"blocker"_s), "x"));
    EXPECT_FALSE(prepareApplicationFolder(path(u"blocker/sub"_s), temp.path()).ok());
    EXPECT_EQ(shown.size(), 1);
    windowGone = false;
    setApplicationFolderFailureSink([&](const QString &text) {
        shown << text;
        return true;
    });
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[1].contains(b) && shown[1].contains(path(u"blocker/sub"_s)))
        << shown[1].toStdString();

    // Through the application folder, as the windows write.
    setApplicationFolderOverride(path(u"missing"_s));
    EXPECT_FALSE(writeApplicationFile(u"youtube.html"_s, "x").ok());
    setApplicationFolderOverride({});
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[2].contains(path(u"missing/youtube.html"_s))) << shown[2].toStdString();
}

TEST(TerminationSignals, EachSignalReachesTheHandlerOnTheEventLoop)
{
    int calls = 0;
    ASSERT_TRUE(onTerminationSignals([&] { ++calls; }));
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const int before = calls;
        ASSERT_EQ(std::raise(signal), 0);
        // The handler runs on the event loop, not inside the signal.
        EXPECT_EQ(calls, before);
        QDeadlineTimer deadline(5000);
        while (calls == before && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_EQ(calls, before + 1) << signal;
    }
    onTerminationSignals({});
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, SIG_DFL);
}
