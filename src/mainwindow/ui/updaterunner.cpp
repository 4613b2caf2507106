#include "mainwindow/ui/updaterunner.h"

#include "online/catalogueupdate.h"
#include "online/serveraddress.h"
#include "platform/dialogs.h"

namespace mavrel {

UpdateRunner::UpdateRunner(Hooks hooks, QObject *parent)
    : QObject(parent), m_hooks(std::move(hooks))
{}

void UpdateRunner::run(UpdateList list)
{
    if (m_running)
        return;
    m_running = true;
    UpdateContext context;
    context.server = catalogueServerAddress();
    context.dataDirectory = m_hooks.dataDirectory();
    context.owner = this;
    context.setStatus = m_hooks.setStatus;
    context.showMessage = [](const QString &text) { messageBox(text, DialogButtons::Ok); };
    context.showChannels = m_hooks.showChannels;
    context.message = m_hooks.message;
    const Result<UpdateOutcome> done = updateChannels(context, list);
    // The window went away meanwhile, and this with it.
    if (done || done.error().code != kUpdateOwnerGone)
        m_running = false;
}

} // namespace mavrel
