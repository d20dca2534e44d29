// A small SQL tokenizer for the embedded emulation: splits a statement into words, quoted names,
// string literals, numbers, parameters, punctuation, blanks and comments, keeping every
// character so that a rewritten statement is the original text with targeted changes.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tivra::embedded {

// Whether text is exactly the ASCII word given. Inline and without a library call: the
// emulation asks this of every token several times for every statement it runs.
inline bool equalsAscii(const QString &text, const char *ascii)
{
    const qsizetype n = text.size();
    const QChar *data = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (ascii[i] == 0 || data[i].unicode() != char16_t(static_cast<unsigned char>(ascii[i])))
            return false;
    }
    return ascii[n] == 0;
}

struct Token {
    enum Kind { Space, Comment, Word, QuotedName, String, Number, Param, Punct };
    Kind kind = Space;
    QString text;   // as written (replaced by rewrites)
    QString upper;  // words: upper case; quoted names: the name without quotes; others: text

    bool significant() const { return kind != Space && kind != Comment; }
    bool is(const char *word) const { return kind == Word && equalsAscii(upper, word); }
    bool isPunct(const char *p) const { return kind == Punct && equalsAscii(text, p); }
    bool isName() const { return kind == Word || kind == QuotedName; }
};

using Tokens = std::vector<Token>;

Tokens tokenize(const QString &sql);
// Hands back the tokens of a statement that is done with, so that the next tokenize() on this
// thread reuses their storage: a statement's tokens take several kilobytes, and allocating and
// freeing that much for every statement costs more than reading it.
void recycleTokens(Tokens &&tokens);
QString joinTokens(const Tokens &tokens);
QString joinTokens(const Tokens &tokens, size_t from, size_t to);

// Significant tokens only (blanks and comments dropped).
Tokens significantTokens(const Tokens &tokens);

// Splits at ";" outside parentheses; empty pieces are dropped. trailing reports whether the
// text ended with a ";" (after the last piece).
std::vector<Tokens> splitStatements(const Tokens &tokens, bool *trailingSemicolon, int *separators);
// The same, taking the tokens over instead of copying them.
std::vector<Tokens> splitStatements(Tokens &&tokens, bool *trailingSemicolon, int *separators);

// A name as SQL reads it: words upper-cased, quoted names as written.
QString nameOf(const Token &token);
// Double-quotes a name for SQLite ("" doubled inside).
QString quoteName(const QString &name);
// Single-quotes a text for SQLite ('' doubled inside).
QString quoteText(const QString &text);

}  // namespace tivra::embedded
