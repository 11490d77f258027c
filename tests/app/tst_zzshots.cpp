#include "BadBlockTable.h"
#include "BadBlockView.h"
#include "FileBrowserPanel.h"
#include "FileListView.h"
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
class Shots : public QObject { Q_OBJECT
private slots:
void shots() {
    QTemporaryDir dir;
    for (int i = 0; i < 40; ++i) { QFile f(dir.filePath(QStringLiteral("image_%1_with_a_longer_name.bin").arg(i))); f.open(QIODevice::WriteOnly); f.resize(i * 70000); }
    CFileBrowserPanel panel; panel.ShowDirectory(dir.path()); panel.show(); QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTest::mouseClick(panel.FileList()->viewport(), Qt::LeftButton, {}, panel.FileList()->RowRect(3).center());
    panel.grab().save("/tmp/shot_panel.png");
    CBadBlockTable table(uint64_t(2048) * 0x20000, 0x20000);
    for (uint32_t b = 0; b < 2048; ++b) table.setState(b, b % 37 == 5 ? 2 : (b < 900 ? 1 : 0));
    CBadBlockView view; view.resize(621, 241); view.bind(&table); view.show(); QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.grab().save("/tmp/shot_bbt.png");
}
};
QTEST_MAIN(Shots)
#include "tst_zzshots.moc"
