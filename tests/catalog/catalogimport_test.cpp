// The table catalog stage on the embedded transport of each vendor: new tables, a second import
// that changes nothing, changed columns, links and components, the failures the stage reports,
// the version check, and a rerun that completes what a failed run left.
#include "catalog/catalogimport.h"
#include "catalogfixture.h"
#include "db/versiontables.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::CatalogPackage;
using testsupport::CatalogSite;

namespace {

const QString kStage07 = QStringLiteral("07. Catálogo de Tabelas");
const QString kStage09 = QStringLiteral("09. Catálogo de Tabelas Estruturadas");

// CLIENTES: a table of type 1 (with a component); PEDIDOS: type 2, sharing the column NOME; a
// table and a column whose names hold a single quote.
CatalogPackage samplePackage()
{
    CatalogPackage p;
    p.table(1, QStringLiteral("CLIENTES"),
            QStringLiteral("CLIENTES,123,1,\"Cliente d'Ávila\",Clientes,N,,\"SELECT * FROM CLIENTES WHERE NOME <> 'x'\",,0,1\n"),
            QStringLiteral("10,ID_CLIENTE,Código,S,124,1,124,1\n11,NOME,\"Nome d'Ávila\",S,124,1,124,1\n"),
            QStringLiteral("CadClientes,Cadastro de Clientes\n"),
            QStringLiteral("100,10,CLIENTES,ID_CLIENTE,10,0,1,1,,,,124,1,Código,N,S,S,N,N,dica\n"
                           "101,11,CLIENTES,NOME,60,0,2,,,,,124,1,\"Nome d'Ávila\",S,S,N,N,S,\n"),
            QStringLiteral("100,S,S,1\n101,S,N,2\n"));
    p.table(2, QStringLiteral("PEDIDOS"), QStringLiteral("PEDIDOS,123,2,Pedido,\"\",N,,,,0,1\n"),
            QStringLiteral("20,ID_PEDIDO,,S,124,1,,\n11,NOME,Nome,S,124,1,124,1\n"), QString(),
            QStringLiteral("200,20,PEDIDOS,ID_PEDIDO,10,2,1,1,,,,124,1,Pedido,N,S,S,N,N,\n"
                           "201,11,PEDIDOS,NOME,60,0,2,,,,,124,1,Nome,S,S,N,N,S,\n"),
            QString());
    p.table(3, QStringLiteral("TAB'ASPAS"), QStringLiteral("TAB'ASPAS,123,2,,,N,,,,0,1\n"),
            QStringLiteral("30,COL'ASPAS,\"d'x\",S,124,1,124,1\n"), QString(),
            QStringLiteral("300,30,TAB'ASPAS,COL'ASPAS,5,0,1,,,,,124,1,\"d'x\",N,N,N,N,N,\n"), QString());
    return p;
}

class CatalogImport : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override { db = site.addDatabase(QStringLiteral("DB1"), QLatin1String(GetParam())); }
    bool logHas(const QString &text) const { return site.logCount(text) > 0; }
    bool logbookHas(const QString &text) const { return site.session.logbook.contains(text); }
    qint64 status(const QString &table)
    {
        const ResultTable t = site.query(db, QStringLiteral("SELECT STATUS FROM ") + table + QStringLiteral(" WHERE VERSAO_PACK = '1.0.001'"));
        return t.isEmpty() ? -1 : t.integer(0, QStringLiteral("STATUS"));
    }
    void run(const CatalogPackage &package)
    {
        site.install(package);
        EXPECT_TRUE(AtualizaCatalogo(site.session));
    }
    CatalogSite site;
    int db = 0;
};

}  // namespace

// Each table of the catalog is counted for the progress shown, under stage 07, and the counting
// ends with the database.
TEST_P(CatalogImport, TablesAreCountedForTheProgress)
{
    QStringList reports;
    QObject::connect(&site.session.status, &StatusLog::progressReported,
                     [&](const QString &stage, qint64 done, qint64 total, ProgressUnit unit) {
                         if (stage == kStage07)
                             reports << progressText(done, total, unit);
                     });
    int ends = 0;
    QObject::connect(&site.session.status, &StatusLog::progressEnded, [&] { ++ends; });
    run(samplePackage());
    EXPECT_EQ(reports, QStringList({"0 de 3 tabelas", "1 de 3 tabelas", "2 de 3 tabelas", "3 de 3 tabelas"}));
    EXPECT_GE(ends, 1);
    EXPECT_FALSE(site.session.status.progressActive());
}

