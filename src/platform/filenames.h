// Names that Windows keeps for its devices. "CON", "PRN", "AUX", "NUL", "COM1" to "COM9" and
// "LPT1" to "LPT9", with or without an extension and in any case ("Com1.cds", "aux.dll"), name a
// device and never a file in a folder: opening "C:\tmp\Com1.cds" opens the first serial port.
// Files the installer writes under names taken from a package (the catalog's "Com<N>.cds" of
// tables 1 to 9) are stored under a changed name there, and read back under the same one.
#pragma once

#include <QString>
#include <QStringView>

namespace tivra::platform {

// Whether a single path component is one of Windows' device names (the part before the first
// dot, trailing blanks and dots ignored, as Windows reads it).
bool isReservedDeviceName(QStringView component);

// The name under which a file or folder of that name is stored on this system: on Windows a
// reserved device name gets a leading "_" ("Com1.cds" -> "_Com1.cds"); elsewhere, and for every
// other name, the name itself. Applied to each component of a relative path with "/" separators.
QString storedName(const QString &relativePath);

}  // namespace tivra::platform
