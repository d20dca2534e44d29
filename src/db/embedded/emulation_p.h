// Internal to the emulation: a statement being analysed, as its full token list (blanks and
// comments kept, texts editable) and the positions of its significant tokens.
#pragma once

#include "db/embedded/emulation.h"

namespace tivra::embedded {

class Emulation::Statement {
public:
    explicit Statement(Tokens tokens) : full(std::move(tokens))
    {
        for (size_t i = 0; i < full.size(); ++i) {
            if (full[i].significant())
                sig.push_back(i);
        }
        match.assign(sig.size(), -1);
        std::vector<int> stack;
        for (int i = 0; i < size(); ++i) {
            if (at(i).isPunct("("))
                stack.push_back(i);
            else if (at(i).isPunct(")") && !stack.empty()) {
                match[size_t(stack.back())] = i;
                stack.pop_back();
            }
        }
    }

    int size() const { return int(sig.size()); }
    bool valid(int i) const { return i >= 0 && i < size(); }
    Token &at(int i) { return full[sig[size_t(i)]]; }
    const Token &at(int i) const { return full[sig[size_t(i)]]; }
    bool word(int i, const char *w) const { return valid(i) && at(i).is(w); }
    bool punct(int i, const char *p) const { return valid(i) && at(i).isPunct(p); }
    QString upper(int i) const { return valid(i) ? at(i).upper : QString(); }
    // The matching ")" of a "(" at i; -1 when it has none.
    int close(int i) const { return valid(i) ? match[size_t(i)] : -1; }
    // A name: words upper-cased, quoted names as written.
    QString name(int i) const { return valid(i) && at(i).isName() ? nameOf(at(i)) : QString(); }

    // Reads [schema.]name at i and moves past it; empty when there is no name.
    QString readName(int &i) const
    {
        if (!valid(i) || !at(i).isName())
            return {};
        QString n = name(i);
        ++i;
        while (punct(i, ".") && valid(i + 1) && at(i + 1).isName()) {
            n = name(i + 1);
            i += 2;
        }
        return n;
    }

    // Column names between "(" at i and its ")" (ASC/DESC dropped); moves past the ")".
    QStringList readColumnList(int &i) const
    {
        QStringList columns;
        const int end = close(i);
        if (end < 0)
            return columns;
        for (int k = i + 1; k < end; ++k) {
            if (at(k).isName() && !at(k).is("ASC") && !at(k).is("DESC"))
                columns.append(name(k));
        }
        i = end + 1;
        return columns;
    }

    // Original text from significant token from to to (both included).
    QString text(int from, int to) const
    {
        if (!valid(from) || !valid(to) || to < from)
            return {};
        QString result;
        for (size_t k = sig[size_t(from)]; k <= sig[size_t(to)]; ++k)
            result += full[k].text;
        return result;
    }

    // Blanks the significant tokens from..to and everything between them.
    void erase(int from, int to)
    {
        if (!valid(from) || to < from)
            return;
        to = qMin(to, size() - 1);
        for (size_t k = sig[size_t(from)]; k <= sig[size_t(to)]; ++k)
            full[k].text.clear();
    }

    // Position of the next "," at the same parenthesis level (or end).
    int nextComma(int from, int end) const
    {
        for (int k = from; k < end; ++k) {
            if (punct(k, "(") && close(k) > k) {
                k = close(k);
                continue;
            }
            if (punct(k, ","))
                return k;
        }
        return end;
    }

    QString joined() const { return joinTokens(full); }

    Tokens full;
    std::vector<size_t> sig;
    std::vector<int> match;
};

}  // namespace tivra::embedded
