// A database connection of the installer: configured and opened for one database entry by
// ConfigConnection (sqlrunner.h), used by one operation and released at its end (the destructor
// closes the session). There is no pool and no shared connection.
//
// The connection's name is the alias; its driver name is "DB2", "ORACLE" or "DevartSQLServer"
// whichever transport Drivers.ini chose; its parameter list holds the name=value lines of the
// vendor's configuration (the password among them: never write them to the log).
#pragma once

#include "db/resulttable.h"
#include "db/transport.h"
#include "db/vendor.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace tivra {

struct InstallerSession;
class NewKeys;

class DbConnection {
public:
    explicit DbConnection(InstallerSession &session);
    ~DbConnection();
    DbConnection(const DbConnection &) = delete;
    DbConnection &operator=(const DbConnection &) = delete;

    InstallerSession &session() const { return m_session; }

    bool isOpen() const;
    // The alias it was configured for.
    const QString &name() const { return m_name; }
    // "DB2", "ORACLE", "DevartSQLServer"; empty when the vendor was not one of the three.
    const QString &driverName() const { return m_driverName; }
    Vendor vendor() const { return m_vendor; }
    const QStringList &params() const { return m_params; }
    // "ODBC" or "Embedded" once configured; empty before.
    QString transportName() const;

    // Configures the connection for a database entry and opens it (ConfigConnection's steps 1 to
    // 4). False with the driver's error text when it does not open. Nothing is logged here.
    bool configure(const QString &vendorField, const QString &alias, const QString &login, const QString &password,
                   const QString &host, QString *error);
    void close();
    // Why the last configure failed, masked as it was logged; empty after a success.
    const QString &failure() const { return m_failure; }
    void setFailure(const QString &text) { m_failure = text; }

    // Direct use of the open session; errors come back as the vendor's client prints them.
    bool execute(const QString &statement, QString *error = nullptr);
    std::optional<ResultTable> query(const QString &statement, QString *error = nullptr);
    bool executeWithText(const QString &statement, const QString &parameter, const QString &value,
                         QString *error = nullptr);

    // The write statements sent on this connection so far (execute and executeWithText, whatever
    // their outcome), and whether the last of them was carried out by the database (false after
    // any error, also one that the statement runner counts as expected).
    quint64 writeCount() const { return m_writes; }
    bool lastWriteApplied() const { return m_lastWriteApplied; }
    // The keys for new rows drawn on this connection (newkeys.h): read once per table, then
    // counted on in memory while this connection's own inserts are the only writes.
    NewKeys &newKeys();

    // Whether a statement found the session with the server gone (ODBC state 08S01, 08003 or
    // 08007). Every later statement on this connection fails at once with the same text.
    bool connectionLost() const;
    // After a failed configure(): how the connection was attempted (the driver and where it came
    // from, the connection string, the ODBC state), password masked; empty when the transport
    // has nothing to say.
    QString connectionAttempt() const;

    // Removes this connection's password from a text about the connection (a driver's message
    // about the login, a connection string). Statement texts and their errors are not passed
    // here: a password has no place in them, and a common word ("2024") must stay as written.
    QString masked(const QString &text) const;

    // Observer of every statement sent on any connection, with whether it writes and the
    // nanoseconds it took: benchmarks count and capture statements with it. Empty: none.
    using StatementObserver = std::function<void(const QString &statement, bool write, qint64 nanoseconds)>;
    static void setStatementObserver(StatementObserver observer);

    // Read-only mode for the whole process (the pre-flight report): every connection opened
    // afterwards is opened for reading where the transport allows it, and every statement that
    // is not a query (its first word other than SELECT or WITH, or a WITH that writes) fails with
    // kWritesRefused without reaching the database.
    static void setReadOnly(bool readOnly);
    // In read-only mode, a recorder takes the write statements in place of the database: they are
    // handed to it, not executed, and count as done. The pre-flight report uses it to learn what
    // the catalog stages would write. An empty function ends it (writes are refused again).
    using WriteRecorder = std::function<void(const DbConnection &connection, const QString &statement)>;
    static void setWriteRecorder(WriteRecorder recorder);
    static bool readOnly();

private:
    InstallerSession &m_session;
    std::unique_ptr<DbTransport> m_transport;
    QString m_name;
    QString m_driverName;
    QString m_password;
    Vendor m_vendor = Vendor::None;
    QStringList m_params;
    QString m_failure;
    quint64 m_writes = 0;
    bool m_lastWriteApplied = false;
    // Hands a write to the recorder of the read-only mode, as done; false without one.
    bool recordWrite(const QString &statement);
    std::unique_ptr<NewKeys> m_newKeys;
};

// The error text of a statement refused in read-only mode.
inline const QString kWritesRefused = QStringLiteral("Instrução não executada: modo somente leitura (/dryrun).");

// Whether a statement only reads: its first word (after blanks, comments and opening
// parentheses) is SELECT, or WITH without a writing word (INSERT, UPDATE, DELETE, MERGE) after it.
bool isReadOnlyStatement(const QString &statement);

// Replaces the values of PWD=... / Password=... attributes (braced values included) and every
// occurrence of the given password that stands as a word of its own (not inside a longer word or
// number) by "****".
QString maskPassword(const QString &text, const QString &password);

// Masks the passwords a statement text can carry, whatever their value: "IDENTIFIED BY x",
// "USER u USING x", "PASSWORD = x" and "PWD=x" become "... ****". Nothing else of the text
// changes (the entry's password is not looked for: in a statement it is some other value).
QString maskStatementPasswords(const QString &text);

}  // namespace tivra
