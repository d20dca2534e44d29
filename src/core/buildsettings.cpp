#include "core/buildsettings.h"

#include "tivra/buildsettings_values.h"

namespace tivra {

const BuildSettings &BuildSettings::compiled()
{
    static const BuildSettings settings{
        QString::fromLatin1(TIVRA_BS_PACKAGE_PASSWORD),
        QByteArray(TIVRA_BS_CREDENTIAL_KEY_USER),
        QByteArray(TIVRA_BS_CREDENTIAL_KEY_PASSWORD),
        QString::fromLatin1(TIVRA_BS_MAKER_SITE),
        QString::fromLatin1(TIVRA_BS_PACKAGE_REPOSITORY),
        QString::fromLatin1(TIVRA_BS_USERLIST_TOKEN),
        QString::fromLatin1(TIVRA_BS_SAC_MASTER_PASSWORD),
        QByteArray::fromHex(QByteArray(TIVRA_BS_SIGNING_PUBLIC_KEY)),
    };
    return settings;
}

}  // namespace tivra
