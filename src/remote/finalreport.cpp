#include "remote/finalreport.h"

#include "core/session.h"
#include "core/userinterface.h"
#include "platform/fileversion.h"
#include "platform/system.h"
#include "platform/textfile.h"

namespace tivra::remote {

QStringList reportHeaderLines(const QString &installerVersion, const QString &customerCode, const QString &computerName,
                              const QString &packageVersion, const QString &requiredVersion, int errors,
                              const QString &finalMessage)
{
    return {QStringLiteral("**************   Atualização do Tivra*   **************"),
            QStringLiteral("- Versão do Instalador: ") + installerVersion,
            QStringLiteral("- Cliente: ") + customerCode,
            QStringLiteral("- Nome da Máquina: ") + computerName,
            QStringLiteral("- Versão do Pacote: ") + packageVersion,
            QStringLiteral("- Versão Requerida: ") + requiredVersion,
            QStringLiteral("- Nº Erros gerados: ") + QString::number(errors),
            QStringLiteral("- Mensagem Final: ") + finalMessage,
            QString(),
            QStringLiteral("*** LOG FINAL ***")};
}

HttpOptions reportOptions(InstallerSession &session)
{
    HttpOptions options;
    options.connectTimeoutMs = 10000;
    options.totalTimeoutMs = 60000;
    options.maxBodyBytes = 1024 * 1024;  // the answer is not read
    UserInterface *ui = &session.ui;
    options.pump = [ui] { ui->processEvents(); };
    return options;
}

void EnviaLogFinal(InstallerSession &session, const QString &logFile, const QString &finalMessage, int errors,
                   const HttpOptions &options)
{
    bool ok = false;
    QStringList items = platform::readTextLines(logFile, &ok);
    if (!ok)
        return;
    const QStringList header = reportHeaderLines(platform::installerVersionText(), session.customerCode,
                                                 platform::computerName(), session.package.versaoPacote,
                                                 session.package.versaoRequerida, errors, finalMessage);
    // One item ending in CR LF: the file then shows an empty line after "*** LOG FINAL ***".
    items.prepend(header.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    if (!platform::writeTextItems(logFile, items))
        return;
    PostFormFiles(joinUrl(session.build.makerSite, kLogsPath), {kLogsField}, {logFile}, options);
}

}  // namespace tivra::remote
