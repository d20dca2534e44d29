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
    environment.textOptions.totalTimeoutMs = 30000;
    environment.textOptions.maxBodyBytes = 64 * 1024;
    environment.downloadOptions.totalTimeoutMs = 3600 * 1000;
    environment.downloadOptions.stallTimeoutS = 60;
    return environment;
}

namespace {
HttpOptions withPump(HttpOptions options, UserInterface &ui)
{
    if (!options.pump)
        options.pump = [&ui] { ui.processEvents(); };
    return options;
}
}  // namespace

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
    const QString temporary = QFileInfo(executable).absoluteDir().filePath(QStringLiteral("Installer.tmp"));
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
