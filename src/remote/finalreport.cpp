#include "remote/finalreport.h"

#include "core/session.h"
#include "core/userinterface.h"
#include "platform/fileversion.h"
#include "platform/system.h"
#include "platform/textfile.h"

#include <QFileInfo>

#include <algorithm>

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
    // A line that carries nothing for a minute is dead, whatever the bound of the whole upload.
    options.stallTimeoutS = 60;
    options.maxBodyBytes = 1024 * 1024;  // the answer is not read
    UserInterface *ui = &session.ui;
    options.pump = [ui] { ui->processEvents(); };
    return options;
}

HttpOptions uploadOptions(const HttpOptions &base, qint64 bytes)
{
    HttpOptions options = base;
    const qint64 extra = std::max<qint64>(0, bytes) * 1000 / kSlowestUploadBytesPerSecond;
    options.totalTimeoutMs = int(std::min<qint64>(qint64(base.totalTimeoutMs) + extra, kMaxUploadTimeoutMs));
    return options;
}

void EnviaLogFinal(InstallerSession &session, const QString &logFile, const QString &finalMessage, int errors,
                   const HttpOptions &options)
{
    DeliveryReport &delivery = session.runReport.finalReport;
    delivery = DeliveryReport{};
    const auto failed = [&delivery](const QString &why) {
        delivery.outcome = DeliveryReport::Outcome::Failed;
        delivery.error = why;
    };
    bool ok = false;
    QStringList items = platform::readTextLines(logFile, &ok);
    if (!ok) {
        failed(QStringLiteral("o arquivo de log não pôde ser lido"));
        return;
    }
    const QStringList header = reportHeaderLines(platform::installerVersionText(), session.customerCode,
                                                 platform::computerName(), session.package.versaoPacote,
                                                 session.package.versaoRequerida, errors, finalMessage);
    // One item ending in CR LF: the file then shows an empty line after "*** LOG FINAL ***".
    items.prepend(header.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    QString error;
    if (!platform::writeTextItems(logFile, items, &error)) {
        failed(QStringLiteral("o arquivo de log não pôde ser gravado: ") + error);
        return;
    }
    const HttpResult result = PostFormFiles(joinUrl(session.build.makerSite, kLogsPath), {kLogsField}, {logFile},
                                            uploadOptions(options, QFileInfo(logFile).size()));
    const QString why = deliveryFailure(result);
    if (why.isEmpty())
        delivery.outcome = DeliveryReport::Outcome::Sent;
    else
        failed(why);
}

}  // namespace tivra::remote
