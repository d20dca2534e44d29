// The wizard driven through the scripted seam: auto-skips in the direction of travel, the
// directories page pre-fill, every refusal of leaving a page, and the summary text.
#include "app/dryrun.h"
#include "app/installer.h"
#include "core/clock.h"
#include "db/connection.h"
#include "platform/system.h"
#include "platform/textfile.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::ScriptedUserInterface;

namespace {
class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", QByteArray(site.root().toUtf8() + "/xdg"));
        platform::setCommandLineArguments({"/noupdate"});
        installer.installerDirectoryOverride = site.installerDirectory();
    }
    void TearDown() override { platform::setCommandLineArguments({}); }

    void writePackage(const QString &config, const QString &changeLog = {})
    {
        testsupport::PackageBuilder builder;
        builder.config(config);
        if (!changeLog.isEmpty())
            builder.addText("ChangeLog", changeLog);
        builder.writeUpdatePack(site.installerDirectory());
    }
    void writeInstallerSettings(const QString &appPath)
    {
        site.writeFile("installer/Config.ini", testsupport::windowsText("[AppTivra]\nPath=" + appPath + "\n"));
    }
    void addDb(const QString &alias, const QString &description, int image)
    {
        installer.cdsDbs.append({{"ALIAS", alias}, {"DESCRICAO", description}, {"IMAGE", image}});
    }
    const UserInterface::MessageBox &lastBox() const { return ui.boxes().back().box; }

    testsupport::TestSite site;
    ScriptedUserInterface ui;
    Installer installer{ui};
};
}  // namespace

TEST_F(WizardTest, EmptyChangeLogAndCatalogPagesAreSkippedInTheDirectionOfTravel)
{
    writePackage("[Outros]\nVersaoPacote=2.4.107\n");
    installer.FormCreate();
    EXPECT_TRUE(installer.caption.endsWith(" - Pacote [2.4.107]"));
    installer.NextPage();
    EXPECT_EQ(installer.activePage, tsDiretorios);
    EXPECT_EQ(installer.header.title, QStringLiteral("Diretórios de Arquivos"));
    installer.PreviousPage();
    EXPECT_EQ(installer.activePage, tsIntro);
    EXPECT_EQ(installer.btVoltar.caption, QStringLiteral("&Cancelar"));
}

TEST_F(WizardTest, AChangeLogIsShownAndTheButtonsFollowThePage)
{
    writePackage("[Outros]\nVersaoPacote=2.4.107\n", "Novidades da versão");
    installer.FormCreate();
    installer.NextPage();
    EXPECT_EQ(installer.activePage, tsChangeLog);
    EXPECT_EQ(installer.btVoltar.caption, QStringLiteral("&Voltar"));
    EXPECT_FALSE(installer.btAtualizacoes.visible);
    EXPECT_FALSE(installer.btLog.visible);
}

TEST_F(WizardTest, TheDirectoriesPageTakesTheInstallerSettingsOnEveryEntry)
{
    writePackage("[Outros]\nVersaoPacote=1\n");
    writeInstallerSettings(site.appDirectory());
    installer.FormCreate();
    installer.NextPage();
    ASSERT_EQ(installer.activePage, tsDiretorios);
    EXPECT_EQ(installer.session.pathAppTivra, site.appDirectory());
    EXPECT_EQ(installer.session.pathLog, site.installerDirectory() + "Log");
    EXPECT_EQ(installer.session.pathBackup, site.installerDirectory() + "Backup");

    installer.session.pathAppTivra = "/outro";
    installer.session.pathLog = "/meus/logs";
    installer.PreviousPage();
    installer.NextPage();
    EXPECT_EQ(installer.session.pathAppTivra, site.appDirectory());
    EXPECT_EQ(installer.session.pathLog, "/meus/logs");

    // Without the settings file the field keeps what the user picked.
    QFile::remove(site.installerDirectory() + "Config.ini");
    installer.session.pathAppTivra = "/outro";
    installer.PreviousPage();
    installer.NextPage();
    EXPECT_EQ(installer.session.pathAppTivra, "/outro");
}