TEST_P(CatalogImport, NewTablesColumnsLinksAndComponentIntoAnEmptyCatalog)
{
    run(samplePackage());
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABELAS")), 3);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_COLUNAS")), 4);  // NOME once for both tables
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL")), 5);
    EXPECT_EQ(site.count(db, QStringLiteral("COMPONENTES")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP")), 2);

    // Texts with single quotes arrive whole; the query text is stored as the package has it.
    const ResultTable t = site.query(db, QStringLiteral("SELECT * FROM CATALOGO_TABELAS WHERE NOME_TABELA = 'CLIENTES'"));
    ASSERT_EQ(t.count(), 1);
    EXPECT_EQ(t.text(0, QStringLiteral("DESCR_TABELA")), QStringLiteral("Cliente d'Ávila"));
    EXPECT_EQ(t.text(0, QStringLiteral("TEXTO_CONSULTA")), QStringLiteral("SELECT * FROM CLIENTES WHERE NOME <> 'x'"));
    EXPECT_TRUE(t.isNull(0, QStringLiteral("NUM_NIVEIS")));
    EXPECT_TRUE(t.isNull(0, QStringLiteral("ID_TABELA_BASE")));
    EXPECT_EQ(t.integer(0, QStringLiteral("COD_OPERADOR")), 1);
    const ResultTable pedidos = site.query(db, QStringLiteral("SELECT * FROM CATALOGO_TABELAS WHERE NOME_TABELA = 'PEDIDOS'"));
    EXPECT_EQ(pedidos.text(0, QStringLiteral("DESCR_TABELA_PL")), QStringLiteral("PEDIDOS"));  // empty: the name
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_COLUNAS"), QStringLiteral("NOME_COLUNA = 'COL''ASPAS' AND DESCR_COLUNA = 'd''x'")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_COLUNAS"), QStringLiteral("NOME_COLUNA = 'ID_PEDIDO' AND DESCR_COLUNA = 'ID_PEDIDO' "
                                                                                "AND TIPO_DADO_INT_ITEM IS NULL")),
              1);

    const ResultTable comp = site.query(db, QStringLiteral("SELECT * FROM COMPONENTES"));
    EXPECT_EQ(comp.text(0, QStringLiteral("NOME_COMPONENTE")), QStringLiteral("CadClientes"));
    EXPECT_EQ(comp.text(0, QStringLiteral("MAQUINA_SERVIDORA")), QStringLiteral("-"));
    EXPECT_EQ(comp.integer(0, QStringLiteral("TIPO_COMP_TAB")), 1103);
    EXPECT_EQ(comp.integer(0, QStringLiteral("TIPO_COMP_ITEM")), 6);
    // Links: ESCALA 0 inserted as NULL, a scale as itself, IND_LOG "N".
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL"), QStringLiteral("ESCALA IS NULL AND IND_LOG = 'N'")), 4);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL"), QStringLiteral("ESCALA = 2 AND ORDEM_CHAVE_LOGICA = 1")), 1);
    // The component links point at the links of CLIENTES.
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP A, CATALOGO_TABCOL B, CATALOGO_TABELAS C"),
                         QStringLiteral("A.ID_TABCOL = B.ID_TABCOL AND B.ID_CATALOGO_TABELA = C.ID_CATALOGO_TABELA AND "
                                        "C.NOME_TABELA = 'CLIENTES' AND A.ID_COMPONENTE = ") +
                             comp.text(0, QStringLiteral("ID_COMPONENTE"))),
              2);

    EXPECT_EQ(site.rows(kStage07), QStringList({QStringLiteral("Atualizando 3 Catálogos no banco \"DB1\"..."),
                                                QStringLiteral("     Todos os Catálogos de Tabelas foram atualizados com sucesso!")}));
    EXPECT_TRUE(logbookHas(QStringLiteral("\r\n*** ATUALIZAÇÃO DE CATALOGO DE TABELAS (Banco: DB1)")));
    EXPECT_TRUE(logbookHas(QStringLiteral("- Cadastro CLIENTES atualizada no catálogo com sucesso! Corrigidos 1 registros em "
                                          "CATALOGO_TABELAS, 1 em COMPONENTES, 2 EM CATALOGO_COLUNAS, 2 em CATALOGO_TABCOL e 2 em "
                                          "CATALOGO_TABCOMP!")))
        << site.session.logbook.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(logbookHas(QStringLiteral("- \"PEDIDOS\" atualizada no catálogo com sucesso! Corrigidos 1 registros em CATALOGO_TABELAS, "
                                          "1 em CATALOGO_COLUNAS e 2 em CATALOGO_TABCOL!")));
    EXPECT_EQ(status(kVsPackCatalogo), 2);
    // No structured tables in the package: stage 09 is complete too.
    EXPECT_EQ(status(kVsPackTabEstrut), 2);
    EXPECT_FALSE(QFileInfo::exists(catalogFolder(site.session)));
}

