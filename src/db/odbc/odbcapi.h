// Direct calls of the ODBC API beside Qt's QODBC driver, for what QODBC does not give: every
// diagnostic record with its SQLSTATE, the driver manager's list of installed drivers, and a
// prepared statement whose long-text parameter is bound with the SQL type the vendor needs.
// Handles are passed as void* so that users need not include the ODBC headers.
#pragma once

#include "db/vendor.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace tivra {

struct OdbcDiagnostic {
    QString sqlState;
    int native = 0;
    QString message;
};

// Handle kinds of odbcDiagnostics (SQL_HANDLE_ENV, SQL_HANDLE_DBC, SQL_HANDLE_STMT).
enum class OdbcHandle { Env = 1, Dbc = 2, Stmt = 3 };

// Every diagnostic record of a handle, in order.
std::vector<OdbcDiagnostic> odbcDiagnostics(OdbcHandle kind, void *handle);

// The driver names the ODBC driver manager lists (SQLDrivers); empty when it lists none.
QStringList odbcInstalledDrivers();

// How a text parameter is bound: the C type is always wide characters (the driver converts them
// to the database's code page), the SQL type never a national one, so that a non-Unicode
// database takes the text into its character columns.
struct LongTextBinding {
    int sqlType = 0;               // SQL_VARCHAR, SQL_LONGVARCHAR or DB2's SQL_CLOB (-99)
    unsigned long long columnSize = 0;
};

// The binding of a text for a vendor. The size counts the text's UTF-8 bytes, which is at least
// its size in any single-byte or UTF-8 database code page:
//   DB2: VARCHAR up to 32672 bytes, else CLOB (LONG VARCHAR stops at 32700 bytes and a graphic
//        type cannot be assigned to CLOB in a non-Unicode database);
//   Oracle: VARCHAR up to 4000 bytes (a VARCHAR2 column takes no LONG bind, ORA-01461), else
//        LONGVARCHAR, which the Oracle driver binds for CLOB columns;
//   SQL Server: VARCHAR up to 8000 bytes, else VARCHAR with size 0, the driver's varchar(max),
//        which fills VARCHAR(MAX) and TEXT columns.
LongTextBinding longTextBinding(Vendor vendor, const QString &value);

// Prepares `statement` (with "?" markers) on an open connection handle, binds `value` to each of
// its `markers` markers as `binding` says, and executes it with a forward-only cursor. False with
// the statement's diagnostic records when it fails.
bool odbcExecuteWithText(void *connection, const QString &statement, int markers, const LongTextBinding &binding,
                         const QString &value, std::vector<OdbcDiagnostic> *diagnostics);

// Asks the driver manager to connect with a connection string and disconnects at once; the
// diagnostic records of a failure. Used only to learn the ODBC state of a failure that the
// driver manager itself reported (no driver was reached, so no login is repeated).
std::vector<OdbcDiagnostic> odbcConnectDiagnostics(const QString &connectionString);

}  // namespace tivra