TEST_F(WizardTest, LeavingTheDirectoriesPageNeedsEveryFolder)
{
    writePackage("[Outros]\nVersaoPacote=1\n");
    installer.FormCreate();
    installer.NextPage();
    ASSERT_EQ(installer.activePage, tsDiretorios);
    installer.session.pathAppTivra = "   ";
    ui.answerNext(UserInterface::Ok);
    installer.NextPage();
    EXPECT_EQ(installer.activePage, tsDiretorios);
    EXPECT_EQ(lastBox().caption, QStringLiteral("Caminho AppTivra"));
    EXPECT_EQ(lastBox().text, QStringLiteral("Informe o caminho para atualização dos arquivos binários (AppTivra)!"));
    EXPECT_EQ(lastBox().icon, UserInterface::Icon::Information);

    installer.session.pathAppTivra = site.appDirectory();
    installer.session.pathBackup = "";
    ui.answerNext(UserInterface::Ok);
    installer.NextPage();
    EXPECT_EQ(lastBox().caption, QStringLiteral("Backup"));
    installer.session.pathBackup = "b";
    installer.session.pathLog = " ";
    ui.answerNext(UserInterface::Ok);
    installer.NextPage();
    EXPECT_EQ(lastBox().caption, QStringLiteral("Logs"));
    EXPECT_EQ(lastBox().text, QStringLiteral("Informe o caminho para geração dos arquivos de log!"));
}

TEST_F(WizardTest, TheDatabasesPageRefusesUnvalidatedAndUnauthenticatedLists)
{
    installer.FormCreate();
    installer.activePage = tsScripts;

    addDb("A", "Produção", ImageIgnored);
    addDb("B", "Homologação", ImageNeutral);
    ui.answerNext(UserInterface::Ok);
    EXPECT_FALSE(installer.CheckNextPage());
    EXPECT_EQ(lastBox().caption, QStringLiteral("Validação"));
    EXPECT_EQ(lastBox().text, QStringLiteral("O Banco \"Homologação\" ainda não foi validado."));

    installer.cdsDbs.setValue(1, "IMAGE", ImageError);
    ui.answerNext(UserInterface::Ok);
    EXPECT_FALSE(installer.CheckNextPage());
    EXPECT_EQ(lastBox().caption, QStringLiteral("Autenticação"));
    EXPECT_EQ(lastBox().icon, UserInterface::Icon::Warning);
    EXPECT_EQ(lastBox().text, QStringLiteral("O atualizador exige que ao menos um banco seja autenticado!"));

    installer.cdsDbs.setValue(0, "IMAGE", ImageSuccess);
    EXPECT_TRUE(installer.CheckNextPage());

    // Two validated databases and a package that names tablespaces.
    installer.cdsDbs.setValue(1, "IMAGE", ImageSuccess);
    installer.session.package.tableSpaces = {"TS_DADOS"};
    ui.answerNext(UserInterface::Ok);
    EXPECT_FALSE(installer.CheckNextPage());
    EXPECT_TRUE(lastBox().text.startsWith("Esse pacote possui referências a tablespaces."));
}

TEST_F(WizardTest, TheChecksPageRefusesAFailedCheck)
{
    installer.FormCreate();
    installer.activePage = tsCheck;
    installer.cdsChecks.append({{"ETAPA", "Permissão de Escrita"}, {"APROVADO", "S"}});
    EXPECT_TRUE(installer.CheckNextPage());
    installer.cdsChecks.append({{"ETAPA", "Disponibilidade para Atualização"}, {"APROVADO", "N"}});
    ui.answerNext(UserInterface::Ok);
    EXPECT_FALSE(installer.CheckNextPage());
    EXPECT_EQ(lastBox().caption, QStringLiteral("Aprovar Etapas"));
}

TEST_F(WizardTest, TheChecksPageTestsTheLogFolderAndCreatesIt)
{
    installer.FormCreate();
    installer.session.pathLog = site.root() + "/logs";
    installer.activePage = tsCheck;
    installer.ChangePage(true);
    EXPECT_TRUE(QFileInfo(site.root() + "/logs").isDir());
    ASSERT_EQ(installer.cdsChecks.count(), 1);
    EXPECT_EQ(installer.cdsChecks.text(0, "ETAPA"), QStringLiteral("Permissão de Escrita"));
    EXPECT_EQ(installer.cdsChecks.text(0, "DETALHES"), site.root() + "/logs");
    EXPECT_TRUE(installer.session.status.logText().join("\n").contains(
        "- Verificando permissão de escrita - \"" + site.root() + "/logs\".\n"));
    EXPECT_TRUE(installer.btAvancar.enabled);
    EXPECT_FALSE(ui.busy());
}

