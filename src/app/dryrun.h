// The pre-flight report ("/dryrun"): the wizard's pages and checks as in every run, then, instead of
// the update run, a report of what the run would do, built without changing anything: the
// package's files (replaced, kept, new), the COM+ applications that would be stopped, per
// validated database the decision of each version table and the statements that would run, and
// the verdict to expect. Written as a text file in the log folder; printed under /quiet; shown in
// the read-only text window otherwise.
//
// Nothing changes: connections are opened read-only (DbConnection::setReadOnly), no version table
// is created, the COM+ applications are not stopped, a missing backup folder is not created, and
// the package is unpacked into the working folder, which is removed afterwards as in every run.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace tivra {

class Installer;

// One file of the binary stage as the report gives it.
struct DryRunFile {
    enum class Action { Replace, Keep, New, InUse };
    Action action = Action::New;
    QString destination;
    QString installedVersion;
    QString packageVersion;
    bool sameVersionDifferentContent = false;
    bool sameContent = false;    // same version and same bytes: copied over itself
    bool uncomparable = false;   // kept because a version is too large to compare
};

// One version table of one database.
struct DryRunVersionTable {
    QString table;
    bool exists = true;     // false: the checks page would create it
    bool readable = true;
    QString installed;      // highest version found (empty: none)
    qint64 status = 0;
    QString decision;       // "executar", "ignorar: ...", "recusado: ..."
    bool runs = false;
};

struct DryRunDatabase {
    QString alias;
    QString vendor;
    bool validated = false;
    QString notValidatedReason;
    std::vector<DryRunVersionTable> tables;
    bool scriptsReached = false;  // the script stage would hand statements to this database
    int statementsToRun = 0;
    int statementsAlreadyRun = 0;
    QString scriptNote;           // why no statement would run, or the resume state
    bool instBancoPackMissing = false;
    QStringList catalogNotes;     // the catalog rows the stages would write, per table
};

struct DryRunReport {
    bool refused = false;
    QStringList refusalReasons;
    QStringList backup;            // stage 01: skipped, or the files it would copy and where
    std::vector<DryRunFile> files;
    QStringList comApplications;   // stopped at stage 03 (and again at stage 12)
    QStringList comNotes;          // per application: registered or created at the end
    std::vector<DryRunDatabase> databases;
    QStringList catalogErrors;     // error rows the simulated catalog stages reported
    QStringList failureReasons;    // what makes the expected verdict partial
    QStringList interruptReasons;  // what would interrupt the run
    int exitStatus = 0;            // 0, 1, 2 or 3 as the run's exit status table
    QString verdict;

    QString text;        // the report as written
    QString reportFile;  // the file in the log folder, when written
    QString writeError;
};

// The file name of a report: customer code + "_DryRun_" + package version + "_ddmmyyyy_hhnn.txt"
// (a report of the same minute already there is kept: the new one gets a suffix, "_2"...).
QString dryRunFileName(const QString &customerCode, const QString &packageVersion);

// Builds the report of an installer whose wizard reached the log page with every check passed:
// unpacks the package into the working folder, plans each stage, removes the working folder,
// writes the report file. Changes nothing else.
DryRunReport buildDryRunReport(Installer &installer);

// The report of a walk a page refused (exit status 3), with the reasons; written to the log folder.
DryRunReport refusedDryRunReport(Installer &installer, const QString &pageTitle);

// Puts the installer in dry-run mode before FormCreate: read-only connections from then on, the
// checks without changes, the report instead of the run.
void enableDryRun(Installer &installer);

// Walks the wizard unattended in dry-run mode, prints the report on standard output and returns
// its exit status.
int runUnattendedDryRun(Installer &installer);

}  // namespace tivra
