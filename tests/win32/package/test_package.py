"""The release zip: what is in it, and what Windows sees in the launcher it
holds. The zip is the first of the two that build_release_twice.py made (the
package_reproducible test); the launcher's resources and manifest are read under
Wine by resource-probe.exe, its headers and imports on the host. Then the
signed release that build_release_twice.py packed from the same build: its
launcher's signature, moved between builds, and its signed sums; and that a
cpack that fails leaves no earlier release behind. Also the checks of the
deployment's geo-IP endpoints and the signing settings when a build is
configured and packaged. The environment names the build's version and tools:
ORVALIS_VERSION, ORVALIS_CMAKE, ORVALIS_CPACK, ORVALIS_OBJDUMP,
ORVALIS_RESOURCE_PROBE."""

import calendar
import http.server
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "e2e"))
import harness  # noqa: E402
from harness import Rig, win  # noqa: E402
import build_release_twice as built  # noqa: E402

VERSION = os.environ["ORVALIS_VERSION"]
PACKAGE_NAME = "orvalis-browser-%s-win64" % VERSION
RELEASE = built.FIRST
ZIP = RELEASE / (PACKAGE_NAME + ".zip")
SIGNED_RELEASE = RELEASE / built.SIGNED
# What a release folder holds after cpack, signed or not.
OUTPUTS = [PACKAGE_NAME + ".zip", "SHA256SUMS", "SHA256SUMS.asc"]
SCHEMAS = ["command-line.schema.json", "launch-check.schema.json", "launcher-error.schema.json",
           "launcher-result.schema.json"]

RT_VERSION = 16
RT_MANIFEST = 24
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
VFT_APP = 1
# U.S. English, Unicode: the one translation the version resource declares.
TRANSLATION = "040904b0"

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS_2017 = "{http://schemas.microsoft.com/SMI/2017/WindowsSettings}"
SUPPORTED_OS = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11"}
DLL_CHARACTERISTICS = {"HIGH_ENTROPY_VA": 0x20, "DYNAMIC_BASE": 0x40, "NX_COMPAT": 0x100,
                       "TERMINAL_SERVER_AWARE": 0x8000}
ACTCTX_RUN_LEVEL_AS_INVOKER = 1
# What the launcher imports: no ADVAPI32.dll for a crypto provider, since the stack canaries' guard and failure
# routine are its own; ntdll.dll for the maintenance's opens relative to a folder's handle and its deletes.
LAUNCHER_IMPORTS = ["GDI32.dll", "KERNEL32.dll", "msvcrt.dll", "ntdll.dll", "SHELL32.dll", "SHLWAPI.dll", "USER32.dll"]
# Each program of the release: its description, internal name, manifest identity and imports (the console
# check shows no window: no USER32.dll or GDI32.dll).
PROGRAMS = {
    "orvalis-browser.exe": ("Orvalis Browser launcher", "orvalis-browser", "Orvalis.Browser.Launcher",
                            LAUNCHER_IMPORTS),
    "orvalis-browser-check.exe": ("Orvalis Browser launch check", "orvalis-browser-check",
                                  "Orvalis.Browser.LaunchCheck",
                                  ["KERNEL32.dll", "msvcrt.dll", "ntdll.dll", "SHELL32.dll", "SHLWAPI.dll"]),
}


