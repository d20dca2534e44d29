// The emulation's own tables in each database file (sequences, constraints, column types,
// tablespaces, users) and the vendor's system catalog views over them and over SQLite's schema,
// created as temporary views on every connection:
//
//   Oracle: USER_TABLESPACES, USER_TABLES, USER_VIEWS, USER_OBJECTS, USER_TAB_COLUMNS,
//           USER_CONSTRAINTS, USER_CONS_COLUMNS, USER_INDEXES, USER_IND_COLUMNS, USER_SEQUENCES,
//           the ALL_ forms of these (with OWNER), DUAL
//   DB2:    SYSCAT.TABLESPACES, .TABLES, .COLUMNS, .TABCONST, .KEYCOLUSE, .REFERENCES, .INDEXES,
//           .INDEXCOLUSE, .CHECKS, .SEQUENCES, SYSIBM.SYSDUMMY1 (read as SYSCAT_TABLES... after
//           the schema-qualified names are rewritten)
//   SQL Server: SYSFILES, SYSOBJECTS, SYS.TABLES, INFORMATION_SCHEMA.TABLES and .COLUMNS
#pragma once

#include "db/embedded/sqltokens.h"
#include "db/vendor.h"

#include <QString>
#include <QStringList>

namespace tivra::embedded {

// CREATE TABLE IF NOT EXISTS statements of the emulation's tables.
QStringList emulationTableStatements();
// CREATE TEMP VIEW statements of the vendor's catalog; schema is the connected user in upper
// case, alias the database's alias.
QStringList catalogViewStatements(Vendor vendor, const QString &schema, const QString &alias);
// Statements that copy the current columns and indexes into the catalog's temporary tables.
QStringList catalogRefreshStatements();
// Whether a statement reads the catalog (so the copies must be refreshed first).
bool mentionsCatalog(const Tokens &tokens);
// False when a statement's text cannot hold such a name (none of the names or prefixes occurs
// in it, in any case); true when it may.
bool mayMentionCatalog(const QString &text);
// Tablespace names a new database of the vendor has when TIVRA_EMU_TABLESPACES is empty.
QStringList defaultTablespaces(Vendor vendor, const QString &alias);

}  // namespace tivra::embedded
