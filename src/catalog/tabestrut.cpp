#include "catalog/tabestrut.h"

#include "catalog/catalogimport.h"
#include "core/session.h"
#include "db/newkeys.h"
#include "db/recordhelpers.h"
#include "db/sqlrunner.h"
#include "db/versiontables.h"

namespace tivra {

namespace {

const QStringList kRequiredFields = {QStringLiteral("COD_TABELA"), QStringLiteral("ITEM_TABELA"), QStringLiteral("DESCRICAO"),
                                     QStringLiteral("SIGLA"),      QStringLiteral("IND_DEFAULT"), QStringLiteral("IND_EXCLUSAO"),
                                     QStringLiteral("IND_ATIVO")};

void logLine(DbConnection &connection, const QString &text, int image)
{
    connection.session().UpdateStatus(text, true, QString(), image, false);
}

void statusRow(InstallerSession &session, const QString &text, int image)
{
    session.UpdateStatus(text, true, kStageTabEstrut, image, true);
}

}  // namespace

std::optional<ResultTable> GetItensTabEstruturada(DbConnection &connection, qint64 code)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT * FROM TAB_ESTRUTURADA WHERE COD_TABELA = ") + QString::number(code) + QStringLiteral(" AND ") +
                        QStringLiteral(" ITEM_TABELA <> 0 ORDER BY DESCRICAO"),
                    QStringLiteral("Erro ao buscar conjunto de dados para a tabela estruturada de código \"") + QString::number(code) +
                        QStringLiteral("\". Mensagem: "));
}

QString GetSqlInsertTabEstrut(DbConnection &connection, qint64 code, qint64 item, const QString &descricao, const QString &sigla,
                              const QString &indDefault, const QString &indExclusao, const QString &indAtivo, const QString &indFixo,
                              bool hasIndFixo)
{
    const QString key = connection.newKeys().next(QStringLiteral("TAB_ESTRUTURADA"), QStringLiteral("ID_TABELA"));
    const QString date = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("D"));
    const QString time = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("T"));
    QString sql = QStringLiteral("INSERT INTO TAB_ESTRUTURADA (ID_TABELA, COD_TABELA, ITEM_TABELA, DESCRICAO, SIGLA, IND_DEFAULT, "
                                 "IND_EXCLUSAO, IND_ATIVO, ");
    if (hasIndFixo)
        sql += QStringLiteral("IND_FIXO, ");
    sql += QStringLiteral("COD_OPERADOR, CONCORRENCIA, DT_ALTERACAO, HR_ALTERACAO) VALUES (") + key + QStringLiteral(", ") +
           QString::number(code) + QStringLiteral(", ") + QString::number(item) + QStringLiteral(", ") + sqlQuoted(descricao) +
           QStringLiteral(", ") + sqlQuoted(sigla) + QStringLiteral(", ") + sqlQuoted(indDefault) + QStringLiteral(", ") +
           sqlQuoted(indExclusao) + QStringLiteral(", ") + sqlQuoted(indAtivo) + QStringLiteral(", ");
    if (hasIndFixo)
        sql += sqlQuoted(indFixo) + QStringLiteral(", ");
    sql += QStringLiteral("1, 0, ") + date + QStringLiteral(", ") + time + QStringLiteral(")");
    return sql;
}

