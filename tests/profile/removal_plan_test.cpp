#include "profile/removal_plan.hpp"

#include <gtest/gtest.h>

namespace {

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST(HasRemovableProfile, AFolderYesARootNever)
{
    // What GetFullPathNameW makes of "\", "/", "C:\..", "\\server\share\" and the like, and the raw forms.
    for (const std::wstring root :
         {L"", L"\\", L"/", L"\\\\", L"C:", L"C:\\", L"c:/", L"C:\\\\", L"\\\\server", L"\\\\server\\share",
          L"\\\\server\\share\\", L"//server/share/", L"\\\\?\\C:\\", L"\\\\.\\C:", L"\\\\?\\UNC\\server\\share\\",
          L"\\\\?\\unc\\server\\share", L"\\\\?\\Volume{0b1e2c3d-0000-0000-0000-100000000000}\\"}) {
        EXPECT_FALSE(has_removable_profile(root)) << narrow(root);
    }
    for (const std::wstring folder :
         {L"P", L"\\P", L"C:P", L"C:\\P", L"C:\\P\\", L"\\\\server\\share\\P", L"\\\\?\\C:\\P",
          L"\\\\?\\UNC\\server\\share\\P", L"\\\\?\\Volume{0b1e2c3d-0000-0000-0000-100000000000}\\P", L"."}) {
        EXPECT_TRUE(has_removable_profile(folder)) << narrow(folder);
    }
}

TEST(ExtendedLengthPath, FullyQualifiedPathsTakeThePrefixAndLoseDoubledSeparators)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\P\\Default\\Sessions", L"\\\\?\\C:\\P\\Default\\Sessions"},
        {L"C:\\P\\\\Default\\Sessions", L"\\\\?\\C:\\P\\Default\\Sessions"},
        {L"C:/P//Default", L"\\\\?\\C:\\P\\Default"},
        {L"\\\\server\\share\\P\\Default", L"\\\\?\\UNC\\server\\share\\P\\Default"},
        {L"\\\\?\\C:\\P\\\\Default", L"\\\\?\\C:\\P\\Default"},
        {L"\\\\.\\C:\\P", L"\\\\?\\C:\\P"},
        {L"\\\\?\\UNC\\server\\share\\P", L"\\\\?\\UNC\\server\\share\\P"},
        // Not fully qualified: relative, rooted on the current drive, relative to a drive.
        {L"P\\Default", L""},
        {L"\\P\\Default", L""},
        {L"C:P\\Default", L""},
        {L"", L""},
    };
    for (const auto& [path, extended] : cases) EXPECT_EQ(extended_length_path(path), extended) << narrow(path);
}

} // namespace
