#include "CmdProcessor.h"
#include "MainFrame.h"
#include "MemoryNode.h"
#include "Programmer.h"
#include "Script.h"
#include "StatusLabel.h"
#include "WindowTestKit.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

// The window on the simulated adapter, in the situations where a tool could
// leave a chip or a file wrong while it reports success: Stop in the middle
// of a program, the adapter unplugged during an operation, reply pieces that
// get lost, a chip that refuses an erase or a program, an SPI chip that holds
// data. Each operation must end with a true outcome: done with the right
// bytes, or failed (logged, in the status bar, kept for the console) and a
// waiting script never resumed.
namespace {

constexpr int kNandPageSize = 528;
constexpr int kNandPagesPerBlock = 16;
constexpr int kNandBlocks = 1024;
constexpr qsizetype kNandBlockBytes = qsizetype(kNandPageSize) * kNandPagesPerBlock;
const QString kNandTarget = QStringLiteral("K9F6408U0C");
QString NandChip(const QString &adapterKeys = {}, const QString &nandKeys = {})
{
    return QStringLiteral("[adapter]\nmodule=nand\nreenumerate_ms=0\ntrace=@TRACE@\n%1\n"
                          "[nand]\nid=EC E6 00 00 00 00\npage_size=528\npages_per_block=16\nblocks=1024\n"
                          "bad_blocks=\nimage=@IMAGE@\n%2\n")
        .arg(adapterKeys, nandKeys);
}

constexpr int kSpiSize = 0x80000; // eight 64 KiB sectors
const QString kSpiTarget = QStringLiteral("W25X40");
QString SpiChip(const QString &adapterKeys = {}, const QString &spiKeys = {})
{
    return QStringLiteral("[adapter]\nmodule=spi\nreenumerate_ms=0\ntrace=@TRACE@\n%1\n"
                          "[spi]\nkind=flash\nid=EF 30 13\nsize=0x80000\nimage=@IMAGE@\n%2\n")
        .arg(adapterKeys, spiKeys);
}

QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, 0);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes;
}

bool IsArrayCommand(const QString &line)
{
    return line.startsWith("CMD 27") || line.startsWith("CMD 1C") || line.startsWith("CMD 1B");
}

} // namespace

class TestTrustworthyOutcomes : public QObject
{
    Q_OBJECT

    static constexpr int OPERATION_MS = CSimWindowRig::OPERATION_MS;
    static constexpr int CONNECT_MS = CSimWindowRig::CONNECT_MS;

    CSimWindowRig m_rig;
    CMainFrame *m_window = nullptr;
    QString m_image;
    QString m_trace;
    int m_files = 0;

    QString NewPath(const QString &stem) { return QDir::tempPath() + QStringLiteral("/%1-%2.bin").arg(stem).arg(++m_files); }
    QString LogText() const { return m_rig.LogText(); }

