// The repository's version listing (Versoes.txt) and the support site's user list, read as the
// download window reads them: any text gives lines and records, never a crash, and what the
// readers accept keeps their promises.
#include "fuzzsupport.h"
#include "remote/packagelisting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tivra::remote;
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const VersionListing listing = parseVersionListing(text);
    for (const ListingLine &line : listing.lines) {
        if (line.valid) {
            TIVRA_FUZZ_CHECK(line.sizeBytes >= 0);
            TIVRA_FUZZ_CHECK(listingVersionNumber(line.version) == line.versionNumber);
            (void)sizeText(line.sizeBytes, QLatin1Char(','));
        }
        (void)listingLineOffered(line, QStringLiteral("0042"));
    }
    (void)parseUserList(text);
    return 0;
}
