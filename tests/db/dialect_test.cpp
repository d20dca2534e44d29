// The embedded emulation's rewriting and DDL rules where they are easy to get wrong: text that
// must stay as written, vendor functions, constraints validated against existing rows, objects
// that depend on each other, and the catalog kept in step with DDL.
#include "db/embedded/sqltokens.h"
#include "db/sqlrunner.h"
#include "dbtest.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

namespace {

class Dialect : public ::testing::Test {
protected:
    void open(const char *vendor)
    {
        site.createDb(QStringLiteral("DB1"));
        ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("DB1"), QLatin1String(vendor))));
    }
    void run(const QString &sql) { testsupport::expectRuns(conn, sql); }
    QString fail(const QString &sql) { return testsupport::expectFails(conn, sql); }
    QVariant value(const QString &sql)
    {
        QString error;
        const std::optional<ResultTable> rows = conn.query(sql, &error);
        EXPECT_TRUE(rows && !rows->isEmpty()) << sql.toStdString() << "\n" << error.toStdString();
        return rows && !rows->isEmpty() ? rows->rows().at(0).at(0) : QVariant();
    }
    DbSite site;
    DbConnection conn{site.session};
};

}  // namespace

TEST_F(Dialect, LiteralsCommentsAndQuotedNamesAreNotRewritten)
{
    open("ORACLE");
    run(QStringLiteral("CREATE TABLE T (\"ROWNUM\" INTEGER, TEXTO VARCHAR(60))"));
    run(QStringLiteral("INSERT INTO T VALUES (7, 'SYSDATE; ROWNUM <= 1 -- TOP 1 SEQ_X.NEXTVAL') -- SYSDATE"));
    EXPECT_EQ(value(QStringLiteral("SELECT TEXTO FROM T /* WHERE ROWNUM <= 0 */")).toString(),
              QStringLiteral("SYSDATE; ROWNUM <= 1 -- TOP 1 SEQ_X.NEXTVAL"));
    EXPECT_EQ(value(QStringLiteral("SELECT \"ROWNUM\" FROM T")).toLongLong(), 7);
    EXPECT_EQ(value(QStringLiteral("SELECT 'O''Brien' FROM DUAL")).toString(), QStringLiteral("O'Brien"));
    EXPECT_TRUE(fail(QStringLiteral("SELECT 'sem fim FROM DUAL")).startsWith(QStringLiteral("ORA-01756")));
}

TEST_F(Dialect, RowLimitsInCompoundQueriesStayWithTheirBranch)
{
    open("MSSQL");
    run(QStringLiteral("CREATE TABLE A (N INT)"));
    for (int n = 1; n <= 5; ++n)
        run(QStringLiteral("INSERT INTO A VALUES (%1)").arg(n));
    QString error;
    const std::optional<ResultTable> rows = conn.query(
        QStringLiteral("SELECT TOP 2 N FROM A WHERE N > 3 UNION ALL SELECT DISTINCT TOP (1) N FROM A ORDER BY N"), &error);
    ASSERT_TRUE(rows.has_value()) << error.toStdString();
    EXPECT_EQ(rows->count(), 3);
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM (SELECT TOP 3 N FROM A) X")).toLongLong(), 3);
}

