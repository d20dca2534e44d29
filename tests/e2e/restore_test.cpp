// The real installer run with /restore:BACKUP_FOLDER /quiet: a restore after an update run gives
// back the files and the versions file byte for byte; foreign folders, members that would escape
// the application directory and files in use are refused with the right exit status.
#include "platform/textfile.h"
#include "support/deployfixtures.h"
#include "support/packagebuilder.h"
#include "support/pewriter.h"
#include "installerprocess.h"
#include "support/testsite.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <gtest/gtest.h>

using namespace tivra;

namespace {
bool writePe(const QString &path, const testsupport::PeVersion &version)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return testsupport::writePeFile(path, version);
}

class QuietRestore : public testsupport::InstallerProcessTest {
protected:
    void SetUp() override
    {
        installInstaller();
        app = site.appDirectory() + "/";
        ASSERT_TRUE(writePe(app + "Producao/Bin/Clients/Cadastro.exe", testsupport::PeVersion{1, 0, 0, 0}));
        ASSERT_TRUE(writePe(app + "Bibliotecas/Util.dll", testsupport::PeVersion{3, 0, 0, 0}));
    }

    // The COM+ catalog stand-in in the site, and no system folder from outside.
    void adjustEnvironment(QProcessEnvironment &env) override
    {
        env.remove("TIVRA_SYSTEM_DIR");
        env.remove("TIVRA_COMPLUS_CATALOG");
        env.insert("TIVRA_COMPLUS_STANDIN", "1");
    }
    int run(const QStringList &arguments) { return runInstaller(arguments); }

    // Every file below a folder with its bytes.
    static QMap<QString, QByteArray> snapshot(const QString &folder)
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files.insert(path.mid(folder.size()), testsupport::readAll(path));
        }
        return files;
    }

    // A backup folder made by hand: a file and, when origin is given, the marker naming it.
    QString handMadeBackup(const QString &name, const QString &origin)
    {
        const QString folder = site.root() + "/Backup/" + name;
        EXPECT_TRUE(writePe(folder + "/Producao/Bin/Clients/Cadastro.exe",
                                             testsupport::PeVersion{0, 9, 0, 0}));
        if (!origin.isEmpty())
            site.writeFile("Backup/" + name + "/OrigemBackup.ini", ("[Backup]\r\nDiretorio=" + origin + "\r\n").toUtf8());
        return folder;
    }

    void expectRefusedUnchanged(const QString &folder, const char *reason)
    {
        const QMap<QString, QByteArray> before = snapshot(app);
        EXPECT_EQ(run({"/restore:" + folder, "/quiet"}), 3) << out.toStdString() << err.toStdString();
        EXPECT_TRUE(out.contains("Restauração recusada: ")) << out.toStdString();
        EXPECT_TRUE(out.contains(QString::fromUtf8(reason))) << out.toStdString();
        EXPECT_TRUE(out.contains("Os bancos de dados não foram alterados"));
        EXPECT_EQ(snapshot(app), before);
    }

    QString app;
};
}  // namespace

