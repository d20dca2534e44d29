// The embedded transport: the SQLite emulation of the vendor's dialect (emulation.h), one file
// <ALIAS>.db per database in the folder that Drivers.ini names.
#pragma once

#include "db/driversettings.h"
#include "db/transport.h"

#include <memory>

namespace tivra {

namespace embedded {
class Emulation;
}

class EmbeddedTransport : public DbTransport {
public:
    explicit EmbeddedTransport(DriverSetting setting);
    ~EmbeddedTransport() override;

    QString name() const override { return QStringLiteral("Embedded"); }
    bool open(const ConnectRequest &request, QString *error) override;
    void close() override;
    bool isOpen() const override;
    bool execute(const QString &statement, QString *error) override;
    std::optional<ResultTable> query(const QString &statement, QString *error) override;
    bool executeWithText(const QString &statement, const QString &parameter, const QString &value,
                         QString *error) override;

private:
    DriverSetting m_setting;
    std::unique_ptr<embedded::Emulation> m_emulation;
};

}  // namespace tivra
