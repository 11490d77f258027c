// The serial programmer bridge against an emulated programmer on the far end
// of a pseudo-terminal: the handshake, frames unchanged in both directions,
// length limits, and each way a programmer can fail.

#include "BridgeErrors.h"
#include "MemoryBus.h"
#include "SerprogBus.h"
#include "SerprogEmulator.h"

#include "ByteList.h"

#include <QtTest>

using namespace xrbridge;
using namespace xremu;

namespace {

CSerprogOptions FastOptions()
{
    CSerprogOptions options;
    options.syncTimeoutMs = 600;
    options.replyTimeoutMs = 300;
    return options;
}

} // namespace

class TestSerprogBus : public QObject
{
    Q_OBJECT

private slots:
    void framesPassUnchanged_data();
    void framesPassUnchanged();
    void handshakeSurvivesJunkAndReportsTheFirmware();
    void lengthLimitsComeFromTheFirmware();
    void optionalCommandsMayBeMissing();
    void firmwareWithoutSpiIsRefused();
    void firmwareWithoutAClockIsRefused();
    void silentDeviceFailsTheHandshakeInTime();
    void stallMidAnswerFailsAndStaysFailed();
    void unplugIsReportedAsDisconnected();
    void missingPortIsNamed();
    void permissionTextNamesNodeGroupAndRules();
    void driversAreSwitchedOffAtClose();
};

void TestSerprogBus::framesPassUnchanged_data()
{
    QTest::addColumn<std::vector<uint8_t>>("out");
    QTest::addColumn<int>("readCount");
    QTest::newRow("id") << Bytes({0x9F}) << 3;
    QTest::newRow("write enable") << Bytes({0x06}) << 0;
    QTest::newRow("status") << Bytes({0x05}) << 1;
    QTest::newRow("read 4 KiB") << Bytes({0x03, 0x01, 0x23, 0x45}) << 4096;
    QTest::newRow("read 64 KiB") << Bytes({0x03, 0x00, 0x00, 0x00}) << 65536;
    std::vector<uint8_t> program = Bytes({0x02, 0x00, 0x10, 0x00});
    for (int i = 0; i < 256; ++i)
        program.push_back(uint8_t(255 - i));
    QTest::newRow("page program") << program << 0;
}

void TestSerprogBus::framesPassUnchanged()
{
    QFETCH(std::vector<uint8_t>, out);
    QFETCH(int, readCount);
    CMemoryBus chip;
    CMemoryBus reference;
    CSerprogEmulator emulator(chip);
    std::string error;
    auto bus = CSerprogBus::Open(emulator.SlavePath(), FastOptions(), error);
    QVERIFY2(bus, error.c_str());
    chip.ClearFrames();

    std::vector<uint8_t> in(size_t(readCount), 0xA5), expected(static_cast<size_t>(readCount));
    QVERIFY2(bus->Transfer(out.data(), out.size(), in.data(), in.size()), bus->LastError().c_str());
    reference.Transfer(out.data(), out.size(), expected.data(), expected.size());
    QCOMPARE(in, expected);
    const auto frames = chip.Frames();
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(frames[0].out, out);
    QCOMPARE(frames[0].readCount, size_t(readCount));
}

void TestSerprogBus::handshakeSurvivesJunkAndReportsTheFirmware()
{
    CMemoryBus chip;
    CSerprogEmulatorOptions options;
    options.name = "pico-test";
    // Stale bytes in the port, including a NAK ACK pair that is no answer.
    options.junk = Bytes({0x15, 0x06, 0xAA, 0x06, 0x06, 0x00, 0x15});
    CSerprogEmulator emulator(chip, options);
    std::string error;
    auto bus = CSerprogBus::Open(emulator.SlavePath(), FastOptions(), error);
    QVERIFY2(bus, error.c_str());
    QCOMPARE(bus->ProgrammerName(), std::string("pico-test"));
    QVERIFY(emulator.SyncRequests() >= 2);
    uint8_t id[3] = {};
    const uint8_t rdid = 0x9F;
    QVERIFY(bus->Transfer(&rdid, 1, id, 3));
    QCOMPARE(id[0], uint8_t(0xEF));
    QCOMPARE(id[2], uint8_t(0x18));
}

