#include "deploy/fileaccess.h"

#include "platform/fileversion.h"
#include "platform/pe.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

namespace tivra {

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A file descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

struct DirCloser {
    void operator()(DIR *dir) const
    {
        if (dir)
            ::closedir(dir);
    }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

struct FileKey {
    dev_t device;
    ino_t inode;
    bool operator==(const FileKey &other) const { return device == other.device && inode == other.inode; }
};
struct FileKeyHash {
    size_t operator()(const FileKey &key) const
    {
        return std::hash<unsigned long long>()(static_cast<unsigned long long>(key.inode) * 1000003ULL
                                               ^ static_cast<unsigned long long>(key.device));
    }
};

bool isNumber(const char *name)
{
    if (!*name)
        return false;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9')
            return false;
    }
    return true;
}

// Reads a whole /proc file (its size is not known in advance).
std::string readProcFile(int directoryFd, const char *relative)
{
    std::string text;
    Descriptor fd(::openat(directoryFd, relative, O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

// Whether another open file description holds a lock on the open file: a POSIX (or open file
// description) lock seen through F_GETLK, or a BSD lock that makes a non-blocking flock fail.
bool lockedByOthers(int fd)
{
    struct flock query {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    query.l_start = 0;
    query.l_len = 0;
    if (::fcntl(fd, F_GETLK, &query) == 0 && query.l_type != F_UNLCK)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(fd, LOCK_UN);
    return false;
}

class PosixFileUseProbe final : public FileUseProbe {
public:
    explicit PosixFileUseProbe(Scan scanning) : m_scanned(scanning == Scan::OpenFiles)
    {
        if (m_scanned)
            scan();
    }

    bool inUse(const QString &path) const override
    {
        struct stat st {};
        const QByteArray name = encoded(path);
        if (::stat(name.constData(), &st) != 0)
            return errno != ENOENT && errno != ENOTDIR;  // cannot tell: count it as not free
        if (S_ISDIR(st.st_mode))
            return false;
        if (!S_ISREG(st.st_mode))
            return true;
        if (m_open.count(FileKey{st.st_dev, st.st_ino}))
            return true;
        if ((st.st_mode & S_IWUSR) == 0)
            return true;
        Descriptor fd(::open(name.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
        if (!fd.valid())
            return true;
        return m_scanned && lockedByOthers(fd.get());
    }

    Presence presence(const OpenedFile &file) const override;

private:
    // One pass over /proc: the files every process holds open (/proc/<pid>/fd) and the files
    // mapped into it (/proc/<pid>/maps: running executables and loaded libraries), keyed by
    // device and inode. Processes that cannot be inspected are passed over.
    void scan()
    {
        DirHandle proc(::opendir("/proc"));
        if (!proc)
            return;
        const int procFd = ::dirfd(proc.get());
        std::unordered_set<std::string> mappedPaths;
        while (const dirent *entry = ::readdir(proc.get())) {
            if (!isNumber(entry->d_name))
                continue;
            const std::string pid = entry->d_name;
            scanDescriptors(procFd, pid);
            scanMaps(procFd, pid, mappedPaths);
        }
        scanLocks(procFd);
        // The maps name each file by path as well; stat each distinct path once, so that files on
        // file systems whose maps device differs from stat's (overlays) are found too.
        for (const std::string &path : mappedPaths) {
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                m_open.insert(FileKey{st.st_dev, st.st_ino});
        }
    }

    // The advisory locks held (/proc/locks: POSIX, open file description and flock locks), for
    // the files the folder copy meets; the in-use test asks each file's locks directly.
    // "1: POSIX  ADVISORY  WRITE 1234 08:01:131 0 EOF", blocked waiters marked "->".
    void scanLocks(int procFd)
    {
        const std::string locks = readProcFile(procFd, "locks");
        size_t lineStart = 0;
        while (lineStart < locks.size()) {
            size_t lineEnd = locks.find('\n', lineStart);
            if (lineEnd == std::string::npos)
                lineEnd = locks.size();
            const std::string line = locks.substr(lineStart, lineEnd - lineStart);
            lineStart = lineEnd + 1;
            if (line.find("->") != std::string::npos)
                continue;  // waiting, not holding
            unsigned major = 0;
            unsigned minor = 0;
            unsigned long long inode = 0;
            size_t at = 0;
            while (at < line.size()) {
                const size_t end = std::min(line.find(' ', at), line.size());
                const std::string field = line.substr(at, end - at);
                if (std::count(field.begin(), field.end(), ':') == 2
                    && std::sscanf(field.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3) {
                    m_locked.insert(FileKey{makedev(major, minor), static_cast<ino_t>(inode)});
                    break;
                }
                at = end + 1;
            }
        }
    }

    void scanDescriptors(int procFd, const std::string &pid)
    {
        const std::string relative = pid + "/fd";
        const int fdDir = ::openat(procFd, relative.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdDir < 0)
            return;
        DirHandle fds(::fdopendir(fdDir));
        if (!fds) {
            ::close(fdDir);
            return;
        }
        while (const dirent *fdEntry = ::readdir(fds.get())) {
            if (fdEntry->d_name[0] == '.')
                continue;
            struct stat st {};
            // The entries are links to the open files: stat follows them to the file itself.
            if (::fstatat(fdDir, fdEntry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
                m_open.insert(FileKey{st.st_dev, st.st_ino});
        }
    }

    void scanMaps(int procFd, const std::string &pid, std::unordered_set<std::string> &mappedPaths)
    {
        const std::string relative = pid + "/maps";
        const std::string maps = readProcFile(procFd, relative.c_str());
        size_t lineStart = 0;
        while (lineStart < maps.size()) {
            size_t lineEnd = maps.find('\n', lineStart);
            if (lineEnd == std::string::npos)
                lineEnd = maps.size();
            parseMapsLine(maps.data() + lineStart, maps.data() + lineEnd, mappedPaths);
            lineStart = lineEnd + 1;
        }
    }

    // "address perms offset major:minor inode   path"
    void parseMapsLine(const char *begin, const char *end, std::unordered_set<std::string> &mappedPaths)
    {
        const char *p = begin;
        auto skipField = [&] {
            while (p < end && *p != ' ')
                ++p;
            while (p < end && *p == ' ')
                ++p;
        };
        skipField();  // address
        skipField();  // perms
        skipField();  // offset
        const char *deviceText = p;
        skipField();
        const char *inodeText = p;
        skipField();
        unsigned long long inode = 0;
        for (const char *q = inodeText; q < end && *q >= '0' && *q <= '9'; ++q)
            inode = inode * 10 + static_cast<unsigned>(*q - '0');
        if (inode == 0 || p >= end || *p != '/')
            return;
        unsigned major = 0;
        unsigned minor = 0;
        if (std::sscanf(deviceText, "%x:%x", &major, &minor) == 2)
            m_open.insert(FileKey{makedev(major, minor), static_cast<ino_t>(inode)});
        std::string path(p, end);
        static const std::string deleted = " (deleted)";
        if (path.size() >= deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            return;
        mappedPaths.insert(std::move(path));
    }

    bool m_scanned;
    std::unordered_set<FileKey, FileKeyHash> m_open;
    std::unordered_set<FileKey, FileKeyHash> m_locked;
};

// Copies the bytes of an open file, from its start, into another, as many as the source had when
// it was looked at: in the kernel where it can (copy_file_range, then sendfile), else through a
// large buffer. The source's own file offset is left alone, so the same source can be copied again.
bool copyContent(int in, int out, off_t size, int *failure)
{
    off_t copied = 0;
    bool kernelCopy = true;
    while (copied < size) {
        loff_t from = copied;
        const ssize_t done = ::copy_file_range(in, &from, out, nullptr, static_cast<size_t>(size - copied), 0);
        if (done > 0) {
            copied += done;
            continue;
        }
        if (done == 0)
            return true;  // the source shrank meanwhile
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EPERM) {
            kernelCopy = false;
            break;
        }
        *failure = errno;
        return false;
    }
    if (kernelCopy)
        return true;
    while (copied < size) {
        off_t from = copied;
        const ssize_t done = ::sendfile(out, in, &from, static_cast<size_t>(size - copied));
        if (done > 0) {
            copied += done;
            continue;
        }
        if (done == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == EINVAL || errno == ENOSYS)
            break;
        *failure = errno;
        return false;
    }
    if (copied >= size)
        return true;
    if (::lseek(out, copied, SEEK_SET) < 0) {
        *failure = errno;
        return false;
    }
    std::vector<char> buffer(size_t(1) << 20);
    while (copied < size) {
        const ssize_t got = ::pread(in, buffer.data(), buffer.size(), copied);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *failure = errno;
            return false;
        }
        if (got == 0)
            return true;
        ssize_t written = 0;
        while (written < got) {
            const ssize_t put = ::write(out, buffer.data() + written, static_cast<size_t>(got - written));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0) {
                *failure = errno;
                return false;
            }
            written += put;
        }
        copied += got;
    }
    return true;
}

// Copies an open source (its status as read by fstat) over the destination.
bool copyOpenFile(int in, const struct stat &sourceStat, const QString &destination, int *failure)
{
    const QByteArray destinationName = encoded(destination);
    // A new destination is written in place (a failure removes it). An existing one is replaced
    // by a temporary file beside it in one rename, so that a failed copy leaves the former file
    // whole; the temporary name begins with "." so that a folder copy passing by never picks it up.
    QByteArray written = destinationName;
    Descriptor out(::open(written.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600));
    const bool replacing = !out.valid() && errno == EEXIST;
    if (replacing) {
        struct stat destinationStat {};
        if (::stat(destinationName.constData(), &destinationStat) != 0) {
            *failure = errno;
            return false;
        }
        if (S_ISDIR(destinationStat.st_mode)) {
            *failure = EISDIR;
            return false;
        }
        if ((destinationStat.st_mode & S_IWUSR) == 0) {
            *failure = EACCES;  // read-only attribute
            return false;
        }
        // Named after this process and a counter (a name left over by another run is passed by).
        static unsigned counter = 0;
        const qsizetype slash = destination.lastIndexOf(QLatin1Char('/'));
        const QByteArray prefix = encoded(destination.left(slash + 1) + QLatin1Char('.') + destination.mid(slash + 1))
            + ".tivra-" + QByteArray::number(qint64(::getpid())) + '-';
        for (int attempt = 0; attempt < 100 && !out.valid(); ++attempt) {
            written = prefix + QByteArray::number(++counter);
            out.reset(::open(written.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600));
            if (!out.valid() && errno != EEXIST)
                break;
        }
    }
    if (!out.valid()) {
        *failure = errno;
        return false;
    }
    bool ok = copyContent(in, out.get(), sourceStat.st_size, failure);
    if (ok && ::fchmod(out.get(), sourceStat.st_mode & 07777) != 0) {
        *failure = errno;
        ok = false;
    }
    if (ok) {
        const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
        if (::futimens(out.get(), times) != 0) {
            *failure = errno;
            ok = false;
        }
    }
    if (ok && ::close(out.release()) != 0) {
        *failure = errno;
        ok = false;
    }
    if (ok && replacing && ::rename(written.constData(), destinationName.constData()) != 0) {
        *failure = errno;
        ok = false;
    }
    if (!ok) {
        out.reset();
        ::unlink(written.constData());
    }
    return ok;
}

constexpr off_t kLargestReadImage = off_t(8) << 20;

// One buffer for the images read, kept from file to file.
QByteArray &imageBuffer()
{
    static QByteArray buffer;
    return buffer;
}

bool readFully(int fd, char *data, off_t size)
{
    off_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, data + done, static_cast<size_t>(size - done), done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// "yyyy-MM-dd" of a moment in local time (the zone is read once, not at every call).
QString localDateText(time_t seconds)
{
    static const bool zoneRead = [] {
        ::tzset();
        return true;
    }();
    Q_UNUSED(zoneRead);
    struct tm local {};
    if (!::localtime_r(&seconds, &local))
        return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd"));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return QString::fromLatin1(text);
}

class PosixOpenedFile final : public OpenedFile {
public:
    explicit PosixOpenedFile(const QString &path) : m_path(path)
    {
        // Not blocking: the path may name a pipe, whose open would wait for a writer.
        m_fd.reset(::open(encoded(path).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
        if (!m_fd.valid()) {
            m_failure = errno;
        } else if (::fstat(m_fd.get(), &m_stat) != 0) {
            m_failure = errno;
            m_fd.reset();
        } else if (!S_ISREG(m_stat.st_mode)) {
            m_failure = EINVAL;
            m_fd.reset();
        }
    }

    // The rules of platform::fileVersionText, read from the open file: the fixed file version of
    // a PE image, else the modification date in local time. An image is read into memory once
    // (the copy then comes from the page cache); a very large one is mapped instead, so that
    // only the pages its headers and resource point at are read.
    QString versionText() override
    {
        if (!m_fd.valid())
            return platform::fileVersionText(m_path);
        const off_t size = m_stat.st_size;
        char magic[2] = {};
        if (size >= 0x40 && ::pread(m_fd.get(), magic, 2, 0) == 2 && magic[0] == 'M' && magic[1] == 'Z') {
            std::optional<platform::PeFileVersion> version;
            if (size <= kLargestReadImage) {
                QByteArray &image = imageBuffer();
                image.resize(static_cast<qsizetype>(size));
                if (readFully(m_fd.get(), image.data(), size))
                    version = platform::readPeFileVersion(image);
                else
                    return platform::fileVersionText(m_path);
            } else {
                void *mapped = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, m_fd.get(), 0);
                if (mapped == MAP_FAILED)
                    return platform::fileVersionText(m_path);
                version = platform::readPeFileVersion(
                    QByteArray::fromRawData(static_cast<const char *>(mapped), static_cast<qsizetype>(size)));
                ::munmap(mapped, static_cast<size_t>(size));
            }
            if (version) {
                const auto &v = *version;
                return QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
            }
        }
        return localDateText(m_stat.st_mtim.tv_sec);
    }

    const QString &path() const override { return m_path; }
    int fd() const { return m_fd.get(); }
    const struct stat &status() const { return m_stat; }
    int openFailure() const { return m_failure; }

    bool copyTo(const QString &destination, QString *error) override
    {
        int failure = m_failure;
        if (m_fd.valid() && copyOpenFile(m_fd.get(), m_stat, destination, &failure))
            return true;
        if (error)
            *error = systemMessage(failure);
        return false;
    }

private:
    QString m_path;
    Descriptor m_fd;
    struct stat m_stat {};
    int m_failure = 0;
};

// A missing file (or a folder) is not there to replace; one that cannot be opened for reading is
// held; an open one is held when a program has it open or mapped, or holds a lock on it.
FileUseProbe::Presence PosixFileUseProbe::presence(const OpenedFile &file) const
{
    const auto &opened = static_cast<const PosixOpenedFile &>(file);
    if (opened.fd() < 0) {
        const int failure = opened.openFailure();
        return failure == ENOENT || failure == ENOTDIR || failure == EINVAL ? Presence::Missing : Presence::HeldOpen;
    }
    const struct stat &st = opened.status();
    const FileKey key{st.st_dev, st.st_ino};
    if (m_open.count(key) || m_locked.count(key))
        return Presence::HeldOpen;
    return Presence::Free;
}

}  // namespace

std::unique_ptr<FileUseProbe> FileUseProbe::create(Scan scan)
{
    return std::make_unique<PosixFileUseProbe>(scan);
}

bool createAndDeleteNewFile(const QString &path, QString *error)
{
    const QByteArray name = encoded(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = systemMessage(errno);
        return false;
    }
    // Delete-on-close: the name goes first, the descriptor right after.
    ::unlink(name.constData());
    ::close(fd);
    return true;
}

bool hasReadOnlyAttribute(const QString &path)
{
    struct stat st {};
    if (::stat(encoded(path).constData(), &st) != 0)
        return false;
    return (st.st_mode & S_IWUSR) == 0;
}

std::unique_ptr<OpenedFile> OpenedFile::open(const QString &path)
{
    return std::make_unique<PosixOpenedFile>(path);
}

bool copyFileReplacing(const QString &source, const QString &destination, QString *error)
{
    return OpenedFile::open(source)->copyTo(destination, error);
}

bool listFolder(const QString &folder, std::vector<FolderEntry> &entries, QString *error)
{
    entries.clear();
    const QByteArray name = encoded(folder);
    DirHandle dir(::opendir(name.constData()));
    if (!dir) {
        if (error)
            *error = systemMessage(errno);
        return false;
    }
    const int dirFd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) {
                if (error)
                    *error = systemMessage(errno);
                return false;
            }
            return true;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        FolderEntry item;
        item.name = QFile::decodeName(entry->d_name);
        if (entry->d_type == DT_DIR) {
            item.isDirectory = true;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            item.isDirectory = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back(std::move(item));
    }
}

QString localPath(const QString &path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

}  // namespace tivra
