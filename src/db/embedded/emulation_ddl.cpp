// Statement-level emulation: CREATE/ALTER/DROP of tables, indexes, views, sequences and
// tablespaces as the vendors define them, on top of what SQLite can do.
#include "db/embedded/dialect.h"
#include "db/embedded/emulation.h"
#include "db/embedded/emulation_p.h"

#include <sqlite3.h>

namespace tivra::embedded {

namespace {

bool constraintStart(const Emulation *, const Token &t)
{
    return t.is("CONSTRAINT") || t.is("PRIMARY") || t.is("UNIQUE") || t.is("FOREIGN") || t.is("CHECK") ||
           t.is("REFERENCES");
}

// Runs several SQLite statements as one: all or nothing.
class Savepoint {
public:
    explicit Savepoint(sqlite3 *db) : m_db(db) { sqlite3_exec(m_db, "SAVEPOINT tivra_ddl", nullptr, nullptr, nullptr); }
    ~Savepoint()
    {
        if (!m_done) {
            sqlite3_exec(m_db, "ROLLBACK TO tivra_ddl", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "RELEASE tivra_ddl", nullptr, nullptr, nullptr);
        }
    }
    void commit()
    {
        sqlite3_exec(m_db, "RELEASE tivra_ddl", nullptr, nullptr, nullptr);
        m_done = true;
    }

private:
    sqlite3 *m_db;
    bool m_done = false;
};

// Options of constraints and columns that SQLite neither needs nor reads; erased in place.
void eatOptions(Emulation::Statement &s, int &i, int end)
{
    while (i < end) {
        if (s.word(i, "USING") && s.word(i + 1, "INDEX")) {
            int k = i + 2;
            if (s.punct(k, "(") && s.close(k) > k) {
                k = s.close(k) + 1;
            } else {
                while (k < end && !constraintStart(nullptr, s.at(k)) && !s.word(k, "NOT") && !s.word(k, "NULL") &&
                       !s.word(k, "DEFAULT") && !s.word(k, "ENABLE") && !s.word(k, "DISABLE")) {
                    if (s.punct(k, "(") && s.close(k) > k)
                        k = s.close(k);
                    ++k;
                }
            }
            s.erase(i, k - 1);
            i = k;
        } else if (s.word(i, "ENABLE") || s.word(i, "DISABLE")) {
            const int n = s.word(i + 1, "QUERY") && s.word(i + 2, "OPTIMIZATION") ? 3 : 1;
            s.erase(i, i + n - 1);
            i += n;
        } else if (s.word(i, "VALIDATE") || s.word(i, "NOVALIDATE") || s.word(i, "RELY") || s.word(i, "NORELY") ||
                   s.word(i, "DEFERRABLE") || s.word(i, "CLUSTERED") || s.word(i, "NONCLUSTERED") || s.word(i, "ENFORCED")) {
            s.erase(i, i);
            ++i;
        } else if (s.word(i, "NOT") && (s.word(i + 1, "DEFERRABLE") || s.word(i + 1, "ENFORCED"))) {
            s.erase(i, i + 1);
            i += 2;
        } else if (s.word(i, "INITIALLY") && (s.word(i + 1, "IMMEDIATE") || s.word(i + 1, "DEFERRED"))) {
            s.erase(i, i + 1);
            i += 2;
        } else if (s.word(i, "WITH") && s.punct(i + 1, "(") && s.close(i + 1) > i) {
            const int k = s.close(i + 1);
            s.erase(i, k);
            i = k + 1;
        } else if (s.word(i, "ON") && s.valid(i + 1) && s.at(i + 1).isName() && !s.word(i + 1, "DELETE") &&
                   !s.word(i + 1, "UPDATE") && !s.word(i + 1, "CONFLICT")) {
            s.erase(i, i + 1);
            i += 2;
        } else {
            break;
        }
    }
}

// "VARCHAR2(100 CHAR)": the length semantics word goes.
void cleanType(Emulation::Statement &s, int from, int to)
{
    for (int k = from; k < to; ++k) {
        if (s.word(k, "CHAR") || s.word(k, "BYTE")) {
            if (s.valid(k - 1) && s.at(k - 1).kind == Token::Number)
                s.erase(k, k);
        }
    }
}

bool columnClauseStart(const Emulation::Statement &s, int k)
{
    static const char *const words[] = {"CONSTRAINT", "PRIMARY", "UNIQUE",  "REFERENCES", "CHECK",   "NOT",      "NULL",
                                        "DEFAULT",    "WITH",    "GENERATED", "IDENTITY", "COLLATE", "ENABLE",   "DISABLE",
                                        "LOGGED",     "COMPACT", "INLINE",  "AUTO_INCREMENT", "CLUSTERED", "NONCLUSTERED"};
    for (const char *w : words) {
        if (s.word(k, w))
            return true;
    }
    return s.word(k, "FOR") && s.word(k + 1, "BIT");
}

QString defaultFor(const QString &type)
{
    const QString t = type.toUpper();
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("TEXT")) || t.contains(QLatin1String("CLOB")))
        return QStringLiteral("''");
    if (t.startsWith(QLatin1String("TIMESTAMP")))
        return dateTimeReplacement(QStringLiteral("CURRENT_TIMESTAMP"));
    if (t.startsWith(QLatin1String("DATE")))
        return dateTimeReplacement(QStringLiteral("CURRENT_DATE"));
    if (t.startsWith(QLatin1String("TIME")))
        return dateTimeReplacement(QStringLiteral("CURRENT_TIME"));
    return QStringLiteral("0");
}

// The end of a DEFAULT expression that starts at k.
int defaultEnd(const Emulation::Statement &s, int k, int end)
{
    if (s.punct(k, "(") && s.close(k) > k)
        return s.close(k) + 1;
    if ((s.punct(k, "-") || s.punct(k, "+")) && s.valid(k + 1))
        return k + 2;
    if (s.word(k, "CURRENT") && s.valid(k + 1) && !columnClauseStart(s, k + 1))
        return k + 2;
    if (s.valid(k) && s.at(k).kind == Token::Word && s.punct(k + 1, "(") && s.close(k + 1) > k)
        return s.close(k + 1) + 1;
    return qMin(k + 1, end);
}

}  // namespace

