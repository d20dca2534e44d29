// The final report: the header put in front of the log file, the post to the maker's endpoint,
// and a run whose report cannot be delivered.
#include "app/installer.h"
#include "app/runsummary.h"
#include "app/updaterun.h"
#include "core/clock.h"
#include "makersite.h"
#include "platform/fileversion.h"
#include "platform/system.h"
#include "platform/textfile.h"
#include "remote/finalreport.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tivra;

namespace {
class FinalReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        build.makerSite = server.siteAddress();
        session.customerCode = QStringLiteral("0042");
        session.package.versaoPacote = QStringLiteral("2.4.107");
        session.package.versaoRequerida = QStringLiteral("2.4.100");
    }
    testsupport::TestSite site;
    makersite::LocalMakerSite server{site.root() + QStringLiteral("/site"), QStringLiteral("tvrk")};
    BuildSettings build = BuildSettings::compiled();
    testsupport::ScriptedUserInterface ui;
    InstallerSession session{ui, build};
};
}  // namespace

TEST_F(FinalReportTest, TheHeaderGoesInFrontOfTheLogAndTheFileIsPosted)
{
    const QString log = site.writeFile("Log/0042_Log_P2.4.107_05032011_1407.txt",
                                       "05/03/2011 - 14:07:33- Iniciando\r\n05/03/2011 - 14:07:40- Fim\r\n");
    remote::EnviaLogFinal(session, log, QStringLiteral("Processo de atualização parcialmente concluído!"), 3,
                          remote::reportOptions(session));
    const QStringList lines = platform::readTextLines(log);
    const QStringList expected{
        QStringLiteral("**************   Atualização do Tivra*   **************"),
        QStringLiteral("- Versão do Instalador: ") + platform::installerVersionText(),
        QStringLiteral("- Cliente: 0042"),
        QStringLiteral("- Nome da Máquina: ") + platform::computerName(),
        QStringLiteral("- Versão do Pacote: 2.4.107"),
        QStringLiteral("- Versão Requerida: 2.4.100"),
        QStringLiteral("- Nº Erros gerados: 3"),
        QStringLiteral("- Mensagem Final: Processo de atualização parcialmente concluído!"),
        QString(),
        QStringLiteral("*** LOG FINAL ***"),
        QString(),
        QStringLiteral("05/03/2011 - 14:07:33- Iniciando"),
        QStringLiteral("05/03/2011 - 14:07:40- Fim")};
    EXPECT_EQ(lines, expected);
    // On Linux the installer's version is the project's, never the file's date.
    EXPECT_EQ(platform::installerVersionText(), platform::compiledVersionText());
    EXPECT_FALSE(platform::compiledVersionText().isEmpty());

    const auto uploads = server.uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].path, QStringLiteral("/InstallerLogs/index.php"));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(uploads[0].body.contains(QByteArray("name=\"arquivo\"; filename=\"" + QFile::encodeName(log) + "\"\r\n")));
    EXPECT_TRUE(uploads[0].body.contains(QByteArray("\r\n\r\n" + file.readAll() + "\r\n--")));
    EXPECT_TRUE(uploads[0].body.endsWith(QByteArray("--\r\n\0", 5)));
}

TEST_F(FinalReportTest, ALogDeletedBeforeTheUploadSendsNothingAndASilentServerIsBounded)
{
    remote::EnviaLogFinal(session, site.root() + "/Log/sumiu.txt", QStringLiteral("Processo de atualização concluído!"), 0,
                          remote::reportOptions(session));
    EXPECT_TRUE(server.uploads().empty());

    const QString log = site.writeFile("Log/log.txt", "linha\r\n");
    build.makerSite = server.siteAddress() + "misbehave/silent/";
    remote::HttpOptions options = remote::reportOptions(session);
    options.totalTimeoutMs = 1000;
    QElapsedTimer timer;
    timer.start();
    remote::EnviaLogFinal(session, log, QStringLiteral("Processo de atualização concluído!"), 0, options);
    EXPECT_LT(timer.elapsed(), 4000);
    // The header stays in the file, whatever became of the post.
    EXPECT_TRUE(platform::readText(log).startsWith(QStringLiteral("**************   Atualização do Tivra*")));
}

TEST_F(FinalReportTest, TheDeliveryIsRecordedWithWhyItFailed)
{
    const QString log = site.writeFile("Log/log.txt", "linha\r\n");
    remote::EnviaLogFinal(session, log, QStringLiteral("Processo de atualização concluído!"), 0, remote::reportOptions(session));
    EXPECT_EQ(session.runReport.finalReport.outcome, DeliveryReport::Outcome::Sent);
    EXPECT_TRUE(session.runReport.finalReport.error.isEmpty());

    // A site that answers with an error page did not take the report.
    build.makerSite = server.siteAddress() + "misbehave/nowhere/";
    remote::EnviaLogFinal(session, log, QStringLiteral("Processo de atualização concluído!"), 0, remote::reportOptions(session));
    EXPECT_EQ(session.runReport.finalReport.outcome, DeliveryReport::Outcome::Failed);
    EXPECT_EQ(session.runReport.finalReport.error, QStringLiteral("o servidor respondeu com o status 404"));

    // Nobody listening: the transfer's error.
    const int port = server.port();
    server.stop();
    build.makerSite = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    remote::EnviaLogFinal(session, log, QStringLiteral("Processo de atualização concluído!"), 0, remote::reportOptions(session));
    EXPECT_EQ(session.runReport.finalReport.outcome, DeliveryReport::Outcome::Failed);
    EXPECT_FALSE(session.runReport.finalReport.error.isEmpty());

    // A log that went away is not sent, and that is said too.
    remote::EnviaLogFinal(session, site.root() + "/Log/sumiu.txt", QStringLiteral("x"), 0, remote::reportOptions(session));
    EXPECT_EQ(session.runReport.finalReport.outcome, DeliveryReport::Outcome::Failed);
    EXPECT_EQ(session.runReport.finalReport.error, QStringLiteral("o arquivo de log não pôde ser lido"));
}

