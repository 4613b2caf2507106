#pragma once

#include "platform/widgets/desktopopen.h"

#include <QString>
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

    // Opens the help document of `language` (a name of the localisation file), the English one
    // when that language has none. Returns whether a help document was there to open.
    bool Form_Load(const QString &language = {},
                   WhenNoHandler whenNoHandler = WhenNoHandler::SayWhatToCopy);

    // The help document of `language` in the application folder, whether it exists or not:
    // Help.<code>.html for a shipped translation, Help.html for English and every other name.
    static QString helpFileFor(const QString &language);

    // Loads the launcher, lets the event loop run once and unloads it again.
    static void run(QWidget *owner = nullptr, const QString &language = {},
                    WhenNoHandler whenNoHandler = WhenNoHandler::SayWhatToCopy);
};

} // namespace mavrel
