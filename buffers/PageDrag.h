#pragma once

// Dragging the hex view's page with the mouse: while the button is held the
// page follows the pointer row by row; after release it glides on with the
// last speed, one step slower every tick, until it stops.

#include <QPoint>

#include <cstdint>

class CPageDrag
{
public:
    static constexpr int kTickMs = 30;
    // The glide never moves more than this many rows per tick.
    static constexpr int kMaxGlide = 29;

    // Button pressed: a running glide ends.
    void Press(QPoint pos);
    // Pointer moved with the button held. Returns true when this move starts
    // the drag (the caller then starts the tick timer). rows and pixels are
    // what the first row and the horizontal offset change by.
    bool Move(QPoint pos, int rowHeight, int64_t &rows, int &pixels);
    void Release();
    // Timer tick: rows to change the first row by; false when the drag has
    // ended (the caller stops the timer).
    bool Tick(int64_t &rows);

    bool ButtonDown() const { return m_buttonDown; }
    bool Active() const { return m_active; }
    int Speed() const { return m_speed; }

private:
    bool m_buttonDown = false;
    bool m_active = false;
    QPoint m_last;
    int m_tickY = 0;
    int m_pointerY = 0;
    int m_speed = 0;
};
