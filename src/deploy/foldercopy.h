// The folder copy with version comparison, shared by the backup, the binary stage and the
// server synchronisation: a recursive copy that never replaces a file by one with a lower file
// version, stops the COM+ application that owns a file before replacing it, and also places the
// three in-house libraries in the system folder.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tivra {

struct InstallerSession;

// The in-house libraries that are also copied into the system folder, checked in this order.
inline const QStringList kSystemFolderLibraries{QStringLiteral("Brenok.dll"), QStringLiteral("Calix.dll"),
                                                QStringLiteral("Dovren.dll")};

// What the copy does with one file of the source, decided from whether the destination has the
// file and the two version texts (the one decision of the copy and of the pre-flight report).
enum class FileCopyDecision {
    New,           // no file in place: copied
    Replace,       // the one in place is not newer: copied over it
    KeepNewer,     // the one in place has a higher version: kept
    KeepUncomparable,  // one of the versions is too large to compare: kept
};
FileCopyDecision decideFileCopy(bool destinationPresent, const QString &destinationVersion, const QString &sourceVersion);

// One file as a planned copy (FolderCopyRequest::planOnly) would handle it.
struct PlannedFile {
    QString source;       // file of the source folder
    QString destination;  // file it would be copied to
    QString relativePath; // below the source folder, "/" separators
    FileCopyDecision decision = FileCopyDecision::New;
    QString sourceVersion;
    QString destinationVersion;  // empty for a new file
    bool sameContent = false;    // for a replacement: the bytes are already those of the package
    bool heldOpen = false;       // a program holds the destination open: the copy would pass it over
};

struct FolderCopyRequest {
    QString source;       // folder whose content is copied
    QString destination;  // folder that receives it; created when missing (one level)
    QString mask = QStringLiteral("*.*");
    bool listedFilesOnly = false;  // copy only the files the file list names
    QStringList fileList;          // the binaries list: paths beginning with "AppTivra"
    // Count the files first and report how many are done through the status log's progress
    // (the subtitle and the terminal line of the binaries stage).
    bool reportProgress = false;

    // Walk the source and decide each file without changing anything: no folder is created, no
    // COM+ application stopped and no file copied; every decision goes to `plan`.
    bool planOnly = false;
    std::vector<PlannedFile> plan;

    // Filled by the copy.
    QStringList resultList;    // one line per file copied or kept
    QStringList handledFiles;  // the same files, as paths below source with "/" separators
    QStringList skippedInUse;  // destination files passed over because a program holds them open
    QString errorText;       // why the copy failed
};

// Copies request.source into request.destination, sub-folders included. True when every file was
// handled; false at the first failure, with request.errorText set (empty when the copy into the
// system folder failed). Files copied before a failure stay copied.
bool CopyFolder(InstallerSession &session, FolderCopyRequest &request);

// The result-list line of a copied file, and of a file kept because the one in place is newer.
QString copiedLine(const QString &sourceVersion, const QString &destinationFile);
QString keptLine(const QString &destinationFile, const QString &destinationVersion, const QString &sourceVersion);
// The line of a file kept because one of the two versions is too large to be compared.
QString uncomparableLine(const QString &destinationFile, const QString &destinationVersion,
                         const QString &sourceVersion);

// Whether a file name matches a mask by the Windows wildcard rules ("*.*" matches every name,
// with or without a dot; matching ignores case).
bool matchesMask(const QString &fileName, const QString &mask);

// Tests make single file copies fail: the function is asked before each copy (source file,
// destination file) and a true answer fails that copy as the system would. An empty function
// restores normal copies.
void setCopyFaultForTesting(std::function<bool(const QString &source, const QString &destination)> fault);

}  // namespace tivra
