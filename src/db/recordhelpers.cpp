#include "db/recordhelpers.h"

#include "core/session.h"
#include "db/sqlrunner.h"

namespace tivra {

namespace {
void logFailure(DbConnection &connection, const QString &text)
{
    connection.session().UpdateStatus(text, true, QString(), ImageError, false);
}
}  // namespace

std::optional<qint64> ReadTipoChave(DbConnection &connection, const QString &table)
{
    const std::optional<ResultTable> rows =
        RunQuery(connection, QStringLiteral("SELECT TIPO_CHAVE_ITEM FROM CATALOGO_TABELAS WHERE NOME_TABELA = '") + table + QStringLiteral("'"),
                 QStringLiteral("Erro interno em \"GetTipoChave\". Mensagem: "));
    if (!rows)
        return std::nullopt;
    if (rows->isEmpty())
        return 0;
    try {
        return rows->integer(0, QStringLiteral("TIPO_CHAVE_ITEM"));
    } catch (const DbError &error) {
        logFailure(connection, QStringLiteral("Erro interno em \"GetTipoChave\". Mensagem: ") + error.message());
        return std::nullopt;
    }
}

qint64 GetTipoChave(DbConnection &connection, const QString &table)
{
    return ReadTipoChave(connection, table).value_or(0);
}

bool GetNewIdForInsert(DbConnection &connection, const QString &table, const QString &keyField, QString &key)
{
    return GetNewIdForKeyType(connection, table, keyField, GetTipoChave(connection, table), key);
}

bool GetNewIdForKeyType(DbConnection &connection, const QString &table, const QString &keyField, qint64 keyType, QString &key)
{
    const QString failure = QStringLiteral("Erro interno em \"GetNewIdForInsert\". Mensagem: ");
    QString select;
    if (keyType != 2) {
        select = QStringLiteral("SELECT COALESCE(MAX(") + keyField + QStringLiteral("),0)+1 AS KEYFIELD FROM ") + table;
    } else if (connection.driverName() == QStringLiteral("DB2")) {
        select = QStringLiteral("SELECT NEXTVAL FOR SEQ_") + table + QStringLiteral(" AS KEYFIELD FROM ") + table +
                 QStringLiteral(" FETCH FIRST 1 ROWS ONLY");
    } else if (connection.driverName() == QStringLiteral("ORACLE")) {
        select = QStringLiteral("SELECT SEQ_") + table + QStringLiteral(".NEXTVAL AS KEYFIELD FROM ") + table +
                 QStringLiteral(" WHERE ROWNUM <= 1");
    } else {
        logFailure(connection, failure + QStringLiteral("não há sequência para o driver \"") + connection.driverName() +
                                   QStringLiteral("\" (tabela \"") + table + QStringLiteral("\")."));
        return false;
    }
    const std::optional<ResultTable> rows = RunQuery(connection, select, failure);
    if (!rows)
        return false;
    try {
        key = rows->isEmpty() ? QString() : rows->text(0, QStringLiteral("KEYFIELD"));
    } catch (const DbError &error) {
        logFailure(connection, failure + error.message());
        return false;
    }
    return true;
}

QString GetNewIdForInsert(DbConnection &connection, const QString &table, const QString &keyField, const QString &fallback)
{
    QString key = fallback;
    GetNewIdForInsert(connection, table, keyField, key);
    return key;
}

qint64 GetMaxId(DbConnection &connection, const QString &table, const QString &column)
{
    const QString failure = QStringLiteral("Erro interno em \"GetMaxId\". Mensagem: ");
    const std::optional<ResultTable> rows =
        RunQuery(connection, QStringLiteral("SELECT MAX(") + column + QStringLiteral(") AS MAXIMO FROM ") + table, failure);
    if (!rows || rows->isEmpty())
        return 0;
    try {
        return rows->integer(0, QStringLiteral("MAXIMO"));
    } catch (const DbError &error) {
        logFailure(connection, failure + error.message());
        return 0;
    }
}

qint64 GetCountRecords(DbConnection &connection, const QString &table)
{
    const QString failure =
        QStringLiteral("Erro ao buscar total de registros da tabela \"") + table + QStringLiteral("\". Mensagem: ");
    const std::optional<ResultTable> rows = RunQuery(connection, QStringLiteral("SELECT COUNT(*) AS TOTAL FROM ") + table, failure);
    if (!rows || rows->isEmpty())
        return -1;
    try {
        return rows->integer(0, QStringLiteral("TOTAL"));
    } catch (const DbError &error) {
        logFailure(connection, failure + error.message());
        return -1;
    }
}

std::optional<ResultTable> GetRecordPK(DbConnection &connection, const QString &table, qint64 keyValue, const QString &keyField)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") + keyField + QStringLiteral(" = ") +
                        QString::number(keyValue),
                    QStringLiteral("Erro ao executar select na tabela \"") + table + QStringLiteral("\". Mensagem: "));
}

std::optional<ResultTable> GetOleRecord(DbConnection &connection, const QString &table, qint64 keyValue, const QString &keyField)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") + keyField + QStringLiteral(" = ") +
                        QString::number(keyValue),
                    QStringLiteral("Erro interno no método \"GetOleRecord\". Mensagem: "));
}

std::optional<ResultTable> GetOleRecordStr(DbConnection &connection, const QString &table, const QString &value,
                                           const QString &field)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") + field + QStringLiteral(" = '") + value +
                        QStringLiteral("'"),
                    QStringLiteral("Erro interno no método \"GetOleRecordStr\". Mensagem: "));
}

std::optional<ResultTable> GetRecords(DbConnection &connection, const QString &table)
{
    return RunQuery(connection, QStringLiteral("SELECT * FROM ") + table,
                    QStringLiteral("Erro ao executar select na tabela \"") + table + QStringLiteral("\". Mensagem: "));
}

std::optional<ResultTable> GetOleData(DbConnection &connection, const QString &select)
{
    return RunQuery(connection, select, QStringLiteral("Erro interno no método \"GetOleData\". Mensagem: "));
}

}  // namespace tivra
