#include "HeadlessRun.h"

#include "CmdProcessor.h"
#include "CommandLine.h"
#include "MainFrame.h"
#include "ProductionTexts.h"
#include "ProgressJson.h"
#include "Script.h"
#include "UiText.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kPollMs = 20;
constexpr int kModalCheckMs = 100;

void Say(FILE *stream, const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Runs the event loop until done() holds; false when timeoutMs (> 0) ran out first.
bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || (timeoutMs > 0 && clock.elapsed() >= timeoutMs))
            loop.quit();
    });
    poll.start(kPollMs);
    if (!done())
        loop.exec();
    return done();
}

// Nobody is there to answer a dialog: one that opens anyway is closed
// unanswered (No, Cancel) and the run counts it as a failure.
class CModalCloser
{
public:
    explicit CModalCloser(CMainFrame &window)
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, &window] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            QString what = modal->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                what += QStringLiteral(": ") + box->text();
            window.LogMessage(Text(HeadlessText::DialogClosed).arg(what));
            ++m_closed;
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        });
        m_timer.start(kModalCheckMs);
    }
    int Closed() const { return m_closed; }

private:
    QTimer m_timer;
    int m_closed = 0;
};

} // namespace

bool ReadHeadlessOptions(const CCommandLine &commandLine, const QString &startDir, SHeadlessOptions &options,
                         QString &error)
{
    const QDir start(startDir);
    options.device = commandLine.Value("device");
    options.scriptPath = commandLine.Value("script");
    if (options.device.isEmpty() || options.scriptPath.isEmpty()) {
        error = Text(HeadlessText::NeedsScript);
        return false;
    }
    options.scriptPath = start.absoluteFilePath(options.scriptPath);
    options.arguments = {QFileInfo(options.scriptPath).completeBaseName().toUtf8()};
    for (const QString &word : commandLine.Positional())
        options.arguments << word.toUtf8();
    if (commandLine.IsSet("progress")) {
        if (commandLine.Value("progress") != QLatin1String("json")) {
            error = Text(HeadlessText::BadProgress);
            return false;
        }
        options.jsonProgress = true;
    }
    if (commandLine.IsSet("progress-file"))
        options.progressPath = start.absoluteFilePath(commandLine.Value("progress-file"));
    if (commandLine.IsSet("adapter-wait")) {
        bool ok = false;
        const int seconds = commandLine.Value("adapter-wait").toInt(&ok);
        if (!ok || seconds < 1) {
            error = Text(356).arg(QStringLiteral("--adapter-wait"));
            return false;
        }
        options.adapterWaitSeconds = seconds;
    }
    options.workDir = QDir(startDir).absolutePath() + QLatin1Char('/');
    return true;
}

int RunHeadless(const SHeadlessOptions &options)
{
    QFile scriptFile(options.scriptPath);
    if (!scriptFile.open(QIODevice::ReadOnly)) {
        Say(stderr, Text(HeadlessText::ScriptUnreadable).arg(options.scriptPath));
        return HeadlessExit::BadScript;
    }
    const QByteArray script = scriptFile.readAll();

    std::unique_ptr<FILE, int (*)(FILE *)> progressFile(nullptr, &std::fclose);
    if (options.jsonProgress && !options.progressPath.isEmpty()) {
        progressFile.reset(std::fopen(QFile::encodeName(options.progressPath).constData(), "w"));
        if (!progressFile) {
            Say(stderr, Text(HeadlessText::OptionProgressFile) + QStringLiteral(": ") + options.progressPath);
            return HeadlessExit::BadCommandLine;
        }
    }
    // Standard output carries the progress when no file takes it; the log
    // then goes to standard error.
    const bool progressOnStdout = options.jsonProgress && options.progressPath.isEmpty();
    FILE *logStream = progressOnStdout ? stderr : stdout;

    g_cmdProcessor.setHeadless(true);
    CMainFrame::StartHeadless(options.device, options.workDir, logStream);
    auto window = std::make_unique<CMainFrame>();
    CModalCloser closer(*window);
    std::unique_ptr<CProgressJson> progress;
    if (options.jsonProgress)
        progress = std::make_unique<CProgressJson>(*window, progressFile ? progressFile.get() : stdout);

    int exitCode = HeadlessExit::Done;
    if (!window->HasTarget() || window->TargetName() != options.device) {
        Say(logStream, Text(HeadlessText::UnknownDevice).arg(options.device));
        exitCode = HeadlessExit::BadCommandLine;
    } else if (!RunUntil([&] { return window->IsAdapterReady(); }, options.adapterWaitSeconds * 1000)) {
        Say(logStream, Text(HeadlessText::NoAdapter).arg(options.adapterWaitSeconds));
        exitCode = HeadlessExit::NoAdapter;
    } else if (!g_cmdProcessor.RunScriptText(script, options.arguments)) {
        Say(logStream, Text(HeadlessText::ScriptUnreadable).arg(options.scriptPath));
        exitCode = HeadlessExit::BadScript;
    } else {
        RunUntil([] { return !g_cmdProcessor.script().IsLoaded(); }, 0);
        const CScriptProduction &production = g_cmdProcessor.production();
        const int failures = production.Failures() + closer.Closed();
        if (production.BadScript())
            exitCode = HeadlessExit::BadScript;
        else if (failures > 0)
            exitCode = HeadlessExit::OperationFailed;
        Say(logStream, Text(HeadlessText::RunEnds).arg(failures));
    }
    progress.reset();
    window.reset();
    g_cmdProcessor.setHeadless(false);
    return exitCode;
}
