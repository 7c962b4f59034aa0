// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweepdefinitionjson.h"

#include "corestrings.h"
#include "runplan.h"
#include "runplanjson.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr std::int16_t MaxEighths = 8;

namespace Key {
const QLatin1String Prefs("prefs_eighths");
const QLatin1String Seeds("seeds");
const QLatin1String BaseSeed("base_seed");
const QLatin1String Generations("generations");
const QLatin1String Every("every");
} // namespace Key

QJsonArray EighthsArray(const PreferenceSet &values)
{
    QJsonArray array;
    for (const std::int16_t e : values)
        array.append(e);
    return array;
}

} // namespace

QJsonObject SweepDefinitionToJson(const SweepDefinition &definition)
{
    QJsonArray sets;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        sets.append(EighthsArray(definition.prefSets[g]));
    return {
        {Key::Prefs, sets},
        {Key::Seeds, double(definition.seeds)},
        {Key::BaseSeed, double(definition.baseSeed)},
        {Key::Generations, double(definition.generations)},
        {Key::Every, definition.every},
    };
}

std::optional<SweepDefinition> SweepDefinitionFromJson(const QJsonObject &object, QString *reason)
{
    auto fail = [&](const QString &what) {
        *reason = what;
        return std::nullopt;
    };
    SweepDefinition definition;
    const QJsonArray sets = object[Key::Prefs].toArray();
    if (sets.size() != GroupCount)
        return fail(QStringLiteral("\"%1\" is not a list of five lists").arg(Key::Prefs));
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        PreferenceSet &values = definition.prefSets[g];
        for (const QJsonValue &value : sets[g - 1].toArray()) {
            const auto e = JsonWholeNumber(value, 0, MaxEighths);
            if (!e || (!values.empty() && *e <= values.back()))
                return fail(QStringLiteral("\"%1\" of %2 is not a rising list of eighths")
                                .arg(Key::Prefs, ToQString(GroupName(g))));
            values.push_back(std::int16_t(*e));
        }
        if (values.empty())
            return fail(QStringLiteral("\"%1\" of %2 is empty").arg(Key::Prefs, ToQString(GroupName(g))));
    }
    const auto seeds = JsonWholeNumber(object[Key::Seeds], 1, SweepLimits::MaxSeeds);
    const auto baseSeed = JsonWholeNumber(object[Key::BaseSeed], 0, 0xffffffffLL);
    const auto generations = JsonWholeNumber(object[Key::Generations], 0, RunLimits::MaxGenerations);
    const auto every = JsonWholeNumber(object[Key::Every], 1, RunLimits::MaxGenerations);
    if (!seeds || !baseSeed || !generations || !every)
        return fail(QStringLiteral("\"seeds\", \"base_seed\", \"generations\" or \"every\" is missing or out of range"));
    definition.seeds = std::uint32_t(*seeds);
    definition.baseSeed = std::uint32_t(*baseSeed);
    definition.generations = *generations;
    definition.every = int(*every);
    if (definition.runCount() > SweepLimits::MaxRuns)
        return fail(QStringLiteral("more runs than 32-bit run ids can number"));
    return definition;
}

QString SweepFingerprint(const SweepDefinition &definition)
{
    const QByteArray canonical = QJsonDocument(SweepDefinitionToJson(definition)).toJson(QJsonDocument::Compact);
    return QString::fromLatin1(QCryptographicHash::hash(canonical, QCryptographicHash::Sha256).toHex());
}
