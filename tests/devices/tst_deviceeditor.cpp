#include "DeviceDatabase.h"
#include "DeviceEditorDialog.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

// The texts a test types into the editor; an empty `pins` keeps "1".
struct SEditorInput
{
    SEditorInput(QStringList ids_ = {}, QString name_ = {}, QString size_ = {}, QString geometry1_ = {},
                 QString geometry2_ = {}, QString pins_ = {})
        : ids(std::move(ids_))
        , name(std::move(name_))
        , size(std::move(size_))
        , geometry1(std::move(geometry1_))
        , geometry2(std::move(geometry2_))
        , pins(std::move(pins_))
    {
    }
    QStringList ids;
    QString name, size, geometry1, geometry2, pins;
};
Q_DECLARE_METATYPE(SEditorInput)

// The device editor: its fixed form, the makers it offers, what OK makes of
// the fields, and the line the caller then writes.
class TestDeviceEditor : public QObject
{
    Q_OBJECT

private:
    static QLineEdit *Field(QDialog *dialog, const char *name) { return dialog->findChild<QLineEdit *>(name); }
    static QComboBox *Box(QDialog *dialog, const char *name) { return dialog->findChild<QComboBox *>(name); }
    static QPushButton *Button(QDialog *dialog, QDialogButtonBox::StandardButton which)
    {
        auto *box = dialog->findChild<QDialogButtonBox *>("buttonBox");
        return box ? box->button(which) : nullptr;
    }

    static void Type(QLineEdit *field, const QString &text)
    {
        QVERIFY(field);
        field->clear();
        QTest::keyClicks(field, text);
        QCOMPARE(field->text(), text);
    }

    static void TypeInput(CDeviceEditorDialog *dialog, const SEditorInput &input)
    {
        for (int i = 0; i < input.ids.size(); ++i)
            Type(dialog->IdField(i), input.ids.at(i));
        Type(Field(dialog, "nameField"), input.name);
        Type(Field(dialog, "sizeField"), input.size);
        Type(Field(dialog, "geometryField1"), input.geometry1);
        Type(Field(dialog, "geometryField2"), input.geometry2);
        if (!input.pins.isEmpty()) {
            QComboBox *pins = Box(dialog, "pinBox");
            QVERIFY(pins);
            pins->setCurrentIndex(pins->findText(input.pins));
            QCOMPARE(pins->currentText(), input.pins);
        }
    }