void TestSerprogBus::lengthLimitsComeFromTheFirmware()
{
    CMemoryBus chip;
    {
        CSerprogEmulator unlimited(chip);  // NAKs both queries
        std::string error;
        auto bus = CSerprogBus::Open(unlimited.SlavePath(), FastOptions(), error);
        QVERIFY2(bus, error.c_str());
        QCOMPARE(bus->MaxRead(), size_t(0xFFFFFF));
        QCOMPARE(bus->MaxWrite(), size_t(0xFFFFFF));
    }
    CSerprogEmulatorOptions options;
    options.maxRead = 64;
    options.maxWrite = 300;
    CSerprogEmulator limited(chip, options);
    std::string error;
    auto bus = CSerprogBus::Open(limited.SlavePath(), FastOptions(), error);
    QVERIFY2(bus, error.c_str());
    QCOMPARE(bus->MaxRead(), size_t(64));
    QCOMPARE(bus->MaxWrite(), size_t(300));
    const uint8_t read[] = {0x03, 0, 0, 0};
    uint8_t in[65];
    chip.ClearFrames();
    QVERIFY(!bus->Transfer(read, sizeof read, in, 65));
    QVERIFY2(bus->LastError().find("exceeds its limits") != std::string::npos, bus->LastError().c_str());
    QVERIFY(chip.Frames().empty());
    // Within the limits the link is still in step.
    QVERIFY2(bus->Transfer(read, sizeof read, in, 64), bus->LastError().c_str());
    QCOMPARE(in[1], chip.At(1));
    QCOMPARE(limited.RefusedCommands(), 0);
}

void TestSerprogBus::optionalCommandsMayBeMissing()
{
    CMemoryBus chip;
    CSerprogEmulatorOptions options;
    options.unmapped = {serprog::QueryBusType, serprog::SetBusType, serprog::QueryName, serprog::SetPinState,
                        serprog::QueryMaxRead, serprog::QueryMaxWrite, serprog::SetSpiFrequency};
    CSerprogEmulator emulator(chip, options);
    std::string error;
    auto bus = CSerprogBus::Open(emulator.SlavePath(), FastOptions(), error);
    QVERIFY2(bus, error.c_str());
    QCOMPARE(bus->SetClockHz(8000000), uint32_t(0));
    const uint8_t rdid = 0x9F;
    uint8_t id[3] = {};
    QVERIFY(bus->Transfer(&rdid, 1, id, 3));
    QCOMPARE(id[1], uint8_t(0x40));
    bus.reset();
    // The bridge only sends what the map offers.
    QCOMPARE(emulator.RefusedCommands(), 0);
}

void TestSerprogBus::firmwareWithoutSpiIsRefused()
{
    CMemoryBus chip;
    CSerprogEmulatorOptions options;
    options.unmapped = {serprog::SpiOperation};
    CSerprogEmulator emulator(chip, options);
    std::string error;
    QVERIFY(!CSerprogBus::Open(emulator.SlavePath(), FastOptions(), error));
    QVERIFY2(error.find("no SPI operation") != std::string::npos, error.c_str());
    QVERIFY(error.find(emulator.SlavePath()) != std::string::npos);
}

// A firmware that answers the clock request with 0 Hz cannot clock the bus:
// the handshake fails with a line that says so (found by fuzzing: it failed
// without any).
void TestSerprogBus::firmwareWithoutAClockIsRefused()
{
    CMemoryBus chip;
    CSerprogEmulatorOptions options;
    options.fastestClockHz = 0;
    CSerprogEmulator emulator(chip, options);
    CSerprogOptions bridge = FastOptions();
    bridge.clockHz = 8000000;
    std::string error;
    QVERIFY(!CSerprogBus::Open(emulator.SlavePath(), bridge, error));
    QVERIFY2(error.find("0 Hz") != std::string::npos, error.c_str());
    QVERIFY(error.find(emulator.SlavePath()) != std::string::npos);
}

