// Checks made before files are replaced: write permission in a folder, and whether the files the
// package replaces are in use.
#pragma once

#include <QString>
#include <QStringList>

namespace tivra {

struct InstallerSession;
class FileUseProbe;

// True when a new file can be created in the folder: "chk.tmp" is created there as a new file
// (failing when one is left over) and deleted at once. An unexpected error is written to the log
// when report is set.
bool CheckPermissaoEscrita(InstallerSession &session, const QString &folder, bool report);

// The file in-use test: true when the file exists and cannot be opened exclusively for reading
// and writing. Always false when the program was given "/ignorefileuse".
bool FileInUse(const QString &path);
// The same test answered by a probe taken beforehand (one scan for many files).
bool FileInUse(const FileUseProbe &probe, const QString &path);

// Whether an entry of the package's binaries list stays inside the application directory: a
// relative path ("\" and "/" alike) without ".." parts, drive letters or a leading separator.
bool binaryEntryConfined(const QString &entry);
// The entries of the list that lead outside the application directory, in list order.
QStringList unconfinedBinaryEntries(const QStringList &entries);

// Whether the versions file can be rewritten: it exists, carries no read-only attribute (which
// the administrator's or root's rights would otherwise override) and opens for writing.
bool versionsFileWritable(const QString &path);

// True when a file of the package's binaries list is in use in the application directory. The
// entries are relative to the folder that holds the application directory (the directory field up
// to the text "AppTivra"); entries that lead outside it are never opened. Only the first file in
// use is named in the log.
bool CheckArquivosEmUso(InstallerSession &session, const QString &folder, bool report);

}  // namespace tivra
