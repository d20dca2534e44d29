// A site for the version and script tests: the embedded database site of the database tests, a
// package working folder, a log folder, and direct SQL for seeding and reading the databases.
#pragma once

#include "core/session.h"
#include "db/dbtest.h"
#include "db/sqlrunner.h"

#include <gtest/gtest.h>
#include <ostream>

namespace tivra::testsupport {

class VersionSite : public DbSite {
public:
    VersionSite()
    {
        session.workingFolder = session.installerDirectory + QStringLiteral("tmp");
        session.pathLog = site.root() + QStringLiteral("/Log");
        QDir().mkpath(session.workingFolder);
        session.package.existScript = true;
        session.package.versaoPacote = QStringLiteral("1.0.000");
    }

    // A database of the emulation and its validated entry.
    int addDatabase(const QString &alias, const QString &vendor, const QStringList &tablespaces = {})
    {
        createDb(alias, QStringLiteral("tivra"), QStringLiteral("secret"), tablespaces);
        return addEntry(alias, vendor);
    }
    void writeScript(const QString &name, const QByteArray &bytes)
    {
        site.writeFile(QStringLiteral("installer/tmp/") + name, bytes);
    }
    void exec(int entry, const QStringList &statements)
    {
        DbConnection connection(session);
        ASSERT_TRUE(ConnectCurrentEntry(connection, entry));
        const QString date = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("D"));
        for (QString statement : statements) {
            statement.replace(QStringLiteral("<DATE>"), date);
            QString error;
            EXPECT_TRUE(connection.execute(statement, &error)) << statement.toStdString() << ": " << error.toStdString();
        }
    }
    ResultTable query(int entry, const QString &select)
    {
        DbConnection connection(session);
        EXPECT_TRUE(ConnectCurrentEntry(connection, entry));
        QString error;
        const std::optional<ResultTable> result = connection.query(select, &error);
        EXPECT_TRUE(result.has_value()) << select.toStdString() << ": " << error.toStdString();
        return result.value_or(ResultTable());
    }
    qint64 count(int entry, const QString &table)
    {
        return query(entry, QStringLiteral("SELECT COUNT(*) AS N FROM ") + table).integer(0, QStringLiteral("N"));
    }
    // "VERSAO_PACK=STATUS" of a version table's rows by ID.
    QStringList versions(int entry, const QString &table)
    {
        const ResultTable rows = query(entry, QStringLiteral("SELECT VERSAO_PACK, STATUS FROM ") + table + QStringLiteral(" ORDER BY ID"));
        QStringList out;
        for (int row = 0; row < rows.count(); ++row)
            out << rows.text(row, QStringLiteral("VERSAO_PACK")) + QLatin1Char('=') + rows.text(row, QStringLiteral("STATUS"));
        return out;
    }
    // "image|text" of a stage's status rows (each with its final image).
    QStringList rows(const QString &stage)
    {
        session.status.settleLastRow();
        QStringList out;
        for (const StatusRow &row : session.status.rows()) {
            if (row.group == stage)
                out << QString::number(row.image) + QLatin1Char('|') + row.detalhes;
        }
        return out;
    }
    // A database file that SQLite opens read-only whoever opens it (also root): a write version
    // above 2 in the file header.
    void makeReadOnly(const QString &alias)
    {
        QFile file(path(alias));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(18));
        file.write("\x03", 1);
    }
};

}  // namespace tivra::testsupport
