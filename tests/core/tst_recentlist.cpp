#include "RecentList.h"

#include <QDir>
#include <QTest>

// The recent-list update and the working directory cut from a path.
class TestRecentList : public QObject
{
    Q_OBJECT
private slots:
    void update_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty") << QStringList() << "a" << QStringList{"a"};
        QTest::newRow("new entry in front") << QStringList{"a", "b"} << "c" << QStringList{"c", "a", "b"};
        QTest::newRow("existing moves to front") << QStringList{"a", "b", "c"} << "b" << QStringList{"b", "a", "c"};
        QTest::newRow("every duplicate removed") << QStringList{"a", "b", "a"} << "a" << QStringList{"a", "b"};
        QTest::newRow("case matters") << QStringList{"A"} << "a" << QStringList{"a", "A"};
    }
    void update()
    {
        QFETCH(QStringList, list);
        QFETCH(QString, entry);
        QFETCH(QStringList, expected);
        QCOMPARE(WithRecentEntry(list, entry), expected);
    }

    void lengthIsCapped_data()
    {
        QTest::addColumn<int>("initial");
        QTest::addColumn<bool>("entryPresent");
        QTest::addColumn<int>("length");
        QTest::newRow("20 + new") << 20 << false << 20;
        QTest::newRow("20 + existing") << 20 << true << 20;
        QTest::newRow("19 + new") << 19 << false << 20;
        QTest::newRow("hand-edited 25 + new") << 25 << false << 20;
    }
    void lengthIsCapped()
    {
        QFETCH(int, initial);
        QFETCH(bool, entryPresent);
        QFETCH(int, length);
        QStringList list;
        for (int i = 0; i < initial; ++i)
            list << QString("f%1").arg(i);
        const QString entry = entryPresent ? QString("f%1").arg(initial - 1) : QString("new");
        const QStringList result = WithRecentEntry(list, entry);
        QCOMPARE(result.size(), length);
        QCOMPARE(result.first(), entry);
        // What survives keeps its order: the oldest entries drop off.
        list.removeAll(entry);
        QCOMPARE(result.mid(1), list.mid(0, length - 1));
    }

    void cut_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("file in folder") << "/home/op/dumps/nand.bin" << "/home/op/dumps/";
        QTest::newRow("no slash") << "nand.bin" << "nand.bin";
        QTest::newRow("file in root") << "/nand.bin" << "/";
        QTest::newRow("folder path") << "/home/op/" << "/home/op/";
        QTest::newRow("empty") << QString() << QString();
    }
    void cut()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(CutAfterLastSlash(path), expected);
    }

    void workDirOfRelativeFileIsAbsolute()
    {
        QCOMPARE(WorkDirOfFile("dumps/nand.bin"), QDir::currentPath() + "/dumps/");
        QCOMPARE(WorkDirOfFile("/srv/a/../b/spi.bin"), QString("/srv/b/"));
    }
};

QTEST_GUILESS_MAIN(TestRecentList)
#include "tst_recentlist.moc"
