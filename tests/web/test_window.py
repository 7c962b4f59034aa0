# SPDX-License-Identifier: GPL-3.0-or-later
"""What the page shares with the main window: its fields, buttons and two modal windows."""

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from conftest import Page

FIRST_DAY = "1/1/2005"

# A text typed into a preference field, and what the field then shows. "before" is typed
# first, for the rows whose reading depends on the preference already there.
READINGS = {
    "start text": (None, ".5", "50.0%"),
    "fraction": (None, "0.5", "50.0%"),
    "percentage": (None, "50", "50.0%"),
    "percent sign": (None, "50%", "50.0%"),
    "own display": (None, "50.0%", "50.0%"),
    "exactly one is all": (None, "1", "100.0%"),
    "two is two per cent": (None, "2", ".0%"),
    "letters": (None, "abc", ".0%"),
    "empty": (None, "", ".0%"),
    "blanks around": (None, "  .25  ", "25.0%"),
    "exponent": (None, "1e-1", "12.5%"),
    "half to even, down": (None, "0.0625", ".0%"),
    "half to even, up": (None, "0.1875", "25.0%"),
    "half to even, percentage": (None, "93.75", "100.0%"),
    "rounded to four decimals first": (None, "0.18749", "25.0%"),
    "huge": (None, "500000", "100.0%"),
    "beyond a double": (None, "1e999", "100.0%"),
    "negative keeps the previous": ("37.5%", "-0.5", "37.5%"),
    "negative zero point five after letters": ("abc", "-0.5", ".0%"),
    "thousands separators": (None, "1,000", "100.0%"),
    "not a number at all": (None, "½ of them", ".0%"),
}


STILL = "#seed=11&paused"


@pytest.fixture(scope="module")
def still_page(driver, server, downloads):
    """One paused page for all the readings: each row types what it needs first."""
    return Page(driver, server.address, downloads).open(STILL)


@pytest.mark.parametrize("before, typed, shown", READINGS.values(), ids=READINGS.keys())
def test_typed_preference_reads_as_the_window_reads_it(still_page, before, typed, shown):
    if still_page.js("return location.hash") != STILL:   # another check went elsewhere
        still_page.open(STILL)
    field = still_page.element("pref-2")
    for text in ([before] if before is not None else []) + [typed]:
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(Keys.DELETE)
        field.send_keys(text, Keys.ENTER)
    assert field.get_attribute("value") == shown
    # Enter leaves the focus in the field, as in the window.
    assert still_page.js("return document.activeElement.id") == "pref-2"


def test_leaving_a_field_applies_it(page):
    page.open(STILL)
    field = page.element("pref-4")
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(".125", Keys.TAB)
    assert field.get_attribute("value") == "12.5%"


def test_a_new_city_shows_the_window_fields(page):
    page.open("#seed=5&paused")
    assert page.value("dayt") == FIRST_DAY
    assert page.value("population") == "70,225"
    counts = [int(page.value(f"kount-{g}").replace(",", "")) for g in range(1, 6)]
    assert sum(counts) == 70225
    for g in range(1, 6):
        assert page.value(f"prop-{g}").endswith("%")
    assert page.preferences() == ["50.0%"] * 5
    assert page.element("pause") == page.driver.switch_to.active_element


def test_the_clock_runs_by_itself_from_the_first_city(page):
    page.open("#seed=5")
    page.wait_for(lambda: page.value("dayt") != FIRST_DAY, "the date to move")


def test_pause_stops_the_date_and_continue_resumes_it(page):
    page.open()
    page.wait_for(lambda: page.value("dayt") != FIRST_DAY, "the date to move")
    page.click("pause")
    page.frames(2)
    paused = page.value("dayt")
    generation = page.drawn_generation()
    # Twenty-five frames of the page: at 100 generations a second a dozen would have run.
    page.frames(25)
    assert page.value("dayt") == paused
    assert page.drawn_generation() == generation
    page.click("continue")
    page.wait_for(lambda: page.value("dayt") != paused, "the date to move again")


def test_step_runs_one_generation_only_while_paused(page):
    page.open("#seed=8&paused")
    assert page.element("step").is_enabled()
    page.step(3)
    assert page.value("dayt") == "1/25/2005"
    page.click("continue")
    assert not page.element("step").is_enabled()


