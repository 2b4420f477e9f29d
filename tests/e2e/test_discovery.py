"""Whole launches with discovery: the scripted curl.exe double for exact
replies and failures (the real curls of Windows: test_windows_curl)."""

import unittest

import discovery_rig as rig_of
import harness
import profile_tree
from discovery_rig import FALLBACK_URL, PRIMARY_URL, json_reply
from harness import Rig, result_report, win
from test_passthrough import machine_switches

PROXY = "socks5://127.0.0.1:1080"
STATIC_TAIL = machine_switches() + ["--speech-voices-preset=stock-chrome-windows", "chrome://version"]
BERLIN = json_reply(ip="203.0.113.7", country_code="DE", timezone="Europe/Berlin", latitude=52.52,
                    longitude="13.405")


def settings(**keys):
    keys.setdefault("proxy_server", '"%s"' % PROXY)
    return "{%s}" % ", ".join('"%s": %s' % (k.replace("_", "-"), v) for k, v in keys.items())


class DiscoveryLaunch(unittest.TestCase):
    def setUp(self):
        rig_of.install_curl_double()
        self.rig = Rig(launcher=harness.LOCAL_DISCOVERY_LAUNCHER)
        self.addCleanup(self.rig.cleanup)
        (self.rig.profile / harness.ERROR_REPORT).write_bytes(b'{"stale":true}\n')

    def launch(self, *steps, env=None, fallback=None, **options):
        env = dict(rig_of.scripted_curl(self.rig, *steps, fallback=fallback), **(env or {}))
        return self.rig.launch(self.rig.profile_argument(), env=env, **options)

    def user_arguments(self, launch):
        return launch.engine["argv"][2:]


class Success(DiscoveryLaunch):
    def test_every_value_derived_through_the_primary_endpoint(self):
        self.rig.write_settings(settings(webrtc_no_leak="true", auto_geo="1", auto_lang='"true"',
                                         auto_timezone="true"))
        # Started the way a caller with redirected pipes starts it: inheritance
        # on, and an inheritable handle of the caller's in the launcher.
        inherited = self.rig.base / "curl-inherited"
        launch = self.launch(("stderr", b""), BERLIN, ("exit", 0),
                             env={"ORVALIS_INHERITABLE_HANDLE": "1", "ORVALIS_CURL_INHERITED": win(inherited),
                                  "ORVALIS_CURL_URL_RECORD": win(self.rig.base / "curl-url")})
        self.assertEqual(launch.exit_code, 0)
        self.assertEqual(self.user_arguments(launch), [
            "--webrtc-fake-public-ip=203.0.113.7", "--force-webrtc-ip-handling-policy=default",
            "--timezone-override=Europe/Berlin", "--lang=de-DE", "--accept-language=de-DE,de;q=0.9,en;q=0.8",
            "--geo-lat=52.52", "--geo-lng=13.405", "--geo-accuracy=100"] + STATIC_TAIL)
        self.assertRegex(launch.result_report, result_report("ok", {
            "ip": "203.0.113.7", "timezone": "Europe/Berlin", "country_code": "DE", "lat": "52.52",
            "lng": "13.405", "lang": "de-DE", "accept_lang": "de-DE,de;q=0.9,en;q=0.8", "provider": "tessar"}))
        # The stale error report went when the worker started.
        self.assertIsNone(launch.error_report)
        curl_line = (self.rig.base / "curl-command-line").read_bytes().decode("utf-16-le")
        self.assertTrue(curl_line.endswith(
            ' -q -K - --socks5-basic --noproxy "" --ssl-no-revoke --max-time 10 -sS'), curl_line)
        self.assertEqual((self.rig.base / "curl-proxy").read_bytes(), b"socks5h://127.0.0.1:1080")
        self.assertEqual((self.rig.base / "curl-url").read_text(), PRIMARY_URL)
        # curl holds its output pipe and nothing else of the launcher's.
        self.assertEqual(inherited.read_text(), "not inherited\n")

    def test_values_the_settings_name_are_never_derived(self):
        # lang and geo-lat are named; accept-language and geo-lng are not.
        self.rig.write_settings(settings(webrtc_no_leak=1, webrtc_fake_public_ip='"198.51.100.1"', auto_lang=1,
                                         lang='"fr-FR"', auto_timezone=1, timezone_override='""', auto_geo=1,
                                         geo_lat="null", device_memory=8))
        launch = self.launch(BERLIN, ("exit", 0))
        self.assertEqual(self.user_arguments(launch), [
            "--force-webrtc-ip-handling-policy=default", "--accept-language=de-DE,de;q=0.9,en;q=0.8",
            "--geo-lng=13.405"] + STATIC_TAIL[1:])
        self.assertRegex(launch.result_report, result_report("ok", {
            "ip": "203.0.113.7", "timezone": "Europe/Berlin", "country_code": "DE", "lng": "13.405",
            "accept_lang": "de-DE,de;q=0.9,en;q=0.8", "provider": "tessar"}))

    def test_one_address_one_spelling_for_the_engine_and_the_report(self):
        # A dual-stack service answers an IPv4 client with an IPv4-mapped address.
        self.rig.write_settings(settings(webrtc_no_leak=1))
        for written, spelled in (("::FFFF:203.0.113.5", "203.0.113.5"), ("2001:0DB8:0:0:1:0:0:1", "2001:db8::1:0:0:1")):
            with self.subTest(written):
                launch = self.launch(json_reply(ip=written), ("exit", 0))
                self.assertEqual(self.user_arguments(launch)[0], "--webrtc-fake-public-ip=" + spelled)
                self.assertEqual(launch.result["ip"], spelled)

    def test_hostile_reply_values_stay_one_engine_argument_each(self):
        self.rig.write_settings(settings(auto_timezone=1, auto_geo=1))
        reply = json_reply(ip="203.0.113.7", timezone='Europe/Berlin" --disable-web-security "', latitude="1 2",
                           longitude="3\\")
        launch = self.launch(reply, ("exit", 0))
        self.assertEqual(self.user_arguments(launch), [
            # The longitude is read raw: its JSON escape stays two backslashes.
            '--timezone-override=Europe/Berlin" --disable-web-security "', "--geo-lat=1 2", "--geo-lng=3\\\\",
            "--geo-accuracy=100"] + STATIC_TAIL)


