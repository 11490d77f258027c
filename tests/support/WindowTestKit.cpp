#include "WindowTestKit.h"

#include "AppSettings.h"
#include "ConsoleView.h"
#include "MainFrame.h"
#include "SimAdapterHost.h"
#include "StatusLabel.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSettings>
#include <QTest>

QString UseSimConfig(const QString &iniText)
{
    return WriteSimConfig(QDir::tempPath(), iniText);
}

namespace {

// Types the path into the file name field and accepts. selectFile() alone
// leaves the field as it is while the field has the focus, which depends on
// how fast the window system activates the dialog: on a busy machine the
// dialog then kept its folder as the answer and refused to close.
void AnswerFileDialog(QFileDialog *dialog, const QString &path)
{
    dialog->selectFile(path);
    if (auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        field->setText(path);
    // accept() is protected in QFileDialog; its slot takes the typed name.
    QMetaObject::invokeMethod(dialog, "accept");
}

} // namespace

void AnswerNextFileDialog(const QString &path)
{
    AnswerNextModal<QFileDialog>([path](QFileDialog *dialog) { AnswerFileDialog(dialog, path); });
}

void TypeAtConsole(CMainFrame &window, const QString &text)
{
    CConsoleView *console = window.Console();
    if (!text.isEmpty())
        QTest::keyClicks(console, text);
    QTest::keyClick(console, Qt::Key_Return);
}

QByteArray NandChipImage(int pageSize, int pagesPerBlock, int blocks, const QList<int> &bad)
{
    const int dataArea = pageSize == 528 ? 512 : 2048;
    QByteArray image(qsizetype(pageSize) * pagesPerBlock * blocks, 0);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32 *>(image.data()), image.size() / 4);
    for (int block = 0; block < blocks; ++block) {
        const qsizetype marker = qsizetype(block) * pageSize * pagesPerBlock + dataArea;
        for (int i = 0; i < 6; ++i)
            image[marker + i] = bad.contains(block) ? char(0) : char(0xFF);
    }
    return image;
}

bool WriteWholeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

CSimWindowRig::CSimWindowRig()
{
    m_modalWatch.setInterval(1000);
    QObject::connect(&m_modalWatch, &QTimer::timeout, [this] { WatchModals(); });
}

CSimWindowRig::~CSimWindowRig() = default;

// A dialog nobody answers would keep the test in its modal loop until the
// suite's time limit. One that stays up far longer than any answer takes
// fails the test with its text and is closed, so the run goes on.
void CSimWindowRig::WatchModals()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || dialog != m_watchedModal) {
        m_watchedModal = dialog;
        m_modalSeconds = 0;
        return;
    }
    if (++m_modalSeconds < MODAL_LIMIT_S)
        return;
    QString text = dialog->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        text += QStringLiteral(": ") + box->text();
    m_watchedModal = nullptr;
    dialog->reject();
    QTest::qFail(qPrintable(QStringLiteral("an unanswered dialog stayed open: ") + text), __FILE__, __LINE__);
}

QString CSimWindowRig::UseChip(const QString &sections)
{
    const QString image = QDir::tempPath() + QStringLiteral("/chip-%1.bin").arg(++m_chipCount);
    QString text = sections;
    text.replace(QStringLiteral("@IMAGE@"), image);
    UseSimConfig(text);
    return image;
}

void CSimWindowRig::Start(const QString &target, const std::function<void()> &prepare)
{
    m_window.reset();
    QSettings(AppSettings().FileName(), QSettings::IniFormat).clear();
    AppSettings().WriteString(SET_TEST_NAME, target);
    if (prepare)
        prepare();
    m_window = std::make_unique<CMainFrame>();
    m_window->show();
    m_modalWatch.start();
}

void CSimWindowRig::Close()
{
    m_window.reset();
}

void CSimWindowRig::WaitConnected()
{
    QVERIFY(m_window);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->IsAdapterReady() && m_window->ConnectionLabel()->State() == 2, CONNECT_MS);
}

QString CSimWindowRig::LogText() const
{
    return m_window && m_window->LogPanel() ? m_window->LogPanel()->toPlainText() : QString();
}

QStringList CSimWindowRig::LogLines() const
{
    return LogText().split(QLatin1Char('\n'));
}
