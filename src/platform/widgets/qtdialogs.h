#pragma once

#include "platform/dialogs.h"

namespace mavrel {

// The message boxes and prompts the user sees: QMessageBox and QInputDialog, modal to the
// active window. Install it once at start-up with setDialogs().
class QtDialogs final : public Dialogs
{
protected:
    DialogAnswer showMessage(const MessageBoxRequest &request) override;
    std::optional<QString> showInput(const InputRequest &request) override;
};

} // namespace mavrel
