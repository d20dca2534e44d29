// The ODBC transport against a real ODBC stack: unixODBC with Debian's SQLite ODBC driver,
// configured through Drivers.ini like a vendor's driver.
#include "db/sqlrunner.h"
#include "dbtest.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

namespace {

const QString kDriver = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so");

class Odbc : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(kDriver))
            GTEST_SKIP() << "SQLite ODBC driver not installed";
        site.writeDrivers(QByteArray("[ORACLE]\r\nTransport=ODBC\r\nConnectionString=DRIVER=" + kDriver.toUtf8() + ";Database=" +
                                     site.folder().toUtf8() + "/{ALIAS}.db;\r\n"
                                     "[DB2]\r\nOdbcDriver=Driver Que Nao Existe\r\n"
                                     "[MSSQL]\r\nConnectionString=DRIVER=" + kDriver.toUtf8() + ";Database=/nao/existe/{ALIAS}.db;\r\n"));
    }
    DbSite site;
};

}  // namespace

TEST_F(Odbc, OpensExecutesAndReadsNullsAndLongTexts)
{
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("ODBC1"), QStringLiteral("ORACLE"))))
        << site.logText().toStdString();
    EXPECT_EQ(conn.transportName(), QStringLiteral("ODBC"));
    EXPECT_EQ(conn.driverName(), QStringLiteral("ORACLE"));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("CREATE TABLE T (ID INTEGER PRIMARY KEY, NOME VARCHAR(20), TEXTO TEXT, QTD INTEGER)"), true));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("INSERT INTO T (ID, NOME) VALUES (1, NULL)"), true));
    const QString text(300 * 1024, QLatin1Char('z'));
    EXPECT_TRUE(ExecSQLParam(conn, QStringLiteral("INSERT INTO T (ID, TEXTO) VALUES (2, :TEXTO_CONSULTA)"), true, text,
                             QStringLiteral("TEXTO_CONSULTA")))
        << site.logText().toStdString();
    QString error;
    const std::optional<ResultTable> rows = conn.query(QStringLiteral("SELECT ID, NOME, TEXTO, QTD FROM T ORDER BY ID"), &error);
    ASSERT_TRUE(rows.has_value()) << error.toStdString();
    ASSERT_EQ(rows->count(), 2);
    EXPECT_EQ(rows->columns(), (QStringList{QStringLiteral("ID"), QStringLiteral("NOME"), QStringLiteral("TEXTO"), QStringLiteral("QTD")}));
    EXPECT_EQ(rows->text(0, QStringLiteral("NOME")), QString());
    EXPECT_EQ(rows->integer(0, QStringLiteral("QTD")), 0);
    EXPECT_EQ(rows->text(1, QStringLiteral("TEXTO")), text);
    EXPECT_EQ(rows->integer(1, QStringLiteral("ID")), 2);
}

TEST_F(Odbc, FailingStatementTextIsComposedWithTheVendorMarker)
{
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("ODBC2"), QStringLiteral("ORACLE"))));
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("INSERT INTO NAO_EXISTE VALUES (1)"), true));
    const QString log = site.logText();
    EXPECT_TRUE(log.contains(QStringLiteral("Erro durante a execução da query \"INSERT INTO NAO_EXISTE VALUES (1)\r\n\". Mensagem: ORA-")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("no such table"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("SQLSTATE"))) << log.toStdString();
    QString error;
    EXPECT_FALSE(conn.query(QStringLiteral("SELECT * FROM NAO_EXISTE"), &error).has_value());
    EXPECT_TRUE(error.startsWith(QStringLiteral("ORA-"))) << error.toStdString();
}

TEST_F(Odbc, MissingDriverAndUnopenableDatabaseFailToAuthenticate)
{
    DbConnection conn(site.session);
    EXPECT_FALSE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("X"), QStringLiteral("DB2"), QStringLiteral("u"), QStringLiteral("pw-odbc-1"))));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a autenticação do banco \"X\". Mensagem: ")), 1);
    EXPECT_TRUE(site.logText().contains(QStringLiteral("Driver Manager"))) << site.logText().toStdString();
    EXPECT_FALSE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("Y"), QStringLiteral("MSSQL"), QStringLiteral("u"), QStringLiteral("pw-odbc-2"))));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a autenticação do banco \"Y\". Mensagem: ")), 1) << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("pw-odbc")), 0);
    EXPECT_FALSE(conn.isOpen());
}
