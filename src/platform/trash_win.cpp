// Folders go to the Recycle Bin through the shell's file operation: undo allowed, no
// confirmation, no progress, no error boxes. The shell deletes for good what the Recycle Bin
// cannot hold (network folders, removable media).
#include "platform/trash.h"

#include <QDir>
#include <QFileInfo>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace tivra::platform {

bool deleteFolderToTrash(const QString &folder)
{
    try {
        if (folder.isEmpty())
            return true;
        const QFileInfo info(folder);
        if (!info.exists() && !info.isSymLink())
            return true;
        const QString path = QDir::toNativeSeparators(info.absoluteFilePath());
        if (info.isDir() && !info.isSymLink() && QDir(info.absoluteFilePath()).isRoot())
            return false;

        // The shell takes a list of full paths, each ended by a NUL, the list by another NUL.
        std::wstring from = path.toStdWString();
        from.push_back(L'\0');
        from.push_back(L'\0');

        SHFILEOPSTRUCTW operation = {};
        operation.hwnd = nullptr;
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.pTo = nullptr;
        operation.fFlags = static_cast<FILEOP_FLAGS>(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
        const int result = SHFileOperationW(&operation);
        if (result != 0 || operation.fAnyOperationsAborted)
            return false;
        return !QFileInfo::exists(info.absoluteFilePath());
    } catch (...) {
        return false;
    }
}

}  // namespace tivra::platform
