// The fixture of the end-to-end runs: a test site with the real installer copied into its
// installer folder, run as a process without a display, and the demo's embedded databases.
#pragma once

#include "support/packagebuilder.h"
#include "support/testsite.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <gtest/gtest.h>

namespace tivra::testsupport {

class InstallerProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installInstaller();
        site.writeVersoesIni(windowsText("[Aliases]\n"));
    }

    // The installer in the site's installer folder, its Config.ini naming the application directory.
    void installInstaller()
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(TIVRA_INSTALLER_EXE), site.installerDirectory() + "tivra-installer"));
        QFile::setPermissions(site.installerDirectory() + "tivra-installer",
                              QFile::permissions(QStringLiteral(TIVRA_INSTALLER_EXE)));
        site.writeFile("installer/Config.ini", windowsText("[AppTivra]\nPath=" + site.appDirectory() + "\n"));
    }

    // Fixtures adjust the installer's environment here.
    virtual void adjustEnvironment(QProcessEnvironment &) {}

    // Runs the installer in its folder; its output lands in out and err. -1 when it crashed.
    int runInstaller(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", site.root() + "/xdg");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        adjustEnvironment(env);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(site.installerDirectory());
        process.start(site.installerDirectory() + "tivra-installer", arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The demo's databases: TIVRA_PROD (Oracle) and TIVRA_HML (DB2), embedded, with their
    // credentials in the registry export.
    void addDatabases()
    {
        QProcess process;
        process.start("bash", {QStringLiteral(TIVRA_MAKE_DATABASES), QStringLiteral(TIVRA_BUILD_DIR), site.installerDirectory()});
        ASSERT_TRUE(process.waitForFinished(120000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        site.writeVersoesIni(windowsText("[Componentes]\nCadastro.exe=1.0.0.0\n\n[Aliases]\n"
                                         "TIVRA_PROD,L=Produção\nTIVRA_HML=Homologação\n"));
    }

    TestSite site;
    QString out, err;
};

}  // namespace tivra::testsupport
