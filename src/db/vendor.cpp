#include "db/vendor.h"

namespace tivra {

Vendor vendorFromName(const QString &vendorField)
{
    if (vendorField == QStringLiteral("DB2"))
        return Vendor::DB2;
    if (vendorField == QStringLiteral("ORACLE"))
        return Vendor::Oracle;
    if (vendorField == QStringLiteral("MSSQL"))
        return Vendor::MSSQL;
    return Vendor::None;
}

QString vendorName(Vendor vendor)
{
    switch (vendor) {
    case Vendor::DB2: return QStringLiteral("DB2");
    case Vendor::Oracle: return QStringLiteral("ORACLE");
    case Vendor::MSSQL: return QStringLiteral("MSSQL");
    case Vendor::None: break;
    }
    return {};
}

QString driverNameOf(Vendor vendor)
{
    switch (vendor) {
    case Vendor::DB2: return QStringLiteral("DB2");
    case Vendor::Oracle: return QStringLiteral("ORACLE");
    case Vendor::MSSQL: return QStringLiteral("DevartSQLServer");
    case Vendor::None: break;
    }
    return {};
}

Vendor vendorFromDriverName(const QString &driverName)
{
    const QString upper = driverName.toUpper();
    if (upper == QStringLiteral("DB2"))
        return Vendor::DB2;
    if (upper == QStringLiteral("ORACLE"))
        return Vendor::Oracle;
    if (upper == QStringLiteral("DEVARTSQLSERVER") || upper == QStringLiteral("MSSQL"))
        return Vendor::MSSQL;
    return Vendor::None;
}

}  // namespace tivra
