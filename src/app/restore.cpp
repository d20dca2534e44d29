#include "app/restore.h"

#include "core/clock.h"
#include "core/logfiles.h"
#include "core/session.h"
#include "deploy/backup.h"
#include "deploy/complus.h"
#include "deploy/fileaccess.h"
#include "deploy/filechecks.h"
#include "deploy/foldercopy.h"
#include "deploy/versoesini.h"
#include "platform/fileversion.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace tivra {

namespace {

const QString kUsage = QStringLiteral("Uso: tivra-installer /restore:PASTA_DO_BACKUP [/quiet]");
const QString kDatabasesUntouched = QStringLiteral(
    "Os bancos de dados não foram alterados: a restauração devolve somente os arquivos do diretório da aplicação. "
    "Scripts e dados já aplicados nos bancos permanecem como a última atualização os deixou.");
constexpr qint64 kMaxMarkerSize = 64 * 1024;

// A path as compared here: "/" separators, cleaned, absolute, no trailing separator.
QString cleanAbsolute(const QString &path)
{
    QString text = path.trimmed();
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(QFileInfo(text).absoluteFilePath());
}

bool samePath(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}

// Whether path is folder or lies below it (both cleaned).
bool inside(const QString &path, const QString &folder)
{
    if (path.isEmpty() || folder.isEmpty())
        return false;
    if (samePath(path, folder))
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
#ifdef Q_OS_WIN
    return path.startsWith(prefix, Qt::CaseInsensitive);
#else
    return path.startsWith(prefix);
#endif
}

bool sameDirectory(const QString &a, const QString &b)
{
    if (samePath(cleanAbsolute(a), cleanAbsolute(b)))
        return true;
    const QString canonicalA = QFileInfo(cleanAbsolute(a)).canonicalFilePath();
    const QString canonicalB = QFileInfo(cleanAbsolute(b)).canonicalFilePath();
    return !canonicalA.isEmpty() && samePath(canonicalA, canonicalB);
}

bool isLink(const QFileInfo &info)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 4, 0)
    if (info.isJunction())
        return true;
#endif
    return info.isSymLink();
}

// A name of a folder listing that can only name an entry of that folder: no separators of any
// system, no drive or stream colon, no "." or "..", no control characters.
bool plainName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 32)
            return false;
    }
    return true;
}

// Lists the files below folder (relative paths with "/" separators). Refuses links, special
// files and names that could lead elsewhere; the marker file at the root is not a member.
QString listMembers(const QString &folder, const QString &prefix, QStringList &members)
{
    std::vector<FolderEntry> entries;
    QString failure;
    if (!listFolder(folder, entries, &failure))
        return QStringLiteral("Não foi possível ler a pasta \"") + folder + QStringLiteral("\". Mensagem: ") + failure;
    for (const FolderEntry &entry : entries) {
        if (entry.isVolumeLabel)
            continue;
        const QString shown = prefix + entry.name;
        if (!plainName(entry.name))
            return QStringLiteral("O backup contém um nome de arquivo inválido: \"") + shown + QLatin1Char('"');
        const QString path = folder + QLatin1Char('/') + entry.name;
        const QFileInfo info(path);
        if (isLink(info)) {
            return QStringLiteral("O backup contém uma ligação simbólica (\"") + shown
                + QStringLiteral("\"), que poderia levar para fora do diretório da aplicação.");
        }
        if (info.isDir()) {
            const QString refusal = listMembers(path, shown + QLatin1Char('/'), members);
            if (!refusal.isEmpty())
                return refusal;
        } else if (info.isFile()) {
            if (prefix.isEmpty() && entry.name == kBackupMarkerName)
                continue;
            members.append(shown);
        } else {
            return QStringLiteral("O backup contém \"") + shown + QStringLiteral("\", que não é um arquivo comum.");
        }
    }
    return {};
}

// Where a member goes, when it stays inside the application directory: its path, else empty.
// Besides the member's own names (checked when listed), the folders on the way that already exist
// must resolve inside the application directory: a link there would carry the file elsewhere.
QString confinedDestination(const QString &appClean, const QString &appCanonical, const QString &member)
{
    const QString destination = QDir::cleanPath(appClean + QLatin1Char('/') + member);
    if (!inside(destination, appClean) || samePath(destination, appClean))
        return {};
    QString folder = QFileInfo(destination).path();
    while (!QFileInfo::exists(folder) && inside(folder, appClean) && !samePath(folder, appClean))
        folder = QFileInfo(folder).path();
    const QString resolved = QFileInfo(folder).canonicalFilePath();
    if (resolved.isEmpty() || !inside(resolved, appCanonical))
        return {};
    return destination;
}

