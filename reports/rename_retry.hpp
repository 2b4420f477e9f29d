#pragma once

// How long the last step of a report write, the rename onto the old report,
// keeps trying while another program reads that report.
//
// Virus scanners, search indexers, cloud-sync clients and profile managers open
// a new file to read it, most of them without FILE_SHARE_DELETE, and hold it for
// a moment. Until they let go no file can be renamed onto it, and the new report
// would be lost. Waiting about one second outlasts such a reader; a longer hold
// is not a moment's read, and the launch goes on without the new report.

#include <functional>

enum class RenameOutcome {
    done,
    busy,   // another program holds the target: a sharing violation or access denied
    failed, // anything else, which waiting does not cure
};

// 20 tries 50 ms apart: at most 950 ms of pauses, so the launch waits about a second at worst.
constexpr int rename_tries = 20;
constexpr unsigned rename_pause_ms = 50;

// Calls `rename` until it is done or failed, or until it has been busy
// `rename_tries` times, with `pause(rename_pause_ms)` between two tries. True
// when it was done.
bool rename_with_retries(const std::function<RenameOutcome()>& rename, const std::function<void(unsigned)>& pause);
