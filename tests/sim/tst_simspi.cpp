// The simulated SPI chips driven through the exports with the packets the SPI
// engine sends: serial flash with single, dual and quad opcodes and its erase
// sizes, AT45 DataFlash in its page organisations, EEPROMs (nine-bit
// addressing included), status polling and the SFDP table.

#include "SimAdapterHost.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Ok("\x00\x00", 2);
const QByteArray Failed("\x01\x00", 2);

struct CStatus
{
    int opcode = 0x05;
    int busyMask = 0x01;
    int readyValue = 0x00;
};

void PutBE(QByteArray &packet, int at, quint64 value, int count)
{
    for (int i = 0; i < count; ++i)
        packet[at + i] = char(value >> (8 * (count - 1 - i)));
}

QByteArray ReadPacket(int opcode, int addressBytes, quint64 address, quint32 length, int mode = 0)
{
    QByteArray packet(20, '\0');
    packet[0] = 0x27;
    packet[1] = char(opcode);
    packet[2] = char(addressBytes);
    PutBE(packet, 3, address, addressBytes);
    for (int i = 0; i < 4; ++i)
        packet[7 + i] = char(length >> (8 * i));
    packet[15] = char(mode);
    return packet;
}

QByteArray ErasePacket(int opcode, int addressBytes, quint64 address, CStatus status = {}, int writeEnable = 0x06)
{
    QByteArray packet(20, '\0');
    packet[0] = 0x1B;
    packet[1] = char(writeEnable);
    packet[2] = char(opcode);
    packet[3] = char(addressBytes);
    PutBE(packet, 4, address, addressBytes);
    packet[8] = char(status.opcode);
    packet[9] = char(status.busyMask);
    packet[10] = char(status.readyValue);
    return packet;
}

QByteArray ProgramPacket(int opcode, int addressBytes, quint64 address, int pages, int modeOrPage,
                         CStatus status = {})
{
    QByteArray packet(20, '\0');
    packet[0] = 0x1C;
    packet[1] = char(opcode);
    packet[2] = char(addressBytes);
    PutBE(packet, 3, address, addressBytes);
    packet[10] = char(pages & 0xFF);
    packet[11] = char((pages >> 8) + ((pages & 0xFF) ? 1 : 0));
    packet[15] = char(modeOrPage);
    packet[16] = char(status.opcode);
    packet[17] = char(status.busyMask);
    packet[18] = char(status.readyValue);
    return packet;
}

QByteArray RandomBytes(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(count, '\0');
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

} // namespace

class TestSimSpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void jedecId_data();
    void jedecId();
    void flashReadOpcodes_data();
    void flashReadOpcodes();
    void flashProgramOpcodes_data();
    void flashProgramOpcodes();
    void flashProgramOnlyClearsBits();
    void flashEraseSizes_data();
    void flashEraseSizes();
    void readWrapsAtTheEnd();
    void statusPolling_data();
    void statusPolling();
    void at45_data();
    void at45();
    void eepromAddressing_data();
    void eepromAddressing();
    void eepromWrites();
    void sfdpDensity_data();
    void sfdpDensity();
    void cleanupTestCase();

private:
    bool Start(const QString &spi, const QByteArray &dump = QByteArray());
    QByteArray ReadAll();
    QByteArray Read(int opcode, int addressBytes, quint64 address, quint32 length, int mode = 0);
    QByteArray Program(const QByteArray &packet, const QByteArray &data);
    qulonglong Stat(const char *name);

    CSimAdapterHost m_host;
    QTemporaryDir m_dir;
    QString m_stats;
    int m_count = 0;
};

void TestSimSpi::initTestCase()
{
    QVERIFY2(m_host.IsLoaded(), qPrintable(m_host.ErrorString()));
    QVERIFY(m_dir.isValid());
}

void TestSimSpi::cleanupTestCase()
{
    m_host.Close();
    WriteSimConfig(m_dir.path(), "[adapter]\nmodule=spi\n[spi]\nsize=0x1000\nimage=" + m_dir.filePath("last.bin") + "\n");
    m_host.Open();
    m_host.Close();
}

