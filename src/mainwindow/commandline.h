#pragma once

#include <QStringList>

#include <cstdio>
#include <optional>

namespace mavrel {

// The viewer takes no arguments but answers --help and --version, as programs on Linux do.

// Answers --help, -h and --version from the raw arguments, before a display is needed; returns
// the exit code when the program should end.
std::optional<int> answerInformationOptions(int argc, const char *const *argv, std::FILE *out);

// The arguments left once Qt has taken its own (-platform, -style, ...): any of them is an error,
// reported on `err` with exit code 2.
std::optional<int> refuseArguments(const QStringList &arguments, std::FILE *err);

} // namespace mavrel
