#include "deploy/backup.h"

#include "core/clock.h"
#include "core/logfiles.h"
#include "core/session.h"
#include "deploy/fileaccess.h"
#include "deploy/foldercopy.h"

#include <QDir>
#include <QFileInfo>

namespace tivra {

QString backupFolderName(const QString &packageVersion, const QDateTime &moment)
{
    return QStringLiteral("AppTivra antes do pack ") + safeFileNamePart(packageVersion) + QStringLiteral(" - Data ")
        + moment.toString(QStringLiteral("dd.MM.yyyy-hh.mm"));
}

bool MakeBackup(InstallerSession &session)
{
    const QString &stage = kStageBackup;
    if (session.ignoreBackup) {
        session.UpdateStatus(QStringLiteral("Etapa de Backup ignorada pelo usuário."), true, stage, ImageIgnored, true);
        return true;
    }
    const QString &appDirectory = session.pathAppTivra;
    session.UpdateStatus(QStringLiteral("Criando cópia do diretório \"") + appDirectory + QLatin1Char('"'), true, stage,
                         ImageSuccess, true);

    const QString backupDirectory = localPath(session.pathBackup);
    if (!QFileInfo(backupDirectory).isDir())
        QDir().mkdir(backupDirectory);  // one level; a failure shows in the copy below

    FolderCopyRequest request;
    request.source = localPath(appDirectory);
    request.destination = joinPath(backupDirectory, backupFolderName(session.package.versaoPacote, currentDateTime()))
        + QDir::separator();
    request.mask = QStringLiteral("*.*");
    request.listedFilesOnly = true;
    request.fileList = session.package.binaryToCopy;
    // The copy turns its own unexpected errors into a failure with their message: a backup that
    // did not complete never counts as done.
    if (CopyFolder(session, request)) {
        session.UpdateStatus(QStringLiteral("     Cópia do diretório \"") + appDirectory
                                 + QStringLiteral("\" realizada com sucesso."),
                             true, stage, ImageSuccess, true);
        return true;
    }
    session.UpdateStatus(QStringLiteral("     Erro ao realizar a cópia dos arquivos! Veja o Log para detalhes."), false,
                         stage, ImageError, true);
    session.UpdateStatus(QStringLiteral("Erro ao realizar a cópia dos arquivos! Mensagem: ") + request.errorText, true,
                         stage, ImageError, false);
    return false;
}

}  // namespace tivra
