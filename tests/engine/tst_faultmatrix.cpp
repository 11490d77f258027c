// Faults injected into every chip operation, end to end: the real worker
// thread, the adapter library from dll/, real files. Small NAND and SPI
// chips are read, verified, erased and programmed while the simulated
// adapter unplugs itself at a random command, loses replies, rejects the
// target set-up, fails its firmware load, wears blocks out or runs a slow
// link. Whatever happens, each case must end (no hang past its time-out),
// leave the source file as it was, and either do what it said or log a
// failure: a chip or a file is never left wrong while the operation
// claimed to have worked.
//
// The draws come from one seed (NVP_FAULT_SEED overrides it), so a failing
// row is repeated by running it alone with the same seed.

#include "BadBlockTable.h"
#include "DeviceDatabase.h"
#include "DeviceFamily.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "NandOptionsPanel.h"
#include "NandProgrammer.h"
#include "NandRig.h"
#include "SpiSimSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace {

// Time an operation may take on a small chip, faults included, before it
// counts as hung. A healthy case ends in well under a second.
constexpr int OutcomeTimeoutMs = 30000;
// How long a case waits for the adapter to connect.
constexpr int ConnectTimeoutMs = 2500;

constexpr int NandBlocks = 16;
constexpr uint32_t SpiSize = 0x40000; // W25X20: four 64 KiB sectors
const QString SpiEntry = QStringLiteral("W25X20");
const QString SpiChipKeys = QStringLiteral("kind=flash\nid=EF 30 12\nsize=0x40000\nsfdp=false\n");

enum class EOp { Read, Verify, Erase, Program };

char CodeOf(EOp op)
{
    switch (op) {
    case EOp::Read: return 'A';
    case EOp::Verify: return 'B';
    case EOp::Erase: return 'G';
    case EOp::Program: return 'D';
    }
    return 0;
}

QString NameOf(EOp op)
{
    switch (op) {
    case EOp::Read: return QStringLiteral("read");
    case EOp::Verify: return QStringLiteral("verify");
    case EOp::Erase: return QStringLiteral("erase");
    case EOp::Program: return QStringLiteral("program");
    }
    return {};
}

// The end the frame notes when the operation succeeded.
QString SuccessEnd(EOp op, bool nand)
{
    switch (op) {
    case EOp::Read: return QStringLiteral("read");
    case EOp::Verify: return QStringLiteral("verify");
    case EOp::Erase: return nand ? QStringLiteral("bbt") : QStringLiteral("erase");
    case EOp::Program: return QStringLiteral("program");
    }
    return {};
}

QByteArray RandomBytes(qsizetype count, quint32 seed)
{
    QByteArray bytes(count, '\0');
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

// The chip's contents as the simulator sees its image file: holes (erased
// parts never written) and bytes past the end read as 0xFF.
QByteArray ChipContents(const QString &path, qsizetype size)
{
    QByteArray bytes(size, char(0xFF));
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return bytes;
    off_t pos = 0;
    while (pos < off_t(size)) {
        const off_t data = ::lseek(fd, pos, SEEK_DATA);
        if (data < 0 || data >= off_t(size))
            break;
        off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0 || hole > off_t(size))
            hole = off_t(size);
        for (off_t at = data; at < hole;) {
            const ssize_t got = ::pread(fd, bytes.data() + at, size_t(hole - at), at);
            if (got <= 0)
                break;
            at += got;
        }
        pos = hole;
    }
    ::close(fd);
    return bytes;
}

bool AllErased(const QByteArray &bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == char(0xFF); });
}

// Commands that change a chip: erase and program.
int ChipChangingCommands(const QStringList &commands)
{
    int count = 0;
    for (const QString &line : commands)
        count += line.startsWith("CMD 1B") || line.startsWith("CMD 1C") ? 1 : 0;
    return count;
}

