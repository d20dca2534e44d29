// Stage "08. Restrições de Funcionalidade": the functional restrictions of the package
// (RestFuncionalidade.cds) that are marked for export and whose code a database does not have
// yet are inserted into RESTRICOES (TIPO_RESTRICAO 'F'). Then, with or without restrictions, the
// COM+ applications are started again (stage "12. Inicializando Pacotes COM").
#pragma once

#include "db/connection.h"

#include <QString>
#include <optional>

namespace tivra {

struct InstallerSession;

inline const QString kRestrFuncFile = QStringLiteral("RestFuncionalidade.cds");

// The restrictions into every validated database entry, then the start of the COM+
// applications; always true.
bool AtualizaRestrFunc(InstallerSession &session);

// ID_RESTRICAO and COD_RESTRICAO of the database's functional restrictions that have a code; no
// result (and a log line) when the read fails.
std::optional<ResultTable> GetRestrFunc(DbConnection &connection);

}  // namespace tivra
