#include "db/newkeys.h"

#include "db/connection.h"
#include "db/recordhelpers.h"

namespace tivra {

namespace {
// How CATALOGO_TABELAS may name a table: SQL Server's usual collations compare without regard
// to case and trailing blanks, so the wider comparison is used for every vendor.
bool sameTable(QString a, QString b)
{
    while (a.endsWith(QLatin1Char(' ')))
        a.chop(1);
    while (b.endsWith(QLatin1Char(' ')))
        b.chop(1);
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
}  // namespace

NewKeys::NewKeys(DbConnection &connection) : m_connection(connection), m_writes(connection.writeCount()) {}

void NewKeys::sync()
{
    if (m_connection.writeCount() != m_writes) {
        m_tables.clear();
        m_writes = m_connection.writeCount();
    }
}

bool NewKeys::next(const QString &table, const QString &keyField, QString &key)
{
    sync();
    Table &known = m_tables[table];
    if (known.keyField != keyField)
        known = Table{keyField, {}, {}, {}};
    known.drawn.reset();
    if (!known.keyType)
        known.keyType = ReadTipoChave(m_connection, table);
    const qint64 keyType = known.keyType.value_or(0);
    if (keyType != 2 && known.next) {
        key = QString::number(*known.next);
        known.drawn = known.next;
        return true;
    }
    QString read = key;
    if (!GetNewIdForKeyType(m_connection, table, keyField, keyType, read))
        return false;
    key = read;
    bool number = false;
    const qint64 value = read.trimmed().toLongLong(&number);
    if (keyType != 2 && number) {
        known.next = value;
        known.drawn = value;
    }
    return true;
}

QString NewKeys::next(const QString &table, const QString &keyField, const QString &fallback)
{
    QString key = fallback;
    next(table, keyField, key);
    return key;
}

void NewKeys::inserted(const QString &table)
{
    // The insert must be the only write since the last draw, and the database must have done it.
    if (m_connection.writeCount() != m_writes + 1 || !m_connection.lastWriteApplied()) {
        m_tables.clear();
        m_writes = m_connection.writeCount();
        return;
    }
    m_writes = m_connection.writeCount();
    const auto it = m_tables.find(table);
    if (it == m_tables.end())
        return;
    Table &known = it->second;
    if (known.drawn && known.next && *known.drawn >= *known.next)
        known.next = *known.drawn + 1;
    else if (!known.drawn)
        known.next.reset();  // an insert with a key not drawn here: MAX is read again
    known.drawn.reset();
}

void NewKeys::forgetKeyType(const QString &table)
{
    for (auto &[name, known] : m_tables) {
        if (sameTable(name, table)) {
            known.keyType.reset();
            known.next.reset();
            known.drawn.reset();
        }
    }
}

}  // namespace tivra
