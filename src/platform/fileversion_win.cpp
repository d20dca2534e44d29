#include "platform/fileversion.h"

#include <QDir>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace tivra::platform {

std::optional<PeFileVersion> fixedFileVersion(const QString &path)
{
    const std::wstring file = QDir::toNativeSeparators(path).toStdWString();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0)
        return std::nullopt;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return std::nullopt;
    VS_FIXEDFILEINFO *info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<LPVOID *>(&info), &infoSize) || !info
        || infoSize < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BD)
        return std::nullopt;
    return PeFileVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                         HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

}  // namespace tivra::platform
