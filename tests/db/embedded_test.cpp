// The embedded transport, per vendor: every statement text the installer emits runs, the
// vendors' expected errors come back with the codes the statement runner classifies, and the
// dialect pieces (row limiting, sequences, dates, tablespaces, catalog views) behave as the
// vendors' do.
#include "db/sqlrunner.h"
#include "dbtest.h"

#include <QDate>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

namespace {

class Embedded : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        site.createDb(QStringLiteral("DB1"), {}, {}, {QStringLiteral("USERS"), QStringLiteral("TS_DADOS"), QStringLiteral("TS_INDICES")});
        row = site.addEntry(QStringLiteral("DB1"), vendor());
        ASSERT_TRUE(ConnectCurrentEntry(conn, row)) << site.logText().toStdString();
    }
    QString vendor() const { return QString::fromLatin1(GetParam()); }
    bool is(const char *v) const { return vendor() == QLatin1String(v); }

    void run(const QString &sql) { testsupport::expectRuns(conn, sql); }
    QString fail(const QString &sql) { return testsupport::expectFails(conn, sql); }
    ResultTable query(const QString &sql)
    {
        QString error;
        std::optional<ResultTable> r = conn.query(sql, &error);
        EXPECT_TRUE(r.has_value()) << sql.toStdString() << "\n" << error.toStdString();
        return r ? *r : ResultTable();
    }

    DbSite site;
    DbConnection conn{site.session};
    int row = -1;
};

const QString kVersionTable = QStringLiteral(
    "CREATE TABLE VS_PACK_BANCO (   ID INTEGER NOT NULL PRIMARY KEY, VERSAO_PACK VARCHAR(20) NOT NULL, STATUS SMALLINT DEFAULT 0 "
    "NOT NULL, DT_ALTERACAO DATE NOT NULL ) ");

}  // namespace

TEST_P(Embedded, DriverNameFollowsTheVendorWhateverTheTransport)
{
    EXPECT_EQ(conn.transportName(), QStringLiteral("Embedded"));
    EXPECT_EQ(conn.driverName(), is("MSSQL") ? QStringLiteral("DevartSQLServer") : vendor());
    EXPECT_EQ(conn.name(), QStringLiteral("DB1"));
}

TEST_P(Embedded, VersionTableStatementsRun)
{
    const QString date = CurrentDateTimeExpr(conn.driverName(), QStringLiteral("D"));
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("SELECT 1 FROM VS_PACK_BANCO"), false));
    EXPECT_TRUE(ExecSQLText(conn, kVersionTable, false));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("SELECT 1 FROM VS_PACK_BANCO"), false));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("CREATE TABLE INST_BANCO_PACK ( ID_INST_BD_PACK INTEGER NOT NULL PRIMARY KEY, "
                                                 "VERSAO_PACK VARCHAR(20) NOT NULL, NUM_INSTRUCAO_SQL SMALLINT NOT NULL, DT_EXECUCAO DATE "
                                                 "NOT NULL, HR_EXECUCAO DATE NOT NULL )"),
                            true));
    for (const char *version : {"0.9.000", "0.10.000"}) {
        EXPECT_TRUE(ExecSQLText(conn,
                                QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES ((SELECT COALESCE(MAX(ID),0)+1 FROM VS_PACK_BANCO), '") +
                                    QLatin1String(version) + QStringLiteral("', 1, ") + date + QStringLiteral(" )"),
                                true))
            << site.logText().toStdString();
    }
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("UPDATE VS_PACK_BANCO SET STATUS = 2, DT_ALTERACAO = ") + date +
                                      QStringLiteral(" WHERE VERSAO_PACK = '0.9.000'"),
                            true));
    const ResultTable byVersion = query(QStringLiteral("SELECT * FROM VS_PACK_BANCO WHERE VERSAO_PACK = '0.9.000'"));
    ASSERT_EQ(byVersion.count(), 1);
    EXPECT_EQ(byVersion.integer(0, QStringLiteral("ID")), 1);
    EXPECT_EQ(byVersion.integer(0, QStringLiteral("STATUS")), 2);
    EXPECT_TRUE(byVersion.text(0, QStringLiteral("DT_ALTERACAO")).startsWith(QDate::currentDate().toString(Qt::ISODate)));

    // The highest version in text order: 0.9.000 sorts after 0.10.000.
    QString maxStatus;
    if (is("MSSQL")) {
        maxStatus = QStringLiteral("SELECT TOP 1 STATUS, VERSAO_PACK FROM VS_PACK_BANCO ORDER BY 2 DESC");
    } else {
        maxStatus = QStringLiteral("WITH VIEW1 AS( SELECT VERSAO_PACK, STATUS FROM VS_PACK_BANCO ORDER BY 1 DESC ), VIEW2 AS ( SELECT [RN] "
                                   "AS ID_RN, V1.VERSAO_PACK, V1.STATUS FROM VIEW1 V1 ) SELECT V.STATUS, V.VERSAO_PACK FROM VIEW2 V "
                                   "WHERE V.ID_RN = 1");
        maxStatus.replace(QStringLiteral("[RN]"), is("ORACLE") ? QStringLiteral("ROWNUM") : QStringLiteral("ROW_NUMBER() OVER()"));
    }
    const ResultTable highest = query(maxStatus);
    ASSERT_EQ(highest.count(), 1);
    EXPECT_EQ(highest.text(0, QStringLiteral("VERSAO_PACK")), QStringLiteral("0.9.000"));
    EXPECT_EQ(highest.integer(0, QStringLiteral("STATUS")), 2);

    const ResultTable complete = query(
        QStringLiteral("SELECT VERSAO_PACK FROM VS_PACK_BANCO WHERE ID = (SELECT MAX(ID) FROM VS_PACK_BANCO WHERE STATUS = 2) "));
    ASSERT_EQ(complete.count(), 1);
    EXPECT_EQ(complete.text(0, QStringLiteral("VERSAO_PACK")), QStringLiteral("0.9.000"));
    EXPECT_TRUE(query(QStringLiteral("SELECT NUM_INSTRUCAO_SQL FROM INST_BANCO_PACK WHERE VERSAO_PACK = '1.0.000'")).isEmpty());
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("DELETE FROM VS_PACK_BANCO WHERE VERSAO_PACK = '0.10.000' AND STATUS <> 2 "), false));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("DELETE FROM INST_BANCO_PACK WHERE VERSAO_PACK = '0.10.000'"), false));
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) AS TOTAL FROM VS_PACK_BANCO")).integer(0, QStringLiteral("TOTAL")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro")), 0) << site.logText().toStdString();
}

