// The statement runner's rules that hold whatever the transport: expected-error
// classification, vendor fragments, statement splitting and its log texts, configuration
// failures, the driver settings file and connection strings.
#include "db/driversettings.h"
#include "db/odbc/odbctransport.h"
#include "db/sqlrunner.h"
#include "dbtest.h"

#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

TEST(ErroPrevisto, MarkerAndCodeBothRequired)
{
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("DB2"), QStringLiteral("[IBM][CLI Driver][DB2/NT] SQL0601N  The name ... SQLSTATE=42710")));
    EXPECT_FALSE(ErroPrevisto(QStringLiteral("DB2"), QStringLiteral("SQL0601N without the product name")));
    EXPECT_FALSE(ErroPrevisto(QStringLiteral("DB2"), QStringLiteral("error 601")));
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("ORACLE"), QStringLiteral("ORA-00955: name is already used by an existing object")));
    EXPECT_FALSE(ErroPrevisto(QStringLiteral("DB2"), QStringLiteral("ORA-00955: name is already used by an existing object")));
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("DevartSQLServer"), QStringLiteral("Err 2714: There is already an object named 'X'")));
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("mssql"), QStringLiteral("Err 3728: 'X' is not a constraint.")));
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("oracle"), QStringLiteral("ORA-19550: a longer number")));  // code inside a longer number
    EXPECT_FALSE(ErroPrevisto(QStringLiteral("SQLite"), QStringLiteral("ORA-00955 DB2 SQL0601N Err 2714")));
    EXPECT_FALSE(ErroPrevisto(QStringLiteral("ORACLE"), QStringLiteral("ORA-00001: unique constraint (X.PK) violated")));
    // Texts without the vendor's error number are searched whole.
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("DB2"), QStringLiteral("DB2 error 601")));
}

TEST(ErroPrevisto, CodesAreLookedForInTheErrorNumberNotInStatesOrNames)
{
    // DB2's syntax error carries SQLSTATE=42601: it is not an "object exists".
    EXPECT_FALSE(ErroPrevisto(QStringLiteral("DB2"), QStringLiteral("[IBM][CLI Driver][DB2/LINUXX8664] SQL0104N  An unexpected token "
                                                                     "\"X\" was found.  SQLSTATE=42601")));
    EXPECT_FALSE(ErroPrevisto(QStringLiteral("ORACLE"), QStringLiteral("ORA-00942: table or view \"T955\" does not exist")));
    EXPECT_FALSE(ErroPrevisto(QStringLiteral("MSSQL"), QStringLiteral("Err 208: Invalid object name 'T2714'.")));
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("DB2"), QStringLiteral("[DB2] SQL0605W  The index was not created")));
}

TEST(VendorFragments, DateTimeExpressionsAndIntegers)
{
    EXPECT_EQ(CurrentDateTimeExpr(QStringLiteral("oracle"), QStringLiteral("D")), QStringLiteral("SYSDATE"));
    EXPECT_EQ(CurrentDateTimeExpr(QStringLiteral("ORACLE"), QStringLiteral("T")), QStringLiteral("SYSDATE"));
    EXPECT_EQ(CurrentDateTimeExpr(QStringLiteral("db2"), QStringLiteral("D")), QStringLiteral("CURRENT DATE"));
    EXPECT_EQ(CurrentDateTimeExpr(QStringLiteral("DB2"), QStringLiteral("T")), QStringLiteral("CURRENT TIME"));
    EXPECT_EQ(CurrentDateTimeExpr(QStringLiteral("DB2"), QStringLiteral("d")), QString());
    EXPECT_EQ(CurrentDateTimeExpr(QStringLiteral("DevartSQLServer"), QStringLiteral("T")), QStringLiteral("GETDATE()"));
    EXPECT_EQ(CurrentDateTimeExpr(QStringLiteral("MSSQL"), QStringLiteral("D")), QStringLiteral("GETDATE()"));
    EXPECT_EQ(CurrentDateTimeExpr(QStringLiteral("SQLITE"), QStringLiteral("D")), QString());
    EXPECT_EQ(SQLIntOrNull(0), QStringLiteral("NULL"));
    EXPECT_EQ(SQLIntOrNull(-5), QStringLiteral("-5"));
    EXPECT_EQ(SQLIntOrNull(123456789012), QStringLiteral("123456789012"));
}

