// The update run: the chain, the verdict and its texts, the log file and logbook, the clean-up,
// the final report, an escaping error, and the Darnu chain.
#include "app/installer.h"
#include "app/runsummary.h"
#include "app/updaterun.h"
#include "core/clock.h"
#include "platform/system.h"
#include "platform/textfile.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tivra;

namespace {
class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", QByteArray(site.root().toUtf8() + "/xdg"));
        platform::setCommandLineArguments({"/noupdate"});
        setClockForTesting([] { return QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)); });
        installer.installerDirectoryOverride = site.installerDirectory();
        installer.siteReachable = [](const QString &) { return false; };
        installer.finalReport = [this](InstallerSession &, const QString &file, const QString &message, int failures) {
            reports.push_back({file, message, failures});
        };
        testsupport::PackageBuilder()
            .config("[Outros]\nVersaoPacote=2.4.107\nExistScript=1\n")
            .add("AppTivra/Producao/Bin/App.dll", "x")
            .writeUpdatePack(site.installerDirectory());
        installer.FormCreate();
        installer.session.customerCode = "123";
        installer.session.pathLog = site.root() + "/Log";
        installer.session.pathBackup = site.root() + "/Backup";
        QDir().mkpath(installer.session.pathLog);
        QDir().mkpath(installer.session.pathBackup);
    }
    void TearDown() override
    {
        platform::setCommandLineArguments({});
        setClockForTesting({});
    }
    void run()
    {
        installer.activePage = tsLog;
        installer.ChangePage(true);
    }
    QStringList gridTexts() const
    {
        QStringList texts;
        for (const auto &row : installer.session.status.rows())
            texts << row.detalhes;
        return texts;
    }
    QString logFileText(const QString &name) const
    {
        QFile file(installer.session.pathLog + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return QString::fromLatin1(file.readAll());
    }

    struct Report {
        QString file, message;
        int failures;
    };
    testsupport::TestSite site;
    testsupport::ScriptedUserInterface ui;
    Installer installer{ui};
    std::vector<Report> reports;
};

UpdateStage failingRow(bool interrupts)
{
    return {"test", [](InstallerSession &s) {
                s.UpdateStatus("falhou", true, "06. Scripts de Banco", ImageError, true);
                return false;
            },
            interrupts};
}
}  // namespace

TEST_F(UpdateRunTest, ACompletedRunSavesLogAndLogbookAndShowsItsVerdict)
{
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Completed);
    EXPECT_EQ(installer.header.title, QStringLiteral("Processo de Atualização Concluído!"));
    EXPECT_EQ(installer.header.subtitle,
              QStringLiteral("Todos os procedimentos foram executados com sucesso! Versão 2.4.107 instalada!"));
    EXPECT_EQ(installer.topImage, TopImage::Success);
    EXPECT_TRUE(installer.btSyncSvrFinal.visible);
    EXPECT_TRUE(installer.btConcluir.visible);
    EXPECT_TRUE(installer.btInstallNewPack.visible);
    EXPECT_FALSE(installer.btAvancar.visible);
    EXPECT_EQ(installer.btLog.caption, QStringLiteral("Log Final"));
    // The extraction rows, then the conclusion rows; the last row got its final image.
    EXPECT_TRUE(gridTexts().contains("     Arquivos extraídos com sucesso!"));
    EXPECT_EQ(gridTexts().mid(gridTexts().size() - 2),
              (QStringList{"Análise de dados concluída!", "Finalizando instalação..."}));
    EXPECT_EQ(installer.session.status.rows().back().image, ImageSuccess);
    EXPECT_FALSE(installer.session.status.filterOn());

    EXPECT_EQ(installer.lastLogFile, installer.session.pathLog + "/123_Log_O2.4.107_05032011_1407.txt");
    const QString log = logFileText("123_Log_O2.4.107_05032011_1407.txt");
    EXPECT_TRUE(log.contains("05/03/2011 - 14:07:33- Iniciando Procedimento de Atualização\r\n-----"));
    EXPECT_TRUE(log.endsWith("05/03/2011 - 14:07:33- Procedimento de Atualização Finalizado\r\n"));
    EXPECT_TRUE(QFileInfo::exists(installer.session.pathLog + "/ManualBordo_v2.4.107_05032011_1407.txt"));
    // Working folder and the empty backup folder are gone.
    EXPECT_FALSE(QFileInfo::exists(installer.session.workingFolder));
    EXPECT_FALSE(QFileInfo::exists(installer.session.pathBackup));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, QStringLiteral("Processo de atualização concluído!"));
    EXPECT_EQ(reports[0].failures, 0);
    EXPECT_FALSE(installer.session.continueChain);
}

