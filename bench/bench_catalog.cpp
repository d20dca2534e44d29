// bench_catalog [TABLES] [FOLDER] [ROUNDS]
//
// The table catalog import (stage 07) of a generated catalog of TABLES (300) tables with 20
// columns and 20 links each, into an empty embedded Oracle database and then into the same,
// now up-to-date, database. Every statement is observed: the figures are the seconds, the read
// and write statements per table, and the share of the time spent in reads (lookups). The write
// statements of the empty import are captured and replayed by the sqlite3 shell on a copy of the
// empty database, in the same run, in ROUNDS (3) pairs; the goal is at most 1.5 times the
// shell's time in the median pair, and no write and a constant number of reads per table for the
// up-to-date import.
//
// Then the other catalogs the same way: 50 structured tables of 200 items, 5 000 messages and
// 5 000 labels into the database that lacks them and again into the up-to-date one; the goal is
// no write and a constant number of reads per catalog when up to date.
#include "catalog/catalogimport.h"
#include "catalog/mensagens.h"
#include "catalog/tabestrut.h"
#include "catalog/packetcsv.h"
#include "core/session.h"
#include "core/userinterface.h"
#include "db/embedded/dialect.h"
#include "db/embedded/emulation.h"
#include "db/sqlrunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringMatcher>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sched.h>
#include <sys/resource.h>

using namespace tivra;

namespace {

struct Counters {
    qint64 reads = 0;
    qint64 writes = 0;
    qint64 catalogWrites = 0;  // writes outside the version tables
    qint64 readNs = 0;
    // The captured statements, one after the other in one buffer (ends: where each ends), so
    // that keeping them does not keep thousands of separate blocks alive in the heap the import
    // allocates from.
    QString captured;
    std::vector<qsizetype> ends;

    void keep(const QString &statement)
    {
        captured += statement;
        ends.push_back(captured.size());
    }
    // Turns capturing on with room for the statements expected, so that keeping them costs the
    // import being measured no reallocation of a buffer of megabytes.
    void startCapture(qsizetype expected)
    {
        capture = true;
        captured.reserve(expected * 512);
        ends.reserve(size_t(expected));
    }
    qsizetype capturedCount() const { return qsizetype(ends.size()); }
    QStringList statements() const
    {
        QStringList list;
        qsizetype from = 0;
        for (const qsizetype end : ends) {
            list.append(captured.mid(from, end - from).trimmed());
            from = end;
        }
        return list;
    }
    bool capture = false;
};

std::vector<TablePackets> generate(int tables)
{
    std::vector<TablePackets> result;
    for (int t = 1; t <= tables; ++t) {
        const QString name = QStringLiteral("TAB%1").arg(t, 4, 10, QLatin1Char('0'));
        QString col = QStringLiteral("ID_CATALOGO_COLUNA:i4,NOME_COLUNA:string:50,DESCR_COLUNA:string:100,IND_COLUNA:string:1,"
                                     "TIPO_DADO_TAB:i4,TIPO_DADO_ITEM:i4,TIPO_DADO_INT_TAB:i4,TIPO_DADO_INT_ITEM:i4\n");
        QString tcl = QStringLiteral("ID_TABCOL:i4,ID_CATALOGO_COLUNA:i4,NOME_TABELA:string:50,NOME_COLUNA:string:50,TAMANHO:i4,"
                                     "ESCALA:i4,SEQUENCIA:i4,ORDEM_CHAVE_LOGICA:i4,NUM_NIVEL:i4,ID_TABELA_TAB_EST:i4,ID_TABELA_ITEM_EST:i4,"
                                     "TIPO_COLUNA_TAB:i4,TIPO_COLUNA_ITEM:i4,DESCR_COLUNA:string:100,IND_NULO:string:1,IND_LOCALIZAR:string:1,"
                                     "IND_CHAVE_FISICA:string:1,IND_AUTO_RELAC:string:1,IND_UPCASE:string:1\n");
        for (int c = 1; c <= 20; ++c) {
            const int key = t * 100 + c;
            const QString column = QStringLiteral("%1_C%2").arg(name).arg(c);
            col += QStringLiteral("%1,%2,Coluna %3 de %4,S,124,1,124,1\n").arg(key).arg(column).arg(c).arg(name);
            tcl += QStringLiteral("%1,%2,%3,%4,10,0,%5,%6,,,,124,1,Coluna %5,S,S,N,N,N\n")
                       .arg(key + 500000)
                       .arg(key)
                       .arg(name, column)
                       .arg(c)
                       .arg(c == 1 ? 1 : 0);
        }
        TablePackets packets;
        packets.idTabela = t;
        packets.nomeTabela = name;
        packets.tab = packetFromCsv(QStringLiteral("NOME_TABELA:string:50,TIPO_TABELA_TAB:i4,TIPO_TABELA_ITEM:i4,DESCR_TABELA:string:100,"
                                                   "DESCR_TABELA_PL:string:100,IND_ESTRUTURADO:string:1,NUM_NIVEIS:i4,TEXTO_CONSULTA:memo,"
                                                   "ID_TABELA_BASE:i4,TIPO_CHAVE_TAB:i4,TIPO_CHAVE_ITEM:i4\n") +
                                    name + QStringLiteral(",123,2,Tabela,Tabelas,N,,SELECT 1,,0,1\n"));
        packets.col = packetFromCsv(col);
        packets.tcl = packetFromCsv(tcl);
        result.push_back(std::move(packets));
    }
    return result;
}

QString shell(const QString &file, const QString &input, bool *ok)
{
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {file});
    sqlite.write(input.toUtf8());
    sqlite.closeWriteChannel();
    *ok = sqlite.waitForFinished(1800000) && sqlite.exitCode() == 0;
    if (!*ok)
        std::fprintf(stderr, "sqlite3: %s\n", sqlite.readAllStandardError().left(2000).constData());
    return QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed();
}

