// SPDX-License-Identifier: GPL-3.0-or-later
#include "measuresreport.h"

#include "corestrings.h"

#include <optional>

namespace {

constexpr int LabelWidth = 24;
constexpr int ValueWidth = 8;
constexpr int Decimals = 3;

QString Cell(const std::optional<double> &value)
{
    return (value ? QString::number(*value, 'f', Decimals) : QStringLiteral("-")).rightJustified(ValueWidth);
}

QString Row(const QString &label, const std::optional<double> &all, const GroupTable<std::optional<double>> &byGroup)
{
    QString line = label.leftJustified(LabelWidth) + (all ? Cell(all) : QString(ValueWidth, u' '));
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        line += Cell(byGroup[g]);
    return line + u'\n';
}

} // namespace

QString MeasuresReport(const Sample &sample, quint32 seed)
{
    const CityMeasures &m = sample.measures;
    QString text = QStringLiteral("Seed %1, generation %2, %3 (%4 years)\n\n")
                       .arg(seed)
                       .arg(sample.generation)
                       .arg(ToQString(IsoDate(sample.date)))
                       .arg(sample.years, 0, 'f', 2);
    QString heading = QString(LabelWidth, u' ') + QStringLiteral("all").rightJustified(ValueWidth);
    GroupTable<std::optional<double>> prefs{};
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        heading += ToQString(GroupKey(g)).rightJustified(ValueWidth);
        prefs[g] = sample.prefEighths[g] / 8.0;
    }
    text += heading + u'\n';
    text += Row(QStringLiteral("preference"), std::nullopt, prefs);
    text += Row(QStringLiteral("same-group share"), m.sameShareAll, m.sameShare);
    text += Row(QStringLiteral("dissatisfied share"), m.dissatisfiedAll, m.dissatisfied);
    QString clusterRow = QStringLiteral("clusters").leftJustified(LabelWidth) + QString(ValueWidth, u' ');
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        clusterRow += QString::number(m.clusters[g]).rightJustified(ValueWidth);
    text += clusterRow + u'\n';
    text += Row(QStringLiteral("largest cluster share"), std::nullopt, m.largestClusterShare);
    text += u'\n';
    auto single = [&](const QString &label, const std::optional<double> &value) {
        text += label.leftJustified(LabelWidth) + Cell(value) + u'\n';
    };
    single(QStringLiteral("dissimilarity D"), m.dissimilarity);
    single(QStringLiteral("Theil H"), m.theilH);
    for (size_t i = 0; i < SpatialRadii.size(); ++i)
        single(QStringLiteral("spatial H, radius %1").arg(SpatialRadii[i]), m.spatialH[i]);
    single(QStringLiteral("interface density"), m.interfaceDensity);
    return text;
}