TEST_P(CatalogImport, TheSamePackageTwiceChangesNothingTheSecondTime)
{
    site.session.package.ignorarVersao = true;
    run(samplePackage());
    const qint64 links = site.count(db, QStringLiteral("CATALOGO_TABCOL"));
    site.session.logbook.clear();
    run(samplePackage());
    EXPECT_TRUE(logbookHas(QStringLiteral("- Cadastro CLIENTES está consistente e não foi necessário atualizá-la.")))
        << site.session.logbook.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(logbookHas(QStringLiteral("- Consulta PEDIDOS está consistente e não foi necessário atualizá-la.")));
    EXPECT_TRUE(logbookHas(QStringLiteral("- Consulta TAB'ASPAS está consistente e não foi necessário atualizá-la.")));
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABELAS")), 3);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL")), links);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP")), 2);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro")), 0) << site.logText().toStdString();

    // Without the switch the version check skips the stage: the same version is complete.
    site.session.package.ignorarVersao = false;
    site.session.logbook.clear();
    run(samplePackage());
    EXPECT_TRUE(logbookHas(QStringLiteral("- Não houve alteração.")));
}

TEST_P(CatalogImport, ChangedColumnsAndTableAreUpdatedAndNewOnesInserted)
{
    site.session.package.ignorarVersao = true;
    run(samplePackage());
    CatalogPackage changed;
    changed.table(1, QStringLiteral("CLIENTES"),
                  QStringLiteral("CLIENTES,123,1,Outra descrição,Clientes,S,3,,7,0,2\n"),
                  QStringLiteral("10,ID_CLIENTE,Código,S,124,1,124,1\n11,NOME,Nome novo,N,124,2,124,1\n12,EMAIL,,S,124,1,124,1\n"),
                  QStringLiteral("CadClientes,Cadastro de Clientes\n"),
                  QStringLiteral("100,10,CLIENTES,ID_CLIENTE,10,0,1,1,,,,124,1,Código,N,S,S,N,N,dica\n"
                                 "101,11,CLIENTES,NOME,60,0,2,2,,,,124,1,Nome,S,S,N,N,S,\n"
                                 "102,12,CLIENTES,EMAIL,80,0,3,,,,,124,1,E-mail,S,S,N,N,N,\n"),
                  QStringLiteral("100,S,S,1\n101,N,N,2\n102,S,N,3\n"));
    site.session.logbook.clear();
    run(changed);
    EXPECT_TRUE(logbookHas(QStringLiteral("- Cadastro CLIENTES atualizada no catálogo com sucesso! Corrigidos 1 registros em "
                                          "CATALOGO_TABELAS, 0 em COMPONENTES, 2 EM CATALOGO_COLUNAS, 2 em CATALOGO_TABCOL e 2 em "
                                          "CATALOGO_TABCOMP!")))
        << site.session.logbook.join(QLatin1Char('\n')).toStdString();
    const ResultTable t = site.query(db, QStringLiteral("SELECT * FROM CATALOGO_TABELAS WHERE NOME_TABELA = 'CLIENTES'"));
    EXPECT_EQ(t.text(0, QStringLiteral("IND_ESTRUTURADO")), QStringLiteral("S"));
    EXPECT_EQ(t.integer(0, QStringLiteral("NUM_NIVEIS")), 3);
    EXPECT_EQ(t.integer(0, QStringLiteral("ID_TABELA_BASE")), 7);
    EXPECT_EQ(t.text(0, QStringLiteral("DESCR_TABELA")), QStringLiteral("Cliente d'Ávila"));  // descriptions are not updated
    const ResultTable nome = site.query(db, QStringLiteral("SELECT * FROM CATALOGO_COLUNAS WHERE NOME_COLUNA = 'NOME'"));
    EXPECT_EQ(nome.integer(0, QStringLiteral("TIPO_DADO_ITEM")), 2);
    EXPECT_EQ(nome.text(0, QStringLiteral("DESCR_COLUNA")), QStringLiteral("Nome novo"));
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL"), QStringLiteral("ORDEM_CHAVE_LOGICA = 2")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP"), QStringLiteral("IND_ARMAZENADO = 'N' AND ORDEM_COL_COMP = 2")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP")), 3);
}

TEST_P(CatalogImport, LinkToATableTheDatabaseDoesNotHaveIsSkipped)
{
    CatalogPackage p;
    p.table(1, QStringLiteral("CLIENTES"), QStringLiteral("CLIENTES,123,1,Cliente,Clientes,N,,,,0,1\n"),
            QStringLiteral("10,ID_CLIENTE,Código,S,124,1,124,1\n11,ID_REGIAO,Região,S,124,1,124,1\n"), QStringLiteral("CadClientes,\n"),
            QStringLiteral("100,10,CLIENTES,ID_CLIENTE,10,0,1,1,,,,124,1,Código,N,S,S,N,N,\n"
                           "101,11,REGIOES,ID_REGIAO,10,0,2,,,,,124,1,Região,S,S,N,N,N,\n"),
            QStringLiteral("100,S,S,1\n101,S,N,2\n"));
    run(p);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP"), QStringLiteral("ID_TABCOL <= 0")), 0);
    EXPECT_EQ(site.query(db, QStringLiteral("SELECT DESCR_COMPONENTE FROM COMPONENTES")).text(0, QStringLiteral("DESCR_COMPONENTE")),
              QStringLiteral("CadClientes"));
    EXPECT_EQ(status(kVsPackCatalogo), 2);
}

