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

    // Direct use of the open session; errors come back as the vendor's client prints them.
    bool execute(const QString &statement, QString *error = nullptr);
    std::optional<ResultTable> query(const QString &statement, QString *error = nullptr);
    bool executeWithText(const QString &statement, const QString &parameter, const QString &value,
                         QString *error = nullptr);

    // Observer of every statement sent on any connection, with whether it writes and the
    // nanoseconds it took: benchmarks count and capture statements with it. Empty: none.
    using StatementObserver = std::function<void(const QString &statement, bool write, qint64 nanoseconds)>;
    static void setStatementObserver(StatementObserver observer);

    // Removes the password of this connection from a text that is about to be logged: a driver
    // message (connection-string attributes included) or, with statement set, a statement text
    // (only the password itself).
    QString masked(const QString &text, bool statement = false) const;

private:
    InstallerSession &m_session;
    std::unique_ptr<DbTransport> m_transport;
    QString m_name;
    QString m_driverName;
    QString m_password;
    Vendor m_vendor = Vendor::None;
    QStringList m_params;
};

// Replaces PWD=... / Password=... attributes and the given password (when it has at least 4
// characters) by "****".
QString maskPassword(const QString &text, const QString &password);

}  // namespace tivra
