// The CH341A bridge against a fake board at the USB-transfer level: 32-byte
// packets, bit-reversed bytes and the chip-select stream reach the chip
// model as whole frames; time-outs, unplugs and missing boards fail clearly.

#include "Ch341aBus.h"
#include "Ch341aFake.h"
#include "Ch341aProtocol.h"
#include "MemoryBus.h"

#include "ByteList.h"

#include <QtTest>

using namespace xrbridge;
using namespace xremu;

class TestCh341aBus : public QObject
{
    Q_OBJECT

private slots:
    void bitReversal();
    void framesPassUnchanged_data();
    void framesPassUnchanged();
    void transfersAboveTheLimitAreRefused();
    void timeOutFailsAndTheNextTransferDrivesThePinsAgain();
    void unplugIsReportedAsDisconnected();
    void missingBoardAndRefusedAccessAreReported();
    void pinsAreReleasedAtClose();
};

void TestCh341aBus::bitReversal()
{
    QCOMPARE(ch341a::Reversed(0x01), uint8_t(0x80));
    QCOMPARE(ch341a::Reversed(0x9F), uint8_t(0xF9));
    QCOMPARE(ch341a::Reversed(0x06), uint8_t(0x60));
    for (int b = 0; b < 256; ++b)
        QCOMPARE(ch341a::Reversed(ch341a::Reversed(uint8_t(b))), uint8_t(b));
}

void TestCh341aBus::framesPassUnchanged_data()
{
    QTest::addColumn<std::vector<uint8_t>>("out");
    QTest::addColumn<int>("readCount");
    QTest::newRow("id") << Bytes({0x9F}) << 3;
    QTest::newRow("write enable") << Bytes({0x06}) << 0;
    QTest::newRow("status") << Bytes({0x05}) << 1;
    QTest::newRow("read one packet") << Bytes({0x03, 0x00, 0x00, 0x10}) << 27;
    QTest::newRow("read across packets") << Bytes({0x03, 0x00, 0x01, 0x00}) << 28;
    QTest::newRow("read 4 KiB") << Bytes({0x03, 0x01, 0x23, 0x45}) << 4092;
    QTest::newRow("read at an address ending in FF") << Bytes({0x03, 0x00, 0xFF, 0xFF}) << 100;
    std::vector<uint8_t> program = Bytes({0x02, 0x00, 0x10, 0x00});
    for (int i = 0; i < 256; ++i)
        program.push_back(uint8_t(i < 200 ? 255 - i : 0xFF));  // data ending in FF is still written
    QTest::newRow("page program") << program << 0;
}

void TestCh341aBus::framesPassUnchanged()
{
    QFETCH(std::vector<uint8_t>, out);
    QFETCH(int, readCount);
    CMemoryBus chip, reference;
    CCh341aFake board(chip);
    std::string error;
    auto bus = CCh341aBus::Open(board, error);
    QVERIFY2(bus, error.c_str());
    QVERIFY(board.PinsDriven());

    std::vector<uint8_t> in(size_t(readCount), 0xA5), expected(static_cast<size_t>(readCount));
    QVERIFY2(bus->Transfer(out.data(), out.size(), in.data(), in.size()), bus->LastError().c_str());
    reference.Transfer(out.data(), out.size(), expected.data(), expected.size());
    QCOMPARE(in, expected);
    const auto frames = chip.Frames();
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(frames[0].out.size() + frames[0].readCount, out.size() + size_t(readCount));
    // The frame's out bytes are the start of what was sent (the rest may
    // have gone out as clocks of the read).
    QVERIFY(frames[0].out.size() <= out.size());
    QVERIFY(std::equal(frames[0].out.begin(), frames[0].out.end(), out.begin()));
    if (readCount == 0)
        QCOMPARE(frames[0].out, out);
    QVERIFY(!board.ChipSelectLow());
    QCOMPARE(board.Frames(), 1);
    QCOMPARE(board.ProtocolErrors(), 0);
}

