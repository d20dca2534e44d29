// Script stage benchmark: a script of 20 000 statements (tables, indexes, and inserts) run through
// AtualizaScripts on the embedded transport, against the sqlite3 shell executing the same
// statements on a plain SQLite file. Both sides use SQLite's defaults (rollback journal,
// synchronous FULL) and commit every statement by itself, as the installer runs them. Rounds
// alternate the two; prints the best and median times and CPU times, their ratios, and where the
// stage's time goes: reading and splitting the script, the statement log (INST_BANCO_PACK probe,
// creation and read; the installer inserts no rows there), the statement runner, version checks
// and writes with the status rows, and the rest (the loop and the logbook). A third figure runs
// the same statements straight through the connection, without the stage around it.
//
// On a disk every commit waits for fsync and both sides are bound by it; the default work folder
// is therefore /dev/shm when it exists, which shows the processing cost. Give a folder to measure
// on another file system.
//
//   bench_scripts [--statements N] [--runs N] [--vendor DB2|ORACLE|MSSQL] [WORK_FOLDER]
#include "core/session.h"
#include "db/connection.h"
#include "db/embedded/emulation.h"
#include "db/scriptrunner.h"
#include "db/sqlrunner.h"
#include "db/versiontables.h"
#include "support/scriptedui.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

using namespace tivra;

