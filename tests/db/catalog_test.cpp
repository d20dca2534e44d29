// The vendors' catalog views of the embedded emulation, read with the statements of the
// structure model capture: columns, primary and unique keys, foreign keys, indexes, checks.
#include "db/embedded/catalogviews.h"
#include "db/sqlrunner.h"
#include "dbtest.h"

#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

namespace {

class Catalog : public ::testing::Test {
protected:
    void open(const char *vendor, const QString &login)
    {
        site.createDb(QStringLiteral("DB1"));
        ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("DB1"), QLatin1String(vendor), login)));
        const QStringList schema = {
            QStringLiteral("CREATE TABLE SITUACOES (COD CHAR(1) NOT NULL, DESCR VARCHAR(30), CONSTRAINT PK_SITUACOES PRIMARY KEY (COD))"),
            QStringLiteral("CREATE TABLE PEDIDOS (ID_PEDIDO INTEGER NOT NULL, NUMERO VARCHAR(20) NOT NULL, SITUACAO CHAR(1), "
                           "VALOR DECIMAL(15,2) DEFAULT 0, HR_ALTERACAO DATE, OBS CLOB, "
                           "CONSTRAINT PK_PEDIDOS PRIMARY KEY (ID_PEDIDO), CONSTRAINT UK_PEDIDOS_NUMERO UNIQUE (NUMERO), "
                           "CONSTRAINT FK_PEDIDOS_SIT FOREIGN KEY (SITUACAO) REFERENCES SITUACOES (COD) ON DELETE CASCADE, "
                           "CONSTRAINT CK_PEDIDOS_SIT CHECK (SITUACAO IN ('I', 'A','C')))"),
            QStringLiteral("CREATE INDEX IX_PEDIDOS_VALOR ON PEDIDOS (VALOR, SITUACAO)"),
            QStringLiteral("ALTER TABLE PEDIDOS ADD CONSTRAINT CK_PEDIDOS_VALOR CHECK (VALOR >= 0)"),
        };
        for (const QString &sql : schema) {
            QString error;
            ASSERT_TRUE(conn.execute(sql, &error)) << sql.toStdString() << "\n" << error.toStdString();
        }
    }
    ResultTable read(const QString &sql)
    {
        QString error;
        std::optional<ResultTable> rows = conn.query(sql, &error);
        EXPECT_TRUE(rows.has_value()) << sql.toStdString() << "\n" << error.toStdString();
        return rows ? *rows : ResultTable();
    }
    static QStringList column(const ResultTable &t, const char *name)
    {
        QStringList values;
        for (int r = 0; r < t.count(); ++r)
            values << t.text(r, QLatin1String(name));
        return values;
    }
    DbSite site;
    DbConnection conn{site.session};
};

}  // namespace

