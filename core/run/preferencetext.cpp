// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferencetext.h"

#include "general.h"
#include "numbertext.h"
#include "usenglishforms.h"

#include <cmath>
#include <cstdlib>

const char *const AcceptedPreference =
    "a fraction from 0 to 1 with its point (0, .5, 0.375), or a percentage up to 100 (12.5%, 50%, 100%)";

namespace {

using NumberText::IsBlank;
using NumberText::IsDigit;

constexpr double EighthsPerWhole = 8.0;
constexpr double MaxPercent = 100.0;
// Without its sign, a number above 1 is a percentage to the window; up to 8 it could as well
// be eighths, so only numbers above 8 are taken that way.
constexpr double LargestEighths = 8.0;
// The window rounds a typed number to this many decimals before it reads it.
constexpr int WindowDecimals = 4;

std::string Problem(const char *what)
{
    return std::string(what) + ": give " + AcceptedPreference;
}

// A plain decimal number: digits with at most one point, and at least one digit.
struct Decimal
{
    double value = 0;
    bool point = false;
    int decimals = 0;
    std::size_t end = 0;   // where it stops in the text
};

std::optional<Decimal> ReadDecimal(std::string_view text, std::size_t at)
{
    Decimal number;
    const std::size_t start = at;
    bool digits = false;
    for (; at < text.size(); ++at) {
        if (IsDigit(text[at])) {
            digits = true;
            number.decimals += number.point ? 1 : 0;
        } else if (text[at] == '.' && !number.point) {
            number.point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return std::nullopt;
    number.value = NumberText::DecimalValue(text.substr(start, at - start));
    number.end = at;
    return number;
}

} // namespace

std::optional<std::string> PreferenceProblem(std::string_view text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    const std::string_view typed = text.substr(first, last - first);

    std::size_t at = 0;
    if (at < typed.size() && typed[at] == '-')
        return Problem("is negative");
    if (at < typed.size() && typed[at] == '+')
        ++at;
    const auto number = ReadDecimal(typed, at);
    if (!number)
        return Problem("has no number in it");
    at = number->end;
    while (at < typed.size() && IsBlank(typed[at]))
        ++at;
    const bool percent = at < typed.size() && typed[at] == '%';
    if (percent)
        ++at;
    if (at != typed.size())
        return Problem("has more after the number than a % sign");

    const double v = number->value;
    if (percent && v > 0 && v <= 1)
        return Problem("is a fraction with a % sign, which the window reads as the fraction");
    if ((percent || v > 1) && v > MaxPercent)
        return Problem("is above 100 %");
    const bool bareWhole = !percent && !number->point;
    if (!percent && ((v > 1 && v <= LargestEighths) || (v == 1 && bareWhole)))
        return Problem("could be eighths or, as the window reads it, a percentage or all eight");
    if (number->decimals > WindowDecimals)
        return Problem("has more than four decimals, to which the window rounds it first");

    // What the window makes of it must be what it says.
    const double fraction = percent || v > 1 ? v / MaxPercent : v;
    static const UsEnglishForms forms;
    const auto window = ReadPreferenceText(text, 0, forms).eighths;
    if (window != std::int16_t(std::rint(fraction * EighthsPerWhole)))
        return Problem("is read otherwise by the window");
    return std::nullopt;
}

std::optional<std::string> RecordedPreferenceProblem(std::string_view text)
{
    // The window reads the leading number and ignores the rest; blanks are skipped.
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
    };
    skipBlanks();
    const bool minus = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    skipBlanks();
    bool number = i < text.size() && IsDigit(text[i]);
    if (!number && i < text.size() && text[i] == '.') {
        ++i;
        skipBlanks();
        number = i < text.size() && IsDigit(text[i]);
    }
    if (!number)
        return std::string("has no number in it");
    if (minus && NumberText::ReadLeadingNumber(text) < 0)
        return std::string("is negative");
    return std::nullopt;
}

std::string PreferenceText(std::int16_t eighths)
{
    // An eighth is 12.5 %: tenths of a per cent are exact.
    const int tenths = eighths * 125;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text += '.' + std::to_string(std::abs(tenths % 10));
    return text + '%';
}
