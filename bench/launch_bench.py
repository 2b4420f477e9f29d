"""Launch latency under Wine, from the CreateProcessW that starts a program to
the first instruction of the engine, both read from QueryPerformanceCounter
(one clock across Wine processes):

1. four starters run in turn, each `--runs` times: the fake engine started
   directly, the reference launcher (bench/reference_launcher_win32.cpp), the
   same with the launcher's DLL imports, and our launcher on the passthrough
   path; each `--compare LABEL EXE` adds another launcher among them, such
   as ours built without stack protection (scripts/bench-launch does that) or
   an earlier build, and is weighed against ours;
2. our launcher on the discovery path, with the scripted curl.exe answering at
   once, less the worker's fixed pauses; beside it, curl.exe started directly,
   for what one start of it costs under Wine;
3. the launch check (orvalis-browser-check.exe) on the discovery settings of 2,
   from its start to its end, beside the launch's own time less the pauses
   and beside one curl -V run of the same curl, all started in turn;
4. our launcher on the passthrough path with profile maintenance (the previous
   session and every kind of site storage, the session folder holding
   `--session-files` files), in turn with the same launch asking for none, for
   ours and each `--compare` launcher; the profile is made anew before each
   start, outside the timed span.

Only prints figures. Needs the Windows build; scripts/bench-launch builds it
and runs this.
    python3 bench/launch_bench.py [--runs N] [--warm-up N] [--compare LABEL EXE]... [--no-discovery]
                                  [--session-files N] [--only-maintenance] [--only-check]"""

import argparse
import json
import shutil
import statistics
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import discovery_rig  # noqa: E402
import harness  # noqa: E402
import profile_tree  # noqa: E402
from harness import Rig, win  # noqa: E402

REFERENCE_LAUNCHER = harness.BUILD / "bench" / "reference-launcher.exe"
REFERENCE_LAUNCHER_IMPORTS = harness.BUILD / "bench" / "reference-launcher-imports.exe"
# 120 + 180 + 120 + 80 ms of a discovery that is not blocked; 120 of them come
# before curl is started.
WORKER_PAUSES_MS = 500
PAUSES_BEFORE_CURL_MS = 120
TARGET_RATIO = 1.15
# Ours against the reference that loads the same DLLs: what the launcher's own work may cost.
TARGET_IMPORTS_RATIO = 1.05
TARGET_DISCOVERY_MS = 100

# A profile manager's usual file that asks for nothing automatic.
PASSTHROUGH_SETTINGS = json.dumps({
    "proxy-server": "http://127.0.0.1:3128", "user-agent": "Mozilla/5.0 (Windows NT 10.0; Win64; x64)",
    "platform": "Win32", "screen-width": 1920, "screen-height": 1080, "lang": "en-US",
    "timezone-override": "Europe/London", "close-previous-tabs": False,
    "start-page": "https://start.example/home", "granular-storage-reset": {"cookies": False, "cache_storage": False},
    "webrtc-no-leak": False, "on-proxy-fail": "fallback"}, indent=2)
DISCOVERY_SETTINGS = json.dumps({
    "proxy-server": "socks5://127.0.0.1:1080", "webrtc-no-leak": True, "auto-geo": True, "auto-lang": True,
    "auto-timezone": True, "on-proxy-fail": "block"}, indent=2)
MAINTENANCE_SETTINGS = json.dumps({
    "proxy-server": "http://127.0.0.1:3128", "close-previous-tabs": True, "granular-storage-reset": {"all": True}})
NO_MAINTENANCE_SETTINGS = json.dumps({
    "proxy-server": "http://127.0.0.1:3128", "close-previous-tabs": False, "granular-storage-reset": {}})
GEOIP_REPLY = discovery_rig.json_reply(ip="203.0.113.7", country_code="DE", timezone="Europe/Berlin",
                                       latitude=52.52, longitude=13.405)


@dataclass
class Start:
    engine: dict  # what the fake engine recorded
    counter: int  # the performance counter just before CreateProcessW
    frequency: int

    def ms_until(self, counter):
        return 1000.0 * (counter - self.counter) / self.frequency

    @property
    def ms(self):
        """From CreateProcessW to the engine's first instruction."""
        return self.ms_until(self.engine["qpc"])