void TestSerprogBus::silentDeviceFailsTheHandshakeInTime()
{
    CMemoryBus chip;
    CSerprogEmulatorOptions options;
    options.silent = true;
    CSerprogEmulator emulator(chip, options);
    std::string error;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!CSerprogBus::Open(emulator.SlavePath(), FastOptions(), error));
    QVERIFY2(error.find("no answer to the serprog handshake") != std::string::npos, error.c_str());
    QVERIFY(error.find(emulator.SlavePath()) != std::string::npos);
    QVERIFY(clock.elapsed() < 10000);  // a guard against a hang, not a speed goal
}

void TestSerprogBus::stallMidAnswerFailsAndStaysFailed()
{
    CMemoryBus chip;
    CSerprogEmulatorOptions options;
    options.stallAfterOperations = 1;
    CSerprogEmulator emulator(chip, options);
    std::string error;
    auto bus = CSerprogBus::Open(emulator.SlavePath(), FastOptions(), error);
    QVERIFY2(bus, error.c_str());
    const uint8_t read[] = {0x03, 0, 0, 0};
    std::vector<uint8_t> in(8192);
    QVERIFY(bus->Transfer(read, sizeof read, in.data(), in.size()));
    QVERIFY(!bus->Transfer(read, sizeof read, in.data(), in.size()));
    QVERIFY2(bus->LastError().find("time-out after") != std::string::npos, bus->LastError().c_str());
    // The stream is out of step now: nothing more goes out on it.
    const int before = emulator.SpiOperations();
    QVERIFY(!bus->Transfer(read, sizeof read, in.data(), 16));
    QCOMPARE(emulator.SpiOperations(), before);
}

void TestSerprogBus::unplugIsReportedAsDisconnected()
{
    CMemoryBus chip;
    CSerprogEmulator emulator(chip);
    std::string error;
    auto bus = CSerprogBus::Open(emulator.SlavePath(), FastOptions(), error);
    QVERIFY2(bus, error.c_str());
    emulator.Unplug();
    const uint8_t read[] = {0x03, 0, 0, 0};
    uint8_t in[16];
    QVERIFY(!bus->Transfer(read, sizeof read, in, sizeof in));
    QVERIFY2(bus->LastError().find("disconnected") != std::string::npos, bus->LastError().c_str());
}

void TestSerprogBus::missingPortIsNamed()
{
    std::string error;
    QVERIFY(!CSerprogBus::Open("/dev/ttyACM-none", FastOptions(), error));
    QVERIFY2(error.find("no serial port /dev/ttyACM-none") != std::string::npos, error.c_str());
}

void TestSerprogBus::permissionTextNamesNodeGroupAndRules()
{
    CMemoryBus chip;
    CSerprogEmulator emulator(chip);
    const std::string text = PermissionDeniedText(emulator.SlavePath(), "dialout");
    QVERIFY2(text.find("permission denied on " + emulator.SlavePath()) == 0, text.c_str());
    QVERIFY(text.find("70-norvaplex.rules") != std::string::npos);
    // The group named is the node's own, when it is not root's.
    QVERIFY2(text.find("group 'dialout'") == std::string::npos, text.c_str());
    const std::string absent = PermissionDeniedText("/dev/ttyACM-none", "dialout");
    QVERIFY2(absent.find("group 'dialout'") != std::string::npos, absent.c_str());
}

void TestSerprogBus::driversAreSwitchedOffAtClose()
{
    CMemoryBus chip;
    CSerprogEmulator emulator(chip);
    std::string error;
    auto bus = CSerprogBus::Open(emulator.SlavePath(), FastOptions(), error);
    QVERIFY2(bus, error.c_str());
    QCOMPARE(emulator.PinStateChanges(), 1);
    bus.reset();
    QTRY_COMPARE(emulator.PinStateChanges(), 2);
}

QTEST_GUILESS_MAIN(TestSerprogBus)
#include "tst_serprogbus.moc"
