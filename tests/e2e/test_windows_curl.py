"""Whole launches with Windows' own curl: each of the builds in ../shared/curl
(7.55.1, 8.4.0, 8.21.0) in turn as the prefix's system32 curl.exe, through
Debian's microsocks (with user and password) and the recording SOCKS5 proxy
(which answers a target it cannot reach with SOCKS5's "connection refused"),
against the geo-IP stand-in. The servers are shared by every case."""

import contextlib
import sys
import tempfile
import unittest
from pathlib import Path

import discovery_rig as rig_of
import harness
from discovery_rig import GEOIP_PORT
from harness import Rig
from test_discovery import STATIC_TAIL, settings

sys.path.insert(0, str(harness.ROOT / "tests" / "tools" / "curl"))
import real_curl_rig  # noqa: E402

EXIT = rig_of.PROXY_EXIT
USER = real_curl_rig.PROXY_USER
HARD_PASSWORD = real_curl_rig.PROXY_PASSWORD
LONG_PASSWORD = "".join(chr(ord("a") + i % 26) for i in range(255))
# curl 7.55.1 ends every SOCKS5 failure with 7; later ones with 97.
SOCKS_FAILURE = {"7.55.1": 7, "8.4.0": 97, "8.21.0": 97}
# A proxy name that does not resolve: 6 before curl 8.21, 5 since.
NAME_FAILURE = {"7.55.1": 6, "8.4.0": 6, "8.21.0": 5}
PERSONA = ["--webrtc-fake-public-ip=" + EXIT, "--force-webrtc-ip-handling-policy=default",
           "--timezone-override=Europe/Berlin", "--lang=de-DE", "--accept-language=de-DE,de;q=0.9,en;q=0.8",
           "--geo-lat=52.52", "--geo-lng=13.405", "--geo-accuracy=100"] + STATIC_TAIL


def json_text(value):
    return '"%s"' % value.replace("\\", "\\\\").replace('"', '\\"')


