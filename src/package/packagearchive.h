// Opening the update package (Update.pack) and unpacking its members.
//
// The package is a ZIP archive whose members are encrypted with the package password, either
// with the traditional PKWARE method or with WinZip AES (AE-1 and AE-2). Member names come from
// Windows machines, so "\" in a name is a folder separator. Members are unpacked keeping their
// folders under the destination folder; a member whose name would lead outside the destination
// (absolute, with a drive letter, or with a ".." component) makes the whole extraction fail
// before anything is written.
//
// Every member is written under a temporary name in its destination folder and gets its real
// name only after all of its data was read and checked (CRC, AES authentication), so a member
// that fails never leaves a file that looks complete. An existing file of the same name is
// replaced.
#pragma once

#include <functional>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>
#include <vector>

typedef struct zip zip_t;

namespace tivra {

struct InstallerSession;

namespace package_detail {
class WinZipAesDecryptor;
}

inline const QString kPackageFileName = QStringLiteral("Update.pack");

// An error of the package: missing or damaged archive, wrong password, unsafe member name, or a
// file that cannot be written. The message is meant for the log.
class PackageError : public std::runtime_error {
public:
    explicit PackageError(const QString &message);
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// One archive opened for reading with a password. Throws PackageError.
class PackageReader {
public:
    PackageReader(const QString &archivePath, const QString &password);
    ~PackageReader();
    PackageReader(const PackageReader &) = delete;
    PackageReader &operator=(const PackageReader &) = delete;

    const QString &archivePath() const { return m_archivePath; }

    // Names of the members as stored (directories end in "/" or "\").
    QStringList memberNames() const;

    // Unpacks every member whose name matches the mask into the destination folder (created when
    // missing), keeping the members' folders. "*.*" and "*" match every member; otherwise the
    // mask is matched against the whole member name ("\" read as "/"), case-sensitively, with the
    // wildcards "*" and "?". A mask that matches nothing extracts nothing. Returns the number of
    // files written.
    int extract(const QString &mask, const QString &destinationFolder);

    // Test seam: the extraction fails as on a full disk once this many bytes have been written
    // (negative: no limit).
    void setWriteLimit(qint64 bytes) { m_writeLimit = bytes; }

    // Called while extract() works: with (0, files to write) before the first, after each file,
    // and again with the same counts every buffer of a large file, so that a listener can keep a
    // window alive during a member of hundreds of megabytes.
    using Progress = std::function<void(int filesDone, int filesTotal)>;
    void setProgress(Progress progress) { m_progress = std::move(progress); }

private:
    struct Member;
    void extractMember(const Member &member, const QString &target, qint64 &written);

    QString m_archivePath;
    QByteArray m_password;
    zip_t *m_zip = nullptr;
    qint64 m_writeLimit = -1;
    Progress m_progress;
    int m_filesDone = 0;
    int m_filesTotal = 0;
    std::unique_ptr<package_detail::WinZipAesDecryptor> m_aes;
    std::vector<unsigned char> m_input;   // read buffer
    std::vector<unsigned char> m_output;  // inflate buffer
};

// Relative path of a member name under the destination folder: "\" read as "/", empty and "."
// components dropped, a directory's trailing separator dropped. Empty text when the name is
// unsafe: absolute, with a drive letter or another ":" use, or with a ".." component.
QString safeMemberPath(const QString &memberName);

// installer directory + "Update.pack".
QString packageFilePath(const InstallerSession &session);

// Opens the session's package with the package password and unpacks the members matching the
// mask into the package working folder, reporting to progress when given. Throws PackageError.
void extractPackage(const InstallerSession &session, const QString &mask, PackageReader::Progress progress = {});

// Deletes the package working folder with everything in it for good (it holds the decrypted
// package, which must not linger in a trash). A missing folder
// counts as removed. Never throws; returns whether the folder is gone.
bool removeWorkingFolder(const InstallerSession &session);

}  // namespace tivra
