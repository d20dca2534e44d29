// Stages 10 and 11 on the embedded transport of each vendor: the row-count threshold on both
// sides, systems created for new messages only, quotes and non-ASCII text, labels already there,
// failed rows counted, bad files, and the version tables.
#include "catalog/mensagens.h"
#include "catalogfixture.h"
#include "db/versiontables.h"

#include <gtest/gtest.h>

using namespace tivra;
using testsupport::CatalogSite;

namespace {

const QString kStage10 = QStringLiteral("10. Catálogo de Mensagens");
const QString kStage11 = QStringLiteral("11. Catálogo de Rótulos");

QString mensagens(const QString &rows)
{
    return QString::fromUtf8(testsupport::kMensagensHeader) + rows;
}

QString rotulos(const QString &rows)
{
    return QString::fromUtf8(testsupport::kRotulosHeader) + rows;
}

class Mensagens : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        db = site.addDatabase(QStringLiteral("DB1"), QLatin1String(GetParam()));
        site.session.package.existMsg = true;
        site.session.package.existRotulo = true;
    }
    qint64 status(const QString &table)
    {
        const ResultTable t = site.query(db, QStringLiteral("SELECT STATUS FROM ") + table + QStringLiteral(" WHERE VERSAO_PACK = '1.0.001'"));
        return t.isEmpty() ? -1 : t.integer(0, QStringLiteral("STATUS"));
    }
    void addMessage(int key, int system)
    {
        site.exec(db, QStringLiteral("INSERT INTO MENSAGENS (ID_MSG, TIPO_MSG, DESCR_MSG, ID_SISTEMA) VALUES (%1, 'E', 'antiga', %2)")
                          .arg(key)
                          .arg(system));
    }
    bool logbookHas(const QString &text) const { return site.session.logbook.contains(text); }
    CatalogSite site;
    int db = 0;
};

}  // namespace

TEST_P(Mensagens, AnEmptyTableReceivesEveryMessageWithItsSystemsAndQuotesIntact)
{
    site.putPackageFile(kMensagensFile,
                        mensagens(QStringLiteral("3,2,\"F'N\",\"Finanças d'Oeste\",\"FIN'01\",\"CK_'X'\",\"Valor inválido; tente 'outro'\","
                                                 "\"Linha 1\nLinha 2 – ação\"\n"
                                                 "1,1,CAD,Cadastros,CAD001,PK_CLIENTES,Cliente já existe.,\n"
                                                 "2,1,CAD,Cadastros,CAD002,,Outro,Detalhe\n0,1,CAD,Cadastros,CAD000,,Zero,\n")));
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.count(db, QStringLiteral("SISTEMAS")), 2);
    const ResultTable fin = site.query(db, QStringLiteral("SELECT * FROM SISTEMAS WHERE ID_SISTEMA = 2"));
    EXPECT_EQ(fin.text(0, QStringLiteral("COD_SISTEMA")), QStringLiteral("F'N"));
    EXPECT_EQ(fin.text(0, QStringLiteral("NOME_SISTEMA")), QStringLiteral("Finanças d'Oeste"));
    // ID_MSG above 0, in ascending order, under new keys 1, 2, 3.
    const ResultTable rows = site.query(db, QStringLiteral("SELECT * FROM MENSAGENS ORDER BY ID_MSG"));
    ASSERT_EQ(rows.count(), 3);
    EXPECT_EQ(rows.text(0, QStringLiteral("COD_MENSAGEM")), QStringLiteral("CAD001"));
    EXPECT_EQ(rows.integer(2, QStringLiteral("ID_MSG")), 3);
    EXPECT_EQ(rows.text(2, QStringLiteral("DESCR_MSG")), QStringLiteral("Valor inválido; tente 'outro'"));
    EXPECT_EQ(rows.text(2, QStringLiteral("DETALHES")), QStringLiteral("Linha 1\nLinha 2 – ação"));
    EXPECT_EQ(rows.text(2, QStringLiteral("COD_MENSAGEM")), QStringLiteral("FIN'01"));
    EXPECT_EQ(rows.text(2, QStringLiteral("NOME_CONSTRAINT")), QStringLiteral("CK_'X'"));
    EXPECT_EQ(rows.text(2, QStringLiteral("TIPO_MSG")), QStringLiteral("E"));
    EXPECT_EQ(rows.integer(2, QStringLiteral("ID_SISTEMA")), 2);
    EXPECT_EQ(site.rows(kStage10), QStringList({QStringLiteral("Atualizando Mensagens no banco \"DB1\"..."),
                                                QStringLiteral("     3 mensagem(ns) atualizada(s) com sucesso!")}));
    EXPECT_TRUE(logbookHas(QStringLiteral("\r\n*** ATUALIZAÇÃO DE MENSAGENS (Banco: DB1)")));
    EXPECT_TRUE(logbookHas(QStringLiteral("- 3 mensagem(ns) foram atualizadas.")));
    EXPECT_EQ(status(kVsPackMsg), 2);
}