// The captured writes as a script for the sqlite3 shell, in the SQLite dialect the emulation
// runs them in: SYSDATE is the server's local time there too, and the one bound value (the
// query text of a table) goes in as the literal it is bound to.
QString shellScript(const QStringList &statements)
{
    const QString now = embedded::dateTimeReplacement(QStringLiteral("SYSDATE"));
    QString script;
    for (QString statement : statements) {
        statement.replace(QStringLiteral("SYSDATE"), now);
        statement.replace(QStringLiteral(":TEXTO_CONSULTA"), QStringLiteral("'SELECT 1'"));
        script += statement + QStringLiteral(";\n");
    }
    return script;
}

bool runSchema(InstallerSession &session)
{
    DbConnection connection(session);
    if (!ConnectCurrentEntry(connection, 0))
        return false;
    QFile schema(QStringLiteral(TIVRA_SOURCE_DIR "/tools/demo/databases/schema.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        return false;
    QString text;
    for (const QString &line : QString::fromUtf8(schema.readAll()).split(QLatin1Char('\n'))) {
        if (!line.trimmed().startsWith(QStringLiteral("--")))
            text += line + QLatin1Char('\n');
    }
    for (const QString &statement : text.split(QStringLiteral(";\n"), Qt::SkipEmptyParts)) {
        if (!statement.trimmed().isEmpty() && !ExecSQLText(connection, statement, true))
            return false;
    }
    return ExecSQLText(connection, QStringLiteral("INSERT INTO TAB_ESTRUTURADA (ID_TABELA, COD_TABELA, ITEM_TABELA, DESCRICAO) "
                                                  "VALUES (1, 123, 2, 'Consulta')"),
                       true);
}

// Processor seconds (user and system) of this process, or of its finished children: a second
// figure beside the clock, steadier on a machine that others share.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The user-mode part of the same: what the program itself computes, without the kernel's work
// for the file writes, which the import and the shell share statement for statement.
double userSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
}

void report(const char *what, const Counters &c, qint64 ns, int tables)
{
    std::printf("  %-11s %8.2f s   per table: %6.1f reads, %6.1f writes   reads: %4.1f%% of the time\n", what, ns / 1e9,
                double(c.reads) / tables, double(c.writes) / tables, ns ? 100.0 * double(c.readNs) / double(ns) : 0.0);
}

}  // namespace

