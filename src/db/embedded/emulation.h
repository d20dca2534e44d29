// The embedded emulation of DB2, Oracle and SQL Server on SQLite, for rehearsals, the demo site
// and tests: one SQLite file per alias. It speaks the subset of each vendor's dialect that the
// installer emits and that packages commonly use, keeps what SQLite lacks (sequences, named
// constraints added later, column type changes, tablespaces, users) in its own tables inside the
// file, shows the vendor's catalog views, and reports errors with the vendor's codes and texts.
// It is not the vendor's product: what it does not know it refuses with the vendor's "not
// supported" error rather than guess.
#pragma once

#include "db/embedded/sqltokens.h"
#include "db/embedded/vendortexts.h"
#include "db/resulttable.h"
#include "db/transport.h"

#include <QString>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace tivra::embedded {

class Emulation {
public:
    explicit Emulation(Vendor vendor);
    ~Emulation();
    Emulation(const Emulation &) = delete;
    Emulation &operator=(const Emulation &) = delete;

    // Opens folder/<ALIAS>.db (the file must exist; it is never created here).
    bool open(const QString &folder, const ConnectRequest &request, QString *error);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    bool execute(const QString &text, QString *error);
    std::optional<ResultTable> query(const QString &text, QString *error);
    bool executeWithText(const QString &text, const QString &parameter, const QString &value, QString *error);

    // Prepares a database file for a vendor: creates the emulation's tables, the tablespaces and
    // the user that may connect (an empty login lets anyone in). Used by the demo site and tests.
    static bool createDatabase(const QString &path, const QStringList &tablespaces, const QString &login,
                               const QString &password, QString *error);

    sqlite3 *handle() const { return m_db; }

    class Statement;  // a statement being analysed (emulation_p.h)

private:
    struct Binding {
        QString name;
        QString value;
    };
    struct Constraint {
        QString name;
        QChar type;  // P, U, R, C
        QStringList columns;
        QString refTable;
        QStringList refColumns;
        QString deleteRule;
        QString checkText;
        bool named = false;
    };

    bool run(const QString &text, ResultTable *out, const Binding *binding, QString *error);
    bool runOne(Tokens statement, ResultTable *out, const Binding *binding, EmuError *error);
    bool runGeneral(Tokens statement, ResultTable *out, const Binding *binding, EmuError *error);

    // Executes SQLite text; rows go to out when given.
    bool sql(const QString &text, EmuError *error, ResultTable *out = nullptr, const Binding *binding = nullptr,
             bool fetchAll = true, bool insertValues = false);
    // Reads one value (NULL, or no row: empty QVariant).
    QVariant scalar(const QString &text, const QStringList &args = {});
    bool exec(const QString &text, const QStringList &args = {}, EmuError *error = nullptr);
    EmuError fromSqlite(int code, const QString &message, bool insertValues);

    // Copies the current columns and indexes into the catalog's temporary tables.
    void refreshCatalog();
    // Catalog helpers (names in upper case).
    bool tableExists(const QString &table);
    bool viewExists(const QString &view);
    QStringList tableColumns(const QString &table);
    bool tableHasPrimaryKey(const QString &table);
    bool tableIsEmpty(const QString &table);
    bool tablespaceExists(const QString &name);
    bool constraintExists(const QString &name);
    QString findKeyConstraint(const QString &table, const QStringList &columns);
    QString uniqueIndexFor(const QString &table, const QStringList &columns, bool primary);
    QString newConstraintName(const QString &table, QChar type, const QStringList &taken = {});
    bool recordConstraint(const QString &table, const Constraint &c, const QString &indexName, const QString &refName,
                          EmuError *error);
    bool addNotNullGuard(const QString &table, const QString &column, EmuError *error);
    bool addCheckGuard(const QString &table, const Constraint &c, EmuError *error);
    void dropGuards(const QString &table, const QString &prefix);
    // Drops the emulation's triggers of a kind ("TIVRA_EMU_NN_", "TIVRA_EMU_DF_", ...) that read a
    // column, whatever the table and column were called when they were made.
    void dropColumnGuards(const QString &table, const QString &kind, const QString &column);

    // Statement handlers.
    bool createTable(Statement &s, EmuError *error);
    bool createIndex(Statement &s, bool unique, EmuError *error);
    bool createSequence(Statement &s, EmuError *error);
    bool createView(Statement &s, bool replace, EmuError *error);
    bool createTablespace(Statement &s, EmuError *error);
    bool alterTable(Statement &s, EmuError *error);
    bool alterSequence(Statement &s, EmuError *error);
    bool dropObject(Statement &s, EmuError *error);
    bool addColumn(const QString &table, Statement &s, int from, int to, EmuError *error);
    bool addConstraint(const QString &table, const Constraint &c, EmuError *error);
    bool dropConstraint(const QString &table, const QString &name, EmuError *error);
    bool modifyColumn(const QString &table, Statement &s, int from, int to, EmuError *error);
    bool checkStorageClauses(Statement &s, int from, int to, EmuError *error);
    bool parseConstraint(Statement &s, int &i, int end, const QString &column, Constraint *c);
    // Whether the open file holds every table of the emulation's own.
    bool hasEmulationTables();
    // Replaces the open file by a copy of it in memory (a read-only open of a file without the
    // emulation's tables); the file is closed untouched.
    bool copyIntoMemory(QString *error);

    sqlite3 *m_db = nullptr;
    Vendor m_vendor;
    QString m_schema;
    QString m_alias;
    int m_rownumSites = 0;
};

class EmbeddedTransport;

}  // namespace tivra::embedded
