#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <functional>
#include <optional>

namespace mavrel {

// A Dialogs for tests: answers from a queue and a record of everything shown. When the queue is
// empty a box answers its default button and a prompt is cancelled, so no test ever waits.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown
    {
        bool isInput = false;
        bool isFileChooser = false; // `text` is the title, `defaultText` the starting path
        QString title;
        QString text; // message text or prompt
        DialogButtons buttons = DialogButtons::Ok;
        DialogIcon icon = DialogIcon::None;
        DialogAnswer defaultButton = DialogAnswer::Ok;
        QString defaultText;
        // What the box answered (boxes) or the text entered, nullopt when cancelled (prompts).
        DialogAnswer answer = DialogAnswer::Ok;
        std::optional<QString> inputText;
    };

    // Queues the answer of the next box. An answer that is not among that box's buttons is
    // replaced by the box's default button (and recorded as such).
    void pushAnswer(DialogAnswer answer);
    // Queues the text of the next prompt; nullopt cancels it.
    void pushInput(std::optional<QString> text);
    // Queues the answer of the next file chooser; nullopt cancels it.
    void pushFileName(std::optional<QString> path);

    // Called with each box or prompt as it is shown, before its answer is returned (a test can
    // change the world there, e.g. make a retried operation succeed).
    void setOnShown(std::function<void(const Shown &)> callback)
    {
        m_onShown = std::move(callback);
    }

    const QList<Shown> &shown() const { return m_shown; }
    int pendingAnswers() const { return int(m_answers.size()); }
    int pendingInputs() const { return int(m_inputs.size()); }
    void clear();

protected:
    DialogAnswer showMessage(const MessageBoxRequest &request) override;
    std::optional<QString> showInput(const InputRequest &request) override;
    std::optional<QString> showFileChooser(const FileRequest &request) override;

private:
    QQueue<DialogAnswer> m_answers;
    QQueue<std::optional<QString>> m_inputs;
    QQueue<std::optional<QString>> m_fileNames;
    QList<Shown> m_shown;
    std::function<void(const Shown &)> m_onShown;
};

// Installs a ScriptedDialogs for the lifetime of the guard and restores the previous one.
class ScopedScriptedDialogs : public ScriptedDialogs
{
public:
    ScopedScriptedDialogs() : m_previous(setDialogs(this)) {}
    ~ScopedScriptedDialogs() override { setDialogs(m_previous); }
    ScopedScriptedDialogs(const ScopedScriptedDialogs &) = delete;
    ScopedScriptedDialogs &operator=(const ScopedScriptedDialogs &) = delete;

private:
    Dialogs *m_previous;
};

} // namespace mavrel
