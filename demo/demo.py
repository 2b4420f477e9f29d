"""Runs the real launcher twice under Wine and shows what happened; scripts/demo
starts it once the launcher is built and the prefix and display are up.

1. A profile whose settings ask for every automatic value, behind a real SOCKS5
   proxy (Debian's microsocks on loopback, leaving through 127.0.0.3) and
   Windows' own curl 8.21.0 (from ../shared/curl), against the local geo-IP
   stand-in on 127.0.0.1 and 127.0.0.2, port 47801, where this launcher's
   geo-IP URLs point.
2. A profile whose proxy is down: the launch is blocked, exit code 42.

For each it prints the settings, the exit code, what the engine received (the
fake engine records its arguments), both reports, and the path of a screenshot
of the progress window taken while it was up. Each launch's folders stay in
build/demo/<name>/, and its reports are also kept in build/demo/reports/
(result-*.json, error-*.json) for scripts/check-schemas.
Exit status 0 when both launches ended as they should."""

import json
import re
import shutil
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import discovery_rig  # noqa: E402
import harness  # noqa: E402
from discovery_rig import GEOIP_PORT, real_curl_rig  # noqa: E402

OUT = ROOT / "build" / "demo"
WINDOW_TITLE = "Preparing Orvalis Browser"


class WindowCamera:
    """Watches the X display for the progress window and keeps screenshots of it
    until it goes; the last one taken while the window was still there is the
    one kept, so it shows the window's final state."""

    def __init__(self, target):
        self.target = target
        self.saved = None
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)

    def __enter__(self):
        self.target.unlink(missing_ok=True)
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join(timeout=10)

    def _watch(self):
        window = None
        while window is None and not self._stop.is_set():
            window = _find_window()
            if window is None:
                time.sleep(0.05)
        shot = self.target.with_suffix(".partial.png")
        while window is not None:
            geometry = _viewable_geometry(window)
            if geometry is None:
                break
            captured = subprocess.run(["import", "-window", "root", "-crop", geometry, "+repage", str(shot)],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
            # A picture counts only if the window was still up when it was done.
            if captured and _viewable_geometry(window) is not None:
                shot.replace(self.target)
                self.saved = self.target
            time.sleep(0.1)
        shot.unlink(missing_ok=True)


def _xwininfo(*args):
    done = subprocess.run(["xwininfo", *args], capture_output=True, text=True, errors="replace")
    return done.stdout if done.returncode == 0 else ""


def _find_window():
    for line in _xwininfo("-root", "-tree").splitlines():
        if WINDOW_TITLE in line:
            return line.split()[0]
    return None


def _viewable_geometry(window):
    info = _xwininfo("-id", window)
    if "IsViewable" not in info:
        return None
    value = {name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
             for name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")}
    return "%dx%d+%d+%d" % (value["Width"], value["Height"], value["Absolute upper-left X"],
                            value["Absolute upper-left Y"])


def show(title, settings, kept, tail, launch, screenshot):
    print("\n" + "=" * 78)
    print(title)
    print("=" * 78)
    print("settings:  command-line.json")
    for line in json.dumps(settings, indent=2).splitlines():
        print("    " + line)
    print("launched:  orvalis-browser.exe " + tail)
    print("exit code: %d" % launch.exit_code)
    if launch.engine is None:
        print("engine:    not started")
    else:
        print("the engine received, one argument a line (0 is its own path):")
        for index, argument in enumerate(launch.engine["argv"]):
            print("    %2d  %s" % (index, argument))
    for name, report in ((harness.RESULT_REPORT, launch.result), (harness.ERROR_REPORT, launch.error)):
        if report is None:
            print(name + ": none")
        else:
            print(name + ":")
            for line in json.dumps(report, indent=2, ensure_ascii=False).splitlines():
                print("    " + line)
    print("window:    " + (str(screenshot) if screenshot else "no screenshot (the window was not seen)"))
    print("kept:      %s (the application folder, the profile, the engine's record)" % kept)


def run(name, title, settings, expect_engine):
    rig = harness.Rig(launcher=harness.LOCAL_DISCOVERY_LAUNCHER)
    try:
        rig.write_settings(json.dumps(settings, indent=2))
        # An argument of the caller's own, to show that it reaches the engine unchanged.
        tail = rig.profile_argument() + " --no-first-run"
        with WindowCamera(OUT / (name + "-window.png")) as camera:
            launch = rig.launch(tail, expect_engine=expect_engine, timeout=120)
        # Kept for a look afterwards, in place of the previous demo's.
        kept = OUT / name
        shutil.rmtree(kept, ignore_errors=True)
        shutil.move(str(rig.base), str(kept))
        show(title, settings, kept, tail, launch, camera.saved)
        return launch
    finally:
        rig.cleanup()


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    # The demo's reports are kept apart from the ones the launch tests archive.
    harness.REPORT_ARCHIVE = OUT / "reports"
    shutil.rmtree(harness.REPORT_ARCHIVE, ignore_errors=True)
    discovery_rig.install_real_curl("8.21.0")
    with real_curl_rig.Servers() as servers:
        try:
            for host in ("127.0.0.1", discovery_rig.FALLBACK_HOST):
                servers.geoip(host, GEOIP_PORT)
        except OSError as failure:
            sys.exit("demo: cannot serve the geo-IP stand-in on port %d (%s); is a test run using it?"
                     % (GEOIP_PORT, failure))
        proxy_port = servers.microsocks()
        automatic = {"proxy-server": "socks5://127.0.0.1:%d" % proxy_port, "webrtc-no-leak": True,
                     "auto-geo": True, "auto-lang": True, "auto-timezone": True, "on-proxy-fail": "block"}
        ok = run("every-automatic-value", "Every automatic value, through microsocks on 127.0.0.1:%d" % proxy_port,
                 automatic, expect_engine=True)
        closed = real_curl_rig.free_port()
        down = {"proxy-server": "socks5://127.0.0.1:%d" % closed, "auto-timezone": True, "auto-lang": True,
                "on-proxy-fail": "block"}
        blocked = run("proxy-down", "The proxy is down (nothing listens on 127.0.0.1:%d): the launch is blocked"
                      % closed, down, expect_engine=False)

    print("\nreports kept in " + str(harness.REPORT_ARCHIVE))
    expected = [("every automatic value", ok, 0, True), ("proxy down", blocked, 42, False)]
    wrong = [name for name, launch, code, engine in expected
             if launch.exit_code != code or (launch.engine is not None) != engine]
    if wrong:
        sys.exit("demo: unexpected outcome for " + ", ".join(wrong))


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        # Everything started here has been stopped on the way out.
        sys.exit("demo: interrupted")
