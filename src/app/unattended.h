// Unattended runs ("/quiet"): no window; the wizard walks its pages by itself, pressing
// "&Avançar" on every page that does not pass on by itself, and the update runs. Every message
// box goes to standard error and is answered with its default button.
#pragma once

#include <QStringList>

namespace tivra {

class Installer;

// Exit statuses of an unattended run.
enum UnattendedExit {
    ExitCompleted = 0,
    ExitCompletedWithFailures = 1,
    ExitInterrupted = 2,
    ExitRefused = 3,  // a page refused to advance
    ExitInstallerFolderNotWritable = 4,  // the installer's own folder cannot be written
    ExitAnotherInstallerRunning = 5,     // another installer runs from the same folder: try again later
};

// What an administrator without a window does about the page the walk stopped on (the wizard's
// texts speak of buttons and fields): the lines that follow the page's refusal, each beginning
// "Sem janela: ", preceded by a line naming an application directory that does not exist.
QStringList withoutWindowAdvice(const Installer &installer);

// Walks the wizard of an installer whose FormCreate has run, until an update run ends or a page
// refuses to advance. Prints the verdict and the paths of the log file and logbook on standard
// output. Returns the exit status.
int runUnattended(Installer &installer);

}  // namespace tivra