TEST_P(Mensagens, TheThresholdIsTheRowCountAndOnlyNewSystemsAreCreated)
{
    // Two rows, the highest key 10; systems 1 and 4 exist (3 does not).
    site.exec(db, QStringLiteral("INSERT INTO SISTEMAS (ID_SISTEMA, COD_SISTEMA) VALUES (1, 'A')"));
    site.exec(db, QStringLiteral("INSERT INTO SISTEMAS (ID_SISTEMA, COD_SISTEMA) VALUES (4, 'D')"));
    addMessage(1, 1);
    addMessage(10, 4);
    site.putPackageFile(kMensagensFile, mensagens(QStringLiteral("1,1,A,A,M1,,um,\n2,4,D,D,M2,,dois,\n3,5,E,Eco,M3,,três,\n"
                                                                 "4,6,F,Foxtrot,M4,,quatro,\n5,6,F,Foxtrot,M5,,cinco,\n"
                                                                 "6,3,C,Charlie,M6,,seis,\n")));
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    // ID_MSG 2 equals the count: not inserted; 3 to 6 are, under keys 11 to 14.
    EXPECT_EQ(site.count(db, QStringLiteral("MENSAGENS")), 6);
    EXPECT_EQ(site.count(db, QStringLiteral("MENSAGENS"), QStringLiteral("COD_MENSAGEM = 'M2'")), 0);
    EXPECT_EQ(site.count(db, QStringLiteral("MENSAGENS"), QStringLiteral("ID_MSG BETWEEN 11 AND 14")), 4);
    EXPECT_EQ(site.query(db, QStringLiteral("SELECT ID_SISTEMA FROM SISTEMAS ORDER BY ID_SISTEMA")).count(), 4);  // 1, 4, 5, 6
    EXPECT_EQ(site.count(db, QStringLiteral("SISTEMAS"), QStringLiteral("ID_SISTEMA = 3")), 0);
    EXPECT_EQ(site.count(db, QStringLiteral("SISTEMAS"), QStringLiteral("ID_SISTEMA = 6 AND NOME_SISTEMA = 'Foxtrot'")), 1);
    EXPECT_EQ(status(kVsPackMsg), 2);

    // Up to date: the count is now 6, no row of the file is above it.
    site.session.package.ignorarVersao = true;
    site.session.status.clearRows();
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.rows(kStage10).value(1), QStringLiteral("     Todas as mensagens já estão atualizadas."));
    EXPECT_EQ(site.count(db, QStringLiteral("MENSAGENS")), 6);
}

