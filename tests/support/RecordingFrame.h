#pragma once

// A frame for tests without a window: it records every log line and status
// message, and answers dialogs with values the test sets beforehand.

#include "FrameServices.h"

#include <QStringList>

class CRecordingFrame : public CFrameServices
{
public:
    CRecordingFrame() { SetFrame(this); }
    ~CRecordingFrame() override { SetFrame(nullptr); }

    void LogMessage(const QString &line) override { log << line; }
    void ShowStatusMessage(const QString &text) override { status << text; }
    bool AskYesNo(const QString &, const QString &text) override
    {
        questions << text;
        return answerYes;
    }
    void ShowError(const QString &title, const QString &text) override { errors << title + ": " + text; }
    QString GetSaveFileName(const QString &, const QString &, const QString &) override { return saveAnswer; }
    QString GetOpenFileName(const QString &, const QString &, const QString &) override { return openAnswer; }
    QString WorkDir() const override { return workDir; }
    void AddRecentFile(const QString &path) override { recentFiles << path; }
    void BufferChanged(CMemoryNode *) override { ++changes; }

    QStringList log, status, questions, errors, recentFiles;
    bool answerYes = false;
    QString saveAnswer, openAnswer, workDir;
    int changes = 0;
};