void say(const QString &text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Statements valid for every vendor's emulation and for SQLite itself: 10 tables with an index
// each, then inserts spread over them.
QStringList statements(int count)
{
    QStringList list;
    const int tables = 10;
    for (int t = 1; t <= tables; ++t) {
        list << QStringLiteral("CREATE TABLE BENCH_T%1 (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(60) NOT NULL, "
                               "VALOR DECIMAL(12,2), COD_OPERADOR INTEGER)")
                    .arg(t);
        list << QStringLiteral("CREATE INDEX IX_BENCH_T%1_NOME ON BENCH_T%1 (NOME)").arg(t);
    }
    for (int n = 1; list.size() < count; ++n)
        list << QStringLiteral("INSERT INTO BENCH_T%1 (ID, NOME, VALOR, COD_OPERADOR) VALUES (%2, 'Item %2 da carga', %3, 1)")
                    .arg(n % tables + 1)
                    .arg(n)
                    .arg(n * 1.25, 0, 'f', 2);
    return list;
}

struct Round {
    double stage = 0;   // AtualizaScripts, seconds
    double direct = 0;  // DbConnection::execute of the same statements
    double shell = 0;   // sqlite3 shell
    double stageCpu = 0;  // user + system
    double shellCpu = 0;
    ScriptRunStats stats;
};

// User + system CPU seconds of this process or of its finished children.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Site {
    Site(const QString &folder, const QString &vendor, const QByteArray &script) : root(folder)
    {
        session.installerDirectory = folder + QStringLiteral("/installer/");
        session.workingFolder = session.installerDirectory + QStringLiteral("tmp");
        session.pathLog = folder + QStringLiteral("/Log");
        session.package.existScript = true;
        session.package.versaoPacote = QStringLiteral("1.0.000");
        writeFile(session.installerDirectory + QStringLiteral("Drivers.ini"),
                  "[" + vendor.toLatin1() + "]\r\nTransport=Embedded\r\nFolder=Databases\r\n");
        writeFile(joinPathLocal(session.workingFolder, scriptFileName(vendor)), script);
        QString error;
        QDir().mkpath(session.installerDirectory + QStringLiteral("Databases"));
        for (const QString &alias : {QStringLiteral("STAGE"), QStringLiteral("DIRECT")}) {
            if (!embedded::Emulation::createDatabase(session.installerDirectory + QStringLiteral("Databases/") + alias +
                                                         QStringLiteral(".db"),
                                                     {}, {}, {}, &error))
                say(QStringLiteral("createDatabase: ") + error);
            session.cdsDbs.append({{QStringLiteral("ALIAS"), alias},
                                   {QStringLiteral("LOGIN"), QStringLiteral("bench")},
                                   {QStringLiteral("PASSWORD"), QStringLiteral("bench")},
                                   {QStringLiteral("IMAGE"), int(ImageSuccess)},
                                   {QStringLiteral("VENDOR"), vendor}});
        }
    }
    static QString joinPathLocal(const QString &folder, const QString &name) { return folder + QLatin1Char('/') + name; }

    QString root;
    testsupport::ScriptedUserInterface ui;
    InstallerSession session{ui};
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int count = 20000;
    int runs = 3;
    QString vendor = QStringLiteral("ORACLE");
    QString work;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QStringLiteral("--statements") && i + 1 < args.size())
            count = args.at(++i).toInt();
        else if (args.at(i) == QStringLiteral("--runs") && i + 1 < args.size())
            runs = args.at(++i).toInt();
        else if (args.at(i) == QStringLiteral("--vendor") && i + 1 < args.size())
            vendor = args.at(++i);
        else
            work = args.at(i);
    }
    if (work.isEmpty())
        work = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir temp(work + QStringLiteral("/bench_scripts-XXXXXX"));
    if (!temp.isValid()) {
        say(QStringLiteral("cannot create a folder in ") + work);
        return 1;
    }

    const QStringList list = statements(count);
    QByteArray script;
    for (const QString &statement : list)
        script += statement.toUtf8() + ";\r\n";
    const QString shellScript = temp.path() + QStringLiteral("/shell.sql");
    writeFile(shellScript, script);
    say(QStringLiteral("%1 statements, vendor %2, %3 rounds, in %4").arg(count).arg(vendor).arg(runs).arg(temp.path()));

    std::vector<Round> rounds;
    for (int run = 0; run < runs; ++run) {
        Round round;
        const QString folder = temp.path() + QStringLiteral("/run%1").arg(run);
        Site site(folder, vendor, script);
        if (!CreateTableVersoes(site.session)) {
            say(QStringLiteral("version tables could not be created"));
            return 1;
        }
        site.session.cdsDbs.setValue(1, QStringLiteral("IMAGE"), int(ImageNeutral));  // the stage runs on STAGE only
        const auto runShell = [&] {
            QProcess shell;
            const double cpu = cpuSeconds(RUSAGE_CHILDREN);
            QElapsedTimer timer;
            timer.start();
            shell.start(QStringLiteral("sqlite3"), {folder + QStringLiteral("/shell.db"), QStringLiteral(".read ") + shellScript});
            shell.waitForFinished(-1);
            round.shell = timer.nsecsElapsed() / 1e9;
            round.shellCpu = cpuSeconds(RUSAGE_CHILDREN) - cpu;
            if (shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty())
                say(QStringLiteral("sqlite3 failed"));
        };
        const auto runStage = [&] {
            const double cpu = cpuSeconds(RUSAGE_SELF);
            QElapsedTimer timer;
            timer.start();
            AtualizaScripts(site.session, &round.stats);
            round.stage = timer.nsecsElapsed() / 1e9;
            round.stageCpu = cpuSeconds(RUSAGE_SELF) - cpu;
            if (round.stats.statementsRun != count)
                say(QStringLiteral("the stage ran %1 statements").arg(round.stats.statementsRun));
        };
        if (run % 2 == 0) {
            runShell();
            runStage();
        } else {
            runStage();
            runShell();
        }
        {
            DbConnection connection(site.session);
            ConnectCurrentEntry(connection, 1);
            QElapsedTimer timer;
            timer.start();
            for (const QString &statement : list)
                connection.execute(statement);
            round.direct = timer.nsecsElapsed() / 1e9;
        }
        const QStringList &log = site.session.status.logText();
        const auto failures = std::count_if(log.begin(), log.end(), [](const QString &item) {
            return item.contains(QStringLiteral("Erro durante a execução"));
        });
        say(QStringLiteral("round %1: stage %2 s (CPU %3 s), shell %4 s (CPU %5 s), direct %6 s%7")
                .arg(run + 1)
                .arg(round.stage, 0, 'f', 3)
                .arg(round.stageCpu, 0, 'f', 3)
                .arg(round.shell, 0, 'f', 3)
                .arg(round.shellCpu, 0, 'f', 3)
                .arg(round.direct, 0, 'f', 3)
                .arg(failures ? QStringLiteral(" (%1 statements failed)").arg(failures) : QString()));
        rounds.push_back(round);
        QDir(folder).removeRecursively();
    }

    std::vector<double> stage, shell, direct, stageCpu, shellCpu;
    for (const Round &r : rounds) {
        stage.push_back(r.stage);
        shell.push_back(r.shell);
        direct.push_back(r.direct);
        stageCpu.push_back(r.stageCpu);
        shellCpu.push_back(r.shellCpu);
    }
    const double bestStage = *std::min_element(stage.begin(), stage.end());
    const double bestShell = *std::min_element(shell.begin(), shell.end());
    const double bestDirect = *std::min_element(direct.begin(), direct.end());
    say(QStringLiteral("best:   AtualizaScripts %1 s, sqlite3 shell %2 s, ratio %3 (goal <= 1.5)")
            .arg(bestStage, 0, 'f', 3)
            .arg(bestShell, 0, 'f', 3)
            .arg(bestStage / bestShell, 0, 'f', 2));
    say(QStringLiteral("median: AtualizaScripts %1 s, sqlite3 shell %2 s, ratio %3")
            .arg(median(stage), 0, 'f', 3)
            .arg(median(shell), 0, 'f', 3)
            .arg(median(stage) / median(shell), 0, 'f', 2));
    const double bestStageCpu = *std::min_element(stageCpu.begin(), stageCpu.end());
    const double bestShellCpu = *std::min_element(shellCpu.begin(), shellCpu.end());
    say(QStringLiteral("CPU:    AtualizaScripts %1 s, sqlite3 shell %2 s, ratio %3 (steadier on a shared machine)")
            .arg(bestStageCpu, 0, 'f', 3)
            .arg(bestShellCpu, 0, 'f', 3)
            .arg(bestStageCpu / bestShellCpu, 0, 'f', 2));
    say(QStringLiteral("same statements straight through the connection (best): %1 s, ratio to the shell %2")
            .arg(bestDirect, 0, 'f', 3)
            .arg(bestDirect / bestShell, 0, 'f', 2));

    const auto best = std::min_element(rounds.begin(), rounds.end(), [](const Round &a, const Round &b) { return a.stage < b.stage; });
    const ScriptRunStats &s = best->stats;
    const auto share = [&](qint64 nanos) {
        return QStringLiteral("%1 s (%2 %)").arg(nanos / 1e9, 0, 'f', 3).arg(100.0 * nanos / s.totalNanos, 0, 'f', 1);
    };
    say(QStringLiteral("where the stage's time went (best round):"));
    say(QStringLiteral("  reading and splitting the script     ") + share(s.splitNanos));
    say(QStringLiteral("  statement log (INST_BANCO_PACK)      ") + share(s.statementLogNanos));
    say(QStringLiteral("  statement runner (%1 statements)  ").arg(s.statementsRun) + share(s.executionNanos));
    say(QStringLiteral("  version checks, writes, status rows  ") + share(s.statusNanos));
    say(QStringLiteral("  loop and logbook                     ") +
        share(s.totalNanos - s.splitNanos - s.statementLogNanos - s.executionNanos - s.statusNanos));
    return 0;
}
