#include "profile/removal_retry.hpp"
#include "profile/removal_status.hpp"

#include <gtest/gtest.h>

namespace {

using namespace nt_status;

constexpr std::uint32_t success = 0;

TEST(StatusMeaning, OnlyMomentaryRefusalsAreTriedAgainAndPendingDeletesAreGone)
{
    const struct {
        std::uint32_t status;
        StatusMeaning meaning;
    } cases[] = {
        {success, StatusMeaning::done},
        {object_name_not_found, StatusMeaning::gone},
        {object_path_not_found, StatusMeaning::gone},
        {delete_pending, StatusMeaning::gone},
        {sharing_violation, StatusMeaning::for_now},
        {directory_not_empty, StatusMeaning::for_now},
        {invalid_parameter, StatusMeaning::unsupported},
        {invalid_info_class, StatusMeaning::unsupported},
        {not_supported, StatusMeaning::unsupported},
        {invalid_device_request, StatusMeaning::unsupported},
        {not_implemented, StatusMeaning::unsupported},
        {cannot_delete, StatusMeaning::read_only},
        {access_denied, StatusMeaning::refused},
        {0xC0000033, StatusMeaning::refused},  // object name invalid
        {0xC00000A2, StatusMeaning::refused},  // media write protected
        {0x80000006, StatusMeaning::refused},  // no more files: a warning, not a success
        {0x00000108, StatusMeaning::done},     // an oplock break begun: the open still worked
        {0x7FFFFFFF, StatusMeaning::done},     // the highest informational status
    };
    for (const auto& row : cases) EXPECT_EQ(status_meaning(row.status), row.meaning) << std::hex << row.status;
}

constexpr DeleteRefusal tree_read_only{true, true};
constexpr DeleteRefusal tree_writable{true, false};
constexpr DeleteRefusal single_read_only{false, true};

TEST(NextDeleteStep, ClassicOnlyWhereUnsupportedReadOnlyClearedOnlyWhenItIsTheOneRefusal)
{
    const struct {
        const char* label;
        DeleteStep tried;
        std::uint32_t status;
        DeleteRefusal entry;
        DeleteStep next;
    } cases[] = {
        {"POSIX works", DeleteStep::posix, success, tree_writable, DeleteStep::removed},
        {"already pending", DeleteStep::posix, delete_pending, tree_writable, DeleteStep::removed},
        {"held: again", DeleteStep::posix, sharing_violation, tree_writable, DeleteStep::posix},
        {"a child still pending: again", DeleteStep::classic, directory_not_empty, tree_writable,
         DeleteStep::classic},
        {"denied: no classic delete after it", DeleteStep::posix, access_denied, tree_writable, DeleteStep::stayed},
        // FAT, shares, Windows before 1709, Wine.
        {"FAT or a share", DeleteStep::posix, invalid_parameter, tree_writable, DeleteStep::classic},
        {"Windows without the class", DeleteStep::posix, invalid_info_class, tree_writable, DeleteStep::classic},
        {"a redirector", DeleteStep::posix, not_supported, tree_writable, DeleteStep::classic},
        {"invalid function", DeleteStep::posix, invalid_device_request, tree_writable, DeleteStep::classic},
        {"Wine", DeleteStep::posix, not_implemented, tree_writable, DeleteStep::classic},
        {"classic works", DeleteStep::classic, success, tree_writable, DeleteStep::removed},
        {"classic unsupported too", DeleteStep::classic, invalid_parameter, tree_writable, DeleteStep::stayed},
        // Read-only: ignored by POSIX semantics where the flag is known.
        {"read-only in a tree", DeleteStep::posix, cannot_delete, tree_read_only, DeleteStep::posix_over_read_only},
        {"ignoring read-only works", DeleteStep::posix_over_read_only, success, tree_read_only, DeleteStep::removed},
        {"refused for another reason", DeleteStep::posix_over_read_only, cannot_delete, tree_read_only,
         DeleteStep::stayed},
        // Windows 10 1607 to 1803: POSIX semantics, but not the flag.
        {"flag unknown", DeleteStep::posix_over_read_only, invalid_parameter, tree_read_only,
         DeleteStep::posix_read_only_cleared},
        {"cleared works", DeleteStep::posix_read_only_cleared, success, tree_read_only, DeleteStep::removed},
        {"cleared and still refused", DeleteStep::posix_read_only_cleared, cannot_delete, tree_read_only,
         DeleteStep::stayed},
        {"cleared, POSIX gone meanwhile", DeleteStep::posix_read_only_cleared, not_supported, tree_read_only,
         DeleteStep::classic_read_only_cleared},
        // Classic delete of a read-only entry.
        {"classic, read-only in a tree", DeleteStep::classic, cannot_delete, tree_read_only,
         DeleteStep::classic_read_only_cleared},
        {"classic, cleared, works", DeleteStep::classic_read_only_cleared, success, tree_read_only,
         DeleteStep::removed},
        {"classic, cleared, refused", DeleteStep::classic_read_only_cleared, cannot_delete, tree_read_only,
         DeleteStep::stayed},
        // A single file that is read-only stays, and one refused for another reason is never changed.
        {"single read-only file", DeleteStep::posix, cannot_delete, single_read_only, DeleteStep::stayed},
        {"single, classic", DeleteStep::classic, cannot_delete, single_read_only, DeleteStep::stayed},
        {"refused, not read-only", DeleteStep::posix, cannot_delete, tree_writable, DeleteStep::stayed},
        {"classic refused, not read-only", DeleteStep::classic, cannot_delete, tree_writable, DeleteStep::stayed},
    };
    for (const auto& row : cases)
        EXPECT_EQ(next_delete_step(row.tried, row.status, row.entry), row.next) << row.label;
    EXPECT_TRUE(clears_read_only(DeleteStep::posix_read_only_cleared));
    EXPECT_TRUE(clears_read_only(DeleteStep::classic_read_only_cleared));
    EXPECT_FALSE(clears_read_only(DeleteStep::posix_over_read_only));
    EXPECT_FALSE(clears_read_only(DeleteStep::classic));
}

TEST(ListingComplete, OnlyNoMoreFilesEndsAListing)
{
    constexpr std::uint32_t file_not_found = 2, no_more_files = 18, access_denied_error = 5,
                            not_enough_memory = 8, network_name_deleted = 64, unexpected_network = 59;
    EXPECT_TRUE(listing_complete(no_more_files, false));
    EXPECT_TRUE(listing_complete(no_more_files, true));
    EXPECT_TRUE(listing_complete(file_not_found, true));
    EXPECT_FALSE(listing_complete(file_not_found, false));
    for (const std::uint32_t error : {0u, access_denied_error, not_enough_memory, network_name_deleted,
                                      unexpected_network}) {
        EXPECT_FALSE(listing_complete(error, false)) << error;
        EXPECT_FALSE(listing_complete(error, true)) << error;
    }
}

TEST(RetryBudget, WaitsDoubleUntilADeadlineChargedWithAllTheTimeThatPassed)
{
    // Maintenance started at tick 1000, so its deadline is tick 1400.
    const struct {
        std::uint64_t now;
        unsigned retries;
        std::uint32_t wait;
    } rows[] = {
        // An entry held for good, the calls between the waits taking no time.
        {1000, 0, 10}, {1010, 1, 20}, {1030, 2, 40}, {1070, 3, 80}, {1150, 4, 160}, {1310, 5, 90}, {1400, 6, 0},
        // Time spent in the calls, or a pause the system made longer, shortens what is left.
        {1395, 1, 5}, {1200, 0, 10}, {1350, 4, 50},
        // However many tries were refused, no shift overflows and the deadline caps the wait.
        {1399, 40, 1}, {1000, 70, 400},
        // Once the deadline has come, every entry is given up at once.
        {1400, 0, 0}, {90000, 0, 0},
    };
    for (const auto& row : rows) {
        RetryBudget budget = retry_budget_from(1000);
        EXPECT_EQ(take_retry_wait(budget, row.retries, row.now), row.wait) << row.now << " " << row.retries;
        EXPECT_EQ(budget.waits, row.wait != 0 ? 1u : 0u);
    }
    // Without a start, nothing waits.
    RetryBudget none;
    EXPECT_EQ(take_retry_wait(none, 0, 0), 0u);
}

} // namespace