// One case: the fault keys for the adapter and the chip section.
struct CFault
{
    QString name;
    QString adapterKeys;
    QString chipKeys;
};

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    quint32 m_seed = 20;
    QString m_summary; // how the last case ended, for the test's output

    // Everything one case saw, checked the same way for both chip kinds.
    struct COutcome
    {
        bool connected = false;
        bool started = false;
        bool succeeded = false;
        QString log;
        QString reason; // of a failure

        QString Summary() const
        {
            if (!connected)
                return QStringLiteral("never connected");
            if (!started)
                return QStringLiteral("not started");
            return succeeded ? QStringLiteral("done") : QStringLiteral("failed: ") + reason;
        }
    };

    static bool WaitForOutcome(COperationFrame &frame, EOp op, bool nand, COutcome &outcome)
    {
        const QString end = SuccessEnd(op, nand);
        const qsizetype endsBefore = frame.ends.count(end);
        const qsizetype failuresBefore = frame.failures.size();
        const bool ended = COperationFrame::WaitFor(
            [&] { return frame.ends.count(end) > endsBefore || frame.failures.size() > failuresBefore; },
            OutcomeTimeoutMs);
        outcome.succeeded = ended && frame.failures.size() == failuresBefore;
        // A failure may follow the end (a link lost right after): the last word counts.
        if (outcome.succeeded) {
            frame.WaitForIdle(2000);
            outcome.succeeded = frame.failures.size() == failuresBefore;
        }
        outcome.log = frame.log.join('\n');
        outcome.reason = frame.failures.size() > failuresBefore ? frame.failures.last() : QString();
        return ended;
    }

    QList<CFault> FaultsFor(bool nand, EOp op, QRandomGenerator &random) const
    {
        QList<CFault> faults;
        faults << CFault{QStringLiteral("no fault"), {}, {}};
        for (int draw = 0; draw < 2; ++draw) {
            const int after = 4 + int(random.bounded(nand ? 30 : 24));
            faults << CFault{QStringLiteral("unplug at command %1 (%2)").arg(after).arg(QChar(char('a' + draw))),
                             QStringLiteral("unplug_after_commands=%1\nreplug_ms=300\n").arg(after), {}};
        }
        const int every = 2 + int(random.bounded(9));
        faults << CFault{QStringLiteral("every %1th reply lost").arg(every),
                         QStringLiteral("reply_fail_every=%1\n").arg(every), {}};
        // Every reply lost: the adapter connects, but the ID check before the
        // operation never answers.
        faults << CFault{QStringLiteral("every reply lost"), QStringLiteral("reply_fail_every=1\n"), {}};
        faults << CFault{QStringLiteral("set-target rejected"), QStringLiteral("reject_set_target=true\n"), {}};
        faults << CFault{QStringLiteral("firmware fails"), QStringLiteral("fail_firmware=true\n"), {}};
        const int mbps = 8 + int(random.bounded(33));
        faults << CFault{QStringLiteral("link of %1 Mbit/s").arg(mbps), QStringLiteral("link_mbps=%1\n").arg(mbps), {}};
        if (nand && op == EOp::Erase) {
            const int block = int(random.bounded(NandBlocks));
            faults << CFault{QStringLiteral("block %1 worn out").arg(block), {},
                             QStringLiteral("worn_blocks=%1:1\n").arg(block)};
        }
        if (nand && op == EOp::Program) {
            const int block = 1 + int(random.bounded(NandBlocks - 1));
            faults << CFault{QStringLiteral("factory bad block %1").arg(block), {},
                             QStringLiteral("bad_blocks=%1\n").arg(block)};
        }
        return faults;
    }

    void RunNand(EOp op, const CFault &fault, bool sourceDiffers, quint32 seed);
    void RunSpi(EOp op, const CFault &fault, bool sourceDiffers, quint32 seed);

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        bool ok = false;
        const quint32 seed = qEnvironmentVariable("NVP_FAULT_SEED").toUInt(&ok);
        if (ok)
            m_seed = seed;
        qInfo("fault seed %u", m_seed);
    }
    void cleanup() { DeleteAll(); }
    void cleanupTestCase()
    {
        CNandRig::ReleaseSimulator(m_dir.path());
        CSpiSimSession::ReleaseAdapter(m_dir.path());
    }

    void faults_data()
    {
        QTest::addColumn<bool>("nand");
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("adapterKeys");
        QTest::addColumn<QString>("chipKeys");
        QTest::addColumn<bool>("sourceDiffers");
        QTest::addColumn<quint32>("caseSeed");
        QRandomGenerator random(m_seed);
        for (bool nand : {true, false}) {
            for (EOp op : {EOp::Read, EOp::Verify, EOp::Erase, EOp::Program}) {
                for (const CFault &fault : FaultsFor(nand, op, random)) {
                    // A verify compares the chip with itself or with an
                    // image that differs in one byte.
                    const bool differs = op == EOp::Verify && random.bounded(2) == 1;
                    const QString row = QStringLiteral("%1 %2%3, %4")
                                            .arg(nand ? "NAND" : "SPI", NameOf(op),
                                                 differs ? QStringLiteral(" of another image") : QString(),
                                                 fault.name);
                    QTest::newRow(qPrintable(row)) << nand << int(op) << fault.adapterKeys << fault.chipKeys
                                                   << differs << random.generate();
                }
            }
        }
    }

    void faults()
    {
        QFETCH(bool, nand);
        QFETCH(int, op);
        QFETCH(QString, adapterKeys);
        QFETCH(QString, chipKeys);
        QFETCH(bool, sourceDiffers);
        QFETCH(quint32, caseSeed);
        const CFault fault{QString(), adapterKeys, chipKeys};
        m_summary = QStringLiteral("ended early");
        QElapsedTimer clock;
        clock.start();
        if (nand)
            RunNand(EOp(op), fault, sourceDiffers, caseSeed);
        else
            RunSpi(EOp(op), fault, sourceDiffers, caseSeed);
        qInfo("%s, in %lld ms", qPrintable(m_summary), clock.elapsed());
    }
};

