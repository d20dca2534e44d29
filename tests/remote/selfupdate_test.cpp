// The installer's self-update against a local repository: the published version compared after
// trimming, the download beside the executable that replaces it in one step, the restart with the
// same arguments, the loop guard, and every failure leaving the running installer as it was.
#include "makersite.h"
#include "core/session.h"
#include "platform/system.h"
#include "remote/selfupdate.h"
#include "remote/signature.h"
#include "signingkey.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace tivra;
using makersite::LocalMakerSite;
using remote::SelfUpdateOutcome;

namespace {
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class SelfUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qunsetenv(remote::kSelfUpdatedVariable);
        ASSERT_TRUE(server.start());
        build = BuildSettings::compiled();
        build.makerSite = server.siteAddress();
        build.packageRepository = server.repositoryAddress();
        build.signingPublicKey.clear();
        session = std::make_unique<InstallerSession>(ui, build);
        executable = site.writeFile(QStringLiteral("installer/tivra-installer"), "old executable");
        QFile::setPermissions(executable, QFile::permissions(executable) | QFileDevice::ExeOwner);
        site.writeFile(QStringLiteral("site/repo/Installer.exe"), "new executable");
        environment.ownVersion = QStringLiteral("1.4.0.12");
        environment.executablePath = executable;
        environment.arguments = {QStringLiteral("/darnu"), QStringLiteral("a b")};
        environment.siteReachable = [](const QString &) { return true; };
        environment.showProgress = [this](bool shown) { progress << shown; };
        environment.beforeRestart = [this] { ++released; };
        environment.restart = [this](const QString &path, const QStringList &arguments, QString *) {
            restartedWith = QStringList{path} + arguments;
            restartedVariable = qEnvironmentVariable(remote::kSelfUpdatedVariable);
            return true;
        };
    }
    void TearDown() override { qunsetenv(remote::kSelfUpdatedVariable); }
    void publish(const QByteArray &version) { site.writeFile(QStringLiteral("site/repo/VersaoInstaller.txt"), version); }
    QStringList installerFiles() const { return QDir(site.installerDirectory()).entryList(QDir::Files); }

    testsupport::TestSite site;
    LocalMakerSite server{site.root() + QStringLiteral("/site"), QStringLiteral("tvrk")};
    BuildSettings build;
    testsupport::ScriptedUserInterface ui;
    std::unique_ptr<InstallerSession> session;
    QString executable;
    remote::SelfUpdateEnvironment environment;
    QList<bool> progress;
    int released = 0;
    QStringList restartedWith;
    QString restartedVariable;
};
}  // namespace

TEST_F(SelfUpdateTest, EqualVersionsAndOddTextsStartNormally)
{
    // A line end or blanks around the published text do not make it another version.
    for (const QByteArray &text : {QByteArray("1.4.0.12"), QByteArray("1.4.0.12\r\n"), QByteArray(" 1.4.0.12 \n"),
                                   QByteArray(""), QByteArray("123456789012345")}) {
        publish(text);
        EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::UpToDate) << text.constData();
    }
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_TRUE(restartedWith.isEmpty());
    // Unreachable site: not even the version is fetched.
    environment.siteReachable = [](const QString &) { return false; };
    const int requests = server.requestCount();
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::NotChecked);
    EXPECT_EQ(server.requestCount(), requests);
    // Reachable but the repository does not answer: normal start.
    environment.siteReachable = [](const QString &) { return true; };
    server.stop();
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::UpToDate);
    EXPECT_EQ(readAll(executable), QByteArray("old executable"));
}

TEST_F(SelfUpdateTest, AnotherVersionReplacesTheExecutableAndRestartsWithTheSameArguments)
{
    publish("1.4.0.11\r\n");  // any difference counts, an older one too; 14 characters are accepted
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::Restarted);
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].box.caption, QStringLiteral("Atualização"));
    EXPECT_EQ(ui.boxes()[0].box.text, QStringLiteral("Está disponível uma versão mais recente deste instalador (1.4.0.11). "
                                                     "A atualização é necessária e será realizada agora."));
    EXPECT_EQ(readAll(executable), QByteArray("new executable"));
    EXPECT_TRUE(QFile::permissions(executable) & QFileDevice::ExeOwner);
    EXPECT_EQ(installerFiles(), QStringList{"tivra-installer"});
    EXPECT_EQ(restartedWith, (QStringList{executable, "/darnu", "a b"}));
    EXPECT_EQ(restartedVariable, QStringLiteral("1.4.0.11"));
    EXPECT_EQ(released, 1);
    EXPECT_EQ(progress, (QList<bool>{true, false}));

    publish("12345678901234");
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::Restarted);
}

