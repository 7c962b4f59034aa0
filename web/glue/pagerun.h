// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymeasurer.h"
#include "citywindow.h"
#include "runplan.h"
#include "steppedrun.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The city the page shows: a SteppedRun with the Lab's sampling (the city as built, every
// `measureEvery` generations, and the generation reached when the measures are asked for),
// and the map as RGBA bytes for a canvas. Holds no rule of the model; the page's JavaScript
// reaches the core only through this.
class PageRun
{
public:
    PageRun(std::uint32_t seed, const std::vector<std::string> &prefTexts, int measureEvery);

    // Runs up to `generations` generations and measures the city at every sampled one; how
    // many ran (fewer only when the map was found damaged).
    std::int64_t Advance(std::int64_t generations);

    // Types the text into group g's preference field and confirms it, as the window does;
    // the text the field then shows.
    std::string TypePreference(int group, std::string_view text);

    std::string FieldText(CityWindow::Field field, int group) const { return run_.city().text(field, group); }
    int PrefEighths(int group) const;
    std::uint32_t seed() const { return run_.seed(); }
    std::int64_t generation() const { return run_.generation(); }
    bool damaged() const { return damaged_; }
    // Past the calendar's end, where sampling stops (the date starts again at 2005).
    bool samplingOver() const { return run_.generation() > RunLimits::MaxGenerations; }

    // The map as 265 x 265 pixels of R, G, B and A bytes, row by row, as ImageData holds them.
    const std::uint8_t *Rgba();

    // The rows of measures.csv taken so far, without the header; each ends in a newline.
    const std::vector<std::string> &SampleLines();
    // measures.csv as the Lab writes it for a run that ends at the current generation.
    std::string MeasuresCsv();

private:
    // The Lab's runs end with the calendar; so does sampling here, which keeps the table's
    // size bounded however long the page runs.
    static bool Sampled(std::int64_t generation, int every);

    // The city as built is measured when first needed (before its first generation, a typed
    // preference or a look at the measures), so that the page can show it sooner.
    void MeasureBuiltCity();
    std::string LineAt(std::int64_t generation, const GroupTable<std::int16_t> &prefs);

    SteppedRun run_;
    CityMeasurer measurer_;
    int every_;
    std::vector<std::string> lines_;
    std::int64_t lastSampled_ = -1;
    // The preferences that governed the latest generation: typed ones count from the next.
    GroupTable<std::int16_t> governing_{};
    bool damaged_ = false;
    std::vector<std::uint8_t> rgba_;
};
