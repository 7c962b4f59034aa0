// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurestable.h"

#include "measurecolumns.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace MeasuresTable {

std::string PreferenceColumn(GroupIndex group)
{
    return "pref_" + GroupKey(group) + "_eighths";
}

std::vector<std::string> Header()
{
    std::vector<std::string> names{"generation", "date", "years"};
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        names.push_back(PreferenceColumn(g));
    for (const MeasureColumn &column : MeasureColumns())
        names.push_back(column.name);
    return names;
}

std::string JoinedLine(const std::vector<std::string> &names)
{
    std::string line;
    for (const std::string &name : names) {
        if (!line.empty())
            line += ',';
        line += name;
    }
    return line + '\n';
}

std::string HeaderLine()
{
    return JoinedLine(Header());
}

std::string PortableNumber(double value)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        return std::signbit(value) ? "-0" : "0";
    // The fewest significant digits that read back as the value, and the decimal exponent.
    // The digits nearest the value come first; next to a power of two, where the doubles
    // above lie twice as far apart as those below, the next digits up may read back instead.
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    std::string digits;
    int exponent = 0;
    for (int precision = 1; precision <= 17 && digits.empty(); ++precision) {
        char scientific[40];
        std::snprintf(scientific, sizeof scientific, "%.*e", precision - 1, magnitude);
        const std::string text(scientific);
        const std::size_t e = text.find('e');
        std::string nearest;
        for (std::size_t i = 0; i < e; ++i) {
            if (text[i] >= '0' && text[i] <= '9')   // not the point, whatever the locale's
                nearest += text[i];
        }
        const int nearestExponent = std::atoi(text.c_str() + e + 1);
        std::string above = nearest;
        int aboveExponent = nearestExponent;
        std::size_t i = above.size();
        while (i > 0 && above[i - 1] == '9')
            above[--i] = '0';
        if (i == 0) {
            above.insert(0, 1, '1');
            above.pop_back();
            ++aboveExponent;
        } else {
            ++above[i - 1];
        }
        for (const auto &[candidate, candidateExponent] :
             {std::pair{nearest, nearestExponent}, std::pair{above, aboveExponent}}) {
            const std::string literal = candidate + "e" + std::to_string(candidateExponent - int(candidate.size()) + 1);
            if (std::strtod(literal.c_str(), nullptr) == magnitude) {
                digits = candidate;
                exponent = candidateExponent;
                break;
            }
        }
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string fixed;
    if (exponent >= 0) {
        const std::size_t whole = std::size_t(exponent) + 1;
        if (digits.size() <= whole) {
            // A whole number is written with all its digits, as printf writes it exactly.
            char exact[400];
            std::snprintf(exact, sizeof exact, "%.0f", std::fabs(value));
            fixed = exact;
        }
        else
            fixed = digits.substr(0, whole) + '.' + digits.substr(whole);
    } else {
        fixed = "0." + std::string(std::size_t(-exponent - 1), '0') + digits;
    }
    char exponentText[16];
    std::snprintf(exponentText, sizeof exponentText, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    std::string sci = digits.substr(0, 1);
    if (digits.size() > 1)
        sci += '.' + digits.substr(1);
    sci += exponentText;
    // The shorter of the two, fixed when they are as long.
    const std::string &shortest = sci.size() < fixed.size() ? sci : fixed;
    return negative ? '-' + shortest : shortest;
}

std::string Number(double value)
{
    if (!std::isfinite(value))
        return {};
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
#else
    return PortableNumber(value);
#endif
}

std::string Number(const std::optional<double> &value)
{
    return value ? Number(*value) : std::string();
}

std::string Line(const Sample &sample)
{
    std::string line = std::to_string(sample.generation);
    line += ',' + IsoDate(sample.date);
    line += ',' + Number(sample.years);
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        line += ',' + std::to_string(sample.prefEighths[std::size_t(g)]);
    for (const MeasureColumn &column : MeasureColumns())
        line += ',' + Number(column.value(sample.measures));
    return line + '\n';
}

} // namespace MeasuresTable
