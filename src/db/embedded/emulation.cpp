#include "db/embedded/emulation.h"

#include "db/embedded/catalogviews.h"
#include "db/embedded/dialect.h"
#include "db/embedded/emulation_p.h"
#include "db/embedded/sqlfunctions.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

namespace tivra::embedded {

namespace {

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

// Called before every open. SQLite keeps memory statistics behind a global lock taken at every
// allocation, and a statement makes hundreds of them; nothing here reads those statistics. The
// setting only takes before SQLite's first use in the process, and is left as it is after that.
void configureSqlite()
{
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(configured);
}

QVariant columnValue(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER: return QVariant(qint64(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                                          sqlite3_column_bytes(stmt, column)));
    case SQLITE_BLOB: {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(stmt, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(stmt, column)));
    }
    default: return QVariant();
    }
}

QString sha256(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString stripSchema(QString name)
{
    name = name.trimmed();
    if (name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')) && name.size() >= 2)
        name = name.mid(1, name.size() - 2);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && !name.startsWith(QLatin1String("index '")))
        name = name.mid(dot + 1);
    return name;
}

}  // namespace

Emulation::Emulation(Vendor vendor) : m_vendor(vendor) {}

Emulation::~Emulation()
{
    close();
}

void Emulation::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool Emulation::open(const QString &folder, const ConnectRequest &request, QString *error)
{
    close();
    m_alias = request.alias;
    m_schema = request.login.trimmed().toUpper();
    auto fail = [&](const EmuError &e) {
        *error = vendorErrorText(m_vendor, e, m_schema);
        close();
        return false;
    };

    // The file of the alias; on a file system that tells case, another spelling of the alias is
    // accepted as Windows would.
    QString path = QDir(folder).filePath(request.alias + QStringLiteral(".db"));
    // The alias comes from the registry and the versions file: it names a file of the folder and
    // never leads anywhere else.
    const bool leavesFolder = request.alias.contains(QLatin1Char('/')) || request.alias.contains(QLatin1Char('\\'))
                              || request.alias.contains(QLatin1Char(':')) || request.alias.trimmed().startsWith(QLatin1Char('.'));
    if (request.alias.trimmed().isEmpty() || leavesFolder)
        return fail({ErrKind::DatabaseNotFound, request.alias, path, {}});
    if (!QFileInfo(path).isFile()) {
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.db"), QStringLiteral("*.DB")}, QDir::Files);
        for (const QString &file : files) {
            if (file.compare(request.alias + QStringLiteral(".db"), Qt::CaseInsensitive) == 0) {
                path = QDir(folder).filePath(file);
                break;
            }
        }
    }
    if (!QFileInfo(path).isFile())
        return fail({ErrKind::DatabaseNotFound, request.alias, QDir::toNativeSeparators(path), {}});

    configureSqlite();
    const QByteArray file = utf8(path);
    const QString nativePath = QDir::toNativeSeparators(path);
    // What is wrong with the file itself is said as such: it is no network fault.
    const auto fileFault = [&](int code, const QString &engineText) {
        const int primary = code & 0xff;
        const QString what = primary == SQLITE_NOTADB    ? QStringLiteral("the file is not a database")
                             : primary == SQLITE_CORRUPT ? QStringLiteral("the file is damaged")
                             : primary == SQLITE_BUSY || primary == SQLITE_LOCKED
                                 ? QStringLiteral("the file is locked by another program")
                                 : QStringLiteral("the file cannot be read: ") + engineText;
        return fail({ErrKind::FileUnusable, request.alias, nativePath, what});
    };
    const int opened = sqlite3_open_v2(file.constData(), &m_db, request.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    if (opened != SQLITE_OK) {
        if (!m_db)
            return fail({ErrKind::CannotConnect, request.alias, QStringLiteral("out of memory"), {}});
        return fileFault(sqlite3_extended_errcode(m_db), QString::fromUtf8(sqlite3_errmsg(m_db)));
    }
    sqlite3_busy_timeout(m_db, 3000);
    sqlite3_extended_result_codes(m_db, 1);
    // A file that is not a database (or is damaged) is found at the first read.
    char *message = nullptr;
    if (sqlite3_exec(m_db, "SELECT COUNT(*) FROM main.sqlite_schema", nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
        sqlite3_free(message);
        return fileFault(sqlite3_extended_errcode(m_db), text);
    }
    // A read-only open (the pre-flight report) of a file the emulation never prepared cannot create
    // the emulation's own tables in it: the report then reads a copy in memory, which gets them,
    // and the file stays exactly as it was.
    if (request.readOnly && !hasEmulationTables()) {
        QString copyError;
        if (!copyIntoMemory(&copyError))
            return fileFault(SQLITE_IOERR, copyError);
    }
    for (const QString &statement : emulationTableStatements())
        sqlite3_exec(m_db, utf8(statement).constData(), nullptr, nullptr, nullptr);  // a read-only file keeps what it has

    // Who may connect: the users recorded in the file; none recorded lets anyone in.
    const QVariant users = scalar(QStringLiteral("SELECT COUNT(*) FROM main.TIVRA_EMU_USERS"));
    if (users.isValid() && users.toLongLong() > 0) {
        const QVariant stored = scalar(QStringLiteral("SELECT PASSWORD_SHA256 FROM main.TIVRA_EMU_USERS WHERE LOGIN = ?1"),
                                       {request.login.trimmed().toUpper()});
        if (!stored.isValid() || stored.toString() != sha256(request.password))
            return fail({ErrKind::LoginFailed, request.login, {}, {}});
    }

    if (!registerFunctions(m_db, m_vendor))
        return fail({ErrKind::CannotConnect, request.alias, QString::fromUtf8(sqlite3_errmsg(m_db)), {}});
    // DB2 and Oracle compare LIKE patterns with case; SQL Server's usual collation does not.
    if (m_vendor != Vendor::MSSQL)
        sqlite3_exec(m_db, "PRAGMA case_sensitive_like = ON", nullptr, nullptr, nullptr);
    for (const QString &statement : catalogViewStatements(m_vendor, m_schema, m_alias)) {
        if (sqlite3_exec(m_db, utf8(statement).constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            const QString text = QString::fromUtf8(message ? message : "");
            sqlite3_free(message);
            return fail({ErrKind::CannotConnect, request.alias, text, {}});
        }
    }
    return true;
}

bool Emulation::hasEmulationTables()
{
    const QVariant count = scalar(QStringLiteral("SELECT COUNT(*) FROM main.sqlite_schema WHERE type = 'table' AND name IN ("
                                                 "'TIVRA_EMU_TABLESPACES', 'TIVRA_EMU_SEQUENCES', 'TIVRA_EMU_CONSTRAINTS', "
                                                 "'TIVRA_EMU_CONSTRAINT_COLUMNS', 'TIVRA_EMU_COLUMNS', 'TIVRA_EMU_USERS')"));
    return count.isValid() && count.toLongLong() == qsizetype(emulationTableStatements().size());
}

bool Emulation::copyIntoMemory(QString *error)
{
    sqlite3 *memory = nullptr;
    if (sqlite3_open_v2(":memory:", &memory, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(memory ? sqlite3_errmsg(memory) : "out of memory");
        sqlite3_close_v2(memory);
        return false;
    }
    sqlite3_backup *backup = sqlite3_backup_init(memory, "main", m_db, "main");
    const int rc = backup ? sqlite3_backup_step(backup, -1) : sqlite3_errcode(memory);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        *error = QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(memory);
        return false;
    }
    sqlite3_close_v2(m_db);
    m_db = memory;
    sqlite3_extended_result_codes(m_db, 1);
    return true;
}

bool Emulation::createDatabase(const QString &path, const QStringList &tablespaces, const QString &login,
                               const QString &password, QString *error)
{
    sqlite3 *db = nullptr;
    const QByteArray file = utf8(path);
    configureSqlite();
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return false;
    }
    bool ok = true;
    auto run = [&](const QString &sqlText, const QStringList &args = {}) {
        if (!ok)
            return;
        sqlite3_stmt *stmt = nullptr;
        const QByteArray text = utf8(sqlText);
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
            ok = false;
        } else {
            for (int i = 0; i < args.size(); ++i) {
                const QByteArray value = utf8(args.at(i));
                sqlite3_bind_text(stmt, i + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
            }
            const int rc = sqlite3_step(stmt);
            ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
        }
        if (!ok && error)
            *error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
    };
    for (const QString &statement : emulationTableStatements())
        run(statement);
    for (const QString &name : tablespaces)
        run(QStringLiteral("INSERT OR IGNORE INTO TIVRA_EMU_TABLESPACES (NAME) VALUES (?1)"), {name.toUpper()});
    if (!login.trimmed().isEmpty())
        run(QStringLiteral("INSERT OR REPLACE INTO TIVRA_EMU_USERS (LOGIN, PASSWORD_SHA256) VALUES (?1, ?2)"),
            {login.trimmed().toUpper(), sha256(password)});
    sqlite3_close_v2(db);
    return ok;
}

bool Emulation::execute(const QString &text, QString *error)
{
    return run(text, nullptr, nullptr, error);
}

std::optional<ResultTable> Emulation::query(const QString &text, QString *error)
{
    ResultTable result;
    if (!run(text, &result, nullptr, error))
        return std::nullopt;
    return result;
}

bool Emulation::executeWithText(const QString &text, const QString &parameter, const QString &value, QString *error)
{
    Binding binding{parameter.startsWith(QLatin1Char(':')) ? parameter.mid(1) : parameter, value};
    return run(text, nullptr, &binding, error);
}

bool Emulation::run(const QString &text, ResultTable *out, const Binding *binding, QString *error)
{
    if (!m_db) {
        *error = QStringLiteral("A conexão com o banco não está aberta.");
        return false;
    }
    bool trailing = false;
    int separators = 0;
    std::vector<Tokens> statements = splitStatements(tokenize(text), &trailing, &separators);
    EmuError failure;
    if (statements.empty()) {
        if (m_vendor == Vendor::MSSQL)
            return true;  // an empty batch does nothing
        *error = vendorErrorText(m_vendor, {ErrKind::EmptyStatement, {}, {}, {}}, m_schema);
        return false;
    }
    // DB2 and Oracle take one statement without a terminator; SQL Server runs a batch.
    if (m_vendor != Vendor::MSSQL && (statements.size() > 1 || separators > 0)) {
        *error = vendorErrorText(m_vendor, {ErrKind::InvalidCharacter, QStringLiteral(";"), {}, {}}, m_schema);
        return false;
    }
    for (Tokens &statement : statements) {
        if (!runOne(std::move(statement), out, binding, &failure)) {
            *error = vendorErrorText(m_vendor, failure, m_schema);
            return false;
        }
    }
    return true;
}

bool Emulation::sql(const QString &text, EmuError *error, ResultTable *out, const Binding *binding, bool fetchAll,
                    bool insertValues)
{
    const QByteArray statementText = utf8(text);
    const char *tail = nullptr;
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, statementText.constData(), int(statementText.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        if (error)
            *error = fromSqlite(rc, QString::fromUtf8(sqlite3_errmsg(m_db)), insertValues);
        return false;
    }
    if (!stmt)
        return true;  // nothing but blanks and comments
    if (binding) {
        const int count = sqlite3_bind_parameter_count(stmt);
        for (int k = 1; k <= count; ++k) {
            const char *raw = sqlite3_bind_parameter_name(stmt, k);
            if (raw && QString::fromUtf8(raw + 1).compare(binding->name, Qt::CaseInsensitive) == 0) {
                const QByteArray value = utf8(binding->value);
                sqlite3_bind_text(stmt, k, value.constData(), int(value.size()), SQLITE_TRANSIENT);
            }
        }
    }
    const int columns = sqlite3_column_count(stmt);
    const bool collect = out && columns > 0;
    std::vector<QVariantList> rows;
    // A read-only statement run for its effect opens its cursor only, as a driver's direct
    // execution does; everything else runs to the end.
    const bool stepOnce = !collect && !fetchAll && sqlite3_stmt_readonly(stmt);
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (collect) {
            QVariantList row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row.append(columnValue(stmt, c));
            rows.push_back(std::move(row));
        } else if (stepOnce) {
            rc = SQLITE_DONE;
            break;
        }
    }
    if (rc != SQLITE_DONE) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
        const int code = sqlite3_extended_errcode(m_db);
        sqlite3_finalize(stmt);
        if (error)
            *error = fromSqlite(code, message, insertValues);
        return false;
    }
    if (collect) {
        QStringList names;
        for (int c = 0; c < columns; ++c) {
            QString name = QString::fromUtf8(sqlite3_column_name(stmt, c));
            // DB2 and Oracle report unquoted names in upper case.
            if (m_vendor != Vendor::MSSQL)
                name = name.toUpper();
            names.append(name);
        }
        *out = ResultTable(names, std::move(rows));
    }
    sqlite3_finalize(stmt);
    return true;
}

