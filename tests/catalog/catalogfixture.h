// Catalog test fixtures: a database of the embedded emulation with the application's catalog
// tables (the demo site's schema), and catalog packages made from CSV text: the data files of
// each table, index.xml and ExportCatalogo.zip in the package working folder.
#pragma once

#include "../db/dbtest.h"
#include "catalog/catalogo.h"
#include "catalog/packetcsv.h"
#include "db/sqlrunner.h"
#include "package/packagewriter.h"

#include <QDir>
#include <QFile>
#include <map>

namespace tivra::testsupport {

inline const char *kTabHeader =
    "NOME_TABELA:string:50,TIPO_TABELA_TAB:i4,TIPO_TABELA_ITEM:i4,DESCR_TABELA:string:100,DESCR_TABELA_PL:string:100,"
    "IND_ESTRUTURADO:string:1,NUM_NIVEIS:i4,TEXTO_CONSULTA:memo,ID_TABELA_BASE:i4,TIPO_CHAVE_TAB:i4,TIPO_CHAVE_ITEM:i4\n";
inline const char *kColHeader =
    "ID_CATALOGO_COLUNA:i4,NOME_COLUNA:string:50,DESCR_COLUNA:string:100,IND_COLUNA:string:1,TIPO_DADO_TAB:i4,TIPO_DADO_ITEM:i4,"
    "TIPO_DADO_INT_TAB:i4,TIPO_DADO_INT_ITEM:i4\n";
inline const char *kComHeader = "NOME_COMPONENTE:string:60,DESCR_COMPONENTE:string:100\n";
inline const char *kTClHeader =
    "ID_TABCOL:i4,ID_CATALOGO_COLUNA:i4,NOME_TABELA:string:50,NOME_COLUNA:string:50,TAMANHO:i4,ESCALA:i4,SEQUENCIA:i4,"
    "ORDEM_CHAVE_LOGICA:i4,NUM_NIVEL:i4,ID_TABELA_TAB_EST:i4,ID_TABELA_ITEM_EST:i4,TIPO_COLUNA_TAB:i4,TIPO_COLUNA_ITEM:i4,"
    "DESCR_COLUNA:string:100,IND_NULO:string:1,IND_LOCALIZAR:string:1,IND_CHAVE_FISICA:string:1,IND_AUTO_RELAC:string:1,"
    "IND_UPCASE:string:1,DESCR_COLUNA_HINT:string:100\n";
inline const char *kTCpHeader = "ID_TABCOL:i4,IND_ARMAZENADO:string:1,IND_OBRIGATORIO:string:1,ORDEM_COL_COMP:i4\n";
inline const char *kTEHeader =
    "COD_TABELA:i4,ITEM_TABELA:i4,DESCRICAO:string:100,SIGLA:string:10,IND_DEFAULT:string:1,IND_EXCLUSAO:string:1,"
    "IND_ATIVO:string:1\n";
inline const char *kTEFixoHeader =
    "COD_TABELA:i4,ITEM_TABELA:i4,DESCRICAO:string:100,SIGLA:string:10,IND_DEFAULT:string:1,IND_EXCLUSAO:string:1,"
    "IND_ATIVO:string:1,IND_FIXO:string:1\n";
inline const char *kMensagensHeader =
    "ID_MSG:i4,ID_SISTEMA:i4,COD_SISTEMA:string:10,NOME_SISTEMA:string:60,COD_MENSAGEM:string:20,NOME_CONSTRAINT:string:60,"
    "DESCR_MSG:string:255,DETALHES:memo\n";
inline const char *kRotulosHeader = "ID_ROTULO:i4,DESCR_ROTULO:string:100,DESCR_HINT:string:255\n";
inline const char *kRestrHeader = "COD_RESTRICAO:string:30,DESCR_RESTRICAO:string:255,EXPORTAR:string:1\n";

// The files of a catalog package, by member name.
class CatalogPackage {
public:
    // A table's five files from the CSV rows (without header); an empty text leaves a file out.
    CatalogPackage &table(int id, const QString &name, const QString &tab, const QString &col, const QString &com,
                          const QString &tcl, const QString &tcp)
    {
        const QString n = QString::number(id);
        m_tables.push_back({id, name, {}});
        put(QStringLiteral("Tab") + n, kTabHeader, tab);
        put(QStringLiteral("Col") + n, kColHeader, col);
        put(QStringLiteral("Com") + n, kComHeader, com);
        put(QStringLiteral("TCl") + n, kTClHeader, tcl);
        put(QStringLiteral("TCp") + n, kTCpHeader, tcp);
        return *this;
    }
    // A structured table of the last table added: its TabEstrut element and its TE file from CSV
    // text with its header line (a null text leaves the file out).
    CatalogPackage &structured(int code, const QString &descr, const QString &csv)
    {
        m_tables.back().structured.push_back({code, descr});
        if (!csv.isNull())
            files[QStringLiteral("TE%1_%2.cds").arg(m_tables.back().id).arg(code)] = writeBinaryPacket(packetFromCsv(csv));
        return *this;
    }
    CatalogPackage &file(const QString &member, const QByteArray &bytes)
    {
        files[member] = bytes;
        return *this;
    }
    CatalogPackage &remove(const QString &member)
    {
        files.erase(member);
        return *this;
    }
    QByteArray index() const
    {
        QString tables;
        for (const IndexTable &table : m_tables) {
            tables += QStringLiteral("<Tabela Id=\"%1\" Nome=\"%2\">").arg(table.id).arg(table.name);
            for (const auto &[code, descr] : table.structured)
                tables += QStringLiteral("<TabEstrut Codigo=\"%1\" Descricao=\"%2\"/>").arg(code).arg(descr);
            tables += QStringLiteral("</Tabela>");
        }
        return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Vendrix><Catalogo>") + tables +
                QStringLiteral("</Catalogo></Vendrix>"))
            .toUtf8();
    }
    // Writes ExportCatalogo.zip (with index.xml) at the path.
    void writeArchive(const QString &path) const
    {
        PackageWriter writer(path, QString(), PackageEncryption::None);
        writer.addBytes(QStringLiteral("index.xml"), index());
        for (const auto &[name, bytes] : files)
            writer.addBytes(name, bytes);
        writer.commit();
    }