bool Emulation::parseConstraint(Statement &s, int &i, int end, const QString &column, Constraint *c)
{
    if (s.word(i, "CONSTRAINT")) {
        c->name = s.name(i + 1).toUpper();
        c->named = !c->name.isEmpty();
        i += 2;
    }
    if (s.word(i, "PRIMARY") && s.word(i + 1, "KEY")) {
        c->type = QLatin1Char('P');
        i += 2;
    } else if (s.word(i, "UNIQUE")) {
        c->type = QLatin1Char('U');
        i += 1;
        if (s.word(i, "KEY")) {  // "UNIQUE KEY" is not SQL; tolerated as UNIQUE
            s.erase(i, i);
            ++i;
        }
    } else if (s.word(i, "FOREIGN") && s.word(i + 1, "KEY")) {
        c->type = QLatin1Char('R');
        i += 2;
    } else if (s.word(i, "REFERENCES")) {
        c->type = QLatin1Char('R');
    } else if (s.word(i, "CHECK")) {
        c->type = QLatin1Char('C');
        ++i;
        if (!s.punct(i, "(") || s.close(i) < 0)
            return false;
        c->checkText = s.text(i + 1, s.close(i) - 1).trimmed();
        if (!column.isEmpty())
            c->columns = {column};
        i = s.close(i) + 1;
        eatOptions(s, i, end);
        return true;
    } else {
        return false;
    }
    eatOptions(s, i, end);  // CLUSTERED and the like before the column list
    if (s.punct(i, "("))
        c->columns = s.readColumnList(i);
    if (c->columns.isEmpty() && !column.isEmpty())
        c->columns = {column};
    if (s.word(i, "ASC") || s.word(i, "DESC"))
        ++i;
    if (c->type == QLatin1Char('R')) {
        if (!s.word(i, "REFERENCES"))
            return false;
        ++i;
        const int nameStart = i;
        c->refTable = s.readName(i).toUpper();
        if (i - nameStart > 1) {  // SQLite's REFERENCES takes no schema
            s.erase(nameStart, i - 1);
            s.at(nameStart).text = quoteName(c->refTable);
        }
        if (s.punct(i, "("))
            c->refColumns = s.readColumnList(i);
        while (s.word(i, "ON") && (s.word(i + 1, "DELETE") || s.word(i + 1, "UPDATE"))) {
            const bool del = s.word(i + 1, "DELETE");
            int k = i + 2;
            QString rule;
            if (s.word(k, "SET") || s.word(k, "NO")) {
                rule = s.upper(k) + QLatin1Char(' ') + s.upper(k + 1);
                k += 2;
            } else {
                rule = s.upper(k);
                ++k;
            }
            if (del)
                c->deleteRule = rule;
            i = k;
        }
    }
    eatOptions(s, i, end);
    return true;
}

bool Emulation::checkStorageClauses(Statement &s, int from, int to, EmuError *error)
{
    for (int k = from; k < to; ++k) {
        if (s.punct(k, "(") && s.close(k) > k) {
            k = s.close(k);
            continue;
        }
        const bool tablespaceWord = s.word(k, "TABLESPACE") || s.word(k, "TEXTIMAGE_ON") ||
                                    (m_vendor == Vendor::DB2 && s.word(k, "IN")) ||
                                    (m_vendor == Vendor::MSSQL && s.word(k, "ON"));
        if (!tablespaceWord || !s.valid(k + 1) || !s.at(k + 1).isName())
            continue;
        const QString name = s.name(k + 1);
        if (s.word(k + 1, "DELETE") || s.word(k + 1, "UPDATE") || s.word(k + 1, "COMMIT"))
            continue;
        if (m_vendor == Vendor::MSSQL && (name.compare(QLatin1String("PRIMARY"), Qt::CaseInsensitive) == 0 ||
                                          name.compare(QLatin1String("DEFAULT"), Qt::CaseInsensitive) == 0))
            continue;
        if (!tablespaceExists(name)) {
            *error = {ErrKind::TablespaceMissing, name, {}, {}};
            return false;
        }
    }
    return true;
}