TEST_P(CatalogImport, ComponentTableWithoutItsComFileFailsThatTableOnly)
{
    CatalogPackage p = samplePackage();
    p.remove(QStringLiteral("Com1.cds"));
    site.session.cdsDbs.setValue(db, QStringLiteral("ALIAS"), QStringLiteral("DB1"));
    run(p);
    EXPECT_TRUE(logHas(QStringLiteral("Com1.cds")));  // the load-time line
    EXPECT_TRUE(logHas(QStringLiteral("Dados para importação do catálogo de componentes inválidos!")));
    EXPECT_TRUE(logHas(QStringLiteral("Erro ao atualizar a tabela \"CLIENTES\" no catálogo do sistema!")));
    EXPECT_TRUE(logbookHas(QStringLiteral("-Erro ao atualizar a tabela \"CLIENTES\" no catálogo do sistema!")));
    EXPECT_EQ(site.rows(kStage07), QStringList({QStringLiteral("Atualizando 3 Catálogos no banco \"DB1\"..."),
                                                QStringLiteral("     1 Catálogo de Tabela não foi atualizado. Veja o Log para mais detalhes."),
                                                QStringLiteral("     Arquivo de Catálogo foi exportado para atualização manual.")}));
    EXPECT_TRUE(QFileInfo::exists(site.session.pathLog + QStringLiteral("/CatalogoComErro/DB1.zip")));
    EXPECT_EQ(status(kVsPackCatalogo), 1);
    // The other tables were imported all the same; PEDIDOS needs no Com file.
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABELAS")), 3);
    EXPECT_EQ(site.count(db, QStringLiteral("COMPONENTES")), 0);
}

// A table without a component still needs its column and link files: one that is absent or
// cannot be read fails that table (its row, the export, status 1), never "a table without columns".
TEST_P(CatalogImport, AColumnOrLinkFileThatCouldNotBeLoadedFailsATableWithoutAComponent)
{
    const QString allDone = QStringLiteral("     Todos os Catálogos de Tabelas foram atualizados com sucesso!");
    const auto expectPedidosFailed = [&](const char *why) {
        SCOPED_TRACE(why);
        EXPECT_TRUE(logHas(QStringLiteral("Erro ao atualizar \"PEDIDOS\" no catálogo do sistema!")));
        EXPECT_TRUE(logbookHas(QStringLiteral("-Erro ao atualizar \"PEDIDOS\" no catálogo do sistema!")));
        EXPECT_FALSE(site.rows(kStage07).contains(allDone));
        EXPECT_EQ(site.rows(kStage07).value(1),
                  QStringLiteral("     1 Catálogo de Tabela não foi atualizado. Veja o Log para mais detalhes."));
        EXPECT_TRUE(QFileInfo::exists(site.session.pathLog + QStringLiteral("/CatalogoComErro/DB1.zip")));
        EXPECT_EQ(status(kVsPackCatalogo), 1);
        // The other tables were imported all the same.
        EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP")), 2);
        EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL"), QStringLiteral("ID_CATALOGO_TABELA = (SELECT ID_CATALOGO_TABELA "
                                                                                   "FROM CATALOGO_TABELAS WHERE NOME_TABELA = 'PEDIDOS')")),
                  0);
    };
    site.session.cdsDbs.setValue(db, QStringLiteral("ALIAS"), QStringLiteral("DB1"));
    {
        CatalogPackage p = samplePackage();
        p.remove(QStringLiteral("Col2.cds"));
        run(p);
        EXPECT_TRUE(logHas(QStringLiteral("Col2.cds")));  // the load-time line
        EXPECT_TRUE(logHas(QStringLiteral("Dados para importação do catálogo de colunas inválidos!!")));
        expectPedidosFailed("column file absent");
    }
    site.session.status.clearRows();
    site.session.logbook.clear();
    site.session.package.ignorarVersao = true;
    {
        CatalogPackage p = samplePackage();
        const QByteArray whole = writeBinaryPacket(packetFromCsv(QStringLiteral(
            "ID_CATALOGO_COLUNA:i4,NOME_COLUNA:string:50,DESCR_COLUNA:string:50,IND_COLUNA:string:1,TIPO_DADO_TAB:i4,"
            "TIPO_DADO_ITEM:i4,TIPO_DADO_INT_TAB:i4,TIPO_DADO_INT_ITEM:i4\n20,ID_PEDIDO,,S,124,1,,\n")));
        p.file(QStringLiteral("Col2.cds"), whole.left(whole.size() / 2));
        run(p);
        expectPedidosFailed("column file truncated");
    }
    site.session.status.clearRows();
    site.session.logbook.clear();
    {
        CatalogPackage p = samplePackage();
        p.remove(QStringLiteral("TCl2.cds"));
        run(p);
        EXPECT_TRUE(logHas(QStringLiteral("Dados para importação do catálogo de tabelas/colunas inválidos!")));
        expectPedidosFailed("link file absent");
    }
}

