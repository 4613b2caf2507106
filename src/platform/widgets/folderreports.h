#pragma once

class QStatusBar;

namespace mavrel {

// Shows failed writes to the application folder in `bar` for as long as it lives.
void showApplicationFolderFailures(QStatusBar *bar);

} // namespace mavrel
