#include "db/embedded/dialect.h"

#include <sqlite3.h>

#include <QSet>

namespace tivra::embedded {

namespace {

const QString kNow = QStringLiteral("(datetime('now','localtime'))");
const QString kToday = QStringLiteral("(date('now','localtime'))");
const QString kTime = QStringLiteral("(time('now','localtime'))");
const QString kTimestamp = QStringLiteral("(strftime('%Y-%m-%d %H:%M:%f','now','localtime'))");

bool isSqliteKeyword(const QString &word)
{
    const QByteArray utf8 = word.toUtf8();
    return sqlite3_keyword_check(utf8.constData(), int(utf8.size())) != 0;
}

class Rewriter {
public:
    Rewriter(Tokens &tokens, DialectContext &context) : t(tokens), ctx(context)
    {
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i].significant())
                sig.push_back(i);
        }
        match.assign(sig.size(), -1);
        std::vector<int> stack;
        for (int i = 0; i < int(sig.size()); ++i) {
            if (at(i).isPunct("("))
                stack.push_back(i);
            else if (at(i).isPunct(")") && !stack.empty()) {
                match[size_t(stack.back())] = i;
                stack.pop_back();
            }
        }
    }

    void run()
    {
        tokenPass();
        levelPass(0, int(sig.size()));
    }

