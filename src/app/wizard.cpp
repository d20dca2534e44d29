// The wizard: pages, their entry steps, the buttons, and leaving a page forwards.
#include "app/installer.h"

#include "app/subsystems.h"
#include "core/logfiles.h"
#include "core/userinterface.h"
#include "platform/profile.h"
#include "platform/system.h"

#include <QDir>
#include <QMetaMethod>
#include <QFileInfo>

namespace tivra {

namespace {
const QString kChecksWrite = QStringLiteral("Permissão de Escrita");
const QString kChecksInUse = QStringLiteral("Disponibilidade para Atualização");
const QString kChecksBinaryList = QStringLiteral("Lista de Arquivos Binários");
}  // namespace

void Installer::setButtonsForPage()
{
    btAvancar.caption = QStringLiteral("&Avançar");
    btVoltar.caption = QStringLiteral("&Voltar");
    btConcluir.caption = QStringLiteral("&Finalizar");
    btConcluir.visible = false;
    btAtualizacoes.visible = activePage == tsIntro;
    btSyncSvr.visible = activePage == tsIntro;
    btAvancar.visible = activePage != tsLog;
    btVoltar.visible = activePage != tsLog;
    btAvancar.enabled = true;
    btVoltar.enabled = true;
    btLog.visible = activePage > tsCatalogo;
    btLog.enabled = true;
}

void Installer::ChangePage(bool forward)
{
    SetTitulo();
    setButtonsForPage();
    Q_EMIT changed();
    if (enterPage())
        passOn(forward);
    Q_EMIT changed();
}

void Installer::passOn(bool forward)
{
    if (forward)
        NextPage();
    else
        PreviousPage();
}

bool Installer::enterPage()
{
    const bool darnu = session.darnuMode;
    switch (activePage) {
    case tsIntro:
        btVoltar.caption = QStringLiteral("&Cancelar");
        Q_EMIT changed();
        if (darnu && session.continueChain) {
            if (session.downloadPending)
                btAtualizacoesClick();
            else
                NextPage();
        }
        return false;
    case tsChangeLog:
        return session.changeLog.isEmpty() || darnu;
    case tsDiretorios: {
        const QString settings = session.installerDirectory + QStringLiteral("Config.ini");
        if (QFileInfo::exists(settings))
            session.pathAppTivra = platform::ProfileFile(settings).readString(QStringLiteral("AppTivra"), QStringLiteral("Path"));
        if (session.pathLog.isEmpty())
            session.pathLog = session.installerDirectory + QStringLiteral("Log");
        if (session.pathBackup.isEmpty())
            session.pathBackup = session.installerDirectory + QStringLiteral("Backup");
        return darnu && !session.pathAppTivra.isEmpty();
    }
    case tsCatalogo:
        return cdsCatalogo.isEmpty() || darnu;
    case tsScripts:
        if (cdsDbs.isEmpty()) {
            try {
                subsystems::readAliases(session);
            } catch (const std::exception &error) {
                session.ui.error(QStringLiteral("Instalador Tivra*"), QString::fromUtf8(error.what()));
            }
        }
        subsystems::validateDatabases(session);
        return darnu && cdsDbs.count() == 1 && cdsDbs.integer(0, QStringLiteral("IMAGE")) == ImageSuccess;
    case tsCheck: {
        runChecks();
        if (!darnu)
            return false;
        for (int row = 0; row < cdsChecks.count(); ++row) {
            if (cdsChecks.text(row, QStringLiteral("APROVADO")) == QStringLiteral("N"))
                return false;
        }
        return true;
    }
    case tsFinalizar:
        buildSummary();
        return darnu && !tableSpacesButtonVisible;
    case tsLog:
        if (dryRun) {
            performDryRun();
            return false;
        }
        enterLogPage();
        return false;
    case PageCount: break;
    }
    return false;
}

void Installer::NextPage()
{
    if (!CheckNextPage())
        return;
    if (activePage + 1 >= PageCount)
        return;
    activePage = Page(activePage + 1);
    ChangePage(true);
}

void Installer::PreviousPage()
{
    if (activePage == tsIntro) {
        Q_EMIT closeRequested();
        return;
    }
    activePage = Page(activePage - 1);
    ChangePage(false);
}

bool Installer::CheckNextPage()
{
    auto &ui = session.ui;
    switch (activePage) {
    case tsIntro:
        if (!QFileInfo::exists(session.installerDirectory + QStringLiteral("Update.pack"))) {
            ui.warning(QStringLiteral("Arquivo não encontrado"),
                       QStringLiteral("Nenhum pacote de atualização foi encontrado. Utilize o botão \"Atualizar "
                                      "Pacotes\" para baixar um novo."));
            return false;
        }
        if (!session.packageProblem.isEmpty()) {
            ui.warning(QStringLiteral("Pacote inválido"),
                       QStringLiteral("O pacote de atualização \"")
                           + QDir::toNativeSeparators(session.installerDirectory + QStringLiteral("Update.pack"))
                           + QStringLiteral("\" não pode ser utilizado.\r\n") + session.packageProblem);
            return false;
        }
        subsystems::readCatalogIndex(session);
        return true;
    case tsDiretorios:
        if (session.pathAppTivra.trimmed().isEmpty()) {
            ui.information(QStringLiteral("Caminho AppTivra"),
                           QStringLiteral("Informe o caminho para atualização dos arquivos binários (AppTivra)!"));
            return false;
        }
        if (session.pathBackup.trimmed().isEmpty()) {
            ui.information(QStringLiteral("Backup"), QStringLiteral("Informe o caminho para geração dos arquivos de backup!"));
            return false;
        }
        if (session.pathLog.trimmed().isEmpty()) {
            ui.information(QStringLiteral("Logs"), QStringLiteral("Informe o caminho para geração dos arquivos de log!"));
            return false;
        }
        return true;
    case tsScripts: {
        int validated = 0;
        for (int row = 0; row < cdsDbs.count(); ++row) {
            const qint64 image = cdsDbs.integer(row, QStringLiteral("IMAGE"));
            if (image == ImageNeutral) {
                ui.information(QStringLiteral("Validação"), QStringLiteral("O Banco \"")
                                                                + cdsDbs.text(row, QStringLiteral("DESCRICAO"))
                                                                + QStringLiteral("\" ainda não foi validado."));
                return false;
            }
            if (image == ImageSuccess)
                ++validated;
        }
        if (validated == 0) {
            ui.warning(QStringLiteral("Autenticação"),
                       QStringLiteral("O atualizador exige que ao menos um banco seja autenticado!"));
            return false;
        }
        if (validated >= 2 && !session.package.tableSpaces.isEmpty()) {
            ui.warning(QStringLiteral("Autenticação"),
                       QStringLiteral("Esse pacote possui referências a tablespaces. O instalador exige que a "
                                      "instalação seja feita em um único banco por vez!"));
            return false;
        }
        return true;
    }
    case tsCheck:
        for (int row = 0; row < cdsChecks.count(); ++row) {
            if (cdsChecks.text(row, QStringLiteral("APROVADO")) == QStringLiteral("N")) {
                ui.information(QStringLiteral("Aprovar Etapas"),
                               QStringLiteral("Todas as etapas devem estar APROVADAS antes de prosseguir com a "
                                              "atualização!"));
                return false;
            }
        }
        return true;
    case tsFinalizar:
        if (tableSpacesButtonVisible && !session.tableSpacesConfirmed) {
            ui.warning(QStringLiteral("Arquivo não encontrado"),
                       QStringLiteral("Existem tablespaces que precisam ser relacionados antes de continuar."));
            return false;
        }
        if (!session.darnuMode && !unattended && !dryRun
            && ui.question(QStringLiteral("Confirmar"), QStringLiteral("Confirma a atualização do sistema?"))
                   != UserInterface::Yes)
            return false;
        return true;
    default:
        return true;
    }
}

void Installer::runChecks()
{
    const auto log = [this](const QString &text) { UpdateStatus(text, true, QString(), ImageSuccess, false); };
    const auto addRow = [this](const QString &etapa, const QString &detalhes, bool approved, const QString &status) {
        cdsChecks.append({{QStringLiteral("ETAPA"), etapa},
                          {QStringLiteral("DETALHES"), detalhes},
                          {QStringLiteral("APROVADO"), approved ? QStringLiteral("S") : QStringLiteral("N")},
                          {QStringLiteral("STATUS"), status}});
        session.ui.processEvents();
    };
    const auto checkFolder = [&](const QString &folder) {
        log(QStringLiteral("Verificando permissão de escrita - \"") + folder + QStringLiteral("\"."));
        // The pre-flight report creates no folder but the log folder it writes to: a missing one
        // is judged by the nearest folder above it that exists.
        QString probed = folder;
        if (dryRun && folder != session.pathLog) {
            while (!probed.isEmpty() && !QFileInfo::exists(probed) && QFileInfo(probed).absolutePath() != probed)
                probed = QFileInfo(probed).absolutePath();
        } else if (!QFileInfo::exists(folder)) {
            QDir().mkdir(folder);
        }
        const bool ok = subsystems::checkWritePermission(session, probed);
        addRow(kChecksWrite, folder, ok, ok ? QStringLiteral("Aprovado") : QStringLiteral("Sem Permissão"));
    };

    // 1.
    cdsChecks.clear();
    btAvancar.enabled = false;
    btVoltar.enabled = false;
    ShowAnimate(true);

    // 2. The customer code of the last database that answers.
    session.customerCode = subsystems::readCustomerCode(session);
    session.ui.processEvents();

    // 3. Folders and files of the application directory.
    const QString app = session.pathAppTivra;
    if (session.package.existBin) {
        if (!dryRun)
            subsystems::shutdownComponentsQuietly(session);
        log(QStringLiteral("Verificando permissões de escrita - \"") + app + QStringLiteral("\"."));
        const bool writable = subsystems::checkWritePermission(session, app);
        addRow(kChecksWrite, app, writable, writable ? QStringLiteral("Aprovado") : QStringLiteral("Sem Permissão"));
        if (!writable)
            log(QStringLiteral("Um ou mais arquivos da pasta \"") + app
                + QStringLiteral("\" não possui permissão de escrita. Verifique suas permissões e certifique-se que o "
                                 "mesmo não esteja sendo usado."));

        // The versions file is rewritten after the binaries: a read-only one must stop the run
        // here, also for an administrator whose rights would let the write test pass.
        const QString versions = joinPath(joinPath(app, QStringLiteral("Executaveis")), QStringLiteral("Versoes.ini"));
        if (QFileInfo::exists(versions) && !subsystems::versionsFileWritable(versions)) {
            addRow(kChecksWrite, versions, false, QStringLiteral("Sem Permissão"));
            log(QStringLiteral("O arquivo de versões \"") + versions
                + QStringLiteral("\" não pode ser alterado (somente leitura ou sem permissão de escrita)."));
        }
        // Entries of the binaries list that lead outside the application directory.
        for (const QString &entry : subsystems::unconfinedBinaryEntries(session)) {
            addRow(kChecksBinaryList, entry, false, QStringLiteral("Fora do Diretório"));
            log(QStringLiteral("O arquivo \"") + entry
                + QStringLiteral("\" da lista de binários do pacote está fora do diretório da aplicação."));
        }

        log(QStringLiteral("Verificando disponibilidades para atualização - \"") + app + QStringLiteral("\"."));
        const bool inUse = subsystems::checkFilesInUse(session, app);
        addRow(kChecksInUse, app, !inUse, inUse ? QStringLiteral("Arquivos em Uso") : QStringLiteral("Aprovado"));

        checkFolder(session.pathBackup);
    }
    // 4.
    checkFolder(session.pathLog);
    // 5.
    if (!session.package.ignorarVersao)
        subsystems::checkVersions(session, dryRun);
    // 6.
    checksGrid.expandAll();
    btAvancar.enabled = true;
    btVoltar.enabled = true;
    ShowAnimate(false);
}

void Installer::buildSummary()
{
    topImage = TopImage::Package;
    btAvancar.caption = QStringLiteral("&Iniciar");
    const PackageSettings &p = session.package;
    QStringList lines;
    lines << QStringLiteral("Diretório para atualização de arquivos binários:");
    if (p.existBin) {
        lines << QStringLiteral("   -> ") + session.pathAppTivra;
        lines << QStringLiteral("\r\nDiretório de destino do Backup:");
        lines << QStringLiteral("   -> ") + session.pathBackup;
    } else {
        lines << QStringLiteral("   -> Nenhum arquivo binário será atualizado conforme conteúdo deste pacote.");
    }
    lines << QStringLiteral("\r\nDiretório de destino dos Logs:");
    lines << QStringLiteral("   -> ") + session.pathLog;
    lines << QStringLiteral("\r\nBanco(s) selecionado(s) para atualização: ");
    if (p.existScript || p.existCatalogo || p.existMsg || p.existRotulo) {
        for (int row = 0; row < cdsDbs.count(); ++row) {
            if (cdsDbs.integer(row, QStringLiteral("IMAGE")) == ImageSuccess)
                lines << QStringLiteral("   -> ") + cdsDbs.text(row, QStringLiteral("DESCRICAO")) + QStringLiteral(" (")
                             + cdsDbs.text(row, QStringLiteral("ALIAS")) + QLatin1Char(')');
        }
    } else {
        lines << QStringLiteral("   -> Nenhum banco será atualizado conforme conteúdo do pacote.");
    }
    mFinalizar = lines.join(QStringLiteral("\r\n"));
    scriptButtonsVisible = !p.scriptDB2.isEmpty() || !p.scriptOracle.isEmpty();
    tableSpacesButtonVisible = scriptButtonsVisible && !p.tableSpaces.isEmpty();
    summaryPanelHeight = scriptButtonsVisible ? 210 : 240;
    Q_EMIT changed();
}

void Installer::btCheckClick()
{
    ChangePage(true);
}

void Installer::btRelacionarTableSpacesClick()
{
    if (session.cdsTS.isEmpty())
        subsystems::loadTableSpaces(session);
    session.tableSpacesConfirmed = false;
    Q_EMIT tableSpacesRequested();
}

void Installer::btScriptClick(const QString &vendor)
{
    const PackageSettings &p = session.package;
    const QStringList &script = vendor == QStringLiteral("DB2")      ? p.scriptDB2
                                : vendor == QStringLiteral("ORACLE") ? p.scriptOracle
                                                                     : p.scriptMSSQL;
    session.ui.showText(QStringLiteral("Scripts a serem executados em bancos ") + vendor,
                        script.join(QStringLiteral("\r\n")), true, true);
}

void Installer::btAtualizacoesClick()
{
    const bool reachable = siteReachable && siteReachable(session.build.makerSite);
    if (!reachable) {
        session.ui.information(QStringLiteral("Buscar Atualizações"),
                               QStringLiteral("Não foi possível acessar o servidor de atualizações. Verifique sua "
                                              "conexão com a internet!"));
        return;
    }
    openDownloadWindow();
}

void Installer::openDownloadWindow()
{
    const bool packagePresent = QFileInfo::exists(session.installerDirectory + QStringLiteral("Update.pack"))
                                && session.packageProblem.isEmpty();
    downloadWindow.versaoPacoteCarregado = packagePresent ? session.package.versaoPacote : QString();
    if (isSignalConnected(QMetaMethod::fromSignal(&Installer::downloadRequested))) {
        Q_EMIT downloadRequested();
    } else {
        // No window: the download window's steps as showing it would run them.
        downloadWindow.FormShow();
        downloadWindow.Timer1Timer();
    }
    if (downloadWindow.novoPacote)
        packageDownloaded();
}

void Installer::packageDownloaded()
{
    session.downloadPending = false;
    ConfigInicial();
}

void Installer::btSyncSvrClick()
{
    Q_EMIT syncRequested(QString());
}

void Installer::ctrlEPressed()
{
    if (activePage == tsScripts)
        Q_EMIT execQryRequested();
}

void Installer::btSyncSvrFinalClick()
{
    Q_EMIT syncRequested(session.pathAppTivra);
}

}  // namespace tivra
