// The hex view as a widget: what a paint reads and draws, the caret and its
// blink, editing, the key table, ranges brought into sight, scrolling by
// wheel and page drag.

#include "FileMemoryNode.h"
#include "HexText.h"
#include "HexView.h"
#include "MemoryNode.h"
#include "RecordingFrame.h"

#include <QFile>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

namespace {

const QColor kRedHeader(255, 0, 0);
const QColor kGreyHeader(192, 192, 192);

constexpr quint64 kGiB = quint64(1) << 30;

struct SRead
{
    uint64_t offset;
    uint64_t length;
};

// The real buffers, with a note of every Read a paint makes.
class CObservedMemory : public CMemoryNode
{
public:
    using CMemoryNode::CMemoryNode;
    uint64_t Read(uint64_t offset, uint8_t *destination, uint64_t length) override
    {
        reads.push_back({offset, length});
        return CMemoryNode::Read(offset, destination, length);
    }
    std::vector<SRead> reads;
};

class CObservedFile : public CFileMemoryNode
{
public:
    using CFileMemoryNode::CFileMemoryNode;
    uint64_t Read(uint64_t offset, uint8_t *destination, uint64_t length) override
    {
        reads.push_back({offset, length});
        return CFileMemoryNode::Read(offset, destination, length);
    }
    std::vector<SRead> reads;
};

bool WriteAt(const QString &path, qint64 size, qint64 at, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.resize(size) && file.seek(at) && file.write(bytes) == bytes.size();
}

// A shown view; with the focus it shows (and blinks) its caret, which the
// tests that compare painted text leave out.
std::unique_ptr<CHexView> ShownView(CMemoryNode *buffer, QSize size = QSize(600, 300), bool focus = false)
{
    auto view = std::make_unique<CHexView>(buffer);
    view->resize(size);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        return nullptr;
    if (focus) {
        view->activateWindow();
        if (!QTest::qWaitForWindowActive(view.get()))
            return nullptr;
        view->setFocus();
        QCoreApplication::processEvents();
    }
    return view;
}

QImage Grab(CHexView &view)
{
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Whether the view shows each character at its x (logical, fractional) on
// the row whose top is `top`: drawn one by one with the view's font and
// colour on the background, the characters must give the view's pixels.
bool ShowsChars(const CHexView &view, const QImage &grab, int top, const QList<QPair<qreal, QChar>> &chars,
                const QColor &colour, const QColor &background)
{
    const QFontMetricsF metrics(view.font());
    const qreal cw = view.layout().CharWidth();
    const int left = int(std::floor(chars.first().first));
    const int right = int(std::ceil(chars.last().first + cw));
    const QRect area(left, top, right - left, int(metrics.height()));
    const qreal ratio = grab.devicePixelRatio();
    QImage expected((QSizeF(area.size()) * ratio).toSize(), QImage::Format_RGB32);
    expected.setDevicePixelRatio(ratio);
    expected.fill(background);
    {
        QPainter painter(&expected);
        painter.setFont(view.font());
        painter.setPen(colour);
        for (const auto &[x, ch] : chars)
            if (ch != QLatin1Char(' '))
                painter.drawText(QPointF(x - left, metrics.ascent()), QString(ch));
    }
    const QRect device((QPointF(area.topLeft()) * ratio).toPoint(),
                       expected.size());
    QImage shown = grab.copy(device);
    shown.setDevicePixelRatio(ratio);
    return shown == expected;
}

// Whether the view shows `text` from `at`, one character per advance.
bool Shows(const CHexView &view, const QImage &grab, QPointF at, const QString &text, const QColor &colour,
           const QColor &background = Qt::white)
{
    QList<QPair<qreal, QChar>> chars;
    for (int i = 0; i < text.size(); ++i)
        chars.append({at.x() + i * view.layout().CharWidth(), text[i]});
    return ShowsChars(view, grab, int(at.y()), chars, colour, background);
}

// The header: " OFFSET" over the addresses, each hex label centred over its
// byte's two digits, "A S C I I" centred over the character column.
bool ShowsHeader(const CHexView &view, const QImage &grab)
{
    const CHexLayout &layout = view.layout();
    const QString text = HexHeaderText();
    const qreal cw = layout.CharWidth();
    const int hex = int(text.indexOf(QLatin1Char('0')));
    const int ascii = int(text.indexOf(QStringLiteral("A S C I I")));
    QList<QPair<qreal, QChar>> chars;
    for (int i = 0; i < text.size(); ++i) {
        const qreal x = i >= ascii ? layout.CharCharLeft(i - ascii) + cw * 3.5
                        : i >= hex ? layout.HexCharLeft(i - hex) + cw / 2
                                   : layout.AddressCharLeft(i + layout.AddressDigits() - 8);
        chars.append({x, text[i]});
    }
    return ShowsChars(view, grab, layout.Content().top(), chars, kRedHeader, kGreyHeader);
}

int CountColour(const QImage &image, const QRect &area, const QColor &colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}


// Where the view draws one nibble's digit in row 0: the device-pixel columns
// that change when only that digit changes, as logical x from left to right
// (empty when nothing changed).
struct SInk
{
    qreal left = 0;
    qreal right = -1;
    bool Empty() const { return right < left; }
    qreal Centre() const { return (left + right) / 2; }
};

SInk InkOfChange(const QImage &before, const QImage &after, const CHexLayout &layout)
{
    const qreal ratio = before.devicePixelRatio();
    const int top = int(layout.RowTop(0) * ratio);
    const int bottom = int((layout.RowTop(0) + layout.RowHeight()) * ratio);
    int first = -1, last = -1;
    for (int x = 0; x < before.width(); ++x)
        for (int y = top; y < bottom && y < before.height(); ++y)
            if (before.pixel(x, y) != after.pixel(x, y)) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    if (first < 0)
        return {};
    return {first / ratio, (last + 1) / ratio};
}

// The fonts the view is tried with: the one it asks for (which falls back
// to a fixed-pitch face where it is missing, with a fractional advance),
// and others of several sizes.
void AddFontRows()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("Lucida Console 11 (fallback)") << QStringLiteral("Lucida Console") << 11;
    QTest::newRow("DejaVu Sans Mono 9") << QStringLiteral("DejaVu Sans Mono") << 9;
    QTest::newRow("DejaVu Sans Mono 13") << QStringLiteral("DejaVu Sans Mono") << 13;
    QTest::newRow("Monospace 16") << QStringLiteral("Monospace") << 16;
    QTest::newRow("DejaVu Sans Mono 21") << QStringLiteral("DejaVu Sans Mono") << 21;
}

QFont ViewFont(const QString &family, int pixelSize)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

const QColor kPurple(150, 0, 150);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGrey(192, 192, 192);

} // namespace

