#include "db/odbc/odbcapi.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QByteArray>

#ifndef SQL_CLOB
#define SQL_CLOB (-99)  // DB2 CLI's character large object
#endif

namespace tivra {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the ODBC manager's wide characters are UTF-16");

const SQLWCHAR *wide(const QString &text)
{
    return reinterpret_cast<const SQLWCHAR *>(text.utf16());
}

QString fromWide(const SQLWCHAR *text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), length);
}

// Owns an ODBC handle.
class Handle {
public:
    Handle(SQLSMALLINT type, SQLHANDLE input) : m_type(type)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, input, &m_handle)))
            m_handle = SQL_NULL_HANDLE;
    }
    ~Handle()
    {
        if (m_handle != SQL_NULL_HANDLE)
            SQLFreeHandle(m_type, m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    SQLHANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }

private:
    SQLSMALLINT m_type;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

}  // namespace

std::vector<OdbcDiagnostic> odbcDiagnostics(OdbcHandle kind, void *handle)
{
    std::vector<OdbcDiagnostic> records;
    if (!handle)
        return records;
    for (SQLSMALLINT record = 1; record < 64; ++record) {
        SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::vector<SQLWCHAR> text(SQL_MAX_MESSAGE_LENGTH + 1);
        SQLRETURN r = SQLGetDiagRecW(SQLSMALLINT(kind), handle, record, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
        if (r == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(text.size())) {
            text.resize(size_t(length) + 1);
            r = SQLGetDiagRecW(SQLSMALLINT(kind), handle, record, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(r))
            break;
        OdbcDiagnostic d;
        d.sqlState = fromWide(state, SQL_SQLSTATE_SIZE);
        d.native = int(native);
        d.message = fromWide(text.data(), qMin<qsizetype>(length, qsizetype(text.size()) - 1)).trimmed();
        records.push_back(std::move(d));
    }
    return records;
}

QStringList odbcInstalledDrivers()
{
    QStringList names;
    Handle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!env)
        return names;
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (int guard = 0; guard < 1000; ++guard) {
        SQLWCHAR name[512] = {};
        SQLWCHAR attributes[2048] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN r = SQLDriversW(env.get(), direction, name, SQLSMALLINT(std::size(name)), &nameLength, attributes,
                                        SQLSMALLINT(std::size(attributes)), &attributesLength);
        if (!SQL_SUCCEEDED(r))
            break;
        names.append(fromWide(name, qMin<qsizetype>(nameLength, qsizetype(std::size(name)) - 1)));
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

LongTextBinding longTextBinding(Vendor vendor, const QString &value)
{
    const unsigned long long bytes = qMax<unsigned long long>(1, unsigned(value.toUtf8().size()));
    switch (vendor) {
    case Vendor::DB2: return bytes <= 32672 ? LongTextBinding{SQL_VARCHAR, bytes} : LongTextBinding{SQL_CLOB, bytes};
    case Vendor::Oracle: return bytes <= 4000 ? LongTextBinding{SQL_VARCHAR, bytes} : LongTextBinding{SQL_LONGVARCHAR, bytes};
    case Vendor::MSSQL: return bytes <= 8000 ? LongTextBinding{SQL_VARCHAR, bytes} : LongTextBinding{SQL_VARCHAR, 0};
    case Vendor::None: break;
    }
    return {SQL_LONGVARCHAR, bytes};
}

bool odbcExecuteWithText(void *connection, const QString &statement, int markers, const LongTextBinding &binding,
                         const QString &value, std::vector<OdbcDiagnostic> *diagnostics)
{
    Handle stmt(SQL_HANDLE_STMT, connection);
    if (!stmt) {
        *diagnostics = odbcDiagnostics(OdbcHandle::Dbc, connection);
        return false;
    }
    const auto failed = [&] {
        *diagnostics = odbcDiagnostics(OdbcHandle::Stmt, stmt.get());
        return false;
    };
    if (!SQL_SUCCEEDED(SQLSetStmtAttrW(stmt.get(), SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY),
                                       SQL_IS_UINTEGER)))
        return failed();
    QString text = statement;
    if (!SQL_SUCCEEDED(SQLPrepareW(stmt.get(), const_cast<SQLWCHAR *>(wide(text)), SQLINTEGER(text.size()))))
        return failed();
    QString buffer = value;
    SQLLEN indicator = SQLLEN(buffer.size() * qsizetype(sizeof(SQLWCHAR)));
    for (int i = 1; i <= markers; ++i) {
        const SQLRETURN r = SQLBindParameter(stmt.get(), SQLUSMALLINT(i), SQL_PARAM_INPUT, SQL_C_WCHAR, SQLSMALLINT(binding.sqlType),
                                             SQLULEN(binding.columnSize), 0, buffer.data(), indicator, &indicator);
        if (!SQL_SUCCEEDED(r))
            return failed();
    }
    const SQLRETURN r = SQLExecute(stmt.get());
    if (SQL_SUCCEEDED(r) || r == SQL_NO_DATA)
        return true;
    return failed();
}

std::vector<OdbcDiagnostic> odbcConnectDiagnostics(const QString &connectionString)
{
    Handle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!env)
        return {};
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    Handle dbc(SQL_HANDLE_DBC, env.get());
    if (!dbc)
        return odbcDiagnostics(OdbcHandle::Env, env.get());
    QString text = connectionString;
    SQLWCHAR out[1024] = {};
    SQLSMALLINT outLength = 0;
    const SQLRETURN r = SQLDriverConnectW(dbc.get(), nullptr, const_cast<SQLWCHAR *>(wide(text)), SQLSMALLINT(text.size()), out,
                                          SQLSMALLINT(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
    if (SQL_SUCCEEDED(r)) {
        SQLDisconnect(dbc.get());
        return {};
    }
    return odbcDiagnostics(OdbcHandle::Dbc, dbc.get());
}

}  // namespace tivra
