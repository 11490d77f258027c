// The SPI firmware layer over a bus that moves only a few bytes per
// transaction, as some programmer bridges do: reads longer than the bus
// takes are split and carry their address on (linear flash addresses, AT45
// page addresses, the EEPROM's ninth address bit), programs are cut into
// shorter write-enabled programs, and an AT45 page that cannot go out whole
// fails instead of being half written. The bus is the simulated chip itself,
// behind a limit.

#include "ImageFile.h"
#include "Packet.h"
#include "SpiChip.h"
#include "SpiFirmware.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

class CLimitedBus : public xrbus::ISpiBus
{
public:
    CLimitedBus(std::unique_ptr<xrbus::ISpiBus> bus, size_t maxWrite, size_t maxRead)
        : m_bus(std::move(bus)), m_maxWrite(maxWrite), m_maxRead(maxRead)
    {
    }
    bool Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount) override
    {
        ++transfers;
        if ((m_maxWrite && writeCount > m_maxWrite) || (m_maxRead && readCount > m_maxRead)) {
            ++oversized;
            return false;
        }
        return m_bus->Transfer(out, writeCount, in, readCount);
    }
    size_t MaxWrite() const override { return m_maxWrite; }
    size_t MaxRead() const override { return m_maxRead; }
    uint32_t SetClockHz(uint32_t hz) override
    {
        clockHz = hz;
        return hz;
    }
    uint32_t clockHz = 0;
    std::string LastError() const override { return "transfer longer than the bus takes"; }

    int transfers = 0;
    int oversized = 0;

private:
    std::unique_ptr<xrbus::ISpiBus> m_bus;
    size_t m_maxWrite;
    size_t m_maxRead;
};

QByteArray RandomBytes(qsizetype count, quint32 seed)
{
    QByteArray bytes(count, '\0');
    QRandomGenerator random(seed);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

std::vector<uint8_t> Packet(std::initializer_list<int> bytes, size_t length = 20)
{
    std::vector<uint8_t> packet(length, 0);
    size_t i = 0;
    for (int b : bytes)
        packet[i++] = uint8_t(b);
    return packet;
}

std::vector<uint8_t> ReadPacket(int opcode, int addressBytes, uint64_t address, uint32_t length, int mode = 0)
{
    std::vector<uint8_t> packet = Packet({0x27, opcode, addressBytes});
    packet[15] = uint8_t(mode);
    for (int i = 0; i < addressBytes; ++i)
        packet[3 + i] = uint8_t(address >> (8 * (addressBytes - 1 - i)));
    for (int i = 0; i < 4; ++i)
        packet[7 + i] = uint8_t(length >> (8 * i));
    return packet;
}

std::vector<uint8_t> ProgramPacket(int opcode, int addressBytes, uint64_t address, int count, int modeOrPage,
                                   std::initializer_list<int> poll)
{
    std::vector<uint8_t> packet = Packet({0x1C, opcode, addressBytes});
    for (int i = 0; i < addressBytes; ++i)
        packet[3 + i] = uint8_t(address >> (8 * (addressBytes - 1 - i)));
    packet[10] = uint8_t(count & 0xFF);
    packet[11] = uint8_t((count >> 8) + ((count & 0xFF) ? 1 : 0));
    packet[15] = uint8_t(modeOrPage);
    int at = 16;
    for (int b : poll)
        packet[at++] = uint8_t(b);
    return packet;
}

} // namespace

