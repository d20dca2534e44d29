// The subsystem operations that the wizard and the update run call, gathered in one place so the
// run's chain reads as a list and a subsystem joins it with one line.
#pragma once

#include <QString>
#include <QStringList>

namespace tivra {

struct InstallerSession;

namespace subsystems {

// Checks page.
QString readCustomerCode(InstallerSession &session);  // the code of the last database that answered
void shutdownComponentsQuietly(InstallerSession &session);
bool checkWritePermission(InstallerSession &session, const QString &folder);
bool checkFilesInUse(InstallerSession &session, const QString &folder);
// The version rows of every validated database; `unchanged`: without creating version tables.
void checkVersions(InstallerSession &session, bool unchanged = false);
bool versionsFileWritable(const QString &path);
QStringList unconfinedBinaryEntries(const InstallerSession &session);  // entries leading outside

// Databases page.
void readAliases(InstallerSession &session);  // may throw with the text for the user
void validateDatabases(InstallerSession &session);
void loadTableSpaces(InstallerSession &session);
// The download window's databases: aliases read, databases validated, version tables created.
void prepareDownloadDatabases(InstallerSession &session);  // may throw

// Leaving the first page: the catalog index of the package.
void readCatalogIndex(InstallerSession &session);

// The conclusion stage's structure model of one database, and the final report.
void sendStructureModels(InstallerSession &session);
void sendFinalReport(InstallerSession &session, const QString &logFile, const QString &message, int failures);

}  // namespace subsystems
}  // namespace tivra