const QRegularExpression &backupNamePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^AppTivra antes do pack .+ - Data \\d{2}\\.\\d{2}\\.\\d{4}-\\d{2}\\.\\d{2}$"));
    return pattern;
}

// Log items of the status log begin with their time stamp ("dd/mm/yyyy - hh:mm:ss- ").
QString withoutStamp(const QString &item)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d{2}/\\d{2}/\\d{4} - \\d{2}:\\d{2}:\\d{2}- "));
    QString text = item;
    text.remove(stamp);
    return text.trimmed();
}

// The COM+ application that hosts a file, by the built-in library table; empty for none.
QString owningApplication(const QString &member)
{
    for (const LibraryOwner &line : builtInLibraryTable()) {
        if (member.contains(line.library, Qt::CaseSensitive))
            return line.application;
    }
    return {};
}

// The components line of an application as the package would give it: every library the table
// names for it.
QString componentsLine(const QString &application)
{
    QStringList libraries;
    for (const LibraryOwner &line : builtInLibraryTable()) {
        if (line.application == application && !libraries.contains(line.library))
            libraries.append(line.library);
    }
    return application + QLatin1Char('=') + libraries.join(QLatin1Char(';'));
}

class Restorer {
public:
    Restorer(InstallerSession &session, const std::function<void(const QString &)> &print)
        : m_session(session), m_print(print)
    {
    }

