// The real installer run with /quiet on generated sites: exit statuses, what it prints, and the
// files it leaves.
#include "support/packagebuilder.h"
#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace tivra;

namespace {
class QuietRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(TIVRA_INSTALLER_EXE), site.installerDirectory() + "tivra-installer"));
        QFile::setPermissions(site.installerDirectory() + "tivra-installer",
                              QFile::permissions(QStringLiteral(TIVRA_INSTALLER_EXE)));
        site.writeFile("installer/Config.ini", testsupport::windowsText("[AppTivra]\nPath=" + site.appDirectory() + "\n"));
        site.writeVersoesIni(testsupport::windowsText("[Aliases]\n"));
    }

    int runInstaller(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", site.root() + "/xdg");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(site.installerDirectory());
        process.start(site.installerDirectory() + "tivra-installer", arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    testsupport::TestSite site;
    QString out, err;
};
}  // namespace

TEST_F(QuietRun, WithoutAPackageTheFirstPageRefusesWithStatus3)
{
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 3);
    EXPECT_TRUE(err.contains("Arquivo não encontrado: Nenhum pacote de atualização foi encontrado. Utilize o botão "
                             "\"Atualizar Pacotes\" para baixar um novo."))
        << err.toStdString();
}

TEST_F(QuietRun, WithoutDatabasesTheDatabasesPageRefuses)
{
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.0.001\nExistScript=1\n")
        .writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 3);
    EXPECT_TRUE(err.contains("Autenticação: O atualizador exige que ao menos um banco seja autenticado!"))
        << err.toStdString();
    EXPECT_TRUE(out.contains("Banco de Dados")) << out.toStdString();
}

TEST_F(QuietRun, ASecondInstallerInTheSameFolderRefusesAndChangesNothing)
{
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.0.001\n").writeUpdatePack(site.installerDirectory());
    const QString marker = site.writeFile("installer/tmp/AppTivra/em-uso.dll", "being installed");
    QLockFile first(site.installerDirectory() + "tivra-installer.lock");
    ASSERT_TRUE(first.tryLock(0));
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 3);
    EXPECT_TRUE(err.contains("Instalador em execução: Já existe um instalador em execução a partir da pasta"))
        << err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(marker));
    first.unlock();
    // Once the first one is gone the next one starts (and removes the left-over working folder).
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 3);
    EXPECT_FALSE(QFileInfo::exists(marker));
}
