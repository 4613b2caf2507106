#include "platform/widgets/qtdialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QMessageBox::StandardButton standardButton(DialogAnswer answer)
{
    switch (answer) {
    case DialogAnswer::Ok:
        return QMessageBox::Ok;
    case DialogAnswer::Cancel:
        return QMessageBox::Cancel;
    case DialogAnswer::Abort:
        return QMessageBox::Abort;
    case DialogAnswer::Retry:
        return QMessageBox::Retry;
    case DialogAnswer::Ignore:
        return QMessageBox::Ignore;
    case DialogAnswer::Yes:
        return QMessageBox::Yes;
    case DialogAnswer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon messageIcon(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::None:
        return QMessageBox::NoIcon;
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::Question:
        return QMessageBox::Question;
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Stored texts break lines with CR LF; a label wants LF alone.
QString displayLines(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    return text;
}

} // namespace

DialogAnswer QtDialogs::showMessage(const MessageBoxRequest &request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(request.title);
    box.setTextFormat(Qt::PlainText);
    box.setText(displayLines(request.text));
    // Addresses and paths in a box are there to be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.setIcon(messageIcon(request.icon));
    const QList<DialogAnswer> answers = answersOf(request.buttons);
    QMessageBox::StandardButtons buttons;
    for (DialogAnswer answer : answers)
        buttons |= standardButton(answer);
    box.setStandardButtons(buttons);
    box.setDefaultButton(standardButton(request.defaultButton.value_or(answers.first())));
    // Closing the box answers Cancel where there is one, else the default button.
    if (answers.contains(DialogAnswer::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    const int pressed = box.exec();
    for (DialogAnswer answer : answers) {
        if (pressed == standardButton(answer))
            return answer;
    }
    return request.defaultButton.value_or(answers.first());
}

std::optional<QString> QtDialogs::showInput(const InputRequest &request)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), request.title,
                                               displayLines(request.prompt), QLineEdit::Normal,
                                               request.defaultText, &accepted);
    if (!accepted)
        return std::nullopt;
    return text;
}

std::optional<QString> QtDialogs::showFileChooser(const FileRequest &request)
{
    QWidget *parent = QApplication::activeWindow();
    const QString path =
        request.mode == FileRequest::Mode::Open
            ? QFileDialog::getOpenFileName(parent, request.title, request.path, request.filter)
            : QFileDialog::getSaveFileName(parent, request.title, request.path, request.filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace mavrel
