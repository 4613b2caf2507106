#pragma once

#include "mainwindow/localfiles.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QComboBox;
class QListWidget;
class QListWidgetItem;

namespace mavrel {

// "My Files": the drive list drives the folder list, the folder list drives the file list, and
// a click on a file (or Enter on the current one) plays it. The drive and folder chosen are kept
// in the settings "Drive" and "Dir". A folder that cannot be listed shows empty lists; one that
// does not exist is not entered.
class LocalFilesView : public QObject
{
    Q_OBJECT
public:
    using Play = std::function<void(const QString &path)>;

    LocalFilesView(QComboBox *drive, QListWidget *dir, QListWidget *file, Play play,
                   QObject *parent = nullptr);

    // Fills the drive list (the first drive and its root folder become current, nothing is
    // saved).
    void setVolumes(const QList<Volume> &volumes);

    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();

    // Start-up: both settings are read before either is applied, so that the drive change does
    // not overwrite the saved folder. A drive or folder that no longer exists is skipped. With no
    // folder saved the lists open firstFolder() on the drive holding it, saving nothing.
    void restoreFromSettings();

    // Moves the folder list to `folder`; false (nothing changes) when it is not a folder.
    bool setDirPath(const QString &folder);

    QString drivePath() const;
    QString dirPath() const { return m_dirPath; }
    QString filePath() const { return m_filePath; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openFirstFolder();
    void playFile(const QListWidgetItem *item);
    void fillDirList();
    void fillFileList();
    void onDirActivated(QListWidgetItem *item);

    QPointer<QComboBox> Drive1;
    QPointer<QListWidget> Dir1;
    QPointer<QListWidget> File1;
    Play m_play;
    QList<Volume> m_volumes;
    QString m_dirPath;
    QString m_filePath;
    QHash<QString, QString> m_currentFolderOfDrive;
    bool m_filling = false;
};

} // namespace mavrel
