#pragma once

// The modeless "Please wait..." box of the reconnect sequence. It has no
// buttons, and neither Escape nor the title bar's close button takes it
// down: only the window hides it, when the adapter is ready again.

#include <QMessageBox>

class CWaitBox : public QMessageBox
{
    Q_OBJECT

public:
    CWaitBox(const QString &title, const QString &text, QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};
