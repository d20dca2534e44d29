#include "app/singleinstance.h"

#include <QDir>

namespace tivra {

InstanceLock::Outcome InstanceLock::take(const QString &installerDirectory)
{
    m_lock = std::make_unique<QLockFile>(QDir(installerDirectory).filePath(QStringLiteral("tivra-installer.lock")));
    // A run may take hours: only a lock whose process is gone counts as stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Outcome::Acquired;
    const QLockFile::LockError error = m_lock->error();
    m_lock.reset();
    return error == QLockFile::LockFailedError ? Outcome::HeldByAnother : Outcome::FolderNotWritable;
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

QString InstanceLock::notWritableCaption()
{
    return QStringLiteral("Pasta do instalador sem permissão de escrita");
}

QString InstanceLock::notWritableText(const QString &installerDirectory)
{
    return QStringLiteral("Não foi possível gravar na pasta do instalador \"") + QDir::toNativeSeparators(installerDirectory)
           + QStringLiteral("\". O instalador precisa de permissão de escrita nessa pasta para extrair o pacote e "
                            "gravar os logs.");
}

}  // namespace tivra
