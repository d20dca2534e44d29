// Validation of the databases list, the tablespace mapping and the ad-hoc SQL window's logic.
#include "db/execqry.h"
#include "db/sqlrunner.h"
#include "db/tablespaces.h"
#include "db/validation.h"
#include "dbtest.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

namespace {
int image(const DbSite &site, int row)
{
    return int(site.session.cdsDbs.integer(row, QStringLiteral("IMAGE")));
}
}  // namespace

TEST(Validation, StatesFollowTheConnectionOutcome)
{
    DbSite site;
    site.createDb(QStringLiteral("BOM"), QStringLiteral("tivra"), QStringLiteral("secret"));
    site.createDb(QStringLiteral("SENHA"), QStringLiteral("tivra"), QStringLiteral("outra"));
    const int good = site.addEntry(QStringLiteral("BOM"), QStringLiteral("ORACLE"), QStringLiteral("tivra"), QStringLiteral("secret"), 0);
    const int denied = site.addEntry(QStringLiteral("SENHA"), QStringLiteral("DB2"), QStringLiteral("tivra"), QStringLiteral("secret"), 0);
    const int blank = site.addEntry(QStringLiteral("BRANCO"), QStringLiteral("DB2"), QStringLiteral("  "), QStringLiteral("x"), 0);
    const int mixed = site.addEntry(QStringLiteral("BOM"), QStringLiteral("Oracle"), QStringLiteral("tivra"), QStringLiteral("secret"), 0);
    const int unreachable = site.addEntry(QStringLiteral("SEM_ARQUIVO"), QStringLiteral("MSSQL"), QStringLiteral("u"), QStringLiteral("p"), 0);
    int asked = 0;
    setMaxPackCompleteQuery([&](DbConnection &) -> qint64 {
        ++asked;
        return 10002;
    });
    for (int run = 0; run < 2; ++run) {
        ValidarBancos(site.session);
        EXPECT_EQ(image(site, good), 1);
        EXPECT_EQ(site.session.cdsDbs.integer(good, QStringLiteral("MAX_PACK_COMPLETE")), 10002);
        EXPECT_EQ(image(site, denied), 2);
        EXPECT_EQ(image(site, blank), 3);
        EXPECT_EQ(image(site, mixed), 2);
        EXPECT_EQ(image(site, unreachable), 2);
        EXPECT_EQ(site.session.cdsDbs.integer(denied, QStringLiteral("MAX_PACK_COMPLETE")), 0);
    }
    setMaxPackCompleteQuery(nullptr);
    EXPECT_EQ(asked, 2);  // one connection per entry and run
    EXPECT_EQ(site.logCount(QStringLiteral("Banco \"BRANCO\" ignorado da validação (sem dados para a conexão).")), 2);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a autenticação do banco \"SENHA\". Mensagem: ")), 2);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a autenticação do banco \"SEM_ARQUIVO\". Mensagem: ")), 2);
    EXPECT_TRUE(site.session.status.rows().empty());
    EXPECT_EQ(firstEntryWithImage(site.session.cdsDbs, 1), good);
    EXPECT_EQ(countEntriesWithImage(site.session.cdsDbs, 2), 3);

    // Clearing the user name of a validated entry turns it to "Ignorado"; editing resets a row.
    site.session.cdsDbs.setValue(good, QStringLiteral("LOGIN"), QString());
    qgDbsEditing(site.session, denied);
    EXPECT_EQ(image(site, denied), 0);
    EXPECT_EQ(firstEntryWithImage(site.session.cdsDbs, 0), denied);
    ValidarBancos(site.session);
    EXPECT_EQ(image(site, good), 3);
    EXPECT_EQ(site.session.cdsDbs.integer(good, QStringLiteral("MAX_PACK_COMPLETE")), 0);
}

