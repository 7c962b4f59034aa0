# SPDX-License-Identifier: GPL-3.0-or-later
"""The page in Debian's Chromium, headless, driven by Selenium.

The built folder is served on 127.0.0.1 from a free port for the whole session, and one
browser opens it afresh for every case; both stop when the session ends, failed or not.
Every wait is for something the page shows (its data-state, the generation its canvas
holds, a field's text), never a fixed sleep.

Environment: VELMORA_PAGE, the built page (required); VELMORA_LAB, velmora-lab to compare
with (the Lab's cases are skipped when it is not set, and fail when it is set but missing);
VELMORA_WEB_OUT, where screenshots go (default: a temporary folder).
"""

import os
import pathlib
import subprocess
import sys
import tempfile

import pytest
from PIL import Image
from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "web"))
from serve import PageServer  # noqa: E402

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
MAP_SIDE = 265
# How a home's colour names its group: 1 Blue to 5 Yellow; anything else is 0.
GROUP_OF_COLOUR = {(0, 0, 255): 1, (255, 0, 0): 2, (0, 255, 0): 3, (128, 128, 128): 4, (255, 255, 0): 5}
WAIT_SECONDS = 30
POLL_SECONDS = 0.05
PROJECTOR = (1280, 720)


def env_path(name):
    value = os.environ.get(name)
    return pathlib.Path(value) if value else None


@pytest.fixture(scope="session")
def page_dir():
    folder = env_path("VELMORA_PAGE")
    if folder is None or not (folder / "index.html").is_file():
        pytest.fail(f"VELMORA_PAGE must name the built page (it is {folder})")
    return folder


@pytest.fixture(scope="session")
def out_dir(tmp_path_factory):
    folder = env_path("VELMORA_WEB_OUT") or tmp_path_factory.mktemp("out")
    folder.mkdir(parents=True, exist_ok=True)
    return folder


@pytest.fixture(scope="session")
def lab():
    """Runs `velmora-lab run` with the arguments into a new folder and returns the folder."""
    program = env_path("VELMORA_LAB")
    if program is None:
        pytest.skip("VELMORA_LAB is not set: no Lab to compare with")
    if not program.is_file():
        pytest.fail(f"VELMORA_LAB names {program}, which does not exist")

    def run(*arguments):
        folder = pathlib.Path(tempfile.mkdtemp(prefix="velmora-lab-"))
        command = [str(program), "run", *map(str, arguments), "--quiet", "--out", str(folder)]
        result = subprocess.run(command, capture_output=True, text=True, timeout=300)
        assert result.returncode == 0, f"{' '.join(command)} failed: {result.stderr}"
        return folder

    return run


@pytest.fixture(scope="session")
def server(page_dir):
    with PageServer(page_dir) as running:
        yield running


@pytest.fixture(scope="session")
def downloads(tmp_path_factory):
    return tmp_path_factory.mktemp("downloads")


@pytest.fixture(scope="session")
def driver(downloads, tmp_path_factory):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--autoplay-policy=no-user-gesture-required",
                     f"--user-data-dir={tmp_path_factory.mktemp('chromium-profile')}"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    browser = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    try:
        browser.execute_cdp_cmd("Browser.setDownloadBehavior",
                                {"behavior": "allow", "downloadPath": str(downloads)})
        yield browser
    finally:
        browser.quit()


class Page:
    """The page in the browser, with the reads and waits the checks share."""

    def __init__(self, driver, address, downloads):
        self.driver = driver
        self.address = address
        self.downloads = downloads

    def resize(self, width, height):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def open(self, fragment="", size=PROJECTOR):
        """Loads the page afresh (a new fragment alone would not reload it) and waits until
        it is ready."""
        self.resize(*size)
        self.driver.get("about:blank")
        self.driver.get(self.address + fragment)
        self.wait_ready()
        return self

    def js(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def wait_for(self, condition, what, seconds=WAIT_SECONDS):
        try:
            return WebDriverWait(self.driver, seconds, poll_frequency=POLL_SECONDS).until(lambda _: condition())
        except TimeoutException:
            raise AssertionError(f"waited {seconds} s for {what}; the page says: {self.notice()!r}") from None

    def wait_ready(self):
        state = self.wait_for(lambda: self.js("return document.documentElement.dataset.state") in ("ready", "failed")
                              and self.js("return document.documentElement.dataset.state"), "the page to be ready")
        assert state == "ready", f"the page failed to start: {self.notice()}"

    def element(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    def value(self, element_id):
        return self.element(element_id).get_attribute("value")

    def click(self, element_id):
        self.element(element_id).click()

    def notice(self):
        return self.js("return document.getElementById('notice')?.textContent ?? ''")

    def seed(self):
        return int(self.value("seed"))

    def drawn_generation(self):
        return int(self.js("return document.getElementById('map').dataset.generation ?? '-1'"))

    def wait_drawn(self, generation):
        self.wait_for(lambda: self.drawn_generation() == generation, f"the map of generation {generation}")

    def step(self, times):
        start = self.drawn_generation()
        for _ in range(times):
            self.click("step")
        self.wait_drawn(start + times)

    def preferences(self):
        return [self.value(f"pref-{g}") for g in range(1, 6)]

    def groups(self):
        """The map on the canvas as one digit per home, row by row: its group, 0 for none."""
        return self.js("""
            const data = document.getElementById('map').getContext('2d').getImageData(0, 0, 265, 265).data;
            const groups = {'0,0,255': 1, '255,0,0': 2, '0,255,0': 3, '128,128,128': 4, '255,255,0': 5};
            const digits = [];
            for (let i = 0; i < data.length; i += 4)
                digits.push(groups[`${data[i]},${data[i + 1]},${data[i + 2]}`] ?? 0);
            return digits.join('');
        """)

    def download(self, button_id, suffix):
        """Clicks the button and returns the file it saved."""
        before = set(self.downloads.iterdir())

        def saved():
            new = [f for f in self.downloads.iterdir() if f not in before and f.name.endswith(suffix)]
            return new[0] if new and new[0].stat().st_size > 0 else None

        self.click(button_id)
        return self.wait_for(saved, f"a {suffix} file from #{button_id}")

    def run_until(self, generation):
        """Lets the clock run at full speed until at least `generation`, then pauses; the
        generation it stopped at."""
        self.driver.find_element(By.CSS_SELECTOR, "input[name=speed][value=fastest]").click()
        self.click("continue")
        self.wait_for(lambda: self.drawn_generation() >= generation, f"generation {generation}")
        self.click("pause")
        # No generation runs after Pause; the next frame draws the last one.
        self.frames(2)
        return self.drawn_generation()

    def frames(self, count):
        """Waits for `count` animation frames of the page."""
        self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            let left = arguments[0];
            const next = () => (--left < 0 ? done() : requestAnimationFrame(next));
            next();
        """, count)


@pytest.fixture
def page(driver, server, downloads):
    return Page(driver, server.address, downloads)


def png_groups(path):
    """A map PNG as one digit per home, like Page.groups."""
    with Image.open(path) as image:
        assert image.size == (MAP_SIDE, MAP_SIDE), f"{path} is {image.size}"
        pixels = image.convert("RGB").getdata()
        return "".join(str(GROUP_OF_COLOUR.get(pixel, 0)) for pixel in pixels)
