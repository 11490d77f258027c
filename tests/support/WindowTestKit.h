#pragma once

// Helpers of the tests that drive the real main window: answering its modal
// dialogs from the event loop, reading its message log, typing at its
// console, and running it on the simulated adapter with a configuration of
// the test's own.

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class CMainFrame;

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

// Types a line at the window's console and presses Return, as the operator
// does: the console hands it to the command processor.
void TypeAtConsole(CMainFrame &window, const QString &text);

// An image as a NAND chip would hold it: random data, with the bad-block
// markers of the blocks listed and clean markers everywhere else.
QByteArray NandChipImage(int pageSize, int pagesPerBlock, int blocks, const QList<int> &bad = {});

bool WriteWholeFile(const QString &path, const QByteArray &data);
QByteArray ReadWholeFile(const QString &path);

// The main window on the simulated adapter, started with empty settings and
// a stored target; each chip gets an image file of its own in the test's
// temporary folder.
class CSimWindowRig
{
public:
    static constexpr int CONNECT_MS = 30000;
    static constexpr int OPERATION_MS = 120000;

    CSimWindowRig();
    ~CSimWindowRig();
    CSimWindowRig(const CSimWindowRig &) = delete;
    CSimWindowRig &operator=(const CSimWindowRig &) = delete;

    // Configures the simulator; "@IMAGE@" in sections stands for a new chip
    // image path, which is returned.
    QString UseChip(const QString &sections);
    // Closes any window, clears the settings, stores target, lets prepare
    // write further settings, then opens and shows a new window.
    void Start(const QString &target, const std::function<void()> &prepare = {});
    void Close();
    // Fails the running test when the adapter is not ready at high speed in
    // time (check QTest::currentTestFailed() after it).
    void WaitConnected();

    CMainFrame *Window() const { return m_window.get(); }
    QString LogText() const;
    QStringList LogLines() const;
    bool Logged(const QString &text) const { return LogText().contains(text); }

private:
    static constexpr int MODAL_LIMIT_S = 30;
    void WatchModals();

    std::unique_ptr<CMainFrame> m_window;
    int m_chipCount = 0;
    QTimer m_modalWatch;
    QDialog *m_watchedModal = nullptr;
    int m_modalSeconds = 0;
};
