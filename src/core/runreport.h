// What an update run did, gathered while it runs for the machine-readable run summary: per
// database the statements of the script stage, and the files the binary stage replaced or kept.
#pragma once

#include <QString>
#include <QMap>
#include <QStringList>

#include <vector>

namespace tivra {

struct DatabaseRunReport {
    QString alias;
    bool scriptsRan = false;     // the script stage reached the statements of this database
    int statementsRun = 0;       // handed to the database (succeeded or failed)
    int statementsFailed = 0;    // failed, or not run because the one before failed
    int statementsSkipped = 0;   // already executed by an earlier run (statement log)
    int statementsRemaining = 0; // left when the connection was lost
    QString failedStatementsExport;  // the export file of the failed statements, if any
};

// The delivery of the final report to the maker's site.
struct DeliveryReport {
    enum class Outcome { NotSent, Sent, Failed };
    Outcome outcome = Outcome::NotSent;  // NotSent: not attempted ("/nosendlog", nothing to send)
    QString error;                       // why it failed
};

struct RunReport {
    std::vector<DatabaseRunReport> databases;
    DeliveryReport finalReport;
    // "ALIAS: cause" per structure model that was captured but not delivered.
    QStringList structureModelFailures;
    QStringList filesReplaced;  // destination paths
    QStringList filesKept;      // destination paths kept because the one in place is newer
    // Per alias, the latest complete script version read from the database at the end of the run.
    QMap<QString, qint64> scriptVersionsAfter;

    DatabaseRunReport &database(const QString &alias)
    {
        for (DatabaseRunReport &report : databases) {
            if (report.alias == alias)
                return report;
        }
        databases.push_back({});
        databases.back().alias = alias;
        return databases.back();
    }
    void clear() { *this = RunReport{}; }
};

}  // namespace tivra