bool Emulation::createTable(Statement &s, EmuError *error)
{
    int i = 1;
    while (s.valid(i) && !s.word(i, "TABLE"))
        ++i;
    if (i > 1)
        s.erase(1, i - 1);  // GLOBAL TEMPORARY: a permanent definition here
    ++i;
    const int nameStart = i;
    const QString table = s.readName(i);
    if (table.isEmpty()) {
        *error = {ErrKind::Syntax, s.valid(nameStart) ? s.at(nameStart).text : QString(), {}, {}};
        return false;
    }
    s.erase(nameStart, i - 1);
    s.at(nameStart).text = QStringLiteral("main.") + quoteName(table);
    if (tableExists(table) || viewExists(table)) {
        *error = {ErrKind::ObjectExists, table.toUpper(), QStringLiteral("TABLE"), {}};
        return false;
    }

    if (s.word(i, "AS")) {  // CREATE TABLE ... AS SELECT (DB2: AS (SELECT ...) WITH [NO] DATA)
        int k = i + 1;
        int after = s.size();
        if (s.punct(k, "(") && s.close(k) > k && s.word(k + 1, "SELECT")) {
            after = s.close(k) + 1;
            s.at(k).text.clear();
            s.at(after - 1).text.clear();
        }
        bool noData = false;
        for (int e = after; e < s.size(); ++e)
            noData = noData || s.word(e, "NO") || s.word(e, "DEFINITION");
        s.erase(after, s.size() - 1);
        if (noData) {
            s.at(i).text = QStringLiteral("AS SELECT * FROM (");
            s.at(after - 1).text += QStringLiteral(") LIMIT 0");
        }
        Tokens tokens = tokenize(s.joined());
        DialectContext context{m_vendor, m_schema, 0};
        rewriteExpressions(tokens, context);
        return sql(joinTokens(tokens), error);
    }

    if (!s.punct(i, "(") || s.close(i) < 0) {
        *error = {ErrKind::Syntax, s.valid(i) ? s.at(i).text : QString(), {}, {}};
        return false;
    }
    const int open = i;
    const int close = s.close(i);
    if (!checkStorageClauses(s, close + 1, s.size(), error))
        return false;
    // Inside the definition only Oracle's USING INDEX TABLESPACE names a tablespace.
    for (int k = open; k < close; ++k) {
        if (s.word(k, "TABLESPACE") && s.valid(k + 1) && !tablespaceExists(s.name(k + 1))) {
            *error = {ErrKind::TablespaceMissing, s.name(k + 1), {}, {}};
            return false;
        }
    }
    s.erase(close + 1, s.size() - 1);

    std::vector<Constraint> constraints;
    QStringList taken;
    auto nameIt = [&](Constraint &c, int start) {
        if (!c.named)
            c.name = newConstraintName(table.toUpper(), c.type, taken);
        taken.append(c.name);
        if (!c.named)
            s.at(start).text = QStringLiteral("CONSTRAINT ") + quoteName(c.name) + QLatin1Char(' ') + s.at(start).text;
        constraints.push_back(c);
    };

    Savepoint savepoint(m_db);
    int k = open + 1;
    while (k < close) {
        const int itemEnd = s.nextComma(k, close);
        if (constraintStart(this, s.at(k))) {
            Constraint c;
            const int start = k;
            if (!parseConstraint(s, k, itemEnd, QString(), &c)) {
                *error = {ErrKind::Syntax, s.at(start).text, {}, {}};
                return false;
            }
            nameIt(c, start);
        } else {
            const QString column = s.name(k).toUpper();
            ++k;
            const int typeStart = k;
            while (k < itemEnd && !columnClauseStart(s, k)) {
                if (s.punct(k, "(") && s.close(k) > k)
                    k = s.close(k);
                ++k;
            }
            cleanType(s, typeStart, k);
            const QString type = s.text(typeStart, k - 1);
            while (k < itemEnd) {
                if (constraintStart(this, s.at(k))) {
                    Constraint c;
                    const int start = k;
                    if (!parseConstraint(s, k, itemEnd, column, &c)) {
                        if (c.named && (s.word(k, "NOT") || s.word(k, "NULL")))
                            continue;  // a named NOT NULL
                        *error = {ErrKind::Syntax, s.at(start).text, {}, {}};
                        return false;
                    }
                    nameIt(c, start);
                } else if (s.word(k, "NOT") && s.word(k + 1, "NULL")) {
                    k += 2;
                } else if (s.word(k, "NULL")) {
                    ++k;
                } else if (s.word(k, "DEFAULT")) {
                    k = defaultEnd(s, k + 1, itemEnd);
                } else if (s.word(k, "WITH") && s.word(k + 1, "DEFAULT")) {
                    s.erase(k, k);
                    k += 2;
                    if (k >= itemEnd || columnClauseStart(s, k))
                        s.at(k - 1).text += QLatin1Char(' ') + defaultFor(type);
                    else
                        k = defaultEnd(s, k, itemEnd);
                } else if (s.word(k, "GENERATED")) {
                    int e = k;
                    while (e < itemEnd && !s.word(e, "IDENTITY"))
                        ++e;
                    if (s.punct(e + 1, "(") && s.close(e + 1) > e)
                        e = s.close(e + 1);
                    s.erase(k, qMin(e, itemEnd - 1));
                    k = e + 1;
                } else if (s.word(k, "IDENTITY") || s.word(k, "AUTO_INCREMENT")) {
                    int e = k;
                    if (s.punct(k + 1, "(") && s.close(k + 1) > k)
                        e = s.close(k + 1);
                    s.erase(k, e);
                    k = e + 1;
                } else if (s.word(k, "COLLATE")) {
                    s.erase(k, k + 1);
                    k += 2;
                } else if (s.word(k, "FOR") && s.word(k + 1, "BIT") && s.word(k + 2, "DATA")) {
                    s.erase(k, k + 2);
                    k += 3;
                } else if (s.word(k, "LOGGED") || s.word(k, "COMPACT")) {
                    s.erase(k, k);
                    ++k;
                } else if (s.word(k, "NOT") && (s.word(k + 1, "LOGGED") || s.word(k + 1, "COMPACT"))) {
                    s.erase(k, k + 1);
                    k += 2;
                } else if (s.word(k, "INLINE") && s.word(k + 1, "LENGTH")) {
                    s.erase(k, k + 2);
                    k += 3;
                } else {
                    const int before = k;
                    eatOptions(s, k, itemEnd);
                    if (k == before)
                        ++k;
                }
            }
        }
        k = itemEnd + 1;
    }
    for (size_t a = 0; a < constraints.size(); ++a) {
        for (size_t b = 0; b < a; ++b) {
            if (constraints[a].name == constraints[b].name) {
                *error = {ErrKind::ConstraintNameExists, constraints[a].name, {}, {}};
                return false;
            }
        }
        if (constraintExists(constraints[a].name)) {
            *error = {ErrKind::ConstraintNameExists, constraints[a].name, {}, {}};
            return false;
        }
    }

    Tokens tokens = tokenize(s.joined());
    DialectContext context{m_vendor, m_schema, 0};
    rewriteExpressions(tokens, context);
    if (!sql(joinTokens(tokens), error))
        return false;

    // Keys first, so that a reference to the table itself finds them.
    for (const char type : {'P', 'U', 'C', 'R'}) {
        for (const Constraint &c : constraints) {
            if (c.type != QLatin1Char(type))
                continue;
            QString index;
            QString refName;
            if (type == 'P' || type == 'U') {
                index = uniqueIndexFor(table, c.columns, type == 'P');
            } else if (type == 'R') {
                if (c.refTable != table.toUpper() && !tableExists(c.refTable)) {
                    *error = {ErrKind::TableMissing, c.refTable, {}, {}};
                    return false;
                }
                refName = findKeyConstraint(c.refTable, c.refColumns);
                if (refName.isEmpty()) {
                    *error = {ErrKind::NoMatchingKey, c.name, c.refTable, {}};
                    return false;
                }
            }
            if (!recordConstraint(table, c, index, refName, error))
                return false;
        }
    }
    savepoint.commit();
    return true;
}

bool Emulation::createIndex(Statement &s, bool unique, EmuError *error)
{
    int i = 1;
    while (s.valid(i) && !s.word(i, "INDEX"))
        ++i;
    ++i;
    const QString name = s.readName(i).toUpper();
    if (name.isEmpty() || !s.word(i, "ON")) {
        *error = {ErrKind::Syntax, s.valid(i) ? s.at(i).text : QString(), {}, {}};
        return false;
    }
    ++i;
    const QString table = s.readName(i).toUpper();
    if (!s.punct(i, "(") || s.close(i) < 0) {
        *error = {ErrKind::Syntax, s.valid(i) ? s.at(i).text : QString(), {}, {}};
        return false;
    }
    const int open = i;
    const int close = s.close(i);
    QString columnsText = s.text(open + 1, close - 1);
    int c = open;
    const QStringList columns = s.readColumnList(c);
    if (!tableExists(table)) {
        *error = {ErrKind::TableMissing, table, {}, {}};
        return false;
    }
    if (scalar(QStringLiteral("SELECT 1 FROM main.sqlite_schema WHERE type = 'index' AND UPPER(name) = ?1"), {name}).isValid() ||
        constraintExists(name)) {
        *error = {ErrKind::IndexExists, name, table, {}};
        return false;
    }
    if (m_vendor != Vendor::MSSQL) {
        // DB2 and Oracle refuse a second index over the same column list.
        refreshCatalog();
        const QVariant existing = scalar(
            QStringLiteral("SELECT i.INDEX_NAME FROM TIVRA_EMU_I i WHERE i.TABLE_NAME = ?1 AND (SELECT GROUP_CONCAT(n, ',') FROM "
                           "(SELECT UPPER(ii.name) AS n FROM pragma_index_info(i.SQLITE_NAME, 'main') ii ORDER BY ii.seqno)) = ?2"),
            {table, columns.join(QLatin1Char(','))});
        if (existing.isValid()) {
            *error = {ErrKind::IndexColumnsExist, existing.toString(), table, {}};
            return false;
        }
    }
    if (!checkStorageClauses(s, close + 1, s.size(), error))
        return false;
    Tokens columnTokens = tokenize(columnsText);
    DialectContext context{m_vendor, m_schema, 0};
    rewriteExpressions(columnTokens, context);
    columnsText = joinTokens(columnTokens);
    const QString text = QStringLiteral("CREATE ") + (unique ? QStringLiteral("UNIQUE ") : QString()) + QStringLiteral("INDEX main.") +
                         quoteName(name) + QStringLiteral(" ON ") + quoteName(table) + QStringLiteral(" (") + columnsText +
                         QStringLiteral(")");
    if (!sql(text, error)) {
        if (error->kind == ErrKind::DuplicateKey)
            *error = {ErrKind::ValidateDuplicate, name, table, QStringLiteral("I")};
        return false;
    }
    return true;
}

