// Program start: the application, the five windows in their order, the message loop.
#include "app/installer.h"
#include "gui/qtuserinterface.h"
#include "gui/sidewindows.h"
#include "gui/tfrexecqry.h"
#include "gui/tfrtablespaces.h"
#include "gui/tfrinstaller.h"
#include "platform/system.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

namespace {
// "/screenshots:FOLDER": renders every wizard page of the current site into FOLDER as PNG files
// (titles, buttons and static content, without running the pages' entry steps), prints the
// paths and ends. Used by the demo on machines without a display.
int writeScreenshots(tivra::Installer &installer, tivra::gui::TfrInstaller &window, const QString &folder)
{
    QDir().mkpath(folder);
    static const char *const names[] = {"tsIntro", "tsChangeLog", "tsDiretorios", "tsCatalogo",
                                        "tsScripts", "tsCheck", "tsFinalizar", "tsLog"};
    for (int page = 0; page < tivra::PageCount; ++page) {
        installer.PreviewPage(tivra::Page(page));
        QApplication::processEvents();
        const QString path = QStringLiteral("%1/%2-%3.png").arg(folder).arg(page + 1, 2, 10, QLatin1Char('0'))
                                 .arg(QString::fromLatin1(names[page]));
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "Não foi possível gravar %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(QDir::toNativeSeparators(path)));
    }
    return 0;
}
}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Instalador Tivra*"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    tivra::platform::setCommandLineArguments(arguments);

    tivra::gui::QtUserInterface ui;
    tivra::Installer installer(ui);
    tivra::gui::TfrInstaller main(installer);
    ui.setParentWindow(&main);
    ui.setBusyHandler([&main](bool on) { main.setBusy(on); });
    installer.FormCreate();

    tivra::gui::TfrUpdate update(&main);
    tivra::gui::TfrTableSpaces tableSpaces(installer.session, &main);
    tivra::gui::TfrSyncSvrs syncSvrs(&main);
    tivra::gui::TfrExecQry execQry(installer.session, &main);
    QObject::connect(&installer, &tivra::Installer::execQryRequested, &execQry, &QDialog::exec);
    installer.FormShow();

    main.show();
    for (const QString &argument : arguments) {
        if (argument.startsWith(QStringLiteral("/screenshots:"))) {
            const int result = writeScreenshots(installer, main, argument.mid(13));
            installer.FormDestroy();
            return result;
        }
    }
    const int result = app.exec();
    installer.FormDestroy();
    return result;
}
