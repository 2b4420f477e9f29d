"""Profile maintenance inside whole launches: the engine never sees what was
removed, look-alikes survive, the result report's place in the order, and
links made on the host (which Wine shows as links) are never followed."""

import os
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

    def test_a_program_in_default_keeps_nothing_below_it(self):
        # A console or an editor whose current folder is Default holds it
        # without delete sharing: a folder only passed through must not need it.
        self.rig.write_settings(EVERYTHING.replace("socks5://", "http://"))
        release = self.rig.base / "release"
        default = self.rig.profile / "Default"
        holder = self.rig.hold_file(self, default / "Preferences", "20000", harness.win(release), "0", cwd=default)
        self.addCleanup(release.touch)
        launch = self.rig.launch(self.rig.profile_argument())
        self.assertIsNone(holder.poll(), "Default was let go before the launch ended")
        self.assert_profile_cleaned(launch)

    def test_start_page_alone_removes_the_previous_session(self):
        self.rig.write_settings('{"start-page": "https://start.example/", "close-previous-tabs": false}')
        launch = self.rig.launch(self.rig.profile_argument())
        files = launch.engine["profile_files"]
        for name in profile_tree.SESSION_FILES + ["Default/Sessions"]:
            self.assertNotIn(name, files)
        for name in profile_tree.STORAGE_FILES + profile_tree.STORAGE_FOLDERS:
            self.assertIn(name, files)


def files_below(folder):
    """Every file below the folder with its contents, links not followed."""
    found = {}
    for directory, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(directory, name)
            if not os.path.islink(path):
                with open(path, "rb") as data:
                    found[os.path.relpath(path, folder)] = data.read()
    return found


class MaintenanceNeverFollowsALink(unittest.TestCase):
    """Wine 8 makes no links itself; a host symbolic link shows to the launcher
    as a reparse point, and Wine opens its target even when asked not to."""

    def setUp(self):
        self.rig = Rig()
        self.addCleanup(self.rig.cleanup)
        self.outside = self.rig.base / "outside"
        profile_tree.build(self.outside, session_files=3)
        self.rig.write_settings(EVERYTHING.replace("socks5://", "http://"))

    def launch(self, profile):
        launch = self.rig.launch(self.rig.profile_argument(profile), report_dir=profile)
        self.assertEqual(launch.result["status"], "passthrough")

    def test_links_in_place_of_items_and_inside_sessions_leave_their_targets(self):
        before = files_below(self.outside)
        profile = self.rig.profile
        (profile / "Default").mkdir()
        os.symlink(self.outside / "Default" / "IndexedDB", profile / "Default" / "IndexedDB")
        os.symlink(self.outside / "ShaderCache", profile / "ShaderCache")
        os.symlink(self.outside / "Default" / "Cookies", profile / "Default" / "Cookies")
        sessions = profile / "Default" / "Sessions"
        sessions.mkdir()
        (sessions / "Session_1").write_text("tab")
        (sessions / "nested").mkdir()
        (sessions / "nested" / "Tabs_1").write_text("tab")
        os.symlink(self.outside / "Default" / "Sessions", sessions / "folder link")
        os.symlink(self.outside / "Default" / "Current Tabs", sessions / "file link")
        os.symlink(self.outside / "Default" / "Local Storage", sessions / "nested" / "deeper link")

        self.launch(profile)

        self.assertEqual(files_below(self.outside), before)
        self.assertFalse((sessions / "Session_1").exists())
        self.assertFalse((sessions / "nested" / "Tabs_1").exists())

    def test_link_in_place_of_sessions_leaves_its_target(self):
        before = files_below(self.outside)
        (self.rig.profile / "Default").mkdir()
        os.symlink(self.outside / "Default" / "Sessions", self.rig.profile / "Default" / "Sessions")
        os.symlink(self.outside / "Default", self.rig.profile / "Default" / "Network")

        self.launch(self.rig.profile)

        self.assertEqual(files_below(self.outside), before)

    def test_profile_folder_that_is_a_link_to_a_folder_is_maintained(self):
        moved = self.rig.base / "moved profile"
        os.symlink(self.rig.profile, moved)
        profile_tree.build(self.rig.profile, session_files=3)

        self.launch(moved)

        for name in profile_tree.removed_items():
            self.assertFalse((self.rig.profile / name).exists(), name)
        for name in profile_tree.KEPT:
            self.assertTrue((self.rig.profile / name).exists(), name)
        self.assertTrue(moved.is_symlink())

    def test_profile_folder_that_leads_to_a_drive_root_is_not_maintained(self):
        # A drive of the prefix's own, whose root is a small folder on the
        # host; a link to that folder is a profile path that resolves to a
        # volume's root.
        drive = self.rig.base / "drive"
        devices = harness.wine_prefix() / "dosdevices"
        letter = next(devices / (c + ":") for c in "opqrstuvwxy" if not os.path.lexists(devices / (c + ":")))
        os.symlink(drive, letter)
        self.addCleanup(letter.unlink)
        profile_tree.build(drive, session_files=3)
        self.rig.write_settings(EVERYTHING.replace("socks5://", "http://"), where=drive)
        before = files_below(drive)
        root_link = self.rig.base / "root link"
        os.symlink(drive, root_link)

        self.launch(root_link)

        self.assertEqual({name: data for name, data in files_below(drive).items() if not name.startswith(".")},
                         before)

if __name__ == "__main__":
    unittest.main()
