// The simulated NAND chip driven through the exports with the packets the
// NAND engine sends: IDs and chip enables, read padding, AND-only programs,
// erase and bad blocks (factory and worn), markers, the parameter page, read
// disturb, and the image file behind it all.

#include "NandTestPackets.h"
#include "SimAdapterHost.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestSimNand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readId_data();
    void readId();
    void readPadding_data();
    void readPadding();
    void pageCountCarry_data();
    void pageCountCarry();
    void partialPages_data();
    void partialPages();
    void programOnlyClearsBits();
    void incompleteProgram();
    void eraseAndFactoryBadBlocks();
    void wornBlockGoesBad();
    void chipEnables_data();
    void chipEnables();
    void markerPadding_data();
    void markerPadding();
    void onfiParameterPage_data();
    void onfiParameterPage();
    void readDisturbIsSeededAndNeverStored();
    void weakBitsReadRandomly();
    void seatedDumpReadsAsIs();
    void blankChipOf4GiBIsSparse();
    void builtInDefaults();
    void cleanupTestCase();

private:
    bool Start(const CGeometry &g, const QString &nand = QString(), const QString &adapter = QString());
    QByteArray ReadAll(int piece = 65536);
    QByteArray ReadPages(const CGeometry &g, int ce, quint64 row, int pages);
    QByteArray Program(const CGeometry &g, int ce, quint64 row, const QByteArray &data, int piece = 1000);

    CSimAdapterHost m_host;
    QTemporaryDir m_dir;
    QString m_image;
    QString m_stats;
    int m_count = 0;
};

void TestSimNand::initTestCase()
{
    QVERIFY2(m_host.IsLoaded(), qPrintable(m_host.ErrorString()));
    QVERIFY(m_dir.isValid());
}

void TestSimNand::cleanupTestCase()
{
    m_host.Close();
    WriteSimConfig(m_dir.path(), "[adapter]\nreenumerate_ms=0\n[nand]\nblocks=1\nbad_blocks=\nimage=" +
                                     m_dir.filePath("last.bin") + "\n");
    m_host.Open();
    m_host.Close();
}

bool TestSimNand::Start(const CGeometry &g, const QString &nand, const QString &adapter)
{
    ++m_count;
    if (m_image.isEmpty() || !nand.contains("image="))
        m_image = m_dir.filePath(QStringLiteral("nand-%1.bin").arg(m_count));
    m_stats = m_dir.filePath(QStringLiteral("stats-%1.txt").arg(m_count));
    const QString ini = QStringLiteral("[adapter]\nmodule=nand\nreenumerate_ms=0\nstats=%1\n%2\n"
                                       "[nand]\npage_size=%3\npages_per_block=%4\nblocks=%5\nchip_enables=%6\n"
                                       "bad_blocks=\nimage=%7\n%8\n")
                            .arg(m_stats, adapter)
                            .arg(g.pageSize)
                            .arg(g.pagesPerBlock)
                            .arg(g.blocks)
                            .arg(g.ces)
                            .arg(m_image, nand);
    m_host.Close();
    WriteSimConfig(m_dir.path(), ini);
    return m_host.Connect(CSimAdapterHost::FirmwareImage(0, 2));
}

QByteArray TestSimNand::ReadAll(int piece)
{
    QByteArray all;
    for (;;) {
        const QByteArray part = m_host.Reply(3, piece);
        if (part.isEmpty())
            return all;
        all += part;
    }
}

QByteArray TestSimNand::ReadPages(const CGeometry &g, int ce, quint64 row, int pages)
{
    m_host.Send(0, SelectPacket(ce));
    if (m_host.Send(0, ArrayPacket(0x27, g, row, pages)) <= 0)
        return {};
    return ReadAll().left(pages * g.pageSize);
}

// Programs whole pages the way the worker streams them: the command, then
// the data in pieces, padded to whole packets, then "program finished".
QByteArray TestSimNand::Program(const CGeometry &g, int ce, quint64 row, const QByteArray &data, int piece)
{
    m_host.Send(0, SelectPacket(ce));
    m_host.Send(0, ArrayPacket(0x1C, g, row, int(data.size() / g.pageSize)));
    const int packet = m_host.PacketSize();
    QByteArray padded = data;
    padded.append((packet - padded.size() % packet) % packet, char(0x5A));
    for (int at = 0; at < padded.size(); at += piece)
        m_host.Send(1, padded.mid(at, piece));
    return m_host.Command(ProgramDonePacket(), 2, 3);
}

