// The pre-flight report (/dryrun) of the real installer on generated sites: it changes nothing,
// its report matches the run that follows, and a refused walk gives its reasons and status 3.
#include "platform/textfile.h"
#include "support/packagebuilder.h"
#include "support/pewriter.h"
#include "installerprocess.h"
#include "support/testsite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

using namespace tivra;

namespace {

class DryRun : public testsupport::InstallerProcessTest {
protected:
    // Rows per table of an embedded database file.
    std::map<QString, qint64> rowCounts(const QString &alias, const QStringList &tables)
    {
        std::map<QString, qint64> counts;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dryrun-count"));
            db.setDatabaseName(site.installerDirectory() + "Databases/" + alias + ".db");
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            EXPECT_TRUE(db.open());
            for (const QString &table : tables) {
                QSqlQuery query(db);
                EXPECT_TRUE(query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && query.next()) << table.toStdString();
                counts[table] = query.value(0).toLongLong();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("dryrun-count"));
        return counts;
    }

    // Runs statements directly on an embedded database file.
    void dbExec(const QString &alias, const QStringList &statements)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dryrun"));
            db.setDatabaseName(site.installerDirectory() + "Databases/" + alias + ".db");
            ASSERT_TRUE(db.open());
            QSqlQuery query(db);
            for (const QString &statement : statements)
                EXPECT_TRUE(query.exec(statement)) << statement.toStdString() << query.lastError().text().toStdString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("dryrun"));
    }

    // Every file and folder below a folder (names, bytes and permissions), or one file.
    static QByteArray checksum(const QString &path)
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QStringList entries;
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                entries << it.next();
        } else if (QFileInfo::exists(path)) {
            entries << path;
        }
        entries.sort();
        for (const QString &entry : entries) {
            hash.addData(entry.toUtf8());
            hash.addData(QByteArray::number(int(QFile::permissions(entry))));
            QFile file(entry);
            if (QFileInfo(entry).isFile() && file.open(QIODevice::ReadOnly))
                hash.addData(file.readAll());
        }
        return hash.result().toHex();
    }

    QStringList logFiles() const
    {
        return QDir(site.installerDirectory() + "Log").entryList(QDir::Files, QDir::Name);
    }

    QString reportText()
    {
        const QStringList reports = QDir(site.installerDirectory() + "Log").entryList({"*_DryRun_*.txt"}, QDir::Files);
        EXPECT_EQ(reports.size(), 1) << reports.join(',').toStdString();
        return reports.isEmpty() ? QString() : platform::readText(site.installerDirectory() + "Log/" + reports[0]);
    }

    // The paths of the report's lines that start with the word (as the report aligns it).
    static QStringList pathsOf(const QString &report, const QString &word)
    {
        QStringList paths;
        const QString prefix = word.leftJustified(12, QLatin1Char(' '));
        for (const QString &line : report.split(QRegularExpression(QStringLiteral("\r?\n")))) {
            if (!line.startsWith(prefix))
                continue;
            const QString rest = line.mid(prefix.size());
            paths << rest.left(rest.lastIndexOf(QStringLiteral(" (")));
        }
        paths.sort();
        return paths;
    }

};

QStringList sortedStrings(const QJsonArray &array)
{
    QStringList list;
    for (const QJsonValue &value : array)
        list << value.toString();
    list.sort();
    return list;
}

}  // namespace