class TestSpiFirmware : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    xrsim::CStats m_stats;
    CLimitedBus *m_bus = nullptr;
    std::unique_ptr<xrspi::CSpiFirmware> m_firmware;
    int m_count = 0;

    // A chip of `config` holding `dump`, behind a bus of the given limits.
    bool Seat(const xrsim::CSpiConfig &config, const QByteArray &dump, size_t maxWrite, size_t maxRead, int algorithm)
    {
        const QString path = m_dir.filePath(QStringLiteral("chip-%1.bin").arg(++m_count));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(dump) != dump.size())
            return false;
        file.close();
        auto image = std::make_unique<xrsim::CImageFile>();
        std::string error;
        if (!image->Open(path.toStdString(), config.size, error))
            return false;
        m_stats = xrsim::CStats();
        auto chip = std::make_unique<xrsim::CSpiChip>(config, std::move(image), m_stats);
        auto bus = std::make_unique<CLimitedBus>(std::move(chip), maxWrite, maxRead);
        m_bus = bus.get();
        xrspi::CPollLimits limits;
        limits.maxPolls = 1000;
        m_firmware = xrspi::MakeSpiFirmware(std::move(bus), m_stats, limits);
        m_firmware->SelectAlgorithm(algorithm);
        return true;
    }

    QByteArray Reply(const std::vector<uint8_t> &packet, size_t pieceBytes = 4096)
    {
        xrsim::CCommandResult result;
        if (!m_firmware->Command(xrsim::CPacket(packet.data(), packet.size()), result) || !result.reply)
            return {};
        QByteArray all;
        std::vector<uint8_t> piece(pieceBytes);
        while (result.reply->Remaining() > 0) {
            const size_t n = result.reply->Take(piece.data(), piece.size());
            all.append(reinterpret_cast<const char *>(piece.data()), qsizetype(n));
        }
        return all;
    }

    QByteArray Program(const std::vector<uint8_t> &packet, const QByteArray &data)
    {
        xrsim::CCommandResult result;
        m_firmware->Command(xrsim::CPacket(packet.data(), packet.size()), result);
        if (result.sink) {
            result.sink->Write(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
            result.sink->Finish();
        }
        return Reply(Packet({0x32}, 1));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void flashReadsAndProgramsInShortTransactions()
    {
        xrsim::CSpiConfig config;
        config.size = 0x40000;
        const QByteArray dump = RandomBytes(0x40000, 1);
        QVERIFY(Seat(config, dump, 40, 64, 0));
        QCOMPARE(Reply(ReadPacket(0x0B, 3, 0x1230, 4096)), dump.mid(0x1230, 4096));
        QCOMPARE(Reply(ReadPacket(0x6B, 3, 0x3FFF0, 32, 2)), dump.right(16) + dump.left(16));
        QCOMPARE(m_bus->oversized, 0);

        // Erase a sector, then program two pages in programs of 36 bytes.
        QCOMPARE(Reply(Packet({0x1B, 0x06, 0x20, 0x03, 0x00, 0x20, 0x00, 0x00, 0x05, 0x01, 0x00})), QByteArray(2, '\0'));
        const QByteArray data = RandomBytes(512, 2);
        QCOMPARE(Program(ProgramPacket(0x02, 3, 0x2000, 2, 0, {0x05, 0x01, 0x00}), data), QByteArray(2, '\0'));
        QCOMPARE(Reply(ReadPacket(0x03, 3, 0x2000, 512)), data);
        QCOMPARE(m_bus->oversized, 0);
        QCOMPARE(m_stats.commandsWhileBusy, 0ull);
        QCOMPARE(m_stats.statusTimeouts, 0ull);
    }

    void at45ReadsCarryPageAddresses()
    {
        xrsim::CSpiConfig config;
        config.kind = xrsim::ESpiKind::At45;
        config.pageSize = 528;
        config.size = 4096 * 528;
        config.id = {0x1F, 0x26, 0x00};
        const QByteArray dump = RandomBytes(qsizetype(config.size), 3);
        QVERIFY(Seat(config, dump, 0, 100, 3));
        // From byte 500 of page 7 across three page boundaries.
        QCOMPARE(Reply(ReadPacket(0x0B, 3, (7 << 10) | 500, 1200)), dump.mid(7 * 528 + 500, 1200));
        QCOMPARE(m_bus->oversized, 0);
    }

    void at45PageThatCannotGoOutWholeFails()
    {
        xrsim::CSpiConfig config;
        config.kind = xrsim::ESpiKind::At45;
        config.pageSize = 528;
        config.size = 4096 * 528;
        const QByteArray dump(qsizetype(config.size), '\0');
        QVERIFY(Seat(config, dump, 256, 0, 3));
        QCOMPARE(Program(ProgramPacket(0x10, 3, 9 << 10, 1, 0, {0xD7, 0x80, 0x80}), RandomBytes(528, 4)),
                 QByteArray("\x01\x00", 2));
        QCOMPARE(Reply(ReadPacket(0x03, 3, 9 << 10, 528)), QByteArray(528, '\0'));
    }

    void nineBitEepromReadCrossesIntoTheUpperHalf()
    {
        xrsim::CSpiConfig config;
        config.kind = xrsim::ESpiKind::Eeprom;
        config.size = 512;
        config.pageSize = 16;
        config.sfdp = false;
        const QByteArray dump = RandomBytes(512, 5);
        QVERIFY(Seat(config, dump, 0, 16, 4));
        QCOMPARE(Reply(ReadPacket(0x03, 1, 0xF0, 64)), dump.mid(0xF0, 64));
        QCOMPARE(m_stats.opcodeErrors, 0ull);
    }

    // The host's speed packet sets the bus clock: 24 MHz at the fastest
    // setting (d = 0), 4.8 MHz at setting 6 (d = 4), the slow settings halved.
    void speedPacketSetsTheClock_data()
    {
        QTest::addColumn<int>("dPlusOne");
        QTest::addColumn<int>("mode");
        QTest::addColumn<uint>("hz");
        QTest::newRow("fastest") << 1 << 0 << 24000000u;
        QTest::newRow("setting 6") << 5 << 0 << 4800000u;
        QTest::newRow("setting 3") << 5 << 1 << 2400000u;
        QTest::newRow("setting 0") << 3 << 2 << 2000000u;
    }
    void speedPacketSetsTheClock()
    {
        QFETCH(int, dPlusOne);
        QFETCH(int, mode);
        QFETCH(uint, hz);
        xrsim::CSpiConfig config;
        config.size = 0x40000;
        QVERIFY(Seat(config, QByteArray(16, '\xFF'), 0, 0, 0));
        QVERIFY(Reply(Packet({0x30, 0x00, dPlusOne, 0x20, dPlusOne, 0x01, 14, 0x21, 14, mode}, 10)).isEmpty());
        QCOMPARE(m_bus->clockHz, uint32_t(hz));
        QCOMPARE(m_firmware->ClockHz(), uint32_t(hz));
    }

    void protectedPartReportsFailures()
    {
        xrsim::CSpiConfig config;
        config.size = 0x40000;
        config.protect = true;
        QVERIFY(Seat(config, QByteArray(0x40000, '\0'), 0, 0, 0));
        QCOMPARE(Reply(Packet({0x1B, 0x06, 0xD8, 0x03, 0x01, 0x00, 0x00, 0x00, 0x05, 0x01, 0x00})),
                 QByteArray("\x01\x00", 2));
        QCOMPARE(Program(ProgramPacket(0x02, 3, 0x100, 1, 0, {0x05, 0x01, 0x00}), RandomBytes(256, 6)),
                 QByteArray("\x01\x00", 2));
        QCOMPARE(m_stats.protectedWrites, 2ull);
        // Clearing the protect bits (an Init record: WRSR 00) lets them through.
        std::vector<uint8_t> configure = Packet({0x34, 0x9F, 1, 0x06, 0x01, 0x01, 0x00}, 64);
        QVERIFY(Reply(configure).isEmpty());
        QCOMPARE(Reply(Packet({0x1B, 0x06, 0xD8, 0x03, 0x01, 0x00, 0x00, 0x00, 0x05, 0x01, 0x00})),
                 QByteArray(2, '\0'));
        QCOMPARE(Reply(ReadPacket(0x03, 3, 0x10000, 16)), QByteArray(16, '\xFF'));
    }

    // A part that its init record put into four-byte mode (the instruction,
    // or bit 7 of the bank register) is back in three-byte mode once the
    // adapter lets it go; one left alone is not touched.
    void fourByteModeLeftAtRelease_data()
    {
        QTest::addColumn<QList<int>>("record");  // write-enable marker, instruction, count, data
        QTest::addColumn<bool>("fourByte");
        QTest::newRow("enter instruction") << QList<int>{0x06, 0xB7, 0x00} << true;
        QTest::newRow("bank register bit 7") << QList<int>{0x00, 0x17, 0x01, 0x80} << true;
        QTest::newRow("no mode change") << QList<int>{0x06, 0x01, 0x01, 0x00} << false;
    }
    void fourByteModeLeftAtRelease()
    {
        QFETCH(QList<int>, record);
        QFETCH(bool, fourByte);
        xrsim::CSpiConfig config;
        config.size = 0x2000000;
        config.id = {0xEF, 0x40, 0x19};
        QVERIFY(Seat(config, QByteArray(), 0, 0, 0));
        std::vector<uint8_t> configure = Packet({0x34, 0x9F, 1}, 64);
        std::copy(record.begin(), record.end(), configure.begin() + 3);
        QVERIFY(Reply(configure).isEmpty());
        const auto flagStatus = [&] { return uint8_t(Reply(Packet({0x31, 0x00, 0x70, 0x01})).at(0)); };
        QCOMPARE(bool(flagStatus() & 0x01), fourByte);
        const int before = m_bus->transfers;
        m_firmware->Release();
        QCOMPARE(flagStatus() & 0x01, 0);
        if (!fourByte)
            QCOMPARE(m_bus->transfers, before + 1); // only the status read above
    }
};

QTEST_GUILESS_MAIN(TestSpiFirmware)
#include "tst_spifirmware.moc"
