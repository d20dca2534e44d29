// Stage "02. Preparação do Pacote" of the update run: unpacking the whole package.
#pragma once

#include <QString>

namespace tivra {

struct InstallerSession;

inline const QString kStagePreparacaoPacote = QStringLiteral("02. Preparação do Pacote");

// Creates the package working folder and unpacks every member of Update.pack into it, reporting
// through the status log. True lets the run go on; false interrupts it. Does not start the next
// stage.
bool ExtractFiles(InstallerSession &session);

}  // namespace tivra
