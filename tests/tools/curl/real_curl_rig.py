"""Runs a command with the real thing around it on loopback, then tears it down.

    python3 real_curl_rig.py VERSION COMMAND [ARG...]

Around the command: Windows' curl of that version (one of ../shared/curl,
checked by its SHA-256), the geo-IP stand-in, a server that never answers, an
HTTPS server that resets every connection after the handshake,
Debian's microsocks twice (open, and with user "orvalis" and a password of
non-ASCII letters, a blank and the characters that end or split a URL's parts,
all of which reach curl only as %XX through its standard input), both leaving
through 127.0.0.3 so that the stand-in sees the proxy's own exit address, a
port that nobody listens on, and a curl config directory whose .curlrc and
_curlrc would send the reply into a file. The command learns them from the
environment:
  ORVALIS_CURL_DOUBLE      the curl.exe to put into the prefix's system32
  ORVALIS_TEST_CURL_VERSION  its version
  ORVALIS_TEST_GEOIP_PORT, ORVALIS_TEST_SILENT_PORT, ORVALIS_TEST_RESET_PORT,
  ORVALIS_TEST_CLOSED_PORT,
  ORVALIS_TEST_SOCKS_PORT, ORVALIS_TEST_AUTH_SOCKS_PORT,
  ORVALIS_TEST_PROXY_EXIT  127.0.0.3,
  ORVALIS_TEST_CURL_HOME   the directory with the diverting config files
The command's exit status is the rig's.
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import geoip_standin  # noqa: E402
import windows_curls  # noqa: E402
from windows_curls import free_port  # noqa: E402

PROXY_EXIT = "127.0.0.3"
PROXY_USER = "orvalis"
PROXY_PASSWORD = 'pass-\u00e9\uff02 "\\#/?@:%zz'


def start_microsocks(*credentials):
    microsocks = shutil.which("microsocks")
    if microsocks is None:
        raise RuntimeError("microsocks is not installed (Debian package microsocks)")
    port = free_port()
    process = subprocess.Popen([microsocks, "-i", "127.0.0.1", "-p", str(port), "-b", PROXY_EXIT, *credentials],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    windows_curls.wait_listening(port, process, "microsocks")
    return process, port


def probe_environment():
    """This environment without what would steer curl: the probe's own tests
    decide about these; nothing from outside may."""
    environment = dict(os.environ)
    for name in ("NO_PROXY", "no_proxy", "ALL_PROXY", "all_proxy", "http_proxy", "HTTPS_PROXY", "https_proxy",
                 "CURL_HOME"):
        environment.pop(name, None)
    return environment


def main(version, command):
    curl = windows_curls.build(version)
    proxies = []
    with tempfile.TemporaryDirectory(prefix="orvalis-curl-home-") as curl_home:
        # curl 7.55.1 on Windows reads _curlrc, later ones .curlrc first.
        for name in (".curlrc", "_curlrc"):
            with open(os.path.join(curl_home, name), "w") as curlrc:
                curlrc.write(f'output = "{os.path.join(curl_home, "diverted")}"\n')
        geoip = geoip_standin.start_geoip()
        silent, silent_port = geoip_standin.start_silent()
        resetting, reset_port = geoip_standin.start_tls_reset(curl_home)
        try:
            plain, plain_port = start_microsocks()
            proxies.append(plain)
            guarded, guarded_port = start_microsocks("-u", PROXY_USER, "-P", PROXY_PASSWORD)
            proxies.append(guarded)
            environment = probe_environment()
            environment.update({
                "ORVALIS_CURL_DOUBLE": str(curl),
                "ORVALIS_TEST_CURL_VERSION": version,
                "ORVALIS_TEST_GEOIP_PORT": str(geoip.server_address[1]),
                "ORVALIS_TEST_SILENT_PORT": str(silent_port),
                "ORVALIS_TEST_RESET_PORT": str(reset_port),
                "ORVALIS_TEST_CLOSED_PORT": str(free_port()),
                "ORVALIS_TEST_SOCKS_PORT": str(plain_port),
                "ORVALIS_TEST_AUTH_SOCKS_PORT": str(guarded_port),
                "ORVALIS_TEST_PROXY_EXIT": PROXY_EXIT,
                "ORVALIS_TEST_PROXY_USER": PROXY_USER,
                "ORVALIS_TEST_PROXY_PASSWORD": PROXY_PASSWORD,
                "ORVALIS_TEST_CURL_HOME": curl_home,
            })
            return subprocess.call(command, env=environment)
        finally:
            for process in proxies:
                process.terminate()
                process.wait()
            geoip.shutdown()
            silent.close()
            resetting.close()


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