TEST_P(Embedded, TablespaceReadOfTheVendorListsTheDatabaseTablespaces)
{
    const QString select =
        is("ORACLE") ? QStringLiteral("WITH V1 AS ( SELECT TABLESPACE_NAME FROM USER_TABLESPACES ORDER BY 1 ) SELECT ROWNUM AS KEYFIELD, "
                                      "V1.TABLESPACE_NAME FROM V1")
        : is("DB2") ? QStringLiteral("SELECT ROW_NUMBER()OVER() AS KEYFIELD, TBSPACE AS TABLESPACE_NAME FROM SYSCAT.TABLESPACES ORDER BY 2")
                    : QStringLiteral("SELECT ROW_NUMBER() OVER(ORDER BY NAME) AS KEYFIELD, NAME AS TABLESPACE_NAME FROM SYSFILES");
    const ResultTable rows = query(select);
    ASSERT_EQ(rows.count(), 3);
    QStringList names;
    QList<qint64> keys;
    for (int r = 0; r < rows.count(); ++r) {
        names << rows.text(r, QStringLiteral("TABLESPACE_NAME"));
        keys << rows.integer(r, QStringLiteral("KEYFIELD"));
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("TS_DADOS"), QStringLiteral("TS_INDICES"), QStringLiteral("USERS")}));
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (QList<qint64>{1, 2, 3}));
}

TEST_P(Embedded, ExpectedErrorsCarryTheVendorCodes)
{
    const bool db2 = is("DB2"), oracle = is("ORACLE");
    run(QStringLiteral("CREATE TABLE T (ID INTEGER NOT NULL, NOME VARCHAR(20), CODIGO INTEGER)"));
    run(QStringLiteral("CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY)"));
    const QString addColumn = db2      ? QStringLiteral("ALTER TABLE T ADD COLUMN EXTRA INTEGER")
                              : oracle ? QStringLiteral("ALTER TABLE T ADD (EXTRA NUMBER(10))")
                                       : QStringLiteral("ALTER TABLE T ADD EXTRA INT");
    run(addColumn);
    run(QStringLiteral("ALTER TABLE T ADD CONSTRAINT PK_T PRIMARY KEY (ID)"));
    run(QStringLiteral("CREATE INDEX IX_T_NOME ON T (NOME)"));
    run(QStringLiteral("INSERT INTO T (ID, NOME) VALUES (1, 'A')"));

    struct Case {
        QString statement;
        bool expected;
        QString code;
    };
    const QString exists = db2 ? QStringLiteral("SQL0601N") : oracle ? QStringLiteral("ORA-00955") : QStringLiteral("Err 2714");
    const std::vector<Case> cases = {
        {QStringLiteral("CREATE TABLE T (ID INTEGER)"), true, exists},
        {addColumn, true, db2 ? QStringLiteral("SQL0612N") : oracle ? QStringLiteral("ORA-01430") : QStringLiteral("Err 2705")},
        {QStringLiteral("ALTER TABLE T ADD CONSTRAINT PK_T2 PRIMARY KEY (ID)"), true,
         db2 ? QStringLiteral("SQL0624N") : oracle ? QStringLiteral("ORA-02260") : QStringLiteral("Err 1779")},
        {QStringLiteral("CREATE INDEX IX_T_NOME ON T (CODIGO)"), true,
         db2 ? QStringLiteral("SQL0601N") : oracle ? QStringLiteral("ORA-00955") : QStringLiteral("Err 1913")},
        {QStringLiteral("INSERT INTO T (ID, NOME) VALUES (1, 'B')"), db2,
         db2 ? QStringLiteral("SQL0803N") : oracle ? QStringLiteral("ORA-00001") : QStringLiteral("Err 2627")},
        {QStringLiteral("ALTER TABLE T DROP CONSTRAINT CK_NAO_EXISTE"), !db2,
         db2 ? QStringLiteral("SQL0204N") : oracle ? QStringLiteral("ORA-02443") : QStringLiteral("Err 3728")},
        {QStringLiteral("ALTER TABLE T ADD CONSTRAINT PK_T CHECK (ID > 0)"), true,
         db2 ? QStringLiteral("SQL0601N") : oracle ? QStringLiteral("ORA-02264") : QStringLiteral("Err 2714")},
        {QStringLiteral("INSERT INTO T (ID, NOME) VALUES (2, SEM_ASPAS)"), oracle,
         db2 ? QStringLiteral("SQL0206N") : oracle ? QStringLiteral("ORA-00984") : QStringLiteral("Err 128")},
        {QStringLiteral("SELECT FROM WHERE"), false,
         db2 ? QStringLiteral("SQLSTATE=42601") : oracle ? QStringLiteral("ORA-00933") : QStringLiteral("Err 102")},
        {QStringLiteral("SELECT * FROM NAO_EXISTE"), false,
         db2 ? QStringLiteral("SQL0204N") : oracle ? QStringLiteral("ORA-00942") : QStringLiteral("Err 208")},
    };
    for (const Case &c : cases) {
        const QString error = fail(c.statement);
        EXPECT_TRUE(error.contains(c.code)) << c.statement.toStdString() << "\n" << error.toStdString();
        EXPECT_EQ(ErroPrevisto(conn.driverName(), error), c.expected) << c.statement.toStdString() << "\n" << error.toStdString();
    }
    // DB2 and Oracle refuse a second index over the same columns; SQL Server accepts it.
    if (db2 || oracle) {
        const QString error = fail(QStringLiteral("CREATE INDEX IX_T_NOME2 ON T (NOME)"));
        EXPECT_TRUE(error.contains(db2 ? QStringLiteral("SQL0605W") : QStringLiteral("ORA-01408"))) << error.toStdString();
        EXPECT_TRUE(ErroPrevisto(conn.driverName(), error));
    } else {
        run(QStringLiteral("CREATE INDEX IX_T_NOME2 ON T (NOME)"));
    }
    // Oracle's duplicate foreign key; elsewhere the name is taken.
    run(QStringLiteral("ALTER TABLE T ADD CONSTRAINT FK_T_P FOREIGN KEY (CODIGO) REFERENCES P (ID)"));
    const QString fk = fail(QStringLiteral("ALTER TABLE T ADD CONSTRAINT FK_T_P FOREIGN KEY (CODIGO) REFERENCES P (ID)"));
    EXPECT_TRUE(fk.contains(db2 ? QStringLiteral("SQL0601N") : oracle ? QStringLiteral("ORA-02275") : QStringLiteral("Err 2714")))
        << fk.toStdString();
    EXPECT_TRUE(ErroPrevisto(conn.driverName(), fk));
}

