// A scripted ODBC driver for the tests: loaded by the ODBC driver manager through a connection
// string's DRIVER=/path/libtivra_fakeodbc.so (or through a test's own odbcinst.ini named by
// ODBCSYSINI), it answers statements as a script file says, with rows or with diagnostic records
// shaped like a vendor's driver, and appends every call it receives to a log file the test reads.
//
// The script is named by the connection attribute SCRIPT=, else by the environment variable
// TIVRA_FAKEODBC_SCRIPT; the log by LOG=, else TIVRA_FAKEODBC_LOG. Script lines (blank lines and
// lines starting with "#" are ignored):
//
//   dbms <text>                      SQLGetInfo(SQL_DBMS_NAME); also driver-name, dbms-ver
//   login <user> <password>          the only credentials accepted
//   login-error <state> <native> <message>   records of a refused login ({UID} and {PWD} in the
//                                    message are replaced by what was given, as a driver that
//                                    echoes the password does); repeatable
//   connect-error <state> <native> <message> every connection fails with these records
//   refuse-static                    SQL_ATTR_CURSOR_TYPE other than forward-only is refused
//   rule <text>                      starts a rule for statements containing <text> (exact);
//                                    the first matching rule answers; the lines after it:
//     paramtype <n>                  the rule applies only when a parameter is bound as SQL type n
//     columns <NAME:int|text>,...    the statement returns a result set with these columns
//     row <v1>|<v2>|...              a row of it (\N is NULL)
//     error <state> <native> <message>   a diagnostic record; repeatable; the statement fails
//     lost <state> <native> <message>    the statement fails and the connection is gone: every
//                                    later statement on it fails with the same record
//     rowcount <n>
//
// A statement without a matching rule succeeds with no result set. Log lines are of the form
// "<call> key=value ..."; statement texts are written with CR as \r and LF as \n.
#ifdef _WIN32
#include <windows.h>  // the Windows SDK's ODBC headers use its types
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
// ODBC 3.8 information types that MinGW-w64's headers lack, with the values every driver manager uses.
#ifndef SQL_ASYNC_DBC_FUNCTIONS
#define SQL_ASYNC_DBC_FUNCTIONS 10023
#endif
#ifndef SQL_DRIVER_AWARE_POOLING_SUPPORTED
#define SQL_DRIVER_AWARE_POOLING_SUPPORTED 10024
#endif
#ifndef SQL_ASYNC_NOTIFICATION
#define SQL_ASYNC_NOTIFICATION 10025
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Diag {
    std::string state;
    long native = 0;
    std::string message;
};

struct Column {
    std::string name;
    bool integer = false;
};

using Value = std::optional<std::string>;

struct Rule {
    std::string text;
    long paramType = 0;
    bool hasParamType = false;
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;
    std::vector<Diag> errors;
    std::optional<Diag> lost;
    long rowCount = 0;
};

struct Script {
    std::string dbms = "Fake DBMS";
    std::string dbmsVer = "01.00.0000";
    std::string driverName = "libtivra_fakeodbc.so";
    bool checkLogin = false;
    std::string user, password;
    std::vector<Diag> loginErrors;
    std::vector<Diag> connectErrors;
    bool refuseStatic = false;
    std::vector<Rule> rules;
};

enum class Kind { Env = 0x45, Dbc = 0x44, Stmt = 0x53 };

struct Handle {
    Kind kind;
    std::vector<Diag> diags;
    SQLRETURN lastReturn = SQL_SUCCESS;
    explicit Handle(Kind k) : kind(k) {}
};

struct Env : Handle {
    Env() : Handle(Kind::Env) {}
};

struct Dbc : Handle {
    explicit Dbc(Env *e) : Handle(Kind::Dbc), env(e) {}
    Env *env;
    bool connected = false;
    std::optional<Diag> lost;
    Script script;
    std::string logPath;
    bool autocommit = true;
    std::string connectionString;
};

struct Param {
    SQLSMALLINT cType = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN columnSize = 0;
    SQLPOINTER buffer = nullptr;
    SQLLEN bufferLength = 0;
    SQLLEN *indicator = nullptr;
};

struct Stmt : Handle {
    explicit Stmt(Dbc *d) : Handle(Kind::Stmt), dbc(d) {}
    Dbc *dbc;
    SQLULEN cursorType = SQL_CURSOR_FORWARD_ONLY;
    std::string prepared;
    bool hasPrepared = false;
    std::vector<Param> params;
    bool open = false;
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;
    long current = -1;
    long rowCount = -1;
    int dataColumn = -1;
    size_t dataOffset = 0;
    bool dataDone = false;
};

// ---- text helpers

