// The hex view's arithmetic without a widget: column layout, rows, scroll
// ranges, caret cell, hit test, range display, the key moves, the texts and
// the page drag.

#include "HexCaret.h"
#include "HexLayout.h"
#include "HexText.h"
#include "PageDrag.h"

#include <QtTest>

namespace {

constexpr quint64 kGiB = quint64(1) << 30;

// 7-pixel characters and 13-pixel rows in a 600 x 300 viewport: a content
// rectangle of 590 x 296, 21 full rows and a partly visible 22nd.
CHexLayout::SMetrics Metrics(int width = 600, int height = 300)
{
    CHexLayout::SMetrics metrics;
    metrics.viewportWidth = width;
    metrics.viewportHeight = height;
    metrics.charWidth = 7;
    metrics.rowHeight = 13;
    return metrics;
}

CHexLayout LaidOut(uint64_t size, int width = 600, int height = 300)
{
    CHexLayout layout;
    layout.Layout(Metrics(width, height), size, 8);
    return layout;
}

} // namespace

class TestHexLayout : public QObject
{
    Q_OBJECT

private slots:
    void columns()
    {
        const CHexLayout layout = LaidOut(0x1000);
        QCOMPARE(layout.Content(), QRect(QPoint(5, 2), QPoint(594, 297)));
        QCOMPARE(layout.AddressWidth(), 7 * 8 + 8);
        QCOMPARE(layout.HexWidth(), 7 * 47 + 8);
        QCOMPARE(layout.CharColumnStart(), 64 + 337);
        QCOMPARE(layout.TotalWidth(), 64 + 337 + 7 * 16);
        QCOMPARE(layout.FullRows(), 21);
        QCOMPARE(layout.VisibleRows(), 22);
        QCOMPARE(layout.RowTop(0), 2 + 13 + 3);

        CHexLayout wide;
        wide.Layout(Metrics(), 0x1000, 10);
        QCOMPARE(wide.AddressWidth(), 7 * 10 + 8);
    }

    void rowsAndRanges_data()
    {
        QTest::addColumn<quint64>("size");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<quint64>("rows");
        QTest::addColumn<quint64>("maxFirstRow");
        QTest::addColumn<int>("maxHorizontal");
        QTest::addColumn<int>("fullRows");
        QTest::addColumn<int>("visibleRows");
        QTest::newRow("empty") << quint64(0) << 600 << 300 << quint64(0) << quint64(0) << 0 << 21 << 22;
        QTest::newRow("16 bytes") << quint64(16) << 600 << 300 << quint64(1) << quint64(0) << 0 << 21 << 22;
        QTest::newRow("17 bytes") << quint64(17) << 600 << 300 << quint64(2) << quint64(0) << 0 << 21 << 22;
        QTest::newRow("4 KiB") << quint64(0x1000) << 600 << 300 << quint64(256) << quint64(235) << 0 << 21 << 22;
        QTest::newRow("narrow") << quint64(0x1000) << 300 << 300 << quint64(256) << quint64(235) << 223 << 21 << 22;
        QTest::newRow("exact rows") << quint64(0x1000) << 600 << 18 + 13 * 10 + 2 << quint64(256) << quint64(246)
                                    << 0 << 10 << 10;
        QTest::newRow("too small for a row") << quint64(0x1000) << 600 << 10 << quint64(256) << quint64(256) << 0
                                             << 0 << 0;
        QTest::newRow("tall: one paint's worth") << quint64(0x10000) << 600 << 3000 << quint64(4096)
                                                 << quint64(4096 - 96) << 0 << 96 << 96;
        QTest::newRow("64 GiB") << 64 * kGiB << 600 << 300 << quint64(4 * kGiB) << quint64(4 * kGiB - 21) << 0
                                << 21 << 22;
    }
    void rowsAndRanges()
    {
        QFETCH(quint64, size);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(quint64, rows);
        QFETCH(quint64, maxFirstRow);
        QFETCH(int, maxHorizontal);
        QFETCH(int, fullRows);
        QFETCH(int, visibleRows);
        const CHexLayout layout = LaidOut(size, width, height);
        QCOMPARE(layout.Rows(), rows);
        QCOMPARE(layout.MaxFirstRow(), maxFirstRow);
        QCOMPARE(layout.MaxHorizontalOffset(), maxHorizontal);
        QCOMPARE(layout.FullRows(), fullRows);
        QCOMPARE(layout.VisibleRows(), visibleRows);
    }

