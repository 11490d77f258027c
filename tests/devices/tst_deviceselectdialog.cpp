#include "AppSettings.h"
#include "DeviceDatabase.h"
#include "DeviceSelectDialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

// Choosing the target chip: filters by family, manufacturer and search text,
// the favourites kept in the settings, and what accepting hands back.
class TestDeviceSelectDialog : public QObject
{
    Q_OBJECT

private:
    static QStringList Texts(const QListWidget *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }

    static void StoreFavorites(const QString &text)
    {
        AppSettings().WriteString(SET_FAVORITE_DEVICES, text);
    }

    static void ClickFamily(CDeviceSelectDialog &dialog, int button)
    {
        QRadioButton *radio = dialog.FamilyButtons().at(button);
        radio->setChecked(true);
        emit radio->released();
    }

    static void TypeSearch(CDeviceSelectDialog &dialog, const QString &text)
    {
        dialog.SearchEdit()->setText(text);
        emit dialog.SearchEdit()->textEdited(text);
    }

    static void Highlight(QListWidget *list, const QString &text)
    {
        const auto found = list->findItems(text, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(text));
        list->setCurrentItem(found.front());
    }

    static void Click(QListWidget *list, const QString &text)
    {
        Highlight(list, text);
        emit list->itemClicked(list->currentItem());
    }

private slots:
    void initTestCase()
    {
        AppSettings(); // makes the settings folder current
        auto nand = std::make_unique<CDeviceFamilyNand>();
        QVERIFY(nand->AddLine(R"(Name="K9F1G08U0E",MFG="SAMSUNG",ID1="ech",ID2="f1h",size="8400000h",PageSize="840h",BlockSize="40h")"));
        QVERIFY(nand->AddLine(R"(Name="MT29F2G08",MFG="MICRON",ID1="2ch",ID2="dah",size="10800000h",PageSize="840h",BlockSize="40h")"));
        QVERIFY(nand->AddLine(R"(Name="K9F2G08U0B",MFG="SAMSUNG",ID1="ech",ID2="dah",size="10800000h",PageSize="840h",BlockSize="40h")"));
        auto spi = std::make_unique<CDeviceFamilySPI>();
        QVERIFY(spi->AddLine(R"(Name="W25Q32FV",MFG="WINBOND",ID1="efh",ID2="40h",ID3="16h",size="400000h",SectorSize="10000h",SectorNum="40h")"));
        QVERIFY(spi->AddLine(R"(Name="W25Q32",MFG="WINBOND",ID1="efh",ID2="40h",ID3="16h",size="400000h",SectorSize="10000h",SectorNum="40h")"));
        QVERIFY(spi->AddLine(R"(Name="MX25L6405",MFG="MACRONIX",ID1="c2h",ID2="20h",ID3="17h",size="800000h",SectorSize="10000h",SectorNum="80h")"));
        QVERIFY(spi->AddLine(R"(Name="K9SPI",MFG="SAMSUNG",ID1="c2h",ID2="20h",ID3="18h",size="800000h",SectorSize="10000h",SectorNum="80h")"));
        DeviceFamilies().push_back(std::move(nand));
        DeviceFamilies().push_back(std::move(spi));
    }

    void cleanupTestCase() { DeleteAll(); }

    void init()
    {
        StoreFavorites(QString());
        SetCurrentDevice(nullptr);
    }

    void opensWithEveryFamilyListed()
    {
        CDeviceSelectDialog dialog;
        QCOMPARE(dialog.size(), QSize(740, 470));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Device Selection/Search"));
        QCOMPARE(dialog.FamilyButtons().size(), size_t(3));
        QCOMPARE(dialog.FamilyButtons()[0]->text(), QStringLiteral("ALL"));
        QCOMPARE(dialog.FamilyButtons()[1]->text(), QStringLiteral("Nand"));
        QCOMPARE(dialog.FamilyButtons()[2]->text(), QStringLiteral("SPI"));
        QVERIFY(dialog.FamilyButtons()[0]->isChecked());
        QCOMPARE(Texts(dialog.ManufacturerList()),
                 QStringList({"MACRONIX", "MICRON", "SAMSUNG", "WINBOND"}));
        QCOMPARE(Texts(dialog.DeviceList()),
                 QStringList({"NAND OFNI", "K9F1G08U0E", "MT29F2G08", "K9F2G08U0B", "SPI SFDP", "W25Q32FV",
                              "W25Q32", "MX25L6405", "K9SPI"}));
        // Row 0 is highlighted, and with it the first entry is the current device.
        QCOMPARE(dialog.DeviceList()->currentRow(), 0);
        QCOMPARE(dialog.SelectedName(), QStringLiteral("NAND OFNI"));
        QCOMPARE(CurrentDevice(), FindByName("NAND OFNI"));
    }