TEST_P(CatalogImport, AMissingFieldFailsOnlyThatTableWithItsName)
{
    CatalogPackage p = samplePackage();
    p.file(QStringLiteral("Col2.cds"), writeBinaryPacket(packetFromCsv(QStringLiteral("ID_CATALOGO_COLUNA:i4,NOME_COLUNA:string:50\n20,ID_PEDIDO\n"))));
    run(p);
    EXPECT_TRUE(logHas(QStringLiteral("\"DESCR_COLUNA\"")) || logHas(QStringLiteral("\"TIPO_DADO_ITEM\""))) << site.logText().toStdString();
    EXPECT_TRUE(logHas(QStringLiteral("Erro ao atualizar \"PEDIDOS\" no catálogo do sistema!")));
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP")), 2);  // CLIENTES complete
    EXPECT_EQ(status(kVsPackCatalogo), 1);
}

TEST_P(CatalogImport, ADatabaseWithANewerCatalogIsSkippedByTheVersionCheck)
{
    site.exec(db, QStringLiteral("INSERT INTO VS_PACK_CATALOGO VALUES (1, '2.0.000', 2, '2024-01-15')"));
    run(samplePackage());
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABELAS")), 0);
    EXPECT_TRUE(logbookHas(QStringLiteral("- Não houve alteração.")));
    EXPECT_EQ(site.rows(kStage07).size(), 1);
    EXPECT_TRUE(site.rows(kStage07).value(0).contains(QStringLiteral("versão superior"))) << site.rows(kStage07).join('|').toStdString();
    EXPECT_EQ(status(kVsPackTabEstrut), 2);  // stage 09 ran
}