QVariant Emulation::scalar(const QString &text, const QStringList &args)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray statementText = utf8(text);
    if (sqlite3_prepare_v2(m_db, statementText.constData(), int(statementText.size()), &stmt, nullptr) != SQLITE_OK)
        return {};
    for (int i = 0; i < args.size(); ++i) {
        const QByteArray value = utf8(args.at(i));
        sqlite3_bind_text(stmt, i + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    }
    QVariant result;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        result = columnValue(stmt, 0);
    sqlite3_finalize(stmt);
    return result;
}

bool Emulation::exec(const QString &text, const QStringList &args, EmuError *error)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray statementText = utf8(text);
    int rc = sqlite3_prepare_v2(m_db, statementText.constData(), int(statementText.size()), &stmt, nullptr);
    if (rc == SQLITE_OK) {
        for (int i = 0; i < args.size(); ++i) {
            const QByteArray value = utf8(args.at(i));
            sqlite3_bind_text(stmt, i + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        }
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK && error)
        *error = fromSqlite(sqlite3_extended_errcode(m_db), QString::fromUtf8(sqlite3_errmsg(m_db)), false);
    sqlite3_finalize(stmt);
    return rc == SQLITE_OK;
}

EmuError Emulation::fromSqlite(int code, const QString &message, bool insertValues)
{
    static const QRegularExpression exists(QStringLiteral(R"(^(table|view|index|trigger) (.+) already exists$)"));
    static const QRegularExpression noTable(QStringLiteral(R"(^no such (table|view): (.+)$)"));
    static const QRegularExpression noColumn(QStringLiteral(R"(^no such column: (.+)$)"));
    static const QRegularExpression dupColumn(QStringLiteral(R"(^duplicate column name: (.+)$)"));
    static const QRegularExpression unique(QStringLiteral(R"(^UNIQUE constraint failed: (.+)$)"));
    static const QRegularExpression notNull(QStringLiteral(R"(^NOT NULL constraint failed: ([^.]+)\.(.+)$)"));
    static const QRegularExpression check(QStringLiteral(R"(^CHECK constraint failed: (.+)$)"));
    static const QRegularExpression near(QStringLiteral(R"re(^near "(.*)": syntax error$)re"));
    static const QRegularExpression unrecognized(QStringLiteral(R"re(^unrecognized token: "(.*)"$)re"));
    static const QRegularExpression noFunction(QStringLiteral(R"(^no such function: (.+)$)"));
    static const QRegularExpression valueCount(QStringLiteral(R"(^table \S+ has (\d+) columns but (\d+) values were supplied$)"));
    static const QRegularExpression valueCount2(QStringLiteral(R"(^(\d+) values for (\d+) columns$)"));
    static const QRegularExpression noIndex(QStringLiteral(R"(^no such index: (.+)$)"));
    static const QRegularExpression unknownDb(QStringLiteral(R"(^unknown database (.+)$)"));

    QRegularExpressionMatch m;
    const int primary = code & 0xff;
    if (message.startsWith(QLatin1String(kSequenceMissing)))
        return {ErrKind::SequenceMissing, message.mid(int(qstrlen(kSequenceMissing))), {}, {}};
    if (message.startsWith(QLatin1String(kSequenceNotDefined)))
        return {ErrKind::SequenceNotDefined, message.mid(int(qstrlen(kSequenceNotDefined))), {}, {}};
    if (message.startsWith(QLatin1String("TIVRA_EMU_INVALID_NUMBER")))
        return {ErrKind::DataType, message, {}, {}};
    if ((m = exists.match(message)).hasMatch()) {
        const QString name = stripSchema(m.captured(2)).toUpper();
        if (m.captured(1) == QLatin1String("index"))
            return {ErrKind::IndexExists, name, {}, {}};
        return {ErrKind::ObjectExists, name, m.captured(1).toUpper(), {}};
    }
    if ((m = noTable.match(message)).hasMatch())
        return {ErrKind::TableMissing, stripSchema(m.captured(2)).toUpper(), {}, {}};
    if ((m = unknownDb.match(message)).hasMatch())
        return {ErrKind::TableMissing, stripSchema(m.captured(1)).toUpper(), {}, {}};
    if ((m = noColumn.match(message)).hasMatch())
        return {insertValues ? ErrKind::ColumnNotAllowed : ErrKind::ColumnMissing, stripSchema(m.captured(1)).toUpper(), {}, {}};
    if ((m = dupColumn.match(message)).hasMatch())
        return {ErrKind::DuplicateColumn, m.captured(1).toUpper(), {}, {}};
    if ((m = unique.match(message)).hasMatch()) {
        // "T.A, T.B" or "index 'NAME'": find the constraint that the key belongs to.
        const QString detail = m.captured(1);
        QString table;
        QStringList columns;
        QString index;
        if (detail.startsWith(QLatin1String("index '"))) {
            index = detail.mid(7, detail.size() - 8);
            table = scalar(QStringLiteral("SELECT UPPER(tbl_name) FROM main.sqlite_schema WHERE type = 'index' AND name = ?1"), {index})
                        .toString();
        } else {
            for (const QString &part : detail.split(QStringLiteral(", "))) {
                const qsizetype dot = part.indexOf(QLatin1Char('.'));
                table = part.left(dot).toUpper();
                columns.append(part.mid(dot + 1).toUpper());
            }
        }
        QString constraint = index.isEmpty() ? findKeyConstraint(table, columns) : QString();
        if (constraint.isEmpty() && !index.isEmpty())
            constraint = scalar(QStringLiteral("SELECT NAME FROM main.TIVRA_EMU_CONSTRAINTS WHERE UPPER(INDEX_NAME) = UPPER(?1)"), {index})
                             .toString();
        if (constraint.isEmpty())
            constraint = index.isEmpty() ? uniqueIndexFor(table, columns, false).toUpper() : index.toUpper();
        const QString type =
            scalar(QStringLiteral("SELECT TYPE FROM main.TIVRA_EMU_CONSTRAINTS WHERE NAME = ?1"), {constraint}).toString();
        const bool rowid = columns.size() == 1 && constraint.isEmpty();
        return {ErrKind::DuplicateKey, table, constraint.isEmpty() ? QStringLiteral("SYS_PK_%1").arg(table) : constraint,
                (type == QLatin1String("P") || rowid) ? QStringLiteral("P") : QString()};
    }
    if ((m = notNull.match(message)).hasMatch())
        return {ErrKind::NotNull, m.captured(1).toUpper(), m.captured(2).toUpper(), {}};
    if ((m = check.match(message)).hasMatch())
        return {ErrKind::CheckViolated, m.captured(1).toUpper(), {}, {}};
    if ((m = unrecognized.match(message)).hasMatch()) {
        const QString token = m.captured(1);
        if (token.startsWith(QLatin1Char('\'')))
            return {ErrKind::UnterminatedString, token.mid(1), {}, {}};
        return {ErrKind::Syntax, token, {}, {}};
    }
    if ((m = near.match(message)).hasMatch())
        return {ErrKind::Syntax, m.captured(1), {}, {}};
    if (message == QLatin1String("incomplete input"))
        return {ErrKind::Syntax, QString(), {}, {}};
    if ((m = noFunction.match(message)).hasMatch())
        return {ErrKind::FunctionMissing, m.captured(1).toUpper(), {}, {}};
    if ((m = valueCount.match(message)).hasMatch())
        return {m.captured(2).toInt() > m.captured(1).toInt() ? ErrKind::TooManyValues : ErrKind::NotEnoughValues, {}, {}, {}};
    if ((m = valueCount2.match(message)).hasMatch())
        return {m.captured(1).toInt() > m.captured(2).toInt() ? ErrKind::TooManyValues : ErrKind::NotEnoughValues, {}, {}, {}};
    if ((m = noIndex.match(message)).hasMatch())
        return {ErrKind::IndexMissing, m.captured(1).toUpper(), {}, {}};
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return {ErrKind::Locked, {}, {}, {}};
    if (primary == SQLITE_READONLY)
        return {ErrKind::ReadOnly, m_alias, {}, {}};
    if (primary == SQLITE_MISMATCH)
        return {ErrKind::DataType, message, {}, {}};
    return {ErrKind::Generic, message, {}, {}};
}

