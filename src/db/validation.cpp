#include "db/validation.h"

#include "core/session.h"
#include "db/connection.h"
#include "db/sqlrunner.h"

namespace tivra {

namespace {
MaxPackCompleteQuery &query()
{
    static MaxPackCompleteQuery q = [](DbConnection &) -> qint64 { return 0; };
    return q;
}
}  // namespace

void setMaxPackCompleteQuery(MaxPackCompleteQuery q)
{
    query() = q ? std::move(q) : [](DbConnection &) -> qint64 { return 0; };
}

qint64 maxPackComplete(DbConnection &connection)
{
    try {
        return query()(connection);
    } catch (const std::exception &) {
        return 0;
    }
}

void ValidarBancos(InstallerSession &session)
{
    MemTable &dbs = session.cdsDbs;
    session.validationFailures.clear();
    for (int row = 0; row < dbs.count(); ++row) {
        const bool hasCredentials = !dbs.text(row, QStringLiteral("LOGIN")).trimmed().isEmpty() &&
                                    !dbs.text(row, QStringLiteral("PASSWORD")).trimmed().isEmpty();
        if (hasCredentials) {
            DbConnection connection(session);
            if (ConnectCurrentEntry(connection, row)) {
                dbs.setValue(row, QStringLiteral("IMAGE"), int(ImageSuccess));
                dbs.setValue(row, QStringLiteral("MAX_PACK_COMPLETE"), maxPackComplete(connection));
            } else {
                dbs.setValue(row, QStringLiteral("IMAGE"), int(ImageError));
                dbs.setValue(row, QStringLiteral("MAX_PACK_COMPLETE"), 0);
                session.validationFailures.insert(dbs.text(row, QStringLiteral("ALIAS")), connection.failure());
            }
        } else {
            dbs.setValue(row, QStringLiteral("IMAGE"), int(ImageIgnored));
            dbs.setValue(row, QStringLiteral("MAX_PACK_COMPLETE"), 0);
            session.UpdateStatus(QStringLiteral("Banco \"") + dbs.text(row, QStringLiteral("ALIAS")) +
                                     QStringLiteral("\" ignorado da validação (sem dados para a conexão)."),
                                 true, QString(), ImageIgnored, false);
        }
    }
}

void qgDbsEditing(InstallerSession &session, int row)
{
    if (row >= 0 && row < session.cdsDbs.count())
        session.cdsDbs.setValue(row, QStringLiteral("IMAGE"), int(ImageNeutral));
}

int firstEntryWithImage(const MemTable &dbs, int image)
{
    for (int row = 0; row < dbs.count(); ++row) {
        if (dbs.integer(row, QStringLiteral("IMAGE")) == image)
            return row;
    }
    return -1;
}

int countEntriesWithImage(const MemTable &dbs, int image)
{
    int count = 0;
    for (int row = 0; row < dbs.count(); ++row) {
        if (dbs.integer(row, QStringLiteral("IMAGE")) == image)
            ++count;
    }
    return count;
}

}  // namespace tivra
