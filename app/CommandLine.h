#pragma once

// The program's command line: one table of options, read by the parser, the
// --help text and the manual page alike, so an option added to the table is
// accepted, listed and documented at once.

#include <QString>
#include <QStringList>

#include <map>
#include <span>

struct SCommandLineOption
{
    const char *name;      // long name, written with "--" in front
    char shortName;        // written with "-" in front; 0 for none
    const char *valueName; // the value's name in the help, nullptr for a switch
    int helpText;          // UI text index of the description
};

// Every option, in the order the help lists them.
std::span<const SCommandLineOption> CommandLineOptions();

class CCommandLine
{
public:
    // Reads the options of the given table (the program's own by default).
    explicit CCommandLine(std::span<const SCommandLineOption> options = CommandLineOptions())
        : m_options(options)
    {
    }

    // Reads the arguments after the program name: "--name", "--name=value",
    // "--name value", "-x", "-x value". False on the first word that is not
    // an option of the table, on an option that lacks its value and on a
    // switch given a value; Error() then tells which (the words before it
    // count, so --help can still be honoured).
    bool Parse(const QStringList &arguments);

    QString Error() const { return m_error; }
    bool IsSet(const char *name) const { return m_values.count(name) != 0; }
    // The value of an option that takes one; the last one given wins.
    QString Value(const char *name) const;
    // The words after "--", which end the options (a script's arguments).
    const QStringList &Positional() const { return m_positional; }

private:
    bool Fail(int textIndex, const QString &word);
    const SCommandLineOption *FindLong(const QString &name) const;
    const SCommandLineOption *FindShort(QChar letter) const;

    std::span<const SCommandLineOption> m_options;

    std::map<QString, QString> m_values; // by long name; empty for a switch
    QStringList m_positional;
    QString m_error;
};

// "Usage: ..." with every option and its description, for --help.
QString CommandLineHelp(const QString &programName);

// The name and version, for --version.
QString CommandLineVersion();

// What the program is, in one line.
QString CommandLineSummary();

// The options as manual page (troff) paragraphs.
QString CommandLineManOptions();
