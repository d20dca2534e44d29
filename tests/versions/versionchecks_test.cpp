// Version checks: the checks page's decision table and the run-time check of a stage, per vendor;
// tables that cannot be created or read.
#include "db/versionchecks.h"
#include "db/versiontables.h"
#include "db/connection.h"
#include "db/sqlrunner.h"
#include "versionsite.h"

using namespace tivra;
using testsupport::VersionSite;

namespace {

// "APROVADO|STATUS|DETALHES" of the checks rows of one database.
QStringList checks(const VersionSite &site, const QString &alias)
{
    QStringList out;
    const MemTable &t = site.session.cdsChecks;
    for (int row = 0; row < t.count(); ++row) {
        if (t.text(row, QStringLiteral("ETAPA")).contains(QStringLiteral("(Banco: ") + alias + QLatin1Char(')')))
            out << QStringList{t.text(row, QStringLiteral("APROVADO")), t.text(row, QStringLiteral("STATUS")),
                               t.text(row, QStringLiteral("DETALHES"))}
                       .join(QLatin1Char('|'));
    }
    return out;
}

QString insert(const QString &table, int id, const char *version, int status)
{
    return QStringLiteral("INSERT INTO %1 VALUES (%2, '%3', %4, <DATE>)").arg(table).arg(id).arg(QLatin1String(version)).arg(status);
}

}  // namespace

class VersionChecks : public ::testing::TestWithParam<const char *> {
protected:
    QString vendor() const { return QString::fromLatin1(GetParam()); }
    VersionSite site;
};

// Package 1.0.000 requiring 0.9.000: every row of the decision table, one version table each.
TEST_P(VersionChecks, DecisionTableOfTheChecksPage)
{
    const int a = site.addDatabase(QStringLiteral("A"), vendor());
    const int b = site.addDatabase(QStringLiteral("B"), vendor());
    site.addDatabase(QStringLiteral("NOVO"), vendor());
    ASSERT_TRUE(CreateTableVersoes(site.session));
    site.exec(a, {insert(kVsPackBanco, 1, "1.0.000", 2),       // same, complete
                  insert(kVsPackCatalogo, 1, "1.0.000", 1),    // same, partial
                  insert(kVsPackMsg, 1, "0.9.000", 2),         // older complete, at the requirement...
                  insert(kVsPackMsg, 2, "0.8.000", 2),         // ...the highest version counts
                  insert(kVsPackRotulo, 1, "0.9.000", 0),      // older, never finished (0 reads as 1)
                  insert(kVsPackTabEstrut, 1, "1.1.000", 1)});  // newer
    site.exec(b, {insert(kVsPackCatalogo, 1, "0.8.000", 2),    // older complete, below the requirement
                  insert(kVsPackMsg, 1, "0.0.000", 2)});       // reads as version 0
    site.session.package.versaoRequerida = QStringLiteral("0.9.000");
    CheckPermissaoVersoes(site.session);
    EXPECT_EQ(checks(site, QStringLiteral("A")),
              (QStringList{QStringLiteral("-|Ignorado|Banco de Dados -> Atual: 1.0.000"),
                           QStringLiteral("S|Aprovado|Cat. de Tabelas -> Atual: 1.0.000 (Instalada PARCIALMENTE)"),
                           QStringLiteral("S|Aprovado|Cat. de Mensagens -> Atual: 0.9.000"),
                           QStringLiteral("N|Reprovado|Cat. Rótulos -> Atual: 0.9.000 (Instalada PARCIALMENTE)"),
                           QStringLiteral("-|Ignorado|Tabelas Estruturadas -> Atual: 1.1.000")}));
    EXPECT_EQ(checks(site, QStringLiteral("B")).join(QLatin1Char(' ')).count(QStringLiteral("N|Reprovado|")), 5);
    EXPECT_TRUE(checks(site, QStringLiteral("B")).at(2).endsWith(QStringLiteral("Cat. de Mensagens -> Atual: 0.0.000")));
    EXPECT_EQ(site.session.cdsChecks.text(0, QStringLiteral("ETAPA")),
              QStringLiteral("Validação de Versões (Banco: A) -> Pacote: 1.0.000 / Requerido: 0.9.000"));
    for (const char *message :
         {"Versão atual do \"Banco de Dados\" já encontra-se atualizada com a mesma versão do pacote no banco \"A\". Ignorado da atualização.",
          "Versão atual do \"Cat. Rótulos\" está PARCIALMENTE instalada no banco \"A\". Execute novamente seu instalador.",
          "Versão atual do \"Tabelas Estruturadas\" é superior a versão do pacote no banco \"A\". Ignorado da atualização.",
          "Versão do item \"Cat. de Tabelas\" deve ser atualizada para a versão requerida no banco \"B\"."})
        EXPECT_EQ(site.logCount(QString::fromUtf8(message)), 1) << message;
    EXPECT_EQ(site.logCount(QStringLiteral("É necessário concluir a instalação da versão \"0.9.000\" no banco \"B\".")), 4);
    EXPECT_EQ(site.logCount(QStringLiteral("no banco \"A\"")), 3);  // approved rows say nothing

    // Without the requirement a fresh database is approved throughout.
    site.session.cdsChecks.clear();
    site.session.package.versaoRequerida = QStringLiteral("0.0.000");
    CheckPermissaoVersoes(site.session);
    EXPECT_EQ(checks(site, QStringLiteral("NOVO")).join(QLatin1Char(' ')).count(QStringLiteral("S|Aprovado|")), 5);
    EXPECT_EQ(checks(site, QStringLiteral("NOVO")).at(3), QStringLiteral("S|Aprovado|Cat. Rótulos -> Atual: 0.0.000"));
}

