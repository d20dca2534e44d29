// Version tables on the embedded emulation of each vendor: creation, status writes, reads and the
// correction clean-up; creation and read failures.
#include "db/validation.h"
#include "db/versiontables.h"
#include "versionsite.h"

using namespace tivra;
using testsupport::VersionSite;

TEST(VersionNumber, DotsRemovedNonNumbersZero)
{
    EXPECT_EQ(versionNumber(QStringLiteral("1.2.003")), 12003);
    EXPECT_EQ(versionNumber(QStringLiteral("1.10.0")), 1100);  // the width of the parts is ignored
    EXPECT_EQ(versionNumber(QStringLiteral("1.9.00")), 1900);
    EXPECT_EQ(versionNumber(QStringLiteral("99999.99999")), 9999999999);  // 64-bit numbers
    for (const char *bad : {"0.0.000", "1.0-1", "v1.0", "", "99999.99999.99999.99999"})
        EXPECT_EQ(versionNumber(QString::fromLatin1(bad)), 0) << bad;
    EXPECT_TRUE(maxStatusPackQuery(QStringLiteral("DB2"), kVsPackMsg).contains(QStringLiteral("SELECT ROW_NUMBER() OVER() AS ID_RN")));
    EXPECT_TRUE(maxStatusPackQuery(QStringLiteral("oracle"), kVsPackMsg).isEmpty());  // driver names compared exactly
}

class VersionTables : public ::testing::TestWithParam<const char *> {
protected:
    VersionSite site;
    int entry = site.addDatabase(QStringLiteral("BASE"), QString::fromLatin1(GetParam()));
};

TEST_P(VersionTables, CreatedWrittenAndRead)
{
    site.addEntry(QStringLiteral("NEGADO"), QString::fromLatin1(GetParam()), QStringLiteral("u"), QStringLiteral("p"), ImageError);
    ASSERT_TRUE(CreateTableVersoes(site.session));
    ASSERT_TRUE(CreateTableVersoes(site.session));  // probed the second time
    EXPECT_EQ(site.logCount(QStringLiteral("     Tabelas validadas com sucesso!")), 2);
    DbConnection connection(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(connection, entry));
    EXPECT_TRUE(BuscaMaxStatusPack(connection, kVsPackBanco).value().isEmpty());
    EXPECT_EQ(BuscaMaxPackComplete(connection), 0);

    // First row gets ID 1; a second write of the version updates it.
    AtualizaStatusVersao(site.session, entry, kVsPackBanco, 1);
    AtualizaStatusVersao(site.session, entry, kVsPackBanco, 2);
    EXPECT_EQ(site.versions(entry, kVsPackBanco), QStringList{QStringLiteral("1.0.000=2")});
    EXPECT_EQ(site.count(entry, QStringLiteral("VS_PACK_BANCO WHERE ID = 1 AND DT_ALTERACAO IS NOT NULL")), 1);

    // A complete 1.9.000 inserted after a complete 2.0.000: the highest ID counts.
    site.exec(entry, {QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES (2, '2.0.000', 2, <DATE>)"),
                      QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES (3, '1.9.000', 2, <DATE>)"),
                      QStringLiteral("INSERT INTO VS_PACK_BANCO VALUES (4, '1.8.000', 1, <DATE>)")});
    EXPECT_EQ(BuscaMaxPackComplete(connection), 19000);
    installMaxPackCompleteQuery();
    EXPECT_EQ(maxPackComplete(connection), 19000);
    setMaxPackCompleteQuery(nullptr);
    const ResultTable max = BuscaMaxStatusPack(connection, kVsPackBanco).value();
    ASSERT_EQ(max.count(), 1);
    EXPECT_EQ(max.text(0, QStringLiteral("VERSAO_PACK")) + max.text(0, QStringLiteral("STATUS")), QStringLiteral("2.0.0002"));
}

