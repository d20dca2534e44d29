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

// The statement handle behind a query, for reading its diagnostic records.
void *statementHandle(const QSqlQuery &query)
{
    const QSqlResult *result = query.result();
    if (!result)
        return nullptr;
    const QVariant handle = result->handle();
    if (!handle.isValid() || !handle.data())
        return nullptr;
    return *static_cast<SQLHANDLE const *>(handle.constData());
}

QString errorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text;
}

// The SQLSTATEs newer Qt versions append to a connection error (", 28000;01000"); empty when
// the text has none.
QString statesInQtText(const QString &text)
{
    const qsizetype comma = text.lastIndexOf(QStringLiteral(", "));
    if (comma < 0)
        return {};
    const QString tail = text.mid(comma + 2).trimmed();
    for (const QString &state : tail.split(QLatin1Char(';'))) {
        if (state.size() != 5)
            return {};
        for (const QChar c : state) {
            if (!(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
                return {};
        }
    }
    return tail;
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

QString composeVendorErrors(Vendor vendor, const std::vector<OdbcDiagnostic> &records)
{
    QStringList texts;
    for (const OdbcDiagnostic &record : records) {
        QString text = composeVendorError(vendor, record.sqlState, record.native, record.message);
        // A record without a native code (the driver manager's, or a driver's own state) keeps
        // its SQLSTATE so that the reader sees what happened.
        if (record.native == 0 && !record.sqlState.isEmpty() && !text.contains(record.sqlState))
            text += QStringLiteral(" (SQLSTATE ") + record.sqlState + QLatin1Char(')');
        if (!texts.contains(text))
            texts.append(text);
    }
    return texts.join(QLatin1Char(' '));
}

bool isConnectionLostState(const QString &sqlState)
{
    return sqlState == QStringLiteral("08S01") || sqlState == QStringLiteral("08003") || sqlState == QStringLiteral("08007");
}

QString positionalStatement(const QString &statement, const QString &parameter, int *count)
{
    const QString name = parameter.startsWith(QLatin1Char(':')) ? parameter.mid(1) : parameter;
    const auto isWord = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    QString result;
    result.reserve(statement.size());
    int markers = 0;
    QChar quote;
    for (qsizetype i = 0; i < statement.size(); ++i) {
        const QChar c = statement.at(i);
        if (!quote.isNull()) {
            result += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            result += c;
            continue;
        }
        if (c == QLatin1Char(':') && !name.isEmpty() &&
            QStringView(statement).mid(i + 1).startsWith(name, Qt::CaseInsensitive) &&
            (i + 1 + name.size() >= statement.size() || !isWord(statement.at(i + 1 + name.size())))) {
            result += QLatin1Char('?');
            ++markers;
            i += name.size();
            continue;
        }
        result += c;
    }
    if (count)
        *count = markers;
    return result;
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
    m_lost = false;
    m_lostError.clear();
    m_attempt.clear();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"))) {
        *error = composeVendorError(m_vendor, QString(), 0,
                                    QStringLiteral("O driver QODBC do Qt não está instalado neste computador."));
        return false;
    }
    // Without a driver or connection string in Drivers.ini, the vendor's driver is looked for
    // among the drivers the ODBC manager lists, under whatever name its installation gave it.
    QString driver = m_setting.odbcDriver;
    QString origin = QStringLiteral("informado em Drivers.ini");
    if (m_setting.connectionString.isEmpty() && !m_setting.odbcDriverConfigured) {
        const QString chosen = chooseOdbcDriver(m_vendor, odbcInstalledDrivers());
        if (!chosen.isEmpty()) {
            driver = chosen;
            origin = QStringLiteral("escolhido da lista de drivers ODBC instalados");
        } else {
            origin = QStringLiteral("padrão; nenhum driver do fabricante na lista de drivers ODBC instalados");
        }
    } else if (!m_setting.connectionString.isEmpty()) {
        origin = QStringLiteral("ConnectionString de Drivers.ini");
    }
    const QString templ = m_setting.connectionString.isEmpty() ? defaultConnectionTemplate(m_vendor, driver)
                                                               : m_setting.connectionString;
    const QString connectionString = fillConnectionTemplate(templ, request.alias, request.login, request.password, request.host);
    bool ok = false;
    QSqlError failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
        db.setDatabaseName(connectionString);
        // No login prompt: the ODBC manager is never allowed to show a dialog. ODBC 3 behaviour,
        // so that the SQLSTATEs are the ones the vendors document (42S01, not ODBC 2's S0001).
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=30;SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3"));
        ok = db.open();
        if (!ok)
            failure = db.lastError();
    }
    if (ok)
        return true;

    bool nativeOk = false;
    const int native = failure.nativeErrorCode().toInt(&nativeOk);
    const QString text = errorText(failure);
    *error = composeVendorError(m_vendor, QString(), nativeOk ? native : 0, text);
    // The ODBC state: Qt 6.5 and later append it to the text. Otherwise, when the driver manager
    // itself refused (unknown driver, library not loadable), asking it again reaches no server
    // and tells the state; a driver's own refusal is not repeated (a second failed login may
    // lock the account), its native code stands for it.
    QString states = statesInQtText(text);
    if (states.isEmpty() && (!nativeOk || native == 0) && text.contains(QStringLiteral("Driver Manager]"))) {
        QStringList list;
        for (const OdbcDiagnostic &d : odbcConnectDiagnostics(connectionString)) {
            if (!d.sqlState.isEmpty() && !list.contains(d.sqlState))
                list.append(d.sqlState);
        }
        states = list.join(QLatin1Char(';'));
    }
    // DbConnection masks the password before the text reaches anyone.
    m_attempt = QStringLiteral("driver \"") + (m_setting.connectionString.isEmpty() ? driver : QStringLiteral("(da ConnectionString)")) +
                QStringLiteral("\" (") + origin + QStringLiteral("), cadeia de conexão \"") +
                connectionString + QStringLiteral("\", estado ODBC ") +
                (states.isEmpty() ? QStringLiteral("não informado pelo driver") : states) +
                (nativeOk && native != 0 ? QStringLiteral(", código nativo ") + QString::number(native) : QString());
    close();
    return false;
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

QString OdbcTransport::statementError(std::vector<OdbcDiagnostic> records, const QString &fallback)
{
    // Without a statement handle (the driver could not even allocate one on a dead session) the
    // records are the connection's.
    if (records.empty() && QSqlDatabase::contains(m_connectionName)) {
        const QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
        if (handle.isValid() && handle.data())
            records = odbcDiagnostics(OdbcHandle::Dbc, *static_cast<SQLHANDLE const *>(handle.constData()));
    }
    QString text = records.empty() ? fallback : composeVendorErrors(m_vendor, records);
    for (const OdbcDiagnostic &record : records) {
        if (isConnectionLostState(record.sqlState)) {
            m_lost = true;
            m_lostError = text;
        }
    }
    return text;
}

bool OdbcTransport::execute(const QString &statement, QString *error)
{
    if (m_lost) {
        *error = m_lostError;
        return false;
    }
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    // A statement needs no scrolling: a forward-only cursor is what every driver offers, and it
    // keeps SQL Server from opening a server cursor for each statement.
    q.setForwardOnly(true);
    if (q.exec(statement))
        return true;
    *error = statementError(odbcDiagnostics(OdbcHandle::Stmt, statementHandle(q)),
                            composeVendorError(m_vendor, QString(), q.lastError().nativeErrorCode().toInt(), errorText(q.lastError())));
    return false;
}

std::optional<ResultTable> OdbcTransport::query(const QString &statement, QString *error)
{
    if (m_lost) {
        *error = m_lostError;
        return std::nullopt;
    }
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);  // the rows are copied once, front to back
    const auto failed = [&] {
        *error = statementError(odbcDiagnostics(OdbcHandle::Stmt, statementHandle(q)),
                                composeVendorError(m_vendor, QString(), q.lastError().nativeErrorCode().toInt(), errorText(q.lastError())));
        return std::nullopt;
    };
    if (!q.exec(statement))
        return failed();
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
    if (q.lastError().isValid() && q.lastError().type() != QSqlError::NoError)
        return failed();
    return ResultTable(std::move(columns), std::move(rows));
}

bool OdbcTransport::executeWithText(const QString &statement, const QString &parameter, const QString &value,
                                    QString *error)
{
    if (m_lost) {
        *error = m_lostError;
        return false;
    }
    // Qt binds a text over 254 characters as a national long varchar sized in bytes, which a
    // non-Unicode DB2 database cannot assign to a CLOB and Oracle cannot put into a VARCHAR2
    // (ORA-01461). The statement is prepared and bound here, with the type the vendor needs.
    const QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    void *connection = handle.isValid() && handle.data() ? *static_cast<SQLHANDLE const *>(handle.constData()) : nullptr;
    if (!connection) {
        *error = QStringLiteral("A conexão com o banco não está aberta.");
        return false;
    }
    int markers = 0;
    const QString text = positionalStatement(statement, parameter, &markers);
    std::vector<OdbcDiagnostic> records;
    if (odbcExecuteWithText(connection, text, markers, longTextBinding(m_vendor, value), value, &records))
        return true;
    *error = statementError(records, QStringLiteral("A instrução com parâmetro falhou sem mensagem do driver ODBC."));
    return false;
}

}  // namespace tivra
