// Stage "07. Catálogo de Tabelas": the table catalog of one database brought up to the package.
// For every table of the package: its row in CATALOGO_TABELAS, its columns in CATALOGO_COLUNAS,
// its table-column links in CATALOGO_TABCOL and, for the component table types 1, 5 and 6, its
// component in COMPONENTES and the component-column links in CATALOGO_TABCOMP. Rows are matched
// by name, never by key: the package's keys are the exporting database's own numbering.
//
// Statements run without a transaction; a rerun matches what an interrupted run left by name and
// completes it. Every text value written into a statement has its single quotes doubled.
#pragma once

#include "catalog/catalogo.h"
#include "db/connection.h"

#include <QHash>
#include <QString>
#include <vector>

namespace tivra {

struct InstallerSession;

// One column of the table being imported (the column map, sorted by name without regard to case).
struct TDadosColuna {
    QString NomeColuna;
    qint64 IdColunaBanco = 0;
    qint64 IdColunaPacote = 0;
    qint64 IdTabColBanco = -1;
    qint64 IdTabColPacote = 0;
    qint64 IdTabCompBanco = 0;
};
using ColumnMap = std::vector<TDadosColuna>;

// The rows of CATALOGO_COLUNAS that the column import matches by name. Read for one table's
// names at a time, or (ImportaCatalogoMulti, DB2 and Oracle) once for every table of a database:
// a column name is shared by many tables, and reading them per table scanned the whole catalog
// 300 times for 300 tables. The stage's own inserts and updates of CATALOGO_COLUNAS are added as
// they are carried out, which keeps the copy right while the installer is the only writer. A name is
// found exactly, and on SQL Server (whose usual collations compare without regard to case and
// trailing blanks) also without regard to case and trailing blanks; a name that is there twice
// gives its lowest key.
struct KnownColumns {
    struct Row {
        QString name;
        qint64 key = 0;
        qint64 tipoDadoItem = 0;
        qint64 tipoDadoIntItem = 0;
    };
    std::vector<Row> rows;
    bool loaded = false;  // every row of the table was read

    void add(Vendor vendor, const Row &row);
    Row *find(Vendor vendor, const QString &name);
    // Reads every row; false (and nothing known) when the read fails.
    bool load(DbConnection &connection);
    void clear();

private:
    static QString folded(const QString &name);
    QHash<QString, size_t> exact;
    QHash<QString, size_t> loose;
};

// The whole stage for the database entry `entry` of cdsDbs.
void ImportaCatalogoMulti(InstallerSession &session, int entry, const std::vector<TablePackets> &tables);
// One table; true when every step succeeded.
// With `columns`, the known columns of the database are used and kept (read at the first table
// that needs them); without, each table reads its own.
bool ImportarCatalogo(DbConnection &connection, const TablePackets &packets, KnownColumns *columns = nullptr);

qint64 ImportarCatalogoTabela(DbConnection &connection, const std::optional<DataPacket> &tab, bool &success, QString &name,
                              qint64 &type, qint64 &tableKey);
qint64 ImportarCatalogoColunas(DbConnection &connection, const std::optional<DataPacket> &col, bool hasComponent, ColumnMap &map,
                               bool &success, KnownColumns *columns = nullptr);
qint64 ImportarCatalogoTabCol(DbConnection &connection, qint64 tableKey, const QString &tableName, const std::optional<DataPacket> &tcl,
                              ColumnMap &map, bool hasComponent, bool &success);
qint64 ImportarCatalogoComponente(DbConnection &connection, const QString &tableName, qint64 tableKey,
                                  const std::optional<DataPacket> &com, bool &success, qint64 &componentKey);
bool AlteraIdTabelaDoComponente(DbConnection &connection, qint64 componentKey, qint64 tableKey, const QString &tableName);
qint64 ImportarCatalogoTabComp(DbConnection &connection, qint64 tableKey, const std::optional<DataPacket> &tcp, qint64 componentKey,
                               ColumnMap &map, bool &success);

// Copies the package's catalog archive to <log directory>/CatalogoComErro/<ALIAS>.zip.
bool ExportaCatalogoComErro(InstallerSession &session, int entry);

// Lookups: one query each; on failure "Erro interno em \"<name>\". Mensagem: ..." is logged and 0
// returned.
qint64 GetIdTabelaByNome(DbConnection &connection, const QString &name);
qint64 GetIdColunaByNome(DbConnection &connection, const QString &name);
qint64 GetIdComponenteByNomeTabela(DbConnection &connection, const QString &name);
qint64 GetIdComponenteByNomeComponente(DbConnection &connection, const QString &name);
// DESCRICAO of an item of a structured table, empty when there is none.
QString GetDescricaoTabEstrut(DbConnection &connection, qint64 item, qint64 code);
std::optional<ResultTable> GetDadosTabColDb(DbConnection &connection, qint64 tableKey);
std::optional<ResultTable> GetDadosTabCompDb(DbConnection &connection, qint64 tableKey);
// ID_TABCOL of the link of a column (by name) in a table; found is cleared when there is none.
qint64 GetIdsTabCol(DbConnection &connection, const QString &columnName, qint64 tableKey, bool &found);

// Whether a catalog table type has a component (1, 5 and 6).
bool hasComponentType(qint64 type);

}  // namespace tivra
