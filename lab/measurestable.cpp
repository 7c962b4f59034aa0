// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurestable.h"

#include "measurecolumns.h"

#include <charconv>
#include <cmath>

namespace MeasuresTable {

QStringList Header()
{
    QStringList names{QStringLiteral("generation"), QStringLiteral("date"), QStringLiteral("years")};
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        names << QStringLiteral("pref_%1_eighths").arg(GroupName(g).toLower());
    for (const MeasureColumn &column : MeasureColumns())
        names << column.name;
    return names;
}

QByteArray HeaderLine()
{
    return Header().join(u',').toUtf8() + '\n';
}

QByteArray Number(double value)
{
    if (!std::isfinite(value))
        return {};
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return QByteArray(text, result.ptr - text);
}

QByteArray Number(const std::optional<double> &value)
{
    return value ? Number(*value) : QByteArray();
}

QByteArray Line(const Sample &sample)
{
    QByteArray line = QByteArray::number(sample.generation);
    line += ',' + sample.date.toString(Qt::ISODate).toLatin1();
    line += ',' + Number(sample.years);
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        line += ',' + QByteArray::number(sample.prefEighths[g]);
    for (const MeasureColumn &column : MeasureColumns())
        line += ',' + Number(column.value(sample.measures));
    return line + '\n';
}

} // namespace MeasuresTable
