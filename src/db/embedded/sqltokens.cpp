#include "db/embedded/sqltokens.h"

#include <algorithm>
#include <array>

namespace tivra::embedded {

namespace {
// ASCII is decided here without a call; other characters by their Unicode category.
inline bool wordStart(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_' || u == u'@' || u == u'#';
    return c.isLetter();
}
inline bool wordPart(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'_' || u == u'$' ||
               u == u'#' || u == u'@';
    return c.isLetterOrNumber();
}
// The text of a one-character blank or punctuation token, shared instead of copied: most tokens
// of a statement are a comma, a parenthesis or a blank, and a copy of each cost an allocation.
QString commonText(const QString &sql, qsizetype from, qsizetype to)
{
    static const std::array<QString, 128> shared = [] {
        std::array<QString, 128> texts;
        for (char16_t c = 1; c < 128; ++c) {
            if (!QChar(c).isLetterOrNumber())
                texts[c] = QString(QChar(c));
        }
        return texts;
    }();
    if (to - from == 1) {
        const char16_t c = sql.at(from).unicode();
        if (c < 128 && !shared[c].isEmpty())
            return shared[c];
    }
    return sql.mid(from, to - from);
}
// A word in upper case. Most words of a statement are ASCII and already in upper case: those
// are shared as they are, and other ASCII words converted here, without the general case
// conversion and its table lookups.
QString upperWord(const QString &word)
{
    const qsizetype n = word.size();
    const QChar *data = word.constData();
    bool lower = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c >= 0x80)
            return word.toUpper();
        lower = lower || (c >= u'a' && c <= u'z');
    }
    if (!lower)
        return word;
    QString upper(n, Qt::Uninitialized);
    QChar *out = upper.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        out[i] = QChar(c >= u'a' && c <= u'z' ? char16_t(c - 32) : c);
    }
    return upper;
}
}  // namespace

namespace {
thread_local Tokens spareTokens;
}

void recycleTokens(Tokens &&tokens)
{
    if (tokens.capacity() > spareTokens.capacity()) {
        tokens.clear();
        spareTokens = std::move(tokens);
    }
}