    std::map<QString, QByteArray> files;

private:
    void put(const QString &base, const char *header, const QString &rows)
    {
        if (rows.isNull())
            return;
        files[base + QStringLiteral(".cds")] = writeBinaryPacket(packetFromCsv(QString::fromUtf8(header) + rows));
    }
    struct IndexTable {
        int id;
        QString name;
        std::vector<std::pair<int, QString>> structured;
    };
    std::vector<IndexTable> m_tables;
};

// A database site with the catalog schema in each database.
class CatalogSite : public DbSite {
public:
    CatalogSite()
    {
        session.workingFolder = site.installerDirectory() + QStringLiteral("tmp");
        session.pathLog = site.root() + QStringLiteral("/Log");
        session.package.versaoPacote = QStringLiteral("1.0.001");
        QDir().mkpath(session.workingFolder);
    }

    int addDatabase(const QString &alias, const QString &vendor)
    {
        createDb(alias);
        const int entry = addEntry(alias, vendor);
        DbConnection conn(session);
        EXPECT_TRUE(ConnectCurrentEntry(conn, entry));
        QFile schema(QStringLiteral(TIVRA_SOURCE_DIR "/tools/demo/databases/schema.sql"));
        EXPECT_TRUE(schema.open(QIODevice::ReadOnly));
        QString text;
        for (const QString &line : QString::fromUtf8(schema.readAll()).split(QLatin1Char('\n'))) {
            if (!line.trimmed().startsWith(QStringLiteral("--")))
                text += line + QLatin1Char('\n');
        }
        for (const QString &statement : text.split(QStringLiteral(";\n"), Qt::SkipEmptyParts)) {
            if (!statement.trimmed().isEmpty())
                expectRuns(conn, statement.trimmed());
        }
        for (const auto &[item, descr] : {std::pair{0, "Tipos de Tabela"}, {1, "Cadastro"}, {2, "Consulta"}, {5, "Movimento"}})
            expectRuns(conn, QStringLiteral("INSERT INTO TAB_ESTRUTURADA (ID_TABELA, COD_TABELA, ITEM_TABELA, DESCRICAO) VALUES (%1, 123, %2, '%3')")
                                 .arg(item + 1)
                                 .arg(item)
                                 .arg(QLatin1String(descr)));
        return entry;
    }

    // Places the package's ExportCatalogo.zip in the working folder and reads its index into
    // cdsCatalogo.
    void install(const CatalogPackage &package)
    {
        QDir().mkpath(session.workingFolder);
        package.writeArchive(QDir(session.workingFolder).filePath(kCatalogArchiveName));
        QFile index(QDir(session.workingFolder).filePath(QStringLiteral("index.xml")));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write(package.index());
        index.close();
        ReadIndexCatalogo(session);
        QFile::remove(index.fileName());
        session.package.existCatalogo = true;
    }

    // A data packet at the root of the package working folder, from CSV text with its header.
    void putPackageFile(const QString &name, const QString &csv)
    {
        QFile file(QDir(session.workingFolder).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(writeBinaryPacket(packetFromCsv(csv)));
    }

    ResultTable query(int entry, const QString &sql)
    {
        DbConnection conn(session);
        EXPECT_TRUE(ConnectCurrentEntry(conn, entry));
        QString error;
        std::optional<ResultTable> rows = conn.query(sql, &error);
        EXPECT_TRUE(rows.has_value()) << sql.toStdString() << "\n" << error.toStdString();
        return rows ? *rows : ResultTable();
    }
    qint64 count(int entry, const QString &table, const QString &where = QString())
    {
        const ResultTable t = query(entry, QStringLiteral("SELECT COUNT(*) AS N FROM ") + table +
                                               (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where));
        return t.isEmpty() ? -1 : t.integer(0, QStringLiteral("N"));
    }
    void exec(int entry, const QString &sql)
    {
        DbConnection conn(session);
        ASSERT_TRUE(ConnectCurrentEntry(conn, entry));
        expectRuns(conn, sql);
    }
    QStringList rows(const QString &stage) const
    {
        QStringList texts;
        for (const StatusRow &row : session.status.rows()) {
            if (row.group == stage)
                texts << row.detalhes;
        }
        return texts;
    }
};

}  // namespace tivra::testsupport
