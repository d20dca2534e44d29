#include "package/packageconfig.h"

#include "core/logfiles.h"
#include "core/packagesettings.h"
#include "core/session.h"
#include "package/packagearchive.h"
#include "platform/fileversion.h"
#include "platform/profile.h"
#include "platform/textfile.h"

#include <QFile>
#include <QFileInfo>

#include <exception>
#include <utility>

namespace tivra {

namespace {

const QString kConfigIni = QStringLiteral("Config.ini");
const QString kChangeLog = QStringLiteral("ChangeLog");
const QString kScriptsOracle = QStringLiteral("ScriptsOracle.sql");
const QString kScriptsDB2 = QStringLiteral("ScriptsDB2.sql");
const QString kScriptsMSSQL = QStringLiteral("ScriptsMSSQL.sql");
const QString kManual = QStringLiteral("Manual.pdf");

// Reads a whole member file from the working folder; throws when it exists but cannot be read.
QString readMemberText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PackageError(QStringLiteral("Não foi possível ler o arquivo \"") + path + QStringLiteral("\": ") +
                           file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PackageError(QStringLiteral("Não foi possível ler o arquivo \"") + path + QStringLiteral("\": ") +
                           file.errorString());
    return decodePackageText(bytes);
}

// Replaces target with a copy of source; false when the copy fails.
bool copyReplacing(const QString &source, const QString &target)
{
    if (QFileInfo::exists(target) && !QFile::remove(target))
        return false;
    return QFile::copy(source, target);
}

void logReadError(InstallerSession &session, const QString &message)
{
    session.UpdateStatus(
        QStringLiteral("Erro durante a leitura do arquivo \"Config.Ini\" no pacote de atualização. Mensagem: ") +
            message,
        true, QString(), ImageError, false);
}

// Why the settings just read cannot describe a package: a Config.ini that is missing, unreadable
// as settings, or without a usable [Outros] VersaoPacote. Empty when they can.
QString settingsProblem(const QString &configIniPath)
{
    const platform::ProfileFile ini(configIniPath);
    if (!ini.existed())
        return QStringLiteral("O pacote não contém o arquivo \"Config.ini\".");
    const QString version = ini.readString(QStringLiteral("Outros"), QStringLiteral("VersaoPacote")).trimmed();
    if (version.isEmpty())
        return QStringLiteral("O arquivo \"Config.ini\" do pacote não informa a versão do pacote "
                              "(seção [Outros], chave VersaoPacote).");
    if (!packageVersionUsable(version))
        return QStringLiteral("A versão do pacote \"") + version
               + QStringLiteral("\" informada no arquivo \"Config.ini\" não é um número de versão válido.");
    return {};
}

}  // namespace

bool packageVersionUsable(const QString &version)
{
    // Digits and dots, with at least one digit, whose number fits the comparisons.
    for (const QChar c : version) {
        if (c != u'.' && (c < u'0' || c > u'9'))
            return false;
    }
    return platform::versionDigitsFit(version, u".") && platform::versionDigitsNumber(version, u".") > 0;
}

QString decodePackageText(const QByteArray &bytes)
{
    return platform::decodeWindowsText(bytes);
}

void ReadPackageSettings(const QString &configIniPath, PackageSettings &settings)
{
    const platform::ProfileFile ini(configIniPath);
    const QString outros = QStringLiteral("Outros");
    settings.sqlDelimiter =
        ini.readString(QStringLiteral("ConfigSQL"), QStringLiteral("SQLDelimiter"), QStringLiteral(";"));
    settings.versaoPacote = ini.readString(outros, QStringLiteral("VersaoPacote"), QStringLiteral("0.0.001"));
    settings.versaoRequerida = ini.readString(outros, QStringLiteral("VersaoRequerida"), QStringLiteral("0.0.000"));
    settings.ignorarVersao = ini.readBool(outros, QStringLiteral("IgnorarVersao"));
    settings.packCorrecao = ini.readBool(outros, QStringLiteral("PackCorrecao"));
    settings.existBin = ini.readBool(outros, QStringLiteral("ExistBin"));
    settings.existScript = ini.readBool(outros, QStringLiteral("ExistScript"));
    settings.existCatalogo = ini.readBool(outros, QStringLiteral("ExistCatalogo"));
    settings.existMsg = ini.readBool(outros, QStringLiteral("ExistMsg"));
    settings.existRotulo = ini.readBool(outros, QStringLiteral("ExistRotulo"));
    settings.existRestrFunc = ini.readBool(outros, QStringLiteral("ExistRestrFunc"));
    settings.componentes = ini.sectionLines(QStringLiteral("Componentes"));
    settings.binaryToCopy = ini.keys(QStringLiteral("BinaryToCopy"));
    settings.dependenciasDB2 = ini.sectionLines(QStringLiteral("DependenciasDB2"));
    settings.dependenciasOracle = ini.sectionLines(QStringLiteral("DependenciasOracle"));
    settings.dependenciasMSSQL = ini.sectionLines(QStringLiteral("DependenciasMSSQL"));
    settings.tableSpaces = ini.keys(QStringLiteral("TableSpaces"));
}

void LoadIniConfig(InstallerSession &session)
{
    // The manual of an earlier package.
    const QString installedManual = joinPath(session.installerDirectory, kManual);
    if (QFileInfo::exists(installedManual))
        QFile::remove(installedManual);

    session.packageProblem.clear();
    if (!QFileInfo::exists(packageFilePath(session)))
        return;
    // Nothing of an earlier package survives the reading of another.
    session.package = PackageSettings{};
    session.changeLog.clear();
    session.manualButtonVisible = false;

    try {
        const auto inWork = [&session](const QString &name) { return joinPath(session.workingFolder, name); };
        const QStringList members{kConfigIni, kChangeLog, kScriptsOracle, kScriptsDB2, kScriptsMSSQL, kManual};

        // A working folder left over from an earlier run must not lend its files to this package.
        for (const QString &name : members) {
            const QString path = inWork(name);
            if (QFileInfo::exists(path) && !QFile::remove(path))
                throw PackageError(QStringLiteral("Não foi possível remover o arquivo \"") + path +
                                   QStringLiteral("\"."));
        }
        {
            PackageReader reader(packageFilePath(session), session.build.packagePassword);
            for (const QString &name : members)
                reader.extract(name, session.workingFolder);
        }

        const QString problem = settingsProblem(inWork(kConfigIni));
        if (!problem.isEmpty())
            throw PackageError(problem);
        ReadPackageSettings(inWork(kConfigIni), session.package);

        session.package.scriptOracle.clear();
        session.package.scriptDB2.clear();
        session.package.scriptMSSQL.clear();
        const std::pair<QString, QStringList *> scripts[] = {{kScriptsOracle, &session.package.scriptOracle},
                                                             {kScriptsDB2, &session.package.scriptDB2},
                                                             {kScriptsMSSQL, &session.package.scriptMSSQL}};
        for (const auto &[name, lines] : scripts) {
            if (QFileInfo::exists(inWork(name)))
                *lines = platform::splitLines(readMemberText(inWork(name)));
        }

        if (QFileInfo::exists(inWork(kManual))) {
            if (copyReplacing(inWork(kManual), installedManual)) {
                session.manualButtonCaption = QStringLiteral("Manual da Versão ") + session.package.versaoPacote;
                session.manualButtonVisible = true;
            }
        } else {
            session.manualButtonVisible = false;
        }

        session.changeLog.clear();
        if (QFileInfo::exists(inWork(kChangeLog)))
            session.changeLog = readMemberText(inWork(kChangeLog));
    } catch (const PackageError &error) {
        session.packageProblem = error.message();
        logReadError(session, error.message());
    } catch (const std::exception &error) {
        session.packageProblem = QString::fromLocal8Bit(error.what());
        logReadError(session, session.packageProblem);
    }
    if (!session.packageProblem.isEmpty()) {
        // The settings of a package that cannot be used must not drive anything.
        session.package = PackageSettings{};
        session.changeLog.clear();
        session.manualButtonVisible = false;
    }
}

}  // namespace tivra
