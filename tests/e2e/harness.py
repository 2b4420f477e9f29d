"""Runs the real launcher under Wine, in a throw-away application folder beside
the fake engine, with an exact command line, and collects what it left: its
exit code, what the engine received, the two reports and the profile's files.

The build tree comes from ORVALIS_BUILD (the Windows build directory)."""

import json
import os
import re
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("ORVALIS_BUILD", ROOT / "build" / "windows")).resolve()
WINE_RUN = ROOT / "scripts" / "wine-run"
LAUNCHER = BUILD / "orvalis-browser.exe"
TOOLS = BUILD / "tools"
# The same launcher with its geo-IP URLs on loopback (see discovery_rig.py).
LOCAL_DISCOVERY_LAUNCHER = TOOLS / "local-discovery" / "orvalis-browser.exe"
# The launch check, built with the launcher it goes with.
CHECK = "orvalis-browser-check.exe"

# start-exact.exe's exit code when its CreateProcessW of the launcher failed.
START_FAILED = 101

RESULT_REPORT = ".orvalis-launcher-result.json"
ERROR_REPORT = ".orvalis-launcher-error.json"
# Every report a launch leaves, and every JSON the check writes, is copied here,
# for the schema check after the tests.
REPORT_ARCHIVE = BUILD / "e2e-reports"
# The result report's fields, in their order.
RESULT_FIELDS = ["schema", "ts", "status", "ip", "timezone", "country_code", "lat", "lng", "lang", "accept_lang",
                 "elapsed_ms", "provider", "error_code", "message", "launcher_version"]


def result_report(status, fields=None, error_code="", message="", elapsed_ms=r"\d+"):
    """The exact result report line as a pattern: the time stamp any, the text
    fields those of `fields` or empty, the elapsed time `elapsed_ms`."""
    fields = fields or {}
    text = '{"schema":1,"ts":"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ","status":"%s"' % status
    for name in ("ip", "timezone", "country_code", "lat", "lng", "lang", "accept_lang"):
        text += ',"%s":"%s"' % (name, re.escape(fields.get(name, "")))
    text += ',"elapsed_ms":%s,"provider":"%s","error_code":"%s","message":"%s","launcher_version":"0\\.24\\.0"}\n' % (
        elapsed_ms, re.escape(fields.get("provider", "")), error_code, re.escape(message))
    return text.encode()


def win(path):
    """The Windows name of a host path (Wine maps Z: to /)."""
    return "Z:" + str(path).replace("/", "\\")


def wine_prefix():
    return Path(os.environ.get("ORVALIS_WINEPREFIX", BUILD.parent / "wineprefix"))


def local_appdata():
    """The prefix's local application-data folder, where the fallback files live."""
    return wine_prefix() / "drive_c" / "users" / os.environ.get("USER", "root") / "AppData" / "Local"


