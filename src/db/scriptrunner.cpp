#include "db/scriptrunner.h"

#include "core/clock.h"
#include "core/logfiles.h"
#include "core/session.h"
#include "db/connection.h"
#include "db/sqlrunner.h"
#include "db/tablespaces.h"
#include "db/versionchecks.h"
#include "db/versiontables.h"
#include "platform/textfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>

#include <set>

namespace tivra {

namespace {

const QString kNenhumScript = QStringLiteral("- Nenhum script executado");

// Adds time to one of the stats' counters while in scope.
class Lap {
public:
    Lap(ScriptRunStats *stats, qint64 ScriptRunStats::*field) : m_stats(stats), m_field(field)
    {
        if (m_stats)
            m_timer.start();
    }
    ~Lap()
    {
        if (m_stats)
            m_stats->*m_field += m_timer.nsecsElapsed();
    }
    Lap(const Lap &) = delete;
    Lap &operator=(const Lap &) = delete;

private:
    ScriptRunStats *m_stats;
    qint64 ScriptRunStats::*m_field;
    QElapsedTimer m_timer;
};

const QStringList &dependenciesOf(const PackageSettings &package, const QString &vendor, bool *known)
{
    static const QStringList none;
    *known = true;
    if (vendor == QStringLiteral("DB2"))
        return package.dependenciasDB2;
    if (vendor == QStringLiteral("ORACLE"))
        return package.dependenciasOracle;
    if (vendor == QStringLiteral("MSSQL"))
        return package.dependenciasMSSQL;
    *known = false;
    return none;
}

enum class Resume { GoOn, AllExecuted, ReadFailed };

// The resume check: marks the pieces that the statement log lists as executed for the package
// version. Everything counts as executed when every non-blank statement is listed.
Resume resumeCheck(InstallerSession &session, int entry, QStringList &pieces)
{
    if (session.package.ignorarVersao)
        return Resume::GoOn;
    DbConnection connection(session);
    if (!ConnectCurrentEntry(connection, entry))
        return Resume::GoOn;  // the execution reports the connection error
    if (!ExecSQLText(connection, QStringLiteral("SELECT 1 FROM ") + kInstBancoPack, false))
        ExecSQLText(connection, instBancoPackCreateText(), true);
    std::optional<ResultTable> rows = GetNumInstrucaoSQLExec(connection, session.package.versaoPacote);
    if (!rows || !rows->hasColumn(QStringLiteral("NUM_INSTRUCAO_SQL")))
        return Resume::ReadFailed;

    QList<qint64> positions;
    positions.reserve(rows->count());
    for (int row = 0; row < rows->count(); ++row)
        positions.append(rows->integer(row, QStringLiteral("NUM_INSTRUCAO_SQL")));
    return markExecutedStatements(pieces, positions) ? Resume::AllExecuted : Resume::GoOn;
}

}  // namespace

bool markExecutedStatements(QStringList &pieces, const QList<qint64> &executedPositions)
{
    const qint64 statements = pieces.size() - 1;
    std::set<qint64> executed;
    for (const qint64 position : executedPositions) {
        if (position >= 0 && position < statements)
            executed.insert(position);
    }
    bool anyStatement = false;
    bool allListed = true;
    for (qint64 p = 0; p < statements; ++p) {
        if (trimStatement(pieces.at(p)).isEmpty())
            continue;
        anyStatement = true;
        if (!executed.count(p))
            allListed = false;
    }
    if (anyStatement && allListed)
        return true;
    for (const qint64 p : executed)
        pieces[p] = kExecutedMarker;
    return false;
}

int statementsToRun(const QStringList &pieces)
{
    int count = 0;
    for (qsizetype p = 0; p + 1 < pieces.size(); ++p) {
        const QString statement = trimStatement(pieces.at(p));
        count += !statement.isEmpty() && statement != kExecutedMarker ? 1 : 0;
    }
    return count;
}

int statementsMarkedExecuted(const QStringList &pieces)
{
    int count = 0;
    for (qsizetype p = 0; p + 1 < pieces.size(); ++p)
        count += trimStatement(pieces.at(p)) == kExecutedMarker ? 1 : 0;
    return count;
}

QString scriptFileName(const QString &vendor)
{
    if (vendor == QStringLiteral("DB2"))
        return QStringLiteral("ScriptsDB2.sql");
    if (vendor == QStringLiteral("ORACLE"))
        return QStringLiteral("ScriptsOracle.sql");
    if (vendor == QStringLiteral("MSSQL"))
        return QStringLiteral("ScriptsMSSQL.sql");
    return {};
}

QString decodeScriptText(const QByteArray &bytes)
{
    return platform::decodeWindowsText(bytes);
}

QString readScriptText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = platform::splitLines(decodeScriptText(file.readAll()));
    QString text;
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text;
}

