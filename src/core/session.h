// The installer session: the process-wide state of one installation, owned by the main window.
#pragma once

#include "core/buildsettings.h"
#include "core/packagesettings.h"
#include "core/runreport.h"
#include "core/statuslog.h"
#include "core/tables.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace tivra {

class UserInterface;

struct InstallerSession {
    explicit InstallerSession(UserInterface &ui, const BuildSettings &build = BuildSettings::compiled())
        : ui(ui), build(build)
    {
        status.setUserInterface(&ui);
    }
    InstallerSession(const InstallerSession &) = delete;
    InstallerSession &operator=(const InstallerSession &) = delete;

    UserInterface &ui;
    const BuildSettings &build;

    QString installerDirectory;  // folder of the executable, with a trailing separator
    QString workingFolder;       // installerDirectory + "tmp"
    PackageSettings package;
    QString customerCode;
    // Why the package beside the installer cannot be used (unreadable archive, no package version
    // in its Config.ini...); empty when it can, or when there is no package at all.
    QString packageProblem;
    QStringList logbook;  // Manual de Bordo
    StatusLog status;     // cdsStatus, the log text and the last status image
    RunReport runReport;  // what the current (or last) update run did, for its summary

    // Tables of the main window that the stages walk and fill.
    MemTable cdsDbs{QStringLiteral("cdsDbs"), dbsFields()};        // databases list
    MemTable cdsChecks{QStringLiteral("cdsChecks"), checksFields()};  // checks page rows
    MemTable cdsCatalogo{QStringLiteral("cdsCatalogo"), catalogoFields()};  // catalog tables list
    // Tables of the tablespace window, and whether its mapping was confirmed.
    MemTable cdsLookup{QStringLiteral("cdsLookup"), lookupFields()};
    MemTable cdsTS{QStringLiteral("cdsTS"), tsFields()};
    bool tableSpacesConfirmed = false;
    // Why each database entry that has credentials failed its last validation, by alias.
    QMap<QString, QString> validationFailures;
    bool darnuMode = false;
    bool continueChain = false;
    bool downloadPending = false;

    // The directory fields of the directories page.
    QString pathAppTivra;
    QString pathBackup;
    QString pathLog;
    bool ignoreBackup = true;  // cbIgnoreBackup

    // What the package shows on the first pages: the change-log text (mChangeLog) and the manual
    // button (btManual).
    QString changeLog;
    bool manualButtonVisible = false;
    QString manualButtonCaption;

    // UpdateStatus of the session's status log.
    void UpdateStatus(const QString &message, bool writeToLog, const QString &stage, int image, bool addRow)
    {
        status.UpdateStatus(message, writeToLog, stage, image, addRow);
    }
};

}  // namespace tivra
