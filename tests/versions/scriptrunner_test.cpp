// The script runner: splitting, dependencies, resume, failures and their export, per vendor on the
// embedded emulation; bad input; the demo package's scripts run twice.
#include "core/clock.h"
#include "db/scriptrunner.h"
#include "db/versiontables.h"
#include "platform/profile.h"
#include "platform/textfile.h"
#include "versionsite.h"

#include <QRegularExpression>

using namespace tivra;
using testsupport::VersionSite;

TEST(ScriptText, SplittingDependenciesAndEncodings)
{
    const QString semicolon = QStringLiteral(";");
    // "A;" and "B;" on two lines: A, then B after a line break, then a line break never executed.
    EXPECT_EQ(splitScript(QStringLiteral("A;\r\nB;\r\n"), semicolon), QStringList({"A", "\r\nB", "\r\n"}));
    EXPECT_EQ(splitScript(QStringLiteral("A;\r\nB\r\n"), semicolon), QStringList({"A", "\r\nB\r\n"}));
    EXPECT_EQ(splitScript(QStringLiteral("\r\n\r\n"), semicolon).size(), 1);
    EXPECT_EQ(splitScript(QStringLiteral("A go B GO C"), QStringLiteral("GO")), QStringList({"A go B ", " C"}));  // exact case
    EXPECT_EQ(trimStatement(QStringLiteral("\r\n\t A ;\r\n")), QStringLiteral("A ;"));

    const QStringList deps{"a=S", "b=N", "c=S", "d=s", "e= S", "fS", "g=Sim=N"};
    QString depends;
    for (int p = 0; p <= deps.size(); ++p)
        depends += dependsOnPredecessor(deps, p) ? QLatin1Char('S') : QLatin1Char('-');
    EXPECT_EQ(depends, QStringLiteral("--S---S-"));  // never the first; upper "S" right after the first "="; past the end: no

    EXPECT_EQ(decodeScriptText("Descri\xe7\xe3o"), QStringLiteral("Descrição"));         // Windows-1252
    EXPECT_EQ(decodeScriptText("Descri\xc3\xa7\xc3\xa3o"), QStringLiteral("Descrição"));  // UTF-8 without a mark
    EXPECT_EQ(decodeScriptText(QByteArray("\xFF\xFEO\0l\0\xe1\0", 8)), QStringLiteral("Olá"));
    EXPECT_EQ(decodeScriptText("\x80 \xc3"), QStringLiteral("€ Ã"));  // not UTF-8
    VersionSite site;
    site.writeScript(QStringLiteral("x.sql"), "A;\nB;\rC");
    EXPECT_EQ(readScriptText(site.session.workingFolder + QStringLiteral("/x.sql")), QStringLiteral("A;\r\nB;\r\nC\r\n"));
}

class ScriptRunner : public ::testing::TestWithParam<const char *> {
protected:
    QString vendor() const { return QString::fromLatin1(GetParam()); }
    void script(const QByteArray &text) { site.writeScript(scriptFileName(vendor()), text); }
    int database(const QString &alias)
    {
        const int entry = site.addDatabase(alias, vendor());
        EXPECT_TRUE(CreateTableVersoes(site.session));
        return entry;
    }
    void markExecuted(int entry, const QList<int> &positions)
    {
        QStringList statements{instBancoPackCreateText()};
        for (int i = 0; i < positions.size(); ++i)
            statements << QStringLiteral("INSERT INTO INST_BANCO_PACK VALUES (%1, '1.0.000', %2, <DATE>, <DATE>)").arg(i + 1).arg(positions.at(i));
        site.exec(entry, statements);
    }
    QStringList rows() { return site.rows(kStageScripts); }
    QStringList &dependencies()
    {
        PackageSettings &p = site.session.package;
        return vendor() == QStringLiteral("DB2") ? p.dependenciasDB2 : vendor() == QStringLiteral("ORACLE") ? p.dependenciasOracle : p.dependenciasMSSQL;
    }
    VersionSite site;
    ScriptRunStats stats;
};

