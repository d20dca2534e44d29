// Helpers shared by the package tests.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <zip.h>

#include <ostream>

namespace tivra::packagetest {

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// Every file under the folder: relative path -> content.
inline QMap<QString, QByteArray> filesUnder(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), readBytes(path));
    }
    return files;
}

// Incompressible bytes.
inline QByteArray randomBytes(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed | 1;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x >> 24);
    }
    return bytes;
}

inline QByteArray textBytes(int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += "Linha " + QByteArray::number(i) + " do arquivo de texto do pacote\r\n";
    return text;
}

// Runs a program; returns its exit code, -1 when it could not run.
inline int run(const QString &program, const QStringList &arguments, const QString &workingFolder = {},
               QByteArray *out = nullptr, QByteArray *err = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitCode();
}

inline bool haveProgram(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

// Archive written with libzip directly, unencrypted, with the names exactly as given.
inline bool writeRawArchive(const QString &path, const QList<QPair<QByteArray, QByteArray>> &members)
{
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    for (const auto &[name, bytes] : members) {
        zip_source_t *source = zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (zip_file_add(zip, name.constData(), source, 0) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

// Flips one byte inside the data of the archive's first member, past its AES salt and verifier.
inline void tamperFirstMember(const QString &path, int offsetIntoData)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return;
    QByteArray bytes = file.readAll();
    const auto u16 = [&bytes](int at) { return int(uchar(bytes[at])) | int(uchar(bytes[at + 1])) << 8; };
    const int dataStart = 30 + u16(26) + u16(28);
    bytes[dataStart + offsetIntoData] = char(bytes[dataStart + offsetIntoData] ^ 0x55);
    file.seek(0);
    file.write(bytes);
}

}  // namespace tivra::packagetest
