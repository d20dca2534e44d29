// Validation of the databases list (the "Vali&dar Bancos" button, also run on every entry into
// the databases page and by the package download window), and the editing rule of its grid.
#pragma once

#include <QString>
#include <functional>

namespace tivra {

struct InstallerSession;
class DbConnection;
class MemTable;

// Validates every entry of session.cdsDbs: entries with a user name and a password (both
// non-empty after trimming) are tried with a new connection each: state 1 and MAX_PACK_COMPLETE
// from maxPackCompleteQuery() when it opens, state 2 and 0 when not; the others get state 3, 0
// and the log line "Banco \"<alias>\" ignorado da validação (sem dados para a conexão).".
void ValidarBancos(InstallerSession &session);

// The user started to edit a cell of a row: the row goes back to state 0 ("Aguardando").
void qgDbsEditing(InstallerSession &session, int row);

// The version number of the database's latest complete script version (BuscaMaxPackComplete),
// asked on every successful validation. It returns 0 until the version tables provide it; the
// version-table code replaces it with setMaxPackCompleteQuery. Exceptions it throws count as 0.
using MaxPackCompleteQuery = std::function<qint64(DbConnection &)>;
void setMaxPackCompleteQuery(MaxPackCompleteQuery query);
qint64 maxPackComplete(DbConnection &connection);

// For the wizard's checks of the databases page: the first row whose IMAGE is `image` (-1 when
// none) and the number of rows with that IMAGE.
int firstEntryWithImage(const MemTable &dbs, int image);
int countEntriesWithImage(const MemTable &dbs, int image);

}  // namespace tivra