QStringList splitScript(const QString &text, const QString &delimiter)
{
    if (text.isEmpty())
        return {};
    return text.split(delimiter.isEmpty() ? QStringLiteral(";") : delimiter, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString trimStatement(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return begin == 0 && end == text.size() ? text : text.mid(begin, end - begin);
}

bool hasExecutableContent(const QString &text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() <= 0x20)
            continue;
        if (c == u'-' && i + 1 < size && text.at(i + 1) == u'-') {
            while (i < size && text.at(i) != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && i + 1 < size && text.at(i + 1) == u'*') {
            const qsizetype close = text.indexOf(QStringLiteral("*/"), i + 2);
            if (close < 0)
                return false;  // an unterminated comment runs to the end
            i = close + 1;
            continue;
        }
        return true;
    }
    return false;
}

bool dependsOnPredecessor(const QStringList &dependencies, int position)
{
    if (position <= 0 || position >= dependencies.size())
        return false;
    const QString &line = dependencies.at(position);
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals >= 0 && equals + 1 < line.size() && line.at(equals + 1) == QLatin1Char('S');
}

bool AtualizaScripts(InstallerSession &session, ScriptRunStats *stats)
{
    QElapsedTimer total;
    total.start();
    const PackageSettings &package = session.package;
    MemTable &dbs = session.cdsDbs;
    const auto row = [&](const QString &text, int image) { session.UpdateStatus(text, true, kStageScripts, image, true); };
    const auto writeStatus = [&](int entry, int status) {
        Lap lap(stats, &ScriptRunStats::statusNanos);
        AtualizaStatusVersao(session, entry, kVsPackBanco, status);
    };

    // 1. A package without scripts: every database is complete for this stage.
    if (!package.existScript) {
        for (int entry = 0; entry < dbs.count(); ++entry) {
            if (dbs.integer(entry, QStringLiteral("IMAGE")) != ImageSuccess)
                continue;
            row(QStringLiteral("Scripts não incluídos no pacote. Etapa ignorada no banco \"") +
                    dbs.text(entry, QStringLiteral("ALIAS")) + QStringLiteral("\"."),
                ImageIgnored);
            writeStatus(entry, kStatusComplete);
        }
        if (stats)
            stats->totalNanos += total.nsecsElapsed();
        return true;
    }

    // 2. The three statement lists.
    const QString delimiter = package.sqlDelimiter.isEmpty() ? QStringLiteral(";") : package.sqlDelimiter;
    QStringList db2, oracle, mssql;
    {
        Lap lap(stats, &ScriptRunStats::splitNanos);
        db2 = splitScript(readScriptText(joinPath(session.workingFolder, scriptFileName(QStringLiteral("DB2")))), delimiter);
        oracle = splitScript(readScriptText(joinPath(session.workingFolder, scriptFileName(QStringLiteral("ORACLE")))), delimiter);
        mssql = splitScript(readScriptText(joinPath(session.workingFolder, scriptFileName(QStringLiteral("MSSQL")))), delimiter);
    }

    // 3. Every validated database.
    for (int entry = 0; entry < dbs.count(); ++entry) {
        if (dbs.integer(entry, QStringLiteral("IMAGE")) != ImageSuccess)
            continue;
        const QString alias = dbs.text(entry, QStringLiteral("ALIAS"));
        const QString vendor = dbs.text(entry, QStringLiteral("VENDOR"));
        const QString inBanco = QStringLiteral(" no banco \"") + alias + QStringLiteral("\"");
        session.logbook.append(QStringLiteral("\r\n*** SCRIPTS EXECUTADOS (Banco: ") + alias + QStringLiteral(")"));

        // A fresh copy for this database: tablespace names and executed markers change it only.
        QStringList pieces = vendor == QStringLiteral("DB2")      ? db2
                             : vendor == QStringLiteral("ORACLE") ? oracle
                             : vendor == QStringLiteral("MSSQL")  ? mssql
                                                                  : QStringList();
        // Unmapped names stay as they are, so applying the mapping whenever the package names
        // tablespaces is the same as applying it when the summary page offered the mapping.
        if (!package.tableSpaces.isEmpty())
            pieces = AplicaTableSpaces(session, alias, pieces);

        {
            Lap lap(stats, &ScriptRunStats::statusNanos);
            if (!CanUpdatePackDataBase(session, entry, kStageScripts, kVsPackBanco)) {
                session.logbook.append(kNenhumScript);
                continue;
            }
        }

        // A script of blanks and comments only (a vendor's script that says there is nothing to
        // do) has no instruction either, whatever its delimiters.
        const bool noContent = !hasExecutableContent(pieces.join(delimiter));
        if (pieces.isEmpty() || noContent) {
            writeStatus(entry, kStatusComplete);
            row(QStringLiteral("Não existem instruções para execução") + inBanco + QStringLiteral("."), ImageIgnored);
            session.logbook.append(kNenhumScript);
            continue;
        }
        // Text without a single delimiter has no statement to execute: the package's delimiter
        // does not match its script. Nothing of it ran, so the version is not complete.
        if (pieces.size() == 1) {
            writeStatus(entry, kStatusPartial);
            row(QStringLiteral("Nenhuma instrução executada") + inBanco + QStringLiteral(": o script não contém o delimitador \"") +
                    delimiter + QStringLiteral("\"."),
                ImageError);
            session.logbook.append(kNenhumScript);
            continue;
        }

        Resume resume;
        {
            Lap lap(stats, &ScriptRunStats::statementLogNanos);
            resume = resumeCheck(session, entry, pieces);
        }
        if (resume == Resume::ReadFailed) {
            // Without the statement log it is unknown what already ran: nothing runs here and
            // the version table keeps what it says.
            row(QStringLiteral("Não foi possível ler as instruções já executadas") + inBanco +
                    QStringLiteral(" (INST_BANCO_PACK). Banco ignorado."),
                ImageError);
            session.logbook.append(kNenhumScript);
            continue;
        }
        if (resume == Resume::AllExecuted) {
            writeStatus(entry, kStatusComplete);
            row(QStringLiteral("Todas as instruções para o banco \"") + alias + QStringLiteral("\" já foram executadas!"), ImageSuccess);
            session.logbook.append(kNenhumScript);
            continue;
        }

        const qsizetype statements = pieces.size() - 1;
        DatabaseRunReport &report = session.runReport.database(alias);
        report.scriptsRan = true;
        for (qsizetype p = 0; p < statements; ++p)
            report.statementsSkipped += trimStatement(pieces.at(p)) == kExecutedMarker ? 1 : 0;
        row(QStringLiteral("Executando ") + QString::number(statements) + QStringLiteral(" instruções") + inBanco +
                QStringLiteral("..."),
            ImageSuccess);

        int failures = 0;
        QStringList failed;
        // A session lost in the middle (server restarted): the rest of the script is not run
        // here; a rerun resumes as the statement log says.
        bool lost = false;
        int ran = 0;
        int remaining = 0;
        {
            DbConnection connection(session);
            if (stats)
                ++stats->statementConnections;
            if (!ConnectCurrentEntry(connection, entry)) {
                row(QStringLiteral("Erro de conexão ao banco \"") + alias + QStringLiteral("\"."), ImageError);
                continue;
            }
            bool knownVendor = true;
            const QStringList &dependencies = dependenciesOf(package, vendor, &knownVendor);
            bool previousSucceeded = true;
            QElapsedTimer execution;
            for (qsizetype p = 0; p < statements; ++p) {
                session.status.reportProgress(p, statements, ProgressUnit::Statements);
                const QString &piece = pieces.at(p);
                const QString statement = trimStatement(piece);
                if (statement.isEmpty()) {
                    previousSucceeded = false;
                    continue;
                }
                if (statement == kExecutedMarker) {
                    previousSucceeded = true;
                    continue;
                }
                const bool allowed =
                    knownVendor && (!dependsOnPredecessor(dependencies, int(p)) || previousSucceeded);
                if (!allowed) {
                    ++failures;
                    session.UpdateStatus(QStringLiteral("Instrução \"") + piece +
                                             QStringLiteral("\" ignorada da execução pois a instrução anterior não foi executada "
                                                            "corretamente."),
                                         true, QString(), ImageIgnored, false);
                    previousSucceeded = false;
                    continue;
                }
                if (stats) {
                    ++stats->statementsRun;
                    execution.start();
                }
                const bool ok = ExecSQLText(connection, statement, true);
                if (stats)
                    stats->executionNanos += execution.nsecsElapsed();
                if (!ok && connection.connectionLost()) {
                    lost = true;
                    for (qsizetype q = p; q < statements; ++q) {
                        const QString rest = trimStatement(pieces.at(q));
                        remaining += !rest.isEmpty() && rest != kExecutedMarker ? 1 : 0;
                    }
                    break;
                }
                ++ran;
                if (ok) {
                    session.logbook.append(statement + delimiter + QStringLiteral("\r\n"));
                    previousSucceeded = true;
                } else {
                    ++failures;
                    failed.append(statement + delimiter);
                    previousSucceeded = false;
                }
            }
            if (!lost)
                session.status.reportProgress(statements, statements, ProgressUnit::Statements);
        }
        session.status.endProgress();

        report.statementsRun = ran;
        report.statementsFailed = failures;
        report.statementsRemaining = remaining;
        Lap lap(stats, &ScriptRunStats::statusNanos);
        if (lost) {
            row(QStringLiteral("     Conexão com o banco \"") + alias + QStringLiteral("\" perdida durante os scripts: ") +
                    (ran == 1 ? QStringLiteral("1 instrução executada, ") : QString::number(ran) + QStringLiteral(" instruções executadas, ")) +
                    (remaining == 1 ? QStringLiteral("1 instrução restante não executada.")
                                    : QString::number(remaining) + QStringLiteral(" instruções restantes não executadas.")) +
                    QStringLiteral(" Execute a atualização novamente para continuar."),
                ImageError);
        }
        if (failures == 0 && !lost) {
            AtualizaStatusVersao(session, entry, kVsPackBanco, kStatusComplete);
            row(QStringLiteral("     Todos os scripts foram executados com sucesso!"), ImageSuccess);
            continue;
        }
        AtualizaStatusVersao(session, entry, kVsPackBanco, kStatusPartial);
        if (failures == 0)
            continue;
        const QString folder = joinPath(session.pathLog, QStringLiteral("ScriptsComErro"));
        QDir().mkpath(folder);
        row(failures == 1 ? QStringLiteral("     1 script não foi executado.")
                          : QStringLiteral("     ") + QString::number(failures) + QStringLiteral(" scripts não foram executados."),
            ImageError);
        const QString file = joinPath(folder, safeFileNamePart(package.versaoPacote) + QLatin1Char('_') + safeFileNamePart(alias) + QLatin1Char('_') +
                                                  currentDateTime().toString(QStringLiteral("ddMMyyyy_hhmm")) +
                                                  QStringLiteral(".sql"));
        QString error;
        const QString written = platform::writeNewTextItems(file, failed, &error);
        if (!written.isEmpty()) {
            report.failedStatementsExport = written;
            row(QStringLiteral("     Scripts com erro foram exportados para a pasta de Logs."), ImageSuccess);
        } else {
            row(QStringLiteral("     Não foi possível exportar os scripts com erro para a pasta de Logs (") + file +
                    QStringLiteral("). Mensagem: ") + error,
                ImageError);
        }
    }
    if (stats)
        stats->totalNanos += total.nsecsElapsed();
    return true;
}

}  // namespace tivra