void TestSimNand::readId_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("ces");
    QTest::addColumn<int>("select");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("six bytes") << "98 DA 90 15 76 14" << 1 << 0 << QByteArray("\x98\xDA\x90\x15\x76\x14", 6);
    QTest::newRow("five bytes repeat") << "EC F1 00 95 41" << 1 << 0 << QByteArray("\xEC\xF1\x00\x95\x41\xEC", 6);
    QTest::newRow("second chip enable") << "2C DA 90 95 06 00" << 2 << 1 << QByteArray("\x2C\xDA\x90\x95\x06\x00", 6);
    QTest::newRow("fourth chip enable") << "2C DA 90 95 06 00" << 4 << 3 << QByteArray("\x2C\xDA\x90\x95\x06\x00", 6);
    QTest::newRow("no second chip enable") << "2C DA 90 95 06 00" << 1 << 1 << QByteArray(6, '\xFF');
    QTest::newRow("no fifth chip enable") << "2C DA 90 95 06 00" << 4 << 4 << QByteArray(6, '\xFF');
}

void TestSimNand::readId()
{
    QFETCH(QString, id);
    QFETCH(int, ces);
    QFETCH(int, select);
    QFETCH(QByteArray, expected);

    CGeometry g;
    g.ces = ces;
    QVERIFY(Start(g, "id=" + id));
    QVERIFY(m_host.Send(0, SelectPacket(select)) > 0);
    QCOMPARE(m_host.Command(CSimAdapterHost::Packet({0x29, 0x01}, 6), 6, 2), expected);
    // The four-byte form reads the same bytes' start.
    QCOMPARE(m_host.Command(CSimAdapterHost::Packet({0x29, 0x00}, 20), 4, 3), expected.left(4));
}

void TestSimNand::readPadding_data()
{
    QTest::addColumn<int>("packetSize");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("replyBytes");

    QTest::newRow("one page, 512") << 512 << 1 << 2560;
    QTest::newRow("four pages, 512") << 512 << 4 << 8704;
    QTest::newRow("one page, 64") << 64 << 1 << 2112;
    QTest::newRow("block, 512") << 512 << 4 << 8704;
    QTest::newRow("three pages, 64") << 64 << 3 << 6336;
}

void TestSimNand::readPadding()
{
    QFETCH(int, packetSize);
    QFETCH(int, pages);
    QFETCH(int, replyBytes);

    CGeometry g;
    QVERIFY(Start(g, QString(), QStringLiteral("packet_size=%1").arg(packetSize)));
    QCOMPARE(m_host.PacketSize(), packetSize);
    const QByteArray zeros(pages * g.pageSize, '\0');
    QCOMPARE(Program(g, 0, 8, zeros), Ok);
    QVERIFY(m_host.Send(0, ArrayPacket(0x27, g, 8, pages)) > 0);
    const QByteArray reply = ReadAll(1000);
    QCOMPARE(reply.size(), replyBytes);
    QCOMPARE(reply.left(zeros.size()), zeros);
    QCOMPARE(reply.mid(zeros.size()), QByteArray(replyBytes - zeros.size(), '\xFF'));
}

void TestSimNand::pageCountCarry_data()
{
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("pages");

    QTest::newRow("64 pages") << 0x40 << 0x01 << 64;
    QTest::newRow("256 pages") << 0x00 << 0x01 << 256;
    QTest::newRow("512 pages") << 0x00 << 0x02 << 512;
    QTest::newRow("511 pages") << 0xFF << 0x02 << 511;
    QTest::newRow("1 page") << 0x01 << 0x01 << 1;
    QTest::newRow("no carry: malformed") << 0x01 << 0x00 << -1;
}

