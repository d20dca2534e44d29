#include "deploytest.h"

#include "deploy/backup.h"
#include "deploy/binarycopy.h"
#include "deploy/filechecks.h"
#include "deploy/stageerror.h"
#include "deploy/versoesini.h"
#include "platform/fileversion.h"
#include "platform/profile.h"
#include "platform/textfile.h"

namespace tivra::deploytest {
namespace {

using testsupport::readAll;
using testsupport::writeDatedFile;
using testsupport::writeVersionedFile;

const QString kBackupStage = QStringLiteral("01. Backup");
const QString kBinaryStage = QStringLiteral("04. Arquivos Binários");
const QString kVersionsStage = QStringLiteral("05. Arquivo de Versões");

QString row(int image, const QString &stage, const QString &text)
{
    return QString::number(image) + QLatin1Char('|') + stage + QLatin1Char('|') + text;
}

class BackupTest : public DeployTest {
protected:
    BackupTest()
    {
        session.ignoreBackup = false;
        session.package.binaryToCopy = {QStringLiteral("AppTivra\\Producao\\Bin\\App.dll"),
                                        QStringLiteral("AppTivra\\Producao\\Bin\\Clients\\Cli.exe"),
                                        QStringLiteral("AppTivra\\Producao\\Bin\\Falta.dll")};
        writeVersionedFile(app(QStringLiteral("Producao/Bin/App.dll")), 1, 0, 0, 0);
        writeVersionedFile(app(QStringLiteral("Producao/Bin/NaoListado.dll")), 1, 0, 0, 0);
        writeVersionedFile(app(QStringLiteral("Producao/Bin/Clients/Cli.exe")), 1, 0, 0, 0);
        setClockForTesting([] { return QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)); });
    }
    QString backup(const QString &relative) const
    {
        return root(QStringLiteral("Backup/AppTivra antes do pack 2.4.107 - Data 05.03.2011-14.07/")) + relative;
    }
};

TEST_F(BackupTest, SkippedByTheBox)
{
    session.ignoreBackup = true;
    EXPECT_TRUE(MakeBackup(session));
    EXPECT_EQ(rows(), QStringList{row(3, kBackupStage, QStringLiteral("Etapa de Backup ignorada pelo usuário."))});
    EXPECT_FALSE(QFileInfo::exists(root(QStringLiteral("Backup"))));
}

TEST_F(BackupTest, CopiesTheListedFilesIntoADatedFolder)
{
    EXPECT_TRUE(MakeBackup(session));
    const QString appDirectory = site.appDirectory();
    EXPECT_EQ(rows(), (QStringList{
                          row(1, kBackupStage, QStringLiteral("Criando cópia do diretório \"") + appDirectory + '"'),
                          row(1, kBackupStage, QStringLiteral("     Cópia do diretório \"") + appDirectory
                                                   + QStringLiteral("\" realizada com sucesso.")),
                      }));
    EXPECT_TRUE(QFileInfo::exists(backup(QStringLiteral("Producao/Bin/App.dll"))));
    EXPECT_TRUE(QFileInfo::exists(backup(QStringLiteral("Producao/Bin/Clients/Cli.exe"))));
    EXPECT_FALSE(QFileInfo::exists(backup(QStringLiteral("Producao/Bin/NaoListado.dll"))));
    EXPECT_TRUE(QFileInfo(backup(QStringLiteral("Executaveis"))).isDir());  // walked, so created

    // A second run in the same minute writes into the same folder.
    writeVersionedFile(app(QStringLiteral("Producao/Bin/App.dll")), 1, 5, 0, 0);
    EXPECT_TRUE(MakeBackup(session));
    EXPECT_EQ(platform::fileVersionText(backup(QStringLiteral("Producao/Bin/App.dll"))), QStringLiteral("1.5.0.0"));
}