    void scrollPositionsAreClamped()
    {
        CHexLayout layout = LaidOut(0x1000, 300);
        QVERIFY(layout.SetFirstRow(1000));
        QCOMPARE(layout.FirstRow(), quint64(235));
        QVERIFY(layout.ScrollRows(-1000));
        QCOMPARE(layout.FirstRow(), quint64(0));
        QVERIFY(layout.SetHorizontalOffset(5000));
        QCOMPARE(layout.HorizontalOffset(), 223);
        // A wider view takes the offset back to what is still possible.
        layout.Layout(Metrics(600, 300), 0x1000, 8);
        QCOMPARE(layout.HorizontalOffset(), 0);
        layout.SetFirstRow(235);
        layout.Layout(Metrics(600, 300), 0x100, 8);
        QCOMPARE(layout.FirstRow(), quint64(0));
    }

    void caretRect_data()
    {
        QTest::addColumn<quint64>("firstRow");
        QTest::addColumn<int>("horizontal");
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<bool>("high");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("byte 0x25 high") << quint64(0) << 0 << quint64(0x25) << true << QRect(5 + 64 + 7 * 15, 18 + 26, 7, 13);
        QTest::newRow("byte 0x25 low") << quint64(0) << 0 << quint64(0x25) << false << QRect(5 + 64 + 7 * 16, 18 + 26, 7, 13);
        QTest::newRow("scrolled") << quint64(2) << 0 << quint64(0x25) << true << QRect(5 + 64 + 7 * 15, 18, 7, 13);
        QTest::newRow("row above the view") << quint64(3) << 0 << quint64(0x25) << true << QRect();
        QTest::newRow("partly visible row") << quint64(0) << 0 << quint64(21 * 16) << true
                                            << QRect(5 + 64, 18 + 21 * 13, 7, 297 - (18 + 21 * 13) + 1);
        QTest::newRow("below the view") << quint64(0) << 0 << quint64(22 * 16) << true << QRect();
        QTest::newRow("shifted left") << quint64(0) << 110 << quint64(0x0F) << false
                                      << QRect(5 + 64 + 7 * 46 - 110, 18, 7, 13);
        QTest::newRow("cut at the right edge") << quint64(0) << 100 << quint64(0x0F) << false
                                               << QRect(QPoint(5 + 64 + 7 * 46 - 100, 18), QPoint(294, 30));
        QTest::newRow("shifted out of the content") << quint64(0) << 200 << quint64(0) << true << QRect();
        QTest::newRow("past the end") << quint64(0) << 0 << quint64(0x1000) << true << QRect();
    }
    void caretRect()
    {
        QFETCH(quint64, firstRow);
        QFETCH(int, horizontal);
        QFETCH(quint64, offset);
        QFETCH(bool, high);
        QFETCH(QRect, rect);
        CHexLayout layout = LaidOut(0x1000, 300);
        layout.SetFirstRow(firstRow);
        layout.SetHorizontalOffset(horizontal);
        const QRect caret = layout.CaretRect(offset, high);
        QCOMPARE(caret.isEmpty(), rect.isEmpty());
        if (!rect.isEmpty())
            QCOMPARE(caret, rect);
    }

