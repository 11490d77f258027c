#pragma once

// A status-bar label that shows one of several state texts. All texts are
// padded with blanks to the longest one, so the label keeps its width
// whichever state it shows.

#include <QLabel>
#include <QStringList>

class CStatusLabel : public QLabel
{
    Q_OBJECT
public:
    explicit CStatusLabel(QWidget *parent = nullptr);

    // Appends a state text and re-pads every text; shows state 0 when no
    // state is shown yet.
    void AddText(const QString &text);
    // Shows a state; an index outside the list or already shown is ignored.
    void SetState(int index);
    // Forgets every state text; no state is shown.
    void Clear();

    int State() const { return m_state; }
    const QStringList &Texts() const { return m_texts; }

private:
    QStringList m_texts;
    int m_state = -1;
};
