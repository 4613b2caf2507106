#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace mavrel {

// The kind names that take part in localisation, compared exactly.
namespace controlkind {
inline constexpr auto Label = "Label";
inline constexpr auto CommandButton = "CommandButton";
inline constexpr auto SkinLabel = "SkinLabel";
inline constexpr auto Frame = "Frame";
inline constexpr auto CheckBox = "CheckBox";
inline constexpr auto TabStrip = "TabStrip";
inline constexpr auto ListView = "ListView";
inline constexpr auto OptionButton = "OptionButton";
inline constexpr auto Menu = "Menu";
// Beyond the design's kinds: the fixed items of a combo box (items 1 to itemCount()) and the
// design text of a text box (item 0) are translated too.
inline constexpr auto ComboBox = "ComboBox";
inline constexpr auto TextBox = "TextBox";
} // namespace controlkind

// One control of a window as localisation sees it. A caption kind, an option button and a menu
// have one text (item 0); a tab strip's tabs and a list view's column headers are items 1 to
// itemCount(). Controls of other kinds are listed too (they keep the design order honest) but
// carry no accessors.
struct LocalizableControl
{
    QString kind;
    QString name;
    std::optional<int> index; // position in its control array; none when not in an array
    std::function<int()> itemCount;
    std::function<QString(int)> text;
    std::function<void(int, const QString &)> setText;
    std::function<void()> redraw;
};

// A window as localisation sees it: its name, its caption and its controls in design order.
class LocalizableWindow
{
public:
    LocalizableWindow();
    virtual ~LocalizableWindow();
    LocalizableWindow(const LocalizableWindow &) = delete;
    LocalizableWindow &operator=(const LocalizableWindow &) = delete;

    virtual QString windowName() const = 0;
    virtual QString windowCaption() const = 0;
    virtual void setWindowCaption(const QString &caption) = 0;
    virtual const std::vector<LocalizableControl> &controls() const = 0;
};

// The windows alive now, in the order they were created (each registers itself while it is
// constructed and leaves the list when it is destroyed).
const std::vector<LocalizableWindow *> &loadedWindows();

} // namespace mavrel
