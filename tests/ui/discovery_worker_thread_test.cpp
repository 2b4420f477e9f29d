// The worker on a thread of its own, against a window stand-in on the test's
// thread that paints from the shared list whenever it likes, as the real
// window may. Under ThreadSanitizer a line changed without the guard, or a
// launch state write that races the reader, is reported. The launcher's copy
// of the worker's state is taken the same way, from a worker that may still run.

#include "ui/discovery_worker.hpp"

#include "ui/launch_state_handover.hpp"
#include "ui/progress_messages.hpp"
#include "tests/common/probe_results.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <thread>
#include <tuple>

namespace {

struct Mailbox {
    std::mutex guard;
    std::condition_variable arrived;
    std::deque<std::pair<unsigned, std::size_t>> messages;
};

DiscoveryWorkerActions threaded_actions(Mailbox& mailbox, std::function<DiscoveryResult()> probe)
{
    DiscoveryWorkerActions actions;
    actions.discover = [probe](const std::string&, const std::string&) { return probe(); };
    actions.delete_file = [](const std::wstring&) {};
    actions.write_error_report = [](const std::wstring&, const DiscoveryResult&, const std::string&,
                                    const std::string&) {};
    actions.post = [&mailbox](unsigned message, std::size_t index) {
        {
            const std::lock_guard<std::mutex> lock(mailbox.guard);
            mailbox.messages.emplace_back(message, index);
        }
        mailbox.arrived.notify_one();
    };
    // The pauses, shortened: they only need to let the painter run in between.
    actions.sleep = [](unsigned milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds / 20));
    };
    return actions;
}

// Waits briefly for the next message; paints meanwhile, as WM_PAINT may come at any time.
bool next_message(Mailbox& mailbox, GuardedProgressSteps& progress_steps, std::pair<unsigned, std::size_t>& message)
{
    (void)copy_progress_steps(progress_steps);
    std::unique_lock<std::mutex> lock(mailbox.guard);
    if (!mailbox.arrived.wait_for(lock, std::chrono::milliseconds(1), [&] { return !mailbox.messages.empty(); }))
        return false;
    message = mailbox.messages.front();
    mailbox.messages.pop_front();
    return true;
}

DiscoveryWorkerInput input()
{
    DiscoveryWorkerInput worker_input;
    worker_input.settings.proxy_server = "socks5://127.0.0.1:1080";
    worker_input.settings.webrtc_no_leak = true;
    worker_input.settings.auto_timezone = true;
    worker_input.error_report_path = L"C:\\Profiles\\A\\.orvalis-launcher-error.json";
    return worker_input;
}

