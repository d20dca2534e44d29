#include "catalog/restrfunc.h"

#include "catalog/catalogo.h"
#include "catalog/datapacket.h"
#include "core/session.h"
#include "db/recordhelpers.h"
#include "db/sqlrunner.h"
#include "db/versiontables.h"
#include "deploy/complus.h"

#include <QDir>
#include <set>

namespace tivra {

namespace {

// Leading and trailing blanks and control characters removed.
QString trimmedCode(const QString &code)
{
    qsizetype begin = 0;
    qsizetype end = code.size();
    while (begin < end && code.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && code.at(end - 1).unicode() <= 32)
        --end;
    return code.mid(begin, end - begin);
}

std::vector<int> validatedEntries(const InstallerSession &session)
{
    std::vector<int> entries;
    for (int row = 0; row < session.cdsDbs.count(); ++row) {
        if (session.cdsDbs.integer(row, QStringLiteral("IMAGE")) == ImageSuccess)
            entries.push_back(row);
    }
    return entries;
}

// The rows of the file marked for export, with every field the import reads.
ResultTable loadRestrictions(InstallerSession &session)
{
    const ResultTable file = readDataPacketFile(QDir(session.workingFolder).filePath(kRestrFuncFile)).table();
    for (const QString &field : {QStringLiteral("EXPORTAR"), QStringLiteral("COD_RESTRICAO"), QStringLiteral("DESCR_RESTRICAO")}) {
        if (!file.hasColumn(field))
            throw DbError(QStringLiteral("Campo \"") + field + QStringLiteral("\" não encontrado no arquivo \"") + kRestrFuncFile +
                          QStringLiteral("\"."));
    }
    return filteredEqual(file, QStringLiteral("EXPORTAR"), QStringLiteral("S"));
}

void importInto(InstallerSession &session, DbConnection &connection, int entry, const ResultTable &file)
{
    const QString alias = session.cdsDbs.text(entry, QStringLiteral("ALIAS"));
    const auto row = [&session](const QString &text, int image) { session.UpdateStatus(text, true, kStageRestrFunc, image, true); };
    // 1.
    if (!ConnectCurrentEntry(connection, entry)) {
        session.logbook.append(QStringLiteral("- Não houve alteração."));
        return;
    }
    // 2.
    session.logbook.append(QStringLiteral("\r\n*** ATUALIZAÇÃO DE RESTRIÇÕES DE FUNCIONALIDADE (Banco: ") + alias + QStringLiteral(")"));
    // 3. Without the list of existing codes nothing can be told new: the database is skipped.
    const std::optional<ResultTable> existing = GetRestrFunc(connection);
    if (!existing) {
        row(QStringLiteral("     Não foi possível ler as restrições de funcionalidade do banco \"") + alias +
                QStringLiteral("\". Atualização ignorada."),
            ImageError);
        session.logbook.append(QStringLiteral("- Não houve alteração."));
        connection.close();
        return;
    }
    std::set<QString> codes;
    for (int r = 0; r < existing->count(); ++r)
        codes.insert(existing->text(r, QStringLiteral("COD_RESTRICAO")));
    // 4.
    const QString date = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("D"));
    const QString time = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("T"));
    qint64 successes = 0;
    qint64 failures = 0;
    for (int r = 0; r < file.count(); ++r) {
        const QString code = file.text(r, QStringLiteral("COD_RESTRICAO"));
        if (trimmedCode(code).isEmpty() || codes.count(code) > 0)
            continue;
        const QString key = GetNewIdForInsert(connection, QStringLiteral("RESTRICOES"), QStringLiteral("ID_RESTRICAO"));
        const QString statement =
            QStringLiteral("INSERT INTO RESTRICOES (ID_RESTRICAO, COD_RESTRICAO, DESCR_RESTRICAO, TIPO_RESTRICAO, IND_TRAMITACAO, "
                           "TIPO_DADO_TAB, OPERADOR, COD_OPERADOR, DT_ALTERACAO, HR_ALTERACAO, CONCORRENCIA) VALUES (") +
            key + QStringLiteral(", ") + sqlQuoted(code) + QStringLiteral(", ") + sqlQuoted(file.text(r, QStringLiteral("DESCR_RESTRICAO"))) +
            QStringLiteral(", 'F', 'S', 124, 'NOT IN',  1, ") + date + QStringLiteral(", ") + time + QStringLiteral(", 0)");
        if (ExecSQLConn(connection, QStringList{statement}, true))
            ++successes;
        else
            ++failures;
    }
    // 5.
    if (failures > 0) {
        row(failures == 1 ? QStringLiteral("     1 restrição não foi atualizada. Verifique o Log.")
                          : QString(QStringLiteral("     ") + QString::number(failures) +
                                        QStringLiteral(" restrições não foram atualizadas. Verifique o Log.")),
            ImageError);
        session.logbook.append(QStringLiteral("- Restrições de Funcionalidade carregadas, ") + QString::number(failures) +
                               QStringLiteral(" registros com erro(s)."));
    } else if (successes == 0) {
        row(QStringLiteral("Todas as restrições de funcionalidade já estão consistentes. Ignorado da atualização."), ImageIgnored);
        session.logbook.append(QStringLiteral("Todas as restrições de funcionalidade já estão consistentes."));
    } else {
        row(QString::number(successes) + QStringLiteral(" restrições de funcionalidade foram atualizadas."), ImageSuccess);
        session.logbook.append(QStringLiteral("- ") + QString::number(successes) +
                               QStringLiteral(" restrições de funcionalidade foram atualizadas."));
    }
    connection.close();
}

}  // namespace