std::string fromWide(const SQLWCHAR *text, SQLINTEGER length)
{
    std::string out;
    if (!text)
        return out;
    std::u16string u;
    if (length == SQL_NTS) {
        for (const SQLWCHAR *p = text; *p; ++p)
            u.push_back(char16_t(*p));
    } else {
        // Some callers count a terminating NUL in the length.
        for (SQLINTEGER i = 0; i < length && text[i]; ++i)
            u.push_back(char16_t(text[i]));
    }
    for (size_t i = 0; i < u.size(); ++i) {
        char32_t c = u[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < u.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(u[i + 1]) - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string toWide(const std::string &s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t c = b;
        size_t n = 1;
        if (b >= 0xF0 && i + 3 < s.size()) {
            c = char32_t(b & 0x07) << 18 | char32_t(s[i + 1] & 0x3F) << 12 | char32_t(s[i + 2] & 0x3F) << 6 | char32_t(s[i + 3] & 0x3F);
            n = 4;
        } else if (b >= 0xE0 && i + 2 < s.size()) {
            c = char32_t(b & 0x0F) << 12 | char32_t(s[i + 1] & 0x3F) << 6 | char32_t(s[i + 2] & 0x3F);
            n = 3;
        } else if (b >= 0xC0 && i + 1 < s.size()) {
            c = char32_t(b & 0x1F) << 6 | char32_t(s[i + 1] & 0x3F);
            n = 2;
        }
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(char16_t(0xD800 + (c >> 10)));
            out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
    }
    return out;
}

// Copies a text into a wide output buffer of `capacity` characters; the length in characters.
SQLRETURN putWideChars(const std::string &text, SQLWCHAR *buffer, SQLSMALLINT capacity, SQLSMALLINT *length)
{
    const std::u16string w = toWide(text);
    if (length)
        *length = SQLSMALLINT(w.size());
    if (!buffer || capacity <= 0)
        return w.empty() ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
    const size_t n = std::min(w.size(), size_t(capacity - 1));
    for (size_t i = 0; i < n; ++i)
        buffer[i] = SQLWCHAR(w[i]);
    buffer[n] = 0;
    return n < w.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

// The same for a buffer given in bytes; the length in bytes.
SQLRETURN putWideBytes(const std::string &text, SQLPOINTER buffer, SQLINTEGER bytes, SQLINTEGER *length)
{
    const std::u16string w = toWide(text);
    if (length)
        *length = SQLINTEGER(w.size() * sizeof(SQLWCHAR));
    if (!buffer || bytes < SQLINTEGER(sizeof(SQLWCHAR)))
        return w.empty() ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
    const size_t capacity = size_t(bytes) / sizeof(SQLWCHAR);
    const size_t n = std::min(w.size(), capacity - 1);
    auto *out = static_cast<SQLWCHAR *>(buffer);
    for (size_t i = 0; i < n; ++i)
        out[i] = SQLWCHAR(w[i]);
    out[n] = 0;
    return n < w.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

std::string trim(const std::string &s)
{
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string escaped(const std::string &s)
{
    std::string out;
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out.push_back(c);
    }
    return out;
}

// ---- the log

void logLine(const std::string &path, const std::string &line)
{
    if (path.empty())
        return;
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << line << '\n';
}

void logDbc(const Dbc *dbc, const std::string &line)
{
    if (dbc)
        logLine(dbc->logPath, line);
}

// ---- the script

Diag parseDiag(std::istringstream &in)
{
    Diag d;
    in >> d.state >> d.native;
    std::string rest;
    std::getline(in, rest);
    d.message = trim(rest);
    return d;
}

std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    parts.push_back(part);
    return parts;
}

Script readScript(const std::string &path)
{
    Script script;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        std::istringstream words(t);
        std::string key;
        words >> key;
        std::string rest;
        std::getline(words, rest);
        rest = trim(rest);
        std::istringstream restIn(rest);
        Rule *rule = script.rules.empty() ? nullptr : &script.rules.back();
        if (key == "dbms") {
            script.dbms = rest;
        } else if (key == "dbms-ver") {
            script.dbmsVer = rest;
        } else if (key == "driver-name") {
            script.driverName = rest;
        } else if (key == "login") {
            script.checkLogin = true;
            restIn >> script.user >> script.password;
        } else if (key == "login-error") {
            script.loginErrors.push_back(parseDiag(restIn));
        } else if (key == "connect-error") {
            script.connectErrors.push_back(parseDiag(restIn));
        } else if (key == "refuse-static") {
            script.refuseStatic = true;
        } else if (key == "rule") {
            script.rules.emplace_back();
            script.rules.back().text = rest;
        } else if (rule && key == "paramtype") {
            rule->hasParamType = true;
            rule->paramType = std::strtol(rest.c_str(), nullptr, 10);
        } else if (rule && key == "columns") {
            for (const std::string &c : split(rest, ',')) {
                const std::vector<std::string> nt = split(trim(c), ':');
                rule->columns.push_back({nt[0], nt.size() > 1 && nt[1] == "int"});
            }
        } else if (rule && key == "row") {
            std::vector<Value> row;
            for (const std::string &v : split(rest, '|')) {
                if (v == "\\N")
                    row.emplace_back(std::nullopt);
                else
                    row.emplace_back(v);
            }
            rule->rows.push_back(row);
        } else if (rule && key == "error") {
            rule->errors.push_back(parseDiag(restIn));
        } else if (rule && key == "lost") {
            rule->lost = parseDiag(restIn);
        } else if (rule && key == "rowcount") {
            rule->rowCount = std::strtol(rest.c_str(), nullptr, 10);
        }
    }
    return script;
}

// Connection-string attributes: KEY=value or KEY={value with ;}, keys upper-cased.
std::vector<std::pair<std::string, std::string>> attributes(const std::string &text)
{
    std::vector<std::pair<std::string, std::string>> result;
    size_t i = 0;
    while (i < text.size()) {
        const size_t eq = text.find('=', i);
        if (eq == std::string::npos)
            break;
        std::string key = upper(trim(text.substr(i, eq - i)));
        std::string value;
        size_t j = eq + 1;
        if (j < text.size() && text[j] == '{') {
            ++j;
            while (j < text.size()) {
                if (text[j] == '}') {
                    if (j + 1 < text.size() && text[j + 1] == '}') {
                        value.push_back('}');
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value.push_back(text[j++]);
            }
            const size_t semi = text.find(';', j);
            i = semi == std::string::npos ? text.size() : semi + 1;
        } else {
            const size_t semi = text.find(';', j);
            value = text.substr(j, semi == std::string::npos ? std::string::npos : semi - j);
            i = semi == std::string::npos ? text.size() : semi + 1;
        }
        result.emplace_back(key, value);
    }
    return result;
}

std::string replaceAll(std::string s, const std::string &from, const std::string &to)
{
    if (from.empty())
        return s;
    size_t pos = 0;
    while ((pos = s.find(from, pos)) != std::string::npos) {
        s.replace(pos, from.size(), to);
        pos += to.size();
    }
    return s;
}

// ---- handle helpers

SQLRETURN fail(Handle *h, const std::vector<Diag> &diags)
{
    h->diags = diags;
    return SQL_ERROR;
}

SQLRETURN fail(Handle *h, const std::string &state, const std::string &message)
{
    h->diags = {Diag{state, 0, "[Tivra][FakeODBC]" + message}};
    return SQL_ERROR;
}

SQLRETURN info(Handle *h, const std::string &state, const std::string &message, SQLRETURN r = SQL_SUCCESS_WITH_INFO)
{
    if (r == SQL_SUCCESS_WITH_INFO)
        h->diags.push_back(Diag{state, 0, "[Tivra][FakeODBC]" + message});
    return r;
}

const char *cursorName(SQLULEN type)
{
    switch (type) {
    case SQL_CURSOR_FORWARD_ONLY: return "forward-only";
    case SQL_CURSOR_STATIC: return "static";
    case SQL_CURSOR_KEYSET_DRIVEN: return "keyset";
    case SQL_CURSOR_DYNAMIC: return "dynamic";
    default: return "other";
    }
}

std::string paramValue(const Param &p)
{
    if (!p.buffer || (p.indicator && *p.indicator == SQL_NULL_DATA))
        return {};
    SQLLEN bytes = p.indicator ? *p.indicator : SQL_NTS;
    if (p.cType == SQL_C_WCHAR) {
        const auto *w = static_cast<const SQLWCHAR *>(p.buffer);
        return fromWide(w, bytes == SQL_NTS ? SQL_NTS : SQLINTEGER(bytes / SQLLEN(sizeof(SQLWCHAR))));
    }
    if (p.cType == SQL_C_CHAR) {
        const char *c = static_cast<const char *>(p.buffer);
        return bytes == SQL_NTS ? std::string(c) : std::string(c, size_t(bytes));
    }
    if (p.cType == SQL_C_SLONG || p.cType == SQL_C_LONG)
        return std::to_string(*static_cast<const SQLINTEGER *>(p.buffer));
    return "?";
}

size_t utf8Chars(const std::string &s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

SQLRETURN run(Stmt *s, const std::string &text, bool prepared)
{
    Dbc *dbc = s->dbc;
    s->open = false;
    s->columns.clear();
    s->rows.clear();
    s->current = -1;
    s->rowCount = -1;
    std::string line = std::string(prepared ? "execute" : "exec") + " cursor=" + cursorName(s->cursorType) +
                       " autocommit=" + (dbc->autocommit ? "on" : "off");
    for (size_t i = 0; i < s->params.size(); ++i) {
        const Param &p = s->params[i];
        const std::string value = paramValue(p);
        line += " param" + std::to_string(i + 1) + "=ctype:" + std::to_string(p.cType) + ",sqltype:" + std::to_string(p.sqlType) +
                ",size:" + std::to_string(p.columnSize) + ",buffer:" + std::to_string(p.bufferLength) +
                ",indicator:" + std::to_string(p.indicator ? long(*p.indicator) : -999) + ",chars:" + std::to_string(utf8Chars(value));
    }
    line += " text=" + escaped(text);
    logDbc(dbc, line);
    if (dbc->lost) {
        logDbc(dbc, "refused reason=connection-lost");
        return fail(s, {*dbc->lost});
    }
    for (const Rule &rule : dbc->script.rules) {
        if (text.find(rule.text) == std::string::npos)
            continue;
        if (rule.hasParamType) {
            bool found = false;
            for (const Param &p : s->params)
                found = found || p.sqlType == rule.paramType;
            if (!found)
                continue;
        }
        if (rule.lost) {
            dbc->lost = rule.lost;
            return fail(s, {*rule.lost});
        }
        if (!rule.errors.empty())
            return fail(s, rule.errors);
        if (!rule.columns.empty()) {
            s->columns = rule.columns;
            s->rows = rule.rows;
            s->open = true;
            return SQL_SUCCESS;
        }
        s->rowCount = rule.rowCount;
        return SQL_SUCCESS;
    }
    s->rowCount = 0;
    return SQL_SUCCESS;
}

template <typename T>
T *as(SQLHANDLE h, Kind kind)
{
    auto *handle = static_cast<Handle *>(h);
    if (!handle || handle->kind != kind)
        return nullptr;
    handle->diags.clear();
    return static_cast<T *>(handle);
}

Handle *anyHandle(SQLSMALLINT type, SQLHANDLE h)
{
    auto *handle = static_cast<Handle *>(h);
    if (!handle)
        return nullptr;
    const Kind expected = type == SQL_HANDLE_ENV ? Kind::Env : type == SQL_HANDLE_DBC ? Kind::Dbc : Kind::Stmt;
    return handle->kind == expected ? handle : nullptr;
}

// Which ODBC functions this driver has (for SQLGetFunctions).
const SQLUSMALLINT kFunctions[] = {
    SQL_API_SQLALLOCHANDLE,   SQL_API_SQLFREEHANDLE,  SQL_API_SQLSETENVATTR,    SQL_API_SQLGETENVATTR,
    SQL_API_SQLDRIVERCONNECT, SQL_API_SQLDISCONNECT,  SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR,
    SQL_API_SQLGETINFO,       SQL_API_SQLGETFUNCTIONS, SQL_API_SQLSETSTMTATTR,   SQL_API_SQLGETSTMTATTR,
    SQL_API_SQLEXECDIRECT,    SQL_API_SQLPREPARE,     SQL_API_SQLEXECUTE,       SQL_API_SQLBINDPARAMETER,
    SQL_API_SQLNUMRESULTCOLS, SQL_API_SQLDESCRIBECOL, SQL_API_SQLCOLATTRIBUTE,  SQL_API_SQLFETCH,
    SQL_API_SQLFETCHSCROLL,   SQL_API_SQLGETDATA,     SQL_API_SQLGETDIAGREC,    SQL_API_SQLGETDIAGFIELD,
    SQL_API_SQLROWCOUNT,      SQL_API_SQLMORERESULTS, SQL_API_SQLCLOSECURSOR,   SQL_API_SQLFREESTMT,
    SQL_API_SQLENDTRAN,       SQL_API_SQLTABLES,      SQL_API_SQLCOLUMNS,       SQL_API_SQLPRIMARYKEYS,
    SQL_API_SQLGETTYPEINFO,   SQL_API_SQLSPECIALCOLUMNS, SQL_API_SQLCANCEL,     SQL_API_SQLNUMPARAMS,
};

bool hasFunction(SQLUSMALLINT id)
{
    for (SQLUSMALLINT f : kFunctions) {
        if (f == id)
            return true;
    }
    return false;
}

SQLRETURN stringInfo(const std::string &text, SQLPOINTER value, SQLSMALLINT bytes, SQLSMALLINT *length)
{
    SQLINTEGER len = 0;
    const SQLRETURN r = putWideBytes(text, value, bytes, &len);
    if (length)
        *length = SQLSMALLINT(len);
    return r;
}

SQLRETURN uintInfo(SQLUINTEGER v, SQLPOINTER value, SQLSMALLINT *length)
{
    if (value)
        *static_cast<SQLUINTEGER *>(value) = v;
    if (length)
        *length = sizeof(SQLUINTEGER);
    return SQL_SUCCESS;
}

SQLRETURN ushortInfo(SQLUSMALLINT v, SQLPOINTER value, SQLSMALLINT *length)
{
    if (value)
        *static_cast<SQLUSMALLINT *>(value) = v;
    if (length)
        *length = sizeof(SQLUSMALLINT);
    return SQL_SUCCESS;
}

}  // namespace

extern "C" {

#ifdef _WIN32
#define FAKE_EXPORT __declspec(dllexport)
#else
#define FAKE_EXPORT __attribute__((visibility("default")))
#endif

FAKE_EXPORT SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE *output)
{
    if (!output)
        return SQL_ERROR;
    switch (type) {
    case SQL_HANDLE_ENV: *output = new Env(); return SQL_SUCCESS;
    case SQL_HANDLE_DBC: {
        auto *env = static_cast<Env *>(input);
        if (!env || env->kind != Kind::Env)
            return SQL_INVALID_HANDLE;
        *output = new Dbc(env);
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
        auto *dbc = static_cast<Dbc *>(input);
        if (!dbc || dbc->kind != Kind::Dbc)
            return SQL_INVALID_HANDLE;
        if (!dbc->connected)
            return fail(dbc, "08003", "Connection not open");
        *output = new Stmt(dbc);
        return SQL_SUCCESS;
    }
    default: return SQL_ERROR;
    }
}

FAKE_EXPORT SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle)
{
    Handle *h = anyHandle(type, handle);
    if (!h)
        return SQL_INVALID_HANDLE;
    switch (h->kind) {
    case Kind::Env: delete static_cast<Env *>(h); break;
    case Kind::Dbc: delete static_cast<Dbc *>(h); break;
    case Kind::Stmt: delete static_cast<Stmt *>(h); break;
    }
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV env, SQLINTEGER, SQLPOINTER, SQLINTEGER)
{
    return as<Env>(env, Kind::Env) ? SQL_SUCCESS : SQL_INVALID_HANDLE;
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER, SQLINTEGER *length)
{
    if (!as<Env>(env, Kind::Env))
        return SQL_INVALID_HANDLE;
    if (attribute == SQL_ATTR_ODBC_VERSION && value)
        *static_cast<SQLINTEGER *>(value) = SQL_OV_ODBC3;
    if (length)
        *length = sizeof(SQLINTEGER);
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC handle, SQLHWND, SQLWCHAR *in, SQLSMALLINT inLength, SQLWCHAR *out,
                                                SQLSMALLINT outCapacity, SQLSMALLINT *outLength, SQLUSMALLINT)
{
    Dbc *dbc = as<Dbc>(handle, Kind::Dbc);
    if (!dbc)
        return SQL_INVALID_HANDLE;
    const std::string text = fromWide(in, inLength);
    std::string script, log, uid, pwd;
    for (const auto &[key, value] : attributes(text)) {
        if (key == "SCRIPT")
            script = value;
        else if (key == "LOG")
            log = value;
        else if (key == "UID")
            uid = value;
        else if (key == "PWD")
            pwd = value;
    }
    if (script.empty() && std::getenv("TIVRA_FAKEODBC_SCRIPT"))
        script = std::getenv("TIVRA_FAKEODBC_SCRIPT");
    if (log.empty() && std::getenv("TIVRA_FAKEODBC_LOG"))
        log = std::getenv("TIVRA_FAKEODBC_LOG");
    dbc->logPath = log;
    dbc->script = readScript(script);
    dbc->connectionString = text;
    logDbc(dbc, "connect text=" + escaped(text));
    if (!dbc->script.connectErrors.empty())
        return fail(dbc, dbc->script.connectErrors);
    if (dbc->script.checkLogin && (uid != dbc->script.user || pwd != dbc->script.password)) {
        std::vector<Diag> diags = dbc->script.loginErrors;
        for (Diag &d : diags)
            d.message = replaceAll(replaceAll(d.message, "{UID}", uid), "{PWD}", pwd);
        if (diags.empty())
            diags.push_back(Diag{"28000", 0, "[Tivra][FakeODBC]Login failed"});
        return fail(dbc, diags);
    }
    dbc->connected = true;
    putWideChars(text, out, outCapacity, outLength);
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLConnectW(SQLHDBC handle, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT)
{
    Dbc *dbc = as<Dbc>(handle, Kind::Dbc);
    return dbc ? fail(dbc, "IM001", "SQLConnect is not supported: use a connection string") : SQL_INVALID_HANDLE;
}

FAKE_EXPORT SQLRETURN SQL_API SQLDisconnect(SQLHDBC handle)
{
    Dbc *dbc = as<Dbc>(handle, Kind::Dbc);
    if (!dbc)
        return SQL_INVALID_HANDLE;
    logDbc(dbc, "disconnect");
    dbc->connected = false;
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER)
{
    Dbc *dbc = as<Dbc>(handle, Kind::Dbc);
    if (!dbc)
        return SQL_INVALID_HANDLE;
    const auto number = reinterpret_cast<SQLULEN>(value);
    if (attribute == SQL_ATTR_AUTOCOMMIT) {
        dbc->autocommit = number == SQL_AUTOCOMMIT_ON;
        logDbc(dbc, std::string("autocommit ") + (dbc->autocommit ? "on" : "off"));
    } else {
        logDbc(dbc, "connectattr attribute=" + std::to_string(attribute) + " value=" + std::to_string(number));
    }
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                                 SQLINTEGER *length)
{
    Dbc *dbc = as<Dbc>(handle, Kind::Dbc);
    if (!dbc)
        return SQL_INVALID_HANDLE;
    SQLUINTEGER v = 0;
    if (attribute == SQL_ATTR_AUTOCOMMIT)
        v = dbc->autocommit ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    else if (attribute == SQL_ATTR_CONNECTION_DEAD)
        v = dbc->lost ? SQL_CD_TRUE : SQL_CD_FALSE;
    if (value)
        *static_cast<SQLUINTEGER *>(value) = v;
    if (length)
        *length = sizeof(SQLUINTEGER);
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetInfoW(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bytes, SQLSMALLINT *length)
{
    Dbc *dbc = as<Dbc>(handle, Kind::Dbc);
    if (!dbc)
        return SQL_INVALID_HANDLE;
    switch (type) {
    case SQL_DBMS_NAME: return stringInfo(dbc->script.dbms, value, bytes, length);
    case SQL_DBMS_VER: return stringInfo(dbc->script.dbmsVer, value, bytes, length);
    case SQL_DRIVER_NAME: return stringInfo(dbc->script.driverName, value, bytes, length);
    case SQL_DRIVER_VER: return stringInfo("01.00.0000", value, bytes, length);
    case SQL_DRIVER_ODBC_VER: return stringInfo("03.80", value, bytes, length);
    case SQL_ODBC_VER: return stringInfo("03.80.0000", value, bytes, length);
    case SQL_MULT_RESULT_SETS: return stringInfo("N", value, bytes, length);
    case SQL_IDENTIFIER_QUOTE_CHAR: return stringInfo("\"", value, bytes, length);
    case SQL_CATALOG_NAME_SEPARATOR: return stringInfo(".", value, bytes, length);
    case SQL_DATA_SOURCE_NAME:
    case SQL_SERVER_NAME:
    case SQL_DATABASE_NAME:
    case SQL_USER_NAME:
    case SQL_SEARCH_PATTERN_ESCAPE: return stringInfo("", value, bytes, length);
    case SQL_DATA_SOURCE_READ_ONLY:
    case SQL_NEED_LONG_DATA_LEN: return stringInfo("N", value, bytes, length);
    case SQL_CONVERT_CHAR:
    case SQL_CONVERT_VARCHAR:
    case SQL_CONVERT_LONGVARCHAR:
        return uintInfo(SQL_CVT_CHAR | SQL_CVT_VARCHAR | SQL_CVT_LONGVARCHAR | SQL_CVT_WCHAR | SQL_CVT_WVARCHAR | SQL_CVT_WLONGVARCHAR,
                        value, length);
    case SQL_SCHEMA_USAGE:
    case SQL_CATALOG_USAGE:
    case SQL_BOOKMARK_PERSISTENCE:
    case SQL_STATIC_CURSOR_ATTRIBUTES1:
    case SQL_STATIC_CURSOR_ATTRIBUTES2:
    case SQL_KEYSET_CURSOR_ATTRIBUTES1:
    case SQL_KEYSET_CURSOR_ATTRIBUTES2:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES1:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES2:
    case SQL_ASYNC_MODE:
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS:
    case SQL_ASYNC_DBC_FUNCTIONS:
    case SQL_ASYNC_NOTIFICATION:
    case SQL_DRIVER_AWARE_POOLING_SUPPORTED: return uintInfo(0, value, length);
    case SQL_GETDATA_EXTENSIONS: return uintInfo(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER, value, length);
    case SQL_SCROLL_OPTIONS: return uintInfo(SQL_SO_FORWARD_ONLY | SQL_SO_STATIC, value, length);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1: return uintInfo(SQL_CA1_NEXT, value, length);
    case SQL_TXN_ISOLATION_OPTION:
    case SQL_DEFAULT_TXN_ISOLATION: return uintInfo(SQL_TXN_READ_COMMITTED, value, length);
    case SQL_IDENTIFIER_CASE:
    case SQL_QUOTED_IDENTIFIER_CASE: return ushortInfo(SQL_IC_UPPER, value, length);
    case SQL_TXN_CAPABLE: return ushortInfo(SQL_TC_ALL, value, length);
    case SQL_CURSOR_COMMIT_BEHAVIOR:
    case SQL_CURSOR_ROLLBACK_BEHAVIOR: return ushortInfo(SQL_CB_CLOSE, value, length);
    case SQL_MAX_CONCURRENT_ACTIVITIES:
    case SQL_MAX_DRIVER_CONNECTIONS:
    case SQL_MAX_COLUMN_NAME_LEN:
    case SQL_MAX_TABLE_NAME_LEN:
    case SQL_MAX_SCHEMA_NAME_LEN:
    case SQL_MAX_CATALOG_NAME_LEN:
    case SQL_ACTIVE_ENVIRONMENTS: return ushortInfo(0, value, length);
    case SQL_CATALOG_LOCATION: return ushortInfo(SQL_CL_START, value, length);
    case SQL_NULL_COLLATION: return ushortInfo(SQL_NC_HIGH, value, length);
    case SQL_CONCAT_NULL_BEHAVIOR: return ushortInfo(SQL_CB_NULL, value, length);
    case SQL_CORRELATION_NAME: return ushortInfo(SQL_CN_ANY, value, length);
    case SQL_NON_NULLABLE_COLUMNS: return ushortInfo(SQL_NNC_NON_NULL, value, length);
    case SQL_GROUP_BY: return ushortInfo(SQL_GB_GROUP_BY_CONTAINS_SELECT, value, length);
    default: break;
    }
    logDbc(dbc, "getinfo-unknown type=" + std::to_string(type));
    return fail(dbc, "HY096", "Information type out of range");
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetFunctions(SQLHDBC handle, SQLUSMALLINT id, SQLUSMALLINT *supported)
{
    if (!as<Dbc>(handle, Kind::Dbc))
        return SQL_INVALID_HANDLE;
    if (!supported)
        return SQL_ERROR;
    if (id == SQL_API_ODBC3_ALL_FUNCTIONS) {
        std::memset(supported, 0, SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * sizeof(SQLUSMALLINT));
        for (SQLUSMALLINT f : kFunctions)
            supported[f >> 4] |= SQLUSMALLINT(1 << (f & 0x000F));
    } else if (id == SQL_API_ALL_FUNCTIONS) {
        std::memset(supported, 0, 100 * sizeof(SQLUSMALLINT));
        for (SQLUSMALLINT f : kFunctions) {
            if (f < 100)
                supported[f] = SQL_TRUE;
        }
    } else {
        *supported = hasFunction(id) ? SQL_TRUE : SQL_FALSE;
    }
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    const auto number = reinterpret_cast<SQLULEN>(value);
    if (attribute == SQL_ATTR_CURSOR_TYPE) {
        logDbc(s->dbc, std::string("stmtattr cursor=") + cursorName(number));
        if (number != SQL_CURSOR_FORWARD_ONLY && s->dbc->script.refuseStatic)
            return fail(s, "HYC00", "Optional feature not implemented: only forward-only cursors");
        s->cursorType = number;
        return SQL_SUCCESS;
    }
    logDbc(s->dbc, "stmtattr attribute=" + std::to_string(attribute) + " value=" + std::to_string(number));
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                              SQLINTEGER *length)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    SQLULEN v = 0;
    switch (attribute) {
    case SQL_ATTR_CURSOR_TYPE: v = s->cursorType; break;
    case SQL_ATTR_CURSOR_SCROLLABLE:
        v = s->cursorType == SQL_CURSOR_FORWARD_ONLY ? SQL_NONSCROLLABLE : SQL_SCROLLABLE;
        break;
    case SQL_ATTR_ROW_NUMBER: v = s->current >= 0 ? SQLULEN(s->current + 1) : 0; break;
    case SQL_ATTR_CONCURRENCY: v = SQL_CONCUR_READ_ONLY; break;
    case SQL_ATTR_APP_ROW_DESC:
    case SQL_ATTR_APP_PARAM_DESC:
    case SQL_ATTR_IMP_ROW_DESC:
    case SQL_ATTR_IMP_PARAM_DESC: return fail(s, "HY092", "Descriptors are not supported");
    default: break;
    }
    if (value)
        *static_cast<SQLULEN *>(value) = v;
    if (length)
        *length = sizeof(SQLULEN);
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT handle, SQLWCHAR *text, SQLINTEGER length)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    s->params.clear();
    return run(s, fromWide(text, length), false);
}

FAKE_EXPORT SQLRETURN SQL_API SQLPrepareW(SQLHSTMT handle, SQLWCHAR *text, SQLINTEGER length)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    s->prepared = fromWide(text, length);
    s->hasPrepared = true;
    logDbc(s->dbc, std::string("prepare cursor=") + cursorName(s->cursorType) + " text=" + escaped(s->prepared));
    if (s->dbc->lost)
        return fail(s, {*s->dbc->lost});
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLExecute(SQLHSTMT handle)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (!s->hasPrepared)
        return fail(s, "HY010", "Function sequence error");
    return run(s, s->prepared, true);
}

FAKE_EXPORT SQLRETURN SQL_API SQLBindParameter(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT, SQLSMALLINT cType,
                                               SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT, SQLPOINTER buffer,
                                               SQLLEN bufferLength, SQLLEN *indicator)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (number < 1)
        return fail(s, "07009", "Invalid descriptor index");
    if (s->params.size() < number)
        s->params.resize(number);
    s->params[number - 1] = Param{cType, sqlType, columnSize, buffer, bufferLength, indicator};
    logDbc(s->dbc, "bind param=" + std::to_string(number) + " ctype=" + std::to_string(cType) + " sqltype=" + std::to_string(sqlType) +
                       " size=" + std::to_string(columnSize) + " buffer=" + std::to_string(bufferLength));
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLNumParams(SQLHSTMT handle, SQLSMALLINT *count)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    size_t n = 0;
    for (char c : s->prepared)
        n += c == '?' ? 1 : 0;
    if (count)
        *count = SQLSMALLINT(n);
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT *count)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (count)
        *count = s->open ? SQLSMALLINT(s->columns.size()) : 0;
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT handle, SQLUSMALLINT column, SQLWCHAR *name, SQLSMALLINT capacity,
                                              SQLSMALLINT *nameLength, SQLSMALLINT *type, SQLULEN *size, SQLSMALLINT *digits,
                                              SQLSMALLINT *nullable)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (!s->open || column < 1 || column > s->columns.size())
        return fail(s, "07009", "Invalid descriptor index");
    const Column &c = s->columns[column - 1];
    putWideChars(c.name, name, capacity, nameLength);
    if (type)
        *type = c.integer ? SQL_INTEGER : SQL_VARCHAR;
    if (size)
        *size = c.integer ? 10 : 255;
    if (digits)
        *digits = 0;
    if (nullable)
        *nullable = SQL_NULLABLE;
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT handle, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                               SQLSMALLINT bytes, SQLSMALLINT *length, SQLLEN *number)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (!s->open || column < 1 || column > s->columns.size())
        return fail(s, "07009", "Invalid descriptor index");
    const Column &c = s->columns[column - 1];
    SQLLEN n = 0;
    switch (field) {
    case SQL_DESC_NAME:
    case SQL_DESC_LABEL:
    case SQL_COLUMN_NAME: return stringInfo(c.name, text, bytes, length);
    case SQL_DESC_BASE_TABLE_NAME:
    case SQL_DESC_TABLE_NAME:
    case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_CATALOG_NAME:
    case SQL_DESC_BASE_COLUMN_NAME: return stringInfo(field == SQL_DESC_BASE_COLUMN_NAME ? c.name : "", text, bytes, length);
    case SQL_DESC_TYPE_NAME: return stringInfo(c.integer ? "INTEGER" : "VARCHAR", text, bytes, length);
    case SQL_DESC_TYPE:
    case SQL_DESC_CONCISE_TYPE: n = c.integer ? SQL_INTEGER : SQL_VARCHAR; break;
    case SQL_DESC_LENGTH:
    case SQL_DESC_DISPLAY_SIZE:
    case SQL_DESC_OCTET_LENGTH: n = c.integer ? 10 : 255; break;
    case SQL_DESC_NULLABLE: n = SQL_NULLABLE; break;
    case SQL_DESC_UNSIGNED:
    case SQL_DESC_AUTO_UNIQUE_VALUE: n = SQL_FALSE; break;
    default: break;
    }
    if (number)
        *number = n;
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT handle, SQLSMALLINT orientation, SQLLEN offset)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (!s->open)
        return fail(s, "24000", "Invalid cursor state");
    if (orientation != SQL_FETCH_NEXT && s->cursorType == SQL_CURSOR_FORWARD_ONLY)
        return fail(s, "HY106", "Fetch type out of range");
    long target = s->current;
    switch (orientation) {
    case SQL_FETCH_NEXT: target = s->current + 1; break;
    case SQL_FETCH_PRIOR: target = s->current - 1; break;
    case SQL_FETCH_FIRST: target = 0; break;
    case SQL_FETCH_LAST: target = long(s->rows.size()) - 1; break;
    case SQL_FETCH_ABSOLUTE: target = long(offset) - 1; break;
    case SQL_FETCH_RELATIVE: target = s->current + long(offset); break;
    default: return fail(s, "HY106", "Fetch type out of range");
    }
    s->dataColumn = -1;
    if (target < 0 || target >= long(s->rows.size())) {
        s->current = target < 0 ? -1 : long(s->rows.size());
        return SQL_NO_DATA;
    }
    s->current = target;
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLFetch(SQLHSTMT handle)
{
    return SQLFetchScroll(handle, SQL_FETCH_NEXT, 0);
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetData(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer,
                                         SQLLEN bytes, SQLLEN *indicator)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (!s->open || s->current < 0 || s->current >= long(s->rows.size()))
        return fail(s, "24000", "Invalid cursor state");
    if (column < 1 || column > s->columns.size())
        return fail(s, "07009", "Invalid descriptor index");
    const std::vector<Value> &row = s->rows[size_t(s->current)];
    const Value value = column <= row.size() ? row[column - 1] : Value();
    if (s->dataColumn != int(column)) {
        s->dataColumn = int(column);
        s->dataOffset = 0;
        s->dataDone = false;
    }
    if (!value) {
        if (indicator)
            *indicator = SQL_NULL_DATA;
        return SQL_SUCCESS;
    }
    switch (cType) {
    case SQL_C_WCHAR:
    case SQL_C_CHAR: {
        if (s->dataDone)
            return SQL_NO_DATA;
        std::string bytesOf;
        size_t unit = 1;
        if (cType == SQL_C_WCHAR) {
            const std::u16string w = toWide(*value);
            bytesOf.assign(reinterpret_cast<const char *>(w.data()), w.size() * sizeof(char16_t));
            unit = sizeof(SQLWCHAR);
        } else {
            bytesOf = *value;
        }
        const size_t remaining = bytesOf.size() - s->dataOffset;
        if (indicator)
            *indicator = SQLLEN(remaining);
        if (!buffer || bytes <= 0)
            return info(s, "01004", "String data, right truncated");
        const size_t room = (size_t(bytes) / unit - 1) * unit;
        const size_t n = std::min(room, remaining);
        std::memcpy(buffer, bytesOf.data() + s->dataOffset, n);
        std::memset(static_cast<char *>(buffer) + n, 0, unit);
        s->dataOffset += n;
        if (n < remaining)
            return info(s, "01004", "String data, right truncated");
        s->dataDone = true;
        return SQL_SUCCESS;
    }
    case SQL_C_SLONG:
    case SQL_C_LONG:
    case SQL_C_ULONG:
        if (buffer)
            *static_cast<SQLINTEGER *>(buffer) = SQLINTEGER(std::strtol(value->c_str(), nullptr, 10));
        if (indicator)
            *indicator = sizeof(SQLINTEGER);
        return SQL_SUCCESS;
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
    case SQL_C_USHORT:
        if (buffer)
            *static_cast<SQLSMALLINT *>(buffer) = SQLSMALLINT(std::strtol(value->c_str(), nullptr, 10));
        if (indicator)
            *indicator = sizeof(SQLSMALLINT);
        return SQL_SUCCESS;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
        if (buffer)
            *static_cast<SQLBIGINT *>(buffer) = SQLBIGINT(std::strtoll(value->c_str(), nullptr, 10));
        if (indicator)
            *indicator = sizeof(SQLBIGINT);
        return SQL_SUCCESS;
    case SQL_C_DOUBLE:
        if (buffer)
            *static_cast<SQLDOUBLE *>(buffer) = std::strtod(value->c_str(), nullptr);
        if (indicator)
            *indicator = sizeof(SQLDOUBLE);
        return SQL_SUCCESS;
    default: break;
    }
    logDbc(s->dbc, "getdata-unknown ctype=" + std::to_string(cType));
    return fail(s, "HY003", "Invalid application buffer type");
}