TEST_P(Embedded, StatementRunnerCountsExpectedErrorsAsSuccessAndLogsThem)
{
    run(QStringLiteral("CREATE TABLE T (ID INTEGER)"));
    EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("  CREATE TABLE T (ID INTEGER)\r\n"), true));
    EXPECT_EQ(site.logCount(QStringLiteral("[VALIDADO PELO INSTALADOR]: \"CREATE TABLE T (ID INTEGER)\r\n\". Mensagem: ")), 1)
        << site.logText().toStdString();
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("DROP TABLE NAO_EXISTE"), true));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a execução da query \"DROP TABLE NAO_EXISTE\r\n\". Mensagem: ")), 1);
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("DROP TABLE NAO_EXISTE"), false));
    EXPECT_EQ(site.logCount(QStringLiteral("NAO_EXISTE")), 1);
    // Both reports are log lines with image 2 and no grid row.
    EXPECT_TRUE(site.session.status.rows().empty());
    EXPECT_EQ(site.session.status.lastStatusImage(), 0);
}

TEST_P(Embedded, RowLimitingAndRownum)
{
    run(QStringLiteral("CREATE TABLE N (NOME VARCHAR(10))"));
    for (const char *name : {"C", "A", "D", "B"})
        run(QStringLiteral("INSERT INTO N (NOME) VALUES ('") + QLatin1String(name) + QStringLiteral("')"));
    auto names = [](const ResultTable &t) {
        QStringList list;
        for (int r = 0; r < t.count(); ++r)
            list << t.text(r, QStringLiteral("NOME"));
        return list;
    };
    const QStringList firstTwo{QStringLiteral("A"), QStringLiteral("B")};
    if (is("MSSQL")) {
        EXPECT_EQ(names(query(QStringLiteral("SELECT TOP 2 NOME FROM N ORDER BY NOME"))), firstTwo);
        EXPECT_EQ(names(query(QStringLiteral("SELECT TOP (2) NOME FROM N ORDER BY NOME"))), firstTwo);
    } else {
        EXPECT_EQ(names(query(QStringLiteral("SELECT NOME FROM N ORDER BY NOME FETCH FIRST 2 ROWS ONLY"))), firstTwo);
        EXPECT_EQ(names(query(QStringLiteral("SELECT NOME FROM N ORDER BY NOME OFFSET 1 ROWS FETCH NEXT 2 ROWS ONLY"))),
                  (QStringList{QStringLiteral("B"), QStringLiteral("C")}));
    }
    if (is("ORACLE")) {
        EXPECT_EQ(names(query(QStringLiteral("SELECT NOME FROM (SELECT NOME FROM N ORDER BY NOME) WHERE ROWNUM <= 2"))), firstTwo);
        EXPECT_EQ(query(QStringLiteral("SELECT NOME FROM N WHERE ROWNUM = 1")).count(), 1);
        EXPECT_EQ(query(QStringLiteral("SELECT NOME FROM N WHERE ROWNUM < 3 AND NOME <> 'Z'")).count(), 2);
        const ResultTable numbered = query(QStringLiteral("SELECT ROWNUM AS RN, NOME FROM (SELECT NOME FROM N ORDER BY NOME DESC)"));
        ASSERT_EQ(numbered.count(), 4);
        EXPECT_EQ(numbered.integer(0, QStringLiteral("RN")), 1);
        EXPECT_EQ(numbered.text(0, QStringLiteral("NOME")), QStringLiteral("D"));
        EXPECT_EQ(numbered.integer(3, QStringLiteral("RN")), 4);
        EXPECT_EQ(query(QStringLiteral("SELECT 1 AS X FROM DUAL")).count(), 1);
        EXPECT_EQ(names(query(QStringLiteral("SELECT NOME FROM N MINUS SELECT NOME FROM N WHERE NOME <> 'A'"))),
                  QStringList{QStringLiteral("A")});
    }
    if (is("DB2")) {
        EXPECT_EQ(query(QStringLiteral("SELECT 1 AS X FROM SYSIBM.SYSDUMMY1")).count(), 1);
    }
}

