// catalogue-server: serves the catalogue to viewers, imports and exports it.

#include "server/demomedia.h"
#include "server/httpserver.h"
#include "server/importer.h"
#include "server/pages.h"
#include "server/store.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QStringList>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace mavrel::server;

namespace {

enum Exit
{
    ExitOk = 0,
    ExitFailure = 1,
    ExitUsage = 2
};

const char kUsage[] =
    "Usage:\n"
    "  catalogue-server [serve] --db FILE [--listen ADDRESS] [--port N] [--demo]\n"
    "                           [--localization FILE]\n"
    "  catalogue-server import --db FILE SOURCE...\n"
    "  catalogue-server export --db FILE\n"
    "  catalogue-server remove --db FILE ID...\n"
    "  catalogue-server --help\n"
    "\n"
    "serve    answers the viewers on ADDRESS (default 127.0.0.1) and port N (default 8077;\n"
    "         0 picks a free one). The first line of output is 'listening on http://HOST:PORT'.\n"
    "         The database is created on first use; --demo seeds an empty one with channels\n"
    "         whose streams this server generates itself under /media/. --localization names\n"
    "         the file served as /Languages/26/Localization.txt instead of the translations\n"
    "         shipped with the viewer.\n"
    "import   adds the channels of catalogue files (Data.txt form) and M3U/M3U8 playlists,\n"
    "         and prints how many were added, skipped and duplicate.\n"
    "export   writes the catalogue to standard output as catalogue lines (CR LF).\n"
    "remove   removes channels by id; viewers drop them with their next update.\n"
    "\n"
    "Exit codes: 0 success, 1 failure (database, file or network), 2 bad arguments.\n";

void err(const QString &text)
{
    std::fprintf(stderr, "catalogue-server: %s\n", qPrintable(text));
}

int usageError(const QString &text)
{
    err(text);
    std::fputs("Try 'catalogue-server --help'.\n", stderr);
    return ExitUsage;
}

struct Options
{
    QString command = u"serve"_s;
    QString db;
    QString listen = u"127.0.0.1"_s;
    int port = 8077;
    bool demo = false;
    // The translations shipped with the viewer, built into the server.
    QString localization = u":/localization/Localization.txt"_s;
    QStringList rest;
    bool help = false;
};

// Returns an error text, or nothing on success.
std::optional<QString> parseArguments(const QStringList &args, Options &o)
{
    int i = 1;
    if (i < args.size() && !args[i].startsWith(u'-')) {
        o.command = args[i++];
        if (o.command != u"serve" && o.command != u"import" && o.command != u"export" &&
            o.command != u"remove")
            return u"unknown command '%1'"_s.arg(o.command);
    }
    for (; i < args.size(); ++i) {
        const QString &a = args[i];
        auto next = [&](QString &out) -> bool {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        if (a == u"--help" || a == u"-h") {
            o.help = true;
        } else if (a == u"--db") {
            if (!next(o.db))
                return u"--db needs a file"_s;
        } else if (a == u"--listen" && o.command == u"serve") {
            if (!next(o.listen))
                return u"--listen needs an address"_s;
        } else if (a == u"--port" && o.command == u"serve") {
            QString text;
            bool ok = false;
            if (!next(text) || (o.port = text.toInt(&ok), !ok) || o.port < 0 || o.port > 65535)
                return u"--port needs a number from 0 to 65535"_s;
        } else if (a == u"--demo" && o.command == u"serve") {
            o.demo = true;
        } else if (a == u"--localization" && o.command == u"serve") {
            if (!next(o.localization))
                return u"--localization needs a file"_s;
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return u"unknown option '%1'"_s.arg(a);
        } else if (o.command == u"import" || o.command == u"remove") {
            o.rest.append(a);
        } else {
            return u"unexpected argument '%1'"_s.arg(a);
        }
    }
    if (o.help)
        return std::nullopt;
    if (o.db.isEmpty())
        return u"--db FILE is required"_s;
    if ((o.command == u"import" || o.command == u"remove") && o.rest.isEmpty())
        return o.command == u"import" ? u"import needs at least one SOURCE"_s
                                      : u"remove needs at least one ID"_s;
    return std::nullopt;
}

int serve(const Options &o, CatalogueStore &store)
{
    QHostAddress address;
    if (!address.setAddress(o.listen))
        return usageError(u"--listen: '%1' is not an IP address"_s.arg(o.listen));
    CataloguePages pages(store, o.localization);
    CatalogueHttpServer server(pages);
    const quint16 port = server.listen(address, quint16(o.port));
    if (port == 0) {
        err(u"cannot listen on %1:%2"_s.arg(o.listen).arg(o.port));
        return ExitFailure;
    }
    const QString host =
        address == QHostAddress::Any || address == QHostAddress::AnyIPv4 ||
                address == QHostAddress::AnyIPv6
            ? u"127.0.0.1"_s
            : (address.protocol() == QAbstractSocket::IPv6Protocol ? u"[%1]"_s.arg(o.listen)
                                                                   : o.listen);
    const QString base = u"http://%1:%2"_s.arg(host).arg(port);
    if (o.demo) {
        auto empty = store.isEmpty();
        if (!empty) {
            err(empty.error().message);
            return ExitFailure;
        }
        if (empty.value()) {
            for (const NewChannel &c : demo::channels(base)) {
                if (auto r = store.addChannel(c); !r) {
                    err(r.error().message);
                    return ExitFailure;
                }
            }
        }
    }
    std::printf("listening on %s\n", qPrintable(base));
    std::fflush(stdout);
    return QCoreApplication::exec() == 0 ? ExitOk : ExitFailure;
}

int importSources(const Options &o, CatalogueStore &store)
{
    int exit = ExitOk;
    for (const QString &source : o.rest) {
        auto counts = importSource(store, source);
        if (!counts) {
            err(counts.error().message);
            exit = ExitFailure;
            continue;
        }
        std::printf("%s: added %lld, skipped %lld, duplicate %lld\n", qPrintable(source),
                    counts.value().added, counts.value().skipped, counts.value().duplicate);
    }
    return exit;
}

int exportCatalogue(CatalogueStore &store)
{
    auto lines = store.exportCatalogue();
    if (!lines) {
        err(lines.error().message);
        return ExitFailure;
    }
    const QByteArray &bytes = lines.value();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0) {
        err(u"cannot write the catalogue"_s);
        return ExitFailure;
    }
    return ExitOk;
}

int removeChannels(const Options &o, CatalogueStore &store)
{
    int exit = ExitOk;
    for (const QString &text : o.rest) {
        bool ok = false;
        const qint64 id = text.toLongLong(&ok);
        if (!ok)
            return usageError(u"'%1' is not a channel id"_s.arg(text));
        auto removed = store.removeChannel(id);
        if (!removed) {
            err(removed.error().message);
            return ExitFailure;
        }
        if (!removed.value()) {
            err(u"no channel %1"_s.arg(id));
            exit = ExitFailure;
        }
    }
    return exit;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"catalogue-server"_s);
    Options o;
    if (const auto problem = parseArguments(QCoreApplication::arguments(), o))
        return usageError(*problem);
    if (o.help) {
        std::fputs(kUsage, stdout);
        return ExitOk;
    }
    auto store = CatalogueStore::open(o.db);
    if (!store) {
        err(store.error().message);
        return ExitFailure;
    }
    if (o.command == u"import")
        return importSources(o, *store.value());
    if (o.command == u"export")
        return exportCatalogue(*store.value());
    if (o.command == u"remove")
        return removeChannels(o, *store.value());
    return serve(o, *store.value());
}
