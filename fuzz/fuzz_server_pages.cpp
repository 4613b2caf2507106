// Every catalogue page with arbitrary queries, over an SQLite catalogue. The first
// input byte picks the page, the rest is the raw query.
#include "catalogue/scramble.h"
#include "fuzzcheck.h"
#include "server/catalogue/cataloguepages.h"
#include "server/store/cataloguestore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace mavrel::server;

namespace {

const char *const kPaths[] = {
    "/ostrel/currentdate.asp",
    "/ostrel/getChannels.asp",
    "/ostrel/getChannelsOFFLINE.asp",
    "/ostrel/date.asp",
    "/tv/getData.asp",
    "/ostrel/submit.asp",
    "/Languages/26/Localization.txt",
};

struct Catalogue
{
    std::unique_ptr<CatalogueStore> store;
    std::unique_ptr<CataloguePages> pages;
    int runs = 0;
};

// A fresh catalogue now and then, so that reports and submissions do not pile up.
Catalogue &catalogue()
{
    // Never destroyed: at exit the database registry may already be gone.
    static Catalogue &c = *new Catalogue;
    static QTemporaryDir dir;
    if (c.store && ++c.runs < 5000)
        return c;
    c.pages.reset();
    c.store.reset();
    c.runs = 0;
    // A file, as write-ahead logging needs one.
    const QString file = dir.filePath(QStringLiteral("catalogue.db"));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(suffix));
    auto opened = CatalogueStore::open(file);
    check(opened.ok());
    c.store = std::move(opened).value();
    for (const char *name : {"News", "100%", "Caf\xe9", "A|B"}) {
        NewChannel channel;
        channel.name = name;
        channel.kind = "TV";
        channel.url = "http://example/" + channel.name.toPercentEncoding();
        channel.lang = "English";
        (void)c.store->addChannel(channel);
    }
    c.pages = std::make_unique<CataloguePages>(*c.store);
    return c;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QString path = QString::fromLatin1(kPaths[data[0] % std::size(kPaths)]);
    const QString query =
        QString::fromLatin1(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString client = QStringLiteral("10.0.0.%1").arg(size % 4);
    Catalogue &c = catalogue();
    const auto reply = c.pages->handle(path, query, client);
    check(reply.has_value());
    check(reply->status == 200 || reply->status == 400 || reply->status == 404);
    // An update page never answers an error with "|": the viewer would take it for a line.
    if (path.contains(QLatin1String("getChannels")) && reply->status != 200)
        check(!reply->body.contains('|'));
    if (path == QLatin1String("/ostrel/submit.asp"))
        check(reply->body.endsWith('|'));
    return 0;
}
