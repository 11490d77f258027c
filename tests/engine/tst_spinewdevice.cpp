// An SPI chip no device entry knows: one with a usable SFDP table becomes the
// target through the built-in "SPI SFDP" entry; any other is offered to the
// device editor with its ID filled in, and an ID starting with 0xFF (nothing
// answers) points at the wiring instead.

#include "AppDirectory.h"
#include "DeviceDatabase.h"
#include "DeviceEditorDialog.h"
#include "DeviceFamily.h"
#include "DeviceItemSPIFlash.h"
#include "ProgMessage.h"
#include "SpiSimSession.h"
#include "UsbLibrary.h"
#include "WindowTestKit.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

CDeviceItemSPIFlash *Entry(const QString &name)
{
    return dynamic_cast<CDeviceItemSPIFlash *>(FindByName(name));
}

// What the test saw of the editor, if one came up.
struct CEditorSeen
{
    bool shown = false;
    QString title;
    QStringList idFields;
    QString line; // the accepted entry's device list line
};

// Answers the next device editor while `guard` lives: accepts it with a
// name typed in, or cancels it.
void AnswerEditor(QObject *guard, bool accept, CEditorSeen &seen)
{
    AnswerNextModal<CDeviceEditorDialog>(
        [accept, &seen](CDeviceEditorDialog *editor) {
            seen.shown = true;
            seen.title = editor->windowTitle();
            for (int i = 0; i < editor->IdFieldCount(); ++i)
                seen.idFields << editor->IdField(i)->text();
            if (!accept) {
                editor->reject();
                return;
            }
            editor->findChild<QLineEdit *>(QStringLiteral("nameField"))->setText(QStringLiteral("newchip"));
            editor->accept();
            seen.line = editor->Entry() ? editor->Entry()->ToText() : QStringLiteral("no entry");
        },
        guard);
}

// SFDP data with the signature and one basic flash parameter table whose
// density word (the table's second word) is `density`.
QByteArray SfdpTable(uint32_t density, int length)
{
    QByteArray data(length, char(0xFF));
    const uint8_t header[] = {'S', 'F', 'D', 'P', 0x06, 0x01, 0x00, 0xFF,
                              0x00, 0x06, 0x01, 0x09, 0x30, 0x00, 0x00, 0xFF};
    std::memcpy(data.data(), header, sizeof(header));
    for (int i = 0; i < 4; ++i)
        data[0x34 + i] = char(density >> (8 * i));
    return data;
}

} // namespace

class TestSpiNewDevice : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSpiSimSession> m_session;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // As in the application: NAND first, so the editor finds the SPI
        // family at its kind's position.
        DeviceFamilies().push_back(std::make_unique<CDeviceFamilyNand>());
        const QString error = CSpiSimSession::OpenForTests(m_dir.path(), m_session);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(DeviceFamilies().back()->Count() > 200);
    }
    void cleanupTestCase()
    {
        CSpiSimSession::CloseForTests(m_dir.path(), m_session);
    }
    void cleanup() { m_session->Stop(); }

    void describedChipBecomesTarget_data();
    void describedChipBecomesTarget();
    void editorForOtherChips_data();
    void editorForOtherChips();
    void descriptionReplies_data();
    void descriptionReplies();
};

void TestSpiNewDevice::describedChipBecomesTarget_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<qulonglong>("size");
    QTest::newRow("512 KiB") << "AB CD 13" << 0x80000ull;
    QTest::newRow("64 MiB") << "AB CD 1A" << 0x4000000ull;
}

void TestSpiNewDevice::describedChipBecomesTarget()
{
    QFETCH(QString, id);
    QFETCH(qulonglong, size);
    QVERIFY(m_session->Seat(QStringLiteral("id=%1\nsize=0x%2\nsfdp=true").arg(id).arg(size, 0, 16)));
    QVERIFY(m_session->Start(Entry("W25X16")));
    COperationFrame &frame = *m_session->frame;
    frame.acceptTargetChange = true;
    QObject guard;
    CEditorSeen seen;
    AnswerEditor(&guard, false, seen);
    QCOMPARE(m_session->engine->detect(), int('H'));
    QVERIFY(frame.WaitForCode('H'));
    QVERIFY(COperationFrame::WaitFor([&] { return frame.seen.contains('L'); }));
    QVERIFY(m_session->Settle());

    CDeviceItemSPIFlash *sfdp = Entry("SPI SFDP");
    QVERIFY(sfdp);
    QCOMPARE(frame.targetRequests, QStringList{"SPI SFDP"});
    QCOMPARE(m_session->engine->device(), static_cast<CDeviceItem *>(sfdp));
    QCOMPARE(sfdp->m_size, uint64_t(size));
    QCOMPARE(uint64_t(sfdp->m_sectorSize) * sfdp->m_sectorCount, uint64_t(size));
    QCOMPARE(sfdp->m_id[0], uint8_t(id.left(2).toUInt(nullptr, 16)));
    QVERIFY(!frame.log.contains("Unknown device"));
    QVERIFY(!seen.shown);
    QVERIFY(frame.openedListFiles.isEmpty());
}