def cmake_quoted(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def pe_header(path):
    """The COFF time stamp and the optional header's DllCharacteristics."""
    data = path.read_bytes()
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    assert data[pe_offset:pe_offset + 4] == b"PE\0\0"
    (time_stamp,) = struct.unpack_from("<I", data, pe_offset + 8)
    optional = pe_offset + 24
    (magic,) = struct.unpack_from("<H", data, optional)
    assert magic == 0x20B, "not a PE32+ image"
    (characteristics,) = struct.unpack_from("<H", data, optional + 70)
    return time_stamp, characteristics


class ReleasePackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.unpacked = Path(tempfile.mkdtemp(prefix="unpacked release ", dir=harness.BUILD))
        with zipfile.ZipFile(ZIP) as package:
            cls.members = sorted(name for name in package.namelist() if not name.endswith("/"))
            package.extractall(cls.unpacked)

    def for_each_program(self, case):
        for name, program in PROGRAMS.items():
            with self.subTest(program=name):
                case(self.unpacked / PACKAGE_NAME / name, *program)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.unpacked, ignore_errors=True)

    def test_holds_the_release_programs_the_readme_and_the_schemas(self):
        self.assertEqual(self.members, sorted(
            [PACKAGE_NAME + "/" + name for name in PROGRAMS] + [PACKAGE_NAME + "/README.md"]
            + [PACKAGE_NAME + "/schemas/" + name for name in SCHEMAS]))
        # The programs that release build made, with its geo-IP URLs, not the tests' loopback ones.
        originals = {name: RELEASE / name for name in PROGRAMS}
        originals["README.md"] = harness.ROOT / "README.md"
        originals.update({"schemas/" + name: harness.ROOT / "schemas" / name for name in SCHEMAS})
        for member, original in originals.items():
            with self.subTest(member=member):
                self.assertEqual((self.unpacked / PACKAGE_NAME / member).read_bytes(), original.read_bytes())
        # Configured without signing: no signature of the sums either.
        self.assertFalse((RELEASE / "SHA256SUMS.asc").exists())

    def test_sums_check_the_zip_and_the_unpacked_launcher(self):
        # As the README tells a user: the zip and SHA256SUMS in one folder, the zip unpacked there.
        for release, skipped in [(RELEASE, ""),
                                 (SIGNED_RELEASE, built.AUTHENTICODE_SKIPPED and built.OPENPGP_SKIPPED)]:
            with self.subTest(release=release.name):
                if skipped:
                    self.skipTest("No signed release: " + skipped)
                folder = self.unpacked / ("download of " + release.name)
                folder.mkdir()
                for name in (ZIP.name, "SHA256SUMS"):
                    shutil.copy(release / name, folder)
                with zipfile.ZipFile(release / ZIP.name) as package:
                    package.extractall(folder)
                check = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=folder, capture_output=True,
                                       text=True)
                self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
                self.assertEqual(check.stdout.splitlines(),
                                 [ZIP.name + ": OK"] + [PACKAGE_NAME + "/%s: OK" % name for name in PROGRAMS])

    def test_header_time_stamp_and_security_marks(self):
        def case(program, *_):
            time_stamp, characteristics = pe_header(program)
            self.assertEqual(time_stamp, 0)
            for name, bit in DLL_CHARACTERISTICS.items():
                self.assertTrue(characteristics & bit, "%s: DllCharacteristics %#x" % (name, characteristics))
        self.for_each_program(case)

    def test_imports_only_system_libraries(self):
        system32 = {p.name.lower() for p in (harness.wine_prefix() / "drive_c" / "windows" / "system32").iterdir()}

        def case(program, description, internal_name, identity, imports):
            dump = subprocess.run([os.environ["ORVALIS_OBJDUMP"], "-p", str(program)], check=True,
                                  capture_output=True, text=True).stdout
            libraries = re.findall(r"DLL Name: (\S+)", dump)
            self.assertEqual(sorted(libraries, key=str.lower), imports)
            for library in libraries:
                # The MinGW runtime (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) is not shipped.
                self.assertFalse(library.lower().startswith("lib"), library)
                self.assertIn(library.lower(), system32)
        self.for_each_program(case)

    def probe(self, program):
        record = self.unpacked / "resources.json"
        code, _ = harness.run_windows(os.environ["ORVALIS_RESOURCE_PROBE"], win(program), win(record),
                                      display=False)
        self.assertEqual(code, 0, "resource-probe.exe could not read %s" % program.name)
        return json.loads(record.read_text(encoding="utf-8"))

    def test_version_resource_and_manifest_and_nothing_else(self):
        self.for_each_program(self.assert_version_resource_and_manifest)

    def assert_version_resource_and_manifest(self, program, description, internal_name, identity, imports):
        probe = self.probe(program)
        # No icon, dialog, string table or anything else beside the two.
        self.assertEqual({entry["type"]: entry["names"] for entry in probe["resources"]},
                         {RT_VERSION: [1], RT_MANIFEST: [1]})

        parts = [int(part) for part in VERSION.split(".")] + [0]
        self.assertEqual(probe["fixed"], {"signature": VS_FIXEDFILEINFO_SIGNATURE, "file_version": parts,
                                          "product_version": parts, "file_type": VFT_APP})
        self.assertEqual(list(probe["strings"]), [TRANSLATION])
        strings = probe["strings"][TRANSLATION]
        for name, value in [("ProductName", "Orvalis Browser"), ("FileDescription", description),
                            ("InternalName", internal_name), ("OriginalFilename", program.name),
                            ("FileVersion", VERSION), ("ProductVersion", VERSION)]:
            self.assertEqual(strings.get(name), value, name)

        manifest = ElementTree.fromstring(probe["manifest"].encode("utf-8"))
        local_names = [element.tag.rpartition("}")[2] for element in manifest.iter()]
        levels = [element for element in manifest.iter() if element.tag.endswith("}requestedExecutionLevel")]
        self.assertEqual([(e.get("level"), e.get("uiAccess")) for e in levels], [("asInvoker", "false")])
        self.assertNotIn("dpiAware", local_names)
        self.assertNotIn("dpiAwareness", local_names)

        # Windows 7 to 11 named, so none of them applies compatibility shims.
        supported = manifest.findall(COMPATIBILITY + "compatibility/" + COMPATIBILITY + "application/"
                                     + COMPATIBILITY + "supportedOS")
        self.assertEqual(sorted(element.get("Id").lower() for element in supported), sorted(SUPPORTED_OS))
        # Common Controls 6, for message boxes in the current style.
        dependencies = [element.attrib for element in manifest.findall(
            ASM_V1 + "dependency/" + ASM_V1 + "dependentAssembly/" + ASM_V1 + "assemblyIdentity")]
        self.assertEqual(len(dependencies), 1)
        self.assertEqual({name: dependencies[0].get(name) for name in ("type", "name", "version", "publicKeyToken")},
                         {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                          "publicKeyToken": "6595b64144ccf1df"})
        self.assertIn(dependencies[0].get("processorArchitecture"), ("*", "amd64"))
        # GDI scaling, in the window settings of the asm.v3 application element.
        scaling = manifest.findall(ASM_V3 + "application/" + ASM_V3 + "windowsSettings/"
                                   + WINDOWS_SETTINGS_2017 + "gdiScaling")
        self.assertEqual([element.text for element in scaling], ["true"])

        # What the side-by-side loader makes of it: it takes the manifest, binds Common Controls 6, starts the
        # program as the invoker without UI access, GDI-scaled and DPI-unaware. Wine's loader is more lenient
        # than Windows' (see docs/windows-checklist.md), so the element checks above stay.
        activation = probe["activation"]
        self.assertNotIn("error", activation, "the loader refused the manifest")
        self.assertTrue(activation["assemblies"][0].startswith(identity + ","), activation)
        self.assertTrue(any(identity.startswith("Microsoft.Windows.Common-Controls,") and 'version="6.' in identity
                            for identity in activation["assemblies"]), activation["assemblies"])
        self.assertEqual(activation["run_level"], {"level": ACTCTX_RUN_LEVEL_AS_INVOKER, "ui_access": 0})
        self.assertEqual(activation["settings"], {"gdiScaling": "true", "dpiAware": None, "dpiAwareness": None})


