// Stage 09 on the embedded transport of each vendor: only items above the database's highest are
// added, a structured table the database lacks comes whole with its header, IND_FIXO in the file
// and in the target in every combination, values with quotes, and the failures it counts.
#include "catalog/tabestrut.h"
#include "catalogfixture.h"
#include "db/versiontables.h"

#include <gtest/gtest.h>

using namespace tivra;
using testsupport::CatalogPackage;
using testsupport::CatalogSite;

namespace {

const QString kStage09 = QStringLiteral("09. Catálogo de Tabelas Estruturadas");

// A table of type 2 without columns (its import needs no more) carrying structured tables.
CatalogPackage withTable()
{
    CatalogPackage p;
    p.table(1, QStringLiteral("SIMPLES"), QStringLiteral("SIMPLES,123,2,,,N,,,,0,1\n"), QStringLiteral(""), QString(), QStringLiteral(""),
            QString());
    return p;
}

QString te(const QString &rows, const char *header = testsupport::kTEHeader)
{
    return QString::fromUtf8(header) + rows;
}

class TabEstrut : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override { db = site.addDatabase(QStringLiteral("DB1"), QLatin1String(GetParam())); }
    void run(const CatalogPackage &package)
    {
        site.install(package);
        EXPECT_TRUE(AtualizaCatalogo(site.session));
    }
    qint64 status()
    {
        const ResultTable t = site.query(db, QStringLiteral("SELECT STATUS FROM VS_PACK_TABESTRUT WHERE VERSAO_PACK = '1.0.001'"));
        return t.isEmpty() ? -1 : t.integer(0, QStringLiteral("STATUS"));
    }
    QString descr(int code, int item)
    {
        const ResultTable t = site.query(
            db, QStringLiteral("SELECT DESCRICAO FROM TAB_ESTRUTURADA WHERE COD_TABELA = %1 AND ITEM_TABELA = %2").arg(code).arg(item));
        return t.isEmpty() ? QStringLiteral("<none>") : t.text(0, QStringLiteral("DESCRICAO"));
    }
    bool logbookHas(const QString &text) const { return site.session.logbook.contains(text); }
    CatalogSite site;
    int db = 0;
};

}  // namespace

TEST_P(TabEstrut, OnlyItemsAboveTheHighestAreAddedAndASecondRunAddsNothing)
{
    // The database holds items 0, 1, 2 and 5 of structured table 123; the package 0 to 7, with
    // item 3 missing in the database and item 2 described otherwise.
    site.session.package.ignorarVersao = true;
    CatalogPackage p = withTable();
    p.structured(123, QStringLiteral("Tipos de Tabela"),
                 te(QStringLiteral("123,0,Tipos de Tabela,TT,N,N,S\n123,1,Cadastro,CAD,S,N,S\n123,2,Outra,CON,N,N,S\n"
                                   "123,3,Item três,T3,N,N,S\n123,4,Quatro,Q,N,N,S\n123,5,Movimento,MOV,N,N,S\n"
                                   "123,7,Sete,S7,N,N,N\n123,6,Seis,S6,N,S,S\n")));
    run(p);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 123")), 6);
    EXPECT_EQ(descr(123, 6), QStringLiteral("Seis"));
    EXPECT_EQ(descr(123, 7), QStringLiteral("Sete"));
    EXPECT_EQ(descr(123, 3), QStringLiteral("<none>"));
    EXPECT_EQ(descr(123, 2), QStringLiteral("Consulta"));
    const ResultTable seis = site.query(db, QStringLiteral("SELECT * FROM TAB_ESTRUTURADA WHERE COD_TABELA = 123 AND ITEM_TABELA = 6"));
    EXPECT_EQ(seis.text(0, QStringLiteral("SIGLA")), QStringLiteral("S6"));
    EXPECT_EQ(seis.text(0, QStringLiteral("IND_EXCLUSAO")), QStringLiteral("S"));
    EXPECT_EQ(seis.integer(0, QStringLiteral("COD_OPERADOR")), 1);
    EXPECT_EQ(seis.integer(0, QStringLiteral("CONCORRENCIA")), 0);
    EXPECT_FALSE(seis.isNull(0, QStringLiteral("DT_ALTERACAO")));
    EXPECT_EQ(site.rows(kStage09), QStringList({QStringLiteral("Atualizando 1 Tabela(s) Estruturada(s) no banco \"DB1\"..."),
                                                QStringLiteral("     Todas as Tabelas Estruturadas foram atualizadas com sucesso!")}));
    EXPECT_GT(site.logCount(QStringLiteral("Tab. Estruturada \"Tipos de Tabela\" atualizada com sucesso.")), 0);
    EXPECT_TRUE(logbookHas(QStringLiteral("\r\n*** ATUALIZAÇÃO DE TABELAS ESTRUTURADAS (Banco: DB1)")));
    EXPECT_TRUE(logbookHas(QStringLiteral("- Tabela estruturada \"Tipos de Tabela\" atualizada.")));
    EXPECT_EQ(status(), 2);

    site.session.logbook.clear();
    run(p);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 123")), 6);
    EXPECT_GT(site.logCount(QStringLiteral("Dados da tabela estruturada \"Tipos de Tabela\" estão consistentes.")), 0);
    EXPECT_TRUE(logbookHas(QStringLiteral("- Tabela Estrut.Tipos de Tabela: Não houve alteração.")));
}

