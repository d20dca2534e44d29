// Process and machine services.
#pragma once

#include <QString>
#include <QStringList>

namespace tivra::platform {

// Folder of the running executable, with a trailing native separator.
QString installerDirectory();
// Full path of the running executable.
QString executablePath();

// The command-line arguments without the program name.
QStringList commandLineArguments();
// Overrides the arguments (tests; the program sets them from main()).
void setCommandLineArguments(const QStringList &arguments);
// Drops an override: the arguments come from the application object again.
void resetCommandLineArguments();

// True when one of the arguments equals the switch exactly (case-sensitive, whole argument).
bool ExistParametro(const QString &switchText);

// Computer name: the NetBIOS name on Windows; elsewhere the host name, at most 15 characters,
// upper case.
QString computerName();

// The Windows system folder (GetSystemDirectory); elsewhere the folder named by
// TIVRA_SYSTEM_DIR. Empty when it cannot be determined.
QString systemDirectory();

// Whether standard error is a terminal (a console window on Windows), not a file or a pipe.
bool standardErrorIsTerminal();

// Opens a document with the desktop's associated program. Returns false on failure.
bool openDocument(const QString &path);

// Replaces the running program by the executable, started with the arguments (without the
// program name) in the same process, as after a self-update. Returns only when that failed, with
// the reason in error.
bool replaceProcessImage(const QString &executable, const QStringList &arguments, QString *error);

// Starts a batch file through the shell's "open" with a hidden window and the folder as its
// working folder, without waiting for it (Windows). Elsewhere it fails with the reason in error.
bool startHiddenBatch(const QString &batchFile, const QString &folder, QString *error);

}  // namespace tivra::platform
