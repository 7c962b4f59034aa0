// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbertext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

NumberText::NumberText(const QLocale &locale)
    : locale_(locale)
{
}

QLocale NumberText::UserLocale()
{
    return UserLocaleFor(QLocale::system());
}

QLocale NumberText::UserLocaleFor(const QLocale &system)
{
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

QString NumberText::FormatCount(double value) const
{
    const qint64 whole = qRound64(value);
    if (whole == 0)
        return {};
    return locale_.toString(whole);
}

QString NumberText::FormatPercent(double fraction) const
{
    return locale_.toString(fraction * 100.0, 'f', 2) + QLatin1Char('%');
}

QString NumberText::FormatPreference(double fraction) const
{
    // Latin digits in every locale: the field is read back with ReadLeadingNumber, and
    // its whole part alone already gives back the same eighths.
    QString text = QString::number(fraction * 100.0, 'f', 1);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    text.replace(QLatin1Char('.'), locale_.decimalPoint());
    return text + QLatin1Char('%');
}

QString NumberText::FormatFourDecimals(double value)
{
    QString text = QString::number(value, 'f', 4);
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative)
        text.remove(0, 1);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    if (text.isEmpty() || text == QLatin1String("0"))
        return QStringLiteral("0");   // also a negative value that rounds to zero
    return negative ? QLatin1Char('-') + text : text;
}

std::optional<double> NumberText::ReadNumber(const QString &text) const
{
    bool ok = false;
    const double value = locale_.toDouble(text.trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

namespace {

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')
        || c == QLatin1Char('\r');
}

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// An exponent this large already over- or underflows any double; clamping keeps the
// arithmetic in range whatever the user typed.
constexpr long ExponentLimit = 100000;

} // namespace

double NumberText::ReadLeadingNumber(const QString &text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i]))
            ++i;
    };

    skipBlanks();
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
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
        const QChar c = text[i];
        if (IsDigit(c)) {
            anyDigit = true;
            if (!digits.empty() || c != QLatin1Char('0'))
                digits.push_back(char(c.unicode()));
            if (afterPoint)
                --pointShift;
            ++i;
        } else if (c == QLatin1Char('.') && !afterPoint) {
            afterPoint = true;
            ++i;
        } else {
            break;
        }
    }
    if (!anyDigit || digits.empty())
        return 0.0;   // no number, or a number that is zero

    long exponent = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        auto skip = [&] {
            while (j < n && IsBlank(text[j]))
                ++j;
        };
        skip();
        bool negativeExponent = false;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            negativeExponent = text[j] == QLatin1Char('-');
            ++j;
        }
        bool exponentDigits = false;
        for (;;) {
            skip();
            if (j >= n || !IsDigit(text[j]))
                break;
            exponentDigits = true;
            exponent = std::min(ExponentLimit, exponent * 10 + (text[j].unicode() - '0'));
            ++j;
        }
        if (!exponentDigits)
            exponent = 0;   // "5e" is just 5
        if (negativeExponent)
            exponent = -exponent;
    }

    const long scale = std::clamp(exponent + pointShift, -4 * ExponentLimit, 4 * ExponentLimit);
    const std::string literal = digits + 'e' + std::to_string(scale);
    double value = 0.0;
    const auto result = std::from_chars(literal.data(), literal.data() + literal.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Order of magnitude of the leading digit decides between over- and underflow.
        const long magnitude = scale + long(digits.size());
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}
