"""The real thing on loopback: Windows' own curl builds beside the source
tree, and the servers they talk to (`Servers`). Used by the launch tests, the
demo and the probe's benchmark, which runs as

    python3 real_curl_rig.py VERSION COMMAND [ARG...]

with, around the command, Windows' curl of that version (checked by its
SHA-256), the geo-IP stand-in, an HTTPS server that resets every connection
after the handshake, and Debian's microsocks leaving through 127.0.0.3, so
that the stand-in sees the proxy's own exit address. The command learns them
from the environment:
  ORVALIS_CURL_DOUBLE      the curl.exe to put into the prefix's system32
  ORVALIS_TEST_CURL_VERSION  its version
  ORVALIS_TEST_GEOIP_PORT, ORVALIS_TEST_RESET_PORT, ORVALIS_TEST_SOCKS_PORT,
  ORVALIS_TEST_PROXY_EXIT  127.0.0.3
The command's exit status is the rig's.

The builds lie in <source>/../shared/curl/<version>/curl.exe; their SHA-256
are the ones its README lists, so a wrong or damaged binary stops the tests
instead of proving something about another curl. Nothing is downloaded.
"""

import contextlib
import hashlib
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import geoip_standin  # noqa: E402
import socks5_recorder  # noqa: E402

ROOT = Path(__file__).resolve().parents[3]
SHARED_CURL = ROOT.parent / "shared" / "curl"

# Version: SHA-256 of its curl.exe (shared/curl/README.md).
BUILDS = {
    "7.55.1": "69f0d8362657bef1e378c1e2556fbf3aab6c6a157cea2860562b27d2a4aa86d6",
    "8.4.0": "0b9229b1fe5c825e1f3f9db2a3ee47c636aedfd97b5de8a3b767304f809cc234",
    "8.21.0": "c9cf5b5c18abf1a866d110b888b3bad43d307b7407a05efda97a0d44b42dc3d1",
}
VERSIONS = tuple(BUILDS)

PROXY_EXIT = "127.0.0.3"
PROXY_USER = "orvalis"
PROXY_PASSWORD = 'pass-\u00e9\uff02 "\\#/?@:%zz'


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


def _wait_listening(port, process):
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(f"microsocks on port {port} ended with status {process.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return
        except OSError:
            time.sleep(0.02)
    raise RuntimeError(f"microsocks on port {port} does not listen")


class Servers(contextlib.ExitStack):
    """The servers of one test, each stopped when the block ends."""

    def geoip(self, host="127.0.0.1", port=0):
        """The geo-IP stand-in; its port is server.server_address[1]."""
        server = geoip_standin.start_geoip(host, port)
        self.callback(server.server_close)
        self.callback(server.shutdown)
        return server

    def silent(self):
        """A listener that never says a word; its port."""
        listener, port = geoip_standin.start_silent()
        self.callback(listener.close)
        return port

    def microsocks(self, *credentials):
        """Debian's microsocks on 127.0.0.1, leaving through PROXY_EXIT, with
        `-u USER -P PASSWORD` when given; its port."""
        microsocks = shutil.which("microsocks")
        if microsocks is None:
            raise RuntimeError("microsocks is not installed (Debian package microsocks)")
        port = free_port()
        process = subprocess.Popen([microsocks, "-i", "127.0.0.1", "-p", str(port), "-b", PROXY_EXIT, *credentials],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.callback(process.wait)
        self.callback(process.terminate)
        _wait_listening(port, process)
        return port

    def tls_reset(self):
        """The HTTPS listener that resets each connection after the handshake; its port."""
        folder = self.enter_context(tempfile.TemporaryDirectory(prefix="orvalis-reset-"))
        listener, port = geoip_standin.start_tls_reset(folder)
        self.callback(listener.close)
        return port

    def recorder(self, host="127.0.0.1"):
        """The recording SOCKS5 proxy on `host`, leaving through PROXY_EXIT; `seen` holds what each client said."""
        server = socks5_recorder.start(PROXY_EXIT, host=host)
        self.callback(server.server_close)
        self.callback(server.shutdown)
        return server


def main(version, command):
    curl = build(version)
    with Servers() as servers:
        environment = dict(os.environ)
        environment.update({
            "ORVALIS_CURL_DOUBLE": str(curl),
            "ORVALIS_TEST_CURL_VERSION": version,
            "ORVALIS_TEST_GEOIP_PORT": str(servers.geoip().server_address[1]),
            "ORVALIS_TEST_RESET_PORT": str(servers.tls_reset()),
            "ORVALIS_TEST_SOCKS_PORT": str(servers.microsocks()),
            "ORVALIS_TEST_PROXY_EXIT": PROXY_EXIT,
        })
        return subprocess.call(command, env=environment)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
