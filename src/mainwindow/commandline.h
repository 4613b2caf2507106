#pragma once

#include "platform/result.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace mavrel {

// The viewer takes files and addresses to play, and answers --help and --version, as programs on
// Linux do.

// Answers --help, -h and --version from the raw arguments, before a display is needed; returns
// the exit code when the program should end.
std::optional<int> answerInformationOptions(int argc, const char *const *argv, std::FILE *out);

// What the command line asks to open: the addresses in their order, and every argument refused
// (an unsupported scheme, say).
struct OpenRequest
{
    struct Refusal
    {
        QString text; // as shownTargetText shows it
        QString why;  // English, one line, for standard error
    };
    QList<QUrl> targets;
    QList<Refusal> refused;
};

// The arguments left once Qt has taken its own (-platform, -style, ...), the program's name
// first. Files and addresses become targets (openTargetFromText, relative paths against
// `workingFolder`); "--" ends the options. An unknown option is an error: its message the lines
// for standard error and its code the exit code, 2.
Result<OpenRequest> parseArguments(const QStringList &arguments, const QString &workingFolder);

} // namespace mavrel