int main(int argc, char *argv[])
{
    // The import and the shell run on one processor, the one the benchmark starts on (the shell
    // inherits the setting): on a machine whose processors are shared with other machines, one
    // of them can run markedly slower than the other for minutes, and a comparison across the
    // two would measure that instead.
    const int processor = sched_getcpu();
    if (processor >= 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(processor, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0)
            std::fprintf(stderr, "bench_catalog: could not stay on processor %d; the figures may mix two processors\n", processor);
    }
    QCoreApplication app(argc, argv);
    const int tables = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 300;
    const int roundCount = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 3;
    QTemporaryDir temporary(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/bench_catalog-XXXXXX") : QString());
    if (!temporary.isValid() || tables <= 0 || roundCount <= 0) {
        std::fprintf(stderr, "usage: bench_catalog [TABLES] [FOLDER] [ROUNDS]\n");
        return 2;
    }
    const QString folder = temporary.path();
    UnattendedUserInterface ui;
    InstallerSession session(ui);
    session.installerDirectory = folder + QLatin1Char('/');
    session.workingFolder = folder + QStringLiteral("/tmp");
    session.pathLog = folder + QStringLiteral("/Log");
    session.package.versaoPacote = QStringLiteral("1.0.001");
    QFile drivers(folder + QStringLiteral("/Drivers.ini"));
    if (!drivers.open(QIODevice::WriteOnly) || drivers.write("[ORACLE]\r\nTransport=Embedded\r\nFolder=.\r\n") < 0)
        return 1;
    drivers.close();
    QString error;
    if (!embedded::Emulation::createDatabase(folder + QStringLiteral("/BENCH.db"), {}, {}, {}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    session.cdsDbs.append({{QStringLiteral("ALIAS"), QStringLiteral("BENCH")},
                           {QStringLiteral("LOGIN"), QStringLiteral("u")},
                           {QStringLiteral("PASSWORD"), QStringLiteral("p")},
                           {QStringLiteral("VENDOR"), QStringLiteral("ORACLE")},
                           {QStringLiteral("IMAGE"), 1}});
    if (!runSchema(session)) {
        std::fprintf(stderr, "%s\n", qPrintable(session.status.logText().join(QLatin1Char('\n'))));
        return 1;
    }
    // Every round starts from a copy of the empty database, for the import and for the shell.
    const QString benchFile = folder + QStringLiteral("/BENCH.db");
    const QString emptyFile = folder + QStringLiteral("/empty.db");
    const QString peerFile = folder + QStringLiteral("/peer.db");
    if (!QFile::copy(benchFile, emptyFile))
        return 1;
    const auto fromEmpty = [&emptyFile](const QString &file) { return (!QFile::exists(file) || QFile::remove(file)) && QFile::copy(emptyFile, file); };

    const std::vector<TablePackets> catalog = generate(tables);
    Counters counters;
    // Tells the version tables' writes from the catalog's, at the cost of a few comparisons per
    // statement: the observer's time counts in the import's.
    const QStringMatcher versionTable(QStringLiteral("VS_PACK_"));
    DbConnection::setStatementObserver([&counters, &versionTable](const QString &statement, bool write, qint64 ns) {
        if (write) {
            ++counters.writes;
            if (versionTable.indexIn(statement) < 0) {
                ++counters.catalogWrites;
                if (counters.capture)
                    counters.keep(statement);
            }
        } else {
            ++counters.reads;
            counters.readNs += ns;
        }
    });

    // The empty import and the shell's replay of its writes, in pairs, one pair per round: the
    // ratio of each pair is taken, and the goal is judged on their median, which a moment of
    // load on a shared machine moves less than a single pair.
    struct Round {
        qint64 importNs = 0, shellNs = 0;
        double importCpu = 0, shellCpu = 0, importUser = 0, shellUser = 0;
        double ratio() const { return double(importNs) / double(shellNs); }
    };
    std::vector<Round> rounds;
    Counters empty;
    QElapsedTimer timer;
    bool ok = false;
    for (int round = 0; round < roundCount; ++round) {
        if (!fromEmpty(benchFile) || !fromEmpty(peerFile))
            return 1;
        Round r;
        counters = Counters();
        counters.startCapture(qsizetype(tables) * 41);
        double cpu = cpuSeconds(RUSAGE_SELF);
        double user = userSeconds(RUSAGE_SELF);
        timer.start();
        ImportaCatalogoMulti(session, 0, catalog);
        r.importNs = timer.nsecsElapsed();
        r.importCpu = cpuSeconds(RUSAGE_SELF) - cpu;
        r.importUser = userSeconds(RUSAGE_SELF) - user;
        empty = counters;
        const QString script = shellScript(empty.statements());
        cpu = cpuSeconds(RUSAGE_CHILDREN);
        user = userSeconds(RUSAGE_CHILDREN);
        timer.start();
        shell(peerFile, script, &ok);
        r.shellNs = timer.nsecsElapsed();
        r.shellCpu = cpuSeconds(RUSAGE_CHILDREN) - cpu;
        r.shellUser = userSeconds(RUSAGE_CHILDREN) - user;
        if (!ok)
            return 1;
        rounds.push_back(r);
    }
    counters = Counters();
    timer.start();
    ImportaCatalogoMulti(session, 0, catalog);
    const qint64 upToDateNs = timer.nsecsElapsed();
    const Counters upToDate = counters;
    DbConnection::setStatementObserver({});

    const QString peerRows = shell(peerFile, QStringLiteral("SELECT COUNT(*) FROM CATALOGO_TABCOL;\n"), &ok);
    const QString ourRows = shell(benchFile, QStringLiteral("SELECT COUNT(*) FROM CATALOGO_TABCOL;\n"), &ok);
    const int failures = session.status.logText().filter(QStringLiteral("Erro")).size();

    std::printf("bench_catalog: %d tables x 20 columns x 20 links, embedded Oracle, in %s, on processor %d\n", tables,
                qPrintable(QDir::toNativeSeparators(folder)), processor);
    report("empty", empty, rounds.back().importNs, tables);
    report("up to date", upToDate, upToDateNs, tables);
    std::printf("  up to date: %lld write statements outside the version table (goal 0)\n",
                static_cast<long long>(upToDate.catalogWrites));
    std::printf("  sqlite3 shell replaying the %lld writes of the empty import, %d rounds:\n",
                static_cast<long long>(empty.capturedCount()), roundCount);
    for (size_t k = 0; k < rounds.size(); ++k) {
        const Round &r = rounds[k];
        std::printf("    round %zu: import %.2f s, shell %.2f s, ratio %.2f; processor %.2f s / %.2f s (user mode %.2f s / %.2f s)\n",
                    k + 1, r.importNs / 1e9, r.shellNs / 1e9, r.ratio(), r.importCpu, r.shellCpu, r.importUser, r.shellUser);
    }
    std::vector<double> ratios;
    for (const Round &r : rounds)
        ratios.push_back(r.ratio());
    std::sort(ratios.begin(), ratios.end());
    std::printf("  median ratio %.2f (goal: at most 1.50)\n", ratios[ratios.size() / 2]);
    std::printf("  links: import %s | shell %s; error lines in the log: %d\n", qPrintable(ourRows), qPrintable(peerRows), failures);

    // Structured tables, messages and labels.
    const QString peer2 = folder + QStringLiteral("/peer2.db");
    if (!QFile::copy(benchFile, peer2) || !QDir().mkpath(session.workingFolder))
        return 1;
    std::vector<std::optional<DataPacket>> structured;
    for (int code = 1000; code < 1050; ++code) {
        QString csv = QStringLiteral("COD_TABELA:i4,ITEM_TABELA:i4,DESCRICAO:string:100,SIGLA:string:10,IND_DEFAULT:string:1,"
                                     "IND_EXCLUSAO:string:1,IND_ATIVO:string:1\n");
        for (int item = 0; item < 200; ++item)
            csv += QStringLiteral("%1,%2,Item %2 d'a tabela %1,S%2,N,N,S\n").arg(code).arg(item);
        structured.push_back(packetFromCsv(csv));
    }
    QString messages = QStringLiteral("ID_MSG:i4,ID_SISTEMA:i4,COD_SISTEMA:string:10,NOME_SISTEMA:string:60,COD_MENSAGEM:string:20,"
                                      "NOME_CONSTRAINT:string:60,DESCR_MSG:string:255,DETALHES:memo\n");
    QString labels = QStringLiteral("ID_ROTULO:i4,DESCR_ROTULO:string:100,DESCR_HINT:string:255\n");
    for (int i = 1; i <= 5000; ++i) {
        messages += QStringLiteral("%1,%2,S%2,Sistema %2,M%1,CK_%1,Mensagem d'o número %1,Detalhe %1\n").arg(i).arg(i % 10 + 1);
        labels += QStringLiteral("%1,Rótulo %1,Dica d'o rótulo %1\n").arg(i);
    }
    for (const auto &[name, csv] : {std::pair{kMensagensFile, messages}, std::pair{kRotulosFile, labels}}) {
        QFile file(QDir(session.workingFolder).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(writeBinaryPacket(packetFromCsv(csv))) < 0)
            return 1;
    }
    struct Figures {
        Counters counters;
        qint64 ns[3] = {0, 0, 0};
        double cpu = 0;
    };
    const auto runAll = [&](bool capture) {
        Figures figures;
        counters = Counters();
        if (capture)
            counters.startCapture(50 * 200 + 5000 + 5000);
        const double start = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer clock;
        clock.start();
        ImportaTabEstrutMulti(session, 0, structured);
        figures.ns[0] = clock.nsecsElapsed();
        clock.start();
        ImportaCdsMensagens(session, 0);
        figures.ns[1] = clock.nsecsElapsed();
        clock.start();
        ImportaCdsRotulos(session, 0);
        figures.ns[2] = clock.nsecsElapsed();
        figures.cpu = cpuSeconds(RUSAGE_SELF) - start;
        figures.counters = counters;
        return figures;
    };
    DbConnection::setStatementObserver([&counters, &versionTable](const QString &statement, bool write, qint64 ns) {
        if (write) {
            ++counters.writes;
            if (versionTable.indexIn(statement) < 0) {
                ++counters.catalogWrites;
                if (counters.capture)
                    counters.keep(statement);
            }
        } else {
            ++counters.reads;
            counters.readNs += ns;
        }
    });
    const Figures fresh = runAll(true);
    const Figures current = runAll(false);
    DbConnection::setStatementObserver({});
    const QString script = shellScript(fresh.counters.statements());
    const double cpu = cpuSeconds(RUSAGE_CHILDREN);
    timer.start();
    shell(peer2, script, &ok);
    const qint64 shell2Ns = timer.nsecsElapsed();
    const double shell2Cpu = cpuSeconds(RUSAGE_CHILDREN) - cpu;
    const qint64 fresh2Ns = fresh.ns[0] + fresh.ns[1] + fresh.ns[2];
    const int failures2 = session.status.logText().filter(QStringLiteral("Erro")).size();
    std::printf("bench_catalog: 50 structured tables x 200 items, 5000 messages, 5000 labels\n");
    std::printf("  empty       %8.2f s (structured %.2f, messages %.2f, labels %.2f): %lld reads, %lld writes\n", fresh2Ns / 1e9,
                fresh.ns[0] / 1e9, fresh.ns[1] / 1e9, fresh.ns[2] / 1e9, static_cast<long long>(fresh.counters.reads),
                static_cast<long long>(fresh.counters.writes));
    std::printf("  up to date  %8.2f s: %lld reads (%.1f per catalog of 52), %lld writes outside the version tables (goal 0)\n",
                (current.ns[0] + current.ns[1] + current.ns[2]) / 1e9, static_cast<long long>(current.counters.reads),
                double(current.counters.reads) / 52.0, static_cast<long long>(current.counters.catalogWrites));
    std::printf("  sqlite3 shell replaying the %lld writes: %.2f s; ratio %.2f (goal: at most 1.50); error lines: %d\n",
                static_cast<long long>(fresh.counters.capturedCount()), shell2Ns / 1e9, double(fresh2Ns) / double(shell2Ns),
                failures2 - failures);
    std::printf("  processor time: import %.2f s, shell %.2f s; ratio %.2f\n", fresh.cpu, shell2Cpu, fresh.cpu / shell2Cpu);
    return failures2 == 0 ? 0 : 1;
}
