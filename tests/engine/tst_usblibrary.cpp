#include "FirmwareImages.h"
#include "UsbLibrary.h"

#include <QLibrary>
#include <QTest>
#include <QThread>

#include <array>
#include <set>
#include <vector>

// The loader against three stand-in libraries (none at all, one lacking most
// exports, one recording every call) and the firmware images it passes on.
class TestUsbLibrary : public QObject
{
    Q_OBJECT

    QLibrary m_recorder{QStringLiteral(NVP_FIXTURE_USB_RECORDING)};
    const char *(*m_calls)() = nullptr;
    void (*m_reset)() = nullptr;

    QString RecordedCalls() const { return QString::fromLatin1(m_calls()); }

    static QString PathOf(const QString &library)
    {
        if (library == "partial")
            return QStringLiteral(NVP_FIXTURE_USB_PARTIAL);
        if (library == "recording")
            return QStringLiteral(NVP_FIXTURE_USB_RECORDING);
        return QStringLiteral(NVP_BINARY_DIR "/no-such-folder/libxrusb.so");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_recorder.load(), qPrintable(m_recorder.errorString()));
        m_calls = reinterpret_cast<const char *(*)()>(m_recorder.resolve("fixture_calls"));
        m_reset = reinterpret_cast<void (*)()>(m_recorder.resolve("fixture_reset"));
        QVERIFY(m_calls && m_reset);
    }

    void init() { m_reset(); }
    void cleanup() { Usb::UnloadLibrary(); }

    void loadReportsWhetherTheFileOpened_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("missing file") << PathOf("missing") << false;
        QTest::newRow("not a library") << QStringLiteral(NVP_SOURCE_DIR "/README.md") << false;
        QTest::newRow("two exports only") << PathOf("partial") << true;
        QTest::newRow("all six exports") << PathOf("recording") << true;
        QTest::newRow("default: dll folder beside the executable") << QString() << true;
    }
    void loadReportsWhetherTheFileOpened()
    {
        QFETCH(QString, path);
        QFETCH(bool, loaded);
        QCOMPARE(Usb::LoadLibrary(path), loaded);
        QCOMPARE(Usb::IsLoaded(), loaded);
        QCOMPARE(Usb::LoadError().isEmpty(), loaded);
        Usb::UnloadLibrary();
        QVERIFY(!Usb::IsLoaded());
    }

    void wrappersReachTheExportsOrGiveDefaults_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("recorded");

        const QList<QString> calls = {"open", "close", "firmware", "null firmware", "send", "receive", "packet size"};
        const int defaults[] = {0, 0, 0, 0, -1, -1, 0};
        for (const QString library : {"missing", "never loaded"}) {
            for (int i = 0; i < calls.size(); ++i)
                QTest::addRow("%s: %s", qPrintable(library), qPrintable(calls[i]))
                    << library << calls[i] << defaults[i] << QString();
        }
        const int partial[] = {5, 0, 0, 0, -1, -1, 64};
        for (int i = 0; i < calls.size(); ++i)
            QTest::addRow("partial: %s", qPrintable(calls[i])) << "partial" << calls[i] << partial[i] << QString();

        QTest::newRow("recording: open") << "recording" << "open" << 7 << "func4\n";
        QTest::newRow("recording: close") << "recording" << "close" << 0 << "func5\n";
        // 'N' of the image's identity record reaches the library, with the mode.
        QTest::newRow("recording: firmware") << "recording" << "firmware" << 1 << "func3 4E 1\n";
        QTest::newRow("recording: null firmware") << "recording" << "null firmware" << 0 << "";
        QTest::newRow("recording: send") << "recording" << "send" << 3 << "func2 0 3 6\n";
        QTest::newRow("recording: receive") << "recording" << "receive" << 4 << "func1 3 4\n";
        QTest::newRow("recording: packet size") << "recording" << "packet size" << 512 << "func6\n";
    }
    void wrappersReachTheExportsOrGiveDefaults()
    {
        QFETCH(QString, library);
        QFETCH(QString, call);
        QFETCH(int, result);
        QFETCH(QString, recorded);

        if (library != "never loaded")
            QCOMPARE(Usb::LoadLibrary(PathOf(library)), library != "missing");

        std::array<uint8_t, 4> buffer;
        buffer.fill(0x55);
        const uint8_t packet[] = {1, 2, 3};
        int actual = 0;
        if (call == "open")
            actual = Usb::Open();
        else if (call == "close")
            Usb::Close();
        else if (call == "firmware")
            actual = Usb::LoadFirmware(NandFirmware(2), 1);
        else if (call == "null firmware")
            actual = Usb::LoadFirmware(nullptr, 0);
        else if (call == "send")
            actual = Usb::Send(0, packet, 3);
        else if (call == "receive")
            actual = Usb::Receive(3, buffer.data(), 4);
        else if (call == "packet size")
            actual = Usb::PacketSize();
        else
            QFAIL("unknown call");

        QCOMPARE(actual, result);
        QCOMPARE(RecordedCalls(), recorded);
        // A reply buffer is only written by a library that answered.
        const uint8_t expectedFill = (call == "receive" && result > 0) ? 0xA3 : 0x55;
        for (uint8_t byte : buffer)
            QCOMPARE(byte, expectedFill);
    }

    void secondLoadKeepsTheFirstLibrary()
    {
        QVERIFY(Usb::LoadLibrary(PathOf("recording")));
        QVERIFY(Usb::LoadLibrary(PathOf("partial")));
        QCOMPARE(Usb::PacketSize(), 512);
        Usb::UnloadLibrary();
        QCOMPARE(Usb::PacketSize(), 0);
        QVERIFY(Usb::LoadLibrary(PathOf("partial")));
        QCOMPARE(Usb::PacketSize(), 64);
    }

    void wrappersWorkFromAWorkerThread()
    {
        QVERIFY(Usb::LoadLibrary(PathOf("recording")));
        int sent = 0, received = 0;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            const uint8_t packet[] = {0x29, 0x00};
            uint8_t reply[8] = {};
            for (int i = 0; i < 100; ++i) {
                sent += Usb::Send(0, packet, 2) > 0;
                received += Usb::Receive(2, reply, 8) > 0;
            }
        }));
        worker->start();
        QVERIFY(worker->wait(30000));
        QCOMPARE(sent, 100);
        QCOMPARE(received, 100);
        QCOMPARE(RecordedCalls().count("func2 0 2 41\n"), 100);
    }

    // --- firmware images

    void firmwareImagesAreWellFormed_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("index");
        QTest::newRow("NAND 1") << int(Firmware::kKindNand) << 1;
        QTest::newRow("NAND 2") << int(Firmware::kKindNand) << 2;
        for (int i = 0; i < 5; ++i)
            QTest::addRow("SPI %d", i) << int(Firmware::kKindSpi) << i;
    }
    void firmwareImagesAreWellFormed()
    {
        QFETCH(int, kind);
        QFETCH(int, index);
        const uint8_t *image = kind == Firmware::kKindNand ? NandFirmware(index) : SpiFirmware(index);
        QVERIFY(image);

        const Firmware::ImageInfo info = Firmware::InspectImage(image);
        QVERIFY(info.wellFormed);
        QVERIFY2(info.recordCount >= 410 && info.recordCount <= 434, qPrintable(QString::number(info.recordCount)));
        QVERIFY(info.identified);
        QCOMPARE(int(info.kind), kind);
        QCOMPARE(int(info.index), index);
        QVERIFY(info.addressEnd <= 0x1700);

        // Every record by hand: padding zero, data records in rising,
        // non-overlapping order, a single end record at the end.
        uint32_t nextFree = 0;
        for (int i = 0; i < info.recordCount; ++i) {
            const uint8_t *raw = image + i * Firmware::kRecordSize;
            const Firmware::Record r = Firmware::ReadRecord(raw);
            QCOMPARE(raw[1], uint8_t(0));
            QCOMPARE(raw[21], uint8_t(0));
            for (int b = r.length; b < Firmware::kMaxDataLength; ++b)
                QCOMPARE(r.data[b], uint8_t(0));
            if (i == info.recordCount - 1) {
                QCOMPARE(r.type, Firmware::kTypeEnd);
                QCOMPARE(r.length, uint8_t(0));
                continue;
            }
            QCOMPARE(r.type, Firmware::kTypeData);
            QVERIFY(r.length > 0 && r.length <= Firmware::kMaxDataLength);
            QVERIFY(r.address >= nextFree);
            nextFree = r.address + r.length;
        }
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(image + Firmware::kDataOffset), 4), QByteArray("NVPX"));
    }

    void firmwareImagesDiffer()
    {
        std::set<QByteArray> contents;
        auto add = [&](const uint8_t *image) {
            const int size = Firmware::InspectImage(image).recordCount * Firmware::kRecordSize;
            contents.insert(QByteArray(reinterpret_cast<const char *>(image), size));
        };
        add(NandFirmware(1));
        add(NandFirmware(2));
        for (int i = 0; i < 5; ++i)
            add(SpiFirmware(i));
        QCOMPARE(contents.size(), size_t(7));
    }

    void firmwareIndexOutOfRangeGivesNull()
    {
        QVERIFY(!NandFirmware(0));
        QVERIFY(!NandFirmware(3));
        QVERIFY(!NandFirmware(-1));
        QVERIFY(!SpiFirmware(-1));
        QVERIFY(!SpiFirmware(5));
    }

    void malformedImagesAreRejected_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("wellFormed");
        QTest::newRow("intact") << -1 << 0 << true;
        QTest::newRow("length 17") << Firmware::kLengthOffset << 17 << false;
        QTest::newRow("length 16") << Firmware::kLengthOffset << 16 << true;
        QTest::newRow("record type 2") << Firmware::kTypeOffset << 2 << false;
        QTest::newRow("early end record") << Firmware::kTypeOffset << 1 << true;
    }
    void malformedImagesAreRejected()
    {
        QFETCH(int, field);
        QFETCH(int, value);
        QFETCH(bool, wellFormed);
        const uint8_t *original = SpiFirmware(3);
        const int size = Firmware::InspectImage(original).recordCount * Firmware::kRecordSize;
        std::vector<uint8_t> image(original, original + size);
        const int victim = 7 * Firmware::kRecordSize; // a data record in the middle
        if (field >= 0)
            image[victim + field] = uint8_t(value);
        const Firmware::ImageInfo info = Firmware::InspectImage(image.data());
        QCOMPARE(info.wellFormed, wellFormed);
        if (field == Firmware::kTypeOffset && value == 1)
            QCOMPARE(info.recordCount, 8);
    }

    void imageWithoutEndRecordIsRejected()
    {
        // More records than any walk accepts, none of them an end record.
        std::vector<uint8_t> image((Firmware::kMaxRecords + 1) * Firmware::kRecordSize, 0);
        QVERIFY(!Firmware::InspectImage(image.data()).wellFormed);
        QVERIFY(!Firmware::InspectImage(nullptr).wellFormed);
    }
};

QTEST_GUILESS_MAIN(TestUsbLibrary)
#include "tst_usblibrary.moc"
