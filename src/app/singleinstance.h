// One installer per installer directory. Two installers started from the same folder would share
// the working folder "tmp", and the second one's start-up would delete the package the first one
// is installing; so the second one refuses to start and changes nothing.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace tivra {

class InstanceLock {
public:
    enum class Outcome { Acquired, HeldByAnother, FolderNotWritable };
    // Takes the lock of the installer directory: Acquired, HeldByAnother when another living
    // process holds it, FolderNotWritable when the lock file cannot be created there at all.
    Outcome take(const QString &installerDirectory);
    bool acquire(const QString &installerDirectory) { return take(installerDirectory) == Outcome::Acquired; }
    void release();

    // The text shown when the lock is held by another installer.
    static QString refusalCaption();
    static QString refusalText(const QString &installerDirectory);
    // The text shown when the installer folder cannot be written (the lock, the working folder
    // and the logs all live there).
    static QString notWritableCaption();
    static QString notWritableText(const QString &installerDirectory);

private:
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace tivra