TEST_F(DryRun, ChangesNothingAndMatchesTheRunThatFollows)
{
    addDatabases();
    const QString app = site.appDirectory();
    const QString pkg = site.root() + "/pkg/AppTivra";
    QDir().mkpath(app + "/Producao/Bin");
    QDir().mkpath(pkg + "/Producao/Bin/Clients");
    // Older in place: replaced. Newer in place: kept. Same version, other bytes: replaced. A new
    // file in a folder the application directory lacks.
    ASSERT_TRUE(testsupport::writePeFile(app + "/Producao/Bin/Velho.dll", testsupport::PeVersion{1, 0, 0, 0}));
    ASSERT_TRUE(testsupport::writePeFile(pkg + "/Producao/Bin/Velho.dll", testsupport::PeVersion{2, 0, 0, 0}));
    ASSERT_TRUE(testsupport::writePeFile(app + "/Producao/Bin/Maior.dll", testsupport::PeVersion{5, 0, 0, 0}));
    ASSERT_TRUE(testsupport::writePeFile(pkg + "/Producao/Bin/Maior.dll", testsupport::PeVersion{2, 0, 0, 0}));
    testsupport::PeImageOptions installed;
    installed.fileVersion = {3, 1, 0, 0};
    installed.productVersion = {3, 0, 0, 0};
    testsupport::PeImageOptions packaged = installed;
    packaged.productVersion = {3, 1, 0, 0};
    ASSERT_TRUE(testsupport::writePeFile(app + "/Producao/Bin/Igual.dll", installed));
    ASSERT_TRUE(testsupport::writePeFile(pkg + "/Producao/Bin/Igual.dll", packaged));
    ASSERT_TRUE(testsupport::writePeFile(pkg + "/Producao/Bin/Clients/Novo.exe", testsupport::PeVersion{1, 2, 0, 0}));
    // One COM+ application registered, one the run would create.
    const QString catalog = site.writeFile("installer/COMPlusCatalog.ini",
                                           testsupport::windowsText("[Application]\nName=pkBrelum\nShutdowns=0\n"));
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=1.0.002\nExistBin=1\nExistScript=1\n"
                "[Componentes]\npkBrelum=Brenok.dll;Calix.dll\nTivraCadastro=Cadastro.dll\n"
                "[BinaryToCopy]\nAppTivra\\Producao\\Bin\\Velho.dll\nAppTivra\\Producao\\Bin\\Maior.dll\n"
                "AppTivra\\Producao\\Bin\\Igual.dll\nAppTivra\\Producao\\Bin\\Clients\\Novo.exe\n")
        .addFolder(site.root() + "/pkg")
        .add("ScriptsOracle.sql", "CREATE TABLE DRY_A (ID INTEGER);\r\nCREATE TABLE DRY_B (ID INTEGER);\r\n"
                                  "CREATE TABLE DRY_C (ID INTEGER);\r\n")
        .add("ScriptsDB2.sql", "CREATE TABLE DRY_A (ID INTEGER);\r\nCREATE TABLE DRY_B (ID INTEGER);\r\n")
        .writeUpdatePack(site.installerDirectory());
    // An earlier, interrupted run of this version executed the first Oracle statement; the DB2
    // database lacks one version table.
    dbExec("TIVRA_PROD", {"INSERT INTO INST_BANCO_PACK VALUES (1, '1.0.002', 0, '2026-01-01', '2026-01-01')",
                          "CREATE TABLE DRY_A (ID INTEGER)"});
    dbExec("TIVRA_HML", {"DROP TABLE VS_PACK_MSG"});

    const QByteArray appBefore = checksum(app);
    const QByteArray databasesBefore = checksum(site.installerDirectory() + "Databases");
    const QByteArray catalogBefore = checksum(catalog);

    ASSERT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog", "/backup", "/dryrun"}), 0) << err.toStdString()
                                                                                             << out.toStdString();

    // Nothing changed: files, databases, COM+ catalog; no working folder, no backup folder, and in
    // the log folder only the report.
    EXPECT_EQ(checksum(app), appBefore);
    EXPECT_EQ(checksum(site.installerDirectory() + "Databases"), databasesBefore);
    EXPECT_EQ(checksum(catalog), catalogBefore);
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "tmp"));
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "Backup"));
    const QStringList logs = logFiles();
    ASSERT_EQ(logs.size(), 1) << logs.join(',').toStdString();
    EXPECT_TRUE(logs[0].startsWith("0042_DryRun_1.0.002_")) << logs[0].toStdString();

    const QString report = reportText();
    if (qEnvironmentVariableIsSet("TIVRA_SHOW_DRYRUN"))
        std::fprintf(stderr, "%s\n", qPrintable(report));
    EXPECT_TRUE(out.contains("RELATÓRIO PRÉVIO DA ATUALIZAÇÃO")) << out.toStdString();
    EXPECT_TRUE(out.contains("Relatório: " + site.installerDirectory() + "Log/" + logs[0])) << out.toStdString();
    const QString bin = app + "/Producao/Bin/";
    const QStringList replaced = pathsOf(report, "SUBSTITUIR");
    const QStringList kept = pathsOf(report, "MANTER");
    const QStringList added = pathsOf(report, "NOVO");
    EXPECT_EQ(replaced, QStringList({bin + "Igual.dll", bin + "Velho.dll"})) << report.toStdString();
    EXPECT_EQ(kept, QStringList({bin + "Maior.dll"}));
    EXPECT_EQ(added, QStringList({bin + "Clients/Novo.exe"}));
    EXPECT_TRUE(report.contains("SUBSTITUIR  " + bin + "Velho.dll (1.0.0.0 -> 2.0.0.0)"));
    EXPECT_TRUE(report.contains("SUBSTITUIR  " + bin + "Igual.dll (3.1.0.0 -> 3.1.0.0; mesma versão, conteúdo diferente)"));
    EXPECT_TRUE(report.contains("MANTER      " + bin + "Maior.dll (instalado 5.0.0.0 é mais novo que o do pacote 2.0.0.0)"));
    EXPECT_TRUE(report.contains("== Backup ==\r\n3 arquivo(s) copiado(s) para \"" + site.installerDirectory()
                                + "Backup/AppTivra antes do pack 1.0.002 - Data "))
        << report.toStdString();
    EXPECT_EQ(pathsOf(report, "COPIAR"), QStringList({bin + "Igual.dll", bin + "Maior.dll", bin + "Velho.dll"}));
    EXPECT_TRUE(report.contains("DESLIGAR    pkBrelum (registrado")) << report.toStdString();
    EXPECT_TRUE(report.contains("DESLIGAR    TivraCadastro (não registrado; seria criado na etapa 12)"));
    EXPECT_TRUE(report.contains("  VS_PACK_BANCO: atual 1.0.000 (completa) -> executar"));
    EXPECT_TRUE(report.contains("  VS_PACK_MSG: tabela não existe: seria criada -> conteúdo não incluído no pacote"));
    const qsizetype hml = report.indexOf("Banco \"TIVRA_HML\"");
    const qsizetype prod = report.indexOf("Banco \"TIVRA_PROD\"");
    ASSERT_GE(hml, 0);
    ASSERT_GE(prod, 0);
    EXPECT_EQ(report.indexOf("Instruções a executar: 2 (já executadas por uma atualização anterior: 1)", prod),
              report.indexOf("Instruções a executar:", prod));
    EXPECT_EQ(report.indexOf("Instruções a executar: 2 (já executadas por uma atualização anterior: 0)", hml),
              report.indexOf("Instruções a executar:", hml));
    EXPECT_TRUE(report.contains("Processo de Atualização Concluído! Versão 1.0.002 instalada (status 0)."));

    // The run that follows does what the report said.
    ASSERT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog", "/backup"}), 0) << err.toStdString() << out.toStdString();
    const QStringList backups = QDir(site.installerDirectory() + "Backup").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(QDir(site.installerDirectory() + "Backup/" + backups[0] + "/Producao/Bin").entryList(QDir::Files).size(), 3);
    const QStringList summaries = QDir(site.installerDirectory() + "Log").entryList({"*_Log_O1.0.002_*.json"}, QDir::Files);
    ASSERT_EQ(summaries.size(), 1);
    QFile file(site.installerDirectory() + "Log/" + summaries[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject summary = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(sortedStrings(summary.value("files").toObject().value("replaced").toArray()),
              (QStringList({bin + "Clients/Novo.exe", bin + "Igual.dll", bin + "Velho.dll"})));
    EXPECT_EQ(sortedStrings(summary.value("files").toObject().value("kept").toArray()), kept);
    int databases = 0;
    for (const QJsonValue &value : summary.value("databases").toArray()) {
        const QJsonObject database = value.toObject();
        const bool oracle = database.value("alias").toString() == "TIVRA_PROD";
        const QJsonObject statements = database.value("statements").toObject();
        EXPECT_EQ(statements.value("run").toInt(), 2) << database.value("alias").toString().toStdString();
        EXPECT_EQ(statements.value("skipped").toInt(), oracle ? 1 : 0);
        EXPECT_EQ(statements.value("failed").toInt(), 0);
        ++databases;
    }
    EXPECT_EQ(databases, 2);
    // The files on disk: the kept one untouched, the others the package's.
    EXPECT_EQ(testsupport::buildPeImage(testsupport::PeVersion{5, 0, 0, 0}), [&] {
        QFile kept(bin + "Maior.dll");
        return kept.open(QIODevice::ReadOnly) ? kept.readAll() : QByteArray();
    }());
    {
        // Closed before the next run: a file held open here would count as in use there.
        QFile placed(bin + "Igual.dll");
        QFile packagedFile(pkg + "/Producao/Bin/Igual.dll");
        ASSERT_TRUE(placed.open(QIODevice::ReadOnly) && packagedFile.open(QIODevice::ReadOnly));
        EXPECT_EQ(placed.readAll(), packagedFile.readAll());
    }
    // A second report after the run: the scripts are complete, nothing to replace but the same files.
    QDir(site.installerDirectory() + "Log").removeRecursively();
    ASSERT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog", "/dryrun"}), 0) << err.toStdString() << out.toStdString();
    const QString second = reportText();
    EXPECT_EQ(second.count("ignorar: mesma versão já instalada por completo"), 2) << second.toStdString();
    EXPECT_TRUE(second.contains("SUBSTITUIR  " + bin + "Igual.dll (3.1.0.0 -> 3.1.0.0; mesma versão, mesmo conteúdo)"));
    EXPECT_FALSE(second.contains("NOVO  "));
}

TEST_F(DryRun, ARefusedWalkGivesItsReasonsAndStatus3AndChangesNothing)
{
    addDatabases();
    // A package that cannot be opened: the first page refuses.
    site.writeFile("installer/Update.pack", "not a package");
    const QByteArray databasesBefore = checksum(site.installerDirectory() + "Databases");
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog", "/dryrun"}), 3) << err.toStdString() << out.toStdString();
    QString report = reportText();
    EXPECT_TRUE(report.contains("== Atualização recusada ==")) << report.toStdString();
    EXPECT_TRUE(report.contains("Pacote inválido: ")) << report.toStdString();
    EXPECT_TRUE(report.contains("Atualização não seria iniciada (status 3)."));
    EXPECT_TRUE(out.contains("Relatório: ")) << out.toStdString();
    EXPECT_EQ(logFiles().size(), 1);

    // A package that requires a version the databases do not have: the checks page refuses,
    // without creating the version table one of them lacks.
    QDir(site.installerDirectory() + "Log").removeRecursively();
    dbExec("TIVRA_HML", {"DROP TABLE VS_PACK_ROTULO"});
    const QByteArray databasesWithout = checksum(site.installerDirectory() + "Databases");
    EXPECT_NE(databasesWithout, databasesBefore);
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=2.0.001\nVersaoRequerida=1.5.000\nExistScript=1\n")
        .add("ScriptsOracle.sql", "CREATE TABLE DRY_A (ID INTEGER);\r\n")
        .writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog", "/dryrun"}), 3) << err.toStdString() << out.toStdString();
    report = reportText();
    EXPECT_TRUE(report.contains("Reprovado: Validação de Versões (Banco: TIVRA_PROD)")) << report.toStdString();
    EXPECT_TRUE(err.contains("Reprovado: Validação de Versões (Banco: TIVRA_HML)")) << err.toStdString();
    EXPECT_EQ(checksum(site.installerDirectory() + "Databases"), databasesWithout);
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "tmp"));
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "Backup"));
}