TEST_P(VersionChecks, RunTimeCheckOfAStage)
{
    const int entry = site.addDatabase(QStringLiteral("BASE"), vendor());
    ASSERT_TRUE(CreateTableVersoes(site.session));
    const QString stage = QStringLiteral("07. Catálogo de Tabelas");
    const auto can = [&](const QStringList &rows) {
        site.exec(entry, QStringList{QStringLiteral("DELETE FROM VS_PACK_CATALOGO")} + rows);
        return CanUpdatePackDataBase(site.session, entry, stage, kVsPackCatalogo);
    };
    EXPECT_TRUE(can({}));
    EXPECT_TRUE(can({insert(kVsPackCatalogo, 1, "1.0.000", 1)}));  // an unfinished run is repeated
    EXPECT_TRUE(can({insert(kVsPackCatalogo, 1, "0.5.000", 1)}));  // older, no requirement
    EXPECT_FALSE(can({insert(kVsPackCatalogo, 1, "1.0.000", 2)}));
    EXPECT_FALSE(can({insert(kVsPackCatalogo, 1, "1.0.001", 1)}));
    site.session.package.versaoRequerida = QStringLiteral("0.9.000");
    EXPECT_TRUE(can({insert(kVsPackCatalogo, 1, "0.9.000", 2)}));
    // The required version's own row decides, not the highest one; a missing one refuses.
    EXPECT_FALSE(can({insert(kVsPackCatalogo, 1, "0.9.000", 1), insert(kVsPackCatalogo, 2, "0.9.500", 2)}));
    EXPECT_FALSE(can({insert(kVsPackCatalogo, 1, "0.9.500", 2)}));
    const QString partial =
        QStringLiteral("3|Catálogo de Tabelas ignorado(a). Versão requerida está parcialmente concluída no banco \"BASE\".");
    EXPECT_EQ(site.rows(stage),
              (QStringList{QStringLiteral("3|Catálogo de Tabelas já atualizado no banco \"BASE\" com a mesma versão."),
                           QStringLiteral("3|Catálogo de Tabelas não pode ser atualizado no banco \"BASE\" pois já existe uma "
                                          "versão superior instalada (1.0.001)."),
                           partial, partial}));
    site.session.package.ignorarVersao = true;
    EXPECT_TRUE(CanUpdatePackDataBase(site.session, 42, stage, kVsPackCatalogo));  // not even a connection
}

// The pre-flight report's checks: without creating or deleting anything they give the rows the
// checks page gives after creating the tables (and, for a correction package, deleting the
// version's unfinished rows).
TEST_P(VersionChecks, UnchangedChecksDecideAsTheCheckThatCreatesTables)
{
    const int fresh = site.addDatabase(QStringLiteral("VAZIO"), vendor());
    const int used = site.addDatabase(QStringLiteral("USADO"), vendor());
    site.exec(used, {versionTableCreateText(kVsPackBanco), versionTableCreateText(kVsPackMsg),
                     insert(kVsPackBanco, 1, "0.9.000", 2), insert(kVsPackBanco, 2, "1.0.000", 1),
                     insert(kVsPackMsg, 1, "1.0.000", 2)});
    site.session.package.packCorrecao = true;
    const auto tablesOf = [&](int entry) {
        int present = 0;
        DbConnection connection(site.session);
        EXPECT_TRUE(ConnectCurrentEntry(connection, entry));
        for (const QString &table : versionTables())
            present += ExecSQLText(connection, QStringLiteral("SELECT 1 FROM ") + table, false) ? 1 : 0;
        return present;
    };

    DbConnection::setReadOnly(true);
    struct Restore {
        ~Restore() { DbConnection::setReadOnly(false); }
    } restore;
    CheckPermissaoVersoes(site.session, true);
    {
        DbConnection connection(site.session);
        ASSERT_TRUE(ConnectCurrentEntry(connection, used));
        const HighestVersion banco = readHighestVersionUnchanged(connection, kVsPackBanco, QStringLiteral("1.0.000"), true);
        EXPECT_TRUE(banco.read && banco.exists && !banco.empty);
        EXPECT_EQ(banco.version, QStringLiteral("0.9.000"));  // the unfinished 1.0.000 would be deleted
        const HighestVersion rotulo = readHighestVersionUnchanged(connection, kVsPackRotulo, QStringLiteral("1.0.000"), true);
        EXPECT_TRUE(rotulo.read && !rotulo.exists && rotulo.empty);
    }
    DbConnection::setReadOnly(false);
    const QStringList unchangedFresh = checks(site, QStringLiteral("VAZIO"));
    const QStringList unchangedUsed = checks(site, QStringLiteral("USADO"));
    EXPECT_EQ(tablesOf(fresh), 0);
    EXPECT_EQ(tablesOf(used), 2);
    EXPECT_EQ(site.count(used, kVsPackBanco), 2);
    EXPECT_EQ(unchangedFresh.size(), 5);

    site.session.cdsChecks.clear();
    CheckPermissaoVersoes(site.session);
    EXPECT_EQ(tablesOf(fresh), 5);
    EXPECT_EQ(site.count(used, kVsPackBanco), 1);
    EXPECT_EQ(checks(site, QStringLiteral("VAZIO")), unchangedFresh);
    EXPECT_EQ(checks(site, QStringLiteral("USADO")), unchangedUsed);
    EXPECT_EQ(unchangedUsed.at(0), QStringLiteral("S|Aprovado|Banco de Dados -> Atual: 0.9.000"));
}