    RestoreOutcome run(const RestoreCommand &command)
    {
        if (!command.problem.isEmpty()) {
            add(command.problem);
            add(kUsage);
            return finish(RestoreExitRefused, command.problem);
        }
        const QString &appDirectory = m_session.pathAppTivra;
        add(QStringLiteral("Restauração do backup \"") + command.folder + QStringLiteral("\" no diretório \"")
            + appDirectory + QStringLiteral("\""));
        const BackupContent content = inspectBackup(command.folder, appDirectory);
        if (!content.refusal.isEmpty()) {
            const QString refused = QStringLiteral("Restauração recusada: ") + content.refusal
                + QStringLiteral(" Nenhum arquivo foi alterado.");
            add(refused);
            add(kDatabasesUntouched);
            return finish(RestoreExitRefused, refused);
        }
        add(content.marked
                ? QStringLiteral("Backup reconhecido pelo arquivo \"") + kBackupMarkerName
                      + QStringLiteral("\": feito deste diretório da aplicação.")
                : QStringLiteral("Backup sem o arquivo \"") + kBackupMarkerName
                      + QStringLiteral("\" (anterior a ele): reconhecido pelo nome da pasta e por todos os seus "
                                       "arquivos existirem no diretório da aplicação."));

        const QString appClean = cleanAbsolute(appDirectory);
        const QString appCanonical = QFileInfo(appClean).canonicalFilePath();
        const QString backupClean = cleanAbsolute(command.folder);

        // The COM+ applications that host restored libraries are stopped first, as the update
        // stops them before its file checks.
        QStringList applications;
        for (const QString &member : content.members + content.added) {
            const QString owner = owningApplication(member);
            if (!owner.isEmpty() && !applications.contains(owner))
                applications.append(owner);
        }
        for (const QString &application : std::as_const(applications)) {
            add(QStringLiteral("Desligando pacote COM+ \"") + application + QStringLiteral("\""));
            comPlus([&] { ShutPacoteMTS(m_session, application); });
        }

        // Files in use stop the whole restore: a mix of restored and updated files would be
        // worse than either.
        const int total = int(content.members.size());
        int restored = 0;
        QStringList destinations;
        const std::unique_ptr<FileUseProbe> probe = FileUseProbe::create();
        QStringList inUse;
        for (const QString &member : content.members) {
            const QString destination = confinedDestination(appClean, appCanonical, member);
            destinations.append(destination);
            if (FileInUse(*probe, localPath(destination)))
                inUse.append(destination);
        }
        QStringList removals;
        for (const QString &added : content.added) {
            const QString path = confinedDestination(appClean, appCanonical, added);
            const QFileInfo info(path);
            if (!info.exists() && !info.isSymLink())
                continue;  // already gone
            removals.append(path);
            if (FileInUse(*probe, localPath(path)))
                inUse.append(path);
        }
        bool allRestored = inUse.isEmpty();
        for (const QString &destination : std::as_const(inUse)) {
            add(QStringLiteral("Arquivo em uso (ou somente leitura), não restaurado: \"")
                + QDir::toNativeSeparators(destination) + QLatin1Char('"'));
        }
        if (!inUse.isEmpty()) {
            add(QStringLiteral("Nenhum arquivo foi restaurado: feche os programas que usam os arquivos acima (ou remova "
                               "o atributo somente leitura) e execute a restauração novamente."));
        } else {
            const QString systemFolder = platform::systemDirectory();
            for (int index = 0; index < total; ++index) {
                const QString &member = content.members.at(index);
                const QString source = localPath(backupClean + QLatin1Char('/') + member);
                const QString destination = localPath(destinations.at(index));
                QDir().mkpath(QFileInfo(destination).absolutePath());
                QString error;
                if (!copyFileReplacing(source, destination, &error)) {
                    allRestored = false;
                    add(QStringLiteral("Não restaurado: \"") + QDir::toNativeSeparators(destination)
                        + QStringLiteral("\". Mensagem: ") + error);
                    continue;
                }
                ++restored;
                add(QStringLiteral("Restaurado (") + platform::fileVersionText(destination) + QStringLiteral(") ")
                    + QDir::toNativeSeparators(destination));
                // The in-house libraries live in the system folder too: the update placed its
                // version there, so the backup's goes back there as well.
                if (systemFolder.isEmpty())
                    continue;
                for (const QString &library : kSystemFolderLibraries) {
                    if (!member.contains(library, Qt::CaseSensitive))
                        continue;
                    const QString target = localPath(joinPath(systemFolder, library));
                    if (copyFileReplacing(source, target, &error)) {
                        add(QStringLiteral("Restaurado na pasta do sistema: ") + QDir::toNativeSeparators(target));
                    } else {
                        allRestored = false;
                        add(QStringLiteral("Não restaurado na pasta do sistema: \"") + QDir::toNativeSeparators(target)
                            + QStringLiteral("\". Mensagem: ") + error);
                    }
                }
            }
            for (const QString &path : std::as_const(removals)) {
                const QFileInfo info(path);
                // Only a plain file goes: a folder or a link there is not what the update added.
                const bool removed = info.isFile() && !isLink(info)
                    && (QFile::moveToTrash(localPath(path)) || QFile::remove(localPath(path)));
                if (removed) {
                    add(QStringLiteral("Removido (acrescentado pela atualização): ") + QDir::toNativeSeparators(path));
                } else {
                    allRestored = false;
                    add(QStringLiteral("Não removido (acrescentado pela atualização): \"") + QDir::toNativeSeparators(path)
                        + QLatin1Char('"'));
                }
            }
            if (!rewriteVersions(appDirectory))
                allRestored = false;
        }

        // The stopped applications are created when missing and registered again, as the update's
        // last stage does, whether or not the files could be restored.
        m_session.package.binaryToCopy.clear();
        for (const QString &member : content.members + content.added)
            m_session.package.binaryToCopy.append(QStringLiteral("AppTivra/") + member);
        for (const QString &application : std::as_const(applications)) {
            add(QStringLiteral("Inicializando pacote COM+ \"") + application + QStringLiteral("\""));
            comPlus([&] {
                ShutPacoteMTS(m_session, application);
                RegistraPacoteMTS(m_session, application);
                InstalaPacoteMTS(m_session, componentsLine(application));
            });
        }

        add(kDatabasesUntouched);
        const QString verdict = allRestored
            ? QStringLiteral("Restauração Concluída: %1 arquivo(s) restaurado(s).").arg(restored)
            : QStringLiteral("Restauração incompleta: %1 de %2 arquivo(s) restaurado(s).").arg(restored).arg(total);
        add(verdict);
        return finish(allRestored ? RestoreExitRestored : RestoreExitIncomplete, verdict);
    }

private:
    void add(const QString &line)
    {
        m_outcome.lines.append(line);
        m_print(line);
    }

    // Runs COM+ steps and adds the error lines they wrote to the status log.
    template <typename Steps>
    void comPlus(Steps steps)
    {
        const qsizetype before = m_session.status.logText().size();
        steps();
        const QStringList &items = m_session.status.logText();
        for (qsizetype index = before; index < items.size(); ++index) {
            const QString text = withoutStamp(items.at(index));
            if (text.startsWith(QStringLiteral("Erro")))
                add(QStringLiteral("     ") + text);
        }
    }

