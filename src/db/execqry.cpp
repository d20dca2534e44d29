#include "db/execqry.h"

#include "core/session.h"
#include "core/userinterface.h"
#include "db/connection.h"
#include "db/sqlrunner.h"

namespace tivra {

namespace {
const QString kCaption = QStringLiteral("Instalador Tivra*");
}

QStringList ExecQryAliases(const InstallerSession &session)
{
    QStringList aliases;
    for (int row = 0; row < session.cdsDbs.count(); ++row) {
        if (session.cdsDbs.integer(row, QStringLiteral("IMAGE")) == ImageSuccess)
            aliases.append(session.cdsDbs.text(row, QStringLiteral("ALIAS")));
    }
    return aliases;
}

ExecQryOutcome ExecQryExecutar(InstallerSession &session, const QString &alias, const QString &text, bool select)
{
    ExecQryOutcome outcome;
    for (int row = 0; row < session.cdsDbs.count(); ++row) {
        if (session.cdsDbs.integer(row, QStringLiteral("IMAGE")) != ImageSuccess ||
            session.cdsDbs.text(row, QStringLiteral("ALIAS")) != alias)
            continue;
        DbConnection connection(session);
        if (!ConnectCurrentEntry(connection, row)) {
            outcome.kind = ExecQryOutcome::NotConnected;
            continue;
        }
        if (!select) {
            if (ExecSQLText(connection, text, true)) {
                outcome.kind = ExecQryOutcome::Executed;
                session.ui.messageBox({kCaption, QStringLiteral("Executado!"), UserInterface::Icon::None, UserInterface::Ok,
                                       UserInterface::Ok});
            } else {
                outcome.kind = ExecQryOutcome::Failed;
                session.ui.messageBox({kCaption, QStringLiteral("Erro! Verifique Log."), UserInterface::Icon::None,
                                       UserInterface::Ok, UserInterface::Ok});
            }
        } else {
            QString error;
            outcome.rows = connection.query(text, &error);
            if (outcome.rows) {
                outcome.kind = ExecQryOutcome::Rows;
            } else {
                outcome.kind = ExecQryOutcome::QueryFailed;
                outcome.error = error;
                session.ui.error(kCaption, error);
            }
        }
    }
    return outcome;
}

}  // namespace tivra
