#pragma once

// What profile maintenance makes of the statuses the file system answers:
// which mean the entry is gone, which are worth another try, and which step
// of a delete comes next.

#include <cstdint>

// The statuses the decisions look at, with the system's values.
namespace nt_status {
constexpr std::uint32_t not_implemented = 0xC0000002;
constexpr std::uint32_t invalid_info_class = 0xC0000003;
constexpr std::uint32_t invalid_parameter = 0xC000000D;
constexpr std::uint32_t invalid_device_request = 0xC0000010;
constexpr std::uint32_t access_denied = 0xC0000022;
constexpr std::uint32_t object_name_not_found = 0xC0000034;
constexpr std::uint32_t object_path_not_found = 0xC000003A;
constexpr std::uint32_t sharing_violation = 0xC0000043;
constexpr std::uint32_t delete_pending = 0xC0000056;
constexpr std::uint32_t not_supported = 0xC00000BB;
constexpr std::uint32_t directory_not_empty = 0xC0000101;
constexpr std::uint32_t cannot_delete = 0xC0000121;
} // namespace nt_status

enum class StatusMeaning {
    done,        // it worked (any success or informational status)
    gone,        // nothing of that name, or its delete is already pending: as good as removed
    for_now,     // refused for a moment: held without delete sharing, or a folder whose child's delete is pending
    unsupported, // the file system lacks the request (an older Windows, FAT, a share, Wine)
    read_only,   // refused because the entry is read-only, or for another reason that a delete cannot tell apart
    refused,     // anything else: access denied, a bad name, a device error
};

StatusMeaning status_meaning(std::uint32_t status);

// The ways of deleting through a handle, in the order they are tried. POSIX
// semantics take the name away at once; the classic delete only when the
// last handle closes, so a folder's entries still fill it for a moment.
enum class DeleteStep {
    posix,                   // POSIX semantics, read-only respected
    posix_over_read_only,    // the same, told to ignore the read-only attribute
    posix_read_only_cleared, // POSIX semantics once the read-only attribute is cleared
    classic,                 // the classic delete, where POSIX semantics are unsupported
    classic_read_only_cleared,
    removed, // the entry went or goes: the end
    stayed,  // the entry stays: the end
};

struct DeleteRefusal {
    bool over_read_only = false; // a read-only entry may go (a tree delete), else it stays (a single file)
    bool read_only = false;      // the entry has the read-only attribute
};

// The step after one that the file system answered with `status`. The same
// step again means "try once more after a pause", which the caller may do
// while its retry budget lasts. Read-only is cleared only where it is the
// one refusal left: the entry is read-only, the file system refused for
// that, and it offers no delete that ignores the attribute.
DeleteStep next_delete_step(DeleteStep tried, std::uint32_t status, const DeleteRefusal& entry);

// What a delete through the handle would meet, foreseen without trying it (a
// preview): 0 where it would go, or the status that keeps a read-only entry
// that may not go. Only the delete itself tells the rest.
std::uint32_t foreseen_delete_status(const DeleteRefusal& entry);

// Whether the read-only attribute must be cleared before this step.
bool clears_read_only(DeleteStep step);

// Whether a folder's listing ended because the folder has no more entries,
// from the error of the call that ended it: only then are its entries all
// known. `first` when it was the first call (an empty folder on a file
// system without "." and ".." answers "no such file" there).
bool listing_complete(std::uint32_t last_error, bool first);
