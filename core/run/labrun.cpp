// SPDX-License-Identifier: GPL-3.0-or-later
#include "labrun.h"

#include "groupgrid.h"

Sample TakeSample(const HeadlessCity &city, std::int64_t generation)
{
    CityMeasurer measurer;
    return TakeSample(city, generation, measurer);
}

Sample TakeSample(const HeadlessCity &city, std::int64_t generation, CityMeasurer &measurer)
{
    Sample sample;
    sample.generation = generation;
    sample.date = city.date();
    sample.years = YearsOfGeneration(generation);
    sample.prefEighths = city.general().PrefEighths;
    sample.measures = measurer.Measure(GroupGrid::FromCityMap(city.map()), sample.prefEighths);
    return sample;
}

LabRun::LabRun(const RunPlan &plan)
    : plan_(plan)
    , city_(plan.seed)
{
}

void LabRun::TypePreferences(const std::vector<std::string> &texts)
{
    for (GroupIndex g = 1; g <= GroupCount && std::size_t(g) <= texts.size(); ++g)
        city_.TypePreference(g, texts[std::size_t(g - 1)]);
}

LabRun::End LabRun::Execute(const Visit &visit, const std::atomic<bool> *stop)
{
    auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };

    // Construction reads the preference fields itself, as after a user typed them.
    for (GroupIndex g = 1; g <= GroupCount && std::size_t(g) <= plan_.prefTexts.size(); ++g)
        city_.setText(CityWindow::Field::Pref, g, plan_.prefTexts[std::size_t(g - 1)]);
    city_.general().BuildCity();
    if (!visit(0, city_))
        return End::Refused;

    auto change = plan_.changes.cbegin();
    for (std::int64_t g = 1; g <= plan_.generations; ++g) {
        if (stopped())
            return End::Stopped;
        for (; change != plan_.changes.cend() && change->generation <= g; ++change)
            TypePreferences(change->texts);
        city_.general().NextGeneration();
        if (city_.damaged())
            return End::Damaged;
        if (!visit(g, city_))
            return End::Refused;
    }
    return End::Finished;
}
