#include "remote/selfupdate.h"

#include "core/session.h"
#include "core/userinterface.h"
#include "platform/fileversion.h"
#include "platform/system.h"
#include "platform/textfile.h"
#include "remote/http.h"
#include "remote/signature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tivra::remote {

QString publishedVersionText(const QString &fetched)
{
    return fetched.trimmed();
}

SelfUpdateEnvironment currentProgramEnvironment()
{
    SelfUpdateEnvironment environment;
    environment.ownVersion = platform::installerVersionText();
    environment.executablePath = platform::executablePath();
    environment.arguments = platform::commandLineArguments();
    environment.siteReachable = [](const QString &url) { return siteReachable(url, 5000); };
    environment.restart = platform::replaceProcessImage;
#ifdef Q_OS_WIN
    environment.swapByBatch = true;
#endif
    environment.startBatch = platform::startHiddenBatch;
    environment.endProcess = [] {
        std::fflush(stderr);
        std::exit(platform::ExistParametro(QStringLiteral("/quiet")) ? kSelfUpdateSwapExitStatus : 0);
    };
    environment.textOptions.totalTimeoutMs = 30000;
    environment.textOptions.maxBodyBytes = 64 * 1024;
    environment.downloadOptions.totalTimeoutMs = 3600 * 1000;
    environment.downloadOptions.stallTimeoutS = 60;
    // The listing announces no size for the installer: a fixed ceiling, far above any executable.
    environment.downloadOptions.maxBodyBytes = kInstallerDownloadCeilingBytes;
    return environment;
}

namespace {
// One argument for a command line read the Windows way: quoted when it holds a blank, a quote or a
// character cmd would act on, with the quotes inside and the backslashes before them escaped;
// '%' doubled, since a batch file expands it.
QString batchArgument(const QString &argument)
{
    static const QString special = QStringLiteral(" \t\"&|<>^()");
    const bool quote = argument.isEmpty()
                       || std::any_of(argument.cbegin(), argument.cend(),
                                      [](QChar c) { return special.contains(c); });
    QString text;
    if (!quote) {
        text = argument;
    } else {
        text = QStringLiteral("\"");
        qsizetype backslashes = 0;
        for (const QChar c : argument) {
            if (c == u'\\') {
                ++backslashes;
                continue;
            }
            if (c == u'"')
                text += QString(backslashes * 2 + 1, u'\\') + c;
            else
                text += QString(backslashes, u'\\') + c;
            backslashes = 0;
        }
        text += QString(backslashes * 2, u'\\') + QStringLiteral("\"");
    }
    text.replace(u'%', QStringLiteral("%%"));
    return text;
}

HttpOptions withPump(HttpOptions options, UserInterface &ui)
{
    if (!options.pump)
        options.pump = [&ui] { ui.processEvents(); };
    return options;
}
}  // namespace

