// Building update packages: a ZIP archive whose members are encrypted with a password, with
// WinZip AES-256 or with the traditional PKWARE method. Used by the package builder tool and by
// the test fixtures, so both produce the same archives.
#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <vector>

typedef struct zip zip_t;

namespace tivra {

enum class PackageEncryption { Aes256, TraditionalPkware, None };

// One archive being written. Members use "/" as folder separator; folders are directory entries
// ending in "/". Nothing appears at the output path until commit() succeeds: the archive is
// written to a temporary file beside it and renamed. Throws PackageError.
class PackageWriter {
public:
    PackageWriter(const QString &outputPath, const QString &password, PackageEncryption encryption);
    ~PackageWriter();  // discards an archive that was not committed
    PackageWriter(const PackageWriter &) = delete;
    PackageWriter &operator=(const PackageWriter &) = delete;

    void addDirectory(const QString &memberName);
    // Adds the file's content, read when the archive is committed; the file must be readable now.
    void addFile(const QString &memberName, const QString &sourcePath);
    void addBytes(const QString &memberName, const QByteArray &bytes);

    // Writes the archive and gives it its name.
    void commit();

private:
    void encrypt(qint64 index, const QString &memberName);
    [[noreturn]] void fail(const QString &what);

    QString m_outputPath;
    QByteArray m_password;
    PackageEncryption m_encryption;
    zip_t *m_zip = nullptr;
    std::deque<QByteArray> m_buffers;  // contents of addBytes, kept until commit
};

struct PackedMember {
    QString name;  // member name ("/" separators; directories end in "/")
    qint64 size = 0;
    bool directory = false;
};

// Packs every file and folder under sourceFolder, with names relative to it, in name order.
// Throws PackageError (missing folder, unreadable file, unwritable output).
std::vector<PackedMember> packFolder(const QString &sourceFolder, const QString &outputPath, const QString &password,
                                     PackageEncryption encryption);

}  // namespace tivra