    void hitTest_data()
    {
        QTest::addColumn<quint64>("firstRow");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<bool>("high");
        const int hexLeft = 5 + 64;
        QTest::newRow("first digit") << quint64(0) << QPoint(hexLeft + 1, 20) << quint64(0) << true;
        QTest::newRow("second digit") << quint64(0) << QPoint(hexLeft + 7 + 4, 20) << quint64(0) << false;
        QTest::newRow("right half of a digit rounds on") << quint64(0) << QPoint(hexLeft + 5, 20) << quint64(0) << false;
        QTest::newRow("byte 5 of row 2") << quint64(0) << QPoint(hexLeft + 7 * 15 + 1, 18 + 26 + 6) << quint64(0x25) << true;
        QTest::newRow("scrolled") << quint64(10) << QPoint(hexLeft + 7 * 15 + 1, 18 + 26 + 6) << quint64(0xC5) << true;
        QTest::newRow("address column") << quint64(0) << QPoint(10, 18 + 13 + 6) << quint64(0x10) << true;
        QTest::newRow("character column") << quint64(0) << QPoint(500, 18 + 6) << quint64(0x0F) << false;
        QTest::newRow("header") << quint64(0) << QPoint(hexLeft + 1, 3) << quint64(0) << true;
        QTest::newRow("below the rows") << quint64(0) << QPoint(hexLeft + 1, 299) << quint64(21 * 16) << true;
    }
    void hitTest()
    {
        QFETCH(quint64, firstRow);
        QFETCH(QPoint, point);
        QFETCH(quint64, offset);
        QFETCH(bool, high);
        CHexLayout layout = LaidOut(0x1000);
        layout.SetFirstRow(firstRow);
        CHexLayout::SHit hit;
        QVERIFY(layout.HitTest(point.x(), point.y(), hit));
        QCOMPARE(hit.offset, offset);
        QCOMPARE(hit.high, high);
    }

    void hitTestPastTheEnd()
    {
        const CHexLayout layout = LaidOut(0x25);
        CHexLayout::SHit hit;
        QVERIFY(layout.HitTest(5 + 64 + 1, 18 + 26 + 6 + 13 * 5, hit));
        QCOMPARE(hit.offset, quint64(0x24));
        QCOMPARE(hit.high, false);
        const CHexLayout empty = LaidOut(0);
        QVERIFY(!empty.HitTest(5 + 64 + 1, 20, hit));
    }

    void caretCellRoundTrip()
    {
        CHexLayout layout = LaidOut(0x1000, 300);
        layout.SetHorizontalOffset(50);
        layout.SetFirstRow(7);
        for (uint64_t offset : {uint64_t(0x70), uint64_t(0x7C), uint64_t(0x1A8), uint64_t(0x1C3)}) {
            for (bool high : {true, false}) {
                const QRect rect = layout.CaretRect(offset, high);
                QVERIFY(!rect.isEmpty());
                CHexLayout::SHit hit;
                QVERIFY(layout.HitTest(rect.left() + 1, rect.center().y(), hit));
                QCOMPARE(hit.offset, offset);
                QCOMPARE(hit.high, high);
            }
        }
    }

    // A 4 KiB buffer seen 21 full rows (336 bytes) at a time from row 10
    // (offset 160 to 496).
    void showOffsets_data()
    {
        QTest::addColumn<quint64>("first");
        QTest::addColumn<quint64>("last");
        QTest::addColumn<quint64>("firstRow");
        QTest::newRow("covers the view") << quint64(100) << quint64(600) << quint64(10);
        QTest::newRow("fits, starts before") << quint64(0x50) << quint64(0x60) << quint64(5);
        QTest::newRow("fits, inside") << quint64(200) << quint64(300) << quint64(10);
        QTest::newRow("fits, ends after") << quint64(0x300) << quint64(0x310) << quint64((0x310 + 16 - 336) / 16);
        QTest::newRow("fits, one byte after") << quint64(496) << quint64(496) << quint64(11);
        QTest::newRow("longer, starts after") << quint64(0x200) << quint64(0x400) << quint64(0x20);
        QTest::newRow("longer, ends inside") << quint64(0) << quint64(400) << quint64((400 + 16 - 336) / 16);
        QTest::newRow("longer, starts at the view") << quint64(160) << quint64(900) << quint64(10);
        QTest::newRow("last row, clamped") << quint64(0xFF0) << quint64(0xFFF) << quint64(235);
        QTest::newRow("end past the buffer") << quint64(0xFF0) << quint64(0x5000) << quint64(235);
        QTest::newRow("start past the buffer") << quint64(0x9000) << quint64(0x9000) << quint64(235);
    }
    void showOffsets()
    {
        QFETCH(quint64, first);
        QFETCH(quint64, last);
        QFETCH(quint64, firstRow);
        CHexLayout layout = LaidOut(0x1000);
        layout.SetFirstRow(10);
        layout.ShowOffsets(first, last);
        QCOMPARE(layout.FirstRow(), firstRow);
    }