std::optional<ResultTable> GetRestrFunc(DbConnection &connection)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT ID_RESTRICAO, COD_RESTRICAO FROM RESTRICOES WHERE TIPO_RESTRICAO = 'F' AND COD_RESTRICAO IS "
                                   "NOT NULL"),
                    QStringLiteral("Erro interno no método \"GetRestrFunc\". Mensagem: "));
}

bool AtualizaRestrFunc(InstallerSession &session)
{
    const std::vector<int> entries = validatedEntries(session);
    if (!session.package.existRestrFunc) {
        // 1.
        for (int entry : entries)
            session.UpdateStatus(QStringLiteral("Restrições Func. não incluídas no pacote. Etapa ignorada no banco \"") +
                                     session.cdsDbs.text(entry, QStringLiteral("ALIAS")) + QStringLiteral("\"."),
                                 true, kStageRestrFunc, ImageIgnored, true);
    } else {
        // 2. A missing or damaged file fails this stage in every database, and the run goes on.
        std::optional<ResultTable> file;
        try {
            file = loadRestrictions(session);
        } catch (const DataPacketError &e) {
            session.UpdateStatus(e.message(), true, QString(), ImageError, false);
        } catch (const std::exception &e) {
            session.UpdateStatus(QString::fromUtf8(e.what()), true, QString(), ImageError, false);
        }
        if (!file) {
            for (int entry : entries)
                session.UpdateStatus(QStringLiteral("Arquivo de restrições de funcionalidade é inválido ou está corrompido. "
                                                    "Atualização ignorada no banco \"") +
                                         session.cdsDbs.text(entry, QStringLiteral("ALIAS")) + QStringLiteral("\"."),
                                     true, kStageRestrFunc, ImageError, true);
        } else {
            // 3. One connection object serves every database in turn.
            DbConnection connection(session);
            for (int entry : entries)
                importInto(session, connection, entry, *file);
        }
    }
    // 4. Not in a read-only run (the pre-flight report): it changes nothing, COM+ state included.
    if (!DbConnection::readOnly())
        ControlPacks(session, true);
    return true;
}

}  // namespace tivra
