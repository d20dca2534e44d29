// The ODBC transport against a scripted driver shaped like each vendor's (tests/db/fakeodbc):
// every diagnostic record of a failure, forward-only statements, long texts bound as the vendor
// needs, failed logins, the driver chosen from the driver manager's list, and a connection lost
// in the middle of a script.
#include "db/odbc/odbctransport.h"
#include "db/scriptrunner.h"
#include "db/sqlrunner.h"
#include "versions/versionsite.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::VersionSite;

namespace {

// The driver manager reads the test's own driver list (never the machine's); set before any
// ODBC call of the process.
const bool g_sysini = [] {
    qputenv("ODBCSYSINI", TIVRA_FAKEODBC_SYSINI);
    return true;
}();

const QString kFake = QStringLiteral(TIVRA_FAKEODBC);

struct VendorShape {
    const char *vendor;
    QByteArray header;  // the script lines every connection of this vendor starts with
    QByteArray objectExists;  // an "object already exists" error, one record
    QByteArray syntaxError;   // an error that is not expected, two records
    QByteArray linkFailure;   // the records of a lost session
    QByteArray loginFailure;  // the records of a refused login; {PWD} is the password given
    QByteArray unreachable;   // the records of a server that does not answer
    const char *unreachableNumber;  // its number as the vendor's client prints it
};

const VendorShape kShapes[] = {
    {"DB2", "dbms DB2/NT64\ndriver-name DB2CLI.DLL\n",
     "error 42710 -601 [IBM][CLI Driver][DB2/NT64] SQL0601N  The name of the object to be created is identical to the existing "
     "name \"T\" of type \"TABLE\".  SQLSTATE=42710\n",
     "error 42601 -104 [IBM][CLI Driver][DB2/NT64] SQL0104N  An unexpected token \"X\" was found following \"\".  SQLSTATE=42601\n"
     "error 01000 100 [IBM][CLI Driver][DB2/NT64] SQL0100W  No row was found for FETCH, UPDATE or DELETE.  SQLSTATE=02000\n",
     "lost 08S01 -30081 [IBM][CLI Driver] SQL30081N  A communication error has been detected. Communication protocol being "
     "used: \"TCP/IP\".  SQLSTATE=08001\n",
     "login-error 08001 -30082 [IBM][CLI Driver] SQL30082N  Security processing failed with reason \"24\" (\"USERNAME AND/OR "
     "PASSWORD INVALID\") for password '{PWD}'.  SQLSTATE=08001\n",
     "connect-error 08001 -30081 A communication error has been detected.\n", "SQL30081N"},
    {"ORACLE", "dbms Oracle\ndriver-name SQORA32.DLL\n",
     "error 42S01 955 [Oracle][ODBC][Ora]ORA-00955: name is already used by an existing object\n",
     "error 42000 900 [Oracle][ODBC][Ora]ORA-00900: invalid SQL statement\n"
     "error 01000 24344 [Oracle][ODBC][Ora]ORA-24344: success with compilation error\n",
     "lost 08S01 3113 [Oracle][ODBC][Ora]ORA-03113: end-of-file on communication channel\n",
     "login-error 28000 1017 [Oracle][ODBC][Ora]ORA-01017: invalid username/password '{PWD}'; logon denied\n",
     "connect-error 08001 12541 [Oracle][ODBC][Ora]TNS:no listener\n", "ORA-12541"},
    {"MSSQL", "dbms Microsoft SQL Server\ndriver-name msodbcsql17.dll\n",
     "error 42S01 2714 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]There is already an object named 'T' in the database.\n",
     "error 42000 102 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Incorrect syntax near 'X'.\n"
     "error 42000 8180 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Statement(s) could not be prepared.\n",
     "lost 08S01 10054 [Microsoft][ODBC Driver 17 for SQL Server]TCP Provider: An existing connection was forcibly closed by "
     "the remote host.\n",
     "login-error 28000 18456 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Login failed for user 'tivra' with password "
     "'{PWD}'.\n",
     "connect-error 08001 53 [Microsoft][ODBC Driver 17 for SQL Server]Named Pipes Provider: Could not open a connection to SQL "
     "Server [53].\n"
     "connect-error HYT00 0 [Microsoft][ODBC Driver 17 for SQL Server]Login timeout expired\n",
     "Err 53"},
};

// Sends every vendor's databases to the fake driver; each alias has its own script
// (fake-<ALIAS>.txt) and call log (calls-<ALIAS>.log) in the site's folder.
class FakeDriverSite : public VersionSite {
public:
    FakeDriverSite()
    {
        QByteArray ini;
        const QByteArray dir = site.root().toUtf8();
        for (const char *section : {"DB2", "ORACLE", "MSSQL"}) {
            ini += QByteArray("[") + section + "]\r\nConnectionString=DRIVER=" + kFake.toUtf8() + ";SCRIPT=" + dir +
                   "/fake-{ALIAS}.txt;LOG=" + dir + "/calls-{ALIAS}.log;DATABASE={ALIAS};UID={USER};PWD={PASSWORD};\r\n";
        }
        writeDrivers(ini);
    }

