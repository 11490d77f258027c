#include "DeviceDatabase.h"
#include "NandProgrammer.h"
#include "NandRig.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// A NAND read into an image file that the file system stops taking part
// way (a full disk, here a file size limit of the process): the read ends
// as failed at the address where writing stopped, no time, bad-block scan
// or completion code follows, and the short file is set aside as partial.
class TestNandReadFullDisk : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // The limit holds for every file the process writes; the simulated
    // chip's image is made before, and only read during the test.
    struct CFileSizeLimit
    {
        explicit CFileSizeLimit(rlim_t bytes)
        {
            std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit limit = saved;
            limit.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        ~CFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
        rlimit saved{};
    };

private slots:
    void cleanup() { DeleteAll(); }
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }

    void readStopsWhenTheFileIsFull()
    {
        CNandRig rig(m_dir.path());
        CSimNand chip;
        chip.blocks = 16;
        const QByteArray image = MakeImage(chip, chip.ChipBytes(), 77);
        QVERIFY(WriteFile(rig.ImagePath(), image));
        QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
        const QString path = rig.NewPath("read");
        rig.frame.saveAnswers << path;
        rig.frame.log.clear();
        const rlim_t room = rlim_t(3 * chip.BlockBytes() + 1000);
        {
            CFileSizeLimit limit(room);
            uint64_t address = 0, length = 0;
            rig.Engine()->normalizeRange(address, length);
            QCOMPARE(rig.Engine()->startReadOp(address, length, 'A'), int('A'));
            QVERIFY(COperationFrame::WaitFor([&] { return rig.frame.stops > 0; }, 60000));
            QVERIFY(rig.frame.WaitUntilQuiet());
        }
        QTest::qWait(200);
        QVERIFY(!rig.frame.codes.contains('A'));
        QVERIFY(!rig.frame.ends.contains("read"));
        QVERIFY(rig.frame.log.filter(QRegularExpression("^Time")).isEmpty());
        QVERIFY(rig.frame.log.filter("Source bad block").isEmpty());
        // Writing stopped inside the fourth block: the first three are whole.
        const QString failed = QStringLiteral("%2 could not be written at address 0x%1 (disk full?); "
                                              "the part read is kept as %2.partial")
                                   .arg(QString::number(3 * chip.BlockBytes(), 16).toUpper().rightJustified(8, '0'),
                                        path);
        QCOMPARE(rig.frame.failures, QStringList{failed});
        QCOMPARE(rig.frame.failedCodes, QByteArray("A"));
        QCOMPARE(rig.frame.log.filter("could not be written"), QStringList{failed});
        QVERIFY(!QFileInfo::exists(path));
        const QByteArray partial = ReadFile(path + ".partial");
        QVERIFY(partial.size() <= int(room));
        QVERIFY(partial.size() >= int(3 * chip.BlockBytes()));
        QVERIFY(partial == image.left(partial.size()));
        // The engine takes the next operation.
        QVERIFY(!rig.frame.IsOperationRunning());
    }
};

QTEST_MAIN(TestNandReadFullDisk)
#include "tst_nandreadfulldisk.moc"