FAKE_EXPORT SQLRETURN SQL_API SQLRowCount(SQLHSTMT handle, SQLLEN *count)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (count)
        *count = s->rowCount;
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLMoreResults(SQLHSTMT handle)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    s->open = false;
    return SQL_NO_DATA;
}

FAKE_EXPORT SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT handle)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    s->open = false;
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLCancel(SQLHSTMT handle)
{
    return as<Stmt>(handle, Kind::Stmt) ? SQL_SUCCESS : SQL_INVALID_HANDLE;
}

FAKE_EXPORT SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT handle, SQLUSMALLINT option)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    if (!s)
        return SQL_INVALID_HANDLE;
    if (option == SQL_DROP) {
        delete s;
        return SQL_SUCCESS;
    }
    if (option == SQL_CLOSE)
        s->open = false;
    if (option == SQL_RESET_PARAMS)
        s->params.clear();
    return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion)
{
    Handle *h = anyHandle(type, handle);
    if (!h)
        return SQL_INVALID_HANDLE;
    if (h->kind == Kind::Dbc)
        logDbc(static_cast<Dbc *>(h), std::string("endtran ") + (completion == SQL_COMMIT ? "commit" : "rollback"));
    return SQL_SUCCESS;
}

// Catalog functions: an empty answer (the installer reads its catalog with statements).
FAKE_EXPORT SQLRETURN SQL_API SQLTablesW(SQLHSTMT handle, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                                         SQLWCHAR *, SQLSMALLINT)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    return s ? fail(s, "HYC00", "Catalog functions are not supported") : SQL_INVALID_HANDLE;
}

