// The driver settings file "Drivers.ini" in the installer directory: how each vendor's databases
// are reached. One section per VENDOR value ([DB2], [ORACLE], [MSSQL]):
//
//   Transport=ODBC                (the default)
//   OdbcDriver=<driver name>      (default: the vendor's usual ODBC driver name, see below)
//   ConnectionString=<template>   (optional; replaces the built-in template; {ALIAS}, {USER},
//                                  {PASSWORD} and {HOST} are replaced by the entry's values)
// or
//   Transport=Embedded
//   Folder=<folder>               (absolute, or relative to the installer directory; holds one
//                                  SQLite file <ALIAS>.db per database)
//
// A missing file, a missing section or a missing key gives the defaults (ODBC, usual driver name).
#pragma once

#include "db/vendor.h"

#include <QString>
#include <QStringList>

namespace tivra {

struct DriverSetting {
    enum class Transport { Odbc, Embedded };
    Transport transport = Transport::Odbc;
    QString odbcDriver;        // ODBC driver name (or path of the driver library)
    bool odbcDriverConfigured = false;  // OdbcDriver was written in Drivers.ini
    QString connectionString;  // template; empty: the built-in one of the vendor
    QString folder;            // embedded: absolute folder of the <ALIAS>.db files
    QString problem;           // a setting that cannot be used (unknown transport, no folder)
};

// The vendor's usual ODBC driver name: "IBM DB2 ODBC DRIVER", "Oracle 21 ODBC driver",
// "ODBC Driver 18 for SQL Server".
QString defaultOdbcDriver(Vendor vendor);
// The built-in connection-string template of a vendor for a driver name. SQL Server's "ODBC
// Driver 18 for SQL Server" and later encrypt by default and refuse the self-signed certificate
// most servers have; their template accepts it (TrustServerCertificate=yes), as earlier drivers do.
QString defaultConnectionTemplate(Vendor vendor, const QString &odbcDriver);

// The vendor's driver among the names the ODBC driver manager lists (SQLDrivers), for a vendor
// without a driver in Drivers.ini: DB2 "IBM DB2 ODBC DRIVER" (the default copy) or another name
// holding "DB2" or "IBM DATA SERVER DRIVER"; Oracle the first "Oracle ..." driver that is not
// Microsoft's old one; SQL Server the newest "ODBC Driver N for SQL Server", else the newest
// "SQL Server Native Client", else "SQL Server". Empty when none fits.
QString chooseOdbcDriver(Vendor vendor, const QStringList &installed);

// Reads the vendor's section of "Drivers.ini" in the installer directory.
DriverSetting readDriverSetting(const QString &installerDirectory, Vendor vendor);

// Fills a connection-string template. Values that hold characters with a meaning in connection
// strings (";", "{", "}", "=" or surrounding blanks) are wrapped in braces with "}" doubled, so a
// password cannot add attributes of its own.
QString fillConnectionTemplate(const QString &templ, const QString &alias, const QString &user,
                               const QString &password, const QString &host);

}  // namespace tivra
