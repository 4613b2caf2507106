#pragma once

#include "platform/result.h"

#include <QStringList>

#include <cstdio>
#include <optional>

namespace mavrel {

// The viewer takes no arguments but answers --help and --version, as programs on Linux do.

// Answers --help, -h and --version from the raw arguments, before a display is needed; returns
// the exit code when the program should end.
std::optional<int> answerInformationOptions(int argc, const char *const *argv, std::FILE *out);

// The arguments left once Qt has taken its own (-platform, -style, ...): any of them is an error,
// its message the lines for standard error and its code the exit code, 2.
Result<void> checkArguments(const QStringList &arguments);

} // namespace mavrel
