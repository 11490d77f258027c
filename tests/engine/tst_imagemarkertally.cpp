#include "ImageMarkerTally.h"

#include <QTest>

#include <vector>

// The markers a read notes on the way in: which blocks it saw, what they
// hold, and when the table may be taken from them instead of the file.
class TestImageMarkerTally : public QObject
{
    Q_OBJECT

    static constexpr uint64_t kBlockBytes = 100;
    static constexpr uint32_t kBlocks = 4;
    static constexpr uint64_t kFirst = 1000; // the image starts at block 10

    static CImageMarkerTally::CLayout Layout()
    {
        CImageMarkerTally::CLayout layout;
        layout.firstAddress = kFirst;
        layout.blockBytes = kBlockBytes;
        layout.blockCount = kBlocks;
        layout.markerOffset = 60;
        layout.markerBytes = 4;
        return layout;
    }
    // The image's bytes: all erased, block `bad` with a marker byte cleared.
    static std::vector<uint8_t> Image(int bad)
    {
        std::vector<uint8_t> image(kBlockBytes * kBlocks, 0xFF);
        if (bad >= 0)
            image[size_t(bad) * kBlockBytes + 62] = 0x00;
        return image;
    }

private slots:
    void piecesOfAnySize_data()
    {
        QTest::addColumn<int>("piece");
        QTest::addColumn<bool>("covers"); // false: a marker fell across two pieces
        QTest::newRow("one piece a block") << int(kBlockBytes) << true;
        QTest::newRow("the whole image at once") << int(kBlockBytes * kBlocks) << true;
        QTest::newRow("small pieces, markers whole") << 20 << true;
        QTest::newRow("pieces that cut a marker") << 62 << false;
    }
    void piecesOfAnySize()
    {
        QFETCH(int, piece);
        QFETCH(bool, covers);
        CImageMarkerTally tally;
        tally.Begin(Layout(), QStringLiteral("/tmp/read.bin"));
        const std::vector<uint8_t> image = Image(2);
        for (uint64_t at = 0; at < image.size(); at += uint64_t(piece)) {
            const uint64_t length = std::min<uint64_t>(uint64_t(piece), image.size() - at);
            tally.Take(kFirst + at, image.data() + at, length);
        }
        QCOMPARE(tally.Covers(kFirst, kBlocks, QStringLiteral("/tmp/read.bin")), covers);
        if (covers) {
            for (uint32_t block = 0; block < kBlocks; ++block)
                QCOMPARE(tally.IsGood(block), block != 2);
        }
    }

    // Only the image that was read, whole, from where it was read.
    void coversOnlyTheImageItSaw()
    {
        CImageMarkerTally tally;
        tally.Begin(Layout(), QStringLiteral("/tmp/read.bin"));
        const std::vector<uint8_t> image = Image(-1);
        tally.Take(kFirst, image.data(), kBlockBytes * (kBlocks - 1));
        QVERIFY(!tally.Covers(kFirst, kBlocks, QStringLiteral("/tmp/read.bin"))); // last block unseen
        tally.Take(kFirst + kBlockBytes * (kBlocks - 1), image.data(), kBlockBytes);
        QVERIFY(tally.Covers(kFirst, kBlocks, QStringLiteral("/tmp/read.bin")));
        QVERIFY(!tally.Covers(kFirst, kBlocks, QStringLiteral("/tmp/other.bin")));
        QVERIFY(!tally.Covers(0, kBlocks, QStringLiteral("/tmp/read.bin")));
        QVERIFY(!tally.Covers(kFirst, kBlocks + 1, QStringLiteral("/tmp/read.bin")));
        // Bytes before the image or past its end change nothing.
        tally.Take(0, image.data(), 100);
        tally.Take(kFirst + kBlockBytes * kBlocks, image.data(), kBlockBytes);
        QVERIFY(tally.Covers(kFirst, kBlocks, QStringLiteral("/tmp/read.bin")));
        tally.Clear();
        QVERIFY(!tally.Covers(kFirst, kBlocks, QStringLiteral("/tmp/read.bin")));
        QVERIFY(!tally.IsGood(0));
    }
};

QTEST_APPLESS_MAIN(TestImageMarkerTally)
#include "tst_imagemarkertally.moc"
