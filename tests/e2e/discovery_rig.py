"""What a launch with discovery needs around it: the curl.exe double in the
prefix's system32, playing a script, or one of Windows' own curl builds there
(with the servers of tests/tools/curl/real_curl_rig.py, the geo-IP stand-in on
the loopback addresses that the tests' launcher asks: 127.0.0.1 and 127.0.0.2,
port 47801)."""

import json
import shutil
import sys
import time
from pathlib import Path

import harness
from harness import win

sys.path.insert(0, str(harness.ROOT / "tests" / "tools" / "curl"))
import real_curl_rig  # noqa: E402

GEOIP_PORT = 47801
PRIMARY_URL = "http://127.0.0.1:%d/geoip?format=json" % GEOIP_PORT
FALLBACK_URL = "http://127.0.0.2:%d/myip" % GEOIP_PORT
FALLBACK_HOST = "127.0.0.2"
PROXY_EXIT = real_curl_rig.PROXY_EXIT


def system32_curl():
    return harness.wine_prefix() / "drive_c" / "windows" / "system32" / "curl.exe"


def install_curl_double():
    harness.ensure_prefix()
    shutil.copy2(harness.TOOLS / "curl" / "curl.exe", system32_curl())


def install_real_curl(version):
    """Windows' own curl of that version, checked, as the prefix's system32 curl.exe."""
    harness.ensure_prefix()
    real_curl_rig.install(version, system32_curl())


def install_curl_that_cannot_start():
    """A curl.exe that is there but is no program: a text file by that name."""
    harness.ensure_prefix()
    system32_curl().write_bytes(b"curl is not installed here\r\n")


def _write_script(path, steps):
    script = bytearray()
    for kind, value in steps:
        if kind in ("stdout", "stderr"):
            script += b"%s %d\n" % (kind.encode(), len(value)) + value
        else:
            script += b"%s %d\n" % (kind.encode(), value)
    path.write_bytes(bytes(script))
    return win(path)


def scripted_curl(rig, *steps, fallback=None):
    """The environment that makes the double play these steps on every run:
    ("stdout", bytes), ("stderr", bytes), ("sleep", ms) or ("exit", status);
    on runs against the fallback endpoint the steps of `fallback`, if given.
    The last run's raw command line (UTF-16LE) lands in rig.base / "curl-command-line",
    and the proxy it read from its standard input in rig.base / "curl-proxy"."""
    env = {"ORVALIS_CURL_SCRIPT": _write_script(rig.base / "curl-script", steps),
           "ORVALIS_CURL_RECORD": win(rig.base / "curl-command-line"),
           "ORVALIS_CURL_PROXY_RECORD": win(rig.base / "curl-proxy")}
    if fallback:
        env["ORVALIS_CURL_FALLBACK_SCRIPT"] = _write_script(rig.base / "curl-fallback-script", fallback)
    return env


def running_curls(rig):
    """The host processes of this rig's curl.exe doubles still running: Wine runs
    each Windows program as one, with the Windows environment as its own."""
    marker = b"ORVALIS_CURL_RECORD=" + win(rig.base / "curl-command-line").encode()
    found = []
    for process in Path("/proc").iterdir():
        if not process.name.isdigit():
            continue
        try:
            if b"curl.exe" in (process / "cmdline").read_bytes() and \
                    marker in (process / "environ").read_bytes().split(b"\0"):
                found.append(int(process.name))
        except OSError:
            continue
    return found


def wait_until_no_curl(rig, seconds):
    """The doubles still running after at most `seconds`."""
    deadline = time.monotonic() + seconds
    while (left := running_curls(rig)) and time.monotonic() < deadline:
        time.sleep(0.05)
    return left


def ended_mark(launch, ended):
    """What the double wrote to `ended` when it ended by itself (None when it
    did not), read once a curl of `launch` would have reached its own end."""
    time.sleep(max(0.0, 13 - launch.seconds))
    return ended.read_text() if ended.exists() else None


def json_reply(**fields):
    return ("stdout", json.dumps(fields).encode())