TEST_F(UpdateRunTest, OneFailedStepGivesAPartialVerdictAndTheLetterP)
{
    installer.stageList = [] {
        auto stages = updateStages();
        stages.push_back(failingRow(false));
        return stages;
    };
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::CompletedWithFailures);
    EXPECT_EQ(installer.header.title, QStringLiteral("Processo de Atualização Parcialmente Concluído!"));
    EXPECT_EQ(installer.header.subtitle,
              QStringLiteral("Um procedimento não foi executado corretamente. Versão 2.4.107 parcialmente instalada!"));
    EXPECT_EQ(installer.topImage, TopImage::Warning);
    EXPECT_FALSE(installer.btSyncSvrFinal.visible);
    EXPECT_TRUE(installer.lastLogFile.endsWith("/123_Log_P2.4.107_05032011_1407.txt"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, QStringLiteral("Processo de atualização parcialmente concluído!"));
    EXPECT_EQ(reports[0].failures, 1);
}

TEST_F(UpdateRunTest, EachRunLeavesASummaryBesideItsLog)
{
    const auto summaryOf = [this] {
        QFile file(runSummaryPath(installer.lastLogFile));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        return QJsonDocument::fromJson(file.readAll()).object();
    };
    run();
    QJsonObject summary = summaryOf();
    EXPECT_EQ(runSummaryPath("/l/0042_Log_O1.0_05032011_1407.txt"), QStringLiteral("/l/0042_Log_O1.0_05032011_1407.json"));
    EXPECT_EQ(summary.value("schemaVersion").toInt(), 1);
    EXPECT_EQ(summary.value("verdict").toString(), QStringLiteral("completed"));
    EXPECT_EQ(summary.value("exitStatus").toInt(), 0);
    EXPECT_EQ(summary.value("packageVersion").toString(), QStringLiteral("2.4.107"));
    const QJsonArray stages = summary.value("stages").toArray();
    ASSERT_EQ(stages.size(), qsizetype(updateStages().size()));
    EXPECT_EQ(stages.at(0).toObject().value("name").toString(), QStringLiteral("01. Backup"));
    EXPECT_EQ(stages.at(0).toObject().value("outcome").toString(), QStringLiteral("skipped"));
    EXPECT_EQ(stages.at(1).toObject().value("outcome").toString(), QStringLiteral("succeeded"));
    EXPECT_EQ(summary.value("outputs").toObject().value("logFile").toString(), installer.lastLogFile);

    // A failure shows in its stage, the verdict and the exit status.
    installer.stageList = [] {
        auto stages = updateStages();
        stages.push_back(failingRow(false));
        return stages;
    };
    run();
    summary = summaryOf();
    EXPECT_EQ(summary.value("verdict").toString(), QStringLiteral("completedWithFailures"));
    EXPECT_EQ(summary.value("exitStatus").toInt(), 1);
    EXPECT_EQ(summary.value("errorCount").toInt(), 1);

    // An interrupted run: the stages after the failure did not run.
    installer.stageList = [] { return std::vector<UpdateStage>{failingRow(true), failingRow(true)}; };
    run();
    summary = summaryOf();
    EXPECT_EQ(summary.value("verdict").toString(), QStringLiteral("interrupted"));
    EXPECT_EQ(summary.value("exitStatus").toInt(), 2);
    EXPECT_EQ(summary.value("stages").toArray().at(0).toObject().value("outcome").toString(), QStringLiteral("failed"));
    EXPECT_EQ(summary.value("stages").toArray().at(1).toObject().value("outcome").toString(), QStringLiteral("notRun"));
}

