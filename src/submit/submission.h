#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace mavrel {

// What the user typed into the submission section, as bytes.
struct SubmissionInput
{
    QByteArray name;
    QByteArray typeText; // the text of the kind box: "TV/Video" or "Radio/Music"
    QByteArray lang;
    QByteArray rating;
    QByteArray url;
};

// "TV" or "Radio" for the exact texts of the kind box; nothing for anything else.
std::optional<QByteArray> submittedKind(QByteArrayView typeText);

// Fails with the first refusal that applies, in the order kind, address, name, language. Fields
// are not trimmed.
Result<void> checkSubmission(const SubmissionInput &input);

// The full address of the submission. Every value travels percent-encoded byte for byte, so a
// name holding "&" or "#" arrives whole; the address is scrambled first. Fails when the address
// is too long to scramble or the kind is not one of the two.
Result<QByteArray> buildSubmissionAddress(QByteArrayView serverAddress,
                                          const SubmissionInput &input);

enum class SubmitOutcome
{
    Failed,    // no reply, or one without "|"
    Submitted, // SUCCESS
    Duplicate, // DUPE
    Refused,   // any other status word
};

SubmitOutcome parseSubmitReply(QByteArrayView body);

// The status-bar text after a submitted or duplicate reply.
QString submitStatusText(SubmitOutcome outcome, const QString &name, bool addsFavorite);

// The message box text after a failed or refused reply.
QString submitErrorText(SubmitOutcome outcome);

} // namespace mavrel
