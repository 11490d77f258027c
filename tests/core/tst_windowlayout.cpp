#include "WindowLayout.h"

#include <QTest>

// Where the main window opens and how the splitters divide it.
class TestWindowLayout : public QObject
{
    Q_OBJECT
private slots:
    void geometry_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QSize>("desktop");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("1080 desktop: centred, lifted 20") << QSize(850, 600) << QSize(1920, 1080) << QRect(535, 220, 850, 600);
        QTest::newRow("1080 desktop, odd height") << QSize(850, 601) << QSize(1920, 1080) << QRect(535, 219, 850, 601);
        QTest::newRow("700 desktop: no lift") << QSize(850, 600) << QSize(1366, 700) << QRect(258, 50, 850, 600);
        QTest::newRow("701 desktop: lifted to 30") << QSize(850, 600) << QSize(1366, 701) << QRect(258, 30, 850, 600);
        QTest::newRow("702 desktop: lifted to 31") << QSize(850, 600) << QSize(1366, 702) << QRect(258, 31, 850, 600);
        QTest::newRow("699 desktop: compact") << QSize(850, 600) << QSize(1366, 699) << QRect(258, 35, 850, 629);
        QTest::newRow("600 desktop: compact") << QSize(850, 600) << QSize(1024, 600) << QRect(87, 35, 850, 530);
        QTest::newRow("top below 30 clamped") << QSize(850, 700) << QSize(1024, 768) << QRect(87, 30, 850, 700);
        QTest::newRow("700 desktop, full-height window clamped") << QSize(850, 700) << QSize(1366, 700) << QRect(258, 30, 850, 700);
        // (801 - 850) / 2 truncates toward zero: -24, not -25.
        QTest::newRow("window wider than desktop") << QSize(850, 600) << QSize(801, 1080) << QRect(-24, 220, 850, 600);
    }
    void geometry()
    {
        QFETCH(QSize, stored);
        QFETCH(QSize, desktop);
        QFETCH(QRect, expected);
        QCOMPARE(MainWindowGeometry(stored, desktop), expected);
    }

    void splitterSizes_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("splitter");
        QTest::addColumn<int>("screenHeight");
        QTest::addColumn<QList<int>>("expected");
        const int tabs = int(Splitter::TabsOverConsole);
        const int files = int(Splitter::FilesBesideRight);
        QTest::newRow("tabs default, 1080") << QStringList() << tabs << 1080 << QList<int>{550, 180};
        QTest::newRow("tabs default, 700") << QStringList() << tabs << 700 << QList<int>{550, 180};
        QTest::newRow("tabs default, 699") << QStringList() << tabs << 699 << QList<int>{250, 100};
        QTest::newRow("files default, 1080") << QStringList() << files << 1080 << QList<int>{160, 500};
        QTest::newRow("files default, 600") << QStringList() << files << 600 << QList<int>{80, 300};
        QTest::newRow("single entry ignored") << QStringList{"300"} << files << 1080 << QList<int>{160, 500};
        QTest::newRow("two entries") << QStringList{"120", "640"} << files << 1080 << QList<int>{120, 640};
        QTest::newRow("extra entries ignored") << QStringList{"400", "90", "7"} << tabs << 600 << QList<int>{400, 90};
        QTest::newRow("collapsed panel kept") << QStringList{"0", "640"} << files << 1080 << QList<int>{0, 640};
        QTest::newRow("not a number") << QStringList{"abc", "640"} << files << 1080 << QList<int>{160, 500};
        QTest::newRow("hexadecimal is not decimal") << QStringList{"0x10", "640"} << tabs << 1080 << QList<int>{550, 180};
        QTest::newRow("negative") << QStringList{"-5", "640"} << tabs << 699 << QList<int>{250, 100};
    }
    void splitterSizes()
    {
        QFETCH(QStringList, stored);
        QFETCH(int, splitter);
        QFETCH(int, screenHeight);
        QFETCH(QList<int>, expected);
        QCOMPARE(SplitterSizesFromSetting(stored, Splitter(splitter), screenHeight), expected);
    }

    void splitterSizesToSetting_data()
    {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two") << QList<int>{550, 180} << QStringList{"550", "180"};
        QTest::newRow("first two of three") << QList<int>{1, 22, 333} << QStringList{"1", "22"};
        QTest::newRow("none") << QList<int>{} << QStringList{};
    }
    void splitterSizesToSetting()
    {
        QFETCH(QList<int>, sizes);
        QFETCH(QStringList, expected);
        QCOMPARE(SplitterSizesToSetting(sizes), expected);
    }
};

QTEST_GUILESS_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