TEST_F(Catalog, OracleViewsOfTheConnectedUser)
{
    open("ORACLE", QStringLiteral("tivra"));
    const ResultTable columns = read(QStringLiteral(
        "select c.table_name as Tabela, c.column_name as Coluna, c.data_type as Tipo, c.data_length as Tamanho, c.data_scale as Escala, "
        "c.data_default as Padrao, c.nullable  as Nulo, c.column_id as Posicao from user_tab_columns c join user_tables t on "
        "c.table_name = t.table_name order by c.table_name, c.column_id"));
    ASSERT_EQ(columns.count(), 8);
    EXPECT_EQ(column(columns, "TABELA").first(), QStringLiteral("PEDIDOS"));
    EXPECT_EQ(column(columns, "COLUNA").mid(0, 6),
              (QStringList{QStringLiteral("ID_PEDIDO"), QStringLiteral("NUMERO"), QStringLiteral("SITUACAO"), QStringLiteral("VALOR"),
                           QStringLiteral("HR_ALTERACAO"), QStringLiteral("OBS")}));
    EXPECT_EQ(column(columns, "TIPO").mid(0, 6),
              (QStringList{QStringLiteral("NUMBER"), QStringLiteral("VARCHAR2"), QStringLiteral("CHAR"), QStringLiteral("NUMBER"),
                           QStringLiteral("DATE"), QStringLiteral("CLOB")}));
    EXPECT_EQ(columns.integer(3, QStringLiteral("ESCALA")), 2);
    EXPECT_EQ(columns.integer(1, QStringLiteral("TAMANHO")), 20);
    EXPECT_EQ(columns.text(0, QStringLiteral("NULO")), QStringLiteral("N"));
    EXPECT_EQ(columns.text(2, QStringLiteral("NULO")), QStringLiteral("Y"));
    EXPECT_EQ(columns.text(3, QStringLiteral("PADRAO")), QStringLiteral("0"));

    const ResultTable pk = read(QStringLiteral(
        "select a.constraint_name as Nome, a.table_name as Tabela, b.column_name as Coluna, b.position as Posicao from user_constraints a "
        "join all_cons_columns b on a.constraint_name = b.constraint_name where constraint_type = 'P' order by a.table_name, "
        "a.constraint_name, b.position"));
    EXPECT_EQ(column(pk, "NOME"), (QStringList{QStringLiteral("PK_PEDIDOS"), QStringLiteral("PK_SITUACOES")}));
    const ResultTable uk = read(QStringLiteral(
        "select a.constraint_name as Nome, a.table_name as Tabela, b.column_name as Coluna, b.position as Posicao from user_constraints a "
        "join all_cons_columns b on a.constraint_name = b.constraint_name where constraint_type = 'U' order by a.table_name, "
        "a.constraint_name, b.position"));
    EXPECT_EQ(column(uk, "COLUNA"), QStringList{QStringLiteral("NUMERO")});
    const ResultTable fk = read(QStringLiteral(
        "select a.constraint_name as Nome, a.table_name as Tabela, b.column_name as Coluna, c.table_name as TabelaRef, c.column_name as "
        "ColunaRef, c.position as Posicao, a.delete_rule as RegraDelete from user_constraints a join all_cons_columns b on "
        "a.constraint_name = b.constraint_name join all_cons_columns c on a.r_constraint_name = c.constraint_name and b.position = "
        "c.position where constraint_type = 'R' order by a.table_name, a.constraint_name, c.position"));
    ASSERT_EQ(fk.count(), 1);
    EXPECT_EQ(fk.text(0, QStringLiteral("TABELAREF")), QStringLiteral("SITUACOES"));
    EXPECT_EQ(fk.text(0, QStringLiteral("COLUNAREF")), QStringLiteral("COD"));
    EXPECT_EQ(fk.text(0, QStringLiteral("REGRADELETE")), QStringLiteral("CASCADE"));
    const ResultTable indexes = read(QStringLiteral(
        "select a.index_name as Nome, a.table_name as Tabela, a.column_name as Coluna, b.uniqueness as Unico, a.column_position as Posicao "
        "from user_ind_columns a join user_indexes b on a.index_name = b.index_name left join user_constraints c on b.index_name = "
        "c.index_name where c.constraint_type is null order by a.table_name, a.index_name, b.uniqueness, a.column_position"));
    EXPECT_EQ(column(indexes, "COLUNA"), (QStringList{QStringLiteral("VALOR"), QStringLiteral("SITUACAO")}));
    EXPECT_EQ(indexes.text(0, QStringLiteral("UNICO")), QStringLiteral("NONUNIQUE"));
    const ResultTable checks = read(QStringLiteral(
        "select table_name as Tabela, constraint_name as Nome, search_condition as Condicao from user_constraints where constraint_type "
        "= 'C' and search_condition is not null order by table_name, constraint_name"));
    EXPECT_EQ(column(checks, "CONDICAO"), (QStringList{QStringLiteral("SITUACAO IN ('I', 'A','C')"), QStringLiteral("VALOR >= 0")}));
}