TEST_F(UpdateRunTest, TwoRunsInTheSameMinuteKeepTheirOwnLogLogbookAndSummary)
{
    run();
    const QString firstLog = installer.lastLogFile;
    const QString firstLogbook = installer.lastLogbookFile;
    const QString firstLogText = logFileText(QFileInfo(firstLog).fileName());
    QFile summary(runSummaryPath(firstLog));
    ASSERT_TRUE(summary.open(QIODevice::ReadOnly));
    const QByteArray firstSummary = summary.readAll();
    summary.close();

    // A rerun in the same minute that does nothing but fail.
    installer.stageList = [] { return std::vector<UpdateStage>{failingRow(true)}; };
    run();
    ASSERT_EQ(installer.lastRunResult, Installer::RunResult::Interrupted);
    EXPECT_EQ(installer.lastLogFile, installer.session.pathLog + "/123_Log_E2.4.107_05032011_1407.txt");
    // Same letter as the first: the rerun that completes gets the suffix.
    installer.stageList = updateStages;
    run();
    EXPECT_EQ(installer.lastLogFile, installer.session.pathLog + "/123_Log_O2.4.107_05032011_1407_2.txt");
    EXPECT_EQ(installer.lastLogbookFile, installer.session.pathLog + "/ManualBordo_v2.4.107_05032011_1407_3.txt");
    EXPECT_TRUE(QFileInfo::exists(installer.session.pathLog + "/123_Log_O2.4.107_05032011_1407_2.json"));
    // The first run's records are as it left them.
    EXPECT_EQ(logFileText(QFileInfo(firstLog).fileName()), firstLogText);
    EXPECT_TRUE(QFileInfo::exists(firstLogbook));
    ASSERT_TRUE(summary.open(QIODevice::ReadOnly));
    EXPECT_EQ(summary.readAll(), firstSummary);
}

// A build without a signing key says in every run's log and summary that downloads are not
// verified; with a key, neither says so.
TEST_F(UpdateRunTest, TheLogAndSummaryRecordWhetherDownloadsAreVerified)
{
    // A run of an installer of the given build: whether its log says so, and its summary's value.
    const auto runWith = [](const QByteArray &key) {
        BuildSettings settings = BuildSettings::compiled();
        settings.signingPublicKey = key;
        testsupport::TestSite runSite;
        testsupport::ScriptedUserInterface runUi;
        Installer runner(runUi, settings);
        runner.installerDirectoryOverride = runSite.installerDirectory();
        runner.siteReachable = [](const QString &) { return false; };
        runner.finalReport = [](InstallerSession &, const QString &, const QString &, int) {};
        testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=2.4.107\n").writeUpdatePack(runSite.installerDirectory());
        runner.FormCreate();
        runner.session.pathLog = runSite.root() + "/Log";
        runner.session.pathBackup = runSite.root() + "/Backup";
        QDir().mkpath(runner.session.pathLog);
        runner.activePage = tsLog;
        runner.ChangePage(true);
        EXPECT_EQ(runner.lastRunResult, Installer::RunResult::Completed);
        QFile log(runner.lastLogFile);
        EXPECT_TRUE(log.open(QIODevice::ReadOnly));
        const bool said = platform::fromWindows1252(log.readAll()).contains(kUnverifiedDownloadsText);
        QFile summary(runSummaryPath(runner.lastLogFile));
        EXPECT_TRUE(summary.open(QIODevice::ReadOnly));
        return std::make_pair(said, QJsonDocument::fromJson(summary.readAll()).object().value("downloadsVerified"));
    };
    EXPECT_EQ(runWith(QByteArray()), std::make_pair(true, QJsonValue(false)));
    EXPECT_EQ(runWith(QByteArray(32, '\x01')), std::make_pair(false, QJsonValue(true)));
}

