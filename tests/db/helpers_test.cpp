// The record helpers on embedded databases of each key style: their SELECT texts, results and
// failure reports.
#include "db/newkeys.h"
#include "db/recordhelpers.h"
#include "db/sqlrunner.h"
#include "dbtest.h"

#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

namespace {

class Helpers : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        site.createDb(QStringLiteral("DB1"));
        ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("DB1"), QLatin1String(GetParam()))));
        for (const char *sql : {"CREATE TABLE CATALOGO_TABELAS (ID_CATALOGO_TABELA INTEGER NOT NULL PRIMARY KEY, NOME_TABELA VARCHAR(50), "
                                "TIPO_CHAVE_ITEM INTEGER)",
                                "CREATE TABLE CLIENTES (ID_CLIENTE INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(40))",
                                "CREATE TABLE PEDIDOS (ID_PEDIDO INTEGER NOT NULL PRIMARY KEY)",
                                "INSERT INTO CATALOGO_TABELAS VALUES (1, 'CLIENTES', 1)",
                                "INSERT INTO CATALOGO_TABELAS VALUES (2, 'PEDIDOS', 2)"})
            ASSERT_TRUE(conn.execute(QLatin1String(sql)));
    }
    DbSite site;
    DbConnection conn{site.session};
};

}  // namespace

TEST_P(Helpers, KeysCountsAndRows)
{
    EXPECT_EQ(GetMaxId(conn, QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), 0);
    EXPECT_EQ(GetNewIdForInsert(conn, QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("1"));
    ASSERT_TRUE(conn.execute(QStringLiteral("INSERT INTO CLIENTES VALUES (7, 'Ana')")));
    ASSERT_TRUE(conn.execute(QStringLiteral("INSERT INTO CLIENTES VALUES (9, 'O''Brien')")));
    EXPECT_EQ(GetMaxId(conn, QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), 9);
    EXPECT_EQ(GetNewIdForInsert(conn, QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("10"));
    EXPECT_EQ(GetCountRecords(conn, QStringLiteral("CLIENTES")), 2);
    EXPECT_EQ(GetTipoChave(conn, QStringLiteral("PEDIDOS")), 2);
    EXPECT_EQ(GetTipoChave(conn, QStringLiteral("NAO_CATALOGADA")), 0);

    const std::optional<ResultTable> byKey = GetRecordPK(conn, QStringLiteral("CLIENTES"), 7, QStringLiteral("ID_CLIENTE"));
    ASSERT_TRUE(byKey.has_value());
    EXPECT_EQ(byKey->text(0, QStringLiteral("NOME")), QStringLiteral("Ana"));
    EXPECT_EQ(GetOleRecord(conn, QStringLiteral("CLIENTES"), 9, QStringLiteral("ID_CLIENTE"))->count(), 1);
    EXPECT_EQ(GetOleRecordStr(conn, QStringLiteral("CLIENTES"), QStringLiteral("Ana"), QStringLiteral("NOME"))->count(), 1);
    EXPECT_EQ(GetRecords(conn, QStringLiteral("CLIENTES"))->count(), 2);
    EXPECT_EQ(GetOleData(conn, QStringLiteral("SELECT NOME FROM CLIENTES ORDER BY ID_CLIENTE DESC"))->text(0, QStringLiteral("NOME")),
              QStringLiteral("O'Brien"));
    EXPECT_TRUE(site.log().isEmpty()) << site.logText().toStdString();
}

TEST_P(Helpers, SequenceKeysByDriver)
{
    const bool sqlServer = QLatin1String(GetParam()) == QLatin1String("MSSQL");
    if (!sqlServer) {
        ASSERT_TRUE(conn.execute(QStringLiteral("CREATE SEQUENCE SEQ_PEDIDOS START WITH 100")));
    }
    // Key type 2 on an empty table: the sequence query reads the table and finds no row.
    QString key = QStringLiteral("antes");
    EXPECT_EQ(GetNewIdForInsert(conn, QStringLiteral("PEDIDOS"), QStringLiteral("ID_PEDIDO"), key), !sqlServer);
    EXPECT_EQ(key, sqlServer ? QStringLiteral("antes") : QString());
    if (sqlServer) {
        EXPECT_EQ(site.logCount(QStringLiteral("Erro interno em \"GetNewIdForInsert\". Mensagem: ")), 1);
        return;
    }
    ASSERT_TRUE(conn.execute(QStringLiteral("INSERT INTO PEDIDOS VALUES (1)")));
    ASSERT_TRUE(conn.execute(QStringLiteral("INSERT INTO PEDIDOS VALUES (2)")));
    EXPECT_EQ(GetNewIdForInsert(conn, QStringLiteral("PEDIDOS"), QStringLiteral("ID_PEDIDO")), QStringLiteral("100"));
    EXPECT_EQ(GetNewIdForInsert(conn, QStringLiteral("PEDIDOS"), QStringLiteral("ID_PEDIDO")), QStringLiteral("101"));
}

TEST_P(Helpers, FailuresAreLoggedWithTheirTextsAndGiveTheFailureValues)
{
    EXPECT_EQ(GetCountRecords(conn, QStringLiteral("NAO_EXISTE")), -1);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro ao buscar total de registros da tabela \"NAO_EXISTE\". Mensagem: ")), 1);
    EXPECT_EQ(site.log().size(), 1);
    EXPECT_EQ(GetMaxId(conn, QStringLiteral("NAO_EXISTE"), QStringLiteral("ID")), 0);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro interno em \"GetMaxId\". Mensagem: ")), 1);
    EXPECT_FALSE(GetOleRecordStr(conn, QStringLiteral("CLIENTES"), QStringLiteral("D'Avila"), QStringLiteral("NOME")).has_value());
    EXPECT_EQ(site.logCount(QStringLiteral("Erro interno no método \"GetOleRecordStr\". Mensagem: ")), 1);
    EXPECT_FALSE(GetRecords(conn, QStringLiteral("NAO_EXISTE")).has_value());
    EXPECT_FALSE(GetRecordPK(conn, QStringLiteral("NAO_EXISTE"), 1, QStringLiteral("ID")).has_value());
    EXPECT_EQ(site.logCount(QStringLiteral("Erro ao executar select na tabela \"NAO_EXISTE\". Mensagem: ")), 2);
    EXPECT_FALSE(GetOleRecord(conn, QStringLiteral("CLIENTES"), 1, QStringLiteral("NAO_EXISTE")).has_value());
    EXPECT_EQ(site.logCount(QStringLiteral("Erro interno no método \"GetOleRecord\". Mensagem: ")), 1);
    EXPECT_FALSE(GetOleData(conn, QStringLiteral("SELEC")).has_value());
    EXPECT_EQ(site.logCount(QStringLiteral("Erro interno no método \"GetOleData\". Mensagem: ")), 1);
    QString key = QStringLiteral("5");
    EXPECT_FALSE(GetNewIdForInsert(conn, QStringLiteral("NAO_EXISTE"), QStringLiteral("ID"), key));
    EXPECT_EQ(key, QStringLiteral("5"));
    EXPECT_THROW(RequireResult(std::nullopt, QStringLiteral("GetOleData")), DbError);
    for (const StatusRow &row : site.session.status.rows()) {
        ADD_FAILURE() << "unexpected grid row " << row.detalhes.toStdString();
    }
}