def unpack_launcher(release, folder, name="orvalis-browser.exe"):
    with zipfile.ZipFile(release / ZIP.name) as package:
        package.extract(PACKAGE_NAME + "/" + name, folder)
    return folder / PACKAGE_NAME / name


def osslsigncode(*arguments):
    return subprocess.run(["osslsigncode", *map(str, arguments)], capture_output=True, text=True)


class TimeStampServer(http.server.HTTPServer):
    """An RFC 3161 time-stamp server on loopback: openssl ts answers each
    query with a time stamp signed by a certificate of the test CA."""

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            query = self.rfile.read(int(self.headers["Content-Length"]))
            answered = subprocess.run(["openssl", "ts", "-reply", "-config", str(self.server.config), "-queryfile",
                                       "/dev/stdin", "-out", "/dev/stdout"], input=query, capture_output=True)
            self.send_response(200 if answered.returncode == 0 else 500)
            self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(answered.stdout)))
            self.end_headers()
            self.wfile.write(answered.stdout)

        def log_message(self, *arguments):
            pass

    def __init__(self, folder):
        super().__init__(("127.0.0.1", 0), self.Handler)
        built.issue_certificate(folder, "tsa", "/CN=Orvalis Release Test Time Stamps", "critical,timeStamping")
        self.config = folder / "tsa.cnf"
        self.config.write_text("[tsa]\ndefault_tsa = here\n[here]\nserial = %s\nsigner_cert = %s\nsigner_key = %s\n"
                               "certs = %s\nsigner_digest = sha256\ndefault_policy = 1.2.3.4.1\ndigests = sha256\n"
                               "ess_cert_id_alg = sha256\n" % (folder / "tsa.serial", folder / "tsa.pem",
                                                               folder / "tsa.key", built.TEST_CA))
        self.thread = threading.Thread(target=self.serve_forever)
        self.thread.start()

    def stop(self):
        self.shutdown()
        self.thread.join()
        self.server_close()