void TestFaultMatrix::RunNand(EOp op, const CFault &fault, bool sourceDiffers, quint32 seed)
{
    CNandRig rig(m_dir.path());
    rig.readyTimeoutMs = ConnectTimeoutMs;
    CSimNand chip;
    chip.blocks = NandBlocks;
    chip.adapterExtra = fault.adapterKeys;
    chip.nandExtra = fault.chipKeys;
    const qsizetype chipBytes = qsizetype(chip.ChipBytes());
    // A program starts from a blank chip, the rest from one full of data.
    const QByteArray initial = op == EOp::Program ? QByteArray(chipBytes, char(0xFF)) : MakeImage(chip, chipBytes, seed);
    if (op == EOp::Program)
        QFile::remove(rig.ImagePath());
    else
        QVERIFY(WriteFile(rig.ImagePath(), initial));

    QByteArray source = op == EOp::Program ? MakeImage(chip, chipBytes, seed + 1) : initial;
    if (sourceDiffers) {
        const qsizetype at = qsizetype(QRandomGenerator(seed).bounded(quint32(chipBytes)));
        source[at] = char(~source[at]);
    }
    const QString sourcePath = rig.NewPath("source");
    QVERIFY(WriteFile(sourcePath, source));
    const QString outputPath = rig.NewPath("read");

    COutcome outcome;
    const bool ready = rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP");
    outcome.connected = ready || rig.frame.ready;
    CNandProgrammer *engine = rig.Engine();
    QVERIFY2(engine, qPrintable(rig.Error()));
    QList<int> badAfter;
    if (outcome.connected) {
        engine->optionsPanelWidget()->startEdit()->setText(QStringLiteral("0"));
        engine->optionsPanelWidget()->countEdit()->setText(QString::number(NandBlocks));
        if (op == EOp::Verify || op == EOp::Program) {
            QVERIFY(engine->loadFile(sourcePath));
            rig.frame.WaitUntilQuiet(5000);
        }
        rig.frame.awaitedCode = CodeOf(op);
        uint64_t address = 0, length = 0;
        engine->normalizeRange(address, length);
        int started = 0;
        switch (op) {
        case EOp::Read:
            rig.frame.saveAnswers << outputPath;
            started = engine->startReadOp(address, length, 'A');
            break;
        case EOp::Verify: started = engine->startReadOp(address, length, 'B'); break;
        case EOp::Erase: started = engine->startErase(address, length); break;
        case EOp::Program: started = engine->startProgram(address, length); break;
        }
        outcome.started = started == CodeOf(op);
        if (outcome.started) {
            QVERIFY2(WaitForOutcome(rig.frame, op, true, outcome),
                     qPrintable("no outcome within the time-out; log:\n" + rig.frame.log.join('\n')));
        } else {
            QVERIFY2(!rig.frame.log.isEmpty(), "an operation refused without a word");
        }
        for (int block = 0; block < NandBlocks; ++block) {
            if (engine->targetBbt()->state(uint32_t(block)) == CBadBlockTable::Bad)
                badAfter << block;
        }
    }
    const QStringList commands = rig.Commands();
    rig.Stop();
    m_summary = outcome.Summary();

    QVERIFY2(ReadFile(sourcePath) == source, "the source file was changed");
    const QByteArray now = ChipContents(rig.ImagePath(), chipBytes);
    if (!outcome.connected || !outcome.started) {
        QCOMPARE(ChipChangingCommands(commands), 0);
        QVERIFY2(now == initial, "the chip changed without an operation");
        return;
    }
    const QString context = "\nlog:\n" + outcome.log;
    if (op == EOp::Read || op == EOp::Verify)
        QVERIFY2(now == initial, qPrintable("a reading operation changed the chip" + context));
    if (!outcome.succeeded)
        return; // the failure is logged (the frame's failures)
    const qsizetype blockBytes = qsizetype(chip.BlockBytes());
    switch (op) {
    case EOp::Read:
        QVERIFY2(ReadFile(outputPath) == initial, qPrintable("a read said done with a wrong file" + context));
        break;
    case EOp::Verify:
        QVERIFY2(!sourceDiffers, qPrintable("a verify of a differing image passed" + context));
        break;
    case EOp::Erase:
        for (int block = 0; block < NandBlocks; ++block) {
            if (!badAfter.contains(block))
                QVERIFY2(AllErased(now.mid(block * blockBytes, blockBytes)),
                         qPrintable(QStringLiteral("block %1 not erased after a done erase").arg(block) + context));
        }
        break;
    case EOp::Program:
        for (int block = 0; block < NandBlocks; ++block) {
            if (!badAfter.contains(block))
                QVERIFY2(now.mid(block * blockBytes, blockBytes) == source.mid(block * blockBytes, blockBytes),
                         qPrintable(QStringLiteral("block %1 wrong after a done program").arg(block) + context));
        }
        break;
    }
}

