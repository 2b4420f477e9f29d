#include "ui/discovery_worker.hpp"

#include "common/text_conversion.hpp"
#include "discovery/discovery_endpoints.hpp"
#include "ui/discovery_outcome.hpp"
#include "ui/persona_values.hpp"
#include "ui/progress_messages.hpp"

namespace {

constexpr std::size_t overlay_step = 0;
constexpr std::size_t discovery_step = 1;
constexpr std::size_t overrides_step = 2;
constexpr std::size_t launch_step = 3;

// Every change of a line is followed by its repaint request, never the other way round.
void show(GuardedProgressSteps& progress_steps, const DiscoveryWorkerActions& actions, std::size_t index,
          const std::wstring& detail, bool done, bool failed)
{
    change_progress_step(progress_steps, index, detail, done, failed);
    actions.post(WM_PROGRESS_UPDATE, index);
}

} // namespace

void run_discovery_worker(const DiscoveryWorkerInput& input, const DiscoveryWorkerActions& actions,
                          GuardedProgressSteps& progress_steps, LaunchState& state)
{
    const LaunchSettings& settings = input.settings;

    // A report left by an earlier launch must not be taken for this one's.
    if (!input.error_report_path.empty()) actions.delete_file(input.error_report_path);

    show(progress_steps, actions, overlay_step, utf8_to_wide(settings.proxy_server), true, false);
    actions.sleep(120);
    if (state.cancelled.load()) return;

    show(progress_steps, actions, discovery_step,
         L"contacting " + utf8_to_wide(std::string(primary_host_name())) + L" via SOCKS5\u2026", false, false);
    const DiscoveryOutcome outcome = probe_discovery_endpoints(settings, actions.discover, [&] {
        show(progress_steps, actions, discovery_step,
             L"primary failed \u2014 trying " + utf8_to_wide(std::string(fallback_host_name())) + L"\u2026", false,
             false);
    });
    const DiscoveryResult& result = outcome.result;

    if (!result.error_code.empty()) {
        // Written even when the user has closed the window meanwhile: the
        // program that started the launcher learns why the proxy failed.
        actions.write_error_report(input.error_report_path, result, settings.proxy_server, outcome.last_url);
        store_discovery_outcome(settings, outcome, state);
        const std::wstring code = utf8_to_wide(result.error_code);
        change_progress_step(progress_steps, discovery_step,
                             outcome.blocks ? L"BLOCKED: " + code : L"WARN: " + code + L" \u2014 chrome will fall back",
                             true, true);
        if (outcome.blocks) state.blocked.exchange(true);
    } else {
        change_progress_step(progress_steps, discovery_step, utf8_to_wide(result.ip), true, false);
        store_discovery_outcome(settings, outcome, state);
    }
    actions.post(WM_PROGRESS_UPDATE, discovery_step);

    if (state.cancelled.load()) return;
    const bool blocked = state.blocked.load();
    // A blocked launch keeps its red line up long enough to be read.
    actions.sleep(blocked ? 2500 : 180);
    if (blocked) {
        show(progress_steps, actions, overrides_step, L"skipped \u2014 engine launch blocked", true, true);
    } else {
        const std::wstring summary = override_summary(state);
        show(progress_steps, actions, overrides_step, summary.empty() ? L"none (passthrough)" : summary, true, false);
    }
    actions.sleep(120);

    if (state.cancelled.load()) return;
    show(progress_steps, actions, launch_step, blocked ? L"aborted (exit 42)" : L"", true, blocked);
    actions.sleep(80);
    actions.post(WM_PROGRESS_CLOSE, 0);
}
