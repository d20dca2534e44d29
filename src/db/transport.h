// A transport: how one open database session is reached (ODBC through Qt's QODBC driver, or the
// embedded SQLite emulation). DbConnection owns one while it is configured.
#pragma once

#include "db/resulttable.h"
#include "db/vendor.h"

#include <QString>
#include <memory>
#include <optional>

namespace tivra {

struct DriverSetting;

struct ConnectRequest {
    Vendor vendor = Vendor::None;
    QString alias;
    QString login;
    QString password;
    QString host;
    // Open the session for reading only where the transport can (the embedded emulation opens its
    // file read-only); the connection refuses statements that write in any case.
    bool readOnly = false;
};

class DbTransport {
public:
    virtual ~DbTransport() = default;

    // "ODBC" or "Embedded".
    virtual QString name() const = 0;
    // Opens the session; false with the error text as the vendor's client prints it.
    virtual bool open(const ConnectRequest &request, QString *error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Executes one statement directly (no preparation, no parameters, no result expected).
    virtual bool execute(const QString &statement, QString *error) = 0;
    // Runs a query and copies its whole result.
    virtual std::optional<ResultTable> query(const QString &statement, QString *error) = 0;
    // Prepares a statement holding one named parameter (":name"), binds the value as a long
    // text and executes it.
    virtual bool executeWithText(const QString &statement, const QString &parameter, const QString &value,
                                 QString *error) = 0;
    // Whether a statement found the session with the server gone (the server restarted, the
    // network dropped it). Every later statement fails at once with the same text.
    virtual bool connectionLost() const { return false; }
    // After a failed open: how the connection was attempted (driver, connection string with the
    // password masked, ODBC state), for an administrator who must name another driver.
    virtual QString connectionAttempt() const { return {}; }
};

// The transport that Drivers.ini chooses.
std::unique_ptr<DbTransport> makeTransport(const DriverSetting &setting);

}  // namespace tivra
