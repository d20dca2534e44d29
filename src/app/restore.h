// Restore from a backup of stage "01. Backup":
//
//   tivra-installer /restore:BACKUP_FOLDER [/quiet]
//
// Puts every file of the backup back into the application directory (the version rule is not
// applied: the backup's file replaces the one in place whatever their versions) and removes the
// files the update added (as the backup's marker names them), with the in-use
// check and the COM+ stop and start of an update run, then brings Executaveis/Versoes.ini in line
// with the files. Databases are never touched. A folder that is not a backup of this application
// directory is refused before anything changes (docs/restore.md tells how a backup is recognised).
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tivra {

struct InstallerSession;

inline const QString kRestoreCaption = QStringLiteral("Restauração de Backup");

struct RestoreCommand {
    bool requested = false;  // "/restore:" was given
    QString folder;
    QString problem;  // why the command line cannot be run; empty when it can
};

// Reads "/restore:BACKUP_FOLDER" from the arguments; other switches are left alone.
RestoreCommand parseRestoreCommand(const QStringList &arguments);

// Exit statuses of a restore (the folder lock's 4 and 5 come before it starts).
enum RestoreExit { RestoreExitRestored = 0, RestoreExitIncomplete = 1, RestoreExitRefused = 3 };

// What a backup folder holds, once checked: each file as a path below the folder with "/"
// separators, in name order.
struct BackupContent {
    QString refusal;  // why the folder is not restored here; empty when it is a backup of it
    QStringList members;
    bool marked = false;  // recognised by its marker file (else by its structure)
    // Files the update added (named by the marker, checked to stay inside the application
    // directory, not members): the restore removes them, to the trash where one serves.
    QStringList added;
};

// Checks that backupFolder is a backup of appDirectory and lists its files. Nothing is changed.
BackupContent inspectBackup(const QString &backupFolder, const QString &appDirectory);

struct RestoreOutcome {
    int exitStatus = RestoreExitRefused;
    QStringList lines;  // every line printed, in order
    QString logFile;    // empty when it could not be written
    QString summary;    // the last lines, for a message box
};

// The directories a restore uses, as an unattended update finds them: the application directory
// from the installer's Config.ini ([AppTivra] Path) and the log folder "Log" beside the installer.
void readRestoreDirectories(InstallerSession &session);

// Runs the restore for the session's application directory (session.pathAppTivra), printing
// each line through print as it goes, and writes the lines to "LogRestauracao_<stamp>.txt" in
// session.pathLog.
RestoreOutcome runRestore(InstallerSession &session, const RestoreCommand &command,
                          const std::function<void(const QString &line)> &print);

}  // namespace tivra