TEST_F(SelfUpdateTest, TheNewInstallerDoesNotUpdateItselfAgainWithinOneStart)
{
    // The executable just installed for 1.4.0.13 still calls itself 1.4.0.12.
    publish("1.4.0.13");
    qputenv(remote::kSelfUpdatedVariable, "1.4.0.13");
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::LoopStopped);
    EXPECT_TRUE(ui.boxes().back().box.text.contains(QStringLiteral("atualização automática foi interrompida")));
    EXPECT_TRUE(restartedWith.isEmpty());
    EXPECT_EQ(readAll(executable), QByteArray("old executable"));
    EXPECT_TRUE(qEnvironmentVariableIsEmpty(remote::kSelfUpdatedVariable));
    // Another version published meanwhile is installed as usual.
    qputenv(remote::kSelfUpdatedVariable, "1.4.0.13");
    publish("1.4.0.14");
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::Restarted);
}

TEST_F(SelfUpdateTest, FailedOrRefusedDownloadsLeaveTheRunningInstallerAsItWas)
{
    publish("1.4.0.13");
    QFile::remove(site.root() + QStringLiteral("/site/repo/Installer.exe"));
    ui.answerNext(UserInterface::Ok);
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::DownloadFailed);
    EXPECT_EQ(ui.boxes().back().box.text,
              QStringLiteral("Erro durante o download do Instalador. O instalador atual continuará em uso."));
    EXPECT_EQ(readAll(executable), QByteArray("old executable"));
    EXPECT_EQ(installerFiles(), QStringList{"tivra-installer"});
    EXPECT_EQ(progress, (QList<bool>{true, false}));

    // A signed build refuses a published version text without a valid signature (the
    // installer's own is checked in the next test).
    site.writeFile(QStringLiteral("site/repo/Installer.exe"), "new executable");
    build.signingPublicKey = QByteArray(32, 'k');
    site.writeFile(QStringLiteral("site/repo/Installer.exe.sig"), QByteArray(64, 's'));
    site.writeFile(QStringLiteral("site/repo/VersaoInstaller.txt.sig"), QByteArray(64, 's'));
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::DownloadFailed);
    EXPECT_TRUE(ui.boxes().back().box.text.contains(QStringLiteral("assinatura inválida")));
    EXPECT_EQ(readAll(executable), QByteArray("old executable"));
    EXPECT_EQ(installerFiles(), QStringList{"tivra-installer"});
    EXPECT_TRUE(restartedWith.isEmpty());
    EXPECT_TRUE(qEnvironmentVariableIsEmpty(remote::kSelfUpdatedVariable));

    // A restart that fails says so; the new file stays in place for the next start.
    build.signingPublicKey.clear();
    environment.restart = [](const QString &, const QStringList &, QString *error) {
        *error = QStringLiteral("sem permissão");
        return false;
    };
    ui.answerNext(UserInterface::Ok);
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::RestartFailed);
    EXPECT_TRUE(ui.boxes().back().box.text.contains(QStringLiteral("sem permissão")));
}