class Failure(DiscoveryLaunch):
    UNREACHABLE = (("stderr", b"curl: (7) Failed to connect to 127.0.0.1 port 1080\n"), ("exit", 7))

    def test_block_stops_the_launch_and_leaves_the_profile_alone(self):
        profile_tree.build(self.rig.profile, session_files=3)
        before = sorted(str(p.relative_to(self.rig.profile)) for p in self.rig.profile.rglob("*"))
        self.rig.write_settings(settings(auto_timezone=1, close_previous_tabs=1,
                                         granular_storage_reset='{"all": true}'))
        launch = self.launch(*self.UNREACHABLE, expect_engine=False)
        self.assertEqual(launch.exit_code, 42)
        self.assertIsNone(launch.engine)
        self.assertRegex(launch.result_report, result_report(
            "blocked", {"provider": "tessar"}, "PROXY_BLOCKED", "see .orvalis-launcher-error.json for details"))
        error = launch.error
        self.assertEqual(list(error), ["schema", "ts", "step", "error_code", "message", "proxy", "discovery_url",
                                       "curl_exit_code", "elapsed_ms", "launcher_version"])
        self.assertEqual((error["step"], error["error_code"], error["proxy"], error["discovery_url"],
                          error["curl_exit_code"]),
                         ("discover_proxy_ip", "PROXY_UNREACHABLE", PROXY, PRIMARY_URL, 7))
        self.assertEqual(error["message"], "curl exit 7 against %s via %s after %d ms" % (
            PRIMARY_URL, PROXY, error["elapsed_ms"]))
        self.assertEqual(launch.result["elapsed_ms"], error["elapsed_ms"])
        after = sorted(str(p.relative_to(self.rig.profile)) for p in self.rig.profile.rglob("*"))
        self.assertEqual([p for p in before if p not in after], [])

    def test_fallback_policy_starts_the_engine_without_derived_values(self):
        # No automatic value asked: the fallback endpoint is tried as well.
        self.rig.write_settings(settings(webrtc_no_leak=1, on_proxy_fail='"fallback"'))
        launch = self.launch(*self.UNREACHABLE)
        self.assertEqual(launch.exit_code, 0)
        self.assertEqual(self.user_arguments(launch), ["--force-webrtc-ip-handling-policy=default"] + STATIC_TAIL)
        self.assertRegex(launch.result_report, result_report("ok", {"provider": rig_of.FALLBACK_HOST}))
        self.assertEqual((launch.error["error_code"], launch.error["discovery_url"]),
                         ("PROXY_UNREACHABLE", FALLBACK_URL))
        self.assertEqual(launch.result["elapsed_ms"], launch.error["elapsed_ms"])

    def test_proxy_without_a_host_runs_no_curl_and_fails_as_the_settings_say(self):
        # curl before 7.65.0 takes such a value for no proxy at all and asks
        # the geo-IP service directly, from the machine's own address.
        message = "proxy-server is not socks5://[user[:password]@]host[:port] \u2014 curl not run"
        for value, policy in (("socks5://", '"block"'), ("socks5://user:pass@:1080", '"fallback"')):
            with self.subTest(value=value):
                self.rig.write_settings(settings(proxy_server='"%s"' % value, auto_timezone=1, on_proxy_fail=policy))
                (self.rig.base / "curl-command-line").unlink(missing_ok=True)
                launch = self.launch(BERLIN, ("exit", 0), expect_engine=policy == '"fallback"')
                self.assertFalse((self.rig.base / "curl-command-line").exists(), "curl ran")
                error = launch.error
                self.assertEqual((error["error_code"], error["message"], error["proxy"], error["elapsed_ms"]),
                                 ("INTERNAL", message, value, 0))
                self.assertNotIn("curl_exit_code", error)
                if policy == '"block"':
                    self.assertEqual((launch.exit_code, launch.engine, launch.result["status"]), (42, None, "blocked"))
                else:
                    self.assertEqual((launch.exit_code, launch.result["status"]), (0, "ok"))
                    self.assertEqual(self.user_arguments(launch), STATIC_TAIL)

    def test_unusable_reply_is_an_http_error_with_the_head_of_the_reply(self):
        # Rate limits and errors come with curl's exit 0; a NUL would cut the
        # engine's command line. Each fails the probe, and the settings decide
        # what follows: the fallback endpoint, blocking, or the bare engine.
        no_leak = ["--force-webrtc-ip-handling-policy=default"] + STATIC_TAIL
        cases = [
            (b"<html>" + b"x" * 100 + b"</html>", settings(auto_geo=1, on_proxy_fail='"fallback"'),
             PRIMARY_URL, STATIC_TAIL),
            (b"Too Many Requests\r\n", settings(webrtc_no_leak=1, on_proxy_fail='"fallback"'), FALLBACK_URL,
             no_leak),
            (b'{"ip":"unknown"}', settings(webrtc_no_leak=1, auto_timezone=1), PRIMARY_URL, None),
            (b'{"ip":"203.0.113.7","country_code":"DE","timezone":"Europe/Berlin\0"}',
             settings(webrtc_no_leak=1, auto_timezone=1, on_proxy_fail='"fallback"'), PRIMARY_URL, no_leak),
        ]
        for body, keys, last_url, engine_arguments in cases:
            with self.subTest(body=body):
                self.rig.write_settings(keys)
                launch = self.launch(("stdout", body), ("exit", 0), expect_engine=engine_arguments is not None)
                self.assertEqual((launch.error["error_code"], launch.error["curl_exit_code"],
                                  launch.error["discovery_url"]), ("DISCOVERY_HTTP_ERROR", 0, last_url))
                self.assertEqual(launch.error["message"],
                                 'curl exit 0 but no usable IP in response \u2014 got %d bytes, head: "%s"'
                                 % (len(body), body[:80].decode()))
                self.assertEqual(launch.result["ip"], "")
                if engine_arguments is None:
                    self.assertEqual((launch.exit_code, launch.engine, launch.result["status"]),
                                     (42, None, "blocked"))
                else:
                    self.assertEqual((launch.exit_code, launch.result["status"]), (0, "ok"))
                    self.assertEqual(self.user_arguments(launch), engine_arguments)


