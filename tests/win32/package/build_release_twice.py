"""Builds the release twice, as two people would from one commit: once from
this checkout, once from a copy of it under a path with a blank, one after the
other, in different time zones and with different umasks, each as the README
says (the windows preset, the launcher alone, cpack) with deployment-like
endpoints. Both must give the same launcher, zip and SHA256SUMS. The first build's folder stays for test_package.py.

Then both folders are configured again to sign, with a test CA's code-signing
certificate and a throwaway OpenPGP key made here, and packed once more into
their signed/ folders, which must hold the same zip and SHA256SUMS too (the
OpenPGP signature carries the time it was made, so it is not compared). The
signed launcher's own properties are test_package.py's. Where a tool is
missing, the signing it needs is skipped, and said so.

The copy is not a git checkout, so it gets the time the README tells a
verifier to use: SOURCE_DATE_EPOCH=$(git log -1 --format=%ct), while the first
build finds the commit time itself. Outside a git checkout both use the
documented fallback."""

import filecmp
import os
import shlex
import shutil
import subprocess
import sys
import textwrap
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "e2e"))
import harness  # noqa: E402

PACKAGE = "orvalis-browser-%s-win64" % os.environ["ORVALIS_VERSION"]
# The programs of the release, each built, packed, summed and signed alike.
PROGRAMS = ("orvalis-browser.exe", "orvalis-browser-check.exe")
WORK = harness.BUILD / "release-twice"
# Names of a test domain: cpack refuses the example hosts.
ENDPOINTS = ["-DORVALIS_PRIMARY_DISCOVERY_URL=https://geoip.release-check.test/geoip?format=json",
             "-DORVALIS_FALLBACK_DISCOVERY_URL=https://myip.release-check.test/myip"]

FIRST = WORK / "first"
SECOND = WORK / "second copy" / "build"
# Each folder's signed release, packed by `cpack -B`.
SIGNED = "signed"
SIGNING = WORK / "signing"
TEST_CA = SIGNING / "test-ca.pem"
PKCS12 = SIGNING / "release signer.p12"
# Blanks, quotes and a shell's specials: it must reach osslsigncode as it is, and nowhere else.
PASSWORD = "Orvalis test pass 'phrase' \"$HOME\" `id` ; *"
SIGNING_URL = "https://release-check.test/orvalis-browser"
GNUPGHOME = SIGNING / "gnupg"
GPG_KEY = "release@release-check.test"
# What osslsigncode is started with, and with which environment: the stand-in
# in SIGNING / "bin" writes both here before it runs the real one.
OSSLSIGNCODE_RECORD = SIGNING / "osslsigncode-started-with.txt"
SIGNED_CPACK_OUTPUT = SIGNING / "cpack-output.txt"


def missing_tools(*tools):
    """Why the checks that need these tools cannot run here, or an empty string."""
    packages = {"openssl": "openssl", "osslsigncode": "osslsigncode", "gpg": "gnupg"}
    missing = [tool for tool in tools if not shutil.which(tool)]
    return "; ".join("%s is not installed (Debian package %s, which scripts/install-packages installs)"
                     % (tool, packages[tool]) for tool in missing)


AUTHENTICODE_SKIPPED = missing_tools("openssl", "osslsigncode")
OPENPGP_SKIPPED = missing_tools("gpg")


def signing_environment(environment):
    path = str(SIGNING / "bin") + os.pathsep + environment.get("PATH", "")
    return dict(environment, ORVALIS_SIGNING_PASSWORD=PASSWORD, GNUPGHOME=str(GNUPGHOME), PATH=path)


def stop_gpg_agent(home):
    """gpg leaves an agent for its home running; none of ours outlives the test."""
    if shutil.which("gpgconf"):
        subprocess.run(["gpgconf", "--kill", "gpg-agent"], env=dict(os.environ, GNUPGHOME=str(home)),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def openssl(folder, *arguments):
    subprocess.run(["openssl", *map(str, arguments)], cwd=folder, check=True, capture_output=True,
                   env=dict(os.environ, ORVALIS_SIGNING_PASSWORD=PASSWORD))


def issue_certificate(folder, name, subject, usage):
    """<name>.key and <name>.pem in folder: a certificate from the test CA for
    the extended key usage <usage>."""
    openssl(folder, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
            "-subj", subject)
    (folder / (name + ".ext")).write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                          "extendedKeyUsage=%s\n" % usage)
    openssl(folder, "x509", "-req", "-in", name + ".csr", "-CA", TEST_CA, "-CAkey", SIGNING / "ca.key",
            "-CAcreateserial", "-days", "30", "-extfile", name + ".ext", "-out", name + ".pem")


