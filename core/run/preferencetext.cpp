// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferencetext.h"

#include "numbertext.h"

#include <cstdlib>

const char *const AcceptedPreference =
    "a fraction from 0 to 1 such as .5, or a percentage above 1 such as 50 or 50%";

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<std::string> PreferenceProblem(std::string_view text)
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
        return std::string("has no number in it: give ") + AcceptedPreference;
    if (minus && NumberText::ReadLeadingNumber(text) < 0)
        return std::string("is negative: give ") + AcceptedPreference;
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