void TestSimNand::pageCountCarry()
{
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, pages);

    CGeometry g;
    g.pagesPerBlock = 64;
    g.blocks = 16;
    QVERIFY(Start(g));
    QByteArray packet = ArrayPacket(0x27, g, 0, 1);
    packet[10] = char(low);
    packet[11] = char(high);
    QVERIFY(m_host.Send(0, packet) > 0);
    const qint64 bytes = pages < 0 ? 0 : (qint64(pages) * g.pageSize + 511) / 512 * 512;
    QCOMPARE(qint64(ReadAll(1 << 20).size()), bytes);
    m_host.Close();
    QCOMPARE(ReadSimStats(m_stats).value("malformed_commands"), pages < 0 ? 1ull : 0ull);
}

// The firmware clocks as many bytes per page as the command says; the chip
// has no more than its page.
void TestSimNand::partialPages_data()
{
    QTest::addColumn<int>("pageBytes");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("fromPage");   // bytes of each page that come from the chip
    QTest::addColumn<int>("filled");     // then 0xFF

    QTest::newRow("data area only") << 2048 << 0 << 2048 << 0;
    QTest::newRow("longer than the page") << 2200 << 0 << 2112 << 88;
    QTest::newRow("spare area by column") << 64 << 2048 << 64 << 0;
    QTest::newRow("column near the end") << 100 << 2100 << 12 << 88;
}

void TestSimNand::partialPages()
{
    QFETCH(int, pageBytes);
    QFETCH(int, column);
    QFETCH(int, fromPage);
    QFETCH(int, filled);

    CGeometry g;
    QVERIFY(Start(g));
    const QByteArray data = RandomBytes(2 * g.pageSize, 11);
    QCOMPARE(Program(g, 0, 4, data), Ok);
    QVERIFY(m_host.Send(0, ArrayPacket(0x27, g, 4, 2, pageBytes, column)) > 0);
    const QByteArray reply = ReadAll();
    for (int p = 0; p < 2; ++p) {
        const QByteArray page = reply.mid(p * pageBytes, pageBytes);
        QCOMPARE(page.left(fromPage), data.mid(p * g.pageSize + column, fromPage));
        QCOMPARE(page.mid(fromPage), QByteArray(filled, '\xFF'));
    }
}

void TestSimNand::programOnlyClearsBits()
{
    CGeometry g;
    QVERIFY(Start(g));
    const QByteArray first = RandomBytes(3 * g.pageSize, 1);
    QCOMPARE(Program(g, 0, 5, first, 777), Ok);
    QCOMPARE(ReadPages(g, 0, 5, 3), first);
    QCOMPARE(FileBytes(m_image, g.PageOffset(0, 5), first.size()), first);

    const QByteArray second = RandomBytes(3 * g.pageSize, 2);
    QByteArray anded = first;
    for (int i = 0; i < anded.size(); ++i)
        anded[i] = char(first[i] & second[i]);
    QCOMPARE(Program(g, 0, 5, second, 4096), Ok);
    QCOMPARE(ReadPages(g, 0, 5, 3), anded);
    QCOMPARE(ReadPages(g, 0, 4, 1), QByteArray(g.pageSize, '\xFF'));
    QCOMPARE(ReadPages(g, 0, 8, 1), QByteArray(g.pageSize, '\xFF'));

    m_host.Close();
    const auto stats = ReadSimStats(m_stats);
    QCOMPARE(stats.value("pages_programmed"), 6ull);
    QCOMPARE(stats.value("bytes_programmed"), 6ull * g.pageSize);
    QCOMPARE(stats.value("programs_not_erased"), 3ull);
    QCOMPARE(stats.value("stray_data_bytes"), 0ull);
}

void TestSimNand::incompleteProgram()
{
    CGeometry g;
    QVERIFY(Start(g));
    const QByteArray data = RandomBytes(3 * g.pageSize, 3);
    QVERIFY(m_host.Send(0, ArrayPacket(0x1C, g, 0, 3)) > 0);
    QVERIFY(m_host.Send(1, data.left(g.pageSize + g.pageSize / 2)) > 0);
    QCOMPARE(m_host.Command(ProgramDonePacket(), 2, 3), Failed);
    QCOMPARE(ReadPages(g, 0, 0, 1), data.left(g.pageSize));
    QCOMPARE(ReadPages(g, 0, 1, 1), QByteArray(g.pageSize, '\xFF'));
    QCOMPARE(m_host.Command(ProgramDonePacket(), 2, 3), Ok);  // the failure was reported once
    m_host.Close();
    QCOMPARE(ReadSimStats(m_stats).value("incomplete_programs"), 1ull);
}

