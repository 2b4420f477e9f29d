// Holds a file open the way another program can: no sharing at all, so nobody
// can replace or delete it meanwhile.
//   hold-file.exe <path> <ready file> <milliseconds>
// Creates the ready file once the file is open, holds it for the given time,
// then closes it and exits 0.

#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count < 4) return 100;
    // Share mode 0: neither a rename onto it nor a delete can succeed while it is held.
    HANDLE held = CreateFileW(arguments[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    HANDLE ready = CreateFileW(arguments[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(ready);
    Sleep(static_cast<DWORD>(_wtoi(arguments[3])));
    CloseHandle(held);
    LocalFree(arguments);
    return 0;
}
