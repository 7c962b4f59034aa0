# SPDX-License-Identifier: GPL-3.0-or-later
"""Same seed, same city, same numbers: the page against velmora-lab."""

import urllib.parse

import pytest

from conftest import png_groups


def fragment(seed, prefs, paused=True):
    texts = ",".join(urllib.parse.quote(text, safe="") for text in prefs)
    return f"#seed={seed}&prefs={texts}" + ("&paused" if paused else "")


# Seed, the five preference texts as typed into the page, and Steps after construction. The
# window reads any text; a Lab run takes only plain ones, so it is given the texts the page's
# fields show once they have read what was typed: the same eighths.
CITIES = {
    "window start": (7, [".5"] * 5, 4),
    "seed zero, one group choosy": (0, ["0", "0", "0", "0", "75%"], 3),
    "largest seed, texts only the window takes": (4294967295, ["1", "2", ".0625", "93.75", "abc"], 2),
    "rounded before read": (123456789, ["37.5%", ".25", "60", "0.18749", "8"], 12),
}


@pytest.mark.parametrize("seed, prefs, steps", CITIES.values(), ids=CITIES.keys())
def test_city_equals_the_labs_home_by_home(page, lab, seed, prefs, steps):
    page.open(fragment(seed, prefs))
    assert page.seed() == seed
    runs = lab("--seed", seed, "--prefs", ",".join(page.preferences()), "--generations", steps,
               "--snapshots", steps, "--bare")

    page.wait_drawn(0)
    assert page.groups() == png_groups(runs / "map-000000.png"), "the city as built differs"
    page.step(steps)
    assert page.groups() == png_groups(runs / f"map-{steps:06d}.png"), f"the city after {steps} Steps differs"


# Seed, preferences, the generation to run to, and a change typed then: (group, text).
RUNS = {
    "window start": (7, [".5"] * 5, 100, None),
    "a group made choosy midway": (2024, ["50%", "50%", "25%", "50%", "0"], 150, (3, "87.5%")),
    "preferences removed": (31, [".5"] * 5, 100, (1, "0")),
}


@pytest.mark.parametrize("seed, prefs, first, change", RUNS.values(), ids=RUNS.keys())
def test_measures_csv_equals_the_labs(page, lab, seed, prefs, first, change):
    page.open(fragment(seed, prefs))
    arguments = ["--seed", seed, "--prefs", ",".join(page.preferences()), "--every", 46]
    stopped = page.run_until(first)
    if change:
        group, text = change
        field = page.element(f"pref-{group}")
        field.clear()
        field.send_keys(text + "\n")
        # The Lab types all five before the next generation; the others read back unchanged.
        arguments += ["--set", f"{stopped + 1}:{','.join(page.preferences())}"]
        stopped = page.run_until(stopped + 60)

    saved = page.download("save-csv", ".csv")
    runs = lab(*arguments, "--generations", stopped)
    assert saved.read_bytes() == (runs / "measures.csv").read_bytes()


def test_both_cores_build_the_same_city(page):
    """The SIMD core and the plain one, for browsers without SIMD, give the same map and
    measures."""
    page.open()
    result = page.driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        import('./core.js').then(async ({ loadCore }) => {
            const picture = async (simd) => {
                const city = (await loadCore({ simd })).newCity(99, ['.5', '0', '100%', '25', 'abc']);
                city.advance(200);
                const map = Array.from(city.rgba()).join(',');
                return { simd, map, csv: city.measuresCsv() };
            };
            done([await picture(true), await picture(false)]);
        }).catch((error) => done(String(error)));
    """)
    assert isinstance(result, list), result
    simd, plain = result
    assert simd["simd"] and not plain["simd"]
    assert simd["map"] == plain["map"]
    assert simd["csv"] == plain["csv"]
    assert simd["csv"].count("\n") == 1 + 6, "a header, samples at 0, 46, 92, 138 and 184, and the end"


def test_measures_end_with_the_calendar(page):
    """As no Lab run goes past 31 December 9999, the page takes no measures there: the table
    stops growing however long the page runs, while the city goes on."""
    page.open()
    page.driver.set_script_timeout(600)
    result = page.driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        import('./core.js').then(async ({ loadCore, Field }) => {
            const city = (await loadCore()).newCity(5, ['.5', '.5', '.5', '.5', '.5']);
            const report = () => ({ generation: city.generation, samples: city.sampleCount,
                                    over: city.samplingOver, date: city.field(Field.Date),
                                    csv: city.measuresCsv().trimEnd().split('\\n') });
            city.advance(365014);
            const atEnd = report();
            city.advance(100);
            done([atEnd, report()]);
        }).catch((error) => done(String(error)));
    """)
    assert isinstance(result, list), result
    at_end, after = result
    assert at_end["samples"] == 7936 and not at_end["over"]   # 0, 46, ... 365,010
    assert at_end["date"] == "12/31/9999"
    # A header, the samples, and the end as the Lab's longest run ends.
    assert len(at_end["csv"]) == 1 + 7936 + 1 and at_end["csv"][-1].startswith("365014,9999-12-31,")
    assert after["samples"] == 7936 and after["over"]
    assert after["generation"] == 365114
    assert after["csv"] == at_end["csv"][:-1]
