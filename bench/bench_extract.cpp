// Extraction benchmark: builds an AES-256 package of about 200 MB in about 2 000 files (text and
// incompressible content) with the product's package writer, then times our extraction and
// 7-Zip's ("7z x") of the same archive, in alternating rounds, and prints the best elapsed and CPU
// times of each and their ratios. libzip extracting by itself is timed once for reference.
//
//   bench_extract [--mb N] [--files N] [--runs N] [--keep] [--archive PACKAGE] [--ours-only] [WORK_FOLDER]
#include "package/packagearchive.h"
#include "package/packagewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <zip.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>

namespace {

const QString kPassword = QStringLiteral("Bench#2024");

void say(const QString &text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

// Source tree: two thirds text files, one third random bytes; sizes spread around the mean.
qint64 makeSource(const QString &folder, qint64 totalBytes, int files)
{
    std::mt19937_64 random(20240611);
    const qint64 mean = totalBytes / files;
    qint64 written = 0;
    QByteArray chunk;
    for (int i = 0; i < files; ++i) {
        const qint64 size = std::uniform_int_distribution<qint64>(mean / 8, mean * 15 / 8)(random);
        const QString path = folder + QStringLiteral("/AppTivra/Modulo%1/Arquivo%2.%3")
                                          .arg(i % 40, 2, 10, QLatin1Char('0'))
                                          .arg(i, 4, 10, QLatin1Char('0'))
                                          .arg(i % 3 == 2 ? QStringLiteral("bin") : QStringLiteral("txt"));
        QDir().mkpath(QFileInfo(path).path());
        chunk.resize(size);
        if (i % 3 == 2) {
            auto *words = reinterpret_cast<unsigned char *>(chunk.data());
            for (qint64 at = 0; at < size; ++at)
                words[at] = static_cast<unsigned char>(random() >> 56);
        } else {
            qint64 at = 0;
            while (at < size) {
                const QByteArray line = "Registro " + QByteArray::number(qulonglong(random() % 1000000)) + ";CLIENTE;" +
                                        QByteArray::number(qulonglong(random() % 97)) + ";Descrição do item " +
                                        QByteArray::number(at) + "\r\n";
                const qint64 n = std::min<qint64>(line.size(), size - at);
                std::copy_n(line.constData(), n, chunk.data() + at);
                at += n;
            }
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(chunk) != chunk.size()) {
            say(QStringLiteral("cannot write ") + path);
            return -1;
        }
        written += size;
    }
    return written;
}

struct Timing {
    double wall = 1e300;  // seconds
    double cpu = 1e300;   // user + system seconds, of this process and of its children
};

double cpuSeconds()
{
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) + seconds(children.ru_stime);
}

// Runs the work once into an emptied target folder and keeps the best figures.
bool measure(const QString &target, const std::function<bool()> &work, Timing &best)
{
    QDir(target).removeRecursively();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    if (!work())
        return false;
    best.wall = std::min(best.wall, timer.nsecsElapsed() / 1e9);
    best.cpu = std::min(best.cpu, cpuSeconds() - cpuBefore);
    return true;
}

qint64 folderBytes(const QString &folder, int *files)
{
    qint64 bytes = 0;
    *files = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += it.fileInfo().size();
        ++*files;
    }
    return bytes;
}

