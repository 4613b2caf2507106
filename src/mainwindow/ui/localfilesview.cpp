#include "mainwindow/ui/localfilesview.h"

#include "platform/settings.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QStyle>
#include <QStyledItemDelegate>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;

// Shows a folder's depth as a margin, so that its text stays the bare name that type-ahead and
// screen readers go by.
class DepthDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented(option);
        if (option.direction == Qt::RightToLeft)
            indented.rect.setRight(option.rect.right() - indent(option, index));
        else
            indented.rect.setLeft(option.rect.left() + indent(option, index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += indent(option, index);
        return size;
    }

private:
    // Two blanks a level, as wide as the padding the names used to carry.
    static int indent(const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        return index.data(kDepthRole).toInt() * option.fontMetrics.horizontalAdvance(u"  "_s);
    }
};

bool isEnterKey(const QKeyEvent &key)
{
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
           (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

LocalFilesView::LocalFilesView(QComboBox *drive, QListWidget *dir, QListWidget *file, Play play,
                               QObject *parent)
    : QObject(parent), Drive1(drive), Dir1(dir), File1(file), m_play(std::move(play))
{
    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            Drive1_Change();
    });
    Dir1->setItemDelegate(new DepthDelegate(Dir1));
    connect(Dir1, &QListWidget::itemActivated, this, &LocalFilesView::onDirActivated);
    // Not itemActivated: a double click, or a style that activates on a single click, would
    // play the file a second time.
    connect(File1, &QListWidget::itemClicked, this, &LocalFilesView::playFile);
    File1->installEventFilter(this);
}

void LocalFilesView::setVolumes(const QList<Volume> &volumes)
{
    m_volumes = volumes;
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
    playFile(File1 ? File1->currentItem() : nullptr);
}

void LocalFilesView::playFile(const QListWidgetItem *item)
{
    if (!item || !m_play)
        return;
    m_play(filePathIn(m_filePath, item->text()));
}

bool LocalFilesView::eventFilter(QObject *watched, QEvent *event)
{
    // The list itself only activates on Enter, which a double click does as well.
    if (watched == File1 && event->type() == QEvent::KeyPress &&
        isEnterKey(*static_cast<QKeyEvent *>(event)) && File1->currentItem()) {
        File1_Click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void LocalFilesView::restoreFromSettings()
{
    const QString savedDrive = readSetting(SettingKey::Drive, QString());
    const QString savedDir = readSetting(SettingKey::Dir, QString());
    if (savedDir.isEmpty()) {
        openFirstFolder();
        return;
    }
    if (!savedDrive.isEmpty()) {
        const int index = Drive1->findData(savedDrive);
        if (index >= 0 && isListableFolder(savedDrive)) {
            if (index == Drive1->currentIndex())
                Drive1_Change();
            else
                Drive1->setCurrentIndex(index); // runs Drive1_Change
        }
    }
    setDirPath(savedDir);
}

void LocalFilesView::openFirstFolder()
{
    const QString folder = firstFolder();
    const qsizetype drive = volumeHolding(m_volumes, folder);
    if (drive < 0 || drive >= Drive1->count() || !isListableFolder(folder))
        return;
    m_filling = true;
    Drive1->setCurrentIndex(int(drive));
    m_filling = false;
    m_dirPath = folder;
    m_currentFolderOfDrive.insert(drivePath(), m_dirPath);
    fillDirList();
    m_filePath = m_dirPath;
    fillFileList();
}

void LocalFilesView::fillDirList()
{
    // Like a folder tree opened down to the current folder: its parents, itself, then the
    // folders inside it, each level indented by the delegate.
    Dir1->clear();
    const QString drive = drivePath().isEmpty() ? u"/"_s : drivePath();
    const QStringList chain = folderChain(drive, m_dirPath);
    int depth = 0;
    for (const QString &path : chain) {
        const QString name = depth == 0 ? path : QDir(path).dirName();
        auto *item = new QListWidgetItem(name, Dir1);
        item->setData(kPathRole, path);
        item->setData(kDepthRole, depth);
        item->setIcon(Dir1->style()->standardIcon(QStyle::SP_DirOpenIcon));
        ++depth;
    }
    Dir1->setCurrentRow(int(chain.size()) - 1);
    for (const QString &name : listSubfolders(m_dirPath)) {
        auto *item = new QListWidgetItem(name, Dir1);
        item->setData(kPathRole, filePathIn(m_dirPath, name));
        item->setData(kDepthRole, depth);
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
