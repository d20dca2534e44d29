// The ODBC transport: Qt's QODBC driver over the platform's ODBC manager and the vendor's ODBC
// driver. Error texts that lack the vendor's marker and error number are composed from the ODBC
// diagnostic (SQLSTATE, native code, message) as the vendor's own client prints them.
#pragma once

#include "db/driversettings.h"
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

private:
    DriverSetting m_setting;
    Vendor m_vendor = Vendor::None;
    QString m_connectionName;  // unique per object: two connections to one alias may be open at once
};

// An ODBC diagnostic written as the vendor's client prints it: a text that already holds the
// vendor's marker and error number ("SQL0601N" with "DB2", "ORA-00955", "Err 2714") is kept;
// otherwise the marker, number and SQLSTATE are put in front of the driver's message.
QString composeVendorError(Vendor vendor, const QString &sqlState, int nativeCode, const QString &message);

}  // namespace tivra
