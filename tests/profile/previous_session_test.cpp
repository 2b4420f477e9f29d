#include "profile/previous_session.hpp"

#include "plan_description.hpp"

#include <gtest/gtest.h>

namespace {

std::vector<std::wstring> session_items(const std::wstring& folder)
{
    return {
        L"file " + folder + L"\\Current Tabs",
        L"file " + folder + L"\\Current Session",
        L"file " + folder + L"\\Last Tabs",
        L"file " + folder + L"\\Last Session",
        L"tree " + folder + L"\\Sessions",
    };
}

TEST(PreviousSessionPlan, SessionFilesOneByOneThenTheSessionsFolder)
{
    EXPECT_EQ(describe(previous_session_plan(L"C:\\Profiles\\A B")), session_items(L"C:\\Profiles\\A B\\Default"));
}

TEST(PreviousSessionPlan, ProfileDirectoryIsTakenAsGiven)
{
    // The trailing backslash is not removed; the engine resolves a relative
    // directory against the same current directory as the launcher.
    EXPECT_EQ(describe(previous_session_plan(L"C:\\P\\")), session_items(L"C:\\P\\\\Default"));
    EXPECT_EQ(describe(previous_session_plan(L"profiles/p")), session_items(L"profiles/p\\Default"));
    EXPECT_EQ(describe(previous_session_plan(L"\\\\server\\share\\p")),
              session_items(L"\\\\server\\share\\p\\Default"));
}

TEST(PreviousSessionPlan, NothingWithoutAPlaceableProfile)
{
    for (const std::wstring directory : {L"", L"\\", L"/"}) {
        SCOPED_TRACE(std::string(directory.begin(), directory.end()));
        EXPECT_TRUE(previous_session_plan(directory).empty());
    }
}

} // namespace