void TestFaultMatrix::RunSpi(EOp op, const CFault &fault, bool sourceDiffers, quint32 seed)
{
    if (DeviceFamilies().empty())
        CSpiSimSession::AddBundledFamily();
    auto *device = dynamic_cast<CDeviceItemSPIFlash *>(FindByName(SpiEntry));
    QVERIFY(device);
    // A folder of its own: the session names its trace and image files
    // by its own count, which starts again with every session.
    static int sessions = 0;
    const QString folder = m_dir.filePath(QStringLiteral("spi-%1").arg(++sessions));
    QVERIFY(QDir().mkpath(folder));
    CSpiSimSession session(folder);
    const QByteArray initial = RandomBytes(SpiSize, seed);
    QVERIFY(session.Seat(SpiChipKeys + fault.chipKeys, initial, fault.adapterKeys));

    QByteArray source = op == EOp::Program ? RandomBytes(SpiSize, seed + 1) : initial;
    if (sourceDiffers) {
        const qsizetype at = qsizetype(QRandomGenerator(seed).bounded(SpiSize));
        source[at] = char(~source[at]);
    }
    const QString sourcePath = m_dir.filePath(QStringLiteral("spi-source-%1.bin").arg(seed));
    QVERIFY(CSpiSimSession::WriteFile(sourcePath, source));

    session.frame = std::make_unique<COperationFrame>();
    session.engine = std::make_unique<CSpiProgrammer>(device);
    COperationFrame &frame = *session.frame;
    CSpiProgrammer &engine = *session.engine;
    frame.Attach(&engine);
    engine.start();
    COutcome outcome;
    frame.WaitForReady(ConnectTimeoutMs);
    outcome.connected = frame.ready;
    QByteArray readBack;
    if (outcome.connected) {
        if (op == EOp::Verify || op == EOp::Program)
            QVERIFY(engine.loadFile(sourcePath));
        if (op == EOp::Read)
            engine.buffer(0)->Fill();
        frame.awaitedCode = CodeOf(op);
        int started = 0;
        switch (op) {
        case EOp::Read: started = engine.startReadOp(0, 0, 'A'); break;
        case EOp::Verify: started = engine.startReadOp(0, 0, 'B'); break;
        case EOp::Erase: started = engine.startErase(0, 0); break;
        case EOp::Program: started = engine.startProgram(0, 0); break;
        }
        outcome.started = started == CodeOf(op);
        if (outcome.started) {
            QVERIFY2(WaitForOutcome(frame, op, false, outcome),
                     qPrintable("no outcome within the time-out; log:\n" + frame.log.join('\n')));
        } else {
            QVERIFY2(!frame.log.isEmpty(), "an operation refused without a word");
        }
        readBack = session.BufferBytes();
    }
    const QStringList commands = session.TraceCommands();
    session.Stop();
    m_summary = outcome.Summary();

    QVERIFY2(CSpiSimSession::ReadFile(sourcePath) == source, "the source file was changed");
    const QByteArray now = ChipContents(session.image, SpiSize);
    if (!outcome.connected || !outcome.started) {
        QCOMPARE(ChipChangingCommands(commands), 0);
        QVERIFY2(now == initial, "the chip changed without an operation");
        return;
    }
    const QString context = "\nlog:\n" + outcome.log;
    if (op == EOp::Read || op == EOp::Verify)
        QVERIFY2(now == initial, qPrintable("a reading operation changed the chip" + context));
    if (!outcome.succeeded)
        return;
    switch (op) {
    case EOp::Read:
        QVERIFY2(readBack == initial, qPrintable("a read said done with wrong data" + context));
        break;
    case EOp::Verify:
        QVERIFY2(!sourceDiffers, qPrintable("a verify of a differing image passed" + context));
        break;
    case EOp::Erase:
        QVERIFY2(AllErased(now), qPrintable("the chip is not erased after a done erase" + context));
        break;
    case EOp::Program:
        QVERIFY2(now == source, qPrintable("the chip is wrong after a done program" + context));
        break;
    }
}

QTEST_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
