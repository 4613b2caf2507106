#include "platform/scripteddialogs.h"

namespace mavrel {

void ScriptedDialogs::pushAnswer(DialogAnswer answer)
{
    m_answers.enqueue(answer);
}

void ScriptedDialogs::pushInput(std::optional<QString> text)
{
    m_inputs.enqueue(std::move(text));
}

void ScriptedDialogs::pushFileName(std::optional<QString> path)
{
    m_fileNames.enqueue(std::move(path));
}

void ScriptedDialogs::clear()
{
    m_answers.clear();
    m_inputs.clear();
    m_fileNames.clear();
    m_shown.clear();
}

DialogAnswer ScriptedDialogs::showMessage(const MessageBoxRequest &request)
{
    // message() has already filled in the title and a valid default button.
    DialogAnswer answer = m_answers.isEmpty() ? *request.defaultButton : m_answers.dequeue();
    if (!answersOf(request.buttons).contains(answer))
        answer = *request.defaultButton;
    Shown shown;
    shown.title = request.title;
    shown.text = request.text;
    shown.buttons = request.buttons;
    shown.icon = request.icon;
    shown.defaultButton = *request.defaultButton;
    shown.answer = answer;
    m_shown.append(shown);
    if (m_onShown)
        m_onShown(m_shown.last());
    return answer;
}

std::optional<QString> ScriptedDialogs::showInput(const InputRequest &request)
{
    std::optional<QString> text = m_inputs.isEmpty() ? std::nullopt : m_inputs.dequeue();
    Shown shown;
    shown.isInput = true;
    shown.title = request.title;
    shown.text = request.prompt;
    shown.defaultText = request.defaultText;
    shown.inputText = text;
    m_shown.append(shown);
    if (m_onShown)
        m_onShown(m_shown.last());
    return text;
}

std::optional<QString> ScriptedDialogs::showFileChooser(const FileRequest &request)
{
    std::optional<QString> path = m_fileNames.isEmpty() ? std::nullopt : m_fileNames.dequeue();
    Shown shown;
    shown.isFileChooser = true;
    shown.title = request.title;
    shown.text = request.title;
    shown.defaultText = request.path;
    shown.inputText = path;
    m_shown.append(shown);
    if (m_onShown)
        m_onShown(m_shown.last());
    return path;
}

} // namespace mavrel