    // Seats the chip (with dump as its contents when given) and opens the
    // window on target, connected.
    void Start(QString sections, const QString &target, const QByteArray &dump = {})
    {
        m_trace = NewPath("trace");
        QFile::remove(m_trace);
        sections.replace("@TRACE@", m_trace);
        m_image = m_rig.UseChip(sections);
        QFile::remove(m_image);
        if (!dump.isEmpty())
            QVERIFY(WriteWholeFile(m_image, dump));
        m_rig.Start(target);
        m_window = m_rig.Window();
        m_rig.WaitConnected();
        // The set-up of the connection is complete once the module is known.
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->InfoLabel()->text().isEmpty(), CONNECT_MS);
    }

    QStringList Trace() const
    {
        return QString::fromLatin1(ReadWholeFile(m_trace)).split('\n', Qt::SkipEmptyParts);
    }

    // Runs one command line as a script line does, and waits for its
    // outcome: done (the script was resumed) or failed (it was not).
    COperationOutcome Run(const QString &line)
    {
        g_cmdProcessor.NotifyOutcome(COperationOutcome{});
        if (!g_cmdProcessor.script().Load("d\r\n"))
            return {};
        const int result = g_cmdProcessor.RunCommand(line);
        if (result == CMD_BAD || result == CMD_FAILED || result == CMD_ERROR || result == CMD_DONE) {
            g_cmdProcessor.script().Clear();
            return {};
        }
        g_cmdProcessor.setAwaitCode(uint8_t(result));
        const auto ended = [&] {
            const COperationOutcome &outcome = g_cmdProcessor.lastOutcome();
            return outcome.failed() || (outcome.done() && outcome.code == uint8_t(result));
        };
        if (!QTest::qWaitFor(ended, OPERATION_MS))
            qWarning("no outcome for %s:\n%s", qPrintable(line), qPrintable(LogText()));
        const COperationOutcome outcome = g_cmdProcessor.lastOutcome();
        if (outcome.done() && !QTest::qWaitFor([] { return g_cmdProcessor.awaitCode() == 0; }, 1000))
            qWarning("a done %s did not resume the script", qPrintable(line));
        // A failure never resumes the script: it still waits for the code.
        if (outcome.failed() && g_cmdProcessor.awaitCode() != uint8_t(result))
            qWarning("a failed %s resumed the script", qPrintable(line));
        g_cmdProcessor.script().Clear();
        g_cmdProcessor.setAwaitCode(0);
        if (!QTest::qWaitFor([this] { return !m_window->IsOperationRunning(); }, OPERATION_MS))
            qWarning("%s still runs after its outcome", qPrintable(line));
        return outcome;
    }

    void VerifyDone(const QString &line)
    {
        const COperationOutcome outcome = Run(line);
        QVERIFY2(outcome.done(), qPrintable(line + ": " + outcome.reason + "\n" + LogText()));
    }

    // A failed outcome shows in the log and the status bar, with its reason.
    void VerifyFailureVisible(const COperationOutcome &outcome)
    {
        QVERIFY(outcome.failed());
        QVERIFY(!outcome.reason.isEmpty());
        QVERIFY2(LogText().contains(outcome.reason), qPrintable(outcome.reason + "\n" + LogText()));
        QVERIFY2(m_window->StatusText().contains(outcome.reason), qPrintable(m_window->StatusText()));
    }

    QByteArray SpiBuffer() const
    {
        CMemoryNode *node = m_window->Programmer()->buffer(0);
        QByteArray bytes(qsizetype(node->GetSize()), '\0');
        node->Read(0, reinterpret_cast<uint8_t *>(bytes.data()), node->GetSize());
        return bytes;
    }

    // The chip's bytes as a dump reads them (holes of the sparse image are erased).
    QByteArray ChipImage(qsizetype size) const
    {
        QByteArray bytes = ReadWholeFile(m_image);
        if (bytes.size() < size)
            bytes.append(QByteArray(size - bytes.size(), char(0xFF)));
        return bytes;
    }