    void script(const QString &alias, const VendorShape &shape, const QByteArray &body)
    {
        site.writeFile(QStringLiteral("fake-") + alias + QStringLiteral(".txt"), shape.header + body);
    }

    QString logPath(const QString &alias) const { return site.root() + QStringLiteral("/calls-") + alias + QStringLiteral(".log"); }

    // The calls the driver logged for an alias, those starting with `prefix`.
    QStringList calls(const QString &alias, const QString &prefix = {}) const
    {
        QFile file(logPath(alias));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.startsWith(prefix))
                lines.append(line);
        }
        return lines;
    }

    // Executions (direct or prepared) of statements holding `text`.
    QStringList executions(const QString &alias, const QString &text) const
    {
        QStringList found;
        for (const QString &line : calls(alias, QStringLiteral("exec"))) {
            if (line.contains(QStringLiteral(" text=")) && line.mid(line.indexOf(QStringLiteral(" text="))).contains(text))
                found.append(line);
        }
        return found;
    }
};

class FakeVendor : public ::testing::TestWithParam<VendorShape> {
protected:
    QString vendor() const { return QString::fromLatin1(GetParam().vendor); }
    const VendorShape &shape() const { return GetParam(); }
    FakeDriverSite site;
};

std::string shapeName(const ::testing::TestParamInfo<VendorShape> &info)
{
    return info.param.vendor;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Vendors, FakeVendor, ::testing::ValuesIn(kShapes), shapeName);

TEST_P(FakeVendor, ErrorsKeepEveryRecordAndExpectedOnesPass)
{
    site.script(QStringLiteral("BASE"), shape(),
                "rule CREATE TABLE T \n" + shape().objectExists + "rule CREATE X\n" + shape().syntaxError +
                    "rule SELECT ID\n  columns ID:int,NOME:text\n  row 7|sete\n  row \\N|\\N\n");
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("BASE"), vendor()))) << site.logText().toStdString();
    EXPECT_EQ(conn.transportName(), QStringLiteral("ODBC"));

    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("CREATE TABLE T (ID INTEGER)"), true));
    EXPECT_EQ(site.logCount(QStringLiteral("[VALIDADO PELO INSTALADOR]: \"CREATE TABLE T (ID INTEGER)\r\n\". Mensagem: ")), 1)
        << site.logText().toStdString();

    // An error that is not expected: both records are in the text, with their numbers.
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("CREATE X"), true));
    const QString failure = site.log().last();
    EXPECT_TRUE(failure.contains(QStringLiteral("Erro durante a execução da query \"CREATE X\r\n\". Mensagem: "))) << failure.toStdString();
    const QList<QByteArray> records = shape().syntaxError.split('\n');
    for (const QByteArray &record : records) {
        if (record.isEmpty())
            continue;
        const QList<QByteArray> words = record.split(' ');
        const QString native = QString::number(qAbs(words.at(2).toInt()));
        EXPECT_TRUE(failure.contains(native)) << native.toStdString() << " in " << failure.toStdString();
        const QString message = QString::fromUtf8(record.mid(record.indexOf('[')));
        EXPECT_TRUE(failure.contains(message.left(40))) << failure.toStdString();
    }

    QString error;
    const std::optional<ResultTable> rows = conn.query(QStringLiteral("SELECT ID, NOME FROM T"), &error);
    ASSERT_TRUE(rows.has_value()) << error.toStdString();
    ASSERT_EQ(rows->count(), 2);
    EXPECT_EQ(rows->integer(0, QStringLiteral("ID")), 7);
    EXPECT_EQ(rows->text(0, QStringLiteral("NOME")), QStringLiteral("sete"));
    EXPECT_TRUE(rows->isNull(1, QStringLiteral("NOME")));
    EXPECT_EQ(rows->integer(1, QStringLiteral("ID")), 0);
    // Qt's driver asked nothing the fake driver does not answer.
    EXPECT_TRUE(site.calls(QStringLiteral("BASE"), QStringLiteral("getinfo-unknown")).isEmpty());
    EXPECT_TRUE(site.calls(QStringLiteral("BASE"), QStringLiteral("getdata-unknown")).isEmpty());
}

