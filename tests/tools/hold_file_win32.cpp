// Holds a file open the way a virus scanner, an indexer or a sync client
// reads it: sharing read and write but not delete, so nobody can replace or
// delete it meanwhile.
//   hold-file.exe <path> <ready file> <milliseconds> [<trigger file> <milliseconds after it>]
// Creates the ready file once the file is open and holds it for the given
// time. With a trigger, it lets go sooner: the given time after the trigger
// file appears. Then it closes the file and exits 0.

#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count != 4 && count != 6) return 100;
    // No FILE_SHARE_DELETE: neither a rename onto the file nor a delete can succeed while it is held.
    HANDLE held = CreateFileW(arguments[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    HANDLE ready = CreateFileW(arguments[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(ready);
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(_wtoi(arguments[3]));
    if (count == 6) {
        while (GetTickCount64() < until && GetFileAttributesW(arguments[4]) == INVALID_FILE_ATTRIBUTES) Sleep(5);
        if (GetTickCount64() < until) Sleep(static_cast<DWORD>(_wtoi(arguments[5])));
    } else {
        Sleep(static_cast<DWORD>(_wtoi(arguments[3])));
    }
    CloseHandle(held);
    LocalFree(arguments);
    return 0;
}