// `dump`, when given, is seated as the chip's contents.
bool TestSimSpi::Start(const QString &spi, const QByteArray &dump)
{
    ++m_count;
    const QString image = m_dir.filePath(QStringLiteral("spi-%1.bin").arg(m_count));
    if (!dump.isEmpty()) {
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || file.write(dump) != dump.size())
            return false;
    }
    m_stats = m_dir.filePath(QStringLiteral("stats-%1.txt").arg(m_count));
    m_host.Close();
    WriteSimConfig(m_dir.path(), QStringLiteral("[adapter]\nmodule=spi\nreenumerate_ms=0\nstats=%1\n"
                                                "[spi]\nimage=%2\n%3\n")
                                     .arg(m_stats, image, spi));
    // The SPI image of the part's algorithm: 3 drives AT45 parts, 4 EEPROMs.
    const int algorithm = spi.contains("kind=at45") ? 3 : spi.contains("kind=eeprom") ? 4 : 0;
    return m_host.Connect(CSimAdapterHost::FirmwareImage(1, algorithm));
}

QByteArray TestSimSpi::ReadAll()
{
    QByteArray all;
    for (QByteArray part; !(part = m_host.Reply(3, 65536)).isEmpty();)
        all += part;
    return all;
}

QByteArray TestSimSpi::Read(int opcode, int addressBytes, quint64 address, quint32 length, int mode)
{
    if (m_host.Send(0, ReadPacket(opcode, addressBytes, address, length, mode)) <= 0)
        return {};
    return ReadAll();
}

QByteArray TestSimSpi::Program(const QByteArray &packet, const QByteArray &data)
{
    m_host.Send(0, packet);
    for (int at = 0; at < data.size(); at += 4096)
        m_host.Send(1, data.mid(at, 4096));
    return m_host.Command(CSimAdapterHost::Packet({0x32}, 1), 2, 3);
}

qulonglong TestSimSpi::Stat(const char *name)
{
    m_host.Close();
    return ReadSimStats(m_stats).value(QLatin1String(name));
}

void TestSimSpi::jedecId_data()
{
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("JEDEC ID") << 0x9F << 10 << QByteArray("\xC2\x20\x16", 3);
    QTest::newRow("detection packet of 64 bytes") << 0x9F << 64 << QByteArray("\xC2\x20\x16", 3);
    QTest::newRow("plain ID record") << 0x00 << 1 << QByteArray("\xC2\x20\x16", 3);
    QTest::newRow("instruction the part lacks") << 0x90 << 10 << QByteArray(3, '\xFF');
}

void TestSimSpi::jedecId()
{
    QFETCH(int, opcode);
    QFETCH(int, length);
    QFETCH(QByteArray, expected);
    QVERIFY(Start("id=C2 20 16\nsize=0x400000"));
    QCOMPARE(m_host.Command(CSimAdapterHost::Packet({0x29, opcode}, length), 3, 2), expected);
}

void TestSimSpi::flashReadOpcodes_data()
{
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("known");
    QTest::newRow("read") << 0x03 << 0 << true;
    QTest::newRow("fast read") << 0x0B << 0 << true;
    QTest::newRow("dual output") << 0x3B << 1 << true;
    QTest::newRow("dual I/O") << 0xBB << 1 << true;
    QTest::newRow("quad output") << 0x6B << 2 << true;
    QTest::newRow("quad I/O") << 0xEB << 2 << true;
    QTest::newRow("four-byte read on a part of 256 KiB") << 0x13 << 0 << false;
    QTest::newRow("quad opcode on one line") << 0x6B << 0 << false;
    QTest::newRow("dual opcode on four lines") << 0x3B << 2 << false;
    QTest::newRow("not a read") << 0x05 << 0 << false;
}

void TestSimSpi::flashReadOpcodes()
{
    QFETCH(int, opcode);
    QFETCH(int, mode);
    QFETCH(bool, known);
    const QByteArray dump = RandomBytes(0x40000, 7);
    QVERIFY(Start("size=0x40000", dump));
    QCOMPARE(Read(opcode, 3, 0x1000, 4096, mode), known ? dump.mid(0x1000, 4096) : QByteArray(4096, '\xFF'));
    QCOMPARE(Stat("opcode_errors"), known ? 0ull : 1ull);
}

void TestSimSpi::flashProgramOpcodes_data()
{
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("known");
    QTest::newRow("page program") << 0x02 << 0 << true;
    QTest::newRow("dual input") << 0xA2 << 1 << true;
    QTest::newRow("quad input") << 0x32 << 2 << true;
    QTest::newRow("quad I/O") << 0x38 << 2 << true;
    QTest::newRow("quad opcode on one line") << 0x32 << 0 << false;
    QTest::newRow("not a program") << 0x06 << 0 << false;
}

