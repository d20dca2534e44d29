#include "app/installer.h"
#include "app/singleinstance.h"
#include "platform/system.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::ScriptedUserInterface;

namespace {
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setCommandLineArguments({"/noupdate"});
        installer.installerDirectoryOverride = site.installerDirectory();
    }
    void TearDown() override { platform::setCommandLineArguments({}); }

    testsupport::TestSite site;
    ScriptedUserInterface ui;
    Installer installer{ui};
};
}  // namespace

TEST_F(InstallerTest, StartsOnTheFirstPageWithItsTitlesAndButtons)
{
    installer.FormCreate();
    EXPECT_EQ(installer.activePage, tsIntro);
    EXPECT_EQ(installer.header.title, QStringLiteral("Atualização do Tivra*"));
    EXPECT_EQ(installer.header.subtitle, QStringLiteral("Bem vindo à ferramenta de atualização do Tivra*"));
    EXPECT_TRUE(installer.caption.startsWith(QStringLiteral("Instalador Tivra* v")));
    EXPECT_FALSE(installer.ownVersionText.isEmpty());
    EXPECT_EQ(installer.btVoltar.caption, QStringLiteral("&Cancelar"));
    EXPECT_EQ(installer.btAvancar.caption, QStringLiteral("&Avançar"));
    EXPECT_TRUE(installer.btAvancar.visible);
    EXPECT_FALSE(installer.btConcluir.visible);
    EXPECT_TRUE(installer.btAtualizacoes.visible);
    EXPECT_TRUE(installer.btSyncSvr.visible);
    EXPECT_FALSE(installer.btLog.visible);
    EXPECT_FALSE(installer.btInstallNewPack.visible);
    EXPECT_FALSE(installer.btManual.visible);
    EXPECT_TRUE(installer.session.ignoreBackup);
    EXPECT_FALSE(installer.session.darnuMode);
    EXPECT_EQ(installer.session.installerDirectory, site.installerDirectory());
    EXPECT_EQ(installer.session.workingFolder, site.installerDirectory() + "tmp");
    // The only log item is the start line; the logbook has its five heading items.
    ASSERT_EQ(installer.session.status.logText().size(), 1);
    EXPECT_TRUE(installer.session.status.logText()[0].endsWith(
        QStringLiteral("- Atualizador Inicializado\r\n") + QString(72, QLatin1Char('-'))));
    ASSERT_EQ(installer.session.logbook.size(), 5);
    EXPECT_EQ(installer.session.logbook[2], QStringLiteral("- Versão do Pacote de Atualização: 0.0.001"));
    EXPECT_EQ(installer.session.status.rowCount(), 0);
}

TEST_F(InstallerTest, ConfigInicialRemovesALeftOverWorkingFolderAndResetsTheSession)
{
    qputenv("XDG_DATA_HOME", QByteArray(site.root().toUtf8() + "/xdg"));
    installer.FormCreate();
    QDir().mkpath(installer.session.workingFolder + "/sub");
    installer.UpdateStatus("linha", true, "01. Backup", ImageIgnored, true);
    installer.session.pathAppTivra = "x";
    installer.session.ignoreBackup = false;
    installer.cdsChecks.append({{"ETAPA", "Permissão de Escrita"}});
    installer.mFinalizar = "resumo";

    installer.ConfigInicial();
    EXPECT_FALSE(QFileInfo::exists(installer.session.workingFolder));
    EXPECT_EQ(installer.session.status.rowCount(), 0);
    EXPECT_EQ(installer.session.status.logText().size(), 1);
    EXPECT_TRUE(installer.cdsChecks.isEmpty());
    EXPECT_TRUE(installer.session.pathAppTivra.isEmpty());
    EXPECT_TRUE(installer.session.ignoreBackup);
    EXPECT_TRUE(installer.mFinalizar.isEmpty());
    // The last status image is not reset.
    EXPECT_EQ(installer.session.status.lastStatusImage(), ImageIgnored);
}

TEST_F(InstallerTest, ClosingAsksAndOnlyYesCloses)
{
    installer.FormCreate();
    ui.answerNext(UserInterface::No);
    EXPECT_FALSE(installer.FormClose());
    ui.answerNext(UserInterface::Yes);
    EXPECT_TRUE(installer.FormClose());
    ui.answerNext(UserInterface::Cancel);
    EXPECT_FALSE(installer.FormClose());
    ASSERT_EQ(ui.boxes().size(), 3u);
    const auto &box = ui.boxes()[0].box;
    EXPECT_EQ(box.caption, QStringLiteral("Encerrar Atualizador"));
    EXPECT_EQ(box.text, QStringLiteral("Confirma a saída da ferramenta de Atualização?"));
    EXPECT_EQ(box.icon, UserInterface::Icon::Question);
    EXPECT_EQ(box.buttons, UserInterface::Yes | UserInterface::No);
    // Answering No leaves the wizard where it was.
    EXPECT_EQ(installer.activePage, tsIntro);
}

