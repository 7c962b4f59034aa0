// SPDX-License-Identifier: GPL-3.0-or-later
// The functions the page calls, in plain C so that JavaScript reaches them with cwrap. A
// city is a handle; texts go in as UTF-8 and come back in the handle's reply buffer, valid
// until the next call on that handle.
#include "pagerun.h"

#include "measurestable.h"
#include "runplan.h"

#include <emscripten/emscripten.h>

#include <string>
#include <utility>

namespace {

// The page's handle: the run and the last text handed back.
struct PageCity
{
    PageRun run;
    std::string reply;
};

const char *Reply(PageCity *city, std::string text)
{
    city->reply = std::move(text);
    return city->reply.c_str();
}

// A field of the main window by the number the page uses for it.
constexpr CityWindow::Field Fields[] = {CityWindow::Field::Dayt, CityWindow::Field::Kount, CityWindow::Field::Prop,
                                        CityWindow::Field::Pref, CityWindow::Field::Population};
constexpr int FieldCount = int(sizeof Fields / sizeof Fields[0]);

// A null text reads as an empty field.
std::string TextOf(const char *text)
{
    return text ? std::string(text) : std::string();
}

} // namespace

extern "C" {

// Builds a city from the seed after typing the five preference texts, Blue to Yellow.
EMSCRIPTEN_KEEPALIVE PageCity *velmora_new_city(std::uint32_t seed, const char *blue, const char *red,
                                                const char *green, const char *gray, const char *yellow)
{
    // Measured as often as the Lab measures by default, so that its CSV compares at once.
    return new PageCity{PageRun(seed, {TextOf(blue), TextOf(red), TextOf(green), TextOf(gray), TextOf(yellow)},
                                RunLimits::DefaultEvery),
                        {}};
}

EMSCRIPTEN_KEEPALIVE void velmora_delete_city(PageCity *city)
{
    delete city;
}

// How many generations ran; a negative request runs none.
EMSCRIPTEN_KEEPALIVE int velmora_advance(PageCity *city, int generations)
{
    return generations > 0 ? int(city->run.Advance(generations)) : 0;
}

EMSCRIPTEN_KEEPALIVE int velmora_damaged(PageCity *city)
{
    return city->run.damaged();
}

EMSCRIPTEN_KEEPALIVE int velmora_sampling_over(PageCity *city)
{
    return city->run.samplingOver();
}

EMSCRIPTEN_KEEPALIVE double velmora_generation(PageCity *city)
{
    return double(city->run.generation());
}

// Years of 365.25 days since the city was built, as the measures count them.
EMSCRIPTEN_KEEPALIVE double velmora_years(PageCity *city)
{
    return YearsOfGeneration(city->run.generation());
}

EMSCRIPTEN_KEEPALIVE std::uint32_t velmora_seed(PageCity *city)
{
    return city->run.seed();
}

// The text the field shows after the window's reading of the typed one.
EMSCRIPTEN_KEEPALIVE const char *velmora_type_preference(PageCity *city, int group, const char *text)
{
    return Reply(city, city->run.TypePreference(group, TextOf(text)));
}

EMSCRIPTEN_KEEPALIVE int velmora_pref_eighths(PageCity *city, int group)
{
    return city->run.PrefEighths(group);
}

// Field 0 the date, 1 a group's number, 2 its proportion, 3 its preference, 4 the population.
EMSCRIPTEN_KEEPALIVE const char *velmora_field_text(PageCity *city, int field, int group)
{
    if (field < 0 || field >= FieldCount)
        return Reply(city, {});
    return Reply(city, city->run.FieldText(Fields[field], group));
}

// 265 x 265 RGBA pixels, valid until the next call on this city.
EMSCRIPTEN_KEEPALIVE const std::uint8_t *velmora_rgba(PageCity *city)
{
    return city->run.Rgba();
}

EMSCRIPTEN_KEEPALIVE int velmora_sample_count(PageCity *city)
{
    return int(city->run.SampleLines().size());
}

// A row of measures.csv, with its newline; empty for an index out of range.
EMSCRIPTEN_KEEPALIVE const char *velmora_sample_line(PageCity *city, int index)
{
    const auto &lines = city->run.SampleLines();
    if (index < 0 || std::size_t(index) >= lines.size())
        return Reply(city, {});
    return lines[std::size_t(index)].c_str();
}

EMSCRIPTEN_KEEPALIVE const char *velmora_measures_csv(PageCity *city)
{
    return Reply(city, city->run.MeasuresCsv());
}

EMSCRIPTEN_KEEPALIVE const char *velmora_header_line()
{
    static const std::string header = MeasuresTable::HeaderLine();
    return header.c_str();
}

} // extern "C"
