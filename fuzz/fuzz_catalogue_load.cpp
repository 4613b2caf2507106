// The channel list load on arbitrary catalogue files.
#include "catalogue/catalogueview.h"
#include "fuzzcheck.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

QString message(const QString &key)
{
    return u"<"_s + key + u">"_s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(u"Data.txt"_s);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    const CatalogueViewState states[] = {
        {u"TV"_s, u"All"_s, true, 3},     {u"Radio"_s, u"en"_s, true, 3},
        {QString(), QString(), false, 3}, {u"T\u00e9l\u00e9"_s, u"\u00c9"_s, true, 3},
        {u"tv"_s, u"all"_s, true, 3},
    };
    for (const CatalogueViewState &initial : states) {
        CatalogueViewState state = initial;
        ChannelRows rows;
        const Result<CatalogueLoad> loaded = loadChannelList(path, state, message, rows);
        if (!loaded) {
            check(state.rebuildLangList == initial.rebuildLangList && state.langCount == 3);
        } else {
            const CatalogueLoad &load = loaded.value();
            check(load.shown == qsizetype(rows.size()));
            check(load.shown <= load.total);
            check(load.languages.has_value() == initial.rebuildLangList);
            check(!state.rebuildLangList);
            if (load.languages)
                check(state.langCount == load.languages->size());
        }
    }
    return 0;
}