class TestHexView : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Row `row` of the view: its address, hex and character cells' corners.
    static QPoint AddressAt(const CHexView &view, int row)
    {
        return QPoint(view.layout().Content().left() - view.layout().HorizontalOffset(), view.layout().RowTop(row));
    }
    static QPointF HexAt(const CHexView &view, int row)
    {
        return QPointF(view.layout().HexCharLeft(0), view.layout().RowTop(row));
    }
    static QPointF CharsAt(const CHexView &view, int row)
    {
        return QPointF(view.layout().CharCharLeft(0), view.layout().RowTop(row));
    }

private slots:
    void emptyBufferShowsHeaderOnly()
    {
        CObservedMemory buffer(QStringLiteral("SPI"), 0, 0, 0xFF);
        auto view = ShownView(&buffer);
        QVERIFY(view);
        const QImage image = Grab(*view);
        const CHexLayout &layout = view->layout();
        QVERIFY(buffer.reads.empty());
        QVERIFY(!view->verticalScrollBar()->isVisible());
        QVERIFY(!view->horizontalScrollBar()->isVisible());
        QVERIFY(ShowsHeader(*view, image));
        QCOMPARE(CountColour(image, QRect(layout.Content().left(), layout.RowTop(0), layout.Content().width(), 40),
                             Qt::white),
                 layout.Content().width() * 40);
    }

    void sixteenBytesShowOneRow()
    {
        CObservedMemory buffer(QStringLiteral("SPI"), 0, 16, 0xFF);
        for (int i = 0; i < 16; ++i)
            buffer.SetByte(uint64_t(i), uint8_t(0x30 + i));
        auto view = ShownView(&buffer);
        QVERIFY(view);
        buffer.reads.clear();
        const QImage image = Grab(*view);
        QCOMPARE(buffer.reads.size(), size_t(1));
        QCOMPARE(buffer.reads[0].offset, uint64_t(0));
        QCOMPARE(buffer.reads[0].length, uint64_t(16));
        QVERIFY(Shows(*view, image, AddressAt(*view, 0), QStringLiteral("00000000"), kPurple));
        QVERIFY(Shows(*view, image, HexAt(*view, 0), QStringLiteral("30 31 32 33 34 35 36 37-38 39 3A 3B 3C 3D 3E 3F"),
                      kBlue));
        QVERIFY(Shows(*view, image, CharsAt(*view, 0), QStringLiteral("0123456789:;<=>?"), Qt::black));
        // Nothing below the one row.
        const QRect below(view->layout().Content().left(), view->layout().RowTop(1), view->layout().Content().width(),
                          view->layout().RowHeight() * 3);
        QCOMPARE(CountColour(image, below, Qt::white), below.width() * below.height());
        QVERIFY(!view->verticalScrollBar()->isVisible());
    }

    // Inside a window the rows must land where they do in a view of its own:
    // text drawn by other means than the painter's own text layout lost the
    // widget's place in the window and slid over the header.
    void rowsInsideAWindowStayInPlace()
    {
        CObservedMemory buffer(QStringLiteral("SPI"), 0, 64, 0xFF);
        for (int i = 0; i < 16; ++i)
            buffer.SetByte(uint64_t(i), uint8_t(0x30 + i));
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(210, 110, 20, 20);
        auto *view = new CHexView(&buffer);
        layout->addWidget(view);
        window.resize(900, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage whole = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect viewport(view->viewport()->mapTo(&window, QPoint(0, 0)), view->viewport()->size());
        const QImage image = whole.copy(viewport);
        QVERIFY(ShowsHeader(*view, image));
        QVERIFY(Shows(*view, image, AddressAt(*view, 0), QStringLiteral("00000000"), kPurple));
        QVERIFY(Shows(*view, image, HexAt(*view, 0), QStringLiteral("30 31 32 33 34 35 36 37-38 39 3A 3B 3C 3D 3E 3F"),
                      kBlue));
        QVERIFY(Shows(*view, image, AddressAt(*view, 1), QStringLiteral("00000010"), kPurple));
    }

    void paintReadsAtMostOnePaintWorth_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<quint64>("firstRow");
        QTest::newRow("ordinary") << QSize(600, 300) << quint64(0);
        QTest::newRow("scrolled") << QSize(600, 300) << quint64(0x1234);
        QTest::newRow("taller than 96 rows") << QSize(600, 1800) << quint64(77);
        QTest::newRow("at the end") << QSize(600, 1800) << quint64(~0ull);
    }
    void paintReadsAtMostOnePaintWorth()
    {
        QFETCH(QSize, size);
        QFETCH(quint64, firstRow);
        CObservedMemory buffer(QStringLiteral("SPI"), 0, 0x100000 + 5, 0xFF);
        auto view = ShownView(&buffer, size);
        QVERIFY(view);
        view->ShowRange(firstRow == ~0ull ? 0x100004 : firstRow * 16, firstRow == ~0ull ? 0x100004 : firstRow * 16, false);
        buffer.reads.clear();
        Grab(*view);
        QCOMPARE(buffer.reads.size(), size_t(1));
        const SRead read = buffer.reads[0];
        QVERIFY(read.length <= 1536);
        QCOMPARE(read.offset, view->layout().FirstRow() * 16);
        QVERIFY(read.offset + read.length <= buffer.GetSize());
        QCOMPARE(read.length, std::min<uint64_t>(uint64_t(view->layout().VisibleRows()) * 16,
                                                 buffer.GetSize() - read.offset));
    }

    void fileBackedPast4GiB()
    {
        const QString path = m_dir.filePath(QStringLiteral("sparse.bin"));
        const quint64 size = 5 * kGiB;
        QVERIFY(WriteAt(path, qint64(size), qint64(4 * kGiB) - 16, QByteArray("nearly 4 GiB....past 4 GiB......")));
        CObservedFile buffer(QStringLiteral("Nand"), 0, size);
        QVERIFY(buffer.LoadFile(path, false));
        auto view = ShownView(&buffer);
        QVERIFY(view);
        QCOMPARE(view->layout().AddressDigits(), 10);
        // From the end backwards, so the range's first row becomes the top row.
        view->ShowRange(size - 1, size - 1, false);
        view->ShowRange(4 * kGiB - 16, 4 * kGiB + 15, true);
        QCOMPARE(view->layout().FirstRow(), 4 * kGiB / 16 - 1);
        buffer.reads.clear();
        const QImage image = Grab(*view);
        QCOMPARE(buffer.reads.size(), size_t(1));
        QCOMPARE(buffer.reads[0].offset, 4 * kGiB - 16);
        QVERIFY(buffer.reads[0].length <= 1536);
        // The header's labels move with the wider address column.
        QVERIFY(ShowsHeader(*view, image));
        QVERIFY(Shows(*view, image, AddressAt(*view, 0), QStringLiteral("00FFFFFFF0"), kPurple));
        QVERIFY(Shows(*view, image, AddressAt(*view, 1), QStringLiteral("0100000000"), kPurple));
        QVERIFY(Shows(*view, image, AddressAt(*view, 2), QStringLiteral("0100000010"), kPurple));
        QVERIFY(Shows(*view, image, CharsAt(*view, 1), QStringLiteral("past 4 GiB......"), Qt::black));
        QVERIFY(Shows(*view, image, HexAt(*view, 2), QStringLiteral("00 00 00 00 00 00 00 00-00 00 00 00 00 00 00 00"),
                      kBlue));
        // The scroll bar's end is the buffer's last row.
        QScrollBar *bar = view->verticalScrollBar();
        QVERIFY(bar->isVisible());
        bar->setValue(bar->maximum());
        QCOMPARE(view->layout().FirstRow(), view->layout().MaxFirstRow());
    }

    void scrollBarCoversHugeBuffers()
    {
        // 64 GiB is 2^32 rows, more than a scroll bar counts.
        const QString path = m_dir.filePath(QStringLiteral("huge.bin"));
        QVERIFY(WriteAt(path, qint64(64 * kGiB), 0, QByteArray("x")));
        CFileMemoryNode buffer(QStringLiteral("Nand"), 0, 64 * kGiB);
        QVERIFY(buffer.LoadFile(path, false));
        auto view = ShownView(&buffer);
        QVERIFY(view);
        QScrollBar *bar = view->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum() / 2);
        const uint64_t middle = view->layout().FirstRow();
        QVERIFY(middle > view->layout().MaxFirstRow() / 4 && middle < view->layout().MaxFirstRow() / 4 * 3);
        bar->setValue(bar->maximum());
        QCOMPARE(view->layout().FirstRow(), view->layout().MaxFirstRow());
        view->ShowRange(32 * kGiB, 32 * kGiB, true);
        QVERIFY(std::abs(bar->value() - bar->maximum() / 2) <= view->layout().FullRows());
    }

    void typingEditsInMemory()
    {
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x100, 0xFF);
        auto view = ShownView(&buffer, QSize(600, 300), true);
        QVERIFY(view);
        QSignalSpy edited(view.get(), &CHexView::dataEdited);
        QTest::keyClick(view.get(), Qt::Key_A);
        QTest::keyClick(view.get(), Qt::Key_5);
        uint8_t byte = 0;
        buffer.Read(0, &byte, 1);
        QCOMPARE(byte, uint8_t(0xA5));
        QCOMPARE(view->caret(), (SHexCaret{1, true}));
        QCOMPARE(edited.count(), 2);
        // Lower-case letters arrive as the same keys.
        QTest::keyClick(view.get(), 'c');
        buffer.Read(1, &byte, 1);
        QCOMPARE(byte, uint8_t(0xCF));
        // Other keys and shortcuts edit nothing.
        QTest::keyClick(view.get(), Qt::Key_G);
        QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
        buffer.Read(1, &byte, 1);
        QCOMPARE(byte, uint8_t(0xCF));
        QCOMPARE(edited.count(), 3);
        // The last nibble stays under the caret once written.
        QTest::keyClick(view.get(), Qt::Key_End);
        QTest::keyClick(view.get(), Qt::Key_0);
        QTest::keyClick(view.get(), Qt::Key_1);
        buffer.Read(0xFF, &byte, 1);
        QCOMPARE(byte, uint8_t(0xF1));
        QCOMPARE(view->caret(), (SHexCaret{0xFF, false}));
    }

    void typingWhileBusyChangesNothing()
    {
        CRecordingFrame frame;
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x100, 0xFF);
        auto view = ShownView(&buffer);
        QVERIFY(view);
        QVERIFY(buffer.TryLock());
        QTest::keyClick(view.get(), Qt::Key_0);
        buffer.Unlock();
        uint8_t byte = 0;
        buffer.Read(0, &byte, 1);
        QCOMPARE(byte, uint8_t(0xFF));
        QCOMPARE(frame.log, QStringList{QStringLiteral("Busy")});
    }

    void typingIntoFileBackedChangesNothing()
    {
        const QString path = m_dir.filePath(QStringLiteral("image.bin"));
        QVERIFY(WriteAt(path, 0x100, 0, QByteArray(16, '\0')));
        CFileMemoryNode buffer(QStringLiteral("Nand"), 0, 0x100);
        QVERIFY(buffer.LoadFile(path, false));
        auto view = ShownView(&buffer);
        QVERIFY(view);
        QVERIFY(!view->initAction());
        QSignalSpy edited(view.get(), &CHexView::dataEdited);
        QTest::keyClick(view.get(), Qt::Key_A);
        QTest::keyClick(view.get(), Qt::Key_5);
        QCOMPARE(view->caret(), (SHexCaret{1, true}));
        uint8_t byte = 0xEE;
        buffer.Read(0, &byte, 1);
        QCOMPARE(byte, uint8_t(0));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(2), QByteArray(2, '\0'));
        QCOMPARE(edited.count(), 0);
    }

    void keysOnSixteenBytes_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<bool>("high");
        QTest::newRow("end") << QList<int>{Qt::Key_End} << quint64(15) << false;
        QTest::newRow("right at the end") << QList<int>{Qt::Key_End, Qt::Key_Right} << quint64(15) << false;
        QTest::newRow("home") << QList<int>{Qt::Key_End, Qt::Key_Home} << quint64(0) << true;
        QTest::newRow("left at the start") << QList<int>{Qt::Key_Left} << quint64(0) << true;
        QTest::newRow("right, right, left") << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Left} << quint64(0)
                                            << false;
        QTest::newRow("down") << QList<int>{Qt::Key_Down} << quint64(15) << false;
        QTest::newRow("page down") << QList<int>{Qt::Key_PageDown} << quint64(15) << false;
        QTest::newRow("up") << QList<int>{Qt::Key_Right, Qt::Key_Up} << quint64(0) << true;
    }
    void keysOnSixteenBytes()
    {
        QFETCH(QList<int>, keys);
        QFETCH(quint64, offset);
        QFETCH(bool, high);
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 16, 0xFF);
        auto view = ShownView(&buffer);
        QVERIFY(view);
        for (int key : keys)
            QTest::keyClick(view.get(), Qt::Key(key));
        QCOMPARE(view->caret(), (SHexCaret{offset, high}));
    }

    void keysScrollToTheCaret()
    {
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x10000, 0xFF);
        auto view = ShownView(&buffer, QSize(600, 300), true);
        QVERIFY(view);
        const int fullRows = view->layout().FullRows();
        QTest::keyClick(view.get(), Qt::Key_PageDown);
        QCOMPARE(view->caret().offset, uint64_t(view->layout().VisibleRows() - 1) * 16);
        QCOMPARE(view->layout().FirstRow(), uint64_t(view->layout().VisibleRows() - 1 - fullRows + 1));
        QTest::keyClick(view.get(), Qt::Key_End);
        QCOMPARE(view->layout().FirstRow(), view->layout().MaxFirstRow());
        QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
        QVERIFY(!view->caretRect().isEmpty());
        QTest::keyClick(view.get(), Qt::Key_Home);
        QCOMPARE(view->layout().FirstRow(), uint64_t(0));
    }

    void caretBlinkRepaintsOneCell()
    {
        CObservedMemory buffer(QStringLiteral("SPI"), 0, 0x100, 0xFF);
        buffer.SetByte(0x12, 0x5A);
        auto view = ShownView(&buffer, QSize(600, 300), true);
        QVERIFY(view);
        view->SetCaret(0x12, false);
        const QRect cell = view->caretRect();
        QCOMPARE(cell, view->layout().CaretRect(0x12, false));
        QVERIFY(!cell.isEmpty());
        // The caret appears within a blink or two.
        QVERIFY(QTest::qWaitFor([&] { return view->caretShown(); }, 3 * CHexView::kBlinkMs));
        buffer.reads.clear();
        view->viewport()->repaint(cell);
        QCOMPARE(buffer.reads.size(), size_t(1));
        QCOMPARE(buffer.reads[0].offset, uint64_t(0x12));
        QCOMPARE(buffer.reads[0].length, uint64_t(1));
        const QImage image = Grab(*view);
        // Under the caret: the digit "A" darkened, nothing pure white in the
        // pixels the cell covers whole.
        const QRectF exact = view->layout().CaretCell(0x12, false);
        const QRect inner(QPoint(int(std::ceil(exact.left())), int(std::ceil(exact.top()))),
                          QPoint(int(std::floor(exact.right())) - 1, int(std::floor(exact.bottom())) - 1));
        QVERIFY(!inner.isEmpty());
        QCOMPARE(CountColour(image, inner, Qt::white), 0);
        QVERIFY(QTest::qWaitFor([&] { return !view->caretShown(); }, 3 * CHexView::kBlinkMs));
        // Losing the focus removes the caret.
        view->clearFocus();
        QCoreApplication::processEvents();
        QVERIFY(view->caretRect().isEmpty());
        QVERIFY(!view->caretShown());
    }

    void showRange_data()
    {
        QTest::addColumn<quint64>("start");
        QTest::addColumn<quint64>("end");
        QTest::addColumn<quint64>("firstRow");
        // Base 0x10000, 4 KiB, 21 full rows in sight from row 0.
        QTest::newRow("already in sight") << quint64(0x10010) << quint64(0x10020) << quint64(0);
        QTest::newRow("below the view") << quint64(0x10800) << quint64(0x10800) << quint64((0x800 + 16) / 16 - 21);
        QTest::newRow("long range after the view") << quint64(0x10800) << quint64(0x10F00) << quint64(0x80);
        QTest::newRow("last byte") << quint64(0x10FFF) << quint64(0x10FFF) << quint64(0x100 - 21);
    }
    void showRange()
    {
        QFETCH(quint64, start);
        QFETCH(quint64, end);
        QFETCH(quint64, firstRow);
        CMemoryNode buffer(QStringLiteral("SPI"), 0x10000, 0x1000, 0xFF);
        auto view = ShownView(&buffer, QSize(600, 2 + 13 + 3 + 13 * 21 + 2 + 2));
        QVERIFY(view);
        // The rows fit the font's line height; the cases assume 21 full rows.
        if (view->layout().FullRows() != 21) {
            view->resize(600, view->height() + (21 - view->layout().FullRows()) * view->layout().RowHeight());
            QCoreApplication::processEvents();
        }
        QCOMPARE(view->layout().FullRows(), 21);
        view->ShowRange(start, end, true);
        QCOMPARE(view->layout().FirstRow(), firstRow);
        QCOMPARE(quint64(view->verticalScrollBar()->value()), firstRow);
    }

    void showRangeHorizontally()
    {
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x1000, 0xFF);
        auto view = ShownView(&buffer, QSize(250, 300));
        QVERIFY(view);
        QVERIFY(view->horizontalScrollBar()->isVisible());
        view->ShowRange(0x0F, 0x0F, true);
        const CHexLayout &layout = view->layout();
        const int right = int(std::ceil(layout.AddressWidth() + layout.CharWidth() * (15 * 3 + 2)));
        QCOMPARE(layout.HorizontalOffset(), right - layout.Content().width());
        QCOMPARE(view->horizontalScrollBar()->value(), layout.HorizontalOffset());
        view->ShowRange(0x20, 0x20, true);
        QCOMPARE(layout.HorizontalOffset(), int(std::floor(layout.AddressWidth())));
    }

    void mousePlacesCaretAndScrolls()
    {
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x10000, 0xFF);
        auto view = ShownView(&buffer, QSize(600, 300), true);
        QVERIFY(view);
        const QRect cell = view->layout().CaretRect(0x35, true);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 1, cell.center().y()));
        QCOMPARE(view->caret(), (SHexCaret{0x35, true}));
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                           QPoint(cell.left() + 1 + view->layout().CharWidth(), cell.center().y()));
        QCOMPARE(view->caret(), (SHexCaret{0x35, false}));

        // Three notches down scroll three rows; one up scrolls one back.
        QWheelEvent down(QPointF(50, 50), view->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                         QPoint(0, -360), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &down);
        QCOMPARE(view->layout().FirstRow(), uint64_t(3));
        QWheelEvent up(QPointF(50, 50), view->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &up);
        QCOMPARE(view->layout().FirstRow(), uint64_t(2));
        QCOMPARE(view->verticalScrollBar()->value(), 2);
    }

    void pageDragFollowsPointer()
    {
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x10000, 0xFF);
        auto view = ShownView(&buffer);
        QVERIFY(view);
        view->ShowRange(0x1000, 0x1000, true);
        const uint64_t before = view->layout().FirstRow();
        const int rowHeight = view->layout().RowHeight();
        QWidget *port = view->viewport();
        QTest::mousePress(port, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(port, QPoint(100, 100));
        QTest::mouseMove(port, QPoint(100, 100 + 3 * rowHeight));
        QCOMPARE(view->layout().FirstRow(), before - 3);
        QCOMPARE(port->cursor().shape(), Qt::ClosedHandCursor);
        QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(100, 100 + 3 * rowHeight));
        QCOMPARE(port->cursor().shape(), Qt::IBeamCursor);
    }

    // Caret, hit test and drawn digits come from one layout: at every column
    // the digit's ink lies in the caret's cell (to within a pixel) and a
    // click on it lands on its byte. Run at scale factors 1, 1.5 and 2.
    void layoutMatchesGlyphs_data() { AddFontRows(); }
    void layoutMatchesGlyphs()
    {
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x100, 0x00);
        auto view = ShownView(&buffer, QSize(1400, 200));
        QVERIFY(view);
        view->setFont(ViewFont(family, pixelSize));
        const QImage before = Grab(*view);
        const CHexLayout &layout = view->layout();
        QVERIFY(layout.TotalWidth() < layout.Content().width());
        for (int byte = 0; byte < 16; ++byte) {
            for (bool high : {true, false}) {
                buffer.SetNibble(uint64_t(byte), 0xE, high);
                view->viewport()->repaint();
                const SInk ink = InkOfChange(before, Grab(*view), layout);
                buffer.SetNibble(uint64_t(byte), 0x0, high);
                const QString where = QStringLiteral("byte %1 %2").arg(byte).arg(high ? "high" : "low");
                QVERIFY2(!ink.Empty(), qPrintable(where));
                const QRectF cell = layout.CaretCell(uint64_t(byte), high);
                QVERIFY2(ink.left >= cell.left() - 1 && ink.right <= cell.right() + 1,
                         qPrintable(QStringLiteral("%1: ink %2..%3, cell %4..%5")
                                        .arg(where).arg(ink.left).arg(ink.right).arg(cell.left()).arg(cell.right())));
                CHexLayout::SHit hit;
                const int y = layout.RowTop(0) + layout.RowHeight() / 2;
                QVERIFY(layout.HitTest(int(ink.Centre()), y, hit));
                QVERIFY2(hit.offset == uint64_t(byte), qPrintable(where));
                // The digit's left part selects the digit's own nibble.
                QVERIFY(layout.HitTest(int(std::ceil(ink.left)), y, hit));
                QVERIFY2(hit.offset == uint64_t(byte) && hit.high == high, qPrintable(where));
            }
        }
    }

    // A click on the last digit of a row and a typed digit change that
    // byte, not the one before it.
    void clickOnLastByteThenTypeEditsIt_data() { AddFontRows(); }
    void clickOnLastByteThenTypeEditsIt()
    {
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x100, 0xFF);
        auto view = ShownView(&buffer, QSize(1400, 200), true);
        QVERIFY(view);
        view->setFont(ViewFont(family, pixelSize));
        QCoreApplication::processEvents();
        // The last blue pixel of row 0 is the end of byte 15's last digit.
        const QImage image = Grab(*view);
        const qreal ratio = image.devicePixelRatio();
        const CHexLayout &layout = view->layout();
        const int y = int((layout.RowTop(0) + layout.RowHeight() / 2.0) * ratio);
        int last = -1;
        for (int x = 0; x < image.width(); ++x)
            for (int dy = -layout.RowHeight() / 3; dy <= layout.RowHeight() / 3; ++dy) {
                const QColor colour = image.pixelColor(x, y + int(dy * ratio));
                if (colour.blue() > 200 && colour.red() < 150)
                    last = std::max(last, x);
            }
        QVERIFY(last > 0);
        const QPoint click(int(last / ratio) - 1, layout.RowTop(0) + layout.RowHeight() / 2);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, click);
        QCOMPARE(view->caret().offset, uint64_t(15));
        QTest::keyClick(view.get(), Qt::Key_0);
        uint8_t bytes[16];
        buffer.Read(0, bytes, 16);
        QCOMPARE(bytes[15], uint8_t(0xF0));
        QCOMPARE(bytes[14], uint8_t(0xFF));
    }

    // A blink repaints the caret's pixels with what the full paint draws
    // there: no cut or shifted digits are left behind.
    void blinkLeavesTheDigitsWhole_data() { AddFontRows(); }
    void blinkLeavesTheDigitsWhole()
    {
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x100, 0x00);
        for (uint64_t i = 0; i < 16; ++i)
            buffer.SetNibble(i, uint8_t(i), false);
        auto view = ShownView(&buffer, QSize(1400, 200), true);
        QVERIFY(view);
        view->setFont(ViewFont(family, pixelSize));
        for (int byte : {8, 15}) {
            view->SetCaret(uint64_t(byte), false);
            // Just hidden by a blink: half a second before the next one.
            QTRY_VERIFY_WITH_TIMEOUT(view->caretShown(), 3 * CHexView::kBlinkMs);
            QTRY_VERIFY_WITH_TIMEOUT(!view->caretShown(), 3 * CHexView::kBlinkMs);
            const QImage whole = Grab(*view);
            // What a blink repaints: the caret's pixels alone, drawn over the
            // full paint; they must come out as the full paint has them.
            QImage partial = whole.copy();
            partial.setDevicePixelRatio(whole.devicePixelRatio());
            const QRect cell = view->caretRect();
            view->viewport()->render(&partial, cell.topLeft(), QRegion(cell), {});
            QVERIFY(!view->caretShown());
            QCOMPARE(partial, whole);
        }
    }
};

QTEST_MAIN(TestHexView)
#include "tst_hexview.moc"