class SignedRelease(unittest.TestCase):
    """The launcher in the signed zip, signed with the test CA's certificate,
    against the unsigned launcher that the other folder's build made."""

    @classmethod
    def setUpClass(cls):
        if built.AUTHENTICODE_SKIPPED:
            raise unittest.SkipTest("No Authenticode checks: " + built.AUTHENTICODE_SKIPPED)
        cls.folder = Path(tempfile.mkdtemp(prefix="signed release ", dir=harness.BUILD))
        cls.launcher = unpack_launcher(SIGNED_RELEASE, cls.folder)
        cls.other_build = built.SECOND / "orvalis-browser.exe"
        cls.check = unpack_launcher(SIGNED_RELEASE, cls.folder, "orvalis-browser-check.exe")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_verifies_against_the_test_ca_and_names_the_product_the_page_and_the_zip_time(self):
        verified = osslsigncode("verify", "-CAfile", built.TEST_CA, "-in", self.launcher)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        report = verified.stdout
        self.assertRegex(report, r"Message digest algorithm\s*: SHA256")
        self.assertIn("Text description: Orvalis Browser\n", report)
        self.assertIn("URL description: %s\n" % built.SIGNING_URL, report)
        self.assertIn("Timestamp is not available", report)
        with zipfile.ZipFile(SIGNED_RELEASE / ZIP.name) as package:
            member_time = package.getinfo(PACKAGE_NAME + "/orvalis-browser.exe").date_time
        signing_time = re.search(r"Signing time: (.+) GMT", report).group(1)
        # The zip keeps even seconds only, in UTC here.
        self.assertAlmostEqual(calendar.timegm(time.strptime(signing_time, "%b %d %H:%M:%S %Y")),
                               calendar.timegm(member_time + (0, 0, 0)), delta=1)

    def test_signature_comes_off_to_and_moves_onto_the_other_folders_unsigned_build(self):
        for signed, other_build in ((self.launcher, self.other_build),
                                    (self.check, built.SECOND / "orvalis-browser-check.exe")):
            with self.subTest(program=signed.name):
                stripped, signature, moved = (self.folder / (signed.stem + "-" + name)
                                              for name in ("stripped.exe", "signature.der", "moved.exe"))
                for arguments in (["verify", "-CAfile", built.TEST_CA, "-in", signed],
                                  ["remove-signature", "-in", signed, "-out", stripped],
                                  ["extract-signature", "-in", signed, "-out", signature],
                                  ["attach-signature", "-sigin", signature, "-CAfile", built.TEST_CA,
                                   "-in", other_build, "-out", moved]):
                    done = osslsigncode(*arguments)
                    self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertNotEqual(signed.read_bytes(), other_build.read_bytes())
                self.assertEqual(stripped.read_bytes(), other_build.read_bytes())
                self.assertEqual(moved.read_bytes(), signed.read_bytes())

    def test_a_time_stamp_server_adds_its_time_stamp_and_nothing_else(self):
        server = TimeStampServer(self.folder)
        self.addCleanup(server.stop)
        output = self.folder / "time-stamped"
        packed = subprocess.run([os.environ["ORVALIS_CPACK"], "--config", str(RELEASE / "CPackConfig.cmake"),
                                 "-B", str(output), "-D", "CPACK_ORVALIS_SIGNING_TIMESTAMP_URL=http://127.0.0.1:%d/"
                                 % server.server_address[1]],
                                env=built.signing_environment(dict(os.environ)), capture_output=True, text=True)
        built.stop_gpg_agent(built.GNUPGHOME)
        self.assertEqual(packed.returncode, 0, packed.stdout + packed.stderr)
        launcher = unpack_launcher(output, output / "unpacked")
        verified = osslsigncode("verify", "-CAfile", built.TEST_CA, "-TSA-CAfile", built.TEST_CA, "-in", launcher)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        self.assertIn("Timestamp Server Signature verification: ok", verified.stdout)
        stripped = output / "stripped.exe"
        self.assertEqual(osslsigncode("remove-signature", "-in", launcher, "-out", stripped).returncode, 0)
        self.assertEqual(stripped.read_bytes(), self.other_build.read_bytes())

    def test_runs_under_wine(self):
        rig = Rig(launcher=self.launcher)
        self.addCleanup(rig.cleanup)
        launch = rig.launch(rig.profile_argument())
        self.assertEqual(launch.exit_code, 0)
        self.assertIsNotNone(launch.engine, "the signed launcher started no engine")
        self.assertEqual(launch.result["status"], "passthrough")

    def test_password_reaches_osslsigncode_only_through_its_input(self):
        started = built.OSSLSIGNCODE_RECORD.read_bytes()
        self.assertRegex(started.partition(b"\n")[0], rb"^sign -pkcs12 .* -readpass /dev/stdin ")
        secret = built.PASSWORD.encode()
        self.assertFalse(secret in started, "on osslsigncode's command line or in its environment")
        self.assertFalse(secret in built.SIGNED_CPACK_OUTPUT.read_bytes(), "in cpack's output")
        # The build folders, their caches, cpack's configurations, staging folders and logs.
        holding = [str(path) for folder in (built.FIRST, built.SECOND) for path in folder.rglob("*")
                   if path.is_file() and not path.is_symlink() and secret in path.read_bytes()]
        self.assertEqual(holding, [])


