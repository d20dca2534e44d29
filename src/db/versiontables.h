// Version tables: per database and kind of content, which package versions were applied and
// whether completely (VS_PACK_BANCO, VS_PACK_CATALOGO, VS_PACK_MSG, VS_PACK_ROTULO,
// VS_PACK_TABESTRUT; STATUS 2 complete, 1 with failures, 0 never written by the installer), and
// the statement log INST_BANCO_PACK that lets a script run resume.
//
// The installer creates INST_BANCO_PACK, reads it and deletes rows from it (correction packages),
// but never inserts rows: they come from outside the installer (for instance from the package's
// own statements).
//
// The reads log "Erro interno no método \"<name>\". Mensagem: " + the driver's text (log only,
// image 2) and give no result when they fail; nothing here throws.
#pragma once

#include "db/connection.h"
#include "db/resulttable.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tivra {

struct InstallerSession;

inline const QString kVsPackBanco = QStringLiteral("VS_PACK_BANCO");
inline const QString kVsPackCatalogo = QStringLiteral("VS_PACK_CATALOGO");
inline const QString kVsPackMsg = QStringLiteral("VS_PACK_MSG");
inline const QString kVsPackRotulo = QStringLiteral("VS_PACK_ROTULO");
inline const QString kVsPackTabEstrut = QStringLiteral("VS_PACK_TABESTRUT");
inline const QString kInstBancoPack = QStringLiteral("INST_BANCO_PACK");

// Version status values.
inline constexpr int kStatusPartial = 1;
inline constexpr int kStatusComplete = 2;

// The five version tables in the order they are probed and created.
QStringList versionTables();

// CREATE TABLE text of a version table. The same text serves DB2, Oracle and SQL Server.
QString versionTableCreateText(const QString &table);
// CREATE TABLE text of INST_BANCO_PACK (all three vendors).
QString instBancoPackCreateText();

// The version number of a version text: every "." removed, the rest read as a decimal integer;
// 0 when that is not a number (or beyond the 32-bit range). "1.2.003" gives 12003.
qint64 versionNumber(const QString &version);

// A text value as an SQL literal: between single quotes, quotes inside doubled.
QString sqlQuoted(const QString &value);

// Makes sure the five version tables exist in every validated database (IMAGE 1) of
// session.cdsDbs and, for a correction package (PackCorrecao), deletes the unfinished rows of the
// package version and its statement-log rows. False when some database could not be connected
// or some table could neither be selected from nor created (the reason is logged).
bool CreateTableVersoes(InstallerSession &session);

// The correction clean-up on an open connection: rows of the package version whose STATUS is not
// 2 are deleted from the five version tables, and every INST_BANCO_PACK row of that version.
void LimpaVersaoCorrecao(DbConnection &connection, const QString &version);

// Writes status 1 or 2 of the package version into a version table of the database entry `entry`
// of session.cdsDbs: an insert (ID = highest ID + 1, the vendor's current date) or an update of
// the version's row. Failures are only logged; the caller goes on.
void AtualizaStatusVersao(InstallerSession &session, int entry, const QString &table, int status);

// SELECT * of the rows of a version table whose VERSAO_PACK is the version text.
std::optional<ResultTable> BuscaRegistroDaVersao(DbConnection &connection, const QString &table, const QString &version);

// STATUS and VERSAO_PACK of the row with the highest VERSAO_PACK in text order (no row when the
// table is empty). The statement depends on the connection's driver name (see
// maxStatusPackQuery); another driver name fails and is logged.
std::optional<ResultTable> BuscaMaxStatusPack(DbConnection &connection, const QString &table);
// The statement of BuscaMaxStatusPack for a driver name ("ORACLE", "DB2", "DevartSQLServer",
// compared exactly); empty for any other.
QString maxStatusPackQuery(const QString &driverName, const QString &table);

// The version number of the complete script version (VS_PACK_BANCO, STATUS 2) inserted last
// (highest ID); 0 when there is none or the read fails (not logged).
qint64 BuscaMaxPackComplete(DbConnection &connection);

// Makes database validation fill MAX_PACK_COMPLETE with BuscaMaxPackComplete. Call once at
// start-up.
void installMaxPackCompleteQuery();

// NUM_INSTRUCAO_SQL of every INST_BANCO_PACK row of the version.
std::optional<ResultTable> GetNumInstrucaoSQLExec(DbConnection &connection, const QString &version);

}  // namespace tivra
