// Stands in for orvalis-browser-engine.exe: records how it was started and
// which profile files existed at that moment, then exits.
//   ORVALIS_FAKE_ENGINE_RECORD  where the record goes (default: beside the exe)
// The record is one JSON object: "command_line" (raw), "argv" (as
// CommandLineToArgvW splits it), "profile_files" (every file and folder below
// the --user-data-dir= directory, relative, '/'-separated) and "qpc" (the
// performance counter at the first instruction).

#include "common/text_conversion.hpp"
#include "launcher/command_line.hpp"
#include "reports/report_record.hpp"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// `relative` uses '/' like the listing; the search pattern needs backslashes.
void list_tree(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out)
{
    std::wstring native = relative;
    for (auto& c : native)
        if (c == L'/') c = L'\\';
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = root + (native.empty() ? L"" : L"\\" + native) + L"\\*";
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring item = relative.empty() ? name : relative + L"/" + name;
        out.push_back(item);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) list_tree(root, item, out);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::string json_text(const std::wstring& text)
{
    return "\"" + json_escape(wide_to_utf8(text)) + "\"";
}

std::string json_list(const std::vector<std::wstring>& items)
{
    std::string list = "[";
    for (std::size_t i = 0; i < items.size(); ++i) list += (i ? "," : "") + json_text(items[i]);
    return list + "]";
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    LARGE_INTEGER started{};
    QueryPerformanceCounter(&started);

    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments(split, split + count);
    LocalFree(split);

    std::vector<std::wstring> files;
    const std::wstring profile = user_data_dir_from(arguments);
    if (!profile.empty()) list_tree(profile, L"", files);

    std::string record = "{\"command_line\":" + json_text(GetCommandLineW()) + ",\"argv\":" + json_list(arguments) +
                         ",\"profile_files\":" + json_list(files) +
                         ",\"qpc\":" + std::to_string(started.QuadPart) + "}\n";

    wchar_t target[MAX_PATH * 4] = {};
    if (!GetEnvironmentVariableW(L"ORVALIS_FAKE_ENGINE_RECORD", target, MAX_PATH * 4)) {
        GetModuleFileNameW(nullptr, target, MAX_PATH);
        std::wstring beside = target;
        beside += L".record.json";
        wcsncpy(target, beside.c_str(), MAX_PATH * 4 - 1);
    }
    // Written whole under another name first, so a test never reads half a record.
    const std::wstring temporary = std::wstring(target) + L".partial";
    FILE* file = _wfopen(temporary.c_str(), L"wb");
    if (!file) return 2;
    std::fwrite(record.data(), 1, record.size(), file);
    std::fclose(file);
    return MoveFileExW(temporary.c_str(), target, MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