// ---- catalog helpers -------------------------------------------------------------------------

void Emulation::refreshCatalog()
{
    for (const QString &statement : catalogRefreshStatements())
        sqlite3_exec(m_db, utf8(statement).constData(), nullptr, nullptr, nullptr);
}

bool Emulation::tableExists(const QString &table)
{
    return scalar(QStringLiteral("SELECT 1 FROM main.sqlite_schema WHERE type = 'table' AND UPPER(name) = UPPER(?1)"), {table})
        .isValid();
}

bool Emulation::viewExists(const QString &view)
{
    return scalar(QStringLiteral("SELECT 1 FROM main.sqlite_schema WHERE type = 'view' AND UPPER(name) = UPPER(?1)"), {view})
        .isValid();
}

QStringList Emulation::tableColumns(const QString &table)
{
    QStringList columns;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = utf8(QStringLiteral("SELECT UPPER(name) FROM pragma_table_info(?1, 'main') ORDER BY cid"));
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        return columns;
    const QByteArray name = utf8(table);
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        columns.append(columnValue(stmt, 0).toString());
    sqlite3_finalize(stmt);
    return columns;
}

bool Emulation::tableHasPrimaryKey(const QString &table)
{
    if (scalar(QStringLiteral("SELECT 1 FROM main.TIVRA_EMU_CONSTRAINTS WHERE TABLE_NAME = ?1 AND TYPE = 'P'"), {table}).isValid())
        return true;
    return scalar(QStringLiteral("SELECT 1 FROM pragma_table_info(?1, 'main') WHERE pk > 0"), {table}).isValid();
}

