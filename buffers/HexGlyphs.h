#pragma once

// Text of the hex view drawn as glyph runs: the rows hold only printable
// ASCII, so each character maps to one glyph of the font, looked up once. A
// paint then collects every row's glyphs of one colour and draws them in one
// call, instead of laying out some two hundred short strings.

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>

#include <array>

class QPainter;

class CHexGlyphs
{
public:
    // The font's glyphs and advances for the printable ASCII characters.
    void SetFont(const QFont &font);
    bool IsValid() const { return m_valid; }

    // Texts are queued in separate runs, one per colour.
    static constexpr int kRuns = 3;

    // Queues a text (printable ASCII, other bytes are skipped) with the left
    // end of its baseline at origin.
    void Add(int run, QPointF origin, const char *text, int length);
    // Draws what one run queued in one colour, and forgets it.
    void Draw(QPainter &painter, int run, const QColor &colour);

private:
    static constexpr int kFirst = 0x20;
    static constexpr int kCount = 0x7F - kFirst;

    QRawFont m_raw;
    bool m_valid = false;
    std::array<quint32, kCount> m_glyphs{};
    std::array<qreal, kCount> m_advances{};
    std::array<QList<quint32>, kRuns> m_indexes;
    std::array<QList<QPointF>, kRuns> m_positions;
};
