#include "catalog/mensagens.h"

#include "catalog/catalogo.h"
#include "catalog/datapacket.h"
#include "core/session.h"
#include "db/newkeys.h"
#include "db/recordhelpers.h"
#include "db/sqlrunner.h"
#include "db/versiontables.h"

#include <QDir>

namespace tivra {

namespace {

void logLine(InstallerSession &session, const QString &text)
{
    session.UpdateStatus(text, true, QString(), ImageError, false);
}

QString n(qint64 value)
{
    return QString::number(value);
}

// A file of the package working folder as a result table; the error text (naming the file and,
// for a damaged one, the offset) when it cannot be read.
std::optional<ResultTable> loadPackageFile(InstallerSession &session, const QString &name, QString &error)
{
    try {
        return readDataPacketFile(QDir(session.workingFolder).filePath(name)).table();
    } catch (const DataPacketError &e) {
        error = e.message();
    } catch (const std::exception &e) {
        error = QString::fromUtf8(e.what());
    }
    return std::nullopt;
}

void requireFields(const ResultTable &table, const QStringList &fields, const QString &file)
{
    for (const QString &field : fields) {
        if (!table.hasColumn(field))
            throw DbError(QStringLiteral("Campo \"") + field + QStringLiteral("\" não encontrado no arquivo \"") + file +
                          QStringLiteral("\"."));
    }
}

// One statement, sent as one line: a value's own line breaks reach the database as they are.
bool runStatement(DbConnection &connection, const QString &statement)
{
    return ExecSQLConn(connection, QStringList{statement}, true);
}

// Inserts the systems of the messages that the database does not have (ID_SISTEMA above its
// highest); false at the first failure.
bool atualizaSistemas(DbConnection &connection, const ResultTable &file)
{
    if (!file.hasColumn(QStringLiteral("ID_SISTEMA")))
        return true;
    const std::optional<ResultTable> systems = GetRecords(connection, QStringLiteral("SISTEMAS"));
    if (!systems)
        return false;
    qint64 highest = 0;
    for (int r = 0; r < systems->count(); ++r)
        highest = std::max(highest, systems->integer(r, QStringLiteral("ID_SISTEMA")));
    const ResultTable fresh = filteredGreater(orderedBy(file, QStringLiteral("ID_SISTEMA")), QStringLiteral("ID_SISTEMA"), highest);
    const QString date = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("D"));
    const QString time = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("T"));
    qint64 last = 0;
    for (int r = 0; r < fresh.count(); ++r) {
        const qint64 id = fresh.integer(r, QStringLiteral("ID_SISTEMA"));
        if (id == last)
            continue;
        last = id;
        if (!runStatement(connection, QStringLiteral("INSERT INTO SISTEMAS (ID_SISTEMA, COD_SISTEMA, NOME_SISTEMA, COD_OPERADOR, "
                                                     "CONCORRENCIA, DT_ALTERACAO, HR_ALTERACAO) VALUES (") +
                                          n(id) + QStringLiteral(", ") + sqlQuoted(fresh.text(r, QStringLiteral("COD_SISTEMA"))) +
                                          QStringLiteral(", ") + sqlQuoted(fresh.text(r, QStringLiteral("NOME_SISTEMA"))) +
                                          QStringLiteral(", 1, 0, ") + date + QStringLiteral(", ") + time + QStringLiteral(")")))
            return false;
    }
    return true;
}

}  // namespace