TEST_P(Embedded, NestedJoinsOfTheComponentLinksRead)
{
    for (const char *sql : {"CREATE TABLE CATALOGO_TABELAS (ID_CATALOGO_TABELA INTEGER, NOME_TABELA VARCHAR(50))",
                            "CREATE TABLE COMPONENTES (ID_COMPONENTE INTEGER, ID_CATALOGO_TABELA INTEGER)",
                            "CREATE TABLE CATALOGO_TABCOL (ID_TABCOL INTEGER, ID_CATALOGO_TABELA INTEGER)",
                            "CREATE TABLE CATALOGO_TABCOMP (ID_TABCOMP INTEGER, ID_TABCOL INTEGER, ID_COMPONENTE INTEGER)",
                            "INSERT INTO CATALOGO_TABELAS VALUES (1, 'PEDIDOS')", "INSERT INTO CATALOGO_TABELAS VALUES (2, 'CLIENTES')",
                            "INSERT INTO COMPONENTES VALUES (10, 1)", "INSERT INTO CATALOGO_TABCOL VALUES (100, 2)",
                            "INSERT INTO CATALOGO_TABCOMP VALUES (1000, 100, 10)"})
        run(QLatin1String(sql));
    // The component-column links of a table, with the nested ON clauses of the catalog import.
    const ResultTable rows = query(QStringLiteral(
        "SELECT DISTINCT CT2.NOME_TABELA, TCOMP.* FROM CATALOGO_TABELAS CT    INNER JOIN COMPONENTES COMP INNER JOIN CATALOGO_TABCOMP "
        "TCOMP    INNER JOIN CATALOGO_TABCOL CTC INNER JOIN CATALOGO_TABELAS CT2  ON CT2.ID_CATALOGO_TABELA = CTC.ID_CATALOGO_TABELA  ON "
        "TCOMP.ID_TABCOL = CTC.ID_TABCOL  ON TCOMP.ID_COMPONENTE = COMP.ID_COMPONENTE  ON COMP.ID_CATALOGO_TABELA = "
        "CT.ID_CATALOGO_TABELA  WHERE CT.ID_CATALOGO_TABELA = 1"));
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.text(0, QStringLiteral("NOME_TABELA")), QStringLiteral("CLIENTES"));
    EXPECT_EQ(rows.integer(0, QStringLiteral("ID_TABCOMP")), 1000);
}

TEST_P(Embedded, SequencesDrawKeysAndMissingOnesFailAsTheVendorSays)
{
    if (is("MSSQL")) {
        run(QStringLiteral("CREATE SEQUENCE SEQ_X START WITH 5 INCREMENT BY 2"));
        EXPECT_EQ(query(QStringLiteral("SELECT NEXT VALUE FOR SEQ_X AS K")).integer(0, QStringLiteral("K")), 5);
        EXPECT_EQ(query(QStringLiteral("SELECT NEXT VALUE FOR SEQ_X AS K")).integer(0, QStringLiteral("K")), 7);
        return;
    }
    run(QStringLiteral("CREATE SEQUENCE SEQ_T START WITH 5 INCREMENT BY 2 NOCACHE"));
    run(QStringLiteral("CREATE TABLE T (ID INTEGER)"));
    const QString next = is("DB2") ? QStringLiteral("SELECT NEXTVAL FOR SEQ_T AS KEYFIELD FROM T FETCH FIRST 1 ROWS ONLY")
                                   : QStringLiteral("SELECT SEQ_T.NEXTVAL AS KEYFIELD FROM T WHERE ROWNUM <= 1");
    // The installer's key query reads from the table itself: no row, no value drawn.
    EXPECT_TRUE(query(next).isEmpty());
    run(QStringLiteral("INSERT INTO T (ID) VALUES (1)"));
    run(QStringLiteral("INSERT INTO T (ID) VALUES (2)"));
    EXPECT_EQ(query(next).text(0, QStringLiteral("KEYFIELD")), QStringLiteral("5"));
    EXPECT_EQ(query(next).text(0, QStringLiteral("KEYFIELD")), QStringLiteral("7"));
    const QString current = is("DB2") ? QStringLiteral("VALUES PREVVAL FOR SEQ_T") : QStringLiteral("SELECT SEQ_T.CURRVAL FROM DUAL");
    EXPECT_EQ(ResultTable::toInteger(query(current).rows().at(0).at(0)), 7);
    const QString error = fail(is("DB2") ? QStringLiteral("VALUES NEXTVAL FOR SEQ_NAO_EXISTE") : QStringLiteral("SELECT SEQ_NAO_EXISTE.NEXTVAL FROM DUAL"));
    EXPECT_TRUE(error.contains(is("DB2") ? QStringLiteral("SQL0204N") : QStringLiteral("ORA-02289"))) << error.toStdString();
    EXPECT_TRUE(fail(QStringLiteral("CREATE SEQUENCE SEQ_T")).contains(is("DB2") ? QStringLiteral("SQL0601N") : QStringLiteral("ORA-00955")));
    run(QStringLiteral("DROP SEQUENCE SEQ_T"));
    EXPECT_FALSE(conn.execute(next));
}

