// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbertext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace NumberText {

namespace {

// An exponent this large already over- or underflows any double; clamping keeps the
// arithmetic in range whatever the user typed.
constexpr long ExponentLimit = 100000;

// Enough decimals to write any double's exact value: its binary fraction has at most 1074 bits.
constexpr int ExactDecimals = 1080;

// Decimals that write this double's value exactly, as many as its binary fraction has bits:
// printf's time grows with the digits it writes, and a percent needs fifty, not a thousand.
int ExactDecimalsOf(double value)
{
    int exponent = 0;
    std::frexp(value, &exponent);   // |value| = f 2^exponent with 1/2 <= f < 1
    return std::clamp(std::numeric_limits<double>::digits - exponent, 0, ExactDecimals);
}

} // namespace

std::string FixedDecimals(double value, int decimals)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    decimals = std::clamp(decimals, 0, 100);
    if (value == 0.0)
        value = 0.0;   // a negative zero is written "0", as Qt writes it
    // The exact decimal expansion, rounded by hand: printf would send an exact half to the
    // even digit.
    const int precision = std::max(decimals + 1, ExactDecimalsOf(value));
    std::string exact(std::size_t(precision) + 400, '\0');   // and up to 309 whole digits
    const int length = std::snprintf(exact.data(), exact.size(), "%.*f", precision, value);
    exact.resize(std::size_t(std::max(length, 0)));
    // printf writes the C library locale's decimal point, which a desktop program sets
    // to the user's: whatever comes between the whole part and the decimals becomes ".".
    const std::size_t point = exact.find_first_not_of("-0123456789");
    exact.replace(point, exact.find_first_of("0123456789", point) - point, 1, '.');
    std::string text = exact.substr(0, point + 1 + std::size_t(decimals));
    if (exact[point + 1 + std::size_t(decimals)] >= '5') {
        // One more in the last place, carried leftwards over the point.
        std::size_t i = text.size();
        for (;;) {
            if (i == 0 || text[i - 1] == '-') {
                text.insert(i, 1, '1');   // 9.99 became 10.00
                break;
            }
            --i;
            if (text[i] == '.')
                continue;
            if (text[i] != '9') {
                ++text[i];
                break;
            }
            text[i] = '0';
        }
    }
    if (text.back() == '.')
        text.pop_back();
    return text;
}

double DecimalValue(std::string_view literal)
{
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    double value = 0.0;
    const char *first = literal.data();
    const char *last = literal.data() + literal.size();
    const bool negative = first != last && *first == '-';
    if (first != last && (*first == '+' || *first == '-'))
        ++first;   // from_chars takes no plus sign; the sign goes on at the end
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double either way (strtod would read the locale's point): the decimal
        // place of the first significant digit tells which.
        long digitsBeforePoint = 0;
        long digitIndex = 0;
        long firstSignificant = -1;
        const char *c = first;
        bool point = false;
        for (; c != last && *c != 'e' && *c != 'E'; ++c) {
            if (*c == '.') {
                point = true;
                continue;
            }
            if (firstSignificant < 0 && *c != '0')
                firstSignificant = digitIndex;
            ++digitIndex;
            digitsBeforePoint += point ? 0 : 1;
        }
        const long exponent = c != last ? std::strtol(c + 1, nullptr, 10) : 0;
        const long place = digitsBeforePoint - firstSignificant - 1;   // 0 for units, -1 for tenths
        const bool overflow = firstSignificant >= 0 && exponent > -place;
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
#else
    // Without from_chars for doubles (libc++ before 17), strtod; its C library (musl in
    // WebAssembly) reads "." whatever the locale.
    return std::strtod(std::string(literal).c_str(), nullptr);
#endif
}

std::string FormatFourDecimals(double value)
{
    std::string text = FixedDecimals(value, 4);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.erase(0, 1);
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.')
            text.pop_back();
    }
    if (text.rfind("0.", 0) == 0)
        text.erase(0, 1);
    if (text.empty() || text == "0")
        return "0";   // also a negative value that rounds to zero
    return negative ? '-' + text : text;
}

double ReadLeadingNumber(std::string_view text)
{
    const std::size_t n = text.size();
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i]))
            ++i;
    };

    skipBlanks();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    std::string digits;        // significant digits, leading zeros dropped
    long pointShift = 0;       // decimal exponent of the last digit kept
    bool anyDigit = false;
    bool afterPoint = false;
    for (;;) {
        skipBlanks();
        if (i >= n)
            break;
        const char c = text[i];
        if (IsDigit(c)) {
            anyDigit = true;
            if (!digits.empty() || c != '0')
                digits.push_back(c);
            if (afterPoint)
                --pointShift;
            ++i;
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            ++i;
        } else {
            break;
        }
    }
    if (!anyDigit || digits.empty())
        return 0.0;   // no number, or a number that is zero

    long exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        auto skip = [&] {
            while (j < n && IsBlank(text[j]))
                ++j;
        };
        skip();
        bool negativeExponent = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        bool exponentDigits = false;
        for (;;) {
            skip();
            if (j >= n || !IsDigit(text[j]))
                break;
            exponentDigits = true;
            exponent = std::min(ExponentLimit, exponent * 10 + (text[j] - '0'));
            ++j;
        }
        if (!exponentDigits)
            exponent = 0;   // "5e" is just 5
        if (negativeExponent)
            exponent = -exponent;
    }

    const long scale = std::clamp(exponent + pointShift, -4 * ExponentLimit, 4 * ExponentLimit);
    // Order of magnitude of the leading digit: far enough out, the value is an infinity or 0
    // whatever its digits.
    const long magnitude = scale + long(digits.size());
    double value = 0.0;
    if (magnitude > 400)
        value = std::numeric_limits<double>::infinity();
    else if (magnitude >= -400)
        value = DecimalValue(digits + 'e' + std::to_string(scale));
    return negative ? -value : value;
}

} // namespace NumberText
