// The databases list (session.cdsDbs): one database entry per alias of the versions file's
// section "Aliases", completed with the credentials, host and vendor of the alias's registry key.
#pragma once

#include <QString>

namespace tivra {

struct InstallerSession;

// The registry key of an alias, relative to HKEY_LOCAL_MACHINE.
QString aliasRegistryKey(const QString &alias);

// Rebuilds session.cdsDbs from "<application directory>\Executaveis\Versoes.ini" and the registry.
// A missing versions file leaves the list empty without a report. Deciphering errors and
// registry values of a type other than string are not caught: they stop the reading at that
// entry (the entries read before it stay) and leave as CredentialError (a std::exception whose
// what() is the text for the user, in UTF-8).
void ReadAliases(InstallerSession &session);

}  // namespace tivra