TEST_P(FakeVendor, StatementsAndQueriesRunForwardOnly)
{
    // A driver that refuses any cursor but forward-only, as some vendors' drivers are configured.
    site.script(QStringLiteral("BASE"), shape(), "refuse-static\nrule SELECT N\n  columns N:int\n  row 1\n");
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("BASE"), vendor())));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("CREATE TABLE A (N INTEGER)"), true)) << site.logText().toStdString();
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("SELECT 1 FROM A"), false));
    EXPECT_TRUE(RunQuery(conn, QStringLiteral("SELECT N FROM A"), QStringLiteral("falhou: ")).has_value()) << site.logText().toStdString();
    EXPECT_TRUE(ExecSQLParam(conn, QStringLiteral("UPDATE A SET T = :TEXTO"), true, QStringLiteral("x"), QStringLiteral("TEXTO")))
        << site.logText().toStdString();
    const QStringList runs = site.calls(QStringLiteral("BASE"), QStringLiteral("exec"));
    ASSERT_EQ(runs.size(), 4) << runs.join('\n').toStdString();
    for (const QString &run : runs) {
        EXPECT_TRUE(run.startsWith(QStringLiteral("exec cursor=forward-only")) || run.startsWith(QStringLiteral("execute cursor=forward-only")))
            << run.toStdString();
        // Each statement is committed by the driver as it runs: the statement log and a rerun
        // rely on it.
        EXPECT_TRUE(run.contains(QStringLiteral(" autocommit=on "))) << run.toStdString();
    }
    // Only Qt's own "SET QUOTED_IDENTIFIER ON" after connecting to SQL Server asks for more.
    EXPECT_EQ(site.calls(QStringLiteral("BASE"), QStringLiteral("stmtattr cursor=static")).size(),
              vendor() == QStringLiteral("MSSQL") ? 1 : 0);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro")), 0) << site.logText().toStdString();
}

