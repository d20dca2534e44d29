#include "db/aliases.h"

#include "core/session.h"
#include "db/credentials.h"
#include "platform/profile.h"
#include "platform/registry.h"

#include <QDir>
#include <QFileInfo>

namespace tivra {

QString aliasRegistryKey(const QString &alias)
{
    return QStringLiteral("\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\") + alias;
}

namespace {

QString readValue(const platform::Registry &registry, const QString &key, const QString &name)
{
    const platform::RegistryValue value = registry.readString(key, name);
    if (!value.ok)
        throw CredentialError(value.error.isEmpty() ? QStringLiteral("Valor \"") + name + QStringLiteral("\" do registro não é texto.")
                                                    : value.error);
    return value.text;
}

}  // namespace

void ReadAliases(InstallerSession &session)
{
    MemTable &dbs = session.cdsDbs;
    // 1.
    dbs.clear();
    // 2. The application directory as typed; "\" separates on every platform.
    QString directory = session.pathAppTivra;
    if (!directory.endsWith(QLatin1Char('\\')) && !directory.endsWith(QLatin1Char('/')))
        directory += QLatin1Char('\\');
    QString path = directory + QStringLiteral("Executaveis\\Versoes.ini");
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!QFileInfo(path).isFile())
        return;
    // 3.
    session.UpdateStatus(QStringLiteral("Lendo Aliases de \"") + session.pathAppTivra + QStringLiteral("\"."), true, QString(),
                         ImageSuccess, false);
    // 4.
    const platform::ProfileFile versions(path);
    const QStringList lines = versions.sectionLines(QStringLiteral("Aliases"));
    std::unique_ptr<platform::Registry> registry;
    // 5.
    for (const QString &line : lines) {
        QString alias;
        QString description;
        const qsizetype marker = line.indexOf(QStringLiteral(",L="));
        if (marker >= 0) {
            alias = line.left(marker);
            description = line.mid(marker + 3);
        } else {
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            alias = equals >= 0 ? line.left(equals) : line;
            description = equals >= 0 ? line.mid(equals + 1) : QString();
        }
        QString login, password, host, vendor;
        if (!registry)
            registry = platform::Registry::open(session.installerDirectory);
        const QString key = aliasRegistryKey(alias);
        if (registry && registry->keyExists(key)) {
            login = DecodeCredential(readValue(*registry, key, QStringLiteral("UserName")), session.build.credentialKeyUser);
            password = DecodeCredential(readValue(*registry, key, QStringLiteral("Password")), session.build.credentialKeyPassword);
            host = readValue(*registry, key, QStringLiteral("DbHost"));
            vendor = readValue(*registry, key, QStringLiteral("DBVendor"));
        }
        dbs.append({{QStringLiteral("ALIAS"), alias},
                    {QStringLiteral("DESCRICAO"), description},
                    {QStringLiteral("LOGIN"), login},
                    {QStringLiteral("PASSWORD"), password},
                    {QStringLiteral("IMAGE"), int(ImageNeutral)},
                    {QStringLiteral("VENDOR"), vendor},
                    {QStringLiteral("DBHOST"), host}});
    }
    // 6. The first entry is the current one: callers walk the list from row 0.
}

}  // namespace tivra
