#include "db/embedded/embeddedtransport.h"

#include "db/embedded/emulation.h"

namespace tivra {

EmbeddedTransport::EmbeddedTransport(DriverSetting setting) : m_setting(std::move(setting)) {}

EmbeddedTransport::~EmbeddedTransport() = default;

bool EmbeddedTransport::open(const ConnectRequest &request, QString *error)
{
    m_emulation = std::make_unique<embedded::Emulation>(request.vendor);
    if (m_emulation->open(m_setting.folder, request, error))
        return true;
    m_emulation.reset();
    return false;
}

void EmbeddedTransport::close()
{
    m_emulation.reset();
}

bool EmbeddedTransport::isOpen() const
{
    return m_emulation && m_emulation->isOpen();
}

bool EmbeddedTransport::execute(const QString &statement, QString *error)
{
    return m_emulation->execute(statement, error);
}

std::optional<ResultTable> EmbeddedTransport::query(const QString &statement, QString *error)
{
    return m_emulation->query(statement, error);
}

bool EmbeddedTransport::executeWithText(const QString &statement, const QString &parameter, const QString &value,
                                        QString *error)
{
    return m_emulation->executeWithText(statement, parameter, value, error);
}

}  // namespace tivra
