"""The Windows builds of curl beside the source tree, and Debian's dante as a
second real SOCKS5 server.

The builds lie in <source>/../shared/curl/<version>/curl.exe; their SHA-256
are the ones its README lists, so a wrong or damaged binary stops the tests
instead of proving something about another curl. Nothing is downloaded.
"""

import hashlib
import os
import shutil
import socket
import subprocess
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[3]
SHARED_CURL = ROOT.parent / "shared" / "curl"

# Version: SHA-256 of its curl.exe (shared/curl/README.md).
BUILDS = {
    "7.55.1": "69f0d8362657bef1e378c1e2556fbf3aab6c6a157cea2860562b27d2a4aa86d6",
    "8.4.0": "0b9229b1fe5c825e1f3f9db2a3ee47c636aedfd97b5de8a3b767304f809cc234",
    "8.21.0": "c9cf5b5c18abf1a866d110b888b3bad43d307b7407a05efda97a0d44b42dc3d1",
}
VERSIONS = tuple(BUILDS)


def build(version):
    """The checked path of one build; raises when it is missing or not that build."""
    path = SHARED_CURL / version / "curl.exe"
    if not path.is_file():
        raise RuntimeError(f"{path} is missing: the Windows curl builds must lie in ../shared/curl "
                           "beside the source tree")
    digest = hashlib.sha256(path.read_bytes()).hexdigest()
    if digest != BUILDS[version]:
        raise RuntimeError(f"{path} has SHA-256 {digest}, not the {BUILDS[version]} of curl {version}")
    return path


def install(version, system32_curl):
    """Copies the checked build into the prefix's system32 as curl.exe."""
    shutil.copyfile(build(version), system32_curl)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_listening(port, process, name):
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(f"{name} on port {port} ended with status {process.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return
        except OSError:
            time.sleep(0.02)
    raise RuntimeError(f"{name} on port {port} does not listen")


class Dante:
    """danted in the foreground on 127.0.0.1, no authentication, leaving
    through `exit_address`. It answers a CONNECT it cannot carry out with a
    SOCKS5 failure reply of its own: "connection refused" for a closed port,
    "host unreachable" for a name it cannot resolve."""

    def __init__(self, exit_address):
        danted = shutil.which("danted") or "/usr/sbin/danted"
        if not os.access(danted, os.X_OK):
            raise RuntimeError("danted is not installed (Debian package dante-server)")
        self.folder = tempfile.TemporaryDirectory(prefix="orvalis-dante-")
        self.port = free_port()
        config = Path(self.folder.name) / "danted.conf"
        config.write_text(
            f"logoutput: {self.folder.name}/danted.log\n"
            f"internal: 127.0.0.1 port = {self.port}\n"
            f"external: {exit_address}\n"
            "clientmethod: none\n"
            "socksmethod: none\n"
            "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
            "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n")
        # In the foreground (no -D), one mother process (-N 1), whose children end with it.
        self.process = subprocess.Popen([danted, "-f", str(config), "-N", "1", "-p", f"{self.folder.name}/pid"],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wait_listening(self.port, self.process, "danted")

    def stop(self):
        self.process.terminate()
        self.process.wait()
        self.folder.cleanup()
