// Helpers shared by the fuzz targets: a scratch folder for parsers that read from a path, and a
// check that stops the run (as a crash would) when a parser breaks one of its promises.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace tivra::fuzz {

// One scratch folder per process, on /dev/shm when it is there (no disk writes per input).
inline const QString &scratchFolder()
{
    static QTemporaryDir dir = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        return QTemporaryDir(base + QStringLiteral("/tivra-fuzz-XXXXXX"));
    }();
    if (!dir.isValid()) {
        std::fprintf(stderr, "fuzz: cannot create a scratch folder\n");
        std::abort();
    }
    static const QString path = dir.path();
    return path;
}

// Writes the input to a file in the scratch folder and returns its path.
inline QString writeInput(const QString &name, const uint8_t *data, size_t size)
{
    const QString path = scratchFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size)) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

// The input as a QByteArray over libFuzzer's own buffer, without a copy: that buffer holds exactly
// the input's bytes, so a read one byte past the end is caught (a copy would carry Qt's NUL
// terminator and spare capacity, where such a read goes unnoticed). Valid during the call only.
inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A broken promise of the parser: printed and reported as a crash, so that the fuzzer keeps the
// input and CI fails.
#define TIVRA_FUZZ_CHECK(condition)                                                               \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

}  // namespace tivra::fuzz
