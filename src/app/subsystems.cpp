#include "app/subsystems.h"

#include "catalog/catalogo.h"
#include "core/session.h"
#include "db/aliases.h"
#include "db/connection.h"
#include "db/sqlrunner.h"
#include "db/tablespaces.h"
#include "db/validation.h"
#include "db/versionchecks.h"
#include "db/versiontables.h"
#include "deploy/complus.h"
#include "deploy/filechecks.h"
#include "remote/finalreport.h"
#include "remote/structuremodel.h"

namespace tivra::subsystems {

QString readCustomerCode(InstallerSession &session)
{
    QString code = session.customerCode;
    for (int row = 0; row < session.cdsDbs.count(); ++row) {
        if (session.cdsDbs.integer(row, QStringLiteral("IMAGE")) != ImageSuccess)
            continue;
        DbConnection connection(session);
        if (!ConnectCurrentEntry(connection, row))
            continue;
        QString error;
        const auto result = connection.query(QStringLiteral("SELECT RTRIM(COD_INSTITUICAO) AS CODIGO FROM PAR_INSTITUICAO"), &error);
        if (!result) {
            session.UpdateStatus(QStringLiteral("Erro interno no método \"GetCodInstituicao\". Mensagem: ") + error, true,
                                 QString(), ImageError, false);
            continue;
        }
        try {
            if (!result->isEmpty())
                code = result->text(0, QStringLiteral("CODIGO")).trimmed();
        } catch (const std::exception &e) {
            session.UpdateStatus(QStringLiteral("Erro interno no método \"GetCodInstituicao\". Mensagem: ")
                                     + QString::fromUtf8(e.what()),
                                 true, QString(), ImageError, false);
        }
    }
    return code;
}

void shutdownComponentsQuietly(InstallerSession &session)
{
    DesligaPacotesComponentes(session);
}

bool checkWritePermission(InstallerSession &session, const QString &folder)
{
    return CheckPermissaoEscrita(session, folder, true);
}

bool checkFilesInUse(InstallerSession &session, const QString &folder)
{
    return CheckArquivosEmUso(session, folder, true);
}

bool versionsFileWritable(const QString &path)
{
    return tivra::versionsFileWritable(path);
}

QStringList unconfinedBinaryEntries(const InstallerSession &session)
{
    return tivra::unconfinedBinaryEntries(session.package.binaryToCopy);
}

void checkVersions(InstallerSession &session, bool unchanged)
{
    CheckPermissaoVersoes(session, unchanged);
}

void readAliases(InstallerSession &session)
{
    ReadAliases(session);
}

void validateDatabases(InstallerSession &session)
{
    ValidarBancos(session);
}

void prepareDownloadDatabases(InstallerSession &session)
{
    ReadAliases(session);
    ValidarBancos(session);
    CreateTableVersoes(session);
}

void loadTableSpaces(InstallerSession &session)
{
    CarregaTableSpaces(session);
}

void readCatalogIndex(InstallerSession &session)
{
    ReadCatalogo(session);
}

void sendStructureModels(InstallerSession &session)
{
    // Every validated database whose connection opens, in list order; the first error of any kind
    // ends the capture of the others without a word (the run's verdict does not depend on it).
    // A model captured but not delivered is recorded with its cause (the run summary, and a line
    // under "/quiet").
    const remote::HttpOptions options = remote::reportOptions(session);
    try {
        for (int row = 0; row < session.cdsDbs.count(); ++row) {
            if (session.cdsDbs.integer(row, QStringLiteral("IMAGE")) != ImageSuccess)
                continue;
            DbConnection connection(session);
            if (!ConnectCurrentEntry(connection, row))
                continue;
            const QString why = remote::deliveryFailure(remote::AnalisaEstruturaBanco(session, connection, row, options));
            if (!why.isEmpty())
                session.runReport.structureModelFailures << session.cdsDbs.text(row, QStringLiteral("ALIAS")) + QStringLiteral(": ") + why;
        }
    } catch (const std::exception &) {
    }
}

void sendFinalReport(InstallerSession &session, const QString &logFile, const QString &message, int failures)
{
    remote::EnviaLogFinal(session, logFile, message, failures, remote::reportOptions(session));
}

}  // namespace tivra::subsystems