// libzip decrypting and inflating by itself, for reference.
bool extractWithLibzip(const QString &archive, const QString &target)
{
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &error);
    if (!zip)
        return false;
    zip_set_default_password(zip, kPassword.toUtf8().constData());
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (zip_int64_t i = 0; ok && i < zip_get_num_entries(zip, 0); ++i) {
        const QString name = QString::fromUtf8(zip_get_name(zip, zip_uint64_t(i), 0));
        const QString path = target + QLatin1Char('/') + name;
        if (name.endsWith(QLatin1Char('/'))) {
            QDir().mkpath(path);
            continue;
        }
        QDir().mkpath(QFileInfo(path).path());
        zip_file_t *in = zip_fopen_index(zip, zip_uint64_t(i), 0);
        QFile out(path);
        ok = in && out.open(QIODevice::WriteOnly);
        zip_int64_t n = 0;
        while (ok && (n = zip_fread(in, buffer.data(), buffer.size())) > 0)
            ok = out.write(buffer.data(), n) == n;
        ok = ok && n == 0;
        if (in)
            zip_fclose(in);
    }
    zip_discard(zip);
    return ok;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    qint64 megabytes = 200;
    int files = 2000;
    int runs = 3;
    bool keep = false;
    QString work;
    QString given;          // an existing package (made with this program's password) instead of a new one
    bool oursOnly = false;  // for profiling
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--mb") && i + 1 < arguments.size())
            megabytes = arguments[++i].toLongLong();
        else if (a == QLatin1String("--files") && i + 1 < arguments.size())
            files = arguments[++i].toInt();
        else if (a == QLatin1String("--runs") && i + 1 < arguments.size())
            runs = std::max(1, arguments[++i].toInt());
        else if (a == QLatin1String("--keep"))
            keep = true;
        else if (a == QLatin1String("--ours-only"))
            oursOnly = true;
        else if (a == QLatin1String("--archive") && i + 1 < arguments.size())
            given = arguments[++i];
        else
            work = a;
    }
    QTemporaryDir temporary(work.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_extract-XXXXXX")
                                           : work + QStringLiteral("/bench_extract-XXXXXX"));
    temporary.setAutoRemove(!keep);
    const QString root = temporary.path();
    const QString source = root + QStringLiteral("/fonte");
    const QString archive = given.isEmpty() ? root + QStringLiteral("/Update.pack") : given;
    qint64 total = 0;
    if (given.isEmpty()) {
        say(QStringLiteral("Gerando %1 MB em %2 arquivos em %3 ...").arg(megabytes).arg(files).arg(root));
        total = makeSource(source, megabytes << 20, files);
        if (total < 0)
            return 1;
        QElapsedTimer timer;
        timer.start();
        try {
            tivra::packFolder(source, archive, kPassword, tivra::PackageEncryption::Aes256);
        } catch (const tivra::PackageError &error) {
            say(error.message());
            return 1;
        }
        say(QStringLiteral("Pacote AES-256: %1 bytes de dados, arquivo de %2 bytes, criado em %3 s")
                .arg(total)
                .arg(QFileInfo(archive).size())
                .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 2));
        QDir(source).removeRecursively();
    }

    const QString ours = root + QStringLiteral("/nosso");
    const QString theirs = root + QStringLiteral("/7z");
    const QString sevenZip = oursOnly ? QString() : QStandardPaths::findExecutable(QStringLiteral("7z"));
    const auto extractOurs = [&] {
        try {
            tivra::PackageReader(archive, kPassword).extract(QStringLiteral("*.*"), ours);
            return true;
        } catch (const tivra::PackageError &error) {
            say(error.message());
            return false;
        }
    };
    const auto extract7z = [&] {
        QProcess process;
        process.start(sevenZip, {QStringLiteral("x"), QStringLiteral("-p") + kPassword, QStringLiteral("-y"),
                                 QStringLiteral("-o") + theirs, archive});
        process.waitForFinished(-1);
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    };

    // Rounds alternate between the two, so that both meet the same load of a shared machine.
    Timing ourBest, theirBest;
    for (int round = 0; round < runs; ++round) {
        if (!measure(ours, extractOurs, ourBest))
            return 1;
        if (!sevenZip.isEmpty() && !measure(theirs, extract7z, theirBest))
            return 1;
    }
    int ourFiles = 0;
    const qint64 ourBytes = folderBytes(ours, &ourFiles);
    say(QStringLiteral("Nossa extração:  %1 s, CPU %2 s (melhor de %3; %4 arquivos, %5 bytes)")
            .arg(ourBest.wall, 0, 'f', 3)
            .arg(ourBest.cpu, 0, 'f', 3)
            .arg(runs)
            .arg(ourFiles)
            .arg(ourBytes));
    if (given.isEmpty() && ourBytes != total)
        return 1;
    if (oursOnly)
        return 0;
    if (sevenZip.isEmpty()) {
        say(QStringLiteral("7z não encontrado: sem comparação."));
        return 0;
    }
    int theirFiles = 0;
    const qint64 theirBytes = folderBytes(theirs, &theirFiles);
    say(QStringLiteral("7z x:            %1 s, CPU %2 s (melhor de %3; %4 arquivos, %5 bytes)")
            .arg(theirBest.wall, 0, 'f', 3)
            .arg(theirBest.cpu, 0, 'f', 3)
            .arg(runs)
            .arg(theirFiles)
            .arg(theirBytes));

    const QString libzipOut = root + QStringLiteral("/libzip");
    Timing libzipTime;
    if (measure(
            libzipOut, [&] { return extractWithLibzip(archive, libzipOut); }, libzipTime))
        say(QStringLiteral(
                "libzip sozinha:  %1 s, CPU %2 s (referência: libzip decifrando e descomprimindo, 1 execução)")
                .arg(libzipTime.wall, 0, 'f', 3)
                .arg(libzipTime.cpu, 0, 'f', 3));
    QDir(libzipOut).removeRecursively();

    say(QStringLiteral("Razão nosso/7z:  %1 no tempo decorrido, %2 em CPU (meta: no máximo 1.30)")
            .arg(ourBest.wall / theirBest.wall, 0, 'f', 2)
            .arg(ourBest.cpu / theirBest.cpu, 0, 'f', 2));
    return 0;
}
