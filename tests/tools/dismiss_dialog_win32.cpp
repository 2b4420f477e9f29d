// Waits for a message box with the given caption, records what it shows, and
// presses its OK button the way a user would.
//   dismiss-dialog.exe <caption> <record file> <timeout ms>
// The record is one JSON object: "caption", "text", "buttons" (their texts)
// and "icon" (whether the box shows an icon).
// Exit code 0 when a box was found and dismissed, 1 when none appeared.

#include "common/text_conversion.hpp"
#include "reports/report_record.hpp"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Seen {
    std::wstring text;
    std::vector<std::wstring> buttons;
    HWND ok_button = nullptr;
    bool icon = false;
};

std::wstring window_text(HWND window)
{
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, 4096);
    return buffer;
}

BOOL CALLBACK look_at_child(HWND child, LPARAM context)
{
    Seen& seen = *reinterpret_cast<Seen*>(context);
    wchar_t kind[64] = {};
    GetClassNameW(child, kind, 64);
    if (lstrcmpiW(kind, L"Button") == 0) {
        seen.buttons.push_back(window_text(child));
        if (GetDlgCtrlID(child) == IDOK) seen.ok_button = child;
    } else if (lstrcmpiW(kind, L"Static") == 0) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            // Icon handles belong to the process that loaded them, so only their presence can be seen.
            seen.icon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
        } else if (!window_text(child).empty()) {
            seen.text = window_text(child);
        }
    }
    return TRUE;
}

std::string json_text(const std::wstring& text)
{
    return "\"" + json_escape(wide_to_utf8(text)) + "\"";
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count < 4) return 100;
    const std::wstring caption = arguments[1];
    const std::wstring record_file = arguments[2];
    const DWORD timeout = static_cast<DWORD>(_wtoi(arguments[3]));
    LocalFree(arguments);

    HWND box = nullptr;
    const ULONGLONG deadline = GetTickCount64() + timeout;
    while (!(box = FindWindowW(L"#32770", caption.c_str())) && GetTickCount64() < deadline) Sleep(50);
    if (!box) return 1;
    Sleep(200); // let the box finish laying out its controls

    Seen seen;
    EnumChildWindows(box, look_at_child, reinterpret_cast<LPARAM>(&seen));
    std::string record = "{\"caption\":" + json_text(window_text(box)) + ",\"text\":" + json_text(seen.text) +
                         ",\"buttons\":[";
    for (std::size_t i = 0; i < seen.buttons.size(); ++i) record += (i ? "," : "") + json_text(seen.buttons[i]);
    record += std::string("],\"icon\":") + (seen.icon ? "true" : "false") + "}\n";
    FILE* file = _wfopen(record_file.c_str(), L"wb");
    if (file) {
        std::fwrite(record.data(), 1, record.size(), file);
        std::fclose(file);
    }
    if (seen.ok_button) PostMessageW(seen.ok_button, BM_CLICK, 0, 0);
    else PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
}