class WindowsCurl(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Checked first: a missing or wrong build fails the tests, never skips them.
        for version in real_curl_rig.VERSIONS:
            real_curl_rig.build(version)
        harness.ensure_prefix()
        cls.servers = real_curl_rig.Servers()
        cls.addClassCleanup(cls.servers.close)
        cls.servers.geoip(rig_of.FALLBACK_HOST, GEOIP_PORT)
        cls.guarded_port = cls.servers.microsocks("-u", USER, "-P", HARD_PASSWORD)
        cls.long_port = cls.servers.microsocks("-u", USER, "-P", LONG_PASSWORD)
        cls.recorder = cls.servers.recorder()
        cls.recorder6 = cls.servers.recorder("::1")
        cls.silent_port = cls.servers.silent()
        cls.closed_port = real_curl_rig.free_port()
        # A curl config folder whose .curlrc (and 7.55.1's _curlrc) would send the reply into a file.
        cls.curl_home = Path(cls.servers.enter_context(tempfile.TemporaryDirectory(prefix="orvalis-curl-home-")))
        for name in (".curlrc", "_curlrc"):
            (cls.curl_home / name).write_text('output = "%s"\n' % (cls.curl_home / "diverted"))

    def setUp(self):
        self.rig = Rig(launcher=harness.LOCAL_DISCOVERY_LAUNCHER)
        self.addCleanup(self.rig.cleanup)

    @contextlib.contextmanager
    def primary(self):
        """The primary endpoint's stand-in on 127.0.0.1, for as long as the block runs."""
        with real_curl_rig.Servers() as servers:
            yield servers.geoip("127.0.0.1", GEOIP_PORT)

    def for_each_curl(self, case):
        """Runs case(version) with each build in system32 in turn."""
        for version in real_curl_rig.VERSIONS:
            with self.subTest(curl=version):
                rig_of.install_real_curl(version)
                case(version)

    def recorder_proxy(self):
        return "socks5://127.0.0.1:%d" % self.recorder.server_address[1]

    def launch(self, proxy, env=None, **keys):
        """A launch that asks for the time zone and, should the probe fail,
        starts the engine anyway (no fallback probe, no pause)."""
        keys.setdefault("auto_timezone", 1)
        keys.setdefault("on_proxy_fail", '"fallback"')
        self.rig.write_settings(settings(proxy_server=json_text(proxy), **keys))
        return self.rig.launch(self.rig.profile_argument(), env=env)

    def assert_failed(self, launch, error_code, curl_exit_code):
        self.assertIsNotNone(launch.error_report, launch.result)
        self.assertEqual((launch.exit_code, launch.result["status"]), (0, "ok"))
        self.assertEqual((launch.error["error_code"], launch.error["curl_exit_code"]), (error_code, curl_exit_code))
        self.assertEqual(launch.error["message"], "curl exit %d against %s via %s after %d ms" % (
            curl_exit_code, rig_of.PRIMARY_URL, launch.error["proxy"], launch.error["elapsed_ms"]))

    def test_persona_and_logins_through_microsocks(self):
        guarded = "127.0.0.1:%d" % self.guarded_port

        def case(version):
            # The password holds U+00E9, U+FF02, a blank and " \ # / ? @ : %, each of
            # which curl gets only as %XX through its standard input; a curl config
            # file in CURL_HOME would send the reply elsewhere.
            launch = self.launch("socks5://%s:%s@%s" % (USER, HARD_PASSWORD, guarded), webrtc_no_leak=1,
                                 auto_geo=1, auto_lang=1, on_proxy_fail='"block"',
                                 env={"CURL_HOME": harness.win(self.curl_home)})
            self.assertEqual(launch.exit_code, 0, launch.error)
            self.assertEqual(launch.engine["argv"][2:], PERSONA)
            self.assertEqual((launch.result["ip"], launch.result["country_code"]), (EXIT, "DE"))
            self.assertIsNone(launch.error_report)
            self.assertFalse((self.curl_home / "diverted").exists())

            # A password of 255 bytes, and a %XX written in one keeps curl's meaning: %70 is the 'p'.
            for proxy in ("socks5://%s:%s@127.0.0.1:%d" % (USER, LONG_PASSWORD, self.long_port),
                          "socks5://%s:%%70%s@%s" % (USER, HARD_PASSWORD[1:], guarded)):
                launch = self.launch(proxy)
                self.assertEqual(launch.result["ip"], EXIT, launch.error)

            # A refused login, and a proxy that wants one that was not given.
            for proxy in ("socks5://%s:%sx@%s" % (USER, HARD_PASSWORD, guarded), "socks5://" + guarded):
                self.assert_failed(self.launch(proxy), "PROXY_AUTH_FAILED", SOCKS_FAILURE[version])
        with self.primary():
            self.for_each_curl(case)

    def test_failures_end_in_their_class(self):
        def case(version):
            # Down, even with NO_PROXY in the environment: a curl that obeyed
            # it would find the primary endpoint directly.
            with self.primary() as primary:
                launch = self.launch("socks5://127.0.0.1:%d" % self.closed_port,
                                     env={"NO_PROXY": "*", "no_proxy": "*"})
                self.assert_failed(launch, "PROXY_UNREACHABLE", 7)
                self.assertEqual(primary.clients, [])
                # An error page is no address; its report stays one line.
                primary.not_found = True
                launch = self.launch("socks5://%s:%s@127.0.0.1:%d" % (USER, HARD_PASSWORD, self.guarded_port))
                self.assertEqual((launch.error["error_code"], launch.error["curl_exit_code"]),
                                 ("DISCOVERY_HTTP_ERROR", 0))
                self.assertEqual(launch.error_report.count(b"\n"), 1)
                self.assertTrue(launch.error_report.endswith(b"}\n"))
            self.assert_failed(self.launch("socks5://no-such-proxy.invalid:1080"), "PROXY_UNREACHABLE",
                               NAME_FAILURE[version])
            # Nothing listens at the primary endpoint: the proxy says "connection refused".
            self.assert_failed(self.launch(self.recorder_proxy()), "PROXY_UNREACHABLE", SOCKS_FAILURE[version])
            # curl's own ten-second limit.
            launch = self.launch("socks5://127.0.0.1:%d" % self.silent_port)
            self.assert_failed(launch, "PROXY_TIMEOUT", 28)
            self.assertGreaterEqual(launch.error["elapsed_ms"], 9900)
            self.assertLess(launch.error["elapsed_ms"], 13000)
        self.for_each_curl(case)

    def test_without_its_input_curl_has_nothing_to_fetch(self):
        # The launcher's curl line (test_discovery checks it to the letter)
        # with a standard input that ends at once, as a curl that never gets
        # the config text meets it: the URL travels with the proxy, so curl
        # has no URL (2) rather than one it would ask directly.
        def case(_):
            code, _ = harness.run_windows(rig_of.system32_curl(), "-q", "-K", "-", "--socks5-basic", "--noproxy", "",
                                          "--ssl-no-revoke", "--max-time", "10", "-sS")
            self.assertEqual(code, 2)
        self.for_each_curl(case)

    def test_fallback_endpoint_answers_when_the_primary_cannot(self):
        def case(_):
            launch = self.launch(self.recorder_proxy(), auto_timezone=0, webrtc_no_leak=1)
            self.assertEqual(launch.engine["argv"][2:], [
                "--webrtc-fake-public-ip=" + EXIT, "--force-webrtc-ip-handling-policy=default"] + STATIC_TAIL)
            # The fallback's plain-text reply: the address and nothing else.
            self.assertEqual((launch.result["ip"], launch.result["provider"], launch.result["country_code"]),
                             (EXIT, rig_of.FALLBACK_HOST, ""))
            self.assertIsNone(launch.error_report)
        self.for_each_curl(case)

    def test_proxy_forms_reach_the_proxy_as_meant_or_not_at_all(self):
        # Each form as every one of the curls took it through the recording
        # proxy; the refused ones are those that some curl would send around
        # the proxy (8.4.0 for a control byte) or read otherwise (7.55.1
        # sends no credentials for an empty user).
        at = "127.0.0.1:%d" % self.recorder.server_address[1]
        long_user = "#" * 255  # 765 characters once encoded
        # A zone index reaches curl as written.
        at6 = "[::1%%251]:%d" % self.recorder6.server_address[1]
        accepted = [
            ("u:p@%s/x/" % at, "u", "p"),
            ("u:p@%s" % at6, "u", "p"),
            ("%s:p@%s" % (long_user, at), long_user, "p"),
            ("@%s" % at, None, None),
        ]
        refused = [
            ("u:a%%01b@%s" % at, "user or password holds a byte below 0x20, written or as %XX"),
            (":pw@%s" % at, "has a password but no user"),
            # Every curl reads the host before "/x": the probe would ask another proxy than the browser.
            ("u:p@127.0.0.1:%d/x@%s" % (self.closed_port, at),
             "user or password holds an '@' followed by '/', '?' or '#'"),
        ]

        def case(_):
            for value, user, password in accepted:
                recorder = self.recorder6 if "[" in value else self.recorder
                recorder.seen.clear()
                launch = self.launch("socks5://" + value)
                self.assertEqual(launch.result["ip"], EXIT, (value, launch.error))
                seen = recorder.seen[-1]
                self.assertEqual((seen["user"], seen["password"]),
                                 tuple(None if text is None else text.encode() for text in (user, password)),
                                 value)
                # No GSS-API (1), a Kerberos login as the Windows user: only none, and user/password with a user.
                self.assertEqual(seen["methods"], [0] if user is None else [0, 2], value)
            for value, rule in refused:
                self.recorder.seen.clear()
                asked = len(primary.clients)
                launch = self.launch("socks5://" + value)
                self.assertIsNotNone(launch.error_report, (value, launch.result))
                self.assertEqual(launch.error["message"], "proxy-server %s \u2014 curl not run" % rule, value)
                self.assertNotIn("curl_exit_code", launch.error)
                self.assertEqual((self.recorder.seen, len(primary.clients)), ([], asked), value)
        with self.primary() as primary:
            self.for_each_curl(case)


if __name__ == "__main__":
    unittest.main()