TEST_F(UpdateRunTest, AnInterruptingFailureStopsTheChainButNotTheConclusion)
{
    bool laterStageRan = false;
    installer.stageList = [&] {
        std::vector<UpdateStage> stages = {failingRow(true), failingRow(true)};
        stages[1].run = [&](InstallerSession &) { return laterStageRan = true; };
        return stages;
    };
    run();
    EXPECT_FALSE(laterStageRan);
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Interrupted);
    EXPECT_EQ(installer.header.title, QStringLiteral("Processo de Atualização Interrompido!"));
    EXPECT_EQ(installer.header.subtitle,
              QStringLiteral("Um procedimento obrigatório não foi executado e interrompeu a atualização."));
    EXPECT_TRUE(installer.btVoltar.visible);
    EXPECT_EQ(installer.btLog.caption, QStringLiteral("&Log Parcial"));
    EXPECT_TRUE(gridTexts().contains("Finalizando instalação..."));
    EXPECT_TRUE(installer.lastLogFile.endsWith("/123_Log_E2.4.107_05032011_1407.txt"));
    EXPECT_EQ(reports.at(0).message, QStringLiteral("Processo de atualização interrompido!"));
}

TEST_F(UpdateRunTest, ADamagedPackageInterruptsAtTheExtraction)
{
    QFile pack(site.installerDirectory() + "Update.pack");
    ASSERT_TRUE(pack.open(QIODevice::WriteOnly | QIODevice::Truncate));
    pack.write("PK\x03\x04 not really a zip");
    pack.close();
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Interrupted);
    EXPECT_TRUE(gridTexts().contains("     Erro durante a extração do pacote. Veja os detalhes no arquivo de Log."));
    const QString log = logFileText("123_Log_E2.4.107_05032011_1407.txt");
    EXPECT_TRUE(log.contains("Erro durante a extração do pacote de atualização. Mensagem: "));
    EXPECT_FALSE(log.contains("Veja os detalhes no arquivo de Log."));
}

TEST_F(UpdateRunTest, SwitchesSkipTheConclusionAndTheReport)
{
    platform::setCommandLineArguments({"/noupdate", "/nomd", "/nosendlog"});
    run();
    EXPECT_FALSE(gridTexts().contains("Finalizando instalação..."));
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(QFileInfo::exists(installer.lastLogFile));
    EXPECT_TRUE(QFileInfo::exists(installer.lastLogbookFile));
}

TEST_F(UpdateRunTest, AnEscapingErrorEndsTheRunInterruptedWithItsLogAndWithoutTheWorkingFolder)
{
    // The package is extracted, then a stage meets an error it does not handle itself.
    installer.stageList = [] {
        auto stages = updateStages();
        stages.resize(2);  // backup, extraction
        stages.push_back({"05. Arquivo de Versões", [](InstallerSession &) -> bool {
                              throw std::runtime_error("Arquivo somente leitura");
                          },
                          false});
        return stages;
    };
    ui.answerNext(UserInterface::Ok);
    run();
    ASSERT_FALSE(ui.boxes().empty());
    EXPECT_EQ(ui.boxes().back().box.text, QStringLiteral("Arquivo somente leitura"));
    EXPECT_EQ(ui.boxes().back().box.icon, UserInterface::Icon::Error);
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Interrupted);
    EXPECT_EQ(installer.header.title, QStringLiteral("Processo de Atualização Interrompido!"));
    // The log and the logbook are written, and say what happened.
    const QString log = logFileText("123_Log_E2.4.107_05032011_1407.txt");
    EXPECT_TRUE(log.contains("Erro inesperado interrompeu a atualização. Mensagem: Arquivo somente leitura"));
    EXPECT_TRUE(QFileInfo::exists(installer.lastLogbookFile));
    // Nothing of the decrypted package stays behind, nor an empty backup folder.
    EXPECT_FALSE(QFileInfo::exists(installer.session.workingFolder));
    EXPECT_FALSE(QFileInfo::exists(installer.session.pathBackup));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, QStringLiteral("Processo de atualização interrompido!"));
    EXPECT_TRUE(installer.btInstallNewPack.visible);
}

