"""Whole launches that need no discovery: the missing engine, and passthrough."""

import json
import os
import re
import unittest

import harness
from harness import Rig, win


PASSTHROUGH_REPORT = harness.result_report("passthrough", elapsed_ms="0")


def machine_switches():
    """The hardware switches this machine should get, computed independently."""
    with open("/proc/meminfo") as meminfo:
        total_kib = int(re.search(r"MemTotal:\s+(\d+)", meminfo.read()).group(1))
    gib = total_kib * 1024 / 2 ** 30
    memory = next(c for limit, c in [(24, 32), (12, 16), (6, 8), (3, 4), (1.5, 2), (0, 1)] if gib >= limit)
    return ["--device-memory=%d" % memory, "--hardware-concurrency=%d" % os.cpu_count()]


class EngineMissing(unittest.TestCase):
    def test_message_box_exit_1_and_no_report_touched(self):
        rig = Rig(with_engine=False)
        self.addCleanup(rig.cleanup)
        stale = b'{"stale":true}\n'
        (rig.profile / harness.RESULT_REPORT).write_bytes(stale)
        (rig.profile / harness.ERROR_REPORT).write_bytes(stale)
        dialog_record = rig.base / "dialog.json"
        # The test plays the user: it waits for the box and presses OK.
        dismisser = harness.start_tool("dismiss-dialog.exe", "Orvalis Browser", win(dialog_record), "20000")
        launch = rig.launch(rig.profile_argument(), expect_engine=False)
        self.assertEqual(dismisser.wait(timeout=30), 0, "no message box appeared")
        self.assertEqual(launch.exit_code, 1)
        box = json.loads(dialog_record.read_text(encoding="utf-8"))
        engine = win(rig.app / "orvalis-browser-engine.exe")
        self.assertEqual(box["caption"], "Orvalis Browser")
        self.assertEqual(box["text"], "Engine binary not found:\n%s\n\nReinstall Orvalis Browser." % engine)
        self.assertEqual(len(box["buttons"]), 1)
        self.assertTrue(box["icon"])
        self.assertEqual(launch.result_report, stale)
        self.assertEqual(launch.error_report, stale)
        self.assertIsNone(launch.engine)


class Passthrough(unittest.TestCase):
    def setUp(self):
        self.rig = Rig()
        self.addCleanup(self.rig.cleanup)

    def test_arguments_pass_untouched_and_switches_follow(self):
        # Odd spacing, quotes and backslashes: none of it is re-quoted.
        tail = '--first  %s   "--x=a b" c\\"d  e\\\\ ' % self.rig.profile_argument()
        launch = self.rig.launch(tail)
        self.assertEqual(launch.exit_code, 0)
        switches = machine_switches() + ["--speech-voices-preset=stock-chrome-windows", "chrome://version"]
        engine = win(self.rig.app / "orvalis-browser-engine.exe")
        self.assertEqual(launch.engine["command_line"], '"%s" %s %s' % (engine, tail, " ".join(switches)))
        self.assertEqual(launch.engine["argv"][1:],
                         ["--first", "--user-data-dir=" + win(self.rig.profile), "--x=a b", 'c"d', "e\\\\"]
                         + switches)
        self.assertRegex(launch.result_report, PASSTHROUGH_REPORT)
        self.assertIsNone(launch.error_report)
        self.assertEqual(launch.leftovers, [])

    def test_no_arguments_at_all(self):
        os.makedirs(harness.local_appdata() / "Orvalis", exist_ok=True)
        launch = self.rig.launch("")
        self.assertEqual(launch.exit_code, 0)
        engine = win(self.rig.app / "orvalis-browser-engine.exe")
        self.assertEqual(launch.engine["command_line"], '"%s" %s' % (
            engine, " ".join(machine_switches() + ["--speech-voices-preset=stock-chrome-windows", "chrome://version"])))

    def test_settings_suppress_switches_and_the_start_page_comes_last(self):
        self.rig.write_settings('{"device-memory": null, "hardware-concurrency": 4, "speech-voices": "",'
                                ' "start-page": "https://start.example/a b", "webrtc-no-leak": true,'
                                ' "proxy-server": "http://127.0.0.1:1"}')
        launch = self.rig.launch(self.rig.profile_argument())
        self.assertEqual(launch.engine["argv"][1:],
                         ["--user-data-dir=" + win(self.rig.profile), "https://start.example/a b"])
        self.assertTrue(launch.engine["command_line"].endswith(' "https://start.example/a b"'))
        self.assertRegex(launch.result_report, PASSTHROUGH_REPORT)

    def test_hostile_start_page_stays_one_argument(self):
        for page in ['https://x.example/" --evil-switch "', 'C:\\pages\\', 'a\\"b c\\\\']:
            with self.subTest(page=page):
                escaped = page.replace("\\", "\\\\").replace('"', '\\"')
                self.rig.write_settings('{"start-page": "%s", "speech-voices": 1, "device-memory": 1,'
                                        ' "hardware-concurrency": 1}' % escaped)
                launch = self.rig.launch(self.rig.profile_argument())
                self.assertEqual(launch.engine["argv"][1:], ["--user-data-dir=" + win(self.rig.profile), page])

    def test_user_data_dir_rules(self):
        other = self.rig.base / "other profile"
        other.mkdir()
        self.rig.write_settings('{"speech-voices": 1}', where=other)
        # An empty first switch is skipped; the quoted value loses its quotes;
        # the capitalised switch is ignored.
        tail = '--user-data-dir= --USER-DATA-DIR=%s "--user-data-dir=%s" %s' % (
            win(self.rig.profile), win(other), self.rig.profile_argument())
        launch = self.rig.launch(tail, report_dir=other)
        self.assertNotIn("--speech-voices-preset=stock-chrome-windows", launch.engine["argv"])
        self.assertRegex(launch.result_report, PASSTHROUGH_REPORT)
        self.assertFalse((self.rig.profile / harness.RESULT_REPORT).exists())


class FallbackFolder(unittest.TestCase):
    """Without --user-data-dir= the settings and the report live in the local
    application-data folder under Orvalis."""

    def test_settings_and_report_from_local_appdata(self):
        rig = Rig()
        self.addCleanup(rig.cleanup)
        folder = harness.local_appdata() / "Orvalis"
        folder.mkdir(parents=True, exist_ok=True)
        settings = folder / "command-line.json"
        self.addCleanup(lambda: settings.unlink(missing_ok=True))
        settings.write_text('{"start-page": "https://fallback.example/"}')
        (folder / harness.RESULT_REPORT).unlink(missing_ok=True)
        launch = rig.launch("--no-profile", report_dir=folder)
        self.assertEqual(launch.engine["argv"][-1], "https://fallback.example/")
        self.assertRegex(launch.result_report, PASSTHROUGH_REPORT)

        # A profile without its own file uses the fallback file as well.
        launch = rig.launch(rig.profile_argument())
        self.assertEqual(launch.engine["argv"][-1], "https://fallback.example/")
        self.assertRegex(launch.result_report, PASSTHROUGH_REPORT)


if __name__ == "__main__":
    unittest.main()