TEST_P(ScriptRunner, RunsEveryDelimitedStatementAndRecordsIt)
{
    const int entry = database(QStringLiteral("BASE"));
    script("CREATE TABLE T1 (ID INTEGER);\r\nINSERT INTO T1 (ID) VALUES (1);\r\nINSERT INTO T1 (ID) VALUES (2)\r\n");
    EXPECT_TRUE(AtualizaScripts(site.session, &stats));
    EXPECT_EQ(rows(), QStringList({"1|Executando 2 instruções no banco \"BASE\"...", "1|     Todos os scripts foram executados com sucesso!"}));
    EXPECT_EQ(site.count(entry, QStringLiteral("T1")), 1);  // the text after the last delimiter never runs
    EXPECT_EQ(site.versions(entry, kVsPackBanco), QStringList{"1.0.000=2"});
    EXPECT_EQ(site.session.logbook, QStringList({"\r\n*** SCRIPTS EXECUTADOS (Banco: BASE)", "CREATE TABLE T1 (ID INTEGER);\r\n",
                                                 "INSERT INTO T1 (ID) VALUES (1);\r\n"}));
    EXPECT_EQ(stats.statementsRun, 2);
}

TEST_P(ScriptRunner, DependentsOfAFailureAreSkippedCountedNotExported)
{
    const int entry = database(QStringLiteral("BASE"));
    script("CREATE TABLE T1 (ID INTEGER);\r\nINSERT INTO NADA (ID) VALUES (1);\r\nINSERT INTO T1 (ID) VALUES (3);\r\n"
           "INSERT INTO T1 (ID) VALUES (4);\r\n");
    dependencies() = QStringList{"1=N", "2=N", "3=S", "4=S"};  // 4 depends on 3, which is skipped
    AtualizaScripts(site.session);
    EXPECT_EQ(rows(), QStringList({"1|Executando 4 instruções no banco \"BASE\"...", "2|     3 scripts não foram executados.",
                                   "1|     Scripts com erro foram exportados para a pasta de Logs."}));
    EXPECT_EQ(site.versions(entry, kVsPackBanco), QStringList{"1.0.000=1"});
    EXPECT_EQ(site.logCount(QStringLiteral("Instrução \"\r\nINSERT INTO T1 (ID) VALUES (3)\" ignorada da execução pois a instrução "
                                           "anterior não foi executada corretamente.")),
              1);
    const QDir exports(site.session.pathLog + QStringLiteral("/ScriptsComErro"));
    const QStringList files = exports.entryList({QStringLiteral("1.0.000_BASE_????????_????.sql")}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(platform::readText(exports.filePath(files.first())), QStringLiteral("INSERT INTO NADA (ID) VALUES (1);\r\n"));

    // A dependency list shorter than the script leaves the statements past its end independent.
    // The second export of the same minute goes beside the first, which stays as it was.
    setClockForTesting([] { return QDateTime(QDate(2011, 3, 5), QTime(14, 7)); });
    dependencies() = QStringList{"1=N"};
    site.session.status.clearRows();
    AtualizaScripts(site.session);
    site.session.status.clearRows();
    AtualizaScripts(site.session);
    setClockForTesting({});
    EXPECT_EQ(rows().at(1), QStringLiteral("2|     1 script não foi executado."));
    EXPECT_EQ(site.count(entry, QStringLiteral("T1")), 4);
    EXPECT_TRUE(exports.exists(QStringLiteral("1.0.000_BASE_05032011_1407.sql")));
    EXPECT_TRUE(exports.exists(QStringLiteral("1.0.000_BASE_05032011_1407_2.sql")));
    EXPECT_EQ(platform::readText(exports.filePath(files.first())), QStringLiteral("INSERT INTO NADA (ID) VALUES (1);\r\n"));
}

TEST_P(ScriptRunner, ResumeSkipsLoggedStatements)
{
    const int entry = database(QStringLiteral("BASE"));
    // 0 and 1 would fail now, but the log says they ran; 2 depends on 1.
    script("INSERT INTO NADA (ID) VALUES (1);\r\nINSERT INTO NADA (ID) VALUES (2);\r\nCREATE TABLE T1 (ID INTEGER);\r\n"
           "INSERT INTO T1 (ID) VALUES (4);\r\n");
    dependencies() = QStringList{"0=N", "1=N", "2=S", "3=S"};
    markExecuted(entry, {0, 1, 1, 77});  // as many rows as statements, but 2 and 3 never ran
    AtualizaScripts(site.session, &stats);
    EXPECT_EQ(rows(), QStringList({"1|Executando 4 instruções no banco \"BASE\"...", "1|     Todos os scripts foram executados com sucesso!"}));
    EXPECT_EQ(stats.statementsRun, 2);
    EXPECT_EQ(site.count(entry, QStringLiteral("T1")), 1);
}

TEST_P(ScriptRunner, AllLoggedNeedsNoStatementConnection)
{
    const int entry = database(QStringLiteral("BASE"));
    script("INSERT INTO NADA (ID) VALUES (1);\r\n\r\nINSERT INTO NADA (ID) VALUES (2);\r\n");
    markExecuted(entry, {1, 0});
    AtualizaScripts(site.session, &stats);
    EXPECT_EQ(rows(), QStringList{"1|Todas as instruções para o banco \"BASE\" já foram executadas!"});
    EXPECT_EQ(stats.statementConnections, 0);
    EXPECT_EQ(site.versions(entry, kVsPackBanco), QStringList{"1.0.000=2"});
    EXPECT_EQ(site.session.logbook.last(), QStringLiteral("- Nenhum script executado"));
}

// Two databases of one vendor: the statement log of the first does not reach the second; an
// expected error counts as success and goes to the logbook.
TEST_P(ScriptRunner, EachDatabaseStartsFromThePackageStatements)
{
    const int first = database(QStringLiteral("PRIMEIRO"));
    const int second = database(QStringLiteral("SEGUNDO"));
    script("CREATE TABLE T1 (ID INTEGER);\r\nCREATE TABLE T2 (ID INTEGER);\r\nINSERT INTO T1 (ID) VALUES (1);\r\n");
    markExecuted(first, {0});
    site.exec(first, {QStringLiteral("CREATE TABLE T1 (ID INTEGER)"), QStringLiteral("CREATE TABLE T2 (ID INTEGER)")});
    AtualizaScripts(site.session);
    EXPECT_EQ(site.count(first, QStringLiteral("T1")) + site.count(second, QStringLiteral("T1")), 2);
    EXPECT_EQ(site.logCount(QStringLiteral("[VALIDADO PELO INSTALADOR]: \"CREATE TABLE T2 (ID INTEGER)\r\n\". Mensagem: ")), 1);
    EXPECT_EQ(site.session.logbook.count(QStringLiteral("CREATE TABLE T1 (ID INTEGER);\r\n")), 1);
    EXPECT_EQ(site.session.logbook.count(QStringLiteral("CREATE TABLE T2 (ID INTEGER);\r\n")), 2);
    EXPECT_EQ(site.versions(first, kVsPackBanco) + site.versions(second, kVsPackBanco), QStringList({"1.0.000=2", "1.0.000=2"}));
}

TEST_P(ScriptRunner, BadScripts)
{
    const int entry = database(QStringLiteral("BASE"));
    site.exec(entry, {QStringLiteral("CREATE TABLE T1 (ID INTEGER, NOME VARCHAR(40))")});
    // Blank; then Windows-1252 and UTF-8 texts; then a delimiter that never occurs.
    script("\r\n   \r\n");
    AtualizaScripts(site.session);
    site.session.package.versaoPacote = QStringLiteral("1.0.001");
    script("INSERT INTO T1 (ID, NOME) VALUES (1, 'Descri\xe7\xe3o');\r\n");
    AtualizaScripts(site.session);
    site.session.package.versaoPacote = QStringLiteral("1.0.002");
    script("INSERT INTO T1 (ID, NOME) VALUES (2, 'Descri\xc3\xa7\xc3\xa3o');\r\n");
    AtualizaScripts(site.session);
    site.session.package.versaoPacote = QStringLiteral("1.0.003");
    site.session.package.sqlDelimiter = QStringLiteral("/");
    AtualizaScripts(site.session);
    EXPECT_EQ(rows().first(), QStringLiteral("3|Não existem instruções para execução no banco \"BASE\"."));
    EXPECT_EQ(rows().last(), QStringLiteral("2|Nenhuma instrução executada no banco \"BASE\": o script não contém o delimitador \"/\"."));
    EXPECT_EQ(site.versions(entry, kVsPackBanco), QStringList({"1.0.000=2", "1.0.001=2", "1.0.002=2", "1.0.003=1"}));
    EXPECT_EQ(site.count(entry, QStringLiteral("T1 WHERE NOME = 'Descrição'")), 2);
}

// A vendor script that only says there is nothing to do for that vendor is the no-instructions
// case, with or without delimiters inside its comments; a quoted "--" is content.
TEST_P(ScriptRunner, ScriptsOfCommentsOnlyHaveNoInstructions)
{
    const int entry = database(QStringLiteral("BASE"));
    script("-- Nada a executar para este banco.\r\n/* Pacote sem alterações;\r\n   de estrutura */\r\n  -- fim;\r\n");
    AtualizaScripts(site.session);
    EXPECT_EQ(rows().last(), QStringLiteral("3|Não existem instruções para execução no banco \"BASE\"."));
    EXPECT_EQ(site.versions(entry, kVsPackBanco), QStringList{"1.0.000=2"});
    EXPECT_FALSE(hasExecutableContent(QStringLiteral("  -- a\r\n/* b */ /* c")));
    EXPECT_TRUE(hasExecutableContent(QStringLiteral("-- a\r\nSELECT '--' FROM X")));
    EXPECT_TRUE(hasExecutableContent(QStringLiteral("/* a */ DROP TABLE X")));
    EXPECT_TRUE(hasExecutableContent(QStringLiteral("- 1")));
}

TEST_P(ScriptRunner, TablespacesMappedPerDatabase)
{
    const int a = site.addDatabase(QStringLiteral("A"), vendor(), {QStringLiteral("DADOS_A")});
    const int b = site.addDatabase(QStringLiteral("B"), vendor(), {QStringLiteral("DADOS_B")});
    ASSERT_TRUE(CreateTableVersoes(site.session));
    site.session.package.tableSpaces = QStringList{"TS_PACOTE"};
    for (const QString alias : {"A", "B"})
        site.session.cdsTS.append({{"ALIAS", alias}, {"TS_DEFAULT", "TS_PACOTE"}, {"TS_NEW", QString(QStringLiteral("DADOS_") + alias)}});
    const QByteArray clause = vendor() == QStringLiteral("ORACLE") ? " TABLESPACE " : vendor() == QStringLiteral("DB2") ? " IN " : " ON ";
    script("CREATE TABLE T1 (ID INTEGER)" + clause + "TS_PACOTE;\r\n");
    AtualizaScripts(site.session);
    EXPECT_EQ(site.versions(a, kVsPackBanco) + site.versions(b, kVsPackBanco), QStringList({"1.0.000=2", "1.0.000=2"}));
}

TEST_P(ScriptRunner, PackageWithoutScripts)
{
    const int entry = database(QStringLiteral("BASE"));
    site.session.package.existScript = false;
    EXPECT_TRUE(AtualizaScripts(site.session));
    EXPECT_EQ(rows(), QStringList{"3|Scripts não incluídos no pacote. Etapa ignorada no banco \"BASE\"."});
    EXPECT_EQ(site.versions(entry, kVsPackBanco), QStringList{"1.0.000=2"});
}

// Each statement of a database is counted for the progress shown, under the stage's name, from
// 0 up to all of them, and the counting ends with the database. The log text and the status
// rows do not change with it: a site whose progress nobody follows logs the same, apart from the
// moments of its (fake) clock, which only moved for the one that was followed.
TEST_P(ScriptRunner, CountsStatementsForTheProgressWithoutChangingTheLog)
{
    qint64 now = QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)).toMSecsSinceEpoch();
    setClockForTesting([&now] { return QDateTime::fromMSecsSinceEpoch(now); });
    QByteArray text = "CREATE TABLE T1 (ID INTEGER);\r\n";
    for (int i = 0; i < 1500; ++i)
        text += "INSERT INTO T1 (ID) VALUES (" + QByteArray::number(i) + ");\r\n";

    VersionSite unfollowed;
    unfollowed.addDatabase(QStringLiteral("BASE"), vendor());
    ASSERT_TRUE(CreateTableVersoes(unfollowed.session));
    unfollowed.writeScript(scriptFileName(vendor()), text);
    AtualizaScripts(unfollowed.session);

    const int entry = database(QStringLiteral("BASE"));
    script(text);
    QStringList reports;
    qint64 last = -1;
    bool inOrder = true;
    int ends = 0;
    QObject::connect(&site.session.status, &StatusLog::progressReported,
                     [&](const QString &stage, qint64 done, qint64 total, ProgressUnit unit) {
                         inOrder = inOrder && done == last + 1 && total == 1501 && unit == ProgressUnit::Statements
                             && stage == kStageScripts;
                         last = done;
                         now += 20;  // each statement takes 20 ms
                     });
    QObject::connect(&site.session.status, &StatusLog::progressEnded, [&] { ++ends; });
    QByteArray terminal;
    TerminalProgressLine line([] { return true; }, [&terminal](const QByteArray &bytes) { terminal += bytes; });
    line.attach(site.session.status);
    AtualizaScripts(site.session);
    setClockForTesting({});

    EXPECT_EQ(site.count(entry, QStringLiteral("T1")), 1500);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(last, 1501);
    EXPECT_EQ(ends, 1);
    // 30 s of statements: a line about every second, then blanked out.
    EXPECT_EQ(terminal.count('\r'), 30 + 2);
    EXPECT_TRUE(terminal.contains("06. Scripts de Banco: 1 000 de 1 501 instruções"));
    EXPECT_TRUE(terminal.endsWith(QByteArray(" \r")));

    const auto withoutMoments = [](QStringList items) {
        static const QRegularExpression moment(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} - \\d\\d:\\d\\d:\\d\\d- "));
        for (QString &item : items)
            item.remove(moment);
        return items;
    };
    EXPECT_EQ(withoutMoments(site.session.status.logText()), withoutMoments(unfollowed.session.status.logText()));
    EXPECT_EQ(site.rows(kStageScripts), unfollowed.rows(kStageScripts));
    EXPECT_EQ(site.session.logbook, unfollowed.session.logbook);
}

