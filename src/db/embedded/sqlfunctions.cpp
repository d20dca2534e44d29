#include "db/embedded/sqlfunctions.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QString>

#include <sqlite3.h>

#include <cmath>

namespace tivra::embedded {

namespace {

QString argText(sqlite3_value *v)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return text ? QString::fromUtf8(text, sqlite3_value_bytes(v)) : QString();
}

void resultText(sqlite3_context *ctx, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool isNull(sqlite3_value *v)
{
    return sqlite3_value_type(v) == SQLITE_NULL;
}

// NVL(a, b), ISNULL(a, b), VALUE(a, b, ...): the first argument that is not NULL.
void fnCoalesce(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (!isNull(argv[i])) {
            sqlite3_result_value(ctx, argv[i]);
            return;
        }
    }
    sqlite3_result_null(ctx);
}

// NVL2(a, b, c): b when a is not NULL, otherwise c.
void fnNvl2(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_value(ctx, isNull(argv[0]) ? argv[2] : argv[1]);
}

// DECODE(expr, search1, result1, ..., [default]); NULL matches NULL as in Oracle.
void fnDecode(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc < 3) {
        sqlite3_result_error(ctx, "DECODE needs at least three arguments", -1);
        return;
    }
    sqlite3_value *expr = argv[0];
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        sqlite3_value *search = argv[i];
        bool match = false;
        if (isNull(expr) || isNull(search)) {
            match = isNull(expr) && isNull(search);
        } else if (sqlite3_value_numeric_type(expr) != SQLITE_TEXT && sqlite3_value_numeric_type(search) != SQLITE_TEXT &&
                   sqlite3_value_type(expr) != SQLITE_TEXT && sqlite3_value_type(search) != SQLITE_TEXT) {
            match = sqlite3_value_double(expr) == sqlite3_value_double(search);
        } else {
            match = argText(expr) == argText(search);
        }
        if (match) {
            sqlite3_result_value(ctx, argv[i + 1]);
            return;
        }
    }
    if (i < argc)
        sqlite3_result_value(ctx, argv[i]);
    else
        sqlite3_result_null(ctx);
}

// LEN(text): length without trailing blanks (SQL Server).
void fnLen(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    QString text = argText(argv[0]);
    while (!text.isEmpty() && text.back() == QLatin1Char(' '))
        text.chop(1);
    sqlite3_result_int64(ctx, text.size());
}

// CONCAT(a, b, ...): NULLs count as empty text.
void fnConcat(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    QString result;
    for (int i = 0; i < argc; ++i)
        result += argText(argv[i]);
    resultText(ctx, result);
}

void fnUpper(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (isNull(argv[0]))
        sqlite3_result_null(ctx);
    else
        resultText(ctx, argText(argv[0]).toUpper());
}

void fnLower(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (isNull(argv[0]))
        sqlite3_result_null(ctx);
    else
        resultText(ctx, argText(argv[0]).toLower());
}

// LEFT(text, n) and RIGHT(text, n).
void fnLeft(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (isNull(argv[0]) || isNull(argv[1]))
        sqlite3_result_null(ctx);
    else
        resultText(ctx, argText(argv[0]).left(qMax(0, sqlite3_value_int(argv[1]))));
}

void fnRight(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (isNull(argv[0]) || isNull(argv[1]))
        sqlite3_result_null(ctx);
    else
        resultText(ctx, argText(argv[0]).right(qMax(0, sqlite3_value_int(argv[1]))));
}

