// The least a launcher can do: start the engine beside it with its own
// command-line tail and exit. The launch benchmark holds ours against it, so
// it does nothing else and imports nothing beyond the C runtime and kernel32.

#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR tail, int)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring engine = self;
    engine.erase(engine.find_last_of(L'\\') + 1);
    engine += L"orvalis-browser-engine.exe";
    std::wstring line = L"\"" + engine + L"\" " + tail;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No handle inheritance, as the launcher starts the engine.
    if (!CreateProcessW(engine.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
