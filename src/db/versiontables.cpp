#include "db/versiontables.h"

#include "platform/fileversion.h"

#include "core/session.h"
#include "db/sqlrunner.h"
#include "db/validation.h"

namespace tivra {

namespace {

const QString kStageTabelasVersoes = QStringLiteral("Tabelas de Versões");

QString internalError(const QString &method)
{
    return QStringLiteral("Erro interno no método \"") + method + QStringLiteral("\". Mensagem: ");
}

void logOnly(InstallerSession &session, const QString &text, int image, const QString &stage = {})
{
    session.UpdateStatus(text, true, stage, image, false);
}

QString aliasOf(const InstallerSession &session, int entry)
{
    return entry >= 0 && entry < session.cdsDbs.count() ? session.cdsDbs.text(entry, QStringLiteral("ALIAS")) : QString();
}

}  // namespace

QStringList versionTables()
{
    return {kVsPackBanco, kVsPackCatalogo, kVsPackMsg, kVsPackRotulo, kVsPackTabEstrut};
}

QString versionTableCreateText(const QString &table)
{
    QString text = QStringLiteral(
        "CREATE TABLE :TABLE_NAME (   ID INTEGER NOT NULL PRIMARY KEY, VERSAO_PACK VARCHAR(20) NOT NULL, "
        "STATUS SMALLINT DEFAULT 0 NOT NULL, DT_ALTERACAO DATE NOT NULL ) ");
    return text.replace(QStringLiteral(":TABLE_NAME"), table);
}

QString instBancoPackCreateText()
{
    return QStringLiteral(
        "CREATE TABLE INST_BANCO_PACK ( ID_INST_BD_PACK INTEGER NOT NULL PRIMARY KEY, VERSAO_PACK VARCHAR(20) NOT NULL, "
        "NUM_INSTRUCAO_SQL SMALLINT NOT NULL, DT_EXECUCAO DATE NOT NULL, HR_EXECUCAO DATE NOT NULL )");
}

qint64 versionNumber(const QString &version)
{
    return platform::versionDigitsNumber(version, u".");
}

QString sqlQuoted(const QString &value)
{
    QString doubled = value;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

bool CreateTableVersoes(InstallerSession &session)
{
    logOnly(session, QStringLiteral("Verificando Tabelas de Versões para atualização..."), ImageSuccess, kStageTabelasVersoes);
    bool failed = false;
    const MemTable &dbs = session.cdsDbs;
    for (int entry = 0; entry < dbs.count(); ++entry) {
        if (dbs.integer(entry, QStringLiteral("IMAGE")) != ImageSuccess)
            continue;
        DbConnection connection(session);
        if (!ConnectCurrentEntry(connection, entry)) {
            failed = true;
            logOnly(session,
                    QStringLiteral("Erro ao autenticar o banco \"") + dbs.text(entry, QStringLiteral("ALIAS")) +
                        QStringLiteral("\" durante a validação da tabela de versões."),
                    ImageError);
            continue;
        }
        bool allReady = true;
        for (const QString &table : versionTables()) {
            const bool ready = ExecSQLText(connection, QStringLiteral("SELECT 1 FROM ") + table, false) ||
                               ExecSQLText(connection, versionTableCreateText(table), false);
            if (!ready) {
                allReady = false;
                break;
            }
        }
        if (!allReady) {
            failed = true;
            continue;
        }
        if (session.package.packCorrecao)
            LimpaVersaoCorrecao(connection, session.package.versaoPacote);
    }
    if (!failed) {
        logOnly(session, QStringLiteral("     Tabelas validadas com sucesso!"), ImageSuccess, kStageTabelasVersoes);
        return true;
    }
    logOnly(session,
            QStringLiteral("     Erro durante a validação da tabela de versões. Processo de atualização interrompido."),
            ImageError);
    return false;
}

void LimpaVersaoCorrecao(DbConnection &connection, const QString &version)
{
    const QString pattern = QStringLiteral("DELETE FROM :TABLENAME WHERE VERSAO_PACK = ") + sqlQuoted(version);
    for (const QString &table : versionTables()) {
        QString statement = pattern;
        statement.replace(QStringLiteral(":TABLENAME"), table);
        ExecSQLText(connection, statement + QStringLiteral(" AND STATUS <> 2 "), false);
    }
    QString statement = pattern;
    statement.replace(QStringLiteral(":TABLENAME"), kInstBancoPack);
    ExecSQLText(connection, statement, false);
}

void AtualizaStatusVersao(InstallerSession &session, int entry, const QString &table, int status)
{
    DbConnection connection(session);
    if (!ConnectCurrentEntry(connection, entry)) {
        logOnly(session,
                QStringLiteral("Erro durante a autenticação do banco \"") + aliasOf(session, entry) +
                    QStringLiteral("\" no método interno \"AtualizaStatusVersao\"."),
                ImageError);
        return;
    }
    const QString notUpdated = QStringLiteral("Tabela de versões (") + table +
                               QStringLiteral(") não foi atualizada com os últimos scripts executados.");
    const QString version = session.package.versaoPacote;
    // Without the current rows of the version it is unknown whether to insert or update: the write
    // is left out and reported, as a failed write is.
    const std::optional<ResultTable> current = BuscaRegistroDaVersao(connection, table, version);
    if (!current) {
        logOnly(session, notUpdated, ImageError);
        return;
    }
    const QString date = CurrentDateTimeExpr(connection.driverName(), QStringLiteral("D"));
    QString statement;
    if (current->isEmpty()) {
        statement = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" VALUES ((SELECT COALESCE(MAX(ID),0)+1 FROM ") + table +
                    QStringLiteral("), ") + sqlQuoted(version) + QStringLiteral(", ") + QString::number(status) +
                    QStringLiteral(", ") + date + QStringLiteral(" )");
    } else {
        statement = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET STATUS = ") + QString::number(status) +
                    QStringLiteral(", DT_ALTERACAO = ") + date + QStringLiteral(" WHERE VERSAO_PACK = ") + sqlQuoted(version);
    }
    if (!ExecSQLText(connection, statement, true))
        logOnly(session, notUpdated, ImageError);
}

std::optional<ResultTable> BuscaRegistroDaVersao(DbConnection &connection, const QString &table, const QString &version)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE VERSAO_PACK = ") + sqlQuoted(version),
                    internalError(QStringLiteral("BuscaRegistroDaVersao")));
}

