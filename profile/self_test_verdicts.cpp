#include "profile/self_test_verdicts.hpp"

#include "profile/removal_status.hpp"

#include <cstdio>

namespace {

std::string hex_status(std::uint32_t status)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
    return text;
}

} // namespace

SelfTestPromise judge_promise(const std::string& name, const std::string& setup_failure,
                              const std::vector<std::string>& wrongs, const std::string& kept)
{
    if (!setup_failure.empty()) return {name, PromiseResult::not_checked, setup_failure};
    if (wrongs.empty()) return {name, PromiseResult::passed, kept};
    std::string detail;
    for (const std::string& wrong : wrongs) detail += (detail.empty() ? "" : "; ") + wrong;
    return {name, PromiseResult::failed, detail};
}

std::string delete_semantics(std::uint32_t probe_status)
{
    switch (status_meaning(probe_status)) {
    case StatusMeaning::done:
        return "posix";
    case StatusMeaning::unsupported:
        return "classic";
    default:
        return "";
    }
}

SelfTestPromise judge_delete_semantics(std::uint32_t probe_status, std::uint32_t volume_flags)
{
    const std::string found = delete_semantics(probe_status);
    const bool flagged = (volume_flags & supports_posix_unlink_rename) != 0;
    const std::string volume = flagged ? "the volume says it has POSIX deletes" : "the volume says it has none";
    if (found.empty())
        return judge_promise("delete_semantics", "the probe's delete was refused (status " + hex_status(probe_status) + ")",
                             {}, "");
    if ((found == "posix") != flagged)
        return judge_promise("delete_semantics", "", {"the probe's delete was " + found + ", but " + volume}, "");
    return judge_promise("delete_semantics", "", {}, found + ", as " + volume);
}