TEST_P(CatalogImport, ARerunAfterAFailureHalfWayCompletesTheTableWithoutDuplicates)
{
    CatalogPackage broken = samplePackage();
    // The link file of CLIENTES lacks the link of NOME: the table fails after its columns and the
    // other link were written.
    broken.file(QStringLiteral("TCl1.cds"),
                writeBinaryPacket(packetFromCsv(QString::fromUtf8(testsupport::kTClHeader) +
                                                QStringLiteral("100,10,CLIENTES,ID_CLIENTE,10,0,1,1,,,,124,1,Código,N,S,S,N,N,dica\n"))));
    run(broken);
    EXPECT_EQ(status(kVsPackCatalogo), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("COMPONENTES")), 0);
    site.session.logbook.clear();
    run(samplePackage());  // the same version, unfinished: repeated
    EXPECT_EQ(status(kVsPackCatalogo), 2);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABELAS")), 3);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_COLUNAS")), 4);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL")), 5);
    EXPECT_EQ(site.count(db, QStringLiteral("COMPONENTES")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOMP")), 2);
}

// New keys continue from the highest key of each table, in the order of the inserts, as MAX + 1
// before every insert would give them; the highest key is read once per table for the whole
// stage, not once per row.
TEST_P(CatalogImport, NewKeysContinueFromTheHighestKeyReadingItOncePerTable)
{
    site.exec(db, QStringLiteral("INSERT INTO CATALOGO_TABELAS (ID_CATALOGO_TABELA, NOME_TABELA) VALUES (40, 'OUTRA')"));
    site.exec(db, QStringLiteral("INSERT INTO CATALOGO_COLUNAS (ID_CATALOGO_COLUNA, NOME_COLUNA) VALUES (7, 'OUTRA_COL')"));
    int maxReads = 0;
    DbConnection::setStatementObserver([&maxReads](const QString &statement, bool write, qint64) {
        if (!write && statement.contains(QStringLiteral("MAX(")))
            ++maxReads;
    });
    run(samplePackage());
    DbConnection::setStatementObserver({});
    EXPECT_EQ(maxReads, 5);  // CATALOGO_TABELAS, CATALOGO_COLUNAS, CATALOGO_TABCOL, COMPONENTES, CATALOGO_TABCOMP
    const auto keys = [&](const QString &select) {
        QStringList result;
        const ResultTable t = site.query(db, select);
        for (int r = 0; r < t.count(); ++r)
            result.append(t.text(r, QStringLiteral("K")) + QLatin1Char(':') + t.text(r, QStringLiteral("N")));
        return result.join(QLatin1Char(' '));
    };
    EXPECT_EQ(keys(QStringLiteral("SELECT ID_CATALOGO_TABELA AS K, NOME_TABELA AS N FROM CATALOGO_TABELAS ORDER BY 1")),
              QStringLiteral("40:OUTRA 41:CLIENTES 42:PEDIDOS 43:TAB'ASPAS"));
    EXPECT_EQ(keys(QStringLiteral("SELECT ID_CATALOGO_COLUNA AS K, NOME_COLUNA AS N FROM CATALOGO_COLUNAS ORDER BY 1")),
              QStringLiteral("7:OUTRA_COL 8:ID_CLIENTE 9:NOME 10:ID_PEDIDO 11:COL'ASPAS"));
    EXPECT_EQ(keys(QStringLiteral("SELECT ID_TABCOL AS K, ID_CATALOGO_COLUNA AS N FROM CATALOGO_TABCOL ORDER BY 1")),
              QStringLiteral("1:8 2:9 3:10 4:9 5:11"));
    EXPECT_EQ(keys(QStringLiteral("SELECT ID_TABCOMP AS K, ID_TABCOL AS N FROM CATALOGO_TABCOMP ORDER BY 1")), QStringLiteral("1:1 2:2"));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro")), 0) << site.logText().toStdString();
}

// The columns a table finds in the database are the same whether it reads its own names or uses
// the copy read once for the stage (not on SQL Server, whose collation decides): the lowest key
// of a name that is there twice, no other spelling of a name (the embedded SQL Server compares
// with case), and a column the previous table inserted.
TEST_P(CatalogImport, KnownColumnsMatchAsTheReadByNameWithOrWithoutTheSharedCopy)
{
    const bool sqlServer = QLatin1String(GetParam()) == QLatin1String("MSSQL");
    site.exec(db, QStringLiteral("INSERT INTO CATALOGO_COLUNAS (ID_CATALOGO_COLUNA, NOME_COLUNA, TIPO_DADO_ITEM, TIPO_DADO_INT_ITEM) "
                                 "VALUES (5, 'NOME', 1, 1)"));
    site.exec(db, QStringLiteral("INSERT INTO CATALOGO_COLUNAS (ID_CATALOGO_COLUNA, NOME_COLUNA, TIPO_DADO_ITEM, TIPO_DADO_INT_ITEM) "
                                 "VALUES (3, 'NOME', 1, 1)"));
    site.exec(db, QStringLiteral("INSERT INTO CATALOGO_COLUNAS (ID_CATALOGO_COLUNA, NOME_COLUNA, TIPO_DADO_ITEM, TIPO_DADO_INT_ITEM) "
                                 "VALUES (9, 'codigo ', 1, 1)"));
    const auto packets = [](int id, const QString &table) {
        TablePackets p;
        p.idTabela = id;
        p.nomeTabela = table;
        p.tab = packetFromCsv(QString::fromUtf8(testsupport::kTabHeader) + table + QStringLiteral(",123,2,T,T,N,,,,0,1\n"));
        p.col = packetFromCsv(QString::fromUtf8(testsupport::kColHeader) + QStringLiteral("1,NOME,Nome,S,124,1,124,1\n"
                                                                                         "2,CODIGO,Codigo,S,124,1,124,1\n"
                                                                                         "3,EXTRA,Extra,S,124,1,124,1\n"));
        p.tcl = packetFromCsv(QString::fromUtf8(testsupport::kTClHeader) +
                              QStringLiteral("11,1,%1,NOME,10,0,1,,,,,124,1,Nome,S,S,N,N,N,\n"
                                             "12,2,%1,CODIGO,10,0,2,,,,,124,1,Codigo,S,S,N,N,N,\n"
                                             "13,3,%1,EXTRA,10,0,3,,,,,124,1,Extra,S,S,N,N,N,\n")
                                  .arg(table));
        return p;
    };
    DbConnection connection(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(connection, db));
    EXPECT_TRUE(ImportarCatalogo(connection, packets(1, QStringLiteral("PRIMEIRA"))));  // reads its own names
    KnownColumns known;
    EXPECT_TRUE(ImportarCatalogo(connection, packets(2, QStringLiteral("SEGUNDA")), &known));
    EXPECT_EQ(known.loaded, !sqlServer);
    EXPECT_TRUE(ImportarCatalogo(connection, packets(3, QStringLiteral("TERCEIRA")), &known));
    const auto columnsOf = [&](const QString &table) {
        const ResultTable t = site.query(db, QStringLiteral("SELECT B.ID_CATALOGO_COLUNA AS K FROM CATALOGO_TABCOL B, CATALOGO_TABELAS C "
                                                            "WHERE B.ID_CATALOGO_TABELA = C.ID_CATALOGO_TABELA AND C.NOME_TABELA = '") +
                                                 table + QStringLiteral("' ORDER BY B.SEQUENCIA"));
        QStringList keys;
        for (int r = 0; r < t.count(); ++r)
            keys.append(t.text(r, QStringLiteral("K")));
        return keys.join(QLatin1Char(','));
    };
    const QString expected = QStringLiteral("3,10,11");
    EXPECT_EQ(columnsOf(QStringLiteral("PRIMEIRA")), expected);
    EXPECT_EQ(columnsOf(QStringLiteral("SEGUNDA")), expected);
    EXPECT_EQ(columnsOf(QStringLiteral("TERCEIRA")), expected);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_COLUNAS")), 5);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro")), 0) << site.logText().toStdString();
}

