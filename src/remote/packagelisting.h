// The package repository's listing of published versions ("Versoes.txt") and the support site's
// user list, read into plain values. Both come from outside: every reader here accepts any text
// and never fails on it; lines and records it cannot use are skipped or counted, never guessed.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tivra::remote {

// The product's splitting rule: the text is cut at each occurrence of the separator, left to
// right; empty pieces between two separators are kept; a separator at the very end gives no
// empty last piece; an empty text gives no piece.
QStringList splitPieces(const QString &text, const QString &separator);

// One line of the listing with exactly five "="-separated fields.
struct ListingLine {
    QString version;    // field 1, as published
    QString sizeField;  // field 2
    QString audience;   // field 3: "Todos" or customer codes separated by ";"
    QString published;  // field 5: "S" when published
    // Whether field 1 is digits and dots (starting and ending with a digit) whose digits fit the
    // signed 64-bit range, and field 2 a decimal byte count that fits it.
    bool valid = false;
    qint64 versionNumber = 0;  // field 1 without its dots
    qint64 sizeBytes = 0;
    int lineNumber = 0;        // 1-based, for messages
};

struct VersionListing {
    std::vector<ListingLine> lines;  // the five-field lines, in order
    int otherLines = 0;              // lines with another number of fields (not used)
};

// Entry point of the listing reader (also the fuzz target's): splits the text into lines (CR LF,
// LF or CR) and each line at every "=".
VersionListing parseVersionListing(const QString &text);

// Whether a line is offered to the user of a customer: published ("S") and for "Todos" or one of
// the ";"-separated codes equal to the customer code exactly.
bool listingLineOffered(const ListingLine &line, const QString &customerCode);

// The size text of a byte count: megabytes (10^6 bytes) truncated to two decimals, in the
// shortest form, with the given decimal separator, followed by " Mb" ("1 Mb", "0,99 Mb").
QString sizeText(qint64 bytes, QChar decimalSeparator);

// The version number of a listing version ("3.10.0" gives 3100); nothing when the text is not
// digits and dots or its digits do not fit the signed 64-bit range.
std::optional<qint64> listingVersionNumber(const QString &version);

// One record of the support site's user list.
struct SacUser {
    QString name;    // field 1, compared case-insensitively, not trimmed
    QString digest;  // field 2: MD5 of the password, 32 lower-case hexadecimal digits
    QString customerCode;  // field 3
};

// Entry point of the user list reader (also the fuzz target's): the text is brought to lines
// ending in CR LF and split at every "<BR>" into records, each record at every "," into fields
// (missing fields are empty). The line ends that join records are not part of their fields.
std::vector<SacUser> parseUserList(const QString &text);

// The MD5 digest of a text's Windows-1252 bytes (the support site's user list holds the digests of
// the passwords as single-byte text) as 32 lower-case hexadecimal digits.
QString md5Hex(const QString &text);

// Compares two texts in a time that does not depend on where they first differ.
bool constantTimeEquals(const QString &a, const QString &b);

// Checks a typed user name and password against the user list: the first record whose field 1,
// upper-cased, equals the typed name trimmed and upper-cased, and whose digest equals the MD5 of
// the typed password trimmed, or for which the typed password trimmed is the master password
// (never when the master password is empty). Returns that record's customer code.
std::optional<QString> authenticateSacUser(const std::vector<SacUser> &users, const QString &typedName,
                                           const QString &typedPassword, const QString &masterPassword);

}  // namespace tivra::remote
