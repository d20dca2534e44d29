#include "app/subsystems.h"

#include "core/session.h"

namespace tivra::subsystems {

QString readCustomerCode(InstallerSession &session)
{
    return session.customerCode;
}

void shutdownComponentsQuietly(InstallerSession &) {}

bool checkWritePermission(InstallerSession &, const QString &)
{
    return true;
}

bool checkFilesInUse(InstallerSession &, const QString &)
{
    return false;
}

void checkVersions(InstallerSession &) {}

void readAliases(InstallerSession &) {}

void validateDatabases(InstallerSession &) {}

void loadTableSpaces(InstallerSession &) {}

void readCatalogIndex(InstallerSession &) {}

void sendStructureModels(InstallerSession &) {}

void sendFinalReport(InstallerSession &, const QString &, const QString &, int) {}

}  // namespace tivra::subsystems
