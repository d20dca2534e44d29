#include "db/connection.h"

#include "core/session.h"
#include "db/driversettings.h"
#include "db/embedded/embeddedtransport.h"
#include "db/newkeys.h"
#include "db/odbc/odbctransport.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace tivra {

std::unique_ptr<DbTransport> makeTransport(const DriverSetting &setting)
{
    if (setting.transport == DriverSetting::Transport::Embedded)
        return std::make_unique<EmbeddedTransport>(setting);
    return std::make_unique<OdbcTransport>(setting);
}

DbConnection::DbConnection(InstallerSession &session) : m_session(session) {}

DbConnection::~DbConnection()
{
    close();
}

NewKeys &DbConnection::newKeys()
{
    if (!m_newKeys)
        m_newKeys = std::make_unique<NewKeys>(*this);
    return *m_newKeys;
}

bool DbConnection::connectionLost() const
{
    return m_transport && m_transport->connectionLost();
}

QString DbConnection::connectionAttempt() const
{
    return m_transport ? masked(m_transport->connectionAttempt()) : QString();
}

bool DbConnection::isOpen() const
{
    return m_transport && m_transport->isOpen();
}

QString DbConnection::transportName() const
{
    return m_transport ? m_transport->name() : QString();
}

void DbConnection::close()
{
    if (m_transport)
        m_transport->close();
}

bool DbConnection::configure(const QString &vendorField, const QString &alias, const QString &login,
                             const QString &password, const QString &host, QString *error)
{
    // 1. Close the connection if it is open.
    close();
    m_transport.reset();
    m_newKeys.reset();  // another database: nothing is known of its keys
    // 2-3. Name, parameters and driver name of the vendor's row.
    m_name = alias;
    m_password = password;
    m_vendor = vendorFromName(vendorField);
    m_driverName = driverNameOf(m_vendor);
    m_params.clear();
    switch (m_vendor) {
    case Vendor::DB2:
        m_params = {QStringLiteral("DriverName=DB2"), QStringLiteral("DataBase=") + alias,
                    QStringLiteral("User_Name=") + login, QStringLiteral("Password=") + password};
        break;
    case Vendor::Oracle:
        m_params = {QStringLiteral("DriverName=ORACLE"), QStringLiteral("DataBase=") + alias,
                    QStringLiteral("User_Name=") + login, QStringLiteral("Password=") + password,
                    QStringLiteral("EnableBCD=False")};
        break;
    case Vendor::MSSQL:
        m_params = {QStringLiteral("DriverName=MSSQL"), QStringLiteral("DataBase=") + alias,
                    QStringLiteral("User_Name=") + login, QStringLiteral("Password=") + password,
                    QStringLiteral("BlobSize=-1"), QStringLiteral("HostName=") + host};
        break;
    case Vendor::None:
        if (error)
            *error = QStringLiteral("Tipo de banco \"") + vendorField +
                     QStringLiteral("\" não suportado: não há driver configurado para ele (use DB2, ORACLE ou MSSQL).");
        return false;
    }

    const DriverSetting setting = readDriverSetting(m_session.installerDirectory, m_vendor);
    if (!setting.problem.isEmpty()) {
        if (error)
            *error = setting.problem;
        return false;
    }
    m_transport = makeTransport(setting);
    // 4. Open.
    ConnectRequest request;
    request.vendor = m_vendor;
    request.alias = alias;
    request.login = login;
    request.password = password;
    request.host = m_vendor == Vendor::MSSQL ? host : QString();  // the host is used for SQL Server only
    request.readOnly = readOnly();
    QString message;
    if (!m_transport->open(request, &message)) {
        if (error)
            *error = masked(message);
        return false;
    }
    return true;
}

namespace {
const QString kNotOpen = QStringLiteral("A conexão com o banco não está aberta.");
}

namespace {
DbConnection::StatementObserver &statementObserver()
{
    static DbConnection::StatementObserver observer;
    return observer;
}

// Reports a statement to the observer, if any, when it goes out of scope.
class Observed {
public:
    Observed(const QString &statement, bool write) : m_statement(statement), m_write(write)
    {
        if (statementObserver())
            m_timer.start();
    }
    ~Observed()
    {
        if (statementObserver())
            statementObserver()(m_statement, m_write, m_timer.isValid() ? m_timer.nsecsElapsed() : 0);
    }

private:
    const QString &m_statement;
    bool m_write;
    QElapsedTimer m_timer;
};
}  // namespace

namespace {
bool &readOnlyMode()
{
    static bool mode = false;
    return mode;
}
}  // namespace

namespace {
DbConnection::WriteRecorder &writeRecorder()
{
    static DbConnection::WriteRecorder recorder;
    return recorder;
}
}  // namespace

void DbConnection::setWriteRecorder(WriteRecorder recorder)
{
    writeRecorder() = std::move(recorder);
}

void DbConnection::setReadOnly(bool readOnly)
{
    readOnlyMode() = readOnly;
}

bool DbConnection::readOnly()
{
    return readOnlyMode();
}

