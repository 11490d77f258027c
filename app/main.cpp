#include "CommandLine.h"
#include "ProgrammerLine.h"
#include "MainFrame.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace {

void Print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QStringList ArgumentsAfterProgramName(int argc, char *argv[])
{
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    return words;
}

// --help and --version print their answer and end the program.
bool AnswersInformationOption(const CCommandLine &commandLine, const QString &program)
{
    if (commandLine.IsSet("help")) {
        Print(stdout, CommandLineHelp(program));
        return true;
    }
    if (commandLine.IsSet("version")) {
        Print(stdout, CommandLineVersion());
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    // Answered before the window system is reached, so they work where there
    // is no display. The toolkit's own options are still in the list here,
    // and the words from the first one on are not read yet.
    CCommandLine early;
    early.Parse(ArgumentsAfterProgramName(argc, argv));
    if (AnswersInformationOption(early, program))
        return 0;

    auto app = std::make_unique<QApplication>(argc, argv);
    // Lets the desktop match the window to the installed desktop entry and
    // its icon (the application id of a Wayland window).
    QGuiApplication::setDesktopFileName(QStringLiteral(NVP_APP_ID));
    // The toolkit has taken its own options out of the list by now.
    CCommandLine commandLine;
    if (!commandLine.Parse(app->arguments().mid(1))) {
        Print(stderr, program + QStringLiteral(": ") + commandLine.Error() + QStringLiteral("\n\n") +
                          CommandLineHelp(program));
        return 2;
    }
    if (AnswersInformationOption(commandLine, program))
        return 0;
    // Before the window starts the programmer's worker.
    ProgrammerLine::UseAtStartup(commandLine.IsSet("programmer"), commandLine.Value("programmer"));
    auto window = std::make_unique<CMainFrame>();
    window->show();
    const int result = app->exec();
    window.reset();
    app.reset();
    return result;
}