TEST_P(FakeVendor, LongTextsAreBoundAsTheVendorsColumnsNeed)
{
    // A national (W) long type, which Qt would bind, is refused as the vendor refuses it for a
    // CLOB of a non-Unicode database or a VARCHAR2 column.
    site.script(QStringLiteral("BASE"), shape(),
                "rule INSERT INTO CATALOGO\n  paramtype -10\n  error 42821 -408 national long text refused\n");
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("BASE"), vendor())));
    const QString insert = QStringLiteral("INSERT INTO CATALOGO (ID, TEXTO) VALUES (1, :TEXTO_CONSULTA)");
    const QString name = QStringLiteral("TEXTO_CONSULTA");
    const QString shortText = QString(200, QLatin1Char('a'));
    const QString accented = QString(3000, QChar(0xE7));        // "ç": 3000 characters, 6000 bytes in UTF-8
    const QString mid = QString(3900, QLatin1Char('m'));         // fits a VARCHAR2(4000)
    const QString big = QString(40000, QLatin1Char('b'));        // beyond every VARCHAR
    for (const QString &text : {shortText, mid, accented, big})
        EXPECT_TRUE(ExecSQLParam(conn, insert, true, text, name)) << site.logText().toStdString();

    const QStringList runs = site.executions(QStringLiteral("BASE"), QStringLiteral("INSERT INTO CATALOGO"));
    ASSERT_EQ(runs.size(), 4);
    for (const QString &run : runs) {
        EXPECT_TRUE(run.contains(QStringLiteral("text=INSERT INTO CATALOGO (ID, TEXTO) VALUES (1, ?)"))) << run.toStdString();
        EXPECT_TRUE(run.contains(QStringLiteral("param1=ctype:-8,"))) << run.toStdString();  // wide characters
    }
    const auto binding = [](const QString &run) {
        const qsizetype from = run.indexOf(QStringLiteral("sqltype:"));
        return run.mid(from, run.indexOf(QStringLiteral(",buffer"), from) - from);
    };
    QStringList expected;
    if (vendor() == QStringLiteral("DB2"))  // VARCHAR up to 32672 bytes, then CLOB
        expected = {"sqltype:12,size:200", "sqltype:12,size:3900", "sqltype:12,size:6000", "sqltype:-99,size:40000"};
    else if (vendor() == QStringLiteral("ORACLE"))  // VARCHAR up to 4000 bytes, then the driver's long type for CLOB
        expected = {"sqltype:12,size:200", "sqltype:12,size:3900", "sqltype:-1,size:6000", "sqltype:-1,size:40000"};
    else  // VARCHAR up to 8000 bytes, then varchar(max)
        expected = {"sqltype:12,size:200", "sqltype:12,size:3900", "sqltype:12,size:6000", "sqltype:12,size:0"};
    QStringList bindings;
    for (const QString &run : runs)
        bindings << binding(run);
    EXPECT_EQ(bindings, expected);
    // The whole text reaches the driver.
    EXPECT_TRUE(runs.at(2).contains(QStringLiteral(",chars:3000 "))) << runs.at(2).toStdString();
    EXPECT_TRUE(runs.at(3).contains(QStringLiteral(",buffer:80000,indicator:80000,chars:40000 "))) << runs.at(3).toStdString();

    // The parameter's name is found in any case, not inside quotes, and a failure is reported.
    site.script(QStringLiteral("BASE"), shape(), "rule UPDATE\n" + shape().syntaxError);
    DbConnection again(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(again, 0));
    EXPECT_FALSE(ExecSQLParam(again, QStringLiteral("UPDATE C SET A = ':texto', B = :texto WHERE C = :TEXTO"), true, QStringLiteral("v"),
                              QStringLiteral("TEXTO")));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a execução da query \"UPDATE C SET A = ':texto', B = :texto WHERE C = :TEXTO\". Mensagem: ")),
              1);
    EXPECT_EQ(site.executions(QStringLiteral("BASE"), QStringLiteral("UPDATE C SET A = ':texto', B = ? WHERE C = ?")).size(), 1);
}

