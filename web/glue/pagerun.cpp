// SPDX-License-Identifier: GPL-3.0-or-later
#include "pagerun.h"

#include "constants.h"
#include "labrun.h"
#include "measurestable.h"
#include "runplan.h"

#include <algorithm>

PageRun::PageRun(std::uint32_t seed, const std::vector<std::string> &prefTexts, int measureEvery)
    : run_(seed, prefTexts)
    , every_(std::max(measureEvery, 1))
    , governing_(run_.prefEighths())
    , rgba_(std::size_t(CellCount) * 4)
{
}

void PageRun::MeasureBuiltCity()
{
    if (lastSampled_ < 0) {
        lines_.push_back(LineAt(0, governing_));
        lastSampled_ = 0;
    }
}

const std::vector<std::string> &PageRun::SampleLines()
{
    MeasureBuiltCity();
    return lines_;
}

bool PageRun::Sampled(std::int64_t generation, int every)
{
    return generation <= RunLimits::MaxGenerations && every > 0 && generation % every == 0;
}

std::string PageRun::LineAt(std::int64_t generation, const GroupTable<std::int16_t> &prefs)
{
    Sample sample = TakeSample(run_.city(), generation, measurer_);
    if (sample.prefEighths != prefs) {
        // Typed since the latest generation: the Lab, ending here, never saw them.
        sample.prefEighths = prefs;
        sample.measures = measurer_.Measure(run_.grid(), prefs);
    }
    return MeasuresTable::Line(sample);
}

std::int64_t PageRun::Advance(std::int64_t generations)
{
    MeasureBuiltCity();
    std::int64_t done = 0;
    while (done < generations && !damaged_) {
        // Up to the next sampled generation at most, so that each is measured as it passes.
        const std::int64_t toSample = every_ - run_.generation() % every_;
        const auto advance = run_.AdvanceBy(std::min(generations - done, toSample), {});
        done += advance.done;
        damaged_ = advance.damaged;
        if (advance.done > 0)
            governing_ = run_.prefEighths();
        if (!damaged_ && Sampled(run_.generation(), every_) && run_.generation() != lastSampled_) {
            lines_.push_back(LineAt(run_.generation(), governing_));
            lastSampled_ = run_.generation();
        }
    }
    return done;
}

std::string PageRun::TypePreference(int group, std::string_view text)
{
    MeasureBuiltCity();
    run_.TypePreference(group, std::string(text));
    return FieldText(CityWindow::Field::Pref, group);
}

int PageRun::PrefEighths(int group) const
{
    return group >= 1 && group <= GroupCount ? run_.prefEighths()[std::size_t(group)] : 0;
}

const std::uint8_t *PageRun::Rgba()
{
    const Rgb *picture = run_.city().map().picture();
    for (std::size_t i = 0; i < std::size_t(CellCount); ++i) {
        const Rgb pixel = picture[i];
        rgba_[4 * i] = std::uint8_t(pixel >> 16);
        rgba_[4 * i + 1] = std::uint8_t(pixel >> 8);
        rgba_[4 * i + 2] = std::uint8_t(pixel);
        rgba_[4 * i + 3] = 0xff;
    }
    return rgba_.data();
}

std::string PageRun::MeasuresCsv()
{
    MeasureBuiltCity();
    std::string csv = MeasuresTable::HeaderLine();
    for (const std::string &line : lines_)
        csv += line;
    const std::int64_t g = run_.generation();
    if (g != lastSampled_ && g <= RunLimits::MaxGenerations)
        csv += LineAt(g, governing_);
    return csv;
}
