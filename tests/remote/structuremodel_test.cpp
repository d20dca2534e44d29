// The structure model: the clean-up of check conditions, the type mapping, the six datasets built
// from each vendor's raw sets, and the whole capture on the embedded DB2 and Oracle databases,
// read back from the archive the local maker's site received.
#include "catalog/datapacket.h"
#include "db/sqlrunner.h"
#include "makersite.h"
#include "package/packagearchive.h"
#include "remote/finalreport.h"
#include "remote/structuremodel.h"
#include "versions/versionsite.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace tivra;
using remote::sortedInListCondition;
using remote::upperOutsideLiterals;

namespace {
QString checkAsStored(const QString &condition)
{
    return upperOutsideLiterals(sortedInListCondition(condition));
}
}  // namespace

TEST(StructureModel, CheckConditionsAreBroughtToOneForm)
{
    EXPECT_EQ(checkAsStored("SITUACAO IN ('I', 'A','C')"), QStringLiteral("SITUACAO IN ('A','C','I')"));
    // Only " IN (" in upper case is a list; the literals keep their case.
    EXPECT_EQ(checkAsStored("situacao in ('b','a')"), QStringLiteral("SITUACAO IN ('b','a')"));
    EXPECT_EQ(checkAsStored("SITUACAO IN ('B','A') AND VALOR > 0"), QStringLiteral("SITUACAO IN ('A','B')"));
    EXPECT_EQ(checkAsStored("  valor > 0 "), QStringLiteral("VALOR > 0"));
    EXPECT_EQ(checkAsStored("\"TIPO\" IN ('x', \"Y\", 'a')"), QStringLiteral("\"TIPO\" IN ('a','x',Y)"));
    EXPECT_EQ(checkAsStored("NOME = 'joão d''ávila'"), QStringLiteral("NOME = 'joão d''ávila'"));
    // Duplicates stay; an unclosed list runs to the end.
    EXPECT_EQ(sortedInListCondition("A IN (2,1,2"), QStringLiteral("A IN (1,2,2)"));

    EXPECT_EQ(remote::modelTypeName("VARCHAR2"), QStringLiteral("Text2"));
    EXPECT_EQ(remote::modelTypeName("TIMESTAMP(6)"), QStringLiteral("TimeStamp"));
    EXPECT_EQ(remote::modelTypeName("LONG VARCHAR"), QStringLiteral("Text"));
    EXPECT_EQ(remote::modelTypeName("GRAPHIC"), QString());
    EXPECT_EQ(remote::modelTypeName("varchar"), QString());  // exact case only

    EXPECT_EQ(remote::structureArchiveName("0042", "PROD", "DB2"), QStringLiteral("0042-PROD-DB2.md"));
    EXPECT_EQ(remote::structureArchiveName("../x", "A/B", "DB2"), QStringLiteral("__x-A_B-DB2.md"));
    EXPECT_FALSE(remote::structureStatements("MSSQL").has_value());
    EXPECT_FALSE(remote::structureStatements("oracle").has_value());
}

