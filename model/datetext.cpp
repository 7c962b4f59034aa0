#include "datetext.h"

DateText::DateText(const QLocale &locale)
    : locale_(locale)
    , format_(FourDigitYearFormat(locale))
{
}

QString DateText::Write(QDate date) const
{
    return locale_.toString(date, format_);
}

QDate DateText::Read(const QString &text) const
{
    return locale_.toDate(text, format_);
}

QString DateText::FourDigitYearFormat(const QLocale &locale)
{
    const QString shortForm = locale.dateFormat(QLocale::ShortFormat);
    QString widened;
    bool inQuote = false;
    for (qsizetype i = 0; i < shortForm.size();) {
        const QChar c = shortForm[i];
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
            widened += c;
            ++i;
        } else if (!inQuote && c == QLatin1Char('y')) {
            while (i < shortForm.size() && shortForm[i] == QLatin1Char('y'))
                ++i;
            widened += QLatin1String("yyyy");
        } else {
            widened += c;
            ++i;
        }
    }
    return widened;
}
