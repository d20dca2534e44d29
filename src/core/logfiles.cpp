#include "core/logfiles.h"

#include "core/clock.h"
#include "core/session.h"
#include "platform/textfile.h"

#include <QDir>

namespace tivra {

namespace {
QString fileStamp(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("ddMMyyyy_hhmm"));
}
}  // namespace

QString logFileName(const QString &customerCode, QChar resultLetter, const QString &packageVersion,
                    const QDateTime &moment)
{
    return customerCode + QStringLiteral("_Log_") + resultLetter + packageVersion + QLatin1Char('_')
           + fileStamp(moment) + QStringLiteral(".txt");
}

QString logbookFileName(const QString &packageVersion, const QDateTime &moment)
{
    return QStringLiteral("ManualBordo_v") + packageVersion + QLatin1Char('_') + fileStamp(moment)
           + QStringLiteral(".txt");
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QDir::separator() + name;
}

QString saveLogFile(const InstallerSession &session, const QString &folder, QChar resultLetter, QString *error)
{
    const QString path = joinPath(folder, logFileName(session.customerCode, resultLetter,
                                                      session.package.versaoPacote, currentDateTime()));
    if (!platform::writeTextItems(path, session.status.logText(), error))
        return {};
    return path;
}

QString saveLogbook(const InstallerSession &session, const QString &folder, QString *error)
{
    const QString path = joinPath(folder, logbookFileName(session.package.versaoPacote, currentDateTime()));
    if (!platform::writeTextItems(path, session.logbook, error))
        return {};
    return path;
}

void PreparaManualBordo(InstallerSession &session)
{
    session.logbook.clear();
    session.logbook.append(QStringLiteral("*********************** Manual de Bordo ***********************\r\n"));
    session.logbook.append(QStringLiteral("- Data da Atualização: ") + logTimeStamp(currentDateTime()));
    session.logbook.append(QStringLiteral("- Versão do Pacote de Atualização: ") + session.package.versaoPacote);
    session.logbook.append(QStringLiteral("- Solicitado por: "));
    session.logbook.append(QStringLiteral("- Executado por: "));
}

}  // namespace tivra
