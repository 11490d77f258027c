#include "AppDirectory.h"
#include "DeviceDatabase.h"
#include "DeviceEditorDialog.h"
#include "DeviceItemNand.h"
#include "NandProgrammer.h"
#include "NandRig.h"
#include "ProgMessage.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

// A chip no device entry knows: an ONFI chip becomes the target through the
// built-in ONFI entry, any other is offered to the device editor with its ID
// filled in, and an ID of 0xFF points at the wiring instead.
class TestNandNewDevice : public QObject
{
    Q_OBJECT

private:
    // Answers the next editor while *armed holds; the test disarms it when
    // no editor may come any more.
    static void AnswerEditor(std::shared_ptr<bool> armed, std::function<void(CDeviceEditorDialog *)> answer)
    {
        QTimer::singleShot(0, qApp, [armed, answer] {
            if (!*armed)
                return;
            auto *dialog = qobject_cast<CDeviceEditorDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                AnswerEditor(armed, answer);
                return;
            }
            *armed = false;
            answer(dialog);
        });
    }

    static bool StartUnknown(CNandRig &rig, const QString &id, const QString &extra, const QString &adapter = {})
    {
        CSimNand chip;
        chip.id = id;
        chip.nandExtra = extra;
        chip.adapterExtra = adapter;
        return rig.Start(chip, {chip.DeviceLine("SIMCHIP", 1, "EC F1 00 95 41")}, "SIMCHIP");
    }

    static bool IdCleared() { return CNandProgrammer::lastUnknownId() == CNandProgrammer::ChipId{}; }

    QTemporaryDir m_dir;

private slots:
    void init() { CNandProgrammer::clearLastUnknownId(); }
    void cleanup() { DeleteAll(); }
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }

    void onfiChipBecomesTarget();
    void editorForOtherChips_data();
    void editorForOtherChips();
    void shortReplyIgnored();
};

void TestNandNewDevice::onfiChipBecomesTarget()
{
    CNandRig rig(m_dir.path());
    QVERIFY2(StartUnknown(rig, "2C DC 90 95 56 00", "onfi=true"), qPrintable(rig.Error()));
    rig.frame.log.clear();
    rig.Engine()->detect();
    QVERIFY(rig.frame.WaitForTag('L'));
    QVERIFY(rig.frame.WaitUntilQuiet());

    CDeviceItemNand *onfi = rig.Device("NAND OFNI");
    QVERIFY(onfi);
    QCOMPARE(rig.frame.targetRequests, QStringList({"NAND OFNI"}));
    QCOMPARE(rig.Engine()->device(), static_cast<CDeviceItem *>(onfi));
    const uint8_t id[] = {0x2C, 0xDC, 0x90, 0x95, 0x56, 0x00};
    QVERIFY(std::equal(std::begin(id), std::end(id), onfi->m_id));
    QCOMPARE(onfi->m_pageSize, 2112u);
    QCOMPARE(onfi->m_pagesPerBlock, 64u);
    QCOMPARE(onfi->m_size, uint64_t(2112) * 64 * 16);
    QCOMPARE(onfi->GetTitle(), QString("NAND SIMULATED SIMNAND1G"));
    QVERIFY(!rig.frame.log.contains("Unknown device"));
    QVERIFY(IdCleared());
}

void TestNandNewDevice::editorForOtherChips_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<int>("answer"); // 1 accept, 0 cancel, -1 no editor expected
    QTest::addColumn<QStringList>("log");

    const QStringList wiring{" ", "ID detection error, check pin connetion!!"};
    // The detection of a chip the list does not hold ends failed.
    const auto unknown = [](const QString &id) {
        return QStringList{"Unknown device", id, "Detection failed: no device of the list has the ID " + id};
    };
    QTest::newRow("accepted") << "2C DC 90 95 56 00" << "" << 1 << unknown("2c,dc,90,95,56,0");
    QTest::newRow("cancelled") << "2C DC 90 95 56 00" << "" << 0 << unknown("2c,dc,90,95,56,0");
    QTest::newRow("ID of 0xFF") << "FF FF FF FF FF FF" << "" << -1 << unknown("ff,ff,ff,ff,ff,ff") + wiring;
    QTest::newRow("first ID byte 0xFF") << "FF DC 90 95 56 00" << "" << -1 << unknown("ff,dc,90,95,56,0") + wiring;
    QTest::newRow("no chip in the socket") << "2C DC 90 95 56 00" << "module=none" << -1
                                           << unknown("ff,ff,ff,ff,ff,ff") + wiring;
}