TEST_P(FakeVendor, FailedLoginIsLoggedWithoutThePasswordAndStatementsKeepTheirText)
{
    // The password is a common word; the driver echoes it in its login message.
    site.script(QStringLiteral("BASE"), shape(), "login tivra 2024\n" + shape().loginFailure + "rule VALUES\n" + shape().syntaxError);
    const int wrong = site.addEntry(QStringLiteral("BASE"), vendor(), QStringLiteral("tivra"), QStringLiteral("x2024"));
    DbConnection conn(site.session);
    EXPECT_FALSE(ConnectCurrentEntry(conn, wrong));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a autenticação do banco \"BASE\". Mensagem: ")), 1) << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QString::fromUtf8(shape().loginFailure.mid(shape().loginFailure.indexOf('[')).left(30))), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("x2024")), 0) << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("'****'")), 1) << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("Conexão ODBC tentada para o banco \"BASE\": driver \"(da ConnectionString)\"")), 1)
        << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("UID=tivra;PWD=****;")), 1);

    // Connected with "2024": a statement that holds the same word is logged as written.
    const int right = site.addEntry(QStringLiteral("BASE"), vendor(), QStringLiteral("tivra"), QStringLiteral("2024"));
    ASSERT_TRUE(ConnectCurrentEntry(conn, right)) << site.logText().toStdString();
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("INSERT INTO T (ANO) VALUES (2024)"), true));
    EXPECT_EQ(site.logCount(QStringLiteral("\"INSERT INTO T (ANO) VALUES (2024)\r\n\"")), 1) << site.logText().toStdString();
    // A statement that sets a password is logged without it.
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("ALTER USER APP IDENTIFIED BY \"Nova#Senha\" VALUES"), true));
    EXPECT_EQ(site.logCount(QStringLiteral("ALTER USER APP IDENTIFIED BY ****")), 1) << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("Nova#Senha")), 0);

    // A server that does not answer: the vendor's number is in the message, and what was tried.
    site.script(QStringLiteral("LONGE"), shape(), shape().unreachable);
    DbConnection far(site.session);
    EXPECT_FALSE(ConnectCurrentEntry(far, site.addEntry(QStringLiteral("LONGE"), vendor())));
    const QStringList log = site.log().mid(site.log().size() - 2);
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log.at(0).contains(QStringLiteral("Erro durante a autenticação do banco \"LONGE\". Mensagem: "))) << log.at(0).toStdString();
    EXPECT_TRUE(log.at(0).contains(QLatin1String(shape().unreachableNumber))) << log.at(0).toStdString();
    EXPECT_TRUE(ErroPrevisto(driverNameOf(vendorFromName(vendor())), log.at(0)) == false);
    EXPECT_TRUE(log.at(1).contains(QStringLiteral("Conexão ODBC tentada para o banco \"LONGE\""))) << log.at(1).toStdString();
    EXPECT_FALSE(far.isOpen());
}

TEST_P(FakeVendor, LostConnectionStopsThatDatabaseOnlyAndARerunResumes)
{
    const QByteArray versions = "rule SELECT TOP 1 STATUS\n  columns STATUS:int,VERSAO_PACK:text\n"
                                "rule SELECT V.STATUS, V.VERSAO_PACK\n  columns STATUS:int,VERSAO_PACK:text\n"
                                "rule SELECT * FROM VS_PACK_BANCO WHERE\n  columns ID:int,VERSAO_PACK:text,STATUS:int\n";
    const QByteArray log = "rule SELECT NUM_INSTRUCAO_SQL FROM INST_BANCO_PACK\n  columns NUM_INSTRUCAO_SQL:int\n";
    site.script(QStringLiteral("QUEDA"), shape(), versions + log + "rule INSERT INTO T3\n" + shape().linkFailure);
    site.script(QStringLiteral("OUTRO"), shape(), versions + log);
    const int lost = site.addEntry(QStringLiteral("QUEDA"), vendor());
    const int other = site.addEntry(QStringLiteral("OUTRO"), vendor());
    site.writeScript(scriptFileName(vendor()), "CREATE TABLE T1 (ID INTEGER);\r\nINSERT INTO T2 VALUES (1);\r\nINSERT INTO T3 VALUES (1);\r\n"
                                               "INSERT INTO T4 VALUES (1);\r\nINSERT INTO T5 VALUES (1);\r\n");
    EXPECT_TRUE(AtualizaScripts(site.session));
    EXPECT_EQ(site.rows(kStageScripts),
              QStringList({"1|Executando 5 instruções no banco \"QUEDA\"...",
                           "2|     Conexão com o banco \"QUEDA\" perdida durante os scripts: 2 instruções executadas, 3 instruções "
                           "restantes não executadas. Execute a atualização novamente para continuar.",
                           "1|Executando 5 instruções no banco \"OUTRO\"...", "1|     Todos os scripts foram executados com sucesso!"}));
    // The statement that met the lost session is logged once; nothing after it was sent.
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a execução da query \"INSERT INTO T3 VALUES (1)\r\n\"")), 1);
    EXPECT_TRUE(site.executions(QStringLiteral("QUEDA"), QStringLiteral("INSERT INTO T4")).isEmpty());
    EXPECT_EQ(site.calls(QStringLiteral("QUEDA"), QStringLiteral("refused")).size(), 0);
    EXPECT_EQ(site.executions(QStringLiteral("OUTRO"), QStringLiteral("INSERT INTO T5")).size(), 1);
    // Nothing exported: no statement failed of its own; the version is partial.
    EXPECT_FALSE(QDir(site.session.pathLog + QStringLiteral("/ScriptsComErro")).exists());
    EXPECT_EQ(site.executions(QStringLiteral("QUEDA"), QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES ((SELECT COALESCE(MAX(ID),0)+1 "
                                                                      "FROM VS_PACK_BANCO), '1.0.000', 1,"))
                  .size(),
              1);
    EXPECT_EQ(site.session.logbook.filter(QStringLiteral("INSERT INTO T")).size(), 1 + 4);

    // The server is back; the statement log lists what the package's statements recorded.
    QFile::remove(site.logPath(QStringLiteral("QUEDA")));
    site.session.cdsDbs.setValue(other, QStringLiteral("IMAGE"), int(ImageError));
    site.session.status.clearRows();
    site.script(QStringLiteral("QUEDA"), shape(),
                "rule SELECT TOP 1 STATUS\n  columns STATUS:int,VERSAO_PACK:text\n  row 1|1.0.000\n"
                "rule SELECT V.STATUS, V.VERSAO_PACK\n  columns STATUS:int,VERSAO_PACK:text\n  row 1|1.0.000\n"
                "rule SELECT * FROM VS_PACK_BANCO WHERE\n  columns ID:int,VERSAO_PACK:text,STATUS:int\n  row 1|1.0.000|1\n" +
                    log + "  row 0\n  row 1\n");
    EXPECT_TRUE(AtualizaScripts(site.session));
    EXPECT_EQ(site.rows(kStageScripts),
              QStringList({"1|Executando 5 instruções no banco \"QUEDA\"...", "1|     Todos os scripts foram executados com sucesso!"}));
    QStringList run;
    for (const QString &line : site.calls(QStringLiteral("QUEDA"), QStringLiteral("exec"))) {
        if (line.contains(QStringLiteral("text=CREATE TABLE T1")) || line.contains(QStringLiteral("text=INSERT INTO T")))
            run << line.mid(line.indexOf(QStringLiteral("text=")) + 5, 14);
    }
    EXPECT_EQ(run, QStringList({"INSERT INTO T3", "INSERT INTO T4", "INSERT INTO T5"}));
    EXPECT_EQ(site.executions(QStringLiteral("QUEDA"), QStringLiteral("UPDATE VS_PACK_BANCO SET STATUS = 2")).size(), 1);
    (void)lost;
}