TEST_P(TabEstrut, AMissingStructuredTableComesWholeAndOneWithOnlyItsHeaderGetsItsItems)
{
    // Quotes, a semicolon and text beyond ASCII arrive as the package has them.
    site.exec(db, QStringLiteral("INSERT INTO TAB_ESTRUTURADA (ID_TABELA, COD_TABELA, ITEM_TABELA, DESCRICAO) VALUES (50, 300, 0, "
                                 "'Só cabeçalho')"));
    CatalogPackage p = withTable();
    p.structured(200, QStringLiteral("Situação"),
                 te(QStringLiteral("200,1,\"Sant'Ana; DROP TABLE X\",\"S'A\",N,N,S\n200,0,Situação d'Água,SIT,N,N,S\n"
                                   "200,2,\"Ação € \"\"ok\"\"\",AC,N,N,S\n")));
    p.structured(300, QStringLiteral("Só cabeçalho"), te(QStringLiteral("300,0,Outro nome,H,N,N,S\n300,1,Um,U,S,N,S\n")));
    run(p);
    EXPECT_EQ(descr(200, 0), QStringLiteral("Situação d'Água"));
    EXPECT_EQ(descr(200, 1), QStringLiteral("Sant'Ana; DROP TABLE X"));
    EXPECT_EQ(descr(200, 2), QStringLiteral("Ação € \"ok\""));
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("SIGLA = 'S''A'")), 1);
    EXPECT_TRUE(logbookHas(QStringLiteral("- Tabela estruturada \"Situação d'Água\" atualizada.")));
    // The header is not duplicated, and keeps its description.
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 300")), 2);
    EXPECT_EQ(descr(300, 0), QStringLiteral("Só cabeçalho"));
    EXPECT_TRUE(logbookHas(QStringLiteral("- Tabela estruturada \"Só cabeçalho\" atualizada.")));
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA")), 4 + 3 + 2);
    EXPECT_EQ(status(), 2);
}

TEST_P(TabEstrut, IndFixoInTheFileAndInTheTargetInEveryCombination)
{
    // Target without the column: the file's IND_FIXO is not written.
    CatalogPackage p = withTable();
    p.structured(400, QStringLiteral("Com fixo"), te(QStringLiteral("400,0,Com fixo,F,N,N,S,\n400,1,Fixo,F1,N,N,S,S\n"), testsupport::kTEFixoHeader));
    run(p);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 400")), 2);
    EXPECT_EQ(status(), 2);

    // Target with the column: "N" without the file's field, the file's value with it.
    site.exec(db, QStringLiteral("ALTER TABLE TAB_ESTRUTURADA ADD IND_FIXO CHAR(1)"));
    site.session.package.ignorarVersao = true;
    CatalogPackage q = withTable();
    q.structured(400, QStringLiteral("Com fixo"), te(QStringLiteral("400,2,Fixo dois,F2,N,N,S,S\n"), testsupport::kTEFixoHeader));
    q.structured(500, QStringLiteral("Sem fixo"), te(QStringLiteral("500,0,Sem fixo,SF,N,N,S\n500,1,Livre,L,N,N,S\n")));
    run(q);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 400 AND ITEM_TABELA = 2 AND IND_FIXO = 'S'")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 500 AND IND_FIXO = 'N'")), 2);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 400 AND IND_FIXO IS NULL")), 2);
}