void TestSimSpi::flashProgramOpcodes()
{
    QFETCH(int, opcode);
    QFETCH(int, mode);
    QFETCH(bool, known);
    QVERIFY(Start("size=0x40000"));
    const QByteArray data = RandomBytes(1024, 3);
    QCOMPARE(Program(ProgramPacket(opcode, 3, 0x2000, 4, mode), data), known ? Ok : Failed);
    QCOMPARE(Read(0x03, 3, 0x2000, 1024), known ? data : QByteArray(1024, '\xFF'));
}

void TestSimSpi::flashProgramOnlyClearsBits()
{
    QVERIFY(Start("size=0x40000"));
    const QByteArray first = RandomBytes(4096, 1);
    const QByteArray second = RandomBytes(4096, 2);
    QCOMPARE(Program(ProgramPacket(0x02, 3, 0x3000, 16, 0), first), Ok);
    QCOMPARE(Program(ProgramPacket(0x02, 3, 0x3000, 16, 0), second), Ok);
    QByteArray anded = first;
    for (int i = 0; i < anded.size(); ++i)
        anded[i] = char(first[i] & second[i]);
    QCOMPARE(Read(0x03, 3, 0x3000, 4096), anded);
    QCOMPARE(Stat("programs_not_erased"), 16ull);
}

void TestSimSpi::flashEraseSizes_data()
{
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("writeEnable");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("opcodeErrors");
    QTest::newRow("4 KiB") << 0x20 << 0x11234 << 0x06 << 0x11000 << 0x12000 << Ok << 0;
    QTest::newRow("32 KiB") << 0x52 << 0x19000 << 0x06 << 0x18000 << 0x20000 << Ok << 0;
    QTest::newRow("64 KiB") << 0xD8 << 0x20000 << 0x06 << 0x20000 << 0x30000 << Ok << 0;
    QTest::newRow("chip, 0x60") << 0x60 << 0 << 0x06 << 0 << 0x40000 << Ok << 0;
    QTest::newRow("chip, 0xC7") << 0xC7 << 0x1234 << 0x06 << 0 << 0x40000 << Ok << 0;
    // Without the latch the part ignores the erase: nothing to report.
    QTest::newRow("without write enable") << 0x20 << 0x1000 << 0x00 << 0 << 0 << Ok << 0;
    // The part keeps its latch set for an instruction it does not have: the
    // firmware reports that erase as failed.
    QTest::newRow("no such erase") << 0x81 << 0x1000 << 0x06 << 0 << 0 << Failed << 1;
}

void TestSimSpi::flashEraseSizes()
{
    QFETCH(int, opcode);
    QFETCH(int, address);
    QFETCH(int, writeEnable);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QByteArray, reply);
    QFETCH(int, opcodeErrors);
    const QByteArray dump(0x40000, '\0');
    QVERIFY(Start("size=0x40000", dump));
    QCOMPARE(m_host.Command(ErasePacket(opcode, 3, quint64(address), CStatus(), writeEnable), 2, 2), reply);
    QByteArray expected = dump;
    expected.replace(from, to - from, QByteArray(to - from, '\xFF'));
    QCOMPARE(Read(0x03, 3, 0, 0x40000), expected);
    QCOMPARE(Stat("opcode_errors"), qulonglong(opcodeErrors));
}

void TestSimSpi::readWrapsAtTheEnd()
{
    const QByteArray dump = RandomBytes(0x10000, 5);
    QVERIFY(Start("size=0x10000", dump));
    QCOMPARE(Read(0x03, 3, 0xFFF8, 16), dump.right(8) + dump.left(8));
    QCOMPARE(Read(0x0B, 3, 0x0100, 0x10000), dump.mid(0x100) + dump.left(0x100));
    // Flash of 64 KiB takes three address bytes like any serial flash: with
    // two, the part reads the first data clock as its last address byte.
    QVERIFY(Read(0x03, 2, 0x0100, 16) != dump.mid(0x100, 16));
}

void TestSimSpi::statusPolling_data()
{
    QTest::addColumn<QString>("spi");
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("ready");
    QTest::addColumn<bool>("ok");
    QTest::newRow("flash, status register") << "size=0x40000" << 0x05 << 0x01 << 0x00 << true;
    QTest::newRow("flash, flag status") << "size=0x40000" << 0x70 << 0x80 << 0x80 << true;
    QTest::newRow("flash, ready value never read") << "size=0x40000" << 0x05 << 0x80 << 0x80 << false;
    QTest::newRow("AT45 status") << "kind=at45" << 0xD7 << 0x80 << 0x80 << true;
    QTest::newRow("AT45 polled like flash") << "kind=at45" << 0x05 << 0x01 << 0x00 << false;
}

