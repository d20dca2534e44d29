// A database test site: an installer folder with Drivers.ini sending every vendor to the
// embedded transport (folder "Databases"), an application directory, a session with the
// scripted user interface, and helpers to create databases and database entries.
#pragma once

#include "core/session.h"
#include "db/connection.h"
#include "db/embedded/emulation.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace tivra::testsupport {

class DbSite {
public:
    DbSite()
    {
        session.installerDirectory = site.installerDirectory();
        session.pathAppTivra = site.appDirectory();
        QDir().mkpath(folder());
        writeDrivers("[DB2]\r\nTransport=Embedded\r\nFolder=Databases\r\n"
                     "[ORACLE]\r\nTransport=Embedded\r\nFolder=Databases\r\n"
                     "[MSSQL]\r\nTransport=Embedded\r\nFolder=Databases\r\n");
    }

    QString folder() const { return site.installerDirectory() + QStringLiteral("Databases"); }
    QString path(const QString &alias) const { return folder() + QLatin1Char('/') + alias + QStringLiteral(".db"); }

    void writeDrivers(const QByteArray &content) { site.writeFile(QStringLiteral("installer/Drivers.ini"), content); }

    // An empty database of the emulation; with a login only that user (and password) may connect.
    void createDb(const QString &alias, const QString &login = {}, const QString &password = {},
                  const QStringList &tablespaces = {})
    {
        QString error;
        if (!embedded::Emulation::createDatabase(path(alias), tablespaces, login, password, &error))
            ADD_FAILURE() << error.toStdString();
    }

    // A database entry of cdsDbs; returns its row.
    int addEntry(const QString &alias, const QString &vendor, const QString &login = QStringLiteral("tivra"),
                 const QString &password = QStringLiteral("secret"), int image = ImageSuccess)
    {
        QVariantMap values;
        values.insert(QStringLiteral("ALIAS"), alias);
        values.insert(QStringLiteral("DESCRICAO"), QString(QStringLiteral("Banco ") + alias));
        values.insert(QStringLiteral("LOGIN"), login);
        values.insert(QStringLiteral("PASSWORD"), password);
        values.insert(QStringLiteral("IMAGE"), image);
        values.insert(QStringLiteral("VENDOR"), vendor);
        return session.cdsDbs.append(values);
    }

    const QStringList &log() const { return session.status.logText(); }
    // Log items holding a text.
    int logCount(const QString &needle) const
    {
        int n = 0;
        for (const QString &item : log())
            n += item.contains(needle) ? 1 : 0;
        return n;
    }
    QString logText() const { return log().join(QLatin1Char('\n')); }

    TestSite site;
    ScriptedUserInterface ui;
    InstallerSession session{ui};
};

// A statement that must run on an open connection; the statement and the error on failure.
inline void expectRuns(DbConnection &conn, const QString &sql)
{
    QString error;
    EXPECT_TRUE(conn.execute(sql, &error)) << sql.toStdString() << "\n" << error.toStdString();
}

// A statement that must fail; returns the error text the vendor's client would print.
inline QString expectFails(DbConnection &conn, const QString &sql)
{
    QString error;
    EXPECT_FALSE(conn.execute(sql, &error)) << sql.toStdString();
    return error;
}

}  // namespace tivra::testsupport
