"""The release zip: what is in it, and what Windows sees in the launcher it
holds. The zip comes from cpack (the package_zip test); the launcher's
resources are read under Wine by resource-probe.exe, its imports on the host
with the cross toolchain's objdump. The environment names the build's version
and tools: ORVALIS_VERSION, ORVALIS_OBJDUMP, ORVALIS_RESOURCE_PROBE."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "e2e"))
import harness  # noqa: E402
from harness import win  # noqa: E402

VERSION = os.environ["ORVALIS_VERSION"]
PACKAGE_NAME = "orvalis-browser-%s-win64" % VERSION
ZIP = harness.BUILD / (PACKAGE_NAME + ".zip")
SCHEMAS = ["command-line.schema.json", "launcher-error.schema.json", "launcher-result.schema.json"]

RT_VERSION = 16
RT_MANIFEST = 24
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
VFT_APP = 1
# U.S. English, Unicode: the one translation the version resource declares.
TRANSLATION = "040904b0"


class ReleasePackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.unpacked = Path(tempfile.mkdtemp(prefix="unpacked release ", dir=harness.BUILD))
        with zipfile.ZipFile(ZIP) as package:
            cls.members = sorted(name for name in package.namelist() if not name.endswith("/"))
            package.extractall(cls.unpacked)
        cls.launcher = cls.unpacked / PACKAGE_NAME / "orvalis-browser.exe"

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.unpacked, ignore_errors=True)

    def test_holds_the_release_launcher_the_readme_and_the_schemas(self):
        self.assertEqual(self.members, sorted(
            [PACKAGE_NAME + "/orvalis-browser.exe", PACKAGE_NAME + "/README.md"]
            + [PACKAGE_NAME + "/schemas/" + name for name in SCHEMAS]))
        # The launcher with the deployment's geo-IP URLs, not the tests' loopback one.
        originals = {"orvalis-browser.exe": harness.BUILD / "orvalis-browser.exe",
                     "README.md": harness.ROOT / "README.md"}
        originals.update({"schemas/" + name: harness.ROOT / "schemas" / name for name in SCHEMAS})
        for member, original in originals.items():
            with self.subTest(member=member):
                self.assertEqual((self.unpacked / PACKAGE_NAME / member).read_bytes(), original.read_bytes())

    def test_imports_only_system_libraries(self):
        dump = subprocess.run([os.environ["ORVALIS_OBJDUMP"], "-p", str(self.launcher)], check=True,
                              capture_output=True, text=True).stdout
        libraries = re.findall(r"DLL Name: (\S+)", dump)
        self.assertIn("KERNEL32.dll", libraries)
        system32 = {p.name.lower() for p in (harness.wine_prefix() / "drive_c" / "windows" / "system32").iterdir()}
        for library in libraries:
            with self.subTest(library=library):
                # The MinGW runtime (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) is not shipped.
                self.assertFalse(library.lower().startswith("lib"))
                self.assertIn(library.lower(), system32)

    def probe(self):
        record = self.unpacked / "resources.json"
        code, _ = harness.run_windows(os.environ["ORVALIS_RESOURCE_PROBE"], win(self.launcher), win(record),
                                      display=False)
        self.assertEqual(code, 0, "resource-probe.exe could not read the launcher")
        return json.loads(record.read_text(encoding="utf-8"))

    def test_version_resource_and_manifest_and_nothing_else(self):
        probe = self.probe()
        # No icon, dialog, string table or anything else beside the two.
        self.assertEqual({entry["type"]: entry["names"] for entry in probe["resources"]},
                         {RT_VERSION: [1], RT_MANIFEST: [1]})

        parts = [int(part) for part in VERSION.split(".")] + [0]
        self.assertEqual(probe["fixed"], {"signature": VS_FIXEDFILEINFO_SIGNATURE, "file_version": parts,
                                          "product_version": parts, "file_type": VFT_APP})
        self.assertEqual(list(probe["strings"]), [TRANSLATION])
        strings = probe["strings"][TRANSLATION]
        for name, value in [("ProductName", "Orvalis Browser"), ("FileDescription", "Orvalis Browser launcher"),
                            ("InternalName", "orvalis-browser"), ("OriginalFilename", "orvalis-browser.exe"),
                            ("FileVersion", VERSION), ("ProductVersion", VERSION)]:
            with self.subTest(string=name):
                self.assertEqual(strings.get(name), value)

        manifest = ElementTree.fromstring(probe["manifest"].encode("utf-8"))
        local_names = [element.tag.rpartition("}")[2] for element in manifest.iter()]
        levels = [element for element in manifest.iter() if element.tag.endswith("}requestedExecutionLevel")]
        self.assertEqual([(e.get("level"), e.get("uiAccess")) for e in levels], [("asInvoker", "false")])
        self.assertNotIn("dpiAware", local_names)
        self.assertNotIn("dpiAwareness", local_names)


if __name__ == "__main__":
    unittest.main()