TEST_P(Mensagens, FailedMessagesAreCountedAndTheSystemsFailureStopsTheCatalog)
{
    site.exec(db, QStringLiteral("DROP TABLE MENSAGENS"));
    site.exec(db, QStringLiteral("CREATE TABLE MENSAGENS (ID_MSG INTEGER NOT NULL PRIMARY KEY, TIPO_MSG CHAR(1), NOME_CONSTRAINT "
                                 "VARCHAR(60), DESCR_MSG VARCHAR(255), COD_MENSAGEM VARCHAR(20), DETALHES VARCHAR(1000), ID_SISTEMA "
                                 "INTEGER, COD_OPERADOR INTEGER, CONCORRENCIA INTEGER, DT_ALTERACAO DATE, HR_ALTERACAO DATE, "
                                 "CONSTRAINT CK_MSG_RUIM CHECK (COD_MENSAGEM <> 'RUIM'))"));
    site.putPackageFile(kMensagensFile, mensagens(QStringLiteral("1,1,A,A,RUIM,,um,\n2,1,A,A,BOA,,dois,\n3,1,A,A,RUIM,,três,\n"
                                                                 "4,1,A,A,RUIM,,quatro,\n")));
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.count(db, QStringLiteral("MENSAGENS")), 1);
    EXPECT_EQ(site.rows(kStage10).value(1), QStringLiteral("3 mensagens não foram atualizadas. Verifique o Log."));
    EXPECT_TRUE(logbookHas(QStringLiteral("     - Mensagens atualizadas, porém, houveram erros.")));
    EXPECT_GT(site.logCount(QStringLiteral("CK_MSG_RUIM")), 0) << site.logText().toStdString();
    EXPECT_EQ(status(kVsPackMsg), 1);

    // Without SISTEMAS the catalog stops before any message.
    site.exec(db, QStringLiteral("DELETE FROM MENSAGENS"));
    site.exec(db, QStringLiteral("DROP TABLE SISTEMAS"));
    site.session.status.clearRows();
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.rows(kStage10).value(1),
              QStringLiteral("Erro ao atualizar tabela de Sistemas. Atualização de Mensagens cancelada no banco \"DB1\"."));
    EXPECT_EQ(site.count(db, QStringLiteral("MENSAGENS")), 0);
}

TEST_P(Mensagens, BadFilesFailTheirCatalogAndTheOthersGoOn)
{
    // Messages: no file at all. Labels: without DESCR_HINT.
    site.putPackageFile(kRotulosFile, QStringLiteral("ID_ROTULO:i4,DESCR_ROTULO:string:100\n1,Código\n"));
    site.session.package.existRestrFunc = true;
    site.putPackageFile(QStringLiteral("RestFuncionalidade.cds"), QString::fromUtf8(testsupport::kRestrHeader) +
                                                                      QStringLiteral("R1,Um,S\n"));
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.rows(kStage10).value(1), QStringLiteral("     Arquivo de mensagens é inválido ou está corrompido."));
    EXPECT_GT(site.logCount(QStringLiteral("Mensagens.cds")), 0);
    EXPECT_EQ(site.rows(kStage11).value(1), QStringLiteral("     Arquivo de rótulos é inválido ou está corrompido."));
    EXPECT_GT(site.logCount(QStringLiteral("\"DESCR_HINT\"")), 0);
    EXPECT_EQ(status(kVsPackMsg), -1);
    EXPECT_EQ(status(kVsPackRotulo), -1);
    EXPECT_EQ(site.count(db, QStringLiteral("RESTRICOES")), 1);  // the run went on

    // An empty file and one whose rows are all deleted: nothing new, complete.
    site.putPackageFile(kMensagensFile, mensagens(QString()));
    site.putPackageFile(kRotulosFile, QStringLiteral("@RowState,") + rotulos(QStringLiteral("2,1,Código,\n")));
    site.session.status.clearRows();
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.rows(kStage10).value(1), QStringLiteral("     Todas as mensagens já estão atualizadas."));
    EXPECT_EQ(site.rows(kStage11).value(1), QStringLiteral("     Todos os rótulos já estão atualizados."));
    EXPECT_EQ(status(kVsPackMsg), 2);
    EXPECT_EQ(status(kVsPackRotulo), 2);
}