class SignedSums(unittest.TestCase):
    def test_signature_verifies_the_sums_and_no_other_text(self):
        if built.OPENPGP_SKIPPED:
            self.skipTest("No OpenPGP checks: " + built.OPENPGP_SKIPPED)
        self.addCleanup(built.stop_gpg_agent, built.GNUPGHOME)
        sums = SIGNED_RELEASE / "SHA256SUMS"
        changed = Path(tempfile.mkdtemp(prefix="changed sums ", dir=harness.BUILD)) / "SHA256SUMS"
        self.addCleanup(shutil.rmtree, changed.parent, ignore_errors=True)
        changed.write_bytes(sums.read_bytes().replace(b"  ", b" *", 1))
        for text, good in [(sums, True), (changed, False)]:
            with self.subTest(sums=str(text)):
                verified = subprocess.run(["gpg", "--verify", str(SIGNED_RELEASE / "SHA256SUMS.asc"), str(text)],
                                          env=dict(os.environ, GNUPGHOME=str(built.GNUPGHOME)),
                                          capture_output=True, text=True)
                self.assertEqual(verified.returncode == 0, good, verified.stderr)
                self.assertEqual('Good signature from "Orvalis Release Test <%s>"' % built.GPG_KEY
                                 in verified.stderr, good, verified.stderr)


class FailedPackaging(unittest.TestCase):
    """A cpack that fails leaves none of an earlier run's zip, sums and
    signature in its output folder: each run packs the first build again into
    a folder that holds the signed release's."""

    def test_no_earlier_release_is_left(self):
        # (what fails, environment changes, what cpack says, the tool it needs)
        table = [
            ("wrong password", {"ORVALIS_SIGNING_PASSWORD": "not the password"},
             "osslsigncode could not sign orvalis-browser.exe", built.AUTHENTICODE_SKIPPED),
            ("no password", {"ORVALIS_SIGNING_PASSWORD": None},
             "Signing needs the password of %s in ORVALIS_SIGNING_PASSWORD." % built.PKCS12,
             built.AUTHENTICODE_SKIPPED),
            ("a key the GnuPG home lacks", {"GNUPGHOME": "empty"}, "gpg could not sign SHA256SUMS with the key",
             built.OPENPGP_SKIPPED),
            ("a time no zip holds", {"SOURCE_DATE_EPOCH": "315532799"}, "SOURCE_DATE_EPOCH must be whole seconds",
             built.AUTHENTICODE_SKIPPED and built.OPENPGP_SKIPPED),
        ]
        for failure, changes, message, skipped in table:
            with self.subTest(failure=failure):
                if skipped:
                    self.skipTest("No signed release: " + skipped)
                output = Path(tempfile.mkdtemp(prefix="failed cpack ", dir=harness.BUILD))
                self.addCleanup(shutil.rmtree, output, ignore_errors=True)
                for name in OUTPUTS:
                    if (SIGNED_RELEASE / name).exists():
                        shutil.copy(SIGNED_RELEASE / name, output)
                environment = built.signing_environment(dict(os.environ))
                for name, value in changes.items():
                    if value is None:
                        del environment[name]
                    elif value == "empty":
                        environment[name] = str(output / "empty GnuPG home")
                        os.mkdir(environment[name], 0o700)
                        self.addCleanup(built.stop_gpg_agent, environment[name])
                    else:
                        environment[name] = value
                packed = subprocess.run([os.environ["ORVALIS_CPACK"], "--config", str(RELEASE / "CPackConfig.cmake"),
                                         "-B", str(output)], env=environment, capture_output=True, text=True)
                self.assertNotEqual(packed.returncode, 0)
                self.assertIn(message, re.sub(r"\s+", " ", packed.stdout + packed.stderr))
                self.assertEqual([name for name in OUTPUTS if (output / name).exists()], [])