void TestSimNand::eraseAndFactoryBadBlocks()
{
    CGeometry g;
    g.blocks = 24;  // 96 rows decoded with 7 row bits
    QVERIFY(Start(g, "bad_blocks=3,23"));
    // A new chip carries the markers of its factory bad blocks.
    QCOMPARE(m_host.Command(MarkerPacket(g, 3 * 4, 512), 512, 3).left(6), QByteArray("\x00\xFF\xFF\xFF\xFF\xFF", 6));
    QCOMPARE(m_host.Command(MarkerPacket(g, 2 * 4, 512), 512, 3), QByteArray(512, '\xFF'));

    QCOMPARE(Program(g, 0, 2 * 4, QByteArray(4 * g.pageSize, '\0')), Ok);
    QCOMPARE(Program(g, 0, 3 * 4 + 1, QByteArray(g.pageSize, '\0')), Failed);  // bad blocks take nothing
    QCOMPARE(m_host.Command(ErasePacket(g, 2 * 4), 2, 2), Ok);
    QCOMPARE(ReadPages(g, 0, 2 * 4, 4), QByteArray(4 * g.pageSize, '\xFF'));
    QCOMPARE(m_host.Command(ErasePacket(g, 3 * 4), 2, 2), Failed);
    QCOMPARE(m_host.Command(ErasePacket(g, 23 * 4), 2, 2), Failed);
    const QByteArray badPage = ReadPages(g, 0, 3 * 4, 1);
    QCOMPARE(badPage.at(2048), '\0');
    QCOMPARE(m_host.Command(MarkerPacket(g, 3 * 4, 64), 64, 3).at(0), '\0');
    // A row the decoder maps to no page erases nothing; row bits above the
    // decoder's width are ignored, as on real chips.
    QCOMPARE(m_host.Command(ErasePacket(g, 24 * 4), 2, 2), Failed);
    QCOMPARE(Program(g, 0, 2 * 4, QByteArray(g.pageSize, '\0')), Ok);
    QCOMPARE(m_host.Command(ErasePacket(g, 128 + 2 * 4), 2, 2), Ok);
    QCOMPARE(ReadPages(g, 0, 2 * 4, 1), QByteArray(g.pageSize, '\xFF'));

    m_host.Close();
    const auto stats = ReadSimStats(m_stats);
    QCOMPARE(stats.value("erases"), 4ull);
    QCOMPARE(stats.value("erase_failures"), 3ull);
}

void TestSimNand::wornBlockGoesBad()
{
    CGeometry g;
    QVERIFY(Start(g, "worn_blocks=6:3"));
    const quint64 row = 6 * 4;
    QCOMPARE(m_host.Command(ErasePacket(g, row), 2, 2), Ok);
    QCOMPARE(Program(g, 0, row, QByteArray(g.pageSize, '\x11')), Ok);
    QCOMPARE(m_host.Command(ErasePacket(g, row), 2, 2), Ok);
    QCOMPARE(ReadPages(g, 0, row, 1), QByteArray(g.pageSize, '\xFF'));
    QCOMPARE(m_host.Command(ErasePacket(g, row), 2, 2), Failed);  // the third erase
    QCOMPARE(m_host.Command(MarkerPacket(g, row, 6), 6, 2), QByteArray("\x00\xFF\xFF\xFF\xFF\xFF", 6));
    QCOMPARE(m_host.Command(ErasePacket(g, row), 2, 2), Failed);  // and every one after
    QCOMPARE(Program(g, 0, row + 1, QByteArray(g.pageSize, '\0')), Failed);
    QCOMPARE(ReadPages(g, 0, row + 1, 1), QByteArray(g.pageSize, '\xFF'));
    QCOMPARE(m_host.Command(ErasePacket(g, row + 4), 2, 2), Ok);  // its neighbour is fine
}

