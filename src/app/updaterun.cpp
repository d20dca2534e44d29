// The update run: the chain of stages, the conclusion, the verdict, the log file and logbook.
#include "app/updaterun.h"

#include "app/installer.h"
#include "app/runsummary.h"
#include "app/subsystems.h"
#include "catalog/catalogo.h"
#include "core/logfiles.h"
#include "core/userinterface.h"
#include "deploy/backup.h"
#include "deploy/binarycopy.h"
#include "deploy/complus.h"
#include "db/scriptrunner.h"
#include "deploy/versoesini.h"
#include "package/extractfiles.h"
#include "package/packagearchive.h"
#include "platform/system.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>

namespace tivra {

std::vector<UpdateStage> updateStages()
{
    const auto stopComponents = [](InstallerSession &session) { return ControlPacks(session, false); };
    return {
        {QStringLiteral("01. Backup"), MakeBackup, true},
        {QStringLiteral("02. Preparação do Pacote"), ExtractFiles, true},
        {QStringLiteral("03. Desligando Pacotes COM"), stopComponents, false},
        {QStringLiteral("04. Arquivos Binários"), CopyBinary, true},
        {QStringLiteral("05. Arquivo de Versões"), UpdateVersoesIni, false},
        {QStringLiteral("06. Scripts de Banco"), [](InstallerSession &session) { return AtualizaScripts(session); },
         false},
        // Stages 07, 09, 10, 11 and 08; stage 08 ends by starting the COM+ applications (stage 12).
        {kStageCatalogoTabelas, AtualizaCatalogo, false},
    };
}

bool Installer::runStages()
{
    const std::vector<UpdateStage> stages = stageList ? stageList() : updateStages();
    stageRecords.clear();
    for (const UpdateStage &stage : stages)
        stageRecords.push_back({stage.name, false, false, 0});
    for (size_t i = 0; i < stages.size(); ++i) {
        const UpdateStage &stage = stages[i];
        runningStage = stage.name;
        StageRecord &record = stageRecords[i];
        record.ran = true;
        // However the stage ends, the subtitle goes back to the page's own text.
        const auto endProgress = qScopeGuard([this] { session.status.endProgress(); });
        QElapsedTimer timer;
        timer.start();
        // An error that escapes the stage leaves its record as failed, with the time it took.
        struct Stopwatch {
            StageRecord &record;
            QElapsedTimer &timer;
            ~Stopwatch() { record.milliseconds = timer.elapsed(); }
        } stopwatch{record, timer};
        record.succeeded = stage.run(session);
        if (!record.succeeded && stage.interruptsRun)
            return false;
    }
    runningStage.clear();
    return true;
}

void Installer::enterLogPage()
{
    session.status.clearRows();
    ShowAnimate(true);
    UpdateStatus(QString(), true, QString(), ImageSuccess, false);
    expandEtapas = true;
    filterIndex = 0;
    session.status.setFilter(0, false);
    UpdateStatus(QStringLiteral("Iniciando Procedimento de Atualização\r\n") + QString(72, QLatin1Char('-')), true,
                 QString(), ImageSuccess, false);
    Q_EMIT changed();
    StartUpdate();
}

void Installer::conclusionStage()
{
    subsystems::sendStructureModels(session);
    const QString stage = QStringLiteral("13. Conclusão");
    UpdateStatus(QStringLiteral("Análise de dados concluída!"), true, stage, ImageSuccess, true);
    UpdateStatus(QStringLiteral("Finalizando instalação..."), true, stage, ImageSuccess, true);
}

QString Installer::notUpdatedReason(int row) const
{
    switch (cdsDbs.integer(row, QStringLiteral("IMAGE"))) {
    case ImageSuccess: return {};
    case ImageError: {
        QString cause = session.validationFailures.value(cdsDbs.text(row, QStringLiteral("ALIAS")));
        if (cause.isEmpty())
            cause = QStringLiteral("Autenticação Negada");
        return QStringLiteral("a conexão falhou. Mensagem: ") + cause;
    }
    case ImageIgnored: return QStringLiteral("ignorado na validação (sem dados para a conexão).");
    default: return QStringLiteral("não validado.");
    }
}

namespace {
QString notUpdatedLine(const QString &alias, const QString &reason)
{
    return QStringLiteral("Banco \"") + alias + QStringLiteral("\" não foi atualizado: ") + reason;
}
}  // namespace

QStringList Installer::unvalidatedDatabases() const
{
    QStringList lines;
    for (int row = 0; row < cdsDbs.count(); ++row) {
        if (cdsDbs.integer(row, QStringLiteral("IMAGE")) == ImageError)
            lines << notUpdatedLine(cdsDbs.text(row, QStringLiteral("ALIAS")), notUpdatedReason(row));
    }
    return lines;
}

void Installer::reportDatabasesNotUpdated()
{
    // A database whose login was refused is work the run did not do: an error row, so the
    // verdict is partial. One the person left without credentials was set aside on purpose: named
    // with the picture of an ignored step, it does not change the verdict.
    for (int row = 0; row < cdsDbs.count(); ++row) {
        const QString reason = notUpdatedReason(row);
        if (reason.isEmpty())
            continue;
        const int image = cdsDbs.integer(row, QStringLiteral("IMAGE")) == ImageError ? ImageError : ImageIgnored;
        UpdateStatus(notUpdatedLine(cdsDbs.text(row, QStringLiteral("ALIAS")), reason), true, QStringLiteral("13. Conclusão"),
                     image, true);
    }
}

void Installer::removeEmptyBackupFolder()
{
    if (session.pathBackup.isEmpty())
        return;
    QDir backup(session.pathBackup);
    if (!backup.exists() || !backup.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return;
    // The log folder may be the backup folder itself (or lie inside it): the log files are still
    // to be written there. Both the spelled and the resolved paths are compared.
    const auto inside = [](const QString &path, const QString &folder) {
        return !path.isEmpty() && !folder.isEmpty() && (path == folder || path.startsWith(folder + QLatin1Char('/')));
    };
    const QString backupClean = QDir::cleanPath(QFileInfo(session.pathBackup).absoluteFilePath());
    const QString logClean = QDir::cleanPath(QFileInfo(session.pathLog).absoluteFilePath());
    if (inside(logClean, backupClean)
        || inside(QFileInfo(session.pathLog).canonicalFilePath(), QFileInfo(session.pathBackup).canonicalFilePath()))
        return;
    QDir().rmdir(session.pathBackup);
}

void Installer::StartUpdate()
{
    runInProgress = true;
    const auto runEnded = qScopeGuard([this] { runInProgress = false; });
    // 1.
    Q_EMIT changed();
    session.ui.processEvents();
    int failures = 0;
    QChar letter;
    bool completed = false;
    session.runReport.clear();
    lastSummaryError.clear();
    // A build without a signing key runs downloaded packages and installers unchecked: every
    // run's log says so.
    if (session.build.signingPublicKey.isEmpty())
        UpdateStatus(kUnverifiedDownloadsText, true, QString(), ImageSuccess, false);
    // 2. An error that escapes a stage ends the chain there; the run then ends as an interrupted
    // one, so that its log file and logbook are written and the working folder is removed.
    QString escapedError;
    try {
        completed = runStages();
    } catch (const std::exception &error) {
        escapedError = QString::fromUtf8(error.what());
    } catch (...) {
        escapedError = QStringLiteral("erro desconhecido.");
    }
    if (!escapedError.isEmpty()) {
        completed = false;
        session.ui.error(QStringLiteral("Instalador Tivra*"), escapedError);
        UpdateStatus(QStringLiteral("Erro inesperado interrompeu a atualização. Mensagem: ") + escapedError, true,
                     runningStage, ImageError, true);
    }
    // 3.
    if (escapedError.isEmpty() && !session.darnuMode && session.package.existScript
        && !platform::ExistParametro(QStringLiteral("/nomd"))) {
        try {
            conclusionStage();
        } catch (const std::exception &error) {
            UpdateStatus(QStringLiteral("Erro durante a conclusão da atualização. Mensagem: ") + QString::fromUtf8(error.what()),
                         true, QStringLiteral("13. Conclusão"), ImageError, true);
        }
    }
    // The databases of the list that took no part, and why, before the verdict counts the rows.
    reportDatabasesNotUpdated();
    // 4.
    if (completed) {
        session.status.settleLastRow();
        btLog.caption = QStringLiteral("Log Final");
        failures = SetStatusFinalAtualizacao(false);
        letter = failures > 0 ? kResultWithFailures : kResultCompleted;
    } else {
        btVoltar.visible = true;
        failures = SetStatusFinalAtualizacao(true);
        letter = kResultInterrupted;
    }
    // 5-6.
    removeWorkingFolder(session);
    removeEmptyBackupFolder();
    // 7.
    UpdateStatus(QStringLiteral("Procedimento de Atualização Finalizado"), true, QString(), ImageSuccess, false);
    // 8-9. The checks page made the log folder; it is made again should something have removed it.
    QString error;
    QDir().mkpath(session.pathLog);
    lastLogFile = saveLogFile(session, session.pathLog, letter, &error);
    if (!lastLogFile.isEmpty())
        lastLogbookFile = saveLogbook(session, session.pathLog, &error);
    if (lastLogFile.isEmpty() || lastLogbookFile.isEmpty()) {
        // Without its log the run cannot be accounted for: the error box says why.
        ++runCount;
        lastRunResult = RunResult::Aborted;
        ShowAnimate(false);
        session.ui.error(QStringLiteral("Instalador Tivra*"), error);
        Q_EMIT changed();
        return;
    }
    ++runCount;
    lastFailures = failures;
    lastRunResult = !completed      ? RunResult::Interrupted
                    : failures > 0 ? RunResult::CompletedWithFailures
                                   : RunResult::Completed;
    // The machine-readable summary beside the log file (the log folder was just written to); it
    // cannot change the run's verdict, and unattended runs say when it is missing.
    QString summaryError;
    readScriptVersionsAfter(session);
    if (!writeRunSummary(*this, stageRecords, &summaryError))
        lastSummaryError = summaryError;
    // 10-12.
    btConcluir.visible = true;
    btInstallNewPack.visible = true;
    cbFiltroProcChange(filterIndex);
    ShowAnimate(false);
    Q_EMIT changed();
    // 13.
    if (!platform::ExistParametro(QStringLiteral("/nosendlog")) && finalReport) {
        if (lastRunResult == RunResult::CompletedWithFailures)
            finalReport(session, lastLogFile, QStringLiteral("Processo de atualização parcialmente concluído!"),
                                        failures);
        else if (lastRunResult == RunResult::Completed)
            finalReport(session, lastLogFile, QStringLiteral("Processo de atualização concluído!"), 0);
        else
            finalReport(session, lastLogFile, QStringLiteral("Processo de atualização interrompido!"),
                                        failures);
        // The summary records whether the report reached the maker's site.
        if (lastSummaryError.isEmpty() && !writeRunSummary(*this, stageRecords, &summaryError))
            lastSummaryError = summaryError;
    }
    // 14.
    if (lastRunResult == RunResult::Completed && session.darnuMode) {
        session.continueChain = true;
        session.downloadPending = true;
        btInstallNewPackClick();
    } else {
        session.continueChain = false;
    }
}

int Installer::SetStatusFinalAtualizacao(bool interrupted)
{
    const int count = session.status.countImage(ImageError);
    btSyncSvrFinal.visible = false;
    const QString version = session.package.versaoPacote;
    if (interrupted) {
        topImage = TopImage::Error;
        header.title = QStringLiteral("Processo de Atualização Interrompido!");
        header.subtitle = count == 1 ? QStringLiteral("Um procedimento obrigatório não foi executado e interrompeu a atualização.")
                                     : QString(QString::number(count))
                                           + QStringLiteral(" procedimentos obrigatórios não foram executados e "
                                                            "interromperam a atualização.");
    } else if (count > 0) {
        topImage = TopImage::Warning;
        header.title = QStringLiteral("Processo de Atualização Parcialmente Concluído!");
        header.subtitle = count == 1 ? QString(QStringLiteral("Um procedimento não foi executado corretamente. Versão ")
                                               + version + QStringLiteral(" parcialmente instalada!"))
                                     : QString::number(count)
                                           + QStringLiteral(" procedimentos não foram executados corretamente. Versão ")
                                           + version + QStringLiteral(" parcialmente instalada!");
    } else {
        header.title = QStringLiteral("Processo de Atualização Concluído!");
        header.subtitle = QStringLiteral("Todos os procedimentos foram executados com sucesso! Versão ") + version
                          + QStringLiteral(" instalada!");
        topImage = TopImage::Success;
        btSyncSvrFinal.visible = true;
    }
    lastVerdict = header;
    Q_EMIT changed();
    return count;
}

}  // namespace tivra
