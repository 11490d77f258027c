#pragma once

// Helpers of the tests that drive the real main window: answering its modal
// dialogs from the event loop, reading its message log, and pointing the
// simulated adapter at a configuration of the test's own.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Answers the next modal widget of type Dialog as soon as it is shown (the
// check repeats on every turn of the event loop until one is up, or until
// the guard object is gone).
template <class Dialog>
void AnswerNextModal(std::function<void(Dialog *)> answer, QObject *guard = qApp, int delayMs = 0)
{
    QTimer::singleShot(delayMs, guard, [answer, guard] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            // Looked for again a little later, so a long wait costs no CPU
            // that the operation under test needs.
            AnswerNextModal<Dialog>(answer, guard, 10);
            return;
        }
        answer(dialog);
    });
}

// Answers the next file dialog with a path, as the operator would type it.
void AnswerNextFileDialog(const QString &path);

// Presses a standard button of the next modal message box; its text is
// handed to seen when given.
inline void AnswerNextMessageBox(QMessageBox::StandardButton button, QString *seenText = nullptr,
                                 QString *seenTitle = nullptr)
{
    AnswerNextModal<QMessageBox>([button, seenText, seenTitle](QMessageBox *box) {
        if (seenText)
            *seenText = box->text();
        if (seenTitle)
            *seenTitle = box->windowTitle();
        box->done(button);
    });
}

// Writes the simulator's configuration for the next connection (see
// WriteSimConfig) into the test's temporary folder.
QString UseSimConfig(const QString &iniText);
