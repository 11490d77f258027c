#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "OnfiInfo.h"
#include "SfdpInfo.h"

#include <QTest>

#include <QtEndian>

// Chips that describe themselves: the NAND parameter page and the SPI SFDP
// table, decoded from hand-built data, and the built-in entries filled from them.
class TestSelfDescribing : public QObject
{
    Q_OBJECT

private:
    struct OnfiFields
    {
        quint16 revision = 0x001E; // 1.0 to 2.2
        QByteArray manufacturer = "MICRON      ";
        QByteArray model = "MT29F4G08ABADAWP    ";
        quint32 dataBytes = 2048;
        quint16 spareBytes = 64;
        quint32 pagesPerBlock = 64;
        quint32 blocksPerUnit = 4096;
        quint8 units = 1;
        quint8 cycles = 0x23;
    };

    static QByteArray OnfiPage(const OnfiFields &f)
    {
        QByteArray page(256, '\0');
        auto *p = reinterpret_cast<uint8_t *>(page.data());
        memcpy(p, "ONFI", 4);
        qToLittleEndian<quint16>(f.revision, p + 4);
        memcpy(p + 32, f.manufacturer.constData(), std::min<qsizetype>(12, f.manufacturer.size()));
        memcpy(p + 44, f.model.constData(), std::min<qsizetype>(20, f.model.size()));
        qToLittleEndian<quint32>(f.dataBytes, p + 80);
        qToLittleEndian<quint16>(f.spareBytes, p + 84);
        qToLittleEndian<quint32>(f.pagesPerBlock, p + 92);
        qToLittleEndian<quint32>(f.blocksPerUnit, p + 96);
        p[100] = f.units;
        p[101] = f.cycles;
        return page;
    }

    struct SfdpHeader
    {
        quint8 idLsb = 0x00;
        quint8 lengthWords = 9;
        quint32 pointer = 0x30;
        quint8 idMsb = 0xFF;
    };

    // SFDP data of `size` bytes with the given headers; every table pointer
    // inside the data gets `density` as its second word.
    static QByteArray Sfdp(const QList<SfdpHeader> &headers, quint32 density, int size = 2048)
    {
        QByteArray data(size, char(0xFF));
        auto *p = reinterpret_cast<uint8_t *>(data.data());
        memcpy(p, "SFDP", 4);
        p[4] = 0x06; // revision 1.6
        p[5] = 0x01;
        p[6] = quint8(headers.size() - 1);
        p[7] = 0xFF;
        for (int i = 0; i < headers.size(); ++i) {
            uint8_t *h = p + 8 + 8 * i;
            h[0] = headers[i].idLsb;
            h[1] = 0x06;
            h[2] = 0x01;
            h[3] = headers[i].lengthWords;
            h[4] = quint8(headers[i].pointer);
            h[5] = quint8(headers[i].pointer >> 8);
            h[6] = quint8(headers[i].pointer >> 16);
            h[7] = headers[i].idMsb;
        }
        for (const SfdpHeader &h : headers) {
            if (h.pointer + 8 <= quint32(size)) {
                qToLittleEndian<quint32>(0xFFF120E5, p + h.pointer);
                qToLittleEndian<quint32>(density, p + h.pointer + 4);
            }
        }
        return data;
    }

    static const uint8_t *Bytes(const QByteArray &data) { return reinterpret_cast<const uint8_t *>(data.constData()); }

private slots:
    void cleanup() { DeleteAll(); }

    void onfiDecoder_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("chipEnables");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("version");
        QTest::addColumn<quint64>("size");

