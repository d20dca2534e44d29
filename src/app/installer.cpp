#include "app/installer.h"

#include "app/subsystems.h"
#include "app/progressform.h"
#include "app/updaterun.h"
#include "core/logfiles.h"
#include "db/versiontables.h"
#include "core/userinterface.h"
#include "package/packageconfig.h"
#include "package/packagearchive.h"
#include "platform/fileversion.h"
#include "remote/http.h"
#include "remote/selfupdate.h"
#include "platform/system.h"
#include "platform/trash.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tivra {

PageText pageText(Page page)
{
    switch (page) {
    case tsIntro:
        return {QStringLiteral("Atualização do Tivra*"), QStringLiteral("Bem vindo à ferramenta de atualização do Tivra*")};
    case tsChangeLog:
        return {QStringLiteral("Atualizações do Pacote"),
                QStringLiteral("Veja abaixo todas as funcionalidades incluídas nessa atualização.")};
    case tsDiretorios:
        return {QStringLiteral("Diretórios de Arquivos"),
                QStringLiteral("Configure os diretórios de destino dos arquivos binários, backup e log.")};
    case tsCatalogo:
        return {QStringLiteral("Catálogo de Tabelas e Componentes"),
                QStringLiteral("Veja abaixo as tabelas e componentes de catálogo que serão atualizados.")};
    case tsScripts:
        return {QStringLiteral("Banco de Dados"),
                QStringLiteral("Informe os dados para conexão aos bancos que serão atualizados.")};
    case tsCheck:
        return {QStringLiteral("Permissões"),
                QStringLiteral("Verifique abaixo se todas as condições foram aprovadas antes de continuar com a "
                               "atualização.")};
    case tsFinalizar:
        return {QStringLiteral("Preparação para execução"),
                QStringLiteral("Confirme os dados abaixo antes de prosseguir com a atualização.")};
    case tsLog:
        return {QStringLiteral("Atualizando..."), QStringLiteral("Aguarde enquanto o seu sistema é atualizado.")};
    case PageCount: break;
    }
    return {};
}

QStringList statusFilterEntries()
{
    return {QStringLiteral("Todos Procedimentos"), QStringLiteral("Executados com Sucesso"),
            QStringLiteral("Executados com Erro"), QStringLiteral("Procedimentos Ignorados")};
}

Installer::Installer(UserInterface &ui, const BuildSettings &build, QObject *parent)
    : QObject(parent),
      session(ui, build),
      cdsCatalogo(session.cdsCatalogo),
      cdsDbs(session.cdsDbs),
      cdsChecks(session.cdsChecks),
      cdsColumnsTarget(QStringLiteral("cdsColumnsTarget"), {}),
      cdsPrimaryKeyTarget(QStringLiteral("cdsPrimaryKeyTarget"), {}),
      cdsUniqueKeyTarget(QStringLiteral("cdsUniqueKeyTarget"), {}),
      cdsChecksTarget(QStringLiteral("cdsChecksTarget"), {}),
      cdsReferencesTarget(QStringLiteral("cdsReferencesTarget"), {}),
      cdsIndexTarget(QStringLiteral("cdsIndexTarget"), {}),
      statusGrid(&session.status, StatusLog::ColGroup),
      checksGrid(&cdsChecks, 1 /* ETAPA */),
      downloadWindow(session)
{
    connect(&session.status, &StatusLog::expandAllRequested, &statusGrid, &GroupedModel::expandAll);
    connect(&session.status, &StatusLog::progressReported, this, &Installer::showStageProgress);
    connect(&session.status, &StatusLog::progressEnded, this, &Installer::endStageProgress);
    btAvancar.caption = QStringLiteral("&Avançar");
    btVoltar.caption = QStringLiteral("&Voltar");
    btConcluir.caption = QStringLiteral("&Finalizar");
    btLog.caption = QStringLiteral("&Log Parcial");
    btAtualizacoes.caption = QStringLiteral("Atualizar &Pacotes");
    btSyncSvr.caption = QStringLiteral("&Sincronizar Servidores");
    btInstallNewPack.caption = QStringLiteral("Tela Inicial");
    btSyncSvrFinal.caption = QStringLiteral("&Sincronizar Servidores");
    btManual.visible = false;
    siteReachable = [](const QString &url) { return remote::siteReachable(url, 5000); };
    stageList = updateStages;
    // Validation reads each database's latest complete script version from its version tables.
    installMaxPackCompleteQuery();
    finalReport = subsystems::sendFinalReport;
    downloadWindow.prepareDatabases = [this] { subsystems::prepareDownloadDatabases(session); };
    downloadWindow.FormCreate();
    selfUpdateCheck = [](Installer &installer) { installer.checkInstallerVersion(); };
}