TEST_F(Dialect, VendorFunctions)
{
    open("ORACLE");
    EXPECT_EQ(value(QStringLiteral("SELECT NVL(NULL, 'x') FROM DUAL")).toString(), QStringLiteral("x"));
    EXPECT_EQ(value(QStringLiteral("SELECT NVL2(1, 'a', 'b') FROM DUAL")).toString(), QStringLiteral("a"));
    EXPECT_EQ(value(QStringLiteral("SELECT DECODE(2, 1, 'um', 2, 'dois', 'outro') FROM DUAL")).toString(), QStringLiteral("dois"));
    EXPECT_EQ(value(QStringLiteral("SELECT DECODE(NULL, NULL, 'nulo', 'outro') FROM DUAL")).toString(), QStringLiteral("nulo"));
    EXPECT_EQ(value(QStringLiteral("SELECT DECODE('x', 'y', 1) FROM DUAL")), QVariant());
    EXPECT_EQ(value(QStringLiteral("SELECT TO_CHAR(TO_DATE('31/12/2023 23:59', 'DD/MM/YYYY HH24:MI'), 'YYYY-MM-DD HH24:MI:SS') FROM DUAL"))
                  .toString(),
              QStringLiteral("2023-12-31 23:59:00"));
    EXPECT_EQ(value(QStringLiteral("SELECT TRUNC(TO_DATE('2024-02-10 10:30:00')) FROM DUAL")).toString(),
              QStringLiteral("2024-02-10 00:00:00"));
    EXPECT_EQ(value(QStringLiteral("SELECT TRUNC(12.79) FROM DUAL")).toLongLong(), 12);
    EXPECT_EQ(value(QStringLiteral("SELECT LPAD('7', 3, '0') || RPAD('a', 2) || 'b' FROM DUAL")).toString(), QStringLiteral("007a b"));
    EXPECT_EQ(value(QStringLiteral("SELECT TO_CHAR(SYSDATE, 'YYYY') FROM DUAL")).toString(), QString::number(QDate::currentDate().year()));
    EXPECT_TRUE(fail(QStringLiteral("SELECT TO_NUMBER('abc') FROM DUAL")).startsWith(QStringLiteral("ORA-01722")));
    EXPECT_TRUE(fail(QStringLiteral("SELECT NAO_EXISTE(1) FROM DUAL")).startsWith(QStringLiteral("ORA-00904")));
}

TEST_F(Dialect, ConstraintsAddedLaterAreValidatedAndEnforced)
{
    open("ORACLE");
    run(QStringLiteral("CREATE TABLE P (ID NUMBER(10), COD VARCHAR2(5))"));
    run(QStringLiteral("INSERT INTO P VALUES (1, 'A')"));
    run(QStringLiteral("INSERT INTO P VALUES (1, 'B')"));
    run(QStringLiteral("INSERT INTO P VALUES (NULL, 'C')"));
    EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE P ADD CONSTRAINT PK_P PRIMARY KEY (ID)")).startsWith(QStringLiteral("ORA-02296")));
    run(QStringLiteral("DELETE FROM P WHERE ID IS NULL"));
    EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE P ADD CONSTRAINT PK_P PRIMARY KEY (ID)")).startsWith(QStringLiteral("ORA-02437")));
    run(QStringLiteral("UPDATE P SET ID = 2 WHERE COD = 'B'"));
    run(QStringLiteral("ALTER TABLE P ADD CONSTRAINT PK_P PRIMARY KEY (ID)"));
    EXPECT_TRUE(fail(QStringLiteral("INSERT INTO P VALUES (NULL, 'D')")).startsWith(QStringLiteral("ORA-01400")));
    EXPECT_TRUE(fail(QStringLiteral("INSERT INTO P VALUES (2, 'D')")).startsWith(QStringLiteral("ORA-00001: unique constraint (TIVRA.PK_P)")));
    EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE P ADD CONSTRAINT CK_P CHECK (COD IN ('A'))")).startsWith(QStringLiteral("ORA-02293")));
    run(QStringLiteral("ALTER TABLE P ADD CONSTRAINT CK_P CHECK (COD IN ('A', 'B', 'C'))"));
    EXPECT_TRUE(fail(QStringLiteral("UPDATE P SET COD = 'Z'")).startsWith(QStringLiteral("ORA-02290: check constraint (TIVRA.CK_P)")));
    EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE P ADD CONSTRAINT UK_P UNIQUE (ID)")).startsWith(QStringLiteral("ORA-02261")));

    run(QStringLiteral("CREATE TABLE F (ID NUMBER(10), ID_P NUMBER(10))"));
    run(QStringLiteral("INSERT INTO F VALUES (1, 9)"));
    EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE F ADD CONSTRAINT FK_F_P FOREIGN KEY (ID_P) REFERENCES P (COD)"))
                    .startsWith(QStringLiteral("ORA-02270")));
    EXPECT_TRUE(fail(QStringLiteral("ALTER TABLE F ADD CONSTRAINT FK_F_P FOREIGN KEY (ID_P) REFERENCES P")).startsWith(QStringLiteral("ORA-02298")));
    run(QStringLiteral("UPDATE F SET ID_P = 1"));
    run(QStringLiteral("ALTER TABLE F ADD CONSTRAINT FK_F_P FOREIGN KEY (ID_P) REFERENCES P"));
    // A referenced table goes only with its references; its key's index only with the key.
    EXPECT_TRUE(fail(QStringLiteral("DROP TABLE P")).startsWith(QStringLiteral("ORA-02449")));
    EXPECT_TRUE(fail(QStringLiteral("DROP INDEX PK_P")).startsWith(QStringLiteral("ORA-02429")));
    run(QStringLiteral("CREATE UNIQUE INDEX UX_F ON F (ID_P, ID)"));
    run(QStringLiteral("INSERT INTO F VALUES (2, 1)"));
    EXPECT_TRUE(fail(QStringLiteral("CREATE UNIQUE INDEX UX_F2 ON F (ID_P)")).startsWith(QStringLiteral("ORA-01452")));
    run(QStringLiteral("DROP TABLE P CASCADE CONSTRAINTS"));
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM USER_CONSTRAINTS")).toLongLong(), 0);
}