bool Emulation::tableIsEmpty(const QString &table)
{
    return !scalar(QStringLiteral("SELECT 1 FROM main.") + quoteName(table) + QStringLiteral(" LIMIT 1")).isValid();
}

bool Emulation::tablespaceExists(const QString &name)
{
    return scalar(QStringLiteral("SELECT 1 FROM TIVRA_EMU_TS WHERE UPPER(NAME) = UPPER(?1)"), {name}).isValid();
}

bool Emulation::constraintExists(const QString &name)
{
    return scalar(QStringLiteral("SELECT 1 FROM main.TIVRA_EMU_CONSTRAINTS WHERE NAME = ?1"), {name.toUpper()}).isValid();
}

// The primary key or unique constraint of a table over exactly these columns (in order); with
// no columns, the primary key.
QString Emulation::findKeyConstraint(const QString &table, const QStringList &columns)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = utf8(QStringLiteral(
        "SELECT k.NAME, k.TYPE, (SELECT GROUP_CONCAT(COLUMN_NAME, ',') FROM (SELECT COLUMN_NAME FROM "
        "main.TIVRA_EMU_CONSTRAINT_COLUMNS c WHERE c.CONSTRAINT_NAME = k.NAME ORDER BY POSITION)) "
        "FROM main.TIVRA_EMU_CONSTRAINTS k WHERE k.TABLE_NAME = ?1 AND k.TYPE IN ('P', 'U') ORDER BY k.TYPE"));
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        return {};
    const QByteArray name = utf8(table.toUpper());
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    const QString wanted = columns.join(QLatin1Char(','));
    QString found;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const QString constraint = columnValue(stmt, 0).toString();
        const QString type = columnValue(stmt, 1).toString();
        const QString list = columnValue(stmt, 2).toString();
        if ((columns.isEmpty() && type == QLatin1String("P")) || (!columns.isEmpty() && list == wanted)) {
            found = constraint;
            break;
        }
    }
    sqlite3_finalize(stmt);
    return found;
}

