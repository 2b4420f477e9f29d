// Profile maintenance on real directory trees in the temporary folder, with a
// real second process holding files open and Wine's real desktop trash.

#include "common/text_conversion.hpp"
#include "profile/profile_maintenance.hpp"
#include "tests/win32/support/test_support.hpp"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A trailing backslash makes a directory; anything else becomes a small file.
void make(const fs::path& root, const std::vector<std::wstring>& items)
{
    for (const std::wstring& item : items) {
        if (item.back() == L'\\') {
            fs::create_directories(root / item);
        } else {
            fs::create_directories((root / item).parent_path());
            std::ofstream(root / item) << "data";
        }
    }
}

std::vector<std::wstring> existing(const fs::path& root, const std::vector<std::wstring>& items)
{
    std::vector<std::wstring> found;
    for (const std::wstring& item : items) {
        std::error_code error;
        if (fs::exists(root / item, error)) found.push_back(item);
    }
    return found;
}

// Wine moves undoable deletes to the desktop trash under XDG_DATA_HOME, which
// the test run sets; its folder as a Windows path, or empty without it.
fs::path trash_folder()
{
    char unix_path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("XDG_DATA_HOME", unix_path, MAX_PATH) == 0) return {};
    using to_dos = wchar_t*(__cdecl*)(const char*);
    const auto convert = reinterpret_cast<to_dos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    wchar_t* dos = convert != nullptr ? convert(unix_path) : nullptr;
    if (dos == nullptr) return {};
    const fs::path folder = fs::path(dos) / L"Trash";
    HeapFree(GetProcessHeap(), 0, dos);
    return folder;
}

// What lies in the trash: everything below its "files" folder.
std::set<std::wstring> trash_contents()
{
    std::set<std::wstring> contents;
    std::error_code error;
    if (trash_folder().empty()) return contents;
    const fs::path files = trash_folder() / L"files";
    for (fs::recursive_directory_iterator it(files, error), end; !error && it != end; it.increment(error))
        contents.insert(it->path().wstring());
    return contents;
}

// A running browser holds its files without any sharing.
const wchar_t* const no_sharing = L"-";

class ProfileMaintenance : public testing::Test {
protected:
    fs::path root;
    fs::path profile;
    std::set<std::wstring> trash_before;
    RetryBudget budget;

    void SetUp() override
    {
        wchar_t temporary[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temporary);
        root = fs::path(temporary) / unique_name(L"orvalis-profile");
        profile = root / L"Profile";
        fs::create_directories(profile);
        // Wine gives up on the trash (and deletes for good) when its parent folder is missing.
        std::error_code error;
        if (!trash_folder().empty()) fs::create_directories(trash_folder().parent_path(), error);
        trash_before = trash_contents();
    }

    void TearDown() override
    {
        EXPECT_EQ(trash_contents(), trash_before) << "a delete went to the recycle bin";
        std::error_code error;
        for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
            SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(root, error);
    }
};

const std::vector<std::wstring> session_items = {
    L"Default\\Current Tabs", L"Default\\Current Session", L"Default\\Last Tabs", L"Default\\Last Session",
    L"Default\\Sessions\\",
};

// Names next to the removed ones, which only a sloppy match would take too.
const std::vector<std::wstring> session_neighbours = {
    L"Default\\Sessions2\\Session_1",  L"Default\\Sessions.bak",   L"Default\\Current Tabs.bak",
    L"Default\\Last Session-journal",  L"Default\\Preferences",    L"Default\\Cookies",
    L"Sessions\\Session_1",            L"Current Tabs",            L"Other\\Sessions\\Session_1",
};

// Attributes that a removal may clear for a moment and must put back on what stays.
constexpr DWORD kept_attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

TEST_F(ProfileMaintenance, PreviousSessionGoesWholeAndNothingBesideIt)
{
    make(profile, session_items);
    make(profile, {L"Default\\Sessions\\Session_13345\\nested\\deeper\\Tabs_1", L"Default\\Sessions\\Tabs_2",
                   L"Default\\Sessions\\empty\\"});
    make(profile, session_neighbours);
    // A tree goes with its read-only files; this one has a second name
    // outside the tree, which shares its attributes and must keep them.
    const fs::path twin = profile / L"Default\\Tabs_2 twin";
    SetFileAttributesW((profile / L"Default\\Sessions\\Tabs_2").c_str(), kept_attributes);
    ASSERT_TRUE(CreateHardLinkW(twin.c_str(), (profile / L"Default\\Sessions\\Tabs_2").c_str(), nullptr));

    RemovePreviousSession(profile.wstring(), budget);

    EXPECT_EQ(existing(profile, session_items), std::vector<std::wstring>{});
    EXPECT_EQ(existing(profile, session_neighbours), session_neighbours);
    EXPECT_EQ(GetFileAttributesW(twin.c_str()) & kept_attributes, kept_attributes);
}