QByteArray swapBatchText(const QString &executableFileName, const QStringList &arguments)
{
    QString name = executableFileName.isEmpty() ? kInstallerFile : executableFileName;
    name.replace(u'%', QStringLiteral("%%"));
    const bool quoted = name.contains(u' ');
    const QString file = quoted ? QStringLiteral("\"") + name + QStringLiteral("\"") : name;
    // A quoted first argument of "start" would be taken for the window title.
    QString start = QStringLiteral("@start ") + (quoted ? QStringLiteral("\"\" ") : QString()) + file;
    for (const QString &argument : arguments)
        start += u' ' + batchArgument(argument);
    const QStringList lines{
        QStringLiteral(":Loop"),
        QStringLiteral("@echo off"),
        QStringLiteral("@del ") + file,
        QStringLiteral("if Exist ") + file + QStringLiteral(" goto Loop"),
        QStringLiteral("@Move ") + kDownloadedInstallerFile + u' ' + file,
        start,
        QStringLiteral("@del ") + kSwapBatchFile,
    };
    return platform::toWindows1252(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

SelfUpdateOutcome VerificaVersaoInstalador(InstallerSession &session, SelfUpdateEnvironment &environment)
{
    // The version the previous process of this start has just installed, if it restarted us.
    const QString justInstalled = qEnvironmentVariable(kSelfUpdatedVariable);
    qunsetenv(kSelfUpdatedVariable);

    if (!environment.siteReachable || !environment.siteReachable(session.build.makerSite))
        return SelfUpdateOutcome::NotChecked;
    const HttpResult answer = httpGet(joinUrl(session.build.packageRepository, kInstallerVersionFile),
                                      withPump(environment.textOptions, session.ui));
    const QString published = answer.ok() ? publishedVersionText(platform::fromWindows1252(answer.body)) : QString();
    if (published.isEmpty() || published == environment.ownVersion || published.size() >= 15)
        return SelfUpdateOutcome::UpToDate;
    // In a build with a signing key the published version text is signed too: a text swapped on
    // the way (to bring back an older signed installer) is refused before anything is fetched.
    const SignatureOutcome textSignature = checkFetchedSignature(
        session.build.signingPublicKey, answer.body,
        joinUrl(session.build.packageRepository, kInstallerVersionFile) + QStringLiteral(".sig"),
        withPump(environment.textOptions, session.ui));
    if (textSignature == SignatureOutcome::Missing || textSignature == SignatureOutcome::Invalid) {
        session.ui.warning(QStringLiteral("Atualização"),
                           QStringLiteral("A versão publicada do instalador (") + published
                               + (textSignature == SignatureOutcome::Missing ? QStringLiteral(") não tem assinatura publicada")
                                                                             : QStringLiteral(") tem assinatura inválida"))
                               + QStringLiteral(" e foi ignorada. O instalador atual continuará em uso."));
        return SelfUpdateOutcome::DownloadFailed;
    }
    if (!justInstalled.isEmpty() && justInstalled == published) {
        // The executable just installed for this version calls itself another one: updating again
        // would never end.
        session.ui.warning(QStringLiteral("Atualização"),
                           QStringLiteral("O instalador acabou de ser atualizado para a versão publicada (") + published
                               + QStringLiteral("), mas identifica-se como versão ") + environment.ownVersion
                               + QStringLiteral(". A atualização automática foi interrompida; o instalador seguirá "
                                                "com a versão atual."));
        return SelfUpdateOutcome::LoopStopped;
    }
    session.ui.information(QStringLiteral("Atualização"),
                           QStringLiteral("Está disponível uma versão mais recente deste instalador (") + published
                               + QStringLiteral("). A atualização é necessária e será realizada agora."));
    return AtualizaInstalador(session, environment, published);
}

namespace {
// The Windows swap. The batch is written in the installer's folder and runs there, whatever the
// current folder is: the files it deletes and moves are the installer's own, and a file of the same
// name in the folder the installer was started from is never touched.
SelfUpdateOutcome swapThroughBatch(InstallerSession &session, SelfUpdateEnvironment &environment,
                                   const QString &folder, const QString &temporary, const QString &publishedVersion)
{
    const QString batch = QDir(folder).filePath(kSwapBatchFile);
    QString error;
    QFile file(batch);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (written) {
        const QByteArray text = swapBatchText(QFileInfo(environment.executablePath).fileName(), environment.arguments);
        written = file.write(text) == text.size();
        file.close();
        written = written && file.error() == QFileDevice::NoError;
    }
    if (!written)
        error = file.errorString();
    if (environment.showProgress)
        environment.showProgress(false);
    if (written && environment.beforeRestart)
        environment.beforeRestart();
    // The batch and the installer it starts inherit this variable: the loop guard of the new one.
    qputenv(kSelfUpdatedVariable, publishedVersion.toUtf8());
    if (written && environment.startBatch && environment.startBatch(batch, folder, &error)) {
        if (environment.endProcess)
            environment.endProcess();
        return SelfUpdateOutcome::Restarted;
    }
    // Nothing will swap the files: the running installer stays and the program goes on.
    qunsetenv(kSelfUpdatedVariable);
    QFile::remove(batch);
    QFile::remove(temporary);
    session.ui.error(QStringLiteral("Atualização"),
                     QStringLiteral("O novo instalador foi baixado, mas a troca de executáveis não pôde ser iniciada (")
                         + error + QStringLiteral("). O instalador atual continuará em uso."));
    return SelfUpdateOutcome::RestartFailed;
}
}  // namespace

SelfUpdateOutcome AtualizaInstalador(InstallerSession &session, SelfUpdateEnvironment &environment,
                                     const QString &publishedVersion)
{
    UserInterface &ui = session.ui;
    auto progress = [&environment](bool shown) {
        if (environment.showProgress)
            environment.showProgress(shown);
    };
    const QString failureText = QStringLiteral("Erro durante o download do Instalador. O instalador atual continuará "
                                               "em uso.");
    progress(true);
    const QString url = joinUrl(session.build.packageRepository, kInstallerFile);
    const QString executable = environment.executablePath;
    const QString folder = QFileInfo(executable).absolutePath();
    const QString temporary = QDir(folder).filePath(kDownloadedInstallerFile);
    const HttpResult result = downloadToFile(url, temporary, {}, withPump(environment.downloadOptions, ui));
    if (!result.transferred || QFileInfo(temporary).size() == 0) {
        QFile::remove(temporary);
        progress(false);
        ui.warning(QStringLiteral("Aviso"), failureText);
        return SelfUpdateOutcome::DownloadFailed;
    }
    const SignatureOutcome signature = checkDownloadedSignature(session.build.signingPublicKey, temporary,
                                                                url + QStringLiteral(".sig"),
                                                                withPump(environment.textOptions, ui));
    const QString refusal = signatureRefusalText(signature, QStringLiteral("O instalador"));
    if (!refusal.isEmpty()) {
        QFile::remove(temporary);
        progress(false);
        ui.warning(QStringLiteral("Aviso"), refusal + QStringLiteral(" O instalador atual continuará em uso."));
        return SelfUpdateOutcome::DownloadFailed;
    }
    if (environment.swapByBatch)
        return swapThroughBatch(session, environment, folder, temporary, publishedVersion);
    // The new file gets the permissions of the running one (execution included), then takes its
    // place in one step: the executable is always either the former file or the new one.
    QFile::setPermissions(temporary, QFile::permissions(executable) | QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    std::error_code code;
    std::filesystem::rename(std::filesystem::path(temporary.toStdU16String()),
                            std::filesystem::path(executable.toStdU16String()), code);
    if (code) {
        QFile::remove(temporary);
        progress(false);
        ui.warning(QStringLiteral("Aviso"), failureText);
        return SelfUpdateOutcome::DownloadFailed;
    }
    progress(false);
    qputenv(kSelfUpdatedVariable, publishedVersion.toUtf8());
    if (environment.beforeRestart)
        environment.beforeRestart();
    QString error;
    if (environment.restart && environment.restart(executable, environment.arguments, &error))
        return SelfUpdateOutcome::Restarted;
    qunsetenv(kSelfUpdatedVariable);
    ui.error(QStringLiteral("Atualização"),
             QStringLiteral("O novo instalador foi gravado em \"") + QDir::toNativeSeparators(executable)
                 + QStringLiteral("\", mas não pôde ser iniciado (") + error
                 + QStringLiteral("). Feche e abra novamente o instalador."));
    return SelfUpdateOutcome::RestartFailed;
}

}  // namespace tivra::remote
