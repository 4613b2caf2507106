#include "mainwindow/commandline.h"

#include "branding/branding.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr auto kHelp = R"(Usage: %1 [--help | --version]

%2, a viewer for internet television, radio and video streams. It takes no arguments
besides these and the usual Qt options (-platform, -style, ...).

  -h, --help     show this text and exit
  --version      show the version and exit

Environment:
  MAVREL_CATALOGUE_URL   address of the catalogue server
  MAVREL_VIDEOSITE_URL   address of the video site
  MAVREL_DATA_DIR        folder of the catalogue (default ~/.local/share/RUZAV)
  MAVREL_APP_DIR         folder of favourites, localisation and help (default
                         ~/.local/share/%2, or the program's folder for a portable copy)
  MAVREL_NO_SOUND        play without sound output

See the manual page %1(1) for more.
)";

QString programName()
{
    return branding().productName.toLower();
}

} // namespace

std::optional<int> answerInformationOptions(int argc, const char *const *argv, std::FILE *out)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            const QString text =
                QString::fromUtf8(kHelp).arg(programName(), branding().productName);
            std::fputs(text.toUtf8().constData(), out);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            const Branding &b = branding();
            std::fprintf(out, "%s %d.%d\n", qPrintable(programName()), b.versionMajor,
                         b.versionMinor);
            return 0;
        }
    }
    return std::nullopt;
}

Result<void> checkArguments(const QStringList &arguments)
{
    if (arguments.size() < 2)
        return {};
    const QString name = programName();
    return Result<void>::failure(
        u"%1: unexpected argument '%2'\nTry '%1 --help'.\n"_s.arg(name, arguments.at(1)), 2);
}

} // namespace mavrel