// LPAD / RPAD(text, n[, fill]).
void pad(sqlite3_context *ctx, int argc, sqlite3_value **argv, bool left)
{
    if (isNull(argv[0]) || isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString text = argText(argv[0]);
    const int width = qMax(0, sqlite3_value_int(argv[1]));
    const QString fill = argc > 2 ? argText(argv[2]) : QStringLiteral(" ");
    if (text.size() >= width || fill.isEmpty()) {
        resultText(ctx, text.left(width));
        return;
    }
    QString padding;
    while (padding.size() < width - text.size())
        padding += fill;
    padding.truncate(width - text.size());
    resultText(ctx, left ? padding + text : text + padding);
}
void fnLpad(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    pad(ctx, argc, argv, true);
}
void fnRpad(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    pad(ctx, argc, argv, false);
}

void fnMod(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_numeric_type(argv[1]) == SQLITE_INTEGER) {
        const sqlite3_int64 b = sqlite3_value_int64(argv[1]);
        sqlite3_result_int64(ctx, b == 0 ? sqlite3_value_int64(argv[0]) : sqlite3_value_int64(argv[0]) % b);
        return;
    }
    const double b = sqlite3_value_double(argv[1]);
    sqlite3_result_double(ctx, b == 0 ? sqlite3_value_double(argv[0]) : std::fmod(sqlite3_value_double(argv[0]), b));
}

