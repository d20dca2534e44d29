// Stage "04. Arquivos Binários": copies the package's AppTivra folder over the application
// directory, never replacing a file by one with a lower file version.
#pragma once

#include <QString>
#include <QStringList>

namespace tivra {

struct InstallerSession;
struct FolderCopyRequest;

inline const QString kStageArquivosBinarios = QStringLiteral("04. Arquivos Binários");

// True when the binaries were copied (every file of the package's folder handled, as many as the
// binaries list names) or the package has none; false interrupts the run. Does not start the next
// stage.
bool CopyBinary(InstallerSession &session);

// After a copy whose count of handled files differs from the binaries list: a line naming the
// files listed but missing from the package, the package files the list does not name, and the
// listed files that were not handled (held open); empty when there is nothing to name.
QString binaryListMismatch(const QStringList &binaryList, const FolderCopyRequest &request);

}  // namespace tivra
