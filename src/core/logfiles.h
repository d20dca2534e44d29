// The log file and the logbook ("Manual de Bordo") saved at the end of an update run.
#pragma once

#include <QDateTime>
#include <QString>

namespace tivra {

struct InstallerSession;

// Result letters of a run.
inline constexpr QChar kResultCompleted = u'O';
inline constexpr QChar kResultWithFailures = u'P';
inline constexpr QChar kResultInterrupted = u'E';

// customer code + "_Log_" + letter + package version + "_" + "ddmmyyyy_hhnn" + ".txt"
QString logFileName(const QString &customerCode, QChar resultLetter, const QString &packageVersion,
                    const QDateTime &moment);
// "ManualBordo_v" + package version + "_" + "ddmmyyyy_hhnn" + ".txt"
QString logbookFileName(const QString &packageVersion, const QDateTime &moment);

// Joins a folder (with or without a trailing separator, "\" or "/") and a file name.
QString joinPath(const QString &folder, const QString &name);

// Saves the session's log text into the folder under logFileName(); returns the full path, or
// empty text with error filled when the file cannot be written.
QString saveLogFile(const InstallerSession &session, const QString &folder, QChar resultLetter, QString *error);
// Saves the logbook into the folder under logbookFileName().
QString saveLogbook(const InstallerSession &session, const QString &folder, QString *error);

// Starts a new logbook with its five heading items.
void PreparaManualBordo(InstallerSession &session);

}  // namespace tivra
