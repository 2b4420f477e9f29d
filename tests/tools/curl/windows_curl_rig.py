"""Runs a command with the real Windows curls at hand and the services they
meet on loopback, then tears those down.

    python3 windows_curl_rig.py CURLS_FOLDER COMMAND [ARG...]

CURLS_FOLDER holds one folder per curl version, each with its curl.exe (the
shared Windows builds, see ../shared/curl/README.md). Around the command: the
geo-IP stand-in, Debian's microsocks with user "orvalis" and the hard password
of real_curl_rig.py, leaving through 127.0.0.3, and the SOCKS5 greeting
recorder of socks5_greeting.py. The command learns them from the environment:
  ORVALIS_WINDOWS_CURLS   CURLS_FOLDER
  ORVALIS_CURL_VERSIONS   the versions, blank-separated
  ORVALIS_TEST_GEOIP_PORT, ORVALIS_TEST_AUTH_SOCKS_PORT, ORVALIS_TEST_PROXY_EXIT,
  ORVALIS_TEST_PROXY_USER, ORVALIS_TEST_PROXY_PASSWORD,
  ORVALIS_TEST_RECORDER_PORT, ORVALIS_TEST_RECORDER_FILE  the recorder and its record
The command's exit status is the rig's.
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import geoip_standin  # noqa: E402
import real_curl_rig  # noqa: E402
import socks5_greeting  # noqa: E402


def main(curls, command):
    versions = sorted(name for name in os.listdir(curls) if os.path.isfile(os.path.join(curls, name, "curl.exe")))
    if not versions:
        raise RuntimeError(f"no curl.exe under {curls}")
    with tempfile.TemporaryDirectory(prefix="orvalis-windows-curl-") as scratch:
        record = os.path.join(scratch, "greetings")
        open(record, "w").close()
        geoip = geoip_standin.start_geoip()
        recorder, recorder_port = socks5_greeting.start_recorder(record)
        proxy, proxy_port = real_curl_rig.start_microsocks("-u", real_curl_rig.PROXY_USER,
                                                           "-P", real_curl_rig.PROXY_PASSWORD)
        try:
            environment = real_curl_rig.probe_environment()
            environment.update({
                "ORVALIS_WINDOWS_CURLS": os.path.abspath(curls),
                "ORVALIS_CURL_VERSIONS": " ".join(versions),
                "ORVALIS_TEST_GEOIP_PORT": str(geoip.server_address[1]),
                "ORVALIS_TEST_AUTH_SOCKS_PORT": str(proxy_port),
                "ORVALIS_TEST_PROXY_EXIT": real_curl_rig.PROXY_EXIT,
                "ORVALIS_TEST_PROXY_USER": real_curl_rig.PROXY_USER,
                "ORVALIS_TEST_PROXY_PASSWORD": real_curl_rig.PROXY_PASSWORD,
                "ORVALIS_TEST_RECORDER_PORT": str(recorder_port),
                "ORVALIS_TEST_RECORDER_FILE": record,
            })
            return subprocess.call(command, env=environment)
        finally:
            proxy.terminate()
            proxy.wait()
            recorder.close()
            geoip.shutdown()


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
