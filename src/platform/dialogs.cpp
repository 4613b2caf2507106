#include "platform/dialogs.h"

#include "branding/branding.h"

namespace mavrel {

namespace {

// Used until the application installs its own: answers without asking, so that code running
// without windows (tests, the server) never blocks on a box.
class FallbackDialogs final : public Dialogs
{
protected:
    DialogAnswer showMessage(const MessageBoxRequest &request) override
    {
        return *request.defaultButton;
    }
    std::optional<QString> showInput(const InputRequest &) override { return std::nullopt; }
    std::optional<QString> showFileChooser(const FileRequest &) override { return std::nullopt; }
};

FallbackDialogs &fallback()
{
    static FallbackDialogs instance;
    return instance;
}

Dialogs *g_current = nullptr;

} // namespace

QList<DialogAnswer> answersOf(DialogButtons buttons)
{
    switch (buttons) {
    case DialogButtons::Ok:
        return {DialogAnswer::Ok};
    case DialogButtons::OkCancel:
        return {DialogAnswer::Ok, DialogAnswer::Cancel};
    case DialogButtons::AbortRetryIgnore:
        return {DialogAnswer::Abort, DialogAnswer::Retry, DialogAnswer::Ignore};
    case DialogButtons::YesNoCancel:
        return {DialogAnswer::Yes, DialogAnswer::No, DialogAnswer::Cancel};
    case DialogButtons::YesNo:
        return {DialogAnswer::Yes, DialogAnswer::No};
    case DialogButtons::RetryCancel:
        return {DialogAnswer::Retry, DialogAnswer::Cancel};
    }
    return {DialogAnswer::Ok};
}

Dialogs::~Dialogs() = default;

DialogAnswer Dialogs::message(MessageBoxRequest request)
{
    if (request.title.isEmpty())
        request.title = branding().productName;
    const QList<DialogAnswer> answers = answersOf(request.buttons);
    if (!request.defaultButton || !answers.contains(*request.defaultButton))
        request.defaultButton = answers.first();
    const DialogAnswer answer = showMessage(request);
    return answers.contains(answer) ? answer : *request.defaultButton;
}

std::optional<QString> Dialogs::input(InputRequest request)
{
    if (request.title.isEmpty())
        request.title = branding().productName;
    return showInput(request);
}

std::optional<QString> Dialogs::chooseFile(FileRequest request)
{
    if (request.title.isEmpty())
        request.title = branding().productName;
    return showFileChooser(request);
}

Dialogs &dialogs()
{
    return g_current ? *g_current : static_cast<Dialogs &>(fallback());
}

Dialogs *setDialogs(Dialogs *implementation)
{
    Dialogs *previous = g_current;
    g_current = implementation;
    return previous;
}

DialogAnswer messageBox(const QString &text, DialogButtons buttons, const QString &title,
                        DialogIcon icon, std::optional<DialogAnswer> defaultButton)
{
    return dialogs().message(MessageBoxRequest{text, title, buttons, icon, defaultButton});
}

} // namespace mavrel