TEST_P(Embedded, DateAndTimeExpressionsGiveTheLocalMoment)
{
    run(QStringLiteral("CREATE TABLE D (DT_ALTERACAO DATE, HR_ALTERACAO DATE)"));
    run(QStringLiteral("INSERT INTO D VALUES (") + CurrentDateTimeExpr(conn.driverName(), QStringLiteral("D")) + QStringLiteral(", ") +
        CurrentDateTimeExpr(conn.driverName(), QStringLiteral("T")) + QStringLiteral(")"));
    const ResultTable rows = query(QStringLiteral("SELECT DT_ALTERACAO, HR_ALTERACAO FROM D"));
    ASSERT_EQ(rows.count(), 1);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    EXPECT_TRUE(rows.text(0, QStringLiteral("DT_ALTERACAO")).startsWith(today)) << rows.text(0, QStringLiteral("DT_ALTERACAO")).toStdString();
    EXPECT_EQ(rows.text(0, QStringLiteral("HR_ALTERACAO")).count(QLatin1Char(':')), 2);
}

TEST_P(Embedded, TablespaceClausesNameTablespacesThatMustExist)
{
    const QString on = is("ORACLE") ? QStringLiteral(" TABLESPACE ") : is("DB2") ? QStringLiteral(" IN ") : QStringLiteral(" ON ");
    run(QStringLiteral("CREATE TABLE A (ID INTEGER)") + on + QStringLiteral("TS_DADOS"));
    const QString error = fail(QStringLiteral("CREATE TABLE B (ID INTEGER)") + on + QStringLiteral("TS_NAO_EXISTE"));
    EXPECT_TRUE(error.contains(is("ORACLE") ? QStringLiteral("ORA-00959") : is("DB2") ? QStringLiteral("SQL0204N") : QStringLiteral("Err 1921")))
        << error.toStdString();
    EXPECT_FALSE(ErroPrevisto(conn.driverName(), error));
    run(QStringLiteral("CREATE INDEX IX_A ON A (ID)") + on + QStringLiteral("TS_INDICES"));
    if (is("MSSQL"))
        run(QStringLiteral("CREATE TABLE C (ID INT) ON [PRIMARY]"));
    if (is("DB2"))
        run(QStringLiteral("CREATE TABLE C (ID INTEGER) IN TS_DADOS INDEX IN TS_INDICES"));
    if (is("ORACLE"))
        run(QStringLiteral("CREATE TABLE C (ID NUMBER(10) CONSTRAINT PK_C PRIMARY KEY USING INDEX TABLESPACE TS_INDICES) TABLESPACE TS_DADOS "
                           "PCTFREE 10 STORAGE (INITIAL 64K)"));
}

