#pragma once

#include "catalogue/catalogueview.h"

namespace mavrel::test {

// A load as the tests look at it: the rows it left beside what it gave back, or why it failed.
struct LoadedList : CatalogueLoad
{
    ChannelRows rows;
    bool loadFailed = false;
    QString errorMessage;
    bool failed() const { return loadFailed; }
};

inline LoadedList loadList(const QString &catalogueFile, CatalogueViewState &state,
                           const MessageLookup &messages)
{
    LoadedList seen;
    Result<CatalogueLoad> load = loadChannelList(catalogueFile, state, messages, seen.rows);
    if (load) {
        static_cast<CatalogueLoad &>(seen) = std::move(load).value();
    } else {
        seen.loadFailed = true;
        seen.errorMessage = load.error().message;
    }
    return seen;
}

} // namespace mavrel::test