TEST_F(WizardTest, TheSummaryListsFoldersAndValidatedDatabases)
{
    installer.FormCreate();
    installer.session.pathAppTivra = "/s/AppTivra";
    installer.session.pathBackup = "/s/Backup";
    installer.session.pathLog = "/s/Log";
    addDb("PROD", "Produção", ImageSuccess);
    addDb("HML", "Homologação", ImageError);
    installer.session.package.existBin = true;
    installer.session.package.existScript = true;
    installer.session.package.scriptMSSQL = {"SELECT 1"};
    installer.activePage = tsFinalizar;
    installer.ChangePage(true);
    EXPECT_EQ(installer.btAvancar.caption, QStringLiteral("&Iniciar"));
    EXPECT_EQ(installer.mFinalizar,
              QStringLiteral("Diretório para atualização de arquivos binários:\r\n   -> /s/AppTivra\r\n\r\n"
                             "Diretório de destino do Backup:\r\n   -> /s/Backup\r\n\r\nDiretório de destino dos "
                             "Logs:\r\n   -> /s/Log\r\n\r\nBanco(s) selecionado(s) para atualização: \r\n"
                             "   -> Produção (PROD)"));
    // A SQL Server script alone shows no script buttons and asks no tablespace mapping.
    EXPECT_FALSE(installer.scriptButtonsVisible);
    EXPECT_FALSE(installer.tableSpacesButtonVisible);
    EXPECT_EQ(installer.summaryPanelHeight, 240);

    installer.session.package.existBin = false;
    installer.session.package.existScript = false;
    installer.session.package.existRestrFunc = true;
    installer.session.package.scriptOracle = {"SELECT 1 FROM DUAL"};
    installer.session.package.tableSpaces = {"TS_DADOS"};
    installer.ChangePage(true);
    EXPECT_TRUE(installer.mFinalizar.contains(
        "   -> Nenhum arquivo binário será atualizado conforme conteúdo deste pacote.\r\n\r\nDiretório de destino dos Logs:"));
    EXPECT_TRUE(installer.mFinalizar.endsWith("   -> Nenhum banco será atualizado conforme conteúdo do pacote."));
    EXPECT_TRUE(installer.scriptButtonsVisible);
    EXPECT_TRUE(installer.tableSpacesButtonVisible);
    EXPECT_EQ(installer.summaryPanelHeight, 210);

    // Unconfirmed tablespaces refuse; then the start question decides.
    ui.answerNext(UserInterface::Ok);
    EXPECT_FALSE(installer.CheckNextPage());
    EXPECT_EQ(lastBox().text, QStringLiteral("Existem tablespaces que precisam ser relacionados antes de continuar."));
    installer.session.tableSpacesConfirmed = true;
    ui.answerNext(UserInterface::No);
    EXPECT_FALSE(installer.CheckNextPage());
    EXPECT_EQ(lastBox().caption, QStringLiteral("Confirmar"));
    EXPECT_EQ(lastBox().text, QStringLiteral("Confirma a atualização do sistema?"));
    ui.answerNext(UserInterface::Yes);
    EXPECT_TRUE(installer.CheckNextPage());
    // Unattended runs are not asked.
    const size_t boxes = ui.boxes().size();
    installer.unattended = true;
    EXPECT_TRUE(installer.CheckNextPage());
    EXPECT_EQ(ui.boxes().size(), boxes);
}

