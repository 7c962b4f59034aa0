// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groups.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The values one group's preference takes in a sweep, in eighths: ascending, each once.
using PreferenceSet = std::vector<qint16>;

// A sweep: every combination of the groups' preference values, each run with `seeds`
// seeds. Two definitions that expand into the same runs are equal and have one fingerprint,
// however their preferences were written.
struct SweepDefinition
{
    GroupTable<PreferenceSet> prefs{};   // entry 0 unused
    quint32 seeds = 1;                   // runs per preference vector
    quint32 baseSeed = 0;
    qint64 generations = 0;              // every run's horizon
    int every = 0;                       // measures every this many generations, and at the end

    bool operator==(const SweepDefinition &) const = default;

    quint64 runCount() const;
    // One line for a person: "preferences 0..8,4,4,0..8/2,4 (eighths), 10 seeds from base seed 11, ...".
    QString description() const;

    // The definition as the sweep's JSON files record it, and back; fromJson gives nullopt
    // with the reason when the object is not a definition this program wrote.
    QJsonObject toJson() const;
    static std::optional<SweepDefinition> fromJson(const QJsonObject &object, QString *reason);
    // SHA-256 of the compact JSON, whose keys Qt writes sorted: the same runs, the same text.
    QString fingerprint() const;
};

// Run ids are 32-bit, so that a run's seed is RunSeed(baseSeed, runId).
namespace SweepLimits {
inline constexpr quint64 MaxRuns = 0xffffffffull;
inline constexpr quint32 MaxSeeds = 1000000;
} // namespace SweepLimits

// One run of a sweep, with the preferences as texts a user would type into the window.
struct SweepRun
{
    quint32 runId = 0;
    QStringList prefs;                   // Blue, Red, Green, Gray, Yellow
    quint32 seed = 0;
    quint32 replicate = 0;               // which of the definition's seeds, from 0
    GroupTable<qint16> prefEighths{};    // what the texts read as; entry 0 unused
};

// The runs in id order, from 0: Blue's values outermost, then Red, Green, Gray, Yellow, and
// the seed index innermost, so that a vector's replicates are neighbours. The seed is
// RunSeed(baseSeed, runId). RunAt gives one run without expanding the others.
std::vector<SweepRun> ExpandRuns(const SweepDefinition &definition);
SweepRun RunAt(const SweepDefinition &definition, quint32 runId);

// The five groups' values from text such as "0..8,50%,50%,0..8/2,25%|75%": one set per group,
// separated by commas; a set is one or more items separated by "|"; an item is a range of
// eighths A..B or A..B/S (whole numbers from 0 to 8, step S), or one preference written as
// for `run` ("50%", ".5"), except a bare whole number from 1 to 8: `run` reads "4" as 4 %
// and "1" as all eight, where a sweep's ranges would make them eighths, so such an item is
// refused for the two readings it has. nullopt with the reason, naming the item, when the
// text is not such a one.
std::optional<GroupTable<PreferenceSet>> ReadPreferenceSets(const QString &text, QString *problem);

// The set as --prefs writes it in eighths: "0..8/2", "3", "0|3|8".
QString PreferenceSetText(const PreferenceSet &values);

// A text that the window reads back as exactly these eighths ("37.5%").
QString PreferenceText(qint16 eighths);

// Part i of n of a sweep: the runs whose id is i modulo n.
struct Shard
{
    quint32 index = 0;
    quint32 count = 1;
    bool operator==(const Shard &) const = default;
    bool holds(quint32 runId) const { return runId % count == index; }
    // How many of `runs` runs (ids 0 to runs - 1) it holds.
    quint64 size(quint64 runs) const { return runs / count + (index < runs % count ? 1 : 0); }
};