        const OnfiFields plain;
        QTest::newRow("2 Gbit x 2 pages") << OnfiPage(plain) << 256 << 1 << true << "2.2" << quint64(0x21000000);
        QTest::newRow("two chip enables") << OnfiPage(plain) << 256 << 2 << true << "2.2" << quint64(0x42000000);
        OnfiFields f = plain;
        f.revision = 0x0002;
        QTest::newRow("version 1.0") << OnfiPage(f) << 256 << 1 << true << "1.0" << quint64(0x21000000);
        f.revision = 0x0202;
        QTest::newRow("version 4.0 wins") << OnfiPage(f) << 256 << 1 << true << "4.0" << quint64(0x21000000);
        f.revision = 0x00C0;
        QTest::newRow("version 3.1") << OnfiPage(f) << 256 << 1 << true << "3.1" << quint64(0x21000000);
        f.revision = 0x0401;
        QTest::newRow("bits 0 and 10 only") << OnfiPage(f) << 256 << 1 << true << "" << quint64(0x21000000);
        f = plain;
        f.dataBytes = 8192;
        f.spareBytes = 448;
        f.pagesPerBlock = 256;
        f.blocksPerUnit = 2096;
        f.units = 2;
        QTest::newRow("two units, 64-bit size") << OnfiPage(f) << 256 << 2 << true << "2.2"
                                                << quint64(2) * 2096 * 2 * 256 * (8192 + 448);
        QTest::newRow("shortest page read") << OnfiPage(plain).left(102) << 102 << 1 << true << "2.2"
                                            << quint64(0x21000000);
        QTest::newRow("page cut short") << OnfiPage(plain).left(101) << 101 << 1 << false << "" << quint64(0);
        QByteArray bad = OnfiPage(plain);
        bad[3] = 'X';
        QTest::newRow("no signature") << bad << 256 << 1 << false << "" << quint64(0);
        f = plain;
        f.units = 0;
        QTest::newRow("no units") << OnfiPage(f) << 256 << 1 << false << "2.2" << quint64(0);
        QTest::newRow("no chip enables") << OnfiPage(plain) << 256 << 0 << false << "2.2" << quint64(0);
        f = plain;
        f.dataBytes = 0xFFFFFFFF;
        f.pagesPerBlock = 0xFFFFFFFF;
        f.blocksPerUnit = 0xFFFFFFFF;
        f.units = 0xFF;
        QTest::newRow("size beyond 64 bits") << OnfiPage(f) << 256 << 1 << false << "2.2" << quint64(0);
    }
    void onfiDecoder()
    {
        QFETCH(QByteArray, page);
        QFETCH(int, length);
        QFETCH(int, chipEnables);
        QFETCH(bool, valid);
        QFETCH(QString, version);
        QFETCH(quint64, size);
        const COnfiInfo info = DecodeOnfi(Bytes(page), size_t(length), chipEnables);
        QCOMPARE(info.valid, valid);
        QCOMPARE(info.size, size);
        if (info.valid || size == 0)
            QCOMPARE(info.version, version);
    }

    void onfiTexts()
    {
        OnfiFields f;
        f.manufacturer = QByteArray("TOSHIBA\0\0\0\0\0", 12);
        f.model = "TC58NVG1S3E  X      ";
        const QByteArray page = OnfiPage(f);
        const COnfiInfo info = DecodeOnfi(Bytes(page), size_t(page.size()), 1);
        QVERIFY(info.valid);
        QCOMPARE(info.manufacturer, QStringLiteral("TOSHIBA"));
        QCOMPARE(info.model, QStringLiteral("TC58NVG1S3E  X"));
        QCOMPARE(info.dataBytesPerPage, 2048u);
        QCOMPARE(info.spareBytesPerPage, quint16(64));
        QCOMPARE(info.pagesPerBlock, 64u);
        QCOMPARE(info.blocksPerUnit, 4096u);
        QCOMPARE(info.units, quint8(1));
        QCOMPARE(info.columnCycles, quint8(2));
        QCOMPARE(info.rowCycles, quint8(3));
        QCOMPARE(info.chipEnables, 1);
    }

    void setFromOnfi_data()
    {
        QTest::addColumn<quint32>("dataBytes");
        QTest::addColumn<quint16>("spareBytes");
        QTest::addColumn<int>("pageClass");

        QTest::newRow("small page") << quint32(512) << quint16(16) << 0;
        QTest::newRow("2 KiB page") << quint32(2048) << quint16(64) << 1;
        QTest::newRow("4 KiB page") << quint32(4096) << quint16(224) << 2;
        QTest::newRow("16 KiB page keeps class") << quint32(16384) << quint16(1280) << 1;
    }
    void setFromOnfi()
    {
        QFETCH(quint32, dataBytes);
        QFETCH(quint16, spareBytes);
        QFETCH(int, pageClass);
        CDeviceFamilyNand family;
        auto *onfi = static_cast<CDeviceItemNand *>(family.FindByName("NAND OFNI"));
        OnfiFields f;
        f.dataBytes = dataBytes;
        f.spareBytes = spareBytes;
        const QByteArray page = OnfiPage(f);
        QVERIFY(onfi->SetFromOnfi(DecodeOnfi(Bytes(page), size_t(page.size()), 2)));
        QCOMPARE(onfi->m_pageSize, dataBytes + spareBytes);
        QCOMPARE(onfi->m_pagesPerBlock, 64u);
        QCOMPARE(onfi->m_size, quint64(4096) * 2 * 64 * (dataBytes + spareBytes));
        QCOMPARE(onfi->m_ceCount, 2);
        QCOMPARE(onfi->m_pageClass, pageClass);
        QCOMPARE(onfi->m_mfg, QStringLiteral("MICRON"));
        QCOMPARE(onfi->m_model, QStringLiteral("MT29F4G08ABADAWP"));
        QCOMPARE(onfi->m_name, QStringLiteral("NAND OFNI"));
        QCOMPARE(onfi->GetTitle(), QStringLiteral("NAND MICRON MT29F4G08ABADAWP"));
        QCOMPARE(onfi->GetName(), QStringLiteral("MT29F4G08ABADAWP"));
    }

    void setFromInvalidOnfiChangesNothing()
    {
        CDeviceItemNand nand;
        nand.m_name = "NAND OFNI";
        QByteArray page = OnfiPage(OnfiFields());
        page[0] = 'X';
        QVERIFY(!nand.SetFromOnfi(DecodeOnfi(Bytes(page), size_t(page.size()), 1)));
        QCOMPARE(nand.m_size, quint64(0));
        QCOMPARE(nand.m_pageSize, 0x840u);
        QVERIFY(nand.m_model.isEmpty());
    }

    void sfdpDensity_data()
    {
        QTest::addColumn<quint32>("word");
        QTest::addColumn<quint32>("bytes");

        QTest::newRow("16 Mbit as bits - 1") << 0x00FFFFFFu << 0x200000u;
        QTest::newRow("2^33 bits") << 0x80000021u << 0x40000000u;
        QTest::newRow("2^34 bits") << 0x80000022u << 0x80000000u;
        QTest::newRow("2^35 bits does not fit") << 0x80000023u << 0u;
        QTest::newRow("2^2 bits is under a byte") << 0x80000002u << 0u;
        QTest::newRow("largest bit count") << 0x7FFFFFFFu << 0x10000000u;
        QTest::newRow("a few bits") << 0x00000003u << 0u;
    }
    void sfdpDensity()
    {
        QFETCH(quint32, word);
        QFETCH(quint32, bytes);
        QCOMPARE(SfdpDensityBytes(word), bytes);
    }

    void sfdpDecoder_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<quint32>("size");

        const SfdpHeader basic;
        QTest::newRow("2 MiB") << Sfdp({basic}, 0x00FFFFFF) << true << 0x200000u;
        QTest::newRow("2^30 bytes") << Sfdp({basic}, 0x80000021) << true << 0x40000000u;
        QTest::newRow("read of 512 bytes") << Sfdp({basic}, 0x03FFFFFF, 512) << true << 0x800000u;
        QByteArray bad = Sfdp({basic}, 0x00FFFFFF);
        bad[0] = 's';
        QTest::newRow("no signature") << bad << false << 0u;
        SfdpHeader vendor;
        vendor.idLsb = 0x84;
        vendor.pointer = 0x80;
        QTest::newRow("basic table second") << Sfdp({vendor, basic}, 0x07FFFFFF) << true << 0x1000000u;
        SfdpHeader notJedec = basic;
        notJedec.idMsb = 0x01;
        QTest::newRow("vendor table only") << Sfdp({notJedec}, 0x00FFFFFF) << false << 0u;
        SfdpHeader atEnd = basic;
        atEnd.pointer = 2048;
        QTest::newRow("table pointer at the end of the data") << Sfdp({atEnd}, 0x00FFFFFF) << false << 0u;
        SfdpHeader farAway = basic;
        farAway.pointer = 2052;
        QTest::newRow("table pointer past 2048") << Sfdp({farAway}, 0x00FFFFFF, 4096) << false << 0u;
        SfdpHeader last = basic;
        last.pointer = 2040;
        QTest::newRow("table at the last 8 bytes") << Sfdp({last}, 0x00FFFFFF) << true << 0x200000u;
        SfdpHeader shortTable = basic;
        shortTable.lengthWords = 1;
        QTest::newRow("table of one word") << Sfdp({shortTable}, 0x00FFFFFF) << false << 0u;
        QTest::newRow("density too large") << Sfdp({basic}, 0x80000040) << false << 0u;
        SfdpHeader near = basic;
        near.pointer = 0x10;
        QByteArray many = Sfdp({near}, 0x00FFFFFF, 24);
        many[6] = char(0xFF); // 256 headers announced, the data ends after the first
        QTest::newRow("headers beyond the data") << many << true << 0x200000u;
        QTest::newRow("signature only") << QByteArray("SFDP") << false << 0u;
    }
    void sfdpDecoder()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, valid);
        QFETCH(quint32, size);
        const CSfdpInfo info = DecodeSfdp(Bytes(data), size_t(data.size()));
        QCOMPARE(info.valid, valid);
        QCOMPARE(info.size, size);
    }

    void setFromSfdp()
    {
        auto spi = std::make_unique<CDeviceFamilySPI>();
        QVERIFY(spi->AddLine("Name=\"W25X40\",MFG=\"winbond\",ID1=\"efh\",ID2=\"30h\",ID3=\"13h\",size=\"80000h\","
                             "SectorNum=\"80h\""));
        QVERIFY(spi->AddLine("Name=\"MX25L6405\",MFG=\"MXIC\",ID1=\"c2h\",ID2=\"20h\",ID3=\"17h\",size=\"800000h\","
                             "SectorNum=\"800h\""));
        QVERIFY(spi->AddLine("Name=\"W25Q64\",MFG=\"WINBOND\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\","
                             "SectorNum=\"800h\""));
        auto *sfdp = static_cast<CDeviceItemSPIFlash *>(spi->FindByName("SPI SFDP"));
        DeviceFamilies().push_back(std::make_unique<CDeviceFamilyNand>());
        DeviceFamilies().push_back(std::move(spi));

        // The entry itself carries the detected first byte; the maker is that
        // of the last listed chip with it.
        sfdp->m_id[0] = 0xEF;
        sfdp->m_mfg = "stale";
        const QByteArray data = Sfdp({SfdpHeader()}, 0x03FFFFFF);
        QVERIFY(sfdp->SetFromSfdp(DecodeSfdp(Bytes(data), size_t(data.size()))));
        QCOMPARE(sfdp->m_mfg, QStringLiteral("WINBOND"));
        QCOMPARE(sfdp->m_size, quint64(0x800000));
        QCOMPARE(sfdp->m_sectorSize, 0x10000u);
        QCOMPARE(sfdp->m_sectorCount, 0x80u);
        QCOMPARE(sfdp->GetTitle(), QStringLiteral("SPI WINBOND Size=0x800000"));

        sfdp->m_id[0] = 0x1C;
        QVERIFY(sfdp->SetFromSfdp(DecodeSfdp(Bytes(data), size_t(data.size()))));
        QCOMPARE(sfdp->m_mfg, QString());
        QCOMPARE(sfdp->GetTitle(), QStringLiteral("SPI  Size=0x800000"));

        QVERIFY(!sfdp->SetFromSfdp(CSfdpInfo()));
        QCOMPARE(sfdp->m_size, quint64(0x800000));
    }
};

QTEST_GUILESS_MAIN(TestSelfDescribing)
#include "tst_selfdescribing.moc"