    void favoritesReadFromTheSettings_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("empty") << "" << QStringList() << "";
        QTest::newRow("sorted") << "W25Q32,K9F1G08U0E," << QStringList({"K9F1G08U0E", "W25Q32"})
                                << "W25Q32,K9F1G08U0E,";
        QTest::newRow("no final comma loses the last") << "W25Q32,MX25L6405" << QStringList({"W25Q32"})
                                                       << "W25Q32,";
        QTest::newRow("unknown dropped") << "GONE,W25Q32," << QStringList({"W25Q32"}) << "W25Q32,";
        QTest::newRow("duplicate dropped") << "W25Q32,W25Q32," << QStringList({"W25Q32"}) << "W25Q32,";
        QTest::newRow("stops at an empty name") << "W25Q32,,MX25L6405," << QStringList({"W25Q32"}) << "W25Q32,";
    }
    void favoritesReadFromTheSettings()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, listed);
        QFETCH(QString, kept);
        StoreFavorites(stored);
        CDeviceSelectDialog dialog;
        QCOMPARE(Texts(dialog.FavoriteList()), listed);
        QCOMPARE(dialog.FavoritesText(), kept);
        // Opening alone never rewrites the stored value.
        QCOMPARE(AppSettings().ReadString(SET_FAVORITE_DEVICES), stored);
    }

    void familyFilter_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QStringList>("manufacturers");
        QTest::addColumn<QStringList>("devices");
        QTest::newRow("Nand") << 1 << QStringList({"MICRON", "SAMSUNG"})
                              << QStringList({"NAND OFNI", "K9F1G08U0E", "MT29F2G08", "K9F2G08U0B"});
        QTest::newRow("SPI") << 2 << QStringList({"MACRONIX", "SAMSUNG", "WINBOND"})
                             << QStringList({"SPI SFDP", "W25Q32FV", "W25Q32", "MX25L6405", "K9SPI"});
    }
    void familyFilter()
    {
        QFETCH(int, button);
        QFETCH(QStringList, manufacturers);
        QFETCH(QStringList, devices);
        CDeviceSelectDialog dialog;
        TypeSearch(dialog, "w25");
        ClickFamily(dialog, button);
        QVERIFY(dialog.SearchEdit()->text().isEmpty());
        QCOMPARE(Texts(dialog.ManufacturerList()), manufacturers);
        QCOMPARE(Texts(dialog.DeviceList()), devices);
        QCOMPARE(dialog.DeviceList()->currentRow(), 0);
        QCOMPARE(dialog.FavoriteList()->currentRow(), -1);
    }

    void manufacturerFilterKeepsTheFamily()
    {
        CDeviceSelectDialog dialog;
        ClickFamily(dialog, 2);
        Highlight(dialog.ManufacturerList(), "SAMSUNG");
        QCOMPARE(Texts(dialog.DeviceList()), QStringList({"K9SPI"}));
        QCOMPARE(dialog.DeviceNameLabel()->text(), QStringLiteral("K9SPI"));
        QCOMPARE(dialog.ManufacturerNameLabel()->text(), QStringLiteral("SAMSUNG"));
        QVERIFY(dialog.DeviceNameLabel()->styleSheet().contains("rgb(100,0,150)"));
        QCOMPARE(CurrentDevice(), FindByName("K9SPI"));
    }

    void searchIgnoresTheFilters()
    {
        CDeviceSelectDialog dialog;
        ClickFamily(dialog, 1);
        TypeSearch(dialog, "k9");
        QCOMPARE(Texts(dialog.DeviceList()), QStringList({"K9F1G08U0E", "K9F2G08U0B", "K9SPI"}));
        QVERIFY(dialog.FamilyButtons()[0]->isChecked());
        TypeSearch(dialog, "w25q32");
        QCOMPARE(Texts(dialog.DeviceList()), QStringList({"W25Q32FV", "W25Q32"}));
        TypeSearch(dialog, "nothing like it");
        QCOMPARE(dialog.DeviceList()->count(), 0);
    }

    // Typing a part number and pressing Enter chooses what the list shows,
    // not the device highlighted before the search.
    void enterAfterASearchChoosesTheFirstMatch()
    {
        CDeviceSelectDialog dialog;
        QCOMPARE(dialog.DeviceList()->currentItem()->text(), QStringLiteral("NAND OFNI"));
        TypeSearch(dialog, "w25q32");
        QCOMPARE(dialog.DeviceList()->currentRow(), 0);
        QCOMPARE(dialog.DeviceNameLabel()->text(), QStringLiteral("W25Q32FV"));
        dialog.accept();
        QCOMPARE(dialog.SelectedName(), QStringLiteral("W25Q32FV"));
        QCOMPARE(CurrentDevice(), FindByName("W25Q32FV"));
    }

    void addAndRemoveFavorites()
    {
        CDeviceSelectDialog dialog;
        QPushButton *add = dialog.findChild<QPushButton *>("addFavorite");
        QPushButton *remove = dialog.findChild<QPushButton *>("removeFavorite");
        QVERIFY(add && remove);

        Highlight(dialog.DeviceList(), "W25Q32FV");
        add->click();
        add->click();
        Highlight(dialog.DeviceList(), "W25Q32");
        add->click();
        QCOMPARE(Texts(dialog.FavoriteList()), QStringList({"W25Q32", "W25Q32FV"}));
        QCOMPARE(AppSettings().ReadString(SET_FAVORITE_DEVICES), QStringLiteral("W25Q32FV,W25Q32,"));

        // Removing a name that begins another entry leaves that entry whole.
        Click(dialog.FavoriteList(), "W25Q32");
        remove->click();
        QCOMPARE(Texts(dialog.FavoriteList()), QStringList({"W25Q32FV"}));
        QCOMPARE(AppSettings().ReadString(SET_FAVORITE_DEVICES), QStringLiteral("W25Q32FV,"));
        QCOMPARE(dialog.FavoriteList()->currentRow(), 0);
        QCOMPARE(dialog.DeviceList()->currentRow(), -1);

        remove->click();
        QCOMPARE(dialog.FavoriteList()->count(), 0);
        QCOMPARE(AppSettings().ReadString(SET_FAVORITE_DEVICES), QString());
        remove->click(); // nothing left to remove: harmless
        QCOMPARE(AppSettings().ReadString(SET_FAVORITE_DEVICES), QString());
    }

    void removeFavoriteText_data()
    {
        QTest::addColumn<QString>("favorites");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first") << "A,B," << "A" << "B,";
        QTest::newRow("last") << "A,B," << "B" << "A,";
        QTest::newRow("prefix of an earlier entry") << "AB,A," << "A" << "AB,";
        QTest::newRow("suffix of an earlier entry") << "XA,A," << "A" << "XA,";
        QTest::newRow("absent") << "A,B," << "C" << "A,B,";
    }
    void removeFavoriteText()
    {
        QFETCH(QString, favorites);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(RemoveFavorite(favorites, name), expected);
    }

    void acceptTakesTheListClickedLast()
    {
        StoreFavorites("MX25L6405,");
        CDeviceSelectDialog dialog;
        Click(dialog.FavoriteList(), "MX25L6405");
        Click(dialog.DeviceList(), "W25Q32");
        dialog.findChild<QPushButton *>("selectButton")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.SelectedName(), QStringLiteral("W25Q32"));
        QCOMPARE(CurrentDevice(), FindByName("W25Q32"));
    }

    void doubleClickOnAFavoriteAccepts()
    {
        StoreFavorites("MX25L6405,");
        CDeviceSelectDialog dialog;
        Highlight(dialog.DeviceList(), "K9F2G08U0B");
        QTimer::singleShot(0, &dialog, [&dialog] {
            QListWidgetItem *item = dialog.FavoriteList()->item(0);
            emit dialog.FavoriteList()->itemDoubleClicked(item);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(dialog.SelectedName(), QStringLiteral("MX25L6405"));
        QCOMPARE(CurrentDevice(), FindByName("MX25L6405"));
    }

    void cancelLeavesTheHighlightedDeviceCurrent()
    {
        CDeviceSelectDialog dialog;
        Highlight(dialog.DeviceList(), "MT29F2G08");
        QTimer::singleShot(0, qApp, [] {
            auto *active = qobject_cast<CDeviceSelectDialog *>(QApplication::activeModalWidget());
            QVERIFY(active);
            active->findChild<QPushButton *>("cancelButton")->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(CurrentDevice(), FindByName("MT29F2G08"));
    }
};

QTEST_MAIN(TestDeviceSelectDialog)
#include "tst_deviceselectdialog.moc"