void TestSimNand::chipEnables_data()
{
    QTest::addColumn<int>("ces");
    QTest::addColumn<int>("ce");
    QTest::newRow("second of two") << 2 << 1;
    QTest::newRow("fourth of four") << 4 << 3;
    QTest::newRow("third of four") << 4 << 2;
}

void TestSimNand::chipEnables()
{
    QFETCH(int, ces);
    QFETCH(int, ce);

    CGeometry g;
    g.ces = ces;
    QVERIFY(Start(g, "bad_blocks=" + QString::number(ce * g.blocks + 1)));
    const QByteArray data = RandomBytes(g.pageSize, quint32(ce));
    QCOMPARE(Program(g, ce, 1, data), Ok);
    QCOMPARE(ReadPages(g, ce, 1, 1), data);
    QCOMPARE(ReadPages(g, 0, 1, 1), QByteArray(g.pageSize, '\xFF'));
    QCOMPARE(FileBytes(m_image, g.PageOffset(ce, 1), g.pageSize), data);
    // Bad blocks count chip-wide: block 1 behind this chip enable.
    QVERIFY(m_host.Send(0, SelectPacket(ce)) > 0);
    QCOMPARE(m_host.Command(ErasePacket(g, 4), 2, 2), Failed);
    QCOMPARE(m_host.Command(ErasePacket(g, 0), 2, 2), Ok);
    QVERIFY(m_host.Send(0, SelectPacket(0)) > 0);
    QCOMPARE(m_host.Command(ErasePacket(g, 4), 2, 2), Ok);
    // A chip enable the chip does not have: nothing answers.
    QCOMPARE(ReadPages(g, ces, 0, 1), QByteArray(g.pageSize, '\xFF'));
    QVERIFY(m_host.Send(0, SelectPacket(ces)) > 0);
    QCOMPARE(m_host.Command(ErasePacket(g, 0), 2, 2), Failed);
    QCOMPARE(Program(g, ces, 2, data), Failed);
}

void TestSimNand::markerPadding_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("one packet") << 512;
    QTest::newRow("short packet") << 64;
    QTest::newRow("less than the spare area") << 16;
}

void TestSimNand::markerPadding()
{
    QFETCH(int, length);
    CGeometry g;
    QVERIFY(Start(g));
    QByteArray page = RandomBytes(g.pageSize, 9);
    QCOMPARE(Program(g, 0, 20, page), Ok);
    const QByteArray reply = m_host.Command(MarkerPacket(g, 20, quint32(length)), length, 3);
    QCOMPARE(reply.size(), length);
    QCOMPARE(reply.left(64), page.mid(2048, qMin(64, length)));
    QCOMPARE(reply.mid(64), QByteArray(qMax(0, length - 64), '\xFF'));
}

void TestSimNand::onfiParameterPage_data()
{
    QTest::addColumn<bool>("onfi");
    QTest::addColumn<int>("ce");
    QTest::newRow("on") << true << 0;
    QTest::newRow("on, second chip enable") << true << 1;
    QTest::newRow("off") << false << 0;
    QTest::newRow("on, missing chip enable") << true << 2;
}

