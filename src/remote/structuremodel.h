// The structure model of a customer database: its tables and columns, keys, foreign keys,
// indexes and checks read from the vendor's system catalog (DB2 and Oracle), brought into one
// vendor-neutral shape, written as six binary data packets in a ZIP archive and sent to the
// maker's log collection endpoint, where it is compared with the reference model.
#pragma once

#include "catalog/datapacket.h"
#include "remote/httpclient.h"

#include <QString>

#include <array>
#include <optional>

namespace tivra {
class DbConnection;
struct InstallerSession;
}  // namespace tivra

namespace tivra::remote {

// The six catalog statements of a vendor ("DB2" or "ORACLE", compared exactly), in the order
// columns, primary keys, unique keys, foreign keys, indexes, checks; nothing for another vendor.
std::optional<std::array<QString, 6>> structureStatements(const QString &driverName);

// The model's type name of a vendor type name (exact, case-sensitive); empty when unknown.
QString modelTypeName(const QString &vendorType);

// A check condition whose column is compared with a list (" IN ("), with the list's elements
// trimmed, stripped of double quotes and sorted case-insensitively: "SITUACAO IN ('A','C','I')".
// Anything else of the condition is not kept. Conditions without " IN (" come back unchanged.
QString sortedInListCondition(const QString &condition);
// The condition trimmed, with the letters a to z outside single-quoted literals upper-cased.
QString upperOutsideLiterals(const QString &condition);

// The six raw sets of one database, as the catalog statements return them.
struct RawStructure {
    const ResultTable *columns = nullptr;
    const ResultTable *primaryKeys = nullptr;
    const ResultTable *uniqueKeys = nullptr;
    const ResultTable *foreignKeys = nullptr;
    const ResultTable *indexes = nullptr;
    const ResultTable *checks = nullptr;
};

// The names of the six model files, in the order of the archive.
inline constexpr std::array<const char *, 6> kStructureFiles{"cdsColumns.cds",    "cdsChecks.cds",
                                                             "cdsReferences.cds", "cdsPrimaryKey.cds",
                                                             "cdsUniqueKey.cds",  "cdsIndex.cds"};

// Builds the six model datasets from the raw sets of a vendor ("DB2" or "ORACLE").
// Order: columns, checks, references, primary key, unique key, index.
std::array<DataPacket, 6> buildStructureModel(const QString &driverName, const RawStructure &raw);

// The archive's file name: customer code + "-" + alias + "-" + vendor + ".md", each part made
// safe for a file name.
QString structureArchiveName(const QString &customerCode, const QString &alias, const QString &vendor);

// Captures, packs, uploads and deletes the model of the database of the entry (a row of cdsDbs)
// over its open connection. Throws std::runtime_error when a catalog statement fails or the
// vendor has no catalog statements (the caller ends the capture of the other databases);
// returns the upload's result (deliveryFailure() says why it was not delivered).
HttpResult AnalisaEstruturaBanco(InstallerSession &session, DbConnection &connection, int entry, const HttpOptions &options);

}  // namespace tivra::remote
