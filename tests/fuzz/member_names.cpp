// Package member names: safeMemberPath decides where a member of a package made elsewhere is
// written. Its promises: an unsafe name gives empty text, a kept name is relative, has no "..",
// "." or empty component, no ":" and no "\", and reading it again changes nothing.
#include "fuzzsupport.h"
#include "package/packagearchive.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Names are stored as UTF-8 in the archive; Latin-1 reaches every QChar below 256 as well.
    const QByteArray bytes = tivra::fuzz::bytesOf(data, size);
    for (const QString &name : {QString::fromUtf8(bytes), QString::fromLatin1(bytes)}) {
        const QString path = tivra::safeMemberPath(name);
        if (path.isEmpty())
            continue;
        TIVRA_FUZZ_CHECK(!path.startsWith(QLatin1Char('/')));
        TIVRA_FUZZ_CHECK(!path.contains(QLatin1Char('\\')));
        TIVRA_FUZZ_CHECK(!path.contains(QLatin1Char(':')));
        const QStringList parts = path.split(QLatin1Char('/'));
        for (const QString &part : parts)
            TIVRA_FUZZ_CHECK(!part.isEmpty() && part != QLatin1String(".") && part != QLatin1String(".."));
        TIVRA_FUZZ_CHECK(!name.contains(QLatin1Char(':')));
        TIVRA_FUZZ_CHECK(tivra::safeMemberPath(path) == path);
    }
    return 0;
}
