#include "platform/fileversion.h"

#include "platform/system.h"

#include <QDateTime>
#include <QFileInfo>

#include <limits>

namespace tivra::platform {

QString fileVersionText(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return {};
    if (const auto version = fixedFileVersion(path)) {
        const auto &v = *version;
        return QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
    }
    const QDateTime modified = info.lastModified();
    return modified.isValid() ? modified.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

qint64 fileVersionNumber(const QString &versionText)
{
    return versionDigitsNumber(versionText, u".-");
}

QString compiledVersionText()
{
#ifdef TIVRA_VERSION_TEXT
    return QStringLiteral(TIVRA_VERSION_TEXT);
#else
    return {};
#endif
}

QString installerVersionText()
{
    const QString executable = executablePath();
    if (const auto version = fixedFileVersion(executable)) {
        const auto &v = *version;
        return QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
    }
    const QString compiled = compiledVersionText();
    if (!compiled.isEmpty())
        return compiled;
    return fileVersionText(executable);
}

namespace {
enum class Reading { Number, NotANumber, TooLarge };

Reading readDigits(const QString &versionText, QStringView separators, qint64 &value)
{
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    value = 0;
    bool anyDigit = false;
    for (const QChar c : versionText) {
        if (separators.contains(c))
            continue;
        if (c < u'0' || c > u'9')
            return Reading::NotANumber;
        const int digit = c.unicode() - u'0';
        if (value > (kLargest - digit) / 10)
            return Reading::TooLarge;
        value = value * 10 + digit;
        anyDigit = true;
    }
    return anyDigit ? Reading::Number : Reading::NotANumber;
}
}  // namespace

qint64 versionDigitsNumber(const QString &versionText, QStringView separators)
{
    qint64 value = 0;
    return readDigits(versionText, separators, value) == Reading::Number ? value : 0;
}

bool versionDigitsFit(const QString &versionText, QStringView separators)
{
    qint64 value = 0;
    return readDigits(versionText, separators, value) != Reading::TooLarge;
}

bool fileVersionFits(const QString &versionText)
{
    return versionDigitsFit(versionText, u".-");
}

}  // namespace tivra::platform
