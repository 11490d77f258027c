// What the log says when the adapter cannot be used: the worker retries on
// its own, so each reason is said once, and once more when the adapter is
// usable again.

#include "MainFrame.h"

#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "Programmer.h"
#include "UiText.h"
#include "UsbMessages.h"

#include <algorithm>

namespace {
enum TroubleTextIndex : int {
    UI_NO_ADAPTER = 360,
    UI_FIRMWARE_FAILED = 361,
    UI_NOT_BACK = 362,
    UI_LINK_LOST = 363,
    UI_TARGET_REJECTED = 364,
    UI_ADAPTER_AGAIN = 365,
    UI_CUT_OFF = 366,
    UI_GEOMETRY_REFUSED = 369,
    UI_ADAPTER_SAYS = 246,
};

// Not one of the worker's reasons: the window itself sees the rejection.
constexpr int TROUBLE_TARGET_REJECTED = 100;
} // namespace

// The library's reasons come first: why no programmer answers, or what
// broke the link, before the window's own summary of it.
void CMainFrame::LogAdapterMessages()
{
    for (const QString &line : Usb::TakeMessages())
        LogMessage(Text(UI_ADAPTER_SAYS).arg(line));
}

void CMainFrame::OnAdapterTrouble(int trouble, qint64 lastUnit)
{
    LogAdapterMessages();
    switch (trouble) {
    case CProgrammer::NoAdapter:
        LogTroubleOnce(trouble, UI_NO_ADAPTER);
        break;
    case CProgrammer::FirmwareFailed:
        LogTroubleOnce(trouble, UI_FIRMWARE_FAILED);
        break;
    case CProgrammer::NotBack:
        LogTroubleOnce(trouble, UI_NOT_BACK);
        break;
    case CProgrammer::LinkLost: {
        if (m_opEnd != 0) {
            const int64_t unit = m_programmer ? std::max(0, m_programmer->packetSize()) : 0;
            const int64_t reached = lastUnit >= 0 ? lastUnit : int64_t(m_opStart);
            const QString address = QString::number(uint64_t(reached * unit), 16).toUpper();
            LogMessage(Text(UI_CUT_OFF).arg(address.rightJustified(8, QLatin1Char('0'))));
        }
        LogTroubleOnce(trouble, UI_LINK_LOST);
        break;
    }
    default:
        break;
    }
}

void CMainFrame::ReportTargetRejected()
{
    LogTroubleOnce(TROUBLE_TARGET_REJECTED, UI_TARGET_REJECTED);
}

void CMainFrame::ReportAdapterUsable()
{
    if (m_loggedTrouble != 0)
        LogMessage(Text(UI_ADAPTER_AGAIN));
    m_loggedTrouble = 0;
}

void CMainFrame::LogTroubleOnce(int trouble, int textIndex)
{
    if (trouble == m_loggedTrouble)
        return;
    m_loggedTrouble = trouble;
    LogMessage(Text(textIndex));
}

void CMainFrame::ReportUnservableDevices()
{
    for (const auto &family : DeviceFamilies()) {
        if (family->Type() != DEVICE_NAND)
            continue;
        for (const auto &item : family->m_items) {
            const auto *nand = dynamic_cast<const CDeviceItemNand *>(item.get());
            if (!nand || nand->IsOnfiEntry())
                continue;
            const QString fault = nand->GeometryFault();
            if (!fault.isEmpty())
                LogMessage(Text(UI_GEOMETRY_REFUSED).arg(nand->m_name, fault));
        }
    }
}
