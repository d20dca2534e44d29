#include "app/unattended.h"

#include "app/installer.h"
#include "app/runsummary.h"
#include "core/logfiles.h"
#include "core/progress.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace tivra {

namespace {
void printLine(const QString &text, FILE *stream = stdout)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Why the walk stopped: the checks that were refused and the databases that did not validate,
// on standard error, then the log of what was done so far.
int refuse(Installer &installer, const QString &pageTitle)
{
    printLine(QStringLiteral("Atualização não iniciada: a página \"") + pageTitle + QStringLiteral("\" não pôde ser concluída."));
    for (const QString &line : withoutWindowAdvice(installer))
        printLine(line);
    const MemTable &checks = installer.cdsChecks;
    if (installer.activePage == tsCheck) {
        for (int row = 0; row < checks.count(); ++row) {
            if (checks.text(row, QStringLiteral("APROVADO")) != QStringLiteral("N"))
                continue;
            printLine(QStringLiteral("Reprovado: ") + checks.text(row, QStringLiteral("ETAPA")) + QStringLiteral(" - ")
                          + checks.text(row, QStringLiteral("DETALHES")) + QStringLiteral(": ")
                          + checks.text(row, QStringLiteral("STATUS")),
                      stderr);
        }
    }
    if (installer.activePage == tsScripts) {
        if (installer.cdsDbs.isEmpty())
            printLine(QStringLiteral("Nenhum banco de dados encontrado no arquivo de versões e no registro."), stderr);
        for (const QString &line : installer.unvalidatedDatabases())
            printLine(line, stderr);
    }
    InstallerSession &session = installer.session;
    const QString folder = session.pathLog.isEmpty() ? session.installerDirectory + QStringLiteral("Log") : session.pathLog;
    QString error;
    QDir().mkpath(folder);
    const QString log = saveLogFile(session, folder, kResultInterrupted, &error);
    if (log.isEmpty())
        printLine(QStringLiteral("Não foi possível gravar o arquivo de log: ") + error, stderr);
    else
        printLine(QStringLiteral("Log: ") + QDir::toNativeSeparators(log));
    return ExitRefused;
}
}  // namespace

QStringList withoutWindowAdvice(const Installer &installer)
{
    const InstallerSession &session = installer.session;
    const QString settings = QDir::toNativeSeparators(session.installerDirectory + QStringLiteral("Config.ini"));
    const QString again = QStringLiteral(" e execute o instalador novamente.");
    const QString pathKey = QStringLiteral("a chave Path da seção [AppTivra] de \"") + settings + QStringLiteral("\"");
    QStringList lines;
    // An application directory named in the settings but absent: every check of it fails, and
    // the checks alone would not say why.
    const QString app = session.pathAppTivra.trimmed();
    const bool appMissing = !app.isEmpty() && !QFileInfo(app).isDir();
    if (appMissing && installer.activePage >= tsDiretorios) {
        lines << QStringLiteral("O diretório AppTivra \"") + QDir::toNativeSeparators(app) + QStringLiteral("\" não existe.");
        lines << QStringLiteral("Sem janela: corrija ") + pathKey + again;
        return lines;
    }
    switch (installer.activePage) {
    case tsIntro: {
        const QString pack = QDir::toNativeSeparators(session.installerDirectory + QStringLiteral("Update.pack"));
        if (!QFileInfo::exists(session.installerDirectory + QStringLiteral("Update.pack")))
            lines << QStringLiteral("Sem janela: copie o pacote de atualização para \"") + pack + QStringLiteral("\"") + again;
        else
            lines << QStringLiteral("Sem janela: substitua \"") + pack + QStringLiteral("\" por um pacote válido") + again;
        break;
    }
    case tsDiretorios:
        if (app.isEmpty())
            lines << QStringLiteral("Sem janela: informe o diretório AppTivra n") + pathKey + again;
        break;
    case tsScripts:
        lines << QStringLiteral("Sem janela: corrija o acesso aos bancos de dados listados (servidor, usuário e senha gravados "
                                "para o alias)")
                     + again;
        break;
    case tsCheck:
        lines << QStringLiteral("Sem janela: resolva os itens reprovados listados (arquivos em uso: feche os programas que os usam "
                                "ou use /ignorefileuse)")
                     + again;
        break;
    case tsFinalizar:
        if (installer.tableSpacesButtonVisible && !session.tableSpacesConfirmed)
            lines << QStringLiteral("Sem janela: os tablespaces do pacote não podem ser relacionados; execute a atualização deste "
                                    "pacote com a janela do instalador.");
        break;
    default: break;
    }
    return lines;
}

int runUnattended(Installer &installer)
{
    installer.unattended = true;
    // On a terminal, a line on standard error tells how far a long stage is.
    TerminalProgressLine progressLine;
    progressLine.attach(installer.session.status);
    // Every page but the last can be left at most once per walk; the bound only guards against a
    // wizard that keeps going back.
    for (int step = 0; step < 64 && installer.runCount == 0; ++step) {
        const Page before = installer.activePage;
        installer.NextPage();
        if (installer.runCount > 0)
            break;
        if (installer.activePage == before)
            return refuse(installer, installer.header.title);
    }
    if (installer.runCount == 0)
        return refuse(installer, installer.header.title);

    switch (installer.lastRunResult) {
    case Installer::RunResult::Aborted:
        printLine(QStringLiteral("Processo de Atualização Interrompido!"));
        return ExitInterrupted;
    default: break;
    }
    for (int row = 0; row < installer.cdsDbs.count(); ++row) {
        const QString reason = installer.notUpdatedReason(row);
        if (!reason.isEmpty())
            printLine(QStringLiteral("Banco \"") + installer.cdsDbs.text(row, QStringLiteral("ALIAS"))
                          + QStringLiteral("\" não foi atualizado: ") + reason,
                      stderr);
    }
    printLine(installer.lastVerdict.title);
    printLine(installer.lastVerdict.subtitle);
    printLine(QStringLiteral("Log: ") + QDir::toNativeSeparators(installer.lastLogFile));
    printLine(QStringLiteral("Manual de Bordo: ") + QDir::toNativeSeparators(installer.lastLogbookFile));
    if (installer.lastSummaryError.isEmpty())
        printLine(QStringLiteral("Resumo: ") + QDir::toNativeSeparators(runSummaryPath(installer.lastLogFile)));
    else
        printLine(QStringLiteral("Não foi possível gravar o resumo da atualização: ") + installer.lastSummaryError, stderr);
    // What the maker's site did not receive; it does not change the run's exit status.
    const RunReport &report = installer.session.runReport;
    for (const QString &failure : report.structureModelFailures)
        printLine(QStringLiteral("Modelo de estrutura não enviado ao servidor: ") + failure, stderr);
    if (report.finalReport.outcome == DeliveryReport::Outcome::Failed)
        printLine(QStringLiteral("Relatório final não enviado ao servidor: ") + report.finalReport.error, stderr);
    switch (installer.lastRunResult) {
    case Installer::RunResult::Completed: return ExitCompleted;
    case Installer::RunResult::CompletedWithFailures: return ExitCompletedWithFailures;
    default: return ExitInterrupted;
    }
}

}  // namespace tivra