// With a signing key the published version text must be signed too, so that it cannot be swapped
// on the way to bring back an older signed installer; the installer itself must be signed.
TEST_F(SelfUpdateTest, ASignedBuildNeedsTheVersionTextAndTheInstallerSigned)
{
    const QString pem = site.root() + QStringLiteral("/signing.pem");
    build.signingPublicKey = makeKey(pem);
    const auto sign = [&](const QString &relative) {
        QString error;
        const QByteArray signature = remote::signFileEd25519(pem, site.root() + QStringLiteral("/site/repo/") + relative, &error);
        ASSERT_EQ(signature.size(), 64) << error.toStdString();
        site.writeFile(QStringLiteral("site/repo/") + relative + QStringLiteral(".sig"), signature);
    };
    publish("1.4.0.13");
    sign(QStringLiteral("Installer.exe"));
    // The text has no signature: nothing is fetched, the running installer stays.
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::DownloadFailed);
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].box.text, QStringLiteral("A versão publicada do instalador (1.4.0.13) não tem assinatura publicada e "
                                                     "foi ignorada. O instalador atual continuará em uso."));
    EXPECT_EQ(readAll(executable), QByteArray("old executable"));
    // A signature of another text (the one of an older release, replayed) does not fit.
    publish("1.4.0.10");
    sign(QStringLiteral("VersaoInstaller.txt"));
    publish("1.4.0.13");
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::DownloadFailed);
    EXPECT_TRUE(ui.boxes().back().box.text.contains(QStringLiteral("tem assinatura inválida"))) << ui.boxes().back().box.text.toStdString();
    EXPECT_EQ(readAll(executable), QByteArray("old executable"));
    EXPECT_TRUE(restartedWith.isEmpty());
    // The text signed, the installer's signature wrong: the installer is refused.
    sign(QStringLiteral("VersaoInstaller.txt"));
    site.writeFile(QStringLiteral("site/repo/Installer.exe.sig"), QByteArray(64, 's'));
    ui.answerNext(UserInterface::Ok);
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::DownloadFailed);
    EXPECT_TRUE(ui.boxes().back().box.text.startsWith(QStringLiteral("O instalador baixado tem assinatura inválida")))
        << ui.boxes().back().box.text.toStdString();
    EXPECT_EQ(readAll(executable), QByteArray("old executable"));
    // Both signed: the update goes on.
    sign(QStringLiteral("Installer.exe"));
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::Restarted);
    EXPECT_EQ(readAll(executable), QByteArray("new executable"));
}

