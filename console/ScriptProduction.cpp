#include "ScriptProduction.h"

#include <QTimer>

CScriptProduction::CScriptProduction() = default;
CScriptProduction::~CScriptProduction() = default;

void CScriptProduction::Reset()
{
    m_failLabel.clear();
    m_timeoutMs = 0;
    m_answer = EAnswer::Ask;
    m_fileNames.clear();
    StopOperationTimer();
}

void CScriptProduction::StartOperationTimer(std::function<void()> expired)
{
    StopOperationTimer();
    if (m_timeoutMs <= 0)
        return;
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
    }
    m_timer->disconnect();
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), std::move(expired));
    m_timer->start(m_timeoutMs);
}

void CScriptProduction::StopOperationTimer()
{
    if (m_timer)
        m_timer->stop();
}

bool CScriptProduction::OperationTimerActive() const
{
    return m_timer && m_timer->isActive();
}
