// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweepdefinition.h"

#include "headlesscity.h"
#include "labarguments.h"
#include "runseed.h"
#include "runplan.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint16 MaxEighths = 8;
constexpr double PercentPerEighth = 12.5;

namespace Key {
const QLatin1String Prefs("prefs_eighths");
const QLatin1String Seeds("seeds");
const QLatin1String BaseSeed("base_seed");
const QLatin1String Generations("generations");
const QLatin1String Every("every");
} // namespace Key

const QString AcceptedRange = QStringLiteral(
    "a range is in eighths, A..B or A..B/S with whole numbers A <= B from 0 to 8 and a step S of at least 1");

// One item of a set: a range of eighths, or one preference as `run` reads it.
std::optional<PreferenceSet> ReadItem(const QString &item, const General &reader, QString *problem)
{
    if (item.contains(QLatin1String(".."))) {
        static const QRegularExpression range(
            QStringLiteral("^\\s*(\\d{1,3})\\s*\\.\\.\\s*(\\d{1,3})\\s*(?:/\\s*(\\d{1,3})\\s*)?$"));
        const auto match = range.match(item);
        if (!match.hasMatch()) {
            *problem = QStringLiteral("'%1' is not a range: %2").arg(item, AcceptedRange);
            return std::nullopt;
        }
        const int low = match.captured(1).toInt();
        const int high = match.captured(2).toInt();
        const int step = match.captured(3).isEmpty() ? 1 : match.captured(3).toInt();
        if (low > MaxEighths || high > MaxEighths) {
            *problem = QStringLiteral("'%1' goes beyond 8 eighths: %2").arg(item, AcceptedRange);
            return std::nullopt;
        }
        if (low > high) {
            *problem = QStringLiteral("'%1' is an empty range: %2").arg(item, AcceptedRange);
            return std::nullopt;
        }
        if (step < 1) {
            *problem = QStringLiteral("'%1' has a step of 0: %2").arg(item, AcceptedRange);
            return std::nullopt;
        }
        PreferenceSet values;
        for (int e = low; e <= high; e += step)
            values.push_back(qint16(e));
        return values;
    }
    static const QRegularExpression ambiguous(QStringLiteral("^\\s*([1-8])\\s*$"));
    if (const auto match = ambiguous.match(item); match.hasMatch()) {
        const QString n = match.captured(1);
        const bool one = n == QLatin1String("1");
        *problem = QStringLiteral("'%1' could be %2/8, as in a range, or what `run` reads, %3 (%4/8): "
                                  "write %2..%2 for eighths, or %5 for the other")
                       .arg(item, n, one ? QStringLiteral("all eight") : n + QStringLiteral(" %"))
                       .arg(reader.ReadPreference(n, 0).eighths)
                       .arg(one ? QStringLiteral("100%") : n + u'%');
        return std::nullopt;
    }
    if (const auto why = PreferenceProblem(item)) {
        *problem = QStringLiteral("'%1' %2, or a range of eighths such as 0..8").arg(item, *why);
        return std::nullopt;
    }
    return PreferenceSet{reader.ReadPreference(item, 0).eighths};
}

QJsonArray EighthsArray(const PreferenceSet &values)
{
    QJsonArray array;
    for (const qint16 e : values)
        array.append(e);
    return array;
}

} // namespace

QString PreferenceText(qint16 eighths)
{
    return QString::number(eighths * PercentPerEighth) + u'%';
}

std::optional<GroupTable<PreferenceSet>> ReadPreferenceSets(const QString &text, QString *problem)
{
    const QStringList sets = text.split(u',');
    if (sets.size() != GroupCount) {
        *problem = QStringLiteral("%1 sets given; expected five, for Blue, Red, Green, Gray and Yellow, separated "
                                  "by commas, e.g. 0..8,50%,50%,0..8/2,25%|75%")
                       .arg(sets.size());
        return std::nullopt;
    }
    // The window's own reading, so that a value means here what it means typed into a field.
    const HeadlessCity reader(0);
    GroupTable<PreferenceSet> result{};
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        PreferenceSet &values = result[g];
        for (const QString &item : sets[g - 1].split(u'|')) {
            const auto read = ReadItem(item, reader.general(), problem);
            if (!read) {
                *problem = GroupName(g) + QStringLiteral(": ") + *problem;
                return std::nullopt;
            }
            for (const qint16 e : *read) {
                if (std::find(values.begin(), values.end(), e) != values.end()) {
                    *problem = QStringLiteral("%1: '%2' gives %3 eighths a second time; give each value once")
                                   .arg(GroupName(g), sets[g - 1])
                                   .arg(e);
                    return std::nullopt;
                }
                values.push_back(e);
            }
        }
        std::sort(values.begin(), values.end());
    }
    return result;
}