TEST(TableSpaces, MappingRowsChoicesConfirmationAndReplacement)
{
    DbSite site;
    site.createDb(QStringLiteral("PROD"), {}, {}, {QStringLiteral("dados_prod"), QStringLiteral("INDICES_PROD")});
    site.createDb(QStringLiteral("HML"));
    site.session.package.tableSpaces = {QStringLiteral("TS_DADOS"), QStringLiteral("TS_INDICES")};
    site.addEntry(QStringLiteral("PROD"), QStringLiteral("ORACLE"));
    site.addEntry(QStringLiteral("IGNORADO"), QStringLiteral("ORACLE"), QStringLiteral("u"), QStringLiteral("p"), 3);
    site.addEntry(QStringLiteral("FALHA"), QStringLiteral("DB2"));  // no file: left out of both lists

    AbreTableSpaces(site.session);
    EXPECT_FALSE(site.session.tableSpacesConfirmed);
    ASSERT_EQ(site.session.cdsTS.count(), 2);
    EXPECT_EQ(site.session.cdsTS.text(0, QStringLiteral("TS_DEFAULT")), QStringLiteral("TS_DADOS"));
    const auto choices = tableSpacesOf(site.session, QStringLiteral("PROD"));
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[0].second, QStringLiteral("DADOS_PROD"));  // upper-cased
    EXPECT_EQ(choices[0].first, 1);

    site.ui.answerNext(UserInterface::Ok);
    EXPECT_FALSE(ConfirmaTableSpaces(site.session));
    ASSERT_EQ(site.ui.boxes().size(), 1u);
    EXPECT_EQ(site.ui.boxes()[0].box.caption, QStringLiteral("Aviso"));
    EXPECT_EQ(site.ui.boxes()[0].box.text, QStringLiteral("Existem tablespaces que não foram relacionadas."));
    EXPECT_EQ(site.ui.boxes()[0].box.icon, UserInterface::Icon::Warning);
    SetTableSpaceChoice(site.session, 0, 1);
    EXPECT_TRUE(TableSpacesPendentes(site.session));
    SetTableSpaceChoice(site.session, 1, 2);
    EXPECT_EQ(site.session.cdsTS.text(1, QStringLiteral("TS_NEW")), QStringLiteral("INDICES_PROD"));
    EXPECT_TRUE(ConfirmaTableSpaces(site.session));
    EXPECT_TRUE(site.session.tableSpacesConfirmed);

    // Reopening keeps the choices and clears the confirmation.
    AbreTableSpaces(site.session);
    EXPECT_FALSE(site.session.tableSpacesConfirmed);
    EXPECT_EQ(site.session.cdsTS.count(), 2);
    EXPECT_EQ(site.session.cdsTS.text(0, QStringLiteral("TS_NEW")), QStringLiteral("DADOS_PROD"));

    const QStringList applied = AplicaTableSpaces(
        site.session, QStringLiteral("PROD"),
        {QStringLiteral("CREATE TABLE A (ID INTEGER) TABLESPACE ts_dados"), QStringLiteral("CREATE INDEX I ON A (ID) TABLESPACE Ts_Indices"),
         QStringLiteral("CREATE TABLE B (ID INTEGER) TABLESPACE TS_DADOS_IDX")});
    EXPECT_EQ(applied, (QStringList{QStringLiteral("CREATE TABLE A (ID INTEGER) TABLESPACE DADOS_PROD"),
                                    QStringLiteral("CREATE INDEX I ON A (ID) TABLESPACE INDICES_PROD"),
                                    QStringLiteral("CREATE TABLE B (ID INTEGER) TABLESPACE DADOS_PROD_IDX")}));
    EXPECT_EQ(AplicaTableSpaces(site.session, QStringLiteral("HML"), {QStringLiteral("TABLESPACE TS_DADOS")}),
              QStringList{QStringLiteral("TABLESPACE TS_DADOS")});
}