TEST(StructureModel, OracleColumnsChecksAndRulesFollowTheVendor)
{
    const QStringList columnFields{"TABELA", "COLUNA", "TIPO", "TAMANHO", "ESCALA", "PADRAO", "NULO", "POSICAO"};
    const ResultTable columns(columnFields, {{"T", "ID", "NUMBER", 22, 0, QVariant(), "N", 1},
                                             {"T", "VALOR", "NUMBER", 22, 2, " 0 ", "Y", 2},
                                             {"T", "HR_ALTERACAO", "DATE", 7, QVariant(), QVariant(), "Y", 3},
                                             {"T", "TEXTO", "CLOB", 4000, QVariant(), QVariant(), "Y", 4},
                                             {"T", "QTD", "NUMBER", 22, QVariant(), QVariant(), "Y", 5}});
    const ResultTable checks({"TABELA", "NOME", "CONDICAO"},
                             {{"T", "SYS_C001", "\"ID\" IS NOT NULL"}, {"T", "CK_VALOR", "valor > 0"}});
    const ResultTable references({"NOME", "TABELA", "COLUNA", "TABELAREF", "COLUNAREF", "POSICAO", "REGRADELETE"},
                                 {{"FK_A", "T", "ID", "P", "ID", 1, "NO ACTION"}, {"FK_B", "T", "ID", "P", "ID", 1, "CASCADE"}});
    const ResultTable indexes({"NOME", "TABELA", "COLUNA", "UNICO", "POSICAO"},
                              {{"IX_A", "T", "VALOR", "UNIQUE", 1}, {"IX_B", "T", "QTD", "NONUNIQUE", 1}});
    remote::RawStructure raw;
    raw.columns = &columns;
    raw.checks = &checks;
    raw.foreignKeys = &references;
    raw.indexes = &indexes;
    const auto model = remote::buildStructureModel("ORACLE", raw);
    const ResultTable c = model[0].table();
    EXPECT_EQ(c.text(0, "Tipo"), QStringLiteral("Integer"));  // NUMBER with scale 0
    EXPECT_EQ(c.text(1, "Tipo"), QStringLiteral("Double"));
    EXPECT_EQ(c.text(1, "Padrao"), QStringLiteral("0"));
    EXPECT_TRUE(c.isNull(0, "Padrao"));
    EXPECT_FALSE(c.value(0, "Nulo").toBool());
    EXPECT_TRUE(c.value(1, "Nulo").toBool());
    EXPECT_EQ(c.text(2, "Tipo"), QStringLiteral("Time"));  // a DATE named HR_...
    EXPECT_EQ(c.integer(3, "Tamanho"), -1);                // CLOB
    EXPECT_EQ(c.text(4, "Tipo"), QStringLiteral("Integer"));  // NUMBER without scale
    EXPECT_TRUE(c.isNull(4, "Escala"));
    const ResultTable k = model[1].table();
    ASSERT_EQ(k.count(), 1);  // the generated NOT NULL check is gone
    EXPECT_EQ(k.text(0, "Condicao"), QStringLiteral("VALOR > 0"));
    const ResultTable r = model[2].table();
    EXPECT_TRUE(r.isNull(0, "RegraDelete"));
    EXPECT_EQ(r.text(1, "RegraDelete"), QStringLiteral("C"));
    const ResultTable i = model[5].table();
    EXPECT_TRUE(i.value(0, "Unico").toBool());
    EXPECT_FALSE(i.value(1, "Unico").toBool());
    // The fixed layouts: the primary key has Tabela first, the unique key Nome first.
    EXPECT_EQ(model[3].fields.at(0).name, QStringLiteral("Tabela"));
    EXPECT_EQ(model[4].fields.at(0).name, QStringLiteral("Nome"));
    EXPECT_EQ(model[0].fields.at(5).type, PacketFieldType::Memo);
}

namespace {
class StructureCapture : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        build.makerSite = server.siteAddress();
        session = std::make_unique<InstallerSession>(site.ui, build);
        session->installerDirectory = site.session.installerDirectory;
        session->workingFolder = site.session.workingFolder;
        session->customerCode = QStringLiteral("0042");
        const bool db2 = vendor() == QStringLiteral("DB2");
        // DB2's model reads the schema DBSM.
        site.createDb(QStringLiteral("BASE"), db2 ? QStringLiteral("dbsm") : QStringLiteral("tivra"), QStringLiteral("secret"));
        entry = session->cdsDbs.append({{"ALIAS", "BASE"}, {"DESCRICAO", "Base"},
                                        {"LOGIN", db2 ? "dbsm" : "tivra"}, {"PASSWORD", "secret"},
                                        {"IMAGE", int(ImageSuccess)}, {"VENDOR", vendor()}});
    }
    QString vendor() const { return QString::fromLatin1(GetParam()); }

    testsupport::VersionSite site;
    makersite::LocalMakerSite server{site.site.root() + QStringLiteral("/maker"), QStringLiteral("tvrk")};
    BuildSettings build = BuildSettings::compiled();
    std::unique_ptr<InstallerSession> session;
    int entry = 0;
};
}  // namespace

