// Shared fixture of the synchronisation tests: a temporary site with an origin application
// directory and destination folders, a session with the scripted user interface, and helpers to
// build application directories and read folders back.
#pragma once

#include "core/session.h"
#include "deploy/foldercopy.h"
#include "support/deployfixtures.h"
#include "support/scriptedui.h"
#include "support/testsite.h"
#include "tools/syncsvrs.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>

#include <gtest/gtest.h>

namespace tivra::synctest {

class SyncTest : public ::testing::Test {
protected:
    SyncTest() : session(ui)
    {
        session.installerDirectory = site.installerDirectory();
        qunsetenv("TIVRA_COMPLUS_CATALOG");
        qunsetenv("TIVRA_SYSTEM_DIR");
    }
    ~SyncTest() override { setCopyFaultForTesting({}); }

    QString path(const QString &relative) const { return site.root() + QLatin1Char('/') + relative; }
    // An application directory recognised by its "Producao" sub-folder.
    QString appDir(const QString &relative) const
    {
        QDir().mkpath(path(relative) + QStringLiteral("/Producao"));
        return path(relative);
    }
    QString write(const QString &relative, const QByteArray &bytes) const { return site.writeFile(relative, bytes); }
    // Every file below the folder with its content, by relative path.
    static QMap<QString, QByteArray> tree(const QString &folder)
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            files.insert(QDir(folder).relativeFilePath(file), testsupport::readAll(file));
        }
        return files;
    }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const auto &shown : ui.boxes())
            texts.append(shown.box.caption + QStringLiteral(": ") + shown.box.text);
        return texts;
    }

    testsupport::TestSite site;
    testsupport::ScriptedUserInterface ui;
    InstallerSession session;
};

}  // namespace tivra::synctest
