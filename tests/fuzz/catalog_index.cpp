// The catalog index (index.xml of ExportCatalogo.zip): malformed XML, wrong types and any bytes give
// an error or rows, never a crash.
#include "catalog/catalogindex.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<tivra::CatalogIndexRow> rows;
    QString error;
    const bool ok = tivra::parseCatalogIndex(reinterpret_cast<const char *>(data), size, rows, &error);
    TIVRA_FUZZ_CHECK(ok || !error.isEmpty());
    return 0;
}
