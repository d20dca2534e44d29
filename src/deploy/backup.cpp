#include "deploy/backup.h"

#include "core/clock.h"
#include "core/logfiles.h"
#include "core/session.h"
#include "deploy/fileaccess.h"
#include "deploy/filechecks.h"
#include "deploy/foldercopy.h"
#include "deploy/versoesini.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace tivra {

QString backupFolderName(const QString &packageVersion, const QDateTime &moment)
{
    return QStringLiteral("AppTivra antes do pack ") + safeFileNamePart(packageVersion) + QStringLiteral(" - Data ")
        + moment.toString(QStringLiteral("dd.MM.yyyy-hh.mm"));
}

QByteArray backupMarkerText(const QString &appDirectory, const QString &packageVersion, const QDateTime &moment,
                            const QStringList &addedFiles)
{
    // Line breaks in a value would start a line of their own: they are left out.
    const auto value = [](QString text) {
        text.remove(QLatin1Char('\r'));
        text.remove(QLatin1Char('\n'));
        return text;
    };
    QString text = QStringLiteral("[Backup]\r\nDiretorio=") + value(appDirectory)
        + QStringLiteral("\r\nVersaoPacote=") + value(packageVersion) + QStringLiteral("\r\nData=")
        + moment.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral("\r\n");
    if (!addedFiles.isEmpty()) {
        text += QStringLiteral("\r\n[ArquivosNovos]\r\n");
        for (qsizetype index = 0; index < addedFiles.size(); ++index)
            text += QString::number(index + 1) + QLatin1Char('=') + value(addedFiles.at(index)) + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

BackupMarker parseBackupMarker(const QByteArray &text)
{
    BackupMarker marker;
    bool inSection = false;
    bool inAdded = false;
    bool sawSection = false;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.compare(QLatin1String("[Backup]"), Qt::CaseInsensitive) == 0;
            inAdded = line.compare(QLatin1String("[ArquivosNovos]"), Qt::CaseInsensitive) == 0;
            sawSection = sawSection || inSection;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inAdded && equals > 0 && !line.mid(equals + 1).trimmed().isEmpty())
            marker.addedFiles.append(line.mid(equals + 1).trimmed());
        if (!inSection || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        // The first occurrence of a key counts, as in the other settings files.
        if (key.compare(QLatin1String("Diretorio"), Qt::CaseInsensitive) == 0 && marker.directory.isEmpty())
            marker.directory = value;
        else if (key.compare(QLatin1String("VersaoPacote"), Qt::CaseInsensitive) == 0 && marker.packageVersion.isEmpty())
            marker.packageVersion = value;
        else if (key.compare(QLatin1String("Data"), Qt::CaseInsensitive) == 0 && marker.moment.isEmpty())
            marker.moment = value;
    }
    marker.valid = sawSection && !marker.directory.isEmpty();
    return marker;
}

namespace {

// The versions file as it was before the run, and the marker that names the backup's origin.
// False, with the reason in error, when either could not be written.
bool completeBackup(InstallerSession &session, const QString &backupFolder, const QDateTime &moment, QString *error)
{
    const QString versions = versoesIniPath(session.pathAppTivra);
    if (QFileInfo(versions).isFile()) {
        const QString saved = localPath(joinPath(backupFolder, QStringLiteral("Executaveis/Versoes.ini")));
        QDir().mkpath(QFileInfo(saved).absolutePath());
        if (!copyFileReplacing(versions, saved, error))
            return false;
    }
    // The files the update will add: a restore removes them again, so that the directory is as
    // it was. Entries are relative to the folder that holds the application directory.
    QStringList added;
    for (QString entry : session.package.binaryToCopy) {
        entry = entry.trimmed();
        entry.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!binaryEntryConfined(entry) || !entry.startsWith(QStringLiteral("AppTivra/")))
            continue;
        const QString relative = entry.mid(9);
        if (!relative.isEmpty() && !QFileInfo::exists(localPath(joinPath(session.pathAppTivra, relative))))
            added.append(relative);
    }
    QSaveFile marker(localPath(joinPath(backupFolder, kBackupMarkerName)));
    if (!marker.open(QIODevice::WriteOnly)
        || marker.write(backupMarkerText(session.pathAppTivra, session.package.versaoPacote, moment, added)) < 0
        || !marker.commit()) {
        *error = QStringLiteral("Não foi possível gravar o arquivo \"") + marker.fileName() + QStringLiteral("\": ")
            + marker.errorString();
        return false;
    }
    return true;
}

}  // namespace

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

    const QDateTime moment = currentDateTime();
    FolderCopyRequest request;
    request.source = localPath(appDirectory);
    request.destination = joinPath(backupDirectory, backupFolderName(session.package.versaoPacote, moment))
        + QDir::separator();
    request.mask = QStringLiteral("*.*");
    request.listedFilesOnly = true;
    request.fileList = session.package.binaryToCopy;
    // The copy turns its own unexpected errors into a failure with their message: a backup that
    // did not complete never counts as done.
    if (CopyFolder(session, request) && completeBackup(session, request.destination, moment, &request.errorText)) {
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
