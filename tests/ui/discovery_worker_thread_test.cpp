// The worker on a thread of its own, against a window stand-in on the test's
// thread that paints from the shared list whenever it likes, as the real
// window may. Under ThreadSanitizer a line changed without the guard, or a
// launch state write that races the reader, is reported. The launcher's copy
// of the worker's state is taken the same way, from a worker that may still run.

#include "ui/discovery_worker.hpp"

#include "ui/launch_state_handover.hpp"
#include "ui/progress_messages.hpp"

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

TEST(DiscoveryWorkerThread, WindowPaintsWhileTheWorkerChangesLines)
{
    GuardedProgressSteps progress_steps;
    install_progress_steps(progress_steps);
    LaunchState state;
    Mailbox mailbox;
    const DiscoveryWorkerActions actions = threaded_actions(mailbox, [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        DiscoveryResult result;
        result.ip = "203.0.113.7";
        result.timezone = "Europe/Berlin";
        result.elapsed_ms = 20;
        return result;
    });

    std::thread worker([&] { run_discovery_worker(input(), actions, progress_steps, state); });
    std::vector<std::pair<unsigned, std::size_t>> received;
    std::pair<unsigned, std::size_t> message;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!next_message(mailbox, progress_steps, message)) continue;
        received.push_back(message);
        if (message.first == WM_PROGRESS_CLOSE) break;
    }
    // The window is gone; the launcher waits for the worker, then reads what it found.
    worker.join();

    const std::vector<std::pair<unsigned, std::size_t>> expected = {
        {WM_PROGRESS_UPDATE, 0}, {WM_PROGRESS_UPDATE, 1}, {WM_PROGRESS_UPDATE, 1},
        {WM_PROGRESS_UPDATE, 2}, {WM_PROGRESS_UPDATE, 3}, {WM_PROGRESS_CLOSE, 0}};
    EXPECT_EQ(received, expected);
    EXPECT_EQ(state.fake_public_ip, L"203.0.113.7");
    EXPECT_EQ(state.timezone_override, L"Europe/Berlin");
    EXPECT_EQ(state.provider, "tessar");
    EXPECT_FALSE(state.cancelled.load());
    EXPECT_EQ(copy_progress_steps(progress_steps).at(2).detail, L"ip=203.0.113.7 tz=Europe/Berlin");
}

TEST(DiscoveryWorkerThread, UserClosingDuringTheProbeStopsTheWorkerAfterItsOutcome)
{
    GuardedProgressSteps progress_steps;
    install_progress_steps(progress_steps);
    LaunchState state;
    Mailbox mailbox;
    std::promise<void> user_closed;
    std::shared_future<void> closed = user_closed.get_future().share();
    const DiscoveryWorkerActions actions = threaded_actions(mailbox, [closed] {
        closed.wait();
        DiscoveryResult result;
        result.error_code = "PROXY_TIMEOUT";
        result.elapsed_ms = 10003;
        return result;
    });

    std::thread worker([&] { run_discovery_worker(input(), actions, progress_steps, state); });
    std::pair<unsigned, std::size_t> message;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!next_message(mailbox, progress_steps, message)) continue;
        if (message == std::pair<unsigned, std::size_t>{WM_PROGRESS_UPDATE, 1}) break;
    }
    // What the window does on WM_CLOSE; then it is gone and reads nothing more.
    state.cancelled.exchange(true);
    user_closed.set_value();
    worker.join();

    std::vector<std::pair<unsigned, std::size_t>> after_close(mailbox.messages.begin(), mailbox.messages.end());
    EXPECT_EQ(after_close, (std::vector<std::pair<unsigned, std::size_t>>{{WM_PROGRESS_UPDATE, 1}}));
    EXPECT_TRUE(state.blocked.load());
    EXPECT_EQ(state.elapsed_ms, 10003);
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

TEST(LaunchStateHandOver, AnEndedWorkersValuesArriveWhole)
{
    LaunchState worker_state;
    fill_every_value(worker_state);
    worker_state.blocked.exchange(true);
    LaunchState state;
    hand_over_launch_state(worker_state, true, state);

    LaunchState expected;
    fill_every_value(expected);
    EXPECT_EQ(std::tie(state.fake_public_ip, state.timezone_override, state.lang, state.accept_language,
                       state.geo_lat, state.geo_lng),
              std::tie(expected.fake_public_ip, expected.timezone_override, expected.lang, expected.accept_language,
                       expected.geo_lat, expected.geo_lng));
    EXPECT_EQ(std::tie(state.ip, state.timezone, state.country_code, state.provider, state.elapsed_ms),
              std::tie(expected.ip, expected.timezone, expected.country_code, expected.provider,
                       expected.elapsed_ms));
    EXPECT_TRUE(state.blocked.load());
    EXPECT_FALSE(state.cancelled.load());
}

// A worker that is still writing when the launcher stops waiting for it: its
// values are never read, and a launch the user did not cancel is blocked, as
// nothing tells whether discovery found what the settings ask for.
TEST(LaunchStateHandOver, AWorkerStillRunningLeavesNoValuesAndNoLaunchThatLooksOk)
{
    for (const bool cancelled : {false, true}) {
        SCOPED_TRACE(cancelled ? "cancelled" : "not cancelled");
        LaunchState worker_state;
        worker_state.cancelled.exchange(cancelled);
        std::atomic<bool> stop{false};
        std::promise<void> first_write;
        std::thread worker([&] {
            fill_every_value(worker_state);
            first_write.set_value();
            while (!stop.load()) fill_every_value(worker_state);
        });
        first_write.get_future().wait();

        LaunchState state;
        hand_over_launch_state(worker_state, false, state);
        stop.exchange(true);
        worker.join();

        EXPECT_EQ(state.cancelled.load(), cancelled);
        // A cancel ends the launch before the block is looked at.
        EXPECT_TRUE(cancelled || state.blocked.load());
        EXPECT_TRUE(state.fake_public_ip.empty());
        EXPECT_TRUE(state.timezone_override.empty());
        EXPECT_TRUE(state.ip.empty());
        EXPECT_TRUE(state.provider.empty());
        EXPECT_EQ(state.elapsed_ms, 0);
    }
}

} // namespace
