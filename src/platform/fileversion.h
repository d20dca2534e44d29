// File version text of the product: the four numbers of a file's fixed file version
// ("2.4.107.0"), or its last-modification date as "yyyy-mm-dd" when it has no version resource,
// or empty text for a missing file.
#pragma once

#include "platform/pe.h"

#include <QString>
#include <optional>

namespace tivra::platform {

// Empty for a missing file (or a folder); "a.b.c.d" for a file with a fixed file version;
// otherwise the file's last-modification date in local time as "yyyy-MM-dd".
QString fileVersionText(const QString &path);

// The fixed file version of a file's version resource (the Windows version API on Windows; the
// PE reader elsewhere, whatever the file's extension), or nothing.
std::optional<PeFileVersion> fixedFileVersion(const QString &path);

// The version text of the running installer: the fixed file version of its executable where it
// has a version resource (Windows); else the version compiled into the program (the project's
// version, as Linux executables carry no version resource); else the executable's file date.
QString installerVersionText();
// The version compiled into the program ("1.0.0.0"); empty when the build did not set one.
QString compiledVersionText();

// Version number of a version text: every "." and "-" removed, read as a decimal integer;
// 0 for non-numbers and for values beyond the signed 64-bit range.
qint64 fileVersionNumber(const QString &versionText);

// The same reading with the given separator characters removed (package versions drop only ".").
qint64 versionDigitsNumber(const QString &versionText, QStringView separators);

// Whether the digits of a version text fit the signed 64-bit range; a version that does not fit
// cannot be compared and is never taken as older or newer than another. Non-numbers fit (they
// read as 0, as they always have).
bool versionDigitsFit(const QString &versionText, QStringView separators);
bool fileVersionFits(const QString &versionText);

}  // namespace tivra::platform
