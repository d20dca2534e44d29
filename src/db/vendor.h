// The three database products the installer updates, and their two names: the database entry's
// VENDOR ("DB2", "ORACLE", "MSSQL") chooses the configuration; the open connection's driver name
// ("DB2", "ORACLE", "DevartSQLServer") is what error classification and dialect choices compare.
#pragma once

#include <QString>

namespace tivra {

enum class Vendor { None, DB2, Oracle, MSSQL };

// The vendor of a VENDOR value, compared exactly (upper case); anything else is Vendor::None.
Vendor vendorFromName(const QString &vendorField);
// "DB2", "ORACLE", "MSSQL"; empty for Vendor::None.
QString vendorName(Vendor vendor);
// "DB2", "ORACLE", "DevartSQLServer"; empty for Vendor::None.
QString driverNameOf(Vendor vendor);
// The vendor behind a driver name, upper-cased first ("DEVARTSQLSERVER" and "MSSQL" both give
// Vendor::MSSQL).
Vendor vendorFromDriverName(const QString &driverName);

}  // namespace tivra
