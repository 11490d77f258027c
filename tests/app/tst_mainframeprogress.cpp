#include "AppSettings.h"
#include "UiText.h"
#include "CmdProcessor.h"
#include "Script.h"
#include "DeviceSelectDialog.h"
#include "MainFrame.h"
#include "MemoryNode.h"
#include "ProgMessage.h"
#include "Programmer.h"
#include "StatusLabel.h"
#include "WindowTestKit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QTest>

#include <cstring>
#include <memory>

// How the window follows an operation: the progress services the engines
// call, the time and speed texts, Stop, and the replies the window handles
// itself. The adapter is absent, so only what the test hands in happens.
class TestMainFrameProgress : public QObject
{
    Q_OBJECT

    std::unique_ptr<CMainFrame> m_window;
    int64_t m_now = 0; // the operation clock's time source, in ms

    QStringList LogLines() const { return m_window->LogPanel()->toPlainText().split('\n'); }
    QString LastLog() const { return LogLines().back(); }
    int LogCount() const { return m_window->LogPanel()->blockCount(); }

    // A script that waits for code, as after a line that started an operation.
    static void AwaitCode(uint8_t code)
    {
        QVERIFY(g_cmdProcessor.script().Load("d\r\n"));
        g_cmdProcessor.setAwaitCode(code);
    }

    static CProgMessage *Message(uint8_t tag, int32_t address, const QByteArray &bytes)
    {
        auto *message = new CProgMessage(tag, address, uint32_t(bytes.size()), !bytes.isEmpty());
        if (!bytes.isEmpty())
            std::memcpy(message->data.get(), bytes.constData(), size_t(bytes.size()));
        return message;
    }

    static QByteArray LE32Pair(uint32_t first, uint32_t second)
    {
        QByteArray bytes(8, 0);
        for (int i = 0; i < 4; ++i) {
            bytes[i] = char(first >> (8 * i));
            bytes[4 + i] = char(second >> (8 * i));
        }
        return bytes;
    }

private slots:
    void initTestCase()
    {
        UseSimConfig("[adapter]\npresent=false\n");
        QSettings(AppSettings().FileName(), QSettings::IniFormat).clear();
        AppSettings().WriteString(SET_TEST_NAME, "MX25L6405D");
        m_window = std::make_unique<CMainFrame>();
        QVERIFY(m_window->Programmer());
        m_window->OperationClock().SetTimeSource([this] { return m_now; });
    }

    void cleanupTestCase()
    {
        g_cmdProcessor.script().Clear();
        m_window.reset();
    }

    void init()
    {
        m_window->OnStop();
        m_window->statusBar()->clearMessage();
        m_window->Tabs()->setCurrentIndex(0);
        m_window->ClearLog();
        m_window->LogMessage("start");
        g_cmdProcessor.script().Clear();
        g_cmdProcessor.setAwaitCode(0);
    }

    void startProgress_data()
    {
        QTest::addColumn<uint>("start");
        QTest::addColumn<uint>("count");
        QTest::addColumn<int>("barMaximum");
        QTest::addColumn<uint>("end");
        QTest::newRow("count 0 is one unit") << 5u << 0u << 1 << 6u;
        QTest::newRow("from 0") << 0u << 100u << 100 << 100u;
        QTest::newRow("from inside") << 40u << 8u << 8 << 48u;
    }
    void startProgress()
    {
        QFETCH(uint, start);
        QFETCH(uint, count);
        QFETCH(int, barMaximum);
        QFETCH(uint, end);
        m_window->StartProgress(start, count);
        QCOMPARE(m_window->ProgressBar()->minimum(), 0);
        QCOMPARE(m_window->ProgressBar()->maximum(), barMaximum);
        QCOMPARE(m_window->OperationStart(), start);
        QCOMPARE(m_window->OperationEnd(), end);
        QVERIFY(m_window->IsOperationRunning());
        // A range of its own leaves the followed operation as it is.
        m_window->SetProgressRange(10, 20);
        QCOMPARE(m_window->ProgressBar()->minimum(), 10);
        QCOMPARE(m_window->ProgressBar()->maximum(), 30);
        QCOMPARE(m_window->OperationEnd(), end);
    }

