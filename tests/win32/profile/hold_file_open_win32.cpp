// Holds one file or folder open the way a running program can: by default no
// sharing at all, so nobody else can delete it while this process waits.
//   hold_file_open <path> <ready event> <release event> [<milliseconds> [<share mode>]]
// Sets the ready event once the entry is open and closes it when the release
// event is set, after the given time (as a scanner lets go), or after a
// minute, so that a failed test leaves nothing behind. The share mode is the
// FILE_SHARE_* bits as a number.

#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4 || argc > 6) return 2;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (ready == nullptr || release == nullptr) return 3;
    const DWORD held_ms = argc >= 5 ? static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)) : 60000;
    // Share mode 0: no FILE_SHARE_DELETE, so a delete by another process fails with a sharing violation.
    const DWORD share = argc == 6 ? static_cast<DWORD>(std::wcstoul(argv[5], nullptr, 10)) : 0;
    // FILE_FLAG_BACKUP_SEMANTICS opens a folder too.
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 4;
    SetEvent(ready);
    WaitForSingleObject(release, held_ms);
    CloseHandle(file);
    CloseHandle(ready);
    CloseHandle(release);
    return 0;
}
