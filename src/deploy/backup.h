// Stage "01. Backup": copies the files the package replaces from the application directory into
// a new, dated folder under the backup directory.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tivra {

struct InstallerSession;

inline const QString kStageBackup = QStringLiteral("01. Backup");

// "AppTivra antes do pack " + package version + " - Data " + "dd.mm.yyyy-hh.nn"
QString backupFolderName(const QString &packageVersion, const QDateTime &moment);

// The file at the root of every backup folder that says where the backup came from, so that a
// restore can refuse a backup of another application directory. UTF-8 text:
//   [Backup]
//   Diretorio=<application directory as configured>
//   VersaoPacote=<package version of the run>
//   Data=<yyyy-MM-dd hh:mm:ss>
//   [ArquivosNovos]
//   1=<a file of the binaries list the directory did not have: the update adds it>
inline const QString kBackupMarkerName = QStringLiteral("OrigemBackup.ini");

struct BackupMarker {
    bool valid = false;  // the text had a [Backup] section with a non-empty Diretorio
    QString directory;
    QString packageVersion;
    QString moment;
    QStringList addedFiles;  // paths below the application directory, "/" separators, unchecked
};

QByteArray backupMarkerText(const QString &appDirectory, const QString &packageVersion, const QDateTime &moment,
                            const QStringList &addedFiles = {});
// Reads a marker's text; any bytes give a result (valid false when it names no directory).
BackupMarker parseBackupMarker(const QByteArray &text);

// True when the backup succeeded or was skipped (box "Ignorar Etapa de Backup"); false when the
// copy failed, which interrupts the run. Besides the files the package replaces, the backup
// keeps the versions file as it was (Executaveis/Versoes.ini, which stage 05 rewrites) and the
// marker file. Does not start the next stage.
bool MakeBackup(InstallerSession &session);

}  // namespace tivra
