#include "deploy/complus.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "core/userinterface.h"
#include "deploy/fileaccess.h"

#include <QFile>
#include <QFileInfo>

#include <exception>

// Resources of a static library are registered by name from outside any namespace.
static void initDeployResources()
{
    Q_INIT_RESOURCE(deploy);
}

namespace tivra {

namespace {

const QString kApplications = QStringLiteral("Applications");
const QString kStenovaAtiv = QStringLiteral("pkStenovaAtiv");
const QString kStenovaAtividades = QStringLiteral("pkStenovaAtividades");
const QString kBrelum = QStringLiteral("pkBrelum");

std::optional<WindowsVersionClass> &versionClassOverride()
{
    static std::optional<WindowsVersionClass> value;
    return value;
}

WindowsVersionClass windowsVersionClass()
{
    const auto &forced = versionClassOverride();
    return forced ? *forced : currentWindowsVersionClass();
}

QString errorMessage(const std::exception &error)
{
    if (const auto *comError = dynamic_cast<const ComPlusError *>(&error))
        return comError->message();
    return QString::fromLocal8Bit(error.what());
}

QString applicationName(const QString &componentsLine)
{
    const qsizetype equals = componentsLine.indexOf(QLatin1Char('='));
    return equals >= 0 ? componentsLine.left(equals) : componentsLine;
}

std::unique_ptr<ComAdminCatalog> openCatalog(const InstallerSession &session)
{
    return openComPlusCatalog(session.installerDirectory);
}

// Index of the first application of that exact name, -1 when there is none.
int findApplication(CatalogCollection &applications, const QString &name)
{
    const int count = applications.count();
    for (int index = 0; index < count; ++index) {
        if (applications.item(index)->name() == name)
            return index;
    }
    return -1;
}

}  // namespace

std::unique_ptr<ComAdminCatalog> openComPlusCatalog(const QString &installerDirectory)
{
    if (qEnvironmentVariableIntValue("TIVRA_COMPLUS_STANDIN") == 1)
        return openFileBackedCatalog(comPlusCatalogPath(installerDirectory));
    return ComAdminCatalog::open(installerDirectory);
}

QString comPlusCatalogPath(const QString &installerDirectory)
{
    const QString named = qEnvironmentVariable("TIVRA_COMPLUS_CATALOG");
    if (!named.isEmpty())
        return named;
    return joinPath(installerDirectory, QStringLiteral("COMPlusCatalog.ini"));
}

WindowsVersionClass classifyWindowsVersion(int platformId, int major, int minor)
{
    if (platformId == kPlatformWin32s || platformId == kPlatformWin32Windows)
        return WindowsVersionClass::Older;
    if (platformId != kPlatformWin32NT)
        return WindowsVersionClass::Unclassified;
    if (major == 3 || major == 4)
        return WindowsVersionClass::Older;
    if (major == 5) {
        switch (minor) {
        case 0:
            return WindowsVersionClass::Windows2000;
        case 1:
            return WindowsVersionClass::WindowsXP;
        case 2:
            return WindowsVersionClass::Server2003;
        default:
            return WindowsVersionClass::Older;
        }
    }
    if (major == 6)
        return WindowsVersionClass::Later;
    return WindowsVersionClass::Unclassified;
}

void setWindowsVersionClassForTesting(std::optional<WindowsVersionClass> versionClass)
{
    versionClassOverride() = versionClass;
}

QStringList Explode(const QString &separator, const QString &text, int limit)
{
    QStringList pieces;
    if (text.isEmpty())
        return pieces;
    qsizetype position = 0;
    for (;;) {
        if (limit > 0 && pieces.size() == limit - 1) {
            pieces.append(text.mid(position));
            break;
        }
        const qsizetype found = separator.isEmpty() ? -1 : text.indexOf(separator, position);
        if (found < 0) {
            pieces.append(text.mid(position));
            break;
        }
        pieces.append(text.mid(position, found - position));
        position = found + separator.size();
    }
    return pieces;
}

void ShutPacoteMTS(InstallerSession &session, const QString &name)
{
    try {
        const auto catalog = openCatalog(session);
        const auto applications = catalog->getCollection(kApplications);
        applications->populate();
        if (name == kStenovaAtiv) {
            // The application of an earlier release that the current one replaces.
            const int old = findApplication(*applications, kStenovaAtividades);
            if (old >= 0) {
                applications->remove(old);
                applications->saveChanges();
            }
        }
        if (findApplication(*applications, name) >= 0)
            openCatalog(session)->shutdownApplication(name);
    } catch (const std::exception &error) {
        session.UpdateStatus(QStringLiteral("Erro ao desligar o pacote \"") + name + QStringLiteral("\". Mensagem: ")
                                 + errorMessage(error),
                             true, QString(), ImageError, false);
    }
}

void RegistraPacoteMTS(InstallerSession &session, const QString &name)
{
    try {
        const WindowsVersionClass versionClass = windowsVersionClass();
        const auto catalog = openCatalog(session);
        const auto applications = catalog->getCollection(kApplications);
        applications->populate();
        if (findApplication(*applications, name) >= 0)
            return;
        const auto application = applications->add();
        application->setValue(QStringLiteral("Name"), name);
        application->setValue(QStringLiteral("ApplicationAccessChecksEnabled"), false);
        if (versionClass != WindowsVersionClass::Older)
            application->setValue(QStringLiteral("RunForever"), true);
        if (name == kBrelum && versionClass != WindowsVersionClass::Older
            && versionClass != WindowsVersionClass::Windows2000)
            application->setValue(QStringLiteral("ConcurrentApps"), 20);
        applications->saveChanges();
    } catch (const std::exception &error) {
        session.UpdateStatus(QStringLiteral("Erro durante a criação do pacote \"") + name
                                 + QStringLiteral("\". Mensagem: ") + errorMessage(error),
                             true, QString(), ImageError, false);
    }
}

bool InstalaPacoteMTS(InstallerSession &session, const QString &componentsLine)
{
    const QString name = applicationName(componentsLine);
    const qsizetype equals = componentsLine.indexOf(QLatin1Char('='));
    const QStringList libraries = equals >= 0 ? Explode(QStringLiteral(";"), componentsLine.mid(equals + 1), 0)
                                              : QStringList();
    const QString folder = localPath(joinPath(session.pathAppTivra, QStringLiteral("Producao/Bin/")));
    bool result = true;
    try {
        const auto catalog = openCatalog(session);
        const auto applications = catalog->getCollection(kApplications);
        applications->populate();
        const int count = applications->count();
        for (int index = 0; index < count; ++index) {
            const auto application = applications->item(index);
            if (application->name() != name)
                continue;
            const QString key = application->key();
            const auto components = applications->getCollection(QStringLiteral("Components"), key);
            components->populate();
            const int componentCount = components->count();
            // An application whose libraries the package does not replace keeps its registration,
            // unless it has none at all.
            bool replaced = false;
            for (const QString &library : libraries) {
                if (library.isEmpty())
                    continue;
                for (const QString &entry : session.package.binaryToCopy) {
                    if (entry.contains(library, Qt::CaseSensitive)) {
                        replaced = true;
                        break;
                    }
                }
                if (replaced)
                    break;
            }
            if (!replaced && componentCount > 0)
                continue;
            for (int removed = 0; removed < componentCount; ++removed)
                components->remove(0);
            components->saveChanges();
            for (const QString &library : libraries) {
                const QString path = folder + library;
                if (library.isEmpty() || !QFileInfo(path).isFile())
                    continue;
                catalog->installComponent(key, path, QString(), QString());
            }
            openCatalog(session)->shutdownApplication(name);
        }
    } catch (const std::exception &error) {
        session.UpdateStatus(QStringLiteral("Erro ao registrar componentes do pacote \"") + name
                                 + QStringLiteral("\". Mensagem: ") + errorMessage(error),
                             true, QString(), ImageIgnored, false);
        result = false;
    }
    session.UpdateStatus(QStringLiteral("   -> ") + name, true, kStageInicializandoPacotes,
                         result ? ImageSuccess : ImageIgnored, true);
    return result;
}

bool ControlPacks(InstallerSession &session, bool start)
{
    const QStringList lines = session.package.componentes;
    if (!start) {
        session.UpdateStatus(QStringLiteral("Desligando pacotes COM..."), true, kStageDesligandoPacotes, ImageSuccess,
                             false);
        for (const QString &line : lines) {
            const QString name = applicationName(line);
            ShutPacoteMTS(session, name);
            session.UpdateStatus(QStringLiteral("   -> ") + name, true, kStageDesligandoPacotes, ImageSuccess, true);
        }
        return true;
    }
    session.UpdateStatus(QStringLiteral("Inicializando pacotes COM..."), true, kStageInicializandoPacotes,
                         ImageSuccess, false);
    for (const QString &line : lines) {
        const QString name = applicationName(line);
        ShutPacoteMTS(session, name);
        RegistraPacoteMTS(session, name);
        InstalaPacoteMTS(session, line);
    }
    return true;
}

void DesligaPacotesComponentes(InstallerSession &session)
{
    const QStringList lines = session.package.componentes;
    for (const QString &line : lines)
        ShutPacoteMTS(session, applicationName(line));
}

void DesligaPacoteDaBiblioteca(InstallerSession &session, const QString &libraryPath)
{
    QString owner;
    for (const LibraryOwner &line : builtInLibraryTable()) {
        if (libraryPath.contains(line.library, Qt::CaseSensitive)) {
            owner = line.application;
            break;
        }
    }
    if (owner.isEmpty())
        return;
    try {
        const auto catalog = openCatalog(session);
        const auto applications = catalog->getCollection(kApplications);
        applications->populate();
        if (findApplication(*applications, owner) >= 0)
            openCatalog(session)->shutdownApplication(owner);
    } catch (const std::exception &) {
        // The copy goes on: a library still loaded shows up when the file is replaced.
    }
    session.ui.processEvents();
}

std::vector<LibraryOwner> parseLibraryTable(const QString &text)
{
    std::vector<LibraryOwner> table;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        LibraryOwner owner{line.left(equals).trimmed(), line.mid(equals + 1).trimmed()};
        if (owner.application.isEmpty() || owner.library.isEmpty())
            continue;
        table.push_back(std::move(owner));
    }
    return table;
}

const std::vector<LibraryOwner> &builtInLibraryTable()
{
    static const std::vector<LibraryOwner> table = [] {
        initDeployResources();
        QFile file(QStringLiteral(":/tivra/deploy/complus-libraries.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return std::vector<LibraryOwner>();
        return parseLibraryTable(QString::fromUtf8(file.readAll()));
    }();
    return table;
}

}  // namespace tivra
