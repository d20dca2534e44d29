// Deleting folders the way the Windows shell does from a program: silently, to the Recycle Bin.
#pragma once

#include <QString>

namespace tivra::platform {

// Deletes the folder and everything in it to the trash (Recycle Bin on Windows, the
// freedesktop.org trash elsewhere). Where no trash serves that location it is deleted for good,
// as the shell does. A folder that does not exist counts as deleted. Never throws.
bool deleteFolderToTrash(const QString &folder);

}  // namespace tivra::platform
