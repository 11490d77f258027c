#pragma once

// Asks for the programmer line: the simulated adapter or a real programmer
// and its port or device node. The window hands the line to the adapter
// library and connects again.

#include <QDialog>

class QLineEdit;

class CProgrammerDialog : public QDialog
{
    Q_OBJECT
public:
    CProgrammerDialog(const QString &line, QWidget *parent = nullptr);

    QString Line() const;
    QLineEdit *LineEdit() const { return m_line; }

private:
    QLineEdit *m_line = nullptr;
};
