// Holds a file (or a folder) open the way another program can: a running browser with no
// sharing at all, a virus scanner, an indexer or a sync client with read and
// write sharing but not delete, so nobody can replace or delete it meanwhile.
//   hold-file.exe <path> <sharing> <ready file> <milliseconds> [<trigger file> <milliseconds after it>]
// <sharing> is "-" for none, else letters of "rwd" (FILE_SHARE_READ, _WRITE,
// _DELETE). Creates the ready file once the file is open and holds it for the
// given time. With a trigger, it lets go sooner: the given time after the
// trigger file appears. Then it closes the file and exits 0.

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count != 5 && count != 7) return 100;
    DWORD sharing = 0;
    if (std::wcschr(arguments[2], L'r')) sharing |= FILE_SHARE_READ;
    if (std::wcschr(arguments[2], L'w')) sharing |= FILE_SHARE_WRITE;
    if (std::wcschr(arguments[2], L'd')) sharing |= FILE_SHARE_DELETE;
    // FILE_FLAG_BACKUP_SEMANTICS opens a folder too.
    HANDLE held =
        CreateFileW(arguments[1], GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    HANDLE ready = CreateFileW(arguments[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(ready);
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(_wtoi(arguments[4]));
    if (count == 7) {
        while (GetTickCount64() < until && GetFileAttributesW(arguments[5]) == INVALID_FILE_ATTRIBUTES) Sleep(5);
        if (GetTickCount64() < until) Sleep(static_cast<DWORD>(_wtoi(arguments[6])));
    } else {
        Sleep(static_cast<DWORD>(_wtoi(arguments[4])));
    }
    CloseHandle(held);
    LocalFree(arguments);
    return 0;
}
