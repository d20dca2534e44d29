// Program start: the application, the five windows in their order, the message loop.
#include "app/installer.h"
#include "gui/qtuserinterface.h"
#include "gui/sidewindows.h"
#include "gui/tfrinstaller.h"
#include "platform/system.h"

#include <QApplication>

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
    tivra::gui::TfrTableSpaces tableSpaces(&main);
    tivra::gui::TfrSyncSvrs syncSvrs(&main);
    tivra::gui::TfrExecQry execQry(&main);
    installer.FormShow();

    main.show();
    const int result = app.exec();
    installer.FormDestroy();
    return result;
}
