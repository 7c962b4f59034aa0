// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurecolumns.h"

namespace {

using Optional = std::optional<double>;
using PerGroup = GroupTable<Optional> CityMeasures::*;

QList<MeasureColumn> BuildColumns()
{
    QList<MeasureColumn> columns;
    // A column per group, named and described after the group; %1 is its name.
    auto addPerGroup = [&](const QString &stem, const QString &description, auto value) {
        for (GroupIndex g = 1; g <= GroupCount; ++g) {
            columns.append({stem + u'_' + GroupName(g).toLower(), description.arg(GroupName(g)),
                            [value, g](const CityMeasures &m) { return value(m, g); }});
        }
    };
    auto member = [](PerGroup table) {
        return [table](const CityMeasures &m, GroupIndex g) { return (m.*table)[g]; };
    };

    columns.append({QStringLiteral("same_share_all"),
                    QStringLiteral("Mean share of a resident's in-grid neighbours that belong to its own group, over all residents"),
                    [](const CityMeasures &m) { return m.sameShareAll; }});
    addPerGroup(QStringLiteral("same_share"),
                QStringLiteral("Mean share of a %1 resident's in-grid neighbours that are %1"),
                member(&CityMeasures::sameShare));
    columns.append({QStringLiteral("dissatisfied_all"),
                    QStringLiteral("Share of residents with fewer neighbours of their own group than their group's preference"),
                    [](const CityMeasures &m) { return m.dissatisfiedAll; }});
    addPerGroup(QStringLiteral("dissatisfied"),
                QStringLiteral("Share of %1 residents with fewer %1 neighbours than the %1 preference"),
                member(&CityMeasures::dissatisfied));
    addPerGroup(QStringLiteral("clusters"),
                QStringLiteral("Number of 8-connected clusters of %1 homes"),
                [](const CityMeasures &m, GroupIndex g) { return Optional(m.clusters[g]); });
    addPerGroup(QStringLiteral("largest_cluster_share"),
                QStringLiteral("Share of the %1 residents who live in the largest %1 cluster"),
                member(&CityMeasures::largestClusterShare));
    const QString tracts = QStringLiteral(" over tracts of %1 x %1 homes").arg(TractSide);
    columns.append({QStringLiteral("dissimilarity"),
                    QStringLiteral("Multigroup dissimilarity index D") + tracts,
                    [](const CityMeasures &m) { return m.dissimilarity; }});
    columns.append({QStringLiteral("theil_h"),
                    QStringLiteral("Theil's information theory index H") + tracts,
                    [](const CityMeasures &m) { return m.theilH; }});
    for (size_t i = 0; i < SpatialRadii.size(); ++i) {
        columns.append({QStringLiteral("spatial_h_r%1").arg(SpatialRadii[i]),
                        QStringLiteral("Spatial information theory index H, squares of radius %1 around each resident")
                            .arg(SpatialRadii[i]),
                        [i](const CityMeasures &m) { return m.spatialH[i]; }});
    }
    columns.append({QStringLiteral("interface_density"),
                    QStringLiteral("Share of pairs of neighbouring residents that belong to different groups"),
                    [](const CityMeasures &m) { return m.interfaceDensity; }});
    return columns;
}

} // namespace

const QList<MeasureColumn> &MeasureColumns()
{
    static const QList<MeasureColumn> columns = BuildColumns();
    return columns;
}