    // Brings the version entries of the versions file in line with the files in place: a value
    // that differs is written where it stands, a file without an entry is appended (only to a
    // section that holds entries, as stage 05 does). Entries already right are left as they are,
    // so that restoring the saved versions file of a new backup gives it back byte for byte.
    bool rewriteVersions(const QString &appDirectory)
    {
        const QString path = versoesIniPath(appDirectory);
        if (!QFileInfo(path).isFile()) {
            add(QStringLiteral("Arquivo \"Versoes.ini\" não encontrado no diretório da aplicação: não atualizado."));
            return true;
        }
        platform::ProfileFile ini(path);
        const auto update = [&ini](const QString &section, const QString &folder) {
            const QStringList keys = ini.keys(section);
            if (keys.isEmpty())
                return;
            for (const QString &line : versionLines(folder)) {
                const qsizetype equals = line.indexOf(QLatin1Char('='));
                const QString name = line.left(equals);
                const QString version = line.mid(equals + 1);
                if (keys.contains(name, Qt::CaseInsensitive) && ini.readString(section, name) == version)
                    continue;
                ini.writeString(section, name, version);
            }
        };
        update(QStringLiteral("Componentes"), joinPath(appDirectory, QStringLiteral("Producao/Bin/Clients")));
        update(QStringLiteral("Bibliotecas"), joinPath(appDirectory, QStringLiteral("Bibliotecas")));
        if (!ini.isModified()) {
            add(QStringLiteral("Arquivo \"Versoes.ini\" conferido: as versões já correspondem aos arquivos."));
            return true;
        }
        QString failure;
        if (hasReadOnlyAttribute(path))
            failure = QStringLiteral("Acesso negado: o arquivo é somente leitura.");
        else if (!ini.flush(&failure) && failure.isEmpty())
            failure = QStringLiteral("erro de gravação");
        if (!failure.isEmpty()) {
            add(QStringLiteral("Não foi possível gravar o arquivo \"") + QDir::toNativeSeparators(path)
                + QStringLiteral("\". Mensagem: ") + failure);
            return false;
        }
        add(QStringLiteral("Arquivo \"Versoes.ini\" atualizado a partir dos arquivos restaurados."));
        return true;
    }

    RestoreOutcome finish(int status, const QString &verdict)
    {
        m_outcome.exitStatus = status;
        m_outcome.summary = verdict;
        const QString folder = m_session.pathLog.isEmpty() ? m_session.installerDirectory + QStringLiteral("Log")
                                                           : m_session.pathLog;
        QDir().mkpath(folder);
        // A second restore within the same second gets a file of its own.
        const QString stem = localPath(joinPath(
            folder, QStringLiteral("LogRestauracao_") + currentDateTime().toString(QStringLiteral("ddMMyyyy_hhmmss"))));
        QString path = stem + QStringLiteral(".txt");
        for (int n = 2; QFileInfo::exists(path); ++n)
            path = stem + QStringLiteral("_%1.txt").arg(n);
        QString error;
        if (platform::writeTextItems(path, m_outcome.lines, &error)) {
            m_outcome.logFile = path;
            m_print(QStringLiteral("Log: ") + QDir::toNativeSeparators(path));
        } else {
            m_print(QStringLiteral("Não foi possível gravar o log da restauração \"") + path
                    + QStringLiteral("\". Mensagem: ") + error);
        }
        return m_outcome;
    }

    InstallerSession &m_session;
    const std::function<void(const QString &)> &m_print;
    RestoreOutcome m_outcome;
};

}  // namespace

RestoreCommand parseRestoreCommand(const QStringList &arguments)
{
    RestoreCommand command;
    int given = 0;
    for (const QString &argument : arguments) {
        if (!argument.startsWith(QStringLiteral("/restore:")))
            continue;
        command.requested = true;
        command.folder = argument.mid(9).trimmed();
        ++given;
    }
    if (given > 1)
        command.problem = QStringLiteral("A pasta do backup (/restore:) foi informada mais de uma vez.");
    else if (command.requested && command.folder.isEmpty())
        command.problem = QStringLiteral("Informe a pasta do backup a restaurar (/restore:PASTA_DO_BACKUP).");
    return command;
}