bool ImportaTabEstrut(DbConnection &connection, const std::optional<DataPacket> &packet)
{
    InstallerSession &session = connection.session();
    try {
        const ResultTable file = packet ? packet->table() : ResultTable();
        if (file.isEmpty()) {
            logLine(connection, QStringLiteral("Dados da Tabela Estruturada são inválidos"), ImageError);
            return false;
        }
        // Every field the inserts need is there before anything is written.
        for (const QString &field : kRequiredFields) {
            if (!file.hasColumn(field))
                throw DbError(QStringLiteral("Campo \"") + field + QStringLiteral("\" não encontrado no arquivo da tabela estruturada."));
        }
        const qint64 code = file.integer(0, QStringLiteral("COD_TABELA"));
        const std::optional<ResultTable> dbItems = GetItensTabEstruturada(connection, code);
        if (!dbItems)
            return false;
        const bool hasIndFixo = dbItems->hasColumn(QStringLiteral("IND_FIXO"));
        const bool fileHasIndFixo = file.hasColumn(QStringLiteral("IND_FIXO"));
        const ResultTable ordered = orderedBy(file, QStringLiteral("ITEM_TABELA"));
        const ResultTable items = orderedBy(*dbItems, QStringLiteral("ITEM_TABELA"));
        QString name = GetDescricaoTabEstrut(connection, 0, code);

        ResultTable chosen;
        bool nameFromPacket = false;
        if (items.isEmpty() && !name.isEmpty()) {
            chosen = filteredGreater(ordered, QStringLiteral("ITEM_TABELA"), 0);
        } else if (!items.isEmpty()) {
            chosen = filteredGreater(ordered, QStringLiteral("ITEM_TABELA"), items.integer(items.count() - 1, QStringLiteral("ITEM_TABELA")));
        } else {
            chosen = ordered;
            nameFromPacket = true;
        }

        if (chosen.isEmpty()) {
            logLine(connection, QStringLiteral("Dados da tabela estruturada \"") + name + QStringLiteral("\" estão consistentes."),
                    ImageSuccess);
            session.logbook.append(QStringLiteral("- Tabela Estrut.") + name + QStringLiteral(": Não houve alteração."));
            return true;
        }

        qint64 errors = 0;
        for (int r = 0; r < chosen.count(); ++r) {
            const qint64 item = chosen.integer(r, QStringLiteral("ITEM_TABELA"));
            const QString descricao = chosen.text(r, QStringLiteral("DESCRICAO"));
            if (nameFromPacket && item == 0)
                name = descricao;
            const QString indFixo = fileHasIndFixo ? chosen.text(r, QStringLiteral("IND_FIXO")) : QStringLiteral("N");
            const QString statement = GetSqlInsertTabEstrut(
                connection, chosen.integer(r, QStringLiteral("COD_TABELA")), item, descricao, chosen.text(r, QStringLiteral("SIGLA")),
                chosen.text(r, QStringLiteral("IND_DEFAULT")), chosen.text(r, QStringLiteral("IND_EXCLUSAO")),
                chosen.text(r, QStringLiteral("IND_ATIVO")), indFixo, hasIndFixo);
            // One line: a value's own line breaks reach the database as they are.
            const bool inserted = ExecSQLConn(connection, QStringList{statement}, true);
            connection.newKeys().inserted(QStringLiteral("TAB_ESTRUTURADA"));
            if (!inserted)
                ++errors;
        }
        if (errors == 0) {
            logLine(connection, QStringLiteral("Tab. Estruturada \"") + name + QStringLiteral("\" atualizada com sucesso."), ImageSuccess);
            session.logbook.append(QStringLiteral("- Tabela estruturada \"") + name + QStringLiteral("\" atualizada."));
            return true;
        }
        logLine(connection,
                errors == 1 ? QString(QStringLiteral("1 item da tabela estruturada \"") + name + QStringLiteral("\" não foi atualizado."))
                            : QString::number(errors) + QStringLiteral(" itens de \"") + name + QStringLiteral("\" não foram atualizados."),
                ImageError);
        session.logbook.append(QStringLiteral("- Tabela estruturada \"") + name + QStringLiteral("\" atualizada com erro."));
        return false;
    } catch (const std::exception &error) {
        // A field the import needs is missing or the packet is unusable: the structured table
        // fails and the log says why.
        logLine(connection, QString::fromUtf8(error.what()), ImageError);
        return false;
    }
}

void ImportaTabEstrutMulti(InstallerSession &session, int entry, const std::vector<std::optional<DataPacket>> &packets)
{
    const QString alias = session.cdsDbs.text(entry, QStringLiteral("ALIAS"));
    DbConnection connection(session);
    statusRow(session,
              QStringLiteral("Atualizando ") + QString::number(packets.size()) + QStringLiteral(" Tabela(s) Estruturada(s) no banco \"") +
                  alias + QStringLiteral("\"..."),
              ImageSuccess);
    if (!ConnectCurrentEntry(connection, entry)) {
        statusRow(session, QStringLiteral("Erro de conexão ao banco \"") + alias + QStringLiteral("\"."), ImageError);
        return;
    }
    qint64 failures = 0;
    const qint64 count = qint64(packets.size());
    qint64 done = 0;
    for (const std::optional<DataPacket> &packet : packets) {
        session.status.reportProgress(done++, count, ProgressUnit::Tables);
        if (!ImportaTabEstrut(connection, packet))
            ++failures;
    }
    session.status.reportProgress(done, count, ProgressUnit::Tables);
    session.status.endProgress();
    if (failures == 0) {
        statusRow(session, QStringLiteral("     Todas as Tabelas Estruturadas foram atualizadas com sucesso!"), ImageSuccess);
        AtualizaStatusVersao(session, entry, kVsPackTabEstrut, kStatusComplete);
        return;
    }
    statusRow(session,
              failures == 1 ? QStringLiteral("     1 tabela estruturada não foi atualizada.")
                            : QString(QStringLiteral("     ") + QString::number(failures) + QStringLiteral(" tabelas estruturadas não foram atualizadas.")),
              ImageError);
    AtualizaStatusVersao(session, entry, kVsPackTabEstrut, kStatusPartial);
}

}  // namespace tivra
