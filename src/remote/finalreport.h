// The final report of an update run: the report header put in front of the log file, and the
// log file posted to the maker's log collection endpoint.
#pragma once

#include "remote/httpclient.h"

#include <QString>
#include <QStringList>

namespace tivra {
struct InstallerSession;
}

namespace tivra::remote {

// The log collection endpoints below the maker's web site, and their form fields.
inline const QString kLogsPath = QStringLiteral("InstallerLogs/index.php");
inline const QString kLogsField = QStringLiteral("arquivo");
inline const QString kModelsPath = QStringLiteral("InstallerLogs/DatabaseModels/index.php");
inline const QString kModelsField = QStringLiteral("logfile");

// The ten lines of the report header, in order (without their line ends).
QStringList reportHeaderLines(const QString &installerVersion, const QString &customerCode, const QString &computerName,
                              const QString &packageVersion, const QString &requiredVersion, int errors,
                              const QString &finalMessage);

// Puts the report header in front of the log file and posts the file to the maker's endpoint.
// A log file that cannot be read or rewritten (deleted meanwhile, say) is not sent; nothing is
// reported in either case, and no failure reaches the run: its verdict and exit status stay.
void EnviaLogFinal(InstallerSession &session, const QString &logFile, const QString &finalMessage, int errors,
                   const HttpOptions &options);

// The bounds of the final report's and the structure model's uploads: they run after the run's
// verdict and must not keep the installer from ending.
HttpOptions reportOptions(InstallerSession &session);

}  // namespace tivra::remote
