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
    // Takes the lock of the installer directory; false when another living process holds it.
    bool acquire(const QString &installerDirectory);
    void release();

    // The text shown when the lock is held by another installer.
    static QString refusalCaption();
    static QString refusalText(const QString &installerDirectory);

private:
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace tivra
