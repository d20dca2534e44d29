#include "db/sqlrunner.h"

#include "core/session.h"

#include <QRegularExpression>

namespace tivra {

namespace {

void logError(DbConnection &connection, const QString &text)
{
    connection.session().UpdateStatus(text, true, QString(), ImageError, false);
}

bool isTrimmed(QChar c)
{
    return c.unicode() <= 0x20;
}

}  // namespace

bool ConfigConnection(DbConnection &connection, const QString &vendor, const QString &alias, const QString &login,
                      const QString &password, const QString &host)
{
    QString error;
    if (connection.configure(vendor, alias, login, password, host, &error)) {
        connection.setFailure(QString());
        return true;
    }
    connection.setFailure(maskPassword(error, password));
    logError(connection, QStringLiteral("Erro durante a autenticação do banco \"") + alias + QStringLiteral("\". Mensagem: ") +
                             connection.failure());
    // What was tried, so that an administrator can name the right driver in Drivers.ini.
    const QString attempt = connection.connectionAttempt();
    if (!attempt.isEmpty())
        logError(connection, QStringLiteral("Conexão ODBC tentada para o banco \"") + alias + QStringLiteral("\": ") + attempt +
                                 QStringLiteral(". Para usar outro driver, informe OdbcDriver ou ConnectionString na seção [") +
                                 vendor + QStringLiteral("] de Drivers.ini."));
    return false;
}

bool ConnectCurrentEntry(DbConnection &connection, int entry)
{
    const MemTable &dbs = connection.session().cdsDbs;
    if (entry < 0 || entry >= dbs.count()) {
        logError(connection, QStringLiteral("Erro durante a autenticação do banco \"\". Mensagem: não há banco corrente na lista de bancos."));
        return false;
    }
    return ConfigConnection(connection, dbs.text(entry, QStringLiteral("VENDOR")), dbs.text(entry, QStringLiteral("ALIAS")),
                            dbs.text(entry, QStringLiteral("LOGIN")), dbs.text(entry, QStringLiteral("PASSWORD")),
                            dbs.text(entry, QStringLiteral("DBHOST")));
}

bool ExecSQLConn(DbConnection &connection, const QStringList &lines, bool log)
{
    QString statement;
    for (const QString &line : lines)
        statement += line + QStringLiteral("\r\n");
    QString error;
    if (connection.execute(statement, &error))
        return true;
    // Statement texts are logged as written, but for the passwords a statement can set.
    // A lost session is not the statement's error: no classification, the caller stops.
    if (!connection.connectionLost() && ErroPrevisto(connection.driverName(), error)) {
        if (log)
            logError(connection, maskStatementPasswords(QStringLiteral("[VALIDADO PELO INSTALADOR]: \"") + statement +
                                                        QStringLiteral("\". Mensagem: ") + error));
        return true;
    }
    if (log)
        logError(connection, maskStatementPasswords(QStringLiteral("Erro durante a execução da query \"") + statement +
                                                    QStringLiteral("\". Mensagem: ") + error));
    return false;
}

bool ExecSQLText(DbConnection &connection, const QString &text, bool log)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmed(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(text.at(end - 1)))
        --end;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QString trimmed = text.mid(begin, end - begin);
    // Most statements are one line: no need for the expression then.
    const bool oneLine = !trimmed.contains(QLatin1Char('\n')) && !trimmed.contains(QLatin1Char('\r'));
    const QStringList lines = trimmed.isEmpty() ? QStringList() : oneLine ? QStringList{trimmed} : trimmed.split(lineBreak);
    return ExecSQLConn(connection, lines, log);
}

bool ExecSQLParam(DbConnection &connection, const QString &text, bool log, const QString &value, const QString &parameterName)
{
    QString error;
    if (connection.executeWithText(text, parameterName, value, &error))
        return true;
    if (log)
        logError(connection, maskStatementPasswords(QStringLiteral("Erro durante a execução da query \"") + text +
                                                    QStringLiteral("\". Mensagem: ") + error));
    return false;
}

