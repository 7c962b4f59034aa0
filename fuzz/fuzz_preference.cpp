// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as text, to the preference field and to the number and date
// readings, in several locales and in the core's own US English, and aborts when an
// invariant breaks or the core reads a number otherwise than Qt does in US English.

#include "fakecitywindow.h"
#include "general.h"
#include "localeforms.h"
#include "numbertext.h"
#include "randomsource.h"
#include "usenglishforms.h"

#include <QLocale>
#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Field = CityWindow::Field;

[[noreturn]] void Fail(const char *what, const QString &text, const QLocale &locale)
{
    std::fprintf(stderr, "invariant broken: %s\n  locale %s, text \"%s\"\n", what,
                 qPrintable(locale.name()), text.toUtf8().constData());
    std::abort();
}

#define REQUIRE(condition, text, locale) \
    do { \
        if (!(condition)) \
            Fail(#condition, text, locale); \
    } while (false)

// One model per locale, built once: the map image is large and the fuzzer runs millions
// of inputs. A US, a German (',' and '.' swapped), a French (narrow no-break space as the
// separator), an Egyptian Arabic (its own digits and separators) and a Chakma locale (digits
// outside the Basic Multilingual Plane, two UTF-16 units each).
struct Model
{
    // The desktop's forms in `locale`, or the core's own US English ones.
    Model(const QLocale &locale, bool core)
        : locale(locale)
        , forms(core ? std::unique_ptr<FieldForms>(new UsEnglishForms) : std::make_unique<LocaleForms>(locale))
        , general(window, random, *forms)
    {
        // Written out rather than taken from the model, which is what is being checked.
        const char *const shown[] = {".0%", "12.5%", "25.0%", "37.5%", "50.0%",
                                     "62.5%", "75.0%", "87.5%", "100.0%"};
        for (int eighths = 0; eighths <= 8; ++eighths)
            displays[eighths] = QString::fromLatin1(shown[eighths]).replace(u'.', locale.decimalPoint());
    }

    QLocale locale;
    std::unique_ptr<FieldForms> forms;
    FakeCityWindow window;
    RandomSource random{[] { return 0.0f; }};
    General general;
    std::array<QString, 9> displays;
};

// The fuzzer runs millions of inputs: the models are built once, for the whole process.
std::vector<std::unique_ptr<Model>> &Models()
{
    static std::vector<std::unique_ptr<Model>> models = [] {
        std::vector<std::unique_ptr<Model>> m;
        for (const char *name : {"en_US", "de_DE", "fr_FR", "ar_EG", "ccp_BD"})
            m.push_back(std::make_unique<Model>(QLocale(QString::fromLatin1(name)), false));
        m.push_back(std::make_unique<Model>(QLocale(QLocale::English, QLocale::UnitedStates), true));
        return m;
    }();
    return models;
}

const LocaleForms &QtUsEnglish()
{
    static const LocaleForms forms(QLocale(QLocale::English, QLocale::UnitedStates));
    return forms;
}

void CheckPreference(Model &m, const QString &text, qint16 before)
{
    constexpr int g = 3;
    m.general.PrefEighths[g] = before;
    m.window.setField(Field::Pref, g, text);
    m.general.ApplyPreference(g);

    const qint16 eighths = m.general.PrefEighths[g];
    const QString shown = m.window.field(Field::Pref, g);
    REQUIRE(eighths >= 0 && eighths <= 8, text, m.locale);
    REQUIRE(shown == m.displays[eighths], text, m.locale);

    // Confirming the field without editing it changes nothing.
    m.general.ApplyPreference(g);
    REQUIRE(m.general.PrefEighths[g] == eighths, text, m.locale);
    REQUIRE(m.window.field(Field::Pref, g) == shown, text, m.locale);
}

// The leading number read the plain way: the text without its blanks, cut to the longest
// start that is a decimal number, read by the C library (in the C locale, which nothing
// here changes, so "." is its point).
double PlainLeadingNumber(const QString &text)
{
    std::string s;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r')
            continue;
        s.push_back(c.unicode() < 128 && c.unicode() != 0 ? char(c.unicode()) : '?');
    }
    auto isDigit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    bool digits = false;
    while (isDigit(i))
        ++i, digits = true;
    if (i < s.size() && s[i] == '.')
        ++i;
    while (isDigit(i))
        ++i, digits = true;
    if (!digits)
        return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            i = j;
        }
    }
    return std::strtod(s.substr(0, i).c_str(), nullptr);
}

void CheckNumbers(const Model &m, const QString &text)
{
    const std::string utf8 = text.toStdString();
    const double leading = NumberText::ReadLeadingNumber(utf8);
    REQUIRE(!std::isnan(leading), text, m.locale);
    REQUIRE(leading == PlainLeadingNumber(text), text, m.locale);

    const auto whole = m.forms->ReadNumber(utf8);
    if (whole && std::isfinite(*whole)) {
        // The four-decimal text reads back as exactly the number it was rounded to (a zero's
        // sign aside, which == ignores).
        const std::string four = NumberText::FormatFourDecimals(*whole);
        const double expected = std::strtod(QString::number(*whole, 'f', 4).toLatin1().constData(), nullptr);
        REQUIRE(NumberText::ReadLeadingNumber(four) == expected, text, m.locale);
    }
    if (dynamic_cast<const UsEnglishForms *>(m.forms.get())) {
        const auto qt = QtUsEnglish().ReadNumber(utf8);
        REQUIRE(whole.has_value() == qt.has_value(), text, m.locale);
        REQUIRE(!whole || *whole == *qt || (std::isnan(*whole) && std::isnan(*qt)), text, m.locale);
    }
}

void CheckDate(const Model &m, const QString &text)
{
    const auto date = m.forms->ReadDate(text.toStdString());
    if (date && int(date->year()) >= 1 && int(date->year()) <= 9999)
        REQUIRE(m.forms->ReadDate(m.forms->WriteDate(*date)) == date, text, m.locale);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    std::u16string wide(size / 2, u'\0');
    if (!wide.empty())
        std::memcpy(wide.data(), data, wide.size() * sizeof(char16_t));

    const QString texts[] = {
        QString::fromUtf8(bytes, qsizetype(size)),
        QString::fromLatin1(bytes, qsizetype(size)),
        QString::fromUtf16(wide.data(), qsizetype(wide.size())),
    };
    // The eighths before the input matter, since a negative number keeps them.
    const qint16 before = size > 0 ? qint16(data[size - 1] % 9) : 4;

    for (auto &model : Models()) {
        for (const QString &text : texts) {
            CheckPreference(*model, text, before);
            CheckNumbers(*model, text);
            CheckDate(*model, text);
        }
    }
    return 0;
}
