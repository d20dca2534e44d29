// Folder copy benchmark: builds a tree of about 5 000 files and 300 MB (a fifth of them PE
// libraries with a file version, made with the PE writer) and times the product's folder copy
// against "cp -r" of the same tree, in alternating rounds, in two cases:
//   fresh     the destination does not exist (no version to compare in the destination);
//   replace   the destination holds the same files (both versions read, every file copied again).
// Every fresh copy goes to a new folder (trees are removed only at the end: ext4 makes the creation
// of files slower for a while after many deletions, which would blur the figures). Before every
// timed copy the source is read once (so both copies start from the same warm page cache) and the
// file system is synced (so no write-back of the previous round runs into the timed one). Prints, for each, the best and the median elapsed time
// and the best CPU time (user + system, the copy's own or cp's), and the ratios; on a machine
// shared with other work the best times and the CPU times are the steadier figures.
// A third case times the server synchronisation:
//   sync      the tree as an application directory synchronised to two destinations that hold
//             the same files (the checks of both destinations and both copies), against
//             "cp -r SRC/. DST" to two other such destinations, one after the other.
//
//   bench_copy [--files N] [--mb N] [--runs N] [--only fresh|replace|sync] [--keep] [WORK_FOLDER]
#include "core/session.h"
#include "deploy/foldercopy.h"
#include "support/pewriter.h"
#include "support/scriptedui.h"
#include "tools/syncsvrs.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace tivra;

void say(const QString &text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

qint64 makeSource(const QString &folder, int files, qint64 totalBytes)
{
    std::mt19937_64 random(20240611);
    const qint64 mean = totalBytes / files;
    qint64 written = 0;
    QByteArray data;
    for (int i = 0; i < files; ++i) {
        const bool pe = i % 5 == 0;
        const QString path = folder + QStringLiteral("/AppTivra/Producao/Modulo%1/Arquivo%2.%3")
                                          .arg(i % 100, 3, 10, QLatin1Char('0'))
                                          .arg(i, 5, 10, QLatin1Char('0'))
                                          .arg(pe ? QStringLiteral("dll") : QStringLiteral("dat"));
        QDir().mkpath(QFileInfo(path).path());
        const qint64 size = std::uniform_int_distribution<qint64>(mean / 8, mean * 15 / 8)(random);
        data = pe ? testsupport::buildPeImage(testsupport::PeVersion{2, quint16(i % 7), quint16(i % 1000), 0})
                  : QByteArray();
        const qint64 start = data.size();
        if (size > start) {
            data.resize(size);
            for (qint64 at = start; at < size; at += 8) {
                const quint64 word = random();
                std::memcpy(data.data() + at, &word, static_cast<size_t>(std::min<qint64>(8, size - at)));
            }
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
            say(QStringLiteral("cannot write ") + path);
            return -1;
        }
        written += data.size();
    }
    return written;
}

// Reads every file of the tree once, so that each timed copy starts from the same cache state.
void warm(const QString &folder)
{
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly)) {
            while (file.read(buffer.data(), buffer.size()) > 0) {
            }
        }
    }
}

void settle(const QString &source)
{
    warm(source);
    ::sync();
}

struct Timing {
    double wall = 0;  // seconds
    double cpu = 0;   // user + system seconds
};

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Timing timeOurs(InstallerSession &session, const QString &source, const QString &destination, int *lines)
{
    FolderCopyRequest request;
    request.source = source;
    request.destination = destination;
    const double cpu = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    const bool ok = CopyFolder(session, request);
    const Timing timing{timer.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_SELF) - cpu};
    if (!ok)
        say(QStringLiteral("folder copy failed: ") + request.errorText);
    *lines = int(request.resultList.size());
    return timing;
}

