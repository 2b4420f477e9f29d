// Profile maintenance on real directory trees in the temporary folder, with a
// real second process holding files open and Wine's real desktop trash.

#include "common/text_conversion.hpp"
#include "profile/maintenance_preview.hpp"
#include "profile/maintenance_self_test.hpp"
#include "profile/profile_maintenance.hpp"
#include "profile/removal_status.hpp"
#include "tests/win32/profile/host_link_win32.hpp"
#include "tests/win32/support/test_support.hpp"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
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

// Everything below the folder as it lies, for comparing before and after:
// each entry's attributes, size and write time, and each file's contents.
// Links are not entered.
std::map<std::wstring, std::string> snapshot(const std::wstring& folder)
{
    std::map<std::wstring, std::string> entries;
    std::vector<std::wstring> pending = {L"\\\\?\\" + folder};
    while (!pending.empty()) {
        const std::wstring current = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((current + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = current + L"\\" + name;
            std::string facts = std::to_string(found.dwFileAttributes) + " " + std::to_string(found.nFileSizeLow) +
                                " " + std::to_string(found.ftLastWriteTime.dwLowDateTime) + " ";
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A link: itself only.
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                pending.push_back(path);
            } else {
                std::ifstream data(fs::path(path), std::ios::binary);
                facts.append(std::istreambuf_iterator<char>(data), std::istreambuf_iterator<char>());
            }
            entries[path] = facts;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return entries;
}

// Removes a test's tree by the "\\?\" form, which reaches past 260
// characters, read-only entries and host links (themselves) included.
void remove_tree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            const std::wstring path = folder + L"\\" + name;
            if (name == L"." || name == L"..") continue;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                remove_host_link(path);
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
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
        budget = retry_budget_from(GetTickCount64());
    }

    void TearDown() override
    {
        EXPECT_EQ(trash_contents(), trash_before) << "a delete went to the recycle bin";
        remove_tree(L"\\\\?\\" + root.wstring());
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
// let go soon still goes, with its folder; files held for good stay and cost
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
    HeldFile session(profile / L"Default\\Sessions\\Session_1", no_sharing);
    HeldFile tabs(profile / L"Default\\Current Tabs", no_sharing);
    ASSERT_TRUE(indexeddb.holding() && local_storage.holding() && session.holding() && tabs.holding());

    const ULONGLONG started = GetTickCount64();
    budget = retry_budget_from(started);
    // Two let go 100 ms into maintenance, however long their holders took to start.
    std::thread letting_go([&session, &tabs] {
        Sleep(100);
        session.release();
        tabs.release();
    });
    RemovePreviousSession(profile.wstring(), budget);
    ResetGranularStorage(profile.wstring(), {{"all", true}}, budget);
    const ULONGLONG took = GetTickCount64() - started;
    letting_go.join();

    EXPECT_EQ(existing(profile, items), (std::vector<std::wstring>{L"Default\\IndexedDB\\LOG",
                                                                   L"Default\\Local Storage\\LOG"}));
    EXPECT_EQ(existing(profile, {L"Default\\Sessions\\"}), std::vector<std::wstring>{});
    EXPECT_GT(budget.waits, 0u);
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

    budget = retry_budget_from(GetTickCount64());
    ResetGranularStorage(profile.wstring(), {{"all", true}, {"cookies", false}}, budget);

    // Nothing was held, so nothing waited.
    EXPECT_EQ(budget.waits, 0u);
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

// A program that holds an entry without read sharing (a console whose
// current folder it is, an editor, a sync client) keeps nothing from
// maintenance, which never asks to read what it passes through or deletes.
TEST_F(ProfileMaintenance, EntriesHeldWithoutReadSharingStillGo)
{
    const std::vector<std::wstring> items = {L"Default\\Current Tabs", L"Default\\Sessions\\Session_1",
                                             L"Default\\Network\\Cookies", L"Default\\Network\\Cookies-journal"};
    make(profile, items);
    const wchar_t* const no_read_sharing = L"wd";
    {
        HeldFile held_default(profile / L"Default", no_read_sharing);
        HeldFile held_network(profile / L"Default\\Network", no_read_sharing);
        HeldFile held_tabs(profile / L"Default\\Current Tabs", no_read_sharing);
        ASSERT_TRUE(held_default.holding() && held_network.holding() && held_tabs.holding());

        RemovePreviousSession(profile.wstring(), budget);
        ResetGranularStorage(profile.wstring(), {{"cookies", true}}, budget);
    }
    // Wine deletes the classic way: a held file's name goes when its holder lets go.
    EXPECT_EQ(existing(profile, items), std::vector<std::wstring>{});
    EXPECT_EQ(budget.waits, 0u);
}

// Nothing tells a folder from a volume's or a share's root when the system
// gives no final path for it (Wine gives none past about 270 characters).
TEST_F(ProfileMaintenance, AFolderWithoutAFinalPathIsNotMaintained)
{
    const std::wstring long_profile = L"\\\\?\\" + (profile / std::wstring(150, L'p') / std::wstring(150, L'q')).wstring();
    ASSERT_TRUE(CreateDirectoryW(long_profile.substr(0, long_profile.size() - 151).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(long_profile.c_str(), nullptr));
    make(fs::path(long_profile), {L"Default\\Sessions\\Session_1", L"Default\\Current Tabs"});
    HANDLE folder = CreateFileW(long_profile.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    wchar_t name[MAX_PATH] = {};
    const DWORD named = GetFinalPathNameByHandleW(folder, name, MAX_PATH, VOLUME_NAME_DOS);
    CloseHandle(folder);
    ASSERT_EQ(named, 0u) << "the system gives this folder a final path";

    LaunchSettings settings;
    settings.close_previous_tabs = true;
    RemovePreviousSession(long_profile, budget);
    const MaintenancePreview preview = preview_maintenance(long_profile, settings);

    EXPECT_EQ(existing(fs::path(long_profile), {L"Default\\Sessions\\Session_1", L"Default\\Current Tabs"}).size(), 2u);
    EXPECT_FALSE(preview.maintained);
    EXPECT_EQ(preview.reason, "the system gives no final path for the profile folder, so it cannot be told from a root");
    EXPECT_TRUE(preview.items.empty());
}

// The preview walks as removal walks and changes nothing: what is held, what
// is read-only, a journal beside its held database, a link in place of an
// item, what is absent; afterwards removal does what the preview said.
TEST_F(ProfileMaintenance, PreviewFindsWhatRemovalDoesAndChangesNothing)
{
    make(profile, {L"Default\\Current Tabs", L"Default\\Last Tabs", L"Default\\Last Session",
                   L"Default\\Sessions\\Session_1", L"Default\\Sessions\\nested\\Tabs_1", L"Default\\Cookies",
                   L"Default\\Cookies-journal", L"Default\\Network\\Cookies-journal", L"Default\\IndexedDB\\db\\LOG",
                   L"Default\\IndexedDB\\db\\CURRENT", L"Default\\Preferences"});
    make(root, {L"outside\\keep"});
    ASSERT_TRUE(make_host_symbolic_link((profile / L"Default\\Local Storage").wstring(), (root / L"outside").wstring()));
    SetFileAttributesW((profile / L"Default\\Last Tabs").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((profile / L"Default\\Sessions\\nested\\Tabs_1").c_str(), FILE_ATTRIBUTE_READONLY);
    HeldFile held_tabs(profile / L"Default\\Current Tabs", no_sharing);
    HeldFile held_cookies(profile / L"Default\\Cookies", L"rw");
    HeldFile held_log(profile / L"Default\\IndexedDB\\db\\LOG", no_sharing);
    ASSERT_TRUE(held_tabs.holding() && held_cookies.holding() && held_log.holding());
    LaunchSettings settings;
    settings.start_page = "https://start.example/";
    settings.close_previous_tabs = true;
    settings.storage_reset = {{"cookies", true}, {"indexeddb", true}, {"local_storage", true}};
    const auto before = snapshot(root.wstring());

    const MaintenancePreview preview = preview_maintenance(profile.wstring(), settings);

    EXPECT_EQ(snapshot(root.wstring()), before);
    EXPECT_TRUE(preview.maintained) << preview.reason;
    std::vector<std::string> found;
    for (const MaintenancePreviewItem& item : preview.items) {
        found.push_back(item.setting + " " + item.path + " " + (item.present ? "present " : "") +
                        std::string(preview_action_name(item.action)) + " " + std::to_string(item.status));
    }
    const std::string held = std::to_string(nt_status::sharing_violation);
    EXPECT_EQ(found, (std::vector<std::string>{
                         "start-page Default\\Current Tabs present stays_held " + held,
                         "start-page Default\\Current Session absent 0",
                         "start-page Default\\Last Tabs present stays_refused " +
                             std::to_string(nt_status::cannot_delete),
                         "start-page Default\\Last Session present goes 0",
                         "start-page Default\\Sessions present goes 0",
                         "cookies Default\\Cookies present stays_held " + held,
                         "cookies Default\\Cookies-journal present journal_kept 0",
                         "cookies Default\\Network\\Cookies absent 0",
                         "cookies Default\\Network\\Cookies-journal present goes 0",
                         "indexeddb Default\\IndexedDB present partly " + held,
                         // Wine opens a link's target even when told not to, so the link stays.
                         "local_storage Default\\Local Storage present stays_outside 0",
                     }));

    RemovePreviousSession(profile.wstring(), budget);
    ResetGranularStorage(profile.wstring(), settings.storage_reset, budget);
    EXPECT_EQ(existing(profile, {L"Default\\Current Tabs", L"Default\\Last Tabs", L"Default\\Last Session",
                                 L"Default\\Sessions\\", L"Default\\Cookies", L"Default\\Cookies-journal",
                                 L"Default\\Network\\Cookies-journal", L"Default\\IndexedDB\\db\\LOG",
                                 L"Default\\IndexedDB\\db\\CURRENT", L"Default\\Local Storage", L"outside\\keep"}),
              (std::vector<std::wstring>{L"Default\\Current Tabs", L"Default\\Last Tabs", L"Default\\Cookies",
                                         L"Default\\Cookies-journal", L"Default\\IndexedDB\\db\\LOG",
                                         L"Default\\Local Storage"}));
    EXPECT_TRUE(fs::exists(root / L"outside\\keep"));
    // Before its target, which Wine's listings hide a link without.
    remove_host_link((profile / L"Default\\Local Storage").wstring());
}

std::vector<std::string> promise_results(const SelfTestOutcome& outcome)
{
    std::vector<std::string> results;
    for (const SelfTestPromise& promise : outcome.promises) {
        const char* result = promise.result == PromiseResult::passed   ? " passed"
                             : promise.result == PromiseResult::failed ? " failed: "
                                                                       : " not checked: ";
        results.push_back(promise.name + result + (promise.result == PromiseResult::passed ? "" : promise.detail));
    }
    return results;
}

// The self-test runs the launcher's maintenance in a scratch folder of its
// own and leaves nothing behind. Wine makes no links (not checked) and has
// only the classic delete.
TEST_F(ProfileMaintenance, SelfTestKeepsEveryPromiseItCanCheckAndLeavesNothing)
{
    const auto before = snapshot(root.wstring());

    const SelfTestOutcome outcome = run_maintenance_self_test(root.wstring());

    EXPECT_EQ(outcome.error_code, "") << outcome.message;
    EXPECT_EQ(outcome.delete_semantics, "classic");
    EXPECT_EQ(promise_results(outcome),
              (std::vector<std::string>{
                  "items_removed passed",
                  "junction_not_followed not checked: the system would not make a junction (error 50)",
                  "symbolic_link_not_followed not checked: the system said it made the link, but there is none",
                  "held_database_keeps_journal passed", "read_only_file_in_removed_folder passed",
                  "tree_deeper_than_260_characters passed", "delete_semantics passed"}));
    EXPECT_NE(outcome.scratch_folder.find(wide_to_utf8(root.wstring())), std::string::npos) << outcome.scratch_folder;
    EXPECT_TRUE(outcome.scratch_removed);
    EXPECT_EQ(snapshot(root.wstring()), before);
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
