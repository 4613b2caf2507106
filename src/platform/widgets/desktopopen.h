#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace mavrel {

// Asks the desktop to open `url` (a web address, or a local file with its program). Where no
// program takes it, one box through the dialog seam gives the address, or the file's path, to
// copy; returns whether the desktop took it. What the user did not ask for (the help shown at the
// first start) fails quietly.
enum class WhenNoHandler
{
    SayWhatToCopy,
    Quiet
};
bool openOnDesktop(const QUrl &url, WhenNoHandler whenNoHandler = WhenNoHandler::SayWhatToCopy);

// The text of that box before the address, looked up when it is shown (the window that owns the
// message table installs it); an empty function leaves only the address.
void setNoDesktopHandlerText(std::function<QString()> text);

// What asks the desktop: QDesktopServices::openUrl unless replaced (tests; an empty function
// restores it). Returns the one replaced.
using DesktopOpener = std::function<bool(const QUrl &url)>;
DesktopOpener setDesktopOpener(DesktopOpener opener);

} // namespace mavrel