TEST(TableSpaces, FailingReadStillGivesMappingRowsThatCannotBeConfirmed)
{
    // A DB2 entry reached through ODBC on a database without DB2's catalog: the read fails.
    const QString driver = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so");
    if (!QFileInfo::exists(driver))
        GTEST_SKIP() << "SQLite ODBC driver not installed";
    DbSite site;
    site.writeDrivers(QByteArray("[DB2]\r\nConnectionString=DRIVER=" + driver.toUtf8() + ";Database=" + site.folder().toUtf8() +
                                 "/{ALIAS}.sqlite;\r\n"));
    site.session.package.tableSpaces = {QStringLiteral("TS_DADOS")};
    site.addEntry(QStringLiteral("PROD"), QStringLiteral("DB2"));
    AbreTableSpaces(site.session);
    EXPECT_EQ(site.session.cdsTS.count(), 1);
    EXPECT_EQ(site.session.cdsLookup.count(), 0);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro interno no método \"GetTS_DB2\". Mensagem: [DB2] ")), 1) << site.logText().toStdString();
    site.ui.answerNext(UserInterface::Ok);
    EXPECT_FALSE(ConfirmaTableSpaces(site.session));
}

TEST(ExecQry, RunsOnTheSelectedValidatedDatabase)
{
    DbSite site;
    site.createDb(QStringLiteral("PROD"));
    site.addEntry(QStringLiteral("NEGADO"), QStringLiteral("ORACLE"), QStringLiteral("u"), QStringLiteral("p"), 2);
    site.addEntry(QStringLiteral("PROD"), QStringLiteral("ORACLE"));
    EXPECT_EQ(ExecQryAliases(site.session), QStringList{QStringLiteral("PROD")});

    site.ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(ExecQryExecutar(site.session, QStringLiteral("PROD"), QStringLiteral("CREATE TABLE T (ID INTEGER, NOME VARCHAR(10))"), false).kind,
              ExecQryOutcome::Executed);
    site.ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(ExecQryExecutar(site.session, QStringLiteral("PROD"), QStringLiteral("CREATE TABLE T (ID INTEGER)"), false).kind,
              ExecQryOutcome::Executed);
    EXPECT_EQ(site.logCount(QStringLiteral("[VALIDADO PELO INSTALADOR]")), 1);
    site.ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(ExecQryExecutar(site.session, QStringLiteral("PROD"), QStringLiteral("DROP TABLE X"), false).kind, ExecQryOutcome::Failed);
    ASSERT_EQ(site.ui.boxes().size(), 3u);
    EXPECT_EQ(site.ui.boxes()[0].box.text, QStringLiteral("Executado!"));
    EXPECT_EQ(site.ui.boxes()[2].box.text, QStringLiteral("Erro! Verifique Log."));

    const ExecQryOutcome rows = ExecQryExecutar(site.session, QStringLiteral("PROD"), QStringLiteral("SELECT * FROM T"), true);
    ASSERT_EQ(rows.kind, ExecQryOutcome::Rows);
    EXPECT_EQ(rows.rows->count(), 0);
    EXPECT_EQ(rows.rows->columns(), (QStringList{QStringLiteral("ID"), QStringLiteral("NOME")}));
    site.ui.answerNext(UserInterface::Ok);
    const ExecQryOutcome failed = ExecQryExecutar(site.session, QStringLiteral("PROD"), QStringLiteral("SELECT * FROM X"), true);
    EXPECT_EQ(failed.kind, ExecQryOutcome::QueryFailed);
    EXPECT_EQ(site.ui.boxes().back().box.text, failed.error);
    EXPECT_EQ(site.ui.boxes().back().box.icon, UserInterface::Icon::Error);
    // A database that is not validated is never used.
    EXPECT_EQ(ExecQryExecutar(site.session, QStringLiteral("NEGADO"), QStringLiteral("SELECT 1 FROM DUAL"), true).kind,
              ExecQryOutcome::NotConnected);
}
