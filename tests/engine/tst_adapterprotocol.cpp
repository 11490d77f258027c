#include "AdapterProtocol.h"

#include <QTest>

// The packet builders of the worker base and the byte-order helpers: the
// exact bytes the adapter gets.

namespace {
QByteArray Bytes(const Adapter::CPacket &packet)
{
    return QByteArray(reinterpret_cast<const char *>(packet.bytes), packet.length).toHex(' ');
}
} // namespace

class TestAdapterProtocol : public QObject
{
    Q_OBJECT

private slots:
    void setTargetPacket_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("family");
        QTest::addColumn<bool>("highSpeed");
        QTest::addColumn<int>("algorithm");
        QTest::addColumn<int>("columnBytes");
        QTest::addColumn<int>("rowBytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("NAND, high speed") << 0 << int(Adapter::FamilyNand) << true << 3 << 2 << 3
                                          << QByteArray("10 00 00 01 00 02 03 00 00 00");
        QTest::newRow("NAND, full speed") << 1 << int(Adapter::FamilyNand) << false << 0 << 1 << 2
                                          << QByteArray("10 01 00 00 00 01 02 00 00 00");
        QTest::newRow("SPI, algorithm 4") << 1 << int(Adapter::FamilySpi) << true << 4 << 2 << 3
                                          << QByteArray("10 01 01 01 04 00 00 00 00 00");
        QTest::newRow("SPI, algorithm beyond 4 is sent as 0")
            << 1 << int(Adapter::FamilySpi) << true << 5 << 0 << 0 << QByteArray("10 01 01 01 00 00 00 00 00 00");
    }
    void setTargetPacket()
    {
        QFETCH(int, kind);
        QFETCH(int, family);
        QFETCH(bool, highSpeed);
        QFETCH(int, algorithm);
        QFETCH(int, columnBytes);
        QFETCH(int, rowBytes);
        QFETCH(QByteArray, expected);
        Adapter::CTargetSetup setup;
        setup.adapterKind = uint8_t(kind);
        setup.family = uint8_t(family);
        setup.highSpeedLink = highSpeed;
        setup.spiAlgorithm = uint8_t(algorithm);
        setup.columnBytes = uint8_t(columnBytes);
        setup.rowBytes = uint8_t(rowBytes);
        QCOMPARE(Bytes(Adapter::SetTargetPacket(setup)), expected);
    }

    void fixedPackets_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("adapter identification")
            << Bytes(Adapter::ReadAdapterIdPacket()) << QByteArray("18 00 02 00 0a 00 00 00 00");
        QTest::newRow("sleep 0x1234 ms") << Bytes(Adapter::SleepPacket(0x1234))
                                         << QByteArray("2e 12 34 00 00 00 00 00 00 00");
        QTest::newRow("marker") << Bytes(Adapter::MarkerPacket()) << QByteArray("38");
        QTest::newRow("select chip 2") << Bytes(Adapter::SelectChipPacket(2)) << QByteArray("36 02");
        QTest::newRow("end of operation") << Bytes(Adapter::EndOperationPacket()) << QByteArray("33 00");
        QTest::newRow("parameter byte") << Bytes(Adapter::ParamPacket(0xA5)) << QByteArray("1d a5");
        QTest::newRow("status query") << Bytes(Adapter::StatusPacket()) << QByteArray("12");
    }
    void fixedPackets()
    {
        QFETCH(QByteArray, packet);
        QFETCH(QByteArray, expected);
        QCOMPARE(packet, expected);
    }

    void byteOrder()
    {
        uint8_t bytes[4] = {};
        Adapter::PutLE32(bytes, 0x12345678);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(bytes), 4).toHex(), QByteArray("78563412"));
        Adapter::PutBE32(bytes, 0x12345678);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(bytes), 4).toHex(), QByteArray("12345678"));
        Adapter::PutBE24(bytes, 0xABCDEF);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(bytes), 3).toHex(), QByteArray("abcdef"));
        Adapter::PutLE16(bytes, 0x0840);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(bytes), 2).toHex(), QByteArray("4008"));
    }

    void getLE_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<uint>("expected");
        QTest::newRow("1 byte") << 1 << 0x11u;
        QTest::newRow("2 bytes") << 2 << 0x2211u;
        QTest::newRow("3 bytes") << 3 << 0x332211u;
        QTest::newRow("4 bytes") << 4 << 0x44332211u;
    }
    void getLE()
    {
        QFETCH(int, count);
        QFETCH(uint, expected);
        const uint8_t bytes[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
        QCOMPARE(Adapter::GetLE(bytes, count), expected);
    }
};

QTEST_GUILESS_MAIN(TestAdapterProtocol)
#include "tst_adapterprotocol.moc"