TEST_P(Embedded, StatementFormsOfEachVendor)
{
    if (is("DB2")) {
        run(QStringLiteral("CREATE TABLE T (ID INTEGER NOT NULL GENERATED BY DEFAULT AS IDENTITY (START WITH 1), IND_ATIVO CHAR(1) NOT NULL "
                           "WITH DEFAULT 'S', DT DATE NOT NULL WITH DEFAULT, PRIMARY KEY (ID))"));
        run(QStringLiteral("INSERT INTO T (ID) VALUES (1)"));
        run(QStringLiteral("ALTER TABLE T ADD COLUMN A INTEGER ADD COLUMN B VARCHAR(10)"));
        run(QStringLiteral("ALTER TABLE T ALTER COLUMN B SET DATA TYPE VARCHAR(40)"));
        run(QStringLiteral("CALL SYSPROC.ADMIN_CMD('REORG TABLE T')"));
        EXPECT_EQ(query(QStringLiteral("SELECT TYPENAME, LENGTH FROM SYSCAT.COLUMNS WHERE TABNAME = 'T' AND COLNAME = 'B'"))
                      .integer(0, QStringLiteral("LENGTH")),
                  40);
        EXPECT_EQ(query(QStringLiteral("SELECT IND_ATIVO FROM T")).text(0, QStringLiteral("IND_ATIVO")), QStringLiteral("S"));
        // DB2 wants a default for a NOT NULL column added later.
        EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE T ADD COLUMN C INTEGER NOT NULL")).contains(QStringLiteral("SQL0193N")));
    } else if (is("ORACLE")) {
        run(QStringLiteral("CREATE TABLE T (ID NUMBER(10) NOT NULL, NOME VARCHAR2(100 CHAR), DT_ALTERACAO DATE DEFAULT SYSDATE, "
                           "CONSTRAINT PK_T PRIMARY KEY (ID) USING INDEX TABLESPACE USERS ENABLE)"));
        run(QStringLiteral("INSERT INTO T (ID) VALUES (1)"));
        EXPECT_FALSE(query(QStringLiteral("SELECT DT_ALTERACAO FROM T")).text(0, QStringLiteral("DT_ALTERACAO")).isEmpty());
        run(QStringLiteral("ALTER TABLE T ADD (A NUMBER(5) DEFAULT 0 NOT NULL, HR_ALTERACAO DATE DEFAULT SYSDATE)"));
        EXPECT_FALSE(query(QStringLiteral("SELECT HR_ALTERACAO FROM T")).text(0, QStringLiteral("HR_ALTERACAO")).isEmpty());
        run(QStringLiteral("ALTER TABLE T MODIFY (NOME VARCHAR2(200) NOT NULL)").replace(QStringLiteral(" NOT NULL"), QString()));
        EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE T MODIFY NOME NOT NULL")).contains(QStringLiteral("ORA-02296")));
        run(QStringLiteral("UPDATE T SET NOME = 'x'"));
        run(QStringLiteral("ALTER TABLE T MODIFY NOME NOT NULL"));
        EXPECT_TRUE(fail(QStringLiteral("INSERT INTO T (ID) VALUES (2)")).contains(QStringLiteral("ORA-01400")));
        EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE T MODIFY NOME NOT NULL")).contains(QStringLiteral("ORA-01442")));
        // A NOT NULL column without default is added to an empty table only.
        EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE T ADD (OBRIGATORIA NUMBER(1) NOT NULL)")).contains(QStringLiteral("ORA-01758")));
        run(QStringLiteral("COMMENT ON TABLE T IS 'Tabela'"));
        run(QStringLiteral("COMMENT ON COLUMN T.NOME IS 'Nome'"));
        run(QStringLiteral("CREATE OR REPLACE VIEW V_T AS SELECT ID FROM T"));
        run(QStringLiteral("CREATE OR REPLACE VIEW V_T AS SELECT ID, NOME FROM T"));
        EXPECT_EQ(query(QStringLiteral("SELECT * FROM V_T")).columnCount(), 2);
        run(QStringLiteral("ALTER TABLE T ADD CONSTRAINT CK_T_ID CHECK (ID > 0)"));
        EXPECT_TRUE(fail(QStringLiteral("INSERT INTO T (ID, NOME) VALUES (-1, 'X')")).contains(QStringLiteral("ORA-02290")));
        run(QStringLiteral("ALTER TABLE T DROP CONSTRAINT CK_T_ID"));
        run(QStringLiteral("INSERT INTO T (ID, NOME) VALUES (-1, 'X')"));
        run(QStringLiteral("DROP TABLE T CASCADE CONSTRAINTS PURGE"));
        EXPECT_TRUE(fail(QStringLiteral("BEGIN NULL; END")).contains(QStringLiteral("ORA-")));
    } else {
        run(QStringLiteral("CREATE TABLE [dbo].[T] ([ID] INT IDENTITY(1,1) NOT NULL, [NOME] VARCHAR(50) COLLATE Latin1_General_CI_AS NULL, "
                           "CONSTRAINT [PK_T] PRIMARY KEY CLUSTERED ([ID] ASC)) ON [PRIMARY]"));
        run(QStringLiteral("ALTER TABLE T ADD A INT NULL, B VARCHAR(10) NULL"));
        run(QStringLiteral("ALTER TABLE T ALTER COLUMN B VARCHAR(40) NOT NULL"));
        run(QStringLiteral("INSERT INTO T (ID, NOME, B) VALUES (1, 'x', 'y'); INSERT INTO T (ID, NOME, B) VALUES (2, 'z', 'w')"));
        EXPECT_EQ(query(QStringLiteral("SELECT ISNULL(A, 9) AS A, LEN(NOME) AS L, GETDATE() AS G FROM T WHERE ID = 1"))
                      .integer(0, QStringLiteral("A")),
                  9);
        EXPECT_TRUE(fail(QStringLiteral("EXEC sp_rename 'T.A', 'C', 'COLUMN'")).contains(QStringLiteral("Err ")));
    }
    // DB2 and Oracle take one statement without a terminator.
    if (!is("MSSQL")) {
        EXPECT_TRUE(fail(QStringLiteral("SELECT 1 FROM ") + (is("DB2") ? QStringLiteral("SYSIBM.SYSDUMMY1;") : QStringLiteral("DUAL;")))
                        .contains(is("DB2") ? QStringLiteral("SQL0104N") : QStringLiteral("ORA-00911")));
    }
}

TEST_P(Embedded, LongTextParameterAndNulls)
{
    run(QStringLiteral("CREATE TABLE CATALOGO_TABELAS (ID_CATALOGO_TABELA INTEGER NOT NULL PRIMARY KEY, NOME_TABELA VARCHAR(50), "
                       "TEXTO_CONSULTA CLOB, TIPO_CHAVE_ITEM INTEGER)"));
    const QString text(300 * 1024, QLatin1Char('q'));
    EXPECT_TRUE(ExecSQLParam(conn, QStringLiteral("INSERT INTO CATALOGO_TABELAS (ID_CATALOGO_TABELA, NOME_TABELA, TEXTO_CONSULTA) VALUES "
                                                  "(1, 'CLIENTES', :TEXTO_CONSULTA)"),
                             true, text, QStringLiteral("TEXTO_CONSULTA")));
    const ResultTable rows = query(QStringLiteral("SELECT * FROM CATALOGO_TABELAS"));
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.text(0, QStringLiteral("TEXTO_CONSULTA")), text);
    EXPECT_EQ(rows.integer(0, QStringLiteral("TIPO_CHAVE_ITEM")), 0);  // NULL reads as 0
    EXPECT_TRUE(rows.isNull(0, QStringLiteral("TIPO_CHAVE_ITEM")));
    EXPECT_THROW(rows.text(0, QStringLiteral("NAO_EXISTE")), DbError);
    EXPECT_FALSE(ExecSQLParam(conn, QStringLiteral("INSERT INTO NAO_EXISTE VALUES (:P)"), true, QStringLiteral("x"), QStringLiteral("P")));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a execução da query \"INSERT INTO NAO_EXISTE VALUES (:P)\". Mensagem: ")), 1);
}

INSTANTIATE_TEST_SUITE_P(Vendors, Embedded, ::testing::Values("DB2", "ORACLE", "MSSQL"));

