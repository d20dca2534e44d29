// The CSV form of data packets that tivra-cds reads (made by hand for tests, demos and support):
// any text gives a packet or a DataPacketError, and a packet read from it writes back.
#include "catalog/datapacket.h"
#include "catalog/packetcsv.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tivra;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const DataPacket packet = packetFromCsv(text);
        (void)packetToCsv(packet);
        (void)writeXmlPacket(packet);
    } catch (const DataPacketError &) {
    }
    return 0;
}
