// The spidev bridge through its ioctl seam: mode and clock at open, one
// SPI_IOC_MESSAGE per frame, the driver's buffer size, and clear failures.

#include "MemoryBus.h"
#include "SpidevBus.h"
#include "SpidevFake.h"

#include "ByteList.h"

#include <QtTest>

using namespace xrbridge;
using namespace xremu;

class TestSpidevBus : public QObject
{
    Q_OBJECT

private slots:
    void openSetsModeAndClock();
    void framesPassUnchanged_data();
    void framesPassUnchanged();
    void bufferSizeLimitsTransfers();
    void failuresNameTheNode_data();
    void failuresNameTheNode();
    void openFailuresAreExplained();
};

void TestSpidevBus::openSetsModeAndClock()
{
    CMemoryBus chip;
    CSpidevFakeOptions options;
    options.maxClockHz = 1000000;
    CSpidevFake kernel(chip, options);
    std::string error;
    auto bus = CSpidevBus::Open(kernel, "/dev/spidev0.0", 0, error);
    QVERIFY2(bus, error.c_str());
    QCOMPARE(kernel.Mode(), uint8_t(0));
    QCOMPARE(kernel.ClockHz(), uint32_t(1000000));  // asked 2 MHz, the controller caps it
    QCOMPARE(bus->SetClockHz(500000), uint32_t(500000));
    bus.reset();
    QCOMPARE(kernel.OpenHandles(), 0);
}

void TestSpidevBus::framesPassUnchanged_data()
{
    QTest::addColumn<std::vector<uint8_t>>("out");
    QTest::addColumn<int>("readCount");
    QTest::newRow("id") << Bytes({0x9F}) << 3;
    QTest::newRow("write enable") << Bytes({0x06}) << 0;
    QTest::newRow("read 4 KiB less headroom") << Bytes({0x03, 0x01, 0x23, 0x45}) << 4088;
    std::vector<uint8_t> program = Bytes({0x02, 0x00, 0x10, 0x00});
    for (int i = 0; i < 256; ++i)
        program.push_back(uint8_t(255 - i));
    QTest::newRow("page program") << program << 0;
}

void TestSpidevBus::framesPassUnchanged()
{
    QFETCH(std::vector<uint8_t>, out);
    QFETCH(int, readCount);
    CMemoryBus chip, reference;
    CSpidevFake kernel(chip);
    std::string error;
    auto bus = CSpidevBus::Open(kernel, "/dev/spidev0.0", 0, error);
    QVERIFY2(bus, error.c_str());
    std::vector<uint8_t> in(size_t(readCount), 0xA5), expected(static_cast<size_t>(readCount));
    QVERIFY2(bus->Transfer(out.data(), out.size(), in.data(), in.size()), bus->LastError().c_str());
    reference.Transfer(out.data(), out.size(), expected.data(), expected.size());
    QCOMPARE(in, expected);
    const auto frames = chip.Frames();
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(frames[0].out, out);
    QCOMPARE(frames[0].readCount, size_t(readCount));
    QCOMPARE(kernel.Messages(), 1);
}

void TestSpidevBus::bufferSizeLimitsTransfers()
{
    CMemoryBus chip;
    CSpidevFakeOptions options;
    options.bufferSize = 1024;
    CSpidevFake kernel(chip, options);
    std::string error;
    auto bus = CSpidevBus::Open(kernel, "/dev/spidev0.0", 0, error);
    QVERIFY2(bus, error.c_str());
    QCOMPARE(bus->MaxWrite(), size_t(1024));
    QVERIFY(bus->MaxRead() < 1024 && bus->MaxRead() >= 1000);
    const uint8_t read[] = {0x03, 0, 0, 0};
    std::vector<uint8_t> in(1024);
    QVERIFY(!bus->Transfer(read, sizeof read, in.data(), in.size()));
    QCOMPARE(kernel.Messages(), 0);

    // A driver that takes less than it claims answers EMSGSIZE.
    options.bufferSize = 512;
    kernel.SetOptions(options);
    QVERIFY(!bus->Transfer(read, sizeof read, in.data(), 600));
    QVERIFY2(bus->LastError().find("spidev.bufsiz") != std::string::npos, bus->LastError().c_str());
}

void TestSpidevBus::failuresNameTheNode_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::addColumn<QString>("expected");
    QTest::newRow("time-out") << false << "time-out while moving SPI data";
    QTest::newRow("unplug") << true << "went away";
}

void TestSpidevBus::failuresNameTheNode()
{
    QFETCH(bool, unplug);
    QFETCH(QString, expected);
    CMemoryBus chip;
    CSpidevFake kernel(chip);
    std::string error;
    auto bus = CSpidevBus::Open(kernel, "/dev/spidev0.0", 0, error);
    QVERIFY2(bus, error.c_str());
    CSpidevFakeOptions options;
    (unplug ? options.unplugAfterMessages : options.timeOutAfterMessages) = 0;
    kernel.SetOptions(options);
    const uint8_t rdid = 0x9F;
    uint8_t id[3];
    QVERIFY(!bus->Transfer(&rdid, 1, id, 3));
    QVERIFY2(bus->LastError().find(expected.toStdString()) != std::string::npos, bus->LastError().c_str());
    QVERIFY(bus->LastError().find("/dev/spidev0.0") != std::string::npos);
    QVERIFY(chip.Frames().empty());
}

void TestSpidevBus::openFailuresAreExplained()
{
    CMemoryBus chip;
    CSpidevFake kernel(chip);
    std::string error;
    QVERIFY(!CSpidevBus::Open(kernel, "/dev/spidev9.9", 0, error));
    QVERIFY2(error.find("no spidev node /dev/spidev9.9") != std::string::npos, error.c_str());

    CSpidevFakeOptions options;
    options.permissionDenied = true;
    kernel.SetOptions(options);
    error.clear();
    QVERIFY(!CSpidevBus::Open(kernel, "/dev/spidev0.0", 0, error));
    QVERIFY2(error.find("permission denied on /dev/spidev0.0") != std::string::npos, error.c_str());
    QVERIFY2(error.find("group 'spi'") != std::string::npos, error.c_str());
    QCOMPARE(kernel.OpenHandles(), 0);
}

QTEST_GUILESS_MAIN(TestSpidevBus)
#include "tst_spidevbus.moc"