void TestSimNand::onfiParameterPage()
{
    QFETCH(bool, onfi);
    QFETCH(int, ce);

    CGeometry g;
    g.pageSize = 4320;
    g.pagesPerBlock = 128;
    g.blocks = 1024;
    g.ces = 2;
    QVERIFY(Start(g, QStringLiteral("onfi=%1\nonfi_manufacturer=ACME\nonfi_model=NV8G-TEST\nid=2C 68 04 46 89 00")
                         .arg(onfi ? "true" : "false")));
    QVERIFY(m_host.Send(0, SelectPacket(ce)) > 0);
    const QByteArray reply = m_host.Command(CSimAdapterHost::Packet({0x2A, 0x01}, 6), 512, 3);
    QCOMPARE(reply.size(), 512);
    if (!onfi || ce >= g.ces) {
        QCOMPARE(reply, QByteArray(512, '\xFF'));
        return;
    }
    const QByteArray page = reply.left(256);
    QCOMPARE(reply.mid(256), page);  // the redundant copy
    QCOMPARE(page.left(4), QByteArray("ONFI"));
    // CRC-16, polynomial 0x8005, initial 0x4F4E, over bytes 0 to 253.
    quint16 crc = 0x4F4E;
    for (int i = 0; i < 254; ++i) {
        crc ^= quint16(quint8(page[i]) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x8005) : quint16(crc << 1);
    }
    QCOMPARE(SimLE(page, 254, 2), quint32(crc));
    QVERIFY(SimLE(page, 4, 2) & (1u << 5));  // revision 2.3
    QCOMPARE(page.mid(32, 12).trimmed(), QByteArray("ACME"));
    QCOMPARE(page.mid(44, 20).trimmed(), QByteArray("NV8G-TEST"));
    QCOMPARE(SimLE(page, 80, 4), 4096u);
    QCOMPARE(SimLE(page, 84, 2), 224u);
    QCOMPARE(SimLE(page, 92, 4), 128u);
    QCOMPARE(SimLE(page, 96, 4), 1024u);
    QCOMPARE(int(quint8(page[100])), 1);
    QCOMPARE(int(quint8(page[101])), (g.ColumnBytes() << 4) | g.RowBytes());
    const quint64 size = quint64(quint8(page[100])) * SimLE(page, 96, 4) * g.ces * SimLE(page, 92, 4) *
                         (SimLE(page, 80, 4) + SimLE(page, 84, 2));
    QCOMPARE(size, quint64(g.pageSize) * g.pagesPerBlock * g.blocks * g.ces);
}

void TestSimNand::readDisturbIsSeededAndNeverStored()
{
    CGeometry g;
    g.pagesPerBlock = 64;
    g.blocks = 16;  // 2 MiB and a bit
    const int pages = g.pagesPerBlock * g.blocks;
    const QByteArray stored = RandomBytes(pages * g.pageSize, 21);
    const QString image = m_dir.filePath("disturb.bin");
    m_image = image;
    QVERIFY(Start(g, "image=" + image));
    QCOMPARE(Program(g, 0, 0, stored, 1 << 20), Ok);

    QList<QByteArray> reads;
    for (quint64 seed : {5ull, 5ull, 6ull}) {
        QVERIFY(Start(g, QStringLiteral("image=%1\nbitflips_per_mib=100\nseed=%2").arg(image).arg(seed)));
        reads << ReadPages(g, 0, 0, pages);
        m_host.Close();
        const qulonglong flips = ReadSimStats(m_stats).value("bitflips");
        QCOMPARE(qulonglong(DifferingBits(reads.last(), stored)), flips);
        QVERIFY2(flips > 100 && flips < 350, qPrintable(QString::number(flips)));  // about 206 expected
    }
    QCOMPARE(reads[0], reads[1]);  // the same seed replays the same flips
    QVERIFY(reads[0] != reads[2]);
    QCOMPARE(FileBytes(image, 0, stored.size()), stored);
    m_image.clear();
}

void TestSimNand::weakBitsReadRandomly()
{
    CGeometry g;
    const quint64 offset = g.PageOffset(0, 3) + 10;
    QVERIFY(Start(g, QStringLiteral("weak_bits=%1:4").arg(offset)));
    const QByteArray stored = RandomBytes(g.pageSize, 4);
    QCOMPARE(Program(g, 0, 3, stored), Ok);
    int flipped = 0;
    constexpr int Reads = 40;
    for (int i = 0; i < Reads; ++i) {
        QByteArray page = ReadPages(g, 0, 3, 1);
        if (page[10] != stored[10]) {
            QCOMPARE(quint8(page[10] ^ stored[10]), quint8(0x10));
            ++flipped;
            page[10] = stored[10];
        }
        QCOMPARE(page, stored);
    }
    QVERIFY(flipped > 0 && flipped < Reads);
}