BackupContent inspectBackup(const QString &backupFolder, const QString &appDirectory)
{
    BackupContent content;
    if (appDirectory.trimmed().isEmpty()) {
        content.refusal = QStringLiteral("o diretório da aplicação não está configurado (Config.ini do instalador, "
                                         "seção [AppTivra], chave Path).");
        return content;
    }
    const QString appClean = cleanAbsolute(appDirectory);
    if (!QFileInfo(appClean).isDir()) {
        content.refusal = QStringLiteral("o diretório da aplicação \"") + appDirectory
            + QStringLiteral("\" não foi encontrado.");
        return content;
    }
    const QString folder = cleanAbsolute(backupFolder);
    const QFileInfo info(folder);
    if (!info.exists()) {
        content.refusal = QStringLiteral("a pasta \"") + backupFolder + QStringLiteral("\" não foi encontrada.");
        return content;
    }
    if (!info.isDir()) {
        content.refusal = QStringLiteral("\"") + backupFolder + QStringLiteral("\" não é uma pasta.");
        return content;
    }
    const QString appCanonical = QFileInfo(appClean).canonicalFilePath();
    const QString folderCanonical = info.canonicalFilePath();
    if (inside(appClean, folder) || inside(appCanonical, folderCanonical)) {
        content.refusal = QStringLiteral("a pasta \"") + backupFolder
            + QStringLiteral("\" é o diretório da aplicação ou o contém; não é um backup.");
        return content;
    }

    QStringList members;
    const QString listing = listMembers(folder, QString(), members);
    if (!listing.isEmpty()) {
        content.refusal = listing + QLatin1Char('.');
        return content;
    }
    members.sort(Qt::CaseInsensitive);

    const QString markerPath = folder + QLatin1Char('/') + kBackupMarkerName;
    const QFileInfo markerInfo(markerPath);
    if (markerInfo.isFile()) {
        QFile file(markerPath);
        if (markerInfo.size() > kMaxMarkerSize || !file.open(QIODevice::ReadOnly)) {
            content.refusal = QStringLiteral("o arquivo \"") + kBackupMarkerName
                + QStringLiteral("\" do backup não pôde ser lido.");
            return content;
        }
        const BackupMarker marker = parseBackupMarker(file.read(kMaxMarkerSize));
        if (!marker.valid) {
            content.refusal = QStringLiteral("o arquivo \"") + kBackupMarkerName
                + QStringLiteral("\" do backup não informa o diretório de origem.");
            return content;
        }
        if (!sameDirectory(marker.directory, appDirectory)) {
            content.refusal = QStringLiteral("o backup foi feito do diretório \"") + marker.directory
                + QStringLiteral("\", não do diretório da aplicação \"") + appDirectory + QStringLiteral("\".");
            return content;
        }
        content.marked = true;
        for (QString added : marker.addedFiles) {
            added.replace(QLatin1Char('\\'), QLatin1Char('/'));
            bool plain = true;
            for (const QString &part : added.split(QLatin1Char('/')))
                plain = plain && plainName(part);
            if (!plain || confinedDestination(appClean, appCanonical, added).isEmpty()) {
                content.refusal = QStringLiteral("o arquivo \"") + kBackupMarkerName
                    + QStringLiteral("\" do backup lista um arquivo fora do diretório da aplicação: \"") + added
                    + QStringLiteral("\".");
                return content;
            }
            if (!members.contains(added) && !content.added.contains(added))
                content.added.append(added);
        }
    } else {
        // A backup made before the marker existed: the folder keeps the name the backup stage
        // gives it, and every file in it is one the application directory has (the update replaced
        // these files; it never removes any).
        if (!backupNamePattern().match(info.fileName()).hasMatch()) {
            content.refusal = QStringLiteral("a pasta não é um backup do instalador: não tem o arquivo \"")
                + kBackupMarkerName
                + QStringLiteral("\" nem o nome \"AppTivra antes do pack VERSÃO - Data dd.mm.aaaa-hh.mm\".");
            return content;
        }
        for (const QString &member : std::as_const(members)) {
            if (!QFileInfo(appClean + QLatin1Char('/') + member).isFile()) {
                content.refusal = QStringLiteral("o arquivo \"") + member
                    + QStringLiteral("\" do backup não existe no diretório da aplicação: o backup não é deste "
                                     "diretório.");
                return content;
            }
        }
    }
    if (members.isEmpty()) {
        content.refusal = QStringLiteral("o backup não contém arquivos a restaurar.");
        return content;
    }
    for (const QString &member : std::as_const(members)) {
        if (confinedDestination(appClean, appCanonical, member).isEmpty()) {
            content.refusal = QStringLiteral("o arquivo \"") + member
                + QStringLiteral("\" do backup levaria para fora do diretório da aplicação.");
            return content;
        }
    }
    content.members = members;
    return content;
}

void readRestoreDirectories(InstallerSession &session)
{
    const QString settings = session.installerDirectory + QStringLiteral("Config.ini");
    if (QFileInfo::exists(settings))
        session.pathAppTivra = platform::ProfileFile(settings).readString(QStringLiteral("AppTivra"), QStringLiteral("Path"));
    session.pathLog = session.installerDirectory + QStringLiteral("Log");
}

RestoreOutcome runRestore(InstallerSession &session, const RestoreCommand &command,
                          const std::function<void(const QString &line)> &print)
{
    Restorer restorer(session, print);
    return restorer.run(command);
}

}  // namespace tivra
