// Stages "10. Catálogo de Mensagens" and "11. Catálogo de Rótulos": the rows of the package's
// message catalog (Mensagens.cds, with the systems of its messages) and label catalog
// (Rotulos.cds) that a database does not have yet are inserted into MENSAGENS (and SISTEMAS) and
// CATALOGO_ROTULOS. Only inserts. A row is new when its catalog number is above the table's row
// count; it gets a new key of the database, never the file's number.
#pragma once

#include <QString>

namespace tivra {

struct InstallerSession;

inline const QString kMensagensFile = QStringLiteral("Mensagens.cds");
inline const QString kRotulosFile = QStringLiteral("Rotulos.cds");

// The message catalog into the database entry `entry` of cdsDbs. Reports through the status log,
// the logbook and VS_PACK_MSG; always true.
bool ImportaCdsMensagens(InstallerSession &session, int entry);
// The label catalog, the same way, with VS_PACK_ROTULO; always true.
bool ImportaCdsRotulos(InstallerSession &session, int entry);

}  // namespace tivra
