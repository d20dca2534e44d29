// The ODBC transport against a scripted driver shaped like each vendor's (tests/db/fakeodbc):
// diagnostic records, cursors, long-text bindings, connection failures and a connection lost in
// the middle of a script.
#include "db/odbc/odbctransport.h"
#include "db/sqlrunner.h"
#include "dbtest.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

namespace {

// The driver manager reads the test's own driver list (never the machine's); set before any
// ODBC call of the process.
const bool g_sysini = [] {
    qputenv("ODBCSYSINI", TIVRA_FAKEODBC_SYSINI);
    return true;
}();

const QString kFake = QStringLiteral(TIVRA_FAKEODBC);

// The first lines of a script for each vendor's driver.
QByteArray vendorHeader(const QString &vendor)
{
    if (vendor == QStringLiteral("DB2"))
        return "dbms DB2/NT64\ndriver-name DB2CLI.DLL\n";
    if (vendor == QStringLiteral("ORACLE"))
        return "dbms Oracle\ndriver-name SQORA32.DLL\n";
    return "dbms Microsoft SQL Server\ndriver-name msodbcsql17.dll\n";
}

class FakeOdbc : public ::testing::Test {
protected:
    // Sends every vendor to the fake driver with `script` (after the vendor's header).
    void script(const QString &vendor, const QByteArray &body)
    {
        scriptPath = site.site.writeFile(QStringLiteral("fake-") + vendor + QStringLiteral(".txt"), vendorHeader(vendor) + body);
        logPath = site.site.root() + QStringLiteral("/fake-calls.log");
        QByteArray ini;
        for (const char *section : {"DB2", "ORACLE", "MSSQL"}) {
            ini += QByteArray("[") + section + "]\r\nConnectionString=DRIVER=" + kFake.toUtf8() + ";SCRIPT=" + scriptPath.toUtf8() +
                   ";LOG=" + logPath.toUtf8() + ";DATABASE={ALIAS};UID={USER};PWD={PASSWORD};\r\n";
        }
        site.writeDrivers(ini);
    }

    // The calls the driver logged, those starting with `prefix`.
    QStringList calls(const QString &prefix = {}) const
    {
        QFile file(logPath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.startsWith(prefix))
                lines.append(line);
        }
        return lines;
    }

    // Logged executions of statements holding `text`.
    QStringList executions(const QString &text) const
    {
        QStringList found;
        for (const QString &line : calls(QStringLiteral("exec"))) {
            if (line.contains(text))
                found.append(line);
        }
        return found;
    }

    DbSite site;
    QString scriptPath;
    QString logPath;
};

}  // namespace

TEST_F(FakeOdbc, Smoke)
{
    script(QStringLiteral("ORACLE"), "rule SELECT A\n  columns A:int,B:text\n  row 1|um\n  row 2|\\N\n");
    DbConnection conn(site.session);
    ASSERT_TRUE(ConnectCurrentEntry(conn, site.addEntry(QStringLiteral("P"), QStringLiteral("ORACLE")))) << site.logText().toStdString();
    QString error;
    auto rows = conn.query(QStringLiteral("SELECT A, B FROM T"), &error);
    ASSERT_TRUE(rows) << error.toStdString();
    EXPECT_EQ(rows->count(), 2);
    EXPECT_EQ(rows->text(0, QStringLiteral("B")), QStringLiteral("um"));
    std::cerr << calls().join(QLatin1Char('\n')).toStdString() << std::endl;
}