TEST_F(UpdateRunTest, ALogFolderThatCannotBeMadeEndsTheRunWithTheErrorBox)
{
    QFile blocker(site.root() + "/arquivo");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    installer.session.pathLog = site.root() + "/arquivo/Log";
    ui.answerNext(UserInterface::Ok);
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Aborted);
    ASSERT_FALSE(ui.boxes().empty());
    EXPECT_EQ(ui.boxes().back().box.icon, UserInterface::Icon::Error);
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(QFileInfo::exists(installer.session.workingFolder));
}

TEST_F(UpdateRunTest, ABackupFolderThatIsTheLogFolderKeepsTheLog)
{
    // The backup is skipped (the default) and the same empty folder serves both.
    installer.session.pathBackup = installer.session.pathLog;
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Completed);
    EXPECT_TRUE(QFileInfo::exists(installer.lastLogFile));
    EXPECT_TRUE(QFileInfo::exists(installer.lastLogbookFile));
    // The log folder lying inside the backup folder is kept as well.
    installer.session.pathLog = installer.session.pathBackup + "/Logs";
    QDir().mkpath(installer.session.pathLog);
    QDir(installer.session.pathBackup).removeRecursively();
    QDir().mkpath(installer.session.pathLog);
    installer.session.status.clearRows();
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Completed);
    EXPECT_TRUE(QFileInfo::exists(installer.lastLogFile));
}

TEST_F(UpdateRunTest, TheWorkingFolderIsDeletedNotTrashed)
{
    run();
    EXPECT_FALSE(QFileInfo::exists(installer.session.workingFolder));
    const QDir trash(site.root() + "/xdg/Trash/files");
    EXPECT_TRUE(!trash.exists() || trash.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        << trash.entryList().join(',').toStdString();
}

TEST_F(UpdateRunTest, UnattendedRunsCountADatabaseThatDidNotOpen)
{
    installer.cdsDbs.append({{"ALIAS", "TIVRA_PROD"}, {"DESCRICAO", "Produção"}, {"LOGIN", "u"}, {"PASSWORD", "p"},
                             {"IMAGE", int(ImageError)}, {"VENDOR", "ORACLE"}});
    installer.session.validationFailures.insert("TIVRA_PROD", "ORA-12154: TNS:could not resolve");
    const QString line =
        QStringLiteral("Banco \"TIVRA_PROD\" não foi atualizado: a conexão falhou. Mensagem: ORA-12154: TNS:could not resolve");
    EXPECT_EQ(installer.unvalidatedDatabases(), QStringList{line});
    // Unattended, nobody sees the red mark: it is a failure of the run.
    installer.unattended = true;
    installer.session.status.clearRows();
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::CompletedWithFailures);
    EXPECT_TRUE(gridTexts().contains(line));
}

