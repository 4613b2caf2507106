#pragma once

#include "mainwindow/layout.h"

#include <QWidget>

class QPushButton;

namespace mavrel {

class WindowControls;

// What the big buttons across the top of the main window choose, and the Categories menu's items
// in their order.
enum class Category
{
    TV,
    Radio,
    Video,
    Favorites,
    Files,
    Sports,
    Extras,
    Adult,
    VideoSite,
    Website,
    Update,
    Recent, // no button: the Categories menu and its key
};

// The row of category buttons. The extra company's three buttons are hidden unless its switch
// shows them; the website button takes the rest of the row.
class CategoryBar : public QWidget
{
    Q_OBJECT
public:
    explicit CategoryBar(QWidget *parent);

    QPushButton *button(Category category) const;
    void applyCompanySwitch();

    void readGeometry(ResizableControls &c) const;
    void applyGeometry(const ResizableControls &c);
    void addControls(WindowControls &c);

signals:
    void chosen(Category category);

private:
    QPushButton *cmdTV;
    QPushButton *cmdRadio;
    QPushButton *cmdYouTube;
    QPushButton *cmdFavorites;
    QPushButton *cmdFiles;
    QPushButton *cmdUpdate;
    QPushButton *cmdWebsite;
    QPushButton *cmdExtras;
    QPushButton *cmdSports;
    QPushButton *cmdXXX;
    QPushButton *cmdVideo;
};

} // namespace mavrel
