// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include <algorithm>

namespace {

// The help's option column: the text of an option starts here, and lines go on under it.
constexpr int HelpColumn = 20;
// A name this many edits from the one typed, or fewer, is worth suggesting.
constexpr int NearestEdits = 2;
// More digits than any limit here has, so that a long number is refused without overflow.
constexpr qsizetype MostDigits = 12;

int EditDistance(const QString &a, const QString &b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            row[size_t(j)] = std::min({above + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

const OptionSpec *Find(const CommandSpec &command, const QString &name)
{
    for (const OptionSpec &option : command.options) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

QString UnknownOption(const CommandSpec &command, const QString &name,
                      const std::vector<const CommandSpec *> &others)
{
    const QString said = QStringLiteral("--%1 is not an option of %2").arg(name, QLatin1String(command.name));
    const QString more = QStringLiteral(" (see velmora-lab %1 --help)").arg(QLatin1String(command.name));
    QStringList names;
    for (const OptionSpec &option : command.options)
        names << QLatin1String(option.name);
    if (const QString nearest = NearestName(name, names); !nearest.isEmpty())
        return said + QStringLiteral(": did you mean --%1?").arg(nearest) + more;
    for (const CommandSpec *other : others) {
        if (other != &command && Find(*other, name))
            return said + QStringLiteral(" but of %1").arg(QLatin1String(other->name)) + more;
    }
    return said + more;
}

QString StrayWord(const CommandSpec &command, const QString &word)
{
    const QString name = QLatin1String(command.name);
    if (command.mostWords == 0)
        return QStringLiteral("'%1' is a stray word: %2 takes options only. If it belongs to the option before it, "
                              "quote that option's value: a list with spaces, such as 50%, 50%, ..., goes in quotes "
                              "(\"50%, 50%, 50%, 50%, 50%\") (see velmora-lab %2 --help)")
            .arg(word, name);
    return QStringLiteral("'%1' is a stray word: %2 takes %3. A value with spaces goes in quotes "
                          "(see velmora-lab %2 --help)")
        .arg(word, name, QLatin1String(command.words));
}

} // namespace

std::variant<ParsedOptions, UsageError> ParseOptions(const CommandSpec &command, const QStringList &arguments,
                                                     const std::vector<const CommandSpec *> &others)
{
    ParsedOptions parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == QLatin1String("-")) {
            parsed.words_ << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // One dash or two: -seed is taken for --seed, rather than refused for its dash.
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        std::optional<QString> given;
        if (const qsizetype equals = name.indexOf(u'='); equals >= 0) {
            given = name.mid(equals + 1);
            name.truncate(equals);
        }
        const OptionSpec *option = Find(command, name);
        if (!option)
            return UsageError{UnknownOption(command, name, others)};
        QString value;
        if (option->value) {
            if (!given) {
                if (i + 1 >= arguments.size())
                    return UsageError{QStringLiteral("--%1 needs a value: --%1 %2").arg(name, QLatin1String(option->value))};
                given = arguments[++i];
            }
            value = *given;
        } else if (given) {
            return UsageError{QStringLiteral("--%1 takes no value ('%2')").arg(name, *given)};
        }
        QStringList &values = parsed.values_[name];
        if (!values.isEmpty() && !option->repeats) {
            if (option->value)
                return UsageError{QStringLiteral("--%1 is given twice ('%2', then '%3'): give it once")
                                      .arg(name, values.front(), value)};
            return UsageError{QStringLiteral("--%1 is given twice: give it once").arg(name)};
        }
        values << value;
    }
    if (parsed.has("help"))
        return parsed;
    if (parsed.words_.size() > command.mostWords)
        return UsageError{StrayWord(command, parsed.words_[command.mostWords])};
    if (parsed.words_.size() < command.leastWords)
        return UsageError{QStringLiteral("%1 takes %2 (see velmora-lab %1 --help)")
                              .arg(QLatin1String(command.name), QLatin1String(command.words))};
    return parsed;
}

QString HelpText(const CommandSpec &command)
{
    QString text = QLatin1String(command.usage) + u'\n' + QLatin1String(command.summary) + QStringLiteral("\n\n");
    for (const OptionSpec &option : command.options) {
        QString head = QStringLiteral("  --") + QLatin1String(option.name);
        if (option.value)
            head += u' ' + QLatin1String(option.value);
        head += head.size() < HelpColumn - 1 ? QString(HelpColumn - head.size(), u' ') : QStringLiteral("  ");
        const QStringList lines = QString::fromLatin1(option.help).split(u'\n');
        text += head + lines.front() + u'\n';
        for (qsizetype i = 1; i < lines.size(); ++i)
            text += QString(HelpColumn, u' ') + lines[i] + u'\n';
    }
    const QString notes = QLatin1String(command.notes);
    return notes.isEmpty() ? text : text + u'\n' + notes;
}

QString NearestName(const QString &word, const QStringList &names)
{
    QStringList starting;
    for (const QString &name : names) {
        if (!word.isEmpty() && name.startsWith(word))
            starting << name;
    }
    if (starting.size() == 1)
        return starting.front();
    QString nearest;
    int best = NearestEdits + 1;
    for (const QString &name : names) {
        // Two swapped letters count as one edit.
        int edits = EditDistance(word, name);
        for (qsizetype i = 0; i + 1 < word.size(); ++i) {
            QString swapped = word;
            std::swap(swapped[i], swapped[i + 1]);
            if (swapped == name)
                edits = std::min(edits, 1);
        }
        if (edits < best) {
            best = edits;
            nearest = name;
        }
    }
    return nearest;
}

UsageError BadArgument(const QString &option, const QString &value, const QString &accepted)
{
    return {QStringLiteral("--%1 '%2': %3").arg(option, value, accepted)};
}

std::optional<qint64> WholeNumberArgument(const QString &text, qint64 low, qint64 high)
{
    if (text.isEmpty() || text.size() > MostDigits
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const qint64 value = text.toLongLong();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}