TEST_F(BackupTest, TheBackupNamesItsOriginAndKeepsTheVersionsFileAsItWas)
{
    site.writeVersoesIni(QByteArray("[Componentes]\r\nCli.exe=1.0.0.0\r\n"));
    EXPECT_TRUE(MakeBackup(session));
    EXPECT_EQ(readAll(backup(QStringLiteral("Executaveis/Versoes.ini"))), QByteArray("[Componentes]\r\nCli.exe=1.0.0.0\r\n"));
    const BackupMarker marker = parseBackupMarker(readAll(backup(kBackupMarkerName)));
    EXPECT_TRUE(marker.valid);
    EXPECT_EQ(marker.directory, site.appDirectory());
    EXPECT_EQ(marker.packageVersion, QStringLiteral("2.4.107"));
    EXPECT_EQ(marker.moment, QStringLiteral("2011-03-05 14:07:33"));
    // The listed file the directory does not have is one the update adds.
    EXPECT_EQ(marker.addedFiles, QStringList{QStringLiteral("Producao/Bin/Falta.dll")});
}

TEST_F(BackupTest, TheMarkerReaderTakesOnlyTheBackupSection)
{
    // Line breaks in a directory cannot smuggle in a line of their own.
    const BackupMarker written =
        parseBackupMarker(backupMarkerText(QStringLiteral("C:\\App\r\nDiretorio=D:\\Outro"), QStringLiteral("1"), QDateTime()));
    EXPECT_EQ(written.directory, QStringLiteral("C:\\AppDiretorio=D:\\Outro"));
    const BackupMarker other = parseBackupMarker("[Outra]\nDiretorio=/x\n[backup]\n diretorio = /a/AppTivra \nDiretorio=/b\n");
    EXPECT_TRUE(other.valid);
    EXPECT_EQ(other.directory, QStringLiteral("/a/AppTivra"));
    EXPECT_FALSE(parseBackupMarker("Diretorio=/a/AppTivra\n").valid);  // no section
    EXPECT_FALSE(parseBackupMarker("[Backup]\nDiretorio=\n").valid);
    EXPECT_FALSE(parseBackupMarker(QByteArray("\xff\xfe[\0", 4)).valid);
}

TEST_F(BackupTest, FailedCopyInterruptsTheRun)
{
    setCopyFaultForTesting([](const QString &source, const QString &) { return source.endsWith(QStringLiteral("Cli.exe")); });
    EXPECT_FALSE(MakeBackup(session));
    const QStringList grid = rows();
    ASSERT_EQ(grid.size(), 2);
    EXPECT_EQ(grid.at(1), row(2, kBackupStage,
                              QStringLiteral("     Erro ao realizar a cópia dos arquivos! Veja o Log para detalhes.")));
    EXPECT_EQ(log().last(), QStringLiteral("Erro ao realizar a cópia dos arquivos! Mensagem: Não foi possível copiar o "
                                           "arquivo \"")
                                + backup(QStringLiteral("Producao/Bin/Clients/Cli.exe"))
                                + QStringLiteral("\". Verifique se o mesmo não encontra-se em uso!"));
    EXPECT_FALSE(log().contains(QStringLiteral("     Erro ao realizar a cópia dos arquivos! Veja o Log para detalhes.")));
}

TEST_F(BackupTest, UnwritableBackupDirectoryFailsTheStage)
{
    site.writeFile(QStringLiteral("Backup"), "a file where the folder should be");
    EXPECT_FALSE(MakeBackup(session));
    EXPECT_EQ(rows().last(), row(2, kBackupStage,
                                 QStringLiteral("     Erro ao realizar a cópia dos arquivos! Veja o Log para detalhes.")));
}

TEST_F(BackupTest, DirectoryWithoutTheApplicationNameBacksUpNothing)
{
    writeVersionedFile(root(QStringLiteral("Sistema/Aplicacao/Producao/Bin/App.dll")), 1, 0, 0, 0);
    session.pathAppTivra = root(QStringLiteral("Sistema/Aplicacao"));
    EXPECT_TRUE(MakeBackup(session));
    EXPECT_FALSE(QFileInfo::exists(backup(QStringLiteral("Producao/Bin/App.dll"))));
    EXPECT_EQ(rows().size(), 2);
}

