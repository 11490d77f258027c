#include "AppSettings.h"
#include "DeviceChoiceDialog.h"
#include "DeviceDatabase.h"
#include "DeviceEditorDialog.h"
#include "DeviceItemNand.h"
#include "NandProgrammer.h"
#include "NandRig.h"

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// Detection of the chip in the socket and the ID check before array
// operations, end to end on the simulated adapter: known chips, a second
// chip enable, another entry than the target, unknown chips, the choice
// among several entries, the firmware image, and a missing chip.
class TestNandDetect : public QObject
{
    Q_OBJECT

private:
    static QString IdCommand() { return "CMD 29 01 00 00 00 00"; }

    // Answers the next modal device choice from the event loop once shown.
    static void AnswerChoice(std::function<void(CDeviceChoiceDialog *)> answer)
    {
        QTimer::singleShot(0, qApp, [answer] {
            auto *dialog = qobject_cast<CDeviceChoiceDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                AnswerChoice(answer);
                return;
            }
            answer(dialog);
        });
    }

    QTemporaryDir m_dir;

private slots:
    void init() { CNandProgrammer::clearLastUnknownId(); }
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }
    void cleanup() { DeleteAll(); }

    void knownChip_data();
    void knownChip();
    void otherEntry_data();
    void otherEntry();
    void unknownChip();
    void choiceAmongSeveral_data();
    void choiceAmongSeveral();
    void firmwareImage_data();
    void firmwareImage();
    void missingChip_data();
    void missingChip();
};

void TestNandDetect::knownChip_data()
{
    QTest::addColumn<int>("chipEnables");
    QTest::addColumn<int>("listed");
    QTest::addColumn<int>("detected");
    QTest::newRow("one chip enable") << 1 << 1 << 1;
    QTest::newRow("second chip enable answers the same ID") << 2 << 1 << 2;
    QTest::newRow("list says two, the second answers 0xFF") << 1 << 2 << 1;
}

void TestNandDetect::knownChip()
{
    QFETCH(int, chipEnables);
    QFETCH(int, listed);
    QFETCH(int, detected);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.chipEnables = chipEnables;
    CSimNand listedChip = chip;
    listedChip.chipEnables = 1; // the list's size is the whole chip either way
    listedChip.blocks = chip.blocks * chipEnables;
    QVERIFY2(rig.Start(chip, {listedChip.DeviceLine("SIMCHIP", listed)}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    const int from = rig.TraceLines().size();
    rig.frame.log.clear();

    QCOMPARE(engine->detect(), int('H'));
    QVERIFY(rig.frame.WaitForCode('H'));
    QCOMPARE(CNandProgrammer::detectedChipEnables(), detected);
    QCOMPARE(rig.Device("SIMCHIP")->m_ceCount, detected);
    QVERIFY(rig.frame.log.contains("SIMCHIP"));
    QCOMPARE(rig.frame.log.last(), QString("CE Pin = %1").arg(detected));
    QVERIFY(rig.frame.targetRequests.isEmpty());
    // Row addresses follow the chip enables found.
    QCOMPARE(uint64_t(engine->geometry().pagesPerChip), uint64_t(chip.pagesPerBlock) * chip.blocks * chipEnables / detected);
    QVERIFY(rig.frame.WaitUntilQuiet());
    QCOMPARE(rig.Commands(from), QStringList({"CMD 36 00", IdCommand(), "CMD 36 01", "CMD 36 01", IdCommand(),
                                              "CMD 36 00", "CMD 35 02 02 02 02 00 00 00 00 00"}));
}

void TestNandDetect::otherEntry_data()
{
    QTest::addColumn<bool>("windowAccepts");
    QTest::newRow("window changes the target") << true;
    QTest::newRow("window declines") << false;
}

void TestNandDetect::otherEntry()
{
    QFETCH(bool, windowAccepts);
    CNandRig rig(m_dir.path());
    const CSimNand chip;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("OTHERCHIP", 1, "AD DC 10 95 54"), chip.DeviceLine("SIMCHIP")},
                       "OTHERCHIP"),
             qPrintable(rig.Error()));
    rig.frame.acceptTargetChange = windowAccepts;
    rig.frame.log.clear();
    rig.Engine()->detect();
    QVERIFY(rig.frame.WaitForCode('H'));
    QCOMPARE(rig.frame.targetRequests, QStringList({"SIMCHIP"}));
    QCOMPARE(rig.Engine()->device(), static_cast<CDeviceItem *>(rig.Device("SIMCHIP")));
    QCOMPARE(rig.frame.log.contains("SIMCHIP"), !windowAccepts);
}

