// The maintenance self-test against a maintenance that follows links: the
// shell delete, which under Wine deletes what a link inside a removed folder
// leads to. These definitions take the place of the launcher's maintenance
// calls and of the self-test's link making in this program only. Wine makes
// no link itself, so the links are made on the host's side, where Wine shows
// them as links.

#include "common/text_conversion.hpp"
#include "profile/maintenance_self_test.hpp"
#include "profile/profile_maintenance.hpp"
#include "profile/self_test_links_win32.hpp"
#include "tests/win32/profile/host_link_win32.hpp"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <filesystem>

std::string make_junction(const std::wstring& link, const std::wstring& target)
{
    return make_host_symbolic_link(link, target) ? "" : "no host link";
}

std::string make_symbolic_link(const std::wstring& link, const std::wstring& target)
{
    return make_host_symbolic_link(link, target) ? "" : "no host link";
}

void RemovePreviousSession(const std::wstring& profile_directory, RetryBudget&)
{
    std::wstring names = profile_directory + L"\\Default\\Sessions";
    names.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = names.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    SHFileOperationW(&operation);
}

void ResetGranularStorage(const std::wstring&, const FlagMap&, RetryBudget&) {}

namespace {

TEST(MaintenanceSelfTest, AMaintenanceThatFollowsLinksBreaksTheLinkPromises)
{
    wchar_t temporary[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temporary);
    const std::filesystem::path folder =
        std::filesystem::path(temporary) / (L"orvalis-fault-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);

    const SelfTestOutcome outcome = run_maintenance_self_test(folder.wstring());

    ASSERT_EQ(outcome.error_code, "") << outcome.message;
    int followed = 0;
    for (const SelfTestPromise& promise : outcome.promises) {
        if (promise.name != "junction_not_followed" && promise.name != "symbolic_link_not_followed") continue;
        EXPECT_EQ(promise.result, PromiseResult::failed) << promise.name;
        EXPECT_NE(promise.detail.find("the link was followed"), std::string::npos) << promise.detail;
        ++followed;
    }
    EXPECT_EQ(followed, 2);
    // Wine cannot remove a host link through its handle, so the scratch folder stays for the host to clean.
    const std::wstring sessions = L"\\\\?\\" + folder.wstring() + L"\\" +
                                  utf8_to_wide(outcome.scratch_folder.substr(outcome.scratch_folder.rfind('\\') + 1)) +
                                  L"\\profile\\Default\\Sessions";
    remove_host_link(sessions + L"\\junction");
    remove_host_link(sessions + L"\\symbolic link");
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    EXPECT_FALSE(std::filesystem::exists(folder));
}

} // namespace