TEST_F(WizardTest, ScriptButtonsShowTheVendorScriptAndTheSiteButtonSaysWhenUnreachable)
{
    installer.FormCreate();
    installer.session.package.scriptDB2 = {"CREATE TABLE X (A INT);"};
    installer.btScriptClick("DB2");
    ASSERT_EQ(ui.textWindows().size(), 1);
    EXPECT_EQ(ui.textWindows()[0], QStringLiteral("Scripts a serem executados em bancos DB2"));
    EXPECT_EQ(ui.textContents()[0], QStringLiteral("CREATE TABLE X (A INT);"));
    EXPECT_TRUE(ui.textProtected()[0]);

    QString asked;
    installer.siteReachable = [&](const QString &url) {
        asked = url;
        return false;
    };
    ui.answerNext(UserInterface::Ok);
    installer.btAtualizacoesClick();
    EXPECT_EQ(asked, installer.session.build.makerSite);
    EXPECT_EQ(lastBox().caption, QStringLiteral("Buscar Atualizações"));
    EXPECT_EQ(lastBox().text,
              QStringLiteral("Não foi possível acessar o servidor de atualizações. Verifique sua conexão com a internet!"));

    int opened = 0;
    QObject::connect(&installer, &Installer::downloadRequested, [&] { ++opened; });
    installer.siteReachable = [](const QString &) { return true; };
    installer.btAtualizacoesClick();
    EXPECT_EQ(opened, 1);
}

// In dry-run mode the checks page creates no backup folder, and the log page shows the report in
// the text window instead of running the update; nothing of the application directory changes.
TEST_F(WizardTest, ADryRunChecksWithoutCreatingFoldersAndShowsTheReportInsteadOfRunning)
{
    struct Restore {
        ~Restore() { DbConnection::setReadOnly(false); }
    } restore;
    const QString app = site.appDirectory();
    QDir().mkpath(app + "/Producao/Bin");
    writeInstallerSettings(app);
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=1.0.002\nExistBin=1\n[BinaryToCopy]\nAppTivra\\Producao\\Bin\\A.dll\n")
        .add("AppTivra/Producao/Bin/A.dll", "novo")
        .writeUpdatePack(site.installerDirectory());
    enableDryRun(installer);
    installer.FormCreate();
    installer.session.pathAppTivra = app;
    installer.session.pathLog = site.root() + "/logs";
    installer.session.pathBackup = site.root() + "/sem/Backup";
    installer.activePage = tsCheck;
    installer.ChangePage(true);
    EXPECT_FALSE(QFileInfo::exists(site.root() + "/sem"));
    for (int row = 0; row < installer.cdsChecks.count(); ++row)
        EXPECT_NE(installer.cdsChecks.text(row, "APROVADO"), QStringLiteral("N")) << installer.cdsChecks.text(row, "DETALHES").toStdString();

    // A report of the same minute is already there: it stays, the new one takes a suffix.
    setClockForTesting([] { return QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)); });
    const QString earlier = dryRunFileName(installer.session.customerCode, "1.0.002");
    QDir().mkpath(site.root() + "/logs");
    platform::writeTextItems(site.root() + "/logs/" + earlier, {"anterior"});

    bool finished = false;
    QObject::connect(&installer, &Installer::dryRunFinished, [&finished] { finished = true; });
    installer.NextPage();
    ASSERT_EQ(installer.activePage, tsFinalizar);
    installer.NextPage();  // no confirmation: nothing is going to change
    setClockForTesting({});
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_TRUE(finished);
    EXPECT_EQ(installer.runCount, 0);
    EXPECT_EQ(installer.dryRunExit, 0);
    ASSERT_EQ(ui.textWindows(), QStringList("Relatório prévio da atualização"));
    EXPECT_TRUE(ui.textContents().back().contains("NOVO        " + app + "/Producao/Bin/A.dll")) << ui.textContents().back().toStdString();
    EXPECT_FALSE(QFileInfo::exists(app + "/Producao/Bin/A.dll"));
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "tmp"));
    QStringList logs = QDir(site.root() + "/logs").entryList(QDir::Files);
    ASSERT_EQ(logs.size(), 2);
    ASSERT_TRUE(logs.removeOne(earlier));
    EXPECT_EQ(platform::readText(site.root() + "/logs/" + earlier), QStringLiteral("anterior\r\n"));
    EXPECT_EQ(site.root() + "/logs/" + logs[0], installer.dryRunFile);
    EXPECT_TRUE(logs[0].endsWith("_DryRun_1.0.002_05032011_1407_2.txt")) << logs[0].toStdString();
}
