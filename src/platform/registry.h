// Read-only access to the 32-bit view of HKEY_LOCAL_MACHINE.
//
// On Windows this is the registry API. Elsewhere it is a registry export file in the .reg text
// format (REGEDIT4 or "Windows Registry Editor Version 5.00", ANSI or UTF-16LE with BOM): the file
// named by TIVRA_REGISTRY, else "registry.reg" in the installer directory. Keys that a 64-bit
// export holds under SOFTWARE\WOW6432Node\... are found there too.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace tivra::platform {

struct RegistryValue {
    bool ok = false;     // false: the value exists but is not a string (error says so)
    QString text;        // empty for a missing value
    QString error;
};

class Registry {
public:
    virtual ~Registry() = default;

    // Opens the machine's registry (Windows) or the export file (elsewhere) for the installer
    // directory given.
    static std::unique_ptr<Registry> open(const QString &installerDirectory);

    // keyPath is relative to HKEY_LOCAL_MACHINE, with "\" separators, with or without a leading "\".
    virtual bool keyExists(const QString &keyPath) const = 0;
    // Reads a string value (REG_SZ or REG_EXPAND_SZ). Missing value: ok with empty text.
    // A value of another type: not ok, with an error text.
    virtual RegistryValue readString(const QString &keyPath, const QString &valueName) const = 0;
};

}  // namespace tivra::platform