QString maxStatusPackQuery(const QString &driverName, const QString &table)
{
    if (driverName == QStringLiteral("ORACLE") || driverName == QStringLiteral("DB2")) {
        QString text = QStringLiteral("WITH VIEW1 AS( SELECT VERSAO_PACK, STATUS FROM ") + table +
                       QStringLiteral(" ORDER BY 1 DESC ") +
                       QStringLiteral("), VIEW2 AS ( SELECT [RN] AS ID_RN, V1.VERSAO_PACK, V1.STATUS FROM VIEW1 V1 ") +
                       QStringLiteral(") SELECT V.STATUS, V.VERSAO_PACK FROM VIEW2 V WHERE V.ID_RN = 1");
        return text.replace(QStringLiteral("[RN]"), driverName == QStringLiteral("ORACLE") ? QStringLiteral("ROWNUM")
                                                                                           : QStringLiteral("ROW_NUMBER() OVER()"));
    }
    if (driverName == QStringLiteral("DevartSQLServer"))
        return QStringLiteral("SELECT TOP 1 STATUS, VERSAO_PACK FROM ") + table + QStringLiteral(" ORDER BY 2 DESC");
    return {};
}

std::optional<ResultTable> BuscaMaxStatusPack(DbConnection &connection, const QString &table)
{
    const QString method = QStringLiteral("BuscaMaxStatusPack");
    const QString select = maxStatusPackQuery(connection.driverName(), table);
    if (select.isEmpty()) {
        logOnly(connection.session(),
                internalError(method) + QStringLiteral("não há consulta de versões para o driver \"") + connection.driverName() +
                    QStringLiteral("\"."),
                ImageError);
        return std::nullopt;
    }
    return RunQuery(connection, select, internalError(method));
}

qint64 BuscaMaxPackComplete(DbConnection &connection)
{
    const std::optional<ResultTable> result = connection.query(
        QStringLiteral("SELECT VERSAO_PACK FROM VS_PACK_BANCO WHERE ID = (SELECT MAX(ID) FROM VS_PACK_BANCO WHERE STATUS = 2) "));
    if (!result || result->isEmpty() || !result->hasColumn(QStringLiteral("VERSAO_PACK")))
        return 0;
    return versionNumber(result->text(0, QStringLiteral("VERSAO_PACK")));
}

void installMaxPackCompleteQuery()
{
    setMaxPackCompleteQuery([](DbConnection &connection) { return BuscaMaxPackComplete(connection); });
}

std::optional<ResultTable> GetNumInstrucaoSQLExec(DbConnection &connection, const QString &version)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT NUM_INSTRUCAO_SQL FROM INST_BANCO_PACK WHERE VERSAO_PACK = ") + sqlQuoted(version),
                    internalError(QStringLiteral("GetNumInstrucaoSQLExec")));
}

}  // namespace tivra
