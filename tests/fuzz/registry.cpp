// Registry exports (.reg, REGEDIT4 or version 5, ANSI or UTF-16LE): the stand-in of the registry
// where there is none. Every key line of the input is looked up, with a few value names.
#include "fuzzsupport.h"
#include "platform/registry.h"
#include "platform/textfile.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using tivra::platform::Registry;
    const QString path = tivra::fuzz::writeInput(QStringLiteral("registry.reg"), data, size);
    qputenv("TIVRA_REGISTRY", QFile::encodeName(path));
    const auto registry = Registry::open(tivra::fuzz::scratchFolder());

    QStringList keys{QStringLiteral("SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases"), QStringLiteral("\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\PROD\\"), QString()};
    // Key names taken from the input itself reach the lookups that a real export would.
    const QStringList lines = tivra::platform::splitLines(tivra::platform::fromWindows1252(tivra::fuzz::bytesOf(data, size)));
    for (const QString &line : lines) {
        const qsizetype sep = line.indexOf(QLatin1Char('\\'));
        if (line.startsWith(QLatin1Char('[')) && sep > 0 && keys.size() < 16)
            keys.append(line.mid(sep + 1).chopped(line.endsWith(QLatin1Char(']')) ? 1 : 0));
    }
    for (const QString &key : keys) {
        (void)registry->keyExists(key);
        for (const QString &name : {QString(), QStringLiteral("UserName"), QStringLiteral("DBVendor")}) {
            const auto value = registry->readString(key, name);
            TIVRA_FUZZ_CHECK(value.ok || !value.error.isEmpty());
        }
    }
    return 0;
}