void TestNandDetect::unknownChip()
{
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.id = "2C DC 90 95 56 00";
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP", 1, "EC F1 00 95 41")}, "SIMCHIP"), qPrintable(rig.Error()));
    const int from = rig.TraceLines().size();
    // Without an ONFI page the chip is offered to the device editor: cancelled.
    bool editorShown = false;
    std::function<void()> answerEditor = [&] {
        auto *editor = qobject_cast<CDeviceEditorDialog *>(QApplication::activeModalWidget());
        if (!editor) {
            QTimer::singleShot(0, qApp, answerEditor);
            return;
        }
        editorShown = true;
        editor->reject();
    };
    QTimer::singleShot(0, qApp, answerEditor);
    rig.Engine()->detect();
    QVERIFY(rig.frame.WaitForTag('L'));
    QVERIFY(editorShown);
    QVERIFY(!rig.frame.codes.contains('H'));
    QVERIFY(rig.frame.targetRequests.isEmpty());
    // The end of the detection is queued when the editor closes; the worker
    // may not have sent it yet.
    QVERIFY(rig.frame.WaitUntilQuiet());
    const QStringList commands = rig.Commands(from);
    // An unknown chip ends the detection as failed: the operation is ended.
    QCOMPARE(commands.mid(commands.size() - 3), QStringList({"CMD 36 00", "CMD 2A 01 00 00 00 00", "CMD 33 00"}));
    // The parameter page comes back whole, in one reply of 512 bytes.
    QVERIFY(rig.TraceLines(from).contains("READ 3 512"));
    QVERIFY(rig.frame.log.contains("2c,dc,90,95,56,0"));
    // The page has been answered: the ID is no longer waiting for a definition.
    QVERIFY(CNandProgrammer::lastUnknownId() == CNandProgrammer::ChipId{});
}

void TestNandDetect::choiceAmongSeveral_data()
{
    QTest::addColumn<int>("row"); // -1: the operator cancels
    QTest::newRow("second entry chosen") << 1;
    QTest::newRow("choice cancelled") << -1;
}

void TestNandDetect::choiceAmongSeveral()
{
    QFETCH(int, row);
    CNandRig rig(m_dir.path());
    const CSimNand chip;
    QVERIFY2(rig.Start(chip,
                       {chip.DeviceLine("OTHERCHIP", 1, "AD DC 10 95 54"), chip.DeviceLine("TWIN-A"),
                        chip.DeviceLine("TWIN-B")},
                       "OTHERCHIP"),
             qPrintable(rig.Error()));
    QStringList offered;
    AnswerChoice([&offered, row](CDeviceChoiceDialog *dialog) {
        for (int i = 0; i < dialog->List()->count(); ++i)
            offered << dialog->List()->item(i)->text();
        if (row < 0) {
            dialog->reject();
            return;
        }
        dialog->List()->setCurrentRow(row);
        dialog->accept();
    });
    const int from = rig.TraceLines().size();
    rig.Engine()->detect();
    if (row >= 0) {
        QVERIFY(rig.frame.WaitForCode('H'));
        QCOMPARE(rig.frame.targetRequests, QStringList({"TWIN-B"}));
    } else {
        QVERIFY(rig.frame.WaitForTag('H'));
        QVERIFY(rig.frame.WaitUntilQuiet());
        QVERIFY(rig.frame.targetRequests.isEmpty());
        QVERIFY(!rig.frame.codes.contains('H'));
        // A cancelled choice is no unknown chip: no parameter page.
        QVERIFY(!rig.Commands(from).contains("CMD 2A 01 00 00 00 00"));
    }
    QCOMPARE(offered, QStringList({"TWIN-A", "TWIN-B"}));
}

void TestNandDetect::firmwareImage_data()
{
    QTest::addColumn<bool>("boardType");
    QTest::addColumn<int>("boardImage");
    QTest::addColumn<bool>("boardTypeAfter");
    QTest::newRow("second image, board needs it") << false << 2 << false;
    QTest::newRow("first image, board needs it") << true << 1 << true;
    QTest::newRow("second image, board needs the first") << false << 1 << true;
    QTest::newRow("first image, board needs the second") << true << 2 << false;
}