// In the wizard too, a database of the list that took no part is named at the end of the run with
// why: a refused login makes the verdict partial; one left without credentials does not.
TEST_F(UpdateRunTest, DatabasesThatTookNoPartAreNamedAtTheEndAndARefusedLoginMakesThePartialVerdict)
{
    installer.cdsDbs.append({{"ALIAS", "TIVRA_HML"}, {"DESCRICAO", "Homologação"}, {"LOGIN", ""}, {"PASSWORD", ""},
                             {"IMAGE", int(ImageIgnored)}, {"VENDOR", "DB2"}});
    const QString ignored = QStringLiteral("Banco \"TIVRA_HML\" não foi atualizado: ignorado na validação (sem dados para a conexão).");
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Completed);
    EXPECT_EQ(installer.header.title, QStringLiteral("Processo de Atualização Concluído!"));
    ASSERT_TRUE(gridTexts().contains(ignored));
    EXPECT_EQ(installer.session.status.rows().at(gridTexts().indexOf(ignored)).image, ImageIgnored);
    EXPECT_TRUE(logFileText(QFileInfo(installer.lastLogFile).fileName()).contains(ignored));

    installer.cdsDbs.append({{"ALIAS", "TIVRA_PROD"}, {"DESCRICAO", "Produção"}, {"LOGIN", "u"}, {"PASSWORD", "p"},
                             {"IMAGE", int(ImageError)}, {"VENDOR", "ORACLE"}});
    installer.session.validationFailures.insert("TIVRA_PROD", "ORA-01017: invalid username/password; logon denied");
    const QString refused = QStringLiteral("Banco \"TIVRA_PROD\" não foi atualizado: a conexão falhou. Mensagem: ORA-01017: "
                                           "invalid username/password; logon denied");
    installer.session.status.clearRows();
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::CompletedWithFailures);
    EXPECT_EQ(installer.header.title, QStringLiteral("Processo de Atualização Parcialmente Concluído!"));
    EXPECT_FALSE(installer.header.subtitle.contains(QStringLiteral("Todos os procedimentos foram executados com sucesso!")));
    EXPECT_TRUE(gridTexts().contains(ignored));
    ASSERT_TRUE(gridTexts().contains(refused));
    EXPECT_EQ(installer.session.status.rows().at(gridTexts().indexOf(refused)).image, ImageError);
    // The rows come at the end, after the stages.
    EXPECT_GT(gridTexts().indexOf(refused), gridTexts().indexOf(QStringLiteral("     Arquivos extraídos com sucesso!")));

    // The summary lists both, with why.
    QFile file(runSummaryPath(installer.lastLogFile));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray databases = QJsonDocument::fromJson(file.readAll()).object().value("databases").toArray();
    ASSERT_EQ(databases.size(), 2);
    EXPECT_EQ(databases.at(0).toObject().value("alias").toString(), QStringLiteral("TIVRA_HML"));
    EXPECT_FALSE(databases.at(0).toObject().value("tookPart").toBool(true));
    EXPECT_EQ(databases.at(0).toObject().value("validation").toString(), QStringLiteral("ignored"));
    EXPECT_EQ(databases.at(0).toObject().value("notUpdated").toString(),
              QStringLiteral("ignorado na validação (sem dados para a conexão)."));
    EXPECT_FALSE(databases.at(1).toObject().value("tookPart").toBool(true));
    EXPECT_EQ(databases.at(1).toObject().value("validation").toString(), QStringLiteral("denied"));
    EXPECT_TRUE(databases.at(1).toObject().value("notUpdated").toString().startsWith(QStringLiteral("a conexão falhou. Mensagem: ORA-01017")));
}

TEST_F(UpdateRunTest, DarnuModeGoesOnToTheNextPackageAfterAFlawlessRun)
{
    installer.session.darnuMode = true;
    ui.answerNext(UserInterface::Ok);  // the download site cannot be reached
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Completed);
    // No conclusion stage in Darnu mode; "Tela Inicial" was pressed and the first page tried to
    // download the next package.
    EXPECT_TRUE(installer.session.continueChain);
    EXPECT_TRUE(installer.session.downloadPending);
    EXPECT_EQ(installer.activePage, tsIntro);
    EXPECT_EQ(installer.session.status.rowCount(), 0);
    ASSERT_FALSE(ui.boxes().empty());
    EXPECT_EQ(ui.boxes().back().box.caption, QStringLiteral("Buscar Atualizações"));
}