// Opening: the file of the alias must exist, be a database, and accept the user.
TEST(EmbeddedOpen, FailuresAreReportedAsTheVendorsDo)
{
    DbSite site;
    site.createDb(QStringLiteral("SEGURO"), QStringLiteral("tivra"), QStringLiteral("secret"));
    site.site.writeFile(QStringLiteral("installer/Databases/LIXO.db"), QByteArray(4096, 'x'));
    const int missing = site.addEntry(QStringLiteral("NAO_EXISTE"), QStringLiteral("ORACLE"));
    const int wrong = site.addEntry(QStringLiteral("SEGURO"), QStringLiteral("DB2"), QStringLiteral("tivra"), QStringLiteral("errada"));
    const int right = site.addEntry(QStringLiteral("seguro"), QStringLiteral("MSSQL"), QStringLiteral("TIVRA"), QStringLiteral("secret"));
    const int garbage = site.addEntry(QStringLiteral("LIXO"), QStringLiteral("MSSQL"));
    DbConnection conn(site.session);
    EXPECT_FALSE(ConnectCurrentEntry(conn, missing));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a autenticação do banco \"NAO_EXISTE\". Mensagem: ORA-12154")), 1)
        << site.logText().toStdString();
    EXPECT_FALSE(ConnectCurrentEntry(conn, wrong));
    EXPECT_EQ(site.logCount(QStringLiteral("SQL30082N")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("errada")), 0);  // passwords never reach the log
    EXPECT_TRUE(ConnectCurrentEntry(conn, right)) << site.logText().toStdString();
    EXPECT_FALSE(ConnectCurrentEntry(conn, garbage));
    EXPECT_EQ(site.logCount(QStringLiteral("Err 5172")), 1) << site.logText().toStdString();
    EXPECT_FALSE(conn.isOpen());
    EXPECT_FALSE(conn.failure().isEmpty());  // kept for whoever must say why, masked as logged
    // An alias from the registry never leads the file out of the databases folder, even to a
    // database that exists there.
    site.createDb(QStringLiteral("FORA"), QStringLiteral("tivra"), QStringLiteral("secret"));
    QDir().mkpath(site.folder() + QStringLiteral("/sub"));
    QFile::copy(site.folder() + QStringLiteral("/FORA.db"), site.folder() + QStringLiteral("/sub/FORA.db"));
    for (const QString alias : {"../Databases/FORA", "sub/FORA", "sub\\FORA", ".FORA"}) {
        const int entry = site.addEntry(alias, QStringLiteral("ORACLE"), QStringLiteral("tivra"), QStringLiteral("secret"));
        EXPECT_FALSE(ConnectCurrentEntry(conn, entry)) << alias.toStdString();
    }
}

// A file that is not a database is named as such in each vendor's words, never as a network or
// listener fault that would send an administrator to the wrong place.
TEST(EmbeddedOpen, AFileThatIsNotADatabaseIsSaidSoAndNotAsANetworkFault)
{
    DbSite site;
    site.site.writeFile(QStringLiteral("installer/Databases/LIXO.db"), QByteArray(4096, 'x'));
    DbConnection conn(site.session);
    const std::pair<const char *, const char *> vendors[] = {{"DB2", "SQL1036C"}, {"ORACLE", "ORA-01122"}, {"MSSQL", "Err 5172"}};
    for (const auto &[vendor, code] : vendors) {
        SCOPED_TRACE(vendor);
        site.session.status.clearLogText();
        const int entry = site.addEntry(QStringLiteral("LIXO"), QLatin1String(vendor));
        EXPECT_FALSE(ConnectCurrentEntry(conn, entry));
        const QString log = site.logText();
        EXPECT_TRUE(log.contains(QLatin1String(code))) << log.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("the file is not a database"))) << log.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("LIXO.db"))) << log.toStdString();
        for (const char *network : {"listener", "communication", "network", "ORA-12541", "SQL30081N", "Err 53 "})
            EXPECT_FALSE(log.contains(QLatin1String(network), Qt::CaseInsensitive)) << network;
    }
}