void TestSimNand::seatedDumpReadsAsIs()
{
    CGeometry g;
    const QString image = m_dir.filePath("dump.bin");
    QByteArray dump = RandomBytes(int(g.PagesPerCe()) * g.pageSize, 77);
    dump.replace(0, 3 * g.pageSize, QByteArray(3 * g.pageSize, '\0'));  // zeros are data, not erased bytes
    QFile file(image);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(dump);
    file.close();
    m_image = image;
    QVERIFY(Start(g, "image=" + image + "\nbad_blocks=1"));
    QCOMPARE(ReadPages(g, 0, 0, int(g.PagesPerCe())), dump);
    // Seating a dump changes nothing in it, factory bad blocks included.
    QCOMPARE(FileBytes(image, 0, dump.size()), dump);
    m_image.clear();
}

void TestSimNand::blankChipOf4GiBIsSparse()
{
    CGeometry g;
    g.pagesPerBlock = 64;
    g.blocks = 32768;  // 4.125 GiB with the spare areas
    QVERIFY(Start(g, "bad_blocks=100,32767"));
    const quint64 size = quint64(g.pageSize) * g.pagesPerBlock * g.blocks;
    struct stat info{};
    QCOMPARE(::stat(QFile::encodeName(m_image).constData(), &info), 0);
    QCOMPARE(quint64(info.st_size), size);
    QVERIFY2(quint64(info.st_blocks) * 512 < (1u << 20), qPrintable(QString::number(info.st_blocks)));

    QCOMPARE(ReadPages(g, 0, 4000 * 64, 64), QByteArray(64 * g.pageSize, '\xFF'));
    QCOMPARE(m_host.Command(MarkerPacket(g, 32767ull * 64, 512), 512, 3).at(0), '\0');
    const QByteArray data = RandomBytes(g.pageSize, 5);
    QCOMPARE(Program(g, 0, 32766ull * 64 + 63, data), Ok);
    QCOMPARE(ReadPages(g, 0, 32766ull * 64 + 62, 2), QByteArray(g.pageSize, '\xFF') + data);
    QCOMPARE(m_host.Command(ErasePacket(g, 0), 2, 2), Ok);
    QCOMPARE(m_host.Command(ErasePacket(g, 32766ull * 64), 2, 2), Ok);
    QCOMPARE(ReadPages(g, 0, 32766ull * 64 + 63, 1), QByteArray(g.pageSize, '\xFF'));
    QCOMPARE(::stat(QFile::encodeName(m_image).constData(), &info), 0);
    QVERIFY2(quint64(info.st_blocks) * 512 < (2u << 20), qPrintable(QString::number(info.st_blocks)));
}

// No configuration at all: a NAND module with a blank 1024-block chip, its
// factory bad blocks 37 and 811 marked, in the temporary folder.
void TestSimNand::builtInDefaults()
{
    m_host.Close();
    const QByteArray saved = qgetenv("XRUSB_SIM");
    qunsetenv("XRUSB_SIM");
    QVERIFY(m_host.Connect(CSimAdapterHost::FirmwareImage(0, 2)));
    qputenv("XRUSB_SIM", saved);
    QCOMPARE(m_host.PacketSize(), 512);
    QCOMPARE(m_host.Command(CSimAdapterHost::Packet({0x18, 0x00, 0x02, 0x00, 0x0A}, 9), 8, 2),
             QByteArray("\xC3\xA5\x00\x00\xDD\x40\x06\x17", 8));
    QCOMPARE(m_host.Command(CSimAdapterHost::Packet({0x29, 0x01}, 6), 6, 2), QByteArray("\xEC\xF1\x00\x95\x41\x00", 6));
    CGeometry g;
    g.pagesPerBlock = 64;
    g.blocks = 1024;
    for (int block : {36, 37, 811, 1023})
        QCOMPARE(m_host.Command(MarkerPacket(g, quint64(block) * 64, 512), 512, 3).at(0),
                 block == 37 || block == 811 ? '\0' : '\xFF');
    QCOMPARE(ReadPages(g, 0, 1023ull * 64, 1), QByteArray(g.pageSize, '\xFF'));
    const QString image = QDir::tempPath() + "/xrusb-sim-nand-2112x64x1024x1.bin";
    QCOMPARE(QFileInfo(image).size(), qint64(2112) * 64 * 1024);
    m_host.Close();
}

QTEST_GUILESS_MAIN(TestSimNand)
#include "tst_simnand.moc"