// The unique index SQLite made (or the emulation made) over exactly these columns.
QString Emulation::uniqueIndexFor(const QString &table, const QStringList &columns, bool primary)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = utf8(QStringLiteral(
        "SELECT il.name, il.origin, (SELECT GROUP_CONCAT(n, ',') FROM (SELECT UPPER(ii.name) AS n FROM "
        "pragma_index_info(il.name, 'main') ii ORDER BY ii.seqno)) FROM pragma_index_list(?1, 'main') il WHERE il.\"unique\""));
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        return {};
    const QByteArray name = utf8(table);
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    const QString wanted = columns.join(QLatin1Char(','));
    QString found;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const QString index = columnValue(stmt, 0).toString();
        const QString origin = columnValue(stmt, 1).toString();
        const QString list = columnValue(stmt, 2).toString();
        if (list == wanted && (!primary || origin == QLatin1String("pk") || origin == QLatin1String("c") ||
                               origin == QLatin1String("u"))) {
            found = index;
            if (!primary || origin == QLatin1String("pk"))
                break;
        }
    }
    sqlite3_finalize(stmt);
    return found;
}

QString Emulation::newConstraintName(const QString &table, QChar type, const QStringList &taken)
{
    const qint64 next = scalar(QStringLiteral("SELECT COUNT(*) FROM main.TIVRA_EMU_CONSTRAINTS")).toLongLong() + 1;
    for (qint64 n = next;; ++n) {
        QString name;
        switch (m_vendor) {
        case Vendor::Oracle: name = QStringLiteral("SYS_C%1").arg(n, 7, 10, QLatin1Char('0')); break;
        case Vendor::DB2: name = QStringLiteral("SQL%1").arg(n, 15, 10, QLatin1Char('0')); break;
        default: {
            const QString prefix = type == QLatin1Char('P')   ? QStringLiteral("PK")
                                   : type == QLatin1Char('U') ? QStringLiteral("UQ")
                                   : type == QLatin1Char('R') ? QStringLiteral("FK")
                                                              : QStringLiteral("CK");
            name = QStringLiteral("%1__%2__%3").arg(prefix, table.left(8)).arg(n, 8, 16, QLatin1Char('0')).toUpper();
            break;
        }
        }
        if (!constraintExists(name) && !taken.contains(name))
            return name;
    }
}