QString PreferenceSetText(const PreferenceSet &values)
{
    constexpr size_t ShortestRange = 3;   // "0..1" says no more than "0|1"
    QStringList items;
    for (const qint16 e : values)
        items << QString::number(e);
    if (values.size() < ShortestRange)
        return items.join(u'|');
    const int step = values[1] - values[0];
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i] - values[i - 1] != step)
            return items.join(u'|');
    }
    const QString range = QStringLiteral("%1..%2").arg(values.front()).arg(values.back());
    return step == 1 ? range : range + QStringLiteral("/%1").arg(step);
}

QString SweepDefinition::description() const
{
    QStringList sets;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        sets << PreferenceSetText(prefs[g]);
    return QStringLiteral("preferences %1 in eighths, %2 seeds from base seed %3, %4 generations measured every %5")
        .arg(sets.join(u','))
        .arg(seeds)
        .arg(baseSeed)
        .arg(generations)
        .arg(every);
}

quint64 SweepDefinition::runCount() const
{
    // At most 9^5 vectors times a million seeds: no overflow in 64 bits.
    quint64 count = seeds;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        count *= prefs[g].size();
    return count;
}

QJsonObject SweepDefinition::toJson() const
{
    QJsonArray sets;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        sets.append(EighthsArray(prefs[g]));
    return {
        {Key::Prefs, sets},
        {Key::Seeds, double(seeds)},
        {Key::BaseSeed, double(baseSeed)},
        {Key::Generations, double(generations)},
        {Key::Every, every},
    };
}

std::optional<SweepDefinition> SweepDefinition::fromJson(const QJsonObject &object, QString *reason)
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
        for (const QJsonValue &value : sets[g - 1].toArray()) {
            const auto e = JsonWholeNumber(value, 0, MaxEighths);
            if (!e || (!definition.prefs[g].empty() && *e <= definition.prefs[g].back()))
                return fail(QStringLiteral("\"%1\" of %2 is not a rising list of eighths").arg(Key::Prefs, GroupName(g)));
            definition.prefs[g].push_back(qint16(*e));
        }
        if (definition.prefs[g].empty())
            return fail(QStringLiteral("\"%1\" of %2 is empty").arg(Key::Prefs, GroupName(g)));
    }
    const auto seeds = JsonWholeNumber(object[Key::Seeds], 1, SweepLimits::MaxSeeds);
    const auto baseSeed = JsonWholeNumber(object[Key::BaseSeed], 0, 0xffffffffLL);
    const auto generations = JsonWholeNumber(object[Key::Generations], 0, RunLimits::MaxGenerations);
    const auto every = JsonWholeNumber(object[Key::Every], 1, RunLimits::MaxGenerations);
    if (!seeds || !baseSeed || !generations || !every)
        return fail(QStringLiteral("\"seeds\", \"base_seed\", \"generations\" or \"every\" is missing or out of range"));
    definition.seeds = quint32(*seeds);
    definition.baseSeed = quint32(*baseSeed);
    definition.generations = *generations;
    definition.every = int(*every);
    if (definition.runCount() > SweepLimits::MaxRuns)
        return fail(QStringLiteral("more runs than 32-bit run ids can number"));
    return definition;
}

QString SweepDefinition::fingerprint() const
{
    const QByteArray canonical = QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
    return QString::fromLatin1(QCryptographicHash::hash(canonical, QCryptographicHash::Sha256).toHex());
}

SweepRun RunAt(const SweepDefinition &definition, quint32 runId)
{
    SweepRun run;
    run.runId = runId;
    run.seed = RunSeed(definition.baseSeed, runId);
    // The id written in mixed radix, the seed index its lowest digit and Yellow's next.
    quint64 rest = runId;
    if (definition.seeds == 0)
        return run;
    run.replicate = quint32(rest % definition.seeds);
    rest /= definition.seeds;
    for (GroupIndex g = GroupCount; g >= 1; --g) {
        const PreferenceSet &values = definition.prefs[g];
        if (values.empty())
            continue;   // a definition with no runs at all
        run.prefEighths[g] = values[rest % values.size()];
        rest /= values.size();
    }
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        run.prefs << PreferenceText(run.prefEighths[g]);
    return run;
}

std::vector<SweepRun> ExpandRuns(const SweepDefinition &definition)
{
    std::vector<SweepRun> runs;
    const quint64 count = definition.runCount();
    runs.reserve(count);
    for (quint64 id = 0; id < count; ++id)
        runs.push_back(RunAt(definition, quint32(id)));
    return runs;
}