INSTANTIATE_TEST_SUITE_P(Vendors, ScriptRunner, ::testing::Values("DB2", "ORACLE", "MSSQL"));

TEST(ScriptRunnerFailures, UnreadableLogLostConnectionUnwritableExport)
{
    VersionSite site;
    const int broken = site.addDatabase(QStringLiteral("TORTO"), QStringLiteral("MSSQL"));
    site.addDatabase(QStringLiteral("BOM"), QStringLiteral("MSSQL"));
    ASSERT_TRUE(CreateTableVersoes(site.session));
    site.exec(broken, {QStringLiteral("CREATE TABLE INST_BANCO_PACK (OUTRA INTEGER)")});
    site.session.pathLog = site.site.writeFile(QStringLiteral("arquivo"), "x");  // a file where the log folder should be
    site.writeScript(QStringLiteral("ScriptsMSSQL.sql"), "INSERT INTO NADA (ID) VALUES (1);\r\n");
    EXPECT_TRUE(AtualizaScripts(site.session));
    const QStringList rows = site.rows(kStageScripts);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows.at(0), QStringLiteral("2|Não foi possível ler as instruções já executadas no banco \"TORTO\" (INST_BANCO_PACK). Banco ignorado."));
    EXPECT_EQ(rows.at(2), QStringLiteral("2|     1 script não foi executado."));
    EXPECT_TRUE(rows.at(3).startsWith(QStringLiteral("2|     Não foi possível exportar os scripts com erro para a pasta de Logs")));
    EXPECT_TRUE(site.versions(broken, kVsPackBanco).isEmpty());

    // Without version checks nothing connects before the statements: the connection error row.
    site.session.status.clearRows();
    site.session.package.ignorarVersao = true;
    site.session.cdsDbs.clear();
    site.addEntry(QStringLiteral("SUMIU"), QStringLiteral("MSSQL"));
    AtualizaScripts(site.session);
    EXPECT_EQ(site.rows(kStageScripts), QStringList({"1|Executando 1 instruções no banco \"SUMIU\"...", "2|Erro de conexão ao banco \"SUMIU\"."}));
    EXPECT_EQ(site.logCount(QStringLiteral("AtualizaStatusVersao")), 0);  // the version table is not written
}

