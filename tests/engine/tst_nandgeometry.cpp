#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "FileMemoryNode.h"
#include "NandGeometry.h"
#include "NandOptionsPanel.h"
#include "NandPackets.h"
#include "NandProgrammer.h"
#include "NandReplyLayout.h"
#include "RecordingFrame.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

// The NAND engine's arithmetic and set-up, without an adapter: address
// bytes, chip enables, marker offsets, packet layouts, where reply pieces
// belong, construction, the option panel and range normalisation.
class TestNandGeometry : public QObject
{
    Q_OBJECT

private:
    // A NAND entry of pageSize x pagesPerBlock x blocks with chipEnables.
    static std::unique_ptr<CDeviceItemNand> Device(uint32_t pageSize, uint32_t pagesPerBlock, uint64_t blocks,
                                                   int chipEnables = 1)
    {
        auto device = std::make_unique<CDeviceItemNand>();
        device->m_name = "TESTNAND";
        device->m_pageSize = pageSize;
        device->m_pagesPerBlock = pagesPerBlock;
        device->m_size = uint64_t(pageSize) * pagesPerBlock * blocks;
        device->m_ceCount = chipEnables;
        return device;
    }

    // The leading bytes of a 20-byte packet, zeros after.
    static QByteArray Hex20(const char *leading)
    {
        QByteArray bytes = QByteArray::fromHex(leading);
        bytes.append(20 - bytes.size(), '\0');
        return bytes;
    }

    static QByteArray Bytes(const Adapter::CPacket &packet)
    {
        return QByteArray(reinterpret_cast<const char *>(packet.bytes), packet.length);
    }

private slots:
    void addressBytes_data();
    void addressBytes();
    void chipEnableOfPage_data();
    void chipEnableOfPage();
    void markerOffset_data();
    void markerOffset();
    void pageCount_data();
    void pageCount();
    void packets_data();
    void packets();
    void replyLayout_data();
    void replyLayout();
    void construction();
    void optionPanel();
    void normalizeRange_data();
    void normalizeRange();
};

void TestNandGeometry::addressBytes_data()
{
    QTest::addColumn<uint>("pageSize");
    QTest::addColumn<uint>("pagesPerChip");
    QTest::addColumn<int>("columnBytes");
    QTest::addColumn<int>("rowBytes");
    QTest::newRow("small page") << 528u << 32768u << 1 << 2;
    QTest::newRow("2 KiB page") << 2112u << 65535u << 2 << 2;
    QTest::newRow("65536 pages need 3") << 2112u << 65536u << 2 << 3;
    QTest::newRow("16 KiB page") << 17664u << 262144u << 2 << 3;
    QTest::newRow("8 KiB page, 2^24 pages") << 8640u << 16777216u << 2 << 4;
    QTest::newRow("256 pages") << 2112u << 256u << 2 << 2;
    QTest::newRow("255 pages") << 2112u << 255u << 2 << 1;
}

void TestNandGeometry::addressBytes()
{
    QFETCH(uint, pageSize);
    QFETCH(uint, pagesPerChip);
    QFETCH(int, columnBytes);
    QFETCH(int, rowBytes);
    const auto device = Device(pageSize, 1, pagesPerChip);
    const CNandGeometry g = CNandGeometry::FromDevice(*device);
    QCOMPARE(g.pagesPerChip, pagesPerChip);
    QCOMPARE(int(g.columnBytes), columnBytes);
    QCOMPARE(int(g.rowBytes), rowBytes);
}

void TestNandGeometry::chipEnableOfPage_data()
{
    QTest::addColumn<int>("chipEnables");
    QTest::addColumn<qulonglong>("page");
    QTest::addColumn<int>("chipEnable");
    QTest::addColumn<uint>("row");
    // 4 blocks of 64 pages per chip enable.
    QTest::newRow("first page") << 2 << 0ull << 0 << 0u;
    QTest::newRow("last page of chip enable 0") << 2 << 255ull << 0 << 255u;
    QTest::newRow("first page of chip enable 1") << 2 << 256ull << 1 << 0u;
    QTest::newRow("block 5") << 2 << 320ull << 1 << 64u;
    QTest::newRow("fourth chip enable") << 4 << 3ull * 256 + 7 << 3 << 7u;
    QTest::newRow("one chip enable") << 1 << 255ull << 0 << 255u;
}

