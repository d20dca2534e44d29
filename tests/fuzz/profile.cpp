// Profile (INI) files: the installer's own Config.ini, the package's Config.ini, Drivers.ini and
// the files of the COM+ stand-in are all read by ProfileFile. Besides not crashing: every section
// and key it lists can be read, and a value written and flushed reads back after reloading.
#include "core/packagesettings.h"
#include "fuzzsupport.h"
#include "package/packageconfig.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using tivra::platform::ProfileFile;
    const QString path = tivra::fuzz::writeInput(QStringLiteral("Config.ini"), data, size);
    {
        const ProfileFile ini(path);
        for (const QString &section : ini.sections()) {
            TIVRA_FUZZ_CHECK(ini.hasSection(section));
            (void)ini.sectionLines(section);
            for (const QString &key : ini.keys(section)) {
                (void)ini.readString(section, key);
                (void)ini.readInteger(section, key, 7);
                (void)ini.readBool(section, key);
            }
        }
    }
    {
        tivra::PackageSettings settings;
        tivra::ReadPackageSettings(path, settings);
    }
    {
        ProfileFile ini(path);
        const QString section = QStringLiteral("Fuzz");
        const QString key = QStringLiteral("Chave");
        const QString value = QStringLiteral("valor \u00e7");
        TIVRA_FUZZ_CHECK(ini.writeString(section, key, value));
        TIVRA_FUZZ_CHECK(ini.readString(section, key) == value);
        if (ini.flush()) {
            const ProfileFile again(path);
            TIVRA_FUZZ_CHECK(again.readString(section, key) == value);
        }
    }
    return 0;
}
