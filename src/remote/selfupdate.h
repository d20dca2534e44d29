// The installer's self-update: at each start the installer compares its own version with the one
// the package repository publishes and, when they differ, downloads the published executable
// beside itself ("Installer.tmp") and puts it in its own place:
// - on Linux in one step (rename), then starts it with the same arguments in the same process;
// - on Windows, where a running executable cannot be replaced, through the swap batch
//   "update.bat": written in the installer's folder and started hidden there, it waits for this
//   process to end, moves the new file over the old one and starts it; this process then ends.
// A download that fails, is cut or is refused leaves the running installer as it was and the
// program goes on.
#pragma once

#include "remote/httpclient.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace tivra {
struct InstallerSession;
}

namespace tivra::remote {

inline const QString kInstallerVersionFile = QStringLiteral("VersaoInstaller.txt");
inline const QString kInstallerFile = QStringLiteral("Installer.exe");
// Set for the started installer: the version text that the self-update has just installed.
inline constexpr char kSelfUpdatedVariable[] = "TIVRA_SELF_UPDATED_TO";
inline const QString kDownloadedInstallerFile = QStringLiteral("Installer.tmp");
inline const QString kSwapBatchFile = QStringLiteral("update.bat");
// Exit status of an unattended run that ended because the installer updated itself through the
// swap batch: the new installer was started with the same arguments and makes the run itself.
inline constexpr int kSelfUpdateSwapExitStatus = 6;
// The most an installer download may bring (the listing announces no size for it).
inline constexpr qint64 kInstallerDownloadCeilingBytes = 512LL * 1024 * 1024;

// The swap batch, seven lines ended by CR LF, in Windows-1252. Every file is named relative to the
// folder the batch runs in (the installer's). The running executable's file name is used where it
// is not "Installer.exe" (quoted when it holds a blank), and the arguments of the running installer
// follow the start of the new one, so that it goes on as this one was started.
QByteArray swapBatchText(const QString &executableFileName, const QStringList &arguments);

// The published version text as compared: blanks and line ends around it removed.
QString publishedVersionText(const QString &fetched);

// What the self-update needs from the program around it; tests replace the parts that would end
// the process.
struct SelfUpdateEnvironment {
    QString ownVersion;           // the running installer's version text
    QString executablePath;       // the running executable
    QStringList arguments;        // its arguments, without the program name
    std::function<bool(const QString &url)> siteReachable;
    // Shows or hides the main window's progress dialog ("Atualizando Instalador, aguarde...").
    std::function<void(bool shown)> showProgress;
    // Called just before the new executable is started (the instance lock is let go).
    std::function<void()> beforeRestart;
    // Starts the executable with the arguments in place of this process; returns only on
    // failure (platform::replaceProcessImage by default).
    std::function<bool(const QString &executable, const QStringList &arguments, QString *error)> restart;
    // The swap through "update.bat" instead of the rename and restart (the Windows way; set on
    // Windows by currentProgramEnvironment).
    bool swapByBatch = false;
    // Starts the batch hidden, with the folder as its working folder (platform::startHiddenBatch).
    std::function<bool(const QString &batchFile, const QString &folder, QString *error)> startBatch;
    // Ends the program once the batch runs (the default exits: status 0, or
    // kSelfUpdateSwapExitStatus in an unattended run).
    std::function<void()> endProcess;
    HttpOptions textOptions;
    HttpOptions downloadOptions;
};

// The environment of the running program (own version, executable, arguments, real restart).
SelfUpdateEnvironment currentProgramEnvironment();

enum class SelfUpdateOutcome {
    NotChecked,      // the maker's site cannot be reached
    UpToDate,        // nothing published, an equal version, or a text of 15 characters or more
    LoopStopped,     // the published version was installed moments ago and still differs
    DownloadFailed,  // failed, cut or refused (the published version text too, when its signature
                     // is missing or invalid in a build with a key): the running installer stays
    RestartFailed,   // the new executable is in place but could not be started, or the swap
                     // batch could not be started (then the running installer stays)
    Restarted,       // only seen by tests: the restart hook returned true
};

// VerificaVersaoInstalador: the check at start; runs AtualizaInstalador when another version is
// published.
SelfUpdateOutcome VerificaVersaoInstalador(InstallerSession &session, SelfUpdateEnvironment &environment);
// AtualizaInstalador: download, replacement and restart.
SelfUpdateOutcome AtualizaInstalador(InstallerSession &session, SelfUpdateEnvironment &environment,
                                     const QString &publishedVersion);

}  // namespace tivra::remote
