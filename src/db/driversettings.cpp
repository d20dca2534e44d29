#include "db/driversettings.h"

#include "platform/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace tivra {

QString defaultOdbcDriver(Vendor vendor)
{
    switch (vendor) {
    case Vendor::DB2: return QStringLiteral("IBM DB2 ODBC DRIVER");
    case Vendor::Oracle: return QStringLiteral("Oracle 21 ODBC driver");
    case Vendor::MSSQL: return QStringLiteral("ODBC Driver 18 for SQL Server");
    case Vendor::None: break;
    }
    return {};
}

QString defaultConnectionTemplate(Vendor vendor, const QString &odbcDriver)
{
    // DRIVER={name} may hold blanks; a driver given as a library path is used the same way.
    const QString driver = QStringLiteral("DRIVER={") + odbcDriver + QStringLiteral("};");
    switch (vendor) {
    case Vendor::DB2:  // the alias is the catalogued database alias of the DB2 client
        return driver + QStringLiteral("DATABASE={ALIAS};UID={USER};PWD={PASSWORD};");
    case Vendor::Oracle:  // the alias is the net service name (tnsnames.ora)
        return driver + QStringLiteral("DBQ={ALIAS};UID={USER};PWD={PASSWORD};");
    case Vendor::MSSQL: {  // the alias is the database on the server named by the host
        QString templ = driver + QStringLiteral("SERVER={HOST};DATABASE={ALIAS};UID={USER};PWD={PASSWORD};");
        static const QRegularExpression version(QStringLiteral(R"(^ODBC Driver (\d+) for SQL Server$)"),
                                                QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = version.match(odbcDriver.trimmed());
        if (m.hasMatch() && m.captured(1).toInt() >= 18)
            templ += QStringLiteral("TrustServerCertificate=yes;");
        return templ;
    }
    case Vendor::None: break;
    }
    return {};
}

DriverSetting readDriverSetting(const QString &installerDirectory, Vendor vendor)
{
    DriverSetting setting;
    setting.odbcDriver = defaultOdbcDriver(vendor);
    const QString section = vendorName(vendor);
    if (section.isEmpty())
        return setting;
    const platform::ProfileFile ini(installerDirectory + QStringLiteral("Drivers.ini"));
    if (!ini.existed() || !ini.hasSection(section))
        return setting;

    const QString transport = ini.readString(section, QStringLiteral("Transport")).trimmed();
    if (transport.isEmpty() || transport.compare(QStringLiteral("ODBC"), Qt::CaseInsensitive) == 0) {
        setting.transport = DriverSetting::Transport::Odbc;
    } else if (transport.compare(QStringLiteral("Embedded"), Qt::CaseInsensitive) == 0) {
        setting.transport = DriverSetting::Transport::Embedded;
    } else {
        setting.problem = QStringLiteral("Drivers.ini: Transport \"") + transport + QStringLiteral("\" desconhecido na seção [") +
                          section + QStringLiteral("] (use ODBC ou Embedded).");
        return setting;
    }

    const QString driver = ini.readString(section, QStringLiteral("OdbcDriver")).trimmed();
    if (!driver.isEmpty()) {
        setting.odbcDriver = driver;
        setting.odbcDriverConfigured = true;
    }
    setting.connectionString = ini.readString(section, QStringLiteral("ConnectionString")).trimmed();

    if (setting.transport == DriverSetting::Transport::Embedded) {
        // Paths in settings files come from Windows machines: "\" separates on every platform.
        QString folder = ini.readString(section, QStringLiteral("Folder")).trimmed();
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (folder.isEmpty()) {
            setting.problem = QStringLiteral("Drivers.ini: a seção [") + section +
                              QStringLiteral("] usa Transport=Embedded sem Folder.");
            return setting;
        }
        if (QFileInfo(folder).isRelative() && !folder.startsWith(QLatin1Char('/')))
            folder = QDir(installerDirectory).filePath(folder);
        setting.folder = QDir::cleanPath(folder);
    }
    return setting;
}

namespace {
// The number in a driver name matched by `pattern` (its first group); -1 when it does not match.
int versionIn(const QString &name, const QRegularExpression &pattern)
{
    const QRegularExpressionMatch m = pattern.match(name);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString newest(const QStringList &installed, const QRegularExpression &pattern)
{
    QString best;
    int bestVersion = -1;
    for (const QString &name : installed) {
        const int v = versionIn(name, pattern);
        if (v > bestVersion) {
            best = name;
            bestVersion = v;
        }
    }
    return best;
}
}  // namespace

QString chooseOdbcDriver(Vendor vendor, const QStringList &installed)
{
    const auto first = [&](const auto &accept) -> QString {
        for (const QString &name : installed) {
            if (accept(name))
                return name;
        }
        return {};
    };
    switch (vendor) {
    case Vendor::DB2: {
        QString name = first([](const QString &n) { return n.compare(QStringLiteral("IBM DB2 ODBC DRIVER"), Qt::CaseInsensitive) == 0; });
        if (name.isEmpty())
            name = first([](const QString &n) {
                return n.contains(QStringLiteral("DB2"), Qt::CaseInsensitive) &&
                       !n.startsWith(QStringLiteral("Microsoft"), Qt::CaseInsensitive);
            });
        if (name.isEmpty())
            name = first([](const QString &n) { return n.contains(QStringLiteral("IBM DATA SERVER DRIVER"), Qt::CaseInsensitive); });
        return name;
    }
    case Vendor::Oracle:
        // The vendor's own driver is "Oracle in <home>" or "Oracle <n> ODBC driver"; Microsoft's
        // old "Microsoft ODBC for Oracle" is not taken.
        return first([](const QString &n) { return n.startsWith(QStringLiteral("Oracle"), Qt::CaseInsensitive); });
    case Vendor::MSSQL: {
        static const QRegularExpression odbcDriver(QStringLiteral(R"(^ODBC Driver (\d+) for SQL Server$)"),
                                                   QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression nativeClient(QStringLiteral(R"(^SQL Server Native Client (\d+))"),
                                                     QRegularExpression::CaseInsensitiveOption);
        QString name = newest(installed, odbcDriver);
        if (name.isEmpty())
            name = newest(installed, nativeClient);
        if (name.isEmpty())
            name = first([](const QString &n) { return n.compare(QStringLiteral("SQL Server"), Qt::CaseInsensitive) == 0; });
        return name;
    }
    case Vendor::None: break;
    }
    return {};
}

namespace {
QString connectionValue(const QString &value)
{
    const bool plain = !value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) &&
                       !value.contains(QLatin1Char('}')) && !value.contains(QLatin1Char('=')) &&
                       value.trimmed() == value;
    if (plain)
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}
}  // namespace

QString fillConnectionTemplate(const QString &templ, const QString &alias, const QString &user,
                               const QString &password, const QString &host)
{
    // One pass, so that a value holding "{USER}" is not replaced again.
    static const QString names[] = {QStringLiteral("{ALIAS}"), QStringLiteral("{USER}"), QStringLiteral("{PASSWORD}"),
                                    QStringLiteral("{HOST}")};
    const QString values[] = {connectionValue(alias), connectionValue(user), connectionValue(password),
                              connectionValue(host)};
    QString result;
    qsizetype i = 0;
    while (i < templ.size()) {
        bool replaced = false;
        if (templ.at(i) == QLatin1Char('{')) {
            for (int n = 0; n < 4; ++n) {
                if (QStringView(templ).mid(i).startsWith(names[n], Qt::CaseInsensitive)) {
                    result += values[n];
                    i += names[n].size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            result += templ.at(i++);
    }
    return result;
}

}  // namespace tivra