bool Emulation::createSequence(Statement &s, EmuError *error)
{
    int i = 1;
    while (s.valid(i) && !s.word(i, "SEQUENCE"))
        ++i;
    ++i;
    const QString name = s.readName(i).toUpper();
    if (name.isEmpty()) {
        *error = {ErrKind::Syntax, s.valid(i) ? s.at(i).text : QString(), {}, {}};
        return false;
    }
    if (scalar(QStringLiteral("SELECT 1 FROM main.TIVRA_EMU_SEQUENCES WHERE NAME = ?1"), {name}).isValid() || tableExists(name) ||
        viewExists(name)) {
        *error = {ErrKind::ObjectExists, name, QStringLiteral("SEQUENCE"), {}};
        return false;
    }
    auto number = [&](int k, qint64 *value) {
        bool negative = false;
        if (s.punct(k, "-")) {
            negative = true;
            ++k;
        }
        if (!s.valid(k) || s.at(k).kind != Token::Number)
            return false;
        *value = s.at(k).text.toLongLong() * (negative ? -1 : 1);
        return true;
    };
    qint64 start = 0, increment = 1, minimum = 1;
    bool hasStart = false, hasMinimum = false;
    for (int k = i; k < s.size(); ++k) {
        if (s.word(k, "START") && s.word(k + 1, "WITH"))
            hasStart = number(k + 2, &start);
        else if (s.word(k, "INCREMENT") && s.word(k + 1, "BY"))
            number(k + 2, &increment);
        else if (s.word(k, "MINVALUE"))
            hasMinimum = number(k + 1, &minimum);
    }
    if (!hasStart)
        start = increment > 0 ? (hasMinimum ? minimum : 1) : -1;
    return exec(QStringLiteral("INSERT INTO main.TIVRA_EMU_SEQUENCES (NAME, START_VALUE, INCREMENT) VALUES (?1, ?2, ?3)"),
                {name, QString::number(start), QString::number(increment == 0 ? 1 : increment)}, error);
}

bool Emulation::alterSequence(Statement &s, EmuError *error)
{
    int i = 2;
    const QString name = s.readName(i).toUpper();
    if (!scalar(QStringLiteral("SELECT 1 FROM main.TIVRA_EMU_SEQUENCES WHERE NAME = ?1"), {name}).isValid()) {
        *error = {ErrKind::SequenceMissing, name, {}, {}};
        return false;
    }
    for (int k = i; k < s.size(); ++k) {
        if (s.word(k, "RESTART")) {
            QString value;
            if (s.word(k + 1, "WITH") && s.valid(k + 2))
                value = (s.punct(k + 2, "-") ? QStringLiteral("-") + s.at(k + 3).text : s.at(k + 2).text);
            if (!exec(QStringLiteral("UPDATE main.TIVRA_EMU_SEQUENCES SET LAST_VALUE = NULL, START_VALUE = COALESCE(NULLIF(?2, ''), "
                                     "START_VALUE) WHERE NAME = ?1"),
                      {name, value}, error))
                return false;
        } else if (s.word(k, "INCREMENT") && s.word(k + 1, "BY") && s.valid(k + 2)) {
            const QString value = s.punct(k + 2, "-") ? QStringLiteral("-") + s.at(k + 3).text : s.at(k + 2).text;
            if (!exec(QStringLiteral("UPDATE main.TIVRA_EMU_SEQUENCES SET INCREMENT = ?2 WHERE NAME = ?1"), {name, value}, error))
                return false;
        }
    }
    return true;
}

bool Emulation::createView(Statement &s, bool replace, EmuError *error)
{
    int i = 1;
    while (s.valid(i) && !s.word(i, "VIEW"))
        ++i;
    ++i;
    const QString name = s.readName(i).toUpper();
    QString columns;
    if (s.punct(i, "(") && s.close(i) > i) {
        columns = QStringLiteral(" (") + s.text(i + 1, s.close(i) - 1) + QStringLiteral(")");
        i = s.close(i) + 1;
    }
    if (name.isEmpty() || !s.word(i, "AS")) {
        *error = {ErrKind::Syntax, s.valid(i) ? s.at(i).text : QString(), {}, {}};
        return false;
    }
    int end = s.size();
    if (s.word(end - 3, "WITH") && s.word(end - 2, "CHECK") && s.word(end - 1, "OPTION"))
        end -= 3;
    else if (s.word(end - 3, "WITH") && s.word(end - 2, "READ") && s.word(end - 1, "ONLY"))
        end -= 3;
    if (tableExists(name)) {
        *error = {ErrKind::ObjectExists, name, QStringLiteral("TABLE"), {}};
        return false;
    }
    if (viewExists(name) && !replace) {
        *error = {ErrKind::ObjectExists, name, QStringLiteral("VIEW"), {}};
        return false;
    }
    Tokens body = tokenize(s.text(i + 1, end - 1));
    DialectContext context{m_vendor, m_schema, 0};
    rewriteExpressions(body, context);
    Savepoint savepoint(m_db);
    if (replace && viewExists(name) && !sql(QStringLiteral("DROP VIEW main.") + quoteName(name), error))
        return false;
    if (!sql(QStringLiteral("CREATE VIEW main.") + quoteName(name) + columns + QStringLiteral(" AS ") + joinTokens(body), error))
        return false;
    savepoint.commit();
    return true;
}

bool Emulation::createTablespace(Statement &s, EmuError *error)
{
    int i = 1;
    while (s.valid(i) && !s.word(i, "TABLESPACE"))
        ++i;
    const QString name = s.name(i + 1).toUpper();
    if (name.isEmpty()) {
        *error = {ErrKind::Syntax, s.valid(i) ? s.at(i).text : QString(), {}, {}};
        return false;
    }
    if (tablespaceExists(name)) {
        *error = {ErrKind::TablespaceExists, name, {}, {}};
        return false;
    }
    Savepoint savepoint(m_db);
    // The first tablespace created keeps the ones the database had by default.
    if (!exec(QStringLiteral("INSERT OR IGNORE INTO main.TIVRA_EMU_TABLESPACES (NAME) SELECT NAME FROM TIVRA_EMU_TS"), {}, error) ||
        !exec(QStringLiteral("INSERT INTO main.TIVRA_EMU_TABLESPACES (NAME) VALUES (?1)"), {name}, error))
        return false;
    savepoint.commit();
    return true;
}