void TestCh341aBus::transfersAboveTheLimitAreRefused()
{
    CMemoryBus chip;
    CCh341aFake board(chip);
    std::string error;
    auto bus = CCh341aBus::Open(board, error);
    QVERIFY2(bus, error.c_str());
    const uint8_t read[] = {0x03, 0, 0, 0};
    std::vector<uint8_t> in(bus->MaxRead() + 1);
    QVERIFY(!bus->Transfer(read, sizeof read, in.data(), in.size()));
    QVERIFY2(bus->LastError().find("exceeds its limit") != std::string::npos, bus->LastError().c_str());
    QCOMPARE(board.Frames(), 0);
}

void TestCh341aBus::timeOutFailsAndTheNextTransferDrivesThePinsAgain()
{
    CMemoryBus chip;
    CCh341aFake board(chip);
    std::string error;
    auto bus = CCh341aBus::Open(board, error);
    QVERIFY2(bus, error.c_str());
    CCh341aFakeOptions stuck;
    stuck.timeOutAfterExchanges = board.Exchanges();
    board.SetOptions(stuck);
    const uint8_t read[] = {0x03, 0, 0, 0};
    uint8_t in[64];
    QVERIFY(!bus->Transfer(read, sizeof read, in, sizeof in));
    QVERIFY2(bus->LastError().find("time-out moving SPI data") != std::string::npos, bus->LastError().c_str());
    QVERIFY(bus->LastError().find("/dev/bus/usb/001/042") != std::string::npos);

    board.SetOptions({});
    chip.ClearFrames();
    QVERIFY2(bus->Transfer(read, sizeof read, in, sizeof in), bus->LastError().c_str());
    QCOMPARE(in[5], chip.At(5));
    QVERIFY(board.PinsDriven());
    QCOMPARE(chip.Frames().size(), size_t(1));
}

void TestCh341aBus::unplugIsReportedAsDisconnected()
{
    CMemoryBus chip;
    CCh341aFake board(chip);
    std::string error;
    auto bus = CCh341aBus::Open(board, error);
    QVERIFY2(bus, error.c_str());
    CCh341aFakeOptions pulled;
    pulled.unplugAfterExchanges = board.Exchanges();
    board.SetOptions(pulled);
    const uint8_t rdid = 0x9F;
    uint8_t id[3];
    QVERIFY(!bus->Transfer(&rdid, 1, id, 3));
    QVERIFY2(bus->LastError().find("disconnected") != std::string::npos, bus->LastError().c_str());
    const int exchanges = board.Exchanges();
    QVERIFY(!bus->Transfer(&rdid, 1, id, 3));
    QCOMPARE(board.Exchanges(), exchanges);  // a gone board is not asked again
}

void TestCh341aBus::missingBoardAndRefusedAccessAreReported()
{
    CMemoryBus chip;
    CCh341aFakeOptions options;
    options.present = false;
    CCh341aFake absent(chip, options);
    std::string error;
    QVERIFY(!CCh341aBus::Open(absent, error));
    QVERIFY2(error.find("no CH341A programmer found") != std::string::npos, error.c_str());

    options = {};
    options.permissionDenied = true;
    CCh341aFake refused(chip, options);
    error.clear();
    QVERIFY(!CCh341aBus::Open(refused, error));
    QVERIFY2(error.find("permission denied on /dev/bus/usb/") != std::string::npos, error.c_str());
}

void TestCh341aBus::pinsAreReleasedAtClose()
{
    CMemoryBus chip;
    CCh341aFake board(chip);
    std::string error;
    auto bus = CCh341aBus::Open(board, error);
    QVERIFY2(bus, error.c_str());
    bus.reset();
    QVERIFY(!board.PinsDriven());
    QVERIFY(!board.ChipSelectLow());
}

QTEST_GUILESS_MAIN(TestCh341aBus)
#include "tst_ch341abus.moc"