void TestNandGeometry::chipEnableOfPage()
{
    QFETCH(int, chipEnables);
    QFETCH(qulonglong, page);
    QFETCH(int, chipEnable);
    QFETCH(uint, row);
    const auto device = Device(2112, 64, 4 * uint64_t(chipEnables), chipEnables);
    const CNandGeometry g = CNandGeometry::FromDevice(*device);
    QCOMPARE(int(g.ChipEnableOf(page)), chipEnable);
    QCOMPARE(g.RowOf(page), row);
    QCOMPARE(g.PagesLeftInChip(page), uint64_t(g.pagesPerChip - row));
}

void TestNandGeometry::markerOffset_data()
{
    QTest::addColumn<uint>("pageSize");
    QTest::addColumn<int>("offset"); // -1: unsupported
    const QList<QPair<uint, int>> known = {{528, 512},   {2112, 2048}, {2176, 2048}, {4224, 4096}, {4314, 4096},
                                           {4320, 4096}, {8568, 8192}, {8628, 8192}, {8640, 8192}, {8704, 8192},
                                           {8936, 8192}, {9216, 8192}, {17664, 16384}};
    for (const auto &[pageSize, offset] : known)
        QTest::addRow("%u", pageSize) << pageSize << offset;
    QTest::newRow("513") << 513u << 512;
    QTest::newRow("2047") << 2047u << 512;
    QTest::newRow("2049") << 2049u << 2048;
    QTest::newRow("4095") << 4095u << 2048;
    QTest::newRow("4097") << 4097u << 4096;
    QTest::newRow("8191") << 8191u << 4096;
    QTest::newRow("8193") << 8193u << 8192;
    QTest::newRow("16383") << 16383u << 8192;
    for (uint unsupported : {0u, 256u, 512u, 2048u, 4096u, 8192u, 16384u, 16385u, 17663u, 32768u})
        QTest::addRow("%u unsupported", unsupported) << unsupported << -1;
}

void TestNandGeometry::markerOffset()
{
    QFETCH(uint, pageSize);
    QFETCH(int, offset);
    const std::optional<uint32_t> found = MarkerOffsetFor(pageSize);
    QCOMPARE(found.has_value(), offset >= 0);
    if (found)
        QCOMPARE(int(*found), offset);
}

void TestNandGeometry::pageCount_data()
{
    QTest::addColumn<uint>("pages");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::newRow("64") << 64u << 0x40 << 0x01;
    QTest::newRow("256") << 256u << 0x00 << 0x01;
    QTest::newRow("512") << 512u << 0x00 << 0x02;
    QTest::newRow("511") << 511u << 0xFF << 0x02;
    QTest::newRow("1") << 1u << 0x01 << 0x01;
    QTest::newRow("192") << 192u << 0xC0 << 0x01;
}

void TestNandGeometry::pageCount()
{
    QFETCH(uint, pages);
    QFETCH(int, low);
    QFETCH(int, high);
    uint8_t bytes[2] = {0xEE, 0xEE};
    NandPacket::PutPageCount(bytes, pages);
    QCOMPARE(int(bytes[0]), low);
    QCOMPARE(int(bytes[1]), high);
}

void TestNandGeometry::packets_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("expected");
    // 2112-byte pages, 65536 pages per chip enable: 2 column and 3 row bytes.
    const auto big = Device(2112, 64, 1024 * 2, 2);
    const CNandGeometry g = CNandGeometry::FromDevice(*big);
    // 528-byte pages, 1024 pages: 1 column and 2 row bytes.
    const auto small = Device(528, 32, 32);
    const CNandGeometry s = CNandGeometry::FromDevice(*small);
    QTest::newRow("read") << Bytes(NandPacket::Read(g, 0x012345, 64)) << Hex20("27050000452301004008" "4001");
    QTest::newRow("program") << Bytes(NandPacket::Program(g, 0x40, 512)) << Hex20("1C050000400000004008" "0002");
    QTest::newRow("read, small page") << Bytes(NandPacket::Read(s, 0x3E0, 32)) << Hex20("270300E0030000001002" "2001");
    QTest::newRow("erase") << Bytes(NandPacket::Erase(g, 0x00FFC0)) << Hex20("1B03C0FF");
    QTest::newRow("marker read") << Bytes(NandPacket::MarkerRead(g, 0x80, 512)) << Hex20("370500008000000000020000");
    QTest::newRow("read ID") << Bytes(NandPacket::ReadId()) << QByteArray::fromHex("290100000000");
    QTest::newRow("parameter page") << Bytes(NandPacket::ReadParamPage()) << QByteArray::fromHex("2A0100000000");
    QTest::newRow("program finished") << Bytes(NandPacket::ProgramFinished()) << QByteArray::fromHex("32");
    QTest::newRow("timing, speed 3") << Bytes(NandPacket::Timing(3)) << QByteArray::fromHex("30000820084008600800");
    const int levels[4] = {1, 2, 0, 7};
    QTest::newRow("pins low, high, free, odd") << Bytes(NandPacket::PinConfig(levels))
                                               << QByteArray::fromHex("35000102000000000000");
}

