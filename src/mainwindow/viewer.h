#pragma once

class QApplication;

namespace mavrel {

// Sets up the application object and shows the first window; returns the exit code.
int runViewer(QApplication &app);

} // namespace mavrel