TEST_F(Catalog, Db2ViewsOfTheUsersSchema)
{
    open("DB2", QStringLiteral("dbsm"));
    const ResultTable columns = read(QStringLiteral(
        "select c.tabname as Tabela, c.colname as Coluna, c.typename as Tipo, c.length as Tamanho, c.scale as Escala, c.default as "
        "Padrao, c.nulls as Nulo, c.colno as Posicao from syscat.columns c join syscat.tables t on t.tabname = c.tabname and t.type = "
        "'T' where c.tabschema = 'DBSM' and t.tabschema = 'DBSM' and c.tabname not like 'ADVISE_%' and c.tabname not like 'EXPLAIN_%' "
        "order by c.tabname, c.colno"));
    ASSERT_EQ(columns.count(), 8);
    EXPECT_EQ(column(columns, "TIPO").mid(0, 4),
              (QStringList{QStringLiteral("INTEGER"), QStringLiteral("VARCHAR"), QStringLiteral("CHARACTER"), QStringLiteral("DECIMAL")}));
    EXPECT_EQ(columns.integer(0, QStringLiteral("POSICAO")), 0);
    const ResultTable pk = read(QStringLiteral(
        "select tc.constname as Nome, tc.tabname as Tabela,  k.colname as Coluna, k.colseq as Posicao from syscat.tabconst tc join "
        "syscat.keycoluse k on k.constname = tc.constname and tc.tabname = k.tabname where tc.tabschema = 'DBSM' and tc.type = 'P' "
        "order by tc.tabname, tc.constname, k.colseq"));
    EXPECT_EQ(column(pk, "COLUNA"), (QStringList{QStringLiteral("ID_PEDIDO"), QStringLiteral("COD")}));
    const ResultTable fk = read(QStringLiteral(
        "select r.constname as Nome, r.tabname as Tabela, k.colname as Coluna, r.reftabname as TabelaRef, k2.colname as ColunaRef, "
        "k.colseq as Posicao, r.deleterule as RegraDelete from syscat.references r join syscat.tables t on t.tabname = r.tabname join "
        "syscat.keycoluse k on k.constname = r.constname and r.tabname = k.tabname join syscat.keycoluse k2 on k2.constname = "
        "r.refkeyname and r.reftabname = k2.tabname and k.colseq = k2.colseq where t.type = 'T' and t.tabschema = 'DBSM'  order by "
        "r.tabname, r.constname, k.colseq "));
    ASSERT_EQ(fk.count(), 1);
    EXPECT_EQ(fk.text(0, QStringLiteral("REGRADELETE")), QStringLiteral("C"));
    EXPECT_EQ(fk.text(0, QStringLiteral("COLUNAREF")), QStringLiteral("COD"));
    const ResultTable indexes = read(QStringLiteral(
        "select i.indname as Nome,i.tabname as Tabela, c.colname as Coluna, i.uniquerule as Unico, c.colseq as Posicao from "
        "syscat.indexes i join syscat.indexcoluse c on c.indname = i.indname where i.tabschema = 'DBSM' and i.uniquerule <> 'P' order "
        "by i.tabname, i.indname, i.uniquerule, c.colseq"));
    EXPECT_EQ(column(indexes, "NOME"),
              (QStringList{QStringLiteral("IX_PEDIDOS_VALOR"), QStringLiteral("IX_PEDIDOS_VALOR"), QStringLiteral("UK_PEDIDOS_NUMERO")}));
    EXPECT_EQ(indexes.text(2, QStringLiteral("UNICO")), QStringLiteral("U"));
    const ResultTable checks = read(QStringLiteral(
        "select c.tabname as Tabela, c.constname as Nome, c.text as Condicao from syscat.checks c join syscat.tables t on t.tabname = "
        "c.tabname and t.type = 'T' where c.tabschema = 'DBSM' and t.tabschema = 'DBSM' order by c.tabname, c.constname"));
    EXPECT_EQ(checks.count(), 2);
    // Another user's schema has none of these objects.
    EXPECT_TRUE(read(QStringLiteral("select tabname from syscat.tables where tabschema = 'OUTRO'")).isEmpty());
}

// The quick test on a statement's text never misses a catalog name that the token test finds,
// in any case, qualified or quoted, with or without text beyond ASCII; plain statements pass.
TEST(CatalogMention, TheTextTestNeverMissesWhatTheTokenTestFinds)
{
    using embedded::mayMentionCatalog;
    using embedded::mentionsCatalog;
    using embedded::tokenize;
    const QStringList mentioning = {
        QStringLiteral("SELECT * FROM USER_TABLES"),
        QStringLiteral("select column_name from all_tab_columns where owner = 'x'"),
        QStringLiteral("SELECT * FROM SYSCAT_TABLES WHERE TABNAME = 'Ação'"),
        QStringLiteral("SELECT 1 FROM \"information_schema_columns\""),
        QStringLiteral("SELECT name FROM sysobjects"),
        QStringLiteral("SELECT * FROM SysFiles WHERE x = 'ü'"),
        QStringLiteral("SELECT * FROM Tivra_Emu_Columns"),
        QStringLiteral("SELECT * FROM sys_x, y WHERE d = 'çã'"),
        QStringLiteral("SELECT * FROM main.user_tables"),
        QStringLiteral("SELECT * FROM [SYS_X]"),
        QStringLiteral("SELECT a,ALL_USERS.b FROM(ALL_USERS)"),
        QStringLiteral("SELECT 1USER_TABLES"),
    };
    for (const QString &text : mentioning) {
        EXPECT_TRUE(mentionsCatalog(tokenize(text))) << text.toStdString();
        EXPECT_TRUE(mayMentionCatalog(text)) << text.toStdString();
    }
    const QStringList plain = {
        QStringLiteral("INSERT INTO CATALOGO_COLUNAS (ID_CATALOGO_COLUNA, NOME_COLUNA) VALUES (1, 'Coluna d''Ávila')"),
        QStringLiteral("UPDATE CATALOGO_TABCOL SET IND_NULO = 'S' WHERE ID_TABCOL = 3"),
        QStringLiteral("insert into mensagens (id_msg, descr_msg) values (1, 'sys')"),
    };
    for (const QString &text : plain) {
        EXPECT_FALSE(mentionsCatalog(tokenize(text))) << text.toStdString();
        EXPECT_FALSE(mayMentionCatalog(text)) << text.toStdString();
    }
    // A catalog name inside a string literal is no mention, but the text test may say it is.
    EXPECT_FALSE(mentionsCatalog(tokenize(QStringLiteral("INSERT INTO T VALUES ('USER_TABLES')"))));
    EXPECT_TRUE(mayMentionCatalog(QStringLiteral("INSERT INTO T VALUES ('USER_TABLES')")));
}
