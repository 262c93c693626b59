// Checks of the save panel: the folder, whether the save's files can be made
// there, and the replacing of an earlier save of the same name.
#include "savechecks.h"

#include "FrameCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>

#include <algorithm>

using framecodec::showPlainBox;

namespace {

// A replace moves the earlier files into a folder of this name, with six
// characters of its own, in the save folder. One left by a replace that was
// cut short holds only files the user chose to replace.
const QString kAsidePrefix = QStringLiteral(".tessary-replace-");

// Removes what replaces cut short have left; one that cannot be removed
// stays, and is in the way of nothing.
void removeLeftovers(const QDir& dir)
{
    const QStringList left =
        dir.entryList({kAsidePrefix + "??????"},
                      QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString& folder : left)
        QDir(dir.filePath(folder)).removeRecursively();
}

// Names a list of files by the first and how many more.
QString firstAndCount(const QStringList& files)
{
    const int more = files.size() - 1;
    return files.first() + (more == 1  ? QStringLiteral(" and 1 more file")
                            : more > 1 ? QStringLiteral(" and %1 more files").arg(more)
                                       : QString());
}

// The folder that holds a save's pictures.
QString pictureFolderOf(const QDir& dir, const QString& name)
{
    return dir.filePath(name + "pic");
}

// The files a save named `name` leaves in `directory`: tables of any count,
// the video, and the pictures in its picture folder.
QStringList saveFiles(const QString& directory, const QString& name)
{
    const auto numbered = [](const QString& file, const QString& head, const QString& tail) {
        if (file.size() <= head.size() + tail.size() || !file.startsWith(head) ||
            !file.endsWith(tail))
            return false;
        const QString number = file.mid(head.size(), file.size() - head.size() - tail.size());
        return std::all_of(number.begin(), number.end(),
                           [](QChar c) { return c >= '0' && c <= '9'; });
    };
    QStringList found;
    const QDir dir(directory);
    for (const QString& file : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (file == name + "_output_video.mp4" || numbered(file, name + "_", "_Frames.csv") ||
            numbered(file, name + "_", "_Frames_Grayscale.csv"))
            found << dir.filePath(file);
    }
    const QDir pictures(pictureFolderOf(dir, name));
    for (const QString& file : pictures.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (numbered(file, name + "_", ".png"))
            found << pictures.filePath(file);
    }
    return found;
}

} // namespace

bool isSaveFolder(const QString& field)
{
    return QFileInfo(field).isDir();
}

// Each file is made and removed again; a picture folder made only for this
// goes again.
bool saveFilesCanBeMade(const QString& directory, const QString& name, bool pictures)
{
    const QDir dir(directory);
    QStringList longest{dir.filePath(name + "_1000_Frames_Grayscale.csv")};
    const QString pictureFolder = pictureFolderOf(dir, name);
    const bool folderMade =
        pictures && !QFileInfo::exists(pictureFolder) && QDir().mkdir(pictureFolder);
    if (pictures)
        longest << pictureFolder + "/" + name + "_1000.png";
    bool made = true;
    for (const QString& file : longest) {
        QFile probe(file);
        if (probe.exists())
            continue;
        made = probe.open(QIODevice::WriteOnly | QIODevice::NewOnly);
        if (!made)
            break;
        probe.remove();
    }
    if (folderMade)
        QDir().rmdir(pictureFolder);
    return made;
}

bool earlierSaveReplaced(const QString& directory, const QString& name)
{
    const QStringList earlier = saveFiles(directory, name);
    if (earlier.isEmpty())
        return true;
    QMessageBox question;
    question.setText("The folder already holds a save named \"" + name + "\". Replace it?");
    question.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes)
        return false;

    // All or nothing: every file is first moved into one folder beside them,
    // under its index, so that no name grows past the file system's limit.
    // One that cannot be moved (open elsewhere, say) brings the others back,
    // and the earlier save stays whole.
    const QDir dir(directory);
    removeLeftovers(dir);
    const QString pattern = dir.filePath(kAsidePrefix + "XXXXXX");
    QTemporaryDir aside(pattern);
    if (!aside.isValid()) {
        showPlainBox("Could not create " + pattern);
        return false;
    }
    // Removed here, where a failure can be told.
    aside.setAutoRemove(false);
    const auto moved = [&aside](int i) { return aside.filePath(QString::number(i)); };
    const auto removeAside = [&aside] {
        if (!aside.remove())
            showPlainBox("Could not remove " + aside.path());
    };
    for (int i = 0; i < earlier.size(); ++i) {
        if (QFile::rename(earlier[i], moved(i)))
            continue;
        QStringList notBack;
        for (int j = 0; j < i; ++j) {
            if (!QFile::rename(moved(j), earlier[j]))
                notBack << earlier[j];
        }
        showPlainBox("Could not remove " + earlier[i]);
        if (!notBack.isEmpty())
            showPlainBox("Could not restore " + firstAndCount(notBack) + " from " + aside.path());
        else
            removeAside();
        return false;
    }
    // The names are free: the save goes on whatever is left here.
    removeAside();
    // A picture folder this replace emptied goes too; the save makes it
    // again if it takes pictures.
    const QString pictureFolder = pictureFolderOf(dir, name);
    if (std::any_of(earlier.begin(), earlier.end(),
                    [&](const QString& file) { return file.startsWith(pictureFolder + "/"); }))
        QDir().rmdir(pictureFolder);
    return true;
}
