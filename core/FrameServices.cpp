#include "FrameServices.h"

#include <QDesktopServices>
#include <QUrl>

#include <cstdio>

namespace {
CFrameServices g_defaultFrame;
CFrameServices *g_frame = nullptr;
} // namespace

void CFrameServices::LogMessage(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

void CFrameServices::ShowStatusMessage(const QString &) {}
bool CFrameServices::AskYesNo(const QString &, const QString &) { return false; }
void CFrameServices::ShowError(const QString &title, const QString &text)
{
    LogMessage(title + ": " + text);
}
QString CFrameServices::GetSaveFileName(const QString &, const QString &, const QString &) { return {}; }
QString CFrameServices::GetOpenFileName(const QString &, const QString &, const QString &) { return {}; }
QString CFrameServices::WorkDir() const { return {}; }
void CFrameServices::AddRecentFile(const QString &) {}
void CFrameServices::OpenDeviceListFile(const QString &path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
void CFrameServices::StartProgress(uint32_t, uint32_t) {}
void CFrameServices::SetProgressRange(uint32_t, uint32_t) {}
void CFrameServices::SetProgressValue(uint32_t) {}
void CFrameServices::ReadProgress(uint32_t) {}
void CFrameServices::BlockReadProgress(uint32_t, uint32_t, CMemoryNode *) {}
void CFrameServices::VerifyProgress(uint32_t, uint32_t, const uint8_t *, CMemoryNode *, const uint32_t *,
                                    CDeviceItem *)
{
}
void CFrameServices::VerifyProgressAt(uint32_t position, uint32_t count, uint64_t, uint32_t,
                                      const uint8_t *chipData, CMemoryNode *buffer, const uint32_t *badBlocks,
                                      CDeviceItem *device)
{
    VerifyProgress(position, count, chipData, buffer, badBlocks, device);
}
void CFrameServices::BlankProgress(uint32_t, uint32_t, bool) {}
void CFrameServices::EraseValue(uint32_t) {}
void CFrameServices::BbtProgress(uint32_t) {}
void CFrameServices::PrintElapsed(const QString &) {}
void CFrameServices::FailOperation(uint8_t, const QString &reason, bool, uint64_t)
{
    LogMessage(reason);
}
void CFrameServices::ShowSpeed(const QString &, uint32_t) {}
bool CFrameServices::RequestTargetChange(const QString &) { return false; }
void CFrameServices::SetSaveAllowed(bool) {}
void CFrameServices::BufferChanged(CMemoryNode *) {}
void CFrameServices::RefreshBadBlockView(int) {}
void CFrameServices::ShowAddressRange(uint64_t, uint64_t, const void *) {}
bool CFrameServices::LoadFileIntoTarget(const QString &) { return false; }
QAction *CFrameServices::SaveAction() const { return nullptr; }
bool CFrameServices::IsAdapterReady() const { return false; }
bool CFrameServices::IsOperationRunning() const { return false; }
bool CFrameServices::HasTarget() const { return false; }
int CFrameServices::RunIfIdle(uint64_t, uint64_t, int)
{
    LogMessage(QStringLiteral("Busy"));
    return 128;
}
bool CFrameServices::CompareFlag() const { return false; }
bool CFrameServices::Unattended() const { return false; }
void CFrameServices::ShowProductionCounters(int, int) {}
void CFrameServices::RunSaveAction() {}
void CFrameServices::RunDeviceSelection() {}
void CFrameServices::RunAboutBox() {}
void CFrameServices::ReinitUsb() {}
void CFrameServices::ClearLog() {}
void CFrameServices::SetLogFileEnabled(bool, const QString &) {}
void CFrameServices::SetLogBackground(const QString &) {}
void CFrameServices::ApplySpeed(int) {}
void CFrameServices::StartScriptTimer(int) {}
void CFrameServices::StopScriptTimer() {}
void CFrameServices::ExitApplication(int) {}

CFrameServices *Frame()
{
    return g_frame ? g_frame : &g_defaultFrame;
}

void SetFrame(CFrameServices *frame)
{
    g_frame = frame;
}

void LogText(const char *text)
{
    Frame()->LogMessage(QString::fromLatin1(text));
}

void LogString(const QString &text)
{
    Frame()->LogMessage(text);
}
