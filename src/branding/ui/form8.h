#pragma once

#include <QWidget>

namespace mavrel {

// The help launcher: never seen, it asks the desktop to open the help document of the
// application folder while it loads.
class Form8 : public QWidget
{
    Q_OBJECT
public:
    static constexpr auto kHelpFile = "Help.html";

    explicit Form8(QWidget *parent = nullptr);

    // Returns whether the help document was there to open.
    bool Form_Load();

    // Loads the launcher, lets the event loop run once and unloads it again.
    static void run(QWidget *owner = nullptr);
};

} // namespace mavrel