bool ImportaCdsMensagens(InstallerSession &session, int entry)
{
    const QString alias = session.cdsDbs.text(entry, QStringLiteral("ALIAS"));
    const auto row = [&session](const QString &text, int image) { session.UpdateStatus(text, true, kStageMensagens, image, true); };
    const QString invalid = QStringLiteral("     Arquivo de mensagens é inválido ou está corrompido.");

    // 1. A missing or damaged file fails this catalog only.
    QString error;
    const std::optional<ResultTable> file = loadPackageFile(session, kMensagensFile, error);
    if (!file) {
        logLine(session, error);
        row(invalid, ImageError);
        return true;
    }
    // 2.
    DbConnection connection(session);
    if (!ConnectCurrentEntry(connection, entry)) {
        row(QStringLiteral("Erro de conexão ao banco \"") + alias + QStringLiteral("\"."), ImageError);
        return true;
    }
    ResultTable fresh;
    try {
        requireFields(*file, {QStringLiteral("ID_MSG"), QStringLiteral("NOME_CONSTRAINT"), QStringLiteral("DESCR_MSG"),
                              QStringLiteral("COD_MENSAGEM"), QStringLiteral("DETALHES")},
                      kMensagensFile);
        if (file->hasColumn(QStringLiteral("ID_SISTEMA")))
            requireFields(*file, {QStringLiteral("COD_SISTEMA"), QStringLiteral("NOME_SISTEMA")}, kMensagensFile);
    } catch (const DbError &e) {
        logLine(session, e.message());
        row(invalid, ImageError);
        return true;
    }
    // 3. Systems.
    bool systems = false;
    try {
        systems = atualizaSistemas(connection, *file);
    } catch (const DbError &e) {
        logLine(session, e.message());
    }
    if (!systems) {
        row(QStringLiteral("Erro ao atualizar tabela de Sistemas. Atualização de Mensagens cancelada no banco \"") + alias +
                QStringLiteral("\"."),
            ImageError);
        return true;
    }
    // 4. New rows: ID_MSG above the table's row count.
    const qint64 count = GetCountRecords(connection, QStringLiteral("MENSAGENS"));
    if (count < 0) {
        row(QStringLiteral("     Erro ao executar consulta no cadastro de mensagens. Atualização ignorada."), ImageError);
        return true;
    }
    try {
        fresh = filteredGreater(orderedBy(*file, QStringLiteral("ID_MSG")), QStringLiteral("ID_MSG"), count);
    } catch (const DbError &e) {
        logLine(session, e.message());
        row(invalid, ImageError);
        return true;
    }
    if (fresh.isEmpty()) {
        session.logbook.append(QStringLiteral("- Não houve alteração."));
        row(QStringLiteral("     Todas as mensagens já estão atualizadas."), ImageSuccess);
        AtualizaStatusVersao(session, entry, kVsPackMsg, kStatusComplete);
        return true;
    }
    // 5.
    const QString date = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("D"));
    const QString time = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("T"));
    const bool hasSystem = fresh.hasColumn(QStringLiteral("ID_SISTEMA"));
    qint64 failures = 0;
    for (int r = 0; r < fresh.count(); ++r) {
        session.status.reportProgress(r, fresh.count(), ProgressUnit::Messages);
        const QString key = connection.newKeys().next(QStringLiteral("MENSAGENS"), QStringLiteral("ID_MSG"));
        // A file without systems gives messages without one.
        const QString system = hasSystem ? n(fresh.integer(r, QStringLiteral("ID_SISTEMA"))) : QStringLiteral("NULL");
        const QString statement =
            QStringLiteral("INSERT INTO MENSAGENS (ID_MSG, TIPO_MSG, NOME_CONSTRAINT, DESCR_MSG, COD_MENSAGEM, DETALHES, ID_SISTEMA, "
                           "COD_OPERADOR, CONCORRENCIA, DT_ALTERACAO, HR_ALTERACAO) VALUES (") +
            key + QStringLiteral(", 'E', ") + sqlQuoted(fresh.text(r, QStringLiteral("NOME_CONSTRAINT"))) + QStringLiteral(", ") +
            sqlQuoted(fresh.text(r, QStringLiteral("DESCR_MSG"))) + QStringLiteral(", ") +
            sqlQuoted(fresh.text(r, QStringLiteral("COD_MENSAGEM"))) + QStringLiteral(", ") +
            sqlQuoted(fresh.text(r, QStringLiteral("DETALHES"))) + QStringLiteral(", ") + system + QStringLiteral(", 1, 0, ") + date +
            QStringLiteral(", ") + time + QStringLiteral(")");
        const bool inserted = runStatement(connection, statement);
        connection.newKeys().inserted(QStringLiteral("MENSAGENS"));
        if (!inserted)
            ++failures;
    }
    session.status.reportProgress(fresh.count(), fresh.count(), ProgressUnit::Messages);
    session.status.endProgress();
    // 6.
    if (failures == 0) {
        AtualizaStatusVersao(session, entry, kVsPackMsg, kStatusComplete);
        row(QStringLiteral("     ") + n(fresh.count()) + QStringLiteral(" mensagem(ns) atualizada(s) com sucesso!"), ImageSuccess);
        session.logbook.append(QStringLiteral("- ") + n(fresh.count()) + QStringLiteral(" mensagem(ns) foram atualizadas."));
    } else {
        AtualizaStatusVersao(session, entry, kVsPackMsg, kStatusPartial);
        row(failures == 1 ? QStringLiteral("     1 mensagem não foi atualizada. Verifique o Log.")
                          : QString(n(failures) + QStringLiteral(" mensagens não foram atualizadas. Verifique o Log.")),
            ImageError);
        session.logbook.append(QStringLiteral("     - Mensagens atualizadas, porém, houveram erros."));
    }
    return true;
}