// Dates are stored as text "yyyy-MM-dd hh:mm:ss" (or a date or a time alone).
QDateTime parseStored(const QString &text)
{
    const QString t = text.trimmed();
    static const char *const formats[] = {"yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-dd hh:mm:ss", "yyyy-MM-ddThh:mm:ss",
                                          "yyyy-MM-dd hh:mm", "yyyy-MM-dd"};
    for (const char *f : formats) {
        const QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    const QTime time = QTime::fromString(t, QStringLiteral("hh:mm:ss"));
    if (time.isValid())
        return QDateTime(QDate(1900, 1, 1), time);
    return {};
}

QString storedText(const QDateTime &dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// Oracle-style format models: YYYY, YY, MM, MON, DD, HH24, HH12, HH, MI, SS, D; other characters
// are copied (text in double quotes literally).
struct FormatPart {
    QString token;  // empty: literal
    QString literal;
};

std::vector<FormatPart> parseFormat(const QString &format)
{
    static const char *const tokens[] = {"YYYY", "HH24", "HH12", "MON", "YY", "MM", "DD", "HH", "MI", "SS", "D"};
    std::vector<FormatPart> parts;
    qsizetype i = 0;
    while (i < format.size()) {
        if (format.at(i) == QLatin1Char('"')) {
            const qsizetype end = format.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype stop = end < 0 ? format.size() : end;
            parts.push_back({QString(), format.mid(i + 1, stop - i - 1)});
            i = stop + 1;
            continue;
        }
        bool matched = false;
        for (const char *token : tokens) {
            const QLatin1String t(token);
            if (QStringView(format).mid(i).startsWith(t, Qt::CaseInsensitive)) {
                parts.push_back({QString(t), QString()});
                i += t.size();
                matched = true;
                break;
            }
        }
        if (!matched)
            parts.push_back({QString(), QString(format.at(i++))});
    }
    return parts;
}

QString formatDate(const QDateTime &dt, const QString &format)
{
    static const char *const months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    QString out;
    for (const FormatPart &p : parseFormat(format)) {
        if (p.token.isEmpty())
            out += p.literal;
        else if (p.token == QLatin1String("YYYY"))
            out += QStringLiteral("%1").arg(dt.date().year(), 4, 10, QLatin1Char('0'));
        else if (p.token == QLatin1String("YY"))
            out += QStringLiteral("%1").arg(dt.date().year() % 100, 2, 10, QLatin1Char('0'));
        else if (p.token == QLatin1String("MM"))
            out += QStringLiteral("%1").arg(dt.date().month(), 2, 10, QLatin1Char('0'));
        else if (p.token == QLatin1String("MON"))
            out += QLatin1String(months[dt.date().month() - 1]);
        else if (p.token == QLatin1String("DD"))
            out += QStringLiteral("%1").arg(dt.date().day(), 2, 10, QLatin1Char('0'));
        else if (p.token == QLatin1String("D"))
            out += QString::number(dt.date().dayOfWeek() % 7 + 1);
        else if (p.token == QLatin1String("HH24"))
            out += QStringLiteral("%1").arg(dt.time().hour(), 2, 10, QLatin1Char('0'));
        else if (p.token == QLatin1String("HH12") || p.token == QLatin1String("HH"))
            out += QStringLiteral("%1").arg((dt.time().hour() + 11) % 12 + 1, 2, 10, QLatin1Char('0'));
        else if (p.token == QLatin1String("MI"))
            out += QStringLiteral("%1").arg(dt.time().minute(), 2, 10, QLatin1Char('0'));
        else if (p.token == QLatin1String("SS"))
            out += QStringLiteral("%1").arg(dt.time().second(), 2, 10, QLatin1Char('0'));
    }
    return out;
}

bool parseDate(const QString &text, const QString &format, QDateTime *result)
{
    int year = 1900, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    qsizetype i = 0;
    auto number = [&](int maxDigits, int *value) {
        qsizetype j = i;
        while (j < text.size() && j - i < maxDigits && text.at(j).isDigit())
            ++j;
        if (j == i)
            return false;
        *value = text.mid(i, j - i).toInt();
        i = j;
        return true;
    };
    for (const FormatPart &p : parseFormat(format)) {
        bool ok = true;
        if (p.token.isEmpty()) {
            i += p.literal.size();
        } else if (p.token == QLatin1String("YYYY")) {
            ok = number(4, &year);
        } else if (p.token == QLatin1String("YY")) {
            ok = number(2, &year);
            year += year < 50 ? 2000 : 1900;
        } else if (p.token == QLatin1String("MM")) {
            ok = number(2, &month);
        } else if (p.token == QLatin1String("DD")) {
            ok = number(2, &day);
        } else if (p.token.startsWith(QLatin1String("HH"))) {
            ok = number(2, &hour);
        } else if (p.token == QLatin1String("MI")) {
            ok = number(2, &minute);
        } else if (p.token == QLatin1String("SS")) {
            ok = number(2, &second);
        } else {
            ok = false;
        }
        if (!ok)
            return false;
    }
    *result = QDateTime(QDate(year, month, day), QTime(hour, minute, second));
    return result->isValid();
}

// TO_CHAR(value[, format]).
void fnToChar(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (argc < 2 || sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        resultText(ctx, argText(argv[0]));
        return;
    }
    const QDateTime dt = parseStored(argText(argv[0]));
    if (!dt.isValid()) {
        resultText(ctx, argText(argv[0]));
        return;
    }
    resultText(ctx, formatDate(dt, argText(argv[1])));
}

// TO_DATE(text[, format]) gives the stored form "yyyy-MM-dd hh:mm:ss".
void fnToDate(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    QDateTime dt;
    const QString text = argText(argv[0]);
    const bool ok = argc > 1 ? parseDate(text, argText(argv[1]), &dt) : (dt = parseStored(text)).isValid();
    if (!ok) {
        const QByteArray message = QStringLiteral("date \"%1\" does not match the format").arg(text).toUtf8();
        sqlite3_result_error(ctx, message.constData(), int(message.size()));
        return;
    }
    resultText(ctx, storedText(dt));
}

void fnToNumber(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString text = argText(argv[0]).trimmed();
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (ok) {
        sqlite3_result_int64(ctx, n);
        return;
    }
    const double d = text.toDouble(&ok);
    if (ok) {
        sqlite3_result_double(ctx, d);
        return;
    }
    sqlite3_result_error(ctx, "TIVRA_EMU_INVALID_NUMBER", -1);
}

// TRUNC(number[, digits]) or TRUNC(date): a date loses its time.
void fnTrunc(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        const QDateTime dt = parseStored(argText(argv[0]));
        if (dt.isValid()) {
            resultText(ctx, storedText(QDateTime(dt.date(), QTime(0, 0))));
            return;
        }
    }
    const int digits = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
    const double scale = std::pow(10.0, digits);
    const double value = std::trunc(sqlite3_value_double(argv[0]) * scale) / scale;
    if (digits <= 0)
        sqlite3_result_int64(ctx, sqlite3_int64(value));
    else
        sqlite3_result_double(ctx, value);
}

void fnGetDate(sqlite3_context *ctx, int, sqlite3_value **)
{
    resultText(ctx, storedText(QDateTime::currentDateTime()));
}

void datePart(sqlite3_context *ctx, sqlite3_value **argv, int which)
{
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    const QDateTime dt = parseStored(argText(argv[0]));
    if (!dt.isValid()) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, which == 0 ? dt.date().year() : which == 1 ? dt.date().month() : dt.date().day());
}
void fnYear(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    datePart(ctx, argv, 0);
}
void fnMonth(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    datePart(ctx, argv, 1);
}
void fnDay(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    datePart(ctx, argv, 2);
}

