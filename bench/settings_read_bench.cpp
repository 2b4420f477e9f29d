// How fast the launcher reads command-line.json, beside a full parse of the
// same text by a JSON library, on a typical file, a 64 KB one full of keys the
// launcher does not read, and one with a 1 MiB start page. Each benchmark also
// reports the heap one read takes (allocations, peak bytes, peak per input byte).
//   settings_read_bench [Google Benchmark options]

#include "bench/heap_count.hpp"
#include "bench/settings_texts.hpp"
#include "launcher/launch_settings.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace {

using nlohmann::json;

// The launcher's record taken from a parsed tree, with the launcher's rules
// for flags and for on-proxy-fail, so both sides do the same job.
LaunchSettings settings_from_tree(const std::string& text)
{
    const json document = json::parse(text, nullptr, false);
    LaunchSettings settings;
    if (!document.is_object()) return settings;
    const auto string_of = [&](const char* key) {
        const auto found = document.find(key);
        return found != document.end() && found->is_string() ? found->get<std::string>() : std::string();
    };
    const auto flag_of = [&](const char* key) {
        const auto found = document.find(key);
        if (found == document.end()) return false;
        if (found->is_boolean()) return found->get<bool>();
        if (found->is_number_integer()) return found->get<long long>() == 1;
        return found->is_string() && (*found == "true" || *found == "1");
    };
    const auto has = [&](const char* key) { return document.contains(key); };
    settings.proxy_server = string_of("proxy-server");
    settings.webrtc_no_leak = flag_of("webrtc-no-leak");
    settings.has_fake_public_ip = !string_of("webrtc-fake-public-ip").empty();
    const std::string on_proxy_fail = string_of("on-proxy-fail");
    if (on_proxy_fail == "block" || on_proxy_fail == "fallback") settings.on_proxy_fail = on_proxy_fail;
    settings.auto_geo = flag_of("auto-geo");
    settings.auto_lang = flag_of("auto-lang");
    settings.auto_timezone = flag_of("auto-timezone");
    settings.has_geo_lat = has("geo-lat");
    settings.has_geo_lng = has("geo-lng");
    settings.has_lang = has("lang");
    settings.has_accept_language = has("accept-language");
    settings.has_timezone_override = has("timezone-override");
    settings.start_page = string_of("start-page");
    settings.close_previous_tabs = flag_of("close-previous-tabs") || !settings.start_page.empty();
    const auto storage = document.find("granular-storage-reset");
    if (storage != document.end() && storage->is_object())
        for (const auto& [name, value] : storage->items())
            if (value.is_boolean()) settings.storage_reset[name] = value.get<bool>();
    settings.has_device_memory = has("device-memory");
    settings.has_hardware_concurrency = has("hardware-concurrency");
    settings.has_speech_voices = has("speech-voices");
    return settings;
}

auto fields(const LaunchSettings& s)
{
    return std::tie(s.proxy_server, s.webrtc_no_leak, s.has_fake_public_ip, s.on_proxy_fail, s.auto_geo, s.auto_lang,
                    s.auto_timezone, s.has_geo_lat, s.has_geo_lng, s.has_lang, s.has_accept_language,
                    s.has_timezone_override, s.close_previous_tabs, s.start_page, s.has_device_memory,
                    s.has_hardware_concurrency, s.has_speech_voices, s.storage_reset);
}

struct Input {
    std::string name;
    std::string text;
};

template <typename Read>
void time_reads(benchmark::State& state, const std::string& text, Read read)
{
    for (auto _ : state) {
        LaunchSettings settings = read(text);
        benchmark::DoNotOptimize(settings);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));

    // One more read, outside the timing, for its memory.
    start_heap_count();
    {
        LaunchSettings settings = read(text);
        benchmark::DoNotOptimize(settings);
    }
    const HeapUse heap = stop_heap_count();
    state.counters["input_bytes"] = benchmark::Counter(static_cast<double>(text.size()), benchmark::Counter::kDefaults,
                                                       benchmark::Counter::kIs1024);
    state.counters["allocations"] = static_cast<double>(heap.allocations);
    state.counters["peak_heap"] =
        benchmark::Counter(static_cast<double>(heap.peak_bytes), benchmark::Counter::kDefaults,
                           benchmark::Counter::kIs1024);
    state.counters["heap_per_input_byte"] = static_cast<double>(heap.peak_bytes) / static_cast<double>(text.size());
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    static const std::vector<Input> inputs = {
        {"typical", typical_settings_text()},
        {"crowded_64KiB", crowded_settings_text(64 * 1024)},
        {"start_page_1MiB", long_start_page_settings_text(1024 * 1024)},
    };
    for (const Input& input : inputs) {
        // A like-for-like comparison only holds while both sides read the same values.
        if (fields(parse_launch_settings(input.text)) != fields(settings_from_tree(input.text))) {
            std::fprintf(stderr, "%s: the launcher and the full parse read different settings\n", input.name.c_str());
            return 1;
        }
        benchmark::RegisterBenchmark((input.name + "/launcher").c_str(), [&input](benchmark::State& state) {
            time_reads(state, input.text, parse_launch_settings);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((input.name + "/nlohmann_json").c_str(), [&input](benchmark::State& state) {
            time_reads(state, input.text, settings_from_tree);
        })->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
