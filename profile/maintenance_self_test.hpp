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
    // A short stable key, in this order: "items_removed", "junction_not_followed",
    // "symbolic_link_not_followed", "held_database_keeps_journal",
    // "read_only_file_in_removed_folder", "tree_deeper_than_260_characters",
    // "delete_semantics" (the probe's semantics agree with the volume's flags).
    std::string name;
    PromiseResult result = PromiseResult::not_checked;
    std::string detail; // one line: what was seen, UTF-8
};

struct SelfTestOutcome {
    // Empty when the test ran; else the code of why it could not, with
    // `message`: "FOLDER_INVALID" (no scratch folder can be named there),
    // "SCRATCH_NOT_CREATED", "SCRATCH_NOT_BUILT" (the small profile could not
    // be made; the scratch folder is removed all the same).
    std::string error_code;
    std::string message;
    std::string scratch_folder;        // UTF-8, as created, written without the "\\?\" prefix
    bool scratch_removed = false;      // the scratch folder is gone again
    std::string delete_semantics;      // "posix" or "classic": what the file system gave; empty when unknown
    std::vector<SelfTestPromise> promises;
};

// `folder` is where the scratch folder is created; nothing else in it is touched.
SelfTestOutcome run_maintenance_self_test(const std::wstring& folder);