FAKE_EXPORT SQLRETURN SQL_API SQLColumnsW(SQLHSTMT handle, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                                          SQLWCHAR *, SQLSMALLINT)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    return s ? fail(s, "HYC00", "Catalog functions are not supported") : SQL_INVALID_HANDLE;
}

FAKE_EXPORT SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT handle, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    return s ? fail(s, "HYC00", "Catalog functions are not supported") : SQL_INVALID_HANDLE;
}

FAKE_EXPORT SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT handle, SQLUSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                                                 SQLWCHAR *, SQLSMALLINT, SQLUSMALLINT, SQLUSMALLINT)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    return s ? fail(s, "HYC00", "Catalog functions are not supported") : SQL_INVALID_HANDLE;
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT handle, SQLSMALLINT)
{
    Stmt *s = as<Stmt>(handle, Kind::Stmt);
    return s ? fail(s, "HYC00", "Type information is not supported") : SQL_INVALID_HANDLE;
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLWCHAR *state,
                                             SQLINTEGER *native, SQLWCHAR *message, SQLSMALLINT capacity, SQLSMALLINT *length)
{
    Handle *h = anyHandle(type, handle);
    if (!h)
        return SQL_INVALID_HANDLE;
    if (record < 1)
        return SQL_ERROR;
    if (size_t(record) > h->diags.size())
        return SQL_NO_DATA;
    const Diag &d = h->diags[size_t(record) - 1];
    if (state)
        putWideChars(d.state, state, 6, nullptr);
    if (native)
        *native = SQLINTEGER(d.native);
    return putWideChars(d.message, message, capacity, length);
}

