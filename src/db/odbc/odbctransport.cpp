#include "db/odbc/odbctransport.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#ifdef _WIN32
#include <windows.h>  // the Windows SDK's ODBC headers use its types without including it
#endif
#include <sql.h>
#include <sqlext.h>

namespace tivra {

namespace {

QAtomicInt g_connectionCounter;

struct Diagnostic {
    QString sqlState;
    int native = 0;
    QString message;
};

// The first diagnostic record of a statement handle after a failed call.
Diagnostic statementDiagnostic(const QSqlQuery &query)
{
    Diagnostic d;
    const QSqlResult *result = query.result();
    if (!result)
        return d;
    const QVariant handle = result->handle();
    if (!handle.isValid() || !handle.data())
        return d;
    SQLHANDLE stmt = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!stmt)
        return d;
    SQLCHAR state[8] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRecA(SQL_HANDLE_STMT, stmt, 1, state, &native, text, SQLSMALLINT(sizeof text), &length);
    if (r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO) {
        d.sqlState = QString::fromLatin1(reinterpret_cast<const char *>(state));
        d.native = int(native);
    }
    return d;
}

QString errorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text;
}

QString composed(Vendor vendor, const QSqlError &error, const Diagnostic &diagnostic)
{
    bool ok = false;
    int native = error.nativeErrorCode().toInt(&ok);
    if (!ok)
        native = diagnostic.native;
    return composeVendorError(vendor, diagnostic.sqlState, native, errorText(error));
}

}  // namespace

QString composeVendorError(Vendor vendor, const QString &sqlState, int nativeCode, const QString &message)
{
    const int code = nativeCode < 0 ? -nativeCode : nativeCode;
    if (code == 0)  // nothing to compose from (a driver-manager or driver-loading failure)
        return message;
    const QString state = sqlState.isEmpty() ? QString() : QStringLiteral("SQLSTATE=") + sqlState;
    switch (vendor) {
    case Vendor::DB2: {
        const QString token = QStringLiteral("SQL%1").arg(code, 4, 10, QLatin1Char('0'));
        const bool hasToken = message.contains(token);
        if (message.contains(QStringLiteral("DB2")) && hasToken)
            return message;
        QString text = QStringLiteral("[DB2] ");
        if (!hasToken)
            text += token + QStringLiteral("N  ");
        text += message;
        if (!state.isEmpty() && !message.contains(state))
            text += QStringLiteral("  ") + state;
        return text;
    }
    case Vendor::Oracle: {
        const QString token = QStringLiteral("ORA-%1").arg(code, 5, 10, QLatin1Char('0'));
        if (message.contains(token))
            return message;
        QString text = token + QStringLiteral(": ") + message;
        if (!sqlState.isEmpty())
            text += QStringLiteral(" (SQLSTATE ") + sqlState + QLatin1Char(')');
        return text;
    }
    case Vendor::MSSQL: {
        const QString token = QStringLiteral("Err %1").arg(code);
        if (message.contains(token))
            return message;
        QString text = QStringLiteral("Err %1: ").arg(code) + message;
        if (!sqlState.isEmpty())
            text += QStringLiteral(" (SQLSTATE ") + sqlState + QLatin1Char(')');
        return text;
    }
    case Vendor::None: break;
    }
    return message;
}

OdbcTransport::OdbcTransport(DriverSetting setting) : m_setting(std::move(setting))
{
    m_connectionName = QStringLiteral("tivra-odbc-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1) + 1);
}

OdbcTransport::~OdbcTransport()
{
    close();
}

bool OdbcTransport::open(const ConnectRequest &request, QString *error)
{
    close();
    m_vendor = request.vendor;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"))) {
        *error = composeVendorError(m_vendor, QString(), 0,
                                    QStringLiteral("O driver QODBC do Qt não está instalado neste computador."));
        return false;
    }
    const QString templ = m_setting.connectionString.isEmpty()
                              ? defaultConnectionTemplate(m_vendor, m_setting.odbcDriver)
                              : m_setting.connectionString;
    bool ok = false;
    QSqlError failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
        db.setDatabaseName(fillConnectionTemplate(templ, request.alias, request.login, request.password, request.host));
        // No login prompt: the ODBC manager is never allowed to show a dialog.
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=30"));
        ok = db.open();
        if (!ok)
            failure = db.lastError();
    }
    if (!ok) {
        bool nativeOk = false;
        const int native = failure.nativeErrorCode().toInt(&nativeOk);
        *error = composeVendorError(m_vendor, QString(), nativeOk ? native : 0, errorText(failure));
        close();
        return false;
    }
    return true;
}

void OdbcTransport::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool OdbcTransport::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

bool OdbcTransport::execute(const QString &statement, QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    if (q.exec(statement))
        return true;
    *error = composed(m_vendor, q.lastError(), statementDiagnostic(q));
    return false;
}

std::optional<ResultTable> OdbcTransport::query(const QString &statement, QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    if (!q.exec(statement)) {
        *error = composed(m_vendor, q.lastError(), statementDiagnostic(q));
        return std::nullopt;
    }
    const QSqlRecord record = q.record();
    QStringList columns;
    for (int i = 0; i < record.count(); ++i)
        columns.append(record.fieldName(i));
    std::vector<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        row.reserve(columns.size());
        for (int i = 0; i < record.count(); ++i)
            row.append(q.value(i));
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid() && q.lastError().type() != QSqlError::NoError) {
        *error = composed(m_vendor, q.lastError(), statementDiagnostic(q));
        return std::nullopt;
    }
    return ResultTable(std::move(columns), std::move(rows));
}

bool OdbcTransport::executeWithText(const QString &statement, const QString &parameter, const QString &value,
                                    QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    if (!q.prepare(statement)) {
        *error = composed(m_vendor, q.lastError(), statementDiagnostic(q));
        return false;
    }
    const QString placeholder = parameter.startsWith(QLatin1Char(':')) ? parameter : QLatin1Char(':') + parameter;
    q.bindValue(placeholder, value);
    if (q.exec())
        return true;
    *error = composed(m_vendor, q.lastError(), statementDiagnostic(q));
    return false;
}

}  // namespace tivra
