// The message log panel, the log file and the window's dialogs that the
// lower layers reach through CFrameServices.

#include "MainFrame.h"

#include "AppDirectory.h"
#include "CmdProcessor.h"
#include "ProductionTexts.h"
#include "Script.h"
#include "UiText.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>

#include <cstdio>

namespace {
const char LINE_END[] = "\r\n";
const char LOG_START[] = "Log Start\r\n";
} // namespace

void CMainFrame::LogMessage(const QString &line)
{
    if (m_logStream) {
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), m_logStream);
        std::fflush(m_logStream);
    }
    // Before the first target there is no panel: the line is lost, and it
    // goes to no file either.
    if (!m_logPanel)
        return;
    m_lastLogLine = line;
    m_logPanel->appendPlainText(line);
    if (m_logFile) {
        m_logFile->write(line.toLatin1());
        m_logFile->write(LINE_END, 2);
        m_logFile->flush();
    }
    if (m_tabs && m_tabs->currentIndex() != 0)
        ShowStatusMessage(line);
}

void CMainFrame::ShowStatusMessage(const QString &text)
{
    statusBar()->showMessage(text);
}

QString CMainFrame::StatusText() const
{
    return statusBar()->currentMessage();
}

void CMainFrame::SetLogFile(bool enable, const QString &name)
{
    if (m_logFile) {
        m_logFile->close();
        m_logFile.reset();
    }
    if (!enable)
        return;
    // A file that does not open still becomes the log file: its writes fail
    // quietly while the panel keeps showing every line.
    m_logFile = std::make_unique<QFile>(AppDirectory(DIR_TEMP) + name);
    if (m_logFile->open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_logFile->write(LOG_START, qstrlen(LOG_START));
        m_logFile->flush();
    }
}

bool CMainFrame::IsLogFileOpen() const
{
    return m_logFile != nullptr;
}

void CMainFrame::ClearLog()
{
    if (m_logPanel)
        m_logPanel->clear();
}

void CMainFrame::SetLogBackground(const QString &colorHex)
{
    if (m_logPanel)
        m_logPanel->setStyleSheet(QStringLiteral("QPlainTextEdit{background-color:#%1}").arg(colorHex));
}

bool CMainFrame::AskYesNo(const QString &title, const QString &text)
{
    // A script that runs unattended has said how to answer.
    if (g_cmdProcessor.script().IsLoaded()) {
        switch (g_cmdProcessor.production().Answer()) {
        case CScriptProduction::EAnswer::Yes:
            LogMessage(Text(ProductionText::AnsweredYes).arg(text.trimmed()));
            return true;
        case CScriptProduction::EAnswer::No:
            LogMessage(Text(ProductionText::AnsweredNo).arg(text.trimmed()));
            return false;
        case CScriptProduction::EAnswer::Ask:
            break;
        }
    }
    // No is the default: Enter, or a key held down, never carries on by accident.
    return QMessageBox::warning(this, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

bool CMainFrame::ScriptFileName(const QString &caption, QString &path)
{
    if (!g_cmdProcessor.script().IsLoaded())
        return false;
    CScriptProduction &production = g_cmdProcessor.production();
    if (production.HasFileName()) {
        // Relative names are taken from the working folder, as the dialog
        // would start there.
        path = QDir(m_workDir).absoluteFilePath(production.TakeFileName());
        LogMessage(Text(ProductionText::FileGiven).arg(path));
        return true;
    }
    if (!production.Unattended())
        return false;
    // Nobody is there to answer a dialog: it counts as cancelled.
    LogMessage(Text(ProductionText::NoFileName).arg(caption));
    path.clear();
    return true;
}

bool CMainFrame::Unattended() const
{
    return m_headless || (g_cmdProcessor.script().IsLoaded() && g_cmdProcessor.production().Unattended());
}

void CMainFrame::ShowProductionCounters(int passed, int failed)
{
    if (!m_countersLabel)
        return;
    m_countersLabel->setText(Text(ProductionText::Counters).arg(passed).arg(failed).arg(passed + failed));
    m_countersLabel->setVisible(true);
}

void CMainFrame::ShowError(const QString &title, const QString &text)
{
    // Nobody would close the box: the error goes to the log, where a script
    // run and its report see it.
    if (Unattended()) {
        LogMessage(title + QStringLiteral(": ") + text);
        return;
    }
    QMessageBox::warning(this, title, text, QMessageBox::Ok);
}

QString CMainFrame::GetSaveFileName(const QString &caption, const QString &dir, const QString &filter)
{
    QString path;
    if (ScriptFileName(caption, path))
        return path;
    return QFileDialog::getSaveFileName(this, caption, dir, filter);
}

QString CMainFrame::GetOpenFileName(const QString &caption, const QString &dir, const QString &filter)
{
    QString path;
    if (ScriptFileName(caption, path))
        return path;
    return QFileDialog::getOpenFileName(this, caption, dir, filter);
}