TEST_P(TabEstrut, FailedStructuredTablesAreCountedAndTheOthersGoOn)
{
    CatalogPackage p = withTable();
    // Good.
    p.structured(600, QStringLiteral("Boa"), te(QStringLiteral("600,0,Boa,B,N,N,S\n600,1,Um,U,N,N,S\n")));
    // Without SIGLA: fails before anything is written, the field named in the log.
    p.structured(601, QStringLiteral("Sem sigla"),
                 QStringLiteral("COD_TABELA:i4,ITEM_TABELA:i4,DESCRICAO:string:100,IND_DEFAULT:string:1,IND_EXCLUSAO:string:1,"
                                "IND_ATIVO:string:1\n601,0,Sem sigla,N,N,S\n"));
    // Every row deleted: no visible row.
    p.structured(602, QStringLiteral("Apagada"), QStringLiteral("@RowState,") + te(QStringLiteral("2,602,0,Apagada,A,N,N,S\n")));
    // One item the database refuses (IND_ATIVO outside its check): the others are written.
    p.structured(603, QStringLiteral("Meio"), te(QStringLiteral("603,0,Meio,M,N,N,S\n603,1,Recusado,R,N,N,X\n603,2,Aceito,A,N,N,N\n")));
    // No file at all.
    p.structured(604, QStringLiteral("Sem arquivo"), QString());
    run(p);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 600")), 2);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA IN (601, 602, 604)")), 0);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 603")), 2);
    EXPECT_GT(site.logCount(QStringLiteral("\"SIGLA\"")), 0) << site.logText().toStdString();
    EXPECT_EQ(site.logCount(QStringLiteral("Dados da Tabela Estruturada são inválidos")), 2);
    EXPECT_GT(site.logCount(QStringLiteral("TE1_604.cds")), 0);
    EXPECT_GT(site.logCount(QStringLiteral("1 item da tabela estruturada \"Meio\" não foi atualizado.")), 0);
    EXPECT_TRUE(logbookHas(QStringLiteral("- Tabela estruturada \"Meio\" atualizada com erro.")));
    EXPECT_EQ(site.rows(kStage09).value(1), QStringLiteral("     4 tabelas estruturadas não foram atualizadas."));
    EXPECT_EQ(status(), 1);
}

TEST_P(TabEstrut, ADatabaseRefusedByTheVersionCheckIsNotWritten)
{
    site.exec(db, QStringLiteral("INSERT INTO VS_PACK_TABESTRUT VALUES (1, '2.0.000', 2, '2024-01-15')"));
    CatalogPackage p = withTable();
    p.structured(700, QStringLiteral("Nova"), te(QStringLiteral("700,0,Nova,N,N,N,S\n")));
    run(p);
    EXPECT_EQ(site.count(db, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 700")), 0);
    EXPECT_EQ(status(), -1);
    EXPECT_EQ(site.session.logbook.count(QStringLiteral("- Não houve alteração.")), 1);
}

TEST_P(TabEstrut, TheInsertStatementHasTheTwelveOrThirteenColumns)
{
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, db));
    const QString with = GetSqlInsertTabEstrut(conn, 9, 3, QStringLiteral("d'x"), QStringLiteral("S"), QStringLiteral("N"),
                                               QStringLiteral("N"), QStringLiteral("S"), QStringLiteral("F"), true);
    EXPECT_TRUE(with.startsWith(QStringLiteral("INSERT INTO TAB_ESTRUTURADA (ID_TABELA, COD_TABELA, ITEM_TABELA, DESCRICAO, SIGLA, "
                                               "IND_DEFAULT, IND_EXCLUSAO, IND_ATIVO, IND_FIXO, COD_OPERADOR, CONCORRENCIA, "
                                               "DT_ALTERACAO, HR_ALTERACAO) VALUES (7, 9, 3, 'd''x', 'S', 'N', 'N', 'S', 'F', 1, 0, ")))
        << with.toStdString();
    const QString without = GetSqlInsertTabEstrut(conn, 9, 3, QStringLiteral("d"), QStringLiteral("S"), QStringLiteral("N"),
                                                  QStringLiteral("N"), QStringLiteral("S"), QStringLiteral("F"), false);
    EXPECT_TRUE(without.contains(QStringLiteral("IND_ATIVO, COD_OPERADOR")));
    EXPECT_TRUE(without.contains(QStringLiteral("'S', 1, 0, ")));
    EXPECT_FALSE(without.contains(QStringLiteral("'F'")));
}

INSTANTIATE_TEST_SUITE_P(Vendors, TabEstrut, ::testing::Values("DB2", "ORACLE", "MSSQL"));