TEST_F(UpdateRunTest, DarnuModeStopsTheChainAfterAFailure)
{
    installer.session.darnuMode = true;
    installer.stageList = [] { return std::vector<UpdateStage>{failingRow(false)}; };
    run();
    EXPECT_EQ(installer.lastRunResult, Installer::RunResult::CompletedWithFailures);
    EXPECT_FALSE(installer.session.continueChain);
    EXPECT_EQ(installer.activePage, tsLog);
}

// The package extraction counts its files like the other long stages: the subtitle shows "N de M
// arquivos" under stage 02, and events are pumped while it unpacks.
TEST_F(UpdateRunTest, ThePackageExtractionShowsItsFileCountsAndPumpsEvents)
{
    testsupport::PackageBuilder builder;
    builder.config("[Outros]\nVersaoPacote=2.4.107\nExistScript=1\n");
    for (int i = 0; i < 4; ++i)
        builder.add(QStringLiteral("AppTivra/Producao/Bin/M%1.dll").arg(i), QByteArray(300 * 1024, char('a' + i)));
    builder.writeUpdatePack(installer.session.installerDirectory);
    QStringList shown;
    int pumpsWhileCounting = 0;
    ui.onProcessEvents = [&] {
        if (installer.progressSubtitle.isEmpty())
            return;
        ++pumpsWhileCounting;
        if (shown.isEmpty() || shown.last() != installer.displayedSubtitle())
            shown << installer.displayedSubtitle();
    };
    run();
    ASSERT_EQ(installer.lastRunResult, Installer::RunResult::Completed);
    // The clock stands still here: the first and the last counts are shown.
    EXPECT_EQ(shown, (QStringList{QStringLiteral("02. Preparação do Pacote: 0 de 5 arquivos"),
                                  QStringLiteral("02. Preparação do Pacote: 5 de 5 arquivos")}));
    EXPECT_GE(pumpsWhileCounting, 2);
    EXPECT_TRUE(installer.progressSubtitle.isEmpty());
}

// While a stage counts its items the top panel's subtitle shows how far it is, repainted at most
// every 100 ms (the first and the last count always); when the stage ends, also by an error that
// escapes it, the subtitle is the page's own again.
TEST_F(UpdateRunTest, TheSubtitleFollowsAStagesCountsAndReturnsWhenTheStageEnds)
{
    qint64 now = QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)).toMSecsSinceEpoch();
    setClockForTesting([&now] { return QDateTime::fromMSecsSinceEpoch(now); });
    QStringList shown;  // the subtitle at each event pump while a stage counts
    ui.onProcessEvents = [&] {
        if (!installer.progressSubtitle.isEmpty() && (shown.isEmpty() || shown.last() != installer.displayedSubtitle()))
            shown << installer.displayedSubtitle();
    };
    int repaints = 0;
    QObject::connect(&installer, &Installer::progressChanged, [&] { ++repaints; });
    QString between, afterError;
    installer.stageList = [&] {
        return std::vector<UpdateStage>{
            {"06. Scripts de Banco",
             [&](InstallerSession &s) {
                 s.UpdateStatus("Executando 2500 instruções no banco \"BASE\"...", true, "06. Scripts de Banco",
                                ImageSuccess, true);
                 for (int i = 0; i < 2500; ++i) {
                     now += 10;  // each statement takes 10 ms
                     s.status.reportProgress(i, 2500, ProgressUnit::Statements);
                 }
                 s.status.reportProgress(2500, 2500, ProgressUnit::Statements);
                 return true;  // the stage leaves the ending to the chain
             },
             false},
            {"07. Catálogo",
             [&](InstallerSession &s) -> bool {
                 between = installer.displayedSubtitle();
                 s.UpdateStatus("Atualizando 3 Catálogos", true, "07. Catálogo de Tabelas", ImageSuccess, true);
                 s.status.reportProgress(0, 3, ProgressUnit::Tables);
                 throw std::runtime_error("falha inesperada");
             },
             false},
        };
    };
    ui.answerNext(UserInterface::Ok);
    run();

    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.at(0), QStringLiteral("06. Scripts de Banco: 0 de 2 500 instruções"));
    EXPECT_EQ(shown.at(1), QStringLiteral("06. Scripts de Banco: 10 de 2 500 instruções"));
    EXPECT_TRUE(shown.contains(QStringLiteral("06. Scripts de Banco: 2 500 de 2 500 instruções")));
    EXPECT_EQ(shown.last(), QStringLiteral("07. Catálogo de Tabelas: 0 de 3 tabelas"));
    // 25 s of statements at one repaint per 100 ms, the last count, the end; then the catalog.
    EXPECT_EQ(repaints, 250 + 1 + 1 + 2);
    EXPECT_EQ(between, pageText(tsLog).subtitle);
    EXPECT_TRUE(installer.progressSubtitle.isEmpty());
    EXPECT_FALSE(installer.session.status.progressActive());
    EXPECT_EQ(installer.displayedSubtitle(), installer.header.subtitle);
    EXPECT_EQ(installer.header.title, QStringLiteral("Processo de Atualização Interrompido!"));
    // Nothing of it reached the log.
    EXPECT_FALSE(logFileText(QFileInfo(installer.lastLogFile).fileName()).contains(" de 2 500 "));
}