    void showOffsetsHorizontally_data()
    {
        QTest::addColumn<int>("horizontal");
        QTest::addColumn<quint64>("first");
        QTest::addColumn<quint64>("last");
        QTest::addColumn<int>("newHorizontal");
        // Content 290 wide; cell of byte c from 64 + 21c to 64 + 21c + 14.
        QTest::newRow("far cell off the right") << 0 << quint64(0x0F) << quint64(0x0F) << 64 + 21 * 15 + 14 - 290;
        QTest::newRow("range to the right") << 0 << quint64(0x02) << quint64(0x1C) << 64 + 21 * 12 + 14 - 290;
        QTest::newRow("near cell off the left") << 150 << quint64(0x01) << quint64(0x01) << 64 + 21;
        QTest::newRow("both in sight") << 50 << quint64(0x03) << quint64(0x04) << 50;
    }
    void showOffsetsHorizontally()
    {
        QFETCH(int, horizontal);
        QFETCH(quint64, first);
        QFETCH(quint64, last);
        QFETCH(int, newHorizontal);
        CHexLayout layout = LaidOut(0x1000, 300);
        layout.SetHorizontalOffset(horizontal);
        layout.ShowOffsets(first, last);
        QCOMPARE(layout.HorizontalOffset(), newHorizontal);
    }

    void scrollToOffset()
    {
        CHexLayout layout = LaidOut(0x1000, 300);
        QVERIFY(layout.ScrollToOffset(0x200, true));
        QCOMPARE(layout.FirstRow(), quint64(0x20 - 21 + 1));
        QVERIFY(layout.ScrollToOffset(0x15, false));
        QCOMPARE(layout.FirstRow(), quint64(1));
        QCOMPARE(layout.HorizontalOffset(), 0);
        QVERIFY(layout.ScrollToOffset(0x1F, false));
        QCOMPARE(layout.HorizontalOffset(), 64 + 7 * 46 + 7 - 290);
        QVERIFY(!layout.ScrollToOffset(0x1E, false));
    }

    void caretMoves_data()
    {
        QTest::addColumn<quint64>("size");
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<bool>("high");
        QTest::addColumn<int>("move");
        QTest::addColumn<quint64>("newOffset");
        QTest::addColumn<bool>("newHigh");
        const auto row = [](const char *name, quint64 size, quint64 offset, bool high, EHexMove move,
                            quint64 newOffset, bool newHigh) {
            QTest::newRow(name) << size << offset << high << int(move) << newOffset << newHigh;
        };
        row("home", 0x100, 0x55, false, EHexMove::Home, 0, true);
        row("end of 16 bytes", 16, 3, true, EHexMove::End, 15, false);
        row("right on the last nibble stays", 16, 15, false, EHexMove::Right, 15, false);
        row("right high to low", 16, 4, true, EHexMove::Right, 4, false);
        row("right low to next high", 16, 4, false, EHexMove::Right, 5, true);
        row("left low to high", 16, 4, false, EHexMove::Left, 4, true);
        row("left high to previous low", 16, 4, true, EHexMove::Left, 3, false);
        row("left at the start stays", 16, 0, true, EHexMove::Left, 0, true);
        row("up", 0x100, 0x35, false, EHexMove::Up, 0x25, false);
        row("up before the start", 0x100, 0x05, false, EHexMove::Up, 0, true);
        row("down", 0x100, 0x35, false, EHexMove::Down, 0x45, false);
        row("down past the end", 0x100, 0xF5, true, EHexMove::Down, 0xFF, false);
        row("page down", 0x1000, 0x10, true, EHexMove::PageDown, 0x10 + 21 * 16, true);
        row("page up", 0x1000, 0x200, true, EHexMove::PageUp, 0x200 - 21 * 16, true);
        row("page up before the start", 0x1000, 0x20, false, EHexMove::PageUp, 0, true);
        row("page down past the end", 0x1000, 0xF00, false, EHexMove::PageDown, 0xFFF, false);
        row("empty buffer", 0, 0, true, EHexMove::End, 0, true);
    }
    void caretMoves()
    {
        QFETCH(quint64, size);
        QFETCH(quint64, offset);
        QFETCH(bool, high);
        QFETCH(int, move);
        QFETCH(quint64, newOffset);
        QFETCH(bool, newHigh);
        const SHexCaret moved = MoveHexCaret({offset, high}, EHexMove(move), size, 22);
        QCOMPARE(moved.offset, newOffset);
        QCOMPARE(moved.high, newHigh);
    }