private slots:
    void cleanup()
    {
        g_cmdProcessor.script().Clear();
        g_cmdProcessor.setAwaitCode(0);
        m_rig.Close();
        m_window = nullptr;
    }

    // Stop at several points of a program, then program again: the chip
    // holds the source exactly. Jobs of the stopped program never reach it.
    void stopThenProgramAgain_data()
    {
        QTest::addColumn<bool>("nand");
        QTest::addColumn<int>("stopAfterJobs");
        for (int jobs : {1, 3, 6})
            QTest::newRow(qPrintable(QStringLiteral("NAND, after %1 jobs").arg(jobs))) << true << jobs;
        for (int jobs : {1, 3})
            QTest::newRow(qPrintable(QStringLiteral("SPI, after %1 jobs").arg(jobs))) << false << jobs;
    }
    void stopThenProgramAgain()
    {
        QFETCH(bool, nand);
        QFETCH(int, stopAfterJobs);
        Start(nand ? NandChip() : SpiChip(), nand ? kNandTarget : kSpiTarget);
        if (QTest::currentTestFailed())
            return;
        const QByteArray source =
            nand ? NandChipImage(kNandPageSize, kNandPagesPerBlock, kNandBlocks) : RandomBytes(kSpiSize, 5);
        const QString sourcePath = NewPath("source");
        QVERIFY(WriteWholeFile(sourcePath, source));
        if (nand)
            VerifyDone("erase");
        QCOMPARE(g_cmdProcessor.RunCommand("load " + sourcePath), int(CMD_DONE));

        int sent = 0;
        const QMetaObject::Connection stopper =
            connect(m_window->Programmer(), &CProgrammer::dataSent, m_window, [&] {
                if (++sent == stopAfterJobs)
                    m_window->OnStop();
            });
        QVERIFY(g_cmdProcessor.RunCommand("program ") == 'D');
        QTRY_VERIFY_WITH_TIMEOUT(sent >= stopAfterJobs, OPERATION_MS);
        disconnect(stopper);
        QTest::qWait(300);
        QVERIFY2(!LogText().contains("Program time"), qPrintable(LogText()));

        VerifyDone("program ");
        if (QTest::currentTestFailed())
            return;
        QVERIFY(LogText().contains("Program time"));
        QVERIFY(ChipImage(source.size()) == source);
        VerifyDone("verify ");
    }

    // The adapter is unplugged during an operation and comes back: the new
    // connection is set up (status, set target) before any array command
    // reaches it, the interrupted operation failed, and run again it leaves
    // the chip right.
    void unplugAndReplug_data()
    {
        QTest::addColumn<bool>("nand");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("commands");
        for (bool nand : {true, false}) {
            for (const QString &operation : {QStringLiteral("erase"), QStringLiteral("program"), QStringLiteral("read")}) {
                for (int commands : nand ? QList<int>{20, 60} : QList<int>{2, 5}) {
                    QTest::newRow(qPrintable(QStringLiteral("%1 %2 at command %3")
                                                 .arg(nand ? "NAND" : "SPI", operation)
                                                 .arg(commands)))
                        << nand << operation << commands;
                }
            }
        }
    }
    void unplugAndReplug()
    {
        QFETCH(bool, nand);
        QFETCH(QString, operation);
        QFETCH(int, commands);
        const QByteArray source =
            nand ? NandChipImage(kNandPageSize, kNandPagesPerBlock, kNandBlocks) : RandomBytes(kSpiSize, 9);
        const QString sourcePath = NewPath("source");
        QVERIFY(WriteWholeFile(sourcePath, source));
        // Reads and erases start from a chip that holds the source. The
        // plug is pulled a number of commands into the operation (the
        // connection's set-up takes some six).
        const QString keys =
            QStringLiteral("link_mbps=200\nreplug_ms=400\nunplug_after_commands=%1\n").arg(6 + commands);
        const QByteArray dump = operation == "program" ? QByteArray() : source;
        Start(nand ? NandChip(keys) : SpiChip(keys), nand ? kNandTarget : kSpiTarget, dump);
        if (QTest::currentTestFailed())
            return;
        if (operation == "program")
            QCOMPARE(g_cmdProcessor.RunCommand("load " + sourcePath), int(CMD_DONE));
        if (operation == "read" && nand)
            AnswerNextFileDialog(NewPath("read"));
        const QString line = operation + " ";
        const COperationOutcome first = Run(line);
        // Whatever the first run did, the adapter comes back.
        QTRY_COMPARE_WITH_TIMEOUT(m_window->ConnectionLabel()->State(), 2, CONNECT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->InfoLabel()->text().isEmpty() && !m_window->WaitBox()->isVisible(),
                                 CONNECT_MS);
        const QStringList trace = Trace();
        const qsizetype unplugged = trace.lastIndexOf(QRegularExpression("^FW .*"));
        QVERIFY(unplugged > 0);
        QVERIFY2(trace.filter(QRegularExpression("^FW ")).size() >= 2, "the plug was never pulled");
        // After the last firmware load (the replugged adapter), the set-up
        // comes before any array command.
        bool status = false, setTarget = false;
        for (const QString &traceLine : trace.mid(unplugged)) {
            status |= traceLine.startsWith("CMD 12");
            setTarget |= traceLine.startsWith("CMD 10");
            if (IsArrayCommand(traceLine)) {
                QVERIFY2(status && setTarget, qPrintable(trace.mid(unplugged, 30).join('\n')));
                break;
            }
        }
        // The plug was pulled inside the operation: it failed, visibly.
        VerifyFailureVisible(first);

        // Run again on the new connection: the chip (or the file) is right.
        if (operation == "read" && nand)
            AnswerNextFileDialog(NewPath("read"));
        const COperationOutcome again = Run(line);
        QVERIFY2(again.done(), qPrintable(again.reason + "\n" + LogText()));
        if (operation == "program")
            QVERIFY(ChipImage(source.size()) == source);
        else if (!nand && operation == "read")
            QVERIFY(SpiBuffer() == source);
        if (operation != "erase") {
            if (operation == "read")
                QCOMPARE(g_cmdProcessor.RunCommand("load " + sourcePath), int(CMD_DONE));
            VerifyDone("verify ");
        }
    }

    // Reply pieces get lost: a read gives the chip's bytes or fails naming
    // an address, and a verify of an image that differs in one block never
    // passes.
    void lostReplies_data()
    {
        QTest::addColumn<bool>("nand");
        QTest::addColumn<int>("failEvery");
        for (bool nand : {true, false}) {
            for (int every : {2, 7, 50})
                QTest::newRow(qPrintable(QStringLiteral("%1, every %2").arg(nand ? "NAND" : "SPI").arg(every)))
                    << nand << every;
        }
    }
    void lostReplies()
    {
        QFETCH(bool, nand);
        QFETCH(int, failEvery);
        const QByteArray chip =
            nand ? NandChipImage(kNandPageSize, kNandPagesPerBlock, kNandBlocks) : RandomBytes(kSpiSize, 3);
        Start((nand ? NandChip(QStringLiteral("reply_fail_every=%1\n").arg(failEvery))
                    : SpiChip(QStringLiteral("reply_fail_every=%1\n").arg(failEvery))),
              nand ? kNandTarget : kSpiTarget, chip);
        if (QTest::currentTestFailed())
            return;

        const QString readPath = NewPath("read");
        if (nand)
            AnswerNextFileDialog(readPath);
        const COperationOutcome read = Run("read ");
        if (read.done()) {
            QVERIFY(!nand || ReadWholeFile(readPath) == chip);
            QVERIFY(nand || SpiBuffer() == chip);
        } else {
            VerifyFailureVisible(read);
            QVERIFY(read.hasAddress);
        }

        // The same image passes, or fails with a reason; one that differs
        // in one block never passes.
        const QString samePath = NewPath("same");
        QVERIFY(WriteWholeFile(samePath, chip));
        QCOMPARE(g_cmdProcessor.RunCommand("load " + samePath), int(CMD_DONE));
        const COperationOutcome same = Run("verify ");
        if (!same.done())
            VerifyFailureVisible(same);

        QByteArray differing = chip;
        const qsizetype block = nand ? kNandBlockBytes : 0x10000;
        const qsizetype at = 700 * (nand ? kNandBlockBytes : 0) + (nand ? 0 : 5 * block) + 100;
        differing[at] = char(~differing[at]);
        differing[at + 1] = char(~differing[at + 1]);
        const QString differingPath = NewPath("differing");
        QVERIFY(WriteWholeFile(differingPath, differing));
        const qsizetype okBefore = LogText().count("Compare data OK");
        QCOMPARE(g_cmdProcessor.RunCommand("load " + differingPath), int(CMD_DONE));
        const COperationOutcome differs = Run("verify ");
        VerifyFailureVisible(differs);
        QCOMPARE(LogText().count("Compare data OK"), okBefore);
    }

    // A NAND verify whose every block is taken as bad (a random image: its
    // markers are not erased) has compared nothing and says so.
    void verifyThatComparedNothing()
    {
        const QByteArray chip = RandomBytes(qsizetype(kNandBlockBytes) * kNandBlocks, 17);
        Start(NandChip(), kNandTarget, chip);
        if (QTest::currentTestFailed())
            return;
        const QString path = NewPath("random");
        QVERIFY(WriteWholeFile(path, chip));
        QCOMPARE(g_cmdProcessor.RunCommand("load " + path), int(CMD_DONE));
        QTest::qWait(500); // the source bad-block scan
        const COperationOutcome outcome = Run("verify ");
        VerifyFailureVisible(outcome);
        QVERIFY(outcome.reason.startsWith("Nothing compared"));
        QVERIFY(!LogText().contains("Compare data OK"));
    }

    // Areas that refuse: a write-protected SPI part fails the erase (chip with
    // data) or the program (blank chip) naming its address; a worn NAND
    // block fails its erase, named and marked bad.
    void refusedAreas_data()
    {
        QTest::addColumn<bool>("nand");
        QTest::addColumn<bool>("chipHoldsData");
        QTest::addColumn<QString>("expected");
        QTest::newRow("SPI protected part, chip with data") << false << true << "Erase failed at address 0x0";
        QTest::newRow("SPI protected part, blank chip") << false << false << "Program failed at address 0x";
        QTest::newRow("NAND worn block") << true << false << "Erase failed at address 0x";
    }
    void refusedAreas()
    {
        QFETCH(bool, nand);
        QFETCH(bool, chipHoldsData);
        QFETCH(QString, expected);
        const QByteArray source = nand ? NandChipImage(kNandPageSize, kNandPagesPerBlock, kNandBlocks) : RandomBytes(kSpiSize, 21);
        const QString sourcePath = NewPath("source");
        QVERIFY(WriteWholeFile(sourcePath, source));
        if (nand) {
            Start(NandChip({}, QStringLiteral("worn_blocks=5:2\n")), kNandTarget);
            if (QTest::currentTestFailed())
                return;
            VerifyDone("erase");
            const COperationOutcome second = Run("erase");
            VerifyFailureVisible(second);
            QVERIFY2(second.reason.startsWith(expected), qPrintable(second.reason));
            QCOMPARE(second.address, uint64_t(5 * kNandBlockBytes));
            QVERIFY(LogText().contains("Target bad block No. 6"));
            return;
        }
        Start(SpiChip({}, QStringLiteral("protect=true\n")), kSpiTarget,
              chipHoldsData ? RandomBytes(kSpiSize, 22) : QByteArray());
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(g_cmdProcessor.RunCommand("load " + sourcePath), int(CMD_DONE));
        const COperationOutcome outcome = Run("program ");
        VerifyFailureVisible(outcome);
        QVERIFY2(outcome.reason.startsWith(expected), qPrintable(outcome.reason));
        QVERIFY(!LogText().contains("Program time"));
    }

    // An SPI chip is blank only when proven: one full of data, detected and
    // programmed, verifies; a blank one is programmed without an erase.
    void spiBlankOnlyWhenProven_data()
    {
        QTest::addColumn<bool>("holdsData");
        QTest::newRow("chip full of data") << true;
        QTest::newRow("blank chip") << false;
    }
    void spiBlankOnlyWhenProven()
    {
        QFETCH(bool, holdsData);
        Start(SpiChip(), kSpiTarget, holdsData ? RandomBytes(kSpiSize, 31) : QByteArray());
        if (QTest::currentTestFailed())
            return;
        VerifyDone("detect");
        const QByteArray source = RandomBytes(kSpiSize, 32);
        const QString sourcePath = NewPath("source");
        QVERIFY(WriteWholeFile(sourcePath, source));
        QCOMPARE(g_cmdProcessor.RunCommand("load " + sourcePath), int(CMD_DONE));
        const qsizetype from = Trace().size();
        VerifyDone("program ");
        if (QTest::currentTestFailed())
            return;
        QVERIFY(ChipImage(kSpiSize) == source);
        const QStringList erases = Trace().mid(from).filter(QRegularExpression("^CMD 1B"));
        QCOMPARE(erases.isEmpty(), !holdsData);
        VerifyDone("verify ");
    }
};

QTEST_MAIN(TestTrustworthyOutcomes)
#include "tst_trustworthyoutcomes.moc"