// The same run with its progress shown and with nobody following it writes the same log, byte
// for byte (the binaries stage counts its files).
TEST_F(UpdateRunTest, TheLogOfARunIsTheSameWithAndWithoutItsProgress)
{
    const auto runOn = [](testsupport::TestSite &where, bool followProgress, int *reports) {
        testsupport::ScriptedUserInterface scripted;
        Installer runner{scripted};
        runner.installerDirectoryOverride = where.installerDirectory();
        runner.siteReachable = [](const QString &) { return false; };
        runner.finalReport = [](InstallerSession &, const QString &, const QString &, int) {};
        QString binaries;
        testsupport::PackageBuilder package;
        for (int i = 0; i < 30; ++i) {
            const QString name = QStringLiteral("AppTivra/Producao/Bin/Lib%1.dll").arg(i);
            package.add(name, QByteArray("conteudo ") + QByteArray::number(i));
            binaries += QString(name).replace(QLatin1Char('/'), QLatin1Char('\\')) + "\n";
        }
        package.config("[Outros]\nVersaoPacote=2.4.107\nExistBin=1\n[BinaryToCopy]\n" + binaries)
            .writeUpdatePack(where.installerDirectory());
        runner.FormCreate();
        runner.session.customerCode = "123";
        runner.session.pathLog = where.root() + "/Log";
        runner.session.pathBackup = where.root() + "/Backup";
        runner.session.pathAppTivra = where.root() + "/App";
        QDir().mkpath(runner.session.pathLog);
        QDir().mkpath(runner.session.pathAppTivra);
        TerminalProgressLine line([] { return true; }, [](const QByteArray &) {});
        if (followProgress) {
            line.attach(runner.session.status);
            // The binaries stage's counts (the package extraction counts its files too).
            QObject::connect(&runner.session.status, &StatusLog::progressReported, [reports](const QString &stage) {
                if (stage.startsWith(QStringLiteral("04.")))
                    ++*reports;
            });
        } else {
            QObject::disconnect(&runner.session.status, &StatusLog::progressReported, nullptr, nullptr);
        }
        runner.activePage = tsLog;
        runner.ChangePage(true);
        EXPECT_EQ(runner.lastRunResult, Installer::RunResult::Completed);
        QFile file(runner.lastLogFile);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QString::fromLatin1(file.readAll()).replace(where.root(), "<site>");
    };
    int reports = 0;
    testsupport::TestSite other;
    const QString shown = runOn(site, true, &reports);
    const QString unseen = runOn(other, false, nullptr);
    EXPECT_EQ(reports, 1 + 30 + 1);  // 0 of 30, one per file, 30 of 30
    EXPECT_TRUE(shown.contains("Lib29.dll"));
    EXPECT_EQ(shown, unseen);
}
