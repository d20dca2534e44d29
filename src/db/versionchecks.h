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
#include <QtGlobal>
#include <vector>

namespace tivra {

struct InstallerSession;
class DbConnection;

// Labels of the checks page's version rows and their tables, in row order.
struct VersionRowKind {
    QString label;  // "Banco de Dados", "Cat. de Tabelas", ...
    QString table;  // VS_PACK_BANCO, VS_PACK_CATALOGO, ...
};
std::vector<VersionRowKind> versionRowKinds();

// The checks page's decision for one version table (P, R, D and S as above): APROVADO "S", "N" or
// "-", its STATUS text, whether " (Instalada PARCIALMENTE)" follows DETALHES, and the reason for
// the log (empty for none).
struct VersionCheck {
    QString aprovado;
    QString status;
    bool partial = false;
    QString message;
};
VersionCheck decideVersionRow(qint64 p, qint64 r, qint64 d, qint64 s, const QString &label, const QString &requerida,
                              const QString &place);

// The run-time decision of a stage for one database (CanUpdatePackDataBase without its reads):
// from P, R and the table's highest version (none when the table is empty).
enum class PackRunDecision {
    Run,               // empty table, an older version, or an unfinished run of this one
    SkipNewer,         // a newer version is installed
    SkipSameComplete,  // this version is already complete
    CheckRequired,     // older version and a required version: runs when the required row is complete
};
PackRunDecision packRunDecision(qint64 p, qint64 r, bool empty, qint64 d, qint64 s);

// The highest version of a version table as the run would find it after the checks page, read
// without changing anything: a missing table reads as empty (`exists` false: the checks page
// would create it), and with PackCorrecao the unfinished rows of the package's version are left
// out (the checks page deletes them). `read` is false when the table exists but cannot be read.
struct HighestVersion {
    bool read = false;
    bool exists = true;
    bool empty = true;
    QString version;
    qint64 status = 0;
};
HighestVersion readHighestVersionUnchanged(DbConnection &connection, const QString &table, const QString &packageVersion,
                                          bool correction);

// Adds the version rows to session.cdsChecks: first CreateTableVersoes (one rejected row
// "Erro ao verificar tabela de versões, impossível continuar." when it fails), then five rows per
// validated database whose connection opens. ETAPA groups one database's rows; APROVADO/STATUS
// are "S"/"Aprovado", "N"/"Reprovado" or "-"/"Ignorado" by the decision table; the reasons go to
// the log. A version table that cannot be read gives its row "N"/"Reprovado".
//
// With `unchanged` (the pre-flight report) no version table is created and no row deleted: the
// rows are decided from readHighestVersionUnchanged, as they would be after the creation.
void CheckPermissaoVersoes(InstallerSession &session, bool unchanged = false);

// Whether `stage` ("06. Scripts de Banco", "07. Catálogo de Tabelas", ...) may apply its content
// to the database entry `entry` of session.cdsDbs, judged from its version table. False means
// skip this database for this stage; the reason is already a status row of the stage (image 3
// for version reasons, image 2 for a connection or read failure).
bool CanUpdatePackDataBase(InstallerSession &session, int entry, const QString &stage, const QString &table);

}  // namespace tivra