def make_signing_material():
    """A test CA and a code-signing certificate from it in a PKCS#12 file with
    PASSWORD, an OpenPGP key without passphrase in its own GnuPG home, and the
    stand-in that records how osslsigncode is started. Returns the signing
    settings for the configurations."""
    SIGNING.mkdir(parents=True)
    settings = []
    if not AUTHENTICODE_SKIPPED:
        openssl(SIGNING, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", TEST_CA,
                "-days", "30", "-subj", "/CN=Orvalis Release Test CA",
                "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
        issue_certificate(SIGNING, "signer", "/CN=Orvalis Release Test Signer", "codeSigning")
        openssl(SIGNING, "pkcs12", "-export", "-in", "signer.pem", "-inkey", "signer.key", "-certfile", TEST_CA,
                "-out", PKCS12, "-passout", "env:ORVALIS_SIGNING_PASSWORD")
        (SIGNING / "bin").mkdir()
        stand_in = SIGNING / "bin" / "osslsigncode"
        stand_in.write_text(textwrap.dedent("""\
            #!/bin/sh
            {{ printf '%s\\n' "$*"; env; }} >> {record}
            exec {real} "$@"
            """).format(record=shlex.quote(str(OSSLSIGNCODE_RECORD)), real=shlex.quote(shutil.which("osslsigncode"))))
        stand_in.chmod(0o755)
        settings += ["-DORVALIS_SIGNING_PKCS12=%s" % PKCS12, "-DORVALIS_SIGNING_URL=" + SIGNING_URL]
    if not OPENPGP_SKIPPED:
        GNUPGHOME.mkdir(mode=0o700)
        subprocess.run(["gpg", "--batch", "--passphrase", "", "--pinentry-mode", "loopback", "--quick-gen-key",
                        "Orvalis Release Test <%s>" % GPG_KEY, "ed25519", "sign", "never"],
                       env=dict(os.environ, GNUPGHOME=str(GNUPGHOME)), check=True, capture_output=True)
        settings += ["-DORVALIS_SIGNING_GPG_KEY=" + GPG_KEY]
    return settings


def build_release(source, binary, environment, umask):
    cmake, cpack = os.environ["ORVALIS_CMAKE"], os.environ["ORVALIS_CPACK"]
    for command in ([cmake, "-S", str(source), "--preset", "windows", "-B", str(binary), "-DBUILD_TESTING=OFF"]
                    + ENDPOINTS,
                    [cmake, "--build", str(binary), "--target", "orvalis-browser", "orvalis-browser-check", "--parallel", "2"],
                    [cpack, "--config", str(binary / "CPackConfig.cmake")]):
        subprocess.run(command, cwd=source, env=environment, check=True, stdout=subprocess.DEVNULL,
                       preexec_fn=lambda: os.umask(umask))


def sign_release(source, binary, environment, umask, settings):
    """The same build configured again to sign, and packed into its signed/
    folder; cpack's output is kept for test_package.py to search for the password."""
    cmake, cpack = os.environ["ORVALIS_CMAKE"], os.environ["ORVALIS_CPACK"]
    subprocess.run([cmake, "-S", str(source), "-B", str(binary)] + settings, cwd=source, env=environment,
                   check=True, stdout=subprocess.DEVNULL)
    with open(SIGNED_CPACK_OUTPUT, "ab") as output:
        subprocess.run([cpack, "--config", str(binary / "CPackConfig.cmake"), "-B", str(binary / SIGNED)],
                       cwd=source, env=signing_environment(environment), check=True, stdout=output,
                       stderr=subprocess.STDOUT, preexec_fn=lambda: os.umask(umask))


def first_difference(left, right):
    a, b = left.read_bytes(), right.read_bytes()
    offset = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    return "%d and %d bytes, first difference at offset %#x" % (len(a), len(b), offset)


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    copy = WORK / "second copy" / "sources"
    shutil.copytree(harness.ROOT, copy, ignore=lambda folder, names: [
        name for name in names if Path(folder) == harness.ROOT and name in ("build", ".git")])

    environment = {name: value for name, value in os.environ.items()
                   if name not in ("SOURCE_DATE_EPOCH", "ORVALIS_SIGNING_PASSWORD", "GNUPGHOME")}
    first_environment = dict(environment, TZ="UTC0")
    build_release(harness.ROOT, FIRST, first_environment, 0o022)

    commit_time = subprocess.run(["git", "-C", str(harness.ROOT), "log", "-1", "--format=%ct"],
                                 capture_output=True, text=True)
    if commit_time.returncode == 0 and (harness.ROOT / ".git").exists():
        environment["SOURCE_DATE_EPOCH"] = commit_time.stdout.strip()
    second_environment = dict(environment, TZ="NZST-12NZDT")
    build_release(copy, SECOND, second_environment, 0o077)

    compared = [(FIRST, SECOND, name) for name in PROGRAMS + (PACKAGE + ".zip", "SHA256SUMS")]
    for skipped in filter(None, (AUTHENTICODE_SKIPPED, OPENPGP_SKIPPED)):
        print("Signing checks skipped: " + skipped)
    if not (AUTHENTICODE_SKIPPED and OPENPGP_SKIPPED):
        settings = make_signing_material()
        try:
            sign_release(harness.ROOT, FIRST, first_environment, 0o022, settings)
            sign_release(copy, SECOND, second_environment, 0o077, settings)
        finally:
            stop_gpg_agent(GNUPGHOME)
        compared += [(FIRST / SIGNED, SECOND / SIGNED, name) for name in (PACKAGE + ".zip", "SHA256SUMS")]

    faults = []
    for first, second, name in compared:
        if not filecmp.cmp(first / name, second / name, shallow=False):
            faults.append("%s differs: %s" % (first / name, first_difference(first / name, second / name)))
    print((FIRST / "SHA256SUMS").read_text(), end="")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
