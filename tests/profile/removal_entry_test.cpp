#include "profile/removal_entry.hpp"

#include <gtest/gtest.h>

namespace {

using namespace file_attribute;

constexpr std::uint32_t folder_link = directory | reparse_point;
constexpr std::uint32_t file_link = archive | reparse_point;

// Reparse tags with the values the file systems give them.
constexpr std::uint32_t mount_point = 0xA0000003; // junctions too
constexpr std::uint32_t symlink = 0xA000000C;
constexpr std::uint32_t lx_symlink = 0xA000001D;
constexpr std::uint32_t dedup = 0x80000013;
constexpr std::uint32_t wof = 0x80000017;
constexpr std::uint32_t cloud = 0x9000001A;
constexpr std::uint32_t cloud_1 = 0x9000101A;
constexpr std::uint32_t cloud_f = 0x9000F01A;
constexpr std::uint32_t app_exec_link = 0x8000001B;
constexpr std::uint32_t projfs = 0x9000001C;

struct EntryCase {
    const char* label;
    EntryFacts facts;
    EntryAction action;
};

TEST(EntryAction, LinksAreNeverEnteredAndHandlesElsewhereNeverUsed)
{
    const EntryCase cases[] = {
        {"plain folder", {true, directory, true, directory}, EntryAction::enter},
        {"plain folder, no listing", {true, directory}, EntryAction::enter},
        {"file", {true, archive, true, archive}, EntryAction::remove},
        {"read-only file", {true, readonly, true, readonly}, EntryAction::remove},
        {"junction or folder link", {true, folder_link, true, folder_link}, EntryAction::remove},
        {"file link", {true, file_link, true, file_link}, EntryAction::remove},
        {"link in place of an item, no listing", {true, folder_link}, EntryAction::remove},
        // Only the listing tells: the handle's file system followed the link.
        {"listing says link", {true, directory, true, folder_link}, EntryAction::remove},
        // The handle is the link's target elsewhere, as Wine opens a host link: never used.
        {"handle elsewhere, folder", {false, directory, true, folder_link}, EntryAction::leave},
        {"handle elsewhere, file", {false, archive, true, archive}, EntryAction::leave},
        {"handle elsewhere, no listing", {false, directory}, EntryAction::leave},
        // Swapped between the listing and the open.
        {"listed file, now a folder", {true, directory, true, archive}, EntryAction::leave},
        {"listed folder, now a file", {true, archive, true, directory}, EntryAction::leave},
    };
    for (const EntryCase& entry : cases) EXPECT_EQ(entry_action(entry.facts), entry.action) << entry.label;
}

TEST(EntryAction, NameSurrogatesGoThemselvesOtherTaggedFoldersAreEntered)
{
    const EntryCase cases[] = {
        {"junction or mount point", {true, folder_link, true, folder_link, mount_point, mount_point},
         EntryAction::remove},
        {"folder symbolic link", {true, folder_link, true, folder_link, symlink, symlink}, EntryAction::remove},
        {"file symbolic link", {true, file_link, true, file_link, symlink, symlink}, EntryAction::remove},
        {"WSL symbolic link", {true, file_link, true, file_link, lx_symlink, lx_symlink}, EntryAction::remove},
        {"junction in place of an item, no listing", {true, folder_link, false, 0, mount_point}, EntryAction::remove},
        // Cloud files (OneDrive and any other provider) and ProjFS mark every folder, the profile's own included.
        {"cloud folder", {true, folder_link, true, folder_link, cloud, cloud}, EntryAction::enter},
        {"cloud folder of another provider", {true, folder_link, true, folder_link, cloud_1, cloud_1},
         EntryAction::enter},
        {"cloud folder, last provider", {true, folder_link, true, folder_link, cloud_f, cloud_f}, EntryAction::enter},
        {"cloud folder on the way, no listing", {true, folder_link, false, 0, cloud}, EntryAction::enter},
        {"projected folder", {true, folder_link, true, folder_link, projfs, projfs}, EntryAction::enter},
        {"cloud placeholder file", {true, file_link | offline, true, file_link | offline, cloud, cloud},
         EntryAction::remove},
        {"deduplicated file", {true, file_link, true, file_link, dedup, dedup}, EntryAction::remove},
        {"compressed file", {true, file_link, true, file_link, wof, wof}, EntryAction::remove},
        {"app execution alias", {true, file_link, true, file_link, app_exec_link, app_exec_link},
         EntryAction::remove},
        // Either side naming a link, or a reparse point without a tag, decides.
        {"handle says cloud, listing says link", {true, folder_link, true, folder_link, cloud, symlink},
         EntryAction::remove},
        {"handle says junction, listing says cloud", {true, folder_link, true, folder_link, mount_point, cloud},
         EntryAction::remove},
        {"handle says cloud, listing has no tag", {true, folder_link, true, folder_link, cloud, 0},
         EntryAction::remove},
        {"handle followed, listing says cloud", {true, directory, true, folder_link, 0, cloud}, EntryAction::enter},
        {"cloud folder elsewhere", {false, folder_link, true, folder_link, cloud, cloud}, EntryAction::leave},
        {"listed cloud file, now a cloud folder", {true, folder_link, true, file_link, cloud, cloud},
         EntryAction::leave},
        // A tag without the reparse point attribute is no tag (a listing's field means something else then).
        {"plain folder, stray tag", {true, directory, true, directory, symlink, symlink}, EntryAction::enter},
    };
    for (const EntryCase& entry : cases) EXPECT_EQ(entry_action(entry.facts), entry.action) << entry.label;
}

TEST(AttributesForDelete, ReadOnlyClearedTheRestKeptAndPutBack)
{
    EXPECT_EQ(attributes_for_delete(archive), 0u);
    EXPECT_EQ(attributes_for_delete(directory | hidden), 0u);
    EXPECT_EQ(attributes_for_delete(readonly), normal);
    EXPECT_EQ(attributes_for_delete(readonly | directory), normal);
    EXPECT_EQ(attributes_for_delete(readonly | hidden | archive | reparse_point), hidden | archive);
    EXPECT_EQ(attributes_to_restore(readonly | hidden | directory), readonly | hidden);
    EXPECT_EQ(attributes_to_restore(directory), normal);
    EXPECT_EQ(attributes_to_restore(readonly | file_attribute::system | not_content_indexed | 0x800),
              readonly | file_attribute::system | not_content_indexed);
}

} // namespace
