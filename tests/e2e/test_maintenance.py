"""Profile maintenance inside whole launches: the engine never sees what was
removed, look-alikes survive, and the result report's place in the order."""

import unittest

import harness
import profile_tree
from harness import Rig

EVERYTHING = ('{"close-previous-tabs": true, "granular-storage-reset": {"all": true},'
              ' "proxy-server": "socks5://127.0.0.1:9", "auto-timezone": true}')


class MaintenanceOnRoadsThatStartTheEngine(unittest.TestCase):
    def setUp(self):
        self.rig = Rig()
        self.addCleanup(self.rig.cleanup)
        profile_tree.build(self.rig.profile)

    def assert_profile_cleaned(self, launch):
        files = launch.engine["profile_files"]
        for name in profile_tree.removed_items():
            self.assertNotIn(name, files)
        for name in profile_tree.KEPT:
            self.assertIn(name, files)

    def test_passthrough_cleans_before_the_report(self):
        self.rig.write_settings(EVERYTHING.replace("socks5://", "http://"))
        launch = self.rig.launch(self.rig.profile_argument())
        self.assertEqual(launch.result["status"], "passthrough")
        self.assert_profile_cleaned(launch)
        report_time = (self.rig.profile / harness.RESULT_REPORT).stat().st_mtime_ns
        self.assertLessEqual((self.rig.profile / "Default").stat().st_mtime_ns, report_time)

    def test_relative_profile_is_the_current_directorys_for_launcher_and_engine(self):
        # The engine resolves a relative --user-data-dir against the current
        # directory it inherits; the launcher must clean that folder, not one
        # beside itself.
        self.rig.write_settings(EVERYTHING.replace("socks5://", "http://"))
        launch = self.rig.launch('"--user-data-dir=%s"' % self.rig.profile.name, cwd=self.rig.base)
        self.assertEqual(launch.result["status"], "passthrough")
        self.assertEqual(launch.engine["argv"][1], "--user-data-dir=" + self.rig.profile.name)
        self.assert_profile_cleaned(launch)

    def test_degraded_writes_the_report_before_cleaning(self):
        self.rig.write_settings(EVERYTHING)
        # Without a display the progress window cannot be created.
        launch = self.rig.launch(self.rig.profile_argument(), display=False)
        self.assertEqual(launch.exit_code, 0)
        self.assertEqual(launch.result["status"], "degraded")
        self.assertEqual(launch.result["error_code"], "DIALOG_INIT_FAILED")
        self.assertEqual(launch.result["message"],
                         "CreateProgressDialog returned null; spawned engine without discovery")
        self.assertIsNone(launch.error_report)
        self.assert_profile_cleaned(launch)
        # Removing the large Sessions folder comes after the report, so the folder
        # holding it changed later than the report was written.
        report_time = (self.rig.profile / harness.RESULT_REPORT).stat().st_mtime_ns
        self.assertLess(report_time, (self.rig.profile / "Default").stat().st_mtime_ns)

    def test_start_page_alone_removes_the_previous_session(self):
        self.rig.write_settings('{"start-page": "https://start.example/", "close-previous-tabs": false}')
        launch = self.rig.launch(self.rig.profile_argument())
        files = launch.engine["profile_files"]
        for name in profile_tree.SESSION_FILES + ["Default/Sessions"]:
            self.assertNotIn(name, files)
        for name in profile_tree.STORAGE_FILES + profile_tree.STORAGE_FOLDERS:
            self.assertIn(name, files)


if __name__ == "__main__":
    unittest.main()
