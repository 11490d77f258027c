#pragma once

// A recording frame that also stands in for the window's state and actions:
// the adapter-ready, busy and target flags are set by the test, and every
// window action a command reaches is recorded as one text line
// ("ApplySpeed 10"). RunIfIdle behaves as the window's: it starts the
// programmer's read-type operation only when ready and idle, else it logs
// "Busy" and refuses.

#include "RecordingFrame.h"

#include "Programmer.h"
#include "UiText.h"

#include <QStringList>

class CActionRecordingFrame : public CRecordingFrame
{
public:
    // --- window state, set by the test
    bool adapterReady = true;
    bool operationRunning = false;
    bool targetSet = true;
    bool targetChangeAnswer = true;
    CProgrammer *programmer = nullptr;

    // --- what the window was asked
    QStringList actions;

    bool IsAdapterReady() const override { return adapterReady; }
    bool IsOperationRunning() const override { return operationRunning; }
    bool HasTarget() const override { return targetSet; }

    int RunIfIdle(uint64_t address, uint64_t length, int opCode) override
    {
        if (!adapterReady || operationRunning || !programmer) {
            LogMessage(Text(74));
            return 128;
        }
        return programmer->startReadOp(address, length, opCode);
    }

    QString GetSaveFileName(const QString &caption, const QString &dir, const QString &filter) override
    {
        actions << QStringLiteral("GetSaveFileName %1|%2|%3").arg(caption, dir, filter);
        return saveAnswer;
    }
    QString GetOpenFileName(const QString &caption, const QString &dir, const QString &filter) override
    {
        actions << QStringLiteral("GetOpenFileName %1|%2|%3").arg(caption, dir, filter);
        return openAnswer;
    }

    bool RequestTargetChange(const QString &deviceName) override
    {
        actions << QStringLiteral("RequestTargetChange %1").arg(deviceName);
        return targetChangeAnswer;
    }
    void RefreshBadBlockView(int view) override { actions << QStringLiteral("RefreshBadBlockView %1").arg(view); }
    void ShowAddressRange(uint64_t start, uint64_t length, const void *askingView) override
    {
        actions << QStringLiteral("ShowAddressRange %1 %2 %3")
                       .arg(start, 0, 16)
                       .arg(length, 0, 16)
                       .arg(askingView ? "asking" : "none");
    }
    void RunSaveAction() override { actions << QStringLiteral("RunSaveAction"); }
    void RunDeviceSelection() override { actions << QStringLiteral("RunDeviceSelection"); }
    void RunAboutBox() override { actions << QStringLiteral("RunAboutBox"); }
    void ReinitUsb() override { actions << QStringLiteral("ReinitUsb"); }
    void ClearLog() override { actions << QStringLiteral("ClearLog"); }
    void SetLogFileEnabled(bool enable, const QString &fileName) override
    {
        actions << QStringLiteral("SetLogFileEnabled %1 %2").arg(enable ? "on" : "off", fileName);
    }
    void SetLogBackground(const QString &colorHex) override
    {
        actions << QStringLiteral("SetLogBackground %1").arg(colorHex);
    }
    void ApplySpeed(int n) override { actions << QStringLiteral("ApplySpeed %1").arg(n); }
    void StartScriptTimer(int milliseconds) override
    {
        actions << QStringLiteral("StartScriptTimer %1").arg(milliseconds);
    }
    void ExitApplication(int code) override { actions << QStringLiteral("ExitApplication %1").arg(code); }
};
