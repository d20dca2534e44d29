#include "platform/system.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

#include <QFile>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tivra::platform {

QString installerDirectory()
{
    QString folder;
    if (QCoreApplication::instance()) {
        folder = QCoreApplication::applicationDirPath();
    } else {
        // No application object (tools, tests): the folder of the running executable.
        const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        folder = executable.isEmpty() ? QDir::currentPath() : QFileInfo(executable).absolutePath();
    }
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString executablePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString computerName()
{
    std::array<char, 256> buffer{};
    if (gethostname(buffer.data(), buffer.size() - 1) != 0)
        return {};
    buffer.back() = '\0';
    QString name = QString::fromLocal8Bit(buffer.data());
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name.left(15).toUpper();
}

QString systemDirectory()
{
    return qEnvironmentVariable("TIVRA_SYSTEM_DIR");
}

bool openDocument(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool replaceProcessImage(const QString &executable, const QStringList &arguments, QString *error)
{
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(executable));
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool startHiddenBatch(const QString &, const QString &, QString *error)
{
    // Batch files are a Windows matter: the Linux self-update replaces the executable itself.
    if (error)
        *error = QStringLiteral("batch files cannot be run on this system");
    return false;
}

}  // namespace tivra::platform