class DeploymentEndpoints(unittest.TestCase):
    """The geo-IP URLs a build is configured with: refused when they could never be the deployment's, a
    warning and no package when they are the example hosts. Signing settings that could not sign are
    refused with them."""

    PRIMARY = "/geoip?format=json"
    FALLBACK = "/myip"

    def test_url_rules(self):
        # (URL, path, fault expected, example host)
        table = [
            ("https://geoip.example.com/geoip?format=json", self.PRIMARY, False, True),
            ("https://myip.example.net/myip", self.FALLBACK, False, True),
            ("https://example.org/myip", self.FALLBACK, False, True),
            ("https://probe.example/myip", self.FALLBACK, False, True),
            ("https://X.EXAMPLE.COM:8443/myip", self.FALLBACK, False, True),
            ("https://geo.release-check.test/geoip?format=json", self.PRIMARY, False, False),
            ("https://geo.release-check.test:8443/geoip?format=json", self.PRIMARY, False, False),
            ("https://[2001:db8::1]/myip", self.FALLBACK, False, False),
            ("https://myexample.com/myip", self.FALLBACK, False, False),
            ("https://example.com.release-check.test/myip", self.FALLBACK, False, False),
            ("http://geo.release-check.test/geoip?format=json", self.PRIMARY, True, False),
            ("HTTPS://geo.release-check.test/geoip?format=json", self.PRIMARY, True, False),
            ("", self.PRIMARY, True, False),
            ("https://geo.release-check.test/geoip", self.PRIMARY, True, False),
            ("https://geo.release-check.test/geoip?format=jsonp", self.PRIMARY, True, False),
            ("https://geo.release-check.test/geoipXformat=json", self.PRIMARY, True, False),
            ("https://geo.release-check.test/v2/geoip?format=json", self.PRIMARY, True, False),
            ("https://geo.release-check.test/myip", self.PRIMARY, True, False),
            ("https://geo.release-check.test/geoip?format=json", self.FALLBACK, True, False),
            ("https://geo.release-check.test/myip/", self.FALLBACK, True, False),
            ("https://user:pw@geo.release-check.test/myip", self.FALLBACK, True, False),
            ("https://geo..release-check.test/myip", self.FALLBACK, True, False),
            ('https://geo.release-check.test"/myip', self.FALLBACK, True, False),
            ("https://geo release-check.test/myip", self.FALLBACK, True, False),
        ]
        script = Path(tempfile.mkdtemp(prefix="url rules ")) / "rules.cmake"
        lines = ["include(%s)" % cmake_quoted(str(harness.ROOT / "cmake" / "deployment_endpoints.cmake"))]
        for url, path, _, _ in table:
            lines += ["orvalis_discovery_url_fault(fault %s %s)" % (cmake_quoted(url), cmake_quoted(path)),
                      "orvalis_discovery_url_is_example(example %s)" % cmake_quoted(url),
                      'message("[${fault}] ${example}")']
        script.write_text("\n".join(lines) + "\n")
        run = subprocess.run([os.environ["ORVALIS_CMAKE"], "-P", str(script)], capture_output=True, text=True)
        shutil.rmtree(script.parent)
        self.assertEqual(run.returncode, 0, run.stderr)
        answers = run.stderr.splitlines()
        self.assertEqual(len(answers), len(table), run.stderr)
        for (url, path, faulty, example), answer in zip(table, answers):
            with self.subTest(url=url, path=path):
                fault, _, is_example = answer.rpartition("] ")
                self.assertEqual(fault != "[", faulty, answer)
                self.assertEqual(is_example == "TRUE", example, answer)

    def configure(self, folder, *definitions):
        return subprocess.run([os.environ["ORVALIS_CMAKE"], "-S", str(harness.ROOT), "--preset", "windows",
                               "-B", str(folder), "-DBUILD_TESTING=OFF"] + list(definitions),
                              cwd=harness.ROOT, capture_output=True, text=True)

    def test_example_hosts_warn_and_cannot_be_packaged(self):
        folder = Path(tempfile.mkdtemp(prefix="example hosts ", dir=harness.BUILD))
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        configured = self.configure(folder)
        self.assertEqual(configured.returncode, 0, configured.stderr)
        warnings = re.sub(r"\s+", " ", configured.stderr)
        for variable in ("ORVALIS_PRIMARY_DISCOVERY_URL", "ORVALIS_FALLBACK_DISCOVERY_URL"):
            with self.subTest(variable=variable):
                self.assertRegex(warnings, r"CMake Warning.*%s \(https://\S+\) names a host reserved for "
                                           r"examples.*every launch that needs discovery will fail" % variable)

        # An earlier run's release does not stay to pass for this one's.
        for name in OUTPUTS:
            (folder / name).write_text("from an earlier run\n")
        packed = subprocess.run([os.environ["ORVALIS_CPACK"], "--config", str(folder / "CPackConfig.cmake")],
                                cwd=folder, capture_output=True, text=True)
        self.assertNotEqual(packed.returncode, 0)
        self.assertIn("No release package: this build holds the example geo-IP endpoint(s)",
                      re.sub(r"\s+", " ", packed.stdout + packed.stderr))
        self.assertEqual(list(folder.glob("*.zip")) + list(folder.glob("SHA256SUMS*")), [])

    def test_a_configuration_that_cannot_make_the_release_is_refused(self):
        # One folder for all: each row sets every variable the others do.
        folder = Path(tempfile.mkdtemp(prefix="refused configurations ", dir=harness.BUILD))
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        some_file = folder / "not a key.p12"
        some_file.write_text("any file will do for the configuration\n")
        primary = "https://geo.release-check.test/geoip?format=json"
        fallback = "https://myip.release-check.test/myip"
        # (fallback URL, PKCS#12 file, page the signature names, what configuring says)
        table = [
            ("http://myip.release-check.test/myip", "", "",
             'ORVALIS_FALLBACK_DISCOVERY_URL must be an https:// URL, not "http://myip.release-check.test/myip"'),
            (fallback, folder / "missing.p12", built.SIGNING_URL,
             'ORVALIS_SIGNING_PKCS12 names no file: "%s"' % (folder / "missing.p12")),
            (fallback, folder, built.SIGNING_URL, 'ORVALIS_SIGNING_PKCS12 names no file: "%s"' % folder),
            (fallback, some_file, "", "Signing the launcher needs ORVALIS_SIGNING_URL, the https:// page its "
                                      'signature names, not ""'),
            (fallback, some_file, "http://release-check.test/", "Signing the launcher needs ORVALIS_SIGNING_URL, "
             'the https:// page its signature names, not "http://release-check.test/"'),
        ]
        for url, pkcs12, page, message in table:
            with self.subTest(fallback=url, pkcs12=str(pkcs12), page=page):
                configured = self.configure(folder, "-DORVALIS_PRIMARY_DISCOVERY_URL=" + primary,
                                            "-DORVALIS_FALLBACK_DISCOVERY_URL=" + url,
                                            "-DORVALIS_SIGNING_PKCS12=%s" % pkcs12, "-DORVALIS_SIGNING_URL=" + page)
                self.assertNotEqual(configured.returncode, 0)
                self.assertIn(message, re.sub(r"\s+", " ", configured.stderr))


if __name__ == "__main__":
    unittest.main()
