// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurecolumns.h"

namespace {

using Optional = std::optional<double>;
using PerGroup = GroupTable<Optional> CityMeasures::*;

// The text with every "%1" replaced by `value`.
std::string Filled(std::string text, const std::string &value)
{
    for (std::size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + value.size()))
        text.replace(at, 2, value);
    return text;
}

std::vector<MeasureColumn> BuildColumns()
{
    std::vector<MeasureColumn> columns;
    // A column per group, named and described after the group; %1 is its name.
    auto addPerGroup = [&](const std::string &stem, const std::string &description, auto value) {
        for (GroupIndex g = 1; g <= GroupCount; ++g) {
            columns.push_back({stem + '_' + GroupKey(g), Filled(description, GroupName(g)),
                               [value, g](const CityMeasures &m) { return value(m, g); }});
        }
    };
    auto member = [](PerGroup table) {
        return [table](const CityMeasures &m, GroupIndex g) { return (m.*table)[std::size_t(g)]; };
    };

    columns.push_back({"same_share_all",
                       "Mean share of a resident's in-grid neighbours that belong to its own group, over all residents",
                       [](const CityMeasures &m) { return m.sameShareAll; }});
    addPerGroup("same_share", "Mean share of a %1 resident's in-grid neighbours that are %1",
                member(&CityMeasures::sameShare));
    columns.push_back({"dissatisfied_all",
                       "Share of residents with fewer neighbours of their own group than their group's preference",
                       [](const CityMeasures &m) { return m.dissatisfiedAll; }});
    addPerGroup("dissatisfied", "Share of %1 residents with fewer %1 neighbours than the %1 preference",
                member(&CityMeasures::dissatisfied));
    addPerGroup("clusters", "Number of 8-connected clusters of %1 homes",
                [](const CityMeasures &m, GroupIndex g) { return Optional(m.clusters[std::size_t(g)]); });
    addPerGroup("largest_cluster_share", "Share of the %1 residents who live in the largest %1 cluster",
                member(&CityMeasures::largestClusterShare));
    const std::string tracts = Filled(" over tracts of %1 x %1 homes", std::to_string(TractSide));
    columns.push_back({"dissimilarity", "Multigroup dissimilarity index D" + tracts,
                       [](const CityMeasures &m) { return m.dissimilarity; }});
    columns.push_back({"theil_h", "Theil's information theory index H" + tracts,
                       [](const CityMeasures &m) { return m.theilH; }});
    addPerGroup("isolation", "Isolation xPx: mean share of %1 residents in the tract of a %1 resident," + tracts,
                member(&CityMeasures::isolation));
    columns.push_back({"exposure_p", "Multigroup normalized exposure index P" + tracts,
                       [](const CityMeasures &m) { return m.exposureP; }});
    for (std::size_t i = 0; i < SpatialRadii.size(); ++i) {
        const std::string radius = std::to_string(SpatialRadii[i]);
        columns.push_back({"spatial_h_r" + radius,
                           "Spatial information theory index H, squares of radius " + radius + " around each resident",
                           [i](const CityMeasures &m) { return m.spatialH[i]; }});
    }
    columns.push_back({"interface_density", "Share of pairs of neighbouring residents that belong to different groups",
                       [](const CityMeasures &m) { return m.interfaceDensity; }});
    return columns;
}

} // namespace

const std::vector<MeasureColumn> &MeasureColumns()
{
    // Built once on first use and never changed: C++ makes that first use thread-safe.
    static const std::vector<MeasureColumn> columns = BuildColumns();
    return columns;
}
