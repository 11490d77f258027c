#include "CommandLine.h"

#include "ProductInfo.h"
#include "UiText.h"

#include <algorithm>

namespace {

enum : int {
    UI_USAGE = 350,
    UI_PRODUCT_SUMMARY = 351,
    UI_OPTIONS = 352,
    UI_OPTION_HELP = 353,
    UI_OPTION_VERSION = 354,
    UI_UNKNOWN_OPTION = 355,
    UI_OPTION_NEEDS_VALUE = 356,
    UI_UNEXPECTED_ARGUMENT = 357,
    UI_OPTION_TAKES_NO_VALUE = 358,
    UI_TOOLKIT_OPTIONS = 359,
    UI_OPTION_PROGRAMMER = 247,
};

// Options of other areas are added here, each with its text from the area's
// own range of UI texts.
const SCommandLineOption s_options[] = {
    {"help", 'h', nullptr, UI_OPTION_HELP},
    {"version", 'v', nullptr, UI_OPTION_VERSION},
    {"programmer", 'p', "LINE", UI_OPTION_PROGRAMMER},
};

// "-h, --help" or "--device NAME", as the help and the manual page show it.
QString Synopsis(const SCommandLineOption &option, const QString &bold, const QString &italic,
                 const QString &plain)
{
    QString text;
    if (option.shortName)
        text += bold + QLatin1Char('-') + QLatin1Char(option.shortName) + plain + QStringLiteral(", ");
    text += bold + QStringLiteral("--") + QLatin1String(option.name) + plain;
    if (option.valueName)
        text += QLatin1Char(' ') + italic + QLatin1String(option.valueName) + plain;
    return text;
}

// Troff reads a leading dot or apostrophe as a request and a backslash as
// an escape; option texts must come out as written.
QString TroffEscaped(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

} // namespace

std::span<const SCommandLineOption> CommandLineOptions()
{
    return s_options;
}

const SCommandLineOption *CCommandLine::FindLong(const QString &name) const
{
    const auto it = std::find_if(m_options.begin(), m_options.end(),
                                 [&](const SCommandLineOption &o) { return name == QLatin1String(o.name); });
    return it == m_options.end() ? nullptr : &*it;
}

const SCommandLineOption *CCommandLine::FindShort(QChar letter) const
{
    const auto it = std::find_if(m_options.begin(), m_options.end(), [&](const SCommandLineOption &o) {
        return o.shortName != 0 && letter == QLatin1Char(o.shortName);
    });
    return it == m_options.end() ? nullptr : &*it;
}

bool CCommandLine::Fail(int textIndex, const QString &word)
{
    m_error = Text(textIndex).arg(word);
    return false;
}

QString CCommandLine::Value(const char *name) const
{
    const auto it = m_values.find(QLatin1String(name));
    return it == m_values.end() ? QString() : it->second;
}

bool CCommandLine::Parse(const QStringList &arguments)
{
    m_values.clear();
    m_error.clear();
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        const SCommandLineOption *option = nullptr;
        QString value;
        bool hasInlineValue = false;
        if (word.startsWith(QStringLiteral("--")) && word.size() > 2) {
            const qsizetype equals = word.indexOf(QLatin1Char('='));
            option = FindLong(word.mid(2, equals < 0 ? -1 : equals - 2));
            if (equals >= 0) {
                value = word.mid(equals + 1);
                hasInlineValue = true;
            }
        } else if (word.startsWith(QLatin1Char('-')) && word.size() == 2) {
            option = FindShort(word.at(1));
        } else {
            return Fail(UI_UNEXPECTED_ARGUMENT, word);
        }
        if (!option)
            return Fail(UI_UNKNOWN_OPTION, word);
        const QString name = QLatin1String(option->name);
        if (!option->valueName) {
            if (hasInlineValue)
                return Fail(UI_OPTION_TAKES_NO_VALUE, word);
        } else if (!hasInlineValue) {
            // The next word is the value, even when it starts with "-": a
            // script called "-x.usp" is still a file name.
            if (i + 1 >= arguments.size())
                return Fail(UI_OPTION_NEEDS_VALUE, word);
            value = arguments.at(++i);
        }
        m_values[name] = value;
    }
    return true;
}

QString CommandLineHelp(const QString &programName)
{
    QString help = Text(UI_USAGE).arg(programName) + QLatin1Char('\n') + Text(UI_PRODUCT_SUMMARY) +
                   QStringLiteral("\n\n") + Text(UI_OPTIONS) + QLatin1Char('\n');
    QStringList synopses;
    qsizetype width = 0;
    for (const SCommandLineOption &option : CommandLineOptions()) {
        synopses << Synopsis(option, {}, {}, {});
        width = std::max(width, synopses.back().size());
    }
    int row = 0;
    for (const SCommandLineOption &option : CommandLineOptions()) {
        help += QStringLiteral("  ") + synopses.at(row++).leftJustified(width + 2) + Text(option.helpText) +
                QLatin1Char('\n');
    }
    help += QLatin1Char('\n') + Text(UI_TOOLKIT_OPTIONS) + QLatin1Char('\n');
    return help;
}

QString CommandLineVersion()
{
    return QLatin1String(g_productName) + QLatin1Char(' ') + QLatin1String(g_productVersion) + QLatin1Char('\n');
}

QString CommandLineManOptions()
{
    QString man;
    for (const SCommandLineOption &option : CommandLineOptions()) {
        const QString synopsis =
            Synopsis(option, QStringLiteral("\\fB"), QStringLiteral("\\fI"), QStringLiteral("\\fR"));
        man += QStringLiteral(".TP\n") + QString(synopsis).replace(QLatin1Char('-'), QStringLiteral("\\-")) +
               QLatin1Char('\n') + TroffEscaped(Text(option.helpText)) + QLatin1Char('\n');
    }
    return man;
}

QString CommandLineSummary()
{
    return Text(UI_PRODUCT_SUMMARY);
}
