// Stage "09. Catálogo de Tabelas Estruturadas": the items of the package's structured tables that
// a database does not have yet are added to TAB_ESTRUTURADA. Only inserts: an item that exists is
// never changed, and only items numbered above the database's highest item of a structured table
// are added (item 0, the header, only when the database lacks the structured table entirely).
#pragma once

#include "catalog/datapacket.h"
#include "db/connection.h"

#include <QString>
#include <optional>
#include <vector>

namespace tivra {

struct InstallerSession;

// The whole stage for the database entry `entry` of cdsDbs, one packet per "TE<Id>_<Codigo>.cds".
void ImportaTabEstrutMulti(InstallerSession &session, int entry, const std::vector<std::optional<DataPacket>> &packets);

// One structured table; true when all its inserts succeeded or there was nothing to insert.
bool ImportaTabEstrut(DbConnection &connection, const std::optional<DataPacket> &packet);

// The INSERT of one item, with a new key of its own; with `hasIndFixo` the target's IND_FIXO
// column is written too. Every text value has its single quotes doubled.
QString GetSqlInsertTabEstrut(DbConnection &connection, qint64 code, qint64 item, const QString &descricao, const QString &sigla,
                              const QString &indDefault, const QString &indExclusao, const QString &indAtivo, const QString &indFixo,
                              bool hasIndFixo);

// Every item of a structured table but its header, ordered by DESCRICAO; no result (and a log
// line) when the read fails. The result names every column of TAB_ESTRUTURADA even without rows.
std::optional<ResultTable> GetItensTabEstruturada(DbConnection &connection, qint64 code);

}  // namespace tivra
