// Stage 08 on the embedded transport of each vendor: rows marked for export matched by exact
// code, the rows it reports, databases that cannot be read, and the hand-over to stage 12 with
// or without restrictions; and the order of every catalog stage in one run.
#include "catalog/restrfunc.h"
#include "catalogfixture.h"
#include "deploy/complus.h"

#include <gtest/gtest.h>

using namespace tivra;
using testsupport::CatalogPackage;
using testsupport::CatalogSite;

namespace {

const QString kStage08 = QStringLiteral("08. Restrições de Funcionalidade");

QString restricoes(const QString &rows)
{
    return QString::fromUtf8(testsupport::kRestrHeader) + rows;
}

class RestrFunc : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        db = site.addDatabase(QStringLiteral("DB1"), QLatin1String(GetParam()));
        site.session.package.existRestrFunc = true;
        site.session.package.componentes = {QStringLiteral("pkBrelum=Brenok.dll")};
        site.exec(db, QStringLiteral("INSERT INTO RESTRICOES (ID_RESTRICAO, COD_RESTRICAO, TIPO_RESTRICAO) VALUES (1, 'EXISTE', 'F')"));
        site.exec(db, QStringLiteral("INSERT INTO RESTRICOES (ID_RESTRICAO, COD_RESTRICAO, TIPO_RESTRICAO) VALUES (2, 'OUTRO_TIPO', 'R')"));
        site.exec(db, QStringLiteral("INSERT INTO RESTRICOES (ID_RESTRICAO, COD_RESTRICAO, TIPO_RESTRICAO) VALUES (3, NULL, 'F')"));
    }
    bool logbookHas(const QString &text) const { return site.session.logbook.contains(text); }
    CatalogSite site;
    int db = 0;
};

}  // namespace

TEST_P(RestrFunc, OnlyRowsMarkedForExportWithANewExactCodeAreInserted)
{
    site.putPackageFile(kRestrFuncFile,
                        restricoes(QStringLiteral("EXISTE,Já existe,S\nexiste,Minúscula,S\nNAO_EXPORTA,Não,N\nVAZIO_EXPORTAR,Sem marca,\n"
                                                  "\"   \",Só brancos,S\nOUTRO_TIPO,De outro tipo,S\n\"COM_BRANCO \",Com branco,S\n"
                                                  "DUPLA,\"Sant'Ana; 'x' – ação\",S\nDUPLA,Segunda vez,S\n\"D'X\",Aspas no código,S\n")));
    EXPECT_TRUE(AtualizaRestrFunc(site.session));
    const ResultTable rows = site.query(db, QStringLiteral("SELECT * FROM RESTRICOES WHERE ID_RESTRICAO > 3 ORDER BY ID_RESTRICAO"));
    QStringList codes;
    for (int r = 0; r < rows.count(); ++r)
        codes << rows.text(r, QStringLiteral("COD_RESTRICAO"));
    EXPECT_EQ(codes, QStringList({"existe", "OUTRO_TIPO", "COM_BRANCO ", "DUPLA", "DUPLA", "D'X"}));
    EXPECT_EQ(rows.integer(0, QStringLiteral("ID_RESTRICAO")), 4);
    EXPECT_EQ(rows.text(3, QStringLiteral("DESCR_RESTRICAO")), QStringLiteral("Sant'Ana; 'x' – ação"));
    EXPECT_EQ(rows.text(0, QStringLiteral("TIPO_RESTRICAO")), QStringLiteral("F"));
    EXPECT_EQ(rows.text(0, QStringLiteral("IND_TRAMITACAO")), QStringLiteral("S"));
    EXPECT_EQ(rows.integer(0, QStringLiteral("TIPO_DADO_TAB")), 124);
    EXPECT_EQ(rows.text(0, QStringLiteral("OPERADOR")), QStringLiteral("NOT IN"));
    EXPECT_EQ(rows.integer(0, QStringLiteral("COD_OPERADOR")), 1);
    EXPECT_EQ(rows.integer(0, QStringLiteral("CONCORRENCIA")), 0);
    EXPECT_EQ(site.rows(kStage08), QStringList(QStringLiteral("6 restrições de funcionalidade foram atualizadas.")));
    EXPECT_TRUE(logbookHas(QStringLiteral("\r\n*** ATUALIZAÇÃO DE RESTRIÇÕES DE FUNCIONALIDADE (Banco: DB1)")));
    EXPECT_TRUE(logbookHas(QStringLiteral("- 6 restrições de funcionalidade foram atualizadas.")));

    // A second run finds them all (DUPLA is in the database now).
    site.session.status.clearRows();
    site.session.logbook.clear();
    EXPECT_TRUE(AtualizaRestrFunc(site.session));
    EXPECT_EQ(site.count(db, QStringLiteral("RESTRICOES")), 9);
    EXPECT_EQ(site.rows(kStage08),
              QStringList(QStringLiteral("Todas as restrições de funcionalidade já estão consistentes. Ignorado da atualização.")));
    EXPECT_EQ(site.session.status.rows().back().group, kStageInicializandoPacotes);
    EXPECT_TRUE(logbookHas(QStringLiteral("Todas as restrições de funcionalidade já estão consistentes.")));
}

