#include "profile/previous_session.hpp"

#include "plan_description.hpp"

#include <gtest/gtest.h>

namespace {

TEST(PreviousSessionPlan, SessionFilesOneByOneThenTheSessionsFolder)
{
    EXPECT_EQ(describe(previous_session_plan()), (std::vector<std::wstring>{
                                                     L"file Default\\Current Tabs",
                                                     L"file Default\\Current Session",
                                                     L"file Default\\Last Tabs",
                                                     L"file Default\\Last Session",
                                                     L"tree Default\\Sessions",
                                                 }));
}

} // namespace