// The run-time decision without reads, against the decision table of CanUpdatePackDataBase.
TEST(PackRunDecision, FollowsTheRunTimeCheck)
{
    EXPECT_EQ(packRunDecision(10000, 0, true, 0, 0), PackRunDecision::Run);
    EXPECT_EQ(packRunDecision(10000, 9000, true, 0, 0), PackRunDecision::Run);
    EXPECT_EQ(packRunDecision(10000, 0, false, 10000, 1), PackRunDecision::Run);
    EXPECT_EQ(packRunDecision(10000, 0, false, 10000, 2), PackRunDecision::SkipSameComplete);
    EXPECT_EQ(packRunDecision(10000, 0, false, 10001, 2), PackRunDecision::SkipNewer);
    EXPECT_EQ(packRunDecision(10000, 0, false, 5000, 1), PackRunDecision::Run);
    EXPECT_EQ(packRunDecision(10000, 9000, false, 5000, 2), PackRunDecision::CheckRequired);
}

INSTANTIATE_TEST_SUITE_P(Vendors, VersionChecks, ::testing::Values("DB2", "ORACLE", "MSSQL"));

TEST(VersionChecksFailures, UncreatableUnreadableAndUnreachable)
{
    VersionSite site;
    const int entry = site.addDatabase(QStringLiteral("TORTO"), QStringLiteral("ORACLE"));
    site.exec(entry, {QStringLiteral("CREATE TABLE VS_PACK_MSG (OUTRA INTEGER)")});
    // A version table that exists but cannot be read rejects its row instead of ending the page.
    CheckPermissaoVersoes(site.session);
    EXPECT_EQ(checks(site, QStringLiteral("TORTO")).at(2),
              QStringLiteral("N|Reprovado|Cat. de Mensagens -> Erro ao verificar tabela de versões, impossível continuar."));
    EXPECT_FALSE(CanUpdatePackDataBase(site.session, entry, QStringLiteral("10. Catálogo de Mensagens"), kVsPackMsg));
    const int gone = site.addEntry(QStringLiteral("SUMIU"), QStringLiteral("MSSQL"));
    EXPECT_FALSE(CanUpdatePackDataBase(site.session, gone, QStringLiteral("10. Catálogo de Mensagens"), kVsPackMsg));
    EXPECT_EQ(site.rows(QStringLiteral("10. Catálogo de Mensagens")),
              (QStringList{QStringLiteral("2|Erro ao ler a tabela de versões (VS_PACK_MSG) do banco \"TORTO\". Banco ignorado."),
                           QStringLiteral("2|Erro durante a autenticação em \"SUMIU\". Banco ignorado.")}));

    // Version tables that cannot be created: one rejected row, nothing else.
    site.session.cdsChecks.clear();
    site.session.cdsDbs.setValue(gone, QStringLiteral("IMAGE"), int(ImageError));
    site.addDatabase(QStringLiteral("SOLEITURA"), QStringLiteral("DB2"));
    site.makeReadOnly(QStringLiteral("SOLEITURA"));
    CheckPermissaoVersoes(site.session);
    ASSERT_EQ(site.session.cdsChecks.count(), 1);
    EXPECT_EQ(QStringList({site.session.cdsChecks.text(0, QStringLiteral("ETAPA")), site.session.cdsChecks.text(0, QStringLiteral("DETALHES")),
                           site.session.cdsChecks.text(0, QStringLiteral("APROVADO")), site.session.cdsChecks.text(0, QStringLiteral("STATUS"))}),
              (QStringList{QStringLiteral("Validação de Versões"), QStringLiteral("Erro ao verificar tabela de versões, impossível continuar."),
                           QStringLiteral("N"), QStringLiteral("Reprovado")}));
}