void TestNandNewDevice::editorForOtherChips()
{
    QFETCH(QString, id);
    QFETCH(QString, adapter);
    QFETCH(int, answer);
    QFETCH(QStringList, log);
    CNandRig rig(m_dir.path());
    QVERIFY2(StartUnknown(rig, id, "onfi=false", adapter), qPrintable(rig.Error()));
    rig.frame.answerYes = true; // an ID of 0xFF asks whether to go on
    bool shown = false;
    QString title;
    QStringList idFields;
    QString line;
    auto armed = std::make_shared<bool>(true);
    AnswerEditor(armed, [&](CDeviceEditorDialog *editor) {
        shown = true;
        title = editor->windowTitle();
        for (int i = 0; i < editor->IdFieldCount(); ++i)
            idFields << editor->IdField(i)->text();
        if (answer == 1) {
            editor->accept();
            line = editor->Entry() ? editor->Entry()->ToText() : QString("no entry");
        } else {
            editor->reject();
        }
    });
    rig.frame.log.clear();
    rig.Engine()->detect();
    QVERIFY(rig.frame.WaitForTag('L'));
    QVERIFY(rig.frame.WaitUntilQuiet());
    *armed = false;

    if (answer == 1)
        log << line;
    QCOMPARE(rig.frame.log.mid(rig.frame.log.indexOf("Unknown device")), log);
    QCOMPARE(shown, answer >= 0);
    if (answer >= 0) {
        QCOMPARE(title, QString("New Nand"));
        QCOMPARE(idFields, QStringList({"2ch", "dch", "90h", "95h", "56h", "00h"}));
    }
    QCOMPARE(rig.frame.openedListFiles,
             answer == 1 ? QStringList{AppDirectory(DIR_CONFIG) + "Nand.txt"} : QStringList{});
    QVERIFY(rig.frame.targetRequests.isEmpty());
    QVERIFY(IdCleared());
}

void TestNandNewDevice::shortReplyIgnored()
{
    CNandRig rig(m_dir.path());
    QVERIFY2(StartUnknown(rig, "2C DC 90 95 56 00", "onfi=false"), qPrintable(rig.Error()));
    // A whole page of 0xFF would log "Unknown device" and offer the editor
    // (cancelled here); one byte short it is not looked at.
    auto armed = std::make_shared<bool>(true);
    bool shown = false;
    AnswerEditor(armed, [&](CDeviceEditorDialog *editor) {
        shown = true;
        editor->reject();
    });
    rig.frame.log.clear();
    CProgMessage shortPage('L', 0, 511, true);
    std::fill(shortPage.data.get(), shortPage.data.get() + 511, uint8_t(0xFF));
    rig.Engine()->handleMessage(&shortPage);
    QTest::qWait(0);
    *armed = false;
    QVERIFY(!shown);
    QVERIFY(rig.frame.log.isEmpty());
    QVERIFY(rig.frame.targetRequests.isEmpty());

    CProgMessage wholePage('L', 0, 512, true);
    std::fill(wholePage.data.get(), wholePage.data.get() + 512, uint8_t(0xFF));
    armed = std::make_shared<bool>(true);
    AnswerEditor(armed, [&](CDeviceEditorDialog *editor) {
        shown = true;
        editor->reject();
    });
    rig.Engine()->handleMessage(&wholePage);
    *armed = false;
    QVERIFY(shown);
    QCOMPARE(rig.frame.log.value(0), QString("Unknown device"));
}

QTEST_MAIN(TestNandNewDevice)
#include "tst_nandnewdevice.moc"
