// SPDX-License-Identifier: GPL-3.0-or-later
#include "usenglishforms.h"

#include "numbertext.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// Digits between two thousands separators, and at most before the first one.
constexpr int GroupDigits = 3;

// Thousands separators into the whole part of "-1234567.89".
std::string Grouped(std::string text)
{
    const std::size_t start = !text.empty() && text.front() == '-' ? 1 : 0;
    std::size_t end = text.find('.');
    if (end == std::string::npos)
        end = text.size();
    for (std::size_t i = end; i > start + GroupDigits; i -= GroupDigits)
        text.insert(i - GroupDigits, 1, ',');
    return text;
}

// One character of UTF-8 text.
struct CodePoint
{
    char32_t value = 0;
    std::size_t size = 0;   // bytes; 0 at the end or on a malformed sequence
};

CodePoint Decode(std::string_view text, std::size_t at)
{
    if (at >= text.size())
        return {};
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80)
        return {lead, 1};
    const std::size_t size = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
    if (size == 0 || at + size > text.size())
        return {0xfffd, 1};
    char32_t value = lead & (0x3fu >> (size - 1));
    for (std::size_t i = 1; i < size; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80)
            return {0xfffd, 1};
        value = value << 6 | (byte(at + i) & 0x3f);
    }
    return {value, size};
}

