// Stage "05. Arquivo de Versões": rewrites the version entries of Executaveis/Versoes.ini from the
// files present in Producao/Bin/Clients and Bibliotecas of the application directory.
#pragma once

#include <QString>
#include <QStringList>

namespace tivra {

struct InstallerSession;

inline const QString kStageArquivoVersoes = QStringLiteral("05. Arquivo de Versões");

// The versions file of an application directory.
QString versoesIniPath(const QString &appDirectory);

// "name=version text" for each file of the folder (not sub-folders, not hidden files), in name
// order; a missing folder gives no lines.
QStringList versionLines(const QString &folder);

// Never fails the run: returns true. A versions file that cannot be written throws StageError,
// which ends the run as an escaping error. Does not start the next stage.
bool UpdateVersoesIni(InstallerSession &session);

}  // namespace tivra
