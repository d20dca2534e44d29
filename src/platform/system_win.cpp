#include "platform/system.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tivra::platform {

QString executablePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    std::vector<wchar_t> buffer(32768);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return length == 0 ? QString() : QDir::fromNativeSeparators(QString::fromWCharArray(buffer.data(), length));
}

QString installerDirectory()
{
    QString folder;
    if (QCoreApplication::instance()) {
        folder = QCoreApplication::applicationDirPath();
    } else {
        // No application object (tools, tests): the folder of the running executable.
        std::vector<wchar_t> buffer(MAX_PATH);
        for (;;) {
            const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0)
                break;
            if (length < buffer.size()) {
                folder = QFileInfo(QString::fromWCharArray(buffer.data(), length)).absolutePath();
                break;
            }
            if (buffer.size() >= 32768)
                break;
            buffer.resize(buffer.size() * 2);
        }
        if (folder.isEmpty())
            folder = QDir::currentPath();
    }
    folder = QDir::toNativeSeparators(folder);
    if (!folder.endsWith(u'\\'))
        folder += u'\\';
    return folder;
}

QString computerName()
{
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(buffer, &size))
        return {};
    return QString::fromWCharArray(buffer, static_cast<qsizetype>(size));
}

QString systemDirectory()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return {};
    return QString::fromWCharArray(buffer, static_cast<qsizetype>(length));
}

bool openDocument(const QString &path)
{
    if (path.isEmpty())
        return false;
    const std::wstring file = QDir::toNativeSeparators(path).toStdWString();
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // Values above 32 mean success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool standardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

bool replaceProcessImage(const QString &, const QStringList &, QString *error)
{
    // A running Windows executable cannot be replaced in place: the swap waits for the process to
    // end (a batch started hidden).
    if (error)
        *error = QStringLiteral("not available on Windows");
    return false;
}

bool startHiddenBatch(const QString &batchFile, const QString &folder, QString *error)
{
    const std::wstring file = QDir::toNativeSeparators(batchFile).toStdWString();
    const std::wstring directory = QDir::toNativeSeparators(folder).toStdWString();
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, directory.c_str(), SW_HIDE);
    if (reinterpret_cast<INT_PTR>(result) > 32)
        return true;
    if (error)
        *error = QStringLiteral("ShellExecute: %1").arg(static_cast<qlonglong>(reinterpret_cast<INT_PTR>(result)));
    return false;
}

}  // namespace tivra::platform
