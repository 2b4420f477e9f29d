"""Faults a launch must survive: it never crashes, hangs, leaves a .tmp file or
writes half a report, and the engine still starts where it should."""

import json
import subprocess
import unittest

import discovery_rig as rig_of
import harness
from harness import Rig, win
from test_discovery import settings



class Fault(unittest.TestCase):
    def setUp(self):
        self.rig = Rig(launcher=harness.LOCAL_DISCOVERY_LAUNCHER)
        self.addCleanup(self.rig.cleanup)

    def assert_whole_report(self, launch, status):
        self.assertEqual(list(json.loads(launch.result_report)), harness.RESULT_FIELDS)
        self.assertTrue(launch.result_report.endswith(b"}\n"))
        self.assertEqual(launch.result["status"], status)
        self.assertEqual(launch.leftovers, [])


class BrokenSettings(Fault):
    def test_unreadable_or_garbled_settings_fall_back_to_what_can_be_read(self):
        ten_mib = b'{"start-page": "https://s.example/", ' + b'"k": "' + b"v" * (10 << 20) + b'", "speech-voices": 1}'
        cases = {
            "empty": (b"", None),
            "binary": (bytes(range(256)) * 64, None),
            "all 0xFF": (b"\xff" * 4096, None),
            "cut inside a string": (b'{"start-page": "https://cut.example/', None),
            "ten MiB": (ten_mib, "https://s.example/"),
        }
        for name, (content, page) in cases.items():
            with self.subTest(name):
                self.rig.write_settings(content)
                launch = self.rig.launch(self.rig.profile_argument())
                self.assertEqual(launch.exit_code, 0)
                self.assertEqual(launch.engine["argv"][-1], page or "chrome://version")
                self.assert_whole_report(launch, "passthrough")

    def test_settings_file_that_is_a_folder(self):
        (self.rig.profile / "command-line.json").mkdir()
        launch = self.rig.launch(self.rig.profile_argument())
        self.assertEqual(launch.engine["argv"][-1], "chrome://version")
        self.assert_whole_report(launch, "passthrough")


class BrokenProfile(Fault):
    def test_profile_directory_that_does_not_exist(self):
        missing = self.rig.base / "no such profile"
        launch = self.rig.launch('"--user-data-dir=%s"' % win(missing), report_dir=missing)
        self.assertEqual(launch.exit_code, 0)
        self.assertIsNotNone(launch.engine)
        self.assertIsNone(launch.result_report)
        self.assertFalse(missing.exists(), "the launcher created the profile directory")

    def test_read_only_profile_directory(self):
        self.rig.write_settings('{"start-page": "https://ro.example/"}')
        # Root can write anywhere, so the folder is made immutable instead.
        if subprocess.run(["chattr", "+i", str(self.rig.profile)], capture_output=True).returncode != 0:
            self.skipTest("chattr +i is not permitted here")
        self.addCleanup(subprocess.run, ["chattr", "-i", str(self.rig.profile)])
        launch = self.rig.launch(self.rig.profile_argument())
        self.assertEqual(launch.engine["argv"][-1], "https://ro.example/")
        self.assertIsNone(launch.result_report)
        self.assertEqual(launch.leftovers, [])

    def test_report_held_open_by_another_program(self):
        report = self.rig.profile / harness.RESULT_REPORT
        self.rig.write_settings('{"speech-voices": 1}')
        with self.subTest("held for the whole launch: the old report stays, the launch goes on"):
            report.write_bytes(b'{"old":true}\n')
            holder = self.rig.hold_file(self, report, "8000")
            launch = self.rig.launch(self.rig.profile_argument())
            self.assertIsNone(holder.poll(), "the launch waited for the reader")
            self.assertEqual(launch.exit_code, 0)
            self.assertIsNotNone(launch.engine)
            self.assertEqual(report.read_bytes(), b'{"old":true}\n')
            self.assertEqual(list(self.rig.profile.glob("*.tmp")), [])
            self.assertEqual(holder.wait(timeout=30), 0)
        with self.subTest("let go 300 ms after the write began: the new report lands"):
            report.write_bytes(b'{"old":true}\n')
            holder = self.rig.hold_file(self, report, "15000", win(report.with_name(report.name + ".tmp")), "300")
            launch = self.rig.launch(self.rig.profile_argument())
            self.assertEqual(holder.wait(timeout=30), 0)
            self.assertIsNotNone(launch.engine)
            self.assert_whole_report(launch, "passthrough")


    def test_old_error_report_held_by_another_program(self):
        # Neither deleted nor replaced: the blocked launch's result report must
        # not send its reader to that report of another launch.
        rig_of.install_curl_double()
        report = self.rig.profile / harness.ERROR_REPORT
        report.write_bytes(b'{"old":true}\n')
        holder = self.rig.hold_file(self, report, "10000")
        self.rig.write_settings(settings(auto_timezone=1))
        launch = self.rig.launch(self.rig.profile_argument(), env=rig_of.scripted_curl(self.rig, ("exit", 7)),
                                 expect_engine=False)
        self.assertEqual(launch.exit_code, 42)
        self.assertEqual(launch.error_report, b'{"old":true}\n')
        self.assertEqual((launch.result["error_code"], launch.result["message"]),
                         ("PROXY_BLOCKED", "proxy check failed; no error report could be written"))
        self.assert_whole_report(launch, "blocked")
        self.assertEqual(holder.wait(timeout=30), 0)


