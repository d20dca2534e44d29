// The error texts of the embedded emulation, written as each vendor's client prints them: DB2
// ("[IBM][CLI Driver][DB2] SQL0601N ...  SQLSTATE=42710"), Oracle ("ORA-00955: ...") and SQL
// Server ("Err 2714: ..."), so that the installer classifies them as it does the real ones.
#pragma once

#include "db/vendor.h"

#include <QString>

namespace tivra::embedded {

enum class ErrKind {
    ObjectExists,          // a: name, b: object type (TABLE, VIEW, SEQUENCE...)
    IndexExists,           // a: index, b: table
    DuplicateColumn,       // a: column, b: table
    PrimaryKeyExists,      // a: table
    IndexColumnsExist,     // a: the existing index
    DuplicateKey,          // a: table, b: constraint or index name, c: "P" primary key
    ConstraintMissing,     // a: constraint, b: table
    ConstraintNameExists,  // a: constraint
    ForeignKeyExists,      // a: constraint
    ColumnNotAllowed,      // a: column
    TableMissing,          // a: table
    ColumnMissing,         // a: column
    SequenceMissing,       // a: sequence
    IndexMissing,          // a: index
    DropMissing,           // a: object, b: object type
    Syntax,                // a: the text near the error
    InvalidCharacter,      // a: the character
    UnterminatedString,    // a: the start of the literal
    NotNull,               // a: table, b: column
    CheckViolated,         // a: constraint
    TooManyValues,
    NotEnoughValues,
    FunctionMissing,       // a: function
    TablespaceMissing,     // a: tablespace
    TablespaceExists,      // a: tablespace
    Locked,
    ReadOnly,              // a: database
    Unsupported,           // a: statement head
    EmptyStatement,
    DatabaseNotFound,      // a: alias, b: file path
    LoginFailed,           // a: user
    CannotConnect,         // a: alias, b: detail
    FileUnusable,          // a: alias, b: file path, c: what is wrong with the file
    NotNullColumnAdd,      // a: column, b: table
    NoMatchingKey,         // a: constraint, b: parent table
    ValidateDuplicate,     // a: constraint, b: table, c: "P" primary key
    ValidateCheck,         // a: constraint
    ValidateNull,          // a: table, b: column
    IndexForConstraint,    // a: index
    ReferencedByForeignKey,  // a: table, b: foreign key
    SequenceNotDefined,    // a: sequence
    DataType,              // a: detail
    UniqueKeyExists,       // a: constraint
    ValidateParent,        // a: constraint
    AlreadyNotNull,        // a: column
    AlreadyNull,           // a: column
    Generic,               // a: the engine's message
};

struct EmuError {
    ErrKind kind = ErrKind::Generic;
    QString a, b, c;
};

// The vendor's text for an error; schema is the connected user in upper case.
QString vendorErrorText(Vendor vendor, const EmuError &error, const QString &schema);

}  // namespace tivra::embedded
