#pragma once

#include "platform/dialogs.h"

namespace mavrel {

// The message boxes and prompts the user sees: QMessageBox, QInputDialog and QFileDialog, modal to
// the active window. Install it once at start-up with setDialogs().
class QtDialogs final : public Dialogs
{
protected:
    DialogAnswer showMessage(const MessageBoxRequest &request) override;
    std::optional<QString> showInput(const InputRequest &request) override;
    std::optional<QString> showFileChooser(const FileRequest &request) override;
};

} // namespace mavrel
