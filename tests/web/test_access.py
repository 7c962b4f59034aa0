# SPDX-License-Identifier: GPL-3.0-or-later
"""For people and projectors: keyboard, labels, contrast, layout; and the folder itself."""

import pytest
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from conftest import PROJECTOR

PHONE = (390, 844)
MAX_PAGE_BYTES = 1_000_000
MIN_CONTRAST = 4.5
# Every control of the page, as the Tab key should reach it (the speed radios are one stop).
CONTROLS = {"pref-1", "pref-2", "pref-3", "pref-4", "pref-5", "pause", "continue", "start-over",
            "display-more", "speed", "step", "copy-link", "link", "save-png", "save-csv"}

FOCUSED = """
    const e = document.activeElement;
    const style = getComputedStyle(e);
    return { id: e.type === 'radio' ? e.name : e.id, outline: style.outlineStyle,
             width: parseFloat(style.outlineWidth) };
"""


def test_tab_reaches_every_control_with_a_visible_focus(page):
    page.open("#seed=9&paused")
    page.js("document.activeElement.blur()")
    reached = {}
    for _ in range(3 * len(CONTROLS)):
        ActionChains(page.driver).send_keys(Keys.TAB).perform()
        focused = page.js(FOCUSED)
        reached[focused["id"]] = focused
    assert CONTROLS <= reached.keys(), f"not reached by Tab: {CONTROLS - reached.keys()}"
    for name in CONTROLS:
        assert reached[name]["outline"] != "none" and reached[name]["width"] >= 2, f"no visible focus on {name}"


def test_the_keyboard_alone_runs_the_page(page):
    page.open("#seed=9")
    page.element("pause").send_keys(Keys.ENTER)
    page.wait_for(lambda: page.element("step").is_enabled(), "Pause by Enter")
    generation = page.drawn_generation()
    page.element("step").send_keys(Keys.SPACE)
    page.wait_drawn(generation + 1)
    page.element("display-more").send_keys(Keys.ENTER)
    dialog = page.element("more-info")
    page.wait_for(lambda: dialog.get_attribute("open") is not None, "the information window")
    page.driver.switch_to.active_element.send_keys(Keys.ESCAPE)
    page.wait_for(lambda: dialog.get_attribute("open") is None, "the information window to close")
    # Arrow keys move between the speeds.
    page.driver.find_element(By.CSS_SELECTOR, "input[name=speed][value='100']").send_keys(Keys.ARROW_RIGHT)
    assert page.js("return document.querySelector('input[name=speed]:checked').value") == "fastest"


def test_every_field_and_button_has_a_name(page):
    page.open("#seed=9")
    elements = page.driver.find_elements(By.CSS_SELECTOR, "main input, main button, main output, canvas")
    assert len(elements) > 25
    unnamed = [e.get_attribute("id") or e.get_attribute("value") for e in elements if not e.accessible_name.strip()]
    assert unnamed == []


CONTRASTS = """
    const luminance = (rgb) => {
        const [r, g, b] = rgb.map((c) => { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4; });
        return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    const colour = (text) => text.match(/[\\d.]+/g).map(Number);
    const background = (e) => {
        for (; e; e = e.parentElement) {
            const c = colour(getComputedStyle(e).backgroundColor);
            if (c.length < 4 || c[3] > 0) return c.slice(0, 3);
        }
        return [255, 255, 255];
    };
    const worst = [];
    for (const e of document.querySelectorAll('body *')) {
        const own = [...e.childNodes].some((n) => n.nodeType === Node.TEXT_NODE && n.textContent.trim())
            || ['INPUT', 'OUTPUT', 'BUTTON'].includes(e.tagName);
        if (!own || e.closest('.visually-hidden') || !e.getClientRects().length) continue;
        const fg = luminance(colour(getComputedStyle(e).color).slice(0, 3));
        const bg = luminance(background(e));
        const ratio = (Math.max(fg, bg) + 0.05) / (Math.min(fg, bg) + 0.05);
        worst.push([ratio, e.tagName + '#' + e.id + ' ' + (e.textContent || e.value || '').trim().slice(0, 30)]);
    }
    return worst.sort((a, b) => a[0] - b[0]).slice(0, 5);
"""


# The page as it opens, and with each modal window open.
@pytest.mark.parametrize("opened", [None, "display-more", "start-over"])
def test_text_contrast_is_at_least_four_and_a_half(page, opened):
    page.open("#seed=9&paused")
    if opened:
        page.click(opened)
    worst = page.js(CONTRASTS)
    assert worst, "no text found"
    assert worst[0][0] >= MIN_CONTRAST, f"lowest contrasts: {worst}"


def box(page, selector):
    return page.js("return document.querySelector(arguments[0]).getBoundingClientRect().toJSON()", selector)


def map_side(page):
    """The map's drawing area in CSS pixels, inside its border; it is square."""
    width, height = page.js("const map = document.getElementById('map'); return [map.clientWidth, map.clientHeight]")
    assert width == height
    return width


def test_projector_shows_map_fields_and_plots_side_by_side(page, out_dir):
    page.open("#seed=1234567", size=PROJECTOR)
    width, height = PROJECTOR
    map_box, table, plots, buttons = (box(page, s) for s in ("#map", ".census", ".plots", "#buttons"))
    assert map_side(page) in (265, 530, 795), "a whole-number scale"
    assert page.js("return getComputedStyle(document.getElementById('map')).imageRendering") == "pixelated"
    assert map_box["bottom"] <= height and buttons["bottom"] <= height
    assert map_box["right"] <= table["left"] and table["right"] <= plots["left"]
    assert page.js("return document.documentElement.scrollWidth") <= width
    # Ten years at the window's speed, the Reds made choosier halfway, for a picture with
    # something on the plots.
    page.wait_for(lambda: page.drawn_generation() >= 230, "five years", seconds=60)
    field = page.element("pref-2")
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys("75%", Keys.ENTER)
    page.wait_for(lambda: page.drawn_generation() >= 460, "ten years", seconds=60)
    page.click("pause")
    page.wait_for(lambda: page.js("return window.Chart?.getChart('same-plot') !== undefined"), "the plots")
    page.frames(20)   # past the plots' next redraw
    page.driver.save_screenshot(str(out_dir / "velmora-page.png"))


def test_phone_upright_has_the_map_on_top(page, out_dir):
    page.open("#seed=1234567", size=PHONE)
    width, _ = PHONE
    map_box, table, plots = (box(page, s) for s in ("#map", ".census", ".plots"))
    assert map_box["bottom"] <= table["top"] <= plots["top"]
    assert map_side(page) in (265, 530)
    assert page.js("return document.documentElement.scrollWidth") <= width
    page.driver.save_screenshot(str(out_dir / "velmora-page-phone.png"))


def test_every_request_stays_on_this_host(page, server):
    page.open("#seed=9")
    page.wait_for(lambda: page.js("return window.Chart?.getChart('same-plot') !== undefined"), "the plots")
    requested = page.js("return performance.getEntriesByType('resource').map((e) => e.name)")
    assert any(name.endswith(".wasm") for name in requested)
    assert all(name.startswith(server.address) for name in requested), requested


def test_the_folder_is_under_a_megabyte(page_dir):
    files = [f for f in page_dir.rglob("*") if f.is_file()]
    assert {"index.html", "chart.min.js", "velmora-core.wasm", "velmora-core-simd.wasm"} <= {f.name for f in files}
    assert sum(f.stat().st_size for f in files) < MAX_PAGE_BYTES
