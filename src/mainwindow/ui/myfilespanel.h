#pragma once

#include "mainwindow/layout.h"
#include "mainwindow/ui/localfilesview.h"
#include "mainwindow/ui/panelcontext.h"

#include <QGroupBox>

class QComboBox;
class QListWidget;

namespace mavrel {

class WindowControls;

// "My Files" ("Frame4"): drives, folders and the media files of the folder; a click plays a
// file. Files send no reports and run no check.
class MyFilesPanel : public QGroupBox
{
    Q_OBJECT
public:
    MyFilesPanel(const PanelContext &context, QWidget *parent);

    LocalFilesView &view() const { return *m_view; }

    void readGeometry(ResizableControls &c) const;
    void applyGeometry(const ResizableControls &c);
    void addControls(WindowControls &c);

private:
    QComboBox *Drive1;
    QListWidget *Dir1;
    QListWidget *File1;
    LocalFilesView *m_view;
};

} // namespace mavrel
