#include "platform/filenames.h"

#include <QStringList>

namespace tivra::platform {

bool isReservedDeviceName(QStringView component)
{
    QStringView base = component;
    const qsizetype dot = base.indexOf(u'.');
    if (dot >= 0)
        base = base.left(dot);
    while (!base.isEmpty() && (base.back() == u' ' || base.back() == u'.'))
        base.chop(1);
    if (base.size() == 3) {
        for (const char *name : {"CON", "PRN", "AUX", "NUL"}) {
            if (base.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
    if (base.size() == 4 && (base.left(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0
                             || base.left(3).compare(QLatin1String("LPT"), Qt::CaseInsensitive) == 0))
        return base.at(3) >= u'1' && base.at(3) <= u'9';
    return false;
}

QString storedName(const QString &relativePath)
{
#ifdef _WIN32
    QStringList parts = relativePath.split(u'/');
    bool changed = false;
    for (QString &part : parts) {
        if (isReservedDeviceName(part)) {
            part.prepend(u'_');
            changed = true;
        }
    }
    return changed ? parts.join(u'/') : relativePath;
#else
    return relativePath;
#endif
}

}  // namespace tivra::platform
