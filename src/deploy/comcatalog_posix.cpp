// Systems without COM+: the catalog is the file-backed stand-in (comcatalog_file.cpp).
#include "deploy/comcatalog.h"

namespace tivra {

std::unique_ptr<ComAdminCatalog> ComAdminCatalog::open(const QString &installerDirectory)
{
    return openFileBackedCatalog(comPlusCatalogPath(installerDirectory));
}

WindowsVersionClass currentWindowsVersionClass()
{
    return WindowsVersionClass::Unclassified;
}

}  // namespace tivra