TEST(UploadBounds, TheWholeUploadsBoundGrowsWithTheFileUpToACeiling)
{
    remote::HttpOptions base;
    base.totalTimeoutMs = 60000;
    EXPECT_EQ(remote::uploadOptions(base, 0).totalTimeoutMs, 60000);
    // 20 MB at 8 KiB/s: the base minute and the file's own time.
    const qint64 large = 20LL * 1024 * 1024;
    EXPECT_EQ(remote::uploadOptions(base, large).totalTimeoutMs, 60000 + large * 1000 / remote::kSlowestUploadBytesPerSecond);
    EXPECT_GT(remote::uploadOptions(base, large).totalTimeoutMs, remote::uploadOptions(base, large / 2).totalTimeoutMs);
    EXPECT_EQ(remote::uploadOptions(base, 1LL << 40).totalTimeoutMs, remote::kMaxUploadTimeoutMs);
    // The rest of the options stay.
    base.connectTimeoutMs = 1234;
    base.stallTimeoutS = 60;
    EXPECT_EQ(remote::uploadOptions(base, large).connectTimeoutMs, 1234);
    EXPECT_EQ(remote::uploadOptions(base, large).stallTimeoutS, 60);
}

TEST_F(FinalReportTest, TheRunSendsItsReportAndAnUnreachableEndpointChangesNothing)
{
    platform::setCommandLineArguments({"/noupdate"});
    setClockForTesting([] { return QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)); });
    for (const bool reachable : {true, false}) {
        SCOPED_TRACE(reachable);
        const int port = server.port();
        if (!reachable)
            server.stop();
        build.makerSite = QStringLiteral("http://127.0.0.1:%1/").arg(port);
        testsupport::TestSite runSite;
        testsupport::ScriptedUserInterface runUi;
        Installer installer(runUi, build);
        installer.installerDirectoryOverride = runSite.installerDirectory();
        installer.siteReachable = [](const QString &) { return false; };
        testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=2.4.107\n").writeUpdatePack(runSite.installerDirectory());
        installer.FormCreate();
        installer.session.pathLog = runSite.root() + "/Log";
        installer.session.pathBackup = runSite.root() + "/Backup";
        QDir().mkpath(installer.session.pathLog);
        installer.activePage = tsLog;
        installer.ChangePage(true);
        EXPECT_EQ(installer.lastRunResult, Installer::RunResult::Completed);
        EXPECT_TRUE(platform::readText(installer.lastLogFile).contains(
            QStringLiteral("- Mensagem Final: Processo de atualização concluído!")));
        if (reachable) {
            ASSERT_EQ(server.uploads().size(), 1u);
        }
        // The summary, written again after the report, records its delivery.
        QFile summaryFile(runSummaryPath(installer.lastLogFile));
        ASSERT_TRUE(summaryFile.open(QIODevice::ReadOnly));
        const QJsonObject report = QJsonDocument::fromJson(summaryFile.readAll()).object().value("finalReport").toObject();
        EXPECT_EQ(report.value("status").toString(), reachable ? QStringLiteral("sent") : QStringLiteral("failed"));
        EXPECT_EQ(report.contains("error"), !reachable);
        EXPECT_EQ(installer.session.runReport.finalReport.outcome,
                  reachable ? DeliveryReport::Outcome::Sent : DeliveryReport::Outcome::Failed);
    }
    // With "/nosendlog" the log keeps no header and nothing goes out.
    platform::setCommandLineArguments({"/noupdate", "/nosendlog"});
    testsupport::TestSite quietSite;
    testsupport::ScriptedUserInterface quietUi;
    Installer installer(quietUi, build);
    installer.installerDirectoryOverride = quietSite.installerDirectory();
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=2.4.107\n").writeUpdatePack(quietSite.installerDirectory());
    installer.FormCreate();
    installer.session.pathLog = quietSite.root() + "/Log";
    installer.session.pathBackup = quietSite.root() + "/Backup";
    QDir().mkpath(installer.session.pathLog);
    installer.activePage = tsLog;
    installer.ChangePage(true);
    EXPECT_FALSE(platform::readText(installer.lastLogFile).contains(QStringLiteral("LOG FINAL")));
    platform::setCommandLineArguments({});
    setClockForTesting({});
}
