// Program start: the application, the five windows in their order, the message loop; or, with
// "/quiet", the unattended run without any window; or, with "/sync:ORIGIN /to:DEST...", the
// unattended server synchronisation; or, with "/restore:BACKUP_FOLDER", the restore of a backup.
// "/dryrun" (with or without "/quiet") gives the pre-flight report instead of the update run.
#include "app/dryrun.h"
#include "app/installer.h"
#include "app/restore.h"
#include "app/singleinstance.h"
#include "app/unattended.h"
#include "gui/qtuserinterface.h"
#include "gui/tfrexecqry.h"
#include "gui/tfrinstaller.h"
#include "gui/tfrsyncsvrs.h"
#include "gui/tfrtablespaces.h"
#include "gui/tfrupdate.h"
#include "platform/system.h"
#include "tools/synccommand.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
// "/screenshots:FOLDER": walks the wizard of the current site as a person pressing "&Avançar"
// would, with every box answered by its default button, and saves each page it reaches into
// FOLDER as a PNG file, the log page after the update run. Prints the paths and ends. Used by the
// demo to show the windows on machines without a display.
int writeScreenshots(tivra::Installer &installer, tivra::gui::TfrInstaller &window, const QString &folder)
{
    QDir().mkpath(folder);
    static const char *const names[] = {"tsIntro", "tsChangeLog", "tsDiretorios", "tsCatalogo",
                                        "tsScripts", "tsCheck", "tsFinalizar", "tsLog"};
    installer.unattended = true;
    for (int step = 0; step < 16; ++step) {
        QApplication::processEvents();
        const int page = installer.activePage;
        const QString path = QStringLiteral("%1/%2-%3.png").arg(folder).arg(page + 1, 2, 10, QLatin1Char('0'))
                                 .arg(QString::fromLatin1(names[page]));
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "Não foi possível gravar %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(QDir::toNativeSeparators(path)));
        if (page == tivra::tsLog || installer.runCount > 0)
            break;
        installer.NextPage();
        if (installer.activePage == page)
            break;  // the page refused to advance: its box went to standard error
    }
    return 0;
}

bool hasArgument(int argc, char *argv[], const char *text)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], text) == 0)
            return true;
    }
    return false;
}

// Hands the arguments (without the program name) to the switches and takes the lock of the
// installer directory; after telling the person, the exit status when another installer holds it
// or the folder cannot be written, else 0.
int startInstallerProcess(tivra::UserInterface &ui, tivra::InstanceLock &lock)
{
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    tivra::platform::setCommandLineArguments(arguments);
    const QString directory = tivra::platform::installerDirectory();
    switch (lock.take(directory)) {
    case tivra::InstanceLock::Outcome::Acquired:
        return 0;
    case tivra::InstanceLock::Outcome::HeldByAnother:
        ui.error(tivra::InstanceLock::refusalCaption(), tivra::InstanceLock::refusalText(directory));
        return tivra::ExitAnotherInstallerRunning;
    case tivra::InstanceLock::Outcome::FolderNotWritable:
        break;
    }
    ui.error(tivra::InstanceLock::notWritableCaption(), tivra::InstanceLock::notWritableText(directory));
    return tivra::ExitInstallerFolderNotWritable;
}

int runQuiet(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    tivra::UnattendedUserInterface ui;
    tivra::InstanceLock lock;
    if (const int refused = startInstallerProcess(ui, lock))
        return refused;
    tivra::Installer installer(ui);
    installer.releaseInstanceLock = [&lock] { lock.release(); };
    const bool dryRun = tivra::platform::ExistParametro(QStringLiteral("/dryrun"));
    if (dryRun)
        tivra::enableDryRun(installer);
    installer.FormCreate();
    installer.FormShow();
    const int status = dryRun ? tivra::runUnattendedDryRun(installer) : tivra::runUnattended(installer);
    installer.FormDestroy();
    return status;
}

