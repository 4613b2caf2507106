#pragma once

class QApplication;

namespace mavrel {

// Starts the viewer: the splash window, then the main window; returns the exit code.
int runViewer(QApplication &app);

} // namespace mavrel