class Starter:
    """One way of getting the engine started: a program in its own application
    folder beside the fake engine, and its command line. Without a launcher
    the engine itself is started."""

    def __init__(self, label, launcher, settings=PASSTHROUGH_SETTINGS):
        self.label = label
        self.rig = Rig(launcher=launcher or harness.LAUNCHER)
        self.application = self.rig.app / ("orvalis-browser.exe" if launcher else "orvalis-browser-engine.exe")
        self.rig.write_settings(settings)
        self.line = '"%s" %s --no-first-run' % (win(self.application), self.rig.profile_argument())
        self.env = {}
        self.failed_starts = 0
        self.prepare = None  # called before each start, outside the timed span

    def start(self):
        """Starts the program once and waits for the engine. Wine now and then
        fails a CreateProcessW under load; such a start is counted and made again."""
        for _ in range(3):
            start = self._start_once()
            if start is not None:
                return start
            self.failed_starts += 1
        raise RuntimeError("%s: CreateProcessW failed three times in a row" % self.label)

    def _start_once(self):
        rig = self.rig
        if self.prepare is not None:
            self.prepare(rig.profile)
        line_file, counter_file = rig.base / "command-line.txt", rig.base / "counter.txt"
        line_file.write_bytes(self.line.encode("utf-8"))
        counter_file.unlink(missing_ok=True)
        rig.engine_record.unlink(missing_ok=True)
        env = {"ORVALIS_FAKE_ENGINE_RECORD": win(rig.engine_record)}
        env.update(self.env)
        code, _ = harness.run_windows(harness.TOOLS / "start-exact.exe", win(self.application), win(line_file),
                                      win(counter_file), env=env)
        if code == harness.START_FAILED:
            return None
        record = wait_for(rig.engine_record)
        if code != 0 or record is None:
            raise RuntimeError("%s: exit code %d, engine %s" % (self.label, code, "started" if record else "not started"))
        counter, frequency = map(int, counter_file.read_text().split()[:2])
        return Start(record, counter, frequency)


