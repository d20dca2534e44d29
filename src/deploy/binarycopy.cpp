#include "deploy/binarycopy.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "core/userinterface.h"
#include "deploy/fileaccess.h"
#include "deploy/filechecks.h"
#include "deploy/foldercopy.h"

namespace tivra {

bool CopyBinary(InstallerSession &session)
{
    const QString &stage = kStageArquivosBinarios;
    if (!session.package.existBin) {
        session.UpdateStatus(QStringLiteral("Arquivos binários não incluídos no pacote. Etapa ignorada."), true, stage,
                             ImageIgnored, true);
        return true;
    }
    const QString &appDirectory = session.pathAppTivra;
    session.UpdateStatus(QStringLiteral("Atualizando arquivos binários do diretório \"") + appDirectory
                             + QLatin1Char('"'),
                         true, stage, ImageSuccess, true);
    if (CheckArquivosEmUso(session, appDirectory, true)) {
        session.UpdateStatus(QStringLiteral("     A pasta \"") + appDirectory
                                 + QStringLiteral("\" não pode ser atualizada pois um ou mais arquivos estão em "
                                                  "execução."),
                             true, stage, ImageError, true);
        return false;
    }
    session.ui.processEvents();

    FolderCopyRequest request;
    request.source = localPath(joinPath(session.workingFolder, QStringLiteral("AppTivra")));
    request.destination = localPath(appDirectory);
    request.mask = QStringLiteral("*.*");
    request.listedFilesOnly = false;
    request.fileList = session.package.binaryToCopy;
    if (!CopyFolder(session, request)) {
        session.UpdateStatus(QStringLiteral("     Erro durante a atualização de arquivos binários. Veja o Log para mais "
                                            "detalhes."),
                             false, stage, ImageError, true);
        session.UpdateStatus(QStringLiteral("Erro durante a atualização de arquivos binários. Mensagem: ")
                                 + request.errorText,
                             true, stage, ImageError, false);
        return false;
    }

    // The binaries list is the package's manifest: each file handled gives one line.
    const bool complete = request.resultList.size() == session.package.binaryToCopy.size();
    if (complete) {
        session.UpdateStatus(QStringLiteral("     Atualização da pasta \"") + appDirectory
                                 + QStringLiteral("\" realizada com sucesso!"),
                             true, stage, ImageSuccess, true);
    } else {
        session.UpdateStatus(QStringLiteral("     Um ou mais arquivos binários não puderam ser copiados. Veja o log "
                                            "para mais detalhes."),
                             false, stage, ImageError, true);
        session.UpdateStatus(QStringLiteral("Um ou mais arquivos binários não puderam ser copiados, remova o "
                                            "compartilhamento da pasta AppTivra pois podem existir arquivos em uso "
                                            "pelo sistema."),
                             true, stage, ImageError, false);
    }
    session.logbook.append(QStringLiteral("\r\n*** ATUALIZAÇÃO DE ARQUIVOS BINÁRIOS"));
    session.UpdateStatus(QStringLiteral("Lista de Arquivos binários atualizados..."), true, stage, ImageSuccess, false);
    for (const QString &line : std::as_const(request.resultList)) {
        session.logbook.append(QStringLiteral("- ") + line);
        session.UpdateStatus(line, true, stage, ImageSuccess, false);
    }
    return complete;
}

}  // namespace tivra