bool ImportaCdsRotulos(InstallerSession &session, int entry)
{
    const QString alias = session.cdsDbs.text(entry, QStringLiteral("ALIAS"));
    const auto row = [&session](const QString &text, int image) { session.UpdateStatus(text, true, kStageRotulos, image, true); };
    const QString invalid = QStringLiteral("     Arquivo de rótulos é inválido ou está corrompido.");

    QString error;
    const std::optional<ResultTable> file = loadPackageFile(session, kRotulosFile, error);
    if (!file) {
        logLine(session, error);
        row(invalid, ImageError);
        return true;
    }
    DbConnection connection(session);
    if (!ConnectCurrentEntry(connection, entry)) {
        row(QStringLiteral("Erro de conexão ao banco \"") + alias + QStringLiteral("\"."), ImageError);
        return true;
    }
    ResultTable fresh;
    try {
        requireFields(*file, {QStringLiteral("ID_ROTULO"), QStringLiteral("DESCR_ROTULO"), QStringLiteral("DESCR_HINT")}, kRotulosFile);
    } catch (const DbError &e) {
        logLine(session, e.message());
        row(invalid, ImageError);
        return true;
    }
    const qint64 count = GetCountRecords(connection, QStringLiteral("CATALOGO_ROTULOS"));
    if (count < 0) {
        row(QStringLiteral("     Erro ao executar consulta no cadastro de rótulos. Atualização ignorada."), ImageError);
        return true;
    }
    try {
        fresh = filteredGreater(orderedBy(*file, QStringLiteral("ID_ROTULO")), QStringLiteral("ID_ROTULO"), count);
    } catch (const DbError &e) {
        logLine(session, e.message());
        row(invalid, ImageError);
        return true;
    }
    if (fresh.isEmpty()) {
        AtualizaStatusVersao(session, entry, kVsPackRotulo, kStatusComplete);
        row(QStringLiteral("     Todos os rótulos já estão atualizados."), ImageSuccess);
        session.logbook.append(QStringLiteral("- Não houve alteração."));
        return true;
    }
    const QString date = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("D"));
    const QString time = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("T"));
    qint64 failures = 0;
    for (int r = 0; r < fresh.count(); ++r) {
        session.status.reportProgress(r, fresh.count(), ProgressUnit::Labels);
        const QString key = connection.newKeys().next(QStringLiteral("CATALOGO_ROTULOS"), QStringLiteral("ID_ROTULO"));
        const QString statement = QStringLiteral("INSERT INTO CATALOGO_ROTULOS (ID_ROTULO, DESCR_ROTULO, DESCR_HINT, COD_OPERADOR, "
                                                 "CONCORRENCIA, DT_ALTERACAO, HR_ALTERACAO) VALUES (") +
                                  key + QStringLiteral(", ") + sqlQuoted(fresh.text(r, QStringLiteral("DESCR_ROTULO"))) +
                                  QStringLiteral(", ") + sqlQuoted(fresh.text(r, QStringLiteral("DESCR_HINT"))) + QStringLiteral(", 1, 0, ") +
                                  date + QStringLiteral(", ") + time + QStringLiteral(")");
        const bool inserted = runStatement(connection, statement);
        connection.newKeys().inserted(QStringLiteral("CATALOGO_ROTULOS"));
        if (!inserted)
            ++failures;
    }
    session.status.reportProgress(fresh.count(), fresh.count(), ProgressUnit::Labels);
    session.status.endProgress();
    if (failures == 0) {
        AtualizaStatusVersao(session, entry, kVsPackRotulo, kStatusComplete);
        row(n(fresh.count()) + QStringLiteral(" rótulo(s) atualizado(s) com sucesso!"), ImageSuccess);
        session.logbook.append(QStringLiteral("- ") + n(fresh.count()) + QStringLiteral(" rótulo(s) atualizado(s)."));
    } else {
        AtualizaStatusVersao(session, entry, kVsPackRotulo, kStatusPartial);
        row(failures == 1 ? QStringLiteral("     1 rótulo não foi atualizado. Verifique o Log.")
                          : QString(QStringLiteral("     ") + n(failures) + QStringLiteral(" rótulos não foram atualizados. Verifique o Log.")),
            ImageError);
        session.logbook.append(QStringLiteral("- Rótulos carregados, ") + n(failures) + QStringLiteral(" registros com erro(s)."));
    }
    return true;
}

}  // namespace tivra
