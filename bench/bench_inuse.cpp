// In-use check benchmark: an application directory with a binaries list of 2 000 files, a few
// hundred other processes running (sleep), and CheckArquivosEmUso timed over the whole list (no
// file in use, so every entry is tested). Prints the best and the median of the runs; the goal is
// under one second. The scan of the running processes alone is timed too.
//
//   bench_inuse [--files N] [--processes N] [--runs N]
#include "core/session.h"
#include "deploy/fileaccess.h"
#include "deploy/filechecks.h"
#include "support/scriptedui.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using namespace tivra;

void say(const QString &text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

// The processes started for the run, killed however the benchmark ends.
class Sleepers {
public:
    explicit Sleepers(int count)
    {
        char program[] = "sleep";
        char seconds[] = "120";
        char *arguments[] = {program, seconds, nullptr};
        for (int i = 0; i < count; ++i) {
            pid_t pid = 0;
            if (posix_spawnp(&pid, "sleep", nullptr, nullptr, arguments, environ) == 0)
                m_pids.push_back(pid);
        }
    }
    ~Sleepers()
    {
        for (const pid_t pid : m_pids)
            ::kill(pid, SIGKILL);
        for (const pid_t pid : m_pids)
            ::waitpid(pid, nullptr, 0);
    }
    Sleepers(const Sleepers &) = delete;
    Sleepers &operator=(const Sleepers &) = delete;
    size_t size() const { return m_pids.size(); }

private:
    std::vector<pid_t> m_pids;
};

}  // namespace

int main(int argc, char **argv)
{
    int files = 2000;
    int processes = 300;
    int runs = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const int value = QString::fromLocal8Bit(argv[i + 1]).toInt();
        if (arg == QLatin1String("--files"))
            files = value;
        else if (arg == QLatin1String("--processes"))
            processes = value;
        else if (arg == QLatin1String("--runs"))
            runs = std::max(1, value);
    }
    QTemporaryDir temporary;
    const QString app = temporary.path() + QStringLiteral("/Sistema/AppTivra");
    testsupport::ScriptedUserInterface ui;
    InstallerSession session(ui);
    session.pathAppTivra = app;
    for (int i = 0; i < files; ++i) {
        const QString relative = QStringLiteral("Producao/Bin/Modulo%1/Biblioteca%2.dll").arg(i % 50).arg(i);
        QDir().mkpath(QFileInfo(app + QLatin1Char('/') + relative).path());
        QFile file(app + QLatin1Char('/') + relative);
        if (file.open(QIODevice::WriteOnly))
            file.write("MZ library");
        session.package.binaryToCopy.append(QStringLiteral("AppTivra\\") + QString(relative).replace(QLatin1Char('/'), QLatin1Char('\\')));
    }

    Sleepers sleepers(processes);
    say(QStringLiteral("%1 files in the binaries list, %2 extra processes running").arg(files).arg(sleepers.size()));

    std::vector<double> checks;
    std::vector<double> scans;
    bool anyInUse = false;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        anyInUse |= CheckArquivosEmUso(session, app, true);
        checks.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        FileUseProbe::create();
        scans.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (anyInUse)
        say(QStringLiteral("unexpected: a file was reported in use"));
    std::sort(checks.begin(), checks.end());
    std::sort(scans.begin(), scans.end());
    say(QStringLiteral("CheckArquivosEmUso: best %1 ms, median %2 ms (goal under 1000 ms)")
            .arg(checks.front(), 0, 'f', 1)
            .arg(checks[checks.size() / 2], 0, 'f', 1));
    say(QStringLiteral("scan of the open files alone: best %1 ms, median %2 ms")
            .arg(scans.front(), 0, 'f', 1)
            .arg(scans[scans.size() / 2], 0, 'f', 1));
    return anyInUse ? 1 : 0;
}