void Installer::checkInstallerVersion()
{
    remote::SelfUpdateEnvironment environment = remote::currentProgramEnvironment();
    if (!ownVersionText.isEmpty())
        environment.ownVersion = ownVersionText;
    environment.siteReachable = siteReachable;
    TProgressForm progress(session.ui);
    progress.setTitulo(QStringLiteral("Atualizando Instalador, aguarde..."));
    environment.showProgress = [&progress](bool shown) { progress.setShown(shown); };
    environment.beforeRestart = releaseInstanceLock;
    remote::VerificaVersaoInstalador(session, environment);
}

Installer::~Installer() = default;

void Installer::FormCreate()
{
    // 1. Chain flags.
    session.continueChain = false;
    session.downloadPending = false;
    // 2-3. The session's lists and the tables exist empty from construction.
    session.status.clearLogText();
    session.logbook.clear();
    // 4.
    ConfigInicial();
    // 5. The self-update check, unless "/noupdate" (or a pre-flight report, which replaces nothing).
    if (!platform::ExistParametro(QStringLiteral("/noupdate")) && !dryRun && selfUpdateCheck)
        selfUpdateCheck(*this);
    // 6.
    session.darnuMode = platform::ExistParametro(QStringLiteral("/darnu"));
}

void Installer::FormShow()
{
    // The side windows' tables are created by their windows when they exist.
}

bool Installer::FormClose()
{
    if (runInProgress) {
        session.ui.messageBox({QStringLiteral("Atualização em andamento"),
                               QStringLiteral("Uma atualização está em execução. Aguarde o seu término para fechar o "
                                              "instalador."),
                               UserInterface::Icon::Warning, UserInterface::Ok, UserInterface::Ok});
        return false;
    }
    const auto answer = session.ui.messageBox({QStringLiteral("Encerrar Atualizador"),
                                               QStringLiteral("Confirma a saída da ferramenta de Atualização?"),
                                               UserInterface::Icon::Question, UserInterface::Yes | UserInterface::No,
                                               UserInterface::Yes});
    return answer == UserInterface::Yes;
}

void Installer::FormDestroy()
{
    session.status.clearLogText();
    session.logbook.clear();
    session.package = PackageSettings{};
}

void Installer::ConfigInicial()
{
    // 1. Final-page buttons hidden.
    btSyncSvrFinal.visible = false;
    btInstallNewPack.visible = false;
    // 2. The logo comes back.
    topImage = TopImage::Logo;
    // 3. Lists of the session.
    session.status.clearLogText();
    session.package.binaryToCopy.clear();
    session.package.dependenciasDB2.clear();
    session.package.dependenciasOracle.clear();
    session.package.dependenciasMSSQL.clear();
    session.package.tableSpaces.clear();
    // 4. The busy animation is a resource of the GUI.
    // 5-6. Folders.
    session.installerDirectory =
        installerDirectoryOverride.isEmpty() ? platform::installerDirectory() : installerDirectoryOverride;
    session.workingFolder = session.installerDirectory + QStringLiteral("tmp");
    // 7. The tablespace window's tables.
    session.cdsTS.clear();
    session.cdsLookup.clear();
    // A mapping confirmed for an earlier package or run is gone with the tables.
    session.tableSpacesConfirmed = false;
    // 8. Tables, summary, directory fields, backup box.
    cdsCatalogo.clear();
    session.status.clearRows();
    cdsDbs.clear();
    cdsChecks.clear();
    mFinalizar.clear();
    session.pathAppTivra.clear();
    session.pathBackup.clear();
    session.pathLog.clear();
    // The backup box starts checked ("Ignorar Etapa de Backup"); "/backup" starts it cleared, so
    // that an unattended run, which takes every default, backs up the files it replaces.
    session.ignoreBackup = !platform::ExistParametro(QStringLiteral("/backup"));
    // 9. Package settings.
    LoadIniConfig(session);
    btManual.visible = session.manualButtonVisible;
    btManual.caption = session.manualButtonCaption;
    // 10. New logbook.
    PreparaManualBordo(session);
    // 11. First page.
    activePage = tsIntro;
    ChangePage(true);
    // 12. Working folder removed, failures ignored.
    removeWorkingFolder(session);
    // 13.
    session.ui.processEvents();
    // 14.
    UpdateStatus(QStringLiteral("Atualizador Inicializado\r\n") + QString(72, QLatin1Char('-')), true, QString(),
                 ImageSuccess, false);
    Q_EMIT changed();
}

