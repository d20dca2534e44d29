#include "app/singleinstance.h"

#include <QDir>

namespace tivra {

bool InstanceLock::acquire(const QString &installerDirectory)
{
    m_lock = std::make_unique<QLockFile>(QDir(installerDirectory).filePath(QStringLiteral("tivra-installer.lock")));
    // A run may take hours: only a lock whose process is gone counts as stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}

void InstanceLock::release()
{
    m_lock.reset();
}

QString InstanceLock::refusalCaption()
{
    return QStringLiteral("Instalador em execução");
}

QString InstanceLock::refusalText(const QString &installerDirectory)
{
    return QStringLiteral("Já existe um instalador em execução a partir da pasta \"") + QDir::toNativeSeparators(installerDirectory)
           + QStringLiteral("\". Aguarde o término dele antes de iniciar outro.");
}

}  // namespace tivra
