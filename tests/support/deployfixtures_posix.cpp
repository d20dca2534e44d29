// The deployment fixtures that need POSIX processes, descriptors and permissions: another process
// holding a file, runs without administrator rights, permission bits. Not built for Windows.
#include "support/deployfixtures.h"

#include <QFile>

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tivra::testsupport {

namespace {

constexpr uid_t kNobody = 65534;

}  // namespace

void setReadOnly(const QString &path, bool readOnly)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0)
        return;
    const mode_t mode = readOnly ? (st.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (st.st_mode | S_IWUSR);
    ::chmod(name.constData(), mode & 07777);
}

FileHolder::FileHolder(const QString &path, Mode mode)
{
    const QByteArray name = QFile::encodeName(path);
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(ready[0]);
        const int fd = ::open(name.constData(), mode == Mode::RecordLocked ? O_RDWR : O_RDONLY);
        if (fd < 0)
            ::_exit(1);
        if (mode == Mode::Flocked && ::flock(fd, LOCK_EX) != 0)
            ::_exit(1);
        if (mode == Mode::RecordLocked) {
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            if (::fcntl(fd, F_SETLK, &lock) != 0)
                ::_exit(1);
        }
        if (mode == Mode::Mapped) {
            struct stat st {};
            if (::fstat(fd, &st) != 0 || ::mmap(nullptr, st.st_size > 0 ? size_t(st.st_size) : 1, PROT_READ,
                                                 MAP_PRIVATE, fd, 0) == MAP_FAILED)
                ::_exit(1);
            ::close(fd);
        }
        const char byte = 1;
        if (::write(ready[1], &byte, 1) != 1)
            ::_exit(1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    m_holding = m_pid > 0 && ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
}

FileHolder::~FileHolder()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

int runUnprivileged(const std::function<int()> &function)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(255);
        }
        ::_exit(function() & 0xff);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    const int code = WEXITSTATUS(status);
    return code == 255 ? -1 : code;
}

void openToEveryone(const QString &folder)
{
    ::chmod(QFile::encodeName(folder).constData(), 0777);
}

}  // namespace tivra::testsupport