TEST(FakeOdbcDrivers, VendorDriverChosenFromTheInstalledListWithoutDriversIni)
{
    // The names the vendors' installers give their drivers.
    const QStringList installed{"SQL Server", "Microsoft ODBC for Oracle", "Oracle in OraClient19Home1", "ODBC Driver 17 for SQL Server",
                                "IBM DB2 ODBC DRIVER - DB2COPY1", "ODBC Driver 18 for SQL Server", "SQL Server Native Client 11.0"};
    EXPECT_EQ(chooseOdbcDriver(Vendor::DB2, installed), QStringLiteral("IBM DB2 ODBC DRIVER - DB2COPY1"));
    EXPECT_EQ(chooseOdbcDriver(Vendor::DB2, QStringList{"IBM DATA SERVER DRIVER for ODBC - C:/IBM", "IBM DB2 ODBC DRIVER"}),
              QStringLiteral("IBM DB2 ODBC DRIVER"));
    EXPECT_EQ(chooseOdbcDriver(Vendor::DB2, QStringList{"IBM DATA SERVER DRIVER for ODBC - C:/IBM"}),
              QStringLiteral("IBM DATA SERVER DRIVER for ODBC - C:/IBM"));
    EXPECT_EQ(chooseOdbcDriver(Vendor::Oracle, installed), QStringLiteral("Oracle in OraClient19Home1"));
    EXPECT_EQ(chooseOdbcDriver(Vendor::Oracle, QStringList{"Microsoft ODBC for Oracle"}), QString());
    EXPECT_EQ(chooseOdbcDriver(Vendor::MSSQL, installed), QStringLiteral("ODBC Driver 18 for SQL Server"));
    EXPECT_EQ(chooseOdbcDriver(Vendor::MSSQL, QStringList{"SQL Server", "SQL Server Native Client 10.0", "SQL Server Native Client 11.0"}),
              QStringLiteral("SQL Server Native Client 11.0"));
    EXPECT_EQ(chooseOdbcDriver(Vendor::MSSQL, QStringList{"SQL Server"}), QStringLiteral("SQL Server"));
    EXPECT_EQ(chooseOdbcDriver(Vendor::MSSQL, QStringList{"PostgreSQL Unicode"}), QString());

    // Through the driver manager: this test's driver list names the fake driver like that.
    const QStringList listed = odbcInstalledDrivers();
    ASSERT_TRUE(listed.contains(QStringLiteral("Oracle in OraClient19Home1"))) << listed.join('|').toStdString();
    FakeDriverSite site;
    site.writeDrivers("[ORACLE]\r\nTransport=ODBC\r\n");  // nothing about the driver
    const QString script = site.site.writeFile(QStringLiteral("fake-env.txt"), "dbms Oracle\nlogin tivra secret\n" + kShapes[2].loginFailure);
    const QString log = site.site.root() + QStringLiteral("/calls-env.log");
    qputenv("TIVRA_FAKEODBC_SCRIPT", script.toUtf8());
    qputenv("TIVRA_FAKEODBC_LOG", log.toUtf8());
    {
        DbConnection conn(site.session);
        EXPECT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("PROD"), QStringLiteral("ORACLE")))) << site.logText().toStdString();
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().startsWith("connect text=DRIVER={Oracle in OraClient19Home1};DBQ=PROD;UID=tivra;PWD=secret;"));
    }
    // SQL Server's driver 18 gets a template that accepts the server's own certificate; a refused
    // login says which driver and connection string were tried.
    QFile::remove(log);
    site.writeDrivers("");
    DbConnection conn(site.session);
    EXPECT_FALSE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("VENDAS"), QStringLiteral("MSSQL"), QStringLiteral("sa"),
                                                         QStringLiteral("errada"))));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("DRIVER={ODBC Driver 18 for SQL Server};SERVER=;DATABASE=VENDAS;UID=sa;PWD=errada;"
                                        "TrustServerCertificate=yes;"));
    EXPECT_EQ(site.logCount(QStringLiteral("Conexão ODBC tentada para o banco \"VENDAS\": driver \"ODBC Driver 18 for SQL Server\" "
                                           "(escolhido da lista de drivers ODBC instalados), cadeia de conexão \"DRIVER={ODBC Driver 18 "
                                           "for SQL Server};SERVER=;DATABASE=VENDAS;UID=sa;PWD=****;TrustServerCertificate=yes;\", "
                                           "estado ODBC não informado pelo driver, código nativo 18456")),
              1)
        << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("errada")), 0);
    qunsetenv("TIVRA_FAKEODBC_SCRIPT");
    qunsetenv("TIVRA_FAKEODBC_LOG");

    // A driver the manager does not know: its state is told.
    site.writeDrivers("[DB2]\r\nOdbcDriver=Driver Que Nao Existe\r\n");
    EXPECT_FALSE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("HML"), QStringLiteral("DB2"))));
    EXPECT_EQ(site.logCount(QStringLiteral("driver \"Driver Que Nao Existe\" (informado em Drivers.ini), cadeia de conexão "
                                           "\"DRIVER={Driver Que Nao Existe};DATABASE=HML;UID=tivra;PWD=****;\", estado ODBC 01000")),
              1)
        << site.logText().toStdString();
}