TEST_P(CatalogImport, WithoutCatalogInThePackageBothStagesAreIgnoredAndComplete)
{
    site.session.package.existCatalogo = false;
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.rows(kStage07), QStringList(QStringLiteral("Catálogo não incluído no pacote. Etapa ignorada no banco \"DB1\".")));
    EXPECT_EQ(site.rows(kStage09),
              QStringList(QStringLiteral("Tabelas Estruturadas não incluídas no pacote. Etapa ignorada no banco \"DB1\".")));
    EXPECT_EQ(status(kVsPackCatalogo), 2);
    EXPECT_EQ(status(kVsPackTabEstrut), 2);
    EXPECT_EQ(status(kVsPackMsg), 2);
    EXPECT_EQ(status(kVsPackRotulo), 2);
}

TEST_P(CatalogImport, AnArchiveThatIsNotAZipOrHoldsAFolderIsNotImported)
{
    for (int round = 0; round < 2; ++round) {
        site.install(samplePackage());
        const QString archive = site.session.workingFolder + QStringLiteral("/") + kCatalogArchiveName;
        if (round == 0) {
            QFile f(archive);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("isto não é um zip");
        } else {
            CatalogPackage withFolder = samplePackage();
            withFolder.file(QStringLiteral("sub/Tab1.cds"), QByteArray("x"));
            withFolder.writeArchive(archive);
        }
        site.session.status.clearRows();
        EXPECT_TRUE(AtualizaCatalogo(site.session));
        EXPECT_EQ(site.rows(kStage07), QStringList(QStringLiteral("Erro durante a leitura dos arquivos do Catálogo de Tabelas.")));
        EXPECT_EQ(site.rows(kStage09),
                  QStringList(QStringLiteral("Erro durante a leitura dos arquivos do Catálogo de Tabelas Estruturadas.")));
        EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABELAS")), 0);
        EXPECT_EQ(status(kVsPackCatalogo), -1);
    }
    EXPECT_TRUE(logHas(QStringLiteral("sub/Tab1.cds")));
}

INSTANTIATE_TEST_SUITE_P(Vendors, CatalogImport, ::testing::Values("DB2", "ORACLE", "MSSQL"));

TEST_P(CatalogImport, InvalidPacketsGiveTheirOwnLinesAndTheTableMessages)
{
    CatalogPackage p;
    // Two rows in the table file.
    p.table(1, QStringLiteral("DUAS"), QStringLiteral("DUAS,123,2,,,N,,,,0,1\nDUAS2,123,2,,,N,,,,0,1\n"), QStringLiteral(""), QString(),
            QStringLiteral(""), QString());
    // Type 1 with an empty column file; type 2 with an empty column file is fine.
    p.table(2, QStringLiteral("SEMCOLUNAS"), QStringLiteral("SEMCOLUNAS,123,1,,,N,,,,0,1\n"), QStringLiteral(""), QStringLiteral("C,\n"),
            QStringLiteral(""), QStringLiteral(""));
    p.table(3, QStringLiteral("VAZIA"), QStringLiteral("VAZIA,123,2,,,N,,,,0,1\n"), QStringLiteral(""), QString(), QStringLiteral(""),
            QString());
    // Type 6 without its component file.
    p.table(4, QStringLiteral("TIPO6"), QStringLiteral("TIPO6,123,6,,,N,,,,0,1\n"), QStringLiteral("40,C6,,S,124,1,124,1\n"), QString(),
            QStringLiteral("400,40,TIPO6,C6,5,0,1,,,,,124,1,,N,N,N,N,N,\n"), QStringLiteral("400,S,S,1\n"));
    // A link row whose column is not in the column file is never looked at.
    p.table(5, QStringLiteral("EXTRA"), QStringLiteral("EXTRA,123,2,,,N,,,,0,1\n"), QStringLiteral("50,C5,,S,124,1,124,1\n"), QString(),
            QStringLiteral("500,50,EXTRA,C5,5,0,1,,,,,124,1,,N,N,N,N,N,\n599,99,EXTRA,NAO_EXISTE,5,0,1,,,,,124,1,,N,N,N,N,N,\n"),
            QString());
    run(p);
    EXPECT_EQ(site.logCount(QStringLiteral("Dados para importação do catálogo de tabelas inválidos!")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro ao atualizar os dados no catálogo do sistema!")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("Dados para importação do catálogo de colunas inválidos!!")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro ao atualizar a tabela \"SEMCOLUNAS\" no catálogo do sistema!")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro ao atualizar \"Ulvara\" no catálogo do sistema!")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("\"VAZIA\" atualizada no catálogo com sucesso! Corrigidos 1 registros em CATALOGO_TABELAS, "
                                           "0 em CATALOGO_COLUNAS e 0 em CATALOGO_TABCOL!")),
              1);
    EXPECT_EQ(site.logCount(QStringLiteral("\"EXTRA\" atualizada no catálogo com sucesso! Corrigidos 1 registros em CATALOGO_TABELAS, "
                                           "1 em CATALOGO_COLUNAS e 1 em CATALOGO_TABCOL!")),
              1);
    EXPECT_EQ(site.rows(kStage07).value(1),
              QStringLiteral("     3 Catálogos de Tabelas não foram atualizados. Veja o Log para mais detalhes."));
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABELAS"), QStringLiteral("NOME_TABELA LIKE 'DUAS%'")), 0);
}

