#include "RecordingFrame.h"

#include <QTest>

// The log helpers reach whatever frame is installed, and fall back to the
// window-less defaults once it is gone.
class TestFrameServices : public QObject
{
    Q_OBJECT
private slots:
    void logHelpersReachTheInstalledFrame()
    {
        {
            CRecordingFrame frame;
            LogText("Flash blanked");
            LogString(QStringLiteral("Target: ") + QChar(0xE9));
            QCOMPARE(frame.log, QStringList({"Flash blanked", QStringLiteral("Target: ") + QChar(0xE9)}));
            QCOMPARE(Frame(), &frame);
        }
        QVERIFY(Frame() != nullptr);
        QVERIFY(!Frame()->AskYesNo("Warning!!", "Are you sure?"));
        QVERIFY(Frame()->GetSaveFileName("Save", "/", "*").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrameServices)
#include "tst_frameservices.moc"
