#include "db/tablespaces.h"

#include "core/session.h"
#include "core/userinterface.h"
#include "db/sqlrunner.h"

namespace tivra {

std::optional<ResultTable> GetTS_Oracle(DbConnection &connection)
{
    return RunQuery(connection,
                    QStringLiteral("WITH V1 AS ( SELECT TABLESPACE_NAME FROM USER_TABLESPACES ORDER BY 1 ) SELECT ROWNUM AS "
                                   "KEYFIELD, V1.TABLESPACE_NAME FROM V1"),
                    QStringLiteral("Erro interno no método \"GetTS_Oracle\". Mensagem: "));
}

std::optional<ResultTable> GetTS_DB2(DbConnection &connection)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT ROW_NUMBER()OVER() AS KEYFIELD, TBSPACE AS TABLESPACE_NAME FROM SYSCAT.TABLESPACES ORDER BY 2"),
                    QStringLiteral("Erro interno no método \"GetTS_DB2\". Mensagem: "));
}

std::optional<ResultTable> GetTS_MSSQL(DbConnection &connection)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT ROW_NUMBER() OVER(ORDER BY NAME) AS KEYFIELD, NAME AS TABLESPACE_NAME FROM SYSFILES"),
                    QStringLiteral("Erro interno no método \"GetTS_MSSQL\". Mensagem: "));
}

void CarregaTableSpaces(InstallerSession &session)
{
    MemTable &dbs = session.cdsDbs;
    DbConnection connection(session);
    for (int row = 0; row < dbs.count(); ++row) {
        if (dbs.integer(row, QStringLiteral("IMAGE")) != ImageSuccess || !ConnectCurrentEntry(connection, row))
            continue;
        const QString alias = dbs.text(row, QStringLiteral("ALIAS"));
        const QString vendor = dbs.text(row, QStringLiteral("VENDOR"));
        std::optional<ResultTable> rows;
        if (vendor == QStringLiteral("ORACLE"))
            rows = GetTS_Oracle(connection);
        else if (vendor == QStringLiteral("DB2"))
            rows = GetTS_DB2(connection);
        else if (vendor == QStringLiteral("MSSQL"))
            rows = GetTS_MSSQL(connection);
        if (rows) {
            try {
                for (int r = 0; r < rows->count(); ++r) {
                    session.cdsLookup.append({{QStringLiteral("ALIAS"), alias},
                                              {QStringLiteral("KEYFIELD"), rows->integer(r, QStringLiteral("KEYFIELD"))},
                                              {QStringLiteral("TABLESPACE_NAME"), rows->text(r, QStringLiteral("TABLESPACE_NAME")).toUpper()}});
                }
            } catch (const DbError &error) {
                session.UpdateStatus(QStringLiteral("Erro interno ao ler os tablespaces do banco \"") + alias +
                                         QStringLiteral("\". Mensagem: ") + error.message(),
                                     true, QString(), ImageError, false);
            }
        }
        for (const QString &name : session.package.tableSpaces)
            session.cdsTS.append({{QStringLiteral("ALIAS"), alias}, {QStringLiteral("TS_DEFAULT"), name}});
        connection.close();
    }
}

void AbreTableSpaces(InstallerSession &session)
{
    if (session.cdsTS.isEmpty())
        CarregaTableSpaces(session);
    session.tableSpacesConfirmed = false;
}

std::vector<std::pair<qint64, QString>> tableSpacesOf(const InstallerSession &session, const QString &alias)
{
    std::vector<std::pair<qint64, QString>> result;
    const MemTable &lookup = session.cdsLookup;
    for (int row = 0; row < lookup.count(); ++row) {
        if (lookup.text(row, QStringLiteral("ALIAS")) == alias)
            result.emplace_back(lookup.integer(row, QStringLiteral("KEYFIELD")), lookup.text(row, QStringLiteral("TABLESPACE_NAME")));
    }
    return result;
}

void SetTableSpaceChoice(InstallerSession &session, int mappingRow, qint64 keyField)
{
    MemTable &ts = session.cdsTS;
    if (mappingRow < 0 || mappingRow >= ts.count())
        return;
    QString name;
    for (const auto &[key, tablespace] : tableSpacesOf(session, ts.text(mappingRow, QStringLiteral("ALIAS")))) {
        if (key == keyField) {
            name = tablespace;
            break;
        }
    }
    ts.setValue(mappingRow, QStringLiteral("KEY_LOOKUP"), keyField);
    ts.setValue(mappingRow, QStringLiteral("TS_NEW"), name);
}

bool TableSpacesPendentes(const InstallerSession &session)
{
    for (int row = 0; row < session.cdsTS.count(); ++row) {
        if (session.cdsTS.text(row, QStringLiteral("TS_NEW")).trimmed().isEmpty())
            return true;
    }
    return false;
}

bool ConfirmaTableSpaces(InstallerSession &session)
{
    if (TableSpacesPendentes(session)) {
        session.ui.warning(QStringLiteral("Aviso"), QStringLiteral("Existem tablespaces que não foram relacionadas."));
        return false;
    }
    session.tableSpacesConfirmed = true;
    return true;
}

QStringList AplicaTableSpaces(const InstallerSession &session, const QString &alias, QStringList statements)
{
    const MemTable &ts = session.cdsTS;
    for (int row = 0; row < ts.count(); ++row) {
        if (ts.text(row, QStringLiteral("ALIAS")) != alias)
            continue;
        const QString from = ts.text(row, QStringLiteral("TS_DEFAULT"));
        const QString to = ts.text(row, QStringLiteral("TS_NEW"));
        // An empty name would insert text everywhere; an unchosen one would delete the name.
        if (from.isEmpty() || to.trimmed().isEmpty())
            continue;
        for (QString &statement : statements)
            statement.replace(from, to, Qt::CaseInsensitive);
    }
    return statements;
}

}  // namespace tivra