TEST_F(Dialect, CatalogFollowsAddedDroppedAndRenamedObjects)
{
    open("DB2");
    run(QStringLiteral("CREATE TABLE T (ID INTEGER NOT NULL, NOME VARCHAR(20))"));
    run(QStringLiteral("INSERT INTO T VALUES (1, 'a')"));
    run(QStringLiteral("ALTER TABLE T ADD PRIMARY KEY (ID)"));
    run(QStringLiteral("ALTER TABLE T ADD COLUMN DT_ALTERACAO DATE NOT NULL WITH DEFAULT CURRENT DATE"));
    run(QStringLiteral("INSERT INTO T (ID, NOME) VALUES (2, 'b')"));
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM T WHERE DT_ALTERACAO IS NULL")).toLongLong(), 0);
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM SYSCAT.TABCONST WHERE TABNAME = 'T' AND TYPE = 'P'")).toLongLong(), 1);
    EXPECT_EQ(value(QStringLiteral("SELECT NULLS FROM SYSCAT.COLUMNS WHERE TABNAME = 'T' AND COLNAME = 'ID'")).toString(), QStringLiteral("N"));
    run(QStringLiteral("ALTER TABLE T RENAME COLUMN NOME TO DESCRICAO"));
    run(QStringLiteral("ALTER TABLE T ADD CONSTRAINT UK_T UNIQUE (DESCRICAO)"));
    run(QStringLiteral("ALTER TABLE T RENAME TO TABELA"));
    EXPECT_EQ(value(QStringLiteral("SELECT K.COLNAME FROM SYSCAT.KEYCOLUSE K WHERE K.CONSTNAME = 'UK_T' AND K.TABNAME = 'TABELA'")).toString(),
              QStringLiteral("DESCRICAO"));
    run(QStringLiteral("ALTER TABLE TABELA DROP PRIMARY KEY"));
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM SYSCAT.TABCONST WHERE TYPE = 'P'")).toLongLong(), 0);
    run(QStringLiteral("ALTER TABLE TABELA DROP COLUMN DT_ALTERACAO"));
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM SYSCAT.COLUMNS WHERE TABNAME = 'TABELA'")).toLongLong(), 2);
    run(QStringLiteral("CREATE TABLESPACE TSNOVO MANAGED BY AUTOMATIC STORAGE"));
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM SYSCAT.TABLESPACES")).toLongLong(), 5);
    EXPECT_TRUE(fail(QStringLiteral("CREATE TABLESPACE TSNOVO")).contains(QStringLiteral("SQL0601N")));
    run(QStringLiteral("CREATE TABLE X (ID INTEGER) IN TSNOVO"));
    run(QStringLiteral("DROP TABLESPACE TSNOVO"));
    EXPECT_TRUE(fail(QStringLiteral("CREATE TABLE Y (ID INTEGER) IN TSNOVO")).contains(QStringLiteral("SQL0204N")));
    run(QStringLiteral("CREATE SEQUENCE SEQ_X"));
    EXPECT_EQ(value(QStringLiteral("VALUES NEXTVAL FOR SEQ_X")).toLongLong(), 1);
    run(QStringLiteral("ALTER SEQUENCE SEQ_X RESTART WITH 50"));
    EXPECT_EQ(value(QStringLiteral("VALUES NEXTVAL FOR SEQ_X")).toLongLong(), 50);
    EXPECT_TRUE(fail(QStringLiteral("DROP SEQUENCE SEQ_NAO")).contains(QStringLiteral("SQL0204N")));
}