TEST_P(StructureCapture, TheSixDatasetsReachTheMakerAndTheArchiveIsGone)
{
    DbConnection connection(*session);
    ASSERT_TRUE(ConnectCurrentEntry(connection, entry)) << session->status.logText().join('\n').toStdString();
    const bool oracle = vendor() == QStringLiteral("ORACLE");
    const QString integer = oracle ? QStringLiteral("NUMBER(10)") : QStringLiteral("INTEGER");
    const QString text = oracle ? QStringLiteral("VARCHAR2(40)") : QStringLiteral("VARCHAR(40)");
    for (const QString &statement : QStringList{
             "CREATE TABLE PAI (ID " + integer + " NOT NULL, CODIGO " + text + ", CONSTRAINT PK_PAI PRIMARY KEY (ID), "
             "CONSTRAINT UK_PAI UNIQUE (CODIGO))",
             "CREATE TABLE FILHO (ID " + integer + " NOT NULL, ID_PAI " + integer + ", SITUACAO CHAR(1), "
             "CONSTRAINT PK_FILHO PRIMARY KEY (ID), CONSTRAINT FK_FILHO_PAI FOREIGN KEY (ID_PAI) REFERENCES PAI (ID) "
             "ON DELETE CASCADE, CONSTRAINT CK_SITUACAO CHECK (SITUACAO IN ('I', 'A','C')))",
             QStringLiteral("CREATE INDEX IX_FILHO_SIT ON FILHO (SITUACAO)")}) {
        QString error;
        ASSERT_TRUE(connection.execute(statement, &error)) << statement.toStdString() << ": " << error.toStdString();
    }
    remote::AnalisaEstruturaBanco(*session, connection, entry, remote::reportOptions(*session));
    EXPECT_FALSE(QFileInfo::exists(session->workingFolder + "/0042-BASE-" + vendor() + ".md"));
    EXPECT_TRUE(session->status.logText().join('\n').contains("Transmitindo dados ao servidor da Korlen!"));

    const auto uploads = server.uploads();
    ASSERT_EQ(uploads.size(), 1u) << session->status.logText().join('\n').toStdString();
    EXPECT_EQ(uploads[0].path, QStringLiteral("/InstallerLogs/DatabaseModels/index.php"));
    // The archive is the part's content: between the part's blank line and the closing boundary.
    const QByteArray &body = uploads[0].body;
    const qsizetype start = body.indexOf("\r\n\r\n") + 4;
    const qsizetype end = body.lastIndexOf("\r\n--");
    ASSERT_GT(end, start);
    const QString archive = site.site.root() + "/received.zip";
    QFile file(archive);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(body.mid(start, end - start));
    file.close();
    PackageReader reader(archive, QString());
    const QString out = site.site.root() + "/model";
    EXPECT_EQ(reader.extract("*.cds", out), 6);

    const ResultTable columns = readDataPacketFile(out + "/cdsColumns.cds").table();
    EXPECT_EQ(columns.count(), 5);
    EXPECT_EQ(columns.text(0, "Tabela"), QStringLiteral("FILHO"));
    EXPECT_EQ(columns.text(0, "Tipo"), QStringLiteral("Integer"));
    const ResultTable checks = readDataPacketFile(out + "/cdsChecks.cds").table();
    ASSERT_EQ(checks.count(), 1);
    EXPECT_EQ(checks.text(0, "Condicao"), QStringLiteral("SITUACAO IN ('A','C','I')"));
    const ResultTable references = readDataPacketFile(out + "/cdsReferences.cds").table();
    ASSERT_EQ(references.count(), 1);
    EXPECT_EQ(references.text(0, "TabelaRef"), QStringLiteral("PAI"));
    EXPECT_EQ(references.text(0, "RegraDelete"), QStringLiteral("C"));
    const ResultTable primaryKeys = readDataPacketFile(out + "/cdsPrimaryKey.cds").table();
    EXPECT_EQ(primaryKeys.count(), 2);
    const ResultTable uniqueKeys = readDataPacketFile(out + "/cdsUniqueKey.cds").table();
    ASSERT_EQ(uniqueKeys.count(), 1);
    EXPECT_EQ(uniqueKeys.text(0, "Coluna"), QStringLiteral("CODIGO"));
    // DB2 lists the index behind a unique constraint as an index of its own; Oracle's statement
    // leaves the indexes of constraints out.
    const ResultTable indexes = readDataPacketFile(out + "/cdsIndex.cds").table();
    ASSERT_EQ(indexes.count(), oracle ? 1 : 2);
    const int plain = indexes.text(0, "Nome") == QStringLiteral("IX_FILHO_SIT") ? 0 : 1;
    EXPECT_EQ(indexes.text(plain, "Nome"), QStringLiteral("IX_FILHO_SIT"));
    EXPECT_FALSE(indexes.value(plain, "Unico").toBool());
    if (!oracle) {
        EXPECT_TRUE(indexes.value(1 - plain, "Unico").toBool());
    }
}

TEST_P(StructureCapture, SqlServerGetsNothing)
{
    session->cdsDbs.setValue(entry, "VENDOR", "MSSQL");
    DbConnection connection(*session);
    ASSERT_TRUE(ConnectCurrentEntry(connection, entry));
    EXPECT_THROW(remote::AnalisaEstruturaBanco(*session, connection, entry, remote::reportOptions(*session)),
                 std::runtime_error);
    EXPECT_TRUE(server.uploads().empty());
}

INSTANTIATE_TEST_SUITE_P(Vendors, StructureCapture, ::testing::Values("DB2", "ORACLE"));
