#include "deploy/foldercopy.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "core/userinterface.h"
#include "deploy/complus.h"
#include "deploy/fileaccess.h"
#include "platform/fileversion.h"
#include "platform/system.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <exception>
#include <memory>

namespace tivra {

namespace {

constexpr qint64 kPumpIntervalMs = 50;

std::function<bool(const QString &, const QString &)> &copyFault()
{
    static std::function<bool(const QString &, const QString &)> fault;
    return fault;
}

// Paths compared as the design compares them: "\" and "/" alike, case kept.
QString comparable(const QString &path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

QString withSeparator(const QString &folder)
{
    const QString local = localPath(folder);
    if (local.endsWith(QLatin1Char('/')) || local.endsWith(QLatin1Char('\\')))
        return local;
    return local + QDir::separator();
}

bool skippedName(const FolderEntry &entry)
{
    if (entry.name.isEmpty() || entry.isVolumeLabel || entry.name.startsWith(QLatin1Char('.')))
        return true;
    const QString upper = entry.name.toUpper();
    // The recycle bins of the older and the current Windows versions.
    return upper == QLatin1String("RECYCLED") || upper == QLatin1String("$RECYCLE")
        || upper == QLatin1String("$RECYCLE.BIN");
}

class FolderCopier {
public:
    FolderCopier(InstallerSession &session, FolderCopyRequest &request)
        : m_session(session), m_request(request), m_probe(FileUseProbe::create()),
          m_freshProbe(FileUseProbe::create(FileUseProbe::Scan::None)),
          m_systemFolder(platform::systemDirectory()), m_matchAll(isMatchAll(request.mask))
    {
        for (const QString &entry : request.fileList)
            m_listed.insert(comparable(entry.trimmed()));
        if (!m_matchAll) {
            m_mask = QRegularExpression(QRegularExpression::wildcardToRegularExpression(request.mask),
                                        QRegularExpression::CaseInsensitiveOption);
        }
        m_topDestination = comparable(QDir::cleanPath(QFileInfo(withSeparator(request.destination)).absoluteFilePath()));
        m_pump.start();
    }

    bool run()
    {
        const QString destination = withSeparator(m_request.destination);
        if (!m_request.planOnly && !QFileInfo(destination).isDir())
            QDir().mkdir(destination);
        // The destination may lie inside the source under another spelling (a link, or letter
        // case on Windows): it is recognised by its resolved path too.
        m_topCanonical = samePathKey(QFileInfo(destination).canonicalFilePath());
        if (!m_request.reportProgress)
            return copyDirectory(withSeparator(m_request.source), destination);
        QSet<QString> visited;
        m_total = countFiles(withSeparator(m_request.source), visited);
        m_session.status.reportProgress(0, m_total, ProgressUnit::Files);
        const bool result = copyDirectory(withSeparator(m_request.source), destination);
        if (result)
            m_session.status.reportProgress(m_done, m_total, ProgressUnit::Files);
        m_session.status.endProgress();
        return result;
    }

    static QString samePathKey(const QString &path)
    {
#ifdef Q_OS_WIN
        return path.toCaseFolded();
#else
        return path;
#endif
    }

    bool isTopDestination(const QString &folder) const
    {
        if (comparable(QDir::cleanPath(QFileInfo(folder).absoluteFilePath())) == m_topDestination)
            return true;
        return !m_topCanonical.isEmpty() && samePathKey(QFileInfo(folder).canonicalFilePath()) == m_topCanonical;
    }

    static bool isMatchAll(const QString &mask) { return mask == QLatin1String("*.*") || mask == QLatin1String("*"); }

    bool matches(const QString &name) const { return m_matchAll || m_mask.match(name).hasMatch(); }

private:
    // The files the copy will handle: the same walk as copyDirectory, without copying. A folder
    // that cannot be read counts nothing here; the copy reports it.
    qint64 countFiles(const QString &source, QSet<QString> &visited) const
    {
        std::vector<FolderEntry> entries;
        QString failure;
        if (!listFolder(source, entries, &failure))
            return 0;
        const QString canonical = QFileInfo(source).canonicalFilePath();
        if (visited.contains(canonical))
            return 0;
        visited.insert(canonical);
        qint64 count = 0;
        for (const FolderEntry &entry : entries) {
            if (skippedName(entry))
                continue;
            if (entry.isDirectory) {
                const QString subSource = source + entry.name + QDir::separator();
                if (!isTopDestination(subSource))
                    count += countFiles(subSource, visited);
            } else if (matches(entry.name) && listed(source + entry.name)) {
                ++count;
            }
        }
        visited.remove(canonical);
        return count;
    }

    // Whether the copy handles the file at all (only the listed ones when the request says so).
    bool listed(const QString &source) const
    {
        if (!m_request.listedFilesOnly)
            return true;
        const qsizetype at = source.indexOf(QStringLiteral("AppTivra"), 0, Qt::CaseSensitive);
        const QString relative = (at >= 0 ? source.mid(at) : source).trimmed();
        return m_listed.contains(comparable(relative));
    }

    bool copyDirectory(const QString &source, const QString &destination)
    {
        if (!m_request.planOnly && !QFileInfo(destination).isDir())
            QDir().mkdir(destination);  // one level; a failure shows when a file is copied there
        std::vector<FolderEntry> entries;
        QString failure;
        if (!listFolder(source, entries, &failure)) {
            m_request.errorText = QStringLiteral("Não foi possível ler o diretório \"") + source
                + QStringLiteral("\". Mensagem: ") + failure;
            return false;
        }
        // A folder reached again through a link would be copied without end.
        const QString canonical = QFileInfo(source).canonicalFilePath();
        if (m_ancestors.contains(canonical))
            return true;
        m_ancestors.insert(canonical);
        bool result = true;
        for (const FolderEntry &entry : entries) {
            if (skippedName(entry))
                continue;
            if (entry.isDirectory) {
                const QString subSource = source + entry.name + QDir::separator();
                // A destination inside the source is never copied into itself.
                if (isTopDestination(subSource))
                    continue;
                result = copyDirectory(subSource, destination + entry.name + QDir::separator());
            } else if (matches(entry.name)) {
                result = copyFile(source + entry.name, destination + entry.name);
            }
            if (!result)
                break;
        }
        m_ancestors.remove(canonical);
        return result;
    }

    bool copyFile(const QString &source, const QString &destination)
    {
        pump();
        if (!listed(source))
            return true;
        if (m_request.reportProgress)
            m_session.status.reportProgress(m_done++, m_total, ProgressUnit::Files);
        // A destination a program holds open cannot be replaced now: it is passed over without a
        // line, and the caller's count of handled files tells.
        // The planned file's names, the same whatever the plan says of it.
        const auto plannedFile = [&] {
            PlannedFile file;
            file.source = source;
            file.destination = destination;
            file.relativePath = comparable(source.mid(m_sourceRoot.size()));
            return file;
        };
        std::unique_ptr<OpenedFile> target = OpenedFile::open(destination);
        const FileUseProbe::Presence presence = m_probe->presence(*target);
        if (presence == FileUseProbe::Presence::HeldOpen) {
            m_request.skippedInUse.append(destination);
            if (m_request.planOnly) {
                PlannedFile file = plannedFile();
                file.heldOpen = true;
                m_request.plan.push_back(file);
            }
            return true;
        }
        // Each file is opened once: its version read from the open file, then copied from it.
        const std::unique_ptr<OpenedFile> sourceFile = OpenedFile::open(source);
        const QString sourceVersion = sourceFile->versionText();
        const QString destinationVersion =
            presence == FileUseProbe::Presence::Missing ? QString() : target->versionText();
        target.reset();
        const FileCopyDecision decision =
            decideFileCopy(presence != FileUseProbe::Presence::Missing, destinationVersion, sourceVersion);
        if (m_request.planOnly) {
            PlannedFile file = plannedFile();
            file.decision = decision;
            file.sourceVersion = sourceVersion;
            file.destinationVersion = destinationVersion;
            file.sameContent = decision == FileCopyDecision::Replace && sameBytes(source, destination);
            m_request.plan.push_back(file);
            handled(source);
            return true;
        }
        if (decision == FileCopyDecision::KeepUncomparable) {
            m_request.resultList.append(uncomparableLine(destination, destinationVersion, sourceVersion));
            handled(source);
            return true;
        }
        if (decision == FileCopyDecision::KeepNewer) {
            m_request.resultList.append(keptLine(destination, destinationVersion, sourceVersion));
            handled(source);
            return true;
        }
        DesligaPacoteDaBiblioteca(m_session, destination);
        // The file in place is a new one now: the snapshot of the files held open says nothing
        // about it (its inode may even be one a file held open at the start had). The in-use test
        // also fails a file that carries the read-only attribute, as a copied read-only file does.
        if (!copyOne(*sourceFile, source, destination) || m_freshProbe->inUse(destination)) {
            m_request.errorText = QStringLiteral("Não foi possível copiar o arquivo \"") + destination
                + QStringLiteral("\". Verifique se o mesmo não encontra-se em uso!");
            return false;
        }
        m_request.resultList.append(copiedLine(sourceVersion, destination));
        handled(source);
        if (!m_systemFolder.isEmpty()) {
            for (const QString &library : kSystemFolderLibraries) {
                if (source.contains(library, Qt::CaseSensitive)
                    && !copyOne(*sourceFile, source, localPath(joinPath(m_systemFolder, library))))
                    return false;
            }
        }
        return true;
    }

    // Whether two files hold the same bytes (read in blocks; a file that cannot be read differs).
    static bool sameBytes(const QString &first, const QString &second)
    {
        QFile a(first);
        QFile b(second);
        if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
            return false;
        constexpr qint64 kBlock = 1 << 16;
        while (!a.atEnd()) {
            const QByteArray left = a.read(kBlock);
            if (left.isEmpty() || left != b.read(kBlock))
                return false;
        }
        return true;
    }

    static bool copyOne(OpenedFile &sourceFile, const QString &source, const QString &destination)
    {
        const auto &fault = copyFault();
        if (fault && fault(source, destination))
            return false;
        return sourceFile.copyTo(destination, nullptr);
    }

    void handled(const QString &source)
    {
        m_request.handledFiles.append(comparable(source.mid(m_sourceRoot.size())));
    }

    // Lets the window repaint now and then while the copy runs.
    void pump()
    {
        if (m_pump.elapsed() < kPumpIntervalMs)
            return;
        m_session.ui.processEvents();
        m_pump.restart();
    }

    InstallerSession &m_session;
    FolderCopyRequest &m_request;
    std::unique_ptr<FileUseProbe> m_probe;       // files held open when the copy started
    std::unique_ptr<FileUseProbe> m_freshProbe;  // for files this copy has just written
    QString m_systemFolder;
    bool m_matchAll;
    QRegularExpression m_mask;
    QSet<QString> m_listed;
    QString m_topDestination;
    QString m_topCanonical;
    QString m_sourceRoot = withSeparator(m_request.source);
    QSet<QString> m_ancestors;
    QElapsedTimer m_pump;
    qint64 m_total = 0;  // files to handle, when the copy reports its progress
    qint64 m_done = 0;
};

}  // namespace

FileCopyDecision decideFileCopy(bool destinationPresent, const QString &destinationVersion, const QString &sourceVersion)
{
    if (!destinationPresent)
        return FileCopyDecision::New;
    // A version too large to compare never replaces, nor is replaced: a silent downgrade is
    // worse than a file left as it is, and the line says why.
    if (!platform::fileVersionFits(destinationVersion) || !platform::fileVersionFits(sourceVersion))
        return FileCopyDecision::KeepUncomparable;
    if (platform::fileVersionNumber(destinationVersion) > platform::fileVersionNumber(sourceVersion))
        return FileCopyDecision::KeepNewer;
    return FileCopyDecision::Replace;
}

QString copiedLine(const QString &sourceVersion, const QString &destinationFile)
{
    return QLatin1Char('(') + sourceVersion + QStringLiteral(") ") + destinationFile;
}

QString keptLine(const QString &destinationFile, const QString &destinationVersion, const QString &sourceVersion)
{
    return QLatin1Char('"') + destinationFile + QStringLiteral("\" não atualizado -> Versão do arquivo atual (")
        + destinationVersion + QStringLiteral(") maior que versão do arquivo do pacote (") + sourceVersion
        + QLatin1Char(')');
}

QString uncomparableLine(const QString &destinationFile, const QString &destinationVersion,
                         const QString &sourceVersion)
{
    return QLatin1Char('"') + destinationFile + QStringLiteral("\" não atualizado -> Versão do arquivo atual (")
        + destinationVersion + QStringLiteral(") ou do arquivo do pacote (") + sourceVersion
        + QStringLiteral(") grande demais para ser comparada");
}

bool matchesMask(const QString &fileName, const QString &mask)
{
    if (FolderCopier::isMatchAll(mask))
        return true;
    const QRegularExpression expression(
        QRegularExpression::wildcardToRegularExpression(mask),
        QRegularExpression::CaseInsensitiveOption);
    return expression.match(fileName).hasMatch();
}

void setCopyFaultForTesting(std::function<bool(const QString &, const QString &)> fault)
{
    copyFault() = std::move(fault);
}

bool CopyFolder(InstallerSession &session, FolderCopyRequest &request)
{
    try {
        FolderCopier copier(session, request);
        return copier.run();
    } catch (const std::exception &error) {
        request.errorText = QString::fromLocal8Bit(error.what());
        return false;
    }
}

}  // namespace tivra
