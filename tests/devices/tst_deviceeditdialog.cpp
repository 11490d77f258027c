#include "DeviceDatabase.h"
#include "DeviceEditDialog.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// Defining a new device: the form fills an entry whose device list line the
// window shows; nothing is validated and the database never changes.
class TestDeviceEditDialog : public QObject
{
    Q_OBJECT

private:
    static void Press(CDeviceEditDialog &dialog, QDialogButtonBox::StandardButton which)
    {
        auto *box = dialog.findChild<QDialogButtonBox *>();
        QVERIFY(box);
        box->button(which)->click();
    }

private slots:
    void initTestCase()
    {
        auto nand = std::make_unique<CDeviceFamilyNand>();
        QVERIFY(nand->AddLine(R"(Name="K9F1G08U0E",MFG="SAMSUNG",ID1="ech",size="8400000h",PageSize="840h",BlockSize="40h")"));
        QVERIFY(nand->AddLine(R"(Name="MT29F2G08",MFG="MICRON",ID1="2ch",size="10800000h",PageSize="840h",BlockSize="40h")"));
        QVERIFY(nand->AddLine(R"(Name="K9F2G08U0B",MFG="SAMSUNG",ID1="ech",size="10800000h",PageSize="840h",BlockSize="40h")"));
        DeviceFamilies().push_back(std::move(nand));
        DeviceFamilies().push_back(std::make_unique<CDeviceFamilySPI>());
    }
    void cleanupTestCase() { DeleteAll(); }

    void layoutFollowsTheKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("ids");
        QTest::addColumn<QStringList>("makers");
        QTest::newRow("NAND") << int(DEVICE_NAND) << 6 << QStringList({"", "SAMSUNG", "MICRON"});
        QTest::newRow("SPI") << int(DEVICE_SPI) << 3 << QStringList({""});
    }
    void layoutFollowsTheKind()
    {
        QFETCH(int, kind);
        QFETCH(int, ids);
        QFETCH(QStringList, makers);
        CDeviceEditDialog dialog(nullptr, kind, "Nand Flash");
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Nand Flash"));
        QCOMPARE(dialog.size(), QSize(391, 269));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        for (int i = 0; i < ids; ++i) {
            QVERIFY(dialog.IdField(i));
            QCOMPARE(dialog.IdField(i)->geometry(), QRect(40 + 60 * i, 10, 30, 20));
        }
        QVERIFY(!dialog.IdField(ids));
        QStringList listed;
        for (int i = 0; i < dialog.ManufacturerBox()->count(); ++i)
            listed << dialog.ManufacturerBox()->itemText(i);
        QCOMPARE(listed, makers);
        QCOMPARE(dialog.ManufacturerBox()->currentIndex(), 0);
        QCOMPARE(dialog.PinBox()->currentText(), QStringLiteral("1"));
    }

    void nandEntryFromTheFields()
    {
        CDeviceEditDialog dialog(nullptr, DEVICE_NAND, "Nand Flash");
        dialog.IdField(0)->setText("ech");
        dialog.IdField(1)->setText("F1");
        dialog.IdField(2)->setText("5"); // one character: left out
        dialog.IdField(3)->setText("95");
        dialog.NameField()->setText("my chip");
        dialog.ManufacturerBox()->setCurrentIndex(1);
        dialog.SizeField()->setText("8400000h");
        dialog.GeometryField(0)->setText("840");
        dialog.GeometryField(1)->setText("40h");
        dialog.PinBox()->setCurrentIndex(2);
        Press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        const auto *entry = static_cast<const CDeviceItemNand *>(dialog.Entry());
        QCOMPARE(entry->m_name, QStringLiteral("my chip"));
        QCOMPARE(entry->m_mfg, QStringLiteral("SAMSUNG"));
        QCOMPARE(entry->m_size, uint64_t(0x8400000));
        QCOMPARE(entry->m_id[0], uint8_t(0xEC));
        QCOMPARE(entry->m_id[1], uint8_t(0xF1));
        QCOMPARE(int(entry->m_idValid[2]), 0);
        QCOMPARE(int(entry->m_idValid[3]), 1);
        QCOMPARE(entry->m_pageSize, 0x840u);
        QCOMPARE(entry->m_pagesPerBlock, 0x40u);
        QCOMPARE(entry->m_ceCount, 4);
        const QString line = entry->ToText();
        QVERIFY2(line.contains("Name=\"my chip\""), qPrintable(line));
        QVERIFY2(line.contains("ID2=") && !line.contains("ID3=") && !line.contains("ID4="), qPrintable(line));
        // The database is never touched.
        QVERIFY(!FindByName("my chip"));
    }

    void spiEntryFromTheFields()
    {
        CDeviceEditDialog dialog(nullptr, DEVICE_SPI, "SPI Flash");
        dialog.IdField(0)->setText("ef");
        dialog.IdField(1)->setText("40");
        dialog.IdField(2)->setText("not hex");
        dialog.GeometryField(0)->setText("10000");
        dialog.GeometryField(1)->setText("");
        dialog.PinBox()->setCurrentIndex(1);
        Press(dialog, QDialogButtonBox::Ok);
        const auto *entry = static_cast<const CDeviceItemSPIFlash *>(dialog.Entry());
        QCOMPARE(entry->m_id[0], uint8_t(0xEF));
        QCOMPARE(entry->m_id[1], uint8_t(0x40));
        QCOMPARE(entry->m_id[2], uint8_t(0));
        QCOMPARE(entry->m_sectorSize, 0x10000u);
        QCOMPARE(entry->m_sectorCount, 0u);
        QCOMPARE(entry->m_ioMode, 2);
        QCOMPARE(entry->m_size, uint64_t(0));
    }

    void cancelLeavesTheEntryUntouched()
    {
        CDeviceEditDialog dialog(nullptr, DEVICE_NAND, "Nand Flash");
        const QString before = dialog.Entry()->ToText();
        dialog.NameField()->setText("changed");
        dialog.IdField(0)->setText("ec");
        QTimer::singleShot(0, qApp, [] {
            auto *active = qobject_cast<CDeviceEditDialog *>(QApplication::activeModalWidget());
            QVERIFY(active);
            Press(*active, QDialogButtonBox::Cancel);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(dialog.Entry()->ToText(), before);
    }
};

QTEST_MAIN(TestDeviceEditDialog)
#include "tst_deviceeditdialog.moc"
