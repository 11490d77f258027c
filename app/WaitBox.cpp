#include "WaitBox.h"

#include <QCloseEvent>
#include <QKeyEvent>

CWaitBox::CWaitBox(const QString &title, const QString &text, QWidget *parent)
    : QMessageBox(QMessageBox::Information, title, text, QMessageBox::NoButton, parent,
                  Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    // A message box without buttons gets an OK button when it is first shown
    // unless it is told plainly that it has none; that button would hide the
    // box while the reconnect goes on.
    setStandardButtons(QMessageBox::NoButton);
    setModal(false);
}

void CWaitBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QMessageBox::keyPressEvent(event);
}

void CWaitBox::closeEvent(QCloseEvent *event)
{
    // The operator's close request; the window itself only hides the box.
    event->ignore();
}
