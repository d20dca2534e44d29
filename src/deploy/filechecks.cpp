#include "deploy/filechecks.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "deploy/fileaccess.h"
#include "platform/system.h"

#include <exception>

namespace tivra {

namespace {

const QString kIgnoreFileUse = QStringLiteral("/ignorefileuse");

QString exceptionText(const std::exception &error)
{
    return QString::fromLocal8Bit(error.what());
}

}  // namespace

bool CheckPermissaoEscrita(InstallerSession &session, const QString &folder, bool report)
{
    try {
        return createAndDeleteNewFile(localPath(joinPath(folder, QStringLiteral("chk.tmp"))), nullptr);
    } catch (const std::exception &error) {
        if (report) {
            session.UpdateStatus(QStringLiteral("Erro ao verificar permissão de escrita em \"") + folder
                                     + QStringLiteral("\". Mensagem: ") + exceptionText(error),
                                 true, QString(), ImageError, false);
        }
        return false;
    }
}

bool FileInUse(const FileUseProbe &probe, const QString &path)
{
    if (platform::ExistParametro(kIgnoreFileUse))
        return false;
    return probe.inUse(path);
}

bool FileInUse(const QString &path)
{
    if (platform::ExistParametro(kIgnoreFileUse))
        return false;
    return FileUseProbe::create()->inUse(path);
}

bool CheckArquivosEmUso(InstallerSession &session, const QString &folder, bool report)
{
    try {
        if (platform::ExistParametro(kIgnoreFileUse))
            return false;
        const QString &appDirectory = session.pathAppTivra;
        const qsizetype at = appDirectory.indexOf(QStringLiteral("AppTivra"), 0, Qt::CaseSensitive);
        const QString base = at >= 0 ? appDirectory.left(at) : QString();
        const QStringList entries = session.package.binaryToCopy;
        if (entries.isEmpty())
            return false;
        // One snapshot of the files held open serves every entry.
        const std::unique_ptr<FileUseProbe> probe = FileUseProbe::create();
        for (const QString &entry : entries) {
            const QString path = localPath(base + entry);
            if (!probe->inUse(path))
                continue;
            session.UpdateStatus(QStringLiteral("Arquivo \"") + path
                                     + QStringLiteral("\" está em uso, impossibilitando a atualização. Você pode "
                                                      "remover temporariamente o compartilhamento da pasta \"")
                                     + appDirectory + QStringLiteral("\" até a conclusão da instalação."),
                                 true, QString(), ImageError, false);
            return true;
        }
        return false;
    } catch (const std::exception &error) {
        if (report) {
            session.UpdateStatus(QStringLiteral("Erro ao verificar disponibilidade de arquivos em \"") + folder
                                     + QStringLiteral("\". Mensagem: ") + exceptionText(error),
                                 true, QString(), ImageError, false);
        }
        return false;
    }
}

}  // namespace tivra