void TestNandDetect::firmwareImage()
{
    QFETCH(bool, boardType);
    QFETCH(int, boardImage);
    QFETCH(bool, boardTypeAfter);
    AppSettings().WriteBool(SET_BOARD_TYPE, boardType);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.adapterExtra = QStringLiteral("nand_image=%1").arg(boardImage);
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    QCOMPARE(rig.frame.adapterTypeCode, 0x170640DDu);
    QCOMPARE(AppSettings().ReadBool(SET_BOARD_TYPE, !boardTypeAfter), boardTypeAfter);
    QStringList loads;
    for (const QString &line : rig.TraceLines()) {
        if (line.startsWith("FW "))
            loads << line.section(' ', 1, 2);
    }
    QCOMPARE(loads.last(), QStringLiteral("0 %1").arg(boardImage));
}

void TestNandDetect::missingChip_data()
{
    QTest::addColumn<char>("op");         // 'A' read, 'G' erase, 'D' program
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("end");     // what the frame sees end when the operator goes on
    QTest::addColumn<QString>("command"); // the array command the operation sends
    QTest::addColumn<int>("count");       // how often, for two blocks (a read: its first command)
    QTest::newRow("read, operator stops") << 'A' << false << "read" << "CMD 27 " << 2;
    QTest::newRow("read, operator goes on") << 'A' << true << "read" << "CMD 27 " << 4;
    QTest::newRow("erase, operator stops") << 'G' << false << "bbt" << "CMD 1B " << 2;
    QTest::newRow("erase, operator goes on") << 'G' << true << "bbt" << "CMD 1B " << 2;
    QTest::newRow("program, operator stops") << 'D' << false << "program" << "CMD 1C " << 1;
    QTest::newRow("program, operator goes on") << 'D' << true << "program" << "CMD 1C " << 1;
}

// No chip in the socket: every ID byte reads 0xFF, and each array operation
// asks before it goes on.
void TestNandDetect::missingChip()
{
    QFETCH(char, op);
    QFETCH(bool, answerYes);
    QFETCH(QString, end);
    QFETCH(QString, command);
    QFETCH(int, count);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.adapterExtra = "module=none";
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    rig.frame.answerYes = answerYes;
    CNandProgrammer *engine = rig.Engine();
    const uint64_t length = chip.BlockBytes() * 2;
    if (op == 'A') {
        rig.frame.saveAnswers << rig.NewPath("read");
    } else if (op == 'D') {
        const QString image = rig.NewPath("image");
        QVERIFY(WriteFile(image, MakeImage(chip, chip.ChipBytes(), 5)));
        QVERIFY(engine->loadFile(image));
        QVERIFY(rig.frame.WaitUntilQuiet());
    }
    const int from = rig.TraceLines().size();
    char idTag = 'O';
    switch (op) {
    case 'A':
        QCOMPARE(engine->startReadOp(0, length, 'A'), int('A'));
        break;
    case 'G':
        QCOMPARE(engine->startErase(0, length), int('G'));
        idTag = 'P';
        break;
    default:
        QCOMPARE(engine->startProgram(0, length), int('D'));
        idTag = 'Q';
        break;
    }
    QVERIFY(rig.frame.WaitForTag(idTag));
    QCOMPARE(rig.frame.questions, QStringList({"Are you sure?: ID detection error, check pin connetion!!"}));
    if (answerYes) {
        // An empty socket never answers an array read: each read command is
        // asked for three times more, then the read fails. A program is
        // refused by the empty socket's status and fails; an erase ends.
        if (op == 'A') {
            // The failure of the first block's read may or may not overtake
            // the worker sending the second block's: only the first read
            // command's attempts are certain.
            QTRY_VERIFY_WITH_TIMEOUT(rig.frame.failedCodes.contains('A'), 20000);
            const QStringList reads = rig.Commands(from).filter(command);
            QVERIFY(!reads.isEmpty());
            QCOMPARE(reads.count(reads.first()), count);
            QVERIFY(reads.size() <= 2 * count);
        } else {
            if (op == 'D')
                QTRY_VERIFY_WITH_TIMEOUT(rig.frame.failedCodes.contains('D'), 20000);
            else
                QVERIFY(rig.frame.WaitForEnd(end));
            QCOMPARE(rig.Commands(from).filter(command).size(), count);
        }
        rig.frame.Stop();
    } else {
        QVERIFY(rig.frame.WaitUntilQuiet());
        // Declining ends the operation as failed, with the question's reason.
        QCOMPARE(rig.Commands(from), QStringList({"CMD 36 00", IdCommand(), "CMD 33 00"}));
        QCOMPARE(rig.frame.failures, QStringList({"ID detection error, check pin connetion!!"}));
        QVERIFY(!rig.frame.IsOperationRunning());
        QVERIFY(!rig.frame.ends.contains(end));
    }
}

QTEST_MAIN(TestNandDetect)
#include "tst_nanddetect.moc"