TEST(StatementRunner, TrimsAndSplitsLinesAndLogsTheStatementWithCrLf)
{
    DbSite site;
    site.createDb(QStringLiteral("DB1"));
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("DB1"), QStringLiteral("ORACLE"))));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("\r\n\t CREATE TABLE T (\r\n  ID INTEGER\n)\t \r\n"), true));
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("INSERT INTO T\rVALUES (1, 2)"), true));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a execução da query \"INSERT INTO T\r\nVALUES (1, 2)\r\n\". Mensagem: ORA-00913")), 1)
        << site.logText().toStdString();
    EXPECT_TRUE(ExecSQLConn(conn, {QStringLiteral("CREATE TABLE T"), QStringLiteral("(ID INTEGER)")}, true));
    EXPECT_EQ(site.logCount(QStringLiteral("[VALIDADO PELO INSTALADOR]: \"CREATE TABLE T\r\n(ID INTEGER)\r\n\". Mensagem: ORA-00955")), 1);
    EXPECT_FALSE(ExecSQLText(conn, QString(), false));  // Oracle refuses an empty statement
    // The entry's password never reaches the log, even inside a statement.
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("ALTER USER TIVRA IDENTIFIED BY secret"), true));
    EXPECT_EQ(site.logCount(QStringLiteral("ALTER USER TIVRA IDENTIFIED BY ****")), 1) << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("secret")), 0);
}

TEST(StatementRunner, VendorOutsideTheTableNeverConnects)
{
    DbSite site;
    site.createDb(QStringLiteral("DB1"));
    DbConnection conn(site.session);
    for (const char *vendor : {"Oracle", "", "oracle", "SQLITE"}) {
        EXPECT_FALSE(ConfigConnection(conn, QLatin1String(vendor), QStringLiteral("DB1"), QStringLiteral("u"), QStringLiteral("pw1234"), {}));
        EXPECT_TRUE(conn.driverName().isEmpty());
        EXPECT_TRUE(conn.params().isEmpty());
    }
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a autenticação do banco \"DB1\". Mensagem: ")), 4);
    EXPECT_EQ(site.logCount(QStringLiteral("pw1234")), 0);
    EXPECT_FALSE(conn.execute(QStringLiteral("SELECT 1")));
}

TEST(StatementRunner, ParametersFollowTheVendorsConfiguration)
{
    DbSite site;
    site.createDb(QStringLiteral("DB1"));
    DbConnection conn(site.session);
    ASSERT_TRUE(ConfigConnection(conn, QStringLiteral("MSSQL"), QStringLiteral("DB1"), QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("srv")));
    EXPECT_EQ(conn.params(), (QStringList{QStringLiteral("DriverName=MSSQL"), QStringLiteral("DataBase=DB1"), QStringLiteral("User_Name=u"),
                                          QStringLiteral("Password=p"), QStringLiteral("BlobSize=-1"), QStringLiteral("HostName=srv")}));
    ASSERT_TRUE(ConfigConnection(conn, QStringLiteral("ORACLE"), QStringLiteral("DB1"), QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("srv")));
    EXPECT_EQ(conn.params().last(), QStringLiteral("EnableBCD=False"));
    EXPECT_EQ(conn.driverName(), QStringLiteral("ORACLE"));
}