TEST_P(RestrFunc, FailuresUnreadableDatabasesAndFilesAreReportedAndComPlusStartsAnyway)
{
    site.session.package.componentes = {QStringLiteral("pkBrelum=Brenok.dll")};
    // Two refused rows (the database's check), one accepted.
    site.exec(db, QStringLiteral("DROP TABLE RESTRICOES"));
    site.exec(db, QStringLiteral("CREATE TABLE RESTRICOES (ID_RESTRICAO INTEGER NOT NULL PRIMARY KEY, COD_RESTRICAO VARCHAR(30), "
                                 "DESCR_RESTRICAO VARCHAR(255), TIPO_RESTRICAO CHAR(1), IND_TRAMITACAO CHAR(1), TIPO_DADO_TAB INTEGER, "
                                 "OPERADOR VARCHAR(20), COD_OPERADOR INTEGER, DT_ALTERACAO DATE, HR_ALTERACAO DATE, CONCORRENCIA "
                                 "INTEGER, CONSTRAINT CK_RESTR CHECK (DESCR_RESTRICAO <> 'ruim'))"));
    site.putPackageFile(kRestrFuncFile, restricoes(QStringLiteral("A,ruim,S\nB,boa,S\nC,ruim,S\n")));
    const int second = site.addDatabase(QStringLiteral("DB2"), QLatin1String(GetParam()));
    site.exec(second, QStringLiteral("DROP TABLE RESTRICOES"));
    EXPECT_TRUE(AtualizaRestrFunc(site.session));
    EXPECT_EQ(site.rows(kStage08),
              QStringList({QStringLiteral("     2 restrições não foram atualizadas. Verifique o Log."),
                           QStringLiteral("     Não foi possível ler as restrições de funcionalidade do banco \"DB2\". Atualização ignorada.")}));
    EXPECT_TRUE(logbookHas(QStringLiteral("- Restrições de Funcionalidade carregadas, 2 registros com erro(s).")));
    EXPECT_GT(site.logCount(QStringLiteral("Erro interno no método \"GetRestrFunc\". Mensagem: ")), 0);
    EXPECT_EQ(site.count(db, QStringLiteral("RESTRICOES")), 1);
    EXPECT_FALSE(site.rows(kStageInicializandoPacotes).isEmpty());

    // A damaged file: one error row per database, and stage 12 still runs.
    QFile file(QDir(site.session.workingFolder).filePath(kRestrFuncFile));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("\x96\x19\xE0\xBD\x01\x00");
    file.close();
    site.session.status.clearRows();
    EXPECT_TRUE(AtualizaRestrFunc(site.session));
    EXPECT_EQ(site.rows(kStage08).size(), 2);
    EXPECT_EQ(site.rows(kStage08).value(0), QStringLiteral("Arquivo de restrições de funcionalidade é inválido ou está corrompido. "
                                                           "Atualização ignorada no banco \"DB1\"."));
    EXPECT_GT(site.logCount(QStringLiteral("RestFuncionalidade.cds")), 0);
    EXPECT_FALSE(site.rows(kStageInicializandoPacotes).isEmpty());
}

TEST_P(RestrFunc, WithoutRestrictionsInThePackageEachDatabaseIsIgnoredAndStage12Follows)
{
    site.session.package.existRestrFunc = false;
    site.session.package.componentes = {QStringLiteral("pkBrelum=Brenok.dll")};
    EXPECT_TRUE(AtualizaRestrFunc(site.session));
    EXPECT_EQ(site.rows(kStage08),
              QStringList(QStringLiteral("Restrições Func. não incluídas no pacote. Etapa ignorada no banco \"DB1\".")));
    EXPECT_EQ(site.session.status.rows().front().group, kStage08);
    EXPECT_EQ(site.session.status.rows().back().group, kStageInicializandoPacotes);
}

TEST_P(RestrFunc, EveryCatalogStageRunsInItsOrderInOneRun)
{
    const int second = site.addDatabase(QStringLiteral("DB2"), QLatin1String(GetParam()));
    (void)second;
    CatalogPackage p;
    p.table(1, QStringLiteral("SIMPLES"), QStringLiteral("SIMPLES,123,2,,,N,,,,0,1\n"), QStringLiteral(""), QString(), QStringLiteral(""),
            QString());
    p.structured(900, QStringLiteral("Nova"), QString::fromUtf8(testsupport::kTEHeader) + QStringLiteral("900,0,Nova,N,N,N,S\n"));
    site.install(p);
    site.session.package.existMsg = true;
    site.session.package.existRotulo = true;
    site.session.package.componentes = {QStringLiteral("pkBrelum=Brenok.dll")};
    site.putPackageFile(QStringLiteral("Mensagens.cds"), QString::fromUtf8(testsupport::kMensagensHeader) +
                                                             QStringLiteral("1,1,A,A,M1,,um,\n"));
    site.putPackageFile(QStringLiteral("Rotulos.cds"), QString::fromUtf8(testsupport::kRotulosHeader) + QStringLiteral("1,R,\n"));
    site.putPackageFile(kRestrFuncFile, restricoes(QStringLiteral("NOVA,Nova,S\n")));
    EXPECT_TRUE(AtualizaCatalogo(site.session));
    // 07 and 09 per database, then 10 and 11 for every database, then 08 and 12.
    QStringList order;
    for (const StatusRow &row : site.session.status.rows()) {
        if (row.group.isEmpty())
            continue;
        const QString entry = row.group.left(2);
        if (order.isEmpty() || order.back() != entry)
            order << entry;
    }
    EXPECT_EQ(order, QStringList({"07", "09", "07", "09", "10", "11", "08", "12"}))
        << order.join(' ').toStdString();
    for (int entry : {db, second}) {
        EXPECT_EQ(site.count(entry, QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("COD_TABELA = 900")), 1);
        EXPECT_EQ(site.count(entry, QStringLiteral("MENSAGENS")), 1);
        EXPECT_EQ(site.count(entry, QStringLiteral("CATALOGO_ROTULOS")), 1);
        EXPECT_EQ(site.count(entry, QStringLiteral("RESTRICOES"), QStringLiteral("COD_RESTRICAO = 'NOVA'")), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Vendors, RestrFunc, ::testing::Values("DB2", "ORACLE", "MSSQL"));