    void hexDigitKeys()
    {
        QCOMPARE(HexDigitOfKey(Qt::Key_0), 0);
        QCOMPARE(HexDigitOfKey(Qt::Key_9), 9);
        QCOMPARE(HexDigitOfKey(Qt::Key_A), 10);
        QCOMPARE(HexDigitOfKey(Qt::Key_F), 15);
        QCOMPARE(HexDigitOfKey(Qt::Key_G), -1);
        QCOMPARE(HexDigitOfKey(Qt::Key_Space), -1);
    }

    void addressText_data()
    {
        QTest::addColumn<quint64>("address");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("text");
        QTest::newRow("8 digits") << quint64(0x1234) << 8 << "00001234";
        QTest::newRow("10 digits") << quint64(0x1234) << 10 << "0000001234";
        QTest::newRow("last below 4 GiB") << quint64(0xFFFFFFF0) << 10 << "00FFFFFFF0";
        QTest::newRow("4 GiB") << quint64(0x100000000) << 10 << "0100000000";
        QTest::newRow("64 GiB") << 64 * kGiB << 10 << "1000000000";
        QTest::newRow("past 4 GiB") << quint64(0x2ABCDEF10) << 10 << "02ABCDEF10";
    }
    void addressText()
    {
        QFETCH(quint64, address);
        QFETCH(int, digits);
        QFETCH(QString, text);
        QCOMPARE(HexAddressText(address, digits), text);
    }

    void addressDigits_data()
    {
        QTest::addColumn<quint64>("sizeField");
        QTest::addColumn<quint64>("base");
        QTest::addColumn<quint64>("size");
        QTest::addColumn<int>("digits");
        QTest::newRow("small") << quint64(0x1000) << quint64(0) << quint64(0x1000) << 8;
        QTest::newRow("exactly 4 GiB") << 4 * kGiB << quint64(0) << 4 * kGiB << 8;
        QTest::newRow("over 4 GiB") << 4 * kGiB + 1 << quint64(0) << 4 * kGiB + 1 << 10;
        QTest::newRow("file still empty") << 8 * kGiB << quint64(0) << quint64(0) << 10;
        QTest::newRow("window past 4 GiB") << 512 * 1024 * 1024ull << quint64(0xF0000000) << 512 * 1024 * 1024ull << 10;
    }
    void addressDigits()
    {
        QFETCH(quint64, sizeField);
        QFETCH(quint64, base);
        QFETCH(quint64, size);
        QFETCH(int, digits);
        QCOMPARE(HexAddressDigits(sizeField, base, size), digits);
    }