class CopyBinaryTest : public DeployTest {
protected:
    CopyBinaryTest()
    {
        session.package.existBin = true;
        session.package.binaryToCopy = {QStringLiteral("AppTivra\\Producao\\Bin\\App.dll"),
                                        QStringLiteral("AppTivra\\Producao\\Bin\\Clients\\Cli.exe")};
        writeVersionedFile(pkg(QStringLiteral("Producao/Bin/App.dll")), 2, 0, 0, 0);
        writeVersionedFile(pkg(QStringLiteral("Producao/Bin/Clients/Cli.exe")), 1, 0, 0, 1);
        writeVersionedFile(app(QStringLiteral("Producao/Bin/App.dll")), 1, 10, 0, 0);
    }
    QString startRow() const
    {
        return row(1, kBinaryStage,
                   QStringLiteral("Atualizando arquivos binários do diretório \"") + site.appDirectory() + '"');
    }
    const QString countFailureRow = row(2, kBinaryStage,
                                        QStringLiteral("     Um ou mais arquivos binários não puderam ser copiados. "
                                                       "Veja o log para mais detalhes."));
    const QString countFailureLog = QStringLiteral(
        "Um ou mais arquivos binários não puderam ser copiados, remova o compartilhamento da pasta AppTivra pois "
        "podem existir arquivos em uso pelo sistema.");
    const QString copyFailureRow = row(2, kBinaryStage,
                                       QStringLiteral("     Erro durante a atualização de arquivos binários. Veja o "
                                                      "Log para mais detalhes."));
};

TEST_F(CopyBinaryTest, SkippedWithoutBinaries)
{
    session.package.existBin = false;
    EXPECT_TRUE(CopyBinary(session));
    EXPECT_EQ(rows(), QStringList{row(3, kBinaryStage,
                                      QStringLiteral("Arquivos binários não incluídos no pacote. Etapa ignorada."))});
    EXPECT_FALSE(QFileInfo::exists(app(QStringLiteral("Producao/Bin/Clients/Cli.exe"))));
}

TEST_F(CopyBinaryTest, CopiesThePackageAndListsEveryFileHandled)
{
    EXPECT_TRUE(CopyBinary(session));
    EXPECT_EQ(rows(), (QStringList{startRow(),
                                   row(1, kBinaryStage, QStringLiteral("     Atualização da pasta \"") + site.appDirectory()
                                                            + QStringLiteral("\" realizada com sucesso!"))}));
    const QString kept = keptLine(app(QStringLiteral("Producao/Bin/App.dll")), QStringLiteral("1.10.0.0"),
                                  QStringLiteral("2.0.0.0"));
    const QString copied = copiedLine(QStringLiteral("1.0.0.1"), app(QStringLiteral("Producao/Bin/Clients/Cli.exe")));
    ASSERT_GE(session.logbook.size(), 3);
    EXPECT_EQ(session.logbook.at(session.logbook.size() - 3), QStringLiteral("\r\n*** ATUALIZAÇÃO DE ARQUIVOS BINÁRIOS"));
    QStringList entries = session.logbook.mid(session.logbook.size() - 2);
    entries.sort();
    QStringList expected{QStringLiteral("- ") + kept, QStringLiteral("- ") + copied};
    expected.sort();
    EXPECT_EQ(entries, expected);
    const QStringList lines = log();
    const qsizetype heading = lines.indexOf(QStringLiteral("Lista de Arquivos binários atualizados..."));
    ASSERT_GE(heading, 0);
    EXPECT_EQ(lines.size(), heading + 3);
    EXPECT_TRUE(lines.contains(kept) && lines.contains(copied));
    EXPECT_EQ(platform::fileVersionText(app(QStringLiteral("Producao/Bin/Clients/Cli.exe"))), QStringLiteral("1.0.0.1"));
}

TEST_F(CopyBinaryTest, FileTheListDoesNotNameFailsOnTheCount)
{
    writeVersionedFile(pkg(QStringLiteral("Producao/Bin/Extra.dll")), 1, 0, 0, 0);
    EXPECT_FALSE(CopyBinary(session));
    EXPECT_EQ(rows(), (QStringList{startRow(), countFailureRow}));
    EXPECT_TRUE(log().contains(countFailureLog));
    EXPECT_FALSE(log().contains(countFailureRow.section(QLatin1Char('|'), 2)));
    EXPECT_TRUE(QFileInfo::exists(app(QStringLiteral("Producao/Bin/Extra.dll"))));  // copied all the same
    EXPECT_EQ(session.logbook.filter(QStringLiteral("- (")).size(), 2);
}

