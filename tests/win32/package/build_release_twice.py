"""Builds the release twice, as two people would from one commit: once from
this checkout, once from a copy of it under a path with a blank, one after the
other, in different time zones and with different umasks, each as the README
says (the windows preset, the launcher alone, cpack) with deployment-like
endpoints. Both must give the same launcher, zip and SHA256SUMS. The first build's folder stays for test_package.py.

The copy is not a git checkout, so it gets the time the README tells a
verifier to use: SOURCE_DATE_EPOCH=$(git log -1 --format=%ct), while the first
build finds the commit time itself. Outside a git checkout both use the
documented fallback."""

import filecmp
import os
import shutil
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "e2e"))
import harness  # noqa: E402

PACKAGE = "orvalis-browser-%s-win64" % os.environ["ORVALIS_VERSION"]
WORK = harness.BUILD / "release-twice"
# Names of a test domain: cpack refuses the example hosts.
ENDPOINTS = ["-DORVALIS_PRIMARY_DISCOVERY_URL=https://geoip.release-check.test/geoip?format=json",
             "-DORVALIS_FALLBACK_DISCOVERY_URL=https://myip.release-check.test/myip"]


def build_release(source, binary, environment, umask):
    cmake, cpack = os.environ["ORVALIS_CMAKE"], os.environ["ORVALIS_CPACK"]
    for command in ([cmake, "-S", str(source), "--preset", "windows", "-B", str(binary), "-DBUILD_TESTING=OFF"]
                    + ENDPOINTS,
                    [cmake, "--build", str(binary), "--target", "orvalis-browser", "--parallel", "2"],
                    [cpack, "--config", str(binary / "CPackConfig.cmake")]):
        subprocess.run(command, cwd=source, env=environment, check=True, stdout=subprocess.DEVNULL,
                       preexec_fn=lambda: os.umask(umask))


def first_difference(left, right):
    a, b = left.read_bytes(), right.read_bytes()
    offset = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    return "%d and %d bytes, first difference at offset %#x" % (len(a), len(b), offset)


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    copy = WORK / "second copy" / "sources"
    shutil.copytree(harness.ROOT, copy, ignore=lambda folder, names: [
        name for name in names if Path(folder) == harness.ROOT and name in ("build", ".git")])

    environment = {name: value for name, value in os.environ.items() if name != "SOURCE_DATE_EPOCH"}
    first = WORK / "first"
    build_release(harness.ROOT, first, dict(environment, TZ="UTC0"), 0o022)

    commit_time = subprocess.run(["git", "-C", str(harness.ROOT), "log", "-1", "--format=%ct"],
                                 capture_output=True, text=True)
    if commit_time.returncode == 0 and (harness.ROOT / ".git").exists():
        environment["SOURCE_DATE_EPOCH"] = commit_time.stdout.strip()
    second = WORK / "second copy" / "build"
    build_release(copy, second, dict(environment, TZ="NZST-12NZDT"), 0o077)

    faults = []
    for name in ("orvalis-browser.exe", PACKAGE + ".zip", "SHA256SUMS"):
        if not filecmp.cmp(first / name, second / name, shallow=False):
            faults.append("%s differs: %s" % (name, first_difference(first / name, second / name)))
    print((first / "SHA256SUMS").read_text(), end="")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
