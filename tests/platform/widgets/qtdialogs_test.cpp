#include "platform/widgets/qtdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "qstringprinter.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

// Runs `act` on the modal box as soon as it is up.
void whenModalShown(std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

class QtDialogsTest : public testing::Test
{
protected:
    void SetUp() override { m_previous = setDialogs(&m_dialogs); }
    void TearDown() override { setDialogs(m_previous); }

    QtDialogs m_dialogs;
    Dialogs *m_previous = nullptr;
};

TEST_F(QtDialogsTest, MessageBoxShowsTheRequestAndReturnsTheClickedButton)
{
    struct Seen
    {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::Warning;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    } seen;
    whenModalShown([&seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) { // never leave a test waiting on an unexpected window
            ADD_FAILURE() << "not a message box";
            modal->close();
            return;
        }
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.defaultButton = box->standardButton(box->defaultButton());
        box->button(QMessageBox::Retry)->click();
    });
    const DialogAnswer answer =
        messageBox(u"First line\r\n\r\nSecond"_s, DialogButtons::AbortRetryIgnore,
                   u"Permission Denied"_s, DialogIcon::None, DialogAnswer::Abort);
    EXPECT_EQ(answer, DialogAnswer::Retry);
    EXPECT_EQ(seen.title, u"Permission Denied"_s);
    EXPECT_EQ(seen.text, u"First line\n\nSecond"_s);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Abort);
}

TEST_F(QtDialogsTest, PromptReturnsTextOrNothing)
{
    whenModalShown([](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        if (!dialog) {
            ADD_FAILURE() << "not an input dialog";
            modal->close();
            return;
        }
        EXPECT_EQ(dialog->textValue(), u"preset"_s);
        dialog->setTextValue(u"typed"_s);
        dialog->accept();
    });
    EXPECT_EQ(dialogs().input({u"Name?"_s, u"Ask"_s, u"preset"_s}), u"typed"_s);

    whenModalShown([](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); });
    EXPECT_EQ(dialogs().input({u"Name?"_s, {}, {}}), std::nullopt);
}

} // namespace