void TestSpiNewDevice::editorForOtherChips_data()
{
    QTest::addColumn<QString>("chip");
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<int>("answer"); // 1 accept, 0 cancel, -1 no editor expected
    QTest::addColumn<QStringList>("log");

    const QStringList wiring{" ", "ID detection error, check pin connetion!!"};
    // The detection of a chip the list does not hold ends failed.
    const auto unknown = [](const QString &id) {
        return QStringList{"Unknown device", id, "Detection failed: no device of the list has the ID " + id};
    };
    QTest::newRow("accepted") << "id=AB CD 0E\nsfdp=false" << "" << 1 << unknown("ab,cd,0e");
    QTest::newRow("cancelled") << "id=AB CD 0E\nsfdp=false" << "" << 0 << unknown("ab,cd,0e");
    QTest::newRow("ID of 0xFF") << "id=FF FF FF\nsfdp=false" << "" << -1 << unknown("ff,ff,ff") + wiring;
    QTest::newRow("first ID byte 0xFF") << "id=FF 40 18\nsfdp=false" << "" << -1 << unknown("ff,40,18") + wiring;
    QTest::newRow("no chip in the socket") << "" << "module=none" << -1 << unknown("ff,ff,ff") + wiring;
}

void TestSpiNewDevice::editorForOtherChips()
{
    QFETCH(QString, chip);
    QFETCH(QString, adapter);
    QFETCH(int, answer);
    QFETCH(QStringList, log);
    QVERIFY(m_session->Seat(chip + QStringLiteral("\nsize=0x400000"), {}, adapter));
    QVERIFY(m_session->Start(Entry("W25X16")));
    COperationFrame &frame = *m_session->frame;
    frame.acceptTargetChange = true;
    auto guard = std::make_unique<QObject>();
    CEditorSeen seen;
    AnswerEditor(guard.get(), answer == 1, seen);
    frame.log.clear();
    QCOMPARE(m_session->engine->detect(), int('H'));
    QVERIFY(COperationFrame::WaitFor([&] { return frame.seen.contains('L'); }));
    QVERIFY(COperationFrame::WaitFor([&] { return frame.failedCodes.contains('H'); }));
    QVERIFY(!frame.codes.contains('H'));
    QVERIFY(m_session->Settle());
    guard.reset();

    if (answer == 1) {
        QVERIFY2(seen.line.startsWith(R"(Name="newchip",MFG=")"), qPrintable(seen.line));
        QVERIFY2(seen.line.contains(R"(",ID1="abh",ID2="cdh",ID3="eh",)"), qPrintable(seen.line));
        log << seen.line;
    }
    QCOMPARE(frame.log.mid(frame.log.indexOf("Unknown device")), log);
    QCOMPARE(seen.shown, answer >= 0);
    if (answer >= 0) {
        QCOMPARE(seen.title, QString("New SPI"));
        QCOMPARE(seen.idFields, QStringList({"abh", "cdh", "0eh"}));
    }
    QCOMPARE(frame.openedListFiles, answer == 1 ? QStringList{AppDirectory(DIR_CONFIG) + "SPI.txt"} : QStringList{});
    // Neither outcome changes the target or the database.
    QVERIFY(frame.targetRequests.isEmpty());
    QCOMPARE(m_session->engine->device()->m_name, QString("W25X16"));
    QVERIFY(!FindByName("newchip") && !FindByName("NEWCHIP"));
}

// Replies made by hand, for the descriptions the simulator never gives.
void TestSpiNewDevice::descriptionReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("editor");
    QTest::addColumn<qulonglong>("size"); // of the "SPI SFDP" entry taken; 0: not taken

    QTest::newRow("one byte short of a page") << QByteArray(511, char(0xFF)) << false << 0ull;
    QTest::newRow("no signature") << QByteArray(512, char(0xFF)) << true << 0ull;
    QTest::newRow("signature, density of nothing") << SfdpTable(0x00000000, 2048) << true << 0ull;
    QTest::newRow("signature, 2 MiB") << SfdpTable(0x00FFFFFF, 2048) << false << 0x200000ull;
    QTest::newRow("signature, 2^30 bytes") << SfdpTable(0x80000021, 512) << false << 0x40000000ull;
}

void TestSpiNewDevice::descriptionReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, editor);
    QFETCH(qulonglong, size);
    COperationFrame frame;
    CSpiProgrammer engine(Entry("W25X16"));
    // The ID of a chip no entry knows; the engine asks for its description.
    CProgMessage id('H', -1, 3, true);
    const uint8_t unknown[] = {0xAB, 0xCD, 0x17};
    std::copy(std::begin(unknown), std::end(unknown), id.data.get());
    // Not done yet: the chip's description decides how the detection ends.
    QVERIFY(!engine.handleMessage(&id));
    QVERIFY(std::equal(std::begin(unknown), std::end(unknown), engine.unknownId()));

    auto guard = std::make_unique<QObject>();
    CEditorSeen seen;
    AnswerEditor(guard.get(), false, seen);
    CProgMessage description('L', 0, uint32_t(reply.size()), true);
    std::memcpy(description.data.get(), reply.constData(), size_t(reply.size()));
    engine.handleMessage(&description);
    QTest::qWait(0);
    guard.reset();

    QCOMPARE(seen.shown, editor);
    QCOMPARE(frame.log.contains("Unknown device"), editor);
    if (editor)
        QCOMPARE(frame.log.mid(frame.log.indexOf("Unknown device")),
                 QStringList({"Unknown device", "ab,cd,17", "Detection failed: no device of the list has the ID ab,cd,17"}));
    QCOMPARE(frame.targetRequests, size ? QStringList{"SPI SFDP"} : QStringList{});
    if (size) {
        QCOMPARE(Entry("SPI SFDP")->m_size, uint64_t(size));
        QCOMPARE(Entry("SPI SFDP")->m_id[0], uint8_t(0xAB));
    }
    QVERIFY(frame.openedListFiles.isEmpty());
}

QTEST_MAIN(TestSpiNewDevice)
#include "tst_spinewdevice.moc"
