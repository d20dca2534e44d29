#include "deploy/fileaccess.h"

#include "platform/fileversion.h"

#include <QDir>

#include <utility>

#include <windows.h>

namespace tivra {

namespace {

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString systemMessage(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, static_cast<qsizetype>(length)).trimmed()
                          : QStringLiteral("Erro %1").arg(code);
    if (buffer)
        LocalFree(buffer);
    return text;
}

// A file handle closed when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Files only; a folder is not a file here.
bool fileExists(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The system answers every question through a share-mode open: nothing to gather in advance.
class WindowsFileUseProbe final : public FileUseProbe {
public:
    bool inUse(const QString &path) const override
    {
        const std::wstring name = wide(path);
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // Whether it exists cannot be told when access is denied: it cannot be replaced either.
            const DWORD code = GetLastError();
            return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return false;
        Handle file(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        return !file.valid();
    }

    Presence presence(const OpenedFile &opened) const override
    {
        const std::wstring name = wide(opened.path());
        if (!fileExists(name))
            return Presence::Missing;
        Handle file(CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
        if (!file.valid())
            return Presence::HeldOpen;
        FILETIME created{}, accessed{}, written{};
        return GetFileTime(file.get(), &created, &accessed, &written) ? Presence::Free : Presence::HeldOpen;
    }
};

}  // namespace

std::unique_ptr<FileUseProbe> FileUseProbe::create(Scan)
{
    return std::make_unique<WindowsFileUseProbe>();
}

bool createAndDeleteNewFile(const QString &path, QString *error)
{
    Handle file(CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file.valid()) {
        if (error)
            *error = systemMessage(GetLastError());
        return false;
    }
    return true;  // closing the handle deletes the file
}

bool hasReadOnlyAttribute(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

namespace {

// The system reads the version resource and copies the file itself: nothing to share here.
class WindowsOpenedFile final : public OpenedFile {
public:
    explicit WindowsOpenedFile(QString path) : m_path(std::move(path)) {}
    const QString &path() const override { return m_path; }
    QString versionText() override { return platform::fileVersionText(m_path); }
    bool copyTo(const QString &destination, QString *error) override
    {
        return copyFileReplacing(m_path, destination, error);
    }

private:
    QString m_path;
};

}  // namespace

std::unique_ptr<OpenedFile> OpenedFile::open(const QString &path)
{
    return std::make_unique<WindowsOpenedFile>(path);
}

bool copyFileReplacing(const QString &source, const QString &destination, QString *error)
{
    if (!CopyFileW(wide(source).c_str(), wide(destination).c_str(), FALSE)) {
        if (error)
            *error = systemMessage(GetLastError());
        return false;
    }
    return true;
}

bool listFolder(const QString &folder, std::vector<FolderEntry> &entries, QString *error)
{
    entries.clear();
    QString pattern = QDir::toNativeSeparators(folder);
    if (!pattern.endsWith(QLatin1Char('\\')))
        pattern += QLatin1Char('\\');
    pattern += QLatin1Char('*');
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileExW(pattern.toStdWString().c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND)
            return true;  // an empty root folder
        if (error)
            *error = systemMessage(code);
        return false;
    }
    bool ok = true;
    do {
        const QString name = QString::fromWCharArray(data.cFileName);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        FolderEntry item;
        item.name = name;
        item.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries.push_back(std::move(item));
    } while (FindNextFileW(find, &data));
    const DWORD code = GetLastError();
    if (code != ERROR_NO_MORE_FILES) {
        ok = false;
        if (error)
            *error = systemMessage(code);
    }
    FindClose(find);
    return ok;
}

QString localPath(const QString &path)
{
    QString result = path;
    result.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return result;
}

}  // namespace tivra
