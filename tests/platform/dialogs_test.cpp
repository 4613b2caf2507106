#include "branding/branding.h"
#include "platform/scripteddialogs.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

TEST(Dialogs, TitleAndDefaultButtonAreFilledIn)
{
    ScopedScriptedDialogs dialogs;
    struct Case
    {
        QString title;
        DialogButtons buttons;
        std::optional<DialogAnswer> defaultButton;
        QString shownTitle;
        DialogAnswer shownDefault;
    };
    const QString product = branding().productName;
    const Case cases[] = {
        {u""_s, DialogButtons::Ok, std::nullopt, product, DialogAnswer::Ok},
        {u"Own"_s, DialogButtons::YesNo, std::nullopt, u"Own"_s, DialogAnswer::Yes},
        {u""_s, DialogButtons::YesNoCancel, DialogAnswer::Cancel, product, DialogAnswer::Cancel},
        // A default that is not among the buttons falls back to the first button.
        {u""_s, DialogButtons::OkCancel, DialogAnswer::Retry, product, DialogAnswer::Ok},
        {u""_s, DialogButtons::AbortRetryIgnore, std::nullopt, product, DialogAnswer::Abort},
        {u""_s, DialogButtons::RetryCancel, DialogAnswer::Cancel, product, DialogAnswer::Cancel},
    };
    for (const Case &c : cases) {
        const DialogAnswer answer =
            messageBox(u"text"_s, c.buttons, c.title, DialogIcon::Warning, c.defaultButton);
        EXPECT_EQ(answer, c.shownDefault);
        EXPECT_EQ(dialogs.shown().last().title, c.shownTitle);
        EXPECT_EQ(dialogs.shown().last().defaultButton, c.shownDefault);
        EXPECT_EQ(dialogs.shown().last().icon, DialogIcon::Warning);
    }
}

TEST(Dialogs, ScriptedAnswersInOrder)
{
    ScopedScriptedDialogs dialogs;
    dialogs.pushAnswer(DialogAnswer::No);
    dialogs.pushAnswer(DialogAnswer::Ignore); // not a button of the next box
    dialogs.pushInput(u"typed"_s);
    dialogs.pushInput(std::nullopt);

    EXPECT_EQ(messageBox(u"first"_s, DialogButtons::YesNo), DialogAnswer::No);
    EXPECT_EQ(messageBox(u"second"_s, DialogButtons::OkCancel, {}, DialogIcon::None,
                         DialogAnswer::Cancel),
              DialogAnswer::Cancel);
    EXPECT_EQ(dialogs.input({u"Name?"_s, u""_s, u"preset"_s}), u"typed"_s);
    EXPECT_EQ(dialogs.input({u"Again?"_s, u"Ask"_s, u""_s}), std::nullopt);
    EXPECT_EQ(dialogs.input({u"Unscripted?"_s, u""_s, u""_s}), std::nullopt);

    ASSERT_EQ(dialogs.shown().size(), 5);
    EXPECT_EQ(dialogs.shown()[0].text, u"first"_s);
    EXPECT_EQ(dialogs.shown()[1].answer, DialogAnswer::Cancel);
    EXPECT_TRUE(dialogs.shown()[2].isInput);
    EXPECT_EQ(dialogs.shown()[2].text, u"Name?"_s);
    EXPECT_EQ(dialogs.shown()[2].title, branding().productName);
    EXPECT_EQ(dialogs.shown()[2].defaultText, u"preset"_s);
    EXPECT_EQ(dialogs.shown()[3].title, u"Ask"_s);
    EXPECT_EQ(dialogs.pendingAnswers(), 0);
    EXPECT_EQ(dialogs.pendingInputs(), 0);
}

TEST(Dialogs, GuardRestoresThePreviousImplementation)
{
    Dialogs *before = &mavrel::dialogs();
    {
        ScopedScriptedDialogs outer;
        EXPECT_EQ(&mavrel::dialogs(), &outer);
        {
            ScopedScriptedDialogs inner;
            messageBox(u"x"_s);
            EXPECT_EQ(inner.shown().size(), 1);
            EXPECT_TRUE(outer.shown().isEmpty());
        }
        EXPECT_EQ(&mavrel::dialogs(), &outer);
    }
    EXPECT_EQ(&mavrel::dialogs(), before);
    // Without an installed implementation nothing blocks: boxes answer their default.
    EXPECT_EQ(messageBox(u"x"_s, DialogButtons::YesNo, {}, DialogIcon::None, DialogAnswer::No),
              DialogAnswer::No);
    EXPECT_EQ(mavrel::dialogs().input({u"?"_s, {}, {}}), std::nullopt);
}

} // namespace
