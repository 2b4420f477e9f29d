#include "launcher/engine_switches.hpp"
#include "tests/common/windows_argv_split.hpp"

#include <gtest/gtest.h>

namespace {

const HardwareFigures machine{L"16", L"8"};

TEST(DeviceMemoryClass, MapsGibibytesToTheClassTable)
{
    const double gib = 1024.0 * 1024.0 * 1024.0;
    const struct {
        double gibibytes;
        int expected;
    } cases[] = {{0, 1}, {1.4, 1}, {1.5, 2}, {2.99, 2}, {3, 4}, {5.9, 4}, {6, 8}, {11.9, 8},
                 {12, 16}, {23.9, 16}, {24, 32}, {64, 32}};
    for (const auto& c : cases)
        EXPECT_EQ(device_memory_class(static_cast<std::uint64_t>(c.gibibytes * gib)), c.expected) << c.gibibytes;
}

TEST(StaticSwitches, HardwareVoicesAndStartPage)
{
    LaunchSettings settings;
    EXPECT_EQ(static_switches(settings, machine),
              L"--device-memory=16 --hardware-concurrency=8 --speech-voices-preset=stock-chrome-windows "
              L"chrome://version");
    settings.has_device_memory = settings.has_hardware_concurrency = settings.has_speech_voices = true;
    EXPECT_EQ(static_switches(settings, machine), L"chrome://version");
    settings.has_speech_voices = false;
    settings.start_page = "https://a.example/x y";
    EXPECT_EQ(static_switches(settings, {L"", L""}),
              L"--speech-voices-preset=stock-chrome-windows \"https://a.example/x y\"");
    // A start page is quoted even when nothing in it needs quotes.
    settings.start_page = "https://a.example/x";
    EXPECT_EQ(static_switches(settings, {L"", L""}),
              L"--speech-voices-preset=stock-chrome-windows \"https://a.example/x\"");
    // The derived persona never appears without discovery.
    settings.webrtc_no_leak = true;
    EXPECT_EQ(static_switches(settings, {L"", L""}).find(L"webrtc"), std::wstring::npos);
}

TEST(DiscoverySwitches, PersonaInItsOrderThenTheStaticText)
{
    LaunchSettings settings;
    settings.webrtc_no_leak = true;
    LaunchState state;
    state.fake_public_ip = L"203.0.113.7";
    state.timezone_override = L"Europe/Berlin";
    state.lang = L"de-DE";
    state.accept_language = L"de-DE,de;q=0.9,en;q=0.8";
    state.geo_lat = L"52.5";
    state.geo_lng = L"13.4";
    EXPECT_EQ(discovery_switches(settings, state, machine),
              L"--webrtc-fake-public-ip=203.0.113.7 --force-webrtc-ip-handling-policy=default "
              L"--timezone-override=Europe/Berlin --lang=de-DE --accept-language=de-DE,de;q=0.9,en;q=0.8 "
              L"--geo-lat=52.5 --geo-lng=13.4 --geo-accuracy=100 --device-memory=16 --hardware-concurrency=8 "
              L"--speech-voices-preset=stock-chrome-windows chrome://version");

    // One coordinate alone gets no accuracy; nothing derived leaves only the static part.
    LaunchState partial;
    partial.geo_lat = L"1";
    settings.webrtc_no_leak = false;
    settings.has_device_memory = settings.has_hardware_concurrency = settings.has_speech_voices = true;
    EXPECT_EQ(discovery_switches(settings, partial, machine), L"--geo-lat=1 chrome://version");
    EXPECT_EQ(discovery_switches(settings, LaunchState{}, machine), L"chrome://version");
}

TEST(EngineCommandLine, QuotedEnginePathThenArgumentsThenSwitches)
{
    EXPECT_EQ(engine_command_line(L"C:\\o b\\e.exe", L"", L"chrome://version"), L"\"C:\\o b\\e.exe\" chrome://version");
    EXPECT_EQ(engine_command_line(L"C:\\e.exe", L"--user-data-dir=C:\\p  --x", L"s"),
              L"\"C:\\e.exe\" --user-data-dir=C:\\p  --x s");
}

// Values from the settings file and the network can hold anything; each item the
// launcher adds must still reach the engine as exactly one argument.
TEST(EngineCommandLine, HostileValuesStayOneArgumentEach)
{
    LaunchSettings settings;
    settings.has_device_memory = settings.has_hardware_concurrency = true;
    LaunchState state;
    state.timezone_override = L"Europe/Berlin --disable-web-security";
    state.lang = L"x\" --evil \"";
    state.geo_lat = L"1\\";
    state.geo_lng = L"2\\\" --evil";
    for (const std::string& page : {std::string("https://a.example/\" --evil-switch"),
                                   std::string("C:\\dir with blank\\"), std::string("C:\\trailing\\\\"),
                                   std::string("plain")}) {
        settings.start_page = page;
        const std::wstring line =
            engine_command_line(L"C:\\e.exe", L"--keep", discovery_switches(settings, state, machine));
        const auto argv = split_windows_command_line(line);
        const std::vector<std::wstring> expected = {
            L"C:\\e.exe", L"--keep", L"--timezone-override=Europe/Berlin --disable-web-security",
            L"--lang=x\" --evil \"", L"--geo-lat=1\\", L"--geo-lng=2\\\" --evil", L"--geo-accuracy=100",
            L"--speech-voices-preset=stock-chrome-windows", std::wstring(page.begin(), page.end())};
        EXPECT_EQ(argv, expected) << std::string(line.begin(), line.end());
    }
}

} // namespace