void TestSimSpi::statusPolling()
{
    QFETCH(QString, spi);
    QFETCH(int, opcode);
    QFETCH(int, mask);
    QFETCH(int, ready);
    QFETCH(bool, ok);
    QVERIFY(Start(spi));
    const CStatus status{opcode, mask, ready};
    const int eraseOpcode = spi.contains("at45") ? 0x50 : 0x20;
    QCOMPARE(m_host.Command(ErasePacket(eraseOpcode, 3, 0x8000, status), 2, 2), ok ? Ok : Failed);
    const int programOpcode = spi.contains("at45") ? 0x10 : 0x02;
    const int pageBytes = spi.contains("at45") ? 528 : 256;
    QCOMPARE(Program(ProgramPacket(programOpcode, 3, 0, 1, 0, status), QByteArray(pageBytes, '\x42')), ok ? Ok : Failed);
    QCOMPARE(Stat("status_timeouts"), ok ? 0ull : 2ull);
}

void TestSimSpi::at45_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("byteBits");     // 0: binary pages, addressed linearly
    QTest::addColumn<int>("sector0bByte5");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("status");       // ready, density, page organisation
    QTest::newRow("528-byte pages (16 Mbit)") << 528 << 10 << 0x20 << 4096 << 0xAC;
    QTest::newRow("binary 512-byte pages (16 Mbit)") << 512 << 0 << 0x10 << 4096 << 0xAD;
    QTest::newRow("264-byte pages (8 Mbit)") << 264 << 9 << 0x10 << 4096 << 0xA4;
    QTest::newRow("binary 256-byte pages (8 Mbit)") << 256 << 0 << 0x08 << 4096 << 0xA5;
    QTest::newRow("1056-byte pages (64 Mbit)") << 1056 << 11 << 0x40 << 8192 << 0xBC;
    QTest::newRow("binary 1024-byte pages (64 Mbit)") << 1024 << 0 << 0x20 << 8192 << 0xBD;
}

void TestSimSpi::at45()
{
    QFETCH(int, pageSize);
    QFETCH(int, byteBits);
    QFETCH(int, sector0bByte5);
    QFETCH(int, pages);
    QFETCH(int, status);
    const auto address = [&](int page) { return byteBits ? quint64(page) << byteBits : quint64(page) * pageSize; };
    QVERIFY(Start(QStringLiteral("kind=at45\nid=1F 26 00\npage_size=%1\nsize=%2").arg(pageSize).arg(pages * pageSize),
                  QByteArray(pages * pageSize, '\0')));

    // Ready, density from the page count, bit 0 telling the page organisation.
    QCOMPARE(m_host.Command(CSimAdapterHost::Packet({0x31, 0x01, 0xD7, 0x01}, 64), 1, 2), QByteArray(1, char(status)));

    // Sector 0a, then 0b: the second command differs in byte 5 only.
    const QByteArray sector0a = ErasePacket(0x7C, 3, 0, {0xD7, 0x80, 0x80});
    const QByteArray sector0b = ErasePacket(0x7C, 3, address(8), {0xD7, 0x80, 0x80});
    QCOMPARE(int(quint8(sector0b[5])), sector0bByte5);
    QCOMPARE(m_host.Command(sector0a, 2, 2), Ok);
    QCOMPARE(Read(0x03, 3, 0, quint32(16 * pageSize)),
             QByteArray(8 * pageSize, '\xFF') + QByteArray(8 * pageSize, '\0'));
    QCOMPARE(m_host.Command(sector0b, 2, 2), Ok);
    QCOMPARE(Read(0x03, 3, address(255), quint32(2 * pageSize)), QByteArray(pageSize, '\xFF') + QByteArray(pageSize, '\0'));
    QCOMPARE(m_host.Command(ErasePacket(0x7C, 3, address(300), {0xD7, 0x80, 0x80}), 2, 2), Ok);
    QCOMPARE(Read(0x03, 3, address(255), quint32(pageSize)), QByteArray(pageSize, '\xFF'));
    QCOMPARE(Read(0x03, 3, address(511), quint32(2 * pageSize)), QByteArray(pageSize, '\xFF') + QByteArray(pageSize, '\0'));
    QCOMPARE(m_host.Command(ErasePacket(0x50, 3, address(1029), {0xD7, 0x80, 0x80}), 2, 2), Ok);  // block of 8
    QCOMPARE(Read(0x1B, 3, address(1023), quint32(10 * pageSize)),
             QByteArray(pageSize, '\0') + QByteArray(8 * pageSize, '\xFF') + QByteArray(pageSize, '\0'));
    QCOMPARE(m_host.Command(ErasePacket(0x81, 3, address(2000), {0xD7, 0x80, 0x80}), 2, 2), Ok);  // one page
    QCOMPARE(Read(0xE8, 3, address(1999), quint32(3 * pageSize)),
             QByteArray(pageSize, '\0') + QByteArray(pageSize, '\xFF') + QByteArray(pageSize, '\0'));

    // Page program through the buffer replaces the page, bits set included.
    const QByteArray data = RandomBytes(2 * pageSize, 8);
    const CStatus ready{0xD7, 0x80, 0x80};
    QCOMPARE(Program(ProgramPacket(pageSize & 0xFF, 3, address(9), 2, 0, ready), data), Ok);
    QCOMPARE(Read(0x03, 3, address(9), quint32(2 * pageSize)), data);
    const QByteArray again = RandomBytes(pageSize, 9);
    QCOMPARE(Program(ProgramPacket(pageSize & 0xFF, 3, address(9), 1, 0, ready), again), Ok);
    QCOMPARE(Read(0x03, 3, address(9), quint32(pageSize)), again);
    // A program for the other page organisation is refused.
    QCOMPARE(Program(ProgramPacket((pageSize & 0xFF) ? 0x00 : 0x10, 3, address(700), 1, 0, ready),
                     QByteArray(pageSize, '\x11')),
             Failed);
    QCOMPARE(Read(0x03, 3, address(700), quint32(pageSize)), QByteArray(pageSize, '\0'));
    QCOMPARE(Stat("programs_not_erased"), 0ull);
}