TEST_F(ProfileMaintenance, AnItemThatCannotGoStaysAndTheRestStillGo)
{
    // "Current Tabs" is absent; a single file delete does not override the
    // read-only attribute; "Sessions" is a plain file, which the shell delete takes too.
    make(profile, {L"Default\\Current Session", L"Default\\Last Tabs", L"Default\\Sessions"});
    SetFileAttributesW((profile / L"Default\\Current Session").c_str(), FILE_ATTRIBUTE_READONLY);

    RemovePreviousSession(profile.wstring(), budget);

    EXPECT_EQ(existing(profile, {L"Default\\Current Session", L"Default\\Last Tabs", L"Default\\Sessions"}),
              std::vector<std::wstring>{L"Default\\Current Session"});
}

// A held database keeps its journal, which may hold the transaction that
// makes it whole; a journal whose database is gone or was never there goes.
// What stays keeps its attributes.
TEST_F(ProfileMaintenance, FilesHeldOpenByAnotherProcessStayAndTheRestGo)
{
    const std::vector<std::wstring> items = {
        L"Default\\Current Tabs",       L"Default\\Last Session",           L"Default\\Sessions\\Tabs_1",
        L"Default\\Sessions\\Tabs_held", L"Default\\Cookies",            L"Default\\Cookies-journal",
        L"Default\\Network\\Cookies-journal", L"Default\\Shared Storage", L"Default\\Shared Storage-journal",
        L"Default\\IndexedDB\\a.leveldb\\LOCK", L"Default\\Local Storage\\LOG", L"Default\\StorageBuckets\\db\\LOG"};
    make(profile, items);
    const fs::path held_in_tree = profile / L"Default\\Sessions\\Tabs_held";
    SetFileAttributesW(held_in_tree.c_str(), kept_attributes);
    HeldFile held_tabs(profile / L"Default\\Current Tabs", no_sharing);
    HeldFile held_cookies(profile / L"Default\\Cookies", no_sharing);
    HeldFile held_shared_storage(profile / L"Default\\Shared Storage", no_sharing);
    HeldFile held_lock(profile / L"Default\\IndexedDB\\a.leveldb\\LOCK", no_sharing);
    HeldFile held_session(held_in_tree, no_sharing);
    ASSERT_TRUE(held_tabs.holding() && held_cookies.holding() && held_shared_storage.holding() &&
                held_lock.holding() && held_session.holding());

    RemovePreviousSession(profile.wstring(), budget);
    ResetGranularStorage(profile.wstring(), {{"all", true}}, budget);

    EXPECT_EQ(existing(profile, items),
              (std::vector<std::wstring>{L"Default\\Current Tabs", L"Default\\Sessions\\Tabs_held", L"Default\\Cookies",
                                         L"Default\\Cookies-journal", L"Default\\Shared Storage",
                                         L"Default\\Shared Storage-journal", L"Default\\IndexedDB\\a.leveldb\\LOCK"}));
    EXPECT_EQ(GetFileAttributesW(held_in_tree.c_str()) & kept_attributes, kept_attributes);
}

