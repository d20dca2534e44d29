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

// Makes a text that comes from outside (a customer code read from a database, a package version)
// safe as part of a file name, the same way for every file the installer names: path separators,
// the characters Windows reserves, control characters and runs of dots become "_", trailing dots
// and blanks go, a reserved Windows device name (CON, NUL, COM1...) gets a leading "_", and the
// result is cut to kMaxFileNamePart characters.
inline constexpr int kMaxFileNamePart = 64;
QString safeFileNamePart(const QString &text);

// Joins a folder (with or without a trailing separator, "\" or "/") and a file name.
QString joinPath(const QString &folder, const QString &name);

// Saves the session's log text into the folder under logFileName(); returns the full path, or
// empty text with error filled when the file cannot be written. A name already taken (a run in
// the same minute), or whose ".json" summary exists, gets a suffix ("_2", "_3"...): no earlier
// record is replaced.
QString saveLogFile(const InstallerSession &session, const QString &folder, QChar resultLetter, QString *error);
// Saves the logbook into the folder under logbookFileName(), with a suffix as above when taken.
QString saveLogbook(const InstallerSession &session, const QString &folder, QString *error);

// Starts a new logbook with its five heading items.
void PreparaManualBordo(InstallerSession &session);

}  // namespace tivra
