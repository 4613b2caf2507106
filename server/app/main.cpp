// catalogue-server: serves the catalogue to viewers, imports and exports it. The options are in
// options.h, the commands in commands.h.

#include "buildconfig.h"
#include "server/app/commands.h"
#include "server/app/options.h"
#include "server/http/ratelimitedlog.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace mavrel::server;
using namespace mavrel::server::app;

int main(int argc, char **argv)
{
    // Before any thread: the environment is changed.
    const PassedSocket passed = takePassedSocket();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"catalogue-server"_s);
    limitQtMessages();
    if (QCoreApplication::arguments().value(1) == u"--version") {
        std::printf("catalogue-server %d.%d\n", MAVREL_VERSION_MAJOR, MAVREL_VERSION_MINOR);
        return ExitOk;
    }
    Options o;
    if (const mavrel::Result<void> parsed = parseArguments(QCoreApplication::arguments(), o);
        !parsed)
        return usageError(parsed.error().message);
    if (o.help) {
        std::fputs(kUsage, stdout);
        return ExitOk;
    }
    auto store = CatalogueStore::open(o.db);
    if (!store) {
        err(store.error().message);
        return ExitFailure;
    }
    if (o.command == u"import" || o.command == u"sync")
        return importSources(o, *store.value());
    if (o.command == u"export")
        return exportCatalogue(*store.value());
    if (o.command == u"remove")
        return removeChannels(o, *store.value());
    return serve(o, *store.value(), passed);
}