TEST(DriverSettings, DefaultsSectionsAndRelativeFolders)
{
    DbSite site;
    site.writeDrivers("[ORACLE]\r\nOdbcDriver=Oracle in OraClient19Home1\r\n[DB2]\r\nTransport=Embedded\r\nFolder=Bancos\\DB2\r\n"
                      "[MSSQL]\r\nTransport=Embedded\r\n");
    const QString dir = site.session.installerDirectory;
    const DriverSetting oracle = readDriverSetting(dir, Vendor::Oracle);
    EXPECT_EQ(oracle.transport, DriverSetting::Transport::Odbc);
    EXPECT_EQ(oracle.odbcDriver, QStringLiteral("Oracle in OraClient19Home1"));
    const DriverSetting db2 = readDriverSetting(dir, Vendor::DB2);
    EXPECT_EQ(db2.transport, DriverSetting::Transport::Embedded);
    EXPECT_EQ(db2.folder, QDir::cleanPath(dir + QStringLiteral("Bancos/DB2")));
    EXPECT_FALSE(readDriverSetting(dir, Vendor::MSSQL).problem.isEmpty());  // embedded without a folder
    const DriverSetting none = readDriverSetting(site.site.root() + QStringLiteral("/nowhere/"), Vendor::MSSQL);
    EXPECT_EQ(none.transport, DriverSetting::Transport::Odbc);
    EXPECT_EQ(none.odbcDriver, QStringLiteral("ODBC Driver 18 for SQL Server"));
    EXPECT_EQ(defaultConnectionTemplate(Vendor::MSSQL, none.odbcDriver),
              QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server};SERVER={HOST};DATABASE={ALIAS};UID={USER};PWD={PASSWORD};"
                             "TrustServerCertificate=yes;"));
    EXPECT_EQ(defaultConnectionTemplate(Vendor::MSSQL, QStringLiteral("ODBC Driver 17 for SQL Server")),
              QStringLiteral("DRIVER={ODBC Driver 17 for SQL Server};SERVER={HOST};DATABASE={ALIAS};UID={USER};PWD={PASSWORD};"));
}

TEST(DriverSettings, ConnectionTemplateValuesCannotAddAttributes)
{
    EXPECT_EQ(fillConnectionTemplate(QStringLiteral("DSN={ALIAS};UID={user};PWD={PASSWORD};HOST={HOST}"), QStringLiteral("PROD"),
                                     QStringLiteral("tivra"), QStringLiteral("a;DRIVER=x}"), QStringLiteral("srv")),
              QStringLiteral("DSN=PROD;UID=tivra;PWD={a;DRIVER=x}}};HOST=srv"));
    EXPECT_EQ(fillConnectionTemplate(QStringLiteral("UID={USER}"), {}, QStringLiteral("{PASSWORD}"), QStringLiteral("x"), {}),
              QStringLiteral("UID={{PASSWORD}}}"));
    EXPECT_EQ(maskPassword(QStringLiteral("failed: DRIVER={x};PWD={se;cret};UID=u"), QStringLiteral("se;cret")),
              QStringLiteral("failed: DRIVER={x};PWD=****;UID=u"));
    EXPECT_EQ(maskPassword(QStringLiteral("user tivra with password s3cr3t"), QStringLiteral("s3cr3t")),
              QStringLiteral("user tivra with password ****"));
}

TEST(OdbcErrors, ComposedFromTheDiagnosticWhenTheTextLacksTheVendorNumber)
{
    EXPECT_EQ(composeVendorError(Vendor::Oracle, QStringLiteral("42S01"), 955, QStringLiteral("[Oracle][ODBC][Ora]ORA-00955: name is used")),
              QStringLiteral("[Oracle][ODBC][Ora]ORA-00955: name is used"));
    EXPECT_EQ(composeVendorError(Vendor::Oracle, QStringLiteral("42S01"), 955, QStringLiteral("name is used")),
              QStringLiteral("ORA-00955: name is used (SQLSTATE 42S01)"));
    const QString db2 = composeVendorError(Vendor::DB2, QStringLiteral("42710"), -601, QStringLiteral("The name of the object is identical"));
    EXPECT_EQ(db2, QStringLiteral("[DB2] SQL0601N  The name of the object is identical  SQLSTATE=42710"));
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("DB2"), db2));
    const QString mssql = composeVendorError(Vendor::MSSQL, QStringLiteral("42S01"), 2714,
                                             QStringLiteral("[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]There is already an object named 'T'"));
    EXPECT_TRUE(mssql.startsWith(QStringLiteral("Err 2714: [Microsoft]")));
    EXPECT_TRUE(ErroPrevisto(QStringLiteral("DevartSQLServer"), mssql));
    EXPECT_EQ(composeVendorError(Vendor::MSSQL, {}, 0, QStringLiteral("[unixODBC][Driver Manager]Can't open lib")),
              QStringLiteral("[unixODBC][Driver Manager]Can't open lib"));
}
