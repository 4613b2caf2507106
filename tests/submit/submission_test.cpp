#include "submit/submission.h"

#include "catalogue/scramble.h"
#include "online/urlbytes.h"
#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace mavrel;

TEST(Submission, RefusalsInOrder)
{
    const SubmissionInput ok{"Name", "TV/Video", "English", "5", "http://a.example/x.asx"};
    struct Case
    {
        SubmissionInput input;
        const char *refusal; // nullptr: sent
    };
    auto with = [&](auto change) {
        SubmissionInput in = ok;
        change(in);
        return in;
    };
    const Case cases[] = {
        {ok, nullptr},
        {with([](auto &i) { i.typeText = "tv/video"; }),
         "Error: You must choose 'Radio/Music' or 'TV/Video'"},
        {with([](auto &i) { i.typeText = "Radio"; }),
         "Error: You must choose 'Radio/Music' or 'TV/Video'"},
        {with([](auto &i) { i.url = "http://"; }), "You must enter a URL"},
        {with([](auto &i) { i.url = "HTTP://"; }), nullptr},
        {with([](auto &i) {
             i.url.clear();
             i.name.clear();
         }),
         "You must enter a URL"},
        {with([](auto &i) { i.name.clear(); }), "Error: You must enter a channel name"},
        {with([](auto &i) { i.name = "  "; }), nullptr},
        {with([](auto &i) {
             i.name.clear();
             i.lang.clear();
         }),
         "Error: You must enter a channel name"},
        {with([](auto &i) { i.lang.clear(); }), "Error: You must enter a channel language"},
    };
    for (const Case &c : cases) {
        const Result<void> checked = checkSubmission(c.input);
        EXPECT_EQ(checked ? QString() : checked.error().message,
                  c.refusal ? QString::fromLatin1(c.refusal) : QString())
            << c.input.typeText.constData() << "|" << c.input.url.constData();
    }
}

TEST(Submission, QueryCarriesEveryValueWhole)
{
    const SubmissionInput in{"Rock & Roll #1", "Radio/Music", "Deutsch", "4",
                             "http://a.example/x.asx?a=1&b=2"};
    const auto address = buildSubmissionAddress("http://127.0.0.1:8080", in);
    ASSERT_TRUE(address.ok());
    const QByteArray expected = "http://127.0.0.1:8080/ostrel/submit.asp?name=Rock%20%26%20Roll%20%"
                                "231&type=Radio&lang=Deutsch&rating=4&url=" +
                                percentEncodeBytes(encryptString(in.url).value());
    EXPECT_EQ(address.value(), expected);
    EXPECT_FALSE(buildSubmissionAddress("x", SubmissionInput{"n", "TV", "l", "1", "u"}).ok());
}

TEST(Submission, RepliesAndTheirTexts)
{
    struct Case
    {
        QByteArray body;
        SubmitOutcome outcome;
    };
    const Case cases[] = {
        {"SUCCESS|12|", SubmitOutcome::Submitted}, {"DUPE|", SubmitOutcome::Duplicate},
        {"SUCCESS", SubmitOutcome::Failed},        {"", SubmitOutcome::Failed},
        {"REFUSED|bad|", SubmitOutcome::Refused},  {"success|1|", SubmitOutcome::Refused},
        {"|SUCCESS|", SubmitOutcome::Refused},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseSubmitReply(c.body), c.outcome) << c.body.constData();

    EXPECT_EQ(submitStatusText(SubmitOutcome::Submitted, u"N"_qs, true),
              u"N submitted!  Thank you!"_qs);
    EXPECT_EQ(submitStatusText(SubmitOutcome::Duplicate, u"N"_qs, true),
              u"N is a duplicate submission.  It has still beed added to your favorites."_qs);
    EXPECT_EQ(submitStatusText(SubmitOutcome::Duplicate, u"N"_qs, false),
              u"N is a duplicate submission."_qs);
    EXPECT_TRUE(submitErrorText(SubmitOutcome::Failed).contains(u"internet connection"_qs));
    EXPECT_TRUE(submitErrorText(SubmitOutcome::Refused).contains(u"non-ascii characters"_qs));
}
