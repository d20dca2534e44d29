#include "package/packageconfig.h"

#include "core/logfiles.h"
#include "core/packagesettings.h"
#include "core/session.h"
#include "package/packagearchive.h"
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

}  // namespace

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

    if (!QFileInfo::exists(packageFilePath(session)))
        return;

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
        logReadError(session, error.message());
    } catch (const std::exception &error) {
        logReadError(session, QString::fromLocal8Bit(error.what()));
    }
}

}  // namespace tivra
