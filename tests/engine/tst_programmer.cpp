#include "FileMemoryNode.h"
#include "FirmwareImages.h"
#include "WorkerFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

// The programmer worker against the simulated adapter with a plain SPI flash
// whose first 64 KiB hold a known pattern and whose rest is erased. The
// adapter's trace shows every packet the worker sends and every read.

namespace {

constexpr int WaitMs = 30000; // an upper bound for the worker, never a speed check
constexpr uint32_t PatternBytes = 0x10000;

QByteArray ChipPattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + (i >> 8) * 7 + 1) & 0xFF);
    return bytes;
}

QByteArray SourcePattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 5 + (i >> 9) * 3 + 0x40) & 0xFF);
    return bytes;
}

const uint8_t *Image(const QString &name)
{
    if (name == "spi0")
        return SpiFirmware(0);
    if (name == "spi1")
        return SpiFirmware(1);
    return nullptr;
}

QString Joined(const QStringList &lines)
{
    return lines.join(',');
}

} // namespace

class TestProgrammer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSimConfig> m_sim;
    QStringList m_chipKeys;
    QByteArray m_chip;

    // Another adapter on the same chip, for the cases that need faults or a
    // slow link; the next test goes back to the plain one.
    std::unique_ptr<CSimConfig> OtherAdapter(const QString &name, const QStringList &adapterKeys)
    {
        const QString folder = m_dir.filePath(name);
        QDir().mkpath(folder);
        return std::make_unique<CSimConfig>(folder, QStringList{"module=spi", "packet_size=512"} + adapterKeys,
                                            "spi", m_chipKeys);
    }

    // The open/close/firmware calls after mark, as one comma-joined line.
    QString LinkCalls(int mark) const
    {
        QStringList calls;
        const QStringList lines = m_sim->Trace();
        for (int i = mark; i < lines.size(); ++i)
            if (lines[i].startsWith("OPEN") || lines[i].startsWith("CLOSE") || lines[i].startsWith("FW"))
                calls << lines[i];
        return Joined(calls);
    }

    // An engine that has connected, with a receiver collecting its signals.
    struct CConnected
    {
        std::unique_ptr<CTestEngine> engine;
        std::unique_ptr<CWorkerReceiver> receiver;
        // The worker goes first; messages still on their way are then
        // delivered, so the receiver deletes every one of them.
        ~CConnected()
        {
            engine.reset();
            if (receiver)
                QCoreApplication::sendPostedEvents(receiver.get());
        }
    };
    static bool Connect(CConnected &c, const uint8_t *firmware, CMemoryNode *source = nullptr)
    {
        c.engine = std::make_unique<CTestEngine>(firmware, source);
        c.receiver = std::make_unique<CWorkerReceiver>(c.engine.get());
        c.engine->start();
        const bool reported = QTest::qWaitFor([&] { return !c.receiver->connections.isEmpty(); }, WaitMs);
        return reported && c.receiver->connections == QList<bool>{true} && c.engine->isConnected();
    }

    // Queues a marker and waits until it has come back: everything queued
    // before it has been processed.
    static bool Drain(CConnected &c)
    {
        static int32_t serial = 0;
        const int32_t address = ++serial;
        c.engine->queueMarker('Z', address, 0);
        const auto arrived = [&] {
            return !c.receiver->pieces.isEmpty() && c.receiver->pieces.last().tag == 'Z'
                   && c.receiver->pieces.last().address == address;
        };
        return QTest::qWaitFor(arrived, WaitMs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_chip = ChipPattern(PatternBytes);
        const QString imagePath = m_dir.filePath("chip.bin");
        QFile image(imagePath);
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(m_chip + QByteArray(0x100000 - PatternBytes, char(0xFF)));
        image.close();
        m_chipKeys = QStringList{"kind=flash", "id=EF 40 14", "size=0x100000", "page_size=256", "image=" + imagePath};
        m_sim = std::make_unique<CSimConfig>(m_dir.path(),
                                             QStringList{"module=spi", "packet_size=512", "reenumerate_ms=300"},
                                             "spi", m_chipKeys);
        QVERIFY2(Usb::LoadLibrary(QStringLiteral(NVP_BINARY_DIR "/dll/libxrusb.so")), qPrintable(Usb::LoadError()));
    }
    void cleanupTestCase() { Usb::UnloadLibrary(); }
    void cleanup() { m_sim->Activate(); }

    // getLE reads 1 to 4 bytes little-endian, and 4 for any other count.
    void getLEOfTheBase_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<uint>("expected");
        QTest::newRow("2") << 2 << 0x2211u;
        QTest::newRow("3") << 3 << 0x332211u;
        QTest::newRow("0 reads 4") << 0 << 0x44332211u;
        QTest::newRow("5 reads 4") << 5 << 0x44332211u;
        QTest::newRow("-1 reads 4") << -1 << 0x44332211u;
    }
    void getLEOfTheBase()
    {
        QFETCH(int, count);
        QFETCH(uint, expected);
        CTestEngine engine(nullptr); // never started
        const uint8_t bytes[6] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
        QCOMPARE(engine.getLE(bytes, count), expected);
    }

    // The first attempt closes the adapter, loads the firmware and, when the
    // adapter re-enumerates, waits until it is back before it reports the
    // connection and opens it again.
    void firstConnection_data()
    {
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("new image: waits for re-enumeration")
            << "spi1" << "spi0" << R"(^OPEN [1-9]\d*,CLOSE,FW \S+ \S+ 0 1,(OPEN 0,CLOSE,)*OPEN [1-9]\d*,CLOSE,OPEN [1-9]\d*$)";
        QTest::newRow("image already running: connects at once")
            << "spi0" << "spi0" << R"(^OPEN [1-9]\d*,CLOSE,FW \S+ \S+ 0 2,OPEN [1-9]\d*$)";
    }
    void firstConnection()
    {
        QFETCH(QString, previous);
        QFETCH(QString, image);
        QFETCH(QString, pattern);
        {
            CConnected first; // puts that image in the adapter, then ends
            QVERIFY(Connect(first, Image(previous)));
        }
        const int mark = m_sim->Trace().size();
        CConnected c;
        QVERIFY(Connect(c, Image(image)));
        QVERIFY(c.engine->isConnected());
        // The worker may report the connection a moment before its last
        // open reaches the adapter's trace (seen in the sanitizer build).
        const QRegularExpression expected(pattern);
        QString calls;
        const bool matched = QTest::qWaitFor([&] { return expected.match(calls = LinkCalls(mark)).hasMatch(); }, 2000);
        QVERIFY2(matched, qPrintable(calls));
    }

    void nullFirmwareNeverConnects()
    {
        const int mark = m_sim->Trace().size();
        CTestEngine engine(nullptr);
        CWorkerReceiver receiver(&engine);
        engine.start();
        engine.readAdapterId();
        // The first attempt and one later attempt have looked for the adapter.
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Calls("OPEN", mark).size() >= 1, WaitMs);
        engine.reconnect();
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Calls("OPEN", mark).size() >= 2, WaitMs);
        QVERIFY(m_sim->Calls("FW", mark).isEmpty());
        QVERIFY(m_sim->Calls("CMD", mark).isEmpty());
        QVERIFY(receiver.connections.isEmpty());
        QCOMPARE(engine.pendingCommands(), 1); // kept for a connection that never comes
    }

    // Without an adapter nothing is sent: queued records wait (or are
    // cleared by the Stop action) until the 3 s retry finds one plugged in.
    void recordsWaitForTheAdapter_data()
    {
        QTest::addColumn<bool>("clear");
        QTest::addColumn<QByteArray>("tags");
        QTest::newRow("kept until the connection") << false << QByteArray("IZY");
        QTest::newRow("cleared meanwhile") << true << QByteArray("Y");
    }
    void recordsWaitForTheAdapter()
    {
        QFETCH(bool, clear);
        QFETCH(QByteArray, tags);
        const auto absent = OtherAdapter("absent", {"present=false"});
        const int start = absent->Trace().size();
        CConnected c;
        c.engine = std::make_unique<CTestEngine>(Image("spi0"));
        c.receiver = std::make_unique<CWorkerReceiver>(c.engine.get());
        c.engine->start();
        c.engine->readAdapterId();
        c.engine->queueMarker('Z', 1, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!absent->Calls("OPEN", start).isEmpty(), WaitMs);
        QCOMPARE(absent->Calls("OPEN", start).first(), QString("OPEN 0"));
        QCOMPARE(c.engine->pendingCommands(), 2);
        if (clear)
            c.engine->clearQueue();
        c.engine->queueMarker('Y', 2, 0);

        QVERIFY(absent->Calls("CMD", start).isEmpty());

        const int mark = absent->Trace().size();
        absent->Write({"module=spi", "packet_size=512", "reenumerate_ms=0"}, "spi", m_chipKeys); // plugged in
        QTRY_COMPARE_WITH_TIMEOUT(c.receiver->pieces.size(), tags.size(), WaitMs);
        QCOMPARE(c.receiver->connections, QList<bool>{true});
        QByteArray arrived;
        for (const CPiece &piece : std::as_const(c.receiver->pieces))
            arrived += piece.tag;
        QCOMPARE(arrived, tags);
        QVERIFY(QRegularExpression(R"(FW \S+ \S+ 1 1)").match(absent->Trace().mid(mark).join(',')).hasMatch());
    }

    // reconnect() makes the worker run a later attempt: firmware mode 1.
    void reconnectRunsALaterAttempt()
    {
        CConnected c;
        QVERIFY(Connect(c, Image("spi0")));
        const int mark = m_sim->Trace().size();
        c.engine->reconnect();
        QTRY_COMPARE_WITH_TIMEOUT(c.receiver->connections, QList<bool>({true, true}), WaitMs);
        const QString calls = LinkCalls(mark);
        QVERIFY2(QRegularExpression(R"(^CLOSE,OPEN [1-9]\d*,CLOSE,FW \S+ \S+ 1 2,OPEN [1-9]\d*$)").match(calls).hasMatch(),
                 qPrintable(calls));
        c.engine->readAdapterId();
        QVERIFY(Drain(c));
        QCOMPARE(m_sim->Calls("CMD", mark).join(',').toLower(), QString("cmd 18 00 02 00 0a 00 00 00 00"));
        QCOMPARE(c.receiver->pieces.first().tag, 'I');
        QCOMPARE(c.receiver->pieces.first().data.size(), 8);
    }

    void setTargetPacket_data()
    {
        QTest::addColumn<int>("adapterKind");
        QTest::addColumn<QString>("packet");
        QTest::newRow("NAND module") << 0 << "cmd 10 00 01 01 00 00 00 00 00 00";
        QTest::newRow("SPI module") << 1 << "cmd 10 01 01 01 00 00 00 00 00 00";
    }
    void setTargetPacket()
    {
        QFETCH(int, adapterKind);
        QFETCH(QString, packet);
        CConnected c;
        QVERIFY(Connect(c, Image("spi0")));
        const int mark = m_sim->Trace().size();
        c.engine->setTarget(uint8_t(adapterKind));
        QVERIFY(Drain(c));
        QCOMPARE(m_sim->Calls("CMD", mark).join(',').toLower(), packet);
        QCOMPARE(m_sim->Calls("READ", mark), QStringList{"READ 2 2"});
        QCOMPARE(c.receiver->pieces.first().tag, 'J');
        QCOMPARE(c.receiver->pieces.first().data.size(), 2);
    }

    // How a reply is cut into pieces, which pipe reads it, and the address
    // each piece carries (transfer units of 512 bytes).
    void replyPieces_data()
    {
        QTest::addColumn<uint>("replyLength");
        QTest::addColumn<int>("address");
        QTest::addColumn<uint>("maxTransfer");
        QTest::addColumn<QList<int>>("pieceSizes");
        QTest::addColumn<QList<int>>("pieceAddresses");
        QTest::addColumn<QStringList>("reads");
        QTest::newRow("1000 bytes: 512 + 488 at a and a + 1")
            << 1000u << 0x10 << 8192u << QList<int>{512, 488} << QList<int>{0x10, 0x11}
            << QStringList{"READ 3 512", "READ 3 488"};
        QTest::newRow("47 bytes without address: short pipe")
            << 47u << -1 << 8192u << QList<int>{47} << QList<int>{-1} << QStringList{"READ 2 47"};
        QTest::newRow("48 bytes without address: long pipe")
            << 48u << -1 << 8192u << QList<int>{48} << QList<int>{-1} << QStringList{"READ 3 48"};
        QTest::newRow("47 bytes with an address: long pipe")
            << 47u << 5 << 8192u << QList<int>{47} << QList<int>{5} << QStringList{"READ 3 47"};
        QTest::newRow("256 bytes: one piece") << 256u << 0 << 8192u << QList<int>{256} << QList<int>{0}
                                              << QStringList{"READ 3 256"};
        QTest::newRow("at least max transfer: pieces of max transfer")
            << 3000u << 0 << 1024u << QList<int>{1024, 1024, 952} << QList<int>{0, 2, 4}
            << QStringList{"READ 3 1024", "READ 3 1024", "READ 3 952"};
    }
    void replyPieces()
    {
        QFETCH(uint, replyLength);
        QFETCH(int, address);
        QFETCH(uint, maxTransfer);
        QFETCH(QList<int>, pieceSizes);
        QFETCH(QList<int>, pieceAddresses);
        QFETCH(QStringList, reads);
        CConnected c;
        QVERIFY(Connect(c, Image("spi0")));
        c.engine->SetMaxTransfer(maxTransfer);
        const int mark = m_sim->Trace().size();
        const uint32_t chipAddress = 0x1234;
        c.engine->queueCommand(TestPackets::SpiRead(chipAddress, replyLength), address, 'A', replyLength);
        QVERIFY(Drain(c));

        QList<CPiece> expected;
        int offset = chipAddress;
        for (int i = 0; i < pieceSizes.size(); ++i) {
            expected << CPiece{'A', pieceAddresses[i], m_chip.mid(offset, pieceSizes[i])};
            offset += pieceSizes[i];
        }
        c.receiver->pieces.removeLast(); // the drain marker
        QCOMPARE(c.receiver->pieces, expected);
        QCOMPARE(m_sim->Calls("READ", mark), reads);
    }

    void recordWithoutReplyGivesNoMessage()
    {
        CConnected c;
        QVERIFY(Connect(c, Image("spi0")));
        const int mark = m_sim->Trace().size();
        c.engine->endOperation();
        c.engine->selectChip(1);
        QVERIFY(Drain(c));
        QCOMPARE(c.receiver->pieces.size(), 1); // the drain marker alone
        QCOMPARE(m_sim->Calls("CMD", mark).join(',').toLower(), QString("cmd 33 00,cmd 36 01"));
        QVERIFY(m_sim->Calls("READ", mark).isEmpty());
    }

    // Local records are never sent; their effect comes in order with the
    // replies around them.
    void sleepAndMarkersKeepTheirPlace()
    {
        CConnected c;
        QVERIFY(Connect(c, Image("spi0")));
        const int mark = m_sim->Trace().size();
        c.engine->queueCommand(TestPackets::SpiRead(0, 16), 0, 'A', 16);
        c.engine->queueSleep(50);
        c.engine->queueMarker('R', 7, 4);
        c.engine->queueCommand(TestPackets::SpiRead(16, 16), 1, 'A', 16);
        c.engine->queueSleep(0);
        c.engine->queueMarker('T', 8, 0);
        QTRY_COMPARE_WITH_TIMEOUT(c.receiver->pieces.size(), 4, WaitMs);
        const QList<CPiece> expected{{'A', 0, m_chip.mid(0, 16)},
                                     {'R', 7, QByteArray(4, '\0')},
                                     {'A', 1, m_chip.mid(16, 16)},
                                     {'T', 8, QByteArray()}};
        QCOMPARE(c.receiver->pieces, expected);
        const QStringList commands = m_sim->Calls("CMD", mark);
        QCOMPARE(commands.size(), 2);
        for (const QString &command : commands)
            QVERIFY2(command.startsWith("CMD 27"), qPrintable(command));
    }

    // A program command takes the oldest data job and streams its bytes from
    // the source buffer at job address x 512 minus the buffer's base.
    void programDataIsStreamedFromTheBuffer_data()
    {
        QTest::addColumn<uint>("maxTransfer");
        QTest::addColumn<quint64>("sourceBase");
        QTest::addColumn<uint>("chipAddress");
        QTest::addColumn<QStringList>("transfers");
        QTest::addColumn<int>("sourceOffset");
        QTest::newRow("one chunk") << 4096u << quint64(0) << 0x20000u << QStringList{"DATA 4096"} << 4096;
        QTest::newRow("chunks of max transfer")
            << 1500u << quint64(0) << 0x22000u << QStringList{"DATA 1500", "DATA 1500", "DATA 1096"} << 4096;
        QTest::newRow("buffer with a base address")
            << 4096u << quint64(0x800) << 0x24000u << QStringList{"DATA 4096"} << 4096 - 0x800;
    }
    void programDataIsStreamedFromTheBuffer()
    {
        QFETCH(uint, maxTransfer);
        QFETCH(quint64, sourceBase);
        QFETCH(uint, chipAddress);
        QFETCH(QStringList, transfers);
        QFETCH(int, sourceOffset);
        const QByteArray source = SourcePattern(0x4000);
        auto *buffer = new CMemoryNode("SPI", sourceBase, source.size(), 0xFF);
        buffer->WriteAt(reinterpret_cast<const uint8_t *>(source.constData()), sourceBase, source.size());
        CConnected c;
        QVERIFY(Connect(c, Image("spi0"), buffer));
        c.engine->SetMaxTransfer(maxTransfer);
        const int mark = m_sim->Trace().size();

        c.engine->queueDataJob(8, 4096); // units of 512 bytes: byte 4096
        c.engine->queueCommand(TestPackets::SpiProgram(chipAddress, 4096), -1, 0, 0);
        QVERIFY(Drain(c));
        QCOMPARE(m_sim->Calls("DATA", mark), transfers);
        QCOMPARE(c.receiver->jobsSent, (QList<QPair<unsigned, unsigned>>{{8u, 8u}}));
        QCOMPARE(c.engine->pendingDataJobs(), 0);

        // What the chip now holds, read back through the worker.
        c.receiver->pieces.clear();
        c.engine->queueCommand(TestPackets::SpiRead(chipAddress, 4096), 0, 'A', 4096);
        QVERIFY(Drain(c));
        QByteArray chip;
        for (const CPiece &piece : c.receiver->pieces)
            if (piece.tag == 'A')
                chip += piece.data;
        QCOMPARE(chip.toHex(), source.mid(sourceOffset, 4096).toHex());
    }

    // The sixth command pulls the plug: the records and data jobs behind it
    // are dropped, the window hears of it once, and after the replug the
    // timer's next retry loads the firmware again (mode 1) and reconnects.
    // The whole batch is queued while the worker waits for the busy lock of
    // the file-backed source in its first program job, so the failure always
    // meets a full queue.
    void linkLossDropsEverythingAndReconnects()
    {
        const auto sim = OtherAdapter("unplug", {"reenumerate_ms=0", "unplug_after_commands=6", "replug_ms=500"});
        auto *source = new CFileMemoryNode("Nand", 0, 0x100000);
        QVERIFY(source->CreateTempFile());
        const QByteArray image = SourcePattern(4096);
        QVERIFY(source->Append(reinterpret_cast<const uint8_t *>(image.constData()), image.size()));
        CConnected c;
        QVERIFY(Connect(c, Image("spi0"), source));
        const int mark = sim->Trace().size();

        QVERIFY(source->TryLock());
        c.engine->queueDataJob(0, 512);
        c.engine->queueCommand(TestPackets::SpiProgram(0x30000, 512), -1, 0, 0);
        for (int i = 0; i < 4; ++i)
            c.engine->queueCommand(Adapter::StatusPacket(), -1, Adapter::Tag::Status, Adapter::StatusReplyLength);
        for (int i = 1; i <= 3; ++i) {
            c.engine->queueDataJob(i, 512);
            c.engine->queueCommand(TestPackets::SpiProgram(0x30000 + i * 512, 512), -1, 0, 0);
            c.engine->queueMarker('M', i, 0);
        }
        source->Unlock();

        QTRY_COMPARE_WITH_TIMEOUT(c.receiver->connections.size(), 2, WaitMs);
        QCOMPARE(c.receiver->connections, QList<bool>({true, false}));
        QCOMPARE(c.engine->pendingCommands(), 0);
        QCOMPARE(c.engine->pendingDataJobs(), 0);
        QCOMPARE(c.receiver->pieces.size(), 4);
        for (const CPiece &piece : std::as_const(c.receiver->pieces))
            QCOMPARE(piece, (CPiece{'C', -1, QByteArray("\x01\x00", 2)}));
        QCOMPARE(c.receiver->jobsSent.size(), 1);
        QCOMPARE(sim->Calls("CMD", mark).size(), 6);
        QCOMPARE(sim->Calls("DATA", mark), QStringList{"DATA 512"});

        QTRY_COMPARE_WITH_TIMEOUT(c.receiver->connections.size(), 3, WaitMs);
        QCOMPARE(c.receiver->connections, QList<bool>({true, false, true}));
        QVERIFY2(QRegularExpression(R"(FW \S+ \S+ 1 1)").match(sim->Trace().join(',')).hasMatch(),
                 qPrintable(sim->Trace().join(',')));
        c.engine->readAdapterId();
        QVERIFY(Drain(c));
        QCOMPARE(c.receiver->pieces.at(4).tag, 'I');
        QCOMPARE(c.receiver->connections.size(), 3);
    }

    // Destroying the engine while a long reply crawls over a slow link ends
    // the transfer between two pieces instead of reading it to its end.
    void destructionStopsATransfer()
    {
        const auto sim = OtherAdapter("slow", {"reenumerate_ms=0", "link_mbps=1"});
        CConnected c;
        QVERIFY(Connect(c, Image("spi0")));
        c.engine->SetMaxTransfer(512);
        const int mark = sim->Trace().size();
        const uint32_t pieces = 0x100000 / 512; // some 8 s at 1 Mbit/s
        c.engine->queueCommand(TestPackets::SpiRead(0, 0x100000), 0, 'A', 0x100000);
        QTRY_VERIFY_WITH_TIMEOUT(!c.receiver->pieces.isEmpty(), WaitMs);
        c.engine.reset();
        const qsizetype reads = sim->Calls("READ", mark).size();
        QVERIFY2(reads < pieces, qPrintable(QString::number(reads)));
    }

    // The GUI thread queues records in bursts of random size while the worker
    // drains them and goes back to sleep between bursts: every record comes
    // back, in order, and none is left in the queue.
    void producerLosesNoRecordAndNoWakeUp()
    {
        CConnected c;
        QVERIFY(Connect(c, Image("spi0")));
        constexpr int Records = 20000;
        QList<CPiece> expected;
        expected.reserve(Records);
        QRandomGenerator random(20260101);
        int burst = 0;
        for (int i = 0; i < Records; ++i) {
            if (i % 97 == 0) {
                const int chipAddress = i % 4000;
                c.engine->queueCommand(TestPackets::SpiRead(chipAddress, 4), -1, 'A', 4);
                expected << CPiece{'A', -1, m_chip.mid(chipAddress, 4)};
            } else {
                c.engine->queueMarker('M', i, 0);
                expected << CPiece{'M', i, QByteArray()};
            }
            if (--burst <= 0) {
                burst = int(random.bounded(1, 300));
                QCoreApplication::processEvents();
                if (random.bounded(4) == 0)
                    QThread::yieldCurrentThread();
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(c.receiver->pieces.size(), Records, 120000);
        QCOMPARE(c.engine->pendingCommands(), 0);
        for (int i = 0; i < Records; ++i)
            if (!(c.receiver->pieces[i] == expected[i]))
                QFAIL(qPrintable(QStringLiteral("record %1 out of place").arg(i)));
    }

    // Destruction stops the worker wherever it is and joins it. A worker
    // that ignored the stop would sit out ten sleeps of 65 s, far past the
    // test's time limit.
    void destructionReturnsPromptly_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("connected, waiting for work") << "idle";
        QTest::newRow("never connected, waiting") << "unconnected";
        QTest::newRow("inside a long sleep record") << "sleeping";
        QTest::newRow("with records and data jobs queued") << "queued";
    }
    void destructionReturnsPromptly()
    {
        QFETCH(QString, state);
        if (state == "unconnected") {
            const int mark = m_sim->Trace().size();
            auto engine = std::make_unique<CTestEngine>(nullptr);
            engine->start();
            QTRY_VERIFY_WITH_TIMEOUT(!m_sim->Calls("OPEN", mark).isEmpty(), WaitMs);
            engine.reset();
            return;
        }
        CConnected c;
        QVERIFY(Connect(c, Image("spi0")));
        if (state == "sleeping") {
            c.engine->queueMarker('S', 0, 0);
            for (int i = 0; i < 10; ++i)
                c.engine->queueSleep(65535);
            QTRY_COMPARE_WITH_TIMEOUT(c.receiver->pieces.size(), 1, WaitMs);
        } else if (state == "queued") {
            for (int i = 0; i < 10; ++i)
                c.engine->queueSleep(65535);
            for (int i = 0; i < 5; ++i) {
                c.engine->queueDataJob(i, 512);
                c.engine->queueCommand(TestPackets::SpiProgram(0x30000 + i * 512, 512), -1, 0, 0);
            }
        }
        c.engine.reset();
    }
};

QTEST_GUILESS_MAIN(TestProgrammer)
#include "tst_programmer.moc"
