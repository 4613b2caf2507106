#pragma once

#include "mainwindow/ui/categorybar.h"

#include <QObject>

#include <QHash>

#include <array>

class QAction;
class QMenu;
class QMenuBar;

namespace mavrel {

class WindowControls;

// The menu bar's menus, their items and their localisation entries. Items with a key show it
// beside them; the keys also work while the menu bar is hidden (the picture on the whole
// screen), since the window carries the actions too.
class MainMenus : public QObject
{
    Q_OBJECT
public:
    enum class Command
    {
        ExportFavorites,
        ImportPlaylist,
        Exit,
        UpdateChannels,
        AddChannels,
        DownloadDeadChannels,
        CheckAllChannels,
        CatalogueServer,
        Find,
        FullScreen,
        ChangeLanguage,
        Help,
        About,
    };

    MainMenus(QMenuBar *bar, QWidget *window);

    QAction *action(Command command) const;
    // The Categories menu's item for a category, or null when it has none.
    QAction *categoryItem(Category category) const;
    // Menus shown only as pop-ups at the pointer, hidden entries of the menu bar.
    void addPopups(const QList<QMenu *> &menus);
    // Shows the items of the extra company's categories.
    void applyCompanySwitch();
    // Shows the staff's items (dead channels, checking every channel).
    void applyStaffSwitch();
    // The design's menus, then the ones added since (after every design entry, so that the
    // localisation file keeps its order).
    void addControls(WindowControls &c);
    void addAddedControls(WindowControls &c);

signals:
    void categoryChosen(Category category);

private:
    QMenuBar *m_bar;
    QMenu *mnuFile;
    QMenu *mnuCat;
    QMenu *mnuView;
    QMenu *mnuUpdate;
    QMenu *mnuLanguage;
    QMenu *mnuHelp;
    QMenu *mnuAbout;
    std::array<QAction *, 3> mnuFileItem{};
    std::array<QAction *, 10> mnuCatItem{}; // the last added since the design
    std::array<QAction *, 2> mnuViewItem{};
    std::array<QAction *, 5> mnuUpdateItem{};
    std::array<QAction *, 1> mnuLanguageItem{};
    std::array<QAction *, 1> mnuHelpItem{};
    std::array<QAction *, 1> mnuAboutItem{};
    QHash<Command, QAction *> m_commands;
};

} // namespace mavrel
