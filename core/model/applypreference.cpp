// SPDX-License-Identifier: GPL-3.0-or-later
#include "general.h"

#include "numbertext.h"

#include <cmath>

namespace {
constexpr double EighthsPerWhole = 8.0;
constexpr std::int16_t MaxEighths = 8;
constexpr double PercentFactor = 0.01;
} // namespace

PreferenceReading ReadPreferenceText(std::string_view text, std::int16_t current, const FieldForms &forms)
{
    // A text that is wholly a number is first rounded to four decimals, so 0.18749 becomes
    // the half 0.1875. Other texts (such as "50%") are read as they stand.
    std::string rounded(text);
    if (const auto whole = forms.ReadNumber(text); whole && std::isfinite(*whole))
        rounded = NumberText::FormatFourDecimals(*whole);

    double v = NumberText::ReadLeadingNumber(rounded);
    std::int16_t eighths = current;
    if (!(v < 0.0)) {
        if (v > 1.0)
            v *= PercentFactor;   // above 1 it is a percentage; exactly 1 means all eight
        const double scaled = v * EighthsPerWhole;
        // Halves go to the even neighbour (rint in the default rounding mode).
        eighths = scaled > MaxEighths ? MaxEighths : std::int16_t(std::rint(scaled));
    }
    return {eighths, forms.FormatPreference(double(eighths) / EighthsPerWhole)};
}

PreferenceReading General::ReadPreference(std::string_view text, std::int16_t current) const
{
    return ReadPreferenceText(text, current, forms_);
}

void General::ApplyPreference(int index)
{
    if (index < 1 || index > GroupCount)
        return;
    const auto reading = ReadPreference(window_.text(CityWindow::Field::Pref, index), PrefEighths[index]);
    PrefEighths[index] = reading.eighths;
    window_.setText(CityWindow::Field::Pref, index, reading.display);
}
