#pragma once

// Windows: the launcher's real maintenance run on a small profile built in a
// scratch folder, on the volume the user wants to know about (the profile's,
// a FAT stick, a share, a cloud-synced folder), and each of its promises
// checked there. The scratch folder goes at the end on every path.

#include <string>
#include <vector>

// A promise that could not be put to the test here (the system would not make
// a symbolic link without the privilege, say) is neither kept nor broken.
enum class PromiseResult { passed, failed, not_checked };

struct SelfTestPromise {
    std::string name;   // a short stable key: "items_removed", "junction_not_followed", ...
    PromiseResult result = PromiseResult::not_checked;
    std::string detail; // one line: what was seen, UTF-8
};

struct SelfTestOutcome {
    // Empty when the test ran; else the code of why it could not, with `message`.
    std::string error_code;
    std::string message;
    std::string scratch_folder;        // UTF-8, as created
    bool scratch_removed = false;      // the scratch folder is gone again
    std::string delete_semantics;      // "posix" or "classic": what the file system gave
    std::vector<SelfTestPromise> promises;
};

// `folder` is where the scratch folder is created; nothing else in it is touched.
SelfTestOutcome run_maintenance_self_test(const std::wstring& folder);
