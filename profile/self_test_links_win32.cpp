#include "profile/self_test_links_win32.hpp"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace {

// SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE (Windows 10 1703 and later, in
// developer mode), which MinGW's headers lack; the value is fixed by the system.
constexpr DWORD allow_unprivileged_create = 0x2;

// The mount point form of REPARSE_DATA_BUFFER, which MinGW's headers lack:
// the substitute name and the print name, each ending in a NUL, one after
// the other in the path buffer.
struct MountPointHeader {
    ULONG reparse_tag;
    USHORT reparse_data_length;
    USHORT reserved;
    USHORT substitute_name_offset;
    USHORT substitute_name_length;
    USHORT print_name_offset;
    USHORT print_name_length;
};

std::string refused(const char* what)
{
    return std::string("the system would not make ") + what + " (error " + std::to_string(GetLastError()) + ")";
}

} // namespace

std::string make_junction(const std::wstring& link, const std::wstring& target)
{
    // A junction names its target in the object manager's form, "\??\C:\…".
    const std::wstring substitute = L"\\??\\" + target.substr(target.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0);
    const std::wstring print = target.substr(target.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0);
    const std::size_t names = (substitute.size() + 1 + print.size() + 1) * sizeof(wchar_t);
    if (names > 0x3FF0) return "the target's path is too long for a junction";
    if (!CreateDirectoryW(link.c_str(), nullptr)) return refused("the junction's folder");
    std::vector<char> data(sizeof(MountPointHeader) + names);
    MountPointHeader header{};
    header.reparse_tag = IO_REPARSE_TAG_MOUNT_POINT;
    header.reparse_data_length = static_cast<USHORT>(8 + names);
    header.substitute_name_length = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    header.print_name_offset = static_cast<USHORT>(header.substitute_name_length + sizeof(wchar_t));
    header.print_name_length = static_cast<USHORT>(print.size() * sizeof(wchar_t));
    std::memcpy(data.data(), &header, sizeof header);
    std::memcpy(data.data() + sizeof header, substitute.c_str(), (substitute.size() + 1) * sizeof(wchar_t));
    std::memcpy(data.data() + sizeof header + header.print_name_offset, print.c_str(),
                (print.size() + 1) * sizeof(wchar_t));
    // The empty folder itself, not what it may already lead to.
    HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        const std::string reason = refused("the junction");
        RemoveDirectoryW(link.c_str());
        return reason;
    }
    DWORD returned = 0;
    const BOOL made = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()),
                                      nullptr, 0, &returned, nullptr);
    const std::string reason = made ? "" : refused("a junction");
    CloseHandle(folder);
    // An empty folder that stands for no junction would only be one more plain folder to remove.
    if (!made) RemoveDirectoryW(link.c_str());
    return reason;
}

std::string make_symbolic_link(const std::wstring& link, const std::wstring& target)
{
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | allow_unprivileged_create))
        return "";
    return refused("a symbolic link without the privilege or developer mode");
}
