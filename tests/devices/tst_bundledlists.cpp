#include "DeviceFamily.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "DeviceKeys.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

// Every entry of the device lists shipped with the program, checked the way
// the reader and the engines will use it.
class TestBundledLists : public QObject
{
    Q_OBJECT

private:
    static QString ListPath(const char *name)
    {
        return QStringLiteral(NVP_BINARY_DIR "/share/config/") + QLatin1String(name) + QStringLiteral(".txt");
    }

    // The lines of a list as the reader cuts them, blank ones left out.
    static QStringList NonEmptyLines(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        const QString text = QString::fromLatin1(file.readAll());
        for (const QString &line : text.split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
            if (!line.trimmed().isEmpty())
                lines << line;
        }
        return lines;
    }

    // A data area of 512 bytes to 16 KiB (a power of two) plus a spare area
    // of 1/32 to 1/8 of it: 528, 2112, 4224, 4320, 8640, 17664...
    static bool IsSupportedPageSize(uint32_t pageSize)
    {
        for (uint32_t data : {512u, 2048u, 4096u, 8192u, 16384u}) {
            const uint32_t spare = pageSize - data;
            if (pageSize > data && spare >= data / 32 && spare <= data / 8)
                return true;
        }
        return false;
    }

    static bool CountAttributeIsOneOf(const QString &line, int key, std::initializer_list<int> allowed)
    {
        QString value;
        if (!GetAttribute(line, key, &value))
            return true;
        return std::find(allowed.begin(), allowed.end(), value.toInt()) != allowed.end();
    }

private slots:
    void listsHoldEnoughEntries_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("minimum");
        QTest::newRow("Nand") << "Nand" << 40;
        QTest::newRow("SPI") << "SPI" << 150;
    }
    void listsHoldEnoughEntries()
    {
        QFETCH(QString, family);
        QFETCH(int, minimum);
        const QString path = ListPath(family.toLatin1().constData());
        QVERIFY2(QFile::exists(path), qPrintable(path));
        std::unique_ptr<CDeviceFamily> loaded;
        if (family == QLatin1String("Nand"))
            loaded = std::make_unique<CDeviceFamilyNand>();
        else
            loaded = std::make_unique<CDeviceFamilySPI>();
        loaded->LoadFile(path);
        const int entries = loaded->Count() - 1; // without the built-in entry
        // Every line is an entry: nothing is dropped as unreadable or repeated.
        QCOMPARE(entries, int(NonEmptyLines(path).size()));
        QVERIFY2(entries >= minimum, qPrintable(QStringLiteral("%1 entries").arg(entries)));
    }

    void nandEntriesAreConsistent()
    {
        const QStringList lines = NonEmptyLines(ListPath("Nand"));
        QVERIFY(!lines.isEmpty());
        QSet<QString> names;
        for (const QString &line : lines) {
            CDeviceItemNand nand;
            QVERIFY2(nand.Parse(line), qPrintable("not read: " + line));
            const QByteArray what = line.toLatin1();
            QVERIFY2(!names.contains(nand.m_name), what);
            names.insert(nand.m_name);

            QVERIFY2(IsSupportedPageSize(nand.m_pageSize), what);
            QVERIFY2(nand.m_pagesPerBlock > 0, what);
            const uint64_t blockBytes = uint64_t(nand.m_pageSize) * nand.m_pagesPerBlock;
            QVERIFY2(nand.m_size > 0 && nand.m_size % blockBytes == 0, what);
            // Each chip enable holds the same number of whole blocks.
            QVERIFY2(nand.m_size % (blockBytes * nand.m_ceCount) == 0, what);
            QVERIFY2(nand.m_idCount >= 2 && nand.m_idValid[0] && nand.m_idValid[1], what);
            QVERIFY2(CountAttributeIsOneOf(line, KEY_CE, {1, 2, 4}), what);
        }
    }

    void spiEntriesAreConsistent()
    {
        const QStringList lines = NonEmptyLines(ListPath("SPI"));
        QVERIFY(!lines.isEmpty());
        QSet<QString> names;
        for (const QString &line : lines) {
            CDeviceItemSPIFlash spi;
            QVERIFY2(spi.Parse(line), qPrintable("not read: " + line));
            const QByteArray what = line.toLatin1();
            QVERIFY2(!names.contains(spi.m_name), what);
            names.insert(spi.m_name);

            // Checked in 64 bits: a product that wraps in 32 would pass the reader.
            QVERIFY2(spi.m_size > 0 && uint64_t(spi.m_sectorSize) * spi.m_sectorCount == spi.m_size, what);
            QVERIFY2(spi.m_pageSize > 0 && spi.m_pageSize <= spi.m_sectorSize, what);
            QVERIFY2(CountAttributeIsOneOf(line, KEY_IO, {1, 2, 4}), what);
            QVERIFY2(CountAttributeIsOneOf(line, KEY_SPEED, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), what);
        }
    }

    void knownNandIdResolves()
    {
        CDeviceFamilyNand family;
        family.LoadFile(ListPath("Nand"));
        const uint8_t ids[] = {0xEC, 0xF1, 0x00, 0x95, 0x41, 0x00};
        const CDeviceItem *found = family.FindById(DEVICE_NAND, ids, false);
        QVERIFY(found);
        QCOMPARE(found->m_type, int(DEVICE_NAND));
    }
};

QTEST_GUILESS_MAIN(TestBundledLists)
#include "tst_bundledlists.moc"
