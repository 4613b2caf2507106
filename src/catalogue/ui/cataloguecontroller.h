#pragma once

#include "catalogue/catalogueview.h"

#include <QString>

namespace mavrel {

class ChannelListModel;

// Runs the catalogue load for the main window's view state and hands its rows to the list
// model; the window applies the rest (language list, status line, failure box).
class CatalogueController
{
public:
    CatalogueController(ChannelListModel &model, MessageLookup messages);

    void setCatalogueFile(const QString &path) { m_catalogueFile = path; }
    const QString &catalogueFile() const { return m_catalogueFile; }
    CatalogueViewState &state() { return m_state; }
    const CatalogueViewState &state() const { return m_state; }

    // False before the first catalogue has been downloaded: no file, so nothing to report as
    // missing or damaged.
    bool catalogueExists() const;

    // Hands the rows to the list model, those read before a failure too.
    Result<CatalogueLoad> load();
    void clearRows();

private:
    ChannelListModel &m_model;
    MessageLookup m_messages;
    QString m_catalogueFile;
    CatalogueViewState m_state;
};

} // namespace mavrel
