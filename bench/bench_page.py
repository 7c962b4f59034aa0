#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The page in Chromium: how soon the first city is on screen, and what running costs.

  bench/bench_page.py [--page DIR] [--loads N] [--seconds S]

Serves the built page (build-web/page by default; scripts/run --web or scripts/test build
it) on 127.0.0.1 and opens it in Debian's Chromium, headless, through Selenium:

- First city: the page loaded N times with the browser's cache off, each time from the
  start of navigation to the first animation frame after the page said it was ready (the
  frame after the one that drew the city, so the city has been presented). A script the
  DevTools protocol adds to every new document watches for that; the page has no
  benchmark code of its own.
- Running: S seconds at 100 generations a second (the window's speed) with the plots
  updating, and S seconds paused for comparison: the CPU time of the page's main thread
  (the DevTools Performance domain's TaskDuration), of its renderer process and of all of
  Chromium's processes (both from /proc), each as a share of one core; then S seconds as
  fast as possible, in generations a second.
"""

import argparse
import pathlib
import statistics
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "web"))
from serve import PageServer  # noqa: E402

TICKS_PER_SECOND = 100   # the kernel's clock ticks in /proc/PID/stat (USER_HZ)
FIRST_CITY_TARGET_MS = 500
CPU_TARGET = 0.15

WATCH_FIRST_CITY = """
// Before the document has an element: so the whole document is watched.
new MutationObserver((_, observer) => {
    if (document.documentElement?.dataset.state !== 'ready') return;
    observer.disconnect();
    requestAnimationFrame(() => { window.firstCityShownMs = performance.now(); });
}).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-state'] });
"""


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--window-size=1280,720",
                     f"--user-data-dir={tempfile.mkdtemp(prefix='velmora-bench-')}"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def descendants(root):
    """The process ids below `root`, from /proc."""
    parents = {}
    for stat in pathlib.Path("/proc").glob("[0-9]*/stat"):
        try:
            fields = stat.read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        parents[int(stat.parent.name)] = int(fields[1])
    found, frontier = set(), {root}
    while frontier:
        frontier = {pid for pid, parent in parents.items() if parent in frontier} - found
        found |= frontier
    return found


def renderers(pids):
    """The renderer processes among `pids`; the page's is the busiest."""
    found = set()
    for pid in pids:
        try:
            command = pathlib.Path(f"/proc/{pid}/cmdline").read_bytes()
        except OSError:
            continue
        if b"--type=renderer" in command and b"--top-chrome-webui" not in command:
            found.add(pid)
    return found


def cpu_seconds(pids):
    total = 0
    for pid in pids:
        try:
            fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += int(fields[11]) + int(fields[12])   # utime and stime
    return total / TICKS_PER_SECOND


def task_seconds(driver):
    metrics = driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return next(m["value"] for m in metrics if m["name"] == "TaskDuration")


def wait_ready(driver):
    WebDriverWait(driver, 30, poll_frequency=0.02).until(
        lambda d: d.execute_script("return document.documentElement.dataset.state") == "ready")


def first_city(driver, address, loads):
    driver.execute_cdp_cmd("Network.enable", {})
    driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH_FIRST_CITY})
    times = []
    for _ in range(loads):
        driver.get("about:blank")
        driver.get(address + "#seed=7")
        shown = WebDriverWait(driver, 30, poll_frequency=0.02).until(
            lambda d: d.execute_script("return window.firstCityShownMs"))
        times.append(shown)
    return times


def cost(driver, seconds):
    """CPU time over `seconds` of the page's main thread, of its renderer process (all its
    threads: main, compositor, raster) and of all of Chromium's processes, each per second."""
    pids = descendants(driver.service.process.pid)
    pages = {pid: cpu_seconds([pid]) for pid in renderers(pids)}
    task0, cpu0, wall0 = task_seconds(driver), cpu_seconds(pids), time.monotonic()
    time.sleep(seconds)
    task1, cpu1, wall1 = task_seconds(driver), cpu_seconds(pids), time.monotonic()
    wall = wall1 - wall0
    renderer = max((cpu_seconds([pid]) - before for pid, before in pages.items()), default=0.0)
    return (task1 - task0) / wall, renderer / wall, (cpu1 - cpu0) / wall


def drawn_generation(driver):
    return int(driver.execute_script("return document.getElementById('map').dataset.generation"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--page", type=pathlib.Path, default=ROOT / "build-web" / "page")
    parser.add_argument("--loads", type=int, default=10)
    parser.add_argument("--seconds", type=float, default=10)
    args = parser.parse_args()
    if not (args.page / "index.html").is_file():
        sys.exit(f"bench_page.py: no page in {args.page}; build it first (scripts/run --web)")

    with PageServer(args.page) as server:
        driver = start_browser()
        try:
            times = first_city(driver, server.address, args.loads)
            print(f"First city on screen: median {statistics.median(times):.0f} ms, "
                  f"slowest {max(times):.0f} ms of {len(times)} loads (target {FIRST_CITY_TARGET_MS} ms)")

            driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": False})
            driver.execute_cdp_cmd("Performance.enable", {"timeDomain": "threadTicks"})
            driver.get("about:blank")
            driver.get(server.address + "#seed=7")
            wait_ready(driver)
            time.sleep(2)   # past the start, into the steady state being measured
            start = drawn_generation(driver)
            main_thread, renderer, processes = cost(driver, args.seconds)
            rate = (drawn_generation(driver) - start) / args.seconds
            print(f"Running at the window's speed ({rate:.0f} generations a second drawn), plots updating, "
                  f"in shares of one core (target {CPU_TARGET:.0%}): the page's main thread {main_thread:.1%}, "
                  f"its renderer process {renderer:.1%}, all Chromium processes {processes:.1%}")

            driver.find_element(By.ID, "pause").click()
            main_thread, renderer, processes = cost(driver, args.seconds)
            print(f"Paused: the page's main thread {main_thread:.1%}, its renderer process {renderer:.1%}, "
                  f"all Chromium processes {processes:.1%}")

            driver.find_element(By.CSS_SELECTOR, "input[name=speed][value=fastest]").click()
            driver.find_element(By.ID, "continue").click()
            start, began = drawn_generation(driver), time.monotonic()
            time.sleep(args.seconds)
            rate = (drawn_generation(driver) - start) / (time.monotonic() - began)
            print(f"As fast as possible: {rate:.0f} generations a second, measures every 46 included")
        finally:
            driver.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
