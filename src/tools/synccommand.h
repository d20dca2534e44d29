// The unattended form of the server synchronisation, for administrators who script several
// servers:
//
//   tivra-installer /sync:ORIGIN /to:DEST1 [/to:DEST2 ...] /quiet
//
// The origin and every destination get the checks of the window (the origin as if chosen with its
// folder button, each destination as if typed into the grid); any refusal copies nothing. Then
// the destinations are copied one after the other, a failed one not stopping the others. One line
// per destination goes to standard output; the error lines are written as the window saves them.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tivra {

struct InstallerSession;

struct SyncCommand {
    bool requested = false;  // "/sync:" or "/to:" was given
    QString origin;
    QStringList destinations;
    QString problem;  // why the command line cannot be run; empty when it can
};

// Reads "/sync:ORIGIN" and every "/to:DEST" of the arguments; other switches are left alone.
SyncCommand parseSyncCommand(const QStringList &arguments);

// Exit statuses of the unattended synchronisation.
enum SyncExit { SyncExitCopied = 0, SyncExitFailed = 1 };

// Runs the checks and the copy, printing one line per destination through print, and writes the
// error lines (with their heading) to logFile when there are any. SyncExitCopied when every
// destination was copied, else SyncExitFailed.
int runSyncCommand(InstallerSession &session, const SyncCommand &command, const QString &logFile,
                   const std::function<void(const QString &line)> &print);

}  // namespace tivra
