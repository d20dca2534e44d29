// The ODBC transport: Qt's QODBC driver over the platform's ODBC manager and the vendor's ODBC
// driver. Error texts that lack the vendor's marker and error number are composed from the ODBC
// diagnostic (SQLSTATE, native code, message) as the vendor's own client prints them; every
// diagnostic record of a failure is kept, so that a vendor reporting one error as two records
// (SQL Server's 3728 then 3727) shows both numbers.
#pragma once

#include "db/driversettings.h"
#include "db/odbc/odbcapi.h"
#include "db/transport.h"

namespace tivra {

class OdbcTransport : public DbTransport {
public:
    explicit OdbcTransport(DriverSetting setting);
    ~OdbcTransport() override;

    QString name() const override { return QStringLiteral("ODBC"); }
    bool open(const ConnectRequest &request, QString *error) override;
    void close() override;
    bool isOpen() const override;
    bool execute(const QString &statement, QString *error) override;
    std::optional<ResultTable> query(const QString &statement, QString *error) override;
    bool executeWithText(const QString &statement, const QString &parameter, const QString &value,
                         QString *error) override;
    bool connectionLost() const override { return m_lost; }
    QString connectionAttempt() const override { return m_attempt; }

private:
    QString statementError(std::vector<OdbcDiagnostic> records, const QString &fallback);

    DriverSetting m_setting;
    Vendor m_vendor = Vendor::None;
    QString m_connectionName;  // unique per object: two connections to one alias may be open at once
    bool m_lost = false;
    QString m_lostError;
    QString m_attempt;
};

// An ODBC diagnostic written as the vendor's client prints it: a text that already holds the
// vendor's marker and error number ("SQL0601N" with "DB2", "ORA-00955", "Err 2714") is kept;
// otherwise the marker, number and SQLSTATE are put in front of the driver's message.
QString composeVendorError(Vendor vendor, const QString &sqlState, int nativeCode, const QString &message);

// All records of a failure, each composed as above, joined by a blank.
QString composeVendorErrors(Vendor vendor, const std::vector<OdbcDiagnostic> &records);

// Whether a SQLSTATE says that the session with the server is gone: 08S01 (communication link
// failure), 08003 (connection not open) or 08007 (connection failure during a transaction).
bool isConnectionLostState(const QString &sqlState);

// A statement with the named parameter (":name", outside quotes) replaced by "?" markers; the
// number of markers in *count.
QString positionalStatement(const QString &statement, const QString &parameter, int *count);

}  // namespace tivra
