// The marker of a backup folder (OrigemBackup.ini), read by the restore to tell whether the
// backup belongs to this application directory. Besides not crashing: a directory read from it
// is written back and read again unchanged.
#include "deploy/backup.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const tivra::BackupMarker marker = tivra::parseBackupMarker(tivra::fuzz::bytesOf(data, size));
    TIVRA_FUZZ_CHECK(!marker.valid || !marker.directory.isEmpty());
    if (marker.valid && !marker.directory.contains(QLatin1Char('\r'))) {
        const tivra::BackupMarker again = tivra::parseBackupMarker(
            tivra::backupMarkerText(marker.directory, marker.packageVersion, QDateTime(QDate(2025, 1, 2), QTime(3, 4))));
        TIVRA_FUZZ_CHECK(again.valid);
        TIVRA_FUZZ_CHECK(again.directory == marker.directory);
    }
    return 0;
}