bool isReadOnlyStatement(const QString &statement)
{
    // The first word, past blanks, "--" and "/* */" comments and opening parentheses.
    qsizetype i = 0;
    const qsizetype size = statement.size();
    while (i < size) {
        const QChar c = statement.at(i);
        if (c.isSpace() || c == u'(') {
            ++i;
        } else if (c == u'-' && i + 1 < size && statement.at(i + 1) == u'-') {
            while (i < size && statement.at(i) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < size && statement.at(i + 1) == u'*') {
            const qsizetype close = statement.indexOf(QStringLiteral("*/"), i + 2);
            i = close < 0 ? size : close + 2;
        } else {
            break;
        }
    }
    qsizetype end = i;
    while (end < size && (statement.at(end).isLetterOrNumber() || statement.at(end) == u'_'))
        ++end;
    const QString word = statement.mid(i, end - i).toUpper();
    if (word == QLatin1String("SELECT"))
        return true;
    if (word != QLatin1String("WITH"))
        return false;
    static const QRegularExpression writes(QStringLiteral(R"(\b(INSERT|UPDATE|DELETE|MERGE)\b)"),
                                           QRegularExpression::CaseInsensitiveOption);
    return !writes.match(statement, end).hasMatch();
}

void DbConnection::setStatementObserver(StatementObserver observer)
{
    statementObserver() = std::move(observer);
}

bool DbConnection::recordWrite(const QString &statement)
{
    if (!writeRecorder() || !isOpen())
        return false;
    ++m_writes;
    m_lastWriteApplied = true;
    writeRecorder()(*this, statement);
    return true;
}

bool DbConnection::execute(const QString &statement, QString *error)
{
    if (readOnly() && !isReadOnlyStatement(statement)) {
        if (recordWrite(statement))
            return true;
        if (error)
            *error = kWritesRefused;
        return false;
    }
    const Observed observed(statement, true);
    ++m_writes;
    m_lastWriteApplied = false;
    if (!isOpen()) {
        if (error)
            *error = kNotOpen;
        return false;
    }
    QString message;
    const bool ok = m_transport->execute(statement, &message);
    m_lastWriteApplied = ok;
    if (!ok && error)
        *error = message;
    return ok;
}

std::optional<ResultTable> DbConnection::query(const QString &statement, QString *error)
{
    if (readOnly() && !isReadOnlyStatement(statement)) {
        if (error)
            *error = kWritesRefused;
        return std::nullopt;
    }
    const Observed observed(statement, false);
    if (!isOpen()) {
        if (error)
            *error = kNotOpen;
        return std::nullopt;
    }
    QString message;
    std::optional<ResultTable> result = m_transport->query(statement, &message);
    if (!result && error)
        *error = message;
    return result;
}

bool DbConnection::executeWithText(const QString &statement, const QString &parameter, const QString &value,
                                   QString *error)
{
    if (readOnly()) {
        if (recordWrite(statement))
            return true;
        if (error)
            *error = kWritesRefused;
        return false;
    }
    const Observed observed(statement, true);
    ++m_writes;
    m_lastWriteApplied = false;
    if (!isOpen()) {
        if (error)
            *error = kNotOpen;
        return false;
    }
    QString message;
    const bool ok = m_transport->executeWithText(statement, parameter, value, &message);
    m_lastWriteApplied = ok;
    if (!ok && error)
        *error = message;
    return ok;
}

QString DbConnection::masked(const QString &text) const
{
    return maskPassword(text, m_password);
}

QString maskPassword(const QString &text, const QString &password)
{
    static const QRegularExpression attribute(QStringLiteral(R"(\b(PWD|PASSWORD)\s*=\s*(\{(?:[^}]|\}\})*\}|[^;]*))"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString result = text;
    result.replace(attribute, QStringLiteral("\\1=****"));
    if (password.isEmpty())
        return result;
    // The password where it stands as a word of its own: a driver that echoes it writes it
    // between quotes or blanks; inside a longer word or number it is something else.
    const auto isWord = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(password, from);
        if (at < 0)
            break;
        const qsizetype end = at + password.size();
        const bool startsWord = at == 0 || !isWord(password.front()) || !isWord(result.at(at - 1));
        const bool endsWord = end >= result.size() || !isWord(password.back()) || !isWord(result.at(end));
        if (startsWord && endsWord) {
            out += QStringView(result).mid(from, at - from);
            out += QStringLiteral("****");
            from = end;
        } else {
            out += QStringView(result).mid(from, at + 1 - from);
            from = at + 1;
        }
    }
    out += QStringView(result).mid(from);
    return out;
}

QString maskStatementPasswords(const QString &text)
{
    static const QString value = QStringLiteral(R"(("(?:[^"]|"")*"|'(?:[^']|'')*'|\{(?:[^}]|\}\})*\}|[^\s;,)]+))");
    static const QRegularExpression clauses[] = {
        QRegularExpression(QStringLiteral(R"((\bIDENTIFIED\s+BY\s+))") + value, QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral(R"((\bUSER\s+\S+\s+USING\s+))") + value, QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral(R"((\b(?:PASSWORD|PWD)\s*=\s*))") + value, QRegularExpression::CaseInsensitiveOption),
    };
    QString result = text;
    for (const QRegularExpression &clause : clauses)
        result.replace(clause, QStringLiteral("\\1****"));
    return result;
}

}  // namespace tivra
