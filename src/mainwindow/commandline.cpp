#include "mainwindow/commandline.h"

#include "branding/branding.h"
#include "mainwindow/opentarget.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr auto kHelp = R"(Usage: %1 [OPTION…] [FILE|URL…]

%2, a viewer for internet television, radio and video streams. It plays the files,
playlists and addresses it is given (http, https, mms, rtsp, rtmp and file), the first one at
once. When a viewer is already running, they go to it and it comes to the front; this start
then ends without a window. The usual Qt options (-platform, -style, ...) work too.

  -h, --help     show this text and exit
  --version      show the version and exit
  --             end the options: every argument after it is a file or an address

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
        // A file may be called "--help".
        if (std::strcmp(argv[i], "--") == 0)
            break;
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

Result<OpenRequest> parseArguments(const QStringList &arguments, const QString &workingFolder)
{
    OpenRequest request;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!optionsEnded && argument == u"--"_s) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(u'-') && argument != u"-"_s) {
            const QString name = programName();
            return Result<OpenRequest>::failure(
                u"%1: unknown option '%2'\nTry '%1 --help'.\n"_s.arg(name, argument), 2);
        }
        if (auto target = openTargetFromText(argument, workingFolder))
            request.targets.append(std::move(target).value());
        else
            request.refused.append({shownTargetText(argument), target.error().message});
    }
    return request;
}

} // namespace mavrel