    // Runs the dialog modally; the answer comes from the event loop it
    // starts. An answer that fails to close the dialog ends it with -2 so the
    // test fails instead of hanging.
    static int RunAnswered(CDeviceEditorDialog &dialog, const std::function<void(CDeviceEditorDialog *)> &answer)
    {
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto *active = qobject_cast<CDeviceEditorDialog *>(QApplication::activeModalWidget());
            if (!active)
                return;
            answered = true;
            answer(active);
            QTimer::singleShot(0, active, [active] {
                if (active->isVisible())
                    active->done(-2);
            });
        });
        const int result = dialog.exec();
        return answered ? result : -1;
    }

    static void Press(CDeviceEditorDialog *dialog, QDialogButtonBox::StandardButton which)
    {
        QPushButton *button = Button(dialog, which);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Two families with makers repeated and out of alphabetical order.
    static void FillDatabase()
    {
        auto nand = std::make_unique<CDeviceFamilyNand>();
        QVERIFY(nand->AddLine(R"(Name="N1",MFG="TOSHIBA",ID1="98h",ID2="f1h",size="8400000h",BlockSize="40h")"));
        QVERIFY(nand->AddLine(R"(Name="N2",MFG="SAMSUNG",ID1="ech",ID2="f1h",size="8400000h",BlockSize="40h")"));
        QVERIFY(nand->AddLine(R"(Name="N3",MFG="TOSHIBA",ID1="98h",ID2="dah",size="8400000h",BlockSize="40h")"));
        QVERIFY(nand->AddLine(R"(Name="N4",ID1="adh",ID2="f1h",size="8400000h",BlockSize="40h")"));
        QVERIFY(nand->AddLine(R"(Name="N5",MFG="HYNIX",ID1="adh",ID2="dah",size="8400000h",BlockSize="40h")"));
        auto spi = std::make_unique<CDeviceFamilySPI>();
        QVERIFY(spi->AddLine(R"(Name="S1",MFG="WINBOND",ID1="efh",ID2="40h",ID3="17h",size="800000h",SectorNum="800h")"));
        QVERIFY(spi->AddLine(R"(Name="S2",MFG="MACRONIX",ID1="c2h",ID2="20h",ID3="17h",size="800000h",SectorNum="800h")"));
        QVERIFY(spi->AddLine(R"(Name="S3",MFG="WINBOND",ID1="efh",ID2="40h",ID3="18h",size="1000000h",SectorNum="1000h")"));
        DeviceFamilies().push_back(std::move(nand));
        DeviceFamilies().push_back(std::move(spi));
    }

    static QStringList Items(const QComboBox *box)
    {
        QStringList items;
        for (int i = 0; box && i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }

    static QString Hint(QDialog *dialog)
    {
        const auto *hint = dialog->findChild<QLabel *>("hintLabel");
        return hint ? hint->text() : QStringLiteral("<no hint label>");
    }

private slots:
    void cleanup() { DeleteAll(); }

    void layout_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text"); // labels only

        for (const int kind : {int(DEVICE_NAND), int(DEVICE_SPI)}) {
            const char *family = kind == DEVICE_NAND ? "NAND" : "SPI";
            const auto row = [&](const QString &widget, QRect geometry, const QString &text = QString()) {
                QTest::addRow("%s %s", family, qPrintable(widget)) << kind << widget << geometry << text;
            };
            const int ids = kind == DEVICE_NAND ? 6 : 3;
            for (int i = 0; i < ids; ++i) {
                row(QString("idLabel%1").arg(i + 1), QRect(20 + 60 * i, 10, 30, 16), QString("ID%1").arg(i + 1));
                row(QString("idField%1").arg(i + 1), QRect(40 + 60 * i, 10, 30, 20));
            }
            row("nameLabel", QRect(20, 40, 30, 16), "Name");
            row("nameField", QRect(80, 40, 230, 20));
            row("mfgLabel", QRect(20, 70, 100, 16), "Manufacture");
            row("mfgBox", QRect(150, 70, 180, 25));
            row("sizeLabel", QRect(20, 100, 30, 16), "Size");
            row("sizeField", QRect(80, 100, 230, 20));
            row("geometryLabel1", QRect(20, 130, 60, 20), kind == DEVICE_NAND ? "Page Size" : "Sector Size");
            row("geometryField1", QRect(80, 130, 50, 20));
            row("geometryLabel2", QRect(140, 130, 60, 20), kind == DEVICE_NAND ? "Block Size" : "Sector Num");
            row("geometryField2", QRect(210, 130, 50, 20));
            row("pinLabel", QRect(270, 130, 40, 20), kind == DEVICE_NAND ? "CE Pins" : "IO Pins");
            row("pinBox", QRect(320, 130, 50, 20));
            row("buttonBox", QRect(90, 230, 190, 32));
        }
    }
    void layout()
    {
        QFETCH(int, kind);
        QFETCH(QString, widget);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);

        CDeviceEditorDialog dialog(nullptr, kind, "New");
        auto *child = dialog.findChild<QWidget *>(widget);
        QVERIFY2(child, qPrintable(widget));
        QCOMPARE(child->geometry(), geometry);
        if (!text.isEmpty()) {
            auto *label = qobject_cast<QLabel *>(child);
            QVERIFY(label);
            QCOMPARE(label->text(), text);
        }
    }

    void frame_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("idFields");
        QTest::addColumn<int>("entryType");

        QTest::newRow("NAND from New Flash") << int(DEVICE_NAND) << "Nand Flash" << 6 << int(DEVICE_NAND);
        QTest::newRow("SPI after detection") << int(DEVICE_SPI) << "New SPI" << 3 << int(DEVICE_SPI);
        QTest::newRow("unknown kind is NAND") << 7 << "New Nand" << 6 << int(DEVICE_NAND);
    }
    void frame()
    {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(int, idFields);
        QFETCH(int, entryType);

        CDeviceEditorDialog dialog(nullptr, kind, title);
        QCOMPARE(dialog.windowTitle(), title);
        QVERIFY(dialog.isModal());
        QCOMPARE(dialog.minimumSize(), QSize(391, 269));
        QCOMPARE(dialog.maximumSize(), QSize(391, 269));
        QVERIFY(dialog.windowFlags() & Qt::WindowSystemMenuHint);
        QVERIFY(!(dialog.windowFlags()
                  & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint)));

        QCOMPARE(dialog.IdFieldCount(), idFields);
        QVERIFY(!dialog.IdField(-1));
        QVERIFY(!dialog.IdField(idFields));
        QVERIFY(dialog.Entry());
        QCOMPARE(dialog.Entry()->m_type, entryType);
        QCOMPARE(Items(Box(&dialog, "pinBox")), QStringList({"1", "2", "4"}));
        QCOMPARE(Box(&dialog, "pinBox")->currentText(), QStringLiteral("1"));
        QVERIFY(!Box(&dialog, "mfgBox")->isEditable());

        // The identification fields come first when tabbing through the form,
        // then the rest from top to bottom.
        QStringList chain;
        for (QWidget *w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain()) {
            if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w))
                chain << w->objectName();
        }
        QStringList expected;
        for (int i = 0; i < idFields; ++i)
            expected << QString("idField%1").arg(i + 1);
        expected << "nameField" << "mfgBox" << "sizeField" << "geometryField1" << "geometryField2" << "pinBox";
        QCOMPARE(chain, expected);
        for (int i = 0; i < idFields; ++i)
            QCOMPARE(dialog.IdField(i), Field(&dialog, qPrintable(QString("idField%1").arg(i + 1))));
    }

    void manufacturers_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("filled");
        QTest::addColumn<QString>("builtinMaker"); // as a detection left it
        QTest::addColumn<QStringList>("items");

        QTest::newRow("NAND") << int(DEVICE_NAND) << true << "" << QStringList{"", "TOSHIBA", "SAMSUNG", "HYNIX"};
        QTest::newRow("SPI") << int(DEVICE_SPI) << true << "" << QStringList{"", "WINBOND", "MACRONIX"};
        QTest::newRow("NAND built-in entry filled") << int(DEVICE_NAND) << true << "MICRON"
                                                    << QStringList{"MICRON", "TOSHIBA", "SAMSUNG", "", "HYNIX"};
        QTest::newRow("SPI built-in maker also listed")
            << int(DEVICE_SPI) << true << "WINBOND" << QStringList{"WINBOND", "MACRONIX"};
        QTest::newRow("no database") << int(DEVICE_SPI) << false << "" << QStringList{};
    }
    void manufacturers()
    {
        QFETCH(int, kind);
        QFETCH(bool, filled);
        QFETCH(QString, builtinMaker);
        QFETCH(QStringList, items);

        if (filled) {
            FillDatabase();
            DeviceFamilies()[kind]->m_items.front()->m_mfg = builtinMaker;
        }
        CDeviceEditorDialog dialog(nullptr, kind, "New");
        const QComboBox *box = Box(&dialog, "mfgBox");
        QCOMPARE(Items(box), items);
        QCOMPARE(box->currentIndex(), items.isEmpty() ? -1 : 0);
        // Opening the editor leaves the database as it was.
        if (filled)
            QCOMPARE(CountAll(), 10);
    }

    void nandAccepted_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("pins");
        QTest::addColumn<QByteArray>("idValid");
        QTest::addColumn<QByteArray>("idBytes");
        QTest::addColumn<QString>("line");

        const QString tail = R"(size="8400000h",PageSize="840h",BlockSize="40h")";
        QTest::newRow("five bytes, ech is ECh")
            << QStringList{"ech", "f1h", "00h", "95h", "40h", ""} << "" << QByteArray("\1\1\1\1\1\0", 6)
            << QByteArray("\xEC\xF1\x00\x95\x40\xFF", 6)
            << R"(Name="k9f1g08u0x",MFG="",ID1="ech",ID2="f1h",ID3="0h",ID4="95h",ID5="40h",)" + tail;
        QTest::newRow("one character left out")
            << QStringList{"ec", "5", "dah", "", "", ""} << "" << QByteArray("\1\0\1\0\0\0", 6)
            << QByteArray("\xEC\xFF\xDA\xFF\xFF\xFF", 6) << R"(Name="k9f1g08u0x",MFG="",ID1="ech",)" + tail;
        QTest::newRow("gap after ID2 hides ID4")
            << QStringList{"98", "F1H", "", "95h", "", ""} << "2" << QByteArray("\1\1\0\1\0\0", 6)
            << QByteArray("\x98\xF1\xFF\x95\xFF\xFF", 6)
            << R"(Name="k9f1g08u0x",MFG="",ID1="98h",ID2="f1h",)" + tail + R"(,CE="2")";
        QTest::newRow("six detected bytes, four chip enables")
            << QStringList{"ech", "d3h", "51h", "95h", "58h", "00h"} << "4" << QByteArray("\1\1\1\1\1\1", 6)
            << QByteArray("\xEC\xD3\x51\x95\x58\x00", 6)
            << R"(Name="k9f1g08u0x",MFG="",ID1="ech",ID2="d3h",ID3="51h",ID4="95h",ID5="58h",ID6="0h",)" + tail
                   + R"(,CE="4")";
        QTest::newRow("above FFh keeps the low byte, no number gives 0")
            << QStringList{"1ech", "zz", "", "", "", ""} << "" << QByteArray("\1\1\0\0\0\0", 6)
            << QByteArray("\xEC\x00\xFF\xFF\xFF\xFF", 6)
            << R"(Name="k9f1g08u0x",MFG="",ID1="ech",ID2="0h",)" + tail;
        QTest::newRow("no identification") << QStringList{"", "", "", "", "", ""} << "" << QByteArray(6, '\0')
                                           << QByteArray(6, '\xFF') << R"(Name="k9f1g08u0x",MFG="",)" + tail;
    }
    void nandAccepted()
    {
        QFETCH(QStringList, ids);
        QFETCH(QString, pins);
        QFETCH(QByteArray, idValid);
        QFETCH(QByteArray, idBytes);
        QFETCH(QString, line);

        CDeviceEditorDialog dialog(nullptr, DEVICE_NAND, "Nand Flash");
        const int result = RunAnswered(dialog, [&](CDeviceEditorDialog *active) {
            TypeInput(active, {ids, "k9f1g08u0x", "8400000h", "840h", "40", pins});
            Press(active, QDialogButtonBox::Ok);
        });
        QCOMPARE(result, int(QDialog::Accepted));

        auto *entry = dynamic_cast<CDeviceItemNand *>(dialog.Entry());
        QVERIFY(entry);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(entry->m_idValid), 6), idValid);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(entry->m_id), 6), idBytes);
        QCOMPARE(entry->m_size, uint64_t(0x8400000));
        QCOMPARE(entry->m_pageSize, 0x840u);
        QCOMPARE(entry->m_pagesPerBlock, 0x40u);
        QCOMPARE(entry->m_ceCount, pins.isEmpty() ? 1 : pins.toInt());
        QCOMPARE(entry->ToText(), line);
    }

    void spiAccepted_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<SEditorInput>("input");
        QTest::addColumn<QByteArray>("idBytes");
        QTest::addColumn<QString>("line");

        QTest::newRow("complete, four data lines")
            << QStringList{"efh", "40", "17h"} << SEditorInput{{}, "w25q64", "800000h", "1000", "800h", "4"}
            << QByteArray("\xEF\x40\x17")
            << R"(Name="w25q64",MFG="",ID1="efh",ID2="40h",ID3="17h",size="800000h",SectorSize="1000h",)"
               R"(SectorNum="800h",IO="4")";
        QTest::newRow("one character stays FFh")
            << QStringList{"c2h", "2", "18h"} << SEditorInput{{}, "mx25", "1000000h", "10000h", "100h", "2"}
            << QByteArray("\xC2\xFF\x18")
            << R"(Name="mx25",MFG="",ID1="c2h",ID2="ffh",ID3="18h",size="1000000h",SectorSize="10000h",)"
               R"(SectorNum="100h",IO="2")";
        // The line disagrees with itself (sectors do not add up to the size);
        // the editor still hands it over unchanged.
        QTest::newRow("inconsistent geometry, empty fields")
            << QStringList{"", "", ""} << SEditorInput{{}, "odd", "", "1000h", "", ""} << QByteArray("\xFF\xFF\xFF")
            << R"(Name="odd",MFG="",ID1="ffh",ID2="ffh",ID3="ffh",size="0h",SectorSize="1000h",SectorNum="0h")";
    }
    void spiAccepted()
    {
        QFETCH(QStringList, ids);
        QFETCH(SEditorInput, input);
        QFETCH(QByteArray, idBytes);
        QFETCH(QString, line);

        input.ids = ids;
        CDeviceEditorDialog dialog(nullptr, DEVICE_SPI, "SPI Flash");
        const int result = RunAnswered(dialog, [&](CDeviceEditorDialog *active) {
            TypeInput(active, input);
            Press(active, QDialogButtonBox::Ok);
        });
        QCOMPARE(result, int(QDialog::Accepted));

        auto *entry = dynamic_cast<CDeviceItemSPIFlash *>(dialog.Entry());
        QVERIFY(entry);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(entry->m_id), 3), idBytes);
        QCOMPARE(entry->m_ioMode, input.pins.isEmpty() ? 1 : input.pins.toInt());
        QCOMPARE(entry->ToText(), line);
    }

    // Callers fill the identification fields before exec(), as the detection
    // of an unknown chip does; the maker chosen in the box reaches the line.
    void prefilledIdsAndMaker_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("line");

        QTest::newRow("NAND") << int(DEVICE_NAND)
                              << R"(Name="new",MFG="SAMSUNG",ID1="ech",ID2="d3h",ID3="51h",ID4="95h",ID5="58h",)"
                                 R"(ID6="0h",size="0h",PageSize="0h",BlockSize="0h")";
        QTest::newRow("SPI") << int(DEVICE_SPI)
                             << R"(Name="new",MFG="MACRONIX",ID1="ech",ID2="d3h",ID3="51h",size="0h",)"
                                R"(SectorSize="0h",SectorNum="0h")";
    }
    void prefilledIdsAndMaker()
    {
        QFETCH(int, kind);
        QFETCH(QString, line);

        FillDatabase();
        const QByteArray detected("\xEC\xD3\x51\x95\x58\x00", 6);
        CDeviceEditorDialog dialog(nullptr, kind, kind == DEVICE_NAND ? "New Nand" : "New SPI");
        for (int i = 0; i < dialog.IdFieldCount(); ++i)
            dialog.IdField(i)->setText(QString::asprintf("%02xh", uint8_t(detected[i])));
        const int result = RunAnswered(dialog, [&](CDeviceEditorDialog *active) {
            Type(Field(active, "nameField"), "new");
            QComboBox *makers = Box(active, "mfgBox");
            makers->setCurrentIndex(2);
            Press(active, QDialogButtonBox::Ok);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.Entry()->ToText(), line);
    }

    void cancelLeavesEntry_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("escape");

        QTest::newRow("NAND, Cancel button") << int(DEVICE_NAND) << false;
        QTest::newRow("NAND, Escape key") << int(DEVICE_NAND) << true;
        QTest::newRow("SPI, Cancel button") << int(DEVICE_SPI) << false;
    }
    void cancelLeavesEntry()
    {
        QFETCH(int, kind);
        QFETCH(bool, escape);

        CDeviceEditorDialog dialog(nullptr, kind, "New");
        const QString untouched = dialog.Entry()->ToText();
        const int result = RunAnswered(dialog, [&](CDeviceEditorDialog *active) {
            TypeInput(active, {{"ech", "f1h", "17h"}, "typed", "800000h", "1000h", "800h", "4"});
            if (escape)
                QTest::keyClick(active, Qt::Key_Escape);
            else
                Press(active, QDialogButtonBox::Cancel);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(dialog.Entry()->ToText(), untouched);
        QVERIFY(dialog.Entry()->m_name.isEmpty());
        QCOMPARE(dialog.Entry()->m_size, uint64_t(0));
    }

    // The line keeps what was typed; the reader upper-cases it, so the entry
    // read back is found under the upper-case name only.
    void nameCaseRoundTrip_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<SEditorInput>("input");

        QTest::newRow("NAND") << int(DEVICE_NAND)
                              << SEditorInput{{"ech", "f1h"}, "k9f1g08u0b-pcb0", "8400000h", "840h", "40h", ""};
        QTest::newRow("SPI") << int(DEVICE_SPI) << SEditorInput{{"efh", "40h", "17h"}, "w25q64fv", "800000h", "1000h",
                                                          "800h", "4"};
    }
    void nameCaseRoundTrip()
    {
        QFETCH(int, kind);
        QFETCH(SEditorInput, input);

        CDeviceEditorDialog dialog(nullptr, kind, "New");
        QCOMPARE(RunAnswered(dialog,
                             [&](CDeviceEditorDialog *active) {
                                 TypeInput(active, input);
                                 Press(active, QDialogButtonBox::Ok);
                             }),
                 int(QDialog::Accepted));
        const QString line = dialog.Entry()->ToText();
        QVERIFY2(line.startsWith(QString("Name=\"%1\",").arg(input.name)), qPrintable(line));

        FillDatabase();
        QVERIFY(DeviceFamilies()[kind]->AddLine(line));
        QVERIFY(!FindByName(input.name));
        CDeviceItem *read = FindByName(input.name.toUpper());
        QVERIFY(read);
        QCOMPARE(read->m_size, dialog.Entry()->m_size);
        QCOMPARE(read->ToText(), QString(line).replace(input.name, input.name.toUpper()));
    }

    // The note under the form says what the reader would make of the line;
    // it agrees with the reader and never changes what OK returns.
    void hint_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<SEditorInput>("input");
        QTest::addColumn<QString>("note"); // empty: no note at all
        QTest::addColumn<bool>("readerAccepts");

        QTest::newRow("NAND complete") << int(DEVICE_NAND) << SEditorInput{{"ech", "f1h"}, "a", "8400000h", "840h", "40h"}
                                       << "" << true;
        QTest::newRow("NAND one character")
            << int(DEVICE_NAND) << SEditorInput{{"ech", "5", "dah"}, "a", "8400000h", "840h", "40h"}
            << "ID2 needs two characters; it is left out." << true;
        QTest::newRow("NAND gap") << int(DEVICE_NAND)
                                  << SEditorInput{{"ech", "f1h", "", "95h"}, "a", "8400000h", "840h", "40h"}
                                  << "ID4 and the fields after it are not written: ID3 is empty." << true;
        QTest::newRow("NAND no ID1") << int(DEVICE_NAND) << SEditorInput{{}, "a", "8400000h", "840h", "40h"}
                                     << "Without ID1 the entry never matches a chip." << true;
        QTest::newRow("NAND byte too large") << int(DEVICE_NAND) << SEditorInput{{"1ech"}, "a", "8400000h", "840h", "40h"}
                                             << "ID1 is above FFh; only its low byte ech is written." << true;
        QTest::newRow("NAND size not a number") << int(DEVICE_NAND) << SEditorInput{{"ech"}, "a", "8M", "840h", "40h"}
                                                << "Size is not a hexadecimal number; 0h is written." << true;
        QTest::newRow("NAND quote in name") << int(DEVICE_NAND) << SEditorInput{{"ech"}, "a\"b", "8400000h", "840h", "40h"}
                                            << "The name reads back as \"A\"." << true;
        QTest::newRow("empty name") << int(DEVICE_NAND) << SEditorInput{{"ech"}, "", "8400000h", "840h", "40h"}
                                    << "The name is empty." << true;
        QTest::newRow("SPI complete") << int(DEVICE_SPI)
                                      << SEditorInput{{"efh", "40h", "17h"}, "a", "800000h", "1000h", "800h"} << ""
                                      << true;
        QTest::newRow("SPI one character") << int(DEVICE_SPI)
                                           << SEditorInput{{"efh", "4", "17h"}, "a", "800000h", "1000h", "800h"}
                                           << "ID2 needs two characters; ffh is written." << true;
        QTest::newRow("SPI sectors do not add up")
            << int(DEVICE_SPI) << SEditorInput{{"efh", "40h", "17h"}, "a", "800000h", "1000h", "400h"}
            << "The device list reader drops this line: Sector Size times Sector Num must equal Size." << false;
        QTest::newRow("SPI sector below page")
            << int(DEVICE_SPI) << SEditorInput{{"efh", "40h", "17h"}, "a", "1000h", "100h", "10h"}
            << "The device list reader drops this line: Sector Size must be at least 200h." << false;
    }
    void hint()
    {
        QFETCH(int, kind);
        QFETCH(SEditorInput, input);
        QFETCH(QString, note);
        QFETCH(bool, readerAccepts);

        CDeviceEditorDialog dialog(nullptr, kind, "New");
        TypeInput(&dialog, input);
        const QString hint = Hint(&dialog);
        if (note.isEmpty())
            QCOMPARE(hint, QString());
        else
            QVERIFY2(hint.split('\n').contains(note), qPrintable(hint));

        const CDeviceEditorFields fields = dialog.Fields();
        QCOMPARE(RunAnswered(dialog, [](CDeviceEditorDialog *active) { Press(active, QDialogButtonBox::Ok); }),
                 int(QDialog::Accepted));
        // OK fills the entry exactly as the fields say, note or not.
        std::unique_ptr<CDeviceItem> expected;
        if (kind == DEVICE_SPI)
            expected = std::make_unique<CDeviceItemSPIFlash>();
        else
            expected = std::make_unique<CDeviceItemNand>();
        fields.FillEntry(*expected);
        QCOMPARE(dialog.Entry()->ToText(), expected->ToText());

        FillDatabase();
        QCOMPARE(DeviceFamilies()[kind]->AddLine(dialog.Entry()->ToText()), readerAccepts);
        QCOMPARE(hint.contains("drops this line"), !readerAccepts);
    }

    // Filling one entry twice (the dialog shown again) never keeps a byte
    // whose field has been emptied since.
    void refillClearsIds()
    {
        CDeviceItemNand nand;
        CDeviceEditorFields fields;
        fields.m_ids = QStringList{"ech", "f1h", "95h"};
        fields.FillEntry(nand);
        fields.m_ids = QStringList{"ech", "", "95h"};
        fields.FillEntry(nand);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(nand.m_idValid), 6), QByteArray("\1\0\1\0\0\0", 6));
        QCOMPARE(nand.m_id[1], uint8_t(0xFF));

        CDeviceItemSPIFlash spi;
        fields.m_kind = DEVICE_SPI;
        fields.m_ids = QStringList{"ech", "f1h", "95h"};
        fields.FillEntry(spi);
        fields.m_ids = QStringList{"ech", "", "9"};
        fields.FillEntry(spi);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(spi.m_id), 3), QByteArray("\xEC\xFF\xFF"));
    }

    // Pictures of both forms for a look by eye, and the checks that can be
    // made on them: every caption fits its label, every button its box.
    void rendering_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<SEditorInput>("input");

        QTest::newRow("nand") << int(DEVICE_NAND)
                              << SEditorInput{{"ech", "f1h", "00h", "95h", "40h", "5"}, "K9F1G08U0B", "8400000h", "840h",
                                        "40h", "2"};
        QTest::newRow("spi") << int(DEVICE_SPI)
                             << SEditorInput{{"efh", "40h", "17h"}, "W25Q64", "800000h", "1000h", "400h", "4"};
    }
    void rendering()
    {
        QFETCH(int, kind);
        QFETCH(SEditorInput, input);

        FillDatabase();
        CDeviceEditorDialog dialog(nullptr, kind, kind == DEVICE_NAND ? "New Nand" : "New SPI");
        TypeInput(&dialog, input);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        const QPixmap picture = dialog.grab();
        QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(391, 269));
        const QString path = QDir::temp().filePath(QString("deviceeditor-%1.png").arg(QTest::currentDataTag()));
        QVERIFY(picture.save(path));

        for (const QLabel *label : dialog.findChildren<QLabel *>()) {
            if (label->wordWrap())
                continue;
            // Room up to the label's end or to the field that starts inside it.
            int room = label->width();
            for (const QWidget *input : dialog.findChildren<QWidget *>()) {
                const bool isInput = qobject_cast<const QLineEdit *>(input) || qobject_cast<const QComboBox *>(input);
                if (isInput && input->x() > label->x() && input->geometry().intersects(label->geometry()))
                    room = std::min(room, input->x() - label->x() - 1);
            }
            const int needed = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(needed <= room,
                     qPrintable(QString("%1 needs %2 px, has %3").arg(label->text()).arg(needed).arg(room)));
            QVERIFY2(label->fontMetrics().height() <= label->height(), qPrintable(label->text()));
        }
        // Every item of a box fits the box's text area.
        for (const QComboBox *box : dialog.findChildren<QComboBox *>()) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            option.editable = box->isEditable();
            const QRect area =
                box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
            QVERIFY2(box->fontMetrics().height() <= area.height(), qPrintable(box->objectName()));
            for (const QString &item : Items(box))
                QVERIFY2(box->fontMetrics().horizontalAdvance(item) <= area.width(), qPrintable(item));
        }
        auto *buttons = dialog.findChild<QDialogButtonBox *>("buttonBox");
        QVERIFY(buttons);
        QRect previous;
        for (QAbstractButton *button : buttons->buttons()) {
            QVERIFY(buttons->rect().contains(button->geometry()));
            QVERIFY(!button->geometry().intersects(previous));
            previous = button->geometry();
        }
        // The note sits in the free band and never runs into the buttons.
        const auto *hint = dialog.findChild<QLabel *>("hintLabel");
        QVERIFY(hint->geometry().bottom() < buttons->geometry().top());
        QVERIFY(hint->heightForWidth(hint->width()) <= hint->height());
    }
};

QTEST_MAIN(TestDeviceEditor)
#include "tst_deviceeditor.moc"
