#include "localization/localizablewindow.h"

#include <algorithm>

namespace mavrel {

namespace {

std::vector<LocalizableWindow *> &windowList()
{
    static std::vector<LocalizableWindow *> windows;
    return windows;
}

} // namespace

LocalizableWindow::LocalizableWindow()
{
    windowList().push_back(this);
}

LocalizableWindow::~LocalizableWindow()
{
    std::erase(windowList(), this);
}

const std::vector<LocalizableWindow *> &loadedWindows()
{
    return windowList();
}

} // namespace mavrel