Timing timeCp(const QString &source, const QString &destination, bool into)
{
    const double cpu = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    // "cp -r SRC DST" for a new destination; "cp -r SRC/. DST" over an existing one.
    const int status = QProcess::execute(QStringLiteral("cp"),
                                         {QStringLiteral("-r"), into ? source + QStringLiteral("/.") : source, destination});
    const Timing timing{timer.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_CHILDREN) - cpu};
    if (status != 0)
        say(QStringLiteral("cp failed"));
    return timing;
}

// The synchronisation of the origin to the destinations as the window and the unattended form
// run it: each destination checked as typed, then copied.
Timing timeSync(InstallerSession &session, const QString &origin, const QStringList &destinations, int *concluded)
{
    const double cpu = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    SyncSvrs sync(session);
    sync.origemPadrao = origin;
    sync.FormShow();
    for (const QString &destination : destinations)
        sync.VerificaDestinoDigitado(sync.cdsDestinos.append({{QStringLiteral("PATH_DEST"), destination}}));
    const QStringList errors = sync.Sincronizar();
    const Timing timing{timer.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_SELF) - cpu};
    for (const QString &error : errors)
        say(QStringLiteral("sync: ") + error);
    *concluded = 0;
    for (int row = 0; row < sync.cdsDestinos.count(); ++row)
        *concluded += sync.cdsDestinos.text(row, QStringLiteral("STATUS")) == kConcluido ? 1 : 0;
    return timing;
}

Timing timeCpEach(const QString &source, const QStringList &destinations)
{
    Timing total;
    for (const QString &destination : destinations) {
        const Timing one = timeCp(source, destination, true);
        total.wall += one.wall;
        total.cpu += one.cpu;
    }
    return total;
}

struct Summary {
    double best = 0;
    double median = 0;
    double bestCpu = 0;
};

Summary summarise(const std::vector<Timing> &timings)
{
    std::vector<double> walls;
    std::vector<double> cpus;
    for (const Timing &timing : timings) {
        walls.push_back(timing.wall);
        cpus.push_back(timing.cpu);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls.front(), walls[walls.size() / 2], cpus.front()};
}

}  // namespace