TEST_F(QuietRestore, AfterAnUpdateRunTheBackupGivesBackTheFilesAndTheVersionsFileByteForByte)
{
    // The demo's databases, so that the update run can complete.
    QProcess databases;
    databases.start("bash", {QStringLiteral(TIVRA_MAKE_DATABASES), QStringLiteral(TIVRA_BUILD_DIR),
                             site.installerDirectory()});
    ASSERT_TRUE(databases.waitForFinished(120000));
    ASSERT_EQ(databases.exitCode(), 0) << databases.readAllStandardError().toStdString();
    // Entries in an order stage 05 would not keep, so that only a true restore gives them back.
    site.writeVersoesIni(testsupport::windowsText("; versões instaladas\n[Componentes]\nCadastro.exe=1.0.0.0\n\n"
                                                  "[Bibliotecas]\nUtil.dll=3.0.0.0\n\n[Aliases]\n"
                                                  "TIVRA_PROD,L=Produção\nTIVRA_HML=Homologação\n"));
    const QString pkg = site.root() + "/pkg/AppTivra/";
    ASSERT_TRUE(writePe(pkg + "Producao/Bin/Clients/Cadastro.exe", testsupport::PeVersion{2, 1, 0, 5}));
    ASSERT_TRUE(writePe(pkg + "Producao/Bin/Clients/Novo.exe", testsupport::PeVersion{2, 1, 0, 5}));
    ASSERT_TRUE(writePe(pkg + "Bibliotecas/Util.dll", testsupport::PeVersion{2, 0, 0, 0}));
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=2.4.109\nExistBin=1\n[BinaryToCopy]\n"
                "AppTivra\\Producao\\Bin\\Clients\\Cadastro.exe\nAppTivra\\Producao\\Bin\\Clients\\Novo.exe\n"
                "AppTivra\\Bibliotecas\\Util.dll\n")
        .addFolder(site.root() + "/pkg")
        .writeUpdatePack(site.installerDirectory());
    const QMap<QString, QByteArray> before = snapshot(app);

    ASSERT_EQ(run({"/quiet", "/noupdate", "/nosendlog", "/backup"}), 0) << err.toStdString() << out.toStdString();
    ASSERT_NE(snapshot(app).value("Producao/Bin/Clients/Cadastro.exe"), before.value("Producao/Bin/Clients/Cadastro.exe"));
    ASSERT_NE(snapshot(app).value("Executaveis/Versoes.ini"), before.value("Executaveis/Versoes.ini"));
    const QStringList backups = QDir(site.installerDirectory() + "Backup").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(backups.size(), 1);
    const QString backup = site.installerDirectory() + "Backup/" + backups[0];
    EXPECT_TRUE(QFileInfo::exists(backup + "/OrigemBackup.ini"));

    EXPECT_EQ(run({"/restore:" + backup, "/quiet"}), 0) << err.toStdString() << out.toStdString();
    // The file the package added goes (to the trash), and everything else is as before the run.
    const QMap<QString, QByteArray> after = snapshot(app);
    EXPECT_EQ(after.keys(), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(after.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_TRUE(out.contains("Removido (acrescentado pela atualização): " + app + "Producao/Bin/Clients/Novo.exe"))
        << out.toStdString();
    EXPECT_TRUE(out.contains("Restaurado (1.0.0.0) " + app + "Producao/Bin/Clients/Cadastro.exe")) << out.toStdString();
    EXPECT_TRUE(out.contains("Restaurado (3.0.0.0) " + app + "Bibliotecas/Util.dll"));
    EXPECT_TRUE(out.contains("Os bancos de dados não foram alterados: "));
    EXPECT_TRUE(out.contains("Restauração Concluída: 3 arquivo(s) restaurado(s)."));
    const QStringList logs = QDir(site.installerDirectory() + "Log").entryList({"LogRestauracao_*.txt"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const QString log = platform::readText(site.installerDirectory() + "Log/" + logs[0]);
    EXPECT_TRUE(log.contains("Restaurado (1.0.0.0) " + app + "Producao/Bin/Clients/Cadastro.exe"));
    EXPECT_TRUE(log.contains("Os bancos de dados não foram alterados"));
}

TEST_F(QuietRestore, ForeignFoldersAreRefusedAndNothingChanges)
{
    // A backup of another application directory, a folder that is no backup, a missing folder,
    // an older backup (no marker) holding a file this directory does not have, the application
    // directory itself.
    expectRefusedUnchanged(handMadeBackup("Outro", site.root() + "/Outro/AppTivra"), "o backup foi feito do diretório");
    expectRefusedUnchanged(handMadeBackup("Copia", QString()), "a pasta não é um backup do instalador");
    expectRefusedUnchanged(site.root() + "/NaoExiste", "não foi encontrada");
    const QString older = handMadeBackup("AppTivra antes do pack 1.0.001 - Data 01.02.2025-10.30", QString());
    ASSERT_TRUE(writePe(older + "/Producao/Bin/Estranho.dll", testsupport::PeVersion{1, 0, 0, 0}));
    expectRefusedUnchanged(older, "Producao/Bin/Estranho.dll\" do backup não existe no diretório da aplicação");
    expectRefusedUnchanged(site.appDirectory(), "é o diretório da aplicação ou o contém");
    site.writeFile("Backup/Vazio/OrigemBackup.ini", ("[Backup]\r\nDiretorio=" + site.appDirectory() + "\r\n").toUtf8());
    expectRefusedUnchanged(site.root() + "/Backup/Vazio", "não contém arquivos");
    EXPECT_EQ(run({"/restore:", "/quiet"}), 3);
    EXPECT_TRUE(out.contains("Informe a pasta do backup")) << out.toStdString();
    // Each refused restore left its own log, also those within one second.
    const QStringList logs = QDir(site.installerDirectory() + "Log").entryList({"LogRestauracao_*.txt"}, QDir::Files);
    EXPECT_EQ(logs.size(), 7) << logs.join(u' ').toStdString();
}

TEST_F(QuietRestore, AnOlderBackupWithoutMarkerIsRecognisedByItsNameAndFiles)
{
    const QString older = handMadeBackup("AppTivra antes do pack 1.0.001 - Data 01.02.2025-10.30", QString());
    EXPECT_EQ(run({"/restore:" + older, "/quiet"}), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("reconhecido pelo nome da pasta")) << out.toStdString();
    EXPECT_EQ(testsupport::readAll(app + "Producao/Bin/Clients/Cadastro.exe"),
              testsupport::readAll(older + "/Producao/Bin/Clients/Cadastro.exe"));
}

TEST_F(QuietRestore, MembersThatWouldLeaveTheApplicationDirectoryAreRefused)
{
    const QString outside = site.writeFile("fora/segredo.txt", "fora");
    // A link in the backup.
    const QString linked = handMadeBackup("Link", site.appDirectory());
    ASSERT_TRUE(QFile::link(outside, linked + "/Producao/Bin/Clients/Atalho.exe"));
    expectRefusedUnchanged(linked, "ligação simbólica");
    // A name that is a path on another system.
    const QString dotted = handMadeBackup("Pontos", site.appDirectory());
    site.writeFile("Backup/Pontos/..\\..\\..\\fora\\segredo.txt", "escapou");
    expectRefusedUnchanged(dotted, "nome de arquivo inválido");
    // A folder of the application directory that is a link to elsewhere.
    QDir().mkpath(site.root() + "/fora/Relatorios");
    ASSERT_TRUE(QFile::link(site.root() + "/fora/Relatorios", app + "Relatorios"));
    const QString through = handMadeBackup("Atraves", site.appDirectory());
    site.writeFile("Backup/Atraves/Relatorios/segredo.txt", "escapou");
    expectRefusedUnchanged(through, "levaria para fora do diretório da aplicação");
    // A marker that names an added file outside the directory: a restore would remove it.
    const QString named = handMadeBackup("Nomeado", QString());
    site.writeFile("Backup/Nomeado/OrigemBackup.ini", ("[Backup]\r\nDiretorio=" + site.appDirectory()
                                                       + "\r\n[ArquivosNovos]\r\n1=Producao/../../../fora/segredo.txt\r\n")
                                                          .toUtf8());
    expectRefusedUnchanged(named, "lista um arquivo fora do diretório da aplicação");
    EXPECT_EQ(testsupport::readAll(outside), QByteArray("fora"));
    EXPECT_FALSE(QFileInfo::exists(site.root() + "/fora/Relatorios/segredo.txt"));
}

TEST_F(QuietRestore, AFileInUseIsReportedAndNothingIsRestored)
{
    const QString backup = handMadeBackup("EmUso", site.appDirectory());
    ASSERT_TRUE(writePe(backup + "/Bibliotecas/Util.dll", testsupport::PeVersion{2, 0, 0, 0}));
    const QByteArray library = testsupport::readAll(app + "Bibliotecas/Util.dll");
    const QByteArray client = testsupport::readAll(app + "Producao/Bin/Clients/Cadastro.exe");
    testsupport::FileHolder holder(app + "Producao/Bin/Clients/Cadastro.exe", testsupport::FileHolder::Mode::Open);
    ASSERT_TRUE(holder.holding());
    EXPECT_EQ(run({"/restore:" + backup, "/quiet"}), 1) << out.toStdString();
    EXPECT_TRUE(out.contains("Arquivo em uso (ou somente leitura), não restaurado: \"" + app
                             + "Producao/Bin/Clients/Cadastro.exe\""))
        << out.toStdString();
    EXPECT_TRUE(out.contains("Restauração incompleta: 0 de 2 arquivo(s) restaurado(s)."));
    EXPECT_EQ(testsupport::readAll(app + "Producao/Bin/Clients/Cadastro.exe"), client);
    EXPECT_EQ(testsupport::readAll(app + "Bibliotecas/Util.dll"), library);
}

TEST_F(QuietRestore, AnotherInstallerInTheFolderRefusesWithStatus5)
{
    const QString backup = handMadeBackup("Travado", site.appDirectory());
    QLockFile first(site.installerDirectory() + "tivra-installer.lock");
    ASSERT_TRUE(first.tryLock(0));
    const QByteArray client = testsupport::readAll(app + "Producao/Bin/Clients/Cadastro.exe");
    EXPECT_EQ(run({"/restore:" + backup, "/quiet"}), 5);
    EXPECT_EQ(testsupport::readAll(app + "Producao/Bin/Clients/Cadastro.exe"), client);
}

TEST_F(QuietRestore, TheCOMPlusApplicationOfARestoredLibraryIsStoppedAndRegisteredAgain)
{
    ASSERT_TRUE(writePe(app + "Producao/Bin/Brenok.dll", testsupport::PeVersion{5, 0, 0, 0}));
    ASSERT_TRUE(writePe(app + "Producao/Bin/Calix.dll", testsupport::PeVersion{5, 0, 0, 0}));
    const QString backup = handMadeBackup("Com", site.appDirectory());
    ASSERT_TRUE(writePe(backup + "/Producao/Bin/Brenok.dll", testsupport::PeVersion{4, 0, 0, 0}));
    const QString catalog = site.writeFile(
        "installer/COMPlusCatalog.ini",
        testsupport::windowsText("[Application]\nName=pkBrelum\nComponent=" + app + "Producao/Bin/Brenok.dll\n"));

    EXPECT_EQ(run({"/restore:" + backup, "/quiet"}), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("Desligando pacote COM+ \"pkBrelum\"")) << out.toStdString();
    EXPECT_TRUE(out.contains("Inicializando pacote COM+ \"pkBrelum\""));
    EXPECT_TRUE(out.indexOf("Desligando pacote COM+") < out.indexOf("Restaurado (4.0.0.0) " + app + "Producao/Bin/Brenok.dll"));
    QStringList journal;
    bool inJournal = false;
    for (const QString &line : platform::readTextLines(catalog)) {
        if (line.startsWith('['))
            inJournal = line == "[Journal]";
        else if (inJournal && line.size() > 20)
            journal << line.mid(20);  // without "yyyy-MM-dd hh:mm:ss "
    }
    EXPECT_EQ(journal, (QStringList{"Shutdown pkBrelum", "Shutdown pkBrelum",
                                    "ComponentRemoved pkBrelum " + app + "Producao/Bin/Brenok.dll",
                                    "Installed pkBrelum " + app + "Producao/Bin/Brenok.dll",
                                    "Installed pkBrelum " + app + "Producao/Bin/Calix.dll", "Shutdown pkBrelum"}))
        << journal.join('\n').toStdString();
}
