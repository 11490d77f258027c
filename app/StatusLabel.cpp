#include "StatusLabel.h"

CStatusLabel::CStatusLabel(QWidget *parent)
    : QLabel(parent)
{
}

void CStatusLabel::AddText(const QString &text)
{
    m_texts << text;
    qsizetype longest = 0;
    for (const QString &t : std::as_const(m_texts))
        longest = std::max(longest, t.size());
    for (QString &t : m_texts)
        t = t.leftJustified(longest, QLatin1Char(' '));
    if (m_state < 0)
        SetState(0);
    else
        setText(m_texts.at(m_state));
}

void CStatusLabel::SetState(int index)
{
    if (index < 0 || index >= m_texts.size() || index == m_state)
        return;
    m_state = index;
    setText(m_texts.at(index));
}

void CStatusLabel::Clear()
{
    m_texts.clear();
    m_state = -1;
    clear();
}