class LongProfile(DiscoveryLaunch):
    """A profile path of 250 characters puts both reports and their .tmp files
    past 260 characters, where Windows without long paths reaches them only by
    their "\\?\" names. Wine has no such limit: this shows that the launch
    works through those names, the Windows checklist that they are needed."""

    def test_both_reports_land_and_the_old_error_report_goes(self):
        stem = win(self.rig.profile)
        profile = self.rig.profile / ("p" * (250 - len(stem) - 1))
        self.assertEqual(len(win(profile)), 250)
        profile.mkdir()
        (profile / harness.ERROR_REPORT).write_bytes(b'{"stale":true}\n')
        self.rig.write_settings(settings(auto_timezone=1), where=profile)

        def launch(*steps, **options):
            env = rig_of.scripted_curl(self.rig, *steps)
            return self.rig.launch(self.rig.profile_argument(profile), env=env, report_dir=profile, **options)

        launch_ok = launch(BERLIN, ("exit", 0))
        self.assertEqual((launch_ok.result["status"], launch_ok.result["timezone"]), ("ok", "Europe/Berlin"))
        self.assertIsNone(launch_ok.error_report)
        launch_blocked = launch(*Failure.UNREACHABLE, expect_engine=False)
        self.assertEqual((launch_blocked.result["status"], launch_blocked.error["error_code"]),
                         ("blocked", "PROXY_UNREACHABLE"))
        self.assertEqual(launch_ok.leftovers + launch_blocked.leftovers, [])


