// Fixtures for the file deployment tests: files with a chosen file version or date, another
// process that holds a file open (or only mapped), and code run without administrator rights so
// that permissions apply.
#pragma once

#include <QDate>
#include <QString>

#include <functional>
#include <sys/types.h>

namespace tivra::testsupport {

// Writes a PE library with that fixed file version (creating folders). Returns the path.
QString writeVersionedFile(const QString &path, quint16 a, quint16 b, quint16 c, quint16 d);
// Writes a plain file (no version resource) whose modification date is the given day at noon.
QString writeDatedFile(const QString &path, const QByteArray &bytes, const QDate &day);
QByteArray readAll(const QString &path);
// Sets or clears the owner's write permission (the read-only attribute here).
void setReadOnly(const QString &path, bool readOnly);

// Another process that holds a file: open (an open descriptor), only mapped into its memory (the
// descriptor closed after mapping, as a loaded library is), or open with a lock (flock, or an
// fcntl record lock over the whole file). Killed when the object goes.
class FileHolder {
public:
    enum class Mode { Open, Mapped, Flocked, RecordLocked };
    FileHolder(const QString &path, Mode mode);
    ~FileHolder();
    FileHolder(const FileHolder &) = delete;
    FileHolder &operator=(const FileHolder &) = delete;
    bool holding() const { return m_holding; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_holding = false;
};

// Runs the function in a child process without administrator rights (as "nobody" when the tests
// run as root; as is otherwise) and returns its result, or -1 when it could not run. The function
// must not use test assertions: it reports through its result. On Windows it runs in this
// process, as is: what it checks (locks, share modes) does not depend on the account there.
// Tests of permission bits skip themselves on Windows (TIVRA_SKIP_ON_WINDOWS_PERMISSIONS).
int runUnprivileged(const std::function<int()> &function);
// Lets every user reach the folder (the temporary folders are private to their owner).
void openToEveryone(const QString &folder);

}  // namespace tivra::testsupport

// Permission bits (chmod) and a second, unprivileged account are POSIX; a Windows test run has
// neither (its access rules are ACLs, and it runs as an administrator), so such a test says so.
#ifdef _WIN32
#define TIVRA_SKIP_ON_WINDOWS_PERMISSIONS() \
    GTEST_SKIP() << "needs POSIX permission bits and an unprivileged account; Windows has ACLs and the test runs as administrator"
#else
#define TIVRA_SKIP_ON_WINDOWS_PERMISSIONS() (void)0
#endif