namespace {

// The vendor's error numbers written in a text: "SQL0601N" / "SQL0605W" (DB2), "ORA-00955"
// (Oracle), "Err 2714" / "Msg 2714" (SQL Server).
QStringList errorNumbers(Vendor vendor, const QString &text)
{
    static const QRegularExpression db2(QStringLiteral(R"(SQL(\d{4,5})[NWC]\b|SQLCODE[=:\s]*-?(\d+))"));
    static const QRegularExpression oracle(QStringLiteral(R"(ORA-(\d+))"));
    static const QRegularExpression mssql(QStringLiteral(R"(\b(?:Err|Msg)\s*(\d+))"));
    const QRegularExpression &pattern = vendor == Vendor::DB2 ? db2 : vendor == Vendor::Oracle ? oracle : mssql;
    QStringList numbers;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        numbers.append(m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
    }
    return numbers;
}

}  // namespace

bool ErroPrevisto(const QString &driverName, const QString &errorText)
{
    const QString upper = driverName.toUpper();
    QString marker;
    QStringList codes;
    Vendor vendor = Vendor::None;
    if (upper == QStringLiteral("DB2")) {
        vendor = Vendor::DB2;
        marker = QStringLiteral("DB2");
        codes = {QStringLiteral("612"), QStringLiteral("601"), QStringLiteral("624"), QStringLiteral("605"), QStringLiteral("803")};
    } else if (upper == QStringLiteral("ORACLE")) {
        vendor = Vendor::Oracle;
        marker = QStringLiteral("ORA");
        codes = {QStringLiteral("1430"), QStringLiteral("955"),  QStringLiteral("2264"), QStringLiteral("2275"),
                 QStringLiteral("984"),  QStringLiteral("2260"), QStringLiteral("1408"), QStringLiteral("2443")};
    } else if (upper == QStringLiteral("DEVARTSQLSERVER") || upper == QStringLiteral("MSSQL")) {
        vendor = Vendor::MSSQL;
        marker = QStringLiteral("Err");
        codes = {QStringLiteral("3728"), QStringLiteral("2714"), QStringLiteral("2705"), QStringLiteral("1779"), QStringLiteral("1913")};
    } else {
        return false;
    }
    if (!errorText.contains(marker))
        return false;
    // A code is looked for in the vendor's error numbers when the text carries them, so that a
    // SQLSTATE (DB2's syntax error 42601 holds "601"), an object name or a value in the message
    // does not make an error look expected. A code still matches inside a longer error number.
    const QStringList numbers = errorNumbers(vendor, errorText);
    for (const QString &code : codes) {
        if (numbers.isEmpty()) {
            if (errorText.contains(code))
                return true;
            continue;
        }
        for (const QString &number : numbers) {
            if (number.contains(code))
                return true;
        }
    }
    return false;
}

QString CurrentDateTimeExpr(const QString &driverName, const QString &kind)
{
    const QString upper = driverName.toUpper();
    if (upper == QStringLiteral("ORACLE"))
        return kind == QStringLiteral("D") || kind == QStringLiteral("T") ? QStringLiteral("SYSDATE") : QString();
    if (upper == QStringLiteral("DB2")) {
        if (kind == QStringLiteral("D"))
            return QStringLiteral("CURRENT DATE");
        if (kind == QStringLiteral("T"))
            return QStringLiteral("CURRENT TIME");
        return {};
    }
    if (upper == QStringLiteral("DEVARTSQLSERVER") || upper == QStringLiteral("MSSQL"))
        return kind == QStringLiteral("D") || kind == QStringLiteral("T") ? QStringLiteral("GETDATE()") : QString();
    return {};
}

QString SQLIntOrNull(qint64 value)
{
    return value == 0 ? QStringLiteral("NULL") : QString::number(value);
}

std::optional<ResultTable> RunQuery(DbConnection &connection, const QString &select, const QString &failureText)
{
    QString error;
    std::optional<ResultTable> result = connection.query(select, &error);
    if (!result)
        logError(connection, failureText + error);
    return result;
}

const ResultTable &RequireResult(const std::optional<ResultTable> &result, const QString &what)
{
    if (!result)
        throw DbError(QStringLiteral("A leitura \"") + what + QStringLiteral("\" falhou e não há resultado para continuar (veja o log)."));
    return *result;
}

}  // namespace tivra
