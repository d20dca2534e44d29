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

namespace tivra {

struct DriverSetting {
    enum class Transport { Odbc, Embedded };
    Transport transport = Transport::Odbc;
    QString odbcDriver;        // ODBC driver name (or path of the driver library)
    QString connectionString;  // template; empty: the built-in one of the vendor
    QString folder;            // embedded: absolute folder of the <ALIAS>.db files
    QString problem;           // a setting that cannot be used (unknown transport, no folder)
};

// The vendor's usual ODBC driver name: "IBM DB2 ODBC DRIVER", "Oracle 21 ODBC driver",
// "ODBC Driver 18 for SQL Server".
QString defaultOdbcDriver(Vendor vendor);
// The built-in connection-string template of a vendor for a driver name.
QString defaultConnectionTemplate(Vendor vendor, const QString &odbcDriver);

// Reads the vendor's section of "Drivers.ini" in the installer directory.
DriverSetting readDriverSetting(const QString &installerDirectory, Vendor vendor);

// Fills a connection-string template. Values that hold characters with a meaning in connection
// strings (";", "{", "}", "=" or surrounding blanks) are wrapped in braces with "}" doubled, so a
// password cannot add attributes of its own.
QString fillConnectionTemplate(const QString &templ, const QString &alias, const QString &user,
                               const QString &password, const QString &host);

}  // namespace tivra