bool Emulation::recordConstraint(const QString &table, const Constraint &c, const QString &indexName, const QString &refName,
                                 EmuError *error)
{
    if (!exec(QStringLiteral("INSERT INTO main.TIVRA_EMU_CONSTRAINTS (NAME, TABLE_NAME, TYPE, REF_TABLE, REF_NAME, DELETE_RULE, "
                             "CHECK_TEXT, INDEX_NAME) VALUES (?1, ?2, ?3, NULLIF(?4, ''), NULLIF(?5, ''), NULLIF(?6, ''), "
                             "NULLIF(?7, ''), NULLIF(?8, ''))"),
              {c.name, table.toUpper(), QString(c.type), c.refTable, refName, c.deleteRule, c.checkText, indexName}, error))
        return false;
    for (int i = 0; i < c.columns.size(); ++i) {
        if (!exec(QStringLiteral("INSERT INTO main.TIVRA_EMU_CONSTRAINT_COLUMNS (CONSTRAINT_NAME, POSITION, COLUMN_NAME) "
                                 "VALUES (?1, ?2, ?3)"),
                  {c.name, QString::number(i + 1), c.columns.at(i)}, error))
            return false;
    }
    return true;
}

// NOT NULL that SQLite cannot add to an existing column is kept by triggers.
bool Emulation::addNotNullGuard(const QString &table, const QString &column, EmuError *error)
{
    const QString base = QStringLiteral("TIVRA_EMU_NN_") + table + QLatin1Char('_') + column;
    const QString raise = QStringLiteral("SELECT RAISE(ABORT, ") + quoteText(QStringLiteral("NOT NULL constraint failed: ") + table +
                                                                             QLatin1Char('.') + column) +
                          QStringLiteral("); END");
    // An emulated default fills the column after the insert, so inserts are checked only when
    // there is none.
    const bool filledByDefault = scalar(QStringLiteral("SELECT 1 FROM main.sqlite_schema WHERE type = 'trigger' AND name = ?1"),
                                        {QStringLiteral("TIVRA_EMU_DF_") + table + QLatin1Char('_') + column})
                                     .isValid();
    if (!filledByDefault &&
        !exec(QStringLiteral("CREATE TRIGGER IF NOT EXISTS main.") + quoteName(base + QStringLiteral("_I")) +
                  QStringLiteral(" BEFORE INSERT ON ") + quoteName(table) + QStringLiteral(" WHEN NEW.") + quoteName(column) +
                  QStringLiteral(" IS NULL BEGIN ") + raise,
              {}, error))
        return false;
    return exec(QStringLiteral("CREATE TRIGGER IF NOT EXISTS main.") + quoteName(base + QStringLiteral("_U")) +
                    QStringLiteral(" BEFORE UPDATE OF ") + quoteName(column) + QStringLiteral(" ON ") + quoteName(table) +
                    QStringLiteral(" WHEN NEW.") + quoteName(column) + QStringLiteral(" IS NULL BEGIN ") + raise,
                {}, error);
}

// A CHECK constraint added to an existing table is kept by triggers; the condition's column
// names are read from the new row.
bool Emulation::addCheckGuard(const QString &table, const Constraint &c, EmuError *error)
{
    const QStringList columns = tableColumns(table);
    Tokens tokens = tokenize(c.checkText);
    for (size_t i = 0; i < tokens.size(); ++i) {
        Token &t = tokens[i];
        if (!t.isName() || !columns.contains(nameOf(t).toUpper()))
            continue;
        // Not when qualified or called.
        size_t prev = i;
        while (prev > 0 && !tokens[prev - 1].significant())
            --prev;
        if (prev > 0 && tokens[prev - 1].isPunct("."))
            continue;
        t.text = QStringLiteral("NEW.") + quoteName(nameOf(t));
    }
    const QString condition = joinTokens(tokens);
    const QString raise = QStringLiteral("SELECT RAISE(ABORT, ") + quoteText(QStringLiteral("CHECK constraint failed: ") + c.name) +
                          QStringLiteral("); END");
    const QString base = QStringLiteral("TIVRA_EMU_CK_") + c.name;
    if (!exec(QStringLiteral("CREATE TRIGGER main.") + quoteName(base + QStringLiteral("_I")) + QStringLiteral(" BEFORE INSERT ON ") +
                  quoteName(table) + QStringLiteral(" WHEN NOT (") + condition + QStringLiteral(") BEGIN ") + raise,
              {}, error))
        return false;
    return exec(QStringLiteral("CREATE TRIGGER main.") + quoteName(base + QStringLiteral("_U")) + QStringLiteral(" BEFORE UPDATE ON ") +
                    quoteName(table) + QStringLiteral(" WHEN NOT (") + condition + QStringLiteral(") BEGIN ") + raise,
                {}, error);
}