// A scanner, an indexer or a sync client holds a file for a moment: a file
// let go 100 ms after the maintenance began still goes, with its folder; files held for good stay and cost
// the budget once for the whole maintenance, not once each. (A folder whose
// entry's delete is still pending is tried again as well, which Wine cannot
// show: its retried classic delete of a folder reports success while the
// entry is still there, and then leaves the folder.)
TEST_F(ProfileMaintenance, EntriesHeldForAMomentStillGoAndThoseHeldForGoodCostTheBudgetOnce)
{
    const std::vector<std::wstring> items = {L"Default\\Current Tabs", L"Default\\Sessions\\Session_1",
                                             L"Default\\IndexedDB\\LOG", L"Default\\Local Storage\\LOG"};
    make(profile, items);
    HeldFile indexeddb(profile / L"Default\\IndexedDB\\LOG", no_sharing);
    HeldFile local_storage(profile / L"Default\\Local Storage\\LOG", no_sharing);
    HeldFile session(profile / L"Default\\Sessions\\Session_1", no_sharing, 100);
    HeldFile tabs(profile / L"Default\\Current Tabs", no_sharing, 100);
    ASSERT_TRUE(indexeddb.holding() && local_storage.holding() && session.holding() && tabs.holding());

    const ULONGLONG started = GetTickCount64();
    session.release();
    tabs.release();
    RemovePreviousSession(profile.wstring(), budget);
    ResetGranularStorage(profile.wstring(), {{"all", true}}, budget);
    const ULONGLONG took = GetTickCount64() - started;

    EXPECT_EQ(existing(profile, items), (std::vector<std::wstring>{L"Default\\IndexedDB\\LOG",
                                                                   L"Default\\Local Storage\\LOG"}));
    EXPECT_EQ(existing(profile, {L"Default\\Sessions\\"}), std::vector<std::wstring>{});
    EXPECT_EQ(budget.left_ms, 0u);
    // The budget, and the calls around the waits.
    EXPECT_LT(took, retry_budget_ms + 200) << took << " ms";
}

TEST_F(ProfileMaintenance, ProfileDirectoryForms)
{
    make(root, {L"Relative\\Default\\Sessions\\Tabs_1", L"Relative\\ShaderCache\\data_0"});
    make(profile, {L"Default\\Last Tabs", L"Default\\Sessions\\Tabs_1", L"ShaderCache\\data_0"});
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(root.c_str());

    // A relative directory is the current directory's, as for the engine,
    // which inherits it; a trailing backslash stays on the directory.
    RemovePreviousSession(L"Relative", budget);
    ResetGranularStorage(L"Relative", {{"shader_cache", true}}, budget);
    RemovePreviousSession(profile.wstring() + L"\\", budget);
    ResetGranularStorage(profile.wstring() + L"\\", {{"shader_cache", true}}, budget);
    RemovePreviousSession((root / L"Missing").wstring(), budget);
    ResetGranularStorage((root / L"Missing").wstring(), {{"all", true}, {"cache_storage", true}}, budget);
    // "q " with its blank is the folder its settings come from ("q \command-line.json"); its namesake "q" stays.
    make(root, {L"q\\Default\\Sessions\\Tabs_1"});
    const std::wstring blank = L"\\\\?\\" + (root / L"q ").wstring();
    for (const std::wstring& folder : {blank, blank + L"\\Default", blank + L"\\Default\\Sessions"})
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::ofstream(fs::path(blank + L"\\Default\\Sessions\\Tabs_1")) << "data";
    RemovePreviousSession((root / L"q ").wstring(), budget);

    // "\" and "/" resolve to the root of the current drive, and a drive root
    // names no profile: what lies at the top of the drive stays.
    const fs::path drive = root.root_path();
    const std::vector<std::wstring> at_drive_root = {L"Default\\Last Tabs", L"Default\\Sessions\\Tabs_1",
                                                     L"ShaderCache\\data_0"};
    make(drive, at_drive_root);
    for (const std::wstring& top :
         {std::wstring(L"\\"), std::wstring(L"/"), drive.wstring(), drive.wstring().substr(0, 2),
          L"\\\\?\\" + drive.wstring(), L"\\\\?\\Global\\" + drive.wstring(),
          L"\\\\.\\Global\\" + drive.wstring().substr(0, 2)}) {
        RemovePreviousSession(top, budget);
        ResetGranularStorage(top, {{"all", true}}, budget);
    }
    SetCurrentDirectoryW(previous);
    const std::vector<std::wstring> left_at_drive_root = existing(drive, at_drive_root);
    std::error_code error;
    fs::remove_all(drive / L"Default", error);
    fs::remove_all(drive / L"ShaderCache", error);

    EXPECT_EQ(existing(root, {L"Relative\\Default\\Sessions\\", L"Relative\\ShaderCache\\", L"Missing\\"}),
              std::vector<std::wstring>{});
    EXPECT_EQ(GetFileAttributesW((blank + L"\\Default\\Sessions").c_str()), INVALID_FILE_ATTRIBUTES);
    // The clean-up's path calls would take "q " for "q".
    RemoveDirectoryW((blank + L"\\Default").c_str());
    RemoveDirectoryW(blank.c_str());
    EXPECT_EQ(existing(root, {L"q\\Default\\Sessions\\Tabs_1"}), std::vector<std::wstring>{L"q\\Default\\Sessions\\Tabs_1"});
    EXPECT_EQ(existing(profile, {L"Default\\Last Tabs", L"Default\\Sessions\\", L"ShaderCache\\"}),
              std::vector<std::wstring>{});
    EXPECT_EQ(left_at_drive_root, at_drive_root);
}

