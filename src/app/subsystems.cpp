#include "app/subsystems.h"

#include "core/session.h"
#include "deploy/complus.h"
#include "deploy/filechecks.h"

namespace tivra::subsystems {

QString readCustomerCode(InstallerSession &session)
{
    return session.customerCode;
}

void shutdownComponentsQuietly(InstallerSession &session)
{
    DesligaPacotesComponentes(session);
}

bool checkWritePermission(InstallerSession &session, const QString &folder)
{
    return CheckPermissaoEscrita(session, folder, true);
}

bool checkFilesInUse(InstallerSession &session, const QString &folder)
{
    return CheckArquivosEmUso(session, folder, true);
}

void checkVersions(InstallerSession &) {}

void readAliases(InstallerSession &) {}

void validateDatabases(InstallerSession &) {}

void loadTableSpaces(InstallerSession &) {}

void readCatalogIndex(InstallerSession &) {}

void sendStructureModels(InstallerSession &) {}

void sendFinalReport(InstallerSession &, const QString &, const QString &, int) {}

}  // namespace tivra::subsystems