void TestNandGeometry::packets()
{
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, expected);
    QCOMPARE(packet.toHex(' '), expected.toHex(' '));
}

void TestNandGeometry::replyLayout_data()
{
    QTest::addColumn<qulonglong>("address");
    QTest::addColumn<qulonglong>("length");
    QTest::addColumn<qulonglong>("blockBytes");
    QTest::addColumn<uint>("unit");
    QTest::addColumn<int>("pieceAddress");
    QTest::addColumn<uint>("pieceSize");
    QTest::addColumn<qulonglong>("chipAddress");
    QTest::addColumn<uint>("chipBytes");
    QTest::addColumn<uint>("totalUnits");
    const qulonglong big = 2112 * 64;
    QTest::newRow("whole units, second block") << 0ull << 3 * big << big << 512u << 264 << uint(big) << big
                                               << uint(big) << 792u;
    QTest::newRow("whole units, window at block 2")
        << 2 * big << 2 * big << big << 512u << 3 * 264 << uint(big) << 3 * big << uint(big) << 528u;
    QTest::newRow("whole units, 512-byte piece") << 0ull << big << big << 512u << 7 << 512u << 7 * 512ull << 512u
                                                 << 264u;
    // 528 x 16 = 8448 bytes: 16.5 units, replies of 17 units.
    QTest::newRow("padded, first block") << 0ull << 8448ull * 4 << 8448ull << 512u << 0 << 8704u << 0ull << 8448u
                                         << 68u;
    QTest::newRow("padded, third block") << 0ull << 8448ull * 4 << 8448ull << 512u << 34 << 8704u << 2 * 8448ull
                                         << 8448u << 68u;
    QTest::newRow("padded, odd start block") << 8448ull << 8448ull * 2 << 8448ull << 512u << 16 + 17 << 8704u
                                             << 2 * 8448ull << 8448u << 34u;
    QTest::newRow("padding piece only") << 0ull << 8448ull << 8448ull << 512u << 16 << 512u << 16 * 512ull << 256u
                                        << 17u;
    QTest::newRow("short last block") << 0ull << big + 2112 << big << 512u << 264 << 8704u << big << 2112u << 269u;
}

void TestNandGeometry::replyLayout()
{
    QFETCH(qulonglong, address);
    QFETCH(qulonglong, length);
    QFETCH(qulonglong, blockBytes);
    QFETCH(uint, unit);
    QFETCH(int, pieceAddress);
    QFETCH(uint, pieceSize);
    QFETCH(qulonglong, chipAddress);
    QFETCH(uint, chipBytes);
    QFETCH(uint, totalUnits);
    const CNandReplyLayout layout = CNandReplyLayout::Make(address, length, blockBytes, unit);
    const CNandReplyLayout::CPlace place = layout.Locate(pieceAddress, pieceSize);
    QCOMPARE(place.chipAddress, chipAddress);
    QCOMPARE(place.bytes, chipBytes);
    QCOMPARE(layout.TotalUnits(), totalUnits);
    // The record addresses run on without gaps, so the window's progress
    // ends exactly with the last reply.
    const uint64_t last = layout.CommandCount() - 1;
    QCOMPARE(layout.CommandUnit(last) + layout.ReplyLength(last) / unit, layout.firstUnit + totalUnits);
}

void TestNandGeometry::construction()
{
    CRecordingFrame frame;
    CDeviceFamilyNand family;
    QVERIFY(family.AddLine("Name=\"K9WAG08U1A\",ID1=\"ech\",ID2=\"d3h\",size=\"84000000h\",PageSize=\"840h\","
                           "BlockSize=\"40h\",CE=\"2\""));
    auto *device = dynamic_cast<CDeviceItemNand *>(family.FindByName("K9WAG08U1A"));
    QVERIFY(device);
    CNandProgrammer engine(device);
    QCOMPARE(engine.capabilities(), 0x9Fu);
    QCOMPARE(engine.buffer(0)->GetName(), QString("Nand"));
    QCOMPARE(engine.buffer(1)->GetName(), QString("Target"));
    QVERIFY(engine.buffer(2) == nullptr);
    QCOMPARE(engine.mainBuffer()->GetNominalSize(), 0x84000000ull);
    QCOMPARE(engine.targetBuffer()->GetBaseAddress(), 0ull);
    QCOMPARE(engine.geometry().blockBytes, 2112ull * 64);
    QCOMPARE(engine.geometry().pagesPerChip, 0x84000000u / 2 / 2112);
    QCOMPARE(engine.sourceBbt()->count(), 16384u);
    QCOMPARE(engine.targetBbt()->count(), 16384u);
    QCOMPARE(engine.sourceBbt()->state(100), uint32_t(CBadBlockTable::Unknown));
    QCOMPARE(engine.startBlock(), 0u);
    QCOMPARE(engine.blockCount(), 16384u);
    QVERIFY(engine.optionsPanel());
    QCOMPARE(engine.optionsPanel()->width(), 500);
    // Construction leaves the adapter alone: nothing is sent before a connection.
    engine.logChipSelects();
    QCOMPARE(frame.log.last(), QString("CE Pin = 2"));
}

