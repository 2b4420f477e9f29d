#include "launcher/launch_check.hpp"

#include "launcher/launch_check_mask.hpp"

namespace {

// The text being built and the proxy value whose password no line may show.
struct TextOut {
    std::string text;
    std::string proxy_server;
};

// "label   value": labels in a column of 24, an indented label under a heading.
void line(TextOut& out, const std::string& label, const std::string& value, bool indented = false)
{
    std::string head = (indented ? "  " : "") + label;
    if (head.size() < 24) head.resize(24, ' ');
    else head += ' ';
    out.text += head + mask_proxy_password(value, out.proxy_server) + "\n";
}

std::string yes_no(bool value)
{
    return value ? "yes" : "no";
}

void settings_lines(TextOut& out, const LaunchCheck& check)
{
    line(out, "settings file", check.settings_file.empty() ? "none (defaults)" : check.settings_file);
    for (const SettingValue& value : setting_values(check.settings))
        line(out, value.key, value.is_text ? (value.text.empty() ? "(empty)" : value.text) : yes_no(value.flag),
             true);
    std::string kinds;
    for (const auto& [kind, flag] : check.settings.storage_reset)
        kinds += (kinds.empty() ? "" : " ") + kind + "=" + (flag ? "true" : "false");
    line(out, "granular-storage-reset", kinds.empty() ? "(none)" : kinds, true);
}

void probe_lines(TextOut& out, const std::vector<DiscoveryAttempt>& attempts)
{
    for (const DiscoveryAttempt& attempt : attempts) {
        const DiscoveryResult& r = attempt.result;
        line(out, "probe", attempt.discovery_url);
        line(out, "outcome", r.error_code.empty() ? "ok" : r.error_code, true);
        if (!r.message.empty()) line(out, "message", r.message, true);
        line(out, "curl exit code", r.curl_exit_code < 0 ? "curl not run" : std::to_string(r.curl_exit_code), true);
        line(out, "elapsed", std::to_string(r.elapsed_ms) + " ms", true);
        if (!r.ip.empty()) line(out, "ip", r.ip, true);
        if (!r.country_code.empty()) line(out, "country code", r.country_code, true);
        if (!r.timezone.empty()) line(out, "time zone", r.timezone, true);
        if (!r.latitude.empty() || !r.longitude.empty())
            line(out, "coordinates", r.latitude + ", " + r.longitude, true);
    }
}

void maintenance_lines(TextOut& out, const LaunchCheck& check)
{
    const MaintenancePreview& preview = check.maintenance;
    std::string summary = check.maintenance_runs ? "runs before the engine starts" : "does not run on this launch";
    if (!preview.maintained) summary += "; would touch nothing: " + preview.reason;
    else if (preview.items.empty()) summary += "; the settings name nothing to remove";
    line(out, "maintenance", summary);
    for (const MaintenancePreviewItem& item : preview.items) {
        std::string what = item.path + " (" + item.setting;
        if (item.status != 0) what += ", status " + hex_word(item.status);
        line(out, std::string(preview_action_name(item.action)), what + ")", true);
    }
}

void system_lines(TextOut& out, const SystemCheck& system)
{
    line(out, "windows", std::to_string(system.windows_major) + "." + std::to_string(system.windows_minor) +
                             " build " + std::to_string(system.windows_build));
    if (!system.problem.empty()) {
        line(out, "profile volume", system.problem);
        return;
    }
    line(out, "profile volume", system.file_system + " (" + system.folder + ")");
    line(out, "posix deletes", system.posix_delete ? "offered: names go at once"
                                                   : "not offered: the classic delete, names go at the last close");
    line(out, "cloud folder", system.cloud ? "yes: " + system.cloud_reason : "no");
}

} // namespace

std::string launch_check_text(const LaunchCheck& check)
{
    TextOut out{"", check.settings.proxy_server};
    out.text = "Orvalis Browser launch check " + check.launcher_version + "\n";
    line(out, "engine", check.engine_path + (check.engine_present ? " (present)" : " (MISSING)"));
    settings_lines(out, check);
    line(out, "decision", check.decision);
    line(out, "exit code", std::to_string(check.exit_code));
    line(out, "curl", check.curl.path.empty() ? "none: " + check.curl.problem : check.curl.path);
    if (!check.curl.path.empty())
        line(out, "version", check.curl.version.empty() ? check.curl.problem : check.curl.version, true);
    probe_lines(out, check.probe);
    line(out, "engine command line",
         check.engine_command_line.empty() ? "none: the engine would not start" : check.engine_command_line);
    maintenance_lines(out, check);
    line(out, "reports folder", check.reports_folder.path.empty() ? "none" : check.reports_folder.path);
    line(out, "report writable",
         yes_no(check.reports_folder.writable) +
             (check.reports_folder.reason.empty() ? "" : ": " + check.reports_folder.reason),
         true);
    system_lines(out, check.system);
    return out.text;
}

std::string self_test_text(const std::string& launcher_version, const SelfTestOutcome& outcome)
{
    TextOut out;
    out.text = "Orvalis Browser maintenance self-test " + launcher_version + "\n";
    if (!outcome.error_code.empty()) line(out, "not run", outcome.error_code + ": " + outcome.message);
    if (!outcome.scratch_folder.empty()) {
        line(out, "scratch folder", outcome.scratch_folder);
        line(out, "removed again", yes_no(outcome.scratch_removed), true);
    }
    if (!outcome.delete_semantics.empty())
        line(out, "delete semantics",
             outcome.delete_semantics == "posix"
                 ? "posix: the file system takes a name away at once"
                 : outcome.delete_semantics + ": a name goes at the last close (FAT, shares, Windows before 10 "
                                              "1607, Wine)");
    for (const SelfTestPromise& promise : outcome.promises)
        line(out, promise_result_name(promise.result), promise.name + ": " + promise.detail);
    line(out, "exit code", std::to_string(self_test_exit_code(outcome)));
    return out.text;
}
