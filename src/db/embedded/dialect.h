// Expression-level rewriting of the vendors' dialects into SQLite: current date and time
// (SYSDATE, CURRENT DATE, CURRENT TIME, CURRENT TIMESTAMP), sequences (NEXTVAL FOR SEQ_X,
// NEXT VALUE FOR SEQ_X, SEQ_X.NEXTVAL, SEQ_X.CURRVAL, PREVVAL FOR SEQ_X), row limiting (TOP n,
// FETCH FIRST n ROWS ONLY, OFFSET n ROWS, ROWNUM), schema-qualified catalog names (SYSCAT.X,
// SYSIBM.X, INFORMATION_SCHEMA.X, sys.x, dbo.x, <user>.x), MINUS, and the functions whose
// names SQLite reads as keywords (ISNULL, LEFT, RIGHT). Statement-level emulation (DDL) lives
// in the emulation itself.
#pragma once

#include "db/embedded/sqltokens.h"
#include "db/vendor.h"

namespace tivra::embedded {

struct DialectContext {
    Vendor vendor = Vendor::None;
    QString schema;  // the connected user, upper case
    int rownumSites = 0;
};

// Rewrites the tokens in place.
void rewriteExpressions(Tokens &tokens, DialectContext &context);

// The SQLite text of a date/time keyword, or empty text.
QString dateTimeReplacement(const QString &upperWord);

}  // namespace tivra::embedded