void TestNandGeometry::optionPanel()
{
    CRecordingFrame frame;
    const auto device = Device(2112, 64, 1024);
    CNandProgrammer engine(device.get());
    CNandOptionsPanel *panel = engine.optionsPanelWidget();
    QVERIFY(panel);
    QStringList labels;
    for (QLabel *label : panel->findChildren<QLabel *>())
        labels << label->text();
    QCOMPARE(labels, QStringList({"Start Block:", "Number of Blocks:", "Copy source badblock"}));
    QCOMPARE(panel->startEdit()->text(), QString("0"));
    QCOMPARE(panel->countEdit()->text(), QString("1024"));
    QVERIFY(panel->copyBadBlocksBox()->isChecked());

    panel->startEdit()->clear();
    QTest::keyClicks(panel->startEdit(), "100");
    QCOMPARE(panel->countEdit()->text(), QString("924"));
    QCOMPARE(engine.startBlock(), 100u);
    QCOMPARE(engine.blockCount(), 924u);
    // Numbers outside the chip are not acceptable input, and the engine
    // reads them as the nearest window that fits.
    panel->countEdit()->selectAll();
    QTest::keyClicks(panel->countEdit(), "925");
    QVERIFY(!panel->countEdit()->hasAcceptableInput());
    QCOMPARE(panel->blockCount(), 924u);
    panel->startEdit()->selectAll();
    QTest::keyClicks(panel->startEdit(), "1024");
    QVERIFY(!panel->startEdit()->hasAcceptableInput());
    QCOMPARE(panel->startBlock(), 1023u);
    QCOMPARE(panel->blockCount(), 1u);
}

void TestNandGeometry::normalizeRange_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("count");
    QTest::addColumn<qulonglong>("address");
    QTest::addColumn<qulonglong>("length");
    QTest::addColumn<qulonglong>("expectedAddress");
    QTest::addColumn<qulonglong>("expectedLength");
    const qulonglong b = 2112 * 64;
    const qulonglong chip = 1024 * b;
    QTest::newRow("empty range: the window") << "0" << "1024" << 0ull << 0ull << 0ull << chip;
    QTest::newRow("rounded down to blocks") << "0" << "1024" << b + 5 << 2 * b + 7 << b << 2 * b;
    QTest::newRow("address beyond the chip") << "0" << "1024" << chip << b << 0ull << b;
    QTest::newRow("end beyond the chip") << "0" << "1024" << 1000 * b << 30 * b << 0ull << chip;
    QTest::newRow("before the window") << "10" << "20" << 4 * b << 10 * b << 10 * b << 4 * b;
    QTest::newRow("longer than the window") << "10" << "20" << 10 * b << 100 * b << 10 * b << 20 * b;
    QTest::newRow("empty range, window") << "10" << "20" << 0ull << 0ull << 10 * b << 20 * b;
    QTest::newRow("ends before the window") << "10" << "20" << 2 * b << 3 * b << 10 * b << 0ull;
    QTest::newRow("count left empty: the rest of the chip") << "1000" << "" << 0ull << 0ull << 1000 * b << 24 * b;
}

void TestNandGeometry::normalizeRange()
{
    QFETCH(QString, start);
    QFETCH(QString, count);
    QFETCH(qulonglong, address);
    QFETCH(qulonglong, length);
    QFETCH(qulonglong, expectedAddress);
    QFETCH(qulonglong, expectedLength);
    CRecordingFrame frame;
    const auto device = Device(2112, 64, 1024);
    CNandProgrammer engine(device.get());
    engine.optionsPanelWidget()->startEdit()->setText(start);
    engine.optionsPanelWidget()->countEdit()->setText(count);
    uint64_t a = address;
    uint64_t l = length;
    engine.normalizeRange(a, l);
    QCOMPARE(a, expectedAddress);
    QCOMPARE(l, expectedLength);
}

QTEST_MAIN(TestNandGeometry)
#include "tst_nandgeometry.moc"
