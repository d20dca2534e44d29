// The catalog index: parsing index.xml into the catalog list, reading it from the package when
// the first page is left, and loading the data files the list names.
#include "catalog/catalogindex.h"
#include "catalogfixture.h"
#include "support/deployfixtures.h"
#include "support/packagebuilder.h"
#include "package/packagearchive.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::CatalogPackage;
using testsupport::CatalogSite;

namespace {

bool parse(const QByteArray &xml, std::vector<CatalogIndexRow> &rows, QString &error)
{
    return parseCatalogIndex(xml.constData(), size_t(xml.size()), rows, &error);
}

}  // namespace

TEST(CatalogIndex, TablesAndStructuredTablesInDocumentOrder)
{
    std::vector<CatalogIndexRow> rows;
    QString error;
    ASSERT_TRUE(parse("<?xml version=\"1.0\"?><Vendrix><Catalogo>"
                      "<Tabela Id=\"3\" Nome=\"CLIENTES\"><TabEstrut Codigo=\"124\" Descricao=\"Tipos\"/>"
                      "<TabEstrut Codigo=\"125\" Descricao=\"Situações\"/><TabEstrut Codigo=\"126\" Descricao=\"\"/></Tabela>"
                      "<Tabela Id=\"-1\" Nome=\"PEDIDOS\"/><Tabela Id=\"4\" Nome=\"UM\"><TabEstrut Codigo=\"7\" Descricao=\"Sete\"/></Tabela>"
                      "</Catalogo></Vendrix>",
                      rows, error))
        << error.toStdString();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].idTabela, 3);
    EXPECT_EQ(rows[1].codTabEst, 125);
    EXPECT_EQ(rows[1].descrTabEstrut, QStringLiteral("Situações"));
    EXPECT_EQ(rows[2].nomeTabela, QStringLiteral("CLIENTES"));
    EXPECT_FALSE(rows[3].hasTabEstrut);
    EXPECT_EQ(rows[3].idTabela, -1);
    EXPECT_EQ(rows[4].codTabEst, 7);
}