TEST_P(VersionTables, CorrectionKeepsOnlyCompleteRowsOfItsVersion)
{
    ASSERT_TRUE(CreateTableVersoes(site.session));
    QStringList setup{instBancoPackCreateText()};
    for (const QString &table : versionTables())
        setup << QStringLiteral("INSERT INTO %1 VALUES (1, '1.0.000', 0, <DATE>)").arg(table)
              << QStringLiteral("INSERT INTO %1 VALUES (2, '1.0.000', 1, <DATE>)").arg(table)
              << QStringLiteral("INSERT INTO %1 VALUES (3, '0.9.000', 1, <DATE>)").arg(table);
    setup << QStringLiteral("INSERT INTO VS_PACK_ROTULO VALUES (4, '1.0.000', 2, <DATE>)");
    for (int n = 1; n <= 3; ++n)
        setup << QStringLiteral("INSERT INTO INST_BANCO_PACK VALUES (%1, '%2', 0, <DATE>, <DATE>)").arg(n).arg(QLatin1String(n < 3 ? "1.0.000" : "0.9.000"));
    site.exec(entry, setup);
    site.session.package.packCorrecao = true;
    ASSERT_TRUE(CreateTableVersoes(site.session));
    for (const QString &table : versionTables())
        EXPECT_EQ(site.versions(entry, table).join(QLatin1Char(' ')),
                  table == kVsPackRotulo ? QStringLiteral("0.9.000=1 1.0.000=2") : QStringLiteral("0.9.000=1"));
    EXPECT_EQ(site.count(entry, QStringLiteral("INST_BANCO_PACK WHERE VERSAO_PACK = '0.9.000'")), 1);
    EXPECT_EQ(site.count(entry, QStringLiteral("INST_BANCO_PACK")), 1);
}

TEST_P(VersionTables, TableThatCannotBeCreatedFailsTheCheck)
{
    site.addDatabase(QStringLiteral("SOLEITURA"), QString::fromLatin1(GetParam()));
    site.makeReadOnly(QStringLiteral("SOLEITURA"));
    EXPECT_FALSE(CreateTableVersoes(site.session));
    EXPECT_EQ(site.logCount(QStringLiteral("     Erro durante a validação da tabela de versões. Processo de atualização interrompido.")), 1);
}

INSTANTIATE_TEST_SUITE_P(Vendors, VersionTables, ::testing::Values("DB2", "ORACLE", "MSSQL"));

TEST(VersionTablesEdge, TextOrderConnectionsAndFailedReads)
{
    VersionSite site;
    EXPECT_TRUE(CreateTableVersoes(site.session));  // no validated database
    const int sql = site.addDatabase(QStringLiteral("SQL"), QStringLiteral("MSSQL"));
    ASSERT_TRUE(CreateTableVersoes(site.session));
    // SQL Server orders VERSAO_PACK as text: 0.10.000 sorts before 0.9.000.
    site.exec(sql, {QStringLiteral("INSERT INTO VS_PACK_CATALOGO VALUES (1, '0.9.000', 1, GETDATE())"),
                    QStringLiteral("INSERT INTO VS_PACK_CATALOGO VALUES (2, '0.10.000', 2, GETDATE())")});
    DbConnection connection(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(connection, sql));
    EXPECT_EQ(BuscaMaxStatusPack(connection, kVsPackCatalogo).value().text(0, QStringLiteral("VERSAO_PACK")), QStringLiteral("0.9.000"));

    // Reads of a missing table name themselves; BuscaMaxPackComplete stays silent.
    const int empty = site.addDatabase(QStringLiteral("VAZIO"), QStringLiteral("DB2"));
    ASSERT_TRUE(ConnectCurrentEntry(connection, empty));
    site.session.status.clearLogText();
    EXPECT_FALSE(BuscaMaxStatusPack(connection, kVsPackBanco).has_value());
    EXPECT_FALSE(GetNumInstrucaoSQLExec(connection, QStringLiteral("1.0.000")).has_value());
    EXPECT_EQ(BuscaMaxPackComplete(connection), 0);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro interno no método \"BuscaMaxStatusPack\". Mensagem: ")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro interno no método \"GetNumInstrucaoSQLExec\". Mensagem: ")), 1);
    EXPECT_EQ(site.log().size(), 2);
    // The status write without its table is reported, not done; nor without a connection.
    AtualizaStatusVersao(site.session, empty, kVsPackBanco, 2);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro interno no método \"BuscaRegistroDaVersao\". Mensagem: ")), 1);
    EXPECT_EQ(site.logCount(QStringLiteral("Tabela de versões (VS_PACK_BANCO) não foi atualizada com os últimos scripts executados.")), 1);
    const int gone = site.addEntry(QStringLiteral("SUMIU"), QStringLiteral("ORACLE"));
    AtualizaStatusVersao(site.session, gone, kVsPackBanco, 2);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a autenticação do banco \"SUMIU\" no método interno \"AtualizaStatusVersao\".")), 1);
    EXPECT_FALSE(CreateTableVersoes(site.session));
    EXPECT_EQ(site.logCount(QStringLiteral("Erro ao autenticar o banco \"SUMIU\" durante a validação da tabela de versões.")), 1);

    // A quote in the version text stays inside its literal.
    site.session.package.versaoPacote = QStringLiteral("1.0'01");
    AtualizaStatusVersao(site.session, sql, kVsPackBanco, 2);
    EXPECT_EQ(site.versions(sql, kVsPackBanco), QStringList{QStringLiteral("1.0'01=2")});
}
