// A second process that holds a file the way programs on a server do, for the tests of the
// in-use checks on Windows: tivra-hold-file PATH MODE, where MODE is
//   open     opened for reading, sharing reading, writing and deletion (a viewer)
//   mapped   mapped into memory, the handle then closed (a loaded library)
//   locked   opened without sharing (a program that owns its file)
//   record   opened sharing everything, with a byte-range lock over the whole file
// It writes "ready" on standard output once it holds the file and holds it until standard input
// ends (or it is ended). Exit status 1 when the file could not be held.
#include <windows.h>

#include <cstdio>
#include <cstring>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3)
        return 2;
    const wchar_t *mode = argv[2];
    DWORD access = GENERIC_READ;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (wcscmp(mode, L"locked") == 0)
        share = 0;
    if (wcscmp(mode, L"record") == 0)
        access |= GENERIC_WRITE;
    HANDLE file = CreateFileW(argv[1], access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    if (wcscmp(mode, L"record") == 0) {
        OVERLAPPED whole = {};
        if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole))
            return 1;
    }
    if (wcscmp(mode, L"mapped") == 0) {
        HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping || !MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))
            return 1;
        CloseHandle(file);
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}
