// The least a launcher can do: start the engine beside it with its own
// command-line tail and exit. The launch benchmark holds ours against it, so
// it does nothing else and imports nothing beyond the C runtime and kernel32.
// Built a second time with ORVALIS_REFERENCE_LAUNCHER_IMPORTS, it also loads
// the DLLs that the launcher imports, which tells the start-up cost of those
// DLLs apart from the launcher's own work.

#include <windows.h>

#include <string>

#ifdef ORVALIS_REFERENCE_LAUNCHER_IMPORTS
#include <shellapi.h>
#include <shlwapi.h>

// Referenced, never called: the references alone make the loader map and
// initialise user32, gdi32, shell32 and shlwapi before wWinMain runs.
extern "C" __attribute__((used)) const void* const launcher_imports[] = {
    reinterpret_cast<const void*>(&MessageBoxW), reinterpret_cast<const void*>(&CreateFontW),
    reinterpret_cast<const void*>(&SHFileOperationW), reinterpret_cast<const void*>(&PathFileExistsW)};
#endif

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
