// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar.h"
#include "citymeasurer.h"
#include "citymeasures.h"
#include "headlesscity.h"
#include "runplan.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The measures of the city at one generation, with what was in force then.
struct Sample
{
    std::int64_t generation = 0;
    Date date{};
    double years = 0;
    GroupTable<std::int16_t> prefEighths{};   // the preferences that governed this generation
    CityMeasures measures;
};

Sample TakeSample(const HeadlessCity &city, std::int64_t generation);
// The same with a measurer kept from one sample to the next, so its memory is reused.
Sample TakeSample(const HeadlessCity &city, std::int64_t generation, CityMeasurer &measurer);

// One run of the model as a plan describes it: the preferences typed, the city built with
// the seed, then every generation in turn, with the preference changes typed in before the
// generations they name. It owns no file; what happens at each generation is the caller's.
class LabRun
{
public:
    explicit LabRun(const RunPlan &plan);

    enum class End { Finished, Stopped, Refused, Damaged };

    // Called after the city is built (generation 0) and after every generation; returning
    // false ends the run (Refused). `stop` is looked at between generations (Stopped).
    using Visit = std::function<bool(std::int64_t generation, const HeadlessCity &city)>;
    End Execute(const Visit &visit, const std::atomic<bool> *stop = nullptr);

    const HeadlessCity &city() const { return city_; }

private:
    void TypePreferences(const std::vector<std::string> &texts);

    RunPlan plan_;
    HeadlessCity city_;
};