// The keys counted on in memory are the keys MAX + 1 would give, with the reads done once.
TEST_P(Helpers, NewKeysGiveTheKeysOfMaxPlusOneReadingOncePerTable)
{
    int reads = 0;
    DbConnection::setStatementObserver([&reads](const QString &, bool write, qint64) { reads += write ? 0 : 1; });
    NewKeys &keys = conn.newKeys();
    const auto insert = [&](const QString &key, const QString &name) {
        const bool ok = ExecSQLText(conn, QStringLiteral("INSERT INTO CLIENTES VALUES (") + key + QStringLiteral(", '") + name +
                                              QStringLiteral("')"),
                                    true);
        keys.inserted(QStringLiteral("CLIENTES"));
        return ok;
    };
    QStringList drawn;
    for (int i = 0; i < 5; ++i) {
        drawn.append(keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")));
        ASSERT_TRUE(insert(drawn.last(), QStringLiteral("C%1").arg(i)));
    }
    EXPECT_EQ(drawn, QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}));
    EXPECT_EQ(reads, 2);  // the key type and MAX + 1, once
    // A key drawn but not used is given again, as MAX + 1 would.
    EXPECT_EQ(keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("6"));
    EXPECT_EQ(keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("6"));
    EXPECT_EQ(reads, 2);

    // A failed insert leaves MAX where it was: the same key again (read anew).
    const QString key = keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE"));
    EXPECT_FALSE(ExecSQLText(conn, QStringLiteral("INSERT INTO CLIENTES (ID_CLIENTE, NAO_EXISTE) VALUES (") + key + QStringLiteral(", 'x')"),
                             false));
    keys.inserted(QStringLiteral("CLIENTES"));
    EXPECT_EQ(keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("6"));

    // A write that was not a reported insert (here a row with a key of its own) is seen: the
    // keys are read again.
    ASSERT_TRUE(conn.execute(QStringLiteral("INSERT INTO CLIENTES VALUES (40, 'Outro')")));
    const int before = reads;
    EXPECT_EQ(keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("41"));
    EXPECT_EQ(reads, before + 2);
    DbConnection::setStatementObserver({});
    EXPECT_TRUE(site.log().isEmpty()) << site.logText().toStdString();
}