def open_start_over(page):
    page.click("start-over")
    dialog = page.element("start-over-dialog")
    page.wait_for(lambda: dialog.get_attribute("open") is not None, "the Start Over question")
    assert dialog.find_element(By.TAG_NAME, "p").text == \
        "Are you sure you want to clear the city map and start with a new population?"
    assert dialog.find_element(By.TAG_NAME, "h2").text == "Start Over From Scratch"
    return dialog


# How the question is answered, and whether a new city follows.
ANSWERS = {
    "Enter answers Cancel": (lambda dialog: dialog.parent.switch_to.active_element.send_keys(Keys.ENTER), False),
    "Escape": (lambda dialog: dialog.parent.switch_to.active_element.send_keys(Keys.ESCAPE), False),
    "Cancel": (lambda dialog: dialog.find_element(By.CSS_SELECTOR, "button[value=cancel]").click(), False),
    "OK": (lambda dialog: dialog.find_element(By.CSS_SELECTOR, "button[value=ok]").click(), True),
}


@pytest.mark.parametrize("answer, rebuilds", ANSWERS.values(), ids=ANSWERS.keys())
def test_start_over_builds_a_new_city_only_on_ok(page, answer, rebuilds):
    page.open("#seed=21&prefs=25%25,.5,.5,.5,abc&paused")
    page.step(2)
    city = page.groups()
    dialog = open_start_over(page)
    answer(dialog)
    page.wait_for(lambda: dialog.get_attribute("open") is None, "the question to close")
    if rebuilds:
        page.wait_for(lambda: page.seed() != 21, "a new seed")
        page.wait_drawn(0)
        assert page.groups() != city
        assert page.value("dayt") == FIRST_DAY
        # Preferences carry over; the clock stays paused.
        assert page.preferences() == ["25.0%", "50.0%", "50.0%", "50.0%", ".0%"]
        assert page.element("step").is_enabled()
    else:
        page.frames(2)
        assert page.seed() == 21
        assert page.drawn_generation() == 2
        assert page.groups() == city


PARAGRAPHS = [
    "Velmora is a medium-sized simulated city (population just over 70,000), and has five distinct ethnic "
    "groups: Blues, Reds, Greens, Grays, and Yellows. We make the reasonable assumption that people in each "
    "ethnic group, when choosing their residence, have a modest preference for their own group: they would "
    "prefer that at least 50% of their immediate neighbors be of the same ethnic group.",
    "The purpose of the model is to see how quickly these preferences produce residential segregation. "
    "Additional assumptions are that each person moves on the average of once every eight years, and that "
    "each may choose to live within any currently available housing unit in the city.",
    "You will find that the different groups relatively quickly congregate in their separate enclaves -- "
    "within about ten years. It is important to note that THIS OCCURS WITHOUT ANY ASSUMPTION OF "
    "DISCRIMINATION BY ONE GROUP AGAINST ANOTHER! All that is required is that each group have a modest "
    "preference for its own kind.",
    "You may change the pattern of residence by changing the preference of one or more groups. If you make a "
    "group less inclined to choose its own for neighbors, you will still find the enclaves forming, but at a "
    "slower rate. We suggest that you try removing preferences (making them zero) for all groups but one -- "
    "and that one group will still have its \"ghetto\"!",
    "Since each resident of Velmora can have eight neighbors, the \"Preference \" column will limit its values "
    "to eighths, displayed as percentages: 12.5%, 25%, etc.",
]

CLOSINGS = {
    "Escape": lambda dialog: dialog.parent.switch_to.active_element.send_keys(Keys.ESCAPE),
    "Close": lambda dialog: dialog.find_element(By.TAG_NAME, "button").click(),
}


@pytest.mark.parametrize("close", CLOSINGS.values(), ids=CLOSINGS.keys())
def test_information_window_shows_the_five_paragraphs_and_closes(page, close):
    page.open()
    for _ in range(2):   # and the same again
        page.click("display-more")
        dialog = page.element("more-info")
        page.wait_for(lambda: dialog.get_attribute("open") is not None, "the information window")
        assert dialog.find_element(By.TAG_NAME, "h2").text == \
            "Simulation Of Ethnic Group Residential Patterns in Velmora"
        texts = [p.get_attribute("textContent") for p in dialog.find_elements(By.CSS_SELECTOR, ":scope > p")]
        assert texts == PARAGRAPHS
        assert page.driver.switch_to.active_element.text == "Close"
        close(dialog)
        page.wait_for(lambda: dialog.get_attribute("open") is None, "the information window to close")
    # The generations went on behind it.
    generation = page.drawn_generation()
    page.wait_for(lambda: page.drawn_generation() > generation, "the next generation")