TEST_P(Mensagens, LabelsAboveTheCountAreAddedAndThoseThereAreLeft)
{
    site.exec(db, QStringLiteral("INSERT INTO CATALOGO_ROTULOS (ID_ROTULO, DESCR_ROTULO) VALUES (7, 'Já existe')"));
    site.putPackageFile(kRotulosFile, rotulos(QStringLiteral("1,Primeiro,\n3,\"Rótulo d'Ávila; 'x'\",\"Dica \"\"ok\"\"\"\n2,Segundo,Dica\n")));
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    const ResultTable rows = site.query(db, QStringLiteral("SELECT * FROM CATALOGO_ROTULOS ORDER BY ID_ROTULO"));
    ASSERT_EQ(rows.count(), 3);
    EXPECT_EQ(rows.text(0, QStringLiteral("DESCR_ROTULO")), QStringLiteral("Já existe"));
    EXPECT_EQ(rows.integer(1, QStringLiteral("ID_ROTULO")), 8);
    EXPECT_EQ(rows.text(1, QStringLiteral("DESCR_ROTULO")), QStringLiteral("Segundo"));
    EXPECT_EQ(rows.text(2, QStringLiteral("DESCR_ROTULO")), QStringLiteral("Rótulo d'Ávila; 'x'"));
    EXPECT_EQ(rows.text(2, QStringLiteral("DESCR_HINT")), QStringLiteral("Dica \"ok\""));
    EXPECT_EQ(site.rows(kStage11), QStringList({QStringLiteral("Atualizando Rótulos no banco \"DB1\"..."),
                                                QStringLiteral("2 rótulo(s) atualizado(s) com sucesso!")}));
    EXPECT_TRUE(logbookHas(QStringLiteral("- 2 rótulo(s) atualizado(s).")));
    EXPECT_EQ(status(kVsPackRotulo), 2);

    site.session.package.ignorarVersao = true;
    site.session.logbook.clear();
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_ROTULOS")), 3);
    EXPECT_TRUE(logbookHas(QStringLiteral("- Não houve alteração.")));
}

// Each message and each label inserted is counted for the progress shown, under its stage, and
// each counting ends with its catalog.
TEST_P(Mensagens, MessagesAndLabelsAreCountedForTheProgress)
{
    site.putPackageFile(kMensagensFile, mensagens(QStringLiteral("1,1,CAD,Cadastros,CAD001,,Um,\n2,1,CAD,Cadastros,CAD002,,Dois,\n")));
    site.putPackageFile(kRotulosFile, rotulos(QStringLiteral("1,Primeiro,\n2,Segundo,\n3,Terceiro,\n")));
    QStringList reports;
    QObject::connect(&site.session.status, &StatusLog::progressReported,
                     [&](const QString &stage, qint64 done, qint64 total, ProgressUnit unit) {
                         reports << stage + QLatin1Char('|') + progressText(done, total, unit);
                     });
    QObject::connect(&site.session.status, &StatusLog::progressEnded, [&] { reports << QStringLiteral("fim"); });
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(reports, QStringList({kStage10 + "|0 de 2 mensagens", kStage10 + "|1 de 2 mensagens", kStage10 + "|2 de 2 mensagens",
                                    "fim", kStage11 + "|0 de 3 rótulos", kStage11 + "|1 de 3 rótulos", kStage11 + "|2 de 3 rótulos",
                                    kStage11 + "|3 de 3 rótulos", "fim"}));
}

TEST_P(Mensagens, ADatabaseRefusedByTheVersionCheckGetsNothing)
{
    site.exec(db, QStringLiteral("INSERT INTO VS_PACK_MSG VALUES (1, '2.0.000', 2, '2024-01-15')"));
    site.exec(db, QStringLiteral("INSERT INTO VS_PACK_ROTULO VALUES (1, '2.0.000', 2, '2024-01-15')"));
    site.putPackageFile(kMensagensFile, mensagens(QStringLiteral("1,1,A,A,M1,,um,\n")));
    site.putPackageFile(kRotulosFile, rotulos(QStringLiteral("1,R,\n")));
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    EXPECT_EQ(site.count(db, QStringLiteral("MENSAGENS")), 0);
    EXPECT_EQ(site.count(db, QStringLiteral("SISTEMAS")), 0);
    EXPECT_EQ(site.count(db, QStringLiteral("CATALOGO_ROTULOS")), 0);
    EXPECT_EQ(status(kVsPackMsg), -1);
    EXPECT_EQ(status(kVsPackRotulo), -1);
    EXPECT_FALSE(site.rows(kStage10).contains(QStringLiteral("Atualizando Mensagens no banco \"DB1\"...")));
    EXPECT_EQ(site.session.logbook.count(QStringLiteral("- Não houve alteração.")), 2);
}

INSTANTIATE_TEST_SUITE_P(Vendors, Mensagens, ::testing::Values("DB2", "ORACLE", "MSSQL"));