bool Emulation::dropObject(Statement &s, EmuError *error)
{
    int i = 1;
    if (s.word(i, "PUBLIC"))
        ++i;
    const QString kind = s.upper(i);
    ++i;
    if (kind == QLatin1String("SYNONYM") || kind == QLatin1String("ALIAS"))
        return true;
    const QString name = s.readName(i).toUpper();
    if (kind == QLatin1String("TABLE")) {
        if (!tableExists(name)) {
            *error = {ErrKind::DropMissing, name, QStringLiteral("TABLE"), {}};
            return false;
        }
        const bool cascade = s.word(i, "CASCADE");
        const QVariant reference = scalar(
            QStringLiteral("SELECT NAME FROM main.TIVRA_EMU_CONSTRAINTS WHERE TYPE = 'R' AND REF_TABLE = ?1 AND TABLE_NAME <> ?1"), {name});
        if (reference.isValid() && m_vendor != Vendor::DB2 && !(m_vendor == Vendor::Oracle && cascade)) {
            *error = {ErrKind::ReferencedByForeignKey, name, reference.toString(), {}};
            return false;
        }
        Savepoint savepoint(m_db);
        if (!sql(QStringLiteral("DROP TABLE main.") + quoteName(name), error))
            return false;
        exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_CONSTRAINT_COLUMNS WHERE CONSTRAINT_NAME IN (SELECT NAME FROM "
                            "main.TIVRA_EMU_CONSTRAINTS WHERE TABLE_NAME = ?1 OR (TYPE = 'R' AND REF_TABLE = ?1))"),
             {name});
        exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_CONSTRAINTS WHERE TABLE_NAME = ?1 OR (TYPE = 'R' AND REF_TABLE = ?1)"), {name});
        exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_COLUMNS WHERE TABLE_NAME = ?1"), {name});
        savepoint.commit();
        return true;
    }
    if (kind == QLatin1String("VIEW")) {
        if (!viewExists(name)) {
            *error = {ErrKind::DropMissing, name, QStringLiteral("VIEW"), {}};
            return false;
        }
        return sql(QStringLiteral("DROP VIEW main.") + quoteName(name), error);
    }
    if (kind == QLatin1String("INDEX")) {
        if (constraintExists(name) ||
            scalar(QStringLiteral("SELECT 1 FROM main.TIVRA_EMU_CONSTRAINTS WHERE UPPER(INDEX_NAME) = ?1"), {name}).isValid()) {
            *error = {ErrKind::IndexForConstraint, name, {}, {}};
            return false;
        }
        if (!scalar(QStringLiteral("SELECT 1 FROM main.sqlite_schema WHERE type = 'index' AND UPPER(name) = ?1"), {name}).isValid()) {
            *error = {ErrKind::IndexMissing, name, {}, {}};
            return false;
        }
        return sql(QStringLiteral("DROP INDEX main.") + quoteName(name), error);
    }
    if (kind == QLatin1String("SEQUENCE")) {
        if (!scalar(QStringLiteral("SELECT 1 FROM main.TIVRA_EMU_SEQUENCES WHERE NAME = ?1"), {name}).isValid()) {
            *error = {ErrKind::DropMissing, name, QStringLiteral("SEQUENCE"), {}};
            return false;
        }
        return exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_SEQUENCES WHERE NAME = ?1"), {name}, error);
    }
    if (kind == QLatin1String("TABLESPACE")) {
        if (!tablespaceExists(name)) {
            *error = {ErrKind::TablespaceMissing, name, {}, {}};
            return false;
        }
        Savepoint savepoint(m_db);
        if (!exec(QStringLiteral("INSERT OR IGNORE INTO main.TIVRA_EMU_TABLESPACES (NAME) SELECT NAME FROM TIVRA_EMU_TS"), {}, error) ||
            !exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_TABLESPACES WHERE NAME = ?1"), {name}, error))
            return false;
        savepoint.commit();
        return true;
    }
    *error = {ErrKind::Unsupported, QStringLiteral("DROP ") + kind, {}, {}};
    return false;
}

