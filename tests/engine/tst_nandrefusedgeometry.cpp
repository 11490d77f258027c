#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "NandProgrammer.h"
#include "NandRig.h"

#include <QTemporaryDir>
#include <QTest>

// Device entries whose geometry is no NAND chip's: every operation of the
// engine on them is refused with one line, before anything reaches the
// adapter, and the entry costs no per-block memory.
class TestNandRefusedGeometry : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QString Entry(const QString &geometry)
    {
        return "Name=\"BROKEN\",MFG=\"SIM\",ID1=\"ech\",ID2=\"f1h\",ID3=\"00h\",ID4=\"95h\",ID5=\"41h\"," + geometry;
    }

private slots:
    void cleanup() { DeleteAll(); }
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }

    void faultOfEntries_data()
    {
        QTest::addColumn<QString>("geometry");
        QTest::addColumn<QString>("fault");
        QTest::newRow("common chip") << "size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\"" << QString();
        QTest::newRow("small pages") << "size=\"4200000h\",PageSize=\"210h\",BlockSize=\"20h\"" << QString();
        QTest::newRow("page and block of one") << "size=\"8400000h\",PageSize=\"1h\",BlockSize=\"1h\""
                                               << "PageSize=1h, BlockSize=1h, size=8400000h";
        QTest::newRow("block of one page") << "size=\"8400000h\",PageSize=\"840h\",BlockSize=\"1h\""
                                           << "PageSize=840h, BlockSize=1h, size=8400000h";
        QTest::newRow("page beyond any chip") << "size=\"80000000h\",PageSize=\"100000h\",BlockSize=\"40h\""
                                              << "PageSize=100000h, BlockSize=40h, size=80000000h";
        QTest::newRow("no whole block") << "size=\"8400001h\",PageSize=\"840h\",BlockSize=\"40h\""
                                        << "PageSize=840h, BlockSize=40h, size=8400001h";
        QTest::newRow("smaller than a block") << "size=\"1000h\",PageSize=\"840h\",BlockSize=\"40h\""
                                              << "PageSize=840h, BlockSize=40h, size=1000h";
    }
    void faultOfEntries()
    {
        QFETCH(QString, geometry);
        QFETCH(QString, fault);
        CDeviceItemNand item;
        QVERIFY(item.Parse(Entry(geometry)));
        QCOMPARE(item.GeometryFault(), fault);
    }

    void everyOperationIsRefused_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char *operation : {"read", "verify", "blank check", "erase", "program", "load"})
            QTest::newRow(operation) << QString::fromLatin1(operation);
    }
    void everyOperationIsRefused()
    {
        QFETCH(QString, operation);
        CNandRig rig(m_dir.path());
        CSimNand chip;
        chip.blocks = 8;
        QVERIFY2(rig.Start(chip, {Entry("size=\"10000h\",PageSize=\"1h\",BlockSize=\"1h\"")}, "BROKEN"),
                 qPrintable(rig.Error()));
        CNandProgrammer *engine = rig.Engine();
        QVERIFY(rig.frame.WaitUntilQuiet());
        const int from = rig.TraceLines().size();
        rig.frame.log.clear();
        int result = 0;
        if (operation == "read")
            result = engine->startReadOp(0, 0x10000, 'A');
        else if (operation == "verify")
            result = engine->startReadOp(0, 0x10000, 'B');
        else if (operation == "blank check")
            result = engine->startReadOp(0, 0x10000, 'K');
        else if (operation == "erase")
            result = engine->startErase(0, 0x10000);
        else if (operation == "program")
            result = engine->startProgram(0, 0x10000);
        else {
            const QString path = rig.NewPath("image");
            QVERIFY(WriteFile(path, QByteArray(0x10000, '\xFF')));
            result = engine->loadFile(path) ? 'L' : CProgrammer::Refused;
        }
        QCOMPARE(result, CProgrammer::Refused);
        QCOMPARE(rig.frame.log,
                 QStringList{"BROKEN cannot be used: its geometry (PageSize=1h, BlockSize=1h, size=10000h) is not "
                             "one of a NAND chip"});
        QVERIFY(rig.frame.WaitUntilQuiet());
        QCOMPARE(rig.Commands(from), QStringList{});
    }
};

QTEST_MAIN(TestNandRefusedGeometry)
#include "tst_nandrefusedgeometry.moc"

