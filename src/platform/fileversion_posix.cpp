#include "platform/fileversion.h"

namespace tivra::platform {

// No version API here: every file is read as a PE image, whatever its extension, so that a
// library shipped without the usual extension still reports its version.
std::optional<PeFileVersion> fixedFileVersion(const QString &path)
{
    return readPeFileVersionFromFile(path);
}

}  // namespace tivra::platform
