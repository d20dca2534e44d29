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

QString safeFileNamePart(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'.' && i + 1 < text.size() && text.at(i + 1) == u'.') {
            while (i + 1 < text.size() && text.at(i + 1) == u'.')
                ++i;
            result += u'_';
            continue;
        }
        const bool reserved = c.unicode() < 32 || c.unicode() == 127 || QStringView(u"\\/:*?\"<>|").contains(c);
        result += reserved ? QChar(u'_') : c;
    }
    while (!result.isEmpty() && (result.endsWith(u'.') || result.endsWith(u' ')))
        result.chop(1);
    static const QStringList devices{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                     QStringLiteral("NUL")};
    const QString stem = result.section(u'.', 0, 0).trimmed().toUpper();
    const bool numberedDevice = stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))
                                && stem.at(3) >= u'1' && stem.at(3) <= u'9';
    if (devices.contains(stem) || numberedDevice)
        result.prepend(u'_');
    if (result.size() > kMaxFileNamePart)
        result.truncate(kMaxFileNamePart);
    return result;
}

QString logFileName(const QString &customerCode, QChar resultLetter, const QString &packageVersion,
                    const QDateTime &moment)
{
    return safeFileNamePart(customerCode) + QStringLiteral("_Log_") + resultLetter + safeFileNamePart(packageVersion)
           + QLatin1Char('_')
           + fileStamp(moment) + QStringLiteral(".txt");
}

QString logbookFileName(const QString &packageVersion, const QDateTime &moment)
{
    return QStringLiteral("ManualBordo_v") + safeFileNamePart(packageVersion) + QLatin1Char('_') + fileStamp(moment)
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
    // The run summary takes the log file's name with ".json": a name is free only when both are.
    const QString path = joinPath(folder, logFileName(session.customerCode, resultLetter,
                                                      session.package.versaoPacote, currentDateTime()));
    return platform::writeNewTextItems(path, session.status.logText(), error, {QStringLiteral(".json")});
}

QString saveLogbook(const InstallerSession &session, const QString &folder, QString *error)
{
    const QString path = joinPath(folder, logbookFileName(session.package.versaoPacote, currentDateTime()));
    return platform::writeNewTextItems(path, session.logbook, error);
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
