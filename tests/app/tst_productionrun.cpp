#include "AppDirectory.h"
#include "AppSettings.h"
#include "CmdProcessor.h"
#include "MainFrame.h"
#include "Script.h"
#include "SerialNumber.h"
#include "WindowTestKit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QTest>

#include <functional>

namespace {

// A small-page NAND chip: 1024 blocks of 16 pages of 528 bytes.
constexpr int kPageSize = 528;
constexpr int kPagesPerBlock = 16;
constexpr int kBlocks = 1024;
const QString kTarget = QStringLiteral("K9F6408U0C");
constexpr int kRunMs = 300000;
constexpr int kStepMs = 20;
// The program command of chip 5 at which it leaves the socket.
constexpr int kPullAtProgram = 16;
// Where the serial number goes in each chip's image ("serial 40 8 dec").
constexpr int kSerialOffset = 0x40;

// The line: each chip is seated, erased, laid out around its bad blocks,
// given its serial number, programmed and verified; a failed one goes to the
// fail label and waits for its removal like the others.
const QByteArray kLineScript = "answer no\n"
                               "timeout 60000\n"
                               "onfail failed\n"
                               "load %1\n"
                               "report %2\n"
                               "serial 40 8 dec 1000\n"
                               "next:\n"
                               "if CHIPS == %3\n"
                               "goto done\n"
                               "endif\n"
                               "waitchip 30000\n"
                               "newchip\n"
                               "erase\n"
                               "smtcpy\n"
                               "verify\n"
                               "waitremove 30000\n"
                               "goto next\n"
                               "failed:\n"
                               "waitremove 30000\n"
                               "goto next\n"
                               "done:\n"
                               "echo Batch done\n";

// What sits in the socket for chip n (1 to 5), as the socket file says.
QString ChipSections(int n, const QString &dir)
{
    const QString image = QStringLiteral("image=%1/socket-chip-%2.bin\n").arg(dir).arg(n);
    switch (n) {
    case 1: // good
        return QStringLiteral("[nand]\nbad_blocks=\n") + image;
    case 2: // a factory bad block the image is laid out around
        return QStringLiteral("[nand]\nbad_blocks=3\n") + image;
    case 3: // another part
        return QStringLiteral("[nand]\nid=EC 75 A5 BD 00 00\nbad_blocks=\n") + image;
    case 4: // two bytes that read back at random: more than the one bit ECC corrects
        return QStringLiteral("[nand]\nbad_blocks=\nweak_bits=256:0,256:1,256:2,256:3,256:4,256:5,256:6,256:7,"
                              "257:0,257:1,257:2,257:3,257:4,257:5,257:6,257:7\n") +
               image;
    default: // good, but taken out while it is programmed
        return QStringLiteral("[adapter]\npull_at_program=%1\n[nand]\nbad_blocks=\n").arg(kPullAtProgram) + image;
    }
}

// The operator at the socket: seats the next chip whenever the script waits
// for one and takes it out whenever the script asks. Chip 5 is pulled out by
// the simulated socket itself at a program command in the middle of its
// program, so the moment does not depend on how fast the machine runs.
class CChipFeeder
{
public:
    CChipFeeder(const QString &socketPath, const QString &dir) : m_socket(socketPath), m_dir(dir)
    {
        WriteWholeFile(m_socket, QByteArray());
    }

    void Step(const QString &log)
    {
        const int seatWaits = int(log.count(QStringLiteral("Waiting for a chip in the socket")));
        const int removeWaits = int(log.count(QStringLiteral("Waiting for the chip to be taken out")));
        if (removeWaits > m_removals) {
            m_removals = removeWaits;
            Seat(QString());
        }
        if (seatWaits > m_seated && m_seated < 5 && m_empty) {
            ++m_seated;
            Seat(ChipSections(m_seated, m_dir));
        }
    }
    int Seated() const { return m_seated; }

private:
    void Seat(const QString &sections)
    {
        WriteWholeFile(m_socket, sections.toLatin1());
        m_empty = sections.isEmpty();
    }

    QString m_socket;
    QString m_dir;
    int m_seated = 0;
    int m_removals = 0;
    bool m_empty = true;
};

QString BaseConfig(const QString &socketPath)
{
    return QStringLiteral("[adapter]\nmodule=nand\nsocket=%1\n[nand]\nid=EC E6 00 00 00 00\npage_size=528\n"
                          "pages_per_block=16\nblocks=1024\nbad_blocks=\nimage=@IMAGE@\n")
        .arg(socketPath);
}

// The fields of a CSV line; quoted fields may hold commas and doubled quotes.
QStringList CsvFields(const QString &line)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == '"' && i + 1 < line.size() && line.at(i + 1) == '"') {
            fields.last() += c;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields << QString();
        } else {
            fields.last() += c;
        }
    }
    return fields;
}

} // namespace