void TestSimSpi::eepromAddressing_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("addressBytes");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("offset");  // -1: the part does not answer; -2: it reads elsewhere
    QTest::newRow("512 bytes, A8 clear") << 512 << 0x03 << 1 << 0x10 << 0x10;
    QTest::newRow("512 bytes, A8 in the instruction") << 512 << 0x0B << 1 << 0x10 << 0x110;
    QTest::newRow("512 bytes, two address bytes") << 512 << 0x03 << 2 << 0x0110 << -2;
    QTest::newRow("256 bytes has no A8") << 256 << 0x0B << 1 << 0x10 << -1;
    QTest::newRow("256 bytes") << 256 << 0x03 << 1 << 0xF0 << 0xF0;
    QTest::newRow("32 KiB, two address bytes") << 32768 << 0x03 << 2 << 0x1234 << 0x1234;
    QTest::newRow("32 KiB, three address bytes") << 32768 << 0x03 << 3 << 0x1234 << -2;
    QTest::newRow("128 KiB, three address bytes") << 131072 << 0x03 << 3 << 0x12345 << 0x12345;
    QTest::newRow("fast read on an EEPROM") << 32768 << 0x0B << 2 << 0x10 << -1;
}

void TestSimSpi::eepromAddressing()
{
    QFETCH(int, size);
    QFETCH(int, opcode);
    QFETCH(int, addressBytes);
    QFETCH(int, address);
    QFETCH(int, offset);
    const QByteArray dump = RandomBytes(size, quint32(size));
    QVERIFY(Start(QStringLiteral("kind=eeprom\nid=FF FF FF\npage_size=16\nsfdp=false\nsize=%1").arg(size), dump));
    const QByteArray read = Read(opcode, addressBytes, quint64(address), 16);
    if (offset == -2) {
        // An address of the wrong width: the part takes as many bytes as it
        // has, and the rest shifts what it sends.
        QVERIFY(read != dump.mid(address % size, 16));
        QVERIFY(read != QByteArray(16, '\xFF'));
        return;
    }
    QCOMPARE(read, offset < 0 ? QByteArray(16, '\xFF') : dump.mid(offset, 16));
}

