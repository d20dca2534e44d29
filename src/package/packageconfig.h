// The package settings: reading the package's Config.ini and the other small members (scripts,
// change log, manual) into the installer session.
#pragma once

#include <QString>

namespace tivra {

struct InstallerSession;
struct PackageSettings;

// Reads a package Config.ini into the settings, replacing every value and every list it holds
// (the script texts excepted): a missing file, section or key gives the default value or an
// empty list.
void ReadPackageSettings(const QString &configIniPath, PackageSettings &settings);

// Reads the package settings, the scripts, the change log and the manual of the installer
// directory's Update.pack into the session, after resetting what an earlier package left there.
// Without Update.pack the session keeps what it had and nothing is logged. A package that
// cannot be used (unreadable archive, no Config.ini, no usable [Outros] VersaoPacote) leaves the
// defaults, writes the error to the log text and names the problem in session.packageProblem;
// nothing is raised.
void LoadIniConfig(InstallerSession &session);

// Whether a package version can be compared: digits and dots, a number above 0 that fits.
bool packageVersionUsable(const QString &version);

// Text of a member read from the package, decoded as the script runner decodes the scripts
// (platform decodeWindowsText), so that the summary page shows a script as it will run.
QString decodePackageText(const QByteArray &bytes);

}  // namespace tivra