TEST(FakeOdbcDrivers, PasswordsMaskedOnlyWhereTheyCanStand)
{
    EXPECT_EQ(maskPassword(QStringLiteral("Login failed for user 'sa' with password '2024'. Data 2024-01-01, code 20245"), QStringLiteral("2024")),
              QStringLiteral("Login failed for user 'sa' with password '****'. Data ****-01-01, code 20245"));
    EXPECT_EQ(maskPassword(QStringLiteral("DRIVER={x};Pwd = {a;b}}c};UID=u;PASSWORD=zz"), QStringLiteral("zz")),
              QStringLiteral("DRIVER={x};Pwd=****;UID=u;PASSWORD=****"));
    EXPECT_EQ(maskPassword(QStringLiteral("#pw# and a#pw#b"), QStringLiteral("#pw#")), QStringLiteral("**** and a****b"));
    EXPECT_EQ(maskStatementPasswords(QStringLiteral("INSERT INTO T VALUES ('2024'); CONNECT TO DB USER u USING s3nha; "
                                                    "CREATE LOGIN x WITH PASSWORD = 'a''b', CHECK_POLICY = OFF; "
                                                    "ALTER USER y IDENTIFIED BY p1 ACCOUNT UNLOCK; CREATE INDEX I ON T (A) USING INDEX")),
              QStringLiteral("INSERT INTO T VALUES ('2024'); CONNECT TO DB USER u USING ****; "
                             "CREATE LOGIN x WITH PASSWORD = ****, CHECK_POLICY = OFF; "
                             "ALTER USER y IDENTIFIED BY **** ACCOUNT UNLOCK; CREATE INDEX I ON T (A) USING INDEX"));
    int markers = 0;
    EXPECT_EQ(positionalStatement(QStringLiteral("VALUES (:P, ':P', \":P\", :PX, :p)"), QStringLiteral(":P"), &markers),
              QStringLiteral("VALUES (?, ':P', \":P\", :PX, ?)"));
    EXPECT_EQ(markers, 2);
}