void Emulation::dropGuards(const QString &table, const QString &prefix)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = utf8(QStringLiteral("SELECT name FROM main.sqlite_schema WHERE type = 'trigger' AND UPPER(tbl_name) = "
                                                "UPPER(?1) AND name LIKE ?2 ESCAPE '!'"));
    QStringList names;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) == SQLITE_OK) {
        const QByteArray t = utf8(table);
        QString pattern = prefix;
        pattern.replace(QStringLiteral("!"), QStringLiteral("!!")).replace(QStringLiteral("_"), QStringLiteral("!_"));
        const QByteArray p = utf8(pattern + QLatin1Char('%'));
        sqlite3_bind_text(stmt, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, p.constData(), int(p.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names.append(columnValue(stmt, 0).toString());
        sqlite3_finalize(stmt);
    }
    for (const QString &name : names)
        exec(QStringLiteral("DROP TRIGGER IF EXISTS main.") + quoteName(name));
}

void Emulation::dropColumnGuards(const QString &table, const QString &kind, const QString &column)
{
    QString pattern = kind;
    pattern.replace(QStringLiteral("!"), QStringLiteral("!!")).replace(QStringLiteral("_"), QStringLiteral("!_"));
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = utf8(QStringLiteral("SELECT name FROM main.sqlite_schema WHERE type = 'trigger' AND UPPER(tbl_name) = UPPER(?1) "
                                                "AND name LIKE ?2 ESCAPE '!' AND instr(UPPER(sql), ?3) > 0"));
    QStringList names;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) == SQLITE_OK) {
        const QByteArray t = utf8(table);
        const QByteArray p = utf8(pattern + QLatin1Char('%'));
        const QByteArray c = utf8(quoteName(column.toUpper()));
        sqlite3_bind_text(stmt, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, p.constData(), int(p.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 3, c.constData(), int(c.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names.append(columnValue(stmt, 0).toString());
        sqlite3_finalize(stmt);
    }
    for (const QString &name : names)
        exec(QStringLiteral("DROP TRIGGER IF EXISTS main.") + quoteName(name));
}

// ---- statements ------------------------------------------------------------------------------

namespace {
// Runs several SQLite statements as one: all or nothing.
class Savepoint {
public:
    explicit Savepoint(sqlite3 *db) : m_db(db) { sqlite3_exec(m_db, "SAVEPOINT tivra_emu", nullptr, nullptr, nullptr); }
    ~Savepoint()
    {
        if (!m_done) {
            sqlite3_exec(m_db, "ROLLBACK TO tivra_emu", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "RELEASE tivra_emu", nullptr, nullptr, nullptr);
        }
    }
    bool commit()
    {
        m_done = sqlite3_exec(m_db, "RELEASE tivra_emu", nullptr, nullptr, nullptr) == SQLITE_OK;
        return m_done;
    }

private:
    sqlite3 *m_db;
    bool m_done = false;
};
}  // namespace

bool Emulation::runOne(Tokens statement, ResultTable *out, const Binding *binding, EmuError *error)
{
    Statement s(std::move(statement));
    if (s.size() == 0)
        return true;
    const QString h0 = s.upper(0);
    const QString h1 = s.upper(1);
    auto unsupported = [&]() {
        *error = {ErrKind::Unsupported, QString(s.at(0).text + QLatin1Char(' ') + (s.valid(1) ? s.at(1).text : QString())).trimmed(), {}, {}};
        return false;
    };

    // Statements without effect on an embedded database.
    static const QStringList noEffect = {QStringLiteral("GRANT"),   QStringLiteral("REVOKE"),  QStringLiteral("COMMIT"),
                                         QStringLiteral("ROLLBACK"), QStringLiteral("GO"),     QStringLiteral("RUNSTATS"),
                                         QStringLiteral("REORG"),   QStringLiteral("ANALYZE"), QStringLiteral("SET"),
                                         QStringLiteral("PURGE"),   QStringLiteral("USE")};
    if (noEffect.contains(h0))
        return true;
    if (h0 == QLatin1String("UPDATE") && h1 == QLatin1String("STATISTICS"))
        return true;
    if (h0 == QLatin1String("CALL")) {
        if (h1 == QLatin1String("SYSPROC") && s.word(3, "ADMIN_CMD"))
            return true;  // REORG, RUNSTATS and the like
        return unsupported();
    }
    if (h0 == QLatin1String("COMMENT")) {
        // COMMENT ON TABLE [s.]t IS '...' / COMMENT ON COLUMN [s.]t.c IS '...': the object must exist.
        if (s.word(2, "TABLE") || s.word(2, "COLUMN")) {
            QStringList names;
            for (int i = 3; s.valid(i) && s.at(i).isName() && !s.word(i, "IS"); i += 2) {
                names.append(s.name(i));
                if (!s.punct(i + 1, "."))
                    break;
            }
            const qsizetype at = names.size() - (s.word(2, "COLUMN") ? 2 : 1);
            const QString table = at >= 0 ? names.at(at) : QString();
            if (!tableExists(table) && !viewExists(table)) {
                *error = {ErrKind::TableMissing, table, {}, {}};
                return false;
            }
        }
        return true;
    }
    static const QStringList unsupportedHeads = {QStringLiteral("BEGIN"), QStringLiteral("DECLARE"), QStringLiteral("EXEC"),
                                                 QStringLiteral("EXECUTE"), QStringLiteral("IF"), QStringLiteral("MERGE"),
                                                 QStringLiteral("WHILE"), QStringLiteral("PRINT"), QStringLiteral("LOCK")};
    if (unsupportedHeads.contains(h0))
        return unsupported();

    if (h0 == QLatin1String("CREATE")) {
        int i = 1;
        bool replace = false;
        bool unique = false;
        if (s.word(i, "OR") && (s.word(i + 1, "REPLACE") || s.word(i + 1, "ALTER"))) {
            replace = true;
            i += 2;
        }
        while (s.word(i, "UNIQUE") || s.word(i, "CLUSTERED") || s.word(i, "NONCLUSTERED") || s.word(i, "BITMAP") ||
               s.word(i, "PUBLIC") || s.word(i, "GLOBAL") || s.word(i, "TEMPORARY") || s.word(i, "FORCE") ||
               s.word(i, "NOFORCE") || s.word(i, "LARGE") || s.word(i, "REGULAR") || s.word(i, "USER") ||
               s.word(i, "SYSTEM") || s.word(i, "BIGFILE") || s.word(i, "SMALLFILE")) {
            unique = unique || s.word(i, "UNIQUE");
            ++i;
        }
        if (s.word(i, "TABLE"))
            return createTable(s, error);
        if (s.word(i, "INDEX"))
            return createIndex(s, unique, error);
        if (s.word(i, "SEQUENCE"))
            return createSequence(s, error);
        if (s.word(i, "VIEW"))
            return createView(s, replace, error);
        if (s.word(i, "TABLESPACE"))
            return createTablespace(s, error);
        if (s.word(i, "SYNONYM") || s.word(i, "ALIAS"))
            return true;
        return unsupported();
    }
    if (h0 == QLatin1String("ALTER")) {
        if (h1 == QLatin1String("TABLE"))
            return alterTable(s, error);
        if (h1 == QLatin1String("SEQUENCE"))
            return alterSequence(s, error);
        if (h1 == QLatin1String("SESSION") || h1 == QLatin1String("SYSTEM") || h1 == QLatin1String("INDEX") ||
            h1 == QLatin1String("TABLESPACE"))
            return true;
        return unsupported();
    }
    if (h0 == QLatin1String("DROP"))
        return dropObject(s, error);
    if (h0 == QLatin1String("TRUNCATE")) {
        int i = s.word(1, "TABLE") ? 2 : 1;
        const QString table = s.readName(i);
        if (!tableExists(table)) {
            *error = {ErrKind::TableMissing, table, {}, {}};
            return false;
        }
        return sql(QStringLiteral("DELETE FROM main.") + quoteName(table), error);
    }
    return runGeneral(std::move(s.full), out, binding, error);
}

bool Emulation::runGeneral(Tokens statement, ResultTable *out, const Binding *binding, EmuError *error)
{
    struct Recycle {
        Tokens &tokens;
        ~Recycle() { recycleTokens(std::move(tokens)); }
    } recycle{statement};
    bool insertValues = false;
    bool valuesHead = false;
    {
        bool first = true;
        for (const Token &t : statement) {
            if (!t.significant())
                continue;
            if (first) {
                valuesHead = t.is("VALUES");
                if (!t.is("INSERT"))
                    break;
                first = false;
            }
            if (t.is("VALUES")) {
                insertValues = true;
                break;
            }
        }
    }
    DialectContext context{m_vendor, m_schema, m_rownumSites};
    rewriteExpressions(statement, context);
    m_rownumSites = context.rownumSites;
    QString text = joinTokens(statement);
    // Most statements neither start with VALUES nor can name a catalog view: they go as they are,
    // without reading the rewritten text into tokens again.
    if (!valuesHead && !mayMentionCatalog(text))
        return sql(text, error, out, binding, false, insertValues);
    // DB2's VALUES takes a bare expression list; SQLite wants it in parentheses.
    Tokens rewritten = tokenize(text);
    {
        std::vector<size_t> sig;
        for (size_t k = 0; k < rewritten.size(); ++k) {
            if (rewritten[k].significant())
                sig.push_back(k);
        }
        if (sig.size() >= 2 && rewritten[sig[0]].is("VALUES") && !rewritten[sig[1]].isPunct("(")) {
            rewritten[sig[0]].text += QStringLiteral(" (");
            rewritten[sig.back()].text += QStringLiteral(")");
        }
    }
    if (mentionsCatalog(rewritten))
        refreshCatalog();
    return sql(joinTokens(rewritten), error, out, binding, false, insertValues);
}

}  // namespace tivra::embedded