// A pre-flight report may meet an embedded database that the emulation never opened (copied from
// elsewhere, made by another tool): read-only, it is read as it is, and the file is not changed.
TEST(EmbeddedOpen, AReadOnlyOpenReadsADatabaseTheEmulationNeverPrepared)
{
    DbSite site;
    const QString path = site.folder() + QStringLiteral("/CRU.db");
    QDir().mkpath(site.folder());
    {
        QSqlDatabase plain = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
        plain.setDatabaseName(path);
        ASSERT_TRUE(plain.open());
        QSqlQuery statement(plain);
        ASSERT_TRUE(statement.exec(QStringLiteral("CREATE TABLE VS_PACK_BANCO (ID INTEGER PRIMARY KEY, VERSAO_PACK TEXT)")));
        ASSERT_TRUE(statement.exec(QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES (1, '1.0.000')")));
        plain.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("plain"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    DbConnection::setReadOnly(true);
    struct Restore {
        ~Restore() { DbConnection::setReadOnly(false); }
    } restore;
    for (const char *vendor : {"DB2", "ORACLE", "MSSQL"}) {
        SCOPED_TRACE(vendor);
        DbConnection conn(site.session);
        const int entry = site.addEntry(QStringLiteral("CRU"), QLatin1String(vendor));
        ASSERT_TRUE(ConnectCurrentEntry(conn, entry)) << site.logText().toStdString();
        QString error;
        const std::optional<ResultTable> rows = conn.query(QStringLiteral("SELECT VERSAO_PACK FROM VS_PACK_BANCO"), &error);
        ASSERT_TRUE(rows.has_value()) << error.toStdString();
        EXPECT_EQ(rows->text(0, QStringLiteral("VERSAO_PACK")), QStringLiteral("1.0.000"));
        // The catalog views the checks read answer too.
        const QString columns = QLatin1String(vendor) == QLatin1String("ORACLE")
                                    ? QStringLiteral("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'VS_PACK_BANCO'")
                                : QLatin1String(vendor) == QLatin1String("DB2")
                                    ? QStringLiteral("SELECT COLNAME FROM SYSCAT.COLUMNS WHERE TABNAME = 'VS_PACK_BANCO'")
                                    : QStringLiteral("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'VS_PACK_BANCO'");
        const std::optional<ResultTable> found = conn.query(columns, &error);
        ASSERT_TRUE(found.has_value()) << error.toStdString();
        EXPECT_EQ(found->count(), 2);
        EXPECT_FALSE(conn.execute(QStringLiteral("DELETE FROM VS_PACK_BANCO"), &error));
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-journal")));
}

TEST(EmbeddedOpen, DriverSettingsChooseTransportAndFolder)
{
    DbSite site;
    const QString other = site.site.root() + QStringLiteral("/outra");
    QDir().mkpath(other);
    QString error;
    ASSERT_TRUE(embedded::Emulation::createDatabase(other + QStringLiteral("/PROD.db"), {}, {}, {}, &error));
    site.writeDrivers(QByteArray("[oracle]\r\ntransport=embedded\r\nfolder=" + other.toUtf8() + "\r\n[DB2]\r\nTransport=Papel\r\n"));
    DbConnection conn(site.session);
    EXPECT_TRUE(ConfigConnection(conn, QStringLiteral("ORACLE"), QStringLiteral("PROD"), QStringLiteral("u"), QStringLiteral("p"), {}));
    EXPECT_FALSE(ConfigConnection(conn, QStringLiteral("DB2"), QStringLiteral("PROD"), QStringLiteral("u"), QStringLiteral("p"), {}));
    EXPECT_EQ(site.logCount(QStringLiteral("Transport \"Papel\" desconhecido")), 1) << site.logText().toStdString();
}

// The pre-flight report's read-only mode: queries run, every write is refused before it reaches the
// database, and a connection opened in the mode leaves the file byte for byte as it was.
TEST_P(Embedded, ReadOnlyModeRefusesWritesAndLeavesTheFileUnchanged)
{
    run(kVersionTable);
    run(QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES (1, '1.0.000', 2, ") + CurrentDateTimeExpr(conn.driverName(), QStringLiteral("D"))
        + QStringLiteral(")"));
    conn.close();
    QFile file(site.path(QStringLiteral("DB1")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    DbConnection::setReadOnly(true);
    struct Restore {
        ~Restore()
        {
            DbConnection::setReadOnly(false);
            DbConnection::setWriteRecorder({});
        }
    } restore;
    DbConnection readOnly(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(readOnly, row)) << site.logText().toStdString();
    QString error;
    EXPECT_TRUE(readOnly.query(QStringLiteral("SELECT VERSAO_PACK FROM VS_PACK_BANCO"), &error).has_value()) << error.toStdString();
    EXPECT_TRUE(readOnly.execute(QStringLiteral("  /* probe */ SELECT 1 FROM VS_PACK_BANCO"), &error)) << error.toStdString();
    for (const QString &write : {QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES (2, '1.0.001', 2, CURRENT_DATE)"),
                                 QStringLiteral("-- a comment first\nDELETE FROM VS_PACK_BANCO"),
                                 QStringLiteral("CREATE TABLE VS_PACK_MSG (ID INTEGER)"),
                                 QStringLiteral("WITH X AS (SELECT 1 AS A FROM VS_PACK_BANCO) DELETE FROM VS_PACK_BANCO"),
                                 QStringLiteral("SELECTED_PROCEDURE()")}) {
        error.clear();
        EXPECT_FALSE(readOnly.execute(write, &error)) << write.toStdString();
        EXPECT_EQ(error, kWritesRefused) << write.toStdString();
        EXPECT_FALSE(readOnly.query(write, &error).has_value()) << write.toStdString();
    }
    EXPECT_FALSE(readOnly.executeWithText(QStringLiteral("UPDATE VS_PACK_BANCO SET VERSAO_PACK = :V"), QStringLiteral("V"),
                                          QStringLiteral("x"), &error));

    // With a recorder, the writes reach it instead of the database and count as done (the
    // simulated catalog stages go on); queries still read the database. Without it, refused again.
    QStringList recorded;
    DbConnection::setWriteRecorder([&recorded](const DbConnection &connection, const QString &statement) {
        recorded << connection.name() + QStringLiteral(": ") + statement;
    });
    EXPECT_TRUE(readOnly.execute(QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES (2, '1.0.001', 2, CURRENT_DATE)"), &error));
    EXPECT_TRUE(readOnly.lastWriteApplied());
    EXPECT_TRUE(readOnly.executeWithText(QStringLiteral("UPDATE VS_PACK_BANCO SET VERSAO_PACK = :V"), QStringLiteral("V"),
                                         QStringLiteral("x"), &error));
    const std::optional<ResultTable> rows = readOnly.query(QStringLiteral("SELECT VERSAO_PACK FROM VS_PACK_BANCO"), &error);
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(rows->count(), 1);
    EXPECT_EQ(recorded, (QStringList{readOnly.name() + QStringLiteral(": INSERT INTO VS_PACK_BANCO VALUES (2, '1.0.001', 2, CURRENT_DATE)"),
                                     readOnly.name() + QStringLiteral(": UPDATE VS_PACK_BANCO SET VERSAO_PACK = :V")}));
    DbConnection::setWriteRecorder({});
    EXPECT_FALSE(readOnly.execute(QStringLiteral("DELETE FROM VS_PACK_BANCO"), &error));
    EXPECT_EQ(error, kWritesRefused);
    readOnly.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}
