#pragma once

// A frame that follows chip operations as the main window does, for
// end-to-end tests and benchmarks of an engine against the simulated
// adapter: it receives the worker's three signals, dispatches the messages
// (generic tags itself, the rest to the engine), keeps the operation's start
// and end, compares verify data, stops on a failed compare or blank check,
// and records every log line, question, error and completion code.

#include "FrameServices.h"
#include "MemoryNode.h"
#include "Programmer.h"
#include "UiText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class CSpiOperationFrame : public QObject, public CFrameServices
{
    Q_OBJECT

public:
    CSpiOperationFrame() { SetFrame(this); }
    ~CSpiOperationFrame() override { SetFrame(nullptr); }

    // Follows the engine: connects its signals and starts its thread.
    void Attach(CProgrammer *programmer)
    {
        m_programmer = programmer;
        ready = false;
        m_opEnd = 0;
        connect(programmer, &CProgrammer::connectionChanged, this, &CSpiOperationFrame::OnAdapterState);
        connect(programmer, &CProgrammer::messageReady, this, &CSpiOperationFrame::OnMessage);
        connect(programmer, &CProgrammer::dataSent, this, &CSpiOperationFrame::OnProgress);
        programmer->start();
    }

    // Queued signals of the worker are handed over here (for the race
    // checker of the sanitizer build), as in the window.
    bool event(QEvent *event) override
    {
        MarkSignalReceived();
        return QObject::event(event);
    }

    // Runs the event loop until the condition holds or the time is up. Like
    // the window's loop it handles each message as it arrives (no sleeping
    // between rounds), so operations run at the speed they would run there.
    static bool WaitFor(const std::function<bool()> &condition, int milliseconds = 60000)
    {
        const QDeadlineTimer deadline(milliseconds);
        QTimer wake; // looks at the condition now and then even when nothing arrives
        wake.start(20);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        return true;
    }
    // Waits for one more completion code `code` than were reported before.
    bool WaitForCode(char code, int milliseconds = 60000)
    {
        const qsizetype before = codes.count(code);
        return WaitFor([&] { return codes.count(code) > before; }, milliseconds);
    }
    bool WaitForIdle(int milliseconds = 60000)
    {
        return WaitFor([&] { return m_opEnd == 0 && m_programmer->pendingCommands() == 0; }, milliseconds);
    }

    // --- window services
    void LogMessage(const QString &line) override { log << line; }
    bool AskYesNo(const QString &title, const QString &text) override
    {
        questions << title + ": " + text;
        return answerYes;
    }
    void ShowError(const QString &title, const QString &text) override { errors << title + ": " + text; }
    void StartProgress(uint32_t start, uint32_t count) override
    {
        m_opStart = start;
        m_opEnd = start + (count ? count : 1);
        m_barMax = count ? count : 1;
    }
    void BlockReadProgress(uint32_t position, uint32_t count, CMemoryNode *) override
    {
        if (m_opEnd != 0 && position + count >= m_opEnd)
            Finish(0, 'A');
    }
    void VerifyProgress(uint32_t position, uint32_t count, const uint8_t *chipData, CMemoryNode *buffer,
                        const uint32_t *, CDeviceItem *) override
    {
        if (m_opEnd == 0)
            return;
        const uint64_t unit = uint64_t(m_programmer->packetSize());
        if (!buffer->Compare(position * unit, uint32_t(count * unit), chipData, nullptr, nullptr)) {
            Stop();
            return;
        }
        if (position + count < m_opEnd)
            codes << 'B';
        else
            Finish(67, 0);
    }
    void BlankProgress(uint32_t position, uint32_t count, bool ok) override
    {
        if (m_opEnd == 0)
            return;
        if (!ok)
            Stop();
        else if (position + count >= m_opEnd)
            Finish(71, 'K');
    }
    void EraseValue(uint32_t value) override
    {
        erasePositions << value;
        if (value >= m_barMax)
            codes << 'G';
    }
    bool RequestTargetChange(const QString &deviceName) override
    {
        targetRequests << deviceName;
        return acceptTargetChange;
    }
    void SetSaveAllowed(bool allowed) override { saveAllowed = allowed; }
    void OpenDeviceListFile(const QString &path) override { openedListFiles << path; }
    bool IsAdapterReady() const override { return ready; }
    bool IsOperationRunning() const override { return m_opEnd != 0; }
    void ApplySpeed(int n) override
    {
        appliedSpeeds << n;
        if (m_programmer)
            m_programmer->setSpeed(n);
    }

    // The window's Stop action.
    void Stop()
    {
        ++stops;
        m_opEnd = 0;
        m_programmer->tryLockBuffer();
        m_programmer->clearQueue();
        m_programmer->unlockBuffer();
        m_programmer->endOperation();
    }

    QStringList log, questions, errors, targetRequests;
    QStringList openedListFiles; // device list files handed to the desktop
    QList<char> codes;
    QList<char> seen; // the tag of every message, in order
    QList<uint32_t> erasePositions;
    QList<int> appliedSpeeds;
    bool answerYes = true;
    bool acceptTargetChange = false;
    bool saveAllowed = false;
    bool ready = false;
    int stops = 0;
    int speedOnReady = -1; // when set, the speed the window applies on adapter ready

public slots:
    void OnAdapterState(bool connected)
    {
        if (!connected)
            return;
        ready = true;
        if (speedOnReady >= 0)
            m_programmer->setSpeed(speedOnReady);
        m_programmer->tryLockBuffer();
        m_programmer->unlockBuffer();
        m_opEnd = 0;
        m_programmer->configurePins();
    }
    void OnMessage(CProgMessage *raw)
    {
        const std::unique_ptr<CProgMessage> message(raw);
        seen << char(message->tag);
        switch (message->tag) {
        case 'D':
            codes << 'D';
            break;
        case 'C':
        case 'I':
        case 'J':
        case 'S':
        case 'U':
            break;
        default:
            if (m_programmer->handleMessage(message.get()))
                codes << char(message->tag);
        }
    }
    void OnProgress(unsigned position, unsigned count)
    {
        const unsigned end = position + (count ? count : 1);
        if (end >= m_opEnd && m_opEnd != 0) {
            m_opEnd = 0;
            m_programmer->tryLockBuffer();
            m_programmer->unlockBuffer();
        }
    }

private:
    void Finish(int textIndex, char code)
    {
        m_opStart = m_opEnd = 0;
        if (textIndex)
            log << Text(textIndex);
        if (code)
            codes << code;
    }

    CProgrammer *m_programmer = nullptr;
    uint32_t m_opStart = 0;
    uint32_t m_opEnd = 0;
    uint32_t m_barMax = 1;
};
