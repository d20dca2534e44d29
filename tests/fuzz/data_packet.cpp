// Data packets (*.cds) of the catalog archive and of the package, binary and XML: the reader never
// crashes and never gives a table that the writers cannot write back to the same rows.
#include "catalog/datapacket.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tivra;
    QString error;
    const auto packet = parseDataPacket(reinterpret_cast<const char *>(data), size, &error);
    if (!packet) {
        TIVRA_FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    // What was read is a table the importers can walk, and the binary writer's bytes read back
    // to the same visible rows.
    const ResultTable table = packet->table();
    TIVRA_FUZZ_CHECK(table.count() == packet->visibleCount());
    try {
        const QByteArray written = writeBinaryPacket(*packet);
        QString again;
        const auto reread = parseDataPacket(written.constData(), size_t(written.size()), &again);
        TIVRA_FUZZ_CHECK(reread.has_value());
        TIVRA_FUZZ_CHECK(reread->visibleCount() == packet->visibleCount());
        TIVRA_FUZZ_CHECK(reread->fields.size() == packet->fields.size());
    } catch (const DataPacketError &) {
        // A packet the binary form cannot hold (a name too long, a value that does not fit).
    }
    return 0;
}
