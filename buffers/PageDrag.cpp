#include "PageDrag.h"

void CPageDrag::Press(QPoint pos)
{
    m_buttonDown = true;
    m_active = false;
    m_speed = 0;
    m_last = pos;
    m_pointerY = pos.y();
    m_tickY = pos.y();
}

bool CPageDrag::Move(QPoint pos, int rowHeight, int64_t &rows, int &pixels)
{
    rows = 0;
    pixels = 0;
    if (!m_buttonDown)
        return false;
    m_pointerY = pos.y();
    const bool starts = !m_active;
    if (starts) {
        m_active = true;
        m_tickY = pos.y();
    }
    // The page follows the pointer: moving it down shows earlier rows.
    const int dy = pos.y() - m_last.y();
    if (rowHeight > 0 && (dy >= rowHeight || dy <= -rowHeight)) {
        const int whole = dy / rowHeight;
        rows = -whole;
        m_last.ry() += whole * rowHeight;
    }
    pixels = -(pos.x() - m_last.x());
    m_last.rx() = pos.x();
    return starts;
}

void CPageDrag::Release()
{
    m_buttonDown = false;
}

bool CPageDrag::Tick(int64_t &rows)
{
    rows = 0;
    if (!m_active)
        return false;
    if (m_buttonDown) {
        m_speed = m_pointerY - m_tickY;
        m_tickY = m_pointerY;
        return true;
    }
    if (m_speed > kMaxGlide + 1)
        m_speed = kMaxGlide;
    else if (m_speed < -(kMaxGlide + 1))
        m_speed = -kMaxGlide;
    else if (m_speed > 0)
        --m_speed;
    else if (m_speed < 0)
        ++m_speed;
    rows = -m_speed;
    if (m_speed == 0)
        m_active = false;
    return m_active;
}
