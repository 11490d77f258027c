#include "AppSettings.h"
#include "DeviceChoiceDialog.h"
#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// Looking entries up: ID matching, the choice between several candidates,
// duplicate reports, the texts entries show, and the process-wide database.
class TestDeviceLookup : public QObject
{
    Q_OBJECT

private:
    static std::span<const uint8_t> Bytes(const QByteArray &bytes)
    {
        return {reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
    }

    // Answers the next modal dialog from the event loop once it is shown.
    static void AnswerNextDialog(std::function<void(CDeviceChoiceDialog *)> answer)
    {
        QTimer::singleShot(0, qApp, [answer] {
            auto *dialog = qobject_cast<CDeviceChoiceDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                // Not shown yet: try again on the next turn of the loop.
                AnswerNextDialog(answer);
                return;
            }
            answer(dialog);
        });
    }

    static QPushButton *Button(QDialog *dialog, const QString &text)
    {
        for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
            if (button->text() == text)
                return button;
        }
        return nullptr;
    }

    // Three chips answering EC F1 00 95 40 and one other.
    static void FillNand(CDeviceFamilyNand &family)
    {
        QVERIFY(family.AddLine("Name=\"K9F1G08U0B\",ID1=\"ech\",ID2=\"f1h\",ID3=\"00h\",ID4=\"95h\",ID5=\"40h\","
                               "size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\""));
        QVERIFY(family.AddLine("Name=\"K9F2G08U0B\",ID1=\"ech\",ID2=\"dah\",ID3=\"10h\",ID4=\"95h\",ID5=\"44h\","
                               "size=\"10800000h\",PageSize=\"840h\",BlockSize=\"40h\""));
        QVERIFY(family.AddLine("Name=\"HY27UF081G2A\",ID1=\"ech\",ID2=\"f1h\",size=\"8400000h\",PageSize=\"840h\","
                               "BlockSize=\"40h\""));
        QVERIFY(family.AddLine("Name=\"K9F1G08X0B\",ID1=\"ech\",ID2=\"f1h\",ID3=\"00h\",ID4=\"95h\","
                               "size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\""));
    }

    static void WriteList(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private slots:
    void cleanup() { DeleteAll(); }

    void nandMatches_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("ids");
        QTest::addColumn<bool>("matches");

        const QString five = "Name=\"n\",ID1=\"ech\",ID2=\"f1h\",ID3=\"00h\",ID4=\"95h\",ID5=\"40h\",BlockSize=\"40h\"";
        const QString two = "Name=\"n\",ID1=\"ech\",ID2=\"75h\",BlockSize=\"20h\"";
        QTest::newRow("all five") << five << QByteArray("\xEC\xF1\x00\x95\x40\x00", 6) << true;
        QTest::newRow("sixth byte not compared") << five << QByteArray("\xEC\xF1\x00\x95\x40\x77", 6) << true;
        QTest::newRow("third differs") << five << QByteArray("\xEC\xF1\x01\x95\x40\x00", 6) << false;
        QTest::newRow("fifth differs") << five << QByteArray("\xEC\xF1\x00\x95\x41\x00", 6) << false;
        QTest::newRow("two-byte entry") << two << QByteArray("\xEC\x75\xA5\x00\xEC\x75", 6) << true;
        QTest::newRow("two-byte entry, other chip") << two << QByteArray("\xEC\x76\xA5\x00\xEC\x75", 6) << false;
        QTest::newRow("first ID not given") << "Name=\"n\",ID1=\"\",ID2=\"75h\",BlockSize=\"20h\""
                                            << QByteArray("\xFF\x75\xFF\xFF\xFF\xFF", 6) << false;
        QTest::newRow("no chip") << five << QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF", 6) << false;
        QTest::newRow("empty ID value skipped") << "Name=\"n\",ID1=\"ech\",ID2=\"\",ID3=\"10h\",BlockSize=\"40h\""
                                                << QByteArray("\xEC\x00\x10\x00\x00\x00", 6) << true;
        QTest::newRow("buffer shorter than entry") << five << QByteArray("\xEC\xF1", 2) << true;
        QTest::newRow("empty buffer") << five << QByteArray() << false;
    }
    void nandMatches()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, ids);
        QFETCH(bool, matches);
        CDeviceItemNand nand;
        QVERIFY(nand.Parse(line));
        QCOMPARE(nand.Matches(Bytes(ids)), matches);
    }

    // An entry whose compared bytes run past the bytes it defines (a chip
    // that repeats its ID after four bytes).
    void repeatingId_data()
    {
        QTest::addColumn<int>("idCount");
        QTest::addColumn<int>("validBytes");
        QTest::addColumn<QByteArray>("ids");
        QTest::addColumn<bool>("matches");

        QTest::newRow("exact") << 4 << 5 << QByteArray("\xEC\xF1\x00\x95\x40\x00", 6) << true;
        QTest::newRow("repeats after four") << 4 << 5 << QByteArray("\xEC\xF1\x00\x95\xEC\xF1", 6) << true;
        QTest::newRow("repeats first byte only") << 4 << 5 << QByteArray("\xEC\xF1\x00\x95\xEC\x00", 6) << false;
        QTest::newRow("differs, no repeat") << 4 << 5 << QByteArray("\xEC\xF1\x00\x95\x41\x00", 6) << false;
        QTest::newRow("repeat before the defined end") << 4 << 5 << QByteArray("\xEC\xF1\x00\xEC\xF1\x00", 6) << false;
        QTest::newRow("repeats after three") << 3 << 5 << QByteArray("\xEC\xF1\x00\xEC\xF1\x00", 6) << true;
        QTest::newRow("sixth byte: repeat inside 7 bytes")
            << 5 << 6 << QByteArray("\xEC\xF1\x00\x95\x40\xEC\xF1", 7) << true;
        QTest::newRow("sixth byte: repeat cut by buffer end")
            << 5 << 6 << QByteArray("\xEC\xF1\x00\x95\x40\xEC", 6) << false;
    }
    void repeatingId()
    {
        QFETCH(int, idCount);
        QFETCH(int, validBytes);
        QFETCH(QByteArray, ids);
        QFETCH(bool, matches);
        CDeviceItemNand nand;
        const uint8_t defined[] = {0xEC, 0xF1, 0x00, 0x95, 0x40, 0x77};
        for (int i = 0; i < validBytes; ++i) {
            nand.m_id[i] = defined[i];
            nand.m_idValid[i] = 1;
        }
        nand.m_idCount = idCount;
        // A copy exactly as long as the data, so nothing behind it can be read.
        std::vector<uint8_t> exact(ids.begin(), ids.end());
        QCOMPARE(nand.Matches(std::span<const uint8_t>(exact)), matches);
    }

    void spiMatches_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("ids");
        QTest::addColumn<bool>("matches");

        const QString w25 = "Name=\"W25Q64\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\",SectorNum=\"800h\"";
        const QString ff = "Name=\"blank\",ID1=\"ffh\",ID2=\"ffh\",ID3=\"ffh\",size=\"20000h\"";
        QTest::newRow("same") << w25 << QByteArray("\xEF\x40\x17") << true;
        QTest::newRow("third differs") << w25 << QByteArray("\xEF\x40\x18") << false;
        QTest::newRow("first differs") << w25 << QByteArray("\xC2\x40\x17") << false;
        QTest::newRow("FF FF FF never matches") << ff << QByteArray("\xFF\xFF\xFF") << false;
        QTest::newRow("two bytes only") << w25 << QByteArray("\xEF\x40") << false;
    }
    void spiMatches()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, ids);
        QFETCH(bool, matches);
        CDeviceItemSPIFlash spi;
        QVERIFY(spi.Parse(line));
        QCOMPARE(spi.Matches(Bytes(ids)), matches);
    }

    void findByIdWithoutAsking()
    {
        CDeviceFamilyNand nand;
        FillNand(nand);
        const QByteArray ids("\xEC\xF1\x00\x95\x40\x00", 6);
        QCOMPARE(nand.FindById(DEVICE_NAND, Bytes(ids), false)->m_name, QStringLiteral("K9F1G08U0B"));
        QVERIFY(!nand.FindById(DEVICE_SPI, Bytes(ids), false));
        QVERIFY(!nand.FindById(DEVICE_NAND, Bytes(QByteArray("\x98\xF1\x00\x95\x40\x00", 6)), false));

        CDeviceFamilySPI spi;
        QVERIFY(spi.AddLine("Name=\"W25Q64\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\",SectorNum=\"800h\""));
        QCOMPARE(spi.FindById(DEVICE_SPI, Bytes("\xEF\x40\x17"), true)->m_name, QStringLiteral("W25Q64"));
        QVERIFY(!spi.FindById(DEVICE_NAND, Bytes("\xEF\x40\x17"), false));
    }

    void builtInNandEntryIsNeverFoundById()
    {
        CDeviceFamilyNand nand;
        auto *onfi = static_cast<CDeviceItemNand *>(nand.FindByName("NAND OFNI"));
        const uint8_t ids[] = {0x2C, 0xDC, 0x90, 0x95, 0x56, 0x00};
        std::copy(std::begin(ids), std::end(ids), onfi->m_id);
        std::fill(std::begin(onfi->m_idValid), std::end(onfi->m_idValid), 1);
        QVERIFY(onfi->Matches(ids));
        QVERIFY(!nand.FindById(DEVICE_NAND, ids, false));
        QVERIFY(!nand.FindById(DEVICE_NAND, ids, true));
        QVERIFY(nand.AddLine("Name=\"MT29F4G08ABADA\",ID1=\"2ch\",ID2=\"dch\",BlockSize=\"40h\""));
        QCOMPARE(nand.FindById(DEVICE_NAND, ids, true)->m_name, QStringLiteral("MT29F4G08ABADA"));

        QStringList lines;
        nand.ReportDuplicates([&lines](const QString &line) { lines << line; }, DEVICE_NAND, ids);
        QVERIFY(lines.isEmpty());
    }

    void choiceDialogLayout()
    {
        CDeviceChoiceDialog dialog({"A", "B"});
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Device"));
        QCOMPARE(dialog.minimumSize(), QSize(200, 400));
        QCOMPARE(dialog.maximumSize(), QSize(200, 400));
        QCOMPARE(dialog.List()->geometry(), QRect(20, 10, 160, 350));
        QPushButton *select = Button(&dialog, "Select");
        QPushButton *cancel = Button(&dialog, "Cancel");
        QVERIFY(select && cancel);
        QCOMPARE(select->geometry(), QRect(20, 370, 75, 23));
        QCOMPARE(cancel->geometry(), QRect(110, 370, 75, 23));
        QVERIFY(dialog.windowFlags() & Qt::WindowSystemMenuHint);
        QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                                          | Qt::WindowContextHelpButtonHint)));
    }

    void findByIdAsksWhenSeveralMatch_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("expected"); // empty: none

        QTest::newRow("first row preselected") << -1 << "Select" << "K9F1G08U0B";
        QTest::newRow("second row") << 1 << "Select" << "HY27UF081G2A";
        QTest::newRow("third row") << 2 << "Select" << "K9F1G08X0B";
        QTest::newRow("cancel") << 1 << "Cancel" << "";
    }
    void findByIdAsksWhenSeveralMatch()
    {
        QFETCH(int, row);
        QFETCH(QString, button);
        QFETCH(QString, expected);
        CDeviceFamilyNand nand;
        FillNand(nand);

        QStringList shown;
        int shownRow = -2;
        bool modal = false;
        AnswerNextDialog([&](CDeviceChoiceDialog *dialog) {
            modal = dialog->isModal();
            for (int i = 0; i < dialog->List()->count(); ++i)
                shown << dialog->List()->item(i)->text();
            shownRow = dialog->List()->currentRow();
            if (row >= 0)
                dialog->List()->setCurrentRow(row);
            QPushButton *target = Button(dialog, button);
            if (target)
                target->click();
            else
                dialog->reject();
        });
        const QByteArray ids("\xEC\xF1\x00\x95\x40\x00", 6);
        CDeviceItem *found = nand.FindById(DEVICE_NAND, Bytes(ids), true);

        QVERIFY(modal);
        QCOMPARE(shown, QStringList({"K9F1G08U0B", "HY27UF081G2A", "K9F1G08X0B"}));
        QCOMPARE(shownRow, 0);
        QCOMPARE(found ? found->m_name : QString(), expected);
    }

    void findByIdAsksNotForOneMatch()
    {
        CDeviceFamilyNand nand;
        FillNand(nand);
        bool dialogShown = false;
        // Should a dialog appear, close it so the test fails instead of hanging.
        QTimer guard;
        connect(&guard, &QTimer::timeout, [&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                dialogShown = true;
                dialog->reject();
            }
        });
        guard.start(0);
        const QByteArray ids("\xEC\xDA\x10\x95\x44\x00", 6);
        CDeviceItem *found = nand.FindById(DEVICE_NAND, Bytes(ids), true);
        QVERIFY(found);
        QCOMPARE(found->m_name, QStringLiteral("K9F2G08U0B"));
        QVERIFY(!nand.FindById(DEVICE_NAND, Bytes(QByteArray("\x98\xDA\x10\x95\x44\x00", 6)), true));
        QCoreApplication::processEvents();
        QVERIFY(!dialogShown);
    }

    void reportDuplicates_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("ids");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("three NAND matches")
            << int(DEVICE_NAND) << QByteArray("\xEC\xF1\x00\x95\x40\x00", 6)
            << QStringList{"Duplcaite found", "K9F1G08U0B", "HY27UF081G2A", "K9F1G08X0B"};
        QTest::newRow("two NAND matches") << int(DEVICE_NAND) << QByteArray("\xEC\xF1\x00\x95\x41\x00", 6)
                                          << QStringList{"Duplcaite found", "HY27UF081G2A", "K9F1G08X0B"};
        QTest::newRow("one NAND match") << int(DEVICE_NAND) << QByteArray("\xEC\xDA\x10\x95\x44\x00", 6)
                                        << QStringList{};
        QTest::newRow("no match") << int(DEVICE_NAND) << QByteArray("\x98\xDA\x10\x95\x44\x00", 6) << QStringList{};
        QTest::newRow("SPI same name twice") << int(DEVICE_SPI) << QByteArray("\xEF\x40\x17")
                                             << QStringList{"Duplcaite found", "W25Q64", "W25Q64"};
        QTest::newRow("SPI one match") << int(DEVICE_SPI) << QByteArray("\xC2\x20\x17") << QStringList{};
    }
    void reportDuplicates()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, ids);
        QFETCH(QStringList, lines);

        auto nand = std::make_unique<CDeviceFamilyNand>();
        FillNand(*nand);
        auto spi = std::make_unique<CDeviceFamilySPI>();
        QVERIFY(spi->AddLine("Name=\"W25Q64\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\",SectorNum=\"800h\""));
        QVERIFY(spi->AddLine("Name=\"W25Q64\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\",SectorNum=\"800h\""));
        QVERIFY(spi->AddLine("Name=\"MX25L6405\",ID1=\"c2h\",ID2=\"20h\",ID3=\"17h\",size=\"800000h\","
                             "SectorNum=\"800h\""));
        DeviceFamilies().push_back(std::move(nand));
        DeviceFamilies().push_back(std::move(spi));

        QStringList output;
        ReportDuplicates([&output](const QString &line) { output << line; }, type, Bytes(ids));
        QCOMPARE(output, lines);
    }

    void printDetails_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("brief");
        QTest::addColumn<QStringList>("lines");

        const QString nand = "Name=\"K9F1G08U0D\",MFG=\"SAMSUNG\",ID1=\"ech\",ID2=\"f1h\",ID3=\"00h\",ID4=\"95h\","
                             "ID5=\"41h\",size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\"";
        QTest::newRow("nand") << int(DEVICE_NAND) << nand << false
                              << QStringList{" K9F1G08U0D", "  Size = 8400000h  SAMSUNG",
                                             " ID1 = ECh ID2 = F1h ID3 = 0h ID4 = 95h ID5 = 41h "};
        QTest::newRow("nand brief") << int(DEVICE_NAND) << nand << true
                                    << QStringList{" K9F1G08U0D", "  Size = 8400000h  SAMSUNG"};
        QTest::newRow("nand two IDs, no maker, 64-bit size")
            << int(DEVICE_NAND) << "Name=\"big\",ID1=\"2ch\",ID2=\"d7h\",size=\"108000000h\",BlockSize=\"80h\"" << false
            << QStringList{" BIG", "  Size = 108000000h  ", " ID1 = 2Ch ID2 = D7h "};
        QTest::newRow("spi") << int(DEVICE_SPI)
                             << "Name=\"W25Q64\",MFG=\"WINBOND\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\","
                                "SectorNum=\"800h\""
                             << false
                             << QStringList{" W25Q64", "  Size = 800000h  WINBOND", "  ID1 =EFh,ID2 =40h ID3 =17h"};
        QTest::newRow("spi brief") << int(DEVICE_SPI) << "Name=\"W25Q64\",size=\"800000h\",SectorNum=\"800h\"" << true
                                   << QStringList{" W25Q64", "  Size = 800000h  "};
    }
    void printDetails()
    {
        QFETCH(int, type);
        QFETCH(QString, line);
        QFETCH(bool, brief);
        QFETCH(QStringList, lines);
        std::unique_ptr<CDeviceItem> item;
        if (type == DEVICE_NAND)
            item = std::make_unique<CDeviceItemNand>();
        else
            item = std::make_unique<CDeviceItemSPIFlash>();
        QVERIFY(item->Parse(line));
        QStringList output;
        item->PrintDetails([&output](const QString &text) { output << text; }, brief);
        QCOMPARE(output, lines);
    }

    void titlesAndNames()
    {
        CDeviceFamilyNand nandFamily;
        CDeviceFamilySPI spiFamily;
        auto *onfi = static_cast<CDeviceItemNand *>(nandFamily.FindByName("NAND OFNI"));
        auto *sfdp = static_cast<CDeviceItemSPIFlash *>(spiFamily.FindByName("SPI SFDP"));

        QCOMPARE(onfi->GetTitle(), QStringLiteral("NAND  "));
        QCOMPARE(onfi->GetName(), QStringLiteral("NAND  "));
        onfi->m_mfg = "MICRON";
        onfi->m_model = "MT29F4G08ABADAWP";
        QCOMPARE(onfi->GetTitle(), QStringLiteral("NAND MICRON MT29F4G08ABADAWP"));
        QCOMPARE(onfi->GetName(), QStringLiteral("MT29F4G08ABADAWP"));

        QCOMPARE(sfdp->GetTitle(), QStringLiteral("SPI "));
        sfdp->m_mfg = "WINBOND";
        QCOMPARE(sfdp->GetTitle(), QStringLiteral("SPI WINBOND"));
        sfdp->m_size = 0x800000;
        QCOMPARE(sfdp->GetTitle(), QStringLiteral("SPI WINBOND Size=0x800000"));
        QCOMPARE(sfdp->GetName(), QStringLiteral("SPI SFDP"));

        CDeviceItemNand nand;
        QVERIFY(nand.Parse("Name=\"K9F1G08U0D\",MFG=\"SAMSUNG\",BlockSize=\"40h\""));
        nand.m_model = "ignored";
        QCOMPARE(nand.GetTitle(), QStringLiteral("K9F1G08U0D"));
        QCOMPARE(nand.GetName(), QStringLiteral("K9F1G08U0D"));
        CDeviceItemSPIFlash spi;
        QVERIFY(spi.Parse("Name=\"W25Q64\",MFG=\"WINBOND\",size=\"800000h\",SectorNum=\"800h\""));
        QCOMPARE(spi.GetTitle(), QStringLiteral("W25Q64"));
        QCOMPARE(spi.GetName(), QStringLiteral("W25Q64"));
    }

    void databaseLoadsBothFamiliesInOrder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath("config"));
        WriteList(dir.filePath("config/Nand.txt"),
                  "Name=\"K9F1G08U0D\",MFG=\"SAMSUNG\",ID1=\"ech\",ID2=\"f1h\",ID3=\"00h\",ID4=\"95h\",ID5=\"41h\","
                  "size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\"\r\n"
                  "Name=\"W25Q64\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",BlockSize=\"40h\"\r\n");
        WriteList(dir.filePath("config/SPI.txt"),
                  "Name=\"W25Q64\",MFG=\"WINBOND\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\","
                  "SectorSize=\"1000h\",SectorNum=\"800h\",IO=\"4\"\n");
        // The settings store makes its own folder current when it is first
        // made; make it now so the folder chosen below stays current.
        AppSettings();
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        LoadDeviceDatabase();
        QDir::setCurrent(previous);

        QCOMPARE(DeviceFamilies().size(), size_t(2));
        QCOMPARE(DeviceFamilies()[0]->m_name, QStringLiteral("Nand"));
        QCOMPARE(DeviceFamilies()[1]->m_name, QStringLiteral("SPI"));
        QCOMPARE(CountAll(), 5);

        // Names are looked up exactly, NAND first.
        QCOMPARE(FindByName("W25Q64")->m_type, int(DEVICE_NAND));
        QVERIFY(FindByName("NAND OFNI"));
        QCOMPARE(FindByName("SPI SFDP")->m_type, int(DEVICE_SPI));
        QVERIFY(!FindByName("k9f1g08u0d"));
        QVERIFY(!FindByName("K9F1G08U0"));

        // The type selects the family answering an ID.
        QCOMPARE(FindById(DEVICE_SPI, Bytes("\xEF\x40\x17"), false)->m_type, int(DEVICE_SPI));
        QCOMPARE(FindById(DEVICE_NAND, Bytes(QByteArray("\xEF\x40\x17\x00\x00\x00", 6)), false)->m_type,
                 int(DEVICE_NAND));
        QCOMPARE(FindById(DEVICE_NAND, Bytes(QByteArray("\xEC\xF1\x00\x95\x41\x00", 6)), true)->m_name,
                 QStringLiteral("K9F1G08U0D"));
        QVERIFY(!FindById(DEVICE_SPI, Bytes("\xC2\x20\x17"), false));

        QStringList output;
        PrintAll([&output](const QString &line) { output << line; }, true);
        QCOMPARE(output, QStringList({"Nand", " NAND OFNI", "  Size = 0h  ", " K9F1G08U0D", "  Size = 8400000h  SAMSUNG",
                                      " W25Q64", "  Size = 0h  ", "SPI", " SPI SFDP", "  Size = 0h  ", " W25Q64",
                                      "  Size = 800000h  WINBOND"}));

        SetCurrentDevice(FindByName("K9F1G08U0D"));
        QCOMPARE(CurrentDevice()->m_name, QStringLiteral("K9F1G08U0D"));
        DeleteAll();
        QCOMPARE(CountAll(), 0);
        QVERIFY(DeviceFamilies().empty());
        QVERIFY(!CurrentDevice());
        QVERIFY(!FindByName("NAND OFNI"));
    }

    void databaseWithoutListFiles()
    {
        QTemporaryDir dir;
        // The settings store makes its own folder current when it is first
        // made; make it now so the folder chosen below stays current.
        AppSettings();
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        LoadDeviceDatabase();
        QDir::setCurrent(previous);
        QCOMPARE(CountAll(), 2);
        QVERIFY(FindByName("NAND OFNI"));
        QVERIFY(FindByName("SPI SFDP"));
    }
};

QTEST_MAIN(TestDeviceLookup)
#include "tst_devicelookup.moc"