// Sequences live in TIVRA_EMU_SEQUENCES: the next value is START_VALUE first, then LAST_VALUE +
// INCREMENT.
void fnNextval(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3 *db = sqlite3_context_db_handle(ctx);
    const QByteArray name = argText(argv[0]).toUpper().toUtf8();
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "UPDATE main.TIVRA_EMU_SEQUENCES SET LAST_VALUE = CASE WHEN LAST_VALUE IS NULL THEN START_VALUE "
                       "ELSE LAST_VALUE + INCREMENT END WHERE NAME = ?1 RETURNING LAST_VALUE",
                       -1, &stmt, nullptr);
    if (!stmt) {
        sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
        return;
    }
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        const sqlite3_int64 value = sqlite3_column_int64(stmt, 0);
        sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        sqlite3_result_int64(ctx, value);
        return;
    }
    QByteArray message;
    if (rc == SQLITE_DONE)
        message = QByteArray(kSequenceMissing) + name;
    else
        message = QByteArray(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    sqlite3_result_error(ctx, message.constData(), int(message.size()));
}

void fnCurrval(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3 *db = sqlite3_context_db_handle(ctx);
    const QByteArray name = argText(argv[0]).toUpper().toUtf8();
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT LAST_VALUE FROM main.TIVRA_EMU_SEQUENCES WHERE NAME = ?1", -1, &stmt, nullptr);
    if (!stmt) {
        sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
        return;
    }
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL) {
        const sqlite3_int64 value = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        sqlite3_result_int64(ctx, value);
        return;
    }
    const QByteArray message = QByteArray(rc == SQLITE_ROW ? kSequenceNotDefined : kSequenceMissing) + name;
    sqlite3_finalize(stmt);
    sqlite3_result_error(ctx, message.constData(), int(message.size()));
}

// tivra_rownum(site): Oracle's ROWNUM at one place of a statement; counts the rows it is
// evaluated for, from 1, separately per place and per execution of the statement.
void fnRownum(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *counter = static_cast<sqlite3_int64 *>(sqlite3_get_auxdata(ctx, 0));
    if (!counter) {
        counter = static_cast<sqlite3_int64 *>(sqlite3_malloc(sizeof(sqlite3_int64)));
        if (!counter) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
        *counter = 0;
        sqlite3_set_auxdata(ctx, 0, counter, sqlite3_free);
        // set_auxdata may have freed it already when the argument is not a constant.
        counter = static_cast<sqlite3_int64 *>(sqlite3_get_auxdata(ctx, 0));
        if (!counter) {
            sqlite3_result_int64(ctx, 1);
            return;
        }
    }
    sqlite3_result_int64(ctx, ++*counter);
    (void)argv;
}

void fnColumnType(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const auto vendor = static_cast<Vendor>(reinterpret_cast<quintptr>(sqlite3_user_data(ctx)));
    const QString part = argText(argv[1]);
    const QString value = columnTypePart(vendor, argText(argv[0]), part.isEmpty() ? QLatin1Char('T') : part.at(0));
    if (value.isEmpty()) {
        sqlite3_result_null(ctx);
        return;
    }
    bool ok = false;
    const qint64 n = value.toLongLong(&ok);
    if (ok && part != QLatin1String("T"))
        sqlite3_result_int64(ctx, n);
    else
        resultText(ctx, value);
}