TEST_P(CatalogImport, AColumnWhoseOnlyDifferenceIsItsDescriptionIsNotRewritten)
{
    run(samplePackage());
    site.exec(db, QStringLiteral("UPDATE CATALOGO_COLUNAS SET DESCR_COLUNA = 'Mudada', COD_OPERADOR = 77 WHERE NOME_COLUNA = 'NOME'"));
    site.exec(db, QStringLiteral("UPDATE CATALOGO_TABCOL SET DESCR_COLUNA = 'Mudada', SEQUENCIA = 9"));
    site.exec(db, QStringLiteral("UPDATE CATALOGO_TABELAS SET DESCR_TABELA = 'Mudada'"));
    site.session.package.ignorarVersao = true;
    site.session.logbook.clear();
    run(samplePackage());
    EXPECT_TRUE(logbookHas(QStringLiteral("- Cadastro CLIENTES está consistente e não foi necessário atualizá-la.")));
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_COLUNAS"), QStringLiteral("DESCR_COLUNA = 'Mudada' AND COD_OPERADOR = 77")), 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL"), QStringLiteral("SEQUENCIA = 9")), 5);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABELAS"), QStringLiteral("DESCR_TABELA = 'Mudada'")), 3);
}

TEST_P(CatalogImport, ALinkRowOfAnotherTableIsWrittenInThatTable)
{
    run(samplePackage());
    // PEDIDOS lists the column NOME whose link row names CLIENTES: the link of CLIENTES is the one
    // looked up by name, and rewritten there when it differs.
    CatalogPackage p;
    p.table(2, QStringLiteral("PEDIDOS"), QStringLiteral("PEDIDOS,123,2,Pedido,\"\",N,,,,0,1\n"),
            QStringLiteral("20,ID_PEDIDO,,S,124,1,,\n11,NOME,Nome,S,124,1,124,1\n"), QString(),
            QStringLiteral("200,20,PEDIDOS,ID_PEDIDO,10,2,1,1,,,,124,1,Pedido,N,S,S,N,N,\n"
                           "201,11,CLIENTES,NOME,60,0,2,3,,,,124,1,Nome,S,S,N,N,S,\n"),
            QString());
    site.session.package.ignorarVersao = true;
    const qint64 links = site.count(db, QStringLiteral("CATALOGO_TABCOL"));
    site.exec(db, QStringLiteral("DELETE FROM CATALOGO_TABCOL WHERE ID_CATALOGO_TABELA = (SELECT ID_CATALOGO_TABELA FROM CATALOGO_TABELAS "
                                 "WHERE NOME_TABELA = 'PEDIDOS') AND ID_CATALOGO_COLUNA = (SELECT ID_CATALOGO_COLUNA FROM "
                                 "CATALOGO_COLUNAS WHERE NOME_COLUNA = 'NOME')"));
    run(p);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL")), links - 1);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_TABCOL A, CATALOGO_TABELAS B"),
                         QStringLiteral("A.ID_CATALOGO_TABELA = B.ID_CATALOGO_TABELA AND B.NOME_TABELA = 'CLIENTES' AND "
                                        "A.ORDEM_CHAVE_LOGICA = 3")),
              1);
    EXPECT_EQ(status(kVsPackCatalogo), 2);
}
