#pragma once

// What a script sets up for unattended runs: the label a failed operation
// sends it to, the time an operation may take before it counts as failed,
// how confirmations are answered and the file names that answer the next
// file dialogs. The command processor owns one; everything in it is
// forgotten when the script ends.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

class CScriptProduction
{
public:
    // How a Yes/No question is answered while a script runs.
    enum class EAnswer { Ask, Yes, No };

    CScriptProduction();
    ~CScriptProduction();
    CScriptProduction(const CScriptProduction &) = delete;
    CScriptProduction &operator=(const CScriptProduction &) = delete;

    // Back to attended use: no fail label, no time-out, questions asked,
    // no file names; a running time-out is cancelled.
    void Reset();

    // "onfail LABEL": a failed operation continues the script at LABEL;
    // an empty label waits for the operator, as without the statement.
    void SetFailLabel(const QByteArray &label) { m_failLabel = label; }
    const QByteArray &FailLabel() const { return m_failLabel; }

    // "timeout MS": every operation the script starts from now on fails
    // when it has not ended within MS milliseconds; 0 switches it off.
    void SetTimeout(int milliseconds) { m_timeoutMs = milliseconds > 0 ? milliseconds : 0; }
    int Timeout() const { return m_timeoutMs; }
    // Starts the time-out of an operation the script now waits for; expired
    // is called on the GUI thread when it runs out.
    void StartOperationTimer(std::function<void()> expired);
    void StopOperationTimer();
    bool OperationTimerActive() const;

    // "answer yes|no|ask".
    void SetAnswer(EAnswer answer) { m_answer = answer; }
    EAnswer Answer() const { return m_answer; }
    // True when a question or a file dialog must not wait for an operator.
    bool Unattended() const { return m_answer != EAnswer::Ask; }

    // "file PATH": the next file dialog is answered with PATH.
    void QueueFileName(const QString &path) { m_fileNames << path; }
    bool HasFileName() const { return !m_fileNames.isEmpty(); }
    QString TakeFileName() { return m_fileNames.isEmpty() ? QString() : m_fileNames.takeFirst(); }

    // Failed operations since the script started, for the exit code of a
    // headless run.
    int Failures() const { return m_failures; }
    void CountFailure() { ++m_failures; }
    void ResetFailures()
    {
        m_failures = 0;
        m_badScript = false;
    }
    // The script could not go on as written (a line that is no command, a
    // pause nobody can answer in a run without a window).
    void MarkBadScript() { m_badScript = true; }
    bool BadScript() const { return m_badScript; }

private:
    QByteArray m_failLabel;
    int m_timeoutMs = 0;
    EAnswer m_answer = EAnswer::Ask;
    QStringList m_fileNames;
    int m_failures = 0;
    bool m_badScript = false;
    std::unique_ptr<QTimer> m_timer;  // made on first use: the processor exists before the application
};
