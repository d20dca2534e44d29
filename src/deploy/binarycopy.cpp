#include "deploy/binarycopy.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "core/userinterface.h"
#include "deploy/fileaccess.h"
#include "deploy/filechecks.h"
#include "deploy/foldercopy.h"

#include <QSet>

namespace tivra {

namespace {

QString comparableEntry(QString path)
{
    path = path.trimmed();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

// Every file below a folder, as paths below it with "/" separators.
void listPackageFiles(const QString &folder, const QString &prefix, QSet<QString> &files)
{
    std::vector<FolderEntry> entries;
    if (!listFolder(folder, entries, nullptr))
        return;
    for (const FolderEntry &entry : entries) {
        if (entry.isVolumeLabel || entry.name.isEmpty())
            continue;
        if (entry.isDirectory)
            listPackageFiles(joinPath(folder, entry.name), prefix + entry.name + QLatin1Char('/'), files);
        else
            files.insert(prefix + entry.name);
    }
}

}  // namespace

QString binaryListMismatch(const QStringList &binaryList, const FolderCopyRequest &request)
{
    // The list names files from "AppTivra" on; the package keeps them under its "AppTivra" folder.
    QSet<QString> packageFiles;
    listPackageFiles(request.source, QStringLiteral("AppTivra/"), packageFiles);
    QSet<QString> handled;
    for (const QString &file : request.handledFiles)
        handled.insert(QStringLiteral("AppTivra/") + file);
    QStringList notInPackage;
    QStringList notHandled;
    QSet<QString> listed;
    for (const QString &entry : binaryList) {
        const QString path = comparableEntry(entry);
        listed.insert(path);
        if (!packageFiles.contains(path))
            notInPackage.append(entry.trimmed());
        else if (!handled.contains(path))
            notHandled.append(entry.trimmed());
    }
    QStringList notListed;
    for (const QString &file : std::as_const(packageFiles)) {
        if (!listed.contains(file))
            notListed.append(file);
    }
    notListed.sort();
    QStringList parts;
    if (!notInPackage.isEmpty())
        parts << QStringLiteral("listados em [BinaryToCopy] e ausentes do pacote: ") + notInPackage.join(QStringLiteral(", "));
    if (!notListed.isEmpty())
        parts << QStringLiteral("presentes no pacote e ausentes de [BinaryToCopy]: ") + notListed.join(QStringLiteral(", "));
    if (!notHandled.isEmpty())
        parts << QStringLiteral("não copiados (em uso): ") + notHandled.join(QStringLiteral(", "));
    if (parts.isEmpty())
        return {};
    return QStringLiteral("     Arquivos ") + parts.join(QStringLiteral("; arquivos ")) + QLatin1Char('.');
}

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
    // An entry that leads outside the application directory is refused before anything is copied.
    const QStringList outside = unconfinedBinaryEntries(session.package.binaryToCopy);
    if (!outside.isEmpty()) {
        session.UpdateStatus(QStringLiteral("     A lista de arquivos binários do pacote contém caminhos fora do diretório "
                                            "da aplicação: ")
                                 + outside.join(QStringLiteral(", ")) + QStringLiteral(". Nenhum arquivo foi copiado."),
                             true, stage, ImageError, true);
        return false;
    }
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
    request.reportProgress = true;
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
        const QString detail = binaryListMismatch(session.package.binaryToCopy, request);
        if (!detail.isEmpty())
            session.UpdateStatus(detail, true, stage, ImageError, false);
    }
    session.logbook.append(QStringLiteral("\r\n*** ATUALIZAÇÃO DE ARQUIVOS BINÁRIOS"));
    session.UpdateStatus(QStringLiteral("Lista de Arquivos binários atualizados..."), true, stage, ImageSuccess, false);
    for (const QString &line : std::as_const(request.resultList)) {
        // A copied file's line begins with its version in brackets; a kept one with its quoted path.
        if (line.startsWith(QLatin1Char('(')))
            session.runReport.filesReplaced.append(line.mid(line.indexOf(QStringLiteral(") ")) + 2));
        else
            session.runReport.filesKept.append(line.mid(1, line.indexOf(QLatin1Char('"'), 1) - 1));
        session.logbook.append(QStringLiteral("- ") + line);
        session.UpdateStatus(line, true, stage, ImageSuccess, false);
    }
    return complete;
}

}  // namespace tivra