class Cancelled(DiscoveryLaunch):
    """The user closes the window: exit 0, no result report, no engine, the
    profile untouched, whichever of the worker's checks sees it first."""

    def cancel(self, close_after_ms, *steps, settings_text=None, fallback=None, launcher_alone=False, env=None):
        profile_tree.build(self.rig.profile, session_files=2)
        self.rig.write_settings(settings_text or settings(auto_timezone=1, close_previous_tabs=1))
        closer = harness.close_window(close_after_ms)
        launch = self.launch(*steps, expect_engine=False, fallback=fallback, launcher_alone=launcher_alone, env=env)
        self.assertEqual(closer.wait(timeout=30), 0, "the window never appeared")
        self.assertEqual(launch.exit_code, 0)
        self.assertIsNone(launch.engine)
        self.assertIsNone(launch.result_report)
        self.assertTrue((self.rig.profile / "Default" / "Current Session").exists())
        return launch

    def test_before_the_probe(self):
        # The close must land within the 120 ms pause after the first step; a
        # busy machine can make the closer late, so it gets three chances.
        for _ in range(3):
            (self.rig.base / "curl-command-line").unlink(missing_ok=True)
            launch = self.cancel(0, BERLIN, ("exit", 0))
            if not (self.rig.base / "curl-command-line").exists():
                break
        self.assertFalse((self.rig.base / "curl-command-line").exists(), "a probe ran after the close")
        self.assertIsNone(launch.error_report)

    def test_during_a_slow_probe_or_the_pause_of_a_blocked_launch_the_outcome_is_still_stored(self):
        # A probe that fails at once has the close come during the 2.5 s pause, where it wins over the block.
        for close_after_ms, steps, error_code in ((600, (("sleep", 2000), ("exit", 28)), "PROXY_TIMEOUT"),
                                                  (1200, (("exit", 7),), "PROXY_UNREACHABLE")):
            with self.subTest(error_code):
                self.assertEqual(self.cancel(close_after_ms, *steps).error["error_code"], error_code)

    def test_during_a_fallback_probe_that_outlasts_the_wait(self):
        # The primary fails at once; the fallback probe is still running when
        # the launcher gives up waiting for it and exits around the worker.
        ended = self.rig.base / "curl-ended"
        launch = self.cancel(1500, ("exit", 7), settings_text=settings(webrtc_no_leak=1, close_previous_tabs=1),
                             fallback=(("sleep", 12000), ("exit", 28)), launcher_alone=True,
                             env={"ORVALIS_CURL_ENDED": win(ended),
                                  "ORVALIS_CURL_URL_RECORD": win(self.rig.base / "curl-url")})
        self.assertEqual((self.rig.base / "curl-url").read_text(), FALLBACK_URL)
        # Well before the probe could have ended: the launcher did not wait for it.
        self.assertLess(launch.seconds, 12)
        self.assertIsNone(launch.error_report)
        self.assertEqual(launch.leftovers, [])
        # Its curl went with it, within a moment, and never reached its own end:
        # the mark is still the primary's.
        self.assertEqual(rig_of.wait_until_no_curl(self.rig, seconds=2), [])
        self.assertEqual(rig_of.ended_mark(launch, ended), "ended 7\n")


class WorkerStillRunning(DiscoveryLaunch):
    """Another program asks the window to close, as only the worker should,
    while the probe still runs: the launcher waits for the worker, then counts
    the discovery as failed, and the settings decide."""

    def test_the_settings_decide_and_the_error_report_says_why(self):
        ended = self.rig.base / "curl-ended"
        for policy, exit_code in (("block", 42), ("fallback", 0)):
            with self.subTest(policy):
                self.rig.write_settings(settings(auto_timezone=1, on_proxy_fail='"%s"' % policy))
                ended.unlink(missing_ok=True)
                closer = harness.close_window(600, 0x0400 + 2)
                launch = self.launch(("sleep", 12000), BERLIN, ("exit", 0), expect_engine=policy == "fallback",
                                     launcher_alone=True, env={"ORVALIS_CURL_ENDED": win(ended)})
                self.assertEqual(closer.wait(timeout=30), 0, "the window never appeared")
                self.assertEqual(launch.exit_code, exit_code)
                self.assertEqual((launch.error["error_code"], launch.error["message"]), (
                    "INTERNAL", "discovery worker still running 6000 ms after the progress window closed"))
                self.assertEqual(launch.error["proxy"], PROXY)
                if policy == "block":
                    self.assertIsNone(launch.engine)
                    self.assertRegex(launch.result_report, result_report(
                        "blocked", {}, "PROXY_BLOCKED", "see .orvalis-launcher-error.json for details"))
                else:
                    self.assertEqual(self.user_arguments(launch), STATIC_TAIL)
                    self.assertRegex(launch.result_report, result_report("ok", {}))
                self.assertEqual(rig_of.wait_until_no_curl(self.rig, seconds=2), [])
        self.assertIsNone(rig_of.ended_mark(launch, ended), "curl ran to its own end")


if __name__ == "__main__":
    unittest.main()