    void rowTexts_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("chars");
        QTest::newRow("full row") << 16 << "1E 1F 20 41 7E 7F 80 FF-00 61 62 63 30 31 32 33" << ".. A~....abc0123";
        QTest::newRow("one byte") << 1 << "1E" << ".";
        QTest::newRow("eight bytes") << 8 << "1E 1F 20 41 7E 7F 80 FF" << ".. A~...";
        QTest::newRow("nine bytes") << 9 << "1E 1F 20 41 7E 7F 80 FF-00" << ".. A~....";
        QTest::newRow("none") << 0 << "" << "";
    }
    void rowTexts()
    {
        QFETCH(int, count);
        QFETCH(QString, hex);
        QFETCH(QString, chars);
        const uint8_t bytes[16] = {0x1E, 0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0xFF,
                                   0x00, 0x61, 0x62, 0x63, 0x30, 0x31, 0x32, 0x33};
        QCOMPARE(HexRowText(bytes, count), hex);
        QCOMPARE(HexCharText(bytes, count), chars);
    }

    void header()
    {
        QCOMPARE(HexHeaderText(),
                 QStringLiteral(" OFFSET   0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F     A S C I I"));
    }

    void pageFollowsPointer()
    {
        CPageDrag drag;
        drag.Press(QPoint(10, 100));
        int64_t rows = 0;
        int pixels = 0;
        QVERIFY(drag.Move(QPoint(10, 126), 13, rows, pixels));
        QCOMPARE(rows, int64_t(-2));
        QCOMPARE(pixels, 0);
        QVERIFY(!drag.Move(QPoint(4, 131), 13, rows, pixels));
        QCOMPARE(rows, int64_t(0));
        QCOMPARE(pixels, 6);
        // What was left over from the last move counts toward the next row.
        drag.Move(QPoint(4, 140), 13, rows, pixels);
        QCOMPARE(rows, int64_t(-1));
        drag.Move(QPoint(4, 100), 13, rows, pixels);
        QCOMPARE(rows, int64_t(3));
    }

    void glide_data()
    {
        QTest::addColumn<int>("movement");
        QTest::addColumn<QList<int>>("steps");
        QTest::newRow("fast flick is limited") << 40 << QList<int>{-29, -28, -27};
        QTest::newRow("30 counts as within range") << 30 << QList<int>{-29, -28};
        QTest::newRow("slow") << 3 << QList<int>{-2, -1, 0};
        QTest::newRow("upward flick") << -50 << QList<int>{29, 28};
    }
    void glide()
    {
        QFETCH(int, movement);
        QFETCH(QList<int>, steps);
        CPageDrag drag;
        drag.Press(QPoint(0, 200));
        int64_t rows = 0;
        int pixels = 0;
        drag.Move(QPoint(0, 200), 13, rows, pixels);
        drag.Move(QPoint(0, 200 + movement), 13, rows, pixels);
        QVERIFY(drag.Tick(rows));
        QCOMPARE(drag.Speed(), movement);
        QCOMPARE(rows, int64_t(0));
        drag.Release();
        for (int step : steps) {
            const bool goesOn = drag.Tick(rows);
            QCOMPARE(rows, int64_t(step));
            QCOMPARE(goesOn, step != 0);
        }
    }

    void glideEndsAndPressStopsIt()
    {
        CPageDrag drag;
        drag.Press(QPoint(0, 0));
        int64_t rows = 0;
        int pixels = 0;
        drag.Move(QPoint(0, 0), 13, rows, pixels);
        drag.Move(QPoint(0, 35), 13, rows, pixels);
        drag.Tick(rows);
        drag.Release();
        int64_t total = 0;
        int ticks = 0;
        while (drag.Tick(rows) && ticks < 100) {
            total += rows;
            ++ticks;
        }
        QCOMPARE(total, -int64_t(29 * 30 / 2 - 0));
        QVERIFY(!drag.Active());
        // A press during a glide stops it at once.
        drag.Press(QPoint(0, 0));
        drag.Move(QPoint(0, 0), 13, rows, pixels);
        drag.Move(QPoint(0, 35), 13, rows, pixels);
        drag.Tick(rows);
        drag.Release();
        drag.Tick(rows);
        drag.Press(QPoint(0, 0));
        QVERIFY(!drag.Tick(rows));
        QCOMPARE(rows, int64_t(0));
    }
};

QTEST_MAIN(TestHexLayout)
#include "tst_hexlayout.moc"