// Sequence keys are drawn from the sequence every time; a new catalog row for the table changes
// its key type when it is forgotten.
TEST_P(Helpers, NewKeysDrawSequencesEveryTimeAndFollowTheKeyType)
{
    if (QLatin1String(GetParam()) == QLatin1String("MSSQL"))
        GTEST_SKIP() << "no sequences for this driver";
    ASSERT_TRUE(conn.execute(QStringLiteral("CREATE SEQUENCE SEQ_PEDIDOS START WITH 100")));
    ASSERT_TRUE(conn.execute(QStringLiteral("CREATE SEQUENCE SEQ_CLIENTES START WITH 500")));
    ASSERT_TRUE(conn.execute(QStringLiteral("INSERT INTO PEDIDOS VALUES (1)")));
    ASSERT_TRUE(conn.execute(QStringLiteral("INSERT INTO CLIENTES VALUES (1, 'Ana')")));
    NewKeys &keys = conn.newKeys();
    for (const char *expected : {"100", "101", "102"}) {
        const QString key = keys.next(QStringLiteral("PEDIDOS"), QStringLiteral("ID_PEDIDO"));
        EXPECT_EQ(key, QLatin1String(expected));
        ASSERT_TRUE(ExecSQLText(conn, QStringLiteral("INSERT INTO PEDIDOS VALUES (") + key + QStringLiteral(")"), true));
        keys.inserted(QStringLiteral("PEDIDOS"));
    }
    EXPECT_EQ(keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("2"));
    // CLIENTES becomes a table of key type 2 through a reported insert of its catalog row.
    const QString row = keys.next(QStringLiteral("CATALOGO_TABELAS"), QStringLiteral("ID_CATALOGO_TABELA"));
    EXPECT_EQ(row, QStringLiteral("3"));
    ASSERT_TRUE(ExecSQLText(conn, QStringLiteral("UPDATE CATALOGO_TABELAS SET NOME_TABELA = 'ANTIGA' WHERE NOME_TABELA = 'CLIENTES'"), true));
    ASSERT_TRUE(ExecSQLText(conn, QStringLiteral("INSERT INTO CATALOGO_TABELAS VALUES (") + row + QStringLiteral(", 'CLIENTES', 2)"), true));
    keys.inserted(QStringLiteral("CATALOGO_TABELAS"));
    keys.forgetKeyType(QStringLiteral("clientes"));
    EXPECT_EQ(keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("500"));
    EXPECT_TRUE(site.log().isEmpty()) << site.logText().toStdString();
}

// An insert whose error the statement runner counts as expected did not add a row: its key is
// given again.
TEST_P(Helpers, NewKeysAfterAnInsertWithAnExpectedErrorGiveTheSameKey)
{
    ASSERT_TRUE(conn.execute(QStringLiteral("CREATE UNIQUE INDEX UX_CLIENTES_NOME ON CLIENTES (NOME)")));
    ASSERT_TRUE(conn.execute(QStringLiteral("INSERT INTO CLIENTES VALUES (1, 'Ana')")));
    NewKeys &keys = conn.newKeys();
    const QString key = keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE"));
    EXPECT_EQ(key, QStringLiteral("2"));
    const bool ok = ExecSQLText(conn, QStringLiteral("INSERT INTO CLIENTES VALUES (") + key + QStringLiteral(", 'Ana')"), true);
    // DB2's duplicate key (SQL0803N) counts as expected; the others report the failure.
    EXPECT_EQ(ok, QLatin1String(GetParam()) == QLatin1String("DB2"));
    EXPECT_FALSE(conn.lastWriteApplied());
    keys.inserted(QStringLiteral("CLIENTES"));
    EXPECT_EQ(keys.next(QStringLiteral("CLIENTES"), QStringLiteral("ID_CLIENTE")), QStringLiteral("2"));
}

INSTANTIATE_TEST_SUITE_P(Vendors, Helpers, ::testing::Values("DB2", "ORACLE", "MSSQL"));