// An unattended production run of five chips on the simulated adapter, in
// the window and without one: a good chip, one with a bad block, another
// part, one that fails its verify and one taken out while it is programmed.
// The report, the counters and the exit code tell each.
class TestProductionRun : public QObject
{
    Q_OBJECT

    CSimWindowRig m_rig;
    QString m_dir;
    QString m_imagePath;
    QByteArray m_image;

    void Prepare(const QString &name)
    {
        m_dir = QDir::tempPath() + QLatin1Char('/') + name;
        QDir(m_dir).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir));
        m_image = NandChipImage(kPageSize, kPagesPerBlock, kBlocks);
        m_imagePath = m_dir + QStringLiteral("/image.bin");
        QVERIFY(WriteWholeFile(m_imagePath, m_image));
    }

    QString SocketPath() const { return m_dir + QStringLiteral("/socket.ini"); }
    QString ReportPath() const { return m_dir + QStringLiteral("/report.csv"); }

    // The five report lines: results, serial numbers, hashes and reasons.
    void CheckReport()
    {
        const QStringList lines = QString::fromUtf8(ReadWholeFile(ReportPath())).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines.first(), QStringLiteral("time,device,chip_id,operations,sha256,duration_s,serial,result,reason"));
        struct SExpected
        {
            const char *result;
            const char *serial;
            const char *chipId;
            const char *operations; // a part of the operations column
            const char *reason;     // a part of the reason column
        };
        const SExpected expected[] = {
            {"PASS", "00001000", "EC E6 00 00 00 00", "Chip check:done", ""},
            // Its image is laid out around block 3; its program steps over
            // that block although a block of 8448 bytes is no whole number
            // of 512-byte transfer units.
            {"PASS", "00001001", "EC E6 00 00 00 00", "Verify:done", ""},
            // Refused before anything is written: no number used up.
            {"FAIL", "", "EC 75 A5 BD 00 00", "Chip check:failed", "is not that of K9F6408U0C"},
            // Failed chips do not use up their number: the next gets it too.
            {"FAIL", "00001002", "EC E6 00 00 00 00", "Verify:failed", ""},
            {"FAIL", "00001002", "EC E6 00 00 00 00", "Program:failed", "Program failed at address"},
        };
        for (int i = 0; i < 5; ++i) {
            const QStringList fields = CsvFields(lines.at(i + 1));
            QVERIFY2(fields.size() == 9, qPrintable(lines.at(i + 1)));
            const SExpected &want = expected[i];
            QVERIFY2(fields[1] == kTarget, qPrintable(lines.at(i + 1)));
            QVERIFY2(fields[2] == QLatin1String(want.chipId), qPrintable(lines.at(i + 1)));
            QVERIFY2(fields[3].contains(QLatin1String(want.operations)), qPrintable(lines.at(i + 1)));
            QVERIFY2(fields[6] == QLatin1String(want.serial), qPrintable(lines.at(i + 1)));
            QVERIFY2(fields[7] == QLatin1String(want.result), qPrintable(lines.at(i + 1)));
            QVERIFY2(fields[8].contains(QLatin1String(want.reason)), qPrintable(lines.at(i + 1)));
            QVERIFY2(want.result != QLatin1String("FAIL") || !fields[8].isEmpty(), qPrintable(lines.at(i + 1)));
        }
        // The hash is that of the image programmed, its serial number in it.
        const QByteArray first = StampedImage("00001000");
        const QString hash = QString::fromLatin1(QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex());
        QCOMPARE(CsvFields(lines.at(1)).at(4), hash);
        QCOMPARE(CsvFields(lines.at(3)).at(4), QString());
        // Chips 1 and 2 hold the image with their own numbers; the
        // operator's image file stays as it was.
        QVERIFY(ReadWholeFile(m_dir + QStringLiteral("/socket-chip-1.bin")).left(4096) == first.left(4096));
        QVERIFY(ReadWholeFile(m_dir + QStringLiteral("/socket-chip-2.bin")).left(4096) ==
                StampedImage("00001001").left(4096));
        QVERIFY(ReadWholeFile(m_imagePath) == m_image);
    }

    QByteArray StampedImage(const QByteArray &serial) const
    {
        QByteArray image = m_image;
        image.replace(kSerialOffset, serial.size(), serial);
        return image;
    }

