#pragma once

#include "localization/localizablewindow.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QAbstractButton;
class QAbstractItemView;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTabBar;

namespace mavrel {

// A window's controls in design order, as its constructor lists them, for localisation. Each
// entry reads and writes the control's own texts; the control name is the object name unless
// the control belongs to an array, whose name and index are given.
class WindowControls : public LocalizableWindow
{
public:
    explicit WindowControls(QWidget *window);

    QString windowName() const override;
    QString windowCaption() const override;
    void setWindowCaption(const QString &caption) override;
    const std::vector<LocalizableControl> &controls() const override { return m_controls; }

    // "CommandButton", "CheckBox" or "OptionButton".
    void addButton(QAbstractButton *button, const char *kind, const QString &arrayName = {},
                   std::optional<int> index = std::nullopt);
    // "Label" or "SkinLabel". The text becomes plain text: translations may come over the
    // network, and markup in them must not lay out or load anything.
    void addLabel(QLabel *label, const char *kind);
    void addFrame(QGroupBox *frame);
    void addTabStrip(QTabBar *tabs);
    // Column headers come from the view's model; `setHeader` replaces the model's
    // setHeaderData for models that keep their headers another way (section from 0).
    void addListView(QAbstractItemView *view,
                     std::function<void(int, const QString &)> setHeader = {});
    // A menu of the menu bar (or a pop-up menu), or an item of one.
    void addMenu(QMenu *menu, const QString &name, std::optional<int> index = std::nullopt);
    void addMenuItem(QAction *item, const QString &name, std::optional<int> index = std::nullopt);
    // A combo box whose first `fixedItems` items are design texts; later items (names from a
    // file or the network) are left alone. `item` and `setItem` (item from 1) stand in for the
    // box's own item texts for a box that rebuilds its list.
    void addComboBox(QComboBox *box, int fixedItems, std::function<QString(int)> item = {},
                     std::function<void(int, const QString &)> setItem = {});
    // A text box whose design text is translated while the user has not typed into it.
    void addTextBox(QLineEdit *box);
    // A control localisation leaves alone, listed under its kind name.
    void addOther(QObject *control, const QString &kind);

private:
    QPointer<QWidget> m_window;
    std::vector<LocalizableControl> m_controls;
};

} // namespace mavrel