def ensure_prefix():
    """Boots the project's Wine prefix (with its display) if it is not there yet."""
    subprocess.run(["bash", "-c", '. "$1"; orvalis_wine_setup', "-", str(ROOT / "scripts" / "wine-env")],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


def run_windows(program, *args, env=None, display=True, timeout=60, stdin=None, output=subprocess.PIPE, cwd=None,
                captured=None):
    """Runs a Windows program through the project's Wine runner, in the host folder
    `cwd` (Wine's current directory) when given; returns (exit code, seconds).
    Every Wine process started below it holds its output open, and the run
    lasts until the last of them has ended, unless `output` is DEVNULL. With a
    list as `captured`, its standard output is appended to it (bytes), and its
    errors go to the test's own."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    if not display:
        full_env["ORVALIS_NO_DISPLAY"] = "1"
    started = time.monotonic()
    done = subprocess.run([str(WINE_RUN), str(program), *map(str, args)], env=full_env, timeout=timeout,
                          stdin=subprocess.DEVNULL, stdout=output,
                          stderr=None if captured is not None else subprocess.STDOUT, cwd=cwd)
    if captured is not None:
        captured.append(done.stdout)
    return done.returncode, time.monotonic() - started


def start_tool(name, *args, cwd=None):
    """Starts one of tests/tools' programs under Wine, in the host folder `cwd`
    when given, without waiting for it."""
    return subprocess.Popen([str(WINE_RUN), str(TOOLS / name), *map(str, args)], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, cwd=cwd)


def close_window(after_ms, *message):
    """close-window.exe: closes the progress window `after_ms` after it appears,
    with WM_CLOSE as a user does, or with the window message `message`."""
    return start_tool("close-window.exe", "OrvalisBrowserLauncher", after_ms, "20000", *message)


# The sharing of a virus scanner, an indexer or a sync client: not delete.
SCANNER_SHARING = "rw"


@dataclass
class Launch:
    exit_code: int
    seconds: float
    engine: dict = None          # what the fake engine recorded, or None when it never started
    result_report: bytes = None  # the raw bytes, or None when absent
    error_report: bytes = None
    leftovers: list = field(default_factory=list)  # any *.tmp file left in the profile

    @property
    def result(self):
        return json.loads(self.result_report) if self.result_report is not None else None

    @property
    def error(self):
        return json.loads(self.error_report) if self.error_report is not None else None


class Rig:
    """One test's folders: an application folder with the launcher (and, unless
    told otherwise, the fake engine beside it) and a profile directory."""

    def __init__(self, with_engine=True, launcher=LAUNCHER):
        runs = BUILD / "e2e-runs"
        runs.mkdir(exist_ok=True)
        self.base = Path(tempfile.mkdtemp(prefix="launch-", dir=runs))
        self.app = self.base / "app dir"
        self.app.mkdir()
        shutil.copy2(launcher, self.app / "orvalis-browser.exe")
        if (Path(launcher).parent / CHECK).exists():
            shutil.copy2(Path(launcher).parent / CHECK, self.app / CHECK)
        if with_engine:
            shutil.copy2(TOOLS / "orvalis-browser-engine.exe", self.app / "orvalis-browser-engine.exe")
        self.profile = self.base / "profile"
        self.profile.mkdir()
        self.engine_record = self.base / "engine-record.json"

    def cleanup(self):
        shutil.rmtree(self.base, ignore_errors=True)

    def hold_file(self, test, path, *how, cwd=None):
        """Starts tests/tools' hold-file.exe on `path` with a scanner's sharing and
        the rest of its arguments `how`, in the host folder `cwd` (its current
        directory, which it then holds too) when given; `test` fails unless it
        holds the file, and waits for it at its end. Returns the process."""
        ready = self.base / "held"
        ready.unlink(missing_ok=True)
        holder = start_tool("hold-file.exe", win(path), SCANNER_SHARING, win(ready), *how, cwd=cwd)
        test.addCleanup(holder.wait, 30)
        deadline = time.monotonic() + 20
        while not ready.exists() and time.monotonic() < deadline and holder.poll() is None:
            time.sleep(0.05)
        test.assertTrue(ready.exists(), "%s was never held" % path.name)
        return holder

    def write_settings(self, text, where=None):
        target = (where or self.profile) / "command-line.json"
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(text.encode() if isinstance(text, str) else text)

    def profile_argument(self, directory=None):
        return '"--user-data-dir=%s"' % win(directory or self.profile)

    def launch(self, tail, env=None, display=True, expect_engine=True, report_dir=None, timeout=60,
               launcher_alone=False, cwd=None):
        """Starts the launcher with the command line `"<launcher>" <tail>` (or just
        the quoted path when tail is empty), in the current directory `cwd` when
        given, and waits for the engine's record. With `launcher_alone` the
        launch's seconds end when the launcher does, even while a program it
        started runs on."""
        self.engine_record.unlink(missing_ok=True)
        code, seconds = self._start("orvalis-browser.exe", tail, env, display=display, timeout=timeout, cwd=cwd,
                                    output=subprocess.DEVNULL if launcher_alone else subprocess.PIPE)
        engine = self._wait_for_engine(10 if expect_engine else 1.5)
        reports = Path(report_dir or self.profile)
        launch = Launch(code, seconds, engine, _read(reports / RESULT_REPORT), _read(reports / ERROR_REPORT),
                        sorted(p.name for p in reports.glob("*.tmp")) if reports.is_dir() else [])
        _archive(launch)
        return launch

    def check(self, tail, env=None, json_output=True, timeout=60):
        """Runs the launch check beside the launcher with the command line
        `"<check>" <tail>` (--check-json added first unless `json_output` is
        false); returns (exit code, its JSON object or its text)."""
        tail = "--check-json" + (" " + tail if tail else "") if json_output else tail
        captured = []
        code, _ = self._start(CHECK, tail, dict(env or {}, ORVALIS_PASS_OUTPUT="1"), timeout=timeout,
                              captured=captured)
        text = captured[-1].decode("utf-8")
        if not (json_output and text):
            return code, text
        REPORT_ARCHIVE.mkdir(exist_ok=True)
        handle, name = tempfile.mkstemp(prefix="check-", suffix=".json", dir=REPORT_ARCHIVE)
        with os.fdopen(handle, "wb") as archived:
            archived.write(captured[-1])
        return code, json.loads(text)

    def _start(self, program, tail, env, output=subprocess.PIPE, captured=None, **options):
        """Starts `program` of the application folder with the command line
        `"<program>" <tail>` (or just the quoted path when tail is empty) and
        waits for it; returns (exit code, seconds)."""
        line = '"%s"' % win(self.app / program) + (" " + tail if tail else "")
        line_file = self.base / "command-line.txt"
        line_file.write_bytes(line.encode("utf-8"))
        run_env = {"ORVALIS_FAKE_ENGINE_RECORD": win(self.engine_record)}
        run_env.update(env or {})
        # Wine now and then fails a CreateProcessW under load; the program has
        # not run at all then, so the start is made again.
        for _ in range(3):
            if captured is not None:
                captured.clear()
            code, seconds = run_windows(TOOLS / "start-exact.exe", win(self.app / program), win(line_file),
                                        env=run_env, output=output, captured=captured, **options)
            if code != START_FAILED:
                break
        return code, seconds

    def _wait_for_engine(self, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.engine_record.exists():
                return json.loads(self.engine_record.read_text(encoding="utf-8"))
            time.sleep(0.05)
        return None


def _archive(launch):
    REPORT_ARCHIVE.mkdir(exist_ok=True)
    for kind, report in (("result", launch.result_report), ("error", launch.error_report)):
        # Stale reports that the tests plant themselves are not the launcher's.
        if report is not None and report.startswith(b'{"schema":1'):
            handle, name = tempfile.mkstemp(prefix=kind + "-", suffix=".json", dir=REPORT_ARCHIVE)
            with os.fdopen(handle, "wb") as archived:
                archived.write(report)


def _read(path):
    try:
        return path.read_bytes()
    except (FileNotFoundError, NotADirectoryError):
        return None