TEST_F(InstallerTest, SwitchesAreMatchedExactly)
{
    int checks = 0;
    installer.selfUpdateCheck = [&](Installer &) { ++checks; };

    platform::setCommandLineArguments({"/NOUPDATE", "/darnu"});
    installer.FormCreate();
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(installer.session.darnuMode);

    platform::setCommandLineArguments({"/noupdate", "/darnux", "/Darnu"});
    installer.FormCreate();
    EXPECT_EQ(checks, 1);
    EXPECT_FALSE(installer.session.darnuMode);

    platform::setCommandLineArguments({});
    installer.FormCreate();
    EXPECT_EQ(checks, 2);

    // A pre-flight report replaces nothing, the installer itself included.
    installer.dryRun = true;
    installer.FormCreate();
    EXPECT_EQ(checks, 2);
}

TEST_F(InstallerTest, TheFirstPageCancelButtonAsksToClose)
{
    installer.FormCreate();
    int closeRequests = 0;
    QObject::connect(&installer, &Installer::closeRequested, [&] { ++closeRequests; });
    installer.PreviousPage();
    EXPECT_EQ(closeRequests, 1);
}

TEST_F(InstallerTest, WithoutAPackageTheFirstPageRefusesToAdvance)
{
    installer.FormCreate();
    ui.answerNext(UserInterface::Ok);
    installer.NextPage();
    EXPECT_EQ(installer.activePage, tsIntro);
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].box.caption, QStringLiteral("Arquivo não encontrado"));
    EXPECT_EQ(ui.boxes()[0].box.icon, UserInterface::Icon::Warning);
}

TEST_F(InstallerTest, APackageThatCannotBeUsedIsRefusedOnTheFirstPageSayingWhy)
{
    const QString pack = site.installerDirectory() + "Update.pack";
    const auto writePack = [&](const QByteArray &bytes) {
        QFile file(pack);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    };
    struct Case {
        const char *what;
        std::function<void()> make;
        QString expected;  // a piece of the box's text
    };
    const std::vector<Case> cases = {
        {"garbage settings",
         [&] { testsupport::PackageBuilder().config("\x01\x02 garbage \xff\xfe").writeUpdatePack(site.installerDirectory()); },
         QStringLiteral("VersaoPacote")},
        {"settings of another kind",
         [&] { testsupport::PackageBuilder().config("[Geral]\nNome=Outro\n").writeUpdatePack(site.installerDirectory()); },
         QStringLiteral("VersaoPacote")},
        {"a version of 200 digits",
         [&] {
             testsupport::PackageBuilder()
                 .config("[Outros]\nVersaoPacote=" + QString(200, u'9') + "\nExistScript=1\n")
                 .writeUpdatePack(site.installerDirectory());
         },
         QStringLiteral("não é um número de versão válido")},
        {"random bytes", [&] { writePack(QByteArray(4096, '\x5a')); }, QString()},
        {"an empty file", [&] { writePack(QByteArray()); }, QString()},
        {"a truncated archive",
         [&] {
             testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.0.001\n").writeUpdatePack(site.installerDirectory());
             QFile file(pack);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             ASSERT_TRUE(file.resize(file.size() / 2));
         },
         QString()},
    };
    for (const Case &c : cases) {
        QFile::remove(pack);
        c.make();
        ui.clearBoxes();
        installer.FormCreate();
        EXPECT_FALSE(installer.session.packageProblem.isEmpty()) << c.what;
        EXPECT_EQ(installer.session.package.versaoPacote, QStringLiteral("0.0.001")) << c.what;
        ui.answerNext(UserInterface::Ok);
        installer.NextPage();
        EXPECT_EQ(installer.activePage, tsIntro) << c.what;
        ASSERT_EQ(ui.boxes().size(), 1u) << c.what;
        EXPECT_EQ(ui.boxes()[0].box.caption, QStringLiteral("Pacote inválido")) << c.what;
        EXPECT_TRUE(ui.boxes()[0].box.text.contains(installer.session.packageProblem)) << c.what;
        if (!c.expected.isEmpty()) {
            EXPECT_TRUE(ui.boxes()[0].box.text.contains(c.expected)) << c.what << ": " << ui.boxes()[0].box.text.toStdString();
        }
    }
    // A sound package afterwards is taken again.
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.0.001\n").writeUpdatePack(site.installerDirectory());
    installer.FormCreate();
    EXPECT_TRUE(installer.session.packageProblem.isEmpty());
    EXPECT_EQ(installer.session.package.versaoPacote, QStringLiteral("1.0.001"));
}

