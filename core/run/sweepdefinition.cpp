// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweepdefinition.h"

#include "headlesscity.h"
#include "preferencetext.h"
#include "runseed.h"

#include <algorithm>

namespace {

constexpr std::int16_t MaxEighths = 8;

const char *const AcceptedRange =
    "a range is in eighths, A..B or A..B/S with whole numbers A <= B from 0 to 8 and a step S of at least 1";

// The text cut at every `separator`.
std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads items like " 12 .. 3 / 4 ": whole numbers of one to three digits and fixed marks,
// with blanks around each.
class ItemReader
{
public:
    explicit ItemReader(std::string_view text) : text_(text) {}

    void skipSpace()
    {
        while (at_ < text_.size() && IsSpace(text_[at_]))
            ++at_;
    }
    std::optional<int> number()
    {
        skipSpace();
        const std::size_t start = at_;
        int value = 0;
        while (at_ < text_.size() && at_ - start < 3 && text_[at_] >= '0' && text_[at_] <= '9')
            value = value * 10 + (text_[at_++] - '0');
        if (at_ == start || (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'))
            return std::nullopt;
        skipSpace();
        return value;
    }
    bool mark(std::string_view mark)
    {
        skipSpace();
        if (text_.substr(at_, mark.size()) != mark)
            return false;
        at_ += mark.size();
        return true;
    }
    bool atEnd()
    {
        skipSpace();
        return at_ == text_.size();
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

std::string Quoted(std::string_view item)
{
    return "'" + std::string(item) + "'";
}

std::optional<PreferenceSet> ReadRange(std::string_view item, std::string *problem)
{
    ItemReader reader(item);
    const auto low = reader.number();
    const bool dots = low && reader.mark("..");
    const auto high = dots ? reader.number() : std::nullopt;
    std::optional<int> step = 1;
    if (high && !reader.atEnd())
        step = reader.mark("/") ? reader.number() : std::nullopt;
    if (!high || !step || !reader.atEnd()) {
        *problem = Quoted(item) + " is not a range: " + AcceptedRange;
        return std::nullopt;
    }
    if (*low > MaxEighths || *high > MaxEighths) {
        *problem = Quoted(item) + " goes beyond 8 eighths: " + AcceptedRange;
        return std::nullopt;
    }
    if (*low > *high) {
        *problem = Quoted(item) + " is an empty range: " + AcceptedRange;
        return std::nullopt;
    }
    if (*step < 1) {
        *problem = Quoted(item) + " has a step of 0: " + AcceptedRange;
        return std::nullopt;
    }
    PreferenceSet values;
    for (int e = *low; e <= *high; e += *step)
        values.push_back(std::int16_t(e));
    return values;
}

// One item of a set: a range of eighths, or one preference as `run` reads it.
std::optional<PreferenceSet> ReadItem(std::string_view item, const General &reader, std::string *problem)
{
    if (item.find("..") != std::string_view::npos)
        return ReadRange(item, problem);
    const std::size_t first = item.find_first_not_of(" \t\n\v\f\r");
    const std::size_t last = item.find_last_not_of(" \t\n\v\f\r");
    if (first != std::string_view::npos && first == last && item[first] >= '1' && item[first] <= '8') {
        const std::string digit(1, item[first]);
        const bool one = digit == "1";
        *problem = Quoted(item) + " could be " + digit + "/8, as in a range, or what `run` reads, "
            + (one ? std::string("all eight") : digit + " %") + " ("
            + std::to_string(reader.ReadPreference(digit, 0).eighths) + "/8): write " + digit + ".." + digit
            + " for eighths, or " + (one ? std::string("100%") : digit + '%') + " for the other";
        return std::nullopt;
    }
    if (const auto why = PreferenceProblem(item)) {
        *problem = Quoted(item) + ' ' + *why + ", or a range of eighths such as 0..8";
        return std::nullopt;
    }
    return PreferenceSet{reader.ReadPreference(item, 0).eighths};
}

} // namespace

std::optional<GroupTable<PreferenceSet>> ReadPreferenceSets(std::string_view text, std::string *problem)
{
    const std::vector<std::string_view> sets = Split(text, ',');
    if (sets.size() != std::size_t(GroupCount)) {
        *problem = std::to_string(sets.size())
            + " sets given; expected five, for Blue, Red, Green, Gray and Yellow, separated by commas, "
              "e.g. 0..8,50%,50%,0..8/2,25%|75%";
        return std::nullopt;
    }
    // The window's own reading, so that a value means here what it means typed into a field.
    const HeadlessCity reader(0);
    GroupTable<PreferenceSet> result{};
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        PreferenceSet &values = result[std::size_t(g)];
        const std::string_view set = sets[std::size_t(g - 1)];
        for (const std::string_view item : Split(set, '|')) {
            const auto read = ReadItem(item, reader.general(), problem);
            if (!read) {
                *problem = GroupName(g) + ": " + *problem;
                return std::nullopt;
            }
            for (const std::int16_t e : *read) {
                if (std::find(values.begin(), values.end(), e) != values.end()) {
                    *problem = GroupName(g) + ": " + Quoted(set) + " gives " + std::to_string(e)
                        + " eighths a second time; give each value once";
                    return std::nullopt;
                }
                values.push_back(e);
            }
        }
        std::sort(values.begin(), values.end());
    }
    return result;
}

std::string PreferenceSetText(const PreferenceSet &values)
{
    constexpr std::size_t ShortestRange = 3;   // "0..1" says no more than "0|1"
    std::string items;
    for (const std::int16_t e : values)
        items += (items.empty() ? "" : "|") + std::to_string(e);
    if (values.size() < ShortestRange)
        return items;
    const int step = values[1] - values[0];
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (values[i] - values[i - 1] != step)
            return items;
    }
    const std::string range = std::to_string(values.front()) + ".." + std::to_string(values.back());
    return step == 1 ? range : range + '/' + std::to_string(step);
}

std::string SweepDefinition::description() const
{
    std::string sets;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        sets += (g > 1 ? "," : "") + PreferenceSetText(prefSets[std::size_t(g)]);
    return "preferences " + sets + " in eighths, " + std::to_string(seeds) + " seeds from base seed "
        + std::to_string(baseSeed) + ", " + std::to_string(generations) + " generations measured every "
        + std::to_string(every);
}

std::uint64_t SweepDefinition::runCount() const
{
    // At most 9^5 vectors times a million seeds: no overflow in 64 bits.
    std::uint64_t count = seeds;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        count *= prefSets[std::size_t(g)].size();
    return count;
}

SweepRun RunAt(const SweepDefinition &definition, std::uint32_t runId)
{
    SweepRun run;
    run.runId = runId;
    run.seed = RunSeed(definition.baseSeed, runId);
    // The id written in mixed radix, the seed index its lowest digit and Yellow's next.
    std::uint64_t rest = runId;
    if (definition.seeds == 0)
        return run;
    run.replicate = std::uint32_t(rest % definition.seeds);
    rest /= definition.seeds;
    for (GroupIndex g = GroupCount; g >= 1; --g) {
        const PreferenceSet &values = definition.prefSets[std::size_t(g)];
        if (values.empty())
            continue;   // a definition with no runs at all
        run.prefEighths[std::size_t(g)] = values[rest % values.size()];
        rest /= values.size();
    }
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        run.prefTexts.push_back(PreferenceText(run.prefEighths[std::size_t(g)]));
    return run;
}

std::vector<SweepRun> ExpandRuns(const SweepDefinition &definition)
{
    std::vector<SweepRun> runs;
    const std::uint64_t count = definition.runCount();
    runs.reserve(count);
    for (std::uint64_t id = 0; id < count; ++id)
        runs.push_back(RunAt(definition, std::uint32_t(id)));
    return runs;
}
