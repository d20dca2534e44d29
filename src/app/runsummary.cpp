#include "app/runsummary.h"

#include "app/installer.h"
#include "app/unattended.h"
#include "db/connection.h"
#include "db/sqlrunner.h"
#include "db/validation.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace tivra {

namespace {

QString verdictName(Installer::RunResult result)
{
    switch (result) {
    case Installer::RunResult::Completed: return QStringLiteral("completed");
    case Installer::RunResult::CompletedWithFailures: return QStringLiteral("completedWithFailures");
    case Installer::RunResult::Interrupted: return QStringLiteral("interrupted");
    case Installer::RunResult::Aborted: return QStringLiteral("aborted");
    case Installer::RunResult::None: break;
    }
    return QStringLiteral("none");
}

int exitStatusOf(Installer::RunResult result)
{
    switch (result) {
    case Installer::RunResult::Completed: return ExitCompleted;
    case Installer::RunResult::CompletedWithFailures: return ExitCompletedWithFailures;
    default: return ExitInterrupted;
    }
}

QString validationName(qint64 image)
{
    switch (image) {
    case ImageSuccess: return QStringLiteral("authenticated");
    case ImageError: return QStringLiteral("denied");
    case ImageIgnored: return QStringLiteral("ignored");
    default: return QStringLiteral("waiting");
    }
}

// The groups of status rows that belong to a stage of the chain: the catalog's one entry covers
// the stages it runs (07, 09, 10, 11 and 08).
bool rowBelongs(const QString &group, const QString &stage)
{
    if (group == stage)
        return true;
    if (stage.startsWith(QStringLiteral("07.")))
        return group.startsWith(QStringLiteral("07.")) || group.startsWith(QStringLiteral("08."))
               || group.startsWith(QStringLiteral("09.")) || group.startsWith(QStringLiteral("10."))
               || group.startsWith(QStringLiteral("11."));
    return false;
}

QJsonArray paths(const QStringList &list)
{
    QJsonArray array;
    for (const QString &path : list)
        array.append(QDir::toNativeSeparators(path));
    return array;
}

}  // namespace

