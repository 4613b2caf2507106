#include "mainwindow/ui/localfilesview.h"

#include "platform/settings.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr int kPathRole = Qt::UserRole;

} // namespace

LocalFilesView::LocalFilesView(QComboBox *drive, QListWidget *dir, QListWidget *file, Play play,
                               QObject *parent)
    : QObject(parent), Drive1(drive), Dir1(dir), File1(file), m_play(std::move(play))
{
    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            Drive1_Change();
    });
    connect(Dir1, &QListWidget::itemActivated, this, &LocalFilesView::onDirActivated);
    connect(File1, &QListWidget::itemClicked, this, &LocalFilesView::File1_Click);
}

void LocalFilesView::setVolumes(const QList<Volume> &volumes)
{
    m_filling = true;
    Drive1->clear();
    for (const Volume &volume : volumes)
        Drive1->addItem(volume.label, volume.path);
    m_filling = false;
    if (!volumes.isEmpty() && isListableFolder(volumes.first().path)) {
        m_dirPath = QDir::cleanPath(volumes.first().path);
        m_filePath = m_dirPath;
        fillDirList();
        fillFileList();
    }
}

QString LocalFilesView::drivePath() const
{
    return Drive1 ? Drive1->currentData().toString() : QString();
}

void LocalFilesView::Drive1_Change()
{
    const QString drive = drivePath();
    if (drive.isEmpty())
        return;
    // The folder list goes to the folder last used on that drive; a drive that cannot be read
    // (a disc drive without a disc) leaves it where it was.
    const QString folder = m_currentFolderOfDrive.value(drive, drive);
    if (!setDirPath(folder) && folder != drive)
        setDirPath(drive);
    storeSetting(SettingKey::Drive, drive);
}

bool LocalFilesView::setDirPath(const QString &folder)
{
    // A folder that exists but cannot be read is entered all the same and shows empty lists.
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    m_dirPath = QDir::cleanPath(folder);
    fillDirList();
    Dir1_Change();
    return true;
}

void LocalFilesView::Dir1_Change()
{
    storeSetting(SettingKey::Dir, m_dirPath);
    const QString drive = drivePath();
    if (!drive.isEmpty() && folderChain(drive, m_dirPath).first() == QDir::cleanPath(drive))
        m_currentFolderOfDrive.insert(drive, m_dirPath);
    m_filePath = m_dirPath;
    fillFileList();
}

void LocalFilesView::File1_Click()
{
    QListWidgetItem *item = File1 ? File1->currentItem() : nullptr;
    if (!item || !m_play)
        return;
    m_play(filePathIn(m_filePath, item->text()));
}

void LocalFilesView::restoreFromSettings()
{
    const QString savedDrive = readSetting(SettingKey::Drive, QString());
    const QString savedDir = readSetting(SettingKey::Dir, QString());
    if (!savedDrive.isEmpty()) {
        const int index = Drive1->findData(savedDrive);
        if (index >= 0 && isListableFolder(savedDrive)) {
            if (index == Drive1->currentIndex())
                Drive1_Change();
            else
                Drive1->setCurrentIndex(index); // runs Drive1_Change
        }
    }
    if (!savedDir.isEmpty())
        setDirPath(savedDir);
}

void LocalFilesView::fillDirList()
{
    // Like a folder tree opened down to the current folder: its parents, itself, then the
    // folders inside it, each level indented.
    Dir1->clear();
    const QString drive = drivePath().isEmpty() ? u"/"_s : drivePath();
    const QStringList chain = folderChain(drive, m_dirPath);
    int depth = 0;
    for (const QString &path : chain) {
        const QString name = depth == 0 ? path : QDir(path).dirName();
        auto *item = new QListWidgetItem(QString(depth * 2, u' ') + name, Dir1);
        item->setData(kPathRole, path);
        item->setIcon(Dir1->style()->standardIcon(QStyle::SP_DirOpenIcon));
        ++depth;
    }
    Dir1->setCurrentRow(int(chain.size()) - 1);
    for (const QString &name : listSubfolders(m_dirPath)) {
        auto *item = new QListWidgetItem(QString(depth * 2, u' ') + name, Dir1);
        item->setData(kPathRole, filePathIn(m_dirPath, name));
        item->setIcon(Dir1->style()->standardIcon(QStyle::SP_DirClosedIcon));
    }
}

void LocalFilesView::fillFileList()
{
    File1->clear();
    File1->addItems(listMediaFiles(m_filePath));
}

void LocalFilesView::onDirActivated(QListWidgetItem *item)
{
    if (!item)
        return;
    const QString path = item->data(kPathRole).toString();
    if (path != m_dirPath)
        setDirPath(path);
}

} // namespace mavrel
