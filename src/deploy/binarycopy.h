// Stage "04. Arquivos Binários": copies the package's AppTivra folder over the application
// directory, never replacing a file by one with a lower file version.
#pragma once

#include <QString>

namespace tivra {

struct InstallerSession;

inline const QString kStageArquivosBinarios = QStringLiteral("04. Arquivos Binários");

// True when the binaries were copied (every file of the package's folder handled, as many as the
// binaries list names) or the package has none; false interrupts the run. Does not start the next
// stage.
bool CopyBinary(InstallerSession &session);

}  // namespace tivra
