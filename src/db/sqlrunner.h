// Connections and the statement runner: the way every stage opens a database and executes
// statements, plus the few SQL fragments that differ between the vendors.
//
//   DbConnection conn(session);                      // one connection per operation
//   if (!ConnectCurrentEntry(conn, row)) return;     // row: the current database entry of cdsDbs
//   ExecSQLText(conn, statement, true);              // expected vendor errors count as success
//   auto rows = RunQuery(conn, select, failureText); // a detached result table, or none
#pragma once

#include "db/connection.h"
#include "db/resulttable.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tivra {

// Configures the connection for a vendor ("DB2", "ORACLE" or "MSSQL", exact), alias, login,
// password and host, and opens it. On failure logs "Erro durante a autenticação do banco
// \"<alias>\". Mensagem: " + the driver's text (log only, image 2) and returns false.
bool ConfigConnection(DbConnection &connection, const QString &vendor, const QString &alias, const QString &login,
                      const QString &password, const QString &host);

// ConfigConnection with VENDOR, ALIAS, LOGIN, PASSWORD and DBHOST of row `entry` of
// session.cdsDbs (the current database entry).
bool ConnectCurrentEntry(DbConnection &connection, int entry);

// Executes one statement given as lines (sent joined, each line followed by CR LF). True on
// success or when the error is expected for the vendor (ErroPrevisto); with log set, expected
// errors are logged as "[VALIDADO PELO INSTALADOR]: ..." and failures as "Erro durante a
// execução da query ...", both image 2, log only.
bool ExecSQLConn(DbConnection &connection, const QStringList &lines, bool log);

// Trims blanks and control characters from both ends, splits at CR LF, CR or LF and runs
// ExecSQLConn.
bool ExecSQLText(DbConnection &connection, const QString &text, bool log);

// Executes a statement holding one named parameter (":name"), bound as a long text; no
// expected-error classification.
bool ExecSQLParam(DbConnection &connection, const QString &text, bool log, const QString &value, const QString &parameterName);

// Whether an error text is one that a repeated update is expected to raise, for a driver name
// ("DB2", "ORACLE", "DevartSQLServer" or "MSSQL", any case): the text must hold the vendor's
// marker ("DB2", "ORA", "Err") and one of the vendor's codes.
bool ErroPrevisto(const QString &driverName, const QString &errorText);

// The vendor's current date ("D") or time ("T") expression; empty for anything else.
QString CurrentDateTimeExpr(const QString &driverName, const QString &kind);

// "NULL" for 0, otherwise the number in decimal.
QString SQLIntOrNull(qint64 value);

// Runs a query on an open connection. On failure logs failureText + the driver's error text
// (log only, image 2) and returns no result.
std::optional<ResultTable> RunQuery(DbConnection &connection, const QString &select, const QString &failureText);

// The result of a read that the caller cannot do without: a missing one ends the calling
// operation with DbError.
const ResultTable &RequireResult(const std::optional<ResultTable> &result, const QString &what);

}  // namespace tivra