TEST(SwapBatchTest, SevenLinesThatNameTheInstallersOwnFiles)
{
    EXPECT_EQ(remote::swapBatchText(QStringLiteral("Installer.exe"), {}),
              QByteArray(":Loop\r\n@echo off\r\n@del Installer.exe\r\nif Exist Installer.exe goto Loop\r\n"
                         "@Move Installer.tmp Installer.exe\r\n@start Installer.exe\r\n@del update.bat\r\n"));
    // Another file name, with a blank: quoted, and "start" gets an empty title first. The arguments
    // follow as a Windows command line reads them back; '%' is doubled for the batch.
    const QByteArray text = remote::swapBatchText(
        QStringLiteral("Instalador Tivra.exe"),
        {QStringLiteral("/darnu"), QStringLiteral("a b"), QStringLiteral("100%"), QStringLiteral("/restore:C:\\Backup Dir\\"),
         QStringLiteral("diz \"oi\""), QStringLiteral("Ação")});
    const QList<QByteArray> lines = text.split('\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[2], QByteArray("@del \"Instalador Tivra.exe\"\r"));
    EXPECT_EQ(lines[3], QByteArray("if Exist \"Instalador Tivra.exe\" goto Loop\r"));
    EXPECT_EQ(lines[4], QByteArray("@Move Installer.tmp \"Instalador Tivra.exe\"\r"));
    EXPECT_EQ(lines[5], QByteArray("@start \"\" \"Instalador Tivra.exe\" /darnu \"a b\" 100%% \"/restore:C:\\Backup Dir\\\\\" "
                                   "\"diz \\\"oi\\\"\" A\xe7\xe3o\r"));
    EXPECT_EQ(lines[7], QByteArray());
}

TEST_F(SelfUpdateTest, TheWindowsSwapWritesTheBatchInTheInstallersFolderAndEndsTheProgram)
{
    environment.swapByBatch = true;
    environment.executablePath = site.writeFile(QStringLiteral("installer/Installer.exe"), "old executable");
    QFile::remove(executable);
    QString startedBatch, startedFolder, batchVariable;
    QByteArray batchText;
    int ended = 0;
    environment.startBatch = [&](const QString &batch, const QString &folder, QString *) {
        startedBatch = batch;
        startedFolder = folder;
        batchText = readAll(batch);
        batchVariable = qEnvironmentVariable(remote::kSelfUpdatedVariable);
        return true;
    };
    environment.endProcess = [&] { ++ended; };
    // The current folder is another one: the batch must neither be written nor run there.
    const QString current = QDir::currentPath();
    QDir().mkpath(site.root() + QStringLiteral("/elsewhere"));
    QDir::setCurrent(site.root() + QStringLiteral("/elsewhere"));

    publish("1.4.0.13");
    ui.answerNext(UserInterface::Ok);
    const SelfUpdateOutcome outcome = remote::VerificaVersaoInstalador(*session, environment);
    QDir::setCurrent(current);
    EXPECT_EQ(outcome, SelfUpdateOutcome::Restarted);
    const QString folder = QDir(site.installerDirectory()).absolutePath();
    EXPECT_EQ(startedBatch, folder + QStringLiteral("/update.bat"));
    EXPECT_EQ(startedFolder, folder);
    EXPECT_EQ(batchText, remote::swapBatchText(QStringLiteral("Installer.exe"), environment.arguments));
    EXPECT_EQ(batchVariable, QStringLiteral("1.4.0.13"));
    // The running file stays until the batch swaps it; the new one waits beside it.
    EXPECT_EQ(readAll(environment.executablePath), QByteArray("old executable"));
    EXPECT_EQ(readAll(folder + QStringLiteral("/Installer.tmp")), QByteArray("new executable"));
    EXPECT_TRUE(QDir(site.root() + QStringLiteral("/elsewhere")).isEmpty());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(released, 1);
    EXPECT_TRUE(restartedWith.isEmpty());
    EXPECT_EQ(progress, (QList<bool>{true, false}));

    // A batch that cannot be started swaps nothing: both new files go, the program goes on.
    qunsetenv(remote::kSelfUpdatedVariable);
    environment.startBatch = [](const QString &, const QString &, QString *error) {
        *error = QStringLiteral("acesso negado");
        return false;
    };
    publish("1.4.0.14");
    ui.answerNext(UserInterface::Ok);
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(remote::VerificaVersaoInstalador(*session, environment), SelfUpdateOutcome::RestartFailed);
    EXPECT_EQ(ui.boxes().back().box.text,
              QStringLiteral("O novo instalador foi baixado, mas a troca de executáveis não pôde ser iniciada "
                             "(acesso negado). O instalador atual continuará em uso."));
    EXPECT_EQ(installerFiles(), QStringList{"Installer.exe"});
    EXPECT_EQ(readAll(environment.executablePath), QByteArray("old executable"));
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(qEnvironmentVariableIsEmpty(remote::kSelfUpdatedVariable));
}

#ifndef _WIN32
TEST(ProcessImageTest, TheStartedProgramGetsTheSameArguments)
{
    testsupport::TestSite site;
    const QString out = site.root() + QStringLiteral("/args.txt");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QString error;
        platform::replaceProcessImage(QStringLiteral("/bin/sh"),
                                      {QStringLiteral("-c"), QStringLiteral("printf '%s|' \"$@\" > '") + out + "'",
                                       QStringLiteral("sh"), QStringLiteral("/darnu"), QStringLiteral("a b"),
                                       QStringLiteral("ç")},
                                      &error);
        _exit(42);  // only when the replacement failed
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(QString::fromUtf8(readAll(out)), QStringLiteral("/darnu|a b|ç|"));
    QString error;
    EXPECT_FALSE(platform::replaceProcessImage(site.root() + QStringLiteral("/nao-existe"), {}, &error));
    EXPECT_FALSE(error.isEmpty());
}
#else
// Windows cannot replace a running program in its process: the swap batch does it once the
// installer has ended, and the replacement says so instead of pretending.
TEST(ProcessImageTest, IsRefusedOnWindowsWithItsReason)
{
    QString error;
    EXPECT_FALSE(platform::replaceProcessImage(QStringLiteral("C:/Windows/System32/cmd.exe"), {}, &error));
    EXPECT_FALSE(error.isEmpty());
}
#endif