TEST_F(CopyBinaryTest, ACountMismatchNamesTheFilesTheListAndThePackageDoNotShare)
{
    writeVersionedFile(pkg(QStringLiteral("Producao/Bin/Extra.dll")), 1, 0, 0, 0);
    session.package.binaryToCopy.append(QStringLiteral("AppTivra\\Producao\\Bin\\Sumiu.dll"));
    session.package.binaryToCopy.append(QStringLiteral("AppTivra\\Producao\\Bin\\Falta.dll"));
    EXPECT_FALSE(CopyBinary(session));
    const QStringList lines = log();
    const qsizetype at = lines.indexOf(countFailureLog);
    ASSERT_GE(at, 0);
    // The row after the count's text names both sides of the difference.
    EXPECT_EQ(lines.at(at + 1), QStringLiteral("     Arquivos listados em [BinaryToCopy] e ausentes do pacote: "
                                               "AppTivra\\Producao\\Bin\\Sumiu.dll, AppTivra\\Producao\\Bin\\Falta.dll; arquivos presentes no pacote e "
                                               "ausentes de [BinaryToCopy]: AppTivra/Producao/Bin/Extra.dll."));
}

TEST_F(CopyBinaryTest, EntriesLeadingOutsideTheApplicationAreRefusedBeforeAnyCopy)
{
    const QString canary = root(QStringLiteral("canary.txt"));
    QFile file(canary);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("outside");
    file.close();
    testsupport::setReadOnly(canary, true);  // would count as in use if the in-use test opened it
    for (const QString &entry : {QStringLiteral("..\\..\\canary.txt"), QStringLiteral("AppTivra/../../canary.txt"),
                                 QStringLiteral("/etc/passwd"), QStringLiteral("C:\\Windows\\x.dll")}) {
        session.status.clearRows();
        session.package.binaryToCopy = {QStringLiteral("AppTivra\\Producao\\Bin\\App.dll"), entry};
        EXPECT_FALSE(CopyBinary(session)) << entry.toStdString();
        const QStringList grid = rows();
        ASSERT_EQ(grid.size(), 2);
        EXPECT_TRUE(grid.at(1).contains(entry)) << grid.at(1).toStdString();
        EXPECT_TRUE(grid.at(1).startsWith(QStringLiteral("2|"))) << grid.at(1).toStdString();
        EXPECT_FALSE(QFileInfo::exists(app(QStringLiteral("Producao/Bin/Clients/Cli.exe"))));
    }
    EXPECT_FALSE(binaryEntryConfined(QStringLiteral(" .. ")));
    EXPECT_TRUE(binaryEntryConfined(QStringLiteral("AppTivra\\Producao\\Bin\\a..b.dll")));
    // The in-use test never opens such an entry.
    session.package.binaryToCopy = {QStringLiteral("..\\..\\canary.txt")};
    EXPECT_FALSE(CheckArquivosEmUso(session, site.appDirectory(), true));
}

TEST_F(CopyBinaryTest, FileInUseStopsTheStageBeforeCopying)
{
    testsupport::setReadOnly(app(QStringLiteral("Producao/Bin/App.dll")), true);
    EXPECT_FALSE(CopyBinary(session));
    EXPECT_EQ(rows(), (QStringList{startRow(),
                                   row(2, kBinaryStage, QStringLiteral("     A pasta \"") + site.appDirectory()
                                                            + QStringLiteral("\" não pode ser atualizada pois um ou "
                                                                             "mais arquivos estão em execução."))}));
    EXPECT_TRUE(log().filter(QStringLiteral("está em uso, impossibilitando a atualização")).size() == 1);
    EXPECT_FALSE(QFileInfo::exists(app(QStringLiteral("Producao/Bin/Clients/Cli.exe"))));
    EXPECT_TRUE(session.logbook.isEmpty());
}

TEST_F(CopyBinaryTest, DestinationHeldOpenFailsOnTheCount)
{
    // With the in-use test switched off, the copy meets the held file and passes it over.
    platform::setCommandLineArguments({QStringLiteral("/ignorefileuse")});
    writeVersionedFile(app(QStringLiteral("Producao/Bin/App.dll")), 1, 0, 0, 0);
    testsupport::FileHolder holder(app(QStringLiteral("Producao/Bin/App.dll")), testsupport::FileHolder::Mode::Open);
    ASSERT_TRUE(holder.holding());
    EXPECT_FALSE(CopyBinary(session));
    EXPECT_EQ(rows(), (QStringList{startRow(), countFailureRow}));
    EXPECT_EQ(platform::fileVersionText(app(QStringLiteral("Producao/Bin/App.dll"))), QStringLiteral("1.0.0.0"));
}