// The tokenizer the emulation reads every statement with: words in upper case whatever their
// case or alphabet, names and punctuation matched exactly, and statements split only at a ";"
// outside parentheses.
TEST(SqlTokens, WordsNamesAndStatementBoundaries)
{
    using namespace tivra::embedded;
    const Tokens tokens = tokenize(QStringLiteral("select Nome_Coluna, ação, X1 FROM \"t\" WHERE a <= 'b;c'"));
    const Tokens sig = significantTokens(tokens);
    ASSERT_EQ(sig.size(), 12u);
    EXPECT_TRUE(sig[0].is("SELECT"));
    EXPECT_FALSE(sig[0].is("SELEC"));
    EXPECT_FALSE(sig[0].is("SELECTS"));
    EXPECT_EQ(sig[1].upper, QStringLiteral("NOME_COLUNA"));
    EXPECT_EQ(sig[1].text, QStringLiteral("Nome_Coluna"));
    EXPECT_EQ(sig[3].upper, QStringLiteral("AÇÃO"));
    EXPECT_EQ(sig[5].upper, QStringLiteral("X1"));
    EXPECT_TRUE(sig[2].isPunct(","));
    EXPECT_FALSE(sig[2].isPunct(",,"));
    EXPECT_EQ(sig[7].kind, Token::QuotedName);
    EXPECT_FALSE(sig[7].is("T"));  // a quoted name is no word
    EXPECT_TRUE(sig[10].isPunct("<="));
    EXPECT_FALSE(sig[10].isPunct("<"));
    EXPECT_EQ(sig[11].kind, Token::String);
    EXPECT_EQ(joinTokens(tokens), QStringLiteral("select Nome_Coluna, ação, X1 FROM \"t\" WHERE a <= 'b;c'"));

    bool trailing = true;
    int separators = -1;
    std::vector<Tokens> pieces = splitStatements(tokenize(QStringLiteral("INSERT INTO T VALUES ('a;b')")), &trailing, &separators);
    EXPECT_EQ(pieces.size(), 1u);
    EXPECT_FALSE(trailing);
    EXPECT_EQ(separators, 0);
    EXPECT_TRUE(splitStatements(tokenize(QStringLiteral("  -- nada\n ")), &trailing, &separators).empty());
    pieces = splitStatements(tokenize(QStringLiteral("CREATE TRIGGER X (A; B); SELECT 1 ;")), &trailing, &separators);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(trailing);
    EXPECT_EQ(separators, 2);
    EXPECT_EQ(joinTokens(pieces[0]), QStringLiteral("CREATE TRIGGER X (A; B)"));
    pieces = splitStatements(tokenize(QStringLiteral("SELECT 1; ; SELECT 2")), &trailing, &separators);
    EXPECT_EQ(pieces.size(), 2u);
    EXPECT_FALSE(trailing);
    EXPECT_EQ(separators, 2);
}