void TestSimSpi::eepromWrites()
{
    QVERIFY(Start("kind=eeprom\nsize=512\npage_size=16", QByteArray(512, '\0')));
    // Two 16-byte pages at 0x100: one address byte, A8 in the instruction.
    const QByteArray data = RandomBytes(32, 1);
    QCOMPARE(Program(ProgramPacket(0x0A, 1, 0x00, 2, 16), data), Ok);
    QCOMPARE(Read(0x03, 1, 0x00, 512), QByteArray(0x100, '\0') + data + QByteArray(0xE0, '\0'));
    // Writing replaces bytes: no erase needed, bits come back.
    const QByteArray ones(16, '\xFF');
    QCOMPARE(Program(ProgramPacket(0x0A, 1, 0x00, 1, 16), ones), Ok);
    QCOMPARE(Read(0x0B, 1, 0x00, 32), ones + data.mid(16));
    // Firmware pages of 32 bytes on a part with 16-byte pages wrap inside the page.
    const QByteArray wide = RandomBytes(32, 2);
    QCOMPARE(Program(ProgramPacket(0x02, 1, 0x40, 1, 32), wide), Ok);
    QCOMPARE(Read(0x03, 1, 0x40, 32), wide.mid(16) + QByteArray(16, '\0'));
    // Pages written past 0xFF in one command continue in the upper half.
    const QByteArray across = RandomBytes(32, 3);
    QCOMPARE(Program(ProgramPacket(0x02, 1, 0xF0, 2, 16), across), Ok);
    QCOMPARE(Read(0x03, 1, 0xF0, 32), across);
    QCOMPARE(Read(0x0B, 1, 0x00, 16), across.mid(16));
    // No erase instruction: nothing changes, and the firmware says so.
    QCOMPARE(m_host.Command(ErasePacket(0xD8, 1, 0x00), 2, 2), Failed);
    QCOMPARE(Read(0x0B, 1, 0x10, 16), data.mid(16));
    QCOMPARE(Read(0x0B, 1, 0x00, 16), across.mid(16));
    // No SFDP either.
    QCOMPARE(m_host.Command(CSimAdapterHost::Packet({0x2A, 0x00}, 6), 2048, 3), QByteArray(2048, '\xFF'));
    QCOMPARE(Stat("opcode_errors"), 1ull);
}

void TestSimSpi::sfdpDensity_data()
{
    QTest::addColumn<QString>("spi");
    QTest::addColumn<quint32>("word");   // 0: no table
    QTest::addColumn<quint64>("bytes");
    QTest::newRow("2 MiB") << "size=0x200000" << 0x00FFFFFFu << quint64(0x200000);
    QTest::newRow("16 MiB") << "size=0x1000000" << 0x07FFFFFFu << quint64(0x1000000);
    QTest::newRow("256 MiB") << "size=0x10000000" << 0x7FFFFFFFu << quint64(0x10000000);
    QTest::newRow("2^30 bytes") << "size=0x40000000" << 0x80000021u << (quint64(1) << 30);
    QTest::newRow("AT45") << "kind=at45\npage_size=512\nsize=0x200000" << 0x00FFFFFFu << quint64(0x200000);
    QTest::newRow("switched off") << "size=0x200000\nsfdp=false" << 0u << quint64(0);
}

void TestSimSpi::sfdpDensity()
{
    QFETCH(QString, spi);
    QFETCH(quint32, word);
    QFETCH(quint64, bytes);
    QVERIFY(Start(spi));
    const QByteArray table = m_host.Command(CSimAdapterHost::Packet({0x2A, 0x00}, 6), 2048, 3);
    QCOMPARE(table.size(), 2048);
    if (word == 0) {
        QCOMPARE(table, QByteArray(2048, '\xFF'));
        return;
    }
    // Decoded the way the host reads a JESD216 table.
    QCOMPARE(table.left(4), QByteArray("SFDP"));
    const int headers = quint8(table[6]) + 1;
    quint64 decoded = 0;
    for (int h = 0; h < headers; ++h) {
        const int at = 8 + 8 * h;
        const quint32 pointer = SimLE(table, at + 4, 3);
        if (pointer > 2048 || quint8(table[at + 7]) != 0xFF || table[at] != 0)
            continue;
        const quint32 value = SimLE(table, int(pointer) + 4, 4);
        QCOMPARE(value, word);
        decoded = (value & 0x80000000u) ? (quint64(1) << ((value - 3) & 0x1F)) : (quint64(value) + 1) / 8;
    }
    QCOMPARE(decoded, bytes);
}

QTEST_GUILESS_MAIN(TestSimSpi)
#include "tst_simspi.moc"