TEST_F(InstallerTest, TheFolderLockTellsAHeldLockFromAFolderThatCannotBeWritten)
{
    InstanceLock first;
    EXPECT_EQ(first.take(site.installerDirectory()), InstanceLock::Outcome::Acquired);
    InstanceLock second;
    EXPECT_EQ(second.take(site.installerDirectory()), InstanceLock::Outcome::HeldByAnother);
    first.release();
    EXPECT_EQ(second.take(site.installerDirectory()), InstanceLock::Outcome::Acquired);
    // Where no lock file can be created, no other installer is to blame.
    InstanceLock nowhere;
    EXPECT_EQ(nowhere.take(site.root() + "/nao-existe/"), InstanceLock::Outcome::FolderNotWritable);
    EXPECT_TRUE(InstanceLock::notWritableText("/x/").contains("permissão de escrita"));
}

TEST_F(InstallerTest, ConfigInicialForgetsAConfirmedTablespaceMapping)
{
    installer.FormCreate();
    installer.session.tableSpacesConfirmed = true;
    installer.btInstallNewPackClick();  // "Tela Inicial"
    EXPECT_FALSE(installer.session.tableSpacesConfirmed);
}

TEST_F(InstallerTest, LogPageControlsFilterExpandAndBusyAnimation)
{
    installer.FormCreate();
    installer.UpdateStatus("a", true, "01. Backup", ImageSuccess, true);
    installer.UpdateStatus("b", true, "01. Backup", ImageError, true);
    installer.UpdateStatus("c", true, "", ImageIgnored, true);
    installer.session.status.settleLastRow();

    installer.cbFiltroProcChange(2);
    EXPECT_EQ(installer.session.status.rowCount(), 1);
    installer.cbFiltroProcChange(0);
    EXPECT_EQ(installer.session.status.rowCount(), 3);
    EXPECT_FALSE(installer.session.status.filterOn());

    installer.cbExpandirRecolherClick(false);
    EXPECT_EQ(installer.statusGrid.rowCount(), 2);  // two collapsed groups
    // A new row expands every group again.
    installer.UpdateStatus("d", true, "01. Backup", ImageSuccess, true);
    EXPECT_EQ(installer.statusGrid.rowCount(), 6);

    installer.activePage = tsLog;
    installer.ShowAnimate(true);
    EXPECT_TRUE(ui.busy());
    EXPECT_FALSE(installer.logControlsEnabled);
    installer.ShowAnimate(false);
    EXPECT_FALSE(ui.busy());
    EXPECT_TRUE(installer.logControlsEnabled);

    installer.btLogClick();
    ASSERT_EQ(ui.textWindows().size(), 1);
    EXPECT_EQ(ui.textWindows()[0], QStringLiteral("Log Parcial de Atualização"));
    EXPECT_FALSE(ui.textProtected()[0]);
    EXPECT_TRUE(ui.textContents()[0].contains(QStringLiteral("- Atualizador Inicializado")));
}

TEST_F(InstallerTest, DirectoryButtonsCheckTheApplicationFolderAndLogTheChoice)
{
    installer.FormCreate();
    ui.chooseNext(site.root());  // no Executaveis/Versoes.ini there
    ui.answerNext(UserInterface::Ok);
    installer.btDirAppTivraClick();
    EXPECT_TRUE(installer.session.pathAppTivra.isEmpty());
    EXPECT_EQ(ui.boxes().back().box.caption, QStringLiteral("Diretório inválido"));
    EXPECT_EQ(ui.chooserTitles().back(), QStringLiteral("Selecione o diretório para atualização dos binários"));

    site.writeVersoesIni("[Aliases]\r\n");
    ui.chooseNext(site.appDirectory());
    installer.btDirAppTivraClick();
    EXPECT_EQ(installer.session.pathAppTivra, site.appDirectory());
    EXPECT_TRUE(installer.session.status.logText().last().endsWith(
        QStringLiteral("- Diretório \"") + site.appDirectory() + QStringLiteral("\" selecionado para atualização dos binários.")));

    ui.chooseNext(QString());  // cancelled
    installer.btDirBackupClick();
    EXPECT_TRUE(installer.session.pathBackup.isEmpty());
    ui.chooseNext(site.root() + "/log");
    installer.btPathLogClick();
    EXPECT_EQ(installer.session.pathLog, site.root() + "/log");
    EXPECT_EQ(ui.chooserTitles().last(), QStringLiteral("Selecione um diretório para geração do Log"));
}
