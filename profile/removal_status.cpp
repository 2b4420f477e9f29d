#include "profile/removal_status.hpp"

namespace {

// Win32 errors of the listing calls.
constexpr std::uint32_t error_file_not_found = 2;
constexpr std::uint32_t error_no_more_files = 18;

// The classic step that stands in for a POSIX one where the file system lacks POSIX semantics.
DeleteStep classic_for(DeleteStep posix)
{
    return posix == DeleteStep::posix_read_only_cleared ? DeleteStep::classic_read_only_cleared : DeleteStep::classic;
}

} // namespace

StatusMeaning status_meaning(std::uint32_t status)
{
    // Successes and informational statuses (an oplock break begun, say): the call did what it was asked.
    if (status < 0x80000000) return StatusMeaning::done;
    switch (status) {
    case nt_status::object_name_not_found:
    case nt_status::object_path_not_found:
    case nt_status::delete_pending:
        return StatusMeaning::gone;
    case nt_status::sharing_violation:
    case nt_status::directory_not_empty:
        return StatusMeaning::for_now;
    // ERROR_INVALID_PARAMETER, ERROR_NOT_SUPPORTED and ERROR_INVALID_FUNCTION in Win32 terms: an
    // information class or flag the file system does not know (Wine answers "not implemented").
    case nt_status::invalid_parameter:
    case nt_status::invalid_info_class:
    case nt_status::not_supported:
    case nt_status::invalid_device_request:
    case nt_status::not_implemented:
        return StatusMeaning::unsupported;
    case nt_status::cannot_delete:
        return StatusMeaning::read_only;
    default:
        return StatusMeaning::refused;
    }
}

DeleteStep next_delete_step(DeleteStep tried, std::uint32_t status, const DeleteRefusal& entry)
{
    const bool posix = tried == DeleteStep::posix || tried == DeleteStep::posix_over_read_only ||
                       tried == DeleteStep::posix_read_only_cleared;
    const bool may_clear = entry.over_read_only && entry.read_only;
    switch (status_meaning(status)) {
    case StatusMeaning::done:
    case StatusMeaning::gone:
        return DeleteStep::removed;
    case StatusMeaning::for_now:
        return tried;
    case StatusMeaning::unsupported:
        // Windows 10 1607 to 1803 know POSIX semantics but not the flag that ignores read-only.
        if (tried == DeleteStep::posix_over_read_only) return DeleteStep::posix_read_only_cleared;
        return posix ? classic_for(tried) : DeleteStep::stayed;
    case StatusMeaning::read_only:
        if (tried == DeleteStep::posix && may_clear) return DeleteStep::posix_over_read_only;
        if (tried == DeleteStep::classic && may_clear) return DeleteStep::classic_read_only_cleared;
        return DeleteStep::stayed;
    case StatusMeaning::refused:
        break;
    }
    return DeleteStep::stayed;
}

std::uint32_t foreseen_delete_status(const DeleteRefusal& entry)
{
    return entry.read_only && !entry.over_read_only ? nt_status::cannot_delete : 0;
}

bool clears_read_only(DeleteStep step)
{
    return step == DeleteStep::posix_read_only_cleared || step == DeleteStep::classic_read_only_cleared;
}

bool listing_complete(std::uint32_t last_error, bool first)
{
    return last_error == error_no_more_files || (first && last_error == error_file_not_found);
}
