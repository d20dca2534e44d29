// The keys for new rows of one connection, for imports that insert many rows into a few tables
// (the catalog stages). GetNewIdForInsert reads the key type and MAX(key) + 1 before every
// insert: two reads per row. Here both are read once per table and the next key is then counted
// on in memory, which gives the same keys as long as nothing else writes to those tables during
// the import (the installer is the only writer while it updates a database):
//
//   NewKeys &keys = connection.newKeys();
//   const QString key = keys.next(table, keyField);   // as GetNewIdForInsert
//   ... execute the INSERT that uses key ...
//   keys.inserted(table);                             // right after it, whatever its outcome
//
// What is known is dropped, and read again at the next draw, whenever the connection wrote
// anything that was not such a reported insert (an update, another insert, a script), and after
// an insert that the database did not carry out (a failed one, or one whose error counts as
// expected). Keys of type 2 come from the table's sequence and are drawn from it every time;
// only their key type is kept. A read that fails is never kept: the next draw tries again and
// logs again, as GetNewIdForInsert does.
#pragma once

#include <QString>
#include <map>
#include <optional>

namespace tivra {

class DbConnection;

class NewKeys {
public:
    explicit NewKeys(DbConnection &connection);

    // The key for a new row of `table` (GetNewIdForInsert's contract: false, key unchanged and
    // the failure logged when the read fails).
    bool next(const QString &table, const QString &keyField, QString &key);
    // Convenience form: the key, or `fallback` when the read fails.
    QString next(const QString &table, const QString &keyField, const QString &fallback = QString());
    // Reports the insert that used the last key drawn for `table`; to be called right after it.
    void inserted(const QString &table);
    // The row of `table` in CATALOGO_TABELAS was written: its key type is read again.
    void forgetKeyType(const QString &table);

private:
    struct Table {
        QString keyField;
        std::optional<qint64> keyType;
        std::optional<qint64> next;   // MAX(key) + 1 as the database would give it now
        std::optional<qint64> drawn;  // the key given out last, not yet reported inserted
    };
    // Drops everything when the connection wrote something that was not reported.
    void sync();

    DbConnection &m_connection;
    std::map<QString, Table> m_tables;
    quint64 m_writes = 0;
};

}  // namespace tivra