bool Emulation::alterTable(Statement &s, EmuError *error)
{
    int i = 2;
    const QString table = s.readName(i).toUpper();
    if (!tableExists(table)) {
        *error = {ErrKind::TableMissing, table, {}, {}};
        return false;
    }
    Savepoint savepoint(m_db);
    QString verb;
    const int n = s.size();
    auto isVerb = [&](int k) {
        return s.word(k, "ADD") || s.word(k, "DROP") || s.word(k, "MODIFY") || s.word(k, "ALTER") || s.word(k, "RENAME");
    };
    auto itemEnd = [&](int from, int end) {
        for (int k = from; k < end; ++k) {
            if (s.punct(k, "(") && s.close(k) > k) {
                k = s.close(k);
                continue;
            }
            if (s.punct(k, ",") || (k > from && isVerb(k) && !s.word(k - 1, "ON")))
                return k;
        }
        return end;
    };
    // One item of a verb, tokens [from, to).
    auto handle = [&](int from, int to) -> bool {
        if (from >= to)
            return true;
        if (verb == QLatin1String("ADD")) {
            if (constraintStart(this, s.at(from))) {
                Constraint c;
                int k = from;
                if (!parseConstraint(s, k, to, QString(), &c)) {
                    *error = {ErrKind::Syntax, s.at(from).text, {}, {}};
                    return false;
                }
                return addConstraint(table, c, error);
            }
            return addColumn(table, s, from, to, error);
        }
        if (verb == QLatin1String("DROP")) {
            if (s.word(from, "CONSTRAINT") || s.word(from, "FOREIGN") || s.word(from, "CHECK") ||
                (s.word(from, "UNIQUE") && !s.punct(from + 1, "("))) {
                int k = from + 1;
                if (s.word(from, "FOREIGN") && s.word(k, "KEY"))
                    ++k;
                return dropConstraint(table, s.name(k).toUpper(), error);
            }
            if (s.word(from, "PRIMARY") && s.word(from + 1, "KEY")) {
                const QVariant pk = scalar(QStringLiteral("SELECT NAME FROM main.TIVRA_EMU_CONSTRAINTS WHERE TABLE_NAME = ?1 AND TYPE = 'P'"),
                                           {table});
                if (!pk.isValid()) {
                    *error = {ErrKind::ConstraintMissing, QStringLiteral("PRIMARY KEY"), table, {}};
                    return false;
                }
                return dropConstraint(table, pk.toString(), error);
            }
            const int k = s.word(from, "COLUMN") ? from + 1 : from;
            const QString column = s.name(k).toUpper();
            if (!tableColumns(table).contains(column)) {
                *error = {ErrKind::ColumnMissing, column, {}, {}};
                return false;
            }
            // The column goes with its NOT NULL, its default and the constraints over it.
            dropColumnGuards(table, QStringLiteral("TIVRA_EMU_"), column);
            const QString owners = QStringLiteral("SELECT CONSTRAINT_NAME FROM main.TIVRA_EMU_CONSTRAINT_COLUMNS WHERE COLUMN_NAME = ?2 AND "
                                                  "CONSTRAINT_NAME IN (SELECT NAME FROM main.TIVRA_EMU_CONSTRAINTS WHERE TABLE_NAME = ?1)");
            exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_CONSTRAINTS WHERE NAME IN (") + owners + QLatin1Char(')'), {table, column});
            exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_CONSTRAINT_COLUMNS WHERE CONSTRAINT_NAME NOT IN (SELECT NAME FROM "
                                "main.TIVRA_EMU_CONSTRAINTS)"));
            if (!sql(QStringLiteral("ALTER TABLE main.") + quoteName(table) + QStringLiteral(" DROP COLUMN ") + quoteName(column), error))
                return false;
            return exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_COLUMNS WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2"),
                        {table, column}, error);
        }
        if (verb == QLatin1String("MODIFY") || verb == QLatin1String("ALTER"))
            return modifyColumn(table, s, from, to, error);
        if (verb == QLatin1String("RENAME")) {
            if (s.word(from, "TO")) {
                const QString target = s.name(from + 1).toUpper();
                if (!sql(QStringLiteral("ALTER TABLE main.") + quoteName(table) + QStringLiteral(" RENAME TO ") + quoteName(target), error))
                    return false;
                exec(QStringLiteral("UPDATE main.TIVRA_EMU_CONSTRAINTS SET TABLE_NAME = ?2 WHERE TABLE_NAME = ?1"), {table, target});
                exec(QStringLiteral("UPDATE main.TIVRA_EMU_CONSTRAINTS SET REF_TABLE = ?2 WHERE REF_TABLE = ?1"), {table, target});
                exec(QStringLiteral("UPDATE main.TIVRA_EMU_COLUMNS SET TABLE_NAME = ?2 WHERE TABLE_NAME = ?1"), {table, target});
                return true;
            }
            if (s.word(from, "COLUMN") && s.word(from + 2, "TO")) {
                const QString old = s.name(from + 1).toUpper();
                const QString target = s.name(from + 3).toUpper();
                if (!sql(QStringLiteral("ALTER TABLE main.") + quoteName(table) + QStringLiteral(" RENAME COLUMN ") + quoteName(old) +
                             QStringLiteral(" TO ") + quoteName(target),
                         error))
                    return false;
                exec(QStringLiteral("UPDATE main.TIVRA_EMU_CONSTRAINT_COLUMNS SET COLUMN_NAME = ?3 WHERE COLUMN_NAME = ?2 AND "
                                    "CONSTRAINT_NAME IN (SELECT NAME FROM main.TIVRA_EMU_CONSTRAINTS WHERE TABLE_NAME = ?1)"),
                     {table, old, target});
                exec(QStringLiteral("UPDATE main.TIVRA_EMU_COLUMNS SET COLUMN_NAME = ?3 WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2"),
                     {table, old, target});
                return true;
            }
        }
        *error = {ErrKind::Unsupported, QStringLiteral("ALTER TABLE ") + verb, {}, {}};
        return false;
    };

    while (i < n) {
        if (isVerb(i)) {
            verb = s.upper(i);
            ++i;
            if (verb == QLatin1String("ADD") && s.word(i, "COLUMN"))
                ++i;
            if ((verb == QLatin1String("ADD") || verb == QLatin1String("MODIFY") || verb == QLatin1String("DROP")) && s.punct(i, "(") &&
                s.close(i) > i) {
                const int close = s.close(i);
                int k = i + 1;
                while (k < close) {
                    const int end = s.nextComma(k, close);
                    if (!handle(k, end))
                        return false;
                    k = end + 1;
                }
                i = close + 1;
                if (s.punct(i, ","))
                    ++i;
                continue;
            }
        }
        if (verb.isEmpty()) {
            *error = {ErrKind::Syntax, s.valid(i) ? s.at(i).text : QString(), {}, {}};
            return false;
        }
        const int end = itemEnd(i, n);
        if (!handle(i, end))
            return false;
        i = s.punct(end, ",") ? end + 1 : end;
    }
    savepoint.commit();
    return true;
}

bool Emulation::addColumn(const QString &table, Statement &s, int from, int to, EmuError *error)
{
    const QString column = s.name(from).toUpper();
    if (column.isEmpty()) {
        *error = {ErrKind::Syntax, s.at(from).text, {}, {}};
        return false;
    }
    if (tableColumns(table).contains(column)) {
        *error = {ErrKind::DuplicateColumn, column, table, {}};
        return false;
    }
    int k = from + 1;
    const int typeStart = k;
    while (k < to && !columnClauseStart(s, k)) {
        if (s.punct(k, "(") && s.close(k) > k)
            k = s.close(k);
        ++k;
    }
    cleanType(s, typeStart, k);
    const QString type = s.text(typeStart, k - 1).trimmed();
    bool notNull = false;
    QString defaultText;
    std::vector<Constraint> constraints;
    while (k < to) {
        if (constraintStart(this, s.at(k))) {
            Constraint c;
            const int start = k;
            if (!parseConstraint(s, k, to, column, &c)) {
                if (c.named && s.word(k, "NOT") && s.word(k + 1, "NULL")) {
                    notNull = true;
                    k += 2;
                    continue;
                }
                *error = {ErrKind::Syntax, s.at(start).text, {}, {}};
                return false;
            }
            constraints.push_back(c);
        } else if (s.word(k, "NOT") && s.word(k + 1, "NULL")) {
            notNull = true;
            k += 2;
        } else if (s.word(k, "NULL")) {
            ++k;
        } else if (s.word(k, "DEFAULT") || (s.word(k, "WITH") && s.word(k + 1, "DEFAULT"))) {
            k += s.word(k, "WITH") ? 2 : 1;
            if (k >= to || columnClauseStart(s, k)) {
                defaultText = defaultFor(type);
            } else {
                const int end = defaultEnd(s, k, to);
                defaultText = s.text(k, end - 1).trimmed();
                k = end;
            }
        } else {
            const int before = k;
            eatOptions(s, k, to);
            if (k == before)
                ++k;
        }
    }
    Tokens defaultTokens = tokenize(defaultText);
    DialectContext context{m_vendor, m_schema, 0};
    rewriteExpressions(defaultTokens, context);
    defaultText = joinTokens(defaultTokens).trimmed();
    const Tokens significant = significantTokens(defaultTokens);
    const bool constantDefault =
        !defaultText.isEmpty() && !defaultText.startsWith(QLatin1Char('(')) &&
        (significant.size() == 1 || (significant.size() == 2 && (significant[0].isPunct("-") || significant[0].isPunct("+"))));
    const bool nullDefault = defaultText.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0;
    const bool hasDefault = !defaultText.isEmpty() && !nullDefault;

    if (notNull && !hasDefault && (m_vendor == Vendor::DB2 || !tableIsEmpty(table))) {
        *error = {ErrKind::NotNullColumnAdd, column, table, {}};
        return false;
    }
    QString definition = quoteName(column) + QLatin1Char(' ') + type;
    if (hasDefault && constantDefault)
        definition += QStringLiteral(" DEFAULT ") + defaultText;
    const bool nativeNotNull = notNull && hasDefault && constantDefault;
    if (nativeNotNull)
        definition += QStringLiteral(" NOT NULL");
    if (!sql(QStringLiteral("ALTER TABLE main.") + quoteName(table) + QStringLiteral(" ADD COLUMN ") + definition, error))
        return false;
    if (hasDefault && !constantDefault) {
        // SQLite adds columns with constant defaults only: existing rows get the value now, new
        // rows from a trigger.
        if (!exec(QStringLiteral("UPDATE main.") + quoteName(table) + QStringLiteral(" SET ") + quoteName(column) +
                      QStringLiteral(" = ") + defaultText,
                  {}, error))
            return false;
        if (!exec(QStringLiteral("CREATE TRIGGER main.") + quoteName(QStringLiteral("TIVRA_EMU_DF_") + table + QLatin1Char('_') + column) +
                      QStringLiteral(" AFTER INSERT ON ") + quoteName(table) + QStringLiteral(" WHEN NEW.") + quoteName(column) +
                      QStringLiteral(" IS NULL BEGIN UPDATE ") + quoteName(table) + QStringLiteral(" SET ") + quoteName(column) +
                      QStringLiteral(" = ") + defaultText + QStringLiteral(" WHERE rowid = NEW.rowid; END"),
                  {}, error))
            return false;
    }
    if (notNull && !nativeNotNull) {
        if (!addNotNullGuard(table, column, error))
            return false;
        if (!exec(QStringLiteral("INSERT INTO main.TIVRA_EMU_COLUMNS (TABLE_NAME, COLUMN_NAME, NULLABLE) VALUES (?1, ?2, 'N') "
                                 "ON CONFLICT (TABLE_NAME, COLUMN_NAME) DO UPDATE SET NULLABLE = 'N'"),
                  {table, column}, error))
            return false;
    }
    for (const Constraint &c : constraints) {
        if (!addConstraint(table, c, error))
            return false;
    }
    return true;
}

