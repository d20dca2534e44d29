// Stage "01. Backup": copies the files the package replaces from the application directory into
// a new, dated folder under the backup directory.
#pragma once

#include <QDateTime>
#include <QString>

namespace tivra {

struct InstallerSession;

inline const QString kStageBackup = QStringLiteral("01. Backup");

// "AppTivra antes do pack " + package version + " - Data " + "dd.mm.yyyy-hh.nn"
QString backupFolderName(const QString &packageVersion, const QDateTime &moment);

// True when the backup succeeded or was skipped (box "Ignorar Etapa de Backup"); false when the
// copy failed, which interrupts the run. Does not start the next stage.
bool MakeBackup(InstallerSession &session);

}  // namespace tivra
