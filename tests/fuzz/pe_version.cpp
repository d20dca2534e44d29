// PE version resources: the fixed file version of an .exe or .dll read from its bytes, which
// decides whether a binary of the package replaces the installed one.
#include "fuzzsupport.h"
#include "platform/pe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray image = tivra::fuzz::bytesOf(data, size);
    const auto version = tivra::platform::readPeFileVersion(image);
    // The same bytes give the same answer (no state, no reads outside the image).
    TIVRA_FUZZ_CHECK(tivra::platform::readPeFileVersion(image) == version);
    return 0;
}