FAKE_EXPORT SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                               SQLPOINTER value, SQLSMALLINT bytes, SQLSMALLINT *length)
{
    Handle *h = anyHandle(type, handle);
    if (!h)
        return SQL_INVALID_HANDLE;
    switch (field) {
    case SQL_DIAG_NUMBER:
        if (value)
            *static_cast<SQLINTEGER *>(value) = SQLINTEGER(h->diags.size());
        return SQL_SUCCESS;
    case SQL_DIAG_RETURNCODE:
        if (value)
            *static_cast<SQLRETURN *>(value) = h->diags.empty() ? SQL_SUCCESS : SQL_ERROR;
        return SQL_SUCCESS;
    case SQL_DIAG_ROW_COUNT:
    case SQL_DIAG_CURSOR_ROW_COUNT:
        if (value)
            *static_cast<SQLLEN *>(value) = h->kind == Kind::Stmt ? static_cast<Stmt *>(h)->rowCount : 0;
        return SQL_SUCCESS;
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE:
        if (value)
            *static_cast<SQLINTEGER *>(value) = 0;
        return SQL_SUCCESS;
    case SQL_DIAG_DYNAMIC_FUNCTION: return stringInfo("", value, bytes, length);
    default: break;
    }
    if (record < 1)
        return SQL_ERROR;
    if (size_t(record) > h->diags.size())
        return SQL_NO_DATA;
    const Diag &d = h->diags[size_t(record) - 1];
    switch (field) {
    case SQL_DIAG_SQLSTATE: return stringInfo(d.state, value, bytes, length);
    case SQL_DIAG_MESSAGE_TEXT: return stringInfo(d.message, value, bytes, length);
    case SQL_DIAG_CLASS_ORIGIN:
    case SQL_DIAG_SUBCLASS_ORIGIN: return stringInfo(d.state.rfind("IM", 0) == 0 ? "ODBC 3.0" : "ISO 9075", value, bytes, length);
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME: return stringInfo("", value, bytes, length);
    case SQL_DIAG_NATIVE:
        if (value)
            *static_cast<SQLINTEGER *>(value) = SQLINTEGER(d.native);
        return SQL_SUCCESS;
    case SQL_DIAG_ROW_NUMBER:
        if (value)
            *static_cast<SQLLEN *>(value) = SQL_NO_ROW_NUMBER;
        return SQL_SUCCESS;
    case SQL_DIAG_COLUMN_NUMBER:
        if (value)
            *static_cast<SQLINTEGER *>(value) = SQL_NO_COLUMN_NUMBER;
        return SQL_SUCCESS;
    default: break;
    }
    return SQL_ERROR;
}

}  // extern "C"