class BrokenCurl(Fault):
    def setUp(self):
        super().setUp()
        rig_of.install_curl_double()

    def launch(self, *steps):
        self.rig.write_settings(settings(auto_timezone=1, on_proxy_fail='"fallback"'))
        return self.rig.launch(self.rig.profile_argument(), env=rig_of.scripted_curl(self.rig, *steps))

    def test_ten_mib_reply(self):
        launch = self.launch(("stdout", b"{" + b" " * (10 << 20) + b"}"), ("exit", 0))
        self.assertEqual(launch.error["error_code"], "DISCOVERY_HTTP_ERROR")
        self.assertIn("got %d bytes" % ((10 << 20) + 2), launch.error["message"])
        self.assertIsNotNone(launch.engine)
        self.assert_whole_report(launch, "ok")

    def test_curl_that_exists_but_cannot_be_started(self):
        rig_of.install_curl_that_cannot_start()
        self.addCleanup(rig_of.install_curl_double)
        launch = self.launch()
        error = launch.error
        self.assertEqual((error["error_code"], error["message"], error["elapsed_ms"]),
                         ("INTERNAL", "CreateProcess(curl.exe) failed", 0))
        self.assertNotIn("curl_exit_code", error)
        # The settings say fallback: the engine starts all the same.
        self.assertIsNotNone(launch.engine)
        self.assert_whole_report(launch, "ok")

    def test_curl_that_writes_until_its_time_limit(self):
        launch = self.launch(("flood", 10000), ("exit", 28))
        self.assertEqual(launch.error["error_code"], "PROXY_TIMEOUT")
        self.assertLess(launch.seconds, 30)
        self.assertIsNotNone(launch.engine)
        self.assert_whole_report(launch, "ok")


