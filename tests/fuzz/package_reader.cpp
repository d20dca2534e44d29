// The package reader: opens an archive made elsewhere with the build's package password, lists
// its members and unpacks everything. Its promises besides not crashing: errors come as
// PackageError, and nothing is ever written outside the destination folder.
#include "core/buildsettings.h"
#include "fuzzsupport.h"
#include "package/packagearchive.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tivra;
    static const QString password = BuildSettings::compiled().packagePassword;
    const QString archive = fuzz::writeInput(QStringLiteral("Update.pack"), data, size);
    // The destination sits alone in a folder of its own, so anything written beside it shows.
    const QString outer = fuzz::scratchFolder() + QStringLiteral("/out");
    QDir(outer).removeRecursively();
    const QString destination = outer + QStringLiteral("/tmp");
    try {
        PackageReader reader(archive, password);
        (void)reader.memberNames();
        reader.setWriteLimit(8 * 1024 * 1024);  // keeps highly compressed members fast
        reader.extract(QStringLiteral("*.*"), destination);
    } catch (const PackageError &) {
    }
    const QStringList outside = QDir(outer).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    TIVRA_FUZZ_CHECK(outside.isEmpty() || outside == QStringList{QStringLiteral("tmp")});
    QDir(outer).removeRecursively();
    return 0;
}