private:
    Token &at(int i) { return t[sig[size_t(i)]]; }
    bool valid(int i) const { return i >= 0 && i < int(sig.size()); }
    bool word(int i, const char *w) { return valid(i) && at(i).is(w); }
    bool punct(int i, const char *p) { return valid(i) && at(i).isPunct(p); }
    void erase(int i) { at(i).text.clear(); }

    static QString sequenceCall(const QString &function, const Token &name)
    {
        return function + QStringLiteral("(") + quoteText(nameOf(name)) + QStringLiteral(")");
    }

    bool tablePosition(int i)
    {
        if (!valid(i - 1))
            return false;
        static const QSet<QString> before = {QStringLiteral("FROM"),  QStringLiteral("JOIN"),       QStringLiteral("INTO"),
                                             QStringLiteral("UPDATE"), QStringLiteral("TABLE"),     QStringLiteral("ON"),
                                             QStringLiteral("REFERENCES"), QStringLiteral("INDEX"), QStringLiteral("VIEW"),
                                             QStringLiteral("SEQUENCE"), QStringLiteral(",")};
        const Token &p = at(i - 1);
        return (p.kind == Token::Word || p.kind == Token::Punct) && before.contains(p.upper);
    }

    void tokenPass()
    {
        const int n = int(sig.size());
        for (int i = 0; i < n; ++i) {
            Token &tok = at(i);
            if (tok.kind != Token::Word || tok.text.isEmpty())
                continue;
            const bool afterDot = punct(i - 1, ".");
            const bool beforeParen = punct(i + 1, "(");
            const QString &u = tok.upper;

            // schema.name: catalog schemas become one name; the user's own schema goes.
            if (punct(i + 1, ".") && valid(i + 2) && at(i + 2).isName() && !afterDot) {
                const Token &next = at(i + 2);
                if (next.is("NEXTVAL") || next.is("CURRVAL")) {
                    tok.text = sequenceCall(next.is("NEXTVAL") ? QStringLiteral("tivra_nextval") : QStringLiteral("tivra_currval"), tok);
                    erase(i + 1);
                    erase(i + 2);
                    i += 2;
                    continue;
                }
                if (valid(i + 4) && punct(i + 3, ".") && (at(i + 4).is("NEXTVAL") || at(i + 4).is("CURRVAL"))) {
                    tok.text = sequenceCall(at(i + 4).is("NEXTVAL") ? QStringLiteral("tivra_nextval") : QStringLiteral("tivra_currval"),
                                            at(i + 2));
                    for (int k = 1; k <= 4; ++k)
                        erase(i + k);
                    i += 4;
                    continue;
                }
                const bool catalog = u == QLatin1String("SYSCAT") || u == QLatin1String("SYSIBM") ||
                                     u == QLatin1String("SYSSTAT") || u == QLatin1String("INFORMATION_SCHEMA");
                const bool mssqlSchema = ctx.vendor == Vendor::MSSQL && (u == QLatin1String("SYS")) && tablePosition(i);
                if (catalog || mssqlSchema) {
                    tok.text = u + QLatin1Char('_') + nameOf(next).toUpper();
                    erase(i + 1);
                    erase(i + 2);
                    i += 2;
                    continue;
                }
                const bool ownSchema = (!ctx.schema.isEmpty() && u == ctx.schema) ||
                                       (ctx.vendor == Vendor::MSSQL && u == QLatin1String("DBO"));
                if (ownSchema && tablePosition(i)) {
                    erase(i);
                    erase(i + 1);
                    continue;
                }
            }
            // alias.keyword: SQLite needs the keyword quoted (c.default).
            if (afterDot) {
                if (isSqliteKeyword(tok.text))
                    tok.text = quoteName(u);
                continue;
            }
            if (u == QLatin1String("SYSDATE") && !beforeParen) {
                tok.text = kNow;
            } else if (u == QLatin1String("SYSTIMESTAMP") && !beforeParen) {
                tok.text = kTimestamp;
            } else if (u == QLatin1String("CURRENT_DATE") || u == QLatin1String("CURRENT_TIME") ||
                       u == QLatin1String("CURRENT_TIMESTAMP")) {
                tok.text = dateTimeReplacement(u);
            } else if (u == QLatin1String("CURRENT") && valid(i + 1) &&
                       (word(i + 1, "DATE") || word(i + 1, "TIME") || word(i + 1, "TIMESTAMP"))) {
                tok.text = dateTimeReplacement(QStringLiteral("CURRENT_") + at(i + 1).upper);
                erase(i + 1);
                ++i;
            } else if ((u == QLatin1String("NEXTVAL") || u == QLatin1String("PREVVAL")) && word(i + 1, "FOR") && valid(i + 2) &&
                       at(i + 2).isName()) {
                int nameAt = i + 2;
                if (punct(i + 3, ".") && valid(i + 4) && at(i + 4).isName())
                    nameAt = i + 4;
                tok.text = sequenceCall(u == QLatin1String("NEXTVAL") ? QStringLiteral("tivra_nextval") : QStringLiteral("tivra_currval"),
                                        at(nameAt));
                for (int k = i + 1; k <= nameAt; ++k)
                    erase(k);
                i = nameAt;
            } else if ((u == QLatin1String("NEXT") || u == QLatin1String("PREVIOUS")) && word(i + 1, "VALUE") && word(i + 2, "FOR") &&
                       valid(i + 3) && at(i + 3).isName()) {
                int nameAt = i + 3;
                if (punct(i + 4, ".") && valid(i + 5) && at(i + 5).isName())
                    nameAt = i + 5;
                tok.text = sequenceCall(u == QLatin1String("NEXT") ? QStringLiteral("tivra_nextval") : QStringLiteral("tivra_currval"),
                                        at(nameAt));
                for (int k = i + 1; k <= nameAt; ++k)
                    erase(k);
                i = nameAt;
            } else if (beforeParen && u == QLatin1String("ISNULL")) {
                tok.text = QStringLiteral("tivra_isnull");
            } else if (beforeParen && u == QLatin1String("LEFT")) {
                tok.text = QStringLiteral("tivra_left");
            } else if (beforeParen && u == QLatin1String("RIGHT")) {
                tok.text = QStringLiteral("tivra_right");
            } else if (u == QLatin1String("MINUS")) {
                tok.text = QStringLiteral("EXCEPT");
            }
        }
    }

    // One parenthesis level [begin, end) of significant positions.
    void levelPass(int begin, int end)
    {
        std::vector<int> selects;
        std::vector<int> compounds;
        for (int i = begin; i < end; ++i) {
            if (punct(i, "(") && match[size_t(i)] > i) {
                levelPass(i + 1, match[size_t(i)]);
                i = match[size_t(i)];
                continue;
            }
            if (word(i, "SELECT"))
                selects.push_back(i);
            else if (word(i, "UNION") || word(i, "INTERSECT") || word(i, "EXCEPT") || word(i, "MINUS") ||
                     (at(i).kind == Token::Word && at(i).text == QLatin1String("EXCEPT")))
                compounds.push_back(i);
        }
        for (int s : selects) {
            int segmentEnd = end;
            for (int c : compounds) {
                if (c > s) {
                    segmentEnd = c;
                    break;
                }
            }
            selectPass(s, segmentEnd, !compounds.empty(), begin > 0);
        }
    }

    void selectPass(int select, int end, bool compound, bool nested)
    {
        QString limit;
        QString offset;
        bool nativeLimit = false;
        bool ordered = false;
        enum Clause { SelectList, From, Where, Other } clause = SelectList;

        int i = select + 1;
        if (word(i, "DISTINCT") || word(i, "ALL") || word(i, "UNIQUE"))
            ++i;
        if (word(i, "TOP")) {
            if (valid(i + 1) && at(i + 1).kind == Token::Number) {
                limit = at(i + 1).text;
                erase(i);
                erase(i + 1);
            } else if (punct(i + 1, "(") && match[size_t(i + 1)] > i + 1) {
                const int close = match[size_t(i + 1)];
                QString text;
                for (int k = i + 2; k < close; ++k)
                    text += at(k).text + QLatin1Char(' ');
                limit = QStringLiteral("(") + text.trimmed() + QStringLiteral(")");
                for (int k = i; k <= close; ++k)
                    erase(k);
            }
        }

        nestedJoins(select, end);
        int last = select;
        for (i = select + 1; i < end; ++i) {
            if (punct(i, "(") && match[size_t(i)] > i) {
                i = match[size_t(i)];
                last = i;
                continue;
            }
            Token &tok = at(i);
            if (tok.text.isEmpty())
                continue;
            last = i;
            if (tok.kind != Token::Word)
                continue;
            if (tok.is("FROM")) {
                clause = From;
            } else if (tok.is("WHERE")) {
                clause = Where;
            } else if (tok.is("GROUP") || tok.is("HAVING") || tok.is("ORDER")) {
                clause = Other;
                ordered = ordered || (tok.is("ORDER") && word(i + 1, "BY"));
            } else if (tok.is("LIMIT")) {
                nativeLimit = true;
            } else if (tok.is("FETCH") && (word(i + 1, "FIRST") || word(i + 1, "NEXT"))) {
                int k = i + 2;
                QString n = QStringLiteral("1");
                if (valid(k) && at(k).kind == Token::Number)
                    n = at(k++).text;
                if ((word(k, "ROW") || word(k, "ROWS")) && word(k + 1, "ONLY")) {
                    for (int e = i; e <= k + 1; ++e)
                        erase(e);
                    limit = n;
                    i = k + 1;
                }
            } else if (tok.is("OFFSET") && valid(i + 1) && at(i + 1).kind == Token::Number &&
                       (word(i + 2, "ROW") || word(i + 2, "ROWS"))) {
                offset = at(i + 1).text;
                erase(i);
                erase(i + 1);
                erase(i + 2);
                i += 2;
            } else if (tok.is("ROWNUM") && !punct(i - 1, ".")) {
                if (clause == Where && rownumCondition(i, &limit))
                    continue;
                tok.text = QStringLiteral("tivra_rownum(%1)").arg(++ctx.rownumSites);
            }
        }
        if (nativeLimit)
            return;
        if (limit.isEmpty() && offset.isEmpty()) {
            // SQLite may drop the ORDER BY of a subquery that has no LIMIT; the vendors' ROWNUM
            // and ROW_NUMBER() OVER() idioms number the rows of an ordered subquery in its order.
            if (!nested || !ordered || compound)
                return;
            limit = QStringLiteral("-1");
        }
        QString clauseText = QStringLiteral(" LIMIT ") + (limit.isEmpty() ? QStringLiteral("-1") : limit);
        if (!offset.isEmpty())
            clauseText += QStringLiteral(" OFFSET ") + offset;
        // Find the last token that still prints something.
        while (last > select && at(last).text.isEmpty())
            --last;
        if (compound) {
            at(select).text = QStringLiteral("SELECT * FROM (") + at(select).text;
            at(last).text += clauseText + QStringLiteral(")");
        } else {
            at(last).text += clauseText;
        }
    }

    // The FROM clause of a query level: joins whose ON clauses follow each other ("A JOIN B JOIN
    // C ON c1 ON c2", SQL's nested form) are written with parentheses, the form SQLite reads
    // ("A JOIN (B JOIN C ON c1) ON c2").
    void nestedJoins(int select, int end)
    {
        int from = -1;
        int stop = end;
        for (int i = select + 1; i < end; ++i) {
            if (punct(i, "(") && match[size_t(i)] > i) {
                i = match[size_t(i)];
                continue;
            }
            if (from < 0 && word(i, "FROM")) {
                from = i;
            } else if (from >= 0 && (word(i, "WHERE") || word(i, "GROUP") || word(i, "HAVING") || word(i, "ORDER") ||
                                     word(i, "LIMIT") || word(i, "FETCH") || word(i, "OFFSET") || word(i, "WINDOW"))) {
                stop = i;
                break;
            }
        }
        if (from < 0)
            return;
        struct Element {
            enum Kind { Operand, Join, On } kind;
            QString text;
        };
        std::vector<Element> elements;
        auto isJoinWord = [&](int k) {
            return word(k, "JOIN") || word(k, "INNER") || word(k, "LEFT") || word(k, "RIGHT") || word(k, "FULL") ||
                   word(k, "OUTER") || word(k, "CROSS") || word(k, "NATURAL");
        };
        auto textOf = [&](int a, int b) {
            QString text;
            for (int k = a; k < b; ++k) {
                if (!at(k).text.isEmpty())
                    text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + at(k).text;
            }
            return text;
        };
        int k = from + 1;
        while (k < stop) {
            const int start = k;
            if (isJoinWord(k) || punct(k, ",")) {
                if (punct(k, ",")) {
                    ++k;
                } else {
                    while (k < stop && !word(k, "JOIN"))
                        ++k;
                    ++k;
                }
                elements.push_back({Element::Join, textOf(start, k)});
                continue;
            }
            const bool condition = word(k, "ON") || word(k, "USING");
            ++k;
            while (k < stop && !isJoinWord(k) && !punct(k, ",") && !word(k, "ON") && !word(k, "USING")) {
                if (punct(k, "(") && match[size_t(k)] > k)
                    k = match[size_t(k)];
                ++k;
            }
            elements.push_back({condition ? Element::On : Element::Operand, textOf(start, k)});
        }
        bool nestedForm = false;
        for (size_t e = 1; e < elements.size(); ++e)
            nestedForm = nestedForm || (elements[e].kind == Element::On && elements[e - 1].kind == Element::On);
        if (!nestedForm)
            return;
        std::vector<std::pair<QString, bool>> operands;  // text, made of a join
        std::vector<QString> joins;
        auto combine = [&](const QString &condition) {
            if (operands.size() < 2 || joins.empty())
                return false;
            const auto right = operands.back();
            operands.pop_back();
            const auto left = operands.back();
            operands.pop_back();
            const QString join = joins.back();
            joins.pop_back();
            QString text = left.first + QLatin1Char(' ') + join + QLatin1Char(' ') +
                           (right.second ? QLatin1Char('(') + right.first + QLatin1Char(')') : right.first);
            if (!condition.isEmpty())
                text += QLatin1Char(' ') + condition;
            operands.emplace_back(text, true);
            return true;
        };
        for (const Element &element : elements) {
            if (element.kind == Element::Operand)
                operands.emplace_back(element.text, false);
            else if (element.kind == Element::Join)
                joins.push_back(element.text);
            else if (!combine(element.text))
                return;  // not a form this rewrite understands: SQLite reports it
        }
        while (!joins.empty()) {
            if (!combine(QString()))
                return;
        }
        if (operands.size() != 1)
            return;
        for (int e = from + 1; e < stop; ++e)
            erase(e);
        at(from).text += QLatin1Char(' ') + operands.front().first + QLatin1Char(' ');
    }

    // ROWNUM <= n, ROWNUM < n, ROWNUM = 1 (or the mirrored forms) in a WHERE clause become a true
    // condition and a LIMIT of the query level.
    bool rownumCondition(int i, QString *limit)
    {
        int numberAt = -1;
        QString op;
        if (valid(i + 2) && at(i + 1).kind == Token::Punct && at(i + 2).kind == Token::Number) {
            op = at(i + 1).text;
            numberAt = i + 2;
        } else if (valid(i - 2) && at(i - 1).kind == Token::Punct && at(i - 2).kind == Token::Number) {
            const QString mirrored = at(i - 1).text;
            op = mirrored == QLatin1String(">=") ? QStringLiteral("<=")
                 : mirrored == QLatin1String(">") ? QStringLiteral("<")
                 : mirrored == QLatin1String("=") ? QStringLiteral("=")
                                                  : QString();
            numberAt = i - 2;
        }
        if (numberAt < 0 || op.isEmpty())
            return false;
        bool ok = false;
        const qint64 n = at(numberAt).text.toLongLong(&ok);
        if (!ok)
            return false;
        qint64 rows = -1;
        if (op == QLatin1String("<="))
            rows = n;
        else if (op == QLatin1String("<"))
            rows = n - 1;
        else if (op == QLatin1String("="))
            rows = n == 1 ? 1 : 0;
        else
            return false;
        rows = qMax<qint64>(0, rows);
        const int from = qMin(i, numberAt);
        const int to = qMax(i, numberAt);
        for (int k = from; k <= to; ++k)
            erase(k);
        at(from).text = rows > 0 ? QStringLiteral("1 = 1") : QStringLiteral("1 = 0");
        bool had = false;
        const qint64 previous = limit->toLongLong(&had);
        if (!had || rows < previous)
            *limit = QString::number(rows);
        return true;
    }

    Tokens &t;
    DialectContext &ctx;
    std::vector<size_t> sig;
    std::vector<int> match;
};

}  // namespace

QString dateTimeReplacement(const QString &upperWord)
{
    if (upperWord == QLatin1String("CURRENT_DATE"))
        return kToday;
    if (upperWord == QLatin1String("CURRENT_TIME"))
        return kTime;
    if (upperWord == QLatin1String("CURRENT_TIMESTAMP"))
        return kTimestamp;
    if (upperWord == QLatin1String("SYSDATE"))
        return kNow;
    return {};
}

void rewriteExpressions(Tokens &tokens, DialectContext &context)
{
    Rewriter(tokens, context).run();
}

}  // namespace tivra::embedded
