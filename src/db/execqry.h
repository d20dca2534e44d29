// The logic of the ad-hoc SQL window TfrExecQry ("Executar SQL"): the validated aliases it
// offers and the execution of one statement or query on one of them.
#pragma once

#include "db/resulttable.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tivra {

struct InstallerSession;

// Aliases of the entries in state 1, in list order.
QStringList ExecQryAliases(const InstallerSession &session);

struct ExecQryOutcome {
    enum Kind { NotConnected, Executed, Failed, Rows, QueryFailed } kind = NotConnected;
    std::optional<ResultTable> rows;  // Rows: the query's result
    QString error;                    // QueryFailed: the database's text
};

// "Executar": runs the text on the validated entry with that alias (exact comparison), as one
// statement through the statement runner (log flag set) or, with select, as a query. Shows the
// message boxes of the window: "Executado!", "Erro! Verifique Log." or the query's error text.
ExecQryOutcome ExecQryExecutar(InstallerSession &session, const QString &alias, const QString &text, bool select);

}  // namespace tivra