Tokens tokenize(const QString &sql)
{
    Tokens tokens = std::move(spareTokens);
    spareTokens = Tokens();
    tokens.clear();
    tokens.reserve(size_t(sql.size() / 4) + 4);
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto push = [&](Token::Kind kind, qsizetype from, qsizetype to) {
        Token t;
        t.kind = kind;
        t.text = kind == Token::Space || kind == Token::Punct ? commonText(sql, from, to) : sql.mid(from, to - from);
        t.upper = kind == Token::Word ? upperWord(t.text) : t.text;
        tokens.push_back(std::move(t));
    };
    while (i < n) {
        const QChar c = sql.at(i);
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && sql.at(i).isSpace())
                ++i;
            push(Token::Space, start, i);
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n') && sql.at(i) != QLatin1Char('\r'))
                ++i;
            push(Token::Comment, start, i);
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            i += 2;
            while (i < n && !(sql.at(i) == QLatin1Char('*') && i + 1 < n && sql.at(i + 1) == QLatin1Char('/')))
                ++i;
            i = qMin(n, i + 2);
            push(Token::Comment, start, i);
        } else if (c == QLatin1Char('\'')) {
            ++i;
            while (i < n) {
                if (sql.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < n && sql.at(i + 1) == QLatin1Char('\'')) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            push(Token::String, start, i);
        } else if (c == QLatin1Char('"') || c == QLatin1Char('[') || c == QLatin1Char('`')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            ++i;
            QString name;
            while (i < n) {
                if (sql.at(i) == close) {
                    if (close != QLatin1Char(']') && i + 1 < n && sql.at(i + 1) == close) {
                        name += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                name += sql.at(i++);
            }
            Token t;
            t.kind = Token::QuotedName;
            t.text = sql.mid(start, i - start);
            t.upper = name;
            tokens.push_back(std::move(t));
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && sql.at(i + 1).isDigit())) {
            while (i < n && (sql.at(i).isDigit() || sql.at(i) == QLatin1Char('.')))
                ++i;
            if (i < n && (sql.at(i) == QLatin1Char('e') || sql.at(i) == QLatin1Char('E'))) {
                qsizetype j = i + 1;
                if (j < n && (sql.at(j) == QLatin1Char('+') || sql.at(j) == QLatin1Char('-')))
                    ++j;
                if (j < n && sql.at(j).isDigit()) {
                    i = j;
                    while (i < n && sql.at(i).isDigit())
                        ++i;
                }
            }
            push(Token::Number, start, i);
        } else if (wordStart(c)) {
            while (i < n && wordPart(sql.at(i)))
                ++i;
            push(Token::Word, start, i);
        } else if (c == QLatin1Char(':') && i + 1 < n && wordStart(sql.at(i + 1))) {
            ++i;
            while (i < n && wordPart(sql.at(i)))
                ++i;
            push(Token::Param, start, i);
        } else if (c == QLatin1Char('?')) {
            ++i;
            push(Token::Param, start, i);
        } else {
            static const char *const pairs[] = {"<=", ">=", "<>", "!=", "||", "::", "=>"};
            bool matched = false;
            for (const char *p : pairs) {
                if (i + 1 < n && sql.at(i) == QLatin1Char(p[0]) && sql.at(i + 1) == QLatin1Char(p[1])) {
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (!matched)
                ++i;
            push(Token::Punct, start, i);
        }
    }
    return tokens;
}

QString joinTokens(const Tokens &tokens)
{
    return joinTokens(tokens, 0, tokens.size());
}

QString joinTokens(const Tokens &tokens, size_t from, size_t to)
{
    to = qMin(to, tokens.size());
    qsizetype length = 0;
    for (size_t i = from; i < to; ++i)
        length += tokens[i].text.size();
    // Copied straight into the finished string: a statement has a hundred tokens or more.
    QString result(length, Qt::Uninitialized);
    QChar *out = result.data();
    for (size_t i = from; i < to; ++i) {
        const QString &text = tokens[i].text;
        std::copy_n(text.constData(), text.size(), out);
        out += text.size();
    }
    return result;
}

Tokens significantTokens(const Tokens &tokens)
{
    Tokens result;
    result.reserve(tokens.size());
    for (const Token &t : tokens) {
        if (t.significant())
            result.push_back(t);
    }
    return result;
}

std::vector<Tokens> splitStatements(const Tokens &tokens, bool *trailingSemicolon, int *separators)
{
    return splitStatements(Tokens(tokens), trailingSemicolon, separators);
}

std::vector<Tokens> splitStatements(Tokens &&tokens, bool *trailingSemicolon, int *separators)
{
    std::vector<Tokens> pieces;
    // The usual case, one statement without a ";": the tokens are taken over as they are.
    const bool single = std::none_of(tokens.begin(), tokens.end(), [](const Token &t) { return t.isPunct(";"); });
    if (single) {
        if (trailingSemicolon)
            *trailingSemicolon = false;
        if (separators)
            *separators = 0;
        if (std::any_of(tokens.begin(), tokens.end(), [](const Token &t) { return t.significant(); }))
            pieces.push_back(std::move(tokens));
        return pieces;
    }
    Tokens current;
    int depth = 0;
    bool trailing = false;
    int count = 0;
    auto flush = [&]() {
        bool any = false;
        for (const Token &t : current)
            any = any || t.significant();
        if (any)
            pieces.push_back(std::move(current));
        current.clear();
    };
    current.reserve(tokens.size());
    for (Token &t : tokens) {
        if (t.kind == Token::Punct && t.text == QLatin1String("("))
            ++depth;
        else if (t.kind == Token::Punct && t.text == QLatin1String(")"))
            depth = qMax(0, depth - 1);
        if (depth == 0 && t.kind == Token::Punct && t.text == QLatin1String(";")) {
            ++count;
            flush();
            trailing = true;
            continue;
        }
        if (t.significant())
            trailing = false;
        current.push_back(std::move(t));
    }
    flush();
    if (trailingSemicolon)
        *trailingSemicolon = trailing;
    if (separators)
        *separators = count;
    return pieces;
}

QString nameOf(const Token &token)
{
    return token.kind == Token::Word ? token.upper : token.upper;
}

QString quoteName(const QString &name)
{
    QString escaped = name;
    escaped.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString quoteText(const QString &text)
{
    QString escaped = text;
    escaped.replace(QStringLiteral("'"), QStringLiteral("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

}  // namespace tivra::embedded
