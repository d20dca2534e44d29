// Version checks: whether the package fits what a database's version tables say. The checks page
// shows five rows per validated database (CheckPermissaoVersoes); during the update run each stage
// that applies database content asks again per database (CanUpdatePackDataBase).
//
// Both compare version numbers (versiontables.h): P of the package version, R of the required
// version, D of the VERSAO_PACK that BuscaMaxStatusPack finds in the content's table, with its
// STATUS S. Neither is meant to run when the package says IgnorarVersao (CanUpdatePackDataBase
// then answers true by itself; the checks page does not call CheckPermissaoVersoes).
#pragma once

#include <QString>
#include <vector>

namespace tivra {

struct InstallerSession;

// Labels of the checks page's version rows and their tables, in row order.
struct VersionRowKind {
    QString label;  // "Banco de Dados", "Cat. de Tabelas", ...
    QString table;  // VS_PACK_BANCO, VS_PACK_CATALOGO, ...
};
std::vector<VersionRowKind> versionRowKinds();

// Adds the version rows to session.cdsChecks: first CreateTableVersoes (one rejected row
// "Erro ao verificar tabela de versões, impossível continuar." when it fails), then five rows per
// validated database whose connection opens. ETAPA groups one database's rows; APROVADO/STATUS
// are "S"/"Aprovado", "N"/"Reprovado" or "-"/"Ignorado" by the decision table; the reasons go to
// the log. A version table that cannot be read gives its row "N"/"Reprovado".
void CheckPermissaoVersoes(InstallerSession &session);

// Whether `stage` ("06. Scripts de Banco", "07. Catálogo de Tabelas", ...) may apply its content
// to the database entry `entry` of session.cdsDbs, judged from its version table. False means
// skip this database for this stage; the reason is already a status row of the stage (image 3
// for version reasons, image 2 for a connection or read failure).
bool CanUpdatePackDataBase(InstallerSession &session, int entry, const QString &stage, const QString &table);

}  // namespace tivra
