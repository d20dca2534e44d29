// Darnu mode walks the wizard by itself: with the application folder pre-filled, one database
// that validates, all checks passed and no tablespaces to map, one "&Avançar" on the first page
// reaches the log page and runs the update.
#include "app/installer.h"
#include "platform/system.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace tivra;

TEST(DarnuWizard, OneClickFromTheFirstPageToTheEndOfTheRun)
{
    testsupport::TestSite site;
    QProcess process;
    process.start("bash", {QStringLiteral(TIVRA_MAKE_DATABASES), QStringLiteral(TIVRA_BUILD_DIR), site.installerDirectory()});
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    site.writeVersoesIni(testsupport::windowsText("[Aliases]\nTIVRA_PROD,L=Produção\n"));
    site.writeFile("installer/Config.ini", testsupport::windowsText("[AppTivra]\nPath=" + site.appDirectory() + "\n"));
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.0.005\n").addText("ChangeLog", "Novidades")
        .writeUpdatePack(site.installerDirectory());

    platform::setCommandLineArguments({"/noupdate", "/darnu", "/nosendlog"});
    testsupport::ScriptedUserInterface ui;
    Installer installer(ui);
    installer.installerDirectoryOverride = site.installerDirectory();
    installer.siteReachable = [](const QString &) { return false; };
    installer.FormCreate();
    ASSERT_TRUE(installer.session.darnuMode);
    ui.answerNext(UserInterface::Ok);  // the chain then looks for the next package: unreachable
    installer.NextPage();
    platform::setCommandLineArguments({});

    EXPECT_EQ(installer.runCount, 1);
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Completed);
    EXPECT_EQ(installer.lastVerdict.title, QStringLiteral("Processo de Atualização Concluído!"));
    // Only the box of the unreachable download site was shown: no confirmation, no refusal.
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].box.caption, QStringLiteral("Buscar Atualizações"));
    EXPECT_TRUE(installer.session.continueChain);
    EXPECT_EQ(installer.activePage, tsIntro);
}
