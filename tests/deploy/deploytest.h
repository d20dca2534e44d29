// Shared fixture of the deployment tests: a temporary site (installer folder, application
// directory <root>/Sistema/AppTivra, package working folder), a session over it, and readers of
// the status rows and log lines it reported.
#pragma once

#include "core/clock.h"
#include "core/session.h"
#include "deploy/foldercopy.h"
#include "platform/system.h"
#include "support/deployfixtures.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>  // chmod
#endif

namespace tivra::deploytest {

class DeployTest : public ::testing::Test {
protected:
    DeployTest() : session(ui)
    {
        session.installerDirectory = site.installerDirectory();
        session.workingFolder = session.installerDirectory + QStringLiteral("tmp");
        session.pathAppTivra = site.appDirectory();
        session.pathBackup = site.root() + QStringLiteral("/Backup");
        session.package.versaoPacote = QStringLiteral("2.4.107");
        qunsetenv("TIVRA_COMPLUS_CATALOG");
        qunsetenv("TIVRA_SYSTEM_DIR");
    }
    ~DeployTest() override
    {
        platform::resetCommandLineArguments();
        setCopyFaultForTesting({});
        setClockForTesting({});
        qunsetenv("TIVRA_SYSTEM_DIR");
    }

    // A file of the application directory, of the extracted package, of the site.
    QString app(const QString &relative) const { return site.appDirectory() + QLatin1Char('/') + relative; }
    QString pkg(const QString &relative) const
    {
        return session.workingFolder + QStringLiteral("/AppTivra/") + relative;
    }
    QString root(const QString &relative) const { return site.root() + QLatin1Char('/') + relative; }

    // Grid rows as "image|stage|text", each with the image it was reported with.
    QStringList rows()
    {
        session.status.settleLastRow();
        QStringList result;
        for (const StatusRow &row : session.status.rows())
            result.append(QString::number(row.image) + QLatin1Char('|') + row.group + QLatin1Char('|') + row.detalhes);
        return result;
    }
    // Log items without their time stamps.
    QStringList log() const
    {
        QStringList result;
        for (const QString &item : session.status.logText())
            result.append(item.mid(23));  // "dd/mm/yyyy - hh:mm:ss- "
        return result;
    }

    testsupport::TestSite site;
    testsupport::ScriptedUserInterface ui;
    InstallerSession session;
};

}  // namespace tivra::deploytest