    void printElapsed_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("line");
        QTest::newRow("an hour and change") << qint64(3725004) << "Erase time 01:02:05 (.004)";
        QTest::newRow("more than a day") << qint64(90000000) << "Erase time 25:00:00 (.000)";
        QTest::newRow("no time at all") << qint64(0) << "";
    }
    void printElapsed()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, line);
        m_window->LogMessage("before");
        m_window->StartProgress(0, 10);
        m_now += ms;
        m_window->PrintElapsed("Erase time");
        QCOMPARE(LastLog(), line.isEmpty() ? QStringLiteral("before") : line);
    }

    void readProgressThrottlesAndEnds()
    {
        m_window->StartProgress(100, 50);
        m_now += 400;
        m_window->ReadProgress(110);
        QVERIFY(m_window->statusBar()->currentMessage().isEmpty()); // under half a second
        m_now += 100;
        m_window->ReadProgress(120);
        // 20 units of 512 bytes in 500 ms.
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Read speed 20.48 KB/s"));
        QCOMPARE(m_window->ProgressBar()->value(), 20);
        m_window->ReadProgress(130);
        QCOMPARE(m_window->ProgressBar()->value(), 20); // throttled
        m_now += 250;
        m_window->ReadProgress(150);
        QCOMPARE(LastLog(), QStringLiteral("Time 00:00:00 (.750)"));
        QCOMPARE(m_window->ProgressBar()->value(), 0);
        QVERIFY(!m_window->IsOperationRunning());
        QCOMPARE(m_window->OperationStart(), 0u);
        // Once ended, later calls are ignored.
        const int lines = LogCount();
        m_now += 1000;
        m_window->ReadProgress(150);
        m_window->BlankProgress(140, 10, true);
        QCOMPARE(LogCount(), lines);
    }

    void speedOutsideItsRangeShowsNothing()
    {
        m_window->StartProgress(0, 100000);
        m_window->ShowSpeed("Read speed", 10); // no time has passed
        QVERIFY(m_window->statusBar()->currentMessage().isEmpty());
        m_now += 1;
        m_window->ShowSpeed("Read speed", 5000); // 2560000 KB/s
        QVERIFY(m_window->statusBar()->currentMessage().isEmpty());
        QCOMPARE(m_window->ProgressBar()->value(), 0);
        m_now += 1023;
        m_window->ShowSpeed("Write speed", 200000); // beyond the bar: bar to its minimum
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Write speed 100000.00 KB/s"));
        QCOMPARE(m_window->ProgressBar()->value(), 0);
    }

    void programProgressEndsOnTheLastJob()
    {
        m_window->StartProgress(7, 0);
        m_now += 10;
        m_window->OnProgress(7, 0); // a job of no units still counts as one
        QVERIFY(!m_window->IsOperationRunning());
        QCOMPARE(m_window->ProgressBar()->value(), 0);

        m_window->StartProgress(0, 4096);
        m_now += 100;
        m_window->OnProgress(0, 2048);
        QVERIFY(m_window->IsOperationRunning());
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Write speed 10485.76 KB/s"));
        QCOMPARE(m_window->ProgressBar()->value(), 2048);
        m_window->OnProgress(2048, 2048);
        QVERIFY(!m_window->IsOperationRunning());
        QCOMPARE(m_window->ProgressBar()->value(), 0);
    }

    void stopTwiceIsHarmless()
    {
        m_window->StartProgress(0, 10);
        m_window->ProgressBar()->setValue(5);
        m_window->OnStop();
        m_window->OnStop();
        QVERIFY(!m_window->IsOperationRunning());
        QCOMPARE(m_window->ProgressBar()->value(), 0);
        QVERIFY(m_window->Programmer()->tryLockBuffer());
        m_window->Programmer()->unlockBuffer();
    }

    void verifyComparesAndReportsAtTheEnd()
    {
        CMemoryNode buffer("SPI", 0, 4 * 512, 0xFF);
        QByteArray chip(2 * 512, char(0xFF));
        AwaitCode('B');
        m_window->StartProgress(0, 4);
        m_now += 600;
        m_window->VerifyProgress(0, 2, reinterpret_cast<const uint8_t *>(chip.constData()), &buffer, nullptr,
                                 nullptr);
        QVERIFY(m_window->IsOperationRunning());
        QVERIFY(!LogLines().contains("Compare data OK"));
        // A waiting script must not run on after the first chunk.
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t('B'));
        m_window->VerifyProgress(2, 2, reinterpret_cast<const uint8_t *>(chip.constData()), &buffer, nullptr,
                                 nullptr);
        QVERIFY(!m_window->IsOperationRunning());
        // The resumed script may log its own lines after these two.
        const QStringList lines = LogLines();
        const qsizetype ok = lines.indexOf("Compare data OK");
        QVERIFY2(ok > 0, qPrintable(lines.join('|')));
        QCOMPARE(lines.at(ok - 1), QStringLiteral("Time 00:00:00 (.600)"));
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t(0));
    }

    void verifyMismatchStops()
    {
        CMemoryNode buffer("SPI", 0, 4 * 512, 0xFF);
        QByteArray chip(2 * 512, char(0xFF));
        chip[700] = 0x12;
        AwaitCode('B');
        m_window->StartProgress(0, 4);
        m_now += 10;
        const int lines = LogCount();
        m_window->VerifyProgress(0, 2, reinterpret_cast<const uint8_t *>(chip.constData()), &buffer, nullptr,
                                 nullptr);
        QVERIFY(!m_window->IsOperationRunning());
        QVERIFY(LogCount() > lines); // the buffer named the failing address
        QVERIFY(!LogLines().contains("Compare data OK"));
        m_window->VerifyProgress(2, 2, reinterpret_cast<const uint8_t *>(chip.constData()), &buffer, nullptr,
                                 nullptr);
        QVERIFY(!LogLines().contains("Compare data OK"));
        // The failed verify leaves a waiting script waiting.
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t('B'));
    }

    void blankCheck()
    {
        m_window->StartProgress(0, 4);
        m_now += 20;
        m_window->BlankProgress(0, 2, true);
        QVERIFY(m_window->IsOperationRunning());
        m_window->BlankProgress(2, 2, true);
        QVERIFY(!m_window->IsOperationRunning());
        QCOMPARE(LastLog(), QStringLiteral("Flash blanked"));

        AwaitCode('K');
        m_window->StartProgress(0, 4);
        m_window->BlankProgress(0, 2, false);
        QVERIFY(!m_window->IsOperationRunning());
        m_window->BlankProgress(2, 2, true);
        // No "Flash blanked" after a failed piece: the waiting script is told
        // the check failed and keeps waiting for the operator.
        QCOMPARE(LastLog(), Text(301));
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t('K'));
    }

    void completionCodes_data()
    {
        QTest::addColumn<int>("service");
        QTest::addColumn<int>("awaited");
        QTest::addColumn<bool>("resumed");
        enum { BlockRead, Blank, Erase, Scan };
        QTest::newRow("block read: A") << int(BlockRead) << int('A') << true;
        QTest::newRow("block read: not B") << int(BlockRead) << int('B') << false;
        QTest::newRow("blank check: K") << int(Blank) << int('K') << true;
        QTest::newRow("SPI erase: G") << int(Erase) << int('G') << true;
        QTest::newRow("SPI erase: not N") << int(Erase) << int('N') << false;
        QTest::newRow("table scan: N awaited") << int(Scan) << int('N') << true;
        QTest::newRow("table scan: K awaited") << int(Scan) << int('K') << true;
        QTest::newRow("table scan: G otherwise") << int(Scan) << int('G') << true;
        QTest::newRow("table scan: not A") << int(Scan) << int('A') << false;
    }
    void completionCodes()
    {
        QFETCH(int, service);
        QFETCH(int, awaited);
        QFETCH(bool, resumed);
        enum { BlockRead, Blank, Erase, Scan };
        CMemoryNode buffer("SPI", 0, 4 * 512, 0xFF);
        AwaitCode(uint8_t(awaited));
        m_window->StartProgress(0, 4);
        m_now += 5;
        switch (service) {
        case BlockRead:
            m_window->BlockReadProgress(0, 2, &buffer);
            QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t(awaited)); // not at a chunk
            m_window->BlockReadProgress(2, 2, &buffer);
            break;
        case Blank:
            m_window->BlankProgress(0, 4, true);
            break;
        case Erase:
            m_window->EraseValue(2);
            QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t(awaited));
            m_window->EraseValue(4);
            break;
        case Scan:
            m_window->BbtProgress(3);
            QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t(awaited));
            m_window->BbtProgress(4);
            break;
        }
        QCOMPARE(g_cmdProcessor.awaitCode(), resumed ? uint8_t(0) : uint8_t(awaited));
        // Every kind of end leaves the window idle for the next line.
        QVERIFY(!m_window->IsOperationRunning());
        QCOMPARE(m_window->ProgressBar()->value(), m_window->ProgressBar()->minimum());
    }

    void spiEraseEndsIdle()
    {
        m_window->StartProgress(0, 3);
        m_now += 1500;
        m_window->EraseValue(1);
        QCOMPARE(m_window->ProgressBar()->value(), 1);
        m_window->EraseValue(3);
        QCOMPARE(LastLog(), QStringLiteral("Erase time 00:00:01 (.500)"));
        QCOMPARE(m_window->ProgressBar()->value(), m_window->ProgressBar()->minimum());
        QVERIFY(!m_window->IsOperationRunning());
    }

    void revisionLines_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("one byte") << QByteArray("\x0a", 1) << QStringList({"Eco 0A"});
        QTest::newRow("one word") << QByteArray("\x01\x02\x03\x04", 4) << QStringList({"Eco :04030201"});
        QTest::newRow("none") << QByteArray() << QStringList({"Eco :"});
        QTest::newRow("three bytes") << QByteArray("\xab\x00\x7f", 3) << QStringList({"Eco :AB007F"});
        QTest::newRow("seventeen bytes") << QByteArray("0123456789abcdefg")
                                         << QStringList({"Eco :30313233343536373839616263646566", "Eco :67"});
        QTest::newRow("sixteen bytes") << QByteArray("0123456789abcdef")
                                       << QStringList({"Eco :30313233343536373839616263646566", "Eco :"});
    }
    void revisionLines()
    {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, lines);
        m_window->ClearLog();
        m_window->OnProgMessage(Message('S', -1, data));
        QCOMPARE(m_window->LogPanel()->toPlainText().split('\n'), lines);
    }

    void blankResult_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("line");
        QTest::newRow("blank") << 0x1000 << 0x1000u << "Flash blanked";
        QTest::newRow("not blank") << 0x1000 << 0x234u << "Flash is not blank at address 0x00000234";
    }
    void blankResult()
    {
        QFETCH(int, address);
        QFETCH(uint, value);
        QFETCH(QString, line);
        m_window->OnProgMessage(Message('F', address, LE32Pair(value, 0).left(4)));
        QCOMPARE(LastLog(), line);
    }

    void unknownAdapterIsReported()
    {
        QString text, title;
        AnswerNextMessageBox(QMessageBox::Ok, &text, &title);
        m_window->OnProgMessage(Message('I', -1, LE32Pair(0x00A5C3, 0)));
        QCOMPARE(title, QStringLiteral("Error"));
        QCOMPARE(text, QStringLiteral("Missing adapter or incompatible adapter"));
        QCOMPARE(m_window->ConnectionLabel()->State(), 0);
        QVERIFY(!m_window->IsKeepAliveRunning());
        QVERIFY(m_window->InfoLabel()->text().isEmpty());
    }

    void rejectedTargetReconnects()
    {
        m_window->OnProgMessage(Message('J', -1, QByteArray("\x01\x00", 2)));
        QVERIFY(m_window->WaitBox()->isVisible());
        QCOMPARE(m_window->WaitBox()->text(), QStringLiteral("Please wait..."));
        // No button (Qt adds OK to a button-less box unless told), and
        // neither Escape nor a close request takes the box down.
        QVERIFY(m_window->WaitBox()->buttons().isEmpty());
        QVERIFY(m_window->WaitBox()->findChildren<QAbstractButton *>().isEmpty());
        QTest::keyClick(m_window->WaitBox(), Qt::Key_Escape);
        QVERIFY(!m_window->WaitBox()->close());
        QVERIFY(m_window->WaitBox()->isVisible());
        QCOMPARE(m_window->ConnectionLabel()->State(), 0);
        m_window->OnAdapterState(true);
        QVERIFY(!m_window->WaitBox()->isVisible());
        QCOMPARE(m_window->ConnectionLabel()->State(), 2);
        QVERIFY(m_window->IsAdapterReady());
        QVERIFY(m_window->IsKeepAliveRunning());
    }

    void moduleThatDoesNotFitAsksForAnotherDevice()
    {
        QString text;
        bool askedForDevice = false;
        AnswerNextModal<QMessageBox>([&](QMessageBox *box) {
            text = box->text();
            AnswerNextModal<CDeviceSelectDialog>([&askedForDevice](CDeviceSelectDialog *dialog) {
                askedForDevice = true;
                dialog->reject();
            });
            box->done(QMessageBox::Ok);
        });
        m_window->OnProgMessage(Message('J', -1, QByteArray("\x00\x01", 2)));
        QCOMPARE(text, QStringLiteral("Incompatible  adapter(top module) detected."));
        QVERIFY(askedForDevice);
        // A fitting module changes nothing.
        m_window->OnProgMessage(Message('J', -1, QByteArray("\x01\x01", 2)));
        QCOMPARE(m_window->TargetName(), QStringLiteral("MX25L6405D"));
    }

    void adapterKindFromSerial_data()
    {
        QTest::addColumn<uint>("serial");
        QTest::addColumn<int>("kind");
        QTest::newRow("NAND module") << 0x0000A5C3u << 0;
        QTest::newRow("SPI module") << 0x0100A5C3u << 1;
        QTest::newRow("no module") << 0xFF00A5C3u << 1;
    }
    void adapterKindFromSerial()
    {
        QFETCH(uint, serial);
        QFETCH(int, kind);
        QCOMPARE(int(AdapterKindFromSerial(serial)), kind);
    }

    void runIfIdleRefusesWhileNotReadyOrBusy()
    {
        // Not ready: the adapter has never been connected in this test until
        // the reconnect case made it ready; a running operation refuses too.
        m_window->StartProgress(0, 10);
        QCOMPARE(m_window->RunIfIdle(0, 0, 'A'), 128);
        QCOMPARE(LastLog(), QStringLiteral("Busy"));
    }
};

QTEST_MAIN(TestMainFrameProgress)
#include "tst_mainframeprogress.moc"
