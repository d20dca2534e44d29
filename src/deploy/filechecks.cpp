#include "deploy/filechecks.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "deploy/fileaccess.h"
#include "platform/system.h"

#include <QFile>
#include <QFileInfo>

#include <exception>

namespace tivra {

namespace {

const QString kIgnoreFileUse = QStringLiteral("/ignorefileuse");

QString exceptionText(const std::exception &error)
{
    return QString::fromLocal8Bit(error.what());
}

}  // namespace

bool binaryEntryConfined(const QString &entry)
{
    QString path = entry.trimmed();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')))
        return false;
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':'))
        return false;  // a drive letter, or a stream name after a one-letter name
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.trimmed() == QLatin1String(".."))
            return false;
    }
    return true;
}

QStringList unconfinedBinaryEntries(const QStringList &entries)
{
    QStringList result;
    for (const QString &entry : entries) {
        if (!binaryEntryConfined(entry))
            result.append(entry);
    }
    return result;
}

bool versionsFileWritable(const QString &path)
{
    const QString local = localPath(path);
    if (!QFileInfo(local).isFile() || hasReadOnlyAttribute(local))
        return false;
    QFile file(local);
    return file.open(QIODevice::ReadWrite);
}

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
            if (!binaryEntryConfined(entry))
                continue;  // refused by the checks page and by the binary stage
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
