// Plays the user who closes a window: waits for a top-level window of a class,
// lets it stand for a while, then posts WM_CLOSE as the close box would. With
// a message number, posts that message instead, as another program might.
//   close-window.exe <window class> <delay ms after it appears> <timeout ms> [<message>]
// Exit code 0 when the window was found and the message posted, 1 when it never appeared.

#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count < 4) return 100;
    const std::wstring window_class = arguments[1];
    const DWORD delay = static_cast<DWORD>(_wtoi(arguments[2]));
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(_wtoi(arguments[3]));
    const UINT message = count > 4 ? static_cast<UINT>(_wtoi(arguments[4])) : WM_CLOSE;
    LocalFree(arguments);

    HWND window = nullptr;
    while (!(window = FindWindowW(window_class.c_str(), nullptr)) && GetTickCount64() < deadline) Sleep(5);
    if (!window) return 1;
    Sleep(delay);
    return PostMessageW(window, message, 0, 0) ? 0 : 1;
}