bool Emulation::addConstraint(const QString &table, const Constraint &given, EmuError *error)
{
    Constraint c = given;
    const QStringList columns = tableColumns(table);
    for (const QString &column : c.columns) {
        if (!columns.contains(column)) {
            *error = {ErrKind::ColumnMissing, column, {}, {}};
            return false;
        }
    }
    if (c.type == QLatin1Char('P') && tableHasPrimaryKey(table)) {
        *error = {ErrKind::PrimaryKeyExists, table, {}, {}};
        return false;
    }
    if (c.type == QLatin1Char('U') && m_vendor == Vendor::Oracle && !findKeyConstraint(table, c.columns).isEmpty()) {
        *error = {ErrKind::UniqueKeyExists, c.name, {}, {}};
        return false;
    }
    if (c.type == QLatin1Char('R') && m_vendor == Vendor::Oracle) {
        const QVariant same = scalar(
            QStringLiteral("SELECT k.NAME FROM main.TIVRA_EMU_CONSTRAINTS k WHERE k.TABLE_NAME = ?1 AND k.TYPE = 'R' AND k.REF_TABLE = ?2 "
                           "AND (SELECT GROUP_CONCAT(COLUMN_NAME, ',') FROM (SELECT COLUMN_NAME FROM main.TIVRA_EMU_CONSTRAINT_COLUMNS c "
                           "WHERE c.CONSTRAINT_NAME = k.NAME ORDER BY POSITION)) = ?3"),
            {table, c.refTable, c.columns.join(QLatin1Char(','))});
        if (same.isValid()) {
            *error = {ErrKind::ForeignKeyExists, same.toString(), {}, {}};
            return false;
        }
    }
    if (!c.named)
        c.name = newConstraintName(table, c.type);
    if (constraintExists(c.name) ||
        scalar(QStringLiteral("SELECT 1 FROM main.sqlite_schema WHERE UPPER(name) = ?1"), {c.name}).isValid()) {
        *error = {c.type == QLatin1Char('P') || c.type == QLatin1Char('U') || c.type == QLatin1Char('R')
                      ? (m_vendor == Vendor::Oracle ? ErrKind::ConstraintNameExists : ErrKind::ObjectExists)
                      : ErrKind::ConstraintNameExists,
                  c.name, QStringLiteral("CONSTRAINT"), {}};
        return false;
    }

    QString index;
    QString refName;
    QString columnList;
    for (const QString &column : c.columns)
        columnList += (columnList.isEmpty() ? QString() : QStringLiteral(", ")) + quoteName(column);
    if (c.type == QLatin1Char('P') || c.type == QLatin1Char('U')) {
        if (c.type == QLatin1Char('P')) {
            for (const QString &column : c.columns) {
                if (scalar(QStringLiteral("SELECT 1 FROM main.") + quoteName(table) + QStringLiteral(" WHERE ") + quoteName(column) +
                           QStringLiteral(" IS NULL LIMIT 1"))
                        .isValid()) {
                    *error = {ErrKind::ValidateNull, table, column, {}};
                    return false;
                }
            }
        }
        index = c.name;
        EmuError failure;
        if (!sql(QStringLiteral("CREATE UNIQUE INDEX main.") + quoteName(index) + QStringLiteral(" ON ") + quoteName(table) +
                     QStringLiteral(" (") + columnList + QStringLiteral(")"),
                 &failure)) {
            *error = failure.kind == ErrKind::DuplicateKey ? EmuError{ErrKind::ValidateDuplicate, c.name, table, QString(c.type)} : failure;
            return false;
        }
        if (c.type == QLatin1Char('P')) {
            for (const QString &column : c.columns) {
                if (!addNotNullGuard(table, column, error) ||
                    !exec(QStringLiteral("INSERT INTO main.TIVRA_EMU_COLUMNS (TABLE_NAME, COLUMN_NAME, NULLABLE) VALUES (?1, ?2, 'N') "
                                         "ON CONFLICT (TABLE_NAME, COLUMN_NAME) DO UPDATE SET NULLABLE = 'N'"),
                          {table, column}, error))
                    return false;
            }
        }
    } else if (c.type == QLatin1Char('R')) {
        if (!tableExists(c.refTable)) {
            *error = {ErrKind::TableMissing, c.refTable, {}, {}};
            return false;
        }
        refName = findKeyConstraint(c.refTable, c.refColumns);
        if (refName.isEmpty()) {
            *error = {ErrKind::NoMatchingKey, c.name, c.refTable, {}};
            return false;
        }
        QStringList refColumns = c.refColumns;
        if (refColumns.isEmpty()) {
            const QVariant list = scalar(QStringLiteral("SELECT GROUP_CONCAT(COLUMN_NAME, ',') FROM (SELECT COLUMN_NAME FROM "
                                                        "main.TIVRA_EMU_CONSTRAINT_COLUMNS WHERE CONSTRAINT_NAME = ?1 ORDER BY POSITION)"),
                                         {refName});
            refColumns = list.toString().split(QLatin1Char(','));
        }
        if (refColumns.size() != c.columns.size()) {
            *error = {ErrKind::NoMatchingKey, c.name, c.refTable, {}};
            return false;
        }
        // Existing rows must find their parent.
        QString notNull, match;
        for (int k = 0; k < c.columns.size(); ++k) {
            notNull += QStringLiteral(" AND t.") + quoteName(c.columns.at(k)) + QStringLiteral(" IS NOT NULL");
            match += (k ? QStringLiteral(" AND ") : QString()) + QStringLiteral("p.") + quoteName(refColumns.at(k)) +
                     QStringLiteral(" = t.") + quoteName(c.columns.at(k));
        }
        if (scalar(QStringLiteral("SELECT 1 FROM main.") + quoteName(table) + QStringLiteral(" t WHERE 1 = 1") + notNull +
                   QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM main.") + quoteName(c.refTable) + QStringLiteral(" p WHERE ") + match +
                   QStringLiteral(") LIMIT 1"))
                .isValid()) {
            *error = {ErrKind::ValidateParent, c.name, {}, {}};
            return false;
        }
    } else if (c.type == QLatin1Char('C')) {
        Tokens condition = tokenize(c.checkText);
        DialectContext context{m_vendor, m_schema, 0};
        rewriteExpressions(condition, context);
        const QString text = joinTokens(condition);
        EmuError failure;
        ResultTable probe;
        if (!sql(QStringLiteral("SELECT 1 FROM main.") + quoteName(table) + QStringLiteral(" WHERE NOT (") + text +
                     QStringLiteral(") LIMIT 1"),
                 &failure, &probe)) {
            *error = failure;
            return false;
        }
        if (!probe.isEmpty()) {
            *error = {ErrKind::ValidateCheck, c.name, {}, {}};
            return false;
        }
        Constraint guard = c;
        guard.checkText = text;
        if (!addCheckGuard(table, guard, error))
            return false;
    }
    return recordConstraint(table, c, index, refName, error);
}

