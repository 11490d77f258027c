#include "DeviceFamily.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "DeviceKeys.h"

#include <QTemporaryDir>
#include <QTest>

// The device list reader and writer: attribute lookup, the two entry parsers,
// init records, the family's line handling and the written line read back.
class TestDeviceReader : public QObject
{
    Q_OBJECT

private:
    static QByteArray ValidIds(const CDeviceItemNand &nand)
    {
        QByteArray ids;
        for (int i = 0; i < CDeviceItemNand::ID_BYTES; ++i)
            ids += nand.m_idValid[i] ? char(nand.m_id[i]) : '-';
        return ids;
    }
    static QString Pins(const CDeviceItemNand &nand)
    {
        QString pins;
        for (int level : nand.m_pinLevel)
            pins += QString::number(level);
        return pins;
    }
    static QByteArray Ids(const CDeviceItemSPIFlash &spi)
    {
        return QByteArray(reinterpret_cast<const char *>(spi.m_id), CDeviceItemSPIFlash::ID_BYTES);
    }
    static QByteArray Records(const CDeviceItemSPIFlash &spi)
    {
        return QByteArray(reinterpret_cast<const char *>(spi.m_init), sizeof(spi.m_init));
    }

private slots:
    void getAttribute_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");

        QTest::newRow("name upper-cased") << "Name=\"abc\"" << int(KEY_NAME) << true << "ABC";
        QTest::newRow("key case ignored") << "nAmE=\"x1\"" << int(KEY_NAME) << true << "X1";
        QTest::newRow("message keeps case") << "Name=\"a\",Message=\"Hello There\"" << int(KEY_MESSAGE) << true
                                            << "Hello There";
        QTest::newRow("adapter keeps case") << "Adapter=\"TopMod\"" << int(KEY_ADAPTER) << true << "TopMod";
        QTest::newRow("message key is exact") << "message=\"Hello\"" << int(KEY_MESSAGE) << false << "";
        QTest::newRow("size not inside PageSize")
            << "Name=\"n\",PageSize=\"840h\",size=\"8400000h\"" << int(KEY_SIZE) << true << "8400000H";
        QTest::newRow("PageSize before size") << "PageSize=\"840h\",size=\"8400000h\"" << int(KEY_PAGE_SIZE)
                                              << true << "840H";
        QTest::newRow("size only inside SectorSize") << "Name=\"n\",SectorSize=\"1000h\"" << int(KEY_SIZE) << false
                                                     << "";
        QTest::newRow("lower-case letter before key") << "xsize=\"10h\"" << int(KEY_SIZE) << false << "";
        QTest::newRow("digit before key") << "1size=\"10h\"" << int(KEY_SIZE) << true << "10H";
        QTest::newRow("key at start") << "size=\"10h\"" << int(KEY_SIZE) << true << "10H";
        QTest::newRow("any separator") << "Name=\"n\" ; size=\"20h\"" << int(KEY_SIZE) << true << "20H";
        QTest::newRow("value to end of line") << "Name=\"open" << int(KEY_NAME) << true << "OPEN";
        QTest::newRow("empty value") << "ID2=\"\"" << int(KEY_ID1 + 1) << true << "";
        QTest::newRow("absent") << "Name=\"n\"" << int(KEY_MFG) << false << "";
        QTest::newRow("first of two") << "CE=\"2\",CE=\"4\"" << int(KEY_CE) << true << "2";
        QTest::newRow("latin-1 upper-cased") << QString::fromLatin1("MFG=\"caf\xe9\"") << int(KEY_MFG) << true
                                             << QString::fromLatin1("CAF\xc9");
        QTest::newRow("index outside table") << "Name=\"n\"" << int(KEY_COUNT) << false << "";
    }
    void getAttribute()
    {
        QFETCH(QString, line);
        QFETCH(int, key);
        QFETCH(bool, found);
        QFETCH(QString, value);
        QString text = QStringLiteral("untouched");
        QCOMPARE(GetAttribute(line, key, &text), found);
        if (found)
            QCOMPARE(text, value);
    }

    void getAttributeAsNumber()
    {
        int number = -1;
        QVERIFY(GetAttribute("Speed=\"7\"", KEY_SPEED, nullptr, &number));
        QCOMPARE(number, 7);
        QVERIFY(GetAttribute("Speed=\"fast\"", KEY_SPEED, nullptr, &number));
        QCOMPARE(number, 0);
        QVERIFY(!GetAttribute("Speed=\"7\"", KEY_SPEED, nullptr, nullptr));
        QVERIFY(!GetAttribute("IO=\"4\"", KEY_SPEED, nullptr, &number));
    }

    void hexValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint64>("optionalSuffix");
        QTest::addColumn<quint64>("withSuffix");

        QTest::newRow("h suffix") << "840h" << quint64(0x840) << quint64(0x840);
        QTest::newRow("H suffix") << "840H" << quint64(0x840) << quint64(0x840);
        QTest::newRow("no suffix") << "840" << quint64(0x840) << quint64(0x84);
        QTest::newRow("other last character") << "840x" << quint64(0) << quint64(0x840);
        QTest::newRow("64-bit") << "108000000h" << quint64(0x108000000) << quint64(0x108000000);
        QTest::newRow("not a number") << "zzh" << quint64(0) << quint64(0);
        QTest::newRow("empty") << "" << quint64(0) << quint64(0);
        QTest::newRow("only h") << "h" << quint64(0) << quint64(0);
    }
    void hexValues()
    {
        QFETCH(QString, text);
        QFETCH(quint64, optionalSuffix);
        QFETCH(quint64, withSuffix);
        QCOMPARE(ParseHex(text), optionalSuffix);
        QCOMPARE(ParseHexSuffixed(text), withSuffix);
    }

    void nandParse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint64>("size");
        QTest::addColumn<uint>("pageSize");
        QTest::addColumn<uint>("pagesPerBlock");
        QTest::addColumn<int>("idCount");
        QTest::addColumn<QByteArray>("ids"); // one char per ID position, '-' when not compared
        QTest::addColumn<int>("pageClass");
        QTest::addColumn<int>("ce");
        QTest::addColumn<QString>("pins");
        QTest::addColumn<int>("speed");

        const QByteArray fiveIds("\xEC\xF1\x00\x95\x40-", 6);
        QTest::newRow("full entry")
            << "Name=\"K9F1G08U0B\",MFG=\"SAMSUNG\",ID1=\"ech\",ID2=\"f1h\",ID3=\"00h\",ID4=\"95h\",ID5=\"40h\","
               "size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\""
            << true << "K9F1G08U0B" << quint64(0x8400000) << 0x840u << 0x40u << 5 << fiveIds << 1 << 1 << "0000" << 10;
        QTest::newRow("name upper-cased") << "Name=\"abc\",ID1=\"ech\",BlockSize=\"20h\"" << true << "ABC" << quint64(0)
                                          << 0x840u << 0x20u << 1 << QByteArray("\xEC-----") << 1 << 1 << "0000" << 10;
        QTest::newRow("PageSize before size")
            << "Name=\"n\",PageSize=\"840h\",size=\"8400000h\",ID1=\"ech\",ID2=\"f1h\",ID3=\"1h\",BlockSize=\"40h\""
            << true << "N" << quint64(0x8400000) << 0x840u << 0x40u << 3 << QByteArray("\xEC\xF1\x01---") << 1 << 1
            << "0000" << 10;
        QTest::newRow("PageSize without suffix") << "Name=\"n\",ID1=\"ech\",PageSize=\"840\",BlockSize=\"40h\"" << true
                                                 << "N" << quint64(0) << 0x84u << 0x40u << 1
                                                 << QByteArray("\xEC-----") << 0 << 1 << "0000" << 10;
        QTest::newRow("two IDs: small page") << "Name=\"n\",ID1=\"ech\",ID2=\"75h\",size=\"2100000h\",BlockSize=\"20h\""
                                             << true << "N" << quint64(0x2100000) << 0x840u << 0x20u << 2
                                             << QByteArray("\xECu----") << 0 << 1 << "0000" << 10;
        QTest::newRow("two IDs, large PageSize")
            << "Name=\"NAND1G\",MFG=\"MAKER\",ID1=\"ech\",ID2=\"f1h\",size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\""
            << true << "NAND1G" << quint64(0x8400000) << 0x840u << 0x40u << 2 << QByteArray("\xEC\xF1----") << 1 << 1
            << "0000" << 10;
        QTest::newRow("two IDs, small PageSize") << "Name=\"n\",ID1=\"ech\",ID2=\"75h\",PageSize=\"210h\",BlockSize=\"20h\""
                                                 << true << "N" << quint64(0) << 0x210u << 0x20u << 2
                                                 << QByteArray("\xECu----") << 0 << 1 << "0000" << 10;
        QTest::newRow("two IDs, huge PageSize keeps class")
            << "Name=\"n\",ID1=\"ech\",ID2=\"75h\",PageSize=\"4500h\",BlockSize=\"20h\"" << true << "N" << quint64(0)
            << 0x4500u << 0x20u << 2 << QByteArray("\xECu----") << 0 << 1 << "0000" << 10;
        QTest::newRow("page class 2") << "Name=\"n\",ID1=\"2ch\",PageSize=\"10E0h\",BlockSize=\"80h\"" << true << "N"
                                      << quint64(0) << 0x10E0u << 0x80u << 1 << QByteArray(",-----") << 2 << 1
                                      << "0000" << 10;
        QTest::newRow("gap in IDs stops counting")
            << "Name=\"n\",ID1=\"ech\",ID2=\"f1h\",ID4=\"95h\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u
            << 0x40u << 2 << QByteArray("\xEC\xF1----") << 0 << 1 << "0000" << 10;
        QTest::newRow("empty ID value is skipped")
            << "Name=\"n\",ID1=\"ech\",ID2=\"\",ID3=\"10h\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u
            << 0x40u << 3 << QByteArray("\xEC-\x10---", 6) << 1 << 1 << "0000" << 10;
        QTest::newRow("no IDs") << "Name=\"n\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u << 0x40u << 0
                                << QByteArray("------") << 1 << 1 << "0000" << 10;
        QTest::newRow("size without suffix") << "Name=\"n\",size=\"8400000\",BlockSize=\"40h\"" << true << "N"
                                             << quint64(0x8400000) << 0x840u << 0x40u << 0 << QByteArray("------") << 1
                                             << 1 << "0000" << 10;
        QTest::newRow("CE 2") << "Name=\"n\",CE=\"2\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u << 0x40u
                              << 0 << QByteArray("------") << 1 << 2 << "0000" << 10;
        QTest::newRow("CE 4") << "Name=\"n\",CE=\"4\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u << 0x40u
                              << 0 << QByteArray("------") << 1 << 4 << "0000" << 10;
        QTest::newRow("CE 3 becomes 1") << "Name=\"n\",CE=\"3\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u
                                        << 0x40u << 0 << QByteArray("------") << 1 << 1 << "0000" << 10;
        QTest::newRow("CE 0 becomes 1") << "Name=\"n\",CE=\"0\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u
                                        << 0x40u << 0 << QByteArray("------") << 1 << 1 << "0000" << 10;
        QTest::newRow("CE keeps its suffix") << "Name=\"n\",CE=\"2h\",BlockSize=\"40h\"" << true << "N" << quint64(0)
                                             << 0x840u << 0x40u << 0 << QByteArray("------") << 1 << 1 << "0000" << 10;
        QTest::newRow("speed 7") << "Name=\"n\",Speed=\"7\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u
                                 << 0x40u << 0 << QByteArray("------") << 1 << 1 << "0000" << 7;
        QTest::newRow("speed 0 becomes 10") << "Name=\"n\",Speed=\"0\",BlockSize=\"40h\"" << true << "N" << quint64(0)
                                            << 0x840u << 0x40u << 0 << QByteArray("------") << 1 << 1 << "0000" << 10;
        QTest::newRow("speed 11 becomes 10") << "Name=\"n\",Speed=\"11\",BlockSize=\"40h\"" << true << "N" << quint64(0)
                                             << 0x840u << 0x40u << 0 << QByteArray("------") << 1 << 1 << "0000" << 10;
        QTest::newRow("init pins") << "Name=\"n\",Init=\"0110\",BlockSize=\"40h\"" << true << "N" << quint64(0) << 0x840u
                                   << 0x40u << 0 << QByteArray("------") << 1 << 1 << "1221" << 10;
        QTest::newRow("init other characters") << "Name=\"n\",Init=\"0x1 \",BlockSize=\"40h\"" << true << "N"
                                               << quint64(0) << 0x840u << 0x40u << 0 << QByteArray("------") << 1 << 1
                                               << "1020" << 10;
        QTest::newRow("init of 3 characters ignored") << "Name=\"n\",Init=\"011\",BlockSize=\"40h\"" << true << "N"
                                                      << quint64(0) << 0x840u << 0x40u << 0 << QByteArray("------")
                                                      << 1 << 1 << "0000" << 10;
        QTest::newRow("missing BlockSize") << "Name=\"n\",ID1=\"ech\",size=\"8400000h\",PageSize=\"840h\"" << false
                                           << "" << quint64(0) << 0u << 0u << 0 << QByteArray() << 0 << 0 << "" << 0;
        QTest::newRow("missing Name") << "MFG=\"x\",ID1=\"ech\",BlockSize=\"40h\"" << false << "" << quint64(0) << 0u
                                      << 0u << 0 << QByteArray() << 0 << 0 << "" << 0;
        QTest::newRow("empty line") << "" << false << "" << quint64(0) << 0u << 0u << 0 << QByteArray() << 0 << 0 << ""
                                    << 0;
    }
    void nandParse()
    {
        QFETCH(QString, line);
        QFETCH(bool, accepted);
        CDeviceItemNand nand;
        QCOMPARE(nand.Parse(line), accepted);
        if (!accepted)
            return;
        QFETCH(QString, name);
        QFETCH(quint64, size);
        QFETCH(uint, pageSize);
        QFETCH(uint, pagesPerBlock);
        QFETCH(int, idCount);
        QFETCH(QByteArray, ids);
        QFETCH(int, pageClass);
        QFETCH(int, ce);
        QFETCH(QString, pins);
        QFETCH(int, speed);
        QCOMPARE(nand.m_name, name);
        QCOMPARE(nand.m_size, size);
        QCOMPARE(nand.m_pageSize, pageSize);
        QCOMPARE(nand.m_pagesPerBlock, pagesPerBlock);
        QCOMPARE(nand.m_idCount, idCount);
        QCOMPARE(ValidIds(nand), ids);
        QCOMPARE(nand.m_pageClass, pageClass);
        QCOMPARE(nand.m_ceCount, ce);
        QCOMPARE(Pins(nand), pins);
        QCOMPARE(nand.m_speed, speed);
        QCOMPARE(nand.m_type, int(DEVICE_NAND));
    }

    void nandCommonFields()
    {
        CDeviceItemNand nand;
        QVERIFY(nand.Parse("Name=\"n\",MFG=\"Hynix\",Algo=\"2h\",Message=\"x\",BlockSize=\"40h\""));
        QCOMPARE(nand.m_mfg, QStringLiteral("HYNIX"));
        QCOMPARE(nand.m_algo, 2u);
        QVERIFY(nand.m_model.isEmpty());
    }

    void spiParse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<quint64>("size");
        QTest::addColumn<uint>("sectorSize");
        QTest::addColumn<uint>("sectorCount");
        QTest::addColumn<uint>("pageSize");
        QTest::addColumn<QByteArray>("ids");
        QTest::addColumn<int>("io");
        QTest::addColumn<QByteArray>("ops"); // erase, status, busy mask, ready value

        const QByteArray plainOps("\xD8\x05\x01\x00", 4);
        QTest::newRow("written example")
            << "Name=\"SPI64M\",MFG=\"MAKER\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\",SectorSize=\"1000h\","
               "SectorNum=\"800h\",IO=\"4\""
            << true << quint64(0x800000) << 0x1000u << 0x800u << 0x200u << QByteArray("\xEF\x40\x17") << 4 << plainOps;
        QTest::newRow("defaults fit 128 KiB") << "Name=\"s\",size=\"20000h\"" << true << quint64(0x20000) << 0x1000u
                                              << 0x20u << 0x200u << QByteArray("\xFF\xFF\xFF") << 1 << plainOps;
        QTest::newRow("IO 2") << "Name=\"s\",size=\"20000h\",IO=\"2\"" << true << quint64(0x20000) << 0x1000u << 0x20u
                              << 0x200u << QByteArray("\xFF\xFF\xFF") << 2 << plainOps;
        QTest::newRow("IO 3 becomes 1") << "Name=\"s\",size=\"20000h\",IO=\"3\"" << true << quint64(0x20000) << 0x1000u
                                        << 0x20u << 0x200u << QByteArray("\xFF\xFF\xFF") << 1 << plainOps;
        QTest::newRow("IO 0 becomes 1") << "Name=\"s\",size=\"20000h\",IO=\"0\"" << true << quint64(0x20000) << 0x1000u
                                        << 0x20u << 0x200u << QByteArray("\xFF\xFF\xFF") << 1 << plainOps;
        QTest::newRow("one ID given") << "Name=\"s\",ID2=\"20h\",size=\"20000h\"" << true << quint64(0x20000) << 0x1000u
                                      << 0x20u << 0x200u << QByteArray("\xFF\x20\xFF") << 1 << plainOps;
        QTest::newRow("status") << "Name=\"s\",size=\"20000h\",Status=\"708080\"" << true << quint64(0x20000)
                                << 0x1000u << 0x20u << 0x200u << QByteArray("\xFF\xFF\xFF") << 1
                                << QByteArray("\xD8\x70\x80\x80");
        QTest::newRow("status of 5 digits ignored") << "Name=\"s\",size=\"20000h\",Status=\"70808\"" << true
                                                    << quint64(0x20000) << 0x1000u << 0x20u << 0x200u
                                                    << QByteArray("\xFF\xFF\xFF") << 1 << plainOps;
        QTest::newRow("algo 3 overrides status")
            << "Name=\"AT45DB161\",ID1=\"1fh\",ID2=\"26h\",ID3=\"00h\",size=\"210000h\",SectorSize=\"21000h\","
               "SectorNum=\"10h\",PageSize=\"210h\",Algo=\"3\",Status=\"050100\""
            << true << quint64(0x210000) << 0x21000u << 0x10u << 0x210u << QByteArray("\x1F\x26\x00", 3) << 1
            << QByteArray("\x7C\xD7\x80\x80");
        QTest::newRow("algo 2 keeps status") << "Name=\"s\",size=\"20000h\",Algo=\"2\",Status=\"708080\"" << true
                                             << quint64(0x20000) << 0x1000u << 0x20u << 0x200u
                                             << QByteArray("\xFF\xFF\xFF") << 1 << QByteArray("\xD8\x70\x80\x80");
        QTest::newRow("sectors do not make the size")
            << "Name=\"s\",size=\"800000h\",SectorSize=\"1000h\",SectorNum=\"400h\"" << false << quint64(0) << 0u << 0u
            << 0u << QByteArray() << 0 << QByteArray();
        QTest::newRow("size missing") << "Name=\"s\",SectorSize=\"1000h\",SectorNum=\"400h\"" << false << quint64(0)
                                      << 0u << 0u << 0u << QByteArray() << 0 << QByteArray();
        QTest::newRow("4 GiB does not fit")
            << "Name=\"s\",size=\"100000000h\",SectorSize=\"10000h\",SectorNum=\"10000h\"" << false << quint64(0) << 0u
            << 0u << 0u << QByteArray() << 0 << QByteArray();
        QTest::newRow("page larger than sector")
            << "Name=\"s\",size=\"20000h\",SectorSize=\"1000h\",SectorNum=\"20h\",PageSize=\"2000h\"" << false
            << quint64(0) << 0u << 0u << 0u << QByteArray() << 0 << QByteArray();
        QTest::newRow("page equal to sector")
            << "Name=\"s\",size=\"20000h\",SectorSize=\"1000h\",SectorNum=\"20h\",PageSize=\"1000h\"" << true
            << quint64(0x20000) << 0x1000u << 0x20u << 0x1000u << QByteArray("\xFF\xFF\xFF") << 1 << plainOps;
        QTest::newRow("page of 0") << "Name=\"s\",size=\"20000h\",PageSize=\"0h\"" << false << quint64(0) << 0u << 0u
                                   << 0u << QByteArray() << 0 << QByteArray();
        QTest::newRow("no name") << "size=\"20000h\"" << false << quint64(0) << 0u << 0u << 0u << QByteArray() << 0
                                 << QByteArray();
    }
    void spiParse()
    {
        QFETCH(QString, line);
        QFETCH(bool, accepted);
        CDeviceItemSPIFlash spi;
        QCOMPARE(spi.Parse(line), accepted);
        if (!accepted)
            return;
        QFETCH(quint64, size);
        QFETCH(uint, sectorSize);
        QFETCH(uint, sectorCount);
        QFETCH(uint, pageSize);
        QFETCH(QByteArray, ids);
        QFETCH(int, io);
        QFETCH(QByteArray, ops);
        QCOMPARE(spi.m_size, size);
        QCOMPARE(spi.m_sectorSize, sectorSize);
        QCOMPARE(spi.m_sectorCount, sectorCount);
        QCOMPARE(spi.m_pageSize, pageSize);
        QCOMPARE(Ids(spi), ids);
        QCOMPARE(spi.m_ioMode, io);
        const uint8_t actual[] = {spi.m_opErase, spi.m_opStatus, spi.m_busyMask, spi.m_readyValue};
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(actual), 4), ops);
        QCOMPARE(spi.m_type, int(DEVICE_SPI));
        QCOMPARE(spi.m_opRead, uint8_t(0x03));
        QCOMPARE(spi.m_opProgram, uint8_t(0x02));
    }

    void initRecords_data()
    {
        QTest::addColumn<QString>("init");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("records"); // the whole record array, 5 x 7 bytes

        auto records = [](std::initializer_list<QByteArray> list) {
            QByteArray all;
            for (const QByteArray &r : list)
                all += r.leftJustified(CDeviceItemSPIFlash::INIT_RECORD_BYTES, '\0');
            return all.leftJustified(CDeviceItemSPIFlash::MAX_INIT_RECORDS * CDeviceItemSPIFlash::INIT_RECORD_BYTES,
                                     '\0');
        };
        const QByteArray empty;
        QTest::newRow("one record with data") << "500100" << 1 << records({QByteArray("\x50\x01\x00", 3)});
        QTest::newRow("two records without data")
            << "06000100" << 2 << records({QByteArray("\x06\x00", 2), QByteArray("\x01\x00", 2)});
        QTest::newRow("trailing H") << "500100H" << 1 << records({QByteArray("\x50\x01\x00", 3)});
        QTest::newRow("trailing h") << "500100h" << 1 << records({QByteArray("\x50\x01\x00", 3)});
        QTest::newRow("odd length ignored") << "50010" << 0 << records({});
        QTest::newRow("two digits left over") << "50010006" << 1 << records({QByteArray("\x50\x01\x00", 3)});
        QTest::newRow("data missing") << "5001" << 1 << records({empty});
        QTest::newRow("five data bytes")
            << "0205A1A2A3A4A50600" << 2 << records({QByteArray("\x02\x05\xA1\xA2\xA3\xA4\xA5"), QByteArray("\x06\x00", 2)});
        QTest::newRow("six data bytes dropped whole")
            << "0106A1A2A3A4A5A60600" << 2 << records({empty, QByteArray("\x06\x00", 2)});
        QTest::newRow("nine data bytes dropped whole")
            << "0109A1A2A3A4A5A6A7A8A90500" << 2 << records({empty, QByteArray("\x05\x00", 2)});
        QTest::newRow("long record last")
            << "0600060006000600" "0109A1A2A3A4A5A6A7A8A9" << 5
            << records({QByteArray("\x06\x00", 2), QByteArray("\x06\x00", 2), QByteArray("\x06\x00", 2),
                        QByteArray("\x06\x00", 2), empty});
        QTest::newRow("count above nine stores nothing")
            << "010A0600060006000600B1B2" << 5
            << records({empty, QByteArray("\x06\x00", 2), QByteArray("\x06\x00", 2), QByteArray("\x06\x00", 2),
                        QByteArray("\x06\x00", 2)});
        QTest::newRow("at most five records")
            << "010002000300040005000600" << 5
            << records({QByteArray("\x01\x00", 2), QByteArray("\x02\x00", 2), QByteArray("\x03\x00", 2),
                        QByteArray("\x04\x00", 2), QByteArray("\x05\x00", 2)});
    }
    void initRecords()
    {
        QFETCH(QString, init);
        QFETCH(int, count);
        QFETCH(QByteArray, records);
        CDeviceItemSPIFlash spi;
        QVERIFY(spi.Parse("Name=\"s\",size=\"20000h\",Init=\"" + init + "\""));
        QCOMPARE(spi.m_initCount, count);
        QCOMPARE(Records(spi).toHex(' '), records.toHex(' '));
        // The record array is the last thing the parser may write: the
        // command bytes that follow keep their defaults.
        QCOMPARE(spi.m_opRead, uint8_t(0x03));
        QCOMPARE(spi.m_opErase, uint8_t(0xD8));
    }

    void writtenLine_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("written");

        QTest::newRow("nand two IDs")
            << int(DEVICE_NAND)
            << "Name=\"NAND1G\",MFG=\"MAKER\",ID1=\"ech\",ID2=\"f1h\",size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\""
            << "Name=\"NAND1G\",MFG=\"MAKER\",ID1=\"ech\",ID2=\"f1h\",size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\"";
        QTest::newRow("nand five IDs, CE 2, extras dropped")
            << int(DEVICE_NAND)
            << "BlockSize=\"80h\",CE=\"2\",Name=\"big\",Speed=\"5\",Init=\"0101\",Algo=\"1\",ID1=\"2Ch\",ID2=\"D7h\","
               "ID3=\"0h\",ID4=\"A6h\",ID5=\"05h\",size=\"108000000h\",PageSize=\"10E0h\",MFG=\"micron\""
            << "Name=\"BIG\",MFG=\"MICRON\",ID1=\"2ch\",ID2=\"d7h\",ID3=\"0h\",ID4=\"a6h\",ID5=\"5h\",size=\"108000000h\","
               "PageSize=\"10E0h\",BlockSize=\"80h\",CE=\"2\"";
        QTest::newRow("nand no IDs")
            << int(DEVICE_NAND) << "Name=\"n\",BlockSize=\"20h\",PageSize=\"210h\",size=\"2100000h\""
            << "Name=\"N\",MFG=\"\",size=\"2100000h\",PageSize=\"210h\",BlockSize=\"20h\"";
        QTest::newRow("spi with IO")
            << int(DEVICE_SPI)
            << "Name=\"SPI64M\",MFG=\"MAKER\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\",SectorSize=\"1000h\","
               "SectorNum=\"800h\",IO=\"4\""
            << "Name=\"SPI64M\",MFG=\"MAKER\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\",SectorSize=\"1000h\","
               "SectorNum=\"800h\",IO=\"4\"";
        QTest::newRow("spi extras dropped")
            << int(DEVICE_SPI)
            << "Name=\"s\",ID1=\"bfh\",ID2=\"25h\",size=\"200000h\",SectorSize=\"10000h\",SectorNum=\"20h\",Speed=\"3\","
               "Algo=\"2\",Init=\"500100\",Status=\"708080\",PageSize=\"100h\""
            << "Name=\"S\",MFG=\"\",ID1=\"bfh\",ID2=\"25h\",ID3=\"ffh\",size=\"200000h\",SectorSize=\"10000h\","
               "SectorNum=\"20h\"";
    }
    void writtenLine()
    {
        QFETCH(int, type);
        QFETCH(QString, line);
        QFETCH(QString, written);

        std::unique_ptr<CDeviceItem> first, second;
        if (type == DEVICE_NAND) {
            first = std::make_unique<CDeviceItemNand>();
            second = std::make_unique<CDeviceItemNand>();
        } else {
            first = std::make_unique<CDeviceItemSPIFlash>();
            second = std::make_unique<CDeviceItemSPIFlash>();
        }
        QVERIFY(first->Parse(line));
        QCOMPARE(first->ToText(), written);
        QVERIFY(second->Parse(first->ToText()));
        QCOMPARE(second->ToText(), written);

        // What the writer leaves out comes back at its default.
        QCOMPARE(second->m_name, first->m_name);
        QCOMPARE(second->m_mfg, first->m_mfg);
        QCOMPARE(second->m_size, first->m_size);
        QCOMPARE(second->m_speed, 10);
        QCOMPARE(second->m_algo, 0u);
        if (type == DEVICE_NAND) {
            auto &a = static_cast<CDeviceItemNand &>(*first);
            auto &b = static_cast<CDeviceItemNand &>(*second);
            QCOMPARE(ValidIds(b), ValidIds(a));
            QCOMPARE(b.m_idCount, a.m_idCount);
            QCOMPARE(b.m_pageSize, a.m_pageSize);
            QCOMPARE(b.m_pageClass, a.m_pageClass);
            QCOMPARE(b.m_pagesPerBlock, a.m_pagesPerBlock);
            QCOMPARE(b.m_ceCount, a.m_ceCount);
            QCOMPARE(Pins(b), QStringLiteral("0000"));
        } else {
            auto &a = static_cast<CDeviceItemSPIFlash &>(*first);
            auto &b = static_cast<CDeviceItemSPIFlash &>(*second);
            QCOMPARE(Ids(b), Ids(a));
            QCOMPARE(b.m_sectorSize, a.m_sectorSize);
            QCOMPARE(b.m_sectorCount, a.m_sectorCount);
            QCOMPARE(b.m_ioMode, a.m_ioMode);
            QCOMPARE(b.m_pageSize, 0x200u);
            QCOMPARE(b.m_initCount, 0);
            QCOMPARE(b.m_opStatus, uint8_t(0x05));
            QCOMPARE(b.m_busyMask, uint8_t(0x01));
        }
    }

    void familyKeepsOrBlocksDuplicates()
    {
        CDeviceFamilyNand nand;
        QVERIFY(nand.AddLine("Name=\"dup\",MFG=\"first\",BlockSize=\"40h\""));
        QVERIFY(!nand.AddLine("Name=\"dup\",MFG=\"second\",BlockSize=\"40h\""));
        QVERIFY(nand.AddLine("Name=\"Dup2\",BlockSize=\"40h\""));
        QVERIFY(!nand.AddLine("Name=\"x\""));
        QCOMPARE(nand.Count(), 3);
        QCOMPARE(nand.FindByName("DUP")->m_mfg, QStringLiteral("FIRST"));

        CDeviceFamilySPI spi;
        QVERIFY(spi.AddLine("Name=\"dup\",MFG=\"first\",size=\"20000h\""));
        QVERIFY(spi.AddLine("Name=\"dup\",MFG=\"second\",size=\"20000h\""));
        QCOMPARE(spi.Count(), 3);
        QCOMPARE(spi.m_items[1]->m_mfg, QStringLiteral("FIRST"));
        QCOMPARE(spi.m_items[2]->m_mfg, QStringLiteral("SECOND"));
    }

    void familyStartsWithItsBuiltInEntry()
    {
        CDeviceFamilyNand nand;
        CDeviceFamilySPI spi;
        QCOMPARE(nand.m_name, QStringLiteral("Nand"));
        QCOMPARE(spi.m_name, QStringLiteral("SPI"));
        QCOMPARE(nand.Count(), 1);
        QCOMPARE(spi.Count(), 1);
        QVERIFY(dynamic_cast<CDeviceItemNand *>(nand.FindByName("NAND OFNI")));
        QVERIFY(dynamic_cast<CDeviceItemSPIFlash *>(spi.FindByName("SPI SFDP")));
        QVERIFY(!nand.FindByName("nand ofni"));
    }

    void loadFileSplitsLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("LF") << QByteArray("Name=\"a\",BlockSize=\"40h\"\nName=\"b\",BlockSize=\"40h\"\n")
                            << QStringList{"A", "B"};
        QTest::newRow("CRLF and blank lines")
            << QByteArray("\r\n\r\nName=\"a\",BlockSize=\"40h\"\r\n\r\n\nName=\"b\",BlockSize=\"40h\"")
            << QStringList{"A", "B"};
        QTest::newRow("CR only") << QByteArray("Name=\"a\",BlockSize=\"40h\"\rName=\"b\",BlockSize=\"40h\"\r")
                                 << QStringList{"A", "B"};
        QTest::newRow("comment lines dropped")
            << QByteArray("# NAND chips\nName=\"a\",BlockSize=\"40h\"\nnot a device\n") << QStringList{"A"};
        QTest::newRow("latin-1 text") << QByteArray("Name=\"caf\xe9\",BlockSize=\"40h\"\n")
                                      << QStringList{QString::fromLatin1("CAF\xc9")};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }
    void loadFileSplitsLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, names);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath("Nand.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        CDeviceFamilyNand family;
        family.LoadFile(file.fileName());
        QStringList loaded;
        for (size_t i = 1; i < family.m_items.size(); ++i)
            loaded << family.m_items[i]->m_name;
        QCOMPARE(loaded, names);
        QCOMPARE(family.m_items.front()->m_name, QStringLiteral("NAND OFNI"));
    }

    void missingFileLeavesBuiltInEntry()
    {
        CDeviceFamilySPI family;
        family.LoadFile(QStringLiteral("/nonexistent/SPI.txt"));
        QCOMPARE(family.Count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDeviceReader)
#include "tst_devicereader.moc"
