#include "profile/removal_plan.hpp"

#include <gtest/gtest.h>

namespace {

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

const std::wstring volume = L"Volume{0b1e2c3d-0000-0000-0000-100000000000}";

TEST(HasRemovableProfile, AFolderYesARootNever)
{
    // What GetFullPathNameW makes of "\", "/", "C:\..", "\\server\share\" and the like, the raw
    // forms, every spelling of a volume in the system's namespace, and a folder's name on its volume.
    for (const std::wstring& root : std::vector<std::wstring>{
             L"", L"\\", L"/", L"\\\\", L"C:", L"C:\\", L"c:/", L"C:\\\\", L"\\\\server", L"\\\\server\\share",
          L"\\\\server\\share\\", L"//server/share/", L"\\\\?\\C:\\", L"\\\\.\\C:", L"\\\\?\\UNC\\server\\share\\",
          L"\\\\?\\unc\\server\\share", L"\\\\?\\" + volume + L"\\", L"\\\\?\\Global\\C:\\", L"\\\\.\\Global\\C:",
          L"\\\\?\\global\\Global\\C:\\", L"\\\\?\\Global\\UNC\\server\\share\\",
          L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\", L"\\\\?\\globalroot\\??\\C:",
          L"\\\\?\\Global\\GLOBALROOT\\Device\\HarddiskVolume1"}) {
        EXPECT_FALSE(has_removable_profile(root)) << narrow(root);
    }
    // "\\?\ABC\…" is a device named ABC, not a share: only "UNC" introduces a server and a share.
    for (const std::wstring& folder : std::vector<std::wstring>{
             L"P", L"\\P", L"C:P", L"C:\\P", L"C:\\P\\", L"\\\\server\\share\\P", L"\\\\?\\C:\\P",
          L"\\\\?\\UNC\\server\\share\\P", L"\\\\?\\" + volume + L"\\P", L".", L"\\\\?\\Global\\C:\\P",
          L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\P", L"\\\\?\\ABC\\server\\share", L"P\\\\Q", L"C:\\\\P",
          L"\\Profiles\\P", L"\\a.\\b"}) {
        EXPECT_TRUE(has_removable_profile(folder)) << narrow(folder);
    }
}

struct FolderCase {
    std::wstring given;    // the profile directory
    std::wstring resolved; // what GetFullPathNameW makes of it with a backslash appended
    std::wstring folder;
};

TEST(ProfileFolderPath, TheResolvedFolderInItsPrefixedFormOrNothing)
{
    const std::wstring long_folder = L"C:\\" + std::wstring(300, L'a');
    const FolderCase cases[] = {
        {L"C:\\Profiles\\P", L"C:\\Profiles\\P\\", L"\\\\?\\C:\\Profiles\\P"},
        // A trailing blank or dot survives before the separator, as in the settings file's path.
        {L"C:\\Profiles\\q ", L"C:\\Profiles\\q \\", L"\\\\?\\C:\\Profiles\\q "},
        {L"q.. ", L"C:\\Profiles\\q.. \\", L"\\\\?\\C:\\Profiles\\q.. "},
        {L"\\\\server\\share\\P", L"\\\\server\\share\\P\\", L"\\\\?\\UNC\\server\\share\\P"},
        {L"\\\\.\\C:\\P", L"\\\\.\\C:\\P\\", L"\\\\?\\C:\\P"},
        {long_folder, long_folder + L"\\", L"\\\\?\\" + long_folder},
        // Taken literally as given, whatever the resolution made of it: an
        // empty component or a forward slash names no folder.
        {L"\\\\?\\C:\\P", L"\\\\?\\C:\\P\\", L"\\\\?\\C:\\P"},
        {L"\\\\?\\" + volume + L"\\P", L"", L"\\\\?\\" + volume + L"\\P"},
        {L"\\\\?\\C:\\P\\", L"\\\\?\\C:\\P\\", L""},
        {L"\\\\?\\C:\\\\P", L"\\\\?\\C:\\P\\", L""},
        {L"\\\\?\\C:\\P/", L"\\\\?\\C:\\P\\", L""},
        // Roots in any spelling ("C:" and "C:\" both resolve to "C:\" with the separator).
        {L"C:", L"C:\\", L""},
        {L"\\\\server\\share", L"\\\\server\\share\\", L""},
        {L"\\\\?\\Global\\C:", L"\\\\?\\Global\\C:\\", L""},
        {L"\\\\.\\Global\\C:", L"\\\\.\\Global\\C:\\", L""},
        {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1", L"", L""},
        {L"\\\\?\\" + volume, L"", L""},
        // Not what the system gives for a path with a separator appended.
        {L"C:\\P", L"C:\\P", L""},
        {L"P", L"P\\", L""},
        {L"\\P", L"\\P\\", L""},
        {L"", L"", L""},
    };
    for (const FolderCase& row : cases)
        EXPECT_EQ(profile_folder_path(row.given, row.resolved), row.folder) << narrow(row.given);
}

TEST(ReportedFolderName, WinesTrimmedLastComponentTakesTheOpenedOne)
{
    const std::wstring opened = L"\\\\?\\C:\\Profiles\\q .";
    EXPECT_EQ(reported_folder_name(L"\\Profiles\\q", opened), L"\\Profiles\\q .");
    EXPECT_EQ(reported_folder_name(L"\\Profiles\\q .", opened), L"\\Profiles\\q .");
    // A link in place of the folder reports where it leads, which is kept.
    EXPECT_EQ(reported_folder_name(L"\\Elsewhere\\qq", opened), L"\\Elsewhere\\qq");
    EXPECT_EQ(reported_folder_name(L"\\Elsewhere\\Q", opened), L"\\Elsewhere\\Q");
    EXPECT_EQ(reported_folder_name(L"\\Profiles\\P", L"\\\\?\\C:\\Profiles\\P"), L"\\Profiles\\P");
    EXPECT_EQ(reported_folder_name(L"\\Profiles", L"\\\\?\\C:\\..."), L"\\Profiles");
}

TEST(IsEntryOf, TheFoldersNameABackslashAndTheNameInOneForm)
{
    const struct {
        std::wstring folder, name, entry;
        bool own;
    } cases[] = {
        {L"\\Profiles\\P", L"Default", L"\\Profiles\\P\\Default", true},
        // The plan's names in another case than the disk's.
        {L"\\Profiles\\P", L"default", L"\\profiles\\p\\DEFAULT", true},
        {L"\\\u00c4rger", L"Default", L"\\\u00c4rger\\Default", true},
        // FAT, a profile opened by its short name: the folder as opened, the
        // entry by the long name; the normalized forms agree.
        {L"\\PROFIL~1", L"Default", L"\\Profile Folder\\Default", false},
        {L"\\Profile Folder", L"Default", L"\\Profile Folder\\Default", true},
        {L"\\P", L"SERVIC~1", L"\\P\\Service Worker", false},
        // A link's target, which Wine opens although told not to.
        {L"\\P\\Default", L"Sessions", L"\\Outside\\Sessions", false},
        {L"\\P", L"Default", L"\\P\\Default\\Sessions", false},
        {L"\\P", L"Default", L"\\P\\Default2", false},
        {L"\\P", L"Default", L"\\Q\\Default", false},
    };
    for (const auto& row : cases)
        EXPECT_EQ(is_entry_of(row.folder, row.name, row.entry), row.own) << narrow(row.entry);
}

TEST(JournalMayGo, OnlyWhenItsDatabaseIsNotThere)
{
    EXPECT_TRUE(journal_may_go(RemovalOutcome::removed));
    EXPECT_TRUE(journal_may_go(RemovalOutcome::absent));
    EXPECT_FALSE(journal_may_go(RemovalOutcome::stayed));
}

TEST(PathComponents, SplitAtEachBackslash)
{
    EXPECT_EQ(path_components(L"Default\\Service Worker\\CacheStorage"),
              (std::vector<std::wstring>{L"Default", L"Service Worker", L"CacheStorage"}));
    EXPECT_EQ(path_components(L"ShaderCache"), std::vector<std::wstring>{L"ShaderCache"});
}

} // namespace