TEST_F(CopyBinaryTest, ReadOnlyPackageFileFailsTheCopy)
{
    testsupport::setReadOnly(pkg(QStringLiteral("Producao/Bin/Clients/Cli.exe")), true);
    EXPECT_FALSE(CopyBinary(session));
    EXPECT_EQ(rows(), (QStringList{startRow(), copyFailureRow}));
    EXPECT_EQ(log().last(), QStringLiteral("Erro durante a atualização de arquivos binários. Mensagem: Não foi possível "
                                           "copiar o arquivo \"")
                                + app(QStringLiteral("Producao/Bin/Clients/Cli.exe"))
                                + QStringLiteral("\". Verifique se o mesmo não encontra-se em uso!"));
    EXPECT_TRUE(session.logbook.isEmpty());  // no list after a failed copy
}

TEST_F(CopyBinaryTest, FailureHalfWayLeavesTheBackupWithTheFormerVersions)
{
    session.package.binaryToCopy.clear();
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("Producao/Bin/Lib%1.dll").arg(i);
        writeVersionedFile(pkg(name), 3, 0, 0, 0);
        writeVersionedFile(app(name), 2, 0, 0, 0);
        session.package.binaryToCopy.append(QStringLiteral("AppTivra\\") + QString(name).replace('/', '\\'));
    }
    QFile::remove(pkg(QStringLiteral("Producao/Bin/App.dll")));
    QFile::remove(app(QStringLiteral("Producao/Bin/App.dll")));
    QDir(pkg(QStringLiteral("Producao/Bin/Clients"))).removeRecursively();
    setClockForTesting([] { return QDateTime(QDate(2011, 3, 5), QTime(14, 7)); });
    session.ignoreBackup = false;
    ASSERT_TRUE(MakeBackup(session));

    int copies = 0;
    setCopyFaultForTesting([&](const QString &, const QString &) { return ++copies == 3; });
    EXPECT_FALSE(CopyBinary(session));
    const QStringList grid = rows();
    EXPECT_EQ(grid.last(), copyFailureRow);
    EXPECT_TRUE(log().last().startsWith(QStringLiteral(
        "Erro durante a atualização de arquivos binários. Mensagem: Não foi possível copiar o arquivo \"")));
    int replaced = 0;
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("Producao/Bin/Lib%1.dll").arg(i);
        replaced += platform::fileVersionText(app(name)) == QStringLiteral("3.0.0.0");
        EXPECT_EQ(platform::fileVersionText(root(QStringLiteral("Backup/AppTivra antes do pack 2.4.107 - Data "
                                                                "05.03.2011-14.07/"))
                                            + name),
                  QStringLiteral("2.0.0.0"));
    }
    EXPECT_EQ(replaced, 2);
}

class VersoesIniTest : public DeployTest {
protected:
    VersoesIniTest() { session.package.existBin = true; }
    QString iniPath() const { return app(QStringLiteral("Executaveis/Versoes.ini")); }
    QStringList section(const QString &name) const { return platform::ProfileFile(iniPath()).sectionLines(name); }
};

