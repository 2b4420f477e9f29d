#include "launcher/launch_check.hpp"

#include "launcher/launch_check_mask.hpp"
#include "reports/report_record.hpp"

#include <cstdio>

namespace {

// The JSON being built and the proxy value whose password no text may show.
struct JsonOut {
    std::string text;
    std::string proxy_server;
};

void name(JsonOut& out, const std::string& key)
{
    out.text += '"' + json_escape(key) + "\":";
}

void add_text(JsonOut& out, const std::string& key, const std::string& value)
{
    name(out, key);
    out.text += '"' + json_escape(mask_proxy_password(value, out.proxy_server)) + "\",";
}

void add_flag(JsonOut& out, const std::string& key, bool value)
{
    name(out, key);
    out.text += value ? "true," : "false,";
}

void add_number(JsonOut& out, const std::string& key, std::int64_t value)
{
    name(out, key);
    out.text += std::to_string(value) + ",";
}

void open(JsonOut& out, const std::string& key, char bracket)
{
    name(out, key);
    out.text += bracket;
}

// An object or array in an array.
void open_element(JsonOut& out, char bracket)
{
    out.text += bracket;
}

// Ends an object or array, without the comma after its last member.
void close(JsonOut& out, char bracket)
{
    if (out.text.back() == ',') out.text.pop_back();
    out.text += bracket;
    out.text += ',';
}

void add_settings(JsonOut& out, const LaunchSettings& settings)
{
    open(out, "settings", '{');
    for (const SettingValue& value : setting_values(settings)) {
        if (value.is_text) add_text(out, value.key, value.text);
        else add_flag(out, value.key, value.flag);
    }
    open(out, "granular-storage-reset", '{');
    for (const auto& [kind, flag] : settings.storage_reset) add_flag(out, kind, flag);
    close(out, '}');
    close(out, '}');
}

void add_probe(JsonOut& out, const std::vector<DiscoveryAttempt>& attempts)
{
    open(out, "probe", '[');
    for (const DiscoveryAttempt& attempt : attempts) {
        const DiscoveryResult& r = attempt.result;
        open_element(out, '{');
        add_text(out, "discovery_url", attempt.discovery_url);
        add_text(out, "ip", r.ip);
        add_number(out, "curl_exit_code", r.curl_exit_code);
        add_number(out, "elapsed_ms", r.elapsed_ms);
        add_text(out, "error_code", r.error_code);
        add_text(out, "message", r.message);
        add_text(out, "country_code", r.country_code);
        add_text(out, "timezone", r.timezone);
        add_text(out, "latitude", r.latitude);
        add_text(out, "longitude", r.longitude);
        close(out, '}');
    }
    close(out, ']');
}

void add_maintenance(JsonOut& out, bool runs, const MaintenancePreview& preview)
{
    open(out, "maintenance", '{');
    add_flag(out, "runs", runs);
    add_flag(out, "maintained", preview.maintained);
    add_text(out, "reason", preview.reason);
    open(out, "items", '[');
    for (const MaintenancePreviewItem& item : preview.items) {
        open_element(out, '{');
        add_text(out, "setting", item.setting);
        add_text(out, "path", item.path);
        add_flag(out, "present", item.present);
        add_text(out, "action", std::string(preview_action_name(item.action)));
        add_number(out, "status", item.status);
        close(out, '}');
    }
    close(out, ']');
    close(out, '}');
}

void add_system(JsonOut& out, const SystemCheck& system)
{
    open(out, "system", '{');
    add_text(out, "windows_version",
             std::to_string(system.windows_major) + "." + std::to_string(system.windows_minor));
    add_number(out, "windows_build", system.windows_build);
    add_text(out, "folder", system.folder);
    add_text(out, "file_system", system.file_system);
    add_flag(out, "posix_delete", system.posix_delete);
    add_flag(out, "cloud", system.cloud);
    add_text(out, "cloud_reason", system.cloud_reason);
    add_text(out, "problem", system.problem);
    close(out, '}');
}

// The finished object: one line and a line feed.
std::string finish(JsonOut& out)
{
    close(out, '}');
    out.text.back() = '\n';
    return out.text;
}

} // namespace

std::string launch_check_json(const LaunchCheck& check)
{
    JsonOut out{"", check.settings.proxy_server};
    open_element(out, '{');
    add_text(out, "launcher_version", check.launcher_version);
    add_text(out, "engine_path", check.engine_path);
    add_flag(out, "engine_present", check.engine_present);
    add_text(out, "settings_file", check.settings_file);
    add_settings(out, check.settings);
    add_text(out, "decision", check.decision);
    add_number(out, "exit_code", check.exit_code);
    open(out, "curl", '{');
    add_text(out, "path", check.curl.path);
    add_text(out, "version", check.curl.version);
    add_text(out, "problem", check.curl.problem);
    close(out, '}');
    add_probe(out, check.probe);
    add_text(out, "engine_command_line", check.engine_command_line);
    add_maintenance(out, check.maintenance_runs, check.maintenance);
    open(out, "reports_folder", '{');
    add_text(out, "path", check.reports_folder.path);
    add_flag(out, "writable", check.reports_folder.writable);
    add_text(out, "reason", check.reports_folder.reason);
    close(out, '}');
    add_system(out, check.system);
    return finish(out);
}

std::string self_test_json(const std::string& launcher_version, const SelfTestOutcome& outcome)
{
    JsonOut out;
    open_element(out, '{');
    add_text(out, "launcher_version", launcher_version);
    add_number(out, "exit_code", self_test_exit_code(outcome));
    open(out, "self_test", '{');
    add_text(out, "error_code", outcome.error_code);
    add_text(out, "message", outcome.message);
    add_text(out, "scratch_folder", outcome.scratch_folder);
    add_flag(out, "scratch_removed", outcome.scratch_removed);
    add_text(out, "delete_semantics", outcome.delete_semantics);
    open(out, "promises", '[');
    for (const SelfTestPromise& promise : outcome.promises) {
        open_element(out, '{');
        add_text(out, "name", promise.name);
        add_text(out, "result", promise_result_name(promise.result));
        add_text(out, "detail", promise.detail);
        close(out, '}');
    }
    close(out, ']');
    close(out, '}');
    return finish(out);
}
