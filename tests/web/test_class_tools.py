# SPDX-License-Identifier: GPL-3.0-or-later
"""What the page adds for a class: plots, speeds, the link, the files."""

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from conftest import png_groups

# Chart.js comes after the first city: until then a plot has no points.
POINTS = "return window.Chart?.getChart(arguments[0])?.data.datasets.map((set) => set.data.length) ?? [0]"
MARKS = "return Chart.getChart(arguments[0]).options.plugins.changeMarks.marks.map((mark) => mark.label)"


def test_plots_grow_while_it_runs_and_mark_a_change(page):
    page.open("#seed=3")
    page.wait_for(lambda: min(page.js(POINTS, "same-plot")) >= 2, "two points on the plot")
    field = page.element("pref-1")
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(".25", Keys.ENTER)
    grown = min(page.js(POINTS, "same-plot")) + 2
    for plot in ("same-plot", "unrest-plot"):
        page.wait_for(lambda: min(page.js(POINTS, plot)) >= grown, f"{plot} to grow")
        assert page.js(MARKS, plot) == ["Blue 25.0%"]
    assert page.element("summary").text.startswith("After ")


def test_a_new_city_starts_the_plots_afresh(page):
    page.open("#seed=3")
    page.wait_for(lambda: min(page.js(POINTS, "same-plot")) >= 3, "three points on the plot")
    page.click("start-over")
    page.driver.find_element(By.CSS_SELECTOR, "#start-over-dialog button[value=ok]").click()
    page.wait_for(lambda: page.seed() != 3, "a new city")
    page.wait_for(lambda: min(page.js(POINTS, "same-plot")) in (1, 2), "the plot to start again")


@pytest.mark.parametrize("speed", ["1", "10", "100", "fastest"])
def test_every_speed_runs_the_clock(page, speed):
    page.open("#seed=4")
    page.driver.find_element(By.CSS_SELECTOR, f"input[name=speed][value=\"{speed}\"]").click()
    generation = page.drawn_generation()
    page.wait_for(lambda: page.drawn_generation() > generation, "the next generation")


# Preference texts as typed, and whether the page is paused when the link is copied.
LINKS = {
    "display texts, paused": (["50.0%", "12.5%", ".0%", "100.0%", "37.5%"], True),
    "texts to encode, running": (["25%", "1,000", "a&b#c", "x,y", "é 50"], False),
}


@pytest.mark.parametrize("typed, paused", LINKS.values(), ids=LINKS.keys())
def test_copy_link_opens_the_same_city(page, typed, paused):
    page.open("#seed=2718281828&paused")
    for g, text in enumerate(typed, start=1):
        field = page.element(f"pref-{g}")
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(text, Keys.ENTER)
    shown = page.preferences()
    built = page.groups()
    if not paused:
        page.click("continue")
    page.click("copy-link")
    link = page.wait_for(lambda: page.value("link"), "the link")
    assert link.startswith(page.address + "#seed=2718281828&prefs=")
    assert link.endswith("&paused") == paused

    page.driver.get("about:blank")
    page.driver.get(link)
    page.wait_ready()
    assert page.seed() == 2718281828
    assert page.preferences() == shown
    if paused:
        page.wait_drawn(0)
        assert page.groups() == built
        assert page.element("step").is_enabled()
    else:
        assert not page.element("step").is_enabled()


def test_an_address_pasted_into_the_tab_opens_its_city(page):
    page.open("#seed=1&paused")
    first = page.groups()
    page.js("location.hash = '#seed=2&prefs=0,0,0,0,0&paused'")
    page.wait_for(lambda: page.seed() == 2, "the pasted city")
    page.wait_drawn(0)
    assert page.preferences() == [".0%"] * 5
    assert page.groups() != first
    page.js("location.hash = '#seed=1&paused'")
    page.wait_for(lambda: page.seed() == 1, "the first city again")
    page.wait_drawn(0)
    assert page.groups() == first


HUGE = "9" * 100_000

# A fragment, the seed it gives (None: one picked at random), the preference fields then,
# whether it opens paused, and what the notice says (None: nothing).
ODD_LINKS = {
    "none": ("", None, ["50.0%"] * 5, False, None),
    "seed only": ("#seed=42&paused", 42, ["50.0%"] * 5, True, None),
    "letters for a seed": ("#seed=abc&paused", None, ["50.0%"] * 5, True, 'seed "abc" is not a whole number'),
    "seed too large": ("#seed=4294967296&paused", None, ["50.0%"] * 5, True, "from 0 to 4294967295"),
    "negative seed": ("#seed=-1&paused", None, ["50.0%"] * 5, True, "not a whole number"),
    "huge seed": (f"#seed={HUGE}&paused", None, ["50.0%"] * 5, True, '"999999999999999999999999…"'),
    "seed without a value": ("#seed&paused", None, ["50.0%"] * 5, True, "not a whole number"),
    "two preferences": ("#seed=5&prefs=1,2&paused", 5, ["50.0%"] * 5, True, "gives 2 preferences instead of 5"),
    "broken escape": ("#seed=5&prefs=%E0%A4%A,1,1,1,1&paused", 5, ["50.0%"] * 5, True, "not percent-encoded"),
    "odd texts are texts": ("#seed=5&prefs=%2D0.5,abc,,500000,%F0%9F%98%80&paused", 5,
                            [".0%", ".0%", ".0%", "100.0%", ".0%"], True, None),
    "plus stays a plus": ("#seed=5&prefs=+50,%2B.5,1e0,0x10,.5&paused", 5,
                          ["50.0%", "50.0%", "100.0%", ".0%", "50.0%"], True, None),
    "unknown parts ignored": ("#zoom=3&seed=6&&=&paused=yes", 6, ["50.0%"] * 5, True, None),
    "huge preference": (f"#seed=5&prefs={HUGE},1,1,1,1&paused", 5, ["100.0%"] * 5, True, None),
}


@pytest.mark.parametrize("fragment, seed, prefs, paused, notice", ODD_LINKS.values(), ids=ODD_LINKS.keys())
def test_any_address_opens_a_defined_city(page, fragment, seed, prefs, paused, notice):
    page.open(fragment)
    if seed is None:
        assert 0 <= page.seed() <= 4294967295
    else:
        assert page.seed() == seed
    assert page.preferences() == prefs
    assert page.element("step").is_enabled() == paused
    if notice is None:
        assert page.notice() == ""
    else:
        assert notice in page.notice()


def test_saved_png_is_the_map_home_by_home(page):
    page.open("#seed=77&paused")
    page.step(5)
    saved = page.download("save-png", ".png")
    assert "seed-77-generation-5" in saved.name
    assert png_groups(saved) == page.groups()


def test_saved_csv_holds_a_row_per_sample_and_the_end(page):
    page.open("#seed=77&paused")
    stopped = page.run_until(100)
    saved = page.download("save-csv", ".csv")
    lines = saved.read_text().splitlines()
    generations = [int(line.split(",")[0]) for line in lines[1:]]
    expected = [g for g in range(0, stopped + 1, 46)]
    if stopped % 46:
        expected.append(stopped)
    assert generations == expected
    assert lines[0].startswith("generation,date,years,pref_blue_eighths,")
