// Folders go to the freedesktop.org trash. Where no trash serves the folder's location, the
// folder is deleted for good, as the Windows shell does for folders the Recycle Bin cannot hold.
//
// The move is done here rather than with QFile::moveToTrash: that function (Qt 6.4) treats the
// current directory as the trash when it cannot set one up, and loops forever when the trash's
// info folder cannot be written.
#include "platform/trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tivra::platform {

namespace {

std::optional<struct stat> linkStatus(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

// The folder itself when it is a real folder (no link) of this user, created if missing.
bool ensurePrivateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    const auto st = linkStatus(path);
    return st && S_ISDIR(st->st_mode) && st->st_uid == ::geteuid();
}

// Device of the path, or of its nearest existing ancestor.
std::optional<dev_t> deviceOf(QString path)
{
    for (int depth = 0; depth < 256 && !path.isEmpty(); ++depth) {
        if (const auto st = linkStatus(path))
            return st->st_dev;
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path)
            break;
        path = parent;
    }
    return std::nullopt;
}

// The trash folders that can take the item without copying: the home trash for items on the
// home trash's file system, else the trash at the top of the item's own file system (the
// administrator's shared ".Trash/<uid>" when it is set up properly, else ".Trash-<uid>").
QStringList trashCandidates(const QString &item, dev_t itemDevice)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty() && deviceOf(dataHome) == itemDevice) {
        QDir().mkpath(dataHome);
        return {dataHome + QStringLiteral("/Trash")};
    }
    QStringList candidates;
    const QString top = QStorageInfo(QFileInfo(item).absolutePath()).rootPath();
    if (top.isEmpty())
        return candidates;
    const QString base = top.endsWith(u'/') ? top : top + u'/';
    const QString uid = QString::number(::geteuid());
    const auto shared = linkStatus(base + QStringLiteral(".Trash"));
    if (shared && S_ISDIR(shared->st_mode) && (shared->st_mode & S_ISVTX))
        candidates.append(base + QStringLiteral(".Trash/") + uid);
    candidates.append(base + QStringLiteral(".Trash-") + uid);
    return candidates;
}

bool moveIntoTrash(const QString &item, const QString &trash)
{
    const QString files = trash + QStringLiteral("/files");
    const QString info = trash + QStringLiteral("/info");
    if (!ensurePrivateFolder(trash) || !ensurePrivateFolder(files) || !ensurePrivateFolder(info))
        return false;

    const QString name = QFileInfo(item).fileName();
    const QByteArray record = "[Trash Info]\nPath=" + QUrl::toPercentEncoding(item, "/") + "\nDeletionDate="
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n';
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString unique = attempt == 0 ? name : name + QStringLiteral(".%1").arg(attempt);
        const QString target = files + u'/' + unique;
        if (linkStatus(target))
            continue;
        // The information file is created exclusively: it reserves the name.
        QFile infoFile(info + u'/' + unique + QStringLiteral(".trashinfo"));
        if (!infoFile.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (infoFile.exists())
                continue;
            return false;
        }
        const bool written = infoFile.write(record) == record.size() && infoFile.flush();
        infoFile.close();
        if (written && ::rename(QFile::encodeName(item).constData(), QFile::encodeName(target).constData()) == 0)
            return true;
        infoFile.remove();
        return false;
    }
    return false;
}

bool moveToTrash(const QString &item)
{
    const auto st = linkStatus(item);
    if (!st)
        return false;
    const QStringList candidates = trashCandidates(item, st->st_dev);
    for (const QString &trash : candidates) {
        if (moveIntoTrash(item, trash))
            return true;
    }
    return false;
}

}  // namespace

bool deleteFolderToTrash(const QString &folder)
{
    try {
        if (folder.isEmpty())
            return true;
        const QFileInfo info(folder);
        if (!info.exists() && !info.isSymLink())
            return true;
        QString path = QDir::cleanPath(info.absoluteFilePath());
        // Never the root of a file system: a failed move to the trash would otherwise go on to
        // delete everything on it.
        if (info.isDir() && !info.isSymLink() && QDir(path).isRoot())
            return false;

        if (moveToTrash(path))
            return true;

        // A link is removed itself; the folder it points to is not the caller's to delete.
        if (info.isSymLink() || !info.isDir())
            return QFile::remove(path);
        QDir(path).removeRecursively();
        return !QFileInfo::exists(path);
    } catch (...) {
        return false;
    }
}

}  // namespace tivra::platform
