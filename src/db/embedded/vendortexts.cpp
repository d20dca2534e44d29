#include "db/embedded/vendortexts.h"

namespace tivra::embedded {

namespace {

QString db2(const QString &code, const QString &text, const QString &state)
{
    return QStringLiteral("[IBM][CLI Driver][DB2] ") + code + QStringLiteral("  ") + text + QStringLiteral("  SQLSTATE=") +
           state;
}

QString ora(const char *code, const QString &text)
{
    return QStringLiteral("ORA-") + QLatin1String(code) + QStringLiteral(": ") + text;
}

QString mss(int code, const QString &text)
{
    return QStringLiteral("Err %1: ").arg(code) + text;
}

QString q(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}
QString sq(const QString &s)
{
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString db2Text(const EmuError &e, const QString &schema)
{
    const QString qualified = schema.isEmpty() ? e.a : schema + QLatin1Char('.') + e.a;
    switch (e.kind) {
    case ErrKind::ObjectExists:
        return db2(QStringLiteral("SQL0601N"), QStringLiteral("The name of the object to be created is identical to the existing name ") +
                                                   q(qualified) + QStringLiteral(" of type ") + q(e.b) + QLatin1Char('.'),
                   QStringLiteral("42710"));
    case ErrKind::IndexExists:
        return db2(QStringLiteral("SQL0601N"), QStringLiteral("The name of the object to be created is identical to the existing name ") +
                                                   q(qualified) + QStringLiteral(" of type \"INDEX\"."),
                   QStringLiteral("42710"));
    case ErrKind::ConstraintNameExists:
    case ErrKind::ForeignKeyExists:
        return db2(QStringLiteral("SQL0601N"), QStringLiteral("The name of the object to be created is identical to the existing name ") +
                                                   q(e.a) + QStringLiteral(" of type \"CONSTRAINT\"."),
                   QStringLiteral("42710"));
    case ErrKind::TablespaceExists:
        return db2(QStringLiteral("SQL0601N"), QStringLiteral("The name of the object to be created is identical to the existing name ") +
                                                   q(e.a) + QStringLiteral(" of type \"TABLESPACE\"."),
                   QStringLiteral("42710"));
    case ErrKind::DuplicateColumn:
        return db2(QStringLiteral("SQL0612N"), q(e.a) + QStringLiteral(" is a duplicate name."), QStringLiteral("42711"));
    case ErrKind::PrimaryKeyExists:
        return db2(QStringLiteral("SQL0624N"), QStringLiteral("Table ") + q(qualified) + QStringLiteral(" already has a \"PRIMARY\" key."),
                   QStringLiteral("42889"));
    case ErrKind::IndexColumnsExist:
        return db2(QStringLiteral("SQL0605W"), QStringLiteral("The index was not created because the index ") + q(qualified) +
                                                   QStringLiteral(" already exists with the required description."),
                   QStringLiteral("01550"));
    case ErrKind::DuplicateKey:
        return db2(QStringLiteral("SQL0803N"),
                   QStringLiteral("One or more values in the INSERT statement, UPDATE statement, or foreign key update caused by a "
                                  "DELETE statement are not valid because the primary key, unique constraint or unique index "
                                  "identified by ") +
                       q(e.b) + QStringLiteral(" constrains table ") + q(qualified) +
                       QStringLiteral(" from having duplicate values for the index key."),
                   QStringLiteral("23505"));
    case ErrKind::ConstraintMissing:
    case ErrKind::TableMissing:
    case ErrKind::SequenceMissing:
    case ErrKind::IndexMissing:
    case ErrKind::DropMissing:
    case ErrKind::TablespaceMissing:
        return db2(QStringLiteral("SQL0204N"), q(e.kind == ErrKind::TablespaceMissing ? e.a : qualified) +
                                                   QStringLiteral(" is an undefined name."),
                   QStringLiteral("42704"));
    case ErrKind::ColumnMissing:
    case ErrKind::ColumnNotAllowed:
        return db2(QStringLiteral("SQL0206N"), q(e.a) + QStringLiteral(" is not valid in the context where it is used."),
                   QStringLiteral("42703"));
    case ErrKind::Syntax:
    case ErrKind::InvalidCharacter:
        return db2(QStringLiteral("SQL0104N"), QStringLiteral("An unexpected token ") + q(e.a) +
                                                   QStringLiteral(" was found following \"\".  Expected tokens may include:  \"\"."),
                   QStringLiteral("42601"));
    case ErrKind::UnterminatedString:
        return db2(QStringLiteral("SQL0010N"), QStringLiteral("The string constant beginning with ") + q(e.a) +
                                                   QStringLiteral(" does not have an ending string delimiter."),
                   QStringLiteral("42603"));
    case ErrKind::NotNull:
        return db2(QStringLiteral("SQL0407N"), QStringLiteral("Assignment of a NULL value to a NOT NULL column \"TBSPACEID=2, TABLE=") +
                                                   e.a + QStringLiteral(", COLUMN=") + e.b + QStringLiteral("\" is not allowed."),
                   QStringLiteral("23502"));
    case ErrKind::ValidateNull:
        return db2(QStringLiteral("SQL0407N"), QStringLiteral("Assignment of a NULL value to a NOT NULL column \"TBSPACEID=2, TABLE=") +
                                                   e.a + QStringLiteral(", COLUMN=") + e.b + QStringLiteral("\" is not allowed."),
                   QStringLiteral("23502"));
    case ErrKind::CheckViolated:
        return db2(QStringLiteral("SQL0545N"), QStringLiteral("The requested operation is not allowed because a row does not satisfy the check constraint ") +
                                                   q(qualified) + QLatin1Char('.'),
                   QStringLiteral("23513"));
    case ErrKind::TooManyValues:
    case ErrKind::NotEnoughValues:
        return db2(QStringLiteral("SQL0117N"), QStringLiteral("The number of values assigned is not the same as the number of specified or implied columns or variables."),
                   QStringLiteral("42802"));
    case ErrKind::FunctionMissing:
        return db2(QStringLiteral("SQL0440N"), QStringLiteral("No authorized routine named ") + q(e.a) +
                                                   QStringLiteral(" of type \"FUNCTION\" having compatible arguments was found."),
                   QStringLiteral("42884"));
    case ErrKind::Locked:
        return db2(QStringLiteral("SQL0911N"), QStringLiteral("The current transaction has been rolled back because of a deadlock or timeout.  Reason code \"68\"."),
                   QStringLiteral("40001"));
    case ErrKind::ReadOnly:
        return db2(QStringLiteral("SQL0817N"), QStringLiteral("The SQL statement cannot be executed because the statement will result in a prohibited update operation."),
                   QStringLiteral("25000"));
    case ErrKind::Unsupported:
        return db2(QStringLiteral("SQL0270N"), QStringLiteral("Function not supported (Reason code = \"") + e.a +
                                                   QStringLiteral("\": not available in the embedded emulation)."),
                   QStringLiteral("42997"));
    case ErrKind::EmptyStatement:
        return db2(QStringLiteral("SQL0198N"), QStringLiteral("The statement string of the PREPARE or EXECUTE IMMEDIATE statement is blank or empty."),
                   QStringLiteral("42617"));
    case ErrKind::DatabaseNotFound:
        return db2(QStringLiteral("SQL1013N"), QStringLiteral("The database alias name or database name ") + q(e.a) +
                                                   QStringLiteral(" could not be found. (embedded database file ") + q(e.b) +
                                                   QStringLiteral(")"),
                   QStringLiteral("42705"));
    case ErrKind::LoginFailed:
        return db2(QStringLiteral("SQL30082N"), QStringLiteral("Security processing failed with reason \"24\" (\"USERNAME AND/OR PASSWORD INVALID\")."),
                   QStringLiteral("08001"));
    case ErrKind::CannotConnect:
        return db2(QStringLiteral("SQL30081N"), QStringLiteral("A communication error has been detected while connecting to ") + q(e.a) +
                                                   QStringLiteral(" (") + e.b + QStringLiteral(")."),
                   QStringLiteral("08001"));
    case ErrKind::FileUnusable:
        return db2(QStringLiteral("SQL1036C"), QStringLiteral("An I/O error occurred while accessing the database ") + q(e.a) +
                                                   QStringLiteral(". (embedded database file ") + q(e.b) + QStringLiteral(": ") + e.c +
                                                   QStringLiteral(")"),
                   QStringLiteral("58030"));
    case ErrKind::NotNullColumnAdd:
        return db2(QStringLiteral("SQL0193N"), QStringLiteral("In an ALTER TABLE statement, the column ") + q(e.a) +
                                                   QStringLiteral(" has been specified as NOT NULL and either the DEFAULT clause was not specified or was specified as DEFAULT NULL."),
                   QStringLiteral("42601"));
    case ErrKind::NoMatchingKey:
        return db2(QStringLiteral("SQL0573N"), QStringLiteral("A column list specified in the references clause of constraint ") + q(e.a) +
                                                   QStringLiteral(" does not identify a unique constraint of the parent table or nickname ") +
                                                   q(e.b) + QLatin1Char('.'),
                   QStringLiteral("42890"));
    case ErrKind::ValidateDuplicate:
        return db2(QStringLiteral("SQL0603N"), QStringLiteral("A unique index cannot be created because the table contains rows which are duplicates with respect to the values of the identified columns."),
                   QStringLiteral("23515"));
    case ErrKind::ValidateCheck:
        return db2(QStringLiteral("SQL0544N"), QStringLiteral("The check constraint ") + q(e.a) +
                                                   QStringLiteral(" cannot be added because the table contains a row that violates the constraint."),
                   QStringLiteral("23512"));
    case ErrKind::IndexForConstraint:
        return db2(QStringLiteral("SQL0669N"), QStringLiteral("A system required index cannot be dropped explicitly."),
                   QStringLiteral("42917"));
    case ErrKind::ReferencedByForeignKey:
        return db2(QStringLiteral("SQL0478N"), QStringLiteral("The statement failed because one or more dependencies exist on the target object.  Target object type: \"TABLE\". Name of an object that is dependent on the target object: ") +
                                                   q(e.b) + QLatin1Char('.'),
                   QStringLiteral("42893"));
    case ErrKind::SequenceNotDefined:
        return db2(QStringLiteral("SQL0845N"), QStringLiteral("A PREVIOUS VALUE expression cannot be used before the NEXT VALUE expression generates a value in the current session for sequence ") +
                                                   q(qualified) + QLatin1Char('.'),
                   QStringLiteral("51035"));
    case ErrKind::DataType:
        return db2(QStringLiteral("SQL0408N"), QStringLiteral("A value is not compatible with the data type of its assignment target. (") +
                                                   e.a + QLatin1Char(')'),
                   QStringLiteral("42821"));
    case ErrKind::UniqueKeyExists:
        return db2(QStringLiteral("SQL0601N"), QStringLiteral("The name of the object to be created is identical to the existing name ") +
                                                   q(e.a) + QStringLiteral(" of type \"CONSTRAINT\"."),
                   QStringLiteral("42710"));
    case ErrKind::ValidateParent:
        return db2(QStringLiteral("SQL0667N"), QStringLiteral("The FOREIGN KEY ") + q(e.a) +
                                                   QStringLiteral(" cannot be created because the table contains rows with foreign key values that cannot be found in the parent key of the parent table."),
                   QStringLiteral("23520"));
    case ErrKind::AlreadyNotNull:
    case ErrKind::AlreadyNull:
        return QString();
    case ErrKind::Generic:
        break;
    }
    return db2(QStringLiteral("SQL0901N"), QStringLiteral("The SQL statement or command failed because of a database system error. (Reason \"") +
                                               e.a + QStringLiteral("\".)"),
               QStringLiteral("58004"));
}

QString oracleText(const EmuError &e, const QString &schema)
{
    const QString qualified = schema.isEmpty() ? e.a : schema + QLatin1Char('.') + e.a;
    switch (e.kind) {
    case ErrKind::ObjectExists:
    case ErrKind::IndexExists: return ora("00955", QStringLiteral("name is already used by an existing object"));
    case ErrKind::TablespaceExists: return ora("01543", QStringLiteral("tablespace ") + sq(e.a) + QStringLiteral(" already exists"));
    case ErrKind::DuplicateColumn: return ora("01430", QStringLiteral("column being added already exists in table"));
    case ErrKind::PrimaryKeyExists: return ora("02260", QStringLiteral("table can have only one primary key"));
    case ErrKind::IndexColumnsExist: return ora("01408", QStringLiteral("such column list already indexed"));
    case ErrKind::DuplicateKey:
        return ora("00001", QStringLiteral("unique constraint (") + (schema.isEmpty() ? e.b : schema + QLatin1Char('.') + e.b) +
                                QStringLiteral(") violated"));
    case ErrKind::ConstraintMissing: return ora("02443", QStringLiteral("Cannot drop constraint  - nonexistent constraint"));
    case ErrKind::ConstraintNameExists: return ora("02264", QStringLiteral("name already used by an existing constraint"));
    case ErrKind::ForeignKeyExists: return ora("02275", QStringLiteral("such a referential constraint already exists in the table"));
    case ErrKind::ColumnNotAllowed: return ora("00984", QStringLiteral("column not allowed here"));
    case ErrKind::TableMissing: return ora("00942", QStringLiteral("table or view does not exist"));
    case ErrKind::ColumnMissing: return ora("00904", q(e.a) + QStringLiteral(": invalid identifier"));
    case ErrKind::SequenceMissing: return ora("02289", QStringLiteral("sequence does not exist"));
    case ErrKind::IndexMissing: return ora("01418", QStringLiteral("specified index does not exist"));
    case ErrKind::DropMissing:
        return e.b == QLatin1String("SEQUENCE") ? ora("02289", QStringLiteral("sequence does not exist"))
                                                : ora("00942", QStringLiteral("table or view does not exist"));
    case ErrKind::Syntax: return ora("00933", QStringLiteral("SQL command not properly ended"));
    case ErrKind::InvalidCharacter: return ora("00911", QStringLiteral("invalid character"));
    case ErrKind::UnterminatedString: return ora("01756", QStringLiteral("quoted string not properly terminated"));
    case ErrKind::NotNull:
        return ora("01400", QStringLiteral("cannot insert NULL into (") + q(schema) + QLatin1Char('.') + q(e.a) + QLatin1Char('.') +
                                q(e.b) + QLatin1Char(')'));
    case ErrKind::CheckViolated: return ora("02290", QStringLiteral("check constraint (") + qualified + QStringLiteral(") violated"));
    case ErrKind::TooManyValues: return ora("00913", QStringLiteral("too many values"));
    case ErrKind::NotEnoughValues: return ora("00947", QStringLiteral("not enough values"));
    case ErrKind::FunctionMissing: return ora("00904", q(e.a) + QStringLiteral(": invalid identifier"));
    case ErrKind::TablespaceMissing: return ora("00959", QStringLiteral("tablespace ") + sq(e.a) + QStringLiteral(" does not exist"));
    case ErrKind::Locked:
        return ora("00054", QStringLiteral("resource busy and acquire with NOWAIT specified or timeout expired"));
    case ErrKind::ReadOnly: return ora("16000", QStringLiteral("database or pluggable database open for read-only access"));
    case ErrKind::Unsupported:
        return ora("03001", QStringLiteral("unimplemented feature (") + e.a + QStringLiteral(": not available in the embedded emulation)"));
    case ErrKind::EmptyStatement: return ora("00900", QStringLiteral("invalid SQL statement"));
    case ErrKind::DatabaseNotFound:
        return ora("12154", QStringLiteral("TNS:could not resolve the connect identifier specified (embedded database file ") + q(e.b) +
                                QLatin1Char(')'));
    case ErrKind::LoginFailed: return ora("01017", QStringLiteral("invalid username/password; logon denied"));
    case ErrKind::CannotConnect: return ora("12541", QStringLiteral("TNS:no listener (") + e.b + QLatin1Char(')'));
    case ErrKind::FileUnusable:
        return ora("01122", QStringLiteral("database file 1 failed verification check (embedded database file ") + q(e.b) +
                                QStringLiteral(": ") + e.c + QLatin1Char(')'));
    case ErrKind::NotNullColumnAdd: return ora("01758", QStringLiteral("table must be empty to add mandatory (NOT NULL) column"));
    case ErrKind::NoMatchingKey: return ora("02270", QStringLiteral("no matching unique or primary key for this column-list"));
    case ErrKind::ValidateDuplicate:
        if (e.c == QLatin1String("I"))
            return ora("01452", QStringLiteral("cannot CREATE UNIQUE INDEX; duplicate keys found"));
        return e.c == QLatin1String("P")
                   ? ora("02437", QStringLiteral("cannot validate (") + qualified + QStringLiteral(") - primary key violated"))
                   : ora("02299", QStringLiteral("cannot validate (") + qualified + QStringLiteral(") - duplicate keys found"));
    case ErrKind::ValidateCheck:
        return ora("02293", QStringLiteral("cannot validate (") + qualified + QStringLiteral(") - check constraint violated"));
    case ErrKind::ValidateNull: return ora("02296", QStringLiteral("cannot enable (") + schema + QStringLiteral(".) - null values found"));
    case ErrKind::IndexForConstraint:
        return ora("02429", QStringLiteral("cannot drop index used for enforcement of unique/primary key"));
    case ErrKind::ReferencedByForeignKey:
        return ora("02449", QStringLiteral("unique/primary keys in table referenced by foreign keys"));
    case ErrKind::SequenceNotDefined:
        return ora("08002", QStringLiteral("sequence ") + e.a + QStringLiteral(".CURRVAL is not yet defined in this session"));
    case ErrKind::DataType: return ora("01722", QStringLiteral("invalid number"));
    case ErrKind::UniqueKeyExists: return ora("02261", QStringLiteral("such unique or primary key already exists in the table"));
    case ErrKind::ValidateParent:
        return ora("02298", QStringLiteral("cannot validate (") + qualified + QStringLiteral(") - parent keys not found"));
    case ErrKind::AlreadyNotNull: return ora("01442", QStringLiteral("column to be modified to NOT NULL is already NOT NULL"));
    case ErrKind::AlreadyNull: return ora("01451", QStringLiteral("column to be modified to NULL cannot be modified to NULL"));
    case ErrKind::Generic: break;
    }
    return ora("20000", e.a);
}

QString mssqlText(const EmuError &e)
{
    switch (e.kind) {
    case ErrKind::ObjectExists:
    case ErrKind::ConstraintNameExists:
    case ErrKind::ForeignKeyExists:
    case ErrKind::TablespaceExists:
        return mss(2714, QStringLiteral("There is already an object named ") + sq(e.a) + QStringLiteral(" in the database."));
    case ErrKind::IndexExists:
        return mss(1913, QStringLiteral("The operation failed because an index or statistics with name ") + sq(e.a) +
                             QStringLiteral(" already exists on table ") + sq(e.b) + QLatin1Char('.'));
    case ErrKind::DuplicateColumn:
        return mss(2705, QStringLiteral("Column names in each table must be unique. Column name ") + sq(e.a) +
                             QStringLiteral(" in table ") + sq(e.b) + QStringLiteral(" is specified more than once."));
    case ErrKind::PrimaryKeyExists:
        return mss(1779, QStringLiteral("Table ") + sq(e.a) + QStringLiteral(" already has a primary key defined on it."));
    case ErrKind::IndexColumnsExist:
        return mss(1913, QStringLiteral("The operation failed because an index with the same columns as ") + sq(e.a) +
                             QStringLiteral(" already exists."));
    case ErrKind::DuplicateKey:
        if (e.c == QLatin1String("P"))
            return mss(2627, QStringLiteral("Violation of PRIMARY KEY constraint ") + sq(e.b) +
                                 QStringLiteral(". Cannot insert duplicate key in object 'dbo.") + e.a + QStringLiteral("'."));
        return mss(2601, QStringLiteral("Cannot insert duplicate key row in object 'dbo.") + e.a + QStringLiteral("' with unique index ") +
                             sq(e.b) + QLatin1Char('.'));
    case ErrKind::ConstraintMissing:
        return mss(3728, sq(e.a) + QStringLiteral(" is not a constraint. Could not drop constraint. See previous errors."));
    case ErrKind::ColumnNotAllowed:
        return mss(128, QStringLiteral("The name ") + q(e.a) +
                            QStringLiteral(" is not permitted in this context. Column names are not permitted."));
    case ErrKind::TableMissing:
    case ErrKind::SequenceMissing: return mss(208, QStringLiteral("Invalid object name ") + sq(e.a) + QLatin1Char('.'));
    case ErrKind::ColumnMissing: return mss(207, QStringLiteral("Invalid column name ") + sq(e.a) + QLatin1Char('.'));
    case ErrKind::IndexMissing:
        return mss(3701, QStringLiteral("Cannot drop the index ") + sq(e.a) +
                             QStringLiteral(", because it does not exist or you do not have permission."));
    case ErrKind::DropMissing:
        return mss(3701, QStringLiteral("Cannot drop the ") + e.b.toLower() + QLatin1Char(' ') + sq(e.a) +
                             QStringLiteral(", because it does not exist or you do not have permission."));
    case ErrKind::Syntax:
    case ErrKind::InvalidCharacter: return mss(102, QStringLiteral("Incorrect syntax near ") + sq(e.a) + QLatin1Char('.'));
    case ErrKind::UnterminatedString:
        return mss(105, QStringLiteral("Unclosed quotation mark after the character string ") + sq(e.a) + QLatin1Char('.'));
    case ErrKind::NotNull:
    case ErrKind::ValidateNull:
        return mss(515, QStringLiteral("Cannot insert the value NULL into column ") + sq(e.b) + QStringLiteral(", table ") + sq(e.a) +
                            QStringLiteral("; column does not allow nulls. The statement fails."));
    case ErrKind::CheckViolated:
    case ErrKind::ValidateCheck:
        return mss(547, QStringLiteral("The statement conflicted with the CHECK constraint ") + q(e.a) + QLatin1Char('.'));
    case ErrKind::TooManyValues:
    case ErrKind::NotEnoughValues:
        return mss(213, QStringLiteral("Column name or number of supplied values does not match table definition."));
    case ErrKind::FunctionMissing:
        return mss(195, sq(e.a) + QStringLiteral(" is not a recognized built-in function name."));
    case ErrKind::TablespaceMissing: return mss(1921, QStringLiteral("Invalid filegroup ") + sq(e.a) + QStringLiteral(" specified."));
    case ErrKind::Locked: return mss(1222, QStringLiteral("Lock request time out period exceeded."));
    case ErrKind::ReadOnly:
        return mss(3906, QStringLiteral("Failed to update database ") + q(e.a) + QStringLiteral(" because the database is read-only."));
    case ErrKind::Unsupported:
        return mss(102, QStringLiteral("Incorrect syntax near ") + sq(e.a) +
                            QStringLiteral(" (not available in the embedded emulation)."));
    case ErrKind::EmptyStatement: return QString();
    case ErrKind::DatabaseNotFound:
        return mss(4060, QStringLiteral("Cannot open database ") + q(e.a) +
                             QStringLiteral(" requested by the login. The login failed. (embedded database file ") + q(e.b) +
                             QLatin1Char(')'));
    case ErrKind::LoginFailed: return mss(18456, QStringLiteral("Login failed for user ") + sq(e.a) + QLatin1Char('.'));
    case ErrKind::CannotConnect:
        return mss(53, QStringLiteral("A network-related or instance-specific error occurred while establishing a connection to SQL Server (") +
                           e.b + QStringLiteral(")."));
    case ErrKind::FileUnusable:
        return mss(5172, QStringLiteral("The header for file ") + sq(e.b) + QStringLiteral(" is not a valid database file header. (") +
                             e.c + QStringLiteral(")"));
    case ErrKind::NotNullColumnAdd:
        return mss(4901, QStringLiteral("ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT definition specified. Column ") +
                             sq(e.a) + QStringLiteral(" cannot be added to non-empty table ") + sq(e.b) +
                             QStringLiteral(" because it does not satisfy these conditions."));
    case ErrKind::NoMatchingKey:
        return mss(1776, QStringLiteral("There are no primary or candidate keys in the referenced table ") + sq(e.b) +
                             QStringLiteral(" that match the referencing column list in the foreign key ") + sq(e.a) + QLatin1Char('.'));
    case ErrKind::ValidateDuplicate:
        return mss(1505, QStringLiteral("The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name 'dbo.") +
                             e.b + QStringLiteral("' and the index name ") + sq(e.a) + QLatin1Char('.'));
    case ErrKind::IndexForConstraint:
        return mss(3723, QStringLiteral("An explicit DROP INDEX is not allowed on index ") + sq(e.a) +
                             QStringLiteral(". It is being used for PRIMARY KEY or UNIQUE KEY constraint enforcement."));
    case ErrKind::ReferencedByForeignKey:
        return mss(3726, QStringLiteral("Could not drop object ") + sq(e.a) +
                             QStringLiteral(" because it is referenced by a FOREIGN KEY constraint."));
    case ErrKind::SequenceNotDefined:
        return mss(11700, QStringLiteral("The sequence object ") + sq(e.a) + QStringLiteral(" has no current value."));
    case ErrKind::DataType: return mss(245, QStringLiteral("Conversion failed (") + e.a + QStringLiteral(")."));
    case ErrKind::UniqueKeyExists:
        return mss(2714, QStringLiteral("There is already an object named ") + sq(e.a) + QStringLiteral(" in the database."));
    case ErrKind::ValidateParent:
        return mss(547, QStringLiteral("The ALTER TABLE statement conflicted with the FOREIGN KEY constraint ") + q(e.a) + QLatin1Char('.'));
    case ErrKind::AlreadyNotNull:
    case ErrKind::AlreadyNull: return QString();
    case ErrKind::Generic: break;
    }
    return mss(50000, e.a);
}

}  // namespace

QString vendorErrorText(Vendor vendor, const EmuError &error, const QString &schema)
{
    switch (vendor) {
    case Vendor::DB2: return db2Text(error, schema);
    case Vendor::Oracle: return oracleText(error, schema);
    case Vendor::MSSQL: return mssqlText(error);
    case Vendor::None: break;
    }
    return error.a;
}

}  // namespace tivra::embedded