int main(int argc, char **argv)
{
    int files = 5000;
    qint64 megabytes = 300;
    int runs = 5;
    bool keep = false;
    QString only;
    QString work;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--files") && i + 1 < argc)
            files = QString::fromLocal8Bit(argv[++i]).toInt();
        else if (arg == QLatin1String("--mb") && i + 1 < argc)
            megabytes = QString::fromLocal8Bit(argv[++i]).toLongLong();
        else if (arg == QLatin1String("--runs") && i + 1 < argc)
            runs = std::max(1, QString::fromLocal8Bit(argv[++i]).toInt());
        else if (arg == QLatin1String("--only") && i + 1 < argc)
            only = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--keep"))
            keep = true;
        else
            work = arg;
    }
    QTemporaryDir temporary(work.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_copy-XXXXXX")
                                           : work + QStringLiteral("/bench_copy-XXXXXX"));
    temporary.setAutoRemove(!keep);
    const QString root = temporary.path();
    say(QStringLiteral("work folder: ") + root);
    const qint64 bytes = makeSource(root + QStringLiteral("/pacote"), files, megabytes * 1024 * 1024);
    if (bytes < 0)
        return 1;
    say(QStringLiteral("source: %1 files, %2 MB (every fifth a PE library with a version)")
            .arg(files)
            .arg(bytes / (1024.0 * 1024.0), 0, 'f', 1));

    testsupport::ScriptedUserInterface ui;
    InstallerSession session(ui);
    session.installerDirectory = root + QLatin1Char('/');
    const QString source = root + QStringLiteral("/pacote/AppTivra");
    const QString ours = root + QStringLiteral("/ours");
    const QString theirs = root + QStringLiteral("/cp");

    bool allGood = true;
    for (const bool replace : {false, true}) {
        if (!only.isEmpty() && only != (replace ? QLatin1String("replace") : QLatin1String("fresh")))
            continue;
        std::vector<Timing> oursTimes;
        std::vector<Timing> cpTimes;
        for (int run = 0; run < runs; ++run) {
            int lines = 0;
            const QString suffix = replace ? QStringLiteral("-replace") : QStringLiteral("-%1").arg(run);
            if (replace && run == 0) {
                // Destinations holding the same files: populated once, untimed.
                timeOurs(session, source, ours + suffix, &lines);
                timeCp(source, theirs + suffix, false);
            }
            settle(source);
            oursTimes.push_back(timeOurs(session, source, ours + suffix, &lines));
            if (lines != files) {
                say(QStringLiteral("folder copy handled %1 files of %2").arg(lines).arg(files));
                allGood = false;
            }
            settle(source);
            cpTimes.push_back(timeCp(source, theirs + suffix, replace));
        }
        const Summary o = summarise(oursTimes);
        const Summary c = summarise(cpTimes);
        const QString name = replace ? QStringLiteral("replace") : QStringLiteral("fresh");
        say(QStringLiteral("%1 best:   folder copy %2 s, cp -r %3 s, ratio %4 (goal at most 1.5)")
                .arg(name, -7).arg(o.best, 0, 'f', 3).arg(c.best, 0, 'f', 3).arg(o.best / c.best, 0, 'f', 2));
        say(QStringLiteral("%1 median: folder copy %2 s, cp -r %3 s, ratio %4")
                .arg(name, -7).arg(o.median, 0, 'f', 3).arg(c.median, 0, 'f', 3).arg(o.median / c.median, 0, 'f', 2));
        say(QStringLiteral("%1 CPU:    folder copy %2 s, cp -r %3 s, ratio %4")
                .arg(name, -7).arg(o.bestCpu, 0, 'f', 3).arg(c.bestCpu, 0, 'f', 3).arg(o.bestCpu / c.bestCpu, 0, 'f', 2));
    }
    if (only.isEmpty() || only == QLatin1String("sync")) {
        const QStringList synced{root + QStringLiteral("/sync1/AppTivra"), root + QStringLiteral("/sync2/AppTivra")};
        const QStringList copied{root + QStringLiteral("/cp1/AppTivra"), root + QStringLiteral("/cp2/AppTivra")};
        // Destinations holding the same files: populated once, untimed.
        for (const QString &destination : synced + copied) {
            QDir().mkpath(QFileInfo(destination).path());
            timeCp(source, destination, false);
        }
        std::vector<Timing> oursTimes;
        std::vector<Timing> cpTimes;
        for (int run = 0; run < runs; ++run) {
            int concluded = 0;
            settle(source);
            oursTimes.push_back(timeSync(session, source, synced, &concluded));
            if (concluded != 2) {
                say(QStringLiteral("synchronisation copied %1 destinations of 2").arg(concluded));
                allGood = false;
            }
            settle(source);
            cpTimes.push_back(timeCpEach(source, copied));
        }
        const Summary o = summarise(oursTimes);
        const Summary c = summarise(cpTimes);
        say(QStringLiteral("sync    best:   synchronisation %1 s, cp -r x2 %2 s, ratio %3 (goal at most 1.5)")
                .arg(o.best, 0, 'f', 3).arg(c.best, 0, 'f', 3).arg(o.best / c.best, 0, 'f', 2));
        say(QStringLiteral("sync    median: synchronisation %1 s, cp -r x2 %2 s, ratio %3")
                .arg(o.median, 0, 'f', 3).arg(c.median, 0, 'f', 3).arg(o.median / c.median, 0, 'f', 2));
        say(QStringLiteral("sync    CPU:    synchronisation %1 s, cp -r x2 %2 s, ratio %3")
                .arg(o.bestCpu, 0, 'f', 3).arg(c.bestCpu, 0, 'f', 3).arg(o.bestCpu / c.bestCpu, 0, 'f', 2));
    }
    return allGood ? 0 : 1;
}
