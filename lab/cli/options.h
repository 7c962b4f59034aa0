// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

// A bad command line: one line naming the argument and the form it takes.
struct UsageError
{
    QString message;
};

// One option of a command, defined once: the parser reads it and the help lists it from here.
struct OptionSpec
{
    const char *name;        // without the dashes
    const char *value;       // what it takes ("N"); nullptr for a switch
    const char *help;        // lines of help, the later ones indented under the first
    bool repeats = false;    // may be given more than once
};

// A command: its usage line and summary, its options, the words it takes, and the notes
// after the options (readings, examples, exit status).
struct CommandSpec
{
    const char *name;
    const char *usage;
    const char *summary;
    std::vector<OptionSpec> options;
    int leastWords = 0;       // words that are not options
    int mostWords = 0;
    const char *words = nullptr;   // what they are, for messages ("one run.json file")
    const char *notes = "";
};

// What a command line gave: each option's values in the order given, and the other words.
class ParsedOptions
{
public:
    bool has(const char *name) const { return values_.contains(QLatin1String(name)); }
    QString value(const char *name) const { return values_.value(QLatin1String(name)).value(0); }
    QStringList values(const char *name) const { return values_.value(QLatin1String(name)); }
    const QStringList &words() const { return words_; }

private:
    friend std::variant<ParsedOptions, UsageError> ParseOptions(const CommandSpec &, const QStringList &,
                                                                const std::vector<const CommandSpec *> &);
    QHash<QString, QStringList> values_;
    QStringList words_;
};

// Reads `arguments` (after the command's name) against the command's options: --name VALUE or
// --name=VALUE, switches as --name, "--" before words that begin with a dash. An unknown option
// names the nearest one (or the command it belongs to among `others`), an option given twice
// that does not repeat is refused, and a stray word says what it is.
std::variant<ParsedOptions, UsageError> ParseOptions(const CommandSpec &command, const QStringList &arguments,
                                                     const std::vector<const CommandSpec *> &others = {});

// The command's --help: usage, summary, its options from the table, and its notes.
QString HelpText(const CommandSpec &command);

// The name among `names` that `word` most likely meant: the only one it begins, or the nearest
// within two edits (a letter left out, added, changed or two swapped); empty for none.
QString NearestName(const QString &word, const QStringList &names);

// The usage error "--option 'value': accepted".
UsageError BadArgument(const QString &option, const QString &value, const QString &accepted);

// A whole number in [low, high] written in decimal digits only, or nullopt.
std::optional<qint64> WholeNumberArgument(const QString &text, qint64 low, qint64 high);