def wait_for(record_path, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if record_path.exists():
            return json.loads(record_path.read_text(encoding="utf-8"))
        time.sleep(0.005)
    return None


def spread(samples):
    """Median, 10th and 90th percentile, and the interquartile range."""
    deciles = statistics.quantiles(samples, n=10, method="inclusive")
    quartiles = statistics.quantiles(samples, n=4, method="inclusive")
    return statistics.median(samples), deciles[0], deciles[-1], quartiles[2] - quartiles[0]


def print_failed_starts(starters):
    for starter in starters:
        if starter.failed_starts:
            print("  %s: %d start(s) failed in CreateProcessW and were made again" % (
                starter.label, starter.failed_starts))


def print_row(label, samples):
    median, p10, p90, iqr = spread(samples)
    print("  %-30s %5d %9.2f %9.2f %9.2f %9.2f" % (label, len(samples), median, p10, p90, iqr))


def launch_latency(runs, warm_up, compared):
    starters = [Starter("fake engine started directly", None),
                Starter("reference launcher", REFERENCE_LAUNCHER),
                Starter("reference + launcher's imports", REFERENCE_LAUNCHER_IMPORTS),
                Starter("our launcher, passthrough", harness.LAUNCHER)]
    starters += [Starter(label, Path(launcher)) for label, launcher in compared]
    samples = {starter.label: [] for starter in starters}
    try:
        for round_number in range(warm_up + runs):
            # Each round starts with a different starter, so none always follows the same one.
            shift = round_number % len(starters)
            for starter in starters[shift:] + starters[:shift]:
                start = starter.start()
                if round_number >= warm_up:
                    samples[starter.label].append(start.ms)
    finally:
        for starter in starters:
            starter.rig.cleanup()

    print("Launch latency: CreateProcessW of the starter to the engine's first instruction (ms)")
    print("  %-30s %5s %9s %9s %9s %9s" % ("starter", "runs", "median", "p10", "p90", "IQR"))
    for label, values in samples.items():
        print_row(label, values)
    direct, reference, reference_imports, ours, *others = (statistics.median(v) for v in samples.values())
    print("  ours / reference launcher: %.3f   (target <= %.2f: %s)" % (
        ours / reference, TARGET_RATIO, "met" if ours / reference <= TARGET_RATIO else "MISSED"))
    print("  ours / engine started directly: %.3f" % (ours / direct))
    print("  reference launcher / engine started directly: %.3f" % (reference / direct))
    print("  of ours - reference (%.1f ms): loading the launcher's DLLs %.1f ms, the launcher's own work %.1f ms" % (
        ours - reference, reference_imports - reference, ours - reference_imports))
    print("  ours / reference + launcher's imports: %.3f   (target <= %.2f: %s)" % (
        ours / reference_imports, TARGET_IMPORTS_RATIO,
        "met" if ours / reference_imports <= TARGET_IMPORTS_RATIO else "MISSED"))
    for (label, _), other in zip(compared, others):
        print("  %s / reference + launcher's imports: %.3f; ours - it: %.1f ms (ours / it: %.3f)" % (
            label, other / reference_imports, ours - other, ours / other))
    print_failed_starts(starters)


def discovery_latency(runs, warm_up):
    discovery_rig.install_curl_double()
    starter = Starter("our launcher, discovery", harness.LOCAL_DISCOVERY_LAUNCHER, settings=DISCOVERY_SETTINGS)
    curl_entry = starter.rig.base / "curl-entry.txt"
    starter.env = discovery_rig.scripted_curl(starter.rig, GEOIP_REPLY, ("exit", 0))
    starter.env["ORVALIS_CURL_TIMING"] = win(curl_entry)
    totals, before_curl, after_curl, curl_alone = [], [], [], []
    try:
        for round_number in range(warm_up + runs):
            curl_entry.unlink(missing_ok=True)
            curl_ms = curl_started_directly(starter, curl_entry)
            curl_entry.unlink(missing_ok=True)
            start = starter.start()
            # A launch whose discovery failed would time another road.
            if "--timezone-override=Europe/Berlin" not in start.engine["argv"]:
                raise RuntimeError("discovery did not succeed: %s" % start.engine["argv"])
            if round_number < warm_up:
                continue
            curl_started = start.ms_until(int(curl_entry.read_text().split()[0]))
            totals.append(start.ms - WORKER_PAUSES_MS)
            before_curl.append(curl_started - PAUSES_BEFORE_CURL_MS)
            after_curl.append(start.ms - curl_started - (WORKER_PAUSES_MS - PAUSES_BEFORE_CURL_MS))
            curl_alone.append(curl_ms)
    finally:
        starter.rig.cleanup()

    print("Discovery path, scripted curl answering at once, less the worker's %d ms of pauses (ms)" % WORKER_PAUSES_MS)
    print("  %-30s %5s %9s %9s %9s %9s" % ("span", "runs", "median", "p10", "p90", "IQR"))
    print_row("launcher start to engine start", totals)
    print_row("  launcher start to curl start", before_curl)
    print_row("  curl start to engine start", after_curl)
    print_row("curl.exe started directly", curl_alone)
    median = statistics.median(totals)
    print("  target < %d ms: %s" % (TARGET_DISCOVERY_MS, "met" if median < TARGET_DISCOVERY_MS else "MISSED"))
    print_failed_starts([starter])


def curl_started_directly(starter, curl_entry):
    """Milliseconds from CreateProcessW of the curl double, started by itself
    with the launcher's environment, to its first instruction."""
    curl = "C:\\windows\\system32\\curl.exe"
    line_file, counter_file = starter.rig.base / "curl-line.txt", starter.rig.base / "curl-counter.txt"
    line_file.write_bytes(('"%s" -q -sS http://127.0.0.1:47801/' % curl).encode("utf-8"))
    code, _ = harness.run_windows(harness.TOOLS / "start-exact.exe", curl, win(line_file), win(counter_file),
                                  env=starter.env)
    if code != 0:
        raise RuntimeError("curl.exe started directly: exit code %d" % code)
    counter, frequency = map(int, counter_file.read_text().split()[:2])
    return 1000.0 * (int(curl_entry.read_text().split()[0]) - counter) / frequency


def program_run_ms(rig, program, line, env):
    """Milliseconds from CreateProcessW of `program` (a Windows path) with the
    command line `line` to its end, and its exit code."""
    line_file, counter_file = rig.base / "timed-line.txt", rig.base / "timed-counter.txt"
    line_file.write_bytes(line.encode("utf-8"))
    counter_file.unlink(missing_ok=True)
    code, _ = harness.run_windows(harness.TOOLS / "start-exact.exe", program, win(line_file), win(counter_file),
                                  env=dict(env, ORVALIS_FAKE_ENGINE_RECORD=win(rig.engine_record)))
    before, frequency, after = map(int, counter_file.read_text().split())
    return 1000.0 * (after - before) / frequency, code


def check_cost(runs, warm_up):
    """The check against what it stands for: the launch's discovery to the
    engine's start (less the worker's pauses) and one run of curl -V."""
    discovery_rig.install_curl_double()
    starter = Starter("our launcher, discovery", harness.LOCAL_DISCOVERY_LAUNCHER, settings=DISCOVERY_SETTINGS)
    starter.env = discovery_rig.scripted_curl(starter.rig, GEOIP_REPLY, ("exit", 0))
    rig = starter.rig
    check = win(rig.app / harness.CHECK)
    check_line = '"%s" --check-json %s --no-first-run' % (check, rig.profile_argument())
    curl = "C:\\windows\\system32\\curl.exe"
    checks, launches, curl_runs = [], [], []
    try:
        for round_number in range(warm_up + runs):
            # In turn, each round starting with another of the three.
            timed = [
                lambda: checks.append(program_run_ms(rig, check, check_line, starter.env)),
                lambda: launches.append(starter.start().ms - WORKER_PAUSES_MS),
                lambda: curl_runs.append(program_run_ms(rig, curl, '"%s" -q -V' % curl, starter.env)),
            ]
            shift = round_number % len(timed)
            for run in timed[shift:] + timed[:shift]:
                run()
            if round_number < warm_up:
                for samples in (checks, launches, curl_runs):
                    samples.clear()
    finally:
        rig.cleanup()
    if any(code != 0 for _, code in checks):
        raise RuntimeError("the check foretold another launch: exit codes %s" % [code for _, code in checks])

    print("Launch check on the discovery settings, scripted curl answering at once (ms)")
    print("  %-30s %5s %9s %9s %9s %9s" % ("run", "runs", "median", "p10", "p90", "IQR"))
    check_ms = [ms for ms, _ in checks]
    curl_ms = [ms for ms, _ in curl_runs]
    print_row("check, start to end", check_ms)
    print_row("launch less pauses, to engine", launches)
    print_row("curl -V, start to end", curl_ms)
    budget = statistics.median(launches) + statistics.median(curl_ms)
    median = statistics.median(check_ms)
    print("  check - (launch + curl -V): %.1f ms   (target <= 0: %s)" % (
        median - budget, "met" if median <= budget else "MISSED"))
    print_failed_starts([starter])


def maintenance_latency(runs, warm_up, session_files, compared):
    """The same passthrough launch with and without maintenance, in turn, for
    ours and each compared launcher."""
    def fresh_profile(profile):
        shutil.rmtree(profile / "Default", ignore_errors=True)
        for name in ("ShaderCache", "GraphiteDawnCache", "GPUCache"):
            shutil.rmtree(profile / name, ignore_errors=True)
        profile_tree.build(profile, session_files=session_files)

    launchers = [("ours", harness.LAUNCHER)] + [(label, Path(launcher)) for label, launcher in compared]
    starters = []
    for label, launcher in launchers:
        starters += [Starter("%s without maintenance" % label, launcher, settings=NO_MAINTENANCE_SETTINGS),
                     Starter("%s with maintenance" % label, launcher, settings=MAINTENANCE_SETTINGS)]
    for starter in starters:
        starter.prepare = fresh_profile
    samples = {starter.label: [] for starter in starters}
    try:
        for round_number in range(warm_up + runs):
            shift = round_number % len(starters)
            for starter in starters[shift:] + starters[:shift]:
                start = starter.start()
                if round_number >= warm_up:
                    samples[starter.label].append(start.ms)
        for starter in starters[1::2]:
            left = [name for name in profile_tree.removed_items() if (starter.rig.profile / name).exists()]
            if left:
                raise RuntimeError("%s left %s" % (starter.label, left))
    finally:
        for starter in starters:
            starter.rig.cleanup()

    print("Profile maintenance, passthrough, a session folder of %d files (ms)" % session_files)
    print("  %-30s %5s %9s %9s %9s %9s" % ("launch", "runs", "median", "p10", "p90", "IQR"))
    for label, values in samples.items():
        print_row(label, values)
    medians = [statistics.median(values) for values in samples.values()]
    for (label, _), without, with_maintenance in zip(launchers, medians[0::2], medians[1::2]):
        print("  %s: maintenance costs %.1f ms" % (label, with_maintenance - without))
    print_failed_starts(starters)


def main():
    options = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    options.add_argument("--runs", type=int, default=30, help="timed starts of each starter (default 30)")
    options.add_argument("--warm-up", type=int, default=3, help="untimed starts first (default 3)")
    options.add_argument("--compare", nargs=2, action="append", default=[], metavar=("LABEL", "EXE"),
                         help="another launcher to time among the others, e.g. one built without stack protection")
    options.add_argument("--no-discovery", action="store_true", help="leave out the discovery path")
    options.add_argument("--session-files", type=int, default=300,
                         help="files in the session folder of the maintenance case (default 300)")
    options.add_argument("--only-maintenance", action="store_true", help="run the maintenance case alone")
    options.add_argument("--only-check", action="store_true", help="run the launch check's case alone")
    arguments = options.parse_args()
    harness.ensure_prefix()
    if arguments.only_check:
        check_cost(arguments.runs, arguments.warm_up)
        return
    if not arguments.only_maintenance:
        launch_latency(arguments.runs, arguments.warm_up, arguments.compare)
        print()
        if not arguments.no_discovery:
            discovery_latency(arguments.runs, arguments.warm_up)
            print()
            check_cost(arguments.runs, arguments.warm_up)
            print()
    maintenance_latency(arguments.runs, arguments.warm_up, arguments.session_files, arguments.compare)


if __name__ == "__main__":
    main()