// The window takes the worker's messages, painting in between, until the
// worker closes it or the user does during the probe; the user's close stops
// the worker after it has stored the probe's outcome.
TEST(DiscoveryWorkerThread, WindowPaintsWhileTheWorkerChangesLines)
{
    using Message = std::pair<unsigned, std::size_t>;
    const Message close{WM_PROGRESS_CLOSE, 0};
    DiscoveryResult found = probe_success("203.0.113.7", 20);
    found.timezone = "Europe/Berlin";
    const struct {
        const char* name;
        bool user_closes;
        DiscoveryResult outcome;
        std::vector<Message> taken;
        std::vector<Message> after_close;
        std::wstring fake_public_ip, timezone_override;
        bool blocked;
        std::int64_t elapsed_ms;
        std::wstring found_line;
    } cases[] = {
        {"the worker closes", false, found,
         {{WM_PROGRESS_UPDATE, 0}, {WM_PROGRESS_UPDATE, 1}, {WM_PROGRESS_UPDATE, 1}, {WM_PROGRESS_UPDATE, 2},
          {WM_PROGRESS_UPDATE, 3}, close},
         {}, L"203.0.113.7", L"Europe/Berlin", false, 20, L"ip=203.0.113.7 tz=Europe/Berlin"},
        {"the user closes during the probe", true, probe_failure("PROXY_TIMEOUT", 10003),
         {{WM_PROGRESS_UPDATE, 0}, {WM_PROGRESS_UPDATE, 1}}, {{WM_PROGRESS_UPDATE, 1}}, L"", L"", true, 10003, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedProgressSteps progress_steps;
        install_progress_steps(progress_steps);
        LaunchState state;
        Mailbox mailbox;
        std::promise<void> user_closed;
        std::shared_future<void> closed = user_closed.get_future().share();
        const DiscoveryWorkerActions actions = threaded_actions(mailbox, [&c, closed] {
            if (c.user_closes) closed.wait();
            else std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return c.outcome;
        });

        std::thread worker([&] { run_discovery_worker(input(), actions, progress_steps, state); });
        std::vector<Message> taken;
        Message message;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!next_message(mailbox, progress_steps, message)) continue;
            taken.push_back(message);
            if (message == close || (c.user_closes && message == Message{WM_PROGRESS_UPDATE, 1})) break;
        }
        // What the window does on WM_CLOSE; then it is gone and reads nothing more.
        if (c.user_closes) state.cancelled.exchange(true);
        user_closed.set_value();
        // The launcher waits for the worker, then reads what it found.
        worker.join();

        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(std::vector<Message>(mailbox.messages.begin(), mailbox.messages.end()), c.after_close);
        EXPECT_EQ(state.fake_public_ip, c.fake_public_ip);
        EXPECT_EQ(state.timezone_override, c.timezone_override);
        EXPECT_EQ(state.provider, "tessar");
        EXPECT_EQ(state.cancelled.load(), c.user_closes);
        EXPECT_EQ(state.blocked.load(), c.blocked);
        EXPECT_EQ(state.elapsed_ms, c.elapsed_ms);
        EXPECT_EQ(copy_progress_steps(progress_steps).at(2).detail, c.found_line);
    }
}

void fill_every_value(LaunchState& state)
{
    state.fake_public_ip = L"203.0.113.7";
    state.timezone_override = L"Europe/Berlin";
    state.lang = L"de-DE";
    state.accept_language = L"de-DE,de;q=0.9,en;q=0.8";
    state.geo_lat = L"52.52";
    state.geo_lng = L"13.405";
    state.ip = "203.0.113.7";
    state.timezone = "Europe/Berlin";
    state.country_code = "DE";
    state.provider = "tessar";
    state.elapsed_ms = 412;
}

// The launcher's own error report, as hand_over_launch_state writes it.
struct OwnReports {
    std::vector<DiscoveryResult> written;
    bool succeeds = true;
    std::function<bool(const DiscoveryResult&)> writer()
    {
        return [this](const DiscoveryResult& failure) {
            written.push_back(failure);
            return succeeds;
        };
    }
};

TEST(LaunchStateHandOver, AnEndedWorkersValuesArriveWhole)
{
    for (const bool report_written : {true, false}) {
        LaunchState worker_state;
        fill_every_value(worker_state);
        worker_state.blocked.exchange(true);
        ErrorReportGate gate;
        write_error_report_through(gate, [&] { return report_written; });
        OwnReports own;
        LaunchState state;
        hand_over_launch_state(worker_state, true, true, gate, own.writer(), state);

        LaunchState expected;
        fill_every_value(expected);
        EXPECT_EQ(std::tie(state.fake_public_ip, state.timezone_override, state.lang, state.accept_language,
                           state.geo_lat, state.geo_lng),
                  std::tie(expected.fake_public_ip, expected.timezone_override, expected.lang,
                           expected.accept_language, expected.geo_lat, expected.geo_lng));
        EXPECT_EQ(std::tie(state.ip, state.timezone, state.country_code, state.provider, state.elapsed_ms),
                  std::tie(expected.ip, expected.timezone, expected.country_code, expected.provider,
                           expected.elapsed_ms));
        EXPECT_TRUE(state.blocked.load());
        EXPECT_FALSE(state.cancelled.load());
        // Only the report this launch's worker wrote may be named.
        EXPECT_EQ(state.error_report_written, report_written);
        EXPECT_TRUE(own.written.empty());
    }
}

