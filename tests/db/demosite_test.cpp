// The demo site's databases, made by tools/demo/databases/make-databases.sh with this build's
// tools: the aliases of the demo versions file read from its registry export validate, and the
// installer's reads find what they look for.
#include "db/aliases.h"
#include "db/recordhelpers.h"
#include "db/sqlrunner.h"
#include "db/tablespaces.h"
#include "db/validation.h"
#include "dbtest.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

TEST(DemoSite, DatabasesValidateAndAnswerTheInstallersReads)
{
    DbSite site;
    QProcess script;
    script.start(QStringLiteral("bash"), {QStringLiteral(TIVRA_SOURCE_DIR "/tools/demo/databases/make-databases.sh"),
                                          QStringLiteral(TIVRA_BINARY_DIR), site.session.installerDirectory});
    ASSERT_TRUE(script.waitForFinished(120000));
    ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
    site.site.writeVersoesIni("[Aliases]\r\nTIVRA_PROD,L=Produ\xe7\xe3o\r\nTIVRA_HML=Homologa\xe7\xe3o\r\n");

    ReadAliases(site.session);
    const MemTable &dbs = site.session.cdsDbs;
    ASSERT_EQ(dbs.count(), 2);
    EXPECT_EQ(dbs.text(0, QStringLiteral("VENDOR")), QStringLiteral("ORACLE"));
    EXPECT_EQ(dbs.text(1, QStringLiteral("LOGIN")), QStringLiteral("DBSM"));
    ValidarBancos(site.session);
    EXPECT_EQ(dbs.integer(0, QStringLiteral("IMAGE")), 1) << site.logText().toStdString();
    EXPECT_EQ(dbs.integer(1, QStringLiteral("IMAGE")), 1) << site.logText().toStdString();

    for (int row = 0; row < 2; ++row) {
        DbConnection conn(site.session);
        ASSERT_TRUE(ConnectCurrentEntry(conn, row));
        EXPECT_EQ(RequireResult(GetOleData(conn, QStringLiteral("SELECT RTRIM(COD_INSTITUICAO) AS CODIGO FROM PAR_INSTITUICAO")),
                                QStringLiteral("GetCodInstituicao"))
                      .text(0, QStringLiteral("CODIGO")),
                  QStringLiteral("0042"));
        // RESTRICOES draws its keys from SEQ_RESTRICOES on both vendors.
        EXPECT_EQ(GetNewIdForInsert(conn, QStringLiteral("RESTRICOES"), QStringLiteral("ID_RESTRICAO")), QStringLiteral("2"));
        EXPECT_EQ(GetNewIdForInsert(conn, QStringLiteral("MENSAGENS"), QStringLiteral("ID_MSG")), QStringLiteral("3"));
        EXPECT_TRUE(ExecSQLText(conn, QStringLiteral("CREATE TABLE VS_PACK_BANCO (ID INTEGER NOT NULL PRIMARY KEY)"), true));
    }
    site.session.package.tableSpaces = {QStringLiteral("TS_DADOS")};
    CarregaTableSpaces(site.session);
    EXPECT_EQ(tableSpacesOf(site.session, QStringLiteral("TIVRA_PROD")).size(), 6u);
    EXPECT_EQ(tableSpacesOf(site.session, QStringLiteral("TIVRA_HML")).size(), 5u);
    EXPECT_EQ(site.session.cdsTS.count(), 2);
}
