// Tablespace mapping: the tablespaces of every validated database (cdsLookup), one mapping row
// per database and package tablespace name (cdsTS), the choice made in the window TfrTableSpaces,
// and the replacement of the package's names in the statements of one database.
#pragma once

#include "db/connection.h"
#include "db/resulttable.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace tivra {

struct InstallerSession;

// The vendors' tablespace reads: columns KEYFIELD and TABLESPACE_NAME. A failure is logged as
// "Erro interno no método \"GetTS_...\". Mensagem: " + the driver's text (log only, image 2).
std::optional<ResultTable> GetTS_Oracle(DbConnection &connection);
std::optional<ResultTable> GetTS_DB2(DbConnection &connection);
std::optional<ResultTable> GetTS_MSSQL(DbConnection &connection);

// Fills cdsLookup and cdsTS for every entry in state 1 whose connection opens (one connection
// object, configured for each entry in turn).
void CarregaTableSpaces(InstallerSession &session);

// Opening the window: loads the lists when the mapping list is empty and clears the confirmed
// flag.
void AbreTableSpaces(InstallerSession &session);

// The tablespaces that a mapping row may choose: (KEYFIELD, TABLESPACE_NAME) of its database.
std::vector<std::pair<qint64, QString>> tableSpacesOf(const InstallerSession &session, const QString &alias);

// Chooses a tablespace for a mapping row: KEY_LOOKUP and the derived TS_NEW (the name of the
// row's database with that KEYFIELD; empty when there is none).
void SetTableSpaceChoice(InstallerSession &session, int mappingRow, qint64 keyField);

// Whether some mapping row has no chosen tablespace (TS_NEW empty after trimming).
bool TableSpacesPendentes(const InstallerSession &session);

// An attempt to close the window: refused with the box "Existem tablespaces que não foram
// relacionadas." (caption "Aviso", warning icon) while rows are unmapped; otherwise sets
// session.tableSpacesConfirmed and allows it.
bool ConfirmaTableSpaces(InstallerSession &session);

// The mapping applied to the statements of one database: for each mapping row of the alias, in
// list order, every occurrence of TS_DEFAULT (any letter case, also inside longer words) becomes
// TS_NEW. Rows without a chosen tablespace change nothing.
QStringList AplicaTableSpaces(const InstallerSession &session, const QString &alias, QStringList statements);

}  // namespace tivra
