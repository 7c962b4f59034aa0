// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// The number texts that read and write the same in every locale.
namespace NumberText {

// The blanks the window skips within a number, and the digits it reads.
inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "#.####": at most four decimals, no thousands separators, no digit before the point
// below 1. Always with "." as the point: the text is read back by ReadLeadingNumber.
std::string FormatFourDecimals(double value);

// The number at the start of the text, "." as the point; blanks are skipped, reading
// stops at the first character that cannot continue the number, and no number at all
// gives 0. Too large a number gives an infinity, too small a one 0.
double ReadLeadingNumber(std::string_view text);

// The value with exactly `decimals` decimals, "." as the point and no separators, rounded
// half away from zero on its exact binary value ("0.13" for 0.125 and 2): the way the
// desktop's toolkit writes a fixed-point number, so that every front end shows the same.
std::string FixedDecimals(double value, int decimals);

// The double nearest to a decimal literal in the C syntax ("-1.5e3"), whatever the C
// library's locale; the literal is assumed well-formed. Out of range gives an infinity or 0.
double DecimalValue(std::string_view literal);

} // namespace NumberText