bool Emulation::dropConstraint(const QString &table, const QString &name, EmuError *error)
{
    const QVariant index =
        scalar(QStringLiteral("SELECT COALESCE(INDEX_NAME, '') FROM main.TIVRA_EMU_CONSTRAINTS WHERE NAME = ?1 AND TABLE_NAME = ?2"),
               {name, table});
    if (!index.isValid()) {
        *error = {ErrKind::ConstraintMissing, name, table, {}};
        return false;
    }
    const QString indexName = index.toString();
    // An index SQLite made for a key declared with the table stays (SQLite cannot drop it).
    if (!indexName.isEmpty() && !indexName.startsWith(QLatin1String("sqlite_autoindex"), Qt::CaseInsensitive) &&
        !sql(QStringLiteral("DROP INDEX IF EXISTS main.") + quoteName(indexName), error))
        return false;
    dropGuards(table, QStringLiteral("TIVRA_EMU_CK_") + name + QLatin1Char('_'));
    return exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_CONSTRAINT_COLUMNS WHERE CONSTRAINT_NAME = ?1"), {name}, error) &&
           exec(QStringLiteral("DELETE FROM main.TIVRA_EMU_CONSTRAINTS WHERE NAME = ?1"), {name}, error);
}

bool Emulation::modifyColumn(const QString &table, Statement &s, int from, int to, EmuError *error)
{
    int k = from;
    if (s.word(k, "COLUMN"))
        ++k;
    const QString column = s.name(k).toUpper();
    if (!tableColumns(table).contains(column)) {
        *error = {ErrKind::ColumnMissing, column, {}, {}};
        return false;
    }
    ++k;
    QString type;
    int nullability = 0;  // 1: NOT NULL, -1: NULL
    if (s.word(k, "SET") && s.word(k + 1, "DATA") && s.word(k + 2, "TYPE")) {
        type = s.text(k + 3, to - 1);
    } else if (s.word(k, "SET") && s.word(k + 1, "NOT") && s.word(k + 2, "NULL")) {
        nullability = 1;
    } else if (s.word(k, "DROP") && s.word(k + 1, "NOT") && s.word(k + 2, "NULL")) {
        nullability = -1;
    } else if (s.word(k, "SET") || s.word(k, "DROP")) {
        return true;  // defaults and other attributes: nothing the emulation keeps
    } else {
        const int typeStart = k;
        while (k < to && !s.word(k, "NULL") && !s.word(k, "NOT") && !s.word(k, "DEFAULT") && !s.word(k, "CONSTRAINT")) {
            if (s.punct(k, "(") && s.close(k) > k)
                k = s.close(k);
            ++k;
        }
        type = s.text(typeStart, k - 1);
        for (; k < to; ++k) {
            if (s.word(k, "NOT") && s.word(k + 1, "NULL")) {
                nullability = 1;
                ++k;
            } else if (s.word(k, "NULL")) {
                nullability = -1;
            }
        }
    }
    type = type.simplified();
    if (nullability != 0) {
        refreshCatalog();
        const QString current =
            scalar(QStringLiteral("SELECT NULLABLE FROM TIVRA_EMU_C WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2"), {table, column})
                .toString();
        if (nullability > 0) {
            if (current == QLatin1String("N") && m_vendor == Vendor::Oracle) {
                *error = {ErrKind::AlreadyNotNull, column, {}, {}};
                return false;
            }
            if (scalar(QStringLiteral("SELECT 1 FROM main.") + quoteName(table) + QStringLiteral(" WHERE ") + quoteName(column) +
                       QStringLiteral(" IS NULL LIMIT 1"))
                    .isValid()) {
                *error = {ErrKind::ValidateNull, table, column, {}};
                return false;
            }
            if (!addNotNullGuard(table, column, error))
                return false;
        } else {
            if (current == QLatin1String("Y") && m_vendor == Vendor::Oracle) {
                *error = {ErrKind::AlreadyNull, column, {}, {}};
                return false;
            }
            dropColumnGuards(table, QStringLiteral("TIVRA_EMU_NN_"), column);
        }
    }
    return exec(QStringLiteral("INSERT INTO main.TIVRA_EMU_COLUMNS (TABLE_NAME, COLUMN_NAME, DATA_TYPE, NULLABLE) VALUES "
                               "(?1, ?2, NULLIF(?3, ''), NULLIF(?4, '')) ON CONFLICT (TABLE_NAME, COLUMN_NAME) DO UPDATE SET "
                               "DATA_TYPE = COALESCE(excluded.DATA_TYPE, DATA_TYPE), NULLABLE = COALESCE(excluded.NULLABLE, NULLABLE)"),
                {table, column, type, nullability > 0 ? QStringLiteral("N") : nullability < 0 ? QStringLiteral("Y") : QString()}, error);
}

}  // namespace tivra::embedded