// The demo package's scripts: the first run applies everything; the second finds the version
// complete and skips; forced again, the repeated statements end in expected errors.
class DemoScripts : public ::testing::TestWithParam<const char *> {};

TEST_P(DemoScripts, SecondRunSkipsWhatIsComplete)
{
    const QString vendor = QString::fromLatin1(GetParam());
    const QString package = QStringLiteral(TIVRA_DEMO_PACKAGE_DIR "/");
    VersionSite site;
    const platform::ProfileFile config(package + QStringLiteral("Config.ini"));
    PackageSettings &settings = site.session.package;
    settings.versaoPacote = config.readString(QStringLiteral("Outros"), QStringLiteral("VersaoPacote"));
    settings.existScript = config.readBool(QStringLiteral("Outros"), QStringLiteral("ExistScript"));
    settings.sqlDelimiter = config.readString(QStringLiteral("ConfigSQL"), QStringLiteral("SQLDelimiter"));
    settings.dependenciasDB2 = config.sectionLines(QStringLiteral("DependenciasDB2"));
    settings.dependenciasOracle = config.sectionLines(QStringLiteral("DependenciasOracle"));
    settings.dependenciasMSSQL = config.sectionLines(QStringLiteral("DependenciasMSSQL"));
    ASSERT_TRUE(settings.existScript);
    ASSERT_TRUE(QFile::copy(package + scriptFileName(vendor), site.session.workingFolder + QLatin1Char('/') + scriptFileName(vendor)));
    const int entry = site.addDatabase(QStringLiteral("DEMO"), vendor);
    ASSERT_TRUE(CreateTableVersoes(site.session));

    AtualizaScripts(site.session);
    AtualizaScripts(site.session);
    settings.ignorarVersao = true;
    AtualizaScripts(site.session);
    EXPECT_EQ(site.rows(kStageScripts),
              QStringList({"1|Executando 4 instruções no banco \"DEMO\"...", "1|     Todos os scripts foram executados com sucesso!",
                           "3|Scripts de Banco já atualizado no banco \"DEMO\" com a mesma versão.",
                           "1|Executando 4 instruções no banco \"DEMO\"...", "1|     Todos os scripts foram executados com sucesso!"}))
        << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("[VALIDADO PELO INSTALADOR]")), 3);  // table, column and index exist
    EXPECT_EQ(site.count(entry, QStringLiteral("DEMO_CLIENTE WHERE NOME = 'Cliente de demonstração' AND EMAIL IS NOT NULL")), 1);
}

INSTANTIATE_TEST_SUITE_P(Vendors, DemoScripts, ::testing::Values("DB2", "ORACLE", "MSSQL"));
