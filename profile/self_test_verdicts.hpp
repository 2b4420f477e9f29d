#pragma once

// What the maintenance self-test makes of what it saw, decided apart from the
// calls that saw it.

#include "profile/maintenance_self_test.hpp"

#include <cstdint>
#include <string>
#include <vector>

// The volume flag FILE_SUPPORTS_POSIX_UNLINK_RENAME, with the system's value.
constexpr std::uint32_t supports_posix_unlink_rename = 0x400;

// One promise from what the test saw: not checked when its setup failed (the
// reason), broken when anything went wrong (each wrong named in the detail),
// else kept (`kept` says what was seen).
SelfTestPromise judge_promise(const std::string& name, const std::string& setup_failure,
                              const std::vector<std::string>& wrongs, const std::string& kept);

// The delete semantics that a POSIX delete of a scratch file found, from its
// status (NT status): "posix" where it went, "classic" where the file system
// lacks it, empty where it was refused for another reason.
std::string delete_semantics(std::uint32_t probe_status);

// Whether that agrees with what the volume says of itself (its flags).
SelfTestPromise judge_delete_semantics(std::uint32_t probe_status, std::uint32_t volume_flags);
