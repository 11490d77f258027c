// The bad-block map: grid layout and scroll range, colours by block state,
// and what a click reports to the window.

#include "BadBlockGrid.h"
#include "BadBlockTable.h"
#include "BadBlockView.h"
#include "RecordingFrame.h"

#include <QImage>
#include <QScrollBar>
#include <QtTest>

namespace {

struct SRangeRequest
{
    uint64_t start;
    uint64_t length;
    const void *askingView;
};

class CRangeFrame : public CRecordingFrame
{
public:
    void ShowAddressRange(uint64_t start, uint64_t length, const void *askingView) override
    {
        ranges.push_back({start, length, askingView});
    }
    std::vector<SRangeRequest> ranges;
};

constexpr uint32_t kBlockBytes = 0x20000;

QPoint CellCentre(uint32_t column, uint32_t row)
{
    return CBadBlockGrid::CellRect(column, row).center();
}

} // namespace

class TestBadBlockView : public QObject
{
    Q_OBJECT

private slots:
    void gridLayout_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<uint>("blocks");
        QTest::addColumn<uint>("columns");
        QTest::addColumn<uint>("rows");
        QTest::addColumn<int>("maxFirstRow");
        QTest::newRow("2048 blocks") << QSize(621, 241) << 2048u << 50u << 20u << 21;
        QTest::newRow("all fit") << QSize(621, 241) << 1000u << 50u << 20u << 0;
        QTest::newRow("one more row") << QSize(621, 241) << 1001u << 50u << 20u << 1;
        QTest::newRow("32 wide: no column") << QSize(32, 241) << 2048u << 0u << 20u << 0;
        QTest::newRow("33 wide: one column") << QSize(33, 241) << 30u << 1u << 20u << 10;
        QTest::newRow("no width") << QSize(0, 0) << 2048u << 0u << 0u << 0;
        QTest::newRow("no blocks") << QSize(621, 241) << 0u << 50u << 20u << 0;
        QTest::newRow("65536 blocks") << QSize(1000, 700) << 65536u << 81u << 58u << 752;
    }
    void gridLayout()
    {
        QFETCH(QSize, size);
        QFETCH(uint, blocks);
        QFETCH(uint, columns);
        QFETCH(uint, rows);
        QFETCH(int, maxFirstRow);
        CBadBlockGrid grid;
        grid.Layout(size.width(), size.height(), blocks);
        QCOMPARE(grid.Columns(), columns);
        QCOMPARE(grid.VisibleRows(), rows);
        QCOMPARE(grid.MaxFirstRow(), maxFirstRow);
    }

    void gridClampsFirstRow()
    {
        CBadBlockGrid grid;
        grid.Layout(621, 241, 2048);
        QVERIFY(grid.SetFirstRow(21));
        QVERIFY(!grid.SetFirstRow(99));
        QCOMPARE(grid.FirstRow(), 21);
        // A taller view needs fewer rows scrolled: the first row follows.
        grid.Layout(621, 385, 2048);
        QCOMPARE(grid.MaxFirstRow(), 9);
        QCOMPARE(grid.FirstRow(), 9);
        QVERIFY(grid.SetFirstRow(-5) && grid.FirstRow() == 0);
    }

    void gridBlockAt_data()
    {
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<qint64>("block");
        QTest::newRow("first square") << 0 << QPoint(5, 5) << qint64(0);
        QTest::newRow("second row") << 0 << QPoint(5, 12) << qint64(50);
        QTest::newRow("last column") << 0 << QPoint(599, 0) << qint64(49);
        QTest::newRow("strip right of the last column") << 0 << QPoint(605, 0) << qint64(50);
        QTest::newRow("scrolled") << 21 << QPoint(13, 0) << qint64(1051);
    }
    void gridBlockAt()
    {
        QFETCH(int, firstRow);
        QFETCH(QPoint, point);
        QFETCH(qint64, block);
        CBadBlockGrid grid;
        grid.Layout(621, 241, 2048);
        grid.SetFirstRow(firstRow);
        QCOMPARE(grid.BlockAt(point.x(), point.y()), block);
    }

    void gridWithoutColumnsMapsNothing()
    {
        CBadBlockGrid grid;
        grid.Layout(20, 241, 2048);
        QCOMPARE(grid.BlockAt(5, 5), qint64(-1));
    }

    void viewScrollRange()
    {
        CBadBlockTable table(uint64_t(2048) * kBlockBytes, kBlockBytes);
        CBadBlockView view;
        view.resize(621, 241);
        view.bind(&table);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.grid().Columns(), 50u);
        QScrollBar *bar = view.verticalScrollBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->maximum(), 21);
        QCOMPARE(bar->pageStep(), 20);
        bar->setValue(21);
        QCOMPARE(view.grid().FirstRow(), 21);
        // The last row holds blocks 2000 to 2047 and is painted at the bottom.
        const QImage image = view.viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(CellCentre(47, 19)), QColor(Qt::lightGray));
        QCOMPARE(image.pixelColor(CellCentre(48, 19)), QColor(255, 255, 255));

        view.resize(621, 600);
        QVERIFY(!bar->isVisible());
        QCOMPARE(view.grid().FirstRow(), 0);
    }

    void viewWithoutColumnsPaintsBackground()
    {
        CBadBlockTable table(uint64_t(2048) * kBlockBytes, kBlockBytes);
        table.setState(0, CBadBlockTable::Bad);
        CBadBlockView view;
        view.resize(30, 241);
        view.bind(&table);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.grid().Columns(), 0u);
        QVERIFY(!view.verticalScrollBar()->isVisible());
        const QImage image = view.viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(CellCentre(0, 0)), QColor(255, 255, 255));
        CRangeFrame frame;
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, CellCentre(0, 0));
        QVERIFY(frame.ranges.empty());
        QVERIFY(frame.status.isEmpty());
    }

    void unboundViewPaintsBackground()
    {
        CBadBlockView view;
        view.resize(200, 100);
        const QImage image = view.viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(CellCentre(0, 0)), QColor(255, 255, 255));
    }

    void coloursByState()
    {
        CBadBlockTable table(uint64_t(200) * kBlockBytes, kBlockBytes);
        table.setState(1, CBadBlockTable::Good);
        table.setState(2, CBadBlockTable::Bad);
        table.setState(3, 5);
        table.setState(4, CBadBlockTable::Good);
        table.setState(5, 7);
        table.setState(6, CBadBlockTable::Unknown);
        CBadBlockView view;
        view.resize(141, 61); // 10 columns, 5 rows
        view.bind(&table);
        const QImage image = view.viewport()->grab().toImage();
        const QColor expected[] = {Qt::lightGray, Qt::darkGreen, Qt::darkRed, Qt::darkRed,
                                   Qt::darkGreen, Qt::darkGreen, Qt::lightGray};
        for (uint32_t block = 0; block < std::size(expected); ++block)
            QCOMPARE(image.pixelColor(CellCentre(block, 0)), expected[block]);
        // Squares carry a black outline and stand 12 pixels apart.
        QCOMPARE(image.pixelColor(1, 1), QColor(Qt::black));
        QCOMPARE(image.pixelColor(13, 1), QColor(Qt::black));
        QCOMPARE(image.pixelColor(12, 5), QColor(255, 255, 255));
    }

    // Painted in the screen's own pixels (this test also runs at scale
    // factors 1.5 and 2): square edges on whole device pixels, a one-pixel
    // outline, and no colour but the map's own (a scaled-up 1x image blurs
    // or doubles the edges).
    void sharpSquaresAtTheScreensRatio()
    {
        CBadBlockTable table(uint64_t(200) * kBlockBytes, kBlockBytes);
        table.setState(0, CBadBlockTable::Bad);
        table.setState(1, CBadBlockTable::Good);
        CBadBlockView view;
        view.resize(141, 61);
        view.bind(&table);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage image = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const qreal ratio = image.devicePixelRatio();
        QCOMPARE(image.width(), qRound(view.viewport()->width() * ratio));
        const int left = qRound(1 * ratio), right = qRound(11 * ratio), middle = qRound(6 * ratio);
        QCOMPARE(image.pixelColor(left, middle), QColor(Qt::black));
        QCOMPARE(image.pixelColor(left + 1, middle), QColor(Qt::darkRed));
        QCOMPARE(image.pixelColor(right - 1, middle), QColor(Qt::darkRed));
        QCOMPARE(image.pixelColor(right, middle), QColor(Qt::black));
        QCOMPARE(image.pixelColor(right + 1, middle), QColor(Qt::white));
        QCOMPARE(image.pixelColor(middle, left + 1), QColor(Qt::darkRed));
        const QColor next = image.pixelColor(qRound(18 * ratio), middle);
        QCOMPARE(next, QColor(Qt::darkGreen));
        const QList<QRgb> own = {QColor(Qt::white).rgb(), QColor(Qt::black).rgb(), QColor(Qt::lightGray).rgb(),
                                 QColor(Qt::darkGreen).rgb(), QColor(Qt::darkRed).rgb()};
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!own.contains(image.pixel(x, y)))
                    QFAIL(qPrintable(QStringLiteral("blended pixel at %1,%2").arg(x).arg(y)));
    }

    void colourWithoutStateFollowsBlockAboveTheView()
    {
        // Block 10 starts the second row; scrolled by one row it is drawn first
        // and still takes the fill of block 9.
        CBadBlockTable table(uint64_t(200) * kBlockBytes, kBlockBytes);
        table.setState(9, CBadBlockTable::Bad);
        table.setState(10, 9);
        CBadBlockView view;
        view.resize(141, 61);
        view.bind(&table);
        view.verticalScrollBar()->setValue(1);
        QCOMPARE(view.grid().FirstRow(), 1);
        const QImage image = view.viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(CellCentre(0, 0)), QColor(Qt::darkRed));
    }

    void clickReportsBlock_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QString>("status");
        QTest::addColumn<quint64>("address");
        QTest::addColumn<bool>("asksAsView");
        QTest::newRow("left, block 0") << int(Qt::LeftButton) << 0 << CellCentre(0, 0) << " 0" << quint64(0) << true;
        QTest::newRow("left, block 51") << int(Qt::LeftButton) << 0 << CellCentre(1, 1) << " 660000"
                                        << quint64(51) * kBlockBytes << true;
        QTest::newRow("right, block 51") << int(Qt::RightButton) << 0 << CellCentre(1, 1) << " 660000"
                                         << quint64(51) * kBlockBytes << false;
        QTest::newRow("middle, scrolled") << int(Qt::MiddleButton) << 21 << CellCentre(47, 19) << " FFE0000"
                                          << quint64(2047) * kBlockBytes << false;
        QTest::newRow("strip lands in next row") << int(Qt::LeftButton) << 0 << QPoint(605, 5) << " 640000"
                                                 << quint64(50) * kBlockBytes << true;
    }
    void clickReportsBlock()
    {
        QFETCH(int, button);
        QFETCH(int, firstRow);
        QFETCH(QPoint, point);
        QFETCH(QString, status);
        QFETCH(quint64, address);
        QFETCH(bool, asksAsView);
        CRangeFrame frame;
        CBadBlockTable table(uint64_t(2048) * kBlockBytes, kBlockBytes);
        CBadBlockView view;
        view.resize(621, 241);
        view.bind(&table);
        view.verticalScrollBar()->setValue(firstRow);
        QTest::mousePress(view.viewport(), Qt::MouseButton(button), {}, point);
        QCOMPARE(frame.status, QStringList{status});
        QCOMPARE(frame.ranges.size(), size_t(1));
        QCOMPARE(frame.ranges[0].start, address);
        QCOMPARE(frame.ranges[0].length, quint64(1));
        QCOMPARE(frame.ranges[0].askingView, asksAsView ? static_cast<const void *>(&view) : nullptr);
    }

    void clickPastLastBlockDoesNothing()
    {
        CRangeFrame frame;
        CBadBlockTable table(uint64_t(60) * kBlockBytes, kBlockBytes);
        CBadBlockView view;
        view.resize(621, 241);
        view.bind(&table);
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, CellCentre(10, 1));
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, CellCentre(3, 5));
        QVERIFY(frame.ranges.empty());
        QVERIFY(frame.status.isEmpty());
    }
};

QTEST_MAIN(TestBadBlockView)
#include "tst_badblockview.moc"
