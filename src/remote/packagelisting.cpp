#include "remote/packagelisting.h"

#include "platform/textfile.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <limits>

namespace tivra::remote {

QStringList splitPieces(const QString &text, const QString &separator)
{
    QStringList pieces;
    if (text.isEmpty() || separator.isEmpty()) {
        if (!text.isEmpty())
            pieces << text;
        return pieces;
    }
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype at = text.indexOf(separator, start);
        if (at < 0) {
            pieces << text.mid(start);
            break;
        }
        pieces << text.mid(start, at - start);
        start = at + separator.size();
    }
    return pieces;
}

namespace {
// Digits only, read as a non-negative 64-bit integer; nothing when empty, not digits or too big.
std::optional<qint64> digitsValue(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        const int digit = c.unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

QStringList textLines(const QString &text)
{
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return splitPieces(normalised, QStringLiteral("\n"));
}
}  // namespace

std::optional<qint64> listingVersionNumber(const QString &version)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
    if (!form.match(version).hasMatch())
        return std::nullopt;
    return digitsValue(QString(version).remove(QLatin1Char('.')));
}

VersionListing parseVersionListing(const QString &text)
{
    VersionListing listing;
    const QStringList lines = textLines(text);
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList fields = splitPieces(lines[i], QStringLiteral("="));
        if (fields.size() != 5) {
            if (!lines[i].isEmpty())
                ++listing.otherLines;
            continue;
        }
        ListingLine line;
        line.version = fields[0];
        line.sizeField = fields[1];
        line.audience = fields[2];
        line.published = fields[4];
        line.lineNumber = i + 1;
        const auto number = listingVersionNumber(line.version);
        const auto size = digitsValue(line.sizeField);
        line.valid = number.has_value() && size.has_value();
        line.versionNumber = number.value_or(0);
        line.sizeBytes = size.value_or(0);
        listing.lines.push_back(line);
    }
    return listing;
}

bool listingLineOffered(const ListingLine &line, const QString &customerCode)
{
    if (line.published != QStringLiteral("S"))
        return false;
    if (line.audience == QStringLiteral("Todos"))
        return true;
    const QStringList codes = splitPieces(line.audience, QStringLiteral(";"));
    return codes.contains(customerCode);
}

QString sizeText(qint64 bytes, QChar decimalSeparator)
{
    // bytes / 1 000 000 * 100, truncated: hundredths of a megabyte.
    const qint64 hundredths = bytes < 0 ? 0 : bytes / 10000;
    const qint64 whole = hundredths / 100;
    const int fraction = int(hundredths % 100);
    QString text = QString::number(whole);
    if (fraction != 0) {
        text += decimalSeparator;
        text += fraction % 10 == 0 ? QString::number(fraction / 10)
                                   : QStringLiteral("%1").arg(fraction, 2, 10, QLatin1Char('0'));
    }
    return text + QStringLiteral(" Mb");
}

std::vector<SacUser> parseUserList(const QString &text)
{
    // Every line ends in CR LF, the last one included; then the records are cut at "<BR>".
    QString normalised;
    for (const QString &line : textLines(text))
        normalised += line + QStringLiteral("\r\n");
    std::vector<SacUser> users;
    for (QString record : splitPieces(normalised, QStringLiteral("<BR>"))) {
        // The line ends around a record join it to its neighbours; they belong to no field (else
        // the last record's customer code would end in CR LF and match no audience).
        while (record.startsWith(QLatin1Char('\r')) || record.startsWith(QLatin1Char('\n')))
            record.remove(0, 1);
        while (record.endsWith(QLatin1Char('\r')) || record.endsWith(QLatin1Char('\n')))
            record.chop(1);
        const QStringList fields = splitPieces(record, QStringLiteral(","));
        SacUser user;
        user.name = fields.value(0);
        user.digest = fields.value(1);
        user.customerCode = fields.value(2);
        users.push_back(user);
    }
    return users;
}

QString md5Hex(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(platform::toWindows1252(text), QCryptographicHash::Md5).toHex());
}

bool constantTimeEquals(const QString &a, const QString &b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    unsigned difference = x.size() == y.size() ? 0u : 1u;
    const qsizetype n = std::max(x.size(), y.size());
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char cx = i < x.size() ? uchar(x[i]) : 0;
        const unsigned char cy = i < y.size() ? uchar(y[i]) : 0;
        difference |= unsigned(cx ^ cy);
    }
    return difference == 0;
}

std::optional<QString> authenticateSacUser(const std::vector<SacUser> &users, const QString &typedName,
                                           const QString &typedPassword, const QString &masterPassword)
{
    const QString name = typedName.trimmed().toUpper();
    const QString password = typedPassword.trimmed();
    if (name.isEmpty() || password.isEmpty())
        return std::nullopt;
    const QString digest = md5Hex(password);
    for (const SacUser &user : users) {
        if (user.name.toUpper() != name)
            continue;
        if (constantTimeEquals(digest, user.digest))
            return user.customerCode;
        if (!masterPassword.isEmpty() && constantTimeEquals(password, masterPassword))
            return user.customerCode;
    }
    return std::nullopt;
}

}  // namespace tivra::remote
