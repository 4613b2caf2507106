#pragma once

#include <QList>
#include <QString>

#include <optional>

// Every modal box and prompt of the product goes through this seam, so that windows stay testable:
// the application installs the Qt implementation at start-up, tests install ScriptedDialogs.
namespace mavrel {

enum class DialogButtons
{
    Ok,
    OkCancel,
    AbortRetryIgnore,
    YesNoCancel,
    YesNo,
    RetryCancel,
};

enum class DialogIcon
{
    None,
    Information,
    Question,
    Warning,
    Critical,
};

enum class DialogAnswer
{
    Ok,
    Cancel,
    Abort,
    Retry,
    Ignore,
    Yes,
    No,
};

// The answers a set of buttons offers, in the order the buttons are shown.
QList<DialogAnswer> answersOf(DialogButtons buttons);

struct MessageBoxRequest
{
    QString text;
    QString title; // empty: the product name
    DialogButtons buttons = DialogButtons::Ok;
    DialogIcon icon = DialogIcon::None;
    std::optional<DialogAnswer> defaultButton; // unset or not among the buttons: the first button
};

struct InputRequest
{
    QString prompt;
    QString title; // empty: the product name
    QString defaultText;
};

struct FileRequest
{
    enum class Mode
    {
        Open, // an existing file to read
        Save, // a file to write, asking before one is replaced
    };
    Mode mode = Mode::Open;
    QString title;  // empty: the product name
    QString path;   // the folder to start in, or the suggested file
    QString filter; // "Playlists (*.m3u *.m3u8);;All files (*)"
};

class Dialogs
{
public:
    virtual ~Dialogs();

    // Fills in the product name for an empty title and a valid default button, then asks the
    // implementation. The answer is always one of the request's buttons.
    DialogAnswer message(MessageBoxRequest request);
    // The entered text, or nullopt when the user cancelled.
    std::optional<QString> input(InputRequest request);
    // The file chosen, or nullopt when the user cancelled.
    std::optional<QString> chooseFile(FileRequest request);

protected:
    virtual DialogAnswer showMessage(const MessageBoxRequest &request) = 0;
    virtual std::optional<QString> showInput(const InputRequest &request) = 0;
    virtual std::optional<QString> showFileChooser(const FileRequest &request) = 0;
};

// The implementation in use. Until one is installed, every box answers its default button and
// every prompt and file chooser is cancelled (nothing ever blocks).
Dialogs &dialogs();
// Installs `implementation` (not owned; nullptr restores the non-interactive fallback) and
// returns the one it replaces.
Dialogs *setDialogs(Dialogs *implementation);

// Shorthand for the common case.
DialogAnswer messageBox(const QString &text, DialogButtons buttons = DialogButtons::Ok,
                        const QString &title = {}, DialogIcon icon = DialogIcon::None,
                        std::optional<DialogAnswer> defaultButton = std::nullopt);

} // namespace mavrel
