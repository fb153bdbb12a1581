#!/usr/bin/python3
"""The page in headless Chromium, against the command line.

Serves build/web/ on 127.0.0.1 (a free port), opens the page, gives it the examples and
compares what it shows and what it downloads with what build/default/src/brenvik prints for
the same work, byte for byte. Screenshots of every view go to build/web-test/. Needs the
`web` and `default` presets built, Debian's chromium, chromium-driver and python3-selenium.
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
BRENVIK = ROOT / "build" / "default" / "src" / "brenvik"
ARTEFACTS = ROOT / "build" / "web-test"
CORPUS = pathlib.Path(os.environ.get("CORPUS_DIR", ROOT.parent / "shared" / "corpus"))
BITSTREAM_DISK = CORPUS / "disks" / "c1p-os65d338-mike.os8"


def cli(*args, cwd=EXAMPLES):
    """brenvik's standard output and standard error for `args`, run from `cwd`."""
    run = subprocess.run(["brenvik", *map(str, args)], cwd=cwd, capture_output=True,
                         env={**os.environ, "PATH": f"{BRENVIK.parent}:{os.environ['PATH']}"})
    return run.stdout, run.stderr


def shown(messages):
    """Messages as the page shows them: lines ended by LF, no leading blank lines."""
    return messages.decode().replace("\r\n", "\n").lstrip("\n")


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        ARTEFACTS.mkdir(parents=True, exist_ok=True)
        cls.downloads = pathlib.Path(tempfile.mkdtemp(dir=ARTEFACTS, prefix="downloads-"))
        cls.server = subprocess.Popen([sys.executable, str(ROOT / "scripts" / "serve-web"), "0"],
                                      stdout=subprocess.PIPE, text=True)
        cls.addClassCleanup(cls.server.wait)
        cls.addClassCleanup(cls.server.terminate)
        cls.url = cls.server.stdout.readline().strip()
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        cls.profile = tempfile.mkdtemp(prefix="brenvik-chromium-")
        for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={cls.profile}", "--window-size=1000,1400"]:
            options.add_argument(flag)
        cls.addClassCleanup(shutil.rmtree, cls.profile, ignore_errors=True)
        cls.addClassCleanup(shutil.rmtree, cls.downloads, ignore_errors=True)
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"),
                                      options=options)
        cls.addClassCleanup(cls.driver.quit)
        cls.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                   {"behavior": "allow", "downloadPath": str(cls.downloads)})

    def setUp(self):
        self.driver.get(self.url)
        WebDriverWait(self.driver, 20).until(
            lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-ready") == "1")

    # ---- helpers ----
    def el(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    def choose(self, path, input_id="file", shown_in="kind"):
        """Chooses the file `path` and waits until the page has read it."""
        self.driver.execute_script(f"document.getElementById('{shown_in}').textContent = ''")
        self.el(input_id).send_keys(str(path))
        WebDriverWait(self.driver, 20).until(lambda d: path.name in self.el(shown_in).text)

    def download(self, button_id, name):
        """Clicks `button_id` and returns the bytes of the file `name` it downloads."""
        target = self.downloads / name
        if target.exists():
            target.unlink()
        self.el(button_id).click()
        deadline = time.time() + 30
        while time.time() < deadline:
            if target.exists() and not list(self.downloads.glob("*.crdownload")):
                return target.read_bytes()
            time.sleep(0.05)
        self.fail(f"{name} was not downloaded")

    def screenshot(self, view, section=None):
        """Keeps a screenshot of the page, scrolled to `section` when given."""
        if section:
            self.driver.execute_script(f"document.getElementById('{section}').scrollIntoView()")
        self.driver.save_screenshot(str(ARTEFACTS / f"{view}.png"))

    # ---- the views ----
    def test_version_is_the_projects(self):
        version = re.search(r"project\(brenvik VERSION ([0-9.]+)",
                            (ROOT / "CMakeLists.txt").read_text()).group(1)
        self.assertEqual(self.el("version").text, version)

    def test_disk_directory_and_entry_listing(self):
        self.choose(EXAMPLES / "demo.65d")
        self.assertIn("is read as a disk image", self.el("kind").text)
        rows = [[cell.text for cell in row.find_elements(By.CSS_SELECTOR, "th, td")]
                for row in self.driver.find_elements(By.CSS_SELECTOR, "#directory tbody tr")]
        # The command line's directory: "HELLO   1-1    BASIC $327E 144 bytes".
        directory, _ = cli("-disk", "demo.65d")
        expected = []
        for line in directory.decode().split("\r\n"):
            m = re.match(r"(\S+)\s+(\d+)-(\d+)\s+BASIC (\$[0-9A-F]{4}) (\d+ bytes)$", line)
            if m:
                expected.append([m[1], f"{m[2]}-{m[3]}", "BASIC", m[4], m[5]])
        self.assertEqual(rows, expected)
        free = re.search(r"free: (\d+) tracks, longest run (\d+) from track (\d+)", directory.decode())
        self.assertEqual(self.el("free").text,
                         f"Free: {free[1]} tracks, longest run {free[2]} from track {free[3]}.")
        self.assertEqual(self.el("directory-text").get_property("textContent"),
                         directory.decode("latin-1"))
        self.screenshot("disk")

        # Keyboard alone: Tab to the entry, Enter lists it.
        entry = self.driver.find_element(By.CSS_SELECTOR, 'tr.entry[data-entry="DICE"]')
        entry.send_keys(Keys.ENTER)
        listing, messages = cli("-disk", "demo.65d", "dice")
        self.assertEqual(self.el("listing-messages").text, shown(messages).rstrip("\n"))
        self.assertEqual(self.download("listing-download", "DICE.bas"), listing)
        self.screenshot("disk-entry-listing", "listing-view")

    def drop(self, path):
        """Drops the file `path` on the page, as a file dragged from the desktop."""
        self.driver.execute_script("""
            const [name, bytes] = arguments;
            document.getElementById("kind").textContent = "";
            const data = new DataTransfer();
            data.items.add(new File([Uint8Array.from(bytes)], name));
            document.getElementById("drop").dispatchEvent(
                new DragEvent("drop", {dataTransfer: data, bubbles: true, cancelable: true}));
            """, path.name, list(path.read_bytes()))
        WebDriverWait(self.driver, 20).until(lambda d: path.name in self.el("kind").text)

    def test_image_listing_dropped_offline(self):
        # Once loaded, the page needs no network: every resource came from its own server.
        self.driver.execute_cdp_cmd("Network.enable", {})
        self.driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        try:
            self.drop(EXAMPLES / "hello.tok")
            origins = self.driver.execute_script(
                "return performance.getEntriesByType('resource').map(e => new URL(e.name).origin)")
            self.assertEqual(set(origins), {self.url.rstrip("/")})
        finally:
            self.driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
                "offline": False, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        self.assertIn("tokenized program image", self.el("kind").text)
        listing, messages = cli("hello.tok")
        self.assertEqual(self.download("listing-download", "hello.bas"), listing)
        self.assertEqual(self.el("listing-messages").text, shown(messages).rstrip("\n"))
        self.assertIn("$0300", self.el("listing-facts").text)
        self.screenshot("image-listing", "listing-view")

    def test_memory_snapshot_listing(self):
        self.choose(EXAMPLES / "hello.mem")
        self.assertIn("memory snapshot", self.el("kind").text)
        listing, messages = cli("-memory", "hello.mem")
        self.assertEqual(self.download("listing-download", "hello.bas"), listing)
        self.assertEqual(self.el("listing-messages").text, shown(messages).rstrip("\n"))
        self.screenshot("memory-listing", "listing-view")

    def test_tokenize_and_store(self):
        self.choose(EXAMPLES / "dice.bas")
        self.assertIn("text listing", self.el("kind").text)
        Select(self.el("tokenize-version")).select_by_value("3")
        self.el("tokenize").click()
        image, _ = cli("-t", "-w3", "dice.bas")
        self.assertEqual(self.download("tokenize-download", "dice.tok"), image)
        self.screenshot("tokenize", "tokenize-view")

        # Store it on the demo disk; the new disk is the command line's, byte for byte.
        self.choose(EXAMPLES / "demo.65d", "store-disk-file", "store-disk")
        self.el("entry-name").clear()
        self.el("entry-name").send_keys("newdic")
        self.el("store").click()
        new_disk = self.download("store-download", "demo-new.65d")
        with tempfile.TemporaryDirectory() as scratch:
            out = pathlib.Path(scratch) / "demo-new.65d"
            _, messages = cli("-t", "-w3", "-disk", "demo.65d", "-o", out, "NEWDIC=dice.bas")
            self.assertEqual(new_disk, out.read_bytes())
            page_disk = pathlib.Path(scratch) / "page.65d"
            page_disk.write_bytes(new_disk)
            stored, _ = cli("-disk", page_disk, "newdic")
            self.assertEqual(stored.replace(b"\r\n", b"\n").decode().splitlines(),
                             (EXAMPLES / "dice.bas").read_bytes().replace(b"\r\n", b"\n").decode().splitlines())
        self.screenshot("store", "store-view")

    def test_keywords(self):
        Select(self.el("keywords-version")).select_by_value("5")
        words = [li.text for li in self.driver.find_elements(By.CSS_SELECTOR, "#keywords li")]
        listing, _ = cli("-k5")
        self.assertEqual(words, [w for w in listing.decode().split("\r\n")[2].split("\t") if w])
        self.screenshot("keywords", "keywords-view")

    def test_phone_sized_screen(self):
        self.driver.set_window_size(390, 844)
        self.choose(EXAMPLES / "demo.65d")
        width = self.driver.execute_script("return document.documentElement.scrollWidth")
        self.assertLessEqual(width, 390)
        self.screenshot("phone")
        self.driver.set_window_size(1000, 1400)

    @unittest.skipUnless(BITSTREAM_DISK.exists(), f"corpus absent: {BITSTREAM_DISK} not found")
    def test_every_listing_of_the_bitstream_disk_and_its_speed(self):
        self.choose(BITSTREAM_DISK)
        with tempfile.TemporaryDirectory() as scratch:
            times = []
            for _ in range(3):
                folder = pathlib.Path(scratch) / f"run{len(times)}"
                started = time.perf_counter()
                subprocess.run([BRENVIK, "-disk", BITSTREAM_DISK.name, "-o", f"{folder}/"],
                               cwd=BITSTREAM_DISK.parent, capture_output=True)
                times.append(time.perf_counter() - started)
            cli_ms = min(times) * 1000
            page = []
            for _ in range(3):
                archive = self.download("zip-all", BITSTREAM_DISK.stem + ".zip")
                page.append(float(self.el("zip-status").get_attribute("data-ms")))
            page_ms = min(page)
            zip_path = pathlib.Path(scratch) / "page.zip"
            zip_path.write_bytes(archive)
            with zipfile.ZipFile(zip_path) as z:
                self.assertIsNone(z.testzip())
                members = {name: z.read(name) for name in z.namelist()}
            expected = {p.name: p.read_bytes() for p in (pathlib.Path(scratch) / "run0").iterdir()}
            self.assertEqual(sorted(members), sorted(expected))
            for name, data in expected.items():
                self.assertEqual(members[name], data, name)
        print(f"\nlisting every program of {BITSTREAM_DISK.name} ({len(expected)} listings): "
              f"page {page_ms:.1f} ms, command line {cli_ms:.1f} ms "
              f"({page_ms / cli_ms:.2f}x)", file=sys.stderr)
        self.screenshot("bitstream-disk", "disk-view")
        self.assertLessEqual(page_ms, 3 * cli_ms)


if __name__ == "__main__":
    unittest.main(verbosity=2)
