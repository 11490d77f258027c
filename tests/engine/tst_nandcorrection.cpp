#include "DeviceDatabase.h"
#include "FileMemoryNode.h"
#include "NandOptionsPanel.h"
#include "NandProgrammer.h"
#include "NandRig.h"
#include "SelectFilesDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// Multiple read file correction: the vote at one position and its stop
// rules, reads of a chip with read disturb repaired to the chip's true
// contents, and the refusals and the file list of the dialog.
class TestNandCorrection : public QObject
{
    Q_OBJECT

private:
    static void AnswerNextDialog(std::function<void(CSelectFilesDialog *)> answer)
    {
        QTimer::singleShot(0, qApp, [answer] {
            auto *dialog = qobject_cast<CSelectFilesDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                AnswerNextDialog(answer);
                return;
            }
            answer(dialog);
        });
    }

    // Lists the files through "..." and accepts.
    static void ListAndAccept(CNandRig &rig, const QStringList &paths)
    {
        AnswerNextDialog([&rig, paths](CSelectFilesDialog *dialog) {
            for (const QString &path : paths) {
                rig.frame.openAnswers << path;
                dialog->browseButton()->click();
            }
            dialog->accept();
        });
    }

    static void StartChip(CNandRig &rig, const CSimNand &chip)
    {
        QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
        rig.Engine()->optionsPanelWidget()->startEdit()->setText("0");
        rig.Engine()->optionsPanelWidget()->countEdit()->setText(QString::number(chip.blocks));
    }

    QTemporaryDir m_dir;

private slots:
    void cleanup() { DeleteAll(); }
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }

    void vote_data();
    void vote();
    void readDisturbRepaired();
    void refusals_data();
    void refusals();
    void fileList();
};

using Bytes = QList<int>;

void TestNandCorrection::vote_data()
{
    QTest::addColumn<int>("mainByte");
    QTest::addColumn<Bytes>("others");
    QTest::addColumn<int>("kept");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("blocks"); // blocks in the output file

    // The byte under test is at 0x64; block 1 has a difference all others
    // agree on (0x10 against 0x11 at its offset 5), corrected when reached.
    const QString next = QString::asprintf(" %X use 11", 2112 * 64 + 5);
    QTest::newRow("two others outvote the main read")
        << 0x41 << Bytes{0x40, 0x40} << 0x40 << QStringList{" 64 use 40", next} << 2;
    QTest::newRow("main read and one other win") << 0x41 << Bytes{0x40, 0x41} << 0x41
                                                 << QStringList{" 64 use 41", next} << 2;
    QTest::newRow("a tie keeps the main read") << 0x41 << Bytes{0x40, 0x40, 0x41} << 0x41
                                               << QStringList{" 64 use 41", next} << 2;
    QTest::newRow("the first differing other is compared")
        << 0x41 << Bytes{0x41, 0x40, 0x40} << 0x41 << QStringList{" 64 use 41", next} << 2;
    QTest::newRow("two bits differ: ends with this block")
        << 0x41 << Bytes{0x42, 0x42} << 0x41 << QStringList{"Compare data Failed address 64 ,41, 42"} << 1;
    QTest::newRow("a third value: this block is the last")
        << 0x41 << Bytes{0x40, 0x43} << 0x41
        << QStringList{"Compare data Failed address 64 ,41,43", " 64 use 41"} << 1;
}

void TestNandCorrection::vote()
{
    QFETCH(int, mainByte);
    QFETCH(Bytes, others);
    QFETCH(int, kept);
    QFETCH(QStringList, log);
    QFETCH(int, blocks);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 2;
    StartChip(rig, chip);
    const QByteArray base = MakeImage(chip, chip.ChipBytes(), 9);
    const int second = int(chip.BlockBytes()) + 5;

    QByteArray main = base;
    main[0x64] = char(mainByte);
    main[second] = char(0x10);
    const QString mainPath = rig.NewPath("main");
    QVERIFY(WriteFile(mainPath, main));
    QVERIFY(rig.Engine()->loadFile(mainPath));
    QVERIFY(rig.frame.WaitUntilQuiet());
    QStringList paths;
    for (int value : others) {
        QByteArray read = base;
        read[0x64] = char(value);
        read[second] = char(0x11);
        paths << rig.NewPath("other");
        QVERIFY(WriteFile(paths.last(), read));
    }
    const QString outPath = rig.NewPath("out");
    rig.frame.saveAnswers << outPath;
    rig.frame.log.clear();
    ListAndAccept(rig, paths);
    QCOMPARE(rig.Engine()->correctFromFiles(false), 0);

    QCOMPARE(rig.frame.log, log);
    const QByteArray out = ReadFile(outPath);
    QCOMPARE(out.size(), qsizetype(blocks * chip.BlockBytes()));
    QCOMPARE(int(uint8_t(out[0x64])), kept);
    QByteArray expected = main.left(out.size());
    expected[0x64] = char(kept);
    if (blocks > 1)
        expected[second] = char(0x11);
    QVERIFY(out == expected);
}