private slots:
    void init()
    {
        AppSettings().WriteString(CSerialNumber::SettingsKey(), QString());
        AppSettings().Flush();
        QSettings(AppSettings().FileName(), QSettings::IniFormat).remove(CSerialNumber::SettingsKey());
    }
    void cleanup() { m_rig.Close(); }

    void fiveChipsInTheWindow()
    {
        Prepare(QStringLiteral("window-line"));
        m_rig.UseChip(BaseConfig(SocketPath()));
        CChipFeeder feeder(SocketPath(), m_dir);
        m_rig.Start(kTarget);
        m_rig.WaitConnected();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(QDir().mkpath(AppDirectory(DIR_SCRIPT)));
        QVERIFY(WriteWholeFile(AppDirectory(DIR_SCRIPT) + QStringLiteral("line.usp"), kLineScript));

        CMainFrame &window = *m_rig.Window();
        TypeAtConsole(window, QStringLiteral("line %1 %2 5").arg(m_imagePath, ReportPath()));
        QElapsedTimer clock;
        clock.start();
        while (g_cmdProcessor.script().IsLoaded() && clock.elapsed() < kRunMs) {
            feeder.Step(m_rig.LogText());
            QTest::qWait(kStepMs);
        }
        QVERIFY2(!g_cmdProcessor.script().IsLoaded(), qPrintable("the run did not end:\n" + m_rig.LogText()));
        QVERIFY2(m_rig.Logged(QStringLiteral("Batch done")), qPrintable(m_rig.LogText()));
        QCOMPARE(feeder.Seated(), 5);
        CheckReport();
        if (QTest::currentTestFailed())
            qWarning().noquote() << m_rig.LogText();
        QCOMPARE(window.CountersLabel()->text(), QStringLiteral("PASS 2  FAIL 3  Total 5"));
        QVERIFY(window.CountersLabel()->isVisible());
        // Every chip has its line in the log too.
        QCOMPARE(m_rig.LogText().count(QStringLiteral("Chip 5: ")), 1);
    }

    void fiveChipsWithoutAWindow()
    {
        Prepare(QStringLiteral("headless-line"));
        const QString config = UseSimConfig(BaseConfig(SocketPath()).replace(
            QStringLiteral("@IMAGE@"), m_dir + QStringLiteral("/base.bin")));
        const QString scriptPath = m_dir + QStringLiteral("/line.usp");
        QVERIFY(WriteWholeFile(scriptPath, kLineScript));
        const QString progressPath = m_dir + QStringLiteral("/progress.jsonl");
        CChipFeeder feeder(SocketPath(), m_dir);

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XRUSB_SIM"), config);
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::SeparateChannels);
        run.start(QStringLiteral(NVP_BINARY_DIR "/norvaplex"),
                  {QStringLiteral("--headless"), QStringLiteral("--device"), kTarget, QStringLiteral("--script"),
                   scriptPath, QStringLiteral("--progress"), QStringLiteral("json"),
                   QStringLiteral("--progress-file"), progressPath, QStringLiteral("--"), m_imagePath, ReportPath(),
                   QStringLiteral("5")});
        QVERIFY(run.waitForStarted());
        QString log;
        QElapsedTimer clock;
        clock.start();
        while (run.state() != QProcess::NotRunning && clock.elapsed() < kRunMs) {
            run.waitForReadyRead(kStepMs);
            log += QString::fromLocal8Bit(run.readAllStandardOutput());
            feeder.Step(log);
        }
        if (run.state() != QProcess::NotRunning) {
            run.kill();
            run.waitForFinished();
            QFAIL(qPrintable("the run did not end:\n" + log));
        }
        log += QString::fromLocal8Bit(run.readAllStandardOutput());
        QVERIFY2(log.contains(QStringLiteral("Batch done")), qPrintable(log));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 1);  // operations failed
        QCOMPARE(feeder.Seated(), 5);
        QVERIFY2(log.contains(QStringLiteral("Run ends: ")), qPrintable(log));
        CheckReport();
        if (QTest::currentTestFailed())
            qWarning().noquote() << log;
        // One JSON object a line, with the fields a line controller reads.
        const QList<QByteArray> progress = ReadWholeFile(progressPath).split('\n');
        QVERIFY(progress.size() > 2);
        for (const char *field : {"\"operation\":", "\"done\":", "\"total\":", "\"bytesPerSecond\":",
                                  "\"secondsLeft\":"})
            QVERIFY2(progress.first().contains(field), progress.first().constData());
    }
};

QTEST_MAIN(TestProductionRun)
#include "tst_productionrun.moc"
