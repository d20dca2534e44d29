// The deployment fixtures on Windows: the read-only attribute, and another process holding a
// file (tivra-hold-file) with the share modes and locks that Windows programs use. Windows has
// no unprivileged account to switch to from a test: runUnprivileged runs the function as is.
#include "support/deployfixtures.h"

#include <QDir>
#include <QProcess>

#include <map>
#include <memory>

#include <windows.h>

namespace tivra::testsupport {

namespace {

const char *holderMode(FileHolder::Mode mode)
{
    switch (mode) {
    case FileHolder::Mode::Open: return "open";
    case FileHolder::Mode::Mapped: return "mapped";
    case FileHolder::Mode::Flocked: return "locked";
    case FileHolder::Mode::RecordLocked: return "record";
    }
    return "open";
}

// The holder processes, by the pid handed out (the class keeps only a pid).
std::map<pid_t, std::unique_ptr<QProcess>> &holders()
{
    static std::map<pid_t, std::unique_ptr<QProcess>> processes;
    return processes;
}

}  // namespace

void setReadOnly(const QString &path, bool readOnly)
{
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(name.c_str(), readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)));
}

FileHolder::FileHolder(const QString &path, Mode mode)
{
    auto process = std::make_unique<QProcess>();
    // The build names the program by its path on the build machine; under Wine that is drive Z:.
    QString program = QStringLiteral(TIVRA_HOLD_FILE_EXE);
    if (program.startsWith(u'/'))
        program.prepend(QStringLiteral("Z:"));
    process->start(program,
                   {QDir::toNativeSeparators(path), QString::fromLatin1(holderMode(mode))});
    if (!process->waitForStarted(30000))
        return;
    while (process->state() == QProcess::Running && !process->canReadLine())
        process->waitForReadyRead(30000);
    m_holding = process->readLine().trimmed() == "ready";
    m_pid = static_cast<pid_t>(process->processId());
    holders()[m_pid] = std::move(process);
}

FileHolder::~FileHolder()
{
    auto found = holders().find(m_pid);
    if (found == holders().end())
        return;
    found->second->closeWriteChannel();
    if (!found->second->waitForFinished(10000)) {
        found->second->kill();
        found->second->waitForFinished(10000);
    }
    holders().erase(found);
}

int runUnprivileged(const std::function<int()> &function)
{
    return function();
}

void openToEveryone(const QString &)
{
}

}  // namespace tivra::testsupport