QJsonObject runSummary(const Installer &installer, const std::vector<StageRecord> &stages)
{
    const InstallerSession &session = installer.session;
    QJsonObject summary;
    summary.insert(QStringLiteral("schemaVersion"), kRunSummarySchemaVersion);
    summary.insert(QStringLiteral("verdict"), verdictName(installer.lastRunResult));
    summary.insert(QStringLiteral("exitStatus"), exitStatusOf(installer.lastRunResult));
    summary.insert(QStringLiteral("title"), installer.lastVerdict.title);
    summary.insert(QStringLiteral("subtitle"), installer.lastVerdict.subtitle);
    summary.insert(QStringLiteral("errorCount"), installer.lastFailures);
    summary.insert(QStringLiteral("packageVersion"), session.package.versaoPacote);
    summary.insert(QStringLiteral("customerCode"), session.customerCode);
    summary.insert(QStringLiteral("applicationDirectory"), QDir::toNativeSeparators(session.pathAppTivra));
    // Whether this build checks the signatures of what it downloads (it has a signing key).
    summary.insert(QStringLiteral("downloadsVerified"), !session.build.signingPublicKey.isEmpty());

    const auto &rows = session.status.rows();
    QJsonArray stageArray;
    for (const StageRecord &stage : stages) {
        int errors = 0;
        int rowsOfStage = 0;
        int ignored = 0;
        for (const auto &row : rows) {
            if (!rowBelongs(row.group, stage.name))
                continue;
            ++rowsOfStage;
            errors += row.image == ImageError ? 1 : 0;
            ignored += row.image == ImageIgnored ? 1 : 0;
        }
        QString outcome;
        if (!stage.ran)
            outcome = QStringLiteral("notRun");
        else if (!stage.succeeded || errors > 0)
            outcome = QStringLiteral("failed");
        else if (rowsOfStage > 0 && ignored == rowsOfStage)
            outcome = QStringLiteral("skipped");
        else
            outcome = QStringLiteral("succeeded");
        QJsonObject entry;
        entry.insert(QStringLiteral("name"), stage.name);
        entry.insert(QStringLiteral("outcome"), outcome);
        entry.insert(QStringLiteral("durationMs"), stage.milliseconds);
        entry.insert(QStringLiteral("errors"), errors);
        stageArray.append(entry);
    }
    summary.insert(QStringLiteral("stages"), stageArray);

    QJsonArray databases;
    QStringList exports;
    for (int row = 0; row < session.cdsDbs.count(); ++row) {
        const QString alias = session.cdsDbs.text(row, QStringLiteral("ALIAS"));
        QJsonObject entry;
        entry.insert(QStringLiteral("alias"), alias);
        entry.insert(QStringLiteral("vendor"), session.cdsDbs.text(row, QStringLiteral("VENDOR")));
        entry.insert(QStringLiteral("validation"), validationName(session.cdsDbs.integer(row, QStringLiteral("IMAGE"))));
        if (session.validationFailures.contains(alias))
            entry.insert(QStringLiteral("validationError"), session.validationFailures.value(alias));
        // A database of the list that took no part in the run says so, and why.
        const QString notUpdated = installer.notUpdatedReason(row);
        entry.insert(QStringLiteral("tookPart"), notUpdated.isEmpty());
        if (!notUpdated.isEmpty())
            entry.insert(QStringLiteral("notUpdated"), notUpdated);
        // The latest complete script version recorded before the run (as a number), and after it:
        // read again from the database, as the validation read it; left out when that fails.
        entry.insert(QStringLiteral("scriptVersionBefore"), session.cdsDbs.integer(row, QStringLiteral("MAX_PACK_COMPLETE")));
        if (session.runReport.scriptVersionsAfter.contains(alias))
            entry.insert(QStringLiteral("scriptVersionAfter"), session.runReport.scriptVersionsAfter.value(alias));
        for (const DatabaseRunReport &report : session.runReport.databases) {
            if (report.alias != alias)
                continue;
            QJsonObject statements;
            statements.insert(QStringLiteral("run"), report.statementsRun);
            statements.insert(QStringLiteral("failed"), report.statementsFailed);
            statements.insert(QStringLiteral("skipped"), report.statementsSkipped);
            statements.insert(QStringLiteral("remaining"), report.statementsRemaining);
            entry.insert(QStringLiteral("statements"), statements);
            entry.insert(QStringLiteral("scriptsComplete"),
                         report.scriptsRan && report.statementsFailed == 0 && report.statementsRemaining == 0);
            if (!report.failedStatementsExport.isEmpty()) {
                entry.insert(QStringLiteral("failedStatementsExport"),
                             QDir::toNativeSeparators(report.failedStatementsExport));
                exports << report.failedStatementsExport;
            }
        }
        databases.append(entry);
    }
    summary.insert(QStringLiteral("databases"), databases);

    QJsonObject files;
    files.insert(QStringLiteral("replaced"), paths(session.runReport.filesReplaced));
    files.insert(QStringLiteral("kept"), paths(session.runReport.filesKept));
    summary.insert(QStringLiteral("files"), files);

    // The final report's delivery to the maker's site, and the structure models not delivered.
    QJsonObject report;
    const DeliveryReport &delivery = session.runReport.finalReport;
    switch (delivery.outcome) {
    case DeliveryReport::Outcome::Sent: report.insert(QStringLiteral("status"), QStringLiteral("sent")); break;
    case DeliveryReport::Outcome::Failed:
        report.insert(QStringLiteral("status"), QStringLiteral("failed"));
        report.insert(QStringLiteral("error"), delivery.error);
        break;
    case DeliveryReport::Outcome::NotSent: report.insert(QStringLiteral("status"), QStringLiteral("notSent")); break;
    }
    summary.insert(QStringLiteral("finalReport"), report);
    summary.insert(QStringLiteral("structureModelFailures"), QJsonArray::fromStringList(session.runReport.structureModelFailures));

    QJsonObject outputs;
    outputs.insert(QStringLiteral("logFile"), QDir::toNativeSeparators(installer.lastLogFile));
    outputs.insert(QStringLiteral("logbookFile"), QDir::toNativeSeparators(installer.lastLogbookFile));
    outputs.insert(QStringLiteral("failedStatementExports"), paths(exports));
    summary.insert(QStringLiteral("outputs"), outputs);
    return summary;
}

void readScriptVersionsAfter(InstallerSession &session)
{
    for (int row = 0; row < session.cdsDbs.count(); ++row) {
        if (session.cdsDbs.integer(row, QStringLiteral("IMAGE")) != ImageSuccess)
            continue;
        DbConnection connection(session);
        if (ConnectCurrentEntry(connection, row))
            session.runReport.scriptVersionsAfter.insert(session.cdsDbs.text(row, QStringLiteral("ALIAS")),
                                                         maxPackComplete(connection));
    }
}

QString runSummaryPath(const QString &logFile)
{
    const QFileInfo info(logFile);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".json"));
}

bool writeRunSummary(const Installer &installer, const std::vector<StageRecord> &stages, QString *error)
{
    QSaveFile file(runSummaryPath(installer.lastLogFile));
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(QJsonDocument(runSummary(installer, stages)).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace tivra