TEST(CatalogIndex, BadIndexesAreErrorsAndKeepTheRowsBefore)
{
    std::vector<CatalogIndexRow> rows;
    QString error;
    EXPECT_FALSE(parse("<Vendrix><Catalogo><Tabela Id=\"1\" Nome=\"A\"/><Tabela Id=\"x2\" Nome=\"B\"/><Tabela Id=\"3\"/></Catalogo></Vendrix>",
                       rows, error));
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_TRUE(error.contains(QStringLiteral("x2")) && error.contains(QStringLiteral("Id"))) << error.toStdString();
    for (const char *bad : {"<Vendrix><Catalogo><Tabela Nome=\"A\"/></Catalogo></Vendrix>",
                            "<Vendrix><Catalogo><Tabela Id=\" 1\" Nome=\"A\"/></Catalogo></Vendrix>",
                            "<Vendrix><Catalogo><Tabela Id=\"99999999999\" Nome=\"A\"/></Catalogo></Vendrix>",
                            "<Vendrix><Catalogo><Tabela Id=\"1\"><TabEstrut Codigo=\"\"/></Tabela></Catalogo></Vendrix>",
                            "<Vendrix><Catalogo><Tabela Id=\"1\"></Catalogo></Vendrix>", "<Outro/>", "", "<Vendrix/>"}) {
        rows.clear();
        error.clear();
        EXPECT_FALSE(parse(bad, rows, error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

TEST(CatalogIndex, ReadCatalogoFillsTheListFromThePackageAndRemovesTheWorkingFolder)
{
    CatalogSite site;
    CatalogPackage catalog;
    catalog.table(5, QStringLiteral("CLIENTES"), QString(), QString(), QString(), QString(), QString());
    const QString archive = site.site.root() + QStringLiteral("/ExportCatalogo.zip");
    catalog.writeArchive(archive);
    testsupport::PackageBuilder().add(kCatalogArchiveName, testsupport::readAll(archive)).writeUpdatePack(site.session.installerDirectory);
    ReadCatalogo(site.session);
    ASSERT_EQ(site.session.cdsCatalogo.count(), 1) << site.logText().toStdString();
    EXPECT_EQ(site.session.cdsCatalogo.text(0, QStringLiteral("NOME_TABELA")), QStringLiteral("CLIENTES"));
    EXPECT_EQ(site.session.cdsCatalogo.integer(0, QStringLiteral("ID_TABELA")), 5);
    EXPECT_TRUE(site.session.cdsCatalogo.isNull(0, QStringLiteral("COD_TAB_EST")));
    EXPECT_FALSE(QFileInfo::exists(site.session.workingFolder));

    // A malformed index: the parse error line, the list emptied.
    testsupport::PackageBuilder()
        .add(kCatalogArchiveName, [&] {
            CatalogPackage broken;
            broken.file(QStringLiteral("x"), "y");
            const QString path = site.site.root() + QStringLiteral("/broken.zip");
            PackageWriter w(path, QString(), PackageEncryption::None);
            w.addBytes(QStringLiteral("index.xml"), "<Vendrix><Catalogo><Tabela Id=\"A\"/>");
            w.commit();
            return testsupport::readAll(path);
        }())
        .writeUpdatePack(site.session.installerDirectory);
    ReadCatalogo(site.session);
    EXPECT_EQ(site.session.cdsCatalogo.count(), 0);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a interpretação do XML do Catálogo de Tabelas. Mensagem: ")), 1);

    // A package without catalog leaves the list as it was; one that is not a ZIP is logged.
    site.session.cdsCatalogo.append({{QStringLiteral("NOME_TABELA"), QStringLiteral("X")}});
    testsupport::PackageBuilder().add(QStringLiteral("Config.ini"), "[Outros]\r\n").writeUpdatePack(site.session.installerDirectory);
    ReadCatalogo(site.session);
    EXPECT_EQ(site.session.cdsCatalogo.count(), 1);
    testsupport::PackageBuilder().add(kCatalogArchiveName, "nada").writeUpdatePack(site.session.installerDirectory);
    ReadCatalogo(site.session);
    EXPECT_EQ(site.logCount(QStringLiteral("Erro durante a leitura do arquivo de catálogo. Mensagem: ")), 1);
}

TEST(CatalogIndex, DataFilesAreLoadedOncePerTableAndPerStructuredTable)
{
    CatalogSite site;
    auto &list = site.session.cdsCatalogo;
    const auto row = [&](int id, int code) {
        QVariantMap v{{QStringLiteral("ID_TABELA"), id}, {QStringLiteral("NOME_TABELA"), QStringLiteral("T%1").arg(id)}};
        if (code)
            v.insert(QStringLiteral("COD_TAB_EST"), code);
        list.append(v);
    };
    row(1, 10);
    row(1, 11);
    row(2, 0);
    row(1, 12);  // the same Id again: loaded once, at its first position
    const QString folder = catalogFolder(site.session);
    QDir().mkpath(folder);
    const QByteArray packet = writeBinaryPacket(packetFromCsv(QStringLiteral("A:i4\n1\n")));
    for (const char *name : {"Tab1.cds", "Col1.cds", "TCl1.cds", "Tab2.cds", "TE1_10.cds", "TE1_12.cds"}) {
        QFile f(folder + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(packet);
    }
    QFile bad(folder + QStringLiteral("/Col2.cds"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(packet.left(30));
    bad.close();
    LoadedCatalog catalog;
    ASSERT_TRUE(ReadCdsCatalogo(site.session, catalog));
    ASSERT_EQ(catalog.tables.size(), 2u);
    EXPECT_EQ(catalog.tables[0].idTabela, 1);
    EXPECT_TRUE(catalog.tables[0].tab && catalog.tables[0].col && catalog.tables[0].tcl);
    EXPECT_FALSE(catalog.tables[0].com || catalog.tables[0].tcp);
    EXPECT_TRUE(catalog.tables[1].tab);
    EXPECT_FALSE(catalog.tables[1].col);
    ASSERT_EQ(catalog.tabEstrutCount, 3);
    EXPECT_TRUE(catalog.tabEstrut[0] && !catalog.tabEstrut[1] && catalog.tabEstrut[2]);
    EXPECT_EQ(site.logCount(QStringLiteral("Col2.cds")), 1);  // named with the offset
    EXPECT_EQ(site.logCount(QStringLiteral("posição 30")), 1);
}

TEST(CatalogIndex, TheDemoCatalogArchiveMatchesItsSources)
{
    testsupport::TestSite site;
    const QString out = site.root() + QStringLiteral("/demo");
    PackageReader reader(QStringLiteral(TIVRA_SOURCE_DIR "/tools/demo/package/ExportCatalogo.zip"), QString());
    reader.extract(QStringLiteral("*.*"), out);
    const QDir sources(QStringLiteral(TIVRA_SOURCE_DIR "/tools/demo/catalog"));
    EXPECT_EQ(testsupport::readAll(out + QStringLiteral("/index.xml")), testsupport::readAll(sources.filePath(QStringLiteral("index.xml"))));
    const QStringList csvs = sources.entryList({QStringLiteral("*.csv")}, QDir::Files);
    EXPECT_EQ(csvs.size(), 11);
    for (const QString &csv : csvs) {
        const QString cds = QFileInfo(csv).completeBaseName() + QStringLiteral(".cds");
        EXPECT_EQ(testsupport::readAll(out + QLatin1Char('/') + cds),
                  writeBinaryPacket(packetFromCsv(QString::fromUtf8(testsupport::readAll(sources.filePath(csv))))))
            << cds.toStdString() << ": rebuild the archive with tivra-cds --catalogo (tools/demo/catalog/README.md)";
    }
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), csvs.size() + 1);
    // The catalogs at the package root.
    for (const QString &name : {QStringLiteral("Mensagens"), QStringLiteral("Rotulos"), QStringLiteral("RestFuncionalidade")}) {
        EXPECT_EQ(testsupport::readAll(QStringLiteral(TIVRA_SOURCE_DIR "/tools/demo/package/") + name + QStringLiteral(".cds")),
                  writeBinaryPacket(packetFromCsv(
                      QString::fromUtf8(testsupport::readAll(sources.filePath(QStringLiteral("raiz/") + name + QStringLiteral(".csv")))))))
            << name.toStdString() << ": rebuild it with tivra-cds (tools/demo/catalog/README.md)";
    }
}