TEST(FakeOdbcDrivers, SqlServerPairedRecordsMatchTheExpectedList)
{
    FakeDriverSite site;
    const VendorShape &mssql = kShapes[2];
    site.script(QStringLiteral("BASE"), mssql,
                "rule DROP CONSTRAINT PK_X\n"
                "  error 42000 3728 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]'PK_X' is not a constraint.\n"
                "  error 42000 3727 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Could not drop constraint. See previous errors.\n"
                "rule ADD CONSTRAINT PK_T\n"
                "  error 42000 1779 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Table 'T' already has a primary key defined on it.\n"
                "  error 42000 1750 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Could not create constraint or index. See previous errors.\n"
                "rule ADD CONSTRAINT UQ_T\n"
                "  error 42S01 2714 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]There is already an object named 'UQ_T' in the database.\n"
                "  error 42000 1750 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Could not create constraint or index. See previous errors.\n"
                "rule ADD CONSTRAINT FK_T\n"
                "  error 42000 1769 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Foreign key 'FK_T' references invalid column.\n"
                "  error 42000 1750 [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]Could not create constraint or index. See previous errors.\n");
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("BASE"), QStringLiteral("MSSQL"))));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("ALTER TABLE T DROP CONSTRAINT PK_X"), true));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("ALTER TABLE T ADD CONSTRAINT PK_T PRIMARY KEY (ID)"), true));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("ALTER TABLE T ADD CONSTRAINT UQ_T UNIQUE (A)"), true));
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("ALTER TABLE T ADD CONSTRAINT FK_T FOREIGN KEY (B) REFERENCES U (Z)"), true));
    const QStringList log = site.log();
    ASSERT_EQ(log.size(), 4);
    EXPECT_TRUE(log.at(0).contains(QStringLiteral("[VALIDADO PELO INSTALADOR]: \"ALTER TABLE T DROP CONSTRAINT PK_X\r\n\". Mensagem: "
                                                  "Err 3728: [Microsoft][ODBC Driver 17 for SQL Server][SQL Server]'PK_X' is not a "
                                                  "constraint. (SQLSTATE 42000) Err 3727: [Microsoft]")))
        << log.at(0).toStdString();
    EXPECT_TRUE(log.at(1).contains(QStringLiteral("Err 1779: ")) && log.at(1).contains(QStringLiteral("Err 1750: ")));
    EXPECT_TRUE(log.at(2).contains(QStringLiteral("Err 2714: ")) && log.at(2).contains(QStringLiteral("Err 1750: ")));
    EXPECT_TRUE(log.at(3).contains(QStringLiteral("Erro durante a execução da query \"ALTER TABLE T ADD CONSTRAINT FK_T")));
    EXPECT_TRUE(log.at(3).contains(QStringLiteral("Err 1769: ")) && log.at(3).contains(QStringLiteral("Err 1750: ")));
}
