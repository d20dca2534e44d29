#include "platform/fileversion.h"

#include <QDateTime>
#include <QFileInfo>

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

qint64 versionDigitsNumber(const QString &versionText, QStringView separators)
{
    constexpr qint64 kLargest = 2147483647;
    qint64 value = 0;
    bool anyDigit = false;
    for (const QChar c : versionText) {
        if (separators.contains(c))
            continue;
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c.unicode() - u'0');
        if (value > kLargest)
            return 0;
        anyDigit = true;
    }
    return anyDigit ? value : 0;
}

}  // namespace tivra::platform
