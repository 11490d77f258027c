#include "HexGlyphs.h"

#include <QGlyphRun>
#include <QPainter>

void CHexGlyphs::SetFont(const QFont &font)
{
    m_raw = QRawFont::fromFont(font);
    m_valid = false;
    for (int run = 0; run < kRuns; ++run) {
        m_indexes[size_t(run)].clear();
        m_positions[size_t(run)].clear();
    }
    if (!m_raw.isValid())
        return;
    QString characters;
    for (int c = kFirst; c < kFirst + kCount; ++c)
        characters += QLatin1Char(char(c));
    const QList<quint32> glyphs = m_raw.glyphIndexesForString(characters);
    if (glyphs.size() != kCount)
        return;
    const QList<QPointF> advances = m_raw.advancesForGlyphIndexes(glyphs);
    for (int i = 0; i < kCount; ++i) {
        // A character the font lacks would need a fallback font: leave the
        // drawing to the painter's own text layout then.
        if (glyphs[i] == 0 && i != 0)
            return;
        m_glyphs[size_t(i)] = glyphs[i];
        m_advances[size_t(i)] = advances[i].x();
    }
    m_valid = true;
}

void CHexGlyphs::Add(int run, QPointF origin, const char *text, int length)
{
    QList<quint32> &indexes = m_indexes[size_t(run)];
    QList<QPointF> &positions = m_positions[size_t(run)];
    for (int i = 0; i < length; ++i) {
        const int slot = int(uchar(text[i])) - kFirst;
        if (slot < 0 || slot >= kCount)
            continue;
        if (text[i] != ' ') {
            indexes.append(m_glyphs[size_t(slot)]);
            positions.append(origin);
        }
        origin.rx() += m_advances[size_t(slot)];
    }
}

void CHexGlyphs::Draw(QPainter &painter, int run, const QColor &colour)
{
    QList<quint32> &indexes = m_indexes[size_t(run)];
    QList<QPointF> &positions = m_positions[size_t(run)];
    if (indexes.isEmpty())
        return;
    QGlyphRun glyphs;
    glyphs.setRawFont(m_raw);
    glyphs.setGlyphIndexes(indexes);
    glyphs.setPositions(positions);
    painter.setPen(colour);
    painter.drawGlyphRun(QPointF(0, 0), glyphs);
    // Cleared, not released: the next paint fills the same room again.
    indexes.resize(0);
    positions.resize(0);
}
