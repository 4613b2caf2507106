// A sync of a large playlist on SQLite while another store on the same file records reports:
// the sync must finish and every report must be recorded, neither failing on the file's lock.
// The stores wait for the lock for 2 s: a sync in one transaction holds it longer than that.

#include "server/sources/importer.h"
#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

TEST(SqliteWriters, SyncUnderReportTrafficFinishesAndNoReportFails)
{
    constexpr int kEntries = 300000;
    StoreOptions options;
    options.busyTimeoutMs = 2000;
    QTemporaryDir dir;
    const QString db = dir.filePath(u"catalogue.db"_s);
    const QString playlist = dir.filePath(u"big.m3u"_s);
    {
        QFile f(playlist);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray text = "#EXTM3U\n";
        for (int i = 0; i < kEntries; ++i)
            text += "#EXTINF:-1 tvg-language=\"English\",Channel " + QByteArray::number(i) +
                    "\nhttp://stream.invalid/" + QByteArray::number(i) + "\n";
        ASSERT_TRUE(f.write(text) == text.size());
    }
    auto syncing = CatalogueStore::open(db, options);
    ASSERT_TRUE(syncing.ok()) << syncing.error().message.toStdString();
    // A channel that exists from the start, so that reports write votes and figures throughout.
    NewChannel first;
    first.name = "Channel 0";
    first.kind = "TV";
    first.url = "http://first.invalid/";
    first.lang = "English";
    ASSERT_TRUE(syncing.value()->addChannel(first).ok());

    std::atomic<bool> done = false;
    std::atomic<int> recorded = 0;
    QString failure;
    std::thread reporter([&] {
        auto store = CatalogueStore::open(db, options);
        if (!store) {
            failure = store.error().message;
            return;
        }
        static const char *const types[] = {"FAVORITE", "Rate", "ONLINE", "OFFLINE"};
        for (int n = 0; !done || n < 50; ++n) {
            const Report report{types[n % 4], "4", "Channel " + QByteArray::number(n % 1000), false,
                                u"10.1.%1.%2"_s.arg(n / 250 % 250).arg(n % 250)};
            if (auto r = store.value()->recordReport(report); !r) {
                failure = r.error().message;
                return;
            }
            ++recorded;
        }
    });
    auto counts = syncSource(*syncing.value(), playlist);
    done = true;
    reporter.join();
    ASSERT_TRUE(counts.ok()) << counts.error().message.toStdString();
    EXPECT_EQ(counts.value().added, kEntries);
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(syncing.value()->reportCount().value(), recorded.load());
}

} // namespace
} // namespace mavrel::server
