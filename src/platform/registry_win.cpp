// The machine's registry through the registry API, always in the 32-bit view of
// HKEY_LOCAL_MACHINE (KEY_WOW64_32KEY), as the installer has always been a 32-bit program.
#include "platform/registry.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace tivra::platform {

namespace {

QString typeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return QStringLiteral("REG_NONE");
    case REG_BINARY: return QStringLiteral("REG_BINARY");
    case REG_DWORD: return QStringLiteral("REG_DWORD");
    case REG_DWORD_BIG_ENDIAN: return QStringLiteral("REG_DWORD_BIG_ENDIAN");
    case REG_LINK: return QStringLiteral("REG_LINK");
    case REG_MULTI_SZ: return QStringLiteral("REG_MULTI_SZ");
    case REG_QWORD: return QStringLiteral("REG_QWORD");
    default: return QStringLiteral("type %1").arg(type);
    }
}

QString systemErrorText(LONG code)
{
    wchar_t *buffer = nullptr;
    const DWORD size = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                          | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, static_cast<DWORD>(code), 0,
                                      reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    QString text = size ? QString::fromWCharArray(buffer, static_cast<qsizetype>(size)).trimmed()
                        : QStringLiteral("error %1").arg(code);
    if (buffer)
        LocalFree(buffer);
    return text;
}

std::wstring keyPathOf(const QString &keyPath)
{
    QString path = keyPath;
    path.replace(u'/', u'\\');
    while (path.startsWith(u'\\'))
        path.remove(0, 1);
    return path.toStdWString();
}

// Owns an open registry key.
class KeyHandle {
public:
    KeyHandle() = default;
    KeyHandle(const KeyHandle &) = delete;
    KeyHandle &operator=(const KeyHandle &) = delete;
    ~KeyHandle()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    LONG open(const QString &keyPath)
    {
        const std::wstring path = keyPathOf(keyPath);
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &m_key);
    }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

class WindowsRegistry final : public Registry {
public:
    bool keyExists(const QString &keyPath) const override
    {
        KeyHandle key;
        return key.open(keyPath) == ERROR_SUCCESS;
    }

    RegistryValue readString(const QString &keyPath, const QString &valueName) const override
    {
        RegistryValue result;
        result.ok = true;
        KeyHandle key;
        if (key.open(keyPath) != ERROR_SUCCESS)
            return result;  // callers ask keyExists() first; a missing key reads as empty

        const std::wstring name = valueName.toStdWString();
        // The value may change size between the two calls; retry a few times if it grows.
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD type = REG_NONE;
            DWORD size = 0;
            LONG rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
            if (rc == ERROR_FILE_NOT_FOUND)
                return result;
            if (rc != ERROR_SUCCESS) {
                result.ok = false;
                result.error = systemErrorText(rc);
                return result;
            }
            if (type != REG_SZ && type != REG_EXPAND_SZ) {
                result.ok = false;
                result.error = QStringLiteral("Invalid data type for '%1' (%2)").arg(valueName, typeName(type));
                return result;
            }
            // Room for a terminating NUL that the stored data may lack.
            std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
            DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
            rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                                  reinterpret_cast<LPBYTE>(buffer.data()), &bytes);
            if (rc == ERROR_MORE_DATA)
                continue;
            if (rc == ERROR_FILE_NOT_FOUND)
                return result;
            if (rc != ERROR_SUCCESS) {
                result.ok = false;
                result.error = systemErrorText(rc);
                return result;
            }
            std::size_t length = bytes / sizeof(wchar_t);
            for (std::size_t i = 0; i < length; ++i) {
                if (buffer[i] == L'\0') {
                    length = i;
                    break;
                }
            }
            result.text = QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(length));
            return result;
        }
        result.ok = false;
        result.error = QStringLiteral("The value '%1' kept changing while it was read").arg(valueName);
        return result;
    }
};

}  // namespace

std::unique_ptr<Registry> Registry::open(const QString &installerDirectory)
{
    Q_UNUSED(installerDirectory);
    return std::make_unique<WindowsRegistry>();
}

}  // namespace tivra::platform
