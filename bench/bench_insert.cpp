// bench_insert [COUNT] [FOLDER]
//
// COUNT (10 000) short INSERT statements, each its own implicit transaction, run through the
// statement runner (ExecSQLText) on the embedded transport, and the same statements run by the
// sqlite3 shell on a file of the same kind, in the same run and the same folder (default: a
// temporary folder). Both files use SQLite's defaults (journal_mode=delete, synchronous=FULL),
// printed below. The two run in alternating rounds of a tenth of the statements each, so that
// changes of the disk's speed during the run weigh on both alike. Prints both times and their
// ratio; the goal is at most 1.5 times the shell's.
#include "core/session.h"
#include "core/userinterface.h"
#include "db/embedded/emulation.h"
#include "db/sqlrunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace tivra;

namespace {

QString statement(int i)
{
    return QStringLiteral("INSERT INTO MOVIMENTO (ID, DESCRICAO, VALOR) VALUES (%1, 'Lancamento %1', %2)").arg(i).arg(i * 3);
}

QString shell(const QString &file, const QString &input, bool *ok)
{
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {file});
    sqlite.write(input.toUtf8());
    sqlite.closeWriteChannel();
    *ok = sqlite.waitForFinished(600000) && sqlite.exitCode() == 0;
    if (!*ok)
        std::fprintf(stderr, "sqlite3: %s\n", sqlite.readAllStandardError().constData());
    return QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed();
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QTemporaryDir temporary(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/bench_insert-XXXXXX") : QString());
    if (!temporary.isValid() || count <= 0) {
        std::fprintf(stderr, "usage: bench_insert [COUNT] [FOLDER]\n");
        return 2;
    }
    const QString folder = temporary.path();
    const QString create = QStringLiteral("CREATE TABLE MOVIMENTO (ID INTEGER NOT NULL, DESCRICAO VARCHAR(40), VALOR INTEGER)");

    // The installer's side: an embedded Oracle database reached through Drivers.ini.
    UnattendedUserInterface ui;
    InstallerSession session(ui);
    session.installerDirectory = folder + QLatin1Char('/');
    QFile drivers(folder + QStringLiteral("/Drivers.ini"));
    if (!drivers.open(QIODevice::WriteOnly) || drivers.write("[ORACLE]\r\nTransport=Embedded\r\nFolder=.\r\n") < 0)
        return 1;
    drivers.close();
    QString error;
    if (!embedded::Emulation::createDatabase(folder + QStringLiteral("/BENCH.db"), {}, {}, {}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    DbConnection connection(session);
    if (!ConfigConnection(connection, QStringLiteral("ORACLE"), QStringLiteral("BENCH"), QStringLiteral("u"), QStringLiteral("p"), {}) ||
        !ExecSQLText(connection, create, true)) {
        std::fprintf(stderr, "%s\n", qPrintable(session.status.logText().join(QLatin1Char('\n'))));
        return 1;
    }
    const std::optional<ResultTable> settings = connection.query(QStringLiteral("SELECT 1 AS X FROM DUAL"));

    // The peer: the sqlite3 shell on a plain file with the same table.
    const QString peerFile = folder + QStringLiteral("/peer.db");
    bool ok = false;
    shell(peerFile, create + QStringLiteral(";\n"), &ok);
    if (!ok)
        return 1;
    const QString peerSettings = shell(peerFile, QStringLiteral("PRAGMA journal_mode;\nPRAGMA synchronous;\n"), &ok);
    QElapsedTimer timer;
    qint64 ours = 0;
    qint64 peer = 0;
    int failures = 0;
    const int rounds = count >= 10 ? 10 : 1;
    for (int round = 0; round < rounds; ++round) {
        const int first = round * count / rounds + 1;
        const int last = (round + 1) * count / rounds;
        timer.start();
        for (int i = first; i <= last; ++i)
            failures += ExecSQLText(connection, statement(i), true) ? 0 : 1;
        ours += timer.nsecsElapsed();

        QString script;
        for (int i = first; i <= last; ++i)
            script += statement(i) + QStringLiteral(";\n");
        timer.start();
        shell(peerFile, script, &ok);
        peer += timer.nsecsElapsed();
        if (!ok)
            return 1;
    }
    connection.close();

    const QString check = shell(peerFile, QStringLiteral("SELECT COUNT(*) FROM MOVIMENTO;\n"), &ok);
    const QString oursCheck = shell(folder + QStringLiteral("/BENCH.db"),
                                    QStringLiteral("PRAGMA journal_mode;\nPRAGMA synchronous;\nSELECT COUNT(*) FROM MOVIMENTO;\n"), &ok);
    std::printf("bench_insert: %d INSERT statements, each its own transaction, in %s\n", count, qPrintable(QDir::toNativeSeparators(folder)));
    std::printf("  settings (journal_mode, synchronous): ExecSQLText %s | sqlite3 shell %s\n",
                qPrintable(oursCheck.section(QLatin1Char('\n'), 0, 1).replace(QLatin1Char('\n'), QStringLiteral(", "))),
                qPrintable(QString(peerSettings).replace(QLatin1Char('\n'), QStringLiteral(", "))));
    std::printf("  rows: ExecSQLText %s (failures %d) | sqlite3 shell %s\n", qPrintable(oursCheck.section(QLatin1Char('\n'), 2)),
                failures, qPrintable(check));
    std::printf("  ExecSQLText (embedded): %9.1f ms  (%.1f us per statement)\n", ours / 1e6, ours / 1e3 / count);
    std::printf("  sqlite3 shell:          %9.1f ms  (%.1f us per statement)\n", peer / 1e6, peer / 1e3 / count);
    std::printf("  ratio: %.2f (goal: at most 1.50)\n", double(ours) / double(peer));
    (void)settings;
    return failures == 0 ? 0 : 1;
}
