#include "submit/submission.h"

#include "catalogue/scramble.h"
#include "online/querytext.h"

namespace mavrel {

std::optional<QByteArray> submittedKind(QByteArrayView typeText)
{
    if (typeText == "Radio/Music")
        return QByteArrayLiteral("Radio");
    if (typeText == "TV/Video")
        return QByteArrayLiteral("TV");
    return std::nullopt;
}

Result<void> checkSubmission(const SubmissionInput &input)
{
    if (!submittedKind(input.typeText))
        return Result<void>::failure(
            QStringLiteral("Error: You must choose 'Radio/Music' or 'TV/Video'"));
    if (input.url.isEmpty() || input.url == "http://")
        return Result<void>::failure(QStringLiteral("You must enter a URL"));
    if (input.name.isEmpty())
        return Result<void>::failure(QStringLiteral("Error: You must enter a channel name"));
    if (input.lang.isEmpty())
        return Result<void>::failure(QStringLiteral("Error: You must enter a channel language"));
    return {};
}

Result<QByteArray> buildSubmissionAddress(QByteArrayView serverAddress,
                                          const SubmissionInput &input)
{
    const auto kind = submittedKind(input.typeText);
    if (!kind)
        return Result<QByteArray>::failure(QStringLiteral("unknown channel kind"));
    auto scrambled = encryptString(input.url);
    if (!scrambled.ok())
        return scrambled;
    return serverAddress.toByteArray() + "/ostrel/submit.asp?" +
           buildQuery({{"name", input.name},
                       {"type", *kind},
                       {"lang", input.lang},
                       {"rating", input.rating},
                       {"url", scrambled.value()}});
}

SubmitOutcome parseSubmitReply(QByteArrayView body)
{
    const qsizetype bar = body.indexOf('|');
    if (bar < 0)
        return SubmitOutcome::Failed;
    const QByteArrayView word = body.first(bar);
    if (word == "SUCCESS")
        return SubmitOutcome::Submitted;
    if (word == "DUPE")
        return SubmitOutcome::Duplicate;
    return SubmitOutcome::Refused;
}

QString submitStatusText(SubmitOutcome outcome, const QString &name, bool addsFavorite)
{
    if (outcome == SubmitOutcome::Submitted)
        return name + QStringLiteral(" submitted!  Thank you!");
    if (addsFavorite)
        return name +
               QStringLiteral(
                   " is a duplicate submission.  It has still beed added to your favorites.");
    return name + QStringLiteral(" is a duplicate submission.");
}

QString submitErrorText(SubmitOutcome outcome)
{
    if (outcome == SubmitOutcome::Failed)
        return QStringLiteral("There was an error submitting your channel.  Please try again or "
                              "check your internet connection.");
    return QStringLiteral("There was an error submitting your channel.  Please check the contents "
                          "of your submission for non-ascii characters, punctuation or illegal "
                          "characters.");
}

} // namespace mavrel
