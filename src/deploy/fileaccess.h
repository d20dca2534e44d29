// The operating-system side of the file deployment: which files are in use, exclusive creation,
// the read-only attribute and the file copy. One implementation file per system
// (fileaccess_posix.cpp, fileaccess_win.cpp).
#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace tivra {

class OpenedFile;

// Answers "is this file in use?" for many files at once. On Windows every question goes to the
// system (a share-mode open). On Linux a file is in use when it cannot be opened for reading and
// writing, when it has no owner write permission (the read-only attribute), when an advisory lock
// (fcntl or flock) is held on it, or when some process holds it open or has it mapped; the set of
// files held open is gathered once, when the probe is created, by one scan of /proc.
class FileUseProbe {
public:
    virtual ~FileUseProbe() = default;

    // Takes the snapshot of the files held open (Linux) and returns the probe. Without the scan
    // the probe answers from the file alone (read-only attribute, an open for reading and
    // writing): for files this process has itself just written, which no snapshot taken before
    // can know and on which no other program can yet hold a lock.
    enum class Scan { OpenFiles, None };
    static std::unique_ptr<FileUseProbe> create(Scan scan = Scan::OpenFiles);

    // True when the file exists and cannot be opened exclusively for reading and writing. A
    // folder or a missing file is not in use; a file whose existence cannot be told (access to
    // its folder denied) is.
    virtual bool inUse(const QString &path) const = 0;

    // Whether a file is there to be replaced: Missing (no such file; a folder is no file), HeldOpen
    // (it exists and cannot be opened for reading without sharing: a program holds it open or
    // locked, reading is denied; or its times cannot be read), or Free.
    enum class Presence { Missing, Free, HeldOpen };
    virtual Presence presence(const OpenedFile &file) const = 0;
};

// Creates the file as a new file (failing when it exists) with read and write access and no
// sharing, and deletes it at once. False, with the system's reason in error, when it could not be
// created.
bool createAndDeleteNewFile(const QString &path, QString *error);

// Whether the file carries the read-only attribute (on Linux: no write permission for its owner,
// which stops even an administrator, as the attribute does on Windows).
bool hasReadOnlyAttribute(const QString &path);

// Copies source over destination, replacing it, as the system copy does: the destination gets the
// source's content, permissions (attributes) and modification time. On Linux the content goes to
// a temporary file beside the destination first and replaces it in one rename, so a failed copy
// never leaves a half-written destination. A destination that carries the read-only attribute is
// not replaced (the system copy refuses it). False, with the system's reason in error, on failure.
bool copyFileReplacing(const QString &source, const QString &destination, QString *error);

// A file of the folder copy, opened once for everything the copy asks of it (whether it is held
// open, its file version text, its copy), so that it is neither opened nor read twice.
class OpenedFile {
public:
    virtual ~OpenedFile() = default;
    // Always gives an object; a file that cannot be opened still has a version text (as far as
    // it can be told) and fails its copies.
    static std::unique_ptr<OpenedFile> open(const QString &path);
    virtual const QString &path() const = 0;
    // The file version text, as platform::fileVersionText gives it.
    virtual QString versionText() = 0;
    // Copies the file over destination, as copyFileReplacing does; may be called more than once.
    virtual bool copyTo(const QString &destination, QString *error) = 0;
};

// One entry of a folder listing.
struct FolderEntry {
    QString name;
    bool isDirectory = false;    // a folder, or a link to one
    bool isVolumeLabel = false;  // only on systems that list volume labels as entries
};

// Lists every entry of the folder (hidden and system entries included, "." and ".." left out), in
// the order the system returns them. False, with the system's reason in error, when the folder
// cannot be listed or the listing breaks off.
bool listFolder(const QString &folder, std::vector<FolderEntry> &entries, QString *error);

// Turns a path that may hold "\" or "/" separators (paths from packages, settings files and
// binaries lists come from Windows) into one with the platform's separators.
QString localPath(const QString &path);

}  // namespace tivra