// Unicode's white space, as the toolkit trims it from around a number.
bool IsSpace(char32_t c)
{
    return c == 0x20 || (c >= 0x09 && c <= 0x0d) || c == 0x85 || c == 0xa0 || c == 0x1680
        || (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f
        || c == 0x3000;
}

std::string_view Trimmed(std::string_view text)
{
    std::size_t first = 0;
    for (CodePoint c; (c = Decode(text, first)).size && IsSpace(c.value);)
        first += c.size;
    std::size_t last = text.size();
    while (last > first) {
        // Step back to the start of the last character.
        std::size_t start = last - 1;
        while (start > first && (static_cast<unsigned char>(text[start]) & 0xc0) == 0x80)
            --start;
        const CodePoint c = Decode(text, start);
        if (start + c.size != last || !IsSpace(c.value))
            break;
        last = start;
    }
    return text.substr(first, last - first);
}

// The text in the C locale's characters, thousands separators checked and dropped: "-1,234.5e3"
// becomes "-1234.5e3". Letters pass in lower case (for "inf" and "nan"); nullopt for a
// character that no number holds, or separators out of place.
std::optional<std::string> CLocaleText(std::string_view text)
{
    std::string out;
    int digitsInGroup = 0;
    bool anyDigit = false;
    bool point = false;
    bool exponent = false;
    bool separator = false;   // a thousands separator seen, and groups still checked
    bool endsInSeparator = false;
    for (std::size_t at = 0; at < text.size();) {
        const CodePoint c = Decode(text, at);
        at += c.size;
        char ascii = 0;
        if (c.value == U'\u2212')
            ascii = '-';   // the minus sign proper
        else if (c.value < 0x80)
            ascii = char(c.value);
        endsInSeparator = false;
        if (ascii >= '0' && ascii <= '9') {
            anyDigit = true;
            ++digitsInGroup;
        } else if (ascii == ',') {
            if (point || exponent)
                return std::nullopt;
            if (!separator) {
                // One to three digits before the first separator.
                if (!anyDigit || digitsInGroup < 1 || digitsInGroup > GroupDigits)
                    return std::nullopt;
            } else if (digitsInGroup != GroupDigits) {
                return std::nullopt;
            }
            separator = true;
            endsInSeparator = true;
            digitsInGroup = 0;
            continue;
        } else if (ascii == '.' || ascii == 'e' || ascii == 'E') {
            const bool isPoint = ascii == '.';
            if (isPoint && (point || exponent))
                return std::nullopt;
            // Three digits after the last separator; none are checked beyond this.
            if (separator && digitsInGroup != GroupDigits)
                return std::nullopt;
            separator = false;
            (isPoint ? point : exponent) = true;
            ascii = isPoint ? '.' : 'e';
        } else if (ascii == '+' || ascii == '-' || ascii == '%' || ascii == ';') {
            // A sign, or what the parse below refuses: a percent sign, the list separator.
        } else if ((ascii >= 'a' && ascii <= 'z') || (ascii >= 'A' && ascii <= 'Z')) {
            ascii = char(ascii | 0x20);
        } else {
            return std::nullopt;
        }
        out.push_back(ascii);
    }
    if (endsInSeparator || (separator && digitsInGroup != GroupDigits))
        return std::nullopt;
    return out;
}

// Whether the text is a decimal literal: a sign, digits with at most one point (at least one
// digit on either side of it), then "e", an optional sign and digits.
bool IsDecimalLiteral(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto digits = [&] {
        const std::size_t start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissa = digits();
    if (i < n && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < n && text[i] == 'e') {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == n;
}

} // namespace

std::string UsEnglishForms::FormatCount(double value) const
{
    // Half away from zero, within what a 64-bit count holds.
    const double limit = 9.2e18;
    const double clamped = std::isnan(value) ? 0.0 : std::fmax(-limit, std::fmin(limit, value));
    const auto whole = std::int64_t(clamped >= 0 ? clamped + 0.5 : clamped - 0.5);
    if (whole == 0)
        return {};
    return Grouped(std::to_string(whole));
}

std::string UsEnglishForms::FormatPercent(double fraction) const
{
    return Grouped(NumberText::FixedDecimals(fraction * 100.0, 2)) + '%';
}

std::string UsEnglishForms::FormatPreference(double fraction) const
{
    std::string text = NumberText::FixedDecimals(fraction * 100.0, 1);
    if (text.rfind("0.", 0) == 0)
        text.erase(0, 1);
    return text + '%';
}

std::optional<double> UsEnglishForms::ReadNumber(std::string_view text) const
{
    const auto c = CLocaleText(Trimmed(text));
    if (!c || c->empty())
        return std::nullopt;
    if (*c == "nan")
        return std::nan("");
    if (*c == "inf" || *c == "+inf")
        return HUGE_VAL;
    if (*c == "-inf")
        return -HUGE_VAL;
    if (!IsDecimalLiteral(*c))
        return std::nullopt;
    const double value = NumberText::DecimalValue(*c);
    if (!std::isfinite(value))
        return std::nullopt;   // too large for a double
    if (value == 0.0) {
        // Too small for a double: a nonzero digit before the exponent meant something else.
        for (char digit : *c) {
            if (digit == 'e')
                break;
            if (digit >= '1' && digit <= '9')
                return std::nullopt;
        }
    }
    return value;
}

std::string UsEnglishForms::WriteDate(Date date) const
{
    char text[32];
    std::snprintf(text, sizeof text, "%u/%u/%04d", unsigned(date.month()), unsigned(date.day()),
                  int(date.year()));
    return text;
}

std::optional<Date> UsEnglishForms::ReadDate(std::string_view text) const
{
    // Month and day in one or two digits, the year in four: "M/d/yyyy".
    std::size_t at = 0;
    auto number = [&](std::size_t least, std::size_t most) -> std::optional<unsigned> {
        const std::size_t start = at;
        while (at < text.size() && at - start < most && text[at] >= '0' && text[at] <= '9')
            ++at;
        if (at - start < least)
            return std::nullopt;
        unsigned value = 0;
        std::from_chars(text.data() + start, text.data() + at, value);
        return value;
    };
    auto slash = [&] { return at < text.size() && text[at++] == '/'; };
    const auto month = number(1, 2);
    if (!month || !slash())
        return std::nullopt;
    const auto day = number(1, 2);
    if (!day || !slash())
        return std::nullopt;
    const auto year = number(4, 4);
    if (!year || at != text.size())
        return std::nullopt;
    const Date date{std::chrono::year{int(*year)}, std::chrono::month{*month}, std::chrono::day{*day}};
    if (!date.ok())
        return std::nullopt;
    return date;
}
