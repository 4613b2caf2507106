#include "catalogue/ui/cataloguecontroller.h"

#include "catalogue/ui/channellistmodel.h"
#include "platform/files.h"

namespace mavrel {

CatalogueController::CatalogueController(ChannelListModel &model, MessageLookup messages)
    : m_model(model), m_messages(std::move(messages))
{}

Result<CatalogueLoad> CatalogueController::load()
{
    m_model.clear();
    ChannelRows rows;
    Result<CatalogueLoad> result = loadChannelList(m_catalogueFile, m_state, m_messages, rows);
    m_model.setRows(std::move(rows));
    return result;
}

bool CatalogueController::catalogueExists() const
{
    return fileExists(m_catalogueFile);
}

void CatalogueController::clearRows()
{
    m_model.clear();
}

} // namespace mavrel
