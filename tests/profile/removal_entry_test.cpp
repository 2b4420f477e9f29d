#include "profile/removal_entry.hpp"

#include <gtest/gtest.h>

namespace {

using namespace file_attribute;

constexpr std::uint32_t folder_link = directory | reparse_point;
constexpr std::uint32_t file_link = archive | reparse_point;

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
