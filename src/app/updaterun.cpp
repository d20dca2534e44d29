// The update run: the chain of stages, the conclusion, the verdict, the log file and logbook.
#include "app/updaterun.h"

#include "app/installer.h"
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
#include <QFileInfo>

namespace tivra {

std::vector<UpdateStage> updateStages()
{
    const auto stopComponents = [](InstallerSession &session) { return ControlPacks(session, false); };
    const auto startComponents = [](InstallerSession &session) { return ControlPacks(session, true); };
    return {
        {QStringLiteral("01. Backup"), MakeBackup, true},
        {QStringLiteral("02. Preparação do Pacote"), ExtractFiles, true},
        {QStringLiteral("03. Desligando Pacotes COM"), stopComponents, false},
        {QStringLiteral("04. Arquivos Binários"), CopyBinary, true},
        {QStringLiteral("05. Arquivo de Versões"), UpdateVersoesIni, false},
        {QStringLiteral("06. Scripts de Banco"), [](InstallerSession &session) { return AtualizaScripts(session); },
         false},
        {kStageCatalogoTabelas, AtualizaCatalogo, false},  // stages 07, 09, 10, 11 and 08
        {QStringLiteral("12. Inicializando Pacotes COM"), startComponents, false},
    };
}

bool Installer::runStages()
{
    for (const UpdateStage &stage : stageList ? stageList() : updateStages()) {
        if (!stage.run(session) && stage.interruptsRun)
            return false;
    }
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

void Installer::StartUpdate()
{
    // 1.
    Q_EMIT changed();
    session.ui.processEvents();
    int failures = 0;
    QChar letter;
    bool completed = false;
    try {
        // 2.
        completed = runStages();
        // 3.
        if (!session.darnuMode && session.package.existScript && !platform::ExistParametro(QStringLiteral("/nomd")))
            conclusionStage();
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
        if (!session.pathBackup.isEmpty()) {
            QDir backup(session.pathBackup);
            if (backup.exists() && backup.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
                QDir().rmdir(session.pathBackup);
        }
        // 7.
        UpdateStatus(QStringLiteral("Procedimento de Atualização Finalizado"), true, QString(), ImageSuccess, false);
        // 8-9.
        QString error;
        lastLogFile = saveLogFile(session, session.pathLog, letter, &error);
        if (lastLogFile.isEmpty())
            throw std::runtime_error(error.toStdString());
        lastLogbookFile = saveLogbook(session, session.pathLog, &error);
        if (lastLogbookFile.isEmpty())
            throw std::runtime_error(error.toStdString());
    } catch (const std::exception &error) {
        // An error that escapes a stage ends the run where it happens.
        ++runCount;
        lastRunResult = RunResult::Aborted;
        ShowAnimate(false);
        session.ui.error(QStringLiteral("Instalador Tivra*"), QString::fromUtf8(error.what()));
        Q_EMIT changed();
        return;
    }
    ++runCount;
    lastFailures = failures;
    lastRunResult = !completed      ? RunResult::Interrupted
                    : failures > 0 ? RunResult::CompletedWithFailures
                                   : RunResult::Completed;
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
