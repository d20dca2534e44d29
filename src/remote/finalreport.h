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
// A log file that cannot be read or rewritten (deleted meanwhile, say) is not sent. The outcome
// (sent, or failed and why) goes to the session's run report; no failure reaches the run: its
// verdict and exit status stay.
void EnviaLogFinal(InstallerSession &session, const QString &logFile, const QString &finalMessage, int errors,
                   const HttpOptions &options);

// The bounds of the final report's and the structure model's uploads: they run after the run's
// verdict and must not keep the installer from ending.
HttpOptions reportOptions(InstallerSession &session);

// The bound of a whole upload grows with the file: the base bound plus the time the file takes
// at the slowest line the maker's customers use, up to a ceiling. A large log on a slow line is
// then sent, not cut off at a fixed bound.
inline constexpr qint64 kSlowestUploadBytesPerSecond = 8 * 1024;  // 64 kbit/s
inline constexpr qint64 kMaxUploadTimeoutMs = 2LL * 60 * 60 * 1000;
HttpOptions uploadOptions(const HttpOptions &base, qint64 bytes);

}  // namespace tivra::remote