// "/sync:ORIGIN /to:DEST... /quiet": the synchronisation without a window. It takes the folder lock
// as the other runs do: its origin is normally the application directory this installer updates,
// and an update run from the same folder must not change it while it is copied to the servers.
int runSync(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    tivra::UnattendedUserInterface ui;
    tivra::InstanceLock lock;
    if (startInstallerProcess(ui, lock) != 0)
        return tivra::SyncExitFailed;
    tivra::InstallerSession session(ui);
    session.installerDirectory = tivra::platform::installerDirectory();
    return tivra::runSyncCommand(session, tivra::parseSyncCommand(tivra::platform::commandLineArguments()),
                                 session.installerDirectory + QStringLiteral("Log/LogSincronizacao.txt"),
                                 [](const QString &line) {
                                     std::printf("%s\n", qPrintable(line));
                                     std::fflush(stdout);
                                 });
}
// "/restore:BACKUP_FOLDER [/quiet]": puts a backup back without the wizard, under the folder lock
// (an update run from the same folder must not replace files meanwhile). Lines go to standard
// output; without "/quiet", where a display is available, the verdict is shown in a box too.
int runRestoreCommand(int argc, char *argv[])
{
    const bool boxes = !hasArgument(argc, argv, "/quiet")
#ifndef Q_OS_WIN
        && (qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
#endif
        ;
    std::unique_ptr<QCoreApplication> app = boxes ? std::make_unique<QApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
    tivra::UnattendedUserInterface console;
    std::unique_ptr<tivra::gui::QtUserInterface> windows;
    if (boxes)
        windows = std::make_unique<tivra::gui::QtUserInterface>();
    tivra::UserInterface &ui = windows ? static_cast<tivra::UserInterface &>(*windows) : console;
    tivra::InstanceLock lock;
    if (const int refused = startInstallerProcess(ui, lock))
        return refused;
    tivra::InstallerSession session(ui);
    session.installerDirectory = tivra::platform::installerDirectory();
    tivra::readRestoreDirectories(session);
    const tivra::RestoreOutcome outcome =
        tivra::runRestore(session, tivra::parseRestoreCommand(tivra::platform::commandLineArguments()),
                          [](const QString &line) {
                              std::printf("%s\n", qPrintable(line));
                              std::fflush(stdout);
                          });
    if (windows) {
        QString text = outcome.summary;
        if (!outcome.logFile.isEmpty())
            text += QStringLiteral("\n\nLog: ") + QDir::toNativeSeparators(outcome.logFile);
        if (outcome.exitStatus == tivra::RestoreExitRestored)
            ui.information(tivra::kRestoreCaption, text);
        else
            ui.error(tivra::kRestoreCaption, text);
    }
    return outcome.exitStatus;
}
}  // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "/restore:", 9) == 0)
            return runRestoreCommand(argc, argv);
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "/sync:", 6) == 0 || std::strncmp(argv[i], "/to:", 4) == 0)
            return runSync(argc, argv);
    }
    if (hasArgument(argc, argv, "/quiet"))
        return runQuiet(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Instalador Tivra*"));
    tivra::gui::QtUserInterface ui;
    tivra::InstanceLock lock;
    if (const int refused = startInstallerProcess(ui, lock))
        return refused;
    const QStringList arguments = tivra::platform::commandLineArguments();

    tivra::Installer installer(ui);
    installer.releaseInstanceLock = [&lock] { lock.release(); };
    // "/dryrun": the pre-flight report is shown instead of the update run, then the program ends.
    if (tivra::platform::ExistParametro(QStringLiteral("/dryrun"))) {
        tivra::enableDryRun(installer);
        QObject::connect(&installer, &tivra::Installer::dryRunFinished, &app,
                         [&installer] { QCoreApplication::exit(installer.dryRunExit); }, Qt::QueuedConnection);
    }
    tivra::gui::TfrInstaller main(installer);
    ui.setParentWindow(&main);
    ui.setBusyHandler([&main](bool on) { main.setBusy(on); });
    installer.FormCreate();

    tivra::gui::TfrUpdate update(installer.downloadWindow, &main);
    tivra::gui::TfrTableSpaces tableSpaces(installer.session, &main);
    tivra::gui::TfrSyncSvrs syncSvrs(installer.session, &main);
    tivra::gui::TfrExecQry execQry(installer.session, &main);
    QObject::connect(&installer, &tivra::Installer::execQryRequested, &execQry, &QDialog::exec);
    QObject::connect(&installer, &tivra::Installer::tableSpacesRequested, &tableSpaces, &QDialog::exec);
    QObject::connect(&installer, &tivra::Installer::downloadRequested, &update, &QDialog::exec);
    syncSvrs.openOnRequest(installer);
    installer.FormShow();

    main.show();
    for (const QString &argument : arguments) {
        if (argument.startsWith(QStringLiteral("/screenshots:"))) {
            ui.setAutoAnswer(true);
            const int result = writeScreenshots(installer, main, argument.mid(13));
            installer.FormDestroy();
            return result;
        }
    }
    const int result = app.exec();
    installer.FormDestroy();
    return result;
}