void Installer::SetTitulo()
{
    if (ownVersionText.isEmpty())
        ownVersionText = platform::installerVersionText();
    caption = QStringLiteral("Instalador Tivra* v") + ownVersionText;
    if (!session.package.versaoPacote.isEmpty())
        caption += QStringLiteral(" - Pacote [") + session.package.versaoPacote + QLatin1Char(']');
    header = pageText(activePage);
    Q_EMIT changed();
}

void Installer::PreviewPage(Page page)
{
    activePage = page;
    SetTitulo();
    setButtonsForPage();
    if (page == tsIntro)
        btVoltar.caption = QStringLiteral("&Cancelar");
    if (page == tsFinalizar)
        buildSummary();  // pure: the text and the buttons of the page
    Q_EMIT changed();
}

void Installer::ShowAnimate(bool on)
{
    busy = on;
    session.ui.showBusy(on);
    if (activePage == tsLog)
        logControlsEnabled = !on;
    Q_EMIT changed();
    session.ui.processEvents();
}

void Installer::cbFiltroProcChange(int index)
{
    if (index < 0 || index > 3)
        index = 0;
    filterIndex = index;
    session.status.setFilter(index, index != 0);
    if (expandEtapas)
        statusGrid.expandAll();
    Q_EMIT changed();
}

void Installer::cbExpandirRecolherClick(bool checked)
{
    expandEtapas = checked;
    if (checked)
        statusGrid.expandAll();
    else
        statusGrid.collapseAll();
    Q_EMIT changed();
}

void Installer::btLogClick()
{
    session.ui.showText(QStringLiteral("Log Parcial de Atualização"), session.status.logText().join(QStringLiteral("\r\n")),
                        true, false);
}

}  // namespace tivra

namespace tivra {

void Installer::btManualClick()
{
    const QString manual = session.installerDirectory + QStringLiteral("Manual.pdf");
    if (QFileInfo::exists(manual)) {
        platform::openDocument(manual);
        return;
    }
    session.ui.warning(QStringLiteral("Autenticação"),
                       QStringLiteral("Arquivo \"Manual.pdf\" não encontrado na pasta ") + session.installerDirectory);
}

void Installer::btDirAppTivraClick()
{
    const QString folder = session.ui.chooseFolder(QStringLiteral("Selecione o diretório para atualização dos binários"),
                                                   session.pathAppTivra);
    if (folder.isEmpty())
        return;
    if (!QFileInfo::exists(joinPath(joinPath(folder, QStringLiteral("Executaveis")), QStringLiteral("Versoes.ini")))) {
        session.ui.warning(QStringLiteral("Diretório inválido"),
                           QStringLiteral("Diretório selecionado não é válido. Informe aqui o diretório \"AppTivra\"."));
        return;
    }
    session.pathAppTivra = folder;
    UpdateStatus(QStringLiteral("Diretório \"") + folder + QStringLiteral("\" selecionado para atualização dos binários."),
                 true, QString(), ImageSuccess, false);
    Q_EMIT changed();
}

void Installer::btDirBackupClick()
{
    const QString folder = session.ui.chooseFolder(QStringLiteral("Selecione um diretório para Backup"), session.pathBackup);
    if (folder.isEmpty())
        return;
    session.pathBackup = folder;
    UpdateStatus(QStringLiteral("Diretório \"") + folder + QStringLiteral("\" selecionado para destino dos Backups."), true,
                 QString(), ImageSuccess, false);
    Q_EMIT changed();
}

void Installer::btPathLogClick()
{
    const QString folder = session.ui.chooseFolder(QStringLiteral("Selecione um diretório para geração do Log"), session.pathLog);
    if (folder.isEmpty())
        return;
    session.pathLog = folder;
    UpdateStatus(QStringLiteral("Diretório \"") + folder + QStringLiteral("\" selecionado para destino dos Logs."), true,
                 QString(), ImageSuccess, false);
    Q_EMIT changed();
}

void Installer::btInstallNewPackClick()
{
    session.status.clearLogText();
    session.logbook.clear();
    PackageSettings &p = session.package;
    for (QStringList *list : {&p.componentes, &p.scriptOracle, &p.scriptDB2, &p.scriptMSSQL, &p.binaryToCopy,
                              &p.dependenciasDB2, &p.dependenciasOracle, &p.dependenciasMSSQL, &p.tableSpaces})
        list->clear();
    cdsCatalogo.clear();
    session.status.clearRows();
    cdsDbs.clear();
    cdsChecks.clear();
    ConfigInicial();
}

}  // namespace tivra
