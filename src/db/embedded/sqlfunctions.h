// Application-defined SQLite functions of the embedded emulation: the vendors' scalar functions
// that SQLite lacks (NVL, DECODE, TO_CHAR, TO_DATE, TRUNC, ISNULL, LEN, GETDATE...), sequences,
// Oracle's ROWNUM, and the helpers of the catalog views.
#pragma once

#include "db/vendor.h"

#include <QString>

struct sqlite3;

namespace tivra::embedded {

// Registers every function on the connection. The vendor decides how declared column types are
// shown by the catalog views.
bool registerFunctions(sqlite3 *db, Vendor vendor);

// Messages that the functions raise, recognised by the error classification.
inline constexpr const char *kSequenceMissing = "TIVRA_EMU_SEQUENCE_MISSING:";
inline constexpr const char *kSequenceNotDefined = "TIVRA_EMU_SEQUENCE_UNDEFINED:";

// Parts of a declared column type as the vendor's catalog shows them: 'T' type name, 'L'
// length, 'P' precision, 'S' scale (empty text for none).
QString columnTypePart(Vendor vendor, const QString &declared, QChar part);

}  // namespace tivra::embedded