TEST_F(DryRun, TheDemoPackageWithItsCatalogsChangesNoDatabase)
{
    addDatabases();
    testsupport::PackageBuilder().addFolder(QStringLiteral(TIVRA_DEMO_PACKAGE)).writeUpdatePack(site.installerDirectory());
    const QByteArray databasesBefore = checksum(site.installerDirectory() + "Databases");
    const QByteArray appBefore = checksum(site.appDirectory());
    ASSERT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog", "/dryrun"}), 0) << err.toStdString() << out.toStdString();
    EXPECT_EQ(checksum(site.installerDirectory() + "Databases"), databasesBefore);
    EXPECT_EQ(checksum(site.appDirectory()), appBefore);
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "tmp"));
    const QString report = reportText();
    EXPECT_TRUE(report.contains("== Catálogos ==")) << report.toStdString();
    EXPECT_TRUE(report.contains("  2 tabela(s) no índice do catálogo, 1 tabela(s) estruturada(s)")) << report.toStdString();
    EXPECT_TRUE(report.contains("  mensagens: 5 linha(s) em Mensagens.cds")) << report.toStdString();
    EXPECT_EQ(report.count("  VS_PACK_CATALOGO: atual 1.0.000 (completa) -> executar"), 2);
    EXPECT_EQ(report.count("Instruções a executar: 4 (já executadas por uma atualização anterior: 0)"), 2);
    EXPECT_FALSE(report.contains("Erro previsto")) << report.toStdString();
    // The catalog rows the stages would write, per database and table, as the report lists them.
    std::map<QString, std::map<QString, qint64>> predicted;
    {
        QString alias;
        const QRegularExpression database(QStringLiteral("^  Banco \"([A-Z_]+)\":$"));
        const QRegularExpression rows(QStringLiteral("^    ([A-Z_]+): (\\d+) a incluir$"));
        bool inCatalogs = false;
        for (const QString &line : report.split(QRegularExpression(QStringLiteral("\r?\n")))) {
            inCatalogs = inCatalogs || line == QStringLiteral("== Catálogos ==");
            if (!inCatalogs)
                continue;
            if (const auto m = database.match(line); m.hasMatch())
                alias = m.captured(1);
            else if (const auto m = rows.match(line); m.hasMatch())
                predicted[alias][m.captured(1)] = m.captured(2).toLongLong();
            else
                EXPECT_FALSE(line.startsWith(QStringLiteral("    ")) && line.contains(QStringLiteral(" a alterar")))
                    << line.toStdString();
        }
    }
    ASSERT_EQ(predicted.size(), 2u) << report.toStdString();
    const QStringList tables{"CATALOGO_TABELAS", "CATALOGO_COLUNAS", "CATALOGO_TABCOL", "COMPONENTES", "CATALOGO_TABCOMP",
                             "TAB_ESTRUTURADA", "MENSAGENS", "SISTEMAS", "CATALOGO_ROTULOS", "RESTRICOES"};
    std::map<QString, std::map<QString, qint64>> before;
    for (const QString alias : {"TIVRA_PROD", "TIVRA_HML"})
        before[alias] = rowCounts(alias, tables);

    ASSERT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 0) << err.toStdString();
    const QStringList logs = QDir(site.installerDirectory() + "Log").entryList({"0042_Log_O1.0.001_*.txt"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const QString log = platform::readText(site.installerDirectory() + "Log/" + logs[0]);
    EXPECT_EQ(log.count(QRegularExpression("- Executando 4 instruções no banco")), 2);
    // Every table grew by the rows the report announced, and no other did.
    for (const QString alias : {"TIVRA_PROD", "TIVRA_HML"}) {
        const std::map<QString, qint64> after = rowCounts(alias, tables);
        for (const QString &table : tables) {
            const auto announced = predicted[alias].find(table);
            EXPECT_EQ(after.at(table) - before[alias].at(table), announced == predicted[alias].end() ? 0 : announced->second)
                << alias.toStdString() << " " << table.toStdString();
        }
    }

    // Once installed, the report announces no catalog row.
    ASSERT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog", "/dryrun"}), 0) << err.toStdString();
    EXPECT_EQ(out.count(QStringLiteral("    nenhuma linha a incluir ou alterar")), 2) << out.toStdString();
}
