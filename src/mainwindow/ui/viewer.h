#pragma once

class QApplication;

namespace mavrel {

struct OpenRequest;

// Starts the viewer: the splash window, then the main window, which plays what `request` names;
// returns the exit code. With a viewer already running, the request goes to it instead and
// nothing is shown.
int runViewer(QApplication &app, const OpenRequest &request);

} // namespace mavrel