// Site storage nests deeper than 260 characters. The shell delete leaves such
// a tree (under Wine, all of it), and the reset must still take everything it
// was asked for, and nothing beside it.
TEST_F(ProfileMaintenance, TreesDeeperThan260CharactersGoWhole)
{
    // A profile path of 250 characters, which leaves the settings file's path within 260.
    const fs::path long_profile = profile / std::wstring(250 - profile.wstring().size() - 1, L'p');
    const fs::path literal_profile(L"\\\\?\\" + long_profile.wstring());
    ASSERT_TRUE(CreateDirectoryW(literal_profile.c_str(), nullptr));
    const std::wstring base = literal_profile.wstring() + L"\\Default";
    const std::wstring cache_storage = base + L"\\Service Worker\\CacheStorage";
    const std::wstring indexeddb = base + L"\\IndexedDB";
    const std::wstring sessions = base + L"\\Sessions";
    for (const std::wstring& folder : {base, base + L"\\Service Worker", cache_storage, indexeddb, sessions})
        CreateDirectoryW(folder.c_str(), nullptr);
    make(literal_profile, {L"Default\\Service Worker\\Database\\LOG", L"Default\\Local Storage\\leveldb\\CURRENT"});
    // A chain of 40-character folders, a file on every level, until the path passes 700 characters.
    for (std::wstring folder : {cache_storage, sessions}) {
        while (folder.size() < 700) {
            folder += L"\\0123456789abcdef0123456789abcdef01234567";
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
            const std::wstring file = folder + L"\\index-dir_the-real-index";
            HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(created, INVALID_HANDLE_VALUE);
            CloseHandle(created);
        }
        // The deepest file and folder are read-only, which a plain delete refuses.
        SetFileAttributesW((folder + L"\\index-dir_the-real-index").c_str(), FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    // An origin with a long host name.
    const std::wstring origin = indexeddb + L"\\https_" + std::wstring(200, L'a') + L".example_0.indexeddb.leveldb";
    ASSERT_TRUE(CreateDirectoryW(origin.c_str(), nullptr));
    HANDLE created = CreateFileW((origin + L"\\" + std::wstring(60, L'b') + L".ldb").c_str(), GENERIC_WRITE, 0,
                                 nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    CloseHandle(created);

    RemovePreviousSession(long_profile.wstring(), budget);
    ResetGranularStorage(long_profile.wstring(), {{"cache_storage", true}, {"indexeddb", true}}, budget);

    for (const std::wstring& gone : {cache_storage, indexeddb, sessions})
        EXPECT_EQ(GetFileAttributesW(gone.c_str()), INVALID_FILE_ATTRIBUTES) << wide_to_utf8(gone);
    EXPECT_EQ(existing(literal_profile,
                       {L"Default\\Service Worker\\Database\\LOG", L"Default\\Local Storage\\leveldb\\CURRENT"}),
              (std::vector<std::wstring>{L"Default\\Service Worker\\Database\\LOG",
                                         L"Default\\Local Storage\\leveldb\\CURRENT"}));
}

TEST_F(ProfileMaintenance, AllStorageKindsGoAndTheirNeighboursStay)
{
    const std::vector<std::wstring> removed = {
        L"Default\\Cookies", L"Default\\Cookies-journal", L"Default\\Network\\Cookies",
        L"Default\\Network\\Cookies-journal", L"Default\\File System\\000\\t\\00\\00000000",
        L"Default\\IndexedDB\\https_a.example_0.indexeddb.leveldb\\LOG",
        L"Default\\Local Storage\\leveldb\\CURRENT", L"ShaderCache\\data_0", L"GraphiteDawnCache\\data_1",
        L"Default\\GPUCache\\index", L"Default\\databases\\Databases.db",
        L"Default\\Service Worker\\CacheStorage\\abc\\index", L"Default\\Service Worker\\ScriptCache\\index",
        L"Default\\InterestGroups", L"Default\\Shared Storage", L"Default\\Shared Storage-journal",
        L"Default\\StorageBuckets\\db\\LOG",
    };
    const std::vector<std::wstring> kept = {
        L"Default\\Cookies.bak",     L"Default\\Network\\Cookies.bak", L"Default\\Network\\Network Persistent State",
        L"Default\\Service Worker2\\x", L"Default\\ShaderCache\\data_0", L"GPUCache\\index",
        L"Default\\IndexedDB-old\\x", L"Default\\Local Storage.bak", L"Default\\Shared Storage-wal",
        L"Default\\History",         L"Default\\Current Tabs",        L"Local State",
    };
    make(profile, removed);
    make(profile, kept);

    ResetGranularStorage(profile.wstring(), {{"all", true}, {"cookies", false}}, budget);

    // Nothing was held, so nothing waited.
    EXPECT_EQ(budget.left_ms, retry_budget_ms);
    EXPECT_EQ(existing(profile, removed), std::vector<std::wstring>{});
    EXPECT_EQ(existing(profile, {L"Default\\File System\\", L"Default\\Service Worker\\", L"ShaderCache\\"}),
              std::vector<std::wstring>{});
    EXPECT_EQ(existing(profile, kept), kept);
}

TEST_F(ProfileMaintenance, CacheStorageAloneLeavesTheRestOfTheServiceWorkerFolder)
{
    make(profile, {L"Default\\Service Worker\\CacheStorage\\abc\\index", L"Default\\Service Worker\\Database\\LOG"});

    ResetGranularStorage(profile.wstring(), {{"cache_storage", true}}, budget);

    EXPECT_EQ(existing(profile,
                       {L"Default\\Service Worker\\CacheStorage\\", L"Default\\Service Worker\\Database\\LOG"}),
              std::vector<std::wstring>{L"Default\\Service Worker\\Database\\LOG"});
}

TEST_F(ProfileMaintenance, WildcardsAreNeverExpanded)
{
    // The shell delete expands '*' and '?' in a name to every match; the
    // profile directory is the user's text and may hold them.
    const std::vector<std::wstring> items = {
        L"p1\\Default\\Sessions\\Tabs_1", L"p1\\Default\\Sessions2\\Tabs_1", L"p1\\Default\\IndexedDB\\LOG",
        L"p2\\Default\\Sessions\\Tabs_1", L"p2\\Default\\Last Tabs",         L"p2\\ShaderCache\\data_0",
    };
    make(root, items);

    RemovePreviousSession((root / L"p*").wstring(), budget);
    RemovePreviousSession((root / L"p?").wstring(), budget);
    ResetGranularStorage((root / L"p*").wstring(), {{"all", true}}, budget);

    EXPECT_EQ(existing(root, items), items);
}

TEST_F(ProfileMaintenance, PathWithANulInsideDeletesNothing)
{
    const std::vector<std::wstring> items = {L"first\\Default\\Sessions\\x", L"second\\Default\\Sessions\\y"};
    make(root, items);
    std::wstring path = (root / L"first").wstring();
    path += L'\0';
    path += (root / L"second").wstring();

    RemovePreviousSession(path, budget);

    EXPECT_EQ(existing(root, items), items);
}

// Guards the trash check of every test above: an undoable delete is seen.
TEST_F(ProfileMaintenance, AnUndoableDeleteWouldShowInTheTrash)
{
    if (trash_folder().empty()) GTEST_SKIP() << "no desktop trash to look at";
    const std::wstring name = unique_name(L"trash-probe");
    make(root, {name});
    std::wstring names = (root / name).wstring();
    names.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = names.c_str();
    // The one delete here that asks for the recycle bin.
    operation.fFlags = FOF_ALLOWUNDO | FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    ASSERT_EQ(SHFileOperationW(&operation), 0);

    const fs::path files = trash_folder() / L"files" / name;
    const fs::path info = trash_folder() / L"info" / (name + L".trashinfo");
    EXPECT_TRUE(fs::exists(files));
    std::error_code error;
    fs::remove(files, error);
    fs::remove(info, error);
}

} // namespace