void TestNandCorrection::readDisturbRepaired()
{
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 8;
    chip.nandExtra = "bitflips_per_mib=64\nseed=11";
    const QByteArray truth = MakeImage(chip, chip.ChipBytes(), 17, {5});
    QVERIFY(WriteFile(rig.ImagePath(), truth));
    StartChip(rig, chip);
    QStringList reads;
    for (int k = 0; k < 3; ++k) {
        reads << rig.NewPath("read");
        rig.frame.saveAnswers << reads.last();
        uint64_t address = 0, length = 0;
        rig.Engine()->normalizeRange(address, length);
        QCOMPARE(rig.Engine()->startReadOp(address, length, 'A'), int('A'));
        QVERIFY(rig.frame.WaitForEnd("read"));
        QVERIFY(rig.frame.WaitUntilQuiet());
        rig.frame.ends.clear();
    }
    // Every read has its own errors, or the test proves nothing.
    for (const QString &read : reads)
        QVERIFY(ReadFile(read) != truth);
    QCOMPARE(rig.Engine()->mainBuffer()->GetFilePath(), reads.last());

    const QString outPath = rig.NewPath("corrected");
    rig.frame.saveAnswers << outPath;
    rig.frame.log.clear();
    ListAndAccept(rig, reads.mid(0, 2));
    QCOMPARE(rig.Engine()->correctFromFiles(false), 0);
    QVERIFY(rig.frame.log.filter("Compare data Failed").isEmpty());
    QVERIFY(!rig.frame.log.isEmpty());
    QVERIFY(ReadFile(outPath) == truth);
}

void TestNandCorrection::refusals_data()
{
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("mainBlocks");
    QTest::addColumn<int>("listed");    // files listed in the dialog; -1: Cancel
    QTest::addColumn<bool>("shortFile"); // one listed file is a block short
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("output");   // an output file was created

    QTest::newRow("asked to refuse") << true << 2 << 0 << false << 1 << QStringList{} << false;
    QTest::newRow("main image not the whole chip") << false << 1 << 0 << false << 1 << QStringList{} << false;
    // A correction that did not happen says so: a script must not go on as
    // if the image had been repaired.
    QTest::newRow("cancelled") << false << 2 << -1 << false << 3 << QStringList{} << false;
    QTest::newRow("one file listed") << false << 2 << 1 << false << 2 << QStringList{"File Error"} << false;
    QTest::newRow("a file of another size") << false << 2 << 2 << true << 2 << QStringList{"Error"} << true;
}

void TestNandCorrection::refusals()
{
    QFETCH(bool, refuse);
    QFETCH(int, mainBlocks);
    QFETCH(int, listed);
    QFETCH(bool, shortFile);
    QFETCH(int, result);
    QFETCH(QStringList, log);
    QFETCH(bool, output);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 2;
    StartChip(rig, chip);
    const QString mainPath = rig.NewPath("main");
    QVERIFY(WriteFile(mainPath, MakeImage(chip, uint64_t(mainBlocks) * chip.BlockBytes(), 4)));
    QVERIFY(rig.Engine()->loadFile(mainPath));
    QVERIFY(rig.frame.WaitUntilQuiet());
    QStringList paths;
    for (int k = 0; k < listed; ++k) {
        paths << rig.NewPath("other");
        const int blocks = shortFile && k == 1 ? chip.blocks - 1 : chip.blocks;
        QVERIFY(WriteFile(paths.last(), MakeImage(chip, uint64_t(blocks) * chip.BlockBytes(), 4)));
    }
    const QString outPath = rig.NewPath("out");
    rig.frame.saveAnswers << outPath;
    // The file dialog opens once the correction can start: every row that
    // lists files, or cancels, gets it.
    const bool dialogExpected = listed != 0;
    bool shown = false;
    if (dialogExpected) {
        AnswerNextDialog([&](CSelectFilesDialog *dialog) {
            shown = true;
            for (const QString &path : paths)
                QVERIFY(dialog->addPath(path));
            if (listed < 0)
                dialog->reject();
            else
                dialog->accept();
        });
    }
    rig.frame.log.clear();
    QCOMPARE(rig.Engine()->correctFromFiles(refuse), result);
    QCOMPARE(shown, dialogExpected);
    QCOMPARE(rig.frame.log, log);
    QCOMPARE(QFile::exists(outPath), output);
}

void TestNandCorrection::fileList()
{
    QTemporaryDir dir;
    const QString main = dir.filePath("main.bin");
    const QString a = dir.filePath("a.bin");
    const QString b = dir.filePath("b.bin");
    for (const QString &path : {main, a, b})
        QVERIFY(WriteFile(path, "x"));
    CSelectFilesDialog dialog(main);
    QCOMPARE(dialog.windowTitle(), QString("Select Files"));
    QCOMPARE(dialog.size(), QSize(500, 269));
    QVERIFY(dialog.addPath(a));
    QVERIFY(!dialog.addPath(main));
    QVERIFY(!dialog.addPath(dir.path() + "/./a.bin"));
    QVERIFY(!dialog.addPath(QString()));
    QVERIFY(dialog.addPath(b));
    QCOMPARE(dialog.paths(), QStringList({a, b}));
    dialog.list()->setCurrentRow(0);
    dialog.removeButton()->click();
    QCOMPARE(dialog.paths(), QStringList({b}));
    dialog.list()->setCurrentRow(-1);
    dialog.removeButton()->click();
    QCOMPARE(dialog.paths(), QStringList({b}));
}

QTEST_MAIN(TestNandCorrection)
#include "tst_nandcorrection.moc"
