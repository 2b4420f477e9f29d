// Reads what Windows itself sees in an executable's resources, for the release
// package test to judge on the host side:
//   resource-probe.exe <executable> <record file>
// The record is one JSON object: "resources" (every resource type and the
// names under it; numbers for numbered ones), "fixed" (the version numbers of
// VS_FIXEDFILEINFO as four parts each), "strings" (the version strings of
// every translation the version resource lists), "manifest" (the text of the
// process manifest) and "activation" (what the side-by-side loader makes of
// that manifest: the error code when it refuses it, else the identities of the
// assemblies it binds, the program's own first, the run level, UI access and the window settings it
// reads). Exit code 2 for bad arguments, 1 when the executable cannot be opened
// or the record cannot be written.

#include "common/text_conversion.hpp"
#include "reports/report_record.hpp"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string json_text(const std::wstring& text)
{
    return "\"" + json_escape(wide_to_utf8(text)) + "\"";
}

// A numbered resource type or name becomes a JSON number, a named one a string.
std::string resource_id(LPCWSTR id)
{
    if (IS_INTRESOURCE(id)) return std::to_string(reinterpret_cast<ULONG_PTR>(id));
    return json_text(id);
}

BOOL CALLBACK collect_name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names)
{
    reinterpret_cast<std::vector<std::string>*>(names)->push_back(resource_id(name));
    return TRUE;
}

BOOL CALLBACK collect_type(HMODULE module, LPWSTR type, LONG_PTR listing)
{
    std::vector<std::string> names;
    EnumResourceNamesW(module, type, collect_name, reinterpret_cast<LONG_PTR>(&names));
    std::string& out = *reinterpret_cast<std::string*>(listing);
    out += std::string(out.empty() ? "" : ",") + "{\"type\":" + resource_id(type) + ",\"names\":[";
    for (std::size_t i = 0; i < names.size(); ++i) out += (i ? "," : "") + names[i];
    out += "]}";
    return TRUE;
}

std::string resources(HMODULE module)
{
    std::string listing;
    EnumResourceTypesW(module, collect_type, reinterpret_cast<LONG_PTR>(&listing));
    return "[" + listing + "]";
}

// The first process manifest (type RT_MANIFEST, id 1), as its raw bytes.
std::string manifest(HMODULE module)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    if (!found) return "null";
    HGLOBAL loaded = LoadResource(module, found);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    if (!bytes) return "null";
    return "\"" + json_escape(std::string(bytes, SizeofResource(module, found))) + "\"";
}

// One window setting of the context, or null when the manifest does not set it.
std::string window_setting(HANDLE context, const wchar_t* name_space, const wchar_t* name)
{
    wchar_t value[64] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, name_space, name, value, 64, &written)) return "null";
    return json_text(value);
}

std::string activation(const std::wstring& executable)
{
    ACTCTXW request{};
    request.cbSize = sizeof request;
    // The executable's RT_MANIFEST resource 1, parsed as the loader parses it when the program starts.
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = executable.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE context = CreateActCtxW(&request);
    if (context == INVALID_HANDLE_VALUE) return "{\"error\":" + std::to_string(GetLastError()) + "}";

    // Both answers carry their strings after the record, so each is asked for twice: size, then content.
    std::string assemblies;
    SIZE_T size = 0;
    QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, nullptr, 0, &size);
    std::vector<unsigned char> detail_buffer(size);
    const auto* detail = reinterpret_cast<ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(detail_buffer.data());
    if (size >= sizeof *detail && QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation,
                                               detail_buffer.data(), size, nullptr)) {
        // Numbered from 1: the program's own assembly first, then those it depends on.
        for (DWORD index = 1; index <= detail->ulAssemblyCount; ++index) {
            size = 0;
            QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &size);
            std::vector<unsigned char> buffer(size);
            const auto* assembly = reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
            if (size < sizeof *assembly ||
                !QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, buffer.data(),
                              size, nullptr))
                continue;
            const wchar_t* identity = assembly->lpAssemblyEncodedAssemblyIdentity;
            assemblies += (assemblies.empty() ? "" : ",") +
                          json_text(identity ? std::wstring(identity, assembly->ulEncodedAssemblyIdentityLength /
                                                                          sizeof(wchar_t))
                                             : std::wstring());
        }
    }

    std::string run_level = "null";
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
    if (QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level, sizeof level, nullptr))
        run_level = "{\"level\":" + std::to_string(level.RunLevel) + ",\"ui_access\":" +
                    std::to_string(level.UiAccess) + "}";

    const std::string settings =
        "{\"gdiScaling\":" +
        window_setting(context, L"http://schemas.microsoft.com/SMI/2017/WindowsSettings", L"gdiScaling") +
        ",\"dpiAware\":" +
        window_setting(context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware") +
        ",\"dpiAwareness\":" +
        window_setting(context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness") + "}";
    ReleaseActCtx(context);
    return "{\"assemblies\":[" + assemblies + "],\"run_level\":" + run_level + ",\"settings\":" + settings + "}";
}

std::string version_parts(DWORD most, DWORD least)
{
    return "[" + std::to_string(HIWORD(most)) + "," + std::to_string(LOWORD(most)) + "," +
           std::to_string(HIWORD(least)) + "," + std::to_string(LOWORD(least)) + "]";
}

std::string version_info(const std::wstring& executable)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(executable.c_str(), &ignored);
    if (size == 0) return "\"fixed\":null,\"strings\":null";
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(executable.c_str(), 0, size, block.data())) return "\"fixed\":null,\"strings\":null";

    std::string fixed = "null";
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) && length >= sizeof *info)
        fixed = "{\"signature\":" + std::to_string(info->dwSignature) +
                ",\"file_version\":" + version_parts(info->dwFileVersionMS, info->dwFileVersionLS) +
                ",\"product_version\":" + version_parts(info->dwProductVersionMS, info->dwProductVersionLS) +
                ",\"file_type\":" + std::to_string(info->dwFileType) + "}";

    struct Translation {
        WORD language;
        WORD code_page;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    std::string strings = "{";
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                       &bytes)) {
        const wchar_t* names[] = {L"ProductName", L"FileDescription", L"InternalName", L"OriginalFilename",
                                  L"FileVersion", L"ProductVersion", L"CompanyName"};
        for (UINT t = 0; t < bytes / sizeof(Translation); ++t) {
            wchar_t key[16];
            std::swprintf(key, 16, L"%04x%04x", translations[t].language, translations[t].code_page);
            strings += std::string(t ? "," : "") + json_text(key) + ":{";
            bool first = true;
            for (const wchar_t* name : names) {
                wchar_t* value = nullptr;
                UINT characters = 0;
                const std::wstring path = std::wstring(L"\\StringFileInfo\\") + key + L"\\" + name;
                if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &characters))
                    continue;
                // The count includes the terminating null when there is one.
                const std::wstring text(value, wcsnlen(value, characters));
                strings += std::string(first ? "" : ",") + json_text(name) + ":" + json_text(text);
                first = false;
            }
            strings += "}";
        }
    }
    return "\"fixed\":" + fixed + ",\"strings\":" + strings + "}";
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) return 2;
    const std::wstring executable = argv[1];
    // As data only: the executable is inspected, never run, and its imports are not loaded.
    HMODULE module = LoadLibraryExW(executable.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 1;
    const std::string record = "{\"resources\":" + resources(module) + ",\"manifest\":" + manifest(module) +
                               ",\"activation\":" + activation(executable) + "," + version_info(executable) +
                               "}\n";
    FreeLibrary(module);

    FILE* file = _wfopen(argv[2], L"wb");
    if (!file) return 1;
    const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}