// A worker that is still writing when the launcher stops waiting for it: its
// values are never read. A launch the user did not cancel counts as one whose
// discovery failed: the settings decide between blocking it and starting the
// engine without derived values, and an error report of this launch says why.
TEST(LaunchStateHandOver, AWorkerStillRunningLeavesNoValuesAndFailsTheDiscovery)
{
    const struct {
        const char* name;
        bool cancelled;
        bool block;
        bool worker_wrote;
        bool own_write_succeeds;
        bool blocked;
        std::size_t own_reports;
        bool report_written;
    } cases[] = {
        {"cancelled", true, true, false, true, false, 0, false},
        {"cancelled after the worker's report", true, true, true, true, false, 0, true},
        {"block", false, true, false, true, true, 1, true},
        {"fallback", false, false, false, true, false, 1, true},
        {"block, the report cannot be written", false, true, false, false, true, 1, false},
        {"block, the worker's report is there", false, true, true, true, true, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LaunchState worker_state;
        worker_state.cancelled.exchange(c.cancelled);
        ErrorReportGate gate;
        if (c.worker_wrote) write_error_report_through(gate, [] { return true; });
        std::atomic<bool> stop{false};
        std::promise<void> first_write;
        std::thread worker([&] {
            fill_every_value(worker_state);
            first_write.set_value();
            while (!stop.load()) fill_every_value(worker_state);
        });
        first_write.get_future().wait();

        OwnReports own;
        own.succeeds = c.own_write_succeeds;
        LaunchState state;
        hand_over_launch_state(worker_state, false, c.block, gate, own.writer(), state);
        stop.exchange(true);
        worker.join();

        EXPECT_EQ(state.cancelled.load(), c.cancelled);
        EXPECT_EQ(state.blocked.load(), c.blocked);
        EXPECT_EQ(state.error_report_written, c.report_written);
        ASSERT_EQ(own.written.size(), c.own_reports);
        if (c.own_reports == 1) {
            EXPECT_EQ(own.written[0].error_code, "INTERNAL");
            EXPECT_EQ(own.written[0].message,
                      "discovery worker still running 6000 ms after the progress window closed");
            EXPECT_EQ(own.written[0].curl_exit_code, -1);
        }
        EXPECT_TRUE(state.fake_public_ip.empty());
        EXPECT_TRUE(state.timezone_override.empty());
        EXPECT_TRUE(state.ip.empty());
        EXPECT_TRUE(state.provider.empty());
        EXPECT_EQ(state.elapsed_ms, 0);

        // Once the launcher has taken the report over, the worker writes no more.
        bool late_write = false;
        write_error_report_through(gate, [&] { return late_write = true; });
        EXPECT_FALSE(late_write);
    }
}

// The worker writes its report while the launcher stops waiting: one of them
// writes, never both, and the launcher waits for a write under way.
TEST(LaunchStateHandOver, TheWorkersReportAndTheLaunchersNeverCross)
{
    for (int round = 0; round < 50; ++round) {
        LaunchState worker_state;
        ErrorReportGate gate;
        std::atomic<int> writing{0};
        std::atomic<int> writes{0};
        const auto write = [&] {
            EXPECT_EQ(writing.fetch_add(1), 0) << "two writers at once";
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            writing.fetch_sub(1);
            writes.fetch_add(1);
            return true;
        };
        std::thread worker([&] { write_error_report_through(gate, write); });
        LaunchState state;
        hand_over_launch_state(worker_state, false, true, gate, [&](const DiscoveryResult&) { return write(); },
                               state);
        worker.join();
        EXPECT_EQ(writes.load(), 1);
        EXPECT_TRUE(state.error_report_written);
        EXPECT_TRUE(state.blocked.load());
    }
}

} // namespace
