// Record access helpers shared by the catalog imports and the structure model: one SELECT each
// on an already open connection; failures are logged (log only, image 2) and give the failure
// value or no result, never an exception. Table and column names and values go into the SELECT
// unchanged, without escaping.
#pragma once

#include "db/connection.h"
#include "db/resulttable.h"

#include <QString>
#include <optional>

namespace tivra {

// The next key of a table: COALESCE(MAX(key)+1) or, for key type 2, the table's sequence
// "SEQ_<table>" (DB2 and Oracle). On failure `key` is left as it was and false is returned.
// A query without rows gives empty text.
bool GetNewIdForInsert(DbConnection &connection, const QString &table, const QString &keyField, QString &key);
// The same for a key type already read (GetTipoChave): MAX + 1 unless it is 2.
bool GetNewIdForKeyType(DbConnection &connection, const QString &table, const QString &keyField, qint64 keyType, QString &key);
// Convenience form: the new key, or `fallback` when the read fails.
QString GetNewIdForInsert(DbConnection &connection, const QString &table, const QString &keyField,
                          const QString &fallback = QString());
qint64 GetMaxId(DbConnection &connection, const QString &table, const QString &column);
qint64 GetCountRecords(DbConnection &connection, const QString &table);
std::optional<ResultTable> GetRecordPK(DbConnection &connection, const QString &table, qint64 keyValue, const QString &keyField);
std::optional<ResultTable> GetOleRecord(DbConnection &connection, const QString &table, qint64 keyValue, const QString &keyField);
std::optional<ResultTable> GetOleRecordStr(DbConnection &connection, const QString &table, const QString &value,
                                           const QString &field);
std::optional<ResultTable> GetRecords(DbConnection &connection, const QString &table);
std::optional<ResultTable> GetOleData(DbConnection &connection, const QString &select);

// TIPO_CHAVE_ITEM recorded for a table in CATALOGO_TABELAS (0 when there is none). A failure is
// logged as "Erro interno em \"GetTipoChave\". Mensagem: " + the error and gives 0.
qint64 GetTipoChave(DbConnection &connection, const QString &table);
// The same read, with no value when it failed (the failure is logged as above).
std::optional<qint64> ReadTipoChave(DbConnection &connection, const QString &table);

}  // namespace tivra
