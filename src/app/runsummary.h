// The run summary: a JSON file beside each log file (same name, ".json") that says what the run
// did for programs that watch installations. Its shape is documented in docs/run-summary.md.
#pragma once

#include <QJsonObject>
#include <QString>

#include <vector>

namespace tivra {

class Installer;
struct InstallerSession;

inline constexpr int kRunSummarySchemaVersion = 1;

// One entry of the run's chain of stages, as it ran.
struct StageRecord {
    QString name;
    bool ran = false;        // the chain reached it
    bool succeeded = false;  // its entry operation returned true
    qint64 milliseconds = 0;
};

// Reads each validated database's latest complete script version again, for the summary
// (left out for a database that cannot be reached now).
void readScriptVersionsAfter(InstallerSession &session);
// The summary of the installer's last run.
QJsonObject runSummary(const Installer &installer, const std::vector<StageRecord> &stages);
// The summary's path for a log file: the same path with ".json" for its extension.
QString runSummaryPath(const QString &logFile);
// Writes the summary beside the log file; false with error set when it cannot be written.
bool writeRunSummary(const Installer &installer, const std::vector<StageRecord> &stages, QString *error);

}  // namespace tivra