struct Definition {
    const char *name;
    int args;
    void (*fn)(sqlite3_context *, int, sqlite3_value **);
    bool deterministic;
};

}  // namespace

QString columnTypePart(Vendor vendor, const QString &declared, QChar part)
{
    static const QRegularExpression shape(QStringLiteral(R"(^\s*([A-Za-z_][A-Za-z0-9_ ]*?)\s*(?:\(\s*(\d+)\s*(?:(?:CHAR|BYTE)\s*)?(?:,\s*(-?\d+)\s*)?\))?\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = shape.match(declared);
    QString base = m.hasMatch() ? m.captured(1).toUpper().simplified() : declared.toUpper().simplified();
    const QString size = m.hasMatch() ? m.captured(2) : QString();
    const QString scale = m.hasMatch() ? m.captured(3) : QString();
    QString type = base;
    QString length = size;
    QString precision;
    QString digits = scale;
    const bool integerType = base == QLatin1String("INTEGER") || base == QLatin1String("INT") ||
                             base == QLatin1String("SMALLINT") || base == QLatin1String("BIGINT");
    switch (vendor) {
    case Vendor::Oracle:
        if (base == QLatin1String("VARCHAR") || base == QLatin1String("VARCHAR2") || base == QLatin1String("NVARCHAR2")) {
            type = base == QLatin1String("NVARCHAR2") ? base : QStringLiteral("VARCHAR2");
        } else if (base == QLatin1String("CHAR") || base == QLatin1String("CHARACTER")) {
            type = QStringLiteral("CHAR");
            if (length.isEmpty())
                length = QStringLiteral("1");
        } else if (integerType) {
            type = QStringLiteral("NUMBER");
            length = QStringLiteral("22");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("NUMBER") || base == QLatin1String("NUMERIC") || base == QLatin1String("DECIMAL")) {
            type = QStringLiteral("NUMBER");
            precision = size;
            length = QStringLiteral("22");
            if (!size.isEmpty() && digits.isEmpty())
                digits = QStringLiteral("0");
        } else if (base == QLatin1String("DATE")) {
            length = QStringLiteral("7");
        } else if (base == QLatin1String("TIMESTAMP")) {
            type = QStringLiteral("TIMESTAMP(%1)").arg(size.isEmpty() ? QStringLiteral("6") : size);
            length = QStringLiteral("11");
            digits = size.isEmpty() ? QStringLiteral("6") : size;
        } else if (base == QLatin1String("CLOB") || base == QLatin1String("BLOB") || base == QLatin1String("NCLOB")) {
            length = QStringLiteral("4000");
        } else if (base == QLatin1String("FLOAT") || base == QLatin1String("DOUBLE") || base == QLatin1String("REAL") ||
                   base == QLatin1String("DOUBLE PRECISION")) {
            type = QStringLiteral("FLOAT");
            length = QStringLiteral("22");
        }
        break;
    case Vendor::DB2:
        if (base == QLatin1String("INT") || base == QLatin1String("INTEGER")) {
            type = QStringLiteral("INTEGER");
            length = QStringLiteral("4");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("SMALLINT")) {
            length = QStringLiteral("2");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("BIGINT")) {
            length = QStringLiteral("8");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("VARCHAR2") || base == QLatin1String("VARCHAR")) {
            type = QStringLiteral("VARCHAR");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("CHAR") || base == QLatin1String("CHARACTER")) {
            type = QStringLiteral("CHARACTER");
            if (length.isEmpty())
                length = QStringLiteral("1");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("NUMBER") || base == QLatin1String("NUMERIC") || base == QLatin1String("DECIMAL") ||
                   base == QLatin1String("DEC")) {
            type = QStringLiteral("DECIMAL");
            if (length.isEmpty())
                length = QStringLiteral("5");
            if (digits.isEmpty())
                digits = QStringLiteral("0");
        } else if (base == QLatin1String("DATE")) {
            length = QStringLiteral("4");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("TIME")) {
            length = QStringLiteral("3");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("TIMESTAMP")) {
            length = QStringLiteral("10");
            digits = size.isEmpty() ? QStringLiteral("6") : size;
        } else if (base == QLatin1String("DOUBLE") || base == QLatin1String("FLOAT") || base == QLatin1String("DOUBLE PRECISION")) {
            type = QStringLiteral("DOUBLE");
            length = QStringLiteral("8");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("REAL")) {
            length = QStringLiteral("4");
            digits = QStringLiteral("0");
        } else if (base == QLatin1String("CLOB") || base == QLatin1String("BLOB")) {
            if (length.isEmpty())
                length = QStringLiteral("1048576");
            digits = QStringLiteral("0");
        } else if (digits.isEmpty()) {
            digits = QStringLiteral("0");
        }
        break;
    case Vendor::MSSQL:
        type = base.toLower();
        if (type == QLatin1String("integer"))
            type = QStringLiteral("int");
        else if (type == QLatin1String("number"))
            type = QStringLiteral("numeric");
        else if (type == QLatin1String("varchar2"))
            type = QStringLiteral("varchar");
        if (type == QLatin1String("numeric") || type == QLatin1String("decimal")) {
            precision = size;
            length.clear();
        }
        break;
    case Vendor::None: break;
    }
    switch (part.unicode()) {
    case 'T': return type;
    case 'L': return length;
    case 'P': return precision;
    case 'S': return digits;
    default: return {};
    }
}

bool registerFunctions(sqlite3 *db, Vendor vendor)
{
    static const Definition definitions[] = {
        {"NVL", 2, fnCoalesce, true},        {"tivra_isnull", 2, fnCoalesce, true}, {"VALUE", -1, fnCoalesce, true},
        {"NVL2", 3, fnNvl2, true},           {"DECODE", -1, fnDecode, true},        {"LEN", 1, fnLen, true},
        {"CONCAT", -1, fnConcat, true},      {"UCASE", 1, fnUpper, true},           {"LCASE", 1, fnLower, true},
        {"tivra_left", 2, fnLeft, true},     {"tivra_right", 2, fnRight, true},     {"LPAD", 2, fnLpad, true},
        {"LPAD", 3, fnLpad, true},           {"RPAD", 2, fnRpad, true},             {"RPAD", 3, fnRpad, true},
        {"MOD", 2, fnMod, true},             {"TO_CHAR", 1, fnToChar, true},        {"TO_CHAR", 2, fnToChar, true},
        {"TO_DATE", 1, fnToDate, true},      {"TO_DATE", 2, fnToDate, true},        {"TO_NUMBER", 1, fnToNumber, true},
        {"TRUNC", 1, fnTrunc, true},         {"TRUNC", 2, fnTrunc, true},           {"GETDATE", 0, fnGetDate, false},
        {"YEAR", 1, fnYear, true},           {"MONTH", 1, fnMonth, true},           {"DAY", 1, fnDay, true},
        {"tivra_nextval", 1, fnNextval, false}, {"tivra_currval", 1, fnCurrval, false}, {"tivra_rownum", 1, fnRownum, false},
    };
    for (const Definition &d : definitions) {
        const int flags = SQLITE_UTF8 | (d.deterministic ? SQLITE_DETERMINISTIC : 0);
        if (sqlite3_create_function_v2(db, d.name, d.args, flags, nullptr, d.fn, nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
    }
    void *vendorData = reinterpret_cast<void *>(quintptr(vendor));
    return sqlite3_create_function_v2(db, "tivra_coltype", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, vendorData, fnColumnType,
                                      nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace tivra::embedded
