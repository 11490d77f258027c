#include "OperationClock.h"

#include <QTest>

// Times and speeds as the operator reads them in the log and the status bar.
class TestOperationClock : public QObject
{
    Q_OBJECT

private slots:
    void elapsedText_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("one millisecond") << qint64(1) << "Time 00:00:00 (.001)";
        QTest::newRow("an hour and change") << qint64(3725004) << "Time 01:02:05 (.004)";
        QTest::newRow("more than a day") << qint64(90000000) << "Time 25:00:00 (.000)";
        QTest::newRow("last millisecond of an hour") << qint64(3599999) << "Time 00:59:59 (.999)";
        QTest::newRow("hundreds of hours") << qint64(360000000) << "Time 100:00:00 (.000)";
    }
    void elapsedText()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(ElapsedText(QStringLiteral("Time"), ms), text);
    }

    void transferSpeed_data()
    {
        QTest::addColumn<quint64>("units");
        QTest::addColumn<quint32>("unitBytes");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("512-byte units") << quint64(2048) << quint32(512) << qint64(1000) << "Read speed 1048.58 KB/s";
        QTest::newRow("64-byte units") << quint64(3) << quint32(64) << qint64(7) << "Read speed 27.43 KB/s";
        QTest::newRow("no time elapsed") << quint64(2048) << quint32(512) << qint64(0) << "Read speed 0.00 KB/s";
        QTest::newRow("no link") << quint64(2048) << quint32(0) << qint64(10) << "Read speed 0.00 KB/s";
    }
    void transferSpeed()
    {
        QFETCH(quint64, units);
        QFETCH(quint32, unitBytes);
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(SpeedText(QStringLiteral("Read speed"), TransferSpeed(units, unitBytes, ms)), text);
    }

    void clockCountsFromItsLastRestart()
    {
        int64_t now = 1000;
        COperationClock clock;
        clock.SetTimeSource([&now] { return now; });
        QVERIFY(!clock.IsValid());
        QCOMPARE(clock.Elapsed(), int64_t(0));
        now = 5000;
        QCOMPARE(clock.Elapsed(), int64_t(0)); // not started: no time passes
        clock.Restart();
        now += 3725004;
        QCOMPARE(clock.Elapsed(), int64_t(3725004));
        clock.Restart();
        QCOMPARE(clock.Elapsed(), int64_t(0));
        clock.Invalidate();
        now += 10;
        QCOMPARE(clock.Elapsed(), int64_t(0));
    }

    void replacingTheSourceKeepsTheElapsedTime()
    {
        COperationClock clock;
        int64_t first = 100;
        clock.SetTimeSource([&first] { return first; });
        clock.Restart();
        first = 350;
        int64_t second = 9000;
        clock.SetTimeSource([&second] { return second; });
        QCOMPARE(clock.Elapsed(), int64_t(250));
        second += 50;
        QCOMPARE(clock.Elapsed(), int64_t(300));
    }
};

QTEST_GUILESS_MAIN(TestOperationClock)
#include "tst_operationclock.moc"