TEST_F(VersoesIniTest, RewritesTheVersionsOfTheFilesFound)
{
    site.writeVersoesIni(platform::toWindows1252(
        QStringLiteral("[Componentes]\r\nApp.exe=1.0.0.0\r\nRemovido.exe=0.9.0.0\r\nantigo.exe=1.0.0.0\r\n"
                       "[Aliases]\r\nTIVRA_PROD,L=Produção\r\n"
                       "[Bibliotecas]\r\nUtil.dll=1.0.0.0\r\n")));
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Clients/App.exe")), 2, 1, 0, 5);
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Clients/Novo.dll")), 1, 0, 0, 1);
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Clients/Antigo.exe")), 1, 2, 0, 0);
    site.writeFile(QStringLiteral("Sistema/AppTivra/Producao/Bin/Clients/.oculto"), "hidden");
    QDir().mkpath(app(QStringLiteral("Producao/Bin/Clients/SubPasta")));
    writeDatedFile(app(QStringLiteral("Bibliotecas/Util.dll")), "no version", QDate(2011, 3, 5));

    EXPECT_TRUE(UpdateVersoesIni(session));
    // A key of other case is updated in place; an exact match moves to the end; new names follow.
    EXPECT_EQ(section(QStringLiteral("Componentes")),
              (QStringList{QStringLiteral("Removido.exe=0.9.0.0"), QStringLiteral("antigo.exe=1.2.0.0"),
                           QStringLiteral("App.exe=2.1.0.5"), QStringLiteral("Novo.dll=1.0.0.1")}));
    EXPECT_EQ(section(QStringLiteral("Bibliotecas")), QStringList{QStringLiteral("Util.dll=2011-03-05")});
    EXPECT_EQ(section(QStringLiteral("Aliases")), QStringList{QStringLiteral("TIVRA_PROD,L=Produção")});
    EXPECT_EQ(rows(), (QStringList{row(1, kVersionsStage,
                                       QStringLiteral("Atualizando Versoes INI (") + site.appDirectory() + ')'),
                                   row(1, kVersionsStage,
                                       QStringLiteral("     Arquivo \"Versoes.ini\" atualizado com sucesso."))}));
}

TEST_F(VersoesIniTest, EmptyOrMissingSectionsStayUntouched)
{
    const QByteArray content = "[Componentes]\r\n; nothing yet\r\n[Aliases]\r\nTIVRA=Base\r\n";
    site.writeVersoesIni(content);
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Clients/App.exe")), 2, 1, 0, 5);
    writeVersionedFile(app(QStringLiteral("Bibliotecas/Util.dll")), 1, 0, 0, 0);
    EXPECT_TRUE(UpdateVersoesIni(session));
    EXPECT_EQ(readAll(iniPath()), content);
    EXPECT_FALSE(platform::ProfileFile(iniPath()).hasSection(QStringLiteral("Bibliotecas")));
}

TEST_F(VersoesIniTest, SkippedWithoutBinariesOrWithoutTheFile)
{
    const QByteArray content = "[Componentes]\r\nApp.exe=1.0.0.0\r\n";
    site.writeVersoesIni(content);
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Clients/App.exe")), 2, 1, 0, 5);
    session.package.existBin = false;
    EXPECT_TRUE(UpdateVersoesIni(session));
    EXPECT_EQ(readAll(iniPath()), content);

    session.package.existBin = true;
    QFile::remove(iniPath());
    EXPECT_TRUE(UpdateVersoesIni(session));
    EXPECT_FALSE(QFileInfo::exists(iniPath()));
    EXPECT_EQ(rows(),
              (QStringList{row(3, kVersionsStage, QStringLiteral("Arquivo de versões ignorado da atualização (sem "
                                                                 "binários para atualizar). Etapa ignorada.")),
                           row(3, kVersionsStage, QStringLiteral("Atualização do arquivo \"Versoes.ini\" ignorada. "
                                                                 "Arquivo não encontrado no diretório \"")
                                                      + site.appDirectory() + QStringLiteral("\"."))}));
}

TEST_F(VersoesIniTest, TheChecksSeeAReadOnlyVersionsFileWhateverTheRights)
{
    site.writeVersoesIni("[Componentes]\r\n");
    EXPECT_TRUE(versionsFileWritable(iniPath()));
    // Root could still open it for writing: the attribute decides.
    testsupport::setReadOnly(iniPath(), true);
    EXPECT_FALSE(versionsFileWritable(iniPath()));
    EXPECT_FALSE(versionsFileWritable(root(QStringLiteral("nao-existe.ini"))));
}

TEST_F(VersoesIniTest, WriteProtectedFileEndsTheRun)
{
    const QByteArray content = "[Componentes]\r\nApp.exe=1.0.0.0\r\n";
    site.writeVersoesIni(content);
    testsupport::setReadOnly(iniPath(), true);
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Clients/App.exe")), 2, 1, 0, 5);
    try {
        UpdateVersoesIni(session);
        ADD_FAILURE() << "the write error was swallowed";
    } catch (const StageError &error) {
        EXPECT_TRUE(error.message().contains(iniPath()));
    }
    EXPECT_EQ(readAll(iniPath()), content);
    EXPECT_EQ(rows().size(), 1);  // no success row
}

}  // namespace
}  // namespace tivra::deploytest