class EngineRefused(Fault):
    """An engine that CreateProcessW refuses, as a truncated update or a blocked
    one: a text file by its name (193, ERROR_BAD_EXE_FORMAT)."""

    def test_exit_1_a_box_and_the_report_replaced_after_maintenance(self):
        rig_of.install_curl_double()
        engine = self.rig.app / "orvalis-browser-engine.exe"
        engine.write_bytes(b"not a program\r\n")
        tabs, record = self.rig.profile / "Default" / "Current Tabs", self.rig.base / "dialog.json"
        tabs.parent.mkdir()
        discovery = settings(auto_timezone=1, close_previous_tabs="true")
        # Without a display the window and the box fail at once: the degraded road.
        for road, text, script, display in [
                ("passthrough", '{"close-previous-tabs": true}', (), True),
                ("ok", discovery, (rig_of.json_reply(ip="203.0.113.7"), ("exit", 0)), True),
                ("degraded", discovery, (), False)]:
            with self.subTest(road):
                self.rig.write_settings(text)
                tabs.write_bytes(b"tab")
                dismisser = display and subprocess.Popen(
                    [str(harness.WINE_RUN), str(harness.TOOLS / "dismiss-dialog.exe"), "Orvalis Browser", win(record),
                     "20000"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                launch = self.rig.launch(self.rig.profile_argument(), env=rig_of.scripted_curl(self.rig, *script),
                                         display=display, expect_engine=False)
                self.assertEqual(launch.exit_code, 1)
                self.assertEqual((launch.result["error_code"], launch.result["message"], launch.result["ip"]),
                                 ("ENGINE_START_FAILED", "CreateProcessW(orvalis-browser-engine.exe) failed with "
                                  "error 193", "203.0.113.7" if road == "ok" else ""))
                self.assert_whole_report(launch, road)
                self.assertFalse(tabs.exists(), "maintenance did not run before the engine")
                if dismisser:
                    self.assertEqual(dismisser.wait(timeout=30), 0, "no message box appeared")
                    head, words = json.loads(record.read_text(encoding="utf-8"))["text"].split("\n\n")[:2]
                    self.assertEqual(head, "Engine could not be started:\n" + win(engine))
                    self.assertRegex(words, r"^\S.* \(error 193\)$")


class LauncherInAJob(Fault):
    """Started inside a job that allows neither breakaway nor, by its UI
    limits, nesting on Windows 8 and later. Wine nests jobs all the same, so
    the launcher built as on Windows 7 (tests/tools/windows7_job_join_win32.cpp)
    is where the probe's job refuses curl; curl then runs in the caller's job."""

    WINDOWS7_LAUNCHER = harness.TOOLS / "windows7-jobs" / "orvalis-browser.exe"

    def setUp(self):
        super().setUp()
        rig_of.install_curl_double()

    def launch(self, rig, *steps, env=None, **options):
        env = dict(rig_of.scripted_curl(rig, *steps), ORVALIS_START_IN_JOB="1", **(env or {}))
        return rig.launch(rig.profile_argument(), env=env, **options)

    def test_a_working_proxy_is_not_blocked(self):
        for launcher in (harness.LOCAL_DISCOVERY_LAUNCHER, self.WINDOWS7_LAUNCHER):
            with self.subTest(launcher.parent.name):
                rig = Rig(launcher=launcher)
                self.addCleanup(rig.cleanup)
                rig.write_settings(settings(auto_timezone=1))
                launch = self.launch(rig, rig_of.json_reply(ip="203.0.113.7", timezone="Europe/Berlin"),
                                     ("exit", 0))
                self.assertEqual(launch.exit_code, 0)
                self.assertIsNone(launch.error_report)
                self.assertIn("--timezone-override=Europe/Berlin", launch.engine["argv"])

    def test_its_curl_ends_when_the_launcher_leaves_without_its_worker(self):
        # Another program closes the window while the probe runs; the
        # launcher waits 6 s for the worker, then leaves around it.
        rig = Rig(launcher=self.WINDOWS7_LAUNCHER)
        self.addCleanup(rig.cleanup)
        rig.write_settings(settings(webrtc_no_leak=1, on_proxy_fail='"fallback"'))
        ended = rig.base / "curl-ended"
        closer = harness.close_window(600, 0x0400 + 2)
        launch = self.launch(rig, ("sleep", 12000), ("exit", 7), launcher_alone=True,
                             env={"ORVALIS_CURL_ENDED": win(ended)})
        self.assertEqual(closer.wait(timeout=30), 0, "the window never appeared")
        self.assertEqual(launch.exit_code, 0)
        self.assertEqual(launch.error["message"],
                         "discovery worker still running 6000 ms after the progress window closed")
        self.assertLess(launch.seconds, 12)
        # No curl outlived it, not even one for the fallback endpoint.
        self.assertEqual(rig_of.wait_until_no_curl(rig, seconds=2), [])
        self.assertIsNone(rig_of.ended_mark(launch, ended), "curl ran to its own end")
        self.assertEqual(rig_of.running_curls(rig), [])


if __name__ == "__main__":
    unittest.main()
